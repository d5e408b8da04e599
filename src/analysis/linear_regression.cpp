// MultiLinReg, RidgeReg and RidgeRegStd: linear least squares with an
// intercept, plain and ridge-penalised, through the singular value
// decomposition.
//
// All three centre the predictors and y first: the intercept then separates
// (b0 = ybar - xbar^T b) and the remaining problem is far better conditioned
// than the one with a column of ones (for the Longley data the condition
// number falls from about 1e9 to 1e4 once the columns are also scaled to
// unit length). The decomposition of the centred, scaled matrix Z = U W V^T
// gives the least-squares solution V W+ U^T y and (Z^T Z)^-1 = V W^-2 V^T
// for the standard errors without ever forming Z^T Z, whose condition would
// be the square. Residuals are taken from the centred data and the centred
// y, where the terms are of the size of the deviations rather than of the
// raw values.
#include "ORK_math2.h"
#include "analysis/multivariate_detail.h"
#include "analysis/svd_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace numbra {

namespace {

enum class Scaling { kNone, kUnitLength, kStdDev };

// The centred (and scaled) problem and its decomposition.
struct Centred {
  int32_t m = 0;
  int32_t n = 0;
  std::vector<double> xmean, scale;  // per column; scale 1 for a constant column
  std::vector<bool> constant;
  std::vector<double> xc;       // centred X, m x n column-major
  std::vector<double> u, v, w;  // Z = xc / scale = U W V^T
  std::vector<double> yc;
  double ymean = 0.0;
  double tss = 0.0;
  bool near_singular = false;
};

// Centres X and y, scales, decomposes. False on bad sizes or values, or a
// failed decomposition.
bool Prepare(const TMatrix& X, const TVector& y, Scaling How, Centred& c) {
  c.m = X.NrOfRows();
  c.n = X.NrOfColumns();
  if (c.m < 2 || c.n < 1 || y.NrOfElem() != c.m) return false;
  const auto m = static_cast<std::size_t>(c.m);
  const auto n = static_cast<std::size_t>(c.n);
  const auto xv = X.Values();
  const auto yv = y.Values();
  if (!std::all_of(xv.begin(), xv.end(), [](double t) { return std::isfinite(t); }) ||
      !std::all_of(yv.begin(), yv.end(), [](double t) { return std::isfinite(t); }))
    return false;
  c.xmean.assign(n, 0.0);
  c.scale.assign(n, 1.0);
  c.constant.assign(n, false);
  c.xc.resize(m * n);
  c.u.resize(m * n);
  for (std::size_t j = 0; j < n; ++j) {
    const std::span<const double> col = xv.subspan(j * m, m);
    const detail::MeanSSD r = detail::FastMeanAndSSD(col);
    c.xmean[j] = r.mean;
    double* dst = c.xc.data() + j * m;
    for (std::size_t i = 0; i < m; ++i) dst[i] = col[i] - r.mean;
    const double ssd = r.SSD();
    c.constant[j] = !(ssd > 0.0);
    if (!c.constant[j]) {
      if (How == Scaling::kUnitLength) c.scale[j] = std::sqrt(ssd);
      if (How == Scaling::kStdDev) c.scale[j] = std::sqrt(r.Variance(1));
    }
    const double s = c.scale[j];
    double* z = c.u.data() + j * m;
    for (std::size_t i = 0; i < m; ++i) z[i] = c.constant[j] ? 0.0 : dst[i] / s;
  }
  const detail::MeanSSD ry = detail::FastMeanAndSSD(yv);
  c.ymean = ry.mean;
  c.yc.resize(m);
  for (std::size_t i = 0; i < m; ++i) c.yc[i] = yv[i] - c.ymean;
  c.tss = ry.SSD();
  c.v.resize(n * n);
  c.w.resize(n);
  if (detail::SvdKernel(c.u.data(), c.m, c.n, c.v.data(), c.w.data()) != detail::SvdStatus::kOk)
    return false;
  const double wmax = *std::max_element(c.w.begin(), c.w.end());
  for (double wk : c.w)
    if (!(wk > 1e-14 * wmax)) c.near_singular = true;
  return true;
}

// Residual sum of squares of the slopes b (units of X) on the centred data,
// and the fitted values when asked.
double Residuals(const Centred& c, std::span<const double> b, std::vector<double>* Fitted) {
  const auto m = static_cast<std::size_t>(c.m);
  const auto n = static_cast<std::size_t>(c.n);
  std::vector<double> fit(m, 0.0);
  for (std::size_t j = 0; j < n; ++j) {
    const double* col = c.xc.data() + j * m;
    const double bj = b[j];
    for (std::size_t i = 0; i < m; ++i) fit[i] += bj * col[i];
  }
  double rss = 0.0;
  for (std::size_t i = 0; i < m; ++i) {
    const double r = c.yc[i] - fit[i];
    rss += r * r;
  }
  if (Fitted != nullptr) {
    Fitted->resize(m);
    for (std::size_t i = 0; i < m; ++i) (*Fitted)[i] = c.ymean + fit[i];
  }
  return rss;
}

void FillStats(const Centred& c, double rss, int32_t rank, TRegressionStats* Stats) {
  if (Stats == nullptr) return;
  Stats->RSS = rss;
  Stats->DegreesOfFreedom = c.m - c.n - 1;
  Stats->RSquared = c.tss > 0.0 ? 1.0 - rss / c.tss : std::numeric_limits<double>::quiet_NaN();
  Stats->ResidualSD = Stats->DegreesOfFreedom > 0 ? std::sqrt(rss / Stats->DegreesOfFreedom)
                                                  : std::numeric_limits<double>::quiet_NaN();
  Stats->Rank = rank;
}

// Ridge solution in the centred, scaled coordinates: V diag(f) U^T yc with
// f = w / (w^2 + Lambda); for Lambda = 0 the dropped singular values give 0.
std::vector<double> RidgeSolve(const Centred& c, double Lambda, int32_t& Rank) {
  const auto m = static_cast<std::size_t>(c.m);
  const auto n = static_cast<std::size_t>(c.n);
  const double wmax = *std::max_element(c.w.begin(), c.w.end());
  std::vector<double> beta(n, 0.0);
  Rank = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const double wk = c.w[k];
    if (!(wk > 1e-14 * wmax)) continue;
    ++Rank;
    const double* uk = c.u.data() + k * m;
    double dot = 0.0;
    for (std::size_t i = 0; i < m; ++i) dot += uk[i] * c.yc[i];
    const double f = Lambda == 0.0 ? 1.0 / wk : wk / (wk * wk + Lambda);
    const double* vk = c.v.data() + k * n;
    for (std::size_t j = 0; j < n; ++j) beta[j] += f * dot * vk[j];
  }
  return beta;
}

}  // namespace

bool MultiLinReg(const TMatrix& X, const TVector& y, TVector& Coeffs, TVector& StdErr,
                 bool& NearSingular, TRegressionStats* Stats) {
  NearSingular = false;
  return detail::WithHeap("MultiLinReg", [&] {
    Centred c;
    if (X.NrOfRows() < X.NrOfColumns() + 2) return false;
    if (!Prepare(X, y, Scaling::kUnitLength, c)) return false;
    NearSingular = c.near_singular;
    const auto m = static_cast<std::size_t>(c.m);
    const auto n = static_cast<std::size_t>(c.n);
    // Singular values at rounding level are dropped.
    const double wmax = *std::max_element(c.w.begin(), c.w.end());
    std::vector<double> w = c.w;
    int32_t rank = 0;
    for (double& wk : w) {
      if (wk > 1e-14 * wmax)
        ++rank;
      else
        wk = 0.0;
    }
    std::vector<double> beta(n);
    std::vector<double> se(n);
    detail::SvdSolve(c.u.data(), c.v.data(), w.data(), c.m, c.n, c.yc.data(), beta.data(),
                     se.data());
    std::vector<double> coef(n + 1);
    std::vector<double> err(n + 1);
    for (std::size_t j = 0; j < n; ++j) coef[j + 1] = beta[j] / c.scale[j];
    const double rss = Residuals(c, std::span<const double>(coef).subspan(1), nullptr);
    const double df = static_cast<double>(c.m - c.n - 1);
    const double sigma = std::sqrt(rss / df);
    for (std::size_t j = 0; j < n; ++j) err[j + 1] = sigma * se[j] / c.scale[j];
    // Intercept and its variance sigma^2 (1/m + xbar^T (Xc^T Xc)^-1 xbar),
    // the quadratic form as a sum of squares over the kept singular values.
    double b0 = c.ymean;
    for (std::size_t j = 0; j < n; ++j) b0 -= coef[j + 1] * c.xmean[j];
    coef[0] = b0;
    double q = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
      if (w[k] == 0.0) continue;
      const double* vk = c.v.data() + k * n;
      double s = 0.0;
      for (std::size_t j = 0; j < n; ++j) s += c.xmean[j] / c.scale[j] * vk[j];
      s /= w[k];
      q += s * s;
    }
    err[0] = sigma * std::sqrt(1.0 / static_cast<double>(m) + q);
    detail::StoreValues(Coeffs, coef);
    detail::StoreValues(StdErr, err);
    FillStats(c, rss, rank, Stats);
    return true;
  });
}

bool RidgeRegStd(const TMatrix& X, const TVector& y, double Lambda, TVector& Coeffs,
                 TVector& StdCoeffs, TVector& Means, TVector& StdDevs, bool& NearSingular,
                 TRegressionStats* Stats) {
  NearSingular = false;
  if (!(Lambda >= 0.0) || !std::isfinite(Lambda)) return false;
  return detail::WithHeap("RidgeRegStd", [&] {
    Centred c;
    if (!Prepare(X, y, Scaling::kStdDev, c)) return false;
    NearSingular = c.near_singular;
    const auto n = static_cast<std::size_t>(c.n);
    int32_t rank = 0;
    const std::vector<double> beta = RidgeSolve(c, Lambda, rank);
    std::vector<double> coef(n + 1);
    std::vector<double> sd(n);
    double b0 = c.ymean;
    for (std::size_t j = 0; j < n; ++j) {
      coef[j + 1] = c.constant[j] ? 0.0 : beta[j] / c.scale[j];
      sd[j] = c.constant[j] ? 0.0 : c.scale[j];
      b0 -= coef[j + 1] * c.xmean[j];
    }
    coef[0] = b0;
    const double rss = Residuals(c, std::span<const double>(coef).subspan(1), nullptr);
    detail::StoreValues(Coeffs, coef);
    detail::StoreValues(StdCoeffs, beta);
    detail::StoreValues(Means, c.xmean);
    detail::StoreValues(StdDevs, sd);
    FillStats(c, rss, rank, Stats);
    return true;
  });
}

bool RidgeReg(const TMatrix& X, const TVector& y, double Lambda, TVector& Coeffs, TVector& Fitted,
              bool& NearSingular, TRegressionStats* Stats) {
  NearSingular = false;
  if (!(Lambda >= 0.0) || !std::isfinite(Lambda)) return false;
  return detail::WithHeap("RidgeReg", [&] {
    Centred c;
    if (!Prepare(X, y, Scaling::kNone, c)) return false;
    NearSingular = c.near_singular;
    const auto n = static_cast<std::size_t>(c.n);
    int32_t rank = 0;
    const std::vector<double> beta = RidgeSolve(c, Lambda, rank);
    std::vector<double> coef(n + 1);
    double b0 = c.ymean;
    for (std::size_t j = 0; j < n; ++j) {
      coef[j + 1] = beta[j];
      b0 -= coef[j + 1] * c.xmean[j];
    }
    coef[0] = b0;
    std::vector<double> fitted;
    const double rss = Residuals(c, std::span<const double>(coef).subspan(1), &fitted);
    detail::StoreValues(Coeffs, coef);
    detail::StoreValues(Fitted, fitted);
    FillStats(c, rss, rank, Stats);
    return true;
  });
}

}  // namespace numbra
