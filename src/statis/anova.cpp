// One-way analysis of variance.
//
// The textbook sums T^2/n, sum x^2 and sum S_g^2/n_g agree in nearly all
// their digits when the data carry a large common offset, and the sums of
// squares, their differences, lose every digit (NIST SmLs07-09: values near
// 1e12 with a spread of 0.1). The same quantities are formed here as
//   SSWithin  = sum_g sum_i (y_gi - ybar_g)^2,
//   SSBetween = sum_g n_g (ybar_g - ybar)^2,
//   SSTotal   = sum_i (y_i - ybar)^2,
// equal to the textbook forms in exact arithmetic, on y = x - x_1: the
// subtraction is exact for every value within a factor 2 of x_1 (Sterbenz),
// so a common offset is removed before any sum is formed, and the group
// means of y are then accurate to the rounding of the spread, not of the
// offset. Each group mean and centred sum comes from the corrected
// two-pass kernel of foundation/stats_detail.h.
#include "ORK_statis.h"
#include "foundation/stats_detail.h"
#include "statis/statis_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

namespace numbra {

double Anova1F(const TVector& data, const TIntVector& groups, double& SSBetween, double& SSWithin,
               double& SSTotal, int32_t& dfBetween, int32_t& dfWithin, int32_t& dfTotal,
               double& F) {
  const int32_t n = data.NrOfElem();
  if (groups.NrOfElem() != n) return -4.0;
  const std::span<const double> x = data.Values();

  // Group numbers 0..k-1 in order of first appearance. The labels are
  // integers, so "differs by less than 1e-8" is equality.
  std::vector<int32_t> label_of_group;
  std::vector<int32_t> group(static_cast<std::size_t>(n));
  {
    std::vector<std::pair<int32_t, int32_t>> seen;  // (label, group), sorted by label
    for (int32_t i = 0; i < n; ++i) {
      const int32_t label = groups.GetVal(i + 1);
      auto it = std::lower_bound(seen.begin(), seen.end(), std::make_pair(label, INT32_MIN));
      if (it == seen.end() || it->first != label) {
        it = seen.insert(it, {label, static_cast<int32_t>(label_of_group.size())});
        label_of_group.push_back(label);
      }
      group[static_cast<std::size_t>(i)] = it->second;
    }
  }
  const auto k = static_cast<int32_t>(label_of_group.size());
  if (k <= 1) return -1.0;
  if (k >= n) return -2.0;

  // The shifted values gathered group by group (a counting sort keeps the
  // order of the data inside each group).
  const double shift = x[0];
  std::vector<int32_t> start(static_cast<std::size_t>(k) + 1, 0);
  for (const int32_t g : group) ++start[static_cast<std::size_t>(g) + 1];
  for (int32_t g = 0; g < k; ++g)
    start[static_cast<std::size_t>(g) + 1] += start[static_cast<std::size_t>(g)];
  std::vector<double> y(static_cast<std::size_t>(n));
  {
    std::vector<int32_t> pos(start.begin(), start.end() - 1);
    for (int32_t i = 0; i < n; ++i)
      y[static_cast<std::size_t>(
          pos[static_cast<std::size_t>(group[static_cast<std::size_t>(i)])]++)] =
          x[static_cast<std::size_t>(i)] - shift;
  }

  const detail::MeanSSD all = detail::MeanAndSSD(std::span<const double>(y));
  double ssw = 0.0;
  double ssb = 0.0;
  for (int32_t g = 0; g < k; ++g) {
    const auto lo = static_cast<std::size_t>(start[static_cast<std::size_t>(g)]);
    const auto hi = static_cast<std::size_t>(start[static_cast<std::size_t>(g) + 1]);
    const std::span<const double> block(y.data() + lo, hi - lo);
    const auto [mn, mx] = std::minmax_element(block.begin(), block.end());
    const detail::MeanSSD r = detail::MeanAndSSD(block);
    // A constant group contributes exactly 0, whatever the rounding of its
    // mean.
    if (!(*mn == *mx && std::isfinite(*mn))) ssw += r.SSD();
    const double d = (*mn == *mx && std::isfinite(*mn) ? *mn : r.mean) - all.mean;
    ssb += static_cast<double>(hi - lo) * d * d;
  }
  // With every value equal all deviations vanish exactly.
  if (all.finite && all.SSD() == 0.0) ssb = 0.0;
  const double sst = all.SSD();
  if (!all.finite) ssw = ssb = std::numeric_limits<double>::quiet_NaN();

  SSBetween = ssb;
  SSWithin = ssw;
  SSTotal = sst;
  dfBetween = k - 1;
  dfWithin = n - k;
  dfTotal = n - 1;
  const double msb = ssb / (k - 1);
  const double msw = ssw / (n - k);
  if (msw != 0.0) {
    F = msb / msw;
    if (std::isnan(F)) return F;
    return detail::FisherFTails(F, k - 1, n - k).Upper;
  }
  if (msb != 0.0) {
    F = uc_MaxReal;
    return 0.0;
  }
  F = 0.0;
  return -3.0;
}

}  // namespace numbra
