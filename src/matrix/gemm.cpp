// Blocked matrix product driver, the portable kernels and the run-time
// choice of the kernel set.
//
// The driver follows Goto and van de Geijn ("Anatomy of high-performance
// matrix multiplication", ACM TOMS 34(3), 2008): B is packed in kc x nc
// blocks (kept in the last-level cache), A in mc x kc blocks (kept in L2),
// both cut into panels that the micro-kernel streams through while an
// MR x NR tile of C stays in registers. The kc blocks are visited in
// ascending order and the micro-kernel loads the tile of C, adds its kc
// terms in ascending k and stores it back, so each element of C receives
// its terms in ascending k overall -- exactly the sequence of the plain
// triple loop.
#include "matrix/gemm_detail.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace numbra::detail {

namespace {

// Block sizes for 32-48 KiB L1, 512 KiB-1 MiB L2 caches: the packed A block
// (kMC x kKC doubles, 288 KiB) stays in L2, a packed B panel (kKC x kNR,
// 12 KiB) in L1.
constexpr std::ptrdiff_t kKC = 256;
constexpr std::ptrdiff_t kMC = 144;   // multiple of kMR
constexpr std::ptrdiff_t kNC = 3072;  // multiple of kNR

// Portable micro-kernel: the same tile and order of operations as the AVX2
// one (the compiler vectorises the i loops with whatever the baseline
// instruction set offers).
void MicroKernelGeneric(std::ptrdiff_t kc, const double* a, const double* b, double* c,
                        std::ptrdiff_t ldc, bool FromZero) {
  double t[kNR][kMR];
  for (std::ptrdiff_t j = 0; j < kNR; ++j)
    for (std::ptrdiff_t i = 0; i < kMR; ++i) t[j][i] = FromZero ? 0.0 : c[j * ldc + i];
  for (std::ptrdiff_t k = 0; k < kc; ++k) {
    for (std::ptrdiff_t j = 0; j < kNR; ++j) {
      const double bj = b[j];
      for (std::ptrdiff_t i = 0; i < kMR; ++i) t[j][i] = t[j][i] + a[i] * bj;
    }
    a += kMR;
    b += kNR;
  }
  for (std::ptrdiff_t j = 0; j < kNR; ++j)
    for (std::ptrdiff_t i = 0; i < kMR; ++i) c[j * ldc + i] = t[j][i];
}

void RowUpdateGeneric(const double* r, std::ptrdiff_t k0, std::ptrdiff_t k1, const double* X,
                      double* acc) {
  double s[kRowBlock];
  std::memcpy(s, acc, sizeof s);
  const double* x = X + k0 * kRowBlock;
  for (std::ptrdiff_t k = k0; k < k1; ++k, x += kRowBlock) {
    const double u = r[k];
    for (std::ptrdiff_t v = 0; v < kRowBlock; ++v) s[v] = s[v] - u * x[v];
  }
  std::memcpy(acc, s, sizeof s);
}

struct KernelSet {
  MicroKernelFn micro;
  RowUpdateFn row_update;
  const char* name;
};

KernelSet ChooseKernels() {
  const char* forced = std::getenv("NUMBRA_MATRIX_KERNEL");
  const bool generic_only = forced != nullptr && std::strcmp(forced, "generic") == 0;
#if defined(NUMBRA_MATRIX_HAVE_AVX2)
  if (!generic_only && __builtin_cpu_supports("avx2"))
    return {&MicroKernelAvx2, &RowUpdateAvx2, "avx2"};
#else
  (void)generic_only;
#endif
  return {&MicroKernelGeneric, &RowUpdateGeneric, "generic"};
}

const KernelSet& Kernels() {
  static const KernelSet set = ChooseKernels();
  return set;
}

// Packs rows i0..i0+mc-1, columns k0..k0+kc-1 of A into panels of kMR rows:
// panel p holds, for each k, the kMR values A(i0 + p*kMR + 0..kMR-1, k);
// rows past mc are zero.
void PackA(ConstView A, std::ptrdiff_t i0, std::ptrdiff_t k0, std::ptrdiff_t mc, std::ptrdiff_t kc,
           bool negate, double* out) {
  for (std::ptrdiff_t p = 0; p < mc; p += kMR) {
    const std::ptrdiff_t rows = std::min(kMR, mc - p);
    double* dst = out + p * kc;
    if (A.rs == 1 && rows == kMR) {
      for (std::ptrdiff_t k = 0; k < kc; ++k) {
        const double* src = A.p + (i0 + p) + (k0 + k) * A.cs;
        for (std::ptrdiff_t i = 0; i < kMR; ++i) dst[k * kMR + i] = negate ? -src[i] : src[i];
      }
    } else {
      // A transposed view (or an edge panel): walk each row of the view
      // along k, which is contiguous in a transposed view.
      for (std::ptrdiff_t i = 0; i < rows; ++i)
        for (std::ptrdiff_t k = 0; k < kc; ++k) {
          const double v = A.At(i0 + p + i, k0 + k);
          dst[k * kMR + i] = negate ? -v : v;
        }
      for (std::ptrdiff_t i = rows; i < kMR; ++i)
        for (std::ptrdiff_t k = 0; k < kc; ++k) dst[k * kMR + i] = 0.0;
    }
  }
}

// Packs rows k0..k0+kc-1, columns j0..j0+nc-1 of B into panels of kNR
// columns: panel q holds, for each k, B(k, j0 + q*kNR + 0..kNR-1); columns
// past nc are zero.
void PackB(ConstView B, std::ptrdiff_t k0, std::ptrdiff_t j0, std::ptrdiff_t kc, std::ptrdiff_t nc,
           double* out) {
  for (std::ptrdiff_t q = 0; q < nc; q += kNR) {
    const std::ptrdiff_t cols = std::min(kNR, nc - q);
    double* dst = out + q * kc;
    if (B.rs == 1) {
      for (std::ptrdiff_t j = 0; j < cols; ++j) {
        const double* src = B.p + k0 + (j0 + q + j) * B.cs;
        for (std::ptrdiff_t k = 0; k < kc; ++k) dst[k * kNR + j] = src[k];
      }
    } else {
      // A transposed view: the panel's columns are contiguous for each k.
      for (std::ptrdiff_t k = 0; k < kc; ++k)
        for (std::ptrdiff_t j = 0; j < cols; ++j) dst[k * kNR + j] = B.At(k0 + k, j0 + q + j);
    }
    for (std::ptrdiff_t j = cols; j < kNR; ++j)
      for (std::ptrdiff_t k = 0; k < kc; ++k) dst[k * kNR + j] = 0.0;
  }
}

// The plain loops, for products too small to be worth packing. Same
// sequence of operations per element; with from_zero each column of C is
// cleared just before its sums are formed.
void GemmSmall(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, ConstView A, ConstView B,
               double* C, std::ptrdiff_t ldc, bool negate, bool from_zero) {
  for (std::ptrdiff_t j = 0; j < n; ++j) {
    double* cj = C + j * ldc;
    if (from_zero) std::fill(cj, cj + m, 0.0);
    for (std::ptrdiff_t kk = 0; kk < k; ++kk) {
      const double b = B.At(kk, j);
      for (std::ptrdiff_t i = 0; i < m; ++i) {
        const double a = negate ? -A.At(i, kk) : A.At(i, kk);
        cj[i] = cj[i] + a * b;
      }
    }
  }
}

}  // namespace

const char* KernelName() { return Kernels().name; }

void RowUpdate(const double* r, std::ptrdiff_t k0, std::ptrdiff_t k1, const double* X,
               double* acc) {
  Kernels().row_update(r, k0, k1, X, acc);
}

namespace {

// The blocked driver behind GemmAccumulate and GemmStore. With from_zero
// the first kc block of every tile starts from 0.0 instead of C's contents,
// so C is written but never read.
void Gemm(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, ConstView A, ConstView B, double* C,
          std::ptrdiff_t ldc, bool NegateA, bool from_zero) {
  if (m <= 0 || n <= 0) return;
  if (k <= 0) {
    if (from_zero)
      for (std::ptrdiff_t j = 0; j < n; ++j) std::fill(C + j * ldc, C + j * ldc + m, 0.0);
    return;
  }
  if (m * n * k <= 32 * 32 * 32 || m < kMR || n < kNR) {
    GemmSmall(m, n, k, A, B, C, ldc, NegateA, from_zero);
    return;
  }
  const MicroKernelFn micro = Kernels().micro;
  const std::ptrdiff_t kc_max = std::min(kKC, k);
  const std::ptrdiff_t mc_max = std::min(kMC, (m + kMR - 1) / kMR * kMR);
  const std::ptrdiff_t nc_max = std::min(kNC, (n + kNR - 1) / kNR * kNR);
  AlignedBuffer pack_a(static_cast<std::size_t>(mc_max * kc_max));
  AlignedBuffer pack_b(static_cast<std::size_t>(nc_max * kc_max));
  alignas(64) double tile[kNR * kMR];

  for (std::ptrdiff_t jc = 0; jc < n; jc += kNC) {
    const std::ptrdiff_t nc = std::min(kNC, n - jc);
    for (std::ptrdiff_t pc = 0; pc < k; pc += kKC) {
      const std::ptrdiff_t kc = std::min(kKC, k - pc);
      const bool zero_start = from_zero && pc == 0;
      PackB(B, pc, jc, kc, nc, pack_b.data());
      for (std::ptrdiff_t ic = 0; ic < m; ic += kMC) {
        const std::ptrdiff_t mc = std::min(kMC, m - ic);
        PackA(A, ic, pc, mc, kc, NegateA, pack_a.data());
        for (std::ptrdiff_t jr = 0; jr < nc; jr += kNR) {
          const std::ptrdiff_t nr = std::min(kNR, nc - jr);
          const double* pb = pack_b.data() + jr * kc;
          for (std::ptrdiff_t ir = 0; ir < mc; ir += kMR) {
            const std::ptrdiff_t mr = std::min(kMR, mc - ir);
            const double* pa = pack_a.data() + ir * kc;
            double* c = C + (ic + ir) + (jc + jr) * ldc;
            if (mr == kMR && nr == kNR) {
              micro(kc, pa, pb, c, ldc, zero_start);
            } else {
              // Edge tile: work on a full tile in a buffer; the padded rows
              // and columns are discarded.
              for (std::ptrdiff_t j = 0; j < kNR; ++j)
                for (std::ptrdiff_t i = 0; i < kMR; ++i)
                  tile[j * kMR + i] = (!zero_start && i < mr && j < nr) ? c[j * ldc + i] : 0.0;
              micro(kc, pa, pb, tile, kMR, false);
              for (std::ptrdiff_t j = 0; j < nr; ++j)
                for (std::ptrdiff_t i = 0; i < mr; ++i) c[j * ldc + i] = tile[j * kMR + i];
            }
          }
        }
      }
    }
  }
}

}  // namespace

void GemmAccumulate(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, ConstView A, ConstView B,
                    double* C, std::ptrdiff_t ldc, bool NegateA) {
  Gemm(m, n, k, A, B, C, ldc, NegateA, false);
}

void GemmStore(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, ConstView A, ConstView B,
               double* C, std::ptrdiff_t ldc) {
  Gemm(m, n, k, A, B, C, ldc, false, true);
}

}  // namespace numbra::detail
