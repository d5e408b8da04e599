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
#include "matrix/gemm_avx512_kernel.h"
#include "matrix/gemm_detail.h"
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace numbra::detail {

namespace {

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

// One kernel set: the micro-kernel with the packing routines whose panel
// layout it reads.
struct KernelSet {
  MicroKernelFn micro;
  EdgeKernelFn edge;
  PackAFn pack_a;
  PackBFn pack_b;
  std::ptrdiff_t mr;       // register tile: rows (the A panels' width)
  std::ptrdiff_t nr;       // and columns (the B panels' width)
  std::ptrdiff_t b_width;  // copies of each value in a packed B panel
  const char* name;
};

void PackAGeneric(ConstView A, std::ptrdiff_t i0, std::ptrdiff_t k0, std::ptrdiff_t mc,
                  std::ptrdiff_t kc, bool negate, double* out);
void PackBGeneric(ConstView B, std::ptrdiff_t k0, std::ptrdiff_t j0, std::ptrdiff_t kc,
                  std::ptrdiff_t nc, double* out);

constexpr KernelSet kGenericSet{
    &MicroKernelGeneric, nullptr, &PackAGeneric, &PackBGeneric, kMR, kNR, 1, "generic"};
#if defined(NUMBRA_MATRIX_HAVE_AVX2)
constexpr KernelSet kAvx2Set{&MicroKernelAvx2, &EdgeKernelAvx2, &PackAAvx2, &PackBAvx2, kMR, kNR,
                             kAvx2BWidth,      "avx2"};
// The 24 x 8 tile with compact B panels.
constexpr KernelSet kAvx512EmulatedSet{
    &MicroKernelAvx512Emulated, &EdgeKernelAvx512Emulated, &PackAWide, &PackBWide,
    avx512_kernel::kMR,         avx512_kernel::kNR,        1,          "avx512-emulated"};
#endif
#if defined(NUMBRA_MATRIX_HAVE_AVX512)
constexpr KernelSet kAvx512Set{&MicroKernelAvx512, &EdgeKernelAvx512,  &PackAWide, &PackBWide,
                               avx512_kernel::kMR, avx512_kernel::kNR, 1,          "avx512"};
#endif

// The set named, when this build has it and the processor can run it.
const KernelSet* FindSet(const char* name) {
  if (name == nullptr) return nullptr;
  if (std::strcmp(name, "generic") == 0) return &kGenericSet;
#if defined(NUMBRA_MATRIX_HAVE_AVX2)
  if (std::strcmp(name, "avx2") == 0 && __builtin_cpu_supports("avx2")) return &kAvx2Set;
  if (std::strcmp(name, "avx512-emulated") == 0 && __builtin_cpu_supports("avx2"))
    return &kAvx512EmulatedSet;
#endif
#if defined(NUMBRA_MATRIX_HAVE_AVX512)
  if (std::strcmp(name, "avx512") == 0 && __builtin_cpu_supports("avx512f")) return &kAvx512Set;
#endif
  return nullptr;
}

// The widest set the processor runs, unless NUMBRA_MATRIX_KERNEL names
// another one it can run.
const KernelSet* ChooseKernels() {
  if (const KernelSet* forced = FindSet(std::getenv("NUMBRA_MATRIX_KERNEL"))) return forced;
#if defined(NUMBRA_MATRIX_HAVE_AVX512)
  if (__builtin_cpu_supports("avx512f")) return &kAvx512Set;
#endif
#if defined(NUMBRA_MATRIX_HAVE_AVX2)
  if (__builtin_cpu_supports("avx2")) return &kAvx2Set;
#endif
  return &kGenericSet;
}

std::atomic<const KernelSet*>& CurrentSet() {
  static std::atomic<const KernelSet*> set{ChooseKernels()};
  return set;
}

const KernelSet& Kernels() { return *CurrentSet().load(std::memory_order_relaxed); }

// Size in bytes of a data cache level as the system reports it, or
// fallback when it does not.
std::ptrdiff_t CacheBytes(int name, std::ptrdiff_t fallback) {
  const long v = ::sysconf(name);
  return v > 0 ? static_cast<std::ptrdiff_t>(v) : fallback;
}

// Largest register tile of any set (the buffer of the edge tiles).
constexpr std::ptrdiff_t kMaxTile = avx512_kernel::kMR * avx512_kernel::kNR;

// Cache blocks of the driver, for one kernel set on this processor (mc a
// multiple of the set's tile rows, nc of its tile columns).
using Blocks = GemmBlocks;

std::atomic<bool>& AlwaysBlockedFlag() {
  static std::atomic<bool> flag{false};
  return flag;
}

// The packed B panel (kc x nr values, b_width copies each) takes up to
// half of L1 beside the A panel the kernel streams; the packed A block
// (mc x kc) half of L2; the packed B block (kc x nc) at most 4 MiB, the
// share of a shared last-level cache one core can count on.
Blocks ChooseBlocks(const KernelSet& set) {
  const std::ptrdiff_t mr = set.mr;
  const std::ptrdiff_t nr = set.nr;
  const std::ptrdiff_t b_width = set.b_width;
#if defined(_SC_LEVEL1_DCACHE_SIZE) && defined(_SC_LEVEL2_CACHE_SIZE)
  const std::ptrdiff_t l1 =
      std::clamp<std::ptrdiff_t>(CacheBytes(_SC_LEVEL1_DCACHE_SIZE, 32 << 10), 16 << 10, 1 << 20);
  const std::ptrdiff_t l2 =
      std::clamp<std::ptrdiff_t>(CacheBytes(_SC_LEVEL2_CACHE_SIZE, 512 << 10), 128 << 10, 16 << 20);
#else
  const std::ptrdiff_t l1 = 32 << 10;
  const std::ptrdiff_t l2 = 512 << 10;
#endif
  const auto d = static_cast<std::ptrdiff_t>(sizeof(double));
  Blocks b{};
  b.kc = std::clamp<std::ptrdiff_t>(l1 / 2 / (nr * b_width * d) / 16 * 16, 32, 384);
  b.mc = std::clamp<std::ptrdiff_t>(l2 / 2 / (b.kc * d) / mr * mr, 4 * mr, 1024);
  b.nc = std::clamp<std::ptrdiff_t>((4 << 20) / (b.kc * b_width * d) / nr * nr, 16 * nr, 1024 * nr);
  return b;
}

const Blocks& BlocksFor(const KernelSet& set) {
  static const Blocks generic = ChooseBlocks(kGenericSet);
#if defined(NUMBRA_MATRIX_HAVE_AVX2)
  static const Blocks avx2 = ChooseBlocks(kAvx2Set);
  if (&set == &kAvx2Set) return avx2;
  static const Blocks avx512_emulated = ChooseBlocks(kAvx512EmulatedSet);
  if (&set == &kAvx512EmulatedSet) return avx512_emulated;
#endif
#if defined(NUMBRA_MATRIX_HAVE_AVX512)
  static const Blocks avx512 = ChooseBlocks(kAvx512Set);
  if (&set == &kAvx512Set) return avx512;
#endif
  (void)set;
  return generic;
}

// Packs rows i0..i0+mc-1, columns k0..k0+kc-1 of A into panels of kMR rows:
// panel p holds, for each k, the kMR values A(i0 + p*kMR + 0..kMR-1, k);
// rows past mc are zero.
void PackAGeneric(ConstView A, std::ptrdiff_t i0, std::ptrdiff_t k0, std::ptrdiff_t mc,
                  std::ptrdiff_t kc, bool negate, double* out) {
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
void PackBGeneric(ConstView B, std::ptrdiff_t k0, std::ptrdiff_t j0, std::ptrdiff_t kc,
                  std::ptrdiff_t nc, double* out) {
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

bool UseKernel(const char* Name, bool AlwaysBlocked) {
  const KernelSet* set = FindSet(Name);
  if (set == nullptr) return false;
  CurrentSet().store(set, std::memory_order_relaxed);
  AlwaysBlockedFlag().store(AlwaysBlocked, std::memory_order_relaxed);
  return true;
}

GemmBlocks KernelBlocks() { return BlocksFor(Kernels()); }

namespace {

// A grow-only, 64-byte aligned scratch array, left uninitialised (the
// packing routines write every value the kernels read).
class Scratch {
 public:
  double* Get(std::size_t n) {
    if (n > size_) {
      store_.reset();
      store_ = std::make_unique_for_overwrite<double[]>(n + 8);
      size_ = n;
    }
    const auto addr = reinterpret_cast<std::uintptr_t>(store_.get());
    return store_.get() + ((64 - addr % 64) % 64) / sizeof(double);
  }

 private:
  std::unique_ptr<double[]> store_;
  std::size_t size_ = 0;
};

// The packing buffers of one thread, kept between calls: a product that is
// repeated (or the updates of a factorisation) then neither allocates nor
// touches fresh pages. At most a few MiB per thread (see ChooseBlocks).
struct Workspace {
  Scratch a;
  Scratch b;
};

Workspace& ThreadWorkspace() {
  thread_local Workspace ws;
  return ws;
}

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
  if ((m * n * k <= 32 * 32 * 32 || m < kMR || n < kNR) &&
      !AlwaysBlockedFlag().load(std::memory_order_relaxed)) {
    GemmSmall(m, n, k, A, B, C, ldc, NegateA, from_zero);
    return;
  }
  const KernelSet& set = Kernels();
  const std::ptrdiff_t MR = set.mr;
  const std::ptrdiff_t NR = set.nr;
  const Blocks& blk = BlocksFor(set);
  // The k range in blocks of equal depth (k = 128 as 64 + 64, not
  // 80 + 48): a short last block would load and store every tile of C for
  // few terms.
  const std::ptrdiff_t k_blocks = (k + blk.kc - 1) / blk.kc;
  const std::ptrdiff_t kc_step = (k + k_blocks - 1) / k_blocks;
  const std::ptrdiff_t kc_max = kc_step;
  const std::ptrdiff_t mc_max = std::min(blk.mc, (m + MR - 1) / MR * MR);
  const std::ptrdiff_t nc_max = std::min(blk.nc, (n + NR - 1) / NR * NR);
  Workspace& ws = ThreadWorkspace();
  double* const pack_a = ws.a.Get(static_cast<std::size_t>(mc_max * kc_max));
  double* const pack_b = ws.b.Get(static_cast<std::size_t>(nc_max * kc_max * set.b_width));
  alignas(64) double tile[kMaxTile];

  for (std::ptrdiff_t jc = 0; jc < n; jc += blk.nc) {
    const std::ptrdiff_t nc = std::min(blk.nc, n - jc);
    for (std::ptrdiff_t pc = 0; pc < k; pc += kc_step) {
      const std::ptrdiff_t kc = std::min(kc_step, k - pc);
      const bool zero_start = from_zero && pc == 0;
      set.pack_b(B, pc, jc, kc, nc, pack_b);
      for (std::ptrdiff_t ic = 0; ic < m; ic += blk.mc) {
        const std::ptrdiff_t mc = std::min(blk.mc, m - ic);
        set.pack_a(A, ic, pc, mc, kc, NegateA, pack_a);
        for (std::ptrdiff_t jr = 0; jr < nc; jr += NR) {
          const std::ptrdiff_t nr = std::min(NR, nc - jr);
          const double* pb = pack_b + jr * kc * set.b_width;
          for (std::ptrdiff_t ir = 0; ir < mc; ir += MR) {
            const std::ptrdiff_t mr = std::min(MR, mc - ir);
            const double* pa = pack_a + ir * kc;
            double* c = C + (ic + ir) + (jc + jr) * ldc;
            if (mr == MR && nr == NR) {
              // The tile after this one (a tile height down, or the first
              // of the next column panel) is fetched while this one is worked
              // on. Addresses only: a prefetch never faults.
              if (!zero_start) {
                const std::ptrdiff_t next_offset =
                    ir + MR < mc ? ic + ir + MR + (jc + jr) * ldc : ic + (jc + jr + NR) * ldc;
                const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(C) +
                                            static_cast<std::uintptr_t>(next_offset) * 8;
                for (std::ptrdiff_t j = 0; j < NR; ++j) {
                  const std::uintptr_t col = next + static_cast<std::uintptr_t>(j * ldc) * 8;
                  __builtin_prefetch(reinterpret_cast<const void*>(col));
                  __builtin_prefetch(
                      reinterpret_cast<const void*>(col + static_cast<std::uintptr_t>(MR - 1) * 8));
                }
              }
              set.micro(kc, pa, pb, c, ldc, zero_start);
            } else if (set.edge != nullptr) {
              set.edge(kc, pa, pb, c, ldc, zero_start, mr, nr);
            } else {
              // Edge tile: work on a full tile in a buffer; the padded rows
              // and columns are discarded.
              for (std::ptrdiff_t j = 0; j < NR; ++j)
                for (std::ptrdiff_t i = 0; i < MR; ++i)
                  tile[j * MR + i] = (!zero_start && i < mr && j < nr) ? c[j * ldc + i] : 0.0;
              set.micro(kc, pa, pb, tile, MR, false);
              for (std::ptrdiff_t j = 0; j < nr; ++j)
                for (std::ptrdiff_t i = 0; i < mr; ++i) c[j * ldc + i] = tile[j * MR + i];
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
