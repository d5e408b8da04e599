// The AVX-512 micro-kernels of the matrix products: the 24 x 8 tile of
// gemm_avx512_kernel.h on 512-bit registers. Called only when the
// processor has AVX-512F (see gemm.cpp). Compiled with -mavx512f and
// -ffp-contract=off: each product is rounded before it is added, as in the
// other kernel sets, so all of them give identical results. The packing of
// this set is AVX2 code (gemm_avx512_avx2.cpp), which every AVX-512F
// processor runs.
//
// Only this file's own functions may be compiled here, all of them with
// internal linkage apart from the two entry points: it must not emit a
// copy of any inline library function that the rest of the program could
// end up calling on a processor without AVX-512.
#include "matrix/gemm_avx512_kernel.h"
#include "matrix/gemm_detail.h"
#include <immintrin.h>

namespace numbra::detail {

namespace {

// Eight lanes in one zmm register. Lane i is the double at p + i, and bit i
// of a __mmask8 selects lane i.
struct Zmm {
  using Vec = __m512d;
  using Mask = __mmask8;
  static Vec Zero() { return _mm512_setzero_pd(); }
  static Vec Load(const double* p) { return _mm512_load_pd(p); }
  static Vec LoadU(const double* p) { return _mm512_loadu_pd(p); }
  static void StoreU(double* p, Vec v) { _mm512_storeu_pd(p, v); }
  // With the multiply that uses it, usually one instruction with a
  // broadcast memory operand.
  static Vec Broadcast(const double* p) { return _mm512_set1_pd(*p); }
  static Vec Mul(Vec x, Vec y) { return _mm512_mul_pd(x, y); }
  static Vec Add(Vec x, Vec y) { return _mm512_add_pd(x, y); }
  static Mask MaskOf(unsigned bits) { return static_cast<Mask>(bits); }
  // maskz: lanes not selected are zero, and their memory is not accessed.
  static Vec LoadMasked(Mask m, const double* p) { return _mm512_maskz_loadu_pd(m, p); }
  static void StoreMasked(double* p, Mask m, Vec v) { _mm512_mask_storeu_pd(p, m, v); }
  static void Pin(Vec& v) { asm("" : "+v"(v)); }
};

}  // namespace

void MicroKernelAvx512(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                       std::ptrdiff_t ldc, bool FromZero) {
  avx512_kernel::Micro<Zmm>(kc, a, b, c, ldc, FromZero);
}

void EdgeKernelAvx512(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                      std::ptrdiff_t ldc, bool FromZero, std::ptrdiff_t mr, std::ptrdiff_t nr) {
  avx512_kernel::Edge<Zmm>(kc, a, b, c, ldc, FromZero, mr, nr);
}

}  // namespace numbra::detail
