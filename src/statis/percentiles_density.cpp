// Percentile of an array section by selection, and an adaptive Gaussian
// kernel density estimate.
#include "ORK_math1.h"
#include "ORK_statis.h"
#include "statis/hypothesis_detail.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace numbra {

namespace {

// The window scans of the local width at the 1-based position i of the
// sorted values x: down from x_(i+1) and up from x_(i-1) while the values
// stay within r of x_i, adding the gap to the next value outwards. Returns
// the sum of the gaps and their number.
struct TGaps {
  double sum;
  int32_t cnt;
};

// Literal scans (used where x_i is not finite, so that every comparison
// behaves as in the loop).
TGaps LocalGapsScan(std::span<const double> x, int32_t i, double r) {
  const auto n = static_cast<int32_t>(x.size());
  const auto at = [&x](int32_t j) { return x[static_cast<std::size_t>(j) - 1]; };
  TGaps g{0.0, 0};
  for (int32_t j = std::min(i + 1, n); j >= 2 && std::fabs(at(j) - at(i)) < r; --j) {
    g.sum += std::fabs(at(j) - at(j - 1));
    ++g.cnt;
  }
  for (int32_t j = std::max(i - 1, 1); j <= n - 1 && std::fabs(at(j) - at(i)) < r; ++j) {
    g.sum += std::fabs(at(j) - at(j + 1));
    ++g.cnt;
  }
  return g;
}

// The same for finite x_i in O(log n): on sorted data the scanned values
// form one contiguous run on each side (found by binary search), and the
// gaps of a run telescope, x_top - x_(bottom-1), exact in one subtraction
// instead of a sum of roundings.
TGaps LocalGapsSorted(std::span<const double> x, int32_t i, double r) {
  const auto n = static_cast<int32_t>(x.size());
  const auto at = [&x](int32_t j) { return x[static_cast<std::size_t>(j) - 1]; };
  const double xi = at(i);
  const auto near = [&](int32_t j) { return std::fabs(at(j) - xi) < r; };
  TGaps g{0.0, 0};
  // Down: j = s, s-1, ..., lo (j >= 2). Below i the test x_i - x_j < r holds
  // on a run ending at i.
  const int32_t s = std::min(i + 1, n);
  if (s >= 2 && near(s)) {
    int32_t lo = s;
    const int32_t top = std::min(s, i);
    if (top >= 2) {
      int32_t a = 2, b = top;  // smallest j in [2, top] with near(j); near(top) holds
      while (a < b) {
        const int32_t m = a + (b - a) / 2;
        if (near(m))
          b = m;
        else
          a = m + 1;
      }
      lo = a;
    }
    g.sum += at(s) - at(lo - 1);
    g.cnt += s - lo + 1;
  }
  // Up: j = t, t+1, ..., hi (j <= n - 1).
  const int32_t t = std::max(i - 1, 1);
  if (t <= n - 1 && near(t)) {
    int32_t hi = t;
    const int32_t bot = std::max(t, i);
    if (bot <= n - 1) {
      int32_t a = bot, b = n - 1;  // largest j in [bot, n-1] with near(j); near(bot) holds
      while (a < b) {
        const int32_t m = b - (b - a) / 2;
        if (near(m))
          a = m;
        else
          b = m - 1;
      }
      hi = a;
    }
    g.sum += at(hi + 1) - at(t);
    g.cnt += hi - t + 1;
  }
  return g;
}

}  // namespace

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
// The widths cost O(log n) each (see LocalGapsSorted). The sums over the
// data skip the terms that are exactly 0 in double precision: beyond 40
// widths from x, exp(-z^2/2) < exp(-800) underflows to 0, so skipping them
// changes no sum. Values beyond 40 w_max are cut off by binary search, the
// others by one compare per term instead of an exp.
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
    double h = 0.0;
    if (Radius > 0.0) {
      const auto [sum, cnt] =
          std::isfinite(at(i)) ? LocalGapsSorted(x, i, Radius) : LocalGapsScan(x, i, Radius);
      h = cnt > 0 ? (sum > 0.0 ? sum / cnt : Radius / cnt) : Radius;
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
      // Beyond 40 widths the term is exactly 0 (a compare instead of exp).
      if (std::fabs(xb - x[i]) > 40.0 * w[i]) continue;
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
