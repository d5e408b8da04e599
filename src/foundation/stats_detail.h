// Mean and sum of squared deviations of a sequence of numbers, the kernel
// behind every mean/variance routine of numbra (arrays here; vectors and
// matrices reuse it). Not installed.
//
// Why not the one-pass textbook formula (sum of squares - sum^2 / n)? For
// data with a large mean and a small spread the two sums agree in nearly all
// their digits and the difference keeps none of them: 1000000.1, 1000000.2,
// 1000000.3 has variance 0.01, but the squares are near 1e12, where a double
// resolves only 1e-4. The kernel instead uses the corrected two-pass
// algorithm (Chan, Golub and LeVeque, "Algorithms for computing the sample
// variance", Am. Statist. 37, 1983; Higham, "Accuracy and Stability of
// Numerical Algorithms", 2nd ed., sec. 1.9):
//
//   pass 1: max |x| and a check that every value is finite;
//   pass 2: m = (compensated sum of x) / n;
//   pass 3: d = x - m;  S1 = sum d,  S2 = sum d^2 (compensated);
//           mean = m + S1 / n,  SSD = S2 - S1^2 / n.
//
// S1 would be 0 in exact arithmetic; it removes the rounding error of m to
// first order. SSD is exact in exact arithmetic and its computed value has a
// relative error of a few units of rounding, whatever the ratio of mean to
// spread (the deviations are formed before they are squared).
//
// Every value is first multiplied by a power of two, 2^-e with 2^e <= max|x|
// < 2^(e+1): the scaling is exact, keeps every scaled value below 2 in
// magnitude, and so no sum or square can overflow (data near the largest
// double) or lose digits to underflow (data near the smallest). The results
// carry e and are scaled back at the end, where only a result that is itself
// out of range becomes infinite or zero.
#pragma once

#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <span>

namespace numbra::detail {

/// Result of MeanAndSSD. n is the number of values; mean their mean (0 for
/// n = 0). The sum of squared deviations is held as ssd_scaled * 4^exp2 so
/// that quotients of it stay in range even where it does not; read it
/// through SSD() and Variance(). finite is false when a value was NaN or
/// infinite: mean is then the IEEE mean (NaN, or an infinity) and SSD() and
/// Variance() are NaN.
struct MeanSSD {
  std::size_t n = 0;
  double mean = 0.0;
  double ssd_scaled = 0.0;
  int exp2 = 0;
  bool finite = true;

  /// Sum of squared deviations from the mean (infinite only when that sum
  /// itself exceeds the double range).
  [[nodiscard]] double SSD() const noexcept {
    if (!finite) return std::numeric_limits<double>::quiet_NaN();
    return std::ldexp(ssd_scaled, 2 * exp2);
  }
  /// SSD() / (n - Ddof): Ddof 1 gives the sample variance, 0 the population
  /// variance. NaN when n <= Ddof or a value was not finite.
  [[nodiscard]] double Variance(std::size_t Ddof = 1) const noexcept {
    if (!finite || n <= Ddof) return std::numeric_limits<double>::quiet_NaN();
    return std::ldexp(ssd_scaled / static_cast<double>(n - Ddof), 2 * exp2);
  }
};

/// The kernel. `visit` enumerates the data: visit(f) must call f(x) once for
/// each value x (any type convertible to double), in the same order on
/// every call; it is called three times. This form serves data that is not
/// one contiguous range, such as a block of a matrix or of an array of rows.
template <class Visit>
MeanSSD MeanAndSSDVisit(Visit&& visit) {
  MeanSSD r;
  // Pass 1: count, largest magnitude, finiteness.
  double max_abs = 0.0;
  visit([&](auto value) {
    const double a = std::fabs(static_cast<double>(value));
    ++r.n;
    if (!(a <= std::numeric_limits<double>::max()))
      r.finite = false;  // NaN or infinity
    else if (a > max_abs)
      max_abs = a;
  });
  if (r.n == 0) return r;
  const auto n = static_cast<double>(r.n);
  if (!r.finite) {
    // IEEE mean of the raw values: NaN if any is NaN or infinities of both
    // signs meet, otherwise the infinity.
    double s = 0.0;
    visit([&](auto value) { s += static_cast<double>(value); });
    r.mean = s / n;
    return r;
  }
  if (max_abs == 0.0) return r;  // all zero: mean 0, SSD 0

  // Exact power-of-two scaling. ilogb of a subnormal is below -1022; clamp
  // so that the factor 2^-e stays a representable double (scaling a
  // subnormal up by 2^1022 is still exact).
  int e = std::ilogb(max_abs);
  if (e < std::numeric_limits<double>::min_exponent - 1)
    e = std::numeric_limits<double>::min_exponent - 1;
  const double inv = std::ldexp(1.0, -e);
  r.exp2 = e;

  // Pass 2: Neumaier's compensated sum (Kahan-Babuska), robust also when an
  // addend is larger than the running sum.
  double s = 0.0;
  double c = 0.0;
  visit([&](auto value) {
    const double y = static_cast<double>(value) * inv;
    const double t = s + y;
    if (std::fabs(s) >= std::fabs(y))
      c += (s - t) + y;
    else
      c += (y - t) + s;
    s = t;
  });
  const double m = (s + c) / n;

  // Pass 3: deviations from m; S2 with Kahan's compensation (all addends are
  // non-negative, so the plain Kahan step is enough).
  double s1 = 0.0;
  double s2 = 0.0;
  double c2 = 0.0;
  visit([&](auto value) {
    const double d = static_cast<double>(value) * inv - m;
    s1 += d;
    const double y = d * d - c2;
    const double t = s2 + y;
    c2 = (t - s2) - y;
    s2 = t;
  });
  double ssd = s2 - s1 * s1 / n;
  if (ssd < 0.0) ssd = 0.0;  // cannot happen in exact arithmetic
  r.ssd_scaled = ssd;
  r.mean = std::ldexp(m + s1 / n, e);
  return r;
}

/// The kernel over the iterator range [first, last) (forward iterators: the
/// range is read three times).
template <class It>
MeanSSD MeanAndSSD(It first, It last) {
  return MeanAndSSDVisit([first, last](auto&& f) {
    for (It it = first; it != last; ++it) f(*it);
  });
}

/// The kernel over a contiguous span of any arithmetic element type.
template <class T>
MeanSSD MeanAndSSD(std::span<const T> data) {
  return MeanAndSSDVisit([data](auto&& f) {
    for (const T& v : data) f(v);
  });
}

}  // namespace numbra::detail
