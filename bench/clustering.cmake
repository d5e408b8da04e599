# clustering_bench starts bench/clustering_scipy.py to time SciPy's linkage
# next to AgglomClustering; it needs the script's place in the source tree.
if(TARGET clustering_bench)
  target_compile_definitions(clustering_bench
    PRIVATE NUMBRA_CLUSTERING_SCIPY="${CMAKE_CURRENT_SOURCE_DIR}/clustering_scipy.py")
endif()
