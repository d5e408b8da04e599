// Percentile of an array section by selection, and an adaptive Gaussian
// kernel density estimate.
#include "ORK_math1.h"
#include "ORK_statis.h"
#include "statis/hypothesis_detail.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace numbra {

int32_t PercentileOfArray(std::span<double> data, double prob, int32_t first, int32_t last,
                          double& value) {
  value = 0.0;
  const auto high = static_cast<int64_t>(data.size()) - 1;
  int32_t code = 0;
  if (first < 0 || first > high || last < 0 || last > high) code = -1;
  if (first > last) code = -3;
  if (!(prob >= 0.0 && prob <= 100.0)) code = -2;
  if (code != 0) return code;
  const int64_t n = int64_t{last} - first + 1;
  const double kk = detail::RoundHalfEven(prob / 100.0 * static_cast<double>(n));
  const auto k = static_cast<int32_t>(std::min(kk, static_cast<double>(n - 1)));
  value = QuickSelect(data, first + k, first, last);
  return 0;
}

// Local widths: h_i is the mean of the gaps between consecutive sorted
// values near x_i (the window grows down from x_(i+1) and up from x_(i-1)
// while the values stay within r of x_i), so the kernel is narrow where the
// data are dense and wide where they are sparse. Only gaps between two data
// values are counted: the ends of the sample have no neighbour beyond them
// (a phantom value 0 there would make the widths depend on the distance of
// the data from the origin).
//
// The sums over the data run over the sorted values whose kernel term is
// representable: beyond 40 w_max from x, exp(-z^2/2) < exp(-800) is 0 in
// double precision, so skipping those terms changes no sum; the window is
// found by binary search, which makes the cost of a point proportional to
// the data near it instead of n.
void EstimateProbDensity(TVector& data, TVector& density, double RangeLow, double RangeHigh,
                         double WidthFactor, double Radius, int32_t bins, int32_t& MinIx,
                         int32_t& MaxIx, const TDensityProgressProc& Progress) {
  bins = std::clamp(bins, 10, 10000);
  if (!(WidthFactor > 0.0)) WidthFactor = 1.0;
  data.SortElems(true, 0, 0);
  const std::span<const double> x = data.Values();
  const auto n = static_cast<int32_t>(x.size());
  const double total = static_cast<double>(n) + bins;
  const auto at = [&x](int32_t i) { return x[static_cast<std::size_t>(i) - 1]; };  // 1-based

  std::vector<double> w(static_cast<std::size_t>(n));
  for (int32_t i = 1; i <= n; ++i) {
    double h = Radius;
    if (Radius > 0.0) {
      const double xi = at(i);
      double sum = 0.0;
      int32_t cnt = 0;
      for (int32_t j = std::min(i + 1, n); j >= 2 && std::fabs(at(j) - xi) < Radius; --j) {
        sum += std::fabs(at(j) - at(j - 1));
        ++cnt;
      }
      for (int32_t j = std::max(i - 1, 1); j <= n - 1 && std::fabs(at(j) - xi) < Radius; ++j) {
        sum += std::fabs(at(j) - at(j + 1));
        ++cnt;
      }
      if (cnt > 0) h = sum > 0.0 ? sum / cnt : Radius / cnt;
    } else {
      h = 0.0;
    }
    const double wi = WidthFactor * h;
    w[static_cast<std::size_t>(i) - 1] = wi != 0.0 ? wi : WidthFactor;
    if (Progress) Progress(nullptr, i, 100.0 * i / total);
  }
  double wmax = 0.0;
  for (const double v : w) wmax = std::max(wmax, std::fabs(v));
  const double reach = 40.0 * wmax;

  density.Resize(bins + 1);
  constexpr double kInvSqrt2Pi = 0.39894228040143267794;
  double dmax = 0.0;
  double dmin = uc_MaxDouble;
  const bool has_nan = n > 0 && std::isnan(x.back());  // NaN sorts last
  for (int32_t b = 0; b <= bins; ++b) {
    const double xb = RangeLow + b * (RangeHigh - RangeLow) / bins;
    std::size_t lo = 0;
    std::size_t hi = x.size();
    if (!has_nan && std::isfinite(reach)) {
      lo = static_cast<std::size_t>(std::lower_bound(x.begin(), x.end(), xb - reach) - x.begin());
      hi = static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), xb + reach) - x.begin());
    }
    double s = 0.0;
    for (std::size_t i = lo; i < hi; ++i) {
      const double z = (xb - x[i]) / w[i];
      s += std::exp(-0.5 * z * z) / w[i];
    }
    const double d = kInvSqrt2Pi * s / n;
    density.SetVal(b + 1, d);
    if (d > dmax) {
      dmax = d;
      MaxIx = b + 1;
    }
    if (d < dmin) {
      dmin = d;
      MinIx = b + 1;
    }
    if (Progress) Progress(nullptr, n + b + 1, 100.0 * (n + b + 1) / total);
  }
}

}  // namespace numbra
