// AVX2 code of the 24 x 8 kernel sets: the packing routines of that tile
// (used by the "avx512" set and by "avx512-emulated") and the emulated
// micro-kernels, the AVX-512 kernel of gemm_avx512_kernel.h instantiated
// with each 8-lane vector held in two AVX2 registers. Lane by lane the
// emulation performs the same IEEE multiplies and adds on the same values,
// so its results are those of the AVX-512 kernel bit for bit; it exists so
// that the kernel's tiling, edge masks and packing are tested on processors
// without AVX-512 (it is slow: 48 accumulators do not fit in 16 registers).
// Compiled with -mavx2 and -ffp-contract=off.
#include "matrix/gemm_avx512_kernel.h"
#include "matrix/gemm_detail.h"
#include "matrix/gemm_pack_avx2.h"
#include <immintrin.h>

#include <algorithm>

namespace numbra::detail {

namespace {

// The tile of the packed panels.
constexpr std::ptrdiff_t kWideMR = avx512_kernel::kMR;
constexpr std::ptrdiff_t kWideNR = avx512_kernel::kNR;

// Eight lanes in two ymm registers: lanes 0-3 in lo, 4-7 in hi. Bit i of
// a mask selects lane i, as in an AVX-512 mask register.
struct YmmPair {
  struct Vec {
    __m256d lo;
    __m256d hi;
  };
  struct Mask {
    __m256i lo;
    __m256i hi;
  };
  static Vec Zero() { return {_mm256_setzero_pd(), _mm256_setzero_pd()}; }
  static Vec Load(const double* p) { return {_mm256_load_pd(p), _mm256_load_pd(p + 4)}; }
  static Vec LoadU(const double* p) { return {_mm256_loadu_pd(p), _mm256_loadu_pd(p + 4)}; }
  static void StoreU(double* p, Vec v) {
    _mm256_storeu_pd(p, v.lo);
    _mm256_storeu_pd(p + 4, v.hi);
  }
  static Vec Broadcast(const double* p) {
    const __m256d x = _mm256_broadcast_sd(p);
    return {x, x};
  }
  static Vec Mul(Vec x, Vec y) { return {_mm256_mul_pd(x.lo, y.lo), _mm256_mul_pd(x.hi, y.hi)}; }
  static Vec Add(Vec x, Vec y) { return {_mm256_add_pd(x.lo, y.lo), _mm256_add_pd(x.hi, y.hi)}; }
  // A lane is selected when all its bits are set (maskload and maskstore
  // look at the sign bit).
  static Mask MaskOf(unsigned bits) {
    const __m256i all = _mm256_set1_epi64x(static_cast<long long>(bits));
    const __m256i lo = _mm256_setr_epi64x(1, 2, 4, 8);
    const __m256i hi = _mm256_setr_epi64x(16, 32, 64, 128);
    return {_mm256_cmpeq_epi64(_mm256_and_si256(all, lo), lo),
            _mm256_cmpeq_epi64(_mm256_and_si256(all, hi), hi)};
  }
  static Vec LoadMasked(Mask m, const double* p) {
    return {_mm256_maskload_pd(p, m.lo), _mm256_maskload_pd(p + 4, m.hi)};
  }
  static void StoreMasked(double* p, Mask m, Vec v) {
    _mm256_maskstore_pd(p, m.lo, v.lo);
    _mm256_maskstore_pd(p + 4, m.hi, v.hi);
  }
  static void Pin(Vec& v) { asm("" : "+x"(v.lo), "+x"(v.hi)); }
};

}  // namespace

void MicroKernelAvx512Emulated(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                               std::ptrdiff_t ldc, bool FromZero) {
  avx512_kernel::Micro<YmmPair>(kc, a, b, c, ldc, FromZero);
}

void EdgeKernelAvx512Emulated(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                              std::ptrdiff_t ldc, bool FromZero, std::ptrdiff_t mr,
                              std::ptrdiff_t nr) {
  avx512_kernel::Edge<YmmPair>(kc, a, b, c, ldc, FromZero, mr, nr);
}

void PackAWide(ConstView A, std::ptrdiff_t i0, std::ptrdiff_t k0, std::ptrdiff_t mc,
               std::ptrdiff_t kc, bool negate, double* out) {
  PackAPanels<kWideMR>(A, i0, k0, mc, kc, negate, out);
}

// A panel of B's columns is a panel of rows of B's transpose, in the same
// layout: NR values per k, columns past nc zero.
void PackBWide(ConstView B, std::ptrdiff_t k0, std::ptrdiff_t j0, std::ptrdiff_t kc,
               std::ptrdiff_t nc, double* out) {
  PackAPanels<kWideNR>(ConstView{B.p, B.cs, B.rs}, j0, k0, nc, kc, false, out);
}

}  // namespace numbra::detail
