// Critical values of the Wilcoxon signed-rank statistic: a parabola in the
// logarithm of the level through the exact table (n <= 100), the normal
// approximation beyond.
#include "ORK_math2.h"
#include "ORK_statis.h"
#include "statis/hypothesis_detail.h"
#include "statis/statis_detail.h"

#include <cmath>

namespace numbra {

int32_t WilcoxonSRQuantile(int32_t n, double alpha, bool TwoSided) noexcept {
  if (n < 8 || n > 1000000 || !(alpha >= 0.000499999 && alpha <= 0.20000001)) return -1;
  if (n <= 100) {
    // Least-squares parabola through (ln level, table value) with a
    // temporary curve fit; with three points (n = 8) it interpolates.
    const int c = n == 8 ? 3 : (n <= 10 ? 4 : 5);
    double k0 = 0.0;
    double k1 = 0.0;
    double k2 = 0.0;
    double quality = 0.0;
    try {
      TCurveFit fit;
      for (int i = 0; i < c; ++i)
        fit.EnterStatValue(std::log(detail::kWilcoxonLevels[i]), detail::kWilcoxonTable[n - 8][i]);
      fit.CalcParabolFit(k0, k1, k2, quality);
    } catch (const std::exception&) {
      return -1;  // no storage for the five points
    }
    const double L = std::log(TwoSided ? alpha : 2.0 * alpha);
    const double v = detail::RoundHalfEven(k0 + L * (k1 + L * k2));
    return v < 0.0 ? 0 : static_cast<int32_t>(v);
  }
  const double z = -detail::NormalQuantile(TwoSided ? alpha / 2.0 : alpha);
  const double dn = n;
  const double v = detail::RoundHalfEven(dn * (dn + 1.0) / 4.0 -
                                         z * std::sqrt(dn * (dn + 1.0) * (2.0 * dn + 1.0) / 24.0));
  // From n = 92682 on the centre n(n+1)/4 alone exceeds the 32-bit range.
  return v <= 2147483647.0 ? static_cast<int32_t>(v) : -1;
}

}  // namespace numbra
