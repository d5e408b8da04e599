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
/// panels of A and B, a register-blocked micro-kernel: 8 x 6, or 24 x 8 with
/// AVX-512).
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

/// Width of the right-hand-side blocks of the inverse's back substitution.
inline constexpr std::ptrdiff_t kRowBlock = 32;

/// Name of the kernel set in use: "avx512", "avx2" or "generic" (or the
/// test-only "avx512-emulated"). The choice is made once, from the
/// processor (the widest set it runs); the environment variable
/// NUMBRA_MATRIX_KERNEL (generic, avx2, avx512, avx512-emulated) forces a
/// set the processor can run (an unknown or unsupported name leaves the
/// automatic choice).
NUMBRA_EXPORT const char* KernelName();

/// Switches the kernel set of the products and solves to the one named
/// ("generic", "avx2", "avx512", "avx512-emulated"), for tests that
/// compare every set on one machine; with AlwaysBlocked even the smallest
/// products go through the blocked driver (instead of the plain loops), so
/// that its edge paths can be tested on small shapes. Returns false (and
/// changes nothing) when this build or processor has no such set. Not to
/// be called while a product is running.
NUMBRA_EXPORT bool UseKernel(const char* Name, bool AlwaysBlocked = false);

/// Cache blocks of the blocked driver with the kernel set in use: depth kc
/// of the packed panels, rows mc of the packed A block, columns nc of the
/// packed B block. Chosen once per set from the processor's L1 and L2
/// sizes.
struct GemmBlocks {
  std::ptrdiff_t kc;
  std::ptrdiff_t mc;
  std::ptrdiff_t nc;
};
NUMBRA_EXPORT GemmBlocks KernelBlocks();

// Kernel entry points of one instruction set (gemm_avx2.cpp, gemm.cpp).
// A micro-kernel adds kc terms onto the MR x NR tile at c; with FromZero
// the tile starts from 0.0 in registers instead of being loaded from c.
// a is a packed A panel (MR values per k); b a packed B panel in the
// layout of the set's PackB (NR values per k, each repeated as often as
// the set's B width asks).
using MicroKernelFn = void (*)(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                               std::ptrdiff_t ldc, bool FromZero);
/// A micro-kernel for the edge tiles: only rows 0..mr-1 and columns
/// 0..nr-1 of the tile at c are read and written (nullptr: the driver
/// works on a full tile in a buffer instead).
using EdgeKernelFn = void (*)(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                              std::ptrdiff_t ldc, bool FromZero, std::ptrdiff_t mr,
                              std::ptrdiff_t nr);
/// Packs rows i0..i0+mc-1, columns k0..k0+kc-1 of A (negated with negate)
/// into panels of MR rows (the set's tile height): panel p, at
/// out + p * MR * kc, holds for each k the MR values
/// A(i0 + p*MR + 0..MR-1, k0 + k); rows past mc are zero.
using PackAFn = void (*)(ConstView A, std::ptrdiff_t i0, std::ptrdiff_t k0, std::ptrdiff_t mc,
                         std::ptrdiff_t kc, bool negate, double* out);
/// Packs rows k0..k0+kc-1, columns j0..j0+nc-1 of B into panels of NR
/// columns (the set's tile width): panel q, at out + q * NR * kc * width,
/// holds for each k the NR values B(k0 + k, j0 + q*NR + 0..NR-1), each
/// written width times in a row; columns past nc are zero.
using PackBFn = void (*)(ConstView B, std::ptrdiff_t k0, std::ptrdiff_t j0, std::ptrdiff_t kc,
                         std::ptrdiff_t nc, double* out);

/// Register tile of the micro-kernels (portable and AVX2): MR rows by NR
/// columns. The packed A panel holds MR values per k, the packed B panel NR
/// values per k. (The driver takes the tile from the kernel set, so that a
/// set may use another one.)
inline constexpr std::ptrdiff_t kMR = 8;
inline constexpr std::ptrdiff_t kNR = 6;

#if defined(NUMBRA_MATRIX_HAVE_AVX2)
/// Copies of each B value in the packed B panels of the AVX2 kernel: the
/// values are stored already broadcast to a full register, so that the
/// kernel multiplies straight from memory and needs no shuffle unit (on
/// processors with separate multiply and add pipes the broadcasts would
/// otherwise compete with the adds).
inline constexpr std::ptrdiff_t kAvx2BWidth = 4;
void MicroKernelAvx2(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                     std::ptrdiff_t ldc, bool FromZero);
/// The edge tiles of MicroKernelAvx2: only rows 0..mr-1 (mr in 1..kMR) and
/// columns 0..nr-1 (nr in 1..kNR) of the tile at c are read and written.
void EdgeKernelAvx2(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                    std::ptrdiff_t ldc, bool FromZero, std::ptrdiff_t mr, std::ptrdiff_t nr);
void PackAAvx2(ConstView A, std::ptrdiff_t i0, std::ptrdiff_t k0, std::ptrdiff_t mc,
               std::ptrdiff_t kc, bool negate, double* out);
void PackBAvx2(ConstView B, std::ptrdiff_t k0, std::ptrdiff_t j0, std::ptrdiff_t kc,
               std::ptrdiff_t nc, double* out);

// The 24 x 8 kernel sets (gemm_avx512_kernel.h): set "avx512", when the
// processor has AVX-512F, and "avx512-emulated", the same kernel with each
// 512-bit vector held in two AVX2 registers. The emulated set exists to test
// the AVX-512 kernel's logic (tiling, edge masks, packing) on processors
// without AVX-512: it gives the same results, slowly, and is never chosen
// automatically. Both share the packing below (AVX2 code): A panels of 24
// rows, B panels of 8 columns stored compactly (one copy of each value; the
// kernel broadcasts it from memory as it multiplies).
void MicroKernelAvx512Emulated(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                               std::ptrdiff_t ldc, bool FromZero);
/// The edge tiles of the 24 x 8 kernel: only rows 0..mr-1 (mr in 1..24)
/// and columns 0..nr-1 (nr in 1..8) of the tile at c are read and written.
void EdgeKernelAvx512Emulated(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                              std::ptrdiff_t ldc, bool FromZero, std::ptrdiff_t mr,
                              std::ptrdiff_t nr);
void PackAWide(ConstView A, std::ptrdiff_t i0, std::ptrdiff_t k0, std::ptrdiff_t mc,
               std::ptrdiff_t kc, bool negate, double* out);
void PackBWide(ConstView B, std::ptrdiff_t k0, std::ptrdiff_t j0, std::ptrdiff_t kc,
               std::ptrdiff_t nc, double* out);
#endif

#if defined(NUMBRA_MATRIX_HAVE_AVX512)
/// The 24 x 8 kernel on 512-bit registers (gemm_avx512.cpp); the edge
/// tiles as EdgeKernelAvx512Emulated.
void MicroKernelAvx512(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                       std::ptrdiff_t ldc, bool FromZero);
void EdgeKernelAvx512(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                      std::ptrdiff_t ldc, bool FromZero, std::ptrdiff_t mr, std::ptrdiff_t nr);
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
