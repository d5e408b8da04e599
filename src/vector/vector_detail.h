// Implementation shared by TVector and TIntVector: the statistics, searches,
// sorting and the stream and text readers are written once, over spans of
// the element type, so that the two classes cannot drift apart. Not
// installed.
#pragma once

#include "ORK_math1.h"
#include "ORK_vector.h"
#include "foundation/frame_detail.h"
#include "foundation/stats_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

namespace numbra::detail {

/// The elements LowElem..HighElem (a valid range) of Data as a span.
template <class T>
std::span<const T> RangeOf(const std::vector<T>& Data, int32_t LowElem, int32_t HighElem) {
  return std::span<const T>(Data).subspan(static_cast<std::size_t>(LowElem) - 1,
                                          static_cast<std::size_t>(HighElem - LowElem) + 1);
}

/// The corrected two-pass mean and sum of squared deviations of MeanAndSSD,
/// for contiguous doubles in the range where no scaling is needed (largest
/// magnitude between 1e-140 and 1e140, so no square over- or underflows).
/// Same algorithm and accuracy class: pass 1 forms a provisional mean m
/// (and the largest magnitude), pass 2 the sums S1 = sum (x - m) and S2 =
/// sum (x - m)^2; mean = m + S1 / n and SSD = S2 - S1^2 / n. Both passes
/// keep eight independent partial sums, so they vectorise and run at memory
/// speed; the compensation of the general kernel is not needed because S1
/// corrects the rounding of m to first order and S2 is a sum of
/// non-negative terms. Outside that range, or for non-finite data, the
/// general kernel is used.
inline MeanSSD FastMeanAndSSD(std::span<const double> Data) {
  constexpr int kLanes = 8;
  const std::size_t n = Data.size();
  const double* x = Data.data();
  double sum[kLanes] = {};
  double big[kLanes] = {};
  std::size_t k = 0;
  for (; k + kLanes <= n; k += kLanes)
    for (int j = 0; j < kLanes; ++j) {
      sum[j] += x[k + j];
      const double a = std::fabs(x[k + j]);
      big[j] = a > big[j] ? a : big[j];
    }
  for (; k < n; ++k) {
    sum[0] += x[k];
    const double a = std::fabs(x[k]);
    big[0] = a > big[0] ? a : big[0];
  }
  double total = 0.0;
  double max_abs = 0.0;
  for (int j = 0; j < kLanes; ++j) {
    total += sum[j];
    max_abs = big[j] > max_abs ? big[j] : max_abs;
  }
  // A NaN or infinity makes the total non-finite; tiny or huge data need
  // the scaling of the general kernel.
  if (n == 0 || !std::isfinite(total) || max_abs > 1e140 || (max_abs < 1e-140 && max_abs > 0))
    return MeanAndSSD(Data);
  const double nd = static_cast<double>(n);
  const double m = total / nd;
  double s1[kLanes] = {};
  double s2[kLanes] = {};
  k = 0;
  for (; k + kLanes <= n; k += kLanes)
    for (int j = 0; j < kLanes; ++j) {
      const double d = x[k + j] - m;
      s1[j] += d;
      s2[j] += d * d;
    }
  for (; k < n; ++k) {
    const double d = x[k] - m;
    s1[0] += d;
    s2[0] += d * d;
  }
  double t1 = 0.0;
  double t2 = 0.0;
  for (int j = 0; j < kLanes; ++j) {
    t1 += s1[j];
    t2 += s2[j];
  }
  MeanSSD r;
  r.n = n;
  r.mean = m + t1 / nd;
  r.ssd_scaled = std::max(0.0, t2 - t1 * t1 / nd);
  return r;
}

/// The values of a span as a visitor (see MeanAndSSDVisit), so that every
/// *Visit helper below serves contiguous data too.
template <class T>
auto SpanVisitor(std::span<const T> Data) {
  return [Data](auto&& f) {
    for (const T& v : Data) f(v);
  };
}

/// Mean and variance with the vectors' rules over the values that Visit
/// enumerates (any order, several passes): variance 1.0 for fewer than 3
/// values, otherwise the sample variance from the stable kernel. For the
/// blocks of a matrix, which are not one contiguous range.
template <class Visit>
void MeanVarVisit(Visit&& visit, double& Mean, double& Variance) {
  const MeanSSD r = MeanAndSSDVisit(visit);
  Mean = r.mean;
  Variance = r.n < 3 ? 1.0 : r.Variance(1);
}

/// Mean and variance with the vectors' rules: variance 1.0 for fewer than 3
/// values, otherwise the sample variance from the stable kernel.
template <class T>
void MeanVarOf(std::span<const T> Data, double& Mean, double& Variance) {
  MeanSSD r;
  if constexpr (std::is_same_v<T, double>)
    r = FastMeanAndSSD(Data);
  else
    r = MeanAndSSD(Data);
  Mean = r.mean;
  Variance = r.n < 3 ? 1.0 : r.Variance(1);
}

/// Skewness and kurtosis (population moments over the sample standard
/// deviation, see TVector::SkewKurt) of the values that Visit enumerates;
/// returns their count. Both results are 0 when there are fewer than
/// MinCount values (the vectors use 4, the matrices 2). Deviations from the
/// accurate mean are scaled by a power of two so that their fourth powers
/// cannot overflow; the quotients are scale-free and the raw sums (the
/// result when s = 0) are scaled back exactly. Non-finite data give NaN.
template <class Visit>
std::size_t SkewKurtVisit(Visit&& visit, std::size_t MinCount, double& Skewness, double& Kurtosis) {
  Skewness = 0.0;
  Kurtosis = 0.0;
  const MeanSSD ms = MeanAndSSDVisit(visit);
  const std::size_t n_items = ms.n;
  if (n_items < MinCount || n_items == 0) return n_items;
  const double n = static_cast<double>(n_items);
  const double m = ms.mean;
  double max_dev = 0.0;
  bool finite = std::isfinite(m);
  visit([&](auto v) {
    const double d = std::fabs(static_cast<double>(v) - m);
    if (d > max_dev) max_dev = d;
    if (!(d <= std::numeric_limits<double>::max())) finite = false;
  });
  if (!finite) {
    Skewness = Kurtosis = std::numeric_limits<double>::quiet_NaN();
    return n_items;
  }
  const int e = max_dev > 0 ? std::ilogb(max_dev) : 0;
  double s1 = 0, s2 = 0, s3 = 0, s4 = 0;
  visit([&](auto v) {
    const double d = std::ldexp(static_cast<double>(v) - m, -e);
    const double d2 = d * d;
    s1 += d;
    s2 += d2;
    s3 += d2 * d;
    s4 += d2 * d2;
  });
  // m carries the rounding error of the mean (up to half a unit in its last
  // place, which is large beside the spread when the data sit far from 0).
  // Shift the sums to the exact mean of the data, m + delta with delta =
  // s1 / n, by the binomial identities -- exact in exact arithmetic.
  const double delta = s1 / n;
  const double m2 = s2 - s1 * delta;
  const double m3 = s3 - 3 * delta * s2 + 2 * n * delta * delta * delta;
  const double m4 =
      s4 - 4 * delta * s3 + 6 * delta * delta * s2 - 3 * n * delta * delta * delta * delta;
  // A single value has no spread (and n - 1 = 0): its moment sums are 0.
  const double var = n_items > 1 ? m2 / (n - 1) : 0.0;
  const double s = std::sqrt(std::max(var, 0.0));
  if (s == 0.0) {
    Skewness = std::ldexp(m3, 3 * e);
    Kurtosis = std::ldexp(m4, 4 * e);
    return n_items;
  }
  Skewness = m3 / n / (s * s * s);
  Kurtosis = m4 / n / (s * s * s * s) - 3.0;
  return n_items;
}

/// Skewness, kurtosis and count with the vectors' rules (see
/// TVector::SkewKurt): both 0 for fewer than 4 values.
template <class T>
void SkewKurtOf(std::span<const T> Data, double& Skewness, double& Kurtosis, int32_t& NumData) {
  NumData = static_cast<int32_t>(Data.size());
  SkewKurtVisit(SpanVisitor(Data), 4, Skewness, Kurtosis);
}

/// Small-sample corrections of SkewKurtSample from SkewKurtIntern's values.
inline void SampleCorrection(double G, double K, int32_t NumData, double& Skewness,
                             double& Kurtosis) {
  if (NumData < 4) {
    Skewness = 0.0;
    Kurtosis = 0.0;
    return;
  }
  const double n = NumData;
  Kurtosis = (K + 3) * n * n * (n + 1) / ((n - 1) * (n - 2) * (n - 3)) -
             3 * (n - 1) * (n - 1) / ((n - 2) * (n - 3));
  Skewness = G * n * n / ((n - 1) * (n - 2));
}

/// Geometric mean of the values that Visit enumerates, exp(sum ln x / n):
/// a negative value raises Exc "Component "<Name>": negative argument passed
/// to GeometricMean", a zero gives 0. NaN data give NaN; no values give NaN.
template <class Exc, class Visit>
double GeometricMeanVisit(Visit&& visit, const corvel::TComponent& C) {
  bool zero = false;
  std::size_t n = 0;
  visit([&](auto v) {
    if (v < 0) throw Exc(ComponentMsg(C, "negative argument passed to GeometricMean"));
    if (v == 0) zero = true;
    ++n;
  });
  if (zero) return 0.0;
  double s = 0.0;
  visit([&](auto v) { s += std::log(static_cast<double>(v)); });
  return std::exp(s / static_cast<double>(n));
}

/// Harmonic mean n / sum(1 / x) of the values that Visit enumerates; a value
/// that is not positive (NaN included) raises Exc "Component "<Name>":
/// negative or zero argument passed to HarmonicMean".
template <class Exc, class Visit>
double HarmonicMeanVisit(Visit&& visit, const corvel::TComponent& C) {
  double s = 0.0;
  std::size_t n = 0;
  visit([&](auto v) {
    if (!(v > 0)) throw Exc(ComponentMsg(C, "negative or zero argument passed to HarmonicMean"));
    s += 1.0 / static_cast<double>(v);
    ++n;
  });
  return static_cast<double>(n) / s;
}

/// Geometric mean with the vectors' rules; Name is the component's.
template <class T, class Exc>
double GeometricMeanOf(std::span<const T> Data, const corvel::TComponent& C) {
  return GeometricMeanVisit<Exc>(SpanVisitor(Data), C);
}

template <class T, class Exc>
double HarmonicMeanOf(std::span<const T> Data, const corvel::TComponent& C) {
  return HarmonicMeanVisit<Exc>(SpanVisitor(Data), C);
}

/// Extremes with strict comparisons from the given start values; indices
/// are 1-based positions counted from Offset + 1.
template <class T>
void MinMaxOf(std::span<const T> Data, int32_t Offset, T StartMin, T StartMax, T& Minimum,
              T& Maximum, int32_t& MinIx, int32_t& MaxIx) {
  Minimum = StartMin;
  Maximum = StartMax;
  MinIx = 0;
  MaxIx = 0;
  for (std::size_t k = 0; k < Data.size(); ++k) {
    const T v = Data[k];
    if (v < Minimum) {
      Minimum = v;
      MinIx = Offset + static_cast<int32_t>(k) + 1;
    }
    if (v > Maximum) {
      Maximum = v;
      MaxIx = Offset + static_cast<int32_t>(k) + 1;
    }
  }
}

/// MinMaxOf for doubles, vectorised: blocks of 2048 values are reduced to
/// their extremes with eight independent lanes, the first block holding each
/// overall extreme is remembered, and only that block is scanned again for
/// the first index. Same results as the strict sequential scan (NaN never
/// replaces an extreme; a value equal to a start value never counts).
inline void MinMaxOfDoubles(std::span<const double> Data, int32_t Offset, double StartMin,
                            double StartMax, double& Minimum, double& Maximum, int32_t& MinIx,
                            int32_t& MaxIx) {
  constexpr int kLanes = 8;
  constexpr std::size_t kBlock = 2048;
  const double* x = Data.data();
  const std::size_t n = Data.size();
  Minimum = StartMin;
  Maximum = StartMax;
  std::size_t min_block = n;  // none yet
  std::size_t max_block = n;
  for (std::size_t b0 = 0; b0 < n; b0 += kBlock) {
    const std::size_t b1 = std::min(n, b0 + kBlock);
    double lo[kLanes];
    double hi[kLanes];
    for (int j = 0; j < kLanes; ++j) {
      lo[j] = StartMin;
      hi[j] = StartMax;
    }
    std::size_t k = b0;
    for (; k + kLanes <= b1; k += kLanes)
      for (int j = 0; j < kLanes; ++j) {
        lo[j] = x[k + j] < lo[j] ? x[k + j] : lo[j];
        hi[j] = x[k + j] > hi[j] ? x[k + j] : hi[j];
      }
    for (; k < b1; ++k) {
      lo[0] = x[k] < lo[0] ? x[k] : lo[0];
      hi[0] = x[k] > hi[0] ? x[k] : hi[0];
    }
    for (int j = 0; j < kLanes; ++j) {
      if (lo[j] < Minimum) {
        Minimum = lo[j];
        min_block = b0;
      }
      if (hi[j] > Maximum) {
        Maximum = hi[j];
        max_block = b0;
      }
    }
  }
  const auto first_index = [&](double v, std::size_t b0) -> int32_t {
    for (std::size_t i = b0; i < std::min(n, b0 + kBlock); ++i)
      if (x[i] == v) return Offset + static_cast<int32_t>(i) + 1;
    return 0;  // no block passed the strict comparison
  };
  MinIx = first_index(Minimum, min_block);
  MaxIx = first_index(Maximum, max_block);
}

/// A sorted (ascending, comb sort with progress) working copy of a range.
template <class Exc, class T>
std::vector<T> SortedCopy(std::span<const T> Data, const corvel::TComponent& C) {
  std::vector<T> copy;
  Allocate<Exc>(C, "not enough memory on heap", [&] { copy.assign(Data.begin(), Data.end()); });
  SortArray(std::span<T>(copy), true);
  return copy;
}

/// Mode of a sorted array: the value of the first strictly longest run.
template <class T>
T ModeOfSorted(const std::vector<T>& x) {
  T best = x.front();
  std::size_t best_len = 1;
  std::size_t run = 1;
  for (std::size_t k = 1; k < x.size(); ++k) {
    run = (x[k] == x[k - 1]) ? run + 1 : 1;
    if (run > best_len) {
      best_len = run;
      best = x[k];
    }
  }
  return best;
}

/// Quartiles of a sorted array by the (n + 1) f rule.
template <class T>
void QuartilesOfSorted(const std::vector<T>& x, double& Q1, double& Q2, double& Q3) {
  const std::size_t n = x.size();
  if (n < 2) {
    Q1 = Q2 = Q3 = static_cast<double>(x.front());
    return;
  }
  auto q = [&](double f) {
    const double p = static_cast<double>(n + 1) * f;
    const auto k = static_cast<std::size_t>(p);
    const double g = p - static_cast<double>(k);
    if (k == 0) return static_cast<double>(x.front());
    if (k >= n) return static_cast<double>(x.back());
    const double a = static_cast<double>(x[k - 1]);
    const double b = static_cast<double>(x[k]);
    return a + (b - a) * g;
  };
  Q1 = q(0.25);
  Q2 = q(0.5);
  Q3 = q(0.75);
}

/// Percentile of a sorted array by the (n - 1) p rule; prob clamped to 0..100.
template <class T>
double PercentileOfSorted(const std::vector<T>& x, double prob) {
  if (!(prob >= 0)) prob = 0;  // NaN as well
  if (prob > 100) prob = 100;
  const std::size_t n = x.size();
  if (n == 1) return static_cast<double>(x.front());
  if (prob == 100) return static_cast<double>(x.back());
  const double p = static_cast<double>(n - 1) * prob / 100.0;
  const auto k = static_cast<std::size_t>(p);
  const double g = p - static_cast<double>(k);
  const double a = static_cast<double>(x[k]);
  const double b = static_cast<double>(x[std::min(k + 1, n - 1)]);
  return a + (b - a) * g;
}

/// Pearson's r from centred sums (see TVector::PearsonCorrCoeff).
template <class T>
double PearsonOf(std::span<const T> X, std::span<const T> Y) {
  const std::size_t n = X.size();
  if (n != Y.size() || n < 2) return 0.0;
  bool x_nonzero = false;
  bool y_nonzero = false;
  for (std::size_t k = 0; k < n; ++k) {
    x_nonzero = x_nonzero || X[k] != 0;
    y_nonzero = y_nonzero || Y[k] != 0;
  }
  if (!x_nonzero || !y_nonzero) return 0.0;
  const MeanSSD rx = MeanAndSSD(X);
  const MeanSSD ry = MeanAndSSD(Y);
  if (!rx.finite || !ry.finite) return std::numeric_limits<double>::quiet_NaN();
  // Scale the deviations by powers of two so no product overflows.
  double qx = 0, qy = 0, sxy = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const double dx = std::ldexp(static_cast<double>(X[k]) - rx.mean, -rx.exp2);
    const double dy = std::ldexp(static_cast<double>(Y[k]) - ry.mean, -ry.exp2);
    qx += dx * dx;
    qy += dy * dy;
    sxy += dx * dy;
  }
  if (qx == 0 || qy == 0) return 0.0;
  return sxy / (std::sqrt(qx) * std::sqrt(qy));
}

/// PearsonOf with the first-order correction of the corrected two-pass
/// algorithm: the deviations are taken from the rounded means, whose error
/// (up to half a unit in the last place of the mean, large beside the
/// spread when the data sit far from 0) would enter the sum of products as
/// n dx dy; subtracting S1x S1y / n (S1 = sum of the deviations) removes it,
/// as MeanAndSSD does for the variance. So r keeps about all its digits for
/// data with a large common offset, where PearsonOf keeps about
/// 16 - log10(|offset / spread|^2 / |r|) of them. Same rules otherwise.
template <class T>
double PearsonCorrectedOf(std::span<const T> X, std::span<const T> Y) {
  const std::size_t n = X.size();
  if (n != Y.size() || n < 2) return 0.0;
  bool x_nonzero = false;
  bool y_nonzero = false;
  for (std::size_t k = 0; k < n; ++k) {
    x_nonzero = x_nonzero || X[k] != 0;
    y_nonzero = y_nonzero || Y[k] != 0;
  }
  if (!x_nonzero || !y_nonzero) return 0.0;
  const MeanSSD rx = MeanAndSSD(X);
  const MeanSSD ry = MeanAndSSD(Y);
  if (!rx.finite || !ry.finite) return std::numeric_limits<double>::quiet_NaN();
  // Scale the deviations by powers of two so no product overflows.
  double s1x = 0, s1y = 0, qx = 0, qy = 0, sxy = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const double dx = std::ldexp(static_cast<double>(X[k]) - rx.mean, -rx.exp2);
    const double dy = std::ldexp(static_cast<double>(Y[k]) - ry.mean, -ry.exp2);
    s1x += dx;
    s1y += dy;
    qx += dx * dx;
    qy += dy * dy;
    sxy += dx * dy;
  }
  const double nd = static_cast<double>(n);
  qx -= s1x * s1x / nd;
  qy -= s1y * s1y / nd;
  sxy -= s1x * s1y / nd;
  if (!(qx > 0) || !(qy > 0)) return 0.0;
  return sxy / (std::sqrt(qx) * std::sqrt(qy));
}

/// sqrt(sum (X - Y)^2), scaled by the largest difference (no overflow).
template <class T>
double EuclidOf(std::span<const T> X, std::span<const T> Y) {
  double scale = 0.0;
  bool nan = false;
  for (std::size_t k = 0; k < X.size(); ++k) {
    const double d = std::fabs(static_cast<double>(X[k]) - static_cast<double>(Y[k]));
    if (d > scale)
      scale = d;
    else if (std::isnan(d))
      nan = true;
  }
  if (nan) return std::numeric_limits<double>::quiet_NaN();
  if (scale == 0.0 || std::isinf(scale)) return scale;
  double s = 0.0;
  for (std::size_t k = 0; k < X.size(); ++k) {
    const double d = (static_cast<double>(X[k]) - static_cast<double>(Y[k])) / scale;
    s += d * d;
  }
  return scale * std::sqrt(s);
}

/// Index (1-based, from Offset + 1) of the element nearest to Value; the
/// differences are compared as doubles from the largest double.
template <class T>
int32_t FindNearest(std::span<const T> Data, int32_t Offset, T Value) {
  double best = std::numeric_limits<double>::max();
  int32_t ix = 0;
  for (std::size_t k = 0; k < Data.size(); ++k) {
    const double d = std::fabs(static_cast<double>(Data[k]) - static_cast<double>(Value));
    // The first element that is not NaN starts the search, even when its
    // difference is infinite.
    if (d < best || (ix == 0 && !std::isnan(d))) {
      best = d;
      ix = Offset + static_cast<int32_t>(k) + 1;
    }
  }
  return ix;
}

/// Binary search of a sorted array (1-based result).
template <class T>
int32_t FindInSorted(std::span<const T> Data, bool Ascending, T Value) {
  const auto y = [&](int32_t i) { return Data[static_cast<std::size_t>(i) - 1]; };
  int32_t lo = 1;
  int32_t hi = static_cast<int32_t>(Data.size());
  while (hi - lo >= 2) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (y(mid) == Value) return mid;
    if ((y(mid) > Value) == Ascending)
      hi = mid;
    else
      lo = mid;
  }
  const double dl = std::fabs(static_cast<double>(y(lo)) - static_cast<double>(Value));
  const double dh = std::fabs(static_cast<double>(y(hi)) - static_cast<double>(Value));
  return dl < dh ? lo : hi;
}

/// The sort order of the library's sorts: the natural order, with NaN
/// larger than every number (so NaNs end last in ascending order) and NaNs
/// equal among themselves.
template <class T>
bool SortsAfter(T a, T b) {
  if constexpr (std::is_floating_point_v<T>) {
    if (std::isnan(a)) return !std::isnan(b);
  }
  return a > b;
}

/// Comb sort of Data[First..Last] (1-based) with the gap starting at
/// Last - First; Exchange(i, j) is called after each exchange.
template <class T, class OnExchange>
void CombSortRange(std::vector<T>& Data, int32_t First, int32_t Last, bool Ascending,
                   OnExchange&& Exchange) {
  int64_t gap = int64_t{Last} - First;
  bool exchanged = true;
  while (gap > 1 || exchanged) {
    gap = (gap * 100000000 / 13000) / 10000;
    if (gap == 0) gap = 1;
    exchanged = false;
    for (int64_t i = First; i + gap <= Last; ++i) {
      T& a = Data[static_cast<std::size_t>(i) - 1];
      T& b = Data[static_cast<std::size_t>(i + gap) - 1];
      if (Ascending ? SortsAfter(a, b) : SortsAfter(b, a)) {
        std::swap(a, b);
        exchanged = true;
        Exchange(static_cast<int32_t>(i), static_cast<int32_t>(i + gap));
      }
    }
  }
}

/// Shuffle: reseed from the clock, then N exchanges at uniform positions.
template <class T>
void ShuffleAll(std::vector<T>& Data) {
  corvel::Randomize();
  const auto n = static_cast<int32_t>(Data.size());
  for (int32_t k = 0; k < n; ++k) {
    const auto i = static_cast<std::size_t>(corvel::Random(n));
    const auto j = static_cast<std::size_t>(corvel::Random(n));
    std::swap(Data[i], Data[j]);
  }
}

/// Count += Times, saturating at the largest 32-bit count (a range of 2^32
/// positions outside a vector can be counted).
inline void AddSaturated(int32_t& Count, int64_t Times) {
  Count = static_cast<int32_t>(
      std::min<int64_t>(std::numeric_limits<int32_t>::max(), int64_t{Count} + Times));
}

/// The histogram of doubles shared by TVector and TMatrix (see
/// TVector::Histogram for the rules): NBins = |LastBin - FirstBin| / BinWidth
/// rounded half to even must lie in 1..500 and Histo must exist, else the
/// result is false and nothing changes. Histo is resized to NBins and
/// cleared; a value below FirstBin is underflow, one at or above LastBin +
/// BinWidth (and NaN) overflow, any other value v goes into bin
/// trunc((v - FirstBin) / BinWidth) + 1, or into the last bin when that lies
/// beyond it, so every value is counted exactly once. Visit(count) must call
/// count(value, times) for the values (times >= 1 occurrences of value);
/// counts saturate at the largest 32-bit count.
template <class Visit>
bool HistogramVisit(double FirstBin, double LastBin, double BinWidth, TIntVector* Histo,
                    int32_t& Underflow, int32_t& Overflow, int32_t& MaxCnt, Visit&& visit) {
  if (Histo == nullptr) return false;
  const double bins = std::nearbyint(std::fabs(LastBin - FirstBin) / BinWidth);
  // Also rejects a BinWidth of 0 (infinite count), a negative one and NaN.
  if (!(bins >= 1 && bins <= 500)) return false;
  const auto nbins = static_cast<int32_t>(bins);
  if (Histo->NrOfElem() != nbins) Histo->Resize(nbins);
  Histo->Clear();
  Underflow = 0;
  Overflow = 0;
  MaxCnt = 0;
  const double limit = LastBin + BinWidth;
  std::vector<int32_t> counts(static_cast<std::size_t>(nbins), 0);
  visit([&](double v, int64_t times) {
    if (v < FirstBin) {
      AddSaturated(Underflow, times);
    } else if (!(v < limit)) {  // at or above the limit, and NaN
      AddSaturated(Overflow, times);
    } else {
      const double b = std::trunc((v - FirstBin) / BinWidth);
      const auto bin = b >= nbins ? nbins - 1 : static_cast<int32_t>(b);
      AddSaturated(counts[static_cast<std::size_t>(bin)], times);
    }
  });
  for (int32_t b = 0; b < nbins; ++b) {
    const int32_t c = counts[static_cast<std::size_t>(b)];
    if (c != 0) Histo->SetVal(b + 1, c);
    MaxCnt = std::max(MaxCnt, c);
  }
  return true;
}

/// Whether a reader may grow a vector to NewCount on the word of a header
/// that announces values First..NewCount when at most MaxValues follow.
/// Besides holding the announced values, the input must be in proportion to
/// the count: at most 64 elements per value it can hold (2^20 elements are
/// always allowed), so a few bytes cannot demand a gigabyte.
inline bool GrowthPlausible(int64_t First, int64_t NewCount, int64_t MaxValues) {
  if (NewCount > kMaxElemsFromHeader) return false;
  if (NewCount > std::max<int64_t>(int64_t{1} << 20, 64 * MaxValues)) return false;
  return NewCount - std::max<int64_t>(First, 1) + 1 <= MaxValues;
}

/// The body of the stream readers. ReadBound(int64&) reads one header bound,
/// ReadValue(i) reads one element and stores it at i when i is a valid
/// position (false when the stream is exhausted). Count() is the current
/// element count, Resize(n) and Changed() the vector's.
template <class ReadBound, class ReadValue, class Count, class ResizeFn, class ChangedFn>
bool LoadStreamForm(corvel::TStream* In, bool Adjust, int ItemBytes, ReadBound&& read_bound,
                    ReadValue&& read_value, Count&& count, ResizeFn&& resize, ChangedFn&& changed) {
  if (In == nullptr) return false;
  int64_t low = 0;
  int64_t high = 0;
  if (!read_bound(low) || !read_bound(high)) return false;
  if (Adjust) {
    const int64_t rest = In->Size() - In->Position();
    if (high <= count() || GrowthPlausible(low, high, rest / ItemBytes))
      resize(static_cast<int32_t>(high));
  }
  bool result = high <= count();
  if (result) {
    for (int64_t i = low; i <= high; ++i) {
      if (!read_value(i)) {
        result = false;  // the stream is exhausted: every further read fails too
        break;
      }
    }
  }
  changed();
  return result;
}

/// The body of the two-argument text readers. Store(i, x) stores the value
/// read for element i (i may lie outside the vector).
template <class Count, class ResizeFn, class StoreFn, class ChangedFn>
bool LoadTextForm(const std::string& FileName, bool Adjust, Count&& count, ResizeFn&& resize,
                  StoreFn&& store, ChangedFn&& changed) {
  corvel::TTextReader in(FileName);
  if (!in.IsOpen()) return false;
  int32_t first = 0;
  int32_t last = 0;
  if (!in.ReadInteger(first) || !in.ReadInteger(last)) return false;
  if (Adjust) {
    // Each value takes at least one character and one separator.
    const int64_t max_values = (in.Remaining() + 1) / 2;
    if (last <= count() || GrowthPlausible(first, last, max_values)) resize(last);
  }
  const bool result = last <= count();
  if (result) {
    for (int64_t i = first; i <= last; ++i) {
      if (in.SeekEof()) break;  // nothing left: every further read would fail
      double v = 0.0;
      if (in.ReadDouble(v)) store(i, v);
    }
  }
  changed();
  return result;
}

/// Header and range rules of StoreOnFile; Line(i) gives the text of element i.
template <class LineFn>
bool StoreTextForm(int32_t FirstElem, int32_t LastElem, int32_t Count, const std::string& FileName,
                   LineFn&& line) {
  if (LastElem < FirstElem) std::swap(FirstElem, LastElem);
  if (FirstElem < 1) FirstElem = 1;
  if (LastElem > Count) LastElem = Count;
  corvel::TTextWriter out;
  if (!out.Open(FileName)) return false;
  out.WriteLine(std::to_string(FirstElem) + " " + std::to_string(LastElem));
  for (int32_t i = FirstElem; i <= LastElem; ++i) out.WriteLine(line(i));
  out.Close();  // write errors after creation are not reported
  return true;
}

}  // namespace numbra::detail
