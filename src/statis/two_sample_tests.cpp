// Two-sample location tests: Student's t (paired, pooled, Welch) and the
// Mann-Whitney U rank-sum test.
#include "ORK_math1.h"
#include "ORK_statis.h"
#include "foundation/stats_detail.h"
#include "statis/statis_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace numbra {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// p-value of t with df degrees of freedom (real df: Welch).
double TPValue(double t, double df, bool TwoSided) noexcept {
  if (TwoSided) return 2.0 * detail::StudentTTails(-std::fabs(t), df).Lower;
  return detail::StudentTTails(t, df).Upper;
}

}  // namespace

double Perform2SampleTTest(const TVector& Data1, const TVector& Data2, TtTestVersion Version,
                           bool TwoSided, double& Mean1, double& Mean2, double& Var1, double& Var2,
                           double& StdErr, double& tValue, double& Df, int32_t& NumData) {
  Mean1 = Mean2 = Var1 = Var2 = StdErr = tValue = Df = kNaN;
  const std::span<const double> x1 = Data1.Values();
  const std::span<const double> x2 = Data2.Values();
  const auto n1 = static_cast<double>(x1.size());
  const auto n2 = static_cast<double>(x2.size());
  NumData =
      Version == TtTestVersion::ttPaired ? Data1.NrOfElem() : Data1.NrOfElem() + Data2.NrOfElem();
  const detail::MeanSSD s1 = detail::MeanAndSSD(x1);
  const detail::MeanSSD s2 = detail::MeanAndSSD(x2);
  Mean1 = s1.mean;
  Mean2 = s2.mean;
  Var1 = s1.Variance();
  Var2 = s2.Variance();
  if (x1.size() < 2 || x2.size() < 2) return -1.0;
  if (!s1.finite || !s2.finite) return kNaN;

  double diff = 0.0;
  switch (Version) {
    case TtTestVersion::ttPaired: {
      if (x1.size() != x2.size()) return -2.0;
      // Mean and deviation of the differences, by the same kernel.
      const detail::MeanSSD d = detail::MeanAndSSDVisit([&](auto&& f) {
        for (std::size_t i = 0; i < x1.size(); ++i) f(x1[i] - x2[i]);
      });
      if (!d.finite) return kNaN;
      diff = d.mean;
      StdErr = std::sqrt(d.Variance() / n1);
      Df = n1 - 1.0;
      break;
    }
    case TtTestVersion::ttHomoScedastic: {
      diff = s1.mean - s2.mean;
      Df = n1 + n2 - 2.0;
      const double pooled = (s1.SSD() + s2.SSD()) / Df;
      StdErr = std::sqrt(pooled * (1.0 / n1 + 1.0 / n2));
      break;
    }
    case TtTestVersion::ttHeteroScedastic: {
      diff = s1.mean - s2.mean;
      const double q1 = Var1 / n1;
      const double q2 = Var2 / n2;
      StdErr = std::sqrt(q1 + q2);
      // Welch-Satterthwaite; with one variance 0 it falls back to the
      // other sample's n - 1.
      Df = (q1 + q2) * (q1 + q2) / (q1 * q1 / (n1 - 1.0) + q2 * q2 / (n2 - 1.0));
      break;
    }
  }
  if (StdErr == 0.0) {
    if (diff == 0.0) return -3.0;
    tValue = diff > 0.0 ? std::numeric_limits<double>::infinity()
                        : -std::numeric_limits<double>::infinity();
    if (!std::isfinite(Df)) Df = Version == TtTestVersion::ttHeteroScedastic ? n1 + n2 - 2.0 : Df;
    return TwoSided ? 0.0 : (diff > 0.0 ? 0.0 : 1.0);
  }
  tValue = diff / StdErr;
  return TPValue(tValue, Df, TwoSided);
}

double Perform2SampleTTest(const TVector& Data1, const TVector& Data2, TtTestVersion Version,
                           bool TwoSided) {
  double m1 = 0, m2 = 0, v1 = 0, v2 = 0, se = 0, t = 0, df = 0;
  int32_t nd = 0;
  return Perform2SampleTTest(Data1, Data2, Version, TwoSided, m1, m2, v1, v2, se, t, df, nd);
}

// Ranks: both samples are sorted (SortArray) and merged; each run of equal
// values in the merged order gets the mean of its positions. The rank sum
// of sample 1 is accumulated as twice its value in 64-bit integers (mid
// ranks are multiples of 1/2), so U is exact up to 2^62 / 2, far beyond any
// sample that fits in memory, and the tie term sum (t^3 - t) in doubles.
double PerformMannWhitneyUTest(const TVector& Data1, const TVector& Data2, bool TwoSided,
                               double& U) {
  U = kNaN;
  const std::span<const double> v1 = Data1.Values();
  const std::span<const double> v2 = Data2.Values();
  const auto isnan = [](double v) { return std::isnan(v); };
  if (std::any_of(v1.begin(), v1.end(), isnan) || std::any_of(v2.begin(), v2.end(), isnan))
    return kNaN;
  std::vector<double> a(v1.begin(), v1.end());
  std::vector<double> b(v2.begin(), v2.end());
  SortArray(a, true);
  SortArray(b, true);
  const auto n1 = static_cast<int64_t>(a.size());
  const auto n2 = static_cast<int64_t>(b.size());
  const int64_t nn = n1 + n2;

  int64_t rank2_sum1 = 0;  // 2 * rank sum of sample 1
  double ties = 0.0;       // sum (t^3 - t)
  std::size_t i = 0;
  std::size_t j = 0;
  int64_t pos = 0;  // values already ranked
  while (i < a.size() || j < b.size()) {
    const double v = (j == b.size() || (i < a.size() && a[i] <= b[j])) ? a[i] : b[j];
    int64_t c1 = 0;
    int64_t c2 = 0;
    while (i < a.size() && a[i] == v) ++i, ++c1;
    while (j < b.size() && b[j] == v) ++j, ++c2;
    const int64_t t = c1 + c2;
    // Positions pos + 1 .. pos + t: mid-rank (2 pos + t + 1) / 2.
    rank2_sum1 += c1 * (2 * pos + t + 1);
    if (t > 1) {
      const auto td = static_cast<double>(t);
      ties += td * td * td - td;
    }
    pos += t;
  }
  const double u2x = static_cast<double>(rank2_sum1 - n1 * (n1 + 1));  // 2 U
  U = 0.5 * u2x;
  const double mn = static_cast<double>(n1) * static_cast<double>(n2);
  const double mu = 0.5 * mn;

  if (ties == 0.0 && n1 < 50 && n2 < 50) {
    // Exact: U is an integer; P(U' >= U) = P(U' <= mn - U) by symmetry.
    const auto u = static_cast<int32_t>(U);
    const auto m1 = static_cast<int32_t>(n1);
    const auto m2 = static_cast<int32_t>(n2);
    const double upper = UDistriIntegral(m1, m2, static_cast<int32_t>(mn) - u);
    if (!TwoSided) return upper;
    const double lower = UDistriIntegral(m1, m2, u);
    return std::min(1.0, 2.0 * std::min(lower, upper));
  }
  const auto dn = static_cast<double>(nn);
  const double var = mn / 12.0 * ((dn + 1.0) - ties / (dn * (dn - 1.0)));
  if (!(var > 0.0)) return 1.0;  // every value equal
  const double sigma = std::sqrt(var);
  if (!TwoSided) return detail::NormalTails((U - mu - 0.5) / sigma).Upper;
  const double dev = std::fabs(U - mu);
  const double z = (dev - 0.5) / sigma;
  return std::min(1.0, 2.0 * detail::NormalTails(z).Upper);
}

}  // namespace numbra
