// p-value of the Shapiro-Wilk W statistic by Royston's approximation
// (P. Royston, "Remark AS R94: A remark on algorithm AS 181: the W-test for
// normality", Applied Statistics 44 (1995) 547-551).
//
// For n = 3 the null distribution is known exactly:
//   P(W <= w) = (6 / pi) (asin(sqrt w) - asin(sqrt(3/4))), 3/4 <= w <= 1.
// For 4 <= n <= 11, -ln(gamma - ln(1 - W)) with gamma = -2.273 + 0.459 n is
// close to normal, for 12 <= n <= 5000 ln(1 - W) is; the means and standard
// deviations are Royston's polynomials in n and in ln n. Right-censored
// samples (only the n1 smallest of n values known) shift and scale that
// normal deviate by a regression on three reference quantiles.
#include "ORK_statis.h"
#include "statis/statis_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace numbra {

namespace {

double Poly(const double* c, int n, double x) noexcept {
  double r = c[n - 1];
  for (int i = n - 2; i >= 0; --i) r = r * x + c[i];
  return r;
}

}  // namespace

double ShapiroWilkIntegral(double W, int32_t n, int32_t n1) noexcept {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  if (!(W > 0.0 && W <= 1.0) || n < 3 || n > 5000) return kNaN;
  const int32_t ncens = n - n1;
  if (ncens < 0 || (ncens > 0 && n < 20) || n1 < 3) return kNaN;
  const double delta = static_cast<double>(ncens) / n;
  if (delta > 0.8) return kNaN;
  if (W == 1.0) return 1.0;

  if (n == 3) {
    // Exact; asin(sqrt(3/4)) = pi/3.
    const double p = 6.0 / M_PI * (std::asin(std::sqrt(W)) - M_PI / 3.0);
    return std::max(0.0, p);
  }

  static constexpr double kG[2] = {-2.273, 0.459};
  static constexpr double kC3[4] = {0.544, -0.39978, 0.025054, -6.714e-4};
  static constexpr double kC4[4] = {1.3822, -0.77857, 0.062767, -0.0020322};
  static constexpr double kC5[4] = {-1.5861, -0.31082, -0.083751, 0.0038915};
  static constexpr double kC6[3] = {-0.4803, -0.082676, 0.0030302};

  const double an = n;
  double y = std::log1p(-W);
  double m = 0.0;
  double s = 0.0;
  if (n <= 11) {
    const double gamma = Poly(kG, 2, an);
    if (y >= gamma) return 0.0;  // below the range of the transform
    y = -std::log(gamma - y);
    m = Poly(kC3, 4, an);
    s = std::exp(Poly(kC4, 4, an));
  } else {
    const double xx = std::log(an);
    m = Poly(kC5, 4, xx);
    s = std::exp(Poly(kC6, 3, xx));
    if (ncens > 0) {
      // Censoring by the proportion delta: the normal deviates of the 90,
      // 95 and 99 % points move by amounts that vanish as delta -> 0; the
      // regression of the moved deviates on the original ones gives the
      // pseudo mean and standard deviation.
      static constexpr double kZ90 = 1.2816, kZ95 = 1.6449, kZ99 = 2.3263;
      static constexpr double kZm = 1.7509, kZss = 0.56268;
      static constexpr double kBf1 = 0.8378, kXx90 = 0.556, kXx95 = 0.622;
      static constexpr double kC7[2] = {0.164, 0.533};
      static constexpr double kC8[2] = {0.1736, 0.315};
      static constexpr double kC9[2] = {0.256, -0.00635};
      const double ld = -std::log(delta);
      const double bf = 1.0 + xx * kBf1;
      const double z90f = kZ90 + bf * std::pow(Poly(kC7, 2, std::pow(kXx90, xx)), ld);
      const double z95f = kZ95 + bf * std::pow(Poly(kC8, 2, std::pow(kXx95, xx)), ld);
      const double z99f = kZ99 + bf * std::pow(Poly(kC9, 2, xx), ld);
      const double zfm = (z90f + z95f + z99f) / 3.0;
      const double zsd = (kZ90 * (z90f - zfm) + kZ95 * (z95f - zfm) + kZ99 * (z99f - zfm)) / kZss;
      const double zbar = zfm - zsd * kZm;
      m += zbar * s;
      s *= zsd;
    }
  }
  return detail::NormalTails((y - m) / s).Upper;
}

}  // namespace numbra
