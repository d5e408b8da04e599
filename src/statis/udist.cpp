// Null distribution of the Mann-Whitney U statistic.
//
// Exact part: the recurrence of Mann and Whitney (1947) on probabilities,
//   p(i, j; u) = i/(i+j) p(i-1, j; u - j) + j/(i+j) p(i, j-1; u),
// (the largest of the i + j pooled values belongs to the first sample with
// probability i/(i+j), and then exceeds all j values of the second). Every
// step is a convex combination of non-negative numbers, so the relative
// error stays a few ulp per step in every tail, and nothing overflows (the
// counts of orderings behind it, binomial(n1 + n2, n1), would exceed 2^53
// already at 30 x 30). The outer index runs over the larger sample so that
// one row of distributions holds about max * min^2 / 2 doubles.
//
// Approximate part: normal with continuity correction and the Edgeworth
// term of the fourth cumulant, kappa4 = -n1 n2 (n1 + n2 + 1)
// (n1^2 + n2^2 + n1 n2 + n1 + n2) / 120 (Fix & Hodges, 1955).
#include "statis/statis_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace numbra::detail {

std::vector<double> ExactUDistribution(int32_t n1, int32_t n2) {
  const int32_t big = std::max(n1, n2);
  const int32_t small = std::min(n1, n2);
  // prev[j] / cur[j]: distribution for (i - 1, j) / (i, j), length i j + 1.
  std::vector<std::vector<double>> prev(static_cast<std::size_t>(small) + 1,
                                        std::vector<double>{1.0});
  std::vector<std::vector<double>> cur(prev.size());
  for (int32_t i = 1; i <= big; ++i) {
    cur[0].assign(1, 1.0);
    for (int32_t j = 1; j <= small; ++j) {
      std::vector<double>& c = cur[static_cast<std::size_t>(j)];
      const std::vector<double>& up = prev[static_cast<std::size_t>(j)];
      const std::vector<double>& left = cur[static_cast<std::size_t>(j) - 1];
      c.assign(static_cast<std::size_t>(i) * j + 1, 0.0);
      const double wi = static_cast<double>(i) / (i + j);
      const double wj = static_cast<double>(j) / (i + j);
      for (std::size_t u = 0; u < up.size(); ++u) c[u + static_cast<std::size_t>(j)] += wi * up[u];
      for (std::size_t u = 0; u < left.size(); ++u) c[u] += wj * left[u];
    }
    std::swap(prev, cur);
  }
  return std::move(prev[static_cast<std::size_t>(small)]);
}

double ApproxUIntegral(int32_t n1, int32_t n2, double u) noexcept {
  const double a = n1;
  const double b = n2;
  const double mn = a * b;
  if (u < 0) return 0.0;
  if (u >= mn) return 1.0;
  // Symmetry P(U <= u) = 1 - P(U <= mn - 1 - u): evaluate the lower half
  // only, where the tail probability is small and kept relative.
  const bool upper = u > mn / 2.0;
  const double v = upper ? mn - 1.0 - u : u;
  const double var = mn * (a + b + 1.0) / 12.0;
  const double g4 = -6.0 * (a * a + b * b + a * b + a + b) / (5.0 * mn * (a + b + 1.0));
  const double z = (v + 0.5 - mn / 2.0) / std::sqrt(var);
  const double phi = std::exp(-0.5 * z * z) * 0.3989422804014327;
  double F = NormalTails(z).Lower - phi * g4 / 24.0 * (z * z * z - 3.0 * z);
  F = std::clamp(F, 0.0, 1.0);
  return upper ? 1.0 - F : F;
}

}  // namespace numbra::detail
