// CalcPrincComp (principal components of the columns of a matrix) and
// MahalanobisDistance.
#include "ORK_math2.h"
#include "analysis/multivariate_detail.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace numbra {

bool CalcPrincComp(const TMatrix& InMat, int32_t LoC, int32_t HiC, int32_t LoR, int32_t HiR,
                   int32_t Mode, bool Normalize) {
  corvel::AbortMathProc.store(false);
  if (LoC > HiC) std::swap(LoC, HiC);
  if (LoC < 1 || HiC > InMat.NrOfColumns() || InMat.NrOfRows() < 1) return false;
  InMat.MakeValidRowRange(LoR, HiR);
  const int32_t n = HiC - LoC + 1;
  const int32_t m = HiR - LoR + 1;
  if (m < 2) return false;
  detail::EigenResult r;
  try {
    std::vector<double> cov;
    if (!detail::CovarKernel(InMat, LoC, n, LoR, m, Mode, cov)) return false;
    if (!std::all_of(cov.begin(), cov.end(), [](double x) { return std::isfinite(x); }))
      return false;
    corvel::AbortMathProc.store(false);
    if (!detail::JacobiEigenDense(n, cov, r)) {
      detail::PublishEigen(std::move(r));
      return false;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  const auto nn = static_cast<std::size_t>(n);
  std::vector<double>& val = r.values;
  if (Normalize) {
    double total = 0.0;
    for (double x : val) total += std::fabs(x);
    if (total != 0.0)
      for (double& x : val) x /= total;
  }
  // Selection by descending eigenvalue; only eigenvalues above 0 move.
  for (std::size_t i = 0; i < nn; ++i) {
    std::size_t best = nn;
    double best_value = 0.0;
    for (std::size_t j = i; j < nn; ++j)
      if (val[j] > best_value) {
        best_value = val[j];
        best = j;
      }
    if (best == nn || best == i) continue;
    std::swap(val[i], val[best]);
    std::swap_ranges(r.vectors.begin() + static_cast<std::ptrdiff_t>(i * nn),
                     r.vectors.begin() + static_cast<std::ptrdiff_t>((i + 1) * nn),
                     r.vectors.begin() + static_cast<std::ptrdiff_t>(best * nn));
  }
  detail::PublishEigen(std::move(r));
  return true;
}

bool CalcPrincComp(const TMatrix& InMat, int32_t LoC, int32_t HiC, int32_t LoR, int32_t HiR,
                   int32_t Mode) {
  return CalcPrincComp(InMat, LoC, HiC, LoR, HiR, Mode, true);
}

double MahalanobisDistance(const TVector& Vec1, const TVector& Vec2, const TMatrix& InvCovMat) {
  const int32_t n = Vec1.NrOfElem();
  if (n != Vec2.NrOfElem())
    throw EORKVectorError("MahalanobisDistance: dimensions of vectors do not match");
  if (InvCovMat.NrOfColumns() != InvCovMat.NrOfRows())
    throw EORKVectorError("MahalanobisDistance: inverse covariance matrix is not quadratric");
  if (n != InvCovMat.NrOfColumns())
    throw EORKVectorError(
        "MahalanobisDistance: dimension of vectors and inverse covariance matrix do not match");
  const auto nn = static_cast<std::size_t>(n);
  const auto a = Vec1.Values();
  const auto b = Vec2.Values();
  std::vector<double> dv(nn);
  for (std::size_t i = 0; i < nn; ++i) dv[i] = a[i] - b[i];
  // t_i = sum over j of d_j * M(j, i) in ascending j; column j of the
  // storage holds M(j, .), so the loops run down contiguous columns.
  const double* m = InvCovMat.Values().data();
  std::vector<double> t(nn, 0.0);
  for (std::size_t j = 0; j < nn; ++j) {
    const double* col = m + j * nn;
    const double dj = dv[j];
    for (std::size_t i = 0; i < nn; ++i) t[i] += dj * col[i];
  }
  double d2 = 0.0;
  for (std::size_t i = 0; i < nn; ++i) d2 += t[i] * dv[i];
  if (d2 < 0.0)
    throw EORKVectorError(
        "MahalanobisDistance: the inverse covariance matrix must be symmetric and positive "
        "definite");
  return std::sqrt(d2);
}

}  // namespace numbra
