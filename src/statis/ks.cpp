// Critical values and p-values of the one-sample Kolmogorov-Smirnov
// statistic D_n, and the Lilliefors approximation of Dallal & Wilkinson.
//
// The exact distribution follows G. Marsaglia, W. W. Tsang and J. Wang,
// "Evaluating Kolmogorov's distribution", J. Statist. Software 8 (2003):
// P(D_n < d) = n!/n^n (H^n)_kk for an m x m matrix H, m = 2k - 1,
// k = Trunc(n d) + 1, the power formed by repeated squaring with a separate
// decimal exponent so that nothing overflows. Its cost grows like m^3 log n;
// for n beyond 10000 the limit distribution with Kolmogorov's 1/(6 sqrt n)
// correction takes over (its error there is below 2e-5).
#include "ORK_statis.h"
#include "statis/statis_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace numbra {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Row 0: the levels; rows 1..20: critical values of D_n for n = 1..20.
constexpr double kKSTable[21][5] = {
    {0.20, 0.15, 0.10, 0.05, 0.01},      {0.900, 0.925, 0.950, 0.975, 0.995},
    {0.684, 0.726, 0.776, 0.842, 0.929}, {0.565, 0.597, 0.642, 0.708, 0.828},
    {0.494, 0.525, 0.564, 0.624, 0.733}, {0.446, 0.474, 0.510, 0.565, 0.669},
    {0.410, 0.436, 0.470, 0.521, 0.618}, {0.381, 0.405, 0.438, 0.486, 0.577},
    {0.358, 0.381, 0.411, 0.457, 0.543}, {0.339, 0.360, 0.388, 0.432, 0.514},
    {0.322, 0.342, 0.368, 0.410, 0.490}, {0.307, 0.326, 0.352, 0.391, 0.468},
    {0.295, 0.313, 0.338, 0.375, 0.450}, {0.284, 0.302, 0.325, 0.361, 0.433},
    {0.274, 0.292, 0.314, 0.349, 0.418}, {0.266, 0.283, 0.304, 0.338, 0.404},
    {0.258, 0.274, 0.295, 0.328, 0.392}, {0.250, 0.266, 0.286, 0.318, 0.381},
    {0.244, 0.259, 0.278, 0.309, 0.371}, {0.237, 0.252, 0.272, 0.301, 0.363},
    {0.231, 0.246, 0.264, 0.294, 0.356}};
constexpr double kKSAsymptotic[5] = {1.073, 1.138, 1.224, 1.358, 1.628};

// Largest n for which the exact matrix method is used.
constexpr int32_t kMaxExactKSN = 10000;
// Steps of the KSQuantile iteration.
constexpr int kMaxKSQuantileSteps = 100;

}  // namespace

double KSPValue(int32_t n, double d) {
  if (n < 1 || std::isnan(d)) return kNaN;
  if (d <= 0.0) return 1.0;
  if (d >= 1.0) return 0.0;
  const double s = d * d * n;
  if (s > 7.24 || (s > 3.76 && n > 99))
    return 2.0 * std::exp(-(2.000071 + 0.331 / std::sqrt(static_cast<double>(n)) + 1.409 / n) * s);
  if (n > kMaxExactKSN) {
    const double rn = std::sqrt(static_cast<double>(n));
    return detail::KolmogorovSf(rn * d + 1.0 / (6.0 * rn));
  }
  return detail::KSPValueExact(n, d);
}

double KolmogSmir1SampleTestStat(int32_t n, TSignifLevel level) noexcept {
  const auto col = static_cast<std::size_t>(level);
  if (n < 1 || col > 4) return kNaN;
  if (n <= 20) return kKSTable[n][col];
  return kKSAsymptotic[col] / std::sqrt(static_cast<double>(n));
}

double KSQuantile(int32_t n, TSignifLevel level) {
  const auto col = static_cast<std::size_t>(level);
  if (n < 1 || col > 4) return kNaN;
  const double alpha = kKSTable[0][col];
  double d = KolmogSmir1SampleTestStat(n, level);
  double diff = KSPValue(n, d) - alpha;
  for (int step = 0; step < kMaxKSQuantileSteps && std::fabs(diff) > 0.0001; ++step) {
    d = d * (1.0 + diff);
    diff = KSPValue(n, d) - alpha;
  }
  return d;
}

double LillieforsPValue(int32_t n, double d) noexcept {
  if (n <= 5) return -1.0;
  if (std::isnan(d)) return d;
  if (std::fabs(d) > 1e150) return 0.0;  // d^2 would overflow; the p-value is 0 long before
  double nn = n;
  if (n > 100) {
    d *= std::pow(nn / 100.0, 0.49);
    nn = 100.0;
  }
  const double e = -7.01256 * d * d * (nn + 2.78019) + 2.99587 * d * std::sqrt(nn + 2.78019) -
                   0.122119 + 0.97498 / std::sqrt(nn) + 1.67997 / nn;
  return std::exp(std::min(e, 0.0));
}

double LillieforsQuantile(int32_t n, double alpha) noexcept {
  if (n < 1 || std::isnan(alpha)) return kNaN;
  static constexpr double kA[7] = {6.32207539843126,   -17.1398870006148, 38.42812675101057,
                                   -45.93241384693391, 7.88697700041829,  29.79317711037858,
                                   -18.48090137098585};
  static constexpr double kB[7] = {12.940399038404,   -53.458334259532, 186.923866119699,
                                   -410.582178349305, 517.377862566267, -343.581476222384,
                                   92.123451358715};
  const double x = 1.0 - alpha;
  double A = 0.0;
  double B = 0.0;
  for (int i = 6; i >= 0; --i) {
    A = A * x + kA[i];
    B = B * x + kB[i];
  }
  const double arg = n * A + B;
  if (!(arg > 0.0)) return kNaN;
  return 1.0 / std::sqrt(arg);
}

}  // namespace numbra
