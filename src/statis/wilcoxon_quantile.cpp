// Critical values of the Wilcoxon signed-rank statistic: a parabola in the
// logarithm of the level through the exact table (n <= 100), the normal
// approximation beyond.
#include "ORK_statis.h"
#include "statis/hypothesis_detail.h"
#include "statis/statis_detail.h"

#include <cmath>

namespace numbra {

namespace {

// Least-squares parabola y = k0 + k1 L + k2 L^2 through c points, evaluated
// at L0. The abscissae are centred on their mean before the normal
// equations are formed (they are ln 0.1 .. ln 0.001, so uncentred powers
// would make the 3 x 3 system needlessly ill-conditioned); with three
// points the fit interpolates.
double ParabolaAt(const double* L, const double* y, int c, double L0) noexcept {
  long double lm = 0;
  for (int i = 0; i < c; ++i) lm += L[i];
  lm /= c;
  long double m[3][4] = {};
  for (int i = 0; i < c; ++i) {
    const long double u = L[i] - lm;
    const long double p[3] = {1.0L, u, u * u};
    for (int r = 0; r < 3; ++r) {
      for (int s = 0; s < 3; ++s) m[r][s] += p[r] * p[s];
      m[r][3] += p[r] * y[i];
    }
  }
  // Gaussian elimination with partial pivoting.
  for (int col = 0; col < 3; ++col) {
    int piv = col;
    for (int r = col + 1; r < 3; ++r)
      if (std::fabs(m[r][col]) > std::fabs(m[piv][col])) piv = r;
    for (int s = 0; s < 4; ++s) std::swap(m[col][s], m[piv][s]);
    for (int r = col + 1; r < 3; ++r) {
      const long double f = m[r][col] / m[col][col];
      for (int s = col; s < 4; ++s) m[r][s] -= f * m[col][s];
    }
  }
  long double k[3];
  for (int r = 2; r >= 0; --r) {
    long double s = m[r][3];
    for (int q = r + 1; q < 3; ++q) s -= m[r][q] * k[q];
    k[r] = s / m[r][r];
  }
  const long double u0 = L0 - lm;
  return static_cast<double>(k[0] + u0 * (k[1] + u0 * k[2]));
}

}  // namespace

int32_t WilcoxonSRQuantile(int32_t n, double alpha, bool TwoSided) noexcept {
  if (n < 8 || n > 1000000 || !(alpha >= 0.000499999 && alpha <= 0.20000001)) return -1;
  if (n <= 100) {
    const int c = n == 8 ? 3 : (n <= 10 ? 4 : 5);
    double L[5];
    double y[5];
    for (int i = 0; i < c; ++i) {
      L[i] = std::log(detail::kWilcoxonLevels[i]);
      y[i] = detail::kWilcoxonTable[n - 8][i];
    }
    const double v =
        detail::RoundHalfEven(ParabolaAt(L, y, c, std::log(TwoSided ? alpha : 2.0 * alpha)));
    return v < 0.0 ? 0 : static_cast<int32_t>(v);
  }
  const double z = -detail::NormalQuantile(TwoSided ? alpha / 2.0 : alpha);
  const double dn = n;
  const double v = detail::RoundHalfEven(
      dn * (dn + 1.0) / 4.0 - z * std::sqrt(dn * (dn + 1.0) * (2.0 * dn + 1.0) / 24.0));
  // From n = 92682 on the centre n(n+1)/4 alone exceeds the 32-bit range.
  return v <= 2147483647.0 ? static_cast<int32_t>(v) : -1;
}

}  // namespace numbra
