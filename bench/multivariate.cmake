# Comparison libraries of multivariate_bench, used only by the benchmark:
# OpenBLAS (dsyrk, one thread) for CalcCovar and GSL (gsl_eigen_symmv) for
# CalcEigVec. Debian packages libopenblas-dev and libgsl-dev; without them
# the comparisons are left out.
if(TARGET multivariate_bench)
  find_library(NUMBRA_BENCH_OPENBLAS_MV NAMES openblas)
  if(NUMBRA_BENCH_OPENBLAS_MV)
    target_link_libraries(multivariate_bench PRIVATE ${NUMBRA_BENCH_OPENBLAS_MV})
    target_compile_definitions(multivariate_bench PRIVATE NUMBRA_BENCH_HAVE_OPENBLAS)
  endif()
  find_package(GSL QUIET)
  if(GSL_FOUND)
    target_link_libraries(multivariate_bench PRIVATE GSL::gsl)
    target_compile_definitions(multivariate_bench PRIVATE NUMBRA_BENCH_HAVE_GSL)
  endif()
endif()
