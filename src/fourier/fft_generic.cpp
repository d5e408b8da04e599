// FFT butterflies built for the baseline instruction set.
#include "fourier/fft_detail.h"

#define NUMBRA_FFT_KERNEL_NAME TransformGeneric
#define NUMBRA_FFT_LANES 2
#include "fourier/fft_kernels.inc"
