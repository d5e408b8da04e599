// Outlier tests of Dean and Dixon (ratios of gaps to ranges of the ordered
// sample; W. J. Dixon, "Processing data for outliers", Biometrics 9 (1953)
// 74-89; R. B. Dean and W. J. Dixon, Anal. Chem. 23 (1951) 636-638) and of
// Grubbs (largest standardized deviation; F. E. Grubbs, Technometrics 11
// (1969) 1-21).
#include "ORK_math1.h"
#include "ORK_statis.h"
#include "statis/hypothesis_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace numbra {

double DeanDixonCriticalValues(int32_t n, TSignifLevelEx level) noexcept {
  const auto col = static_cast<std::size_t>(level);
  if (n < 3 || n > 100 || col > 8) return -1.0;
  return detail::kDixonTable[n - 3][col];
}

namespace {

// a / b, 0 when b is 0.
double Ratio(double a, double b) noexcept { return b == 0.0 ? 0.0 : a / b; }

}  // namespace

int32_t DeanDixonTest(const TVector& data, TSignifLevelEx level, double& Q) {
  Q = 0.0;
  const int32_t n = data.NrOfElem();
  if (n < 3) throw EORKStatisError("DeanDixonTest: number of data points is too low");
  if (n > 100) throw EORKStatisError("DeanDixonTest: number of data points is too high");
  const std::span<const double> values = data.Values();
  if (!std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); })) {
    Q = std::numeric_limits<double>::quiet_NaN();
    return 0;
  }
  std::vector<double> s(values.begin(), values.end());
  SortArray(s, true);
  const auto x = [&s](int32_t i) { return s[static_cast<std::size_t>(i) - 1]; };  // 1-based
  double low = 0.0;
  double high = 0.0;
  if (n <= 7) {  // r10
    low = Ratio(x(2) - x(1), x(n) - x(1));
    high = Ratio(x(n) - x(n - 1), x(n) - x(1));
  } else if (n <= 10) {  // r11
    low = Ratio(x(2) - x(1), x(n - 1) - x(1));
    high = Ratio(x(n) - x(n - 1), x(n) - x(2));
  } else if (n <= 13) {  // r21
    low = Ratio(x(3) - x(1), x(n - 1) - x(1));
    high = Ratio(x(n) - x(n - 2), x(n) - x(2));
  } else {  // r22
    low = Ratio(x(3) - x(1), x(n - 2) - x(1));
    high = Ratio(x(n) - x(n - 2), x(n) - x(3));
  }
  const bool took_high = high > low;
  Q = took_high ? high : low;
  if (!(Q > DeanDixonCriticalValues(n, level))) return 0;
  const double suspect = took_high ? x(n) : x(1);
  const auto it = std::find(values.begin(), values.end(), suspect);
  return it == values.end() ? n : static_cast<int32_t>(it - values.begin()) + 1;
}

double GrubbsCriticalValues(int32_t n, double alpha, bool twosided) noexcept {
  if (!(alpha > 0.0 && alpha < 1.0) || n <= 2) return -1.0;
  const double k = twosided ? 2.0 : 1.0;
  const double t = tDistriQuantile(1.0 - alpha / (k * n), n - 2);
  const double dn = n;
  return (dn - 1.0) / std::sqrt(dn) * std::sqrt(t * t / (dn - 2.0 + t * t));
}

int32_t GrubbsTest(const TVector& data, double alpha, double& G) {
  G = 0.0;
  if (!(alpha > 0.0 && alpha < 1.0))
    throw EORKStatisError("GrubbsTest: invalid level of significance");
  const int32_t n = data.NrOfElem();
  if (n < 4) throw EORKStatisError("GrubbsTest: number of data points is too low");
  double mean = 0.0;
  double var = 0.0;
  data.MeanVar(0, 0, mean, var);
  const double s = std::sqrt(var);
  if (!(s > 0.0) || !std::isfinite(s)) return 0;
  const std::span<const double> values = data.Values();
  int32_t idx = 0;
  double gmax = -1.0;
  for (int32_t i = 0; i < n; ++i) {
    const double g = std::fabs(values[static_cast<std::size_t>(i)] - mean) / s;
    if (g > gmax) {
      gmax = g;
      idx = i + 1;
    }
  }
  G = gmax;
  return G > GrubbsCriticalValues(n, alpha, true) ? idx : 0;
}

}  // namespace numbra
