// Radix-4/2 complex FFT core of TFastFourier (not installed).
//
// The transform works on split storage (real parts and imaginary parts in
// two arrays) so that the butterflies run on whole SIMD registers. It is a
// decimation-in-frequency transform with the positive exponent,
//   X[k] = sum_j x[j] exp(+2 pi i j k / n),
// unscaled, and leaves X[k] at position bitrev(k). Every twiddle factor comes
// from a precomputed table of correctly rounded roots of unity, so the error
// grows like eps * sqrt(log2 n) instead of the eps * n of a trigonometric
// recurrence.
#pragma once

#include "numbra_export.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace numbra::detail::fft {

/// Twiddle tables for one transform length 2^Log2N. Level l (block length
/// 2^l) has its table at Offset[l]: w^k with w = exp(+2 pi i / 2^l) as two
/// arrays (real parts, imaginary parts), for k < 2^l / 4 on a radix-4 level
/// (l even) and k < 2^l / 2 on a radix-2 level (l odd). The radix-4 kernels
/// form w^2k and w^3k from w^k.
struct Tables {
  int Log2N = -1;
  std::vector<double> Values;
  std::vector<std::size_t> Offset;  // indexed by level, 0..Log2N
};

/// Builds the tables for length 2^Log2N (0 <= Log2N <= 30). May throw
/// std::bad_alloc.
void BuildTables(Tables& T, int Log2N);

/// In-place transform of Re/Im (2^T.Log2N values each); the result is in
/// bit-reversed order. Picks the widest instruction set the processor has.
void Transform(double* Re, double* Im, const Tables& T) noexcept;

/// Name of the butterfly kernel Transform uses on this processor: "avx2"
/// (AVX2 with FMA) or "generic" (for benchmarks and diagnostics).
NUMBRA_EXPORT const char* KernelName() noexcept;

/// Bit reversal of the low Bits bits of I.
inline uint32_t BitReverse(uint32_t I, int Bits) noexcept {
  I = ((I >> 1) & 0x55555555U) | ((I & 0x55555555U) << 1);
  I = ((I >> 2) & 0x33333333U) | ((I & 0x33333333U) << 2);
  I = ((I >> 4) & 0x0F0F0F0FU) | ((I & 0x0F0F0F0FU) << 4);
  I = ((I >> 8) & 0x00FF00FFU) | ((I & 0x00FF00FFU) << 8);
  I = (I >> 16) | (I << 16);
  return Bits == 0 ? 0U : I >> (32 - Bits);
}

/// Out[2p] = Re[bitrev(p)] * ScaleRe, Out[2p + 1] = Im[bitrev(p)] * ScaleIm for
/// p < 2^Log2N: undoes the bit-reversed order while interleaving.
void GatherBitReversed(const double* Re, const double* Im, int Log2N, double ScaleRe,
                       double ScaleIm, double* Out) noexcept;

// The two builds of the butterfly kernels (fft_kernels.inc): baseline
// instruction set, and AVX2 with FMA. They take raw pointers only, so that no
// inline library function is compiled with AVX2 instructions.
void TransformGeneric(double* Re, double* Im, int Log2N, const double* Tw,
                      const std::size_t* Offset) noexcept;
void TransformAvx2(double* Re, double* Im, int Log2N, const double* Tw,
                   const std::size_t* Offset) noexcept;

}  // namespace numbra::detail::fft
