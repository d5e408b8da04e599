// CalcCovar: covariance, correlation, cross-product and distance matrices of
// the columns of a matrix.
//
// Means and variances come from the library's corrected two-pass kernel, not
// from the one-pass form (sum x^2 - (sum x)^2 / m) / (m - 1): equal in exact
// arithmetic, but the one-pass difference loses every digit when the mean is
// large next to the spread (values near 1e6 with spread 0.1 keep none). The
// cross products of modes 1 to 3 are taken of the centred columns for the
// same reason. Those sums, and the raw ones of mode 0, run through the
// blocked product kernel of the matrices on the lower block triangle only;
// mode 4 sums the squared differences directly, which keeps its digits for
// nearly equal columns (the expansion into sum x^2 + sum y^2 - 2 sum x y
// would not).
#include "ORK_math2.h"
#include "analysis/multivariate_detail.h"
#include "foundation/frame_detail.h"
#include "matrix/gemm_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <cmath>

namespace numbra {
namespace detail {

namespace {

// Columns per block of the product: the abort test and the progress run per
// variable, the product per block.
constexpr int32_t kPanel = 16;

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

  // Modes 0 to 3: Out = X^T X over the lower block triangle, X the raw
  // columns (mode 0) or the centred ones (a private copy).
  std::vector<double> centred;
  const double* x = base;
  std::size_t ldx = ld;
  if (Mode > 0) {
    centred.resize(n * mm);
    for (std::size_t j = 0; j < n; ++j) {
      const double* src = base + j * ld;
      double* dst = centred.data() + j * mm;
      const double mu = mean[j];
      for (std::size_t k = 0; k < mm; ++k) dst[k] = src[k] - mu;
    }
    x = centred.data();
    ldx = mm;
  }
  const auto sld = static_cast<std::ptrdiff_t>(ldx);
  for (int32_t i0 = 0; i0 < nc; i0 += kPanel) {
    if (corvel::AbortMathProc.load(std::memory_order_relaxed)) return false;
    const int32_t i1 = std::min(nc, i0 + kPanel);
    // Rows 0..i1-1 of columns i0..i1-1 of X^T X.
    GemmAccumulate(i1, i1 - i0, m, ConstView{x, sld, 1},
                   ConstView{x + static_cast<std::size_t>(i0) * ldx, 1, sld},
                   Out.data() + static_cast<std::size_t>(i0) * n, static_cast<std::ptrdiff_t>(n),
                   false);
    for (int32_t ii = i0; ii < i1; ++ii) {
      if (corvel::AbortMathProc.load(std::memory_order_relaxed)) return false;
      const auto i = static_cast<std::size_t>(ii);
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
      progress.Steps(ii + 1, static_cast<double>(m));
    }
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
