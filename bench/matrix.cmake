# Comparison libraries of matrix_bench, used only by the benchmark: OpenBLAS
# (dgemm, single-threaded) and LAPACK (dgetrf + dgetri). Debian packages
# libopenblas-dev and liblapack-dev; without them the comparisons are left
# out and the TMatrix benchmarks still build.
if(TARGET matrix_bench)
  find_library(NUMBRA_BENCH_OPENBLAS NAMES openblas)
  if(NUMBRA_BENCH_OPENBLAS)
    # OpenBLAS carries LAPACK's routines too.
    target_link_libraries(matrix_bench PRIVATE ${NUMBRA_BENCH_OPENBLAS})
    target_compile_definitions(matrix_bench PRIVATE NUMBRA_BENCH_HAVE_BLAS NUMBRA_BENCH_HAVE_LAPACK
                                                    NUMBRA_BENCH_OPENBLAS)
  else()
    find_package(BLAS QUIET)
    find_package(LAPACK QUIET)
    if(BLAS_FOUND)
      target_link_libraries(matrix_bench PRIVATE ${BLAS_LIBRARIES})
      target_compile_definitions(matrix_bench PRIVATE NUMBRA_BENCH_HAVE_BLAS)
    endif()
    if(LAPACK_FOUND)
      target_link_libraries(matrix_bench PRIVATE ${LAPACK_LIBRARIES})
      target_compile_definitions(matrix_bench PRIVATE NUMBRA_BENCH_HAVE_LAPACK)
    endif()
  endif()
endif()
# lu_bench: LAPACK dgetrf + dgetri from OpenBLAS (or the reference LAPACK).
if(TARGET lu_bench)
  find_library(NUMBRA_BENCH_LU_OPENBLAS NAMES openblas)
  if(NUMBRA_BENCH_LU_OPENBLAS)
    target_link_libraries(lu_bench PRIVATE ${NUMBRA_BENCH_LU_OPENBLAS})
    target_compile_definitions(lu_bench PRIVATE NUMBRA_BENCH_HAVE_LAPACK NUMBRA_BENCH_OPENBLAS)
  else()
    find_package(LAPACK QUIET)
    if(LAPACK_FOUND)
      target_link_libraries(lu_bench PRIVATE ${LAPACK_LIBRARIES})
      target_compile_definitions(lu_bench PRIVATE NUMBRA_BENCH_HAVE_LAPACK)
    endif()
  endif()
endif()
