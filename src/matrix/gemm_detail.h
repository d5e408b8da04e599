// Dense kernels behind the matrix products, the LU factorisation and the
// inverse (not installed).
//
// Every routine here keeps the arithmetic of the textbook loops: each result
// element is one running sum, the terms are added in ascending k, and every
// product is rounded before it is added (no fused multiply-add). The blocked,
// vectorised kernels only change which elements are worked on when, never
// the sequence of roundings of one element, so their results equal those of
// the plain loops bit for bit -- on every processor, with the AVX2 kernels
// or the portable ones. (The sources are compiled with -ffp-contract=off so
// that the compiler does not fuse either.)
#pragma once

#include "numbra_export.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace numbra::detail {

/// Read-only strided view of a matrix: element (i, k), 0-based, at
/// p[i * rs + k * cs]. A column-major array with leading dimension ld is
/// {p, 1, ld}; its transpose is {p, ld, 1}.
struct ConstView {
  const double* p = nullptr;
  std::ptrdiff_t rs = 1;
  std::ptrdiff_t cs = 1;
  [[nodiscard]] double At(std::ptrdiff_t i, std::ptrdiff_t k) const noexcept {
    return p[i * rs + k * cs];
  }
};

/// C := C + op(A) * B for the m x n column-major block C (leading dimension
/// ldc), A m x k and B k x n given as views: each C(i, j) accumulates
/// A(i, 0) * B(0, j), A(i, 1) * B(1, j), ... in this order onto its
/// starting value. With NegateA the terms are (-A(i, kk)) * B(kk, j), which
/// is exactly C - A * B term by term. Cache-blocked (Goto's scheme: packed
/// panels of A and B, an 8 x 6 register-blocked micro-kernel).
void GemmAccumulate(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, ConstView A, ConstView B,
                    double* C, std::ptrdiff_t ldc, bool NegateA);

/// C := op(A) * B for the m x n column-major block C (leading dimension
/// ldc): each C(i, j) is the running sum 0.0 + A(i, 0) * B(0, j) +
/// A(i, 1) * B(1, j) + ... -- the sums GemmAccumulate forms on a zeroed C --
/// but C's previous contents are never read (they may be anything, NaN
/// included), so the caller need not clear it first. k <= 0 gives zeros.
/// Any failure (the packing buffers) happens before C is written.
void GemmStore(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, ConstView A, ConstView B,
               double* C, std::ptrdiff_t ldc);

/// Width of the right-hand-side blocks of RowUpdate.
inline constexpr std::ptrdiff_t kRowBlock = 32;

/// acc[v] := acc[v] - r[kk] * X[kk * kRowBlock + v] for kk = k0..k1-1 in
/// ascending order, v = 0..kRowBlock-1 (X row-major with rows of kRowBlock).
void RowUpdate(const double* r, std::ptrdiff_t k0, std::ptrdiff_t k1, const double* X, double* acc);

/// Name of the kernel set in use: "avx2" or "generic". The choice is made
/// once, from the processor; the environment variable
/// NUMBRA_MATRIX_KERNEL=generic forces the portable kernels (used by the
/// tests to check both sets on one machine).
NUMBRA_EXPORT const char* KernelName();

// Kernel entry points of one instruction set (gemm_avx2.cpp, gemm.cpp).
// A micro-kernel adds kc terms onto the MR x NR tile at c; with FromZero
// the tile starts from 0.0 in registers instead of being loaded from c.
using MicroKernelFn = void (*)(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                               std::ptrdiff_t ldc, bool FromZero);
using RowUpdateFn = void (*)(const double* r, std::ptrdiff_t k0, std::ptrdiff_t k1, const double* X,
                             double* acc);

/// Register tile of the micro-kernel: MR rows by NR columns. The packed A
/// panel holds MR values per k, the packed B panel NR values per k.
inline constexpr std::ptrdiff_t kMR = 8;
inline constexpr std::ptrdiff_t kNR = 6;

#if defined(NUMBRA_MATRIX_HAVE_AVX2)
void MicroKernelAvx2(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                     std::ptrdiff_t ldc, bool FromZero);
void RowUpdateAvx2(const double* r, std::ptrdiff_t k0, std::ptrdiff_t k1, const double* X,
                   double* acc);
#endif

/// A heap buffer of doubles whose data() is 64-byte aligned.
class AlignedBuffer {
 public:
  explicit AlignedBuffer(std::size_t n) : store_(n + 8) {
    const auto addr = reinterpret_cast<std::uintptr_t>(store_.data());
    offset_ = ((64 - addr % 64) % 64) / sizeof(double);
  }
  [[nodiscard]] double* data() noexcept { return store_.data() + offset_; }

 private:
  std::vector<double> store_;
  std::size_t offset_ = 0;
};

}  // namespace numbra::detail
