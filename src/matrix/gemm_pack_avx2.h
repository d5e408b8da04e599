// AVX2 packing of A panels for any tile height that is a multiple of 4
// (not installed). Included by the AVX2 translation units only (compiled
// with -mavx2); everything here has internal linkage, so no copy compiled
// for AVX2 can be picked for code that runs without it.
#pragma once

#include "matrix/gemm_detail.h"
#include <immintrin.h>

#include <algorithm>

namespace numbra::detail {

namespace {

// 4 x 4 transpose: on return x[t] holds element t of the four inputs.
inline void Transpose4(__m256d x[4]) {
  const __m256d t0 = _mm256_unpacklo_pd(x[0], x[1]);
  const __m256d t1 = _mm256_unpackhi_pd(x[0], x[1]);
  const __m256d t2 = _mm256_unpacklo_pd(x[2], x[3]);
  const __m256d t3 = _mm256_unpackhi_pd(x[2], x[3]);
  x[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
  x[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
  x[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
  x[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
}

// Packs rows i0..i0+mc-1, columns k0..k0+kc-1 of A (negated with negate)
// into panels of MR rows: panel p, at out + p * MR * kc, holds for each k
// the MR values A(i0 + p*MR + 0..MR-1, k0 + k); rows past mc are zero.
// out must be 32-byte aligned.
template <std::ptrdiff_t MR>
void PackAPanels(ConstView A, std::ptrdiff_t i0, std::ptrdiff_t k0, std::ptrdiff_t mc,
                 std::ptrdiff_t kc, bool negate, double* out) {
  static_assert(MR % 4 == 0);
  // -x flips the sign bit only, so the negated copies are exact.
  const __m256d sign = negate ? _mm256_set1_pd(-0.0) : _mm256_setzero_pd();
  for (std::ptrdiff_t p = 0; p < mc; p += MR) {
    const std::ptrdiff_t rows = std::min(MR, mc - p);
    double* dst = out + p * kc;
    const double* base = A.p + (i0 + p) * A.rs + k0 * A.cs;
    std::ptrdiff_t k = 0;
    if (rows == MR && A.rs == 1) {
      for (; k < kc; ++k) {
        const double* src = base + k * A.cs;
        for (std::ptrdiff_t h = 0; h < MR; h += 4)
          _mm256_store_pd(dst + k * MR + h, _mm256_xor_pd(_mm256_loadu_pd(src + h), sign));
      }
    } else if (rows == MR && A.cs == 1) {
      // A transposed view: each row runs along k. Four k at a time, MR / 4
      // transposes turn MR row pieces into four packed columns.
      for (; k + 4 <= kc; k += 4)
        for (std::ptrdiff_t h = 0; h < MR; h += 4) {
          const double* src = base + h * A.rs + k;
          __m256d x[4];
          for (int t = 0; t < 4; ++t) x[t] = _mm256_loadu_pd(src + t * A.rs);
          Transpose4(x);
          for (int t = 0; t < 4; ++t)
            _mm256_store_pd(dst + (k + t) * MR + h, _mm256_xor_pd(x[t], sign));
        }
    }
    // The rest (other strides, the last k, an edge panel) element by element.
    for (; k < kc; ++k)
      for (std::ptrdiff_t i = 0; i < MR; ++i) {
        const double v = i < rows ? base[i * A.rs + k * A.cs] : 0.0;
        dst[k * MR + i] = negate && i < rows ? -v : v;
      }
  }
}

}  // namespace

}  // namespace numbra::detail
