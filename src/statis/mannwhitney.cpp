// Public Mann-Whitney U functions on the exact and approximate
// distributions of udist.cpp.
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

bool Exact(int32_t n1, int32_t n2) noexcept {
  return int64_t{n1} * n2 <= detail::kMaxExactUProduct;
}

// P(U <= u) from a distribution: the lower half summed upwards, the upper
// half as 1 minus the sum above u, so both tails keep their digits and the
// same formula serves the quantile search.
class TUCdf {
 public:
  explicit TUCdf(std::vector<double> pmf) : pmf_(std::move(pmf)) {
    const std::size_t n = pmf_.size();
    below_.assign(n + 1, 0.0);
    above_.assign(n + 1, 0.0);
    for (std::size_t u = 0; u < n; ++u) below_[u + 1] = below_[u] + pmf_[u];
    for (std::size_t u = n; u-- > 0;) above_[u] = above_[u + 1] + pmf_[u];
  }
  [[nodiscard]] double Cdf(int64_t u) const noexcept {
    const int64_t mn = static_cast<int64_t>(pmf_.size()) - 1;
    if (u < 0) return 0.0;
    if (u >= mn) return 1.0;
    if (2 * u <= mn) return below_[static_cast<std::size_t>(u) + 1];
    return 1.0 - above_[static_cast<std::size_t>(u) + 1];
  }
  [[nodiscard]] double Pmf(int64_t u) const noexcept {
    if (u < 0 || u >= static_cast<int64_t>(pmf_.size())) return 0.0;
    return pmf_[static_cast<std::size_t>(u)];
  }

 private:
  std::vector<double> pmf_;
  std::vector<double> below_;  // below_[u] = sum of pmf[0..u-1]
  std::vector<double> above_;  // above_[u] = sum of pmf[u..mn]
};

}  // namespace

double UDistriDensity(int32_t n1, int32_t n2, int32_t u) {
  if (n1 < 1 || n2 < 1) return kNaN;
  const int64_t mn = int64_t{n1} * n2;
  if (u < 0 || u > mn) return 0.0;
  if (Exact(n1, n2)) return detail::ExactUDistribution(n1, n2)[static_cast<std::size_t>(u)];
  // The difference of two approximate distribution values; near the centre
  // the two are of similar size and no tail is involved, in the tails both
  // are small and formed directly.
  const double hi = detail::ApproxUIntegral(n1, n2, u);
  const double lo = detail::ApproxUIntegral(n1, n2, u - 1.0);
  return std::max(0.0, hi - lo);
}

double UDistriIntegral(int32_t n1, int32_t n2, int32_t u) {
  if (n1 < 1 || n2 < 1) return kNaN;
  const int64_t mn = int64_t{n1} * n2;
  if (u < 0) return 0.0;
  if (u >= mn) return 1.0;
  if (Exact(n1, n2)) return TUCdf(detail::ExactUDistribution(n1, n2)).Cdf(u);
  return detail::ApproxUIntegral(n1, n2, u);
}

double UDistriQuantile(int32_t n1, int32_t n2, double p) {
  if (n1 < 1 || n2 < 1 || !(p >= 0.0 && p <= 1.0)) return kNaN;
  const int64_t mn = int64_t{n1} * n2;
  // The computed F reaches 1.0 before n1 n2 once the rest of the upper tail
  // is below half an ulp; the exact answer for p = 1 is the top of the range.
  if (p == 1.0) return static_cast<double>(mn);
  // Smallest u with F(u) >= p by bisection over 0..mn (F(mn) = 1 >= p).
  auto search = [&](auto&& F) {
    int64_t lo = -1;  // F(lo) < p, or lo = -1
    int64_t hi = mn;  // F(hi) >= p
    while (hi - lo > 1) {
      const int64_t mid = lo + (hi - lo) / 2;
      if (F(mid) >= p)
        hi = mid;
      else
        lo = mid;
    }
    return static_cast<double>(hi);
  };
  if (Exact(n1, n2)) {
    const TUCdf cdf(detail::ExactUDistribution(n1, n2));
    return search([&](int64_t u) { return cdf.Cdf(u); });
  }
  return search([&](int64_t u) { return detail::ApproxUIntegral(n1, n2, static_cast<double>(u)); });
}

}  // namespace numbra
