// Chi-squared, Student t and Fisher F distributions to full double
// precision, on the incomplete gamma and beta kernels of precise.cpp:
//   chi2(df):  P(X <= x) = P(df/2, x/2)
//   t(df):     P(T <= -|t|) = I_x(df/2, 1/2) / 2 with x = df / (df + t^2)
//   F(d1, d2): P(X <= x) = I_u(d1/2, d2/2) with u = d1 x / (d1 x + d2)
// The beta arguments are passed as a ratio x / (1 - x) and its logarithm,
// so that neither t^2 nor d1 x can overflow and both ends of (0, 1) keep
// their digits.
#include "statis/statis_detail.h"

#include <cmath>
#include <limits>

namespace numbra::detail {

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();

// The point of (0, 1) for Student's t: x / y = df / t^2.
TUnitPoint StudentPoint(double t, double df) noexcept {
  const double at = std::fabs(t);
  const double lnr = std::log(df) - 2.0 * std::log(at);
  const long double lat = at;
  const long double r = at >= 1.0 ? (df / lat) / lat : df / (lat * lat);
  return UnitPointFromRatio(r, lnr);
}

// The point of (0, 1) for F: x / y = d1 x / d2.
TUnitPoint FisherPoint(double x, double df1, double df2) noexcept {
  const double lnr = std::log(df1) + std::log(x) - std::log(df2);
  return UnitPointFromRatio(df1 * (static_cast<long double>(x) / df2), lnr);
}
}  // namespace

double Chi2Pdf(double x, double df) noexcept {
  if (x < 0.0 || std::isinf(x)) return 0.0;
  if (x == 0.0) return df < 2.0 ? kInf : (df == 2.0 ? 0.5 : 0.0);
  // (x/2)^(df/2 - 1) e^(-x/2) / (2 Gamma(df/2)) = prefix(df/2, x/2) / x
  return GammaPrefix(0.5 * df, 0.5 * x) / x;
}

TTails Chi2Tails(double x, double df) noexcept { return IncGamma(0.5 * df, 0.5 * x); }

double Chi2Quantile(double p, double df) noexcept { return 2.0 * IncGammaInv(0.5 * df, p, false); }

double StudentTPdf(double t, double df) noexcept {
  if (std::isinf(t)) return 0.0;
  // (1 + t^2/df)^(-(df+1)/2) / (sqrt(df) B(df/2, 1/2)); the logarithm of the
  // power is taken as 2 ln|t| - ln df + ln(1 + df/t^2) for large |t|.
  const double at = std::fabs(t);
  double l = 0.0;
  if (at * at <= df) {
    l = std::log1p((at / df) * at);
  } else {
    l = 2.0 * std::log(at) - std::log(df) + std::log1p((df / at) / at);
  }
  return std::exp(-0.5 * (df + 1.0) * l - 0.5 * std::log(df) - LogBeta(0.5 * df, 0.5));
}

TTails StudentTTails(double t, double df) noexcept {
  if (t == 0.0) return {0.5, 0.5};
  if (std::isinf(t)) return t < 0 ? TTails{0.0, 1.0} : TTails{1.0, 0.0};
  const TTails ib = IncBeta(0.5 * df, 0.5, StudentPoint(t, df));
  const double far = 0.5 * ib.Lower;         // P(T <= -|t|)
  const double near = 0.5 + 0.5 * ib.Upper;  // P(T > -|t|)
  return t < 0 ? TTails{far, near} : TTails{near, far};
}

double StudentTQuantile(double p, double df) noexcept {
  if (std::isnan(p)) return p;
  if (p <= 0.0) return -kInf;
  if (p >= 1.0) return kInf;
  if (p == 0.5) return 0.0;
  const double sign = p < 0.5 ? -1.0 : 1.0;
  const double q = p < 0.5 ? p : 1.0 - p;  // exact for p >= 1/2
  // I_x(df/2, 1/2) = 2q; the complement 1 - 2q is exact for 2q >= 1/2.
  const TUnitPoint pt = 2.0 * q <= 0.5 ? IncBetaInv(0.5 * df, 0.5, 2.0 * q, false)
                                       : IncBetaInv(0.5 * df, 0.5, 1.0 - 2.0 * q, true);
  // |t| = sqrt(df y / x)
  double at = 0.0;
  if (pt.x > 1e-300L && pt.y > 1e-300L)
    at = static_cast<double>(std::sqrt(df * pt.y / pt.x));
  else
    at = std::sqrt(df) * std::exp(0.5 * (pt.lny - pt.lnx));
  return sign * at;
}

double FisherFPdf(double x, double df1, double df2) noexcept {
  if (x < 0.0 || std::isinf(x)) return 0.0;
  if (x == 0.0) return df1 < 2.0 ? kInf : (df1 == 2.0 ? 1.0 : 0.0);
  // u^(d1/2) (1-u)^(d2/2) / (x B(d1/2, d2/2))
  return BetaPrefix(0.5 * df1, 0.5 * df2, FisherPoint(x, df1, df2)) / x;
}

TTails FisherFTails(double x, double df1, double df2) noexcept {
  if (x <= 0.0) return {0.0, 1.0};
  if (std::isinf(x)) return {1.0, 0.0};
  return IncBeta(0.5 * df1, 0.5 * df2, FisherPoint(x, df1, df2));
}

double FisherFQuantile(double p, double df1, double df2) noexcept {
  if (std::isnan(p)) return p;
  if (p <= 0.0) return 0.0;
  if (p >= 1.0) return kInf;
  const TUnitPoint pt = IncBetaInv(0.5 * df1, 0.5 * df2, p, false);
  // x = (d2 / d1) u / (1 - u)
  if (pt.x > 1e-300L && pt.y > 1e-300L)
    return static_cast<double>((static_cast<long double>(df2) / df1) * (pt.x / pt.y));
  return std::exp(std::log(df2) - std::log(df1) + pt.lnx - pt.lny);
}

}  // namespace numbra::detail
