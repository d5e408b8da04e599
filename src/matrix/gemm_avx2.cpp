// AVX2 kernels of the matrix products and solves, with their packing
// routines; called only when the processor has AVX2 (see gemm.cpp).
// Compiled with -mavx2 but without -mfma:
// products are rounded before they are added, as in the portable kernels,
// so both give identical results. (On processors with separate multiply and
// add pipes, such as AMD Zen, this costs no throughput; the accumulators are
// independent chains, so add latency is hidden.)
#include "matrix/gemm_detail.h"
#include "matrix/gemm_pack_avx2.h"
#include <immintrin.h>

#include <algorithm>

namespace numbra::detail {

namespace {

// Keeps v in a register: the compiler must not fold the load that produced
// it into the instructions that use it (each use would load it again).
inline void InRegister(__m256d& v) { asm("" : "+x"(v)); }

}  // namespace

// 8 x 6 tile of C in twelve 4-wide registers. Per k: two loads of the
// packed A column (kept in registers), the first pre-broadcast B value
// loaded into a register for its two multiplies, and ten multiplies that
// read the other B values straight from the packed panel, each multiply
// followed by its add. Without a separate broadcast per B value the work
// is 13 loads and 27 vector operations per k: on processors that load two
// vectors and issue four vector operations per cycle (AMD Zen 2) this
// balances the two limits (all B values from memory: 14 loads; all in
// registers: 32 operations).
// With FromZero the tile starts from +0.0 without reading c (the result
// storage of a fresh product may hold anything).
void MicroKernelAvx2(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                     std::ptrdiff_t ldc, bool FromZero) {
  double* c0 = c;
  double* c1 = c + ldc;
  double* c2 = c + 2 * ldc;
  double* c3 = c + 3 * ldc;
  double* c4 = c + 4 * ldc;
  double* c5 = c + 5 * ldc;
  const __m256d zero = _mm256_setzero_pd();
  __m256d r00 = zero;
  __m256d r10 = zero;
  __m256d r01 = zero;
  __m256d r11 = zero;
  __m256d r02 = zero;
  __m256d r12 = zero;
  __m256d r03 = zero;
  __m256d r13 = zero;
  __m256d r04 = zero;
  __m256d r14 = zero;
  __m256d r05 = zero;
  __m256d r15 = zero;
  if (!FromZero) {
    r00 = _mm256_loadu_pd(c0);
    r10 = _mm256_loadu_pd(c0 + 4);
    r01 = _mm256_loadu_pd(c1);
    r11 = _mm256_loadu_pd(c1 + 4);
    r02 = _mm256_loadu_pd(c2);
    r12 = _mm256_loadu_pd(c2 + 4);
    r03 = _mm256_loadu_pd(c3);
    r13 = _mm256_loadu_pd(c3 + 4);
    r04 = _mm256_loadu_pd(c4);
    r14 = _mm256_loadu_pd(c4 + 4);
    r05 = _mm256_loadu_pd(c5);
    r15 = _mm256_loadu_pd(c5 + 4);
  }
  for (std::ptrdiff_t k = 0; k < kc; ++k) {
    __m256d a0 = _mm256_load_pd(a);
    __m256d a1 = _mm256_load_pd(a + 4);
    __m256d b0 = _mm256_load_pd(b);
    InRegister(a0);
    InRegister(a1);
    InRegister(b0);
    r00 = _mm256_add_pd(r00, _mm256_mul_pd(a0, b0));
    r10 = _mm256_add_pd(r10, _mm256_mul_pd(a1, b0));
    r01 = _mm256_add_pd(r01, _mm256_mul_pd(a0, _mm256_load_pd(b + 4)));
    r11 = _mm256_add_pd(r11, _mm256_mul_pd(a1, _mm256_load_pd(b + 4)));
    r02 = _mm256_add_pd(r02, _mm256_mul_pd(a0, _mm256_load_pd(b + 8)));
    r12 = _mm256_add_pd(r12, _mm256_mul_pd(a1, _mm256_load_pd(b + 8)));
    r03 = _mm256_add_pd(r03, _mm256_mul_pd(a0, _mm256_load_pd(b + 12)));
    r13 = _mm256_add_pd(r13, _mm256_mul_pd(a1, _mm256_load_pd(b + 12)));
    r04 = _mm256_add_pd(r04, _mm256_mul_pd(a0, _mm256_load_pd(b + 16)));
    r14 = _mm256_add_pd(r14, _mm256_mul_pd(a1, _mm256_load_pd(b + 16)));
    r05 = _mm256_add_pd(r05, _mm256_mul_pd(a0, _mm256_load_pd(b + 20)));
    r15 = _mm256_add_pd(r15, _mm256_mul_pd(a1, _mm256_load_pd(b + 20)));
    a += kMR;
    b += kNR * kAvx2BWidth;
  }
  _mm256_storeu_pd(c0, r00);
  _mm256_storeu_pd(c0 + 4, r10);
  _mm256_storeu_pd(c1, r01);
  _mm256_storeu_pd(c1 + 4, r11);
  _mm256_storeu_pd(c2, r02);
  _mm256_storeu_pd(c2 + 4, r12);
  _mm256_storeu_pd(c3, r03);
  _mm256_storeu_pd(c3 + 4, r13);
  _mm256_storeu_pd(c4, r04);
  _mm256_storeu_pd(c4 + 4, r14);
  _mm256_storeu_pd(c5, r05);
  _mm256_storeu_pd(c5 + 4, r15);
}

void PackAAvx2(ConstView A, std::ptrdiff_t i0, std::ptrdiff_t k0, std::ptrdiff_t mc,
               std::ptrdiff_t kc, bool negate, double* out) {
  PackAPanels<kMR>(A, i0, k0, mc, kc, negate, out);
}

void PackBAvx2(ConstView B, std::ptrdiff_t k0, std::ptrdiff_t j0, std::ptrdiff_t kc,
               std::ptrdiff_t nc, double* out) {
  for (std::ptrdiff_t q = 0; q < nc; q += kNR) {
    const std::ptrdiff_t cols = std::min(kNR, nc - q);
    double* dst = out + q * kc * kAvx2BWidth;
    const double* src = B.p + k0 * B.rs + (j0 + q) * B.cs;
    if (cols == kNR) {
      for (std::ptrdiff_t k = 0; k < kc; ++k, src += B.rs, dst += kNR * kAvx2BWidth) {
        _mm256_store_pd(dst, _mm256_broadcast_sd(src));
        _mm256_store_pd(dst + 4, _mm256_broadcast_sd(src + B.cs));
        _mm256_store_pd(dst + 8, _mm256_broadcast_sd(src + 2 * B.cs));
        _mm256_store_pd(dst + 12, _mm256_broadcast_sd(src + 3 * B.cs));
        _mm256_store_pd(dst + 16, _mm256_broadcast_sd(src + 4 * B.cs));
        _mm256_store_pd(dst + 20, _mm256_broadcast_sd(src + 5 * B.cs));
      }
    } else {
      for (std::ptrdiff_t k = 0; k < kc; ++k, src += B.rs, dst += kNR * kAvx2BWidth)
        for (std::ptrdiff_t j = 0; j < kNR; ++j)
          _mm256_store_pd(dst + j * kAvx2BWidth,
                          j < cols ? _mm256_broadcast_sd(src + j * B.cs) : _mm256_setzero_pd());
    }
  }
}

namespace {

// Lanes of the first rows of a 4-row vector: all-ones in lanes < rows.
inline __m256i RowMask(std::ptrdiff_t rows) {
  return _mm256_cmpgt_epi64(_mm256_set1_epi64x(rows), _mm256_setr_epi64x(0, 1, 2, 3));
}

// The edge tiles: the first Cols columns (1..6) of the 8 x 6 tile and its
// first mr rows (1..8), read and written in place with masked loads and
// stores (rows past mr are neither read nor written; their lanes work on
// the zero padding of the packed A panel). With mr <= 4 only the first
// 4-row half is computed. The same sequence of operations per element as
// the full kernel.
template <int Cols, bool Two>
void EdgeKernel(std::ptrdiff_t kc, const double* a, const double* b, double* c, std::ptrdiff_t ldc,
                bool FromZero, std::ptrdiff_t mr) {
  const __m256i m0 = RowMask(mr);
  const __m256i m1 = RowMask(mr - 4);
  __m256d r0[6];
  __m256d r1[6];
  for (int j = 0; j < Cols; ++j) {
    r0[j] = FromZero ? _mm256_setzero_pd() : _mm256_maskload_pd(c + j * ldc, m0);
    if constexpr (Two)
      r1[j] = FromZero ? _mm256_setzero_pd() : _mm256_maskload_pd(c + j * ldc + 4, m1);
  }
  for (std::ptrdiff_t k = 0; k < kc; ++k) {
    __m256d a0 = _mm256_load_pd(a);
    InRegister(a0);
    if constexpr (Two) {
      __m256d a1 = _mm256_load_pd(a + 4);
      InRegister(a1);
#pragma GCC unroll 6
      for (int j = 0; j < Cols; ++j) {
        r0[j] = _mm256_add_pd(r0[j], _mm256_mul_pd(a0, _mm256_load_pd(b + 4 * j)));
        r1[j] = _mm256_add_pd(r1[j], _mm256_mul_pd(a1, _mm256_load_pd(b + 4 * j)));
      }
    } else {
#pragma GCC unroll 6
      for (int j = 0; j < Cols; ++j)
        r0[j] = _mm256_add_pd(r0[j], _mm256_mul_pd(a0, _mm256_load_pd(b + 4 * j)));
    }
    a += kMR;
    b += kNR * kAvx2BWidth;
  }
  for (int j = 0; j < Cols; ++j) {
    _mm256_maskstore_pd(c + j * ldc, m0, r0[j]);
    if constexpr (Two) _mm256_maskstore_pd(c + j * ldc + 4, m1, r1[j]);
  }
}

template <bool Two>
void EdgeKernelCols(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                    std::ptrdiff_t ldc, bool FromZero, std::ptrdiff_t mr, std::ptrdiff_t nr) {
  switch (nr) {
    case 1:
      EdgeKernel<1, Two>(kc, a, b, c, ldc, FromZero, mr);
      break;
    case 2:
      EdgeKernel<2, Two>(kc, a, b, c, ldc, FromZero, mr);
      break;
    case 3:
      EdgeKernel<3, Two>(kc, a, b, c, ldc, FromZero, mr);
      break;
    case 4:
      EdgeKernel<4, Two>(kc, a, b, c, ldc, FromZero, mr);
      break;
    case 5:
      EdgeKernel<5, Two>(kc, a, b, c, ldc, FromZero, mr);
      break;
    default:
      EdgeKernel<6, Two>(kc, a, b, c, ldc, FromZero, mr);
      break;
  }
}

}  // namespace

void EdgeKernelAvx2(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                    std::ptrdiff_t ldc, bool FromZero, std::ptrdiff_t mr, std::ptrdiff_t nr) {
  if (mr > 4)
    EdgeKernelCols<true>(kc, a, b, c, ldc, FromZero, mr, nr);
  else
    EdgeKernelCols<false>(kc, a, b, c, ldc, FromZero, mr, nr);
}

}  // namespace numbra::detail
