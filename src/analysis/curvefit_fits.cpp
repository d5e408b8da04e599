// TCurveFit fits: straight line, parabola, polynomials, circle, regression
// ANOVA and the fits of transformed data.
#include "ORK_math2.h"
#include "analysis/svd_detail.h"
#include "foundation/frame_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace numbra {

namespace {

constexpr std::string_view kNoHeap = "not enough memory on heap";

void NotEnough(const char* Member) {
  throw EORKMath2Error(std::string(Member) + ": not enough data points");
}

// Mean by a compensated sum and then corrected by the mean deviation (the
// first two passes of the two-pass variance), so that it is accurate to
// rounding whatever the offset.
double AccurateMean(const double* v, std::size_t n) noexcept {
  if (n == 0) return 0.0;
  double s = 0, c = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = s + v[i];
    c += std::fabs(s) >= std::fabs(v[i]) ? (s - t) + v[i] : (v[i] - t) + s;
    s = t;
  }
  const double m = (s + c) / static_cast<double>(n);
  double d = 0;
  for (std::size_t i = 0; i < n; ++i) d += v[i] - m;
  return m + d / static_cast<double>(n);
}

// Squared Pearson correlation of a and b by the two-pass centred sums; 0
// when either has no variance.
double SquaredCorrelation(const std::vector<double>& a, const std::vector<double>& b) noexcept {
  const std::size_t n = a.size();
  const double ma = AccurateMean(a.data(), n), mb = AccurateMean(b.data(), n);
  double saa = 0, sbb = 0, sab = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double da = a[i] - ma, db = b[i] - mb;
    saa += da * da;
    sbb += db * db;
    sab += da * db;
  }
  if (saa == 0 || sbb == 0) return 0.0;
  return (sab / saa) * (sab / sbb);
}

// Least squares v = c0 + sum_j c_j u_j with the predictors and the response
// centred first (k = 1 or 2 predictors, the design solved through the
// singular value kernel). FitQual = 1 - SSres / SStot (1 when the response
// has no variance). False when a predictor has no spread (the design is
// singular).
struct LinearModel {
  double c0 = 0, c1 = 0, c2 = 0, FitQual = 0;
};
bool FitCentred(const std::vector<std::vector<double>>& u, const std::vector<double>& v,
                LinearModel& res) {
  const std::size_t n = v.size();
  const auto k = static_cast<int32_t>(u.size());
  std::vector<double> mu(u.size()), a(n * u.size());
  for (std::size_t j = 0; j < u.size(); ++j) {
    mu[j] = AccurateMean(u[j].data(), n);
    for (std::size_t i = 0; i < n; ++i) a[j * n + i] = u[j][i] - mu[j];
  }
  const double mv = AccurateMean(v.data(), n);
  std::vector<double> b(n);
  double sst = 0;
  for (std::size_t i = 0; i < n; ++i) {
    b[i] = v[i] - mv;
    sst += b[i] * b[i];
  }
  const std::vector<double> design = a;
  std::vector<double> V(static_cast<std::size_t>(k * k)), w(static_cast<std::size_t>(k)),
      x(static_cast<std::size_t>(k));
  if (detail::SvdKernel(a.data(), static_cast<int32_t>(n), k, V.data(), w.data(), false) !=
      detail::SvdStatus::kOk)
    return false;
  const double wmax = *std::max_element(w.begin(), w.end());
  for (double& wj : w)
    if (!(wj > 1e-14 * wmax)) return false;
  detail::SvdSolve(a.data(), V.data(), w.data(), static_cast<int32_t>(n), k, b.data(), x.data(),
                   nullptr);
  double sse = 0;
  for (std::size_t i = 0; i < n; ++i) {
    double f = 0;
    for (std::size_t j = 0; j < u.size(); ++j) f += x[j] * design[j * n + i];
    sse += (b[i] - f) * (b[i] - f);
  }
  res.c1 = x[0];
  res.c2 = k > 1 ? x[1] : 0.0;
  res.c0 = mv - res.c1 * mu[0] - (k > 1 ? res.c2 * mu[1] : 0.0);
  res.FitQual = sst == 0 ? 1.0 : std::max(0.0, 1.0 - sse / sst);
  return true;
}

}  // namespace

void TCurveFit::CalcLinFit(double& k, double& d, double& FitQual) const {
  const int32_t n = FNumData;
  if (n < 2) NotEnough("CalcLinFit");
  k = d = FitQual = 0;
  double mx = 0, my = 0, var = 0;
  FData->MeanVar(1, 1, 1, n, mx, var);
  FData->MeanVar(2, 1, 2, n, my, var);
  const double* x = Xs();
  const double* y = Ys();
  double su = 0, sv = 0, suu = 0, svv = 0, suv = 0;
  for (int32_t i = 0; i < n; ++i) {
    const double u = x[i] - mx, v = y[i] - my;
    su += u;
    sv += v;
    suu += u * u;
    svv += v * v;
    suv += u * v;
  }
  const double den = n * suu - su * su;
  if (den == 0) return;
  k = (n * suv - su * sv) / den;
  // Intercept of the centred line; the fit quality uses it (the term d sv
  // vanishes in exact arithmetic, and so stays small in floating point).
  const double du = (suu * sv - su * suv) / den;
  d = du - k * mx + my;
  const double syy = svv - sv * sv / n;
  FitQual = syy == 0 ? 1.0 : (du * sv + k * suv - sv * sv / n) / syy;
}

void TCurveFit::CalcParabolFit(double& k0, double& k1, double& k2, double& FitQual) const {
  const int32_t n = FNumData;
  if (n < 3) NotEnough("CalcParabolFit");
  k0 = k1 = k2 = FitQual = 0;
  double mx = 0, my = 0, var = 0;
  FData->MeanVar(1, 1, 1, n, mx, var);
  FData->MeanVar(2, 1, 2, n, my, var);
  const double* x = Xs();
  const double* y = Ys();
  double su = 0, sv = 0, suu = 0, svv = 0, suv = 0, suuv = 0, suuu = 0, su4 = 0;
  for (int32_t i = 0; i < n; ++i) {
    const double u = x[i] - mx, v = y[i] - my, uu = u * u;
    su += u;
    sv += v;
    suu += uu;
    svv += v * v;
    suv += u * v;
    suuv += uu * v;
    suuu += uu * u;
    su4 += uu * uu;
  }
  const double A = n * suuu - su * suu;
  const double B = n * suu - su * su;
  const double C = B * (n * su4 - suu * suu);
  const double c2 =
      C != A * A ? (B * (n * suuv - suu * sv) - A * (n * suv - su * sv)) / (C - A * A) : 0.0;
  const double c1 = B != 0 ? ((n * suv - su * sv) - A * c2) / B : 0.0;
  const double c0 = (sv - c1 * su - c2 * suu) / n;
  k2 = c2;
  k1 = c1 - 2 * c2 * mx;
  k0 = c0 + c2 * mx * mx - c1 * mx + my;
  const double syy = svv - sv * sv / n;
  FitQual = syy == 0 ? 1.0 : (c0 * sv + c1 * suv + c2 * suuv - sv * sv / n) / syy;
}

bool TCurveFit::PolyFit(uint8_t nOrder, std::span<double> kArray, double* XShift, double& FitQual,
                        bool& NearSingular) {
  NearSingular = false;
  AbortMathProc = false;
  const int32_t n = FNumData;
  const int32_t nc = nOrder + 1;
  if (n < 1 || kArray.size() < static_cast<std::size_t>(nc)) return false;
  const auto N = static_cast<std::size_t>(n);
  const auto NC = static_cast<std::size_t>(nc);
  const double* x = Xs();
  const double* y = Ys();
  double shift = 0, s = 1, my = 0;
  if (XShift != nullptr) {
    double mx = 0, var = 0;
    FData->MeanVar(1, 1, 1, n, mx, var);
    if (*XShift == 0) *XShift = mx;
    shift = *XShift;
    // The scale is the power of two nearest the standard deviation of x
    // (MeanVar; 1 when the variance is 0): dividing by it is exact, so the
    // scaled design carries no rounding beyond that of x - XShift, and the
    // results kArray[j] = b[j] / s^j are the same in exact arithmetic.
    s = var > 0 && std::isfinite(var) ? std::exp2(std::round(std::log2(std::sqrt(var)))) : 1.0;
    FData->MeanVar(2, 1, 2, n, my, var);
  }
  std::vector<double> a, v, w, b, coef;
  detail::Allocate<EORKMath2Error>(*this, kNoHeap, [&] {
    a.resize(N * NC);
    v.resize(NC * NC);
    w.resize(NC);
    b.resize(N);
    coef.resize(NC);
  });
  for (std::size_t i = 0; i < N; ++i) {
    const double t = XShift != nullptr ? (x[i] - shift) / s : x[i];
    double p = 1.0;
    for (std::size_t j = 0; j < NC - 1; ++j) {
      p *= t;
      a[j * N + i] = p;
    }
    a[(NC - 1) * N + i] = 1.0;
    b[i] = y[i] - my;
  }
  const std::vector<double> design = a;
  if (detail::SvdKernel(a.data(), n, nc, v.data(), w.data()) != detail::SvdStatus::kOk)
    return false;
  const double wmax = *std::max_element(w.begin(), w.end());
  const double cut = (XShift != nullptr ? kCenteredCutOff : 1e-14) * wmax;
  for (double& wj : w)
    if (wj < cut) {
      wj = 0;
      NearSingular = true;
    }
  detail::SvdSolve(a.data(), v.data(), w.data(), n, nc, b.data(), coef.data(), nullptr);
  // Two steps of iterative refinement: the residual in extended precision,
  // its least-squares correction through the same decomposition.
  std::vector<double> res(N), delta(NC);
  for (int step = 0; step < 2; ++step) {
    for (std::size_t i = 0; i < N; ++i) {
      long double r = b[i];
      for (std::size_t j = 0; j < NC; ++j)
        r -= static_cast<long double>(coef[j]) * static_cast<long double>(design[j * N + i]);
      res[i] = static_cast<double>(r);
    }
    detail::SvdSolve(a.data(), v.data(), w.data(), n, nc, res.data(), delta.data(), nullptr);
    for (std::size_t j = 0; j < NC; ++j) coef[j] += delta[j];
  }
  std::vector<double> fit(N, 0.0);
  for (std::size_t j = 0; j < NC; ++j)
    for (std::size_t i = 0; i < N; ++i) fit[i] += coef[j] * design[j * N + i];
  FitQual = SquaredCorrelation(b, fit);
  kArray[0] = coef[NC - 1] + my;
  double sj = 1.0;
  for (std::size_t j = 1; j < NC; ++j) {
    sj *= s;
    kArray[j] = coef[j - 1] / sj;
  }
  return true;
}

bool TCurveFit::CalcPolyFit(uint8_t nOrder, std::span<double> kArray, double& FitQual,
                            bool& NearSingular) {
  return PolyFit(nOrder, kArray, nullptr, FitQual, NearSingular);
}

bool TCurveFit::CalcCenteredPolyFit(uint8_t nOrder, std::span<double> kArray, double& XShift,
                                    double& FitQual, bool& NearSingular) {
  return PolyFit(nOrder, kArray, &XShift, FitQual, NearSingular);
}

void TCurveFit::CalcCircleFit(double& r, double& dx, double& dy) const {
  const int32_t n = FNumData;
  if (n < 3) NotEnough("CalcCircleFit");
  r = dx = dy = 0;
  const double* x = Xs();
  const double* y = Ys();
  const double mx = AccurateMean(x, static_cast<std::size_t>(n));
  const double my = AccurateMean(y, static_cast<std::size_t>(n));
  double Su = 0, Sv = 0, Suu = 0, Svv = 0, Suv = 0, Suuv = 0, Suvv = 0, Suuu = 0, Svvv = 0;
  for (int32_t i = 0; i < n; ++i) {
    const double u = x[i] - mx, v = y[i] - my;
    Su += u;
    Sv += v;
    Suu += u * u;
    Svv += v * v;
    Suv += u * v;
    Suuv += u * u * v;
    Suvv += u * v * v;
    Suuu += u * u * u;
    Svvv += v * v * v;
  }
  const double a = n * Suv - Su * Sv;
  const double P = (Suu + Svv) * Sv - n * (Suuv + Svvv);
  const double Q = Sv * Sv - n * Svv;
  const double R = (Suu + Svv) * Su - n * (Suvv + Suuu);
  const double S = Su * Su - n * Suu;
  const double det = Q * S - a * a;
  // Collinear points make det vanish in exact arithmetic; in floating point
  // it is then a few roundings of Q S.
  if (!(std::fabs(det) > 64 * std::numeric_limits<double>::epsilon() * (std::fabs(Q * S) + a * a)))
    throw EORKMath2Error("CalcCircleFit: radius is infinite");
  const double cu = (a * P + Q * R) / 2 / det;
  const double cv = (a * R + P * S) / 2 / det;
  dx = cu + mx;
  dy = cv + my;
  r = std::sqrt(std::fabs(Suu + Svv - 2 * (cu * Su + cv * Sv) + n * (cu * cu + cv * cv)) / n);
}

void TCurveFit::CalcAnovaReg(int32_t NumVars, bool IncludeConst, int32_t& dfreg, int32_t& dfres,
                             int32_t& dftotal, double& SSE, double& SSR, double& SST, double& MSE,
                             double& MSR, double& F) const noexcept {
  const int32_t n = FNumData;
  const double* x = Xs();
  const double* y = Ys();
  dfreg = NumVars;
  dftotal = IncludeConst ? n - 1 : n;
  const double c = IncludeConst ? AccurateMean(x, static_cast<std::size_t>(n)) : 0.0;
  dfres = dftotal - dfreg;
  SSE = SSR = SST = 0;
  for (int32_t i = 0; i < n; ++i) {
    SSE += (x[i] - y[i]) * (x[i] - y[i]);
    SSR += (y[i] - c) * (y[i] - c);
    SST += (x[i] - c) * (x[i] - c);
  }
  MSE = dfres > 0 ? SSE / dfres : 0.0;
  MSR = dfreg > 0 ? SSR / dfreg : 0.0;
  if (MSR == 0)
    F = 0;
  else if (MSE == 0)
    F = 1e10;
  else
    F = MSR / MSE;
}

// ---- transformed fits ---------------------------------------------------------

void TCurveFit::RequireDomain(const char* Member, int32_t MinPoints,
                              std::initializer_list<TCurveFitError> Refused) const {
  if (FNumData < MinPoints) NotEnough(Member);
  for (const TCurveFitError e : Refused)
    if (FErrIndic.contains(e))
      throw EORKMath2Error(std::string(Member) + ": data outside the domain of the model");
}

namespace {

// Transformed copies of the stored points.
template <class Fn>
std::vector<double> Map(const double* x, const double* y, int32_t n, Fn&& fn) {
  std::vector<double> r(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) r[static_cast<std::size_t>(i)] = fn(x[i], y[i]);
  return r;
}

using E = TCurveFitError;

}  // namespace

namespace {

// Straight-line fit v = c0 + c1 u of the transformed points; false (model
// left 0) when u has no spread.
template <class FU, class FV>
bool TransformedLine(const double* x, const double* y, int32_t n, FU&& fu, FV&& fv,
                     LinearModel& m) {
  m = LinearModel{};
  if (FitCentred({Map(x, y, n, fu)}, Map(x, y, n, fv), m)) return true;
  m = LinearModel{};
  return false;
}

double Ident1(double a, double) { return a; }
double Ident2(double, double b) { return b; }
double Recip1(double a, double) { return 1.0 / a; }
double Recip2(double, double b) { return 1.0 / b; }
double Log1(double a, double) { return std::log(a); }
double Log2(double, double b) { return std::log(b); }

}  // namespace

void TCurveFit::CalcReciLinFit(double& k0, double& k1, double& FitQual) const {
  RequireDomain("CalcReciLinFit", 2, {E::cfeYEQ0});
  LinearModel m;
  TransformedLine(Xs(), Ys(), FNumData, Ident1, Recip2, m);
  k0 = m.c0;
  k1 = m.c1;
  FitQual = m.FitQual;
}

void TCurveFit::CalcHyperbolFit(double& k0, double& k1, double& FitQual) const {
  RequireDomain("CalcHyperbolFit", 2, {E::cfeXEQ0});
  LinearModel m;
  TransformedLine(Xs(), Ys(), FNumData, Recip1, Ident2, m);
  k0 = m.c0;
  k1 = m.c1;
  FitQual = m.FitQual;
}

void TCurveFit::CalcReciHyperbolFit(double& k0, double& k1, double& FitQual) const {
  RequireDomain("CalcReciHyperbolFit", 2, {E::cfeXEQ0, E::cfeYEQ0});
  LinearModel m;
  TransformedLine(Xs(), Ys(), FNumData, Recip1, Recip2, m);
  k0 = m.c0;
  k1 = m.c1;
  FitQual = m.FitQual;
}

void TCurveFit::CalcLogFit(double& k0, double& k1, double& FitQual) const {
  RequireDomain("CalcLogFit", 2, {E::cfeXLE0});
  LinearModel m;
  TransformedLine(Xs(), Ys(), FNumData, Log1, Ident2, m);
  k0 = m.c0;
  k1 = m.c1;
  FitQual = m.FitQual;
}

void TCurveFit::CalcReciLogFit(double& k0, double& k1, double& FitQual) const {
  RequireDomain("CalcReciLogFit", 2, {E::cfeXLE0, E::cfeYEQ0});
  LinearModel m;
  TransformedLine(Xs(), Ys(), FNumData, Log1, Recip2, m);
  k0 = m.c0;
  k1 = m.c1;
  FitQual = m.FitQual;
}

void TCurveFit::CalcPowerFit(double& k0, double& k1, double& FitQual) const {
  RequireDomain("CalcPowerFit", 2, {E::cfeXLE0, E::cfeYLE0});
  LinearModel m;
  const bool ok = TransformedLine(Xs(), Ys(), FNumData, Log1, Log2, m);
  k0 = ok ? std::exp(m.c0) : 0.0;
  k1 = m.c1;
  FitQual = m.FitQual;
}

void TCurveFit::CalcExponentialFit(double& k0, double& k1, double& FitQual) const {
  RequireDomain("CalcExponentialFit", 2, {E::cfeYLE0});
  LinearModel m;
  const bool ok = TransformedLine(Xs(), Ys(), FNumData, Ident1, Log2, m);
  k0 = ok ? std::exp(m.c0) : 0.0;
  k1 = m.c1;
  FitQual = m.FitQual;
}

void TCurveFit::CalcHoerlFit(double& k0, double& k1, double& k2, double& FitQual) const {
  RequireDomain("CalcHoerlFit", 3, {E::cfeXLE0, E::cfeYLE0});
  k0 = k1 = k2 = FitQual = 0;
  const double* x = Xs();
  const double* y = Ys();
  LinearModel m;
  if (!FitCentred({Map(x, y, FNumData, [](double px, double) { return px; }),
                   Map(x, y, FNumData, [](double px, double) { return std::log(px); })},
                  Map(x, y, FNumData, [](double, double py) { return std::log(py); }), m))
    return;
  k0 = std::exp(m.c0);
  k1 = std::exp(m.c1);
  k2 = m.c2;
  FitQual = m.FitQual;
}

void TCurveFit::CalcGaussFit(double& k0, double& k1, double& k2, double& FitQual) const {
  RequireDomain("CalcGaussFit", 3, {E::cfeYLE0});
  k0 = k1 = k2 = FitQual = 0;
  const double* x = Xs();
  const double* y = Ys();
  // ln y = a + b t + c t^2 with t = x - mean(x): the peak is at mean + t0.
  const double mx = AccurateMean(x, static_cast<std::size_t>(FNumData));
  LinearModel m;
  if (!FitCentred({Map(x, y, FNumData, [mx](double px, double) { return px - mx; }),
                   Map(x, y, FNumData, [mx](double px, double) { return (px - mx) * (px - mx); })},
                  Map(x, y, FNumData, [](double, double py) { return std::log(py); }), m))
    return;
  if (!(m.c2 < 0)) return;
  k1 = mx - m.c1 / (2 * m.c2);
  k2 = std::sqrt(-1.0 / (2 * m.c2));
  k0 = std::exp(m.c0 - m.c1 * m.c1 / (4 * m.c2));
  FitQual = m.FitQual;
}

}  // namespace numbra
