# FFTW (double precision) for the same-run comparison of fourier_bench. Only
# the benchmark links it, never the library; without it the program still
# builds and measures TFastFourier alone.
if(TARGET fourier_bench)
  find_path(NUMBRA_FFTW3_INCLUDE_DIR fftw3.h)
  find_library(NUMBRA_FFTW3_LIBRARY fftw3)
  if(NUMBRA_FFTW3_INCLUDE_DIR AND NUMBRA_FFTW3_LIBRARY)
    target_include_directories(fourier_bench PRIVATE ${NUMBRA_FFTW3_INCLUDE_DIR})
    target_link_libraries(fourier_bench PRIVATE ${NUMBRA_FFTW3_LIBRARY})
    target_compile_definitions(fourier_bench PRIVATE NUMBRA_HAVE_FFTW)
  else()
    message(STATUS "fourier_bench: FFTW not found (libfftw3-dev), comparison left out")
  endif()
endif()
