# Comparison libraries of analysis_bench, used only by the benchmark: GSL
# (gsl_linalg_SV_decomp, Debian libgsl-dev) and LAPACK's dgesvd from
# OpenBLAS (libopenblas-dev; else the reference LAPACK). Without them the comparisons are left out.
if(TARGET analysis_bench)
  find_package(GSL QUIET)
  if(GSL_FOUND)
    target_link_libraries(analysis_bench PRIVATE GSL::gsl GSL::gslcblas)
    target_compile_definitions(analysis_bench PRIVATE NUMBRA_BENCH_HAVE_GSL)
  endif()
  find_library(NUMBRA_BENCH_OPENBLAS_A NAMES openblas)
  if(NUMBRA_BENCH_OPENBLAS_A)
    target_link_libraries(analysis_bench PRIVATE ${NUMBRA_BENCH_OPENBLAS_A})
    target_compile_definitions(analysis_bench PRIVATE NUMBRA_BENCH_HAVE_LAPACK
                                                      NUMBRA_BENCH_OPENBLAS)
  else()
    find_package(LAPACK QUIET)
    if(LAPACK_FOUND)
      target_link_libraries(analysis_bench PRIVATE ${LAPACK_LIBRARIES})
      target_compile_definitions(analysis_bench PRIVATE NUMBRA_BENCH_HAVE_LAPACK)
    endif()
  endif()
endif()
