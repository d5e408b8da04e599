// Complex FFT core of TFastFourier (not installed).
//
// Two kernel sets, chosen once at run time (Plan, Execute, KernelName):
//  - avx2 (fft_avx2.cpp): decimation in time from and back into the
//    caller's interleaved array through a split work area; see there.
//  - generic (fft_kernels.inc in fft_generic.cpp): a decimation in frequency
//    on split storage (real parts and imaginary parts in two arrays) that
//    leaves X[k] at position bitrev(k), undone by GatherBitReversed.
// Both compute X[k] = sum_j x[j] exp(+2 pi i j k / n) unscaled; lengths up
// to 16 run as straight-line code in either set (fft_codelets.inc; length 8
// of the avx2 set on interleaved pairs, Dft8Pairs). Every
// twiddle factor comes from a precomputed table of correctly rounded roots
// of unity, so the error grows like eps * sqrt(log2 n) instead of the
// eps * n of a trigonometric recurrence.
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

// The portable butterflies (fft_kernels.inc built in fft_generic.cpp).
void TransformGeneric(double* Re, double* Im, int Log2N, const double* Tw,
                      const std::size_t* Offset) noexcept;

/// In the AVX2 transform of length 2^Log2N, levels (block length 2^l) up to
/// this one keep w^k, w^2k and w^3k in their table, larger ones w^k alone
/// (the other two are formed where they are used): all levels while the
/// tables stay in the second-level cache, else those up to 2^10.
constexpr int FullTwiddleLevels(int Log2N) noexcept { return Log2N <= 13 ? Log2N : 10; }

/// Whether the AVX2 transform of length 2^Log2N combines its leaf DFTs of
/// length 16 by one radix-8 level (block length 2^7) before the radix-4
/// levels: odd Log2N from 9 on. Other odd lengths have leaves of 8, even
/// lengths leaves of 16.
constexpr bool Radix8Level(int Log2N) noexcept { return (Log2N & 1) != 0 && Log2N >= 9; }

// The AVX2 + FMA transform (fft_avx2.cpp) for 2^3 <= N (at 2^3 and 2^4 Tw,
// Offset and Work are not used), InvN = 1 / N: interleaved Data in
// and out, Work of Avx2WorkDoubles(N) doubles (the split parts, padded),
// twiddles Tw with the level offsets Offset.
constexpr std::size_t Avx2WorkDoubles(std::size_t N) noexcept { return 2 * N + 1280; }
void ExecuteAvx2(double* Data, int Log2N, const double* Tw, const std::size_t* Offset, double* Work,
                 bool Inverse, double InvN) noexcept;

/// Everything a transform of one length needs, built once per length.
struct Plan {
  int Log2N = -1;
  bool Avx2 = false;         ///< built for the AVX2 transform
  double InvN = 1.0;         ///< 1 / N, exact (a power of two)
  Tables Radix;              ///< twiddles of the portable transform
  std::vector<double> Work;  ///< split work area (2N doubles, more for AVX2)
};

/// Builds P for length 2^Log2N (0 <= Log2N <= 23) and the kernel set in use.
/// May throw std::bad_alloc (P is then empty, Log2N = -1).
void BuildPlan(Plan& P, int Log2N);

/// The transform of the N = 2^P.Log2N interleaved complex values at Data in
/// place: X[k] = sum_j x[j] exp(+2 pi i jk / N) unscaled, or with Inverse
/// the negative exponent and every value divided by N. Natural order.
void Execute(Plan& P, double* Data, bool Inverse) noexcept;

/// Name of the kernel set in use: "avx2" (AVX2 with FMA) or "generic". The
/// choice is made once, from the processor; the environment variable
/// NUMBRA_FFT_KERNEL=generic forces the portable kernels (=avx2 asks for the
/// AVX2 ones, taken only when the processor has them). Used by the tests to
/// check every set on one machine, and printed by the benchmarks.
NUMBRA_EXPORT const char* KernelName() noexcept;

}  // namespace numbra::detail::fft
