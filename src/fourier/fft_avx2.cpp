// FFT butterflies built with AVX2 and FMA; called only when the processor has
// both (see fft_tables.cpp).
#define NUMBRA_FFT_KERNEL_NAME TransformAvx2
#define NUMBRA_FFT_LANES 4
#include "fourier/fft_kernels.inc"
