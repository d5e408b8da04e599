// Normality statistics: the Kolmogorov-Smirnov distance to the standard
// normal distribution (Lilliefors: after standardizing with the sample's
// own mean and deviation) and the Shapiro-Wilk W.
#include "ORK_math1.h"
#include "ORK_statis.h"
#include "statis/statis_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace numbra {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// D of the sorted data against Phi.
double KSDistance(const TVector& data) {
  const std::span<const double> x = data.Values();
  const double n = static_cast<double>(x.size());
  double d = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (std::isnan(x[i])) return kNaN;
    const double phi = nDistriIntegral(x[i]);
    const double hi = std::fabs(static_cast<double>(i + 1) / n - phi);
    const double lo = std::fabs(static_cast<double>(i) / n - phi);
    d = std::max(d, std::max(hi, lo));
  }
  return d;
}

}  // namespace

double PerformKSNormalityTest(TVector& data, bool IsSorted) {
  if (!IsSorted) data.SortElems(true, 0, 0);
  return KSDistance(data);
}

double PerformLillieforsTest(TVector& data, bool IsSorted) {
  if (!IsSorted) data.SortElems(true, 0, 0);
  double mean = 0.0;
  double sd = 0.0;
  data.Standardize(mean, sd);
  return KSDistance(data);
}

// Royston's algorithm AS R94 (Applied Statistics 44, 1995, 547-551), in
// double precision throughout. The coefficients a_i start from the normal
// scores m_i = Phi^-1((i - 3/8) / (n + 1/4)); the two outermost (one for
// n <= 5) are replaced by Royston's polynomials in 1/sqrt(n) and the rest
// rescaled so that sum a_i^2 = 1. W is the squared correlation of the
// ordered data with the coefficients; it is formed as 1 - W =
// (sqrt(SSa SSx) - Sax)(sqrt(SSa SSx) + Sax) / (SSa SSx), which keeps its
// digits when W is close to 1 (large normal samples). The data are centred
// on their median and divided by their range first: the correlation does
// not change, and the centred sums lose nothing to a large common offset.
int32_t ShapiroWilkTest(const TVector& data, int32_t NumTotal, double& W, double& PValue) {
  W = kNaN;
  PValue = kNaN;
  const std::span<const double> values = data.Values();
  const int32_t n1 = data.NrOfElem();
  const int32_t n = NumTotal == 0 ? n1 : NumTotal;
  if (n1 < 3) return 1;
  if (n < n1) return 3;
  const int32_t ncens = n - n1;
  if (ncens > 0 && (n < 20 || static_cast<double>(ncens) / n > 0.8)) return 3;
  if (!std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); }))
    return 7;

  std::vector<double> x(values.begin(), values.end());
  SortArray(x, true);
  const double range = x[static_cast<std::size_t>(n1) - 1] - x[0];
  if (!(range > 0.0)) return 6;
  const double median =
      n1 % 2 == 1
          ? x[static_cast<std::size_t>(n1 / 2)]
          : 0.5 * (x[static_cast<std::size_t>(n1 / 2) - 1] + x[static_cast<std::size_t>(n1 / 2)]);
  for (double& v : x) v = (v - median) / range;

  // Coefficients a[1..nn2] of the lower half (sign: a_i < 0 there, the
  // upper half mirrors them with the opposite sign).
  const int32_t nn2 = n / 2;
  std::vector<double> a(static_cast<std::size_t>(nn2) + 1, 0.0);
  const double an = n;
  if (n == 3) {
    a[1] = std::sqrt(0.5);
  } else {
    static constexpr double kC1[6] = {0.0, 0.221157, -0.147981, -2.07119, 4.434685, -2.706056};
    static constexpr double kC2[6] = {0.0, 0.042981, -0.293762, -1.752461, 5.682633, -3.582633};
    const auto poly = [](const double* c, double v) {
      double r = c[5];
      for (int i = 4; i >= 0; --i) r = r * v + c[i];
      return r;
    };
    const double an25 = an + 0.25;
    double summ2 = 0.0;
    for (int32_t i = 1; i <= nn2; ++i) {
      a[static_cast<std::size_t>(i)] = detail::NormalQuantile((i - 0.375) / an25);
      summ2 += a[static_cast<std::size_t>(i)] * a[static_cast<std::size_t>(i)];
    }
    summ2 *= 2.0;
    const double ssumm2 = std::sqrt(summ2);
    const double rsn = 1.0 / std::sqrt(an);
    const double a1 = poly(kC1, rsn) - a[1] / ssumm2;
    int32_t i1 = 0;
    double fac = 0.0;
    if (n > 5) {
      i1 = 3;
      const double a2 = -a[2] / ssumm2 + poly(kC2, rsn);
      fac = std::sqrt((summ2 - 2.0 * a[1] * a[1] - 2.0 * a[2] * a[2]) /
                      (1.0 - 2.0 * a1 * a1 - 2.0 * a2 * a2));
      a[2] = a2;
    } else {
      i1 = 2;
      fac = std::sqrt((summ2 - 2.0 * a[1] * a[1]) / (1.0 - 2.0 * a1 * a1));
    }
    a[1] = a1;
    for (int32_t i = i1; i <= nn2; ++i) a[static_cast<std::size_t>(i)] /= -fac;
  }

  // Coefficient of the i-th order statistic (1-based) of the n.
  const auto coef = [&](int32_t i) {
    const int32_t j = n + 1 - i;
    if (i == j) return 0.0;
    return i < j ? -a[static_cast<std::size_t>(i)] : a[static_cast<std::size_t>(j)];
  };
  double sa = 0.0;
  double sx = 0.0;
  for (int32_t i = 1; i <= n1; ++i) {
    sa += coef(i);
    sx += x[static_cast<std::size_t>(i) - 1];
  }
  sa /= n1;
  sx /= n1;
  double ssa = 0.0;
  double ssx = 0.0;
  double sax = 0.0;
  for (int32_t i = 1; i <= n1; ++i) {
    const double asa = coef(i) - sa;
    const double xsx = x[static_cast<std::size_t>(i) - 1] - sx;
    ssa += asa * asa;
    ssx += xsx * xsx;
    sax += asa * xsx;
  }
  const double ssassx = std::sqrt(ssa * ssx);
  // |Sax| <= sqrt(SSa SSx) in exact arithmetic (Cauchy-Schwarz); rounding
  // may cross it by an ulp for a perfect fit.
  const double w1 = std::max(0.0, (ssassx - sax) * (ssassx + sax) / (ssa * ssx));
  W = 1.0 - w1;
  if (n > 5000) return 2;
  PValue = ShapiroWilkIntegral(W, n, n1);
  return 0;
}

}  // namespace numbra
