// CalcCovar: covariance, correlation, cross-product and distance matrices of
// the columns of a matrix.
//
// Means and variances come from the library's corrected two-pass kernel, not
// from the one-pass form (sum x^2 - (sum x)^2 / m) / (m - 1): equal in exact
// arithmetic, but the one-pass difference loses every digit when the mean is
// large next to the spread (values near 1e6 with spread 0.1 keep none). The
// cross products of modes 1 to 3 are taken of the centred columns for the
// same reason. Those sums, and the raw ones of mode 0, are formed for the
// lower triangle only, 4 x 4 pairs of columns at a time over chunks of rows
// centred into a buffer that stays in cache (no full centred copy of the
// data; AVX2 where the processor has it, the same bits without);
// mode 4 sums the squared differences directly, which keeps its digits for
// nearly equal columns (the expansion into sum x^2 + sum y^2 - 2 sum x y
// would not).
#include "ORK_math2.h"
#include "analysis/multivariate_detail.h"
#include "foundation/frame_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace numbra {
namespace detail {

namespace {

// Rows per chunk of the cross products (a chunk of all columns stays in the
// second-level cache while every tile of the triangle runs over it).
constexpr std::size_t kChunk = 256;

// acc[(ti * nt + tj) * 64 + (a * 4 + b) * 4 + lane] accumulates, for the
// columns 4 ti + a and 4 tj + b, the products of the rows of each lane.
// buf: chunk of rows, column c at buf + c * kChunk, rows padded with 0.
void TilesGeneric(const double* buf, std::size_t nt, std::size_t rows, double* acc) noexcept {
  for (std::size_t ti = 0; ti < nt; ++ti)
    for (std::size_t tj = 0; tj <= ti; ++tj) {
      double* t = acc + (ti * nt + tj) * 64;
      for (std::size_t a = 0; a < 4; ++a)
        for (std::size_t b = 0; b < 4; ++b) {
          const double* x = buf + (4 * ti + a) * kChunk;
          const double* y = buf + (4 * tj + b) * kChunk;
          double* l = t + (a * 4 + b) * 4;
          for (std::size_t k = 0; k < rows; k += 4)
            for (std::size_t u = 0; u < 4; ++u) l[u] += x[k + u] * y[k + u];
        }
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define NUMBRA_COVAR_AVX2 1
// The same sums, 4 x 4 columns at a time in sixteen registers (separate
// multiplies and adds: the same bits as the generic loops).
__attribute__((target("avx2"))) void TilesAvx2(const double* buf, std::size_t nt, std::size_t rows,
                                               double* acc) noexcept {
  for (std::size_t ti = 0; ti < nt; ++ti)
    for (std::size_t tj = 0; tj <= ti; ++tj) {
      double* t = acc + (ti * nt + tj) * 64;
      const double* x0 = buf + 4 * ti * kChunk;
      const double* y0 = buf + 4 * tj * kChunk;
      __m256d c[16];
      for (int q = 0; q < 16; ++q) c[q] = _mm256_loadu_pd(t + 4 * q);
      for (std::size_t k = 0; k < rows; k += 4) {
        const __m256d xa[4] = {_mm256_loadu_pd(x0 + k), _mm256_loadu_pd(x0 + kChunk + k),
                               _mm256_loadu_pd(x0 + 2 * kChunk + k),
                               _mm256_loadu_pd(x0 + 3 * kChunk + k)};
        const __m256d yb[4] = {_mm256_loadu_pd(y0 + k), _mm256_loadu_pd(y0 + kChunk + k),
                               _mm256_loadu_pd(y0 + 2 * kChunk + k),
                               _mm256_loadu_pd(y0 + 3 * kChunk + k)};
        for (int a = 0; a < 4; ++a)
          for (int b = 0; b < 4; ++b)
            c[a * 4 + b] = _mm256_add_pd(c[a * 4 + b], _mm256_mul_pd(xa[a], yb[b]));
      }
      for (int q = 0; q < 16; ++q) _mm256_storeu_pd(t + 4 * q, c[q]);
    }
}
#endif

using TilesFn = void (*)(const double*, std::size_t, std::size_t, double*) noexcept;

TilesFn PickTiles() {
#if defined(NUMBRA_COVAR_AVX2)
  const char* forced = std::getenv("NUMBRA_MATRIX_KERNEL");
  if (__builtin_cpu_supports("avx2") && !(forced != nullptr && std::strcmp(forced, "generic") == 0))
    return TilesAvx2;
#endif
  return TilesGeneric;
}

// Lower triangle of (X - mu)^T (X - mu) into Out (n x n column-major, Out[i
// * n + j] for j <= i), X the m rows of n columns from base (leading
// dimension ld). The rows are taken in chunks, centred into a small buffer
// and summed in four lanes per pair (rows k = 0, 1, 2, 3 mod 4 of each
// chunk), the lanes added at the end. False when AbortMathProc is set
// between two chunks.
bool CrossProducts(const double* base, std::size_t ld, std::size_t m, std::size_t n,
                   const std::vector<double>& mu, std::vector<double>& Out) {
  static const TilesFn Tiles = PickTiles();
  const std::size_t nt = (n + 3) / 4;
  std::vector<double> buf(4 * nt * kChunk, 0.0);
  std::vector<double> acc(nt * nt * 64, 0.0);
  for (std::size_t r0 = 0; r0 < m; r0 += kChunk) {
    if (corvel::AbortMathProc.load(std::memory_order_relaxed)) return false;
    const std::size_t rows = std::min(kChunk, m - r0);
    for (std::size_t j = 0; j < n; ++j) {
      const double* src = base + j * ld + r0;
      double* dst = buf.data() + j * kChunk;
      const double mj = mu[j];
      for (std::size_t k = 0; k < rows; ++k) dst[k] = src[k] - mj;
      for (std::size_t k = rows; k < kChunk; ++k) dst[k] = 0.0;
    }
    Tiles(buf.data(), nt, (rows + 3) / 4 * 4, acc.data());
  }
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j <= i; ++j) {
      const double* l = acc.data() + ((i / 4) * nt + j / 4) * 64 + ((i % 4) * 4 + j % 4) * 4;
      Out[i * n + j] = (l[0] + l[1]) + (l[2] + l[3]);
    }
  return true;
}

}  // namespace

bool CovarKernel(const TMatrix& InMat, int32_t LoC, int32_t nc, int32_t LoR, int32_t m,
                 int32_t Mode, std::vector<double>& Out) {
  const auto n = static_cast<std::size_t>(nc);
  const auto mm = static_cast<std::size_t>(m);
  const auto ld = static_cast<std::size_t>(InMat.NrOfRows());
  const double* base = InMat.Values().data() + static_cast<std::size_t>(LoC - 1) * ld +
                       static_cast<std::size_t>(LoR - 1);
  ProgressCounter progress;
  const double denom = static_cast<double>(m - 1);

  // Means and variances (modes > 0), one pass per column; the progress of
  // the per-row first pass.
  std::vector<double> mean(n, 0.0);
  std::vector<double> sdev(n, 0.0);
  if (Mode > 0) {
    for (std::size_t j = 0; j < n; ++j) {
      const MeanSSD r = FastMeanAndSSD(std::span<const double>(base + j * ld, mm));
      mean[j] = r.mean;
      sdev[j] = std::sqrt(r.Variance(1));
    }
    progress.Steps(m);
  }

  Out.assign(n * n, 0.0);
  if (Mode < 0 || Mode > 4) {
    for (int32_t i = 0; i < nc; ++i) {
      if (corvel::AbortMathProc.load(std::memory_order_relaxed)) return false;
      progress.Steps(i + 1, static_cast<double>(m));
    }
    return true;
  }

  if (Mode == 4) {
    // Lower triangle column by column: Out(i, j), j < i, the running sum of
    // (x_j - x_i)^2 in ascending rows, with four chains for the pipeline.
    for (std::size_t i = 0; i < n; ++i) {
      if (corvel::AbortMathProc.load(std::memory_order_relaxed)) return false;
      const double* y = base + i * ld;
      for (std::size_t j = 0; j < i; ++j) {
        const double* x = base + j * ld;
        double s[4] = {0.0, 0.0, 0.0, 0.0};
        std::size_t k = 0;
        for (; k + 4 <= mm; k += 4)
          for (std::size_t u = 0; u < 4; ++u) {
            const double d = x[k + u] - y[k + u];
            s[u] += d * d;
          }
        for (; k < mm; ++k) {
          const double d = x[k] - y[k];
          s[0] += d * d;
        }
        const double v = ((s[0] + s[1]) + (s[2] + s[3])) / denom;
        Out[j * n + i] = v;
        Out[i * n + j] = v;
      }
      progress.Steps(static_cast<int64_t>(i) + 1, static_cast<double>(m));
    }
    return true;
  }

  // Modes 0 to 3: the lower triangle of X^T X, X the raw columns (mode 0)
  // or the centred ones; then the scaling of each pair, with the abort test
  // and the progress per variable.
  if (Mode == 0) std::fill(mean.begin(), mean.end(), 0.0);
  if (!CrossProducts(base, ld, mm, n, mean, Out)) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (corvel::AbortMathProc.load(std::memory_order_relaxed)) return false;
    for (std::size_t j = 0; j <= i; ++j) {
      double v = Out[i * n + j];
      if (Mode >= 2) {
        double s = sdev[i] * sdev[j];
        if (s == 0.0) s = 1e-38;
        v = v / s;
      }
      v = v / denom;
      if (Mode == 3) v = v * v;
      if (Mode == 2 && i == j) v = 1.0;
      Out[i * n + j] = v;
      Out[j * n + i] = v;
    }
    progress.Steps(static_cast<int64_t>(i) + 1, static_cast<double>(m));
  }
  return true;
}

}  // namespace detail

bool CalcCovar(const TMatrix& InMat, TMatrix& CovarMat, int32_t LoC, int32_t HiC, int32_t LoR,
               int32_t HiR, int32_t Mode) {
  corvel::AbortMathProc.store(false);
  if (InMat.NrOfColumns() < 1 || InMat.NrOfRows() < 1) return false;
  InMat.MakeValidColRange(LoC, HiC);
  InMat.MakeValidRowRange(LoR, HiR);
  const int32_t n = HiC - LoC + 1;
  const int32_t m = HiR - LoR + 1;
  if (n < 1 || m < 2) return false;
  if (CovarMat.NrOfColumns() < n || CovarMat.NrOfRows() < n) return false;
  std::vector<double> out;
  if (!detail::CovarKernel(InMat, LoC, n, LoR, m, Mode, out)) return false;
  const auto nn = static_cast<std::size_t>(n);
  for (int32_t i = 1; i <= n; ++i)
    for (int32_t j = 1; j <= n; ++j)
      CovarMat.SetVal(j, i,
                      out[static_cast<std::size_t>(i - 1) * nn + static_cast<std::size_t>(j - 1)]);
  return true;
}

}  // namespace numbra
