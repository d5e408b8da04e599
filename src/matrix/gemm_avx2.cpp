// AVX2 kernels of the matrix products and solves; called only when the
// processor has AVX2 (see gemm.cpp). Compiled with -mavx2 but without -mfma:
// products are rounded before they are added, as in the portable kernels,
// so both give identical results. (On processors with separate multiply and
// add pipes, such as AMD Zen, this costs no throughput; the accumulators are
// independent chains, so add latency is hidden.)
#include "matrix/gemm_detail.h"
#include <immintrin.h>

namespace numbra::detail {

// 8 x 6 tile of C in twelve 4-wide registers. Per k: two aligned loads of
// the packed A column, six broadcasts of packed B, twelve multiply-adds.
// With sixteen ymm registers this leaves a0, a1, one broadcast and one
// product in flight.
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
    const __m256d a0 = _mm256_load_pd(a);
    const __m256d a1 = _mm256_load_pd(a + 4);
    __m256d bj = _mm256_broadcast_sd(b);
    r00 = _mm256_add_pd(r00, _mm256_mul_pd(a0, bj));
    r10 = _mm256_add_pd(r10, _mm256_mul_pd(a1, bj));
    bj = _mm256_broadcast_sd(b + 1);
    r01 = _mm256_add_pd(r01, _mm256_mul_pd(a0, bj));
    r11 = _mm256_add_pd(r11, _mm256_mul_pd(a1, bj));
    bj = _mm256_broadcast_sd(b + 2);
    r02 = _mm256_add_pd(r02, _mm256_mul_pd(a0, bj));
    r12 = _mm256_add_pd(r12, _mm256_mul_pd(a1, bj));
    bj = _mm256_broadcast_sd(b + 3);
    r03 = _mm256_add_pd(r03, _mm256_mul_pd(a0, bj));
    r13 = _mm256_add_pd(r13, _mm256_mul_pd(a1, bj));
    bj = _mm256_broadcast_sd(b + 4);
    r04 = _mm256_add_pd(r04, _mm256_mul_pd(a0, bj));
    r14 = _mm256_add_pd(r14, _mm256_mul_pd(a1, bj));
    bj = _mm256_broadcast_sd(b + 5);
    r05 = _mm256_add_pd(r05, _mm256_mul_pd(a0, bj));
    r15 = _mm256_add_pd(r15, _mm256_mul_pd(a1, bj));
    a += kMR;
    b += kNR;
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

// 32 right-hand sides in eight registers: eight independent subtraction
// chains, enough to hide the add latency.
void RowUpdateAvx2(const double* r, std::ptrdiff_t k0, std::ptrdiff_t k1, const double* X,
                   double* acc) {
  __m256d s0 = _mm256_loadu_pd(acc);
  __m256d s1 = _mm256_loadu_pd(acc + 4);
  __m256d s2 = _mm256_loadu_pd(acc + 8);
  __m256d s3 = _mm256_loadu_pd(acc + 12);
  __m256d s4 = _mm256_loadu_pd(acc + 16);
  __m256d s5 = _mm256_loadu_pd(acc + 20);
  __m256d s6 = _mm256_loadu_pd(acc + 24);
  __m256d s7 = _mm256_loadu_pd(acc + 28);
  const double* x = X + k0 * kRowBlock;
  for (std::ptrdiff_t k = k0; k < k1; ++k, x += kRowBlock) {
    const __m256d u = _mm256_broadcast_sd(r + k);
    s0 = _mm256_sub_pd(s0, _mm256_mul_pd(u, _mm256_load_pd(x)));
    s1 = _mm256_sub_pd(s1, _mm256_mul_pd(u, _mm256_load_pd(x + 4)));
    s2 = _mm256_sub_pd(s2, _mm256_mul_pd(u, _mm256_load_pd(x + 8)));
    s3 = _mm256_sub_pd(s3, _mm256_mul_pd(u, _mm256_load_pd(x + 12)));
    s4 = _mm256_sub_pd(s4, _mm256_mul_pd(u, _mm256_load_pd(x + 16)));
    s5 = _mm256_sub_pd(s5, _mm256_mul_pd(u, _mm256_load_pd(x + 20)));
    s6 = _mm256_sub_pd(s6, _mm256_mul_pd(u, _mm256_load_pd(x + 24)));
    s7 = _mm256_sub_pd(s7, _mm256_mul_pd(u, _mm256_load_pd(x + 28)));
  }
  _mm256_storeu_pd(acc, s0);
  _mm256_storeu_pd(acc + 4, s1);
  _mm256_storeu_pd(acc + 8, s2);
  _mm256_storeu_pd(acc + 12, s3);
  _mm256_storeu_pd(acc + 16, s4);
  _mm256_storeu_pd(acc + 20, s5);
  _mm256_storeu_pd(acc + 24, s6);
  _mm256_storeu_pd(acc + 28, s7);
}

}  // namespace numbra::detail
