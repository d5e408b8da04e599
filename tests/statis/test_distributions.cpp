// Chi-squared, t and F distributions and the full-precision normal kernel:
// agreement with Boost.Math evaluated in long double (about 3 more digits
// than double) over grids that reach the far tails (down to 1e-300) and
// degrees of freedom from 1 to 1e6 (0.5 through the real-valued kernels),
// and the documented results at the ends of the domains.
//
// Tolerance: 12 significant digits are promised. The measured worst errors
// are printed ("[ worst ...]"); the bounds below are 1e-12 relative for
// densities and distribution functions and, for quantiles, an inversion
// error of 1e-12 relative in the tail probability, plus one ulp of the
// quantile where the distribution is steeper than that.
#include "ORK_statis.h"
#include "statis/statis_detail.h"
#include "statis_test_util.h"

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef NUMBRA_HAVE_BOOST_MATH
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#endif

using namespace numbra;
using statis_test::Case;
using statis_test::RelErr;
using statis_test::TWorst;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

TEST(StatisDistributions, InvalidArgumentsGiveNaN) {
  const std::vector<std::function<double()>> calls = {
      [] { return Chi2DistriDensity(1, 0); },     [] { return chi2DistriIntegral(1, -3); },
      [] { return chi2DistriQuantile(0.5, 0); },  [] { return chi2DistriQuantile(1.5, 3); },
      [] { return chi2DistriQuantile(-0.1, 3); }, [] { return chi2DistriIntegral(kNaN, 3); },
      [] { return FDistriDensity(1, 0, 3); },     [] { return FDistriIntegral(1, 3, 0); },
      [] { return FDistriQuantile(kNaN, 3, 4); }, [] { return FDistriIntegral(kNaN, 3, 4); },
      [] { return tDistriDensity(1, 0); },        [] { return tDistriIntegral(kNaN, 5); },
      [] { return tDistriQuantile(2.0, 5); },     [] { return tDistriQuantile(0.5, -2); },
  };
  for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_TRUE(std::isnan(calls[i]())) << i;
}

TEST(StatisDistributions, EndsOfTheDomains) {
  EXPECT_EQ(chi2DistriIntegral(0, 3), 0.0);
  EXPECT_EQ(chi2DistriIntegral(-5, 3), 0.0);
  EXPECT_EQ(chi2DistriIntegral(kInf, 3), 1.0);
  EXPECT_EQ(chi2DistriQuantile(0, 3), 0.0);
  EXPECT_EQ(chi2DistriQuantile(1, 3), kInf);
  EXPECT_EQ(Chi2DistriDensity(0, 1), kInf);
  EXPECT_EQ(Chi2DistriDensity(0, 2), 0.5);
  EXPECT_EQ(Chi2DistriDensity(0, 3), 0.0);
  EXPECT_EQ(Chi2DistriDensity(-1, 3), 0.0);

  EXPECT_EQ(FDistriIntegral(0, 3, 4), 0.0);
  EXPECT_EQ(FDistriIntegral(kInf, 3, 4), 1.0);
  EXPECT_EQ(FDistriQuantile(0, 3, 4), 0.0);
  EXPECT_EQ(FDistriQuantile(1, 3, 4), kInf);
  EXPECT_EQ(FDistriDensity(0, 1, 4), kInf);
  EXPECT_EQ(FDistriDensity(0, 2, 4), 1.0);
  EXPECT_EQ(FDistriDensity(0, 3, 4), 0.0);

  EXPECT_EQ(tDistriIntegral(0, 7), 0.5);
  EXPECT_EQ(tDistriIntegral(-kInf, 7), 0.0);
  EXPECT_EQ(tDistriIntegral(kInf, 7), 1.0);
  EXPECT_EQ(tDistriQuantile(0.5, 7), 0.0);
  EXPECT_EQ(tDistriQuantile(0, 7), -kInf);
  EXPECT_EQ(tDistriQuantile(1, 7), kInf);
  EXPECT_EQ(tDistriDensity(kInf, 7), 0.0);
}

TEST(StatisDistributions, ClosedFormsOfSmallDegreesOfFreedom) {
  // t(1) is Cauchy, t(2) has F(t) = 1/2 + t / (2 sqrt(2 + t^2)); chi2(2) is
  // exponential with mean 2; F(2, 2) has P(X <= x) = x / (1 + x).
  for (double t : {-1e300, -1e150, -1e10, -3.0, -0.25, 1e-200, 0.7, 40.0}) {
    const double cauchy = t < 0 ? std::atan(-1.0 / t) / M_PI : 0.5 + std::atan(t) / M_PI;
    EXPECT_TRUE(statis_test::RelErr(tDistriIntegral(t, 1), cauchy) < 1e-14) << t;
  }
  EXPECT_TRUE(RelErr(tDistriQuantile(0.975, 1), std::tan(M_PI * 0.475)) < 1e-14);
  EXPECT_TRUE(RelErr(tDistriQuantile(1e-300, 1), -1.0 / std::tan(M_PI * 1e-300)) < 1e-13);
  for (double t : {-1e100, -5.0, 0.3}) {
    const double ref = t < 0 ? 1.0 / (std::sqrt(2.0 + t * t) * (std::sqrt(2.0 + t * t) - t))
                             : 0.5 + t / (2.0 * std::sqrt(2.0 + t * t));
    EXPECT_TRUE(RelErr(tDistriIntegral(t, 2), ref) < 1e-14) << t;
  }
  for (double x : {1e-300, 1e-5, 0.3, 2.0, 40.0, 1400.0}) {
    EXPECT_TRUE(RelErr(chi2DistriIntegral(x, 2), -std::expm1(-x / 2)) < 1e-14) << x;
    EXPECT_TRUE(RelErr(Chi2DistriDensity(x, 2), 0.5 * std::exp(-x / 2)) < 1e-14) << x;
    if (x < 40) {
      EXPECT_TRUE(RelErr(chi2DistriQuantile(-std::expm1(-x / 2), 2), x) < 1e-13) << x;
    }
    EXPECT_TRUE(RelErr(FDistriIntegral(x, 2, 2), x / (1 + x)) < 1e-14) << x;
  }
}

#ifdef NUMBRA_HAVE_BOOST_MATH

namespace {
namespace bm = boost::math;
using L = long double;

const std::vector<double> kProbs = {1e-300, 1e-200, 1e-100, 1e-50, 1e-20, 1e-10, 1e-5,    0.01,
                                    0.1,    0.3,    0.5,    0.7,   0.9,   0.99,  1 - 1e-5};
const std::vector<double> kDfs = {1, 2, 3, 5, 10, 30, 100, 1000, 1e4, 1e5, 1e6};

// Grid points: the reference quantiles of kProbs, rounded to double. Where
// Boost's own root finder gives up, the point is left out.
template <class Dist>
std::vector<double> GridPoints(const Dist& d) {
  std::vector<double> xs;
  for (double p : kProbs) {
    try {
      const double x = static_cast<double>(bm::quantile(d, static_cast<L>(p)));
      if (std::isfinite(x)) xs.push_back(x);
    } catch (const std::exception&) {
    }
  }
  return xs;
}

// Checks that q inverts the reference distribution at p: the tail on the
// side of p (the smaller one) matches to 1e-12 relative, or q is within one
// ulp of a point where it does.
template <class Dist>
double InversionError(const Dist& d, double p, double q) {
  auto tail = [&](double x) -> L {
    if (p <= 0.5) return bm::cdf(d, static_cast<L>(x));
    return bm::cdf(bm::complement(d, static_cast<L>(x)));
  };
  const L target = p <= 0.5 ? static_cast<L>(p) : 1.0L - static_cast<L>(p);
  double e = RelErr(static_cast<double>(tail(q)), target);
  for (double n : {std::nextafter(q, -kInf), std::nextafter(q, kInf)}) {
    if (!std::isfinite(n)) continue;
    const L lo = std::min(tail(q), tail(n));
    const L hi = std::max(tail(q), tail(n));
    if (target >= lo && target <= hi) e = 0.0;  // the exact quantile lies within one ulp
  }
  return e;
}

// Reference density; NaN where Boost reports an overflow (an infinite
// density at the end of the support).
template <class Dist>
L Pdf(const Dist& d, double x) {
  try {
    return bm::pdf(d, static_cast<L>(x));
  } catch (const std::exception&) {
    return std::numeric_limits<L>::quiet_NaN();
  }
}

void CheckPoint(TWorst& w, double got, L ref, const std::string& where, double tol = 1e-12) {
  if (!(ref >= 1e-300L) || ref > 1e300L) return;  // result not a normal double
  const double e = RelErr(got, ref);
  w.Add(e, where);
  EXPECT_LT(e, tol) << where << ": got " << got << ", reference " << static_cast<double>(ref);
}
}  // namespace

TEST(StatisDistributions, ChiSquaredAgreesWithBoost) {
  TWorst wc{"chi2DistriIntegral"};
  TWorst wd{"Chi2DistriDensity"};
  TWorst wq{"chi2DistriQuantile"};
  for (double df : kDfs) {
    const auto n = static_cast<int32_t>(df);
    bm::chi_squared_distribution<L> d(df);
    for (double x : GridPoints(d)) {
      const L c = bm::cdf(d, static_cast<L>(x));
      CheckPoint(wc, chi2DistriIntegral(x, n), c, Case(x, df));
      CheckPoint(wd, Chi2DistriDensity(x, n), Pdf(d, x), Case(x, df));
      const double p = static_cast<double>(c);
      if (p <= 0 || p >= 1 || p < 1e-300) continue;
      const double e = InversionError(d, p, chi2DistriQuantile(p, n));
      wq.Add(e, Case(p, df));
      EXPECT_LT(e, 1e-12) << Case(p, df);
    }
  }
  EXPECT_GT(wc.count, 120);
}

TEST(StatisDistributions, StudentTAgreesWithBoost) {
  TWorst wc{"tDistriIntegral"};
  TWorst wd{"tDistriDensity"};
  TWorst wq{"tDistriQuantile"};
  for (double df : kDfs) {
    const auto n = static_cast<int32_t>(df);
    bm::students_t_distribution<L> d(df);
    for (double x : GridPoints(d)) {
      const L c = bm::cdf(d, static_cast<L>(x));
      CheckPoint(wc, tDistriIntegral(x, n), c, Case(x, df));
      CheckPoint(wd, tDistriDensity(x, n), Pdf(d, x), Case(x, df));
      const double p = static_cast<double>(c);
      if (p <= 0 || p >= 1 || p < 1e-300) continue;
      const double e = InversionError(d, p, tDistriQuantile(p, n));
      wq.Add(e, Case(p, df));
      EXPECT_LT(e, 1e-12) << Case(p, df);
    }
  }
  EXPECT_GT(wc.count, 140);
}

TEST(StatisDistributions, FisherFAgreesWithBoost) {
  TWorst wc{"FDistriIntegral"};
  TWorst wd{"FDistriDensity"};
  TWorst wq{"FDistriQuantile"};
  const std::vector<double> dfs = {1, 2, 3, 10, 100, 1e4, 1e6};
  for (double df1 : dfs)
    for (double df2 : dfs) {
      const auto n1 = static_cast<int32_t>(df1);
      const auto n2 = static_cast<int32_t>(df2);
      bm::fisher_f_distribution<L> d(df1, df2);
      for (double x : GridPoints(d)) {
        const L c = bm::cdf(d, static_cast<L>(x));
        CheckPoint(wc, FDistriIntegral(x, n1, n2), c, Case(x, df1, df2));
        CheckPoint(wd, FDistriDensity(x, n1, n2), Pdf(d, x), Case(x, df1, df2));
        const double p = static_cast<double>(c);
        if (p <= 0 || p >= 1 || p < 1e-300) continue;
        const double e = InversionError(d, p, FDistriQuantile(p, n1, n2));
        wq.Add(e, Case(p, df1, df2));
        EXPECT_LT(e, 1e-12) << Case(p, df1, df2);
      }
    }
  EXPECT_GT(wc.count, 500);
}

TEST(StatisDistributions, HalfADegreeOfFreedomThroughTheRealValuedKernels) {
  TWorst w{"kernels at df 0.5"};
  bm::chi_squared_distribution<L> c(0.5);
  for (double x : GridPoints(c)) {
    CheckPoint(w, detail::Chi2Tails(x, 0.5).Lower, bm::cdf(c, static_cast<L>(x)), Case(x, 0.5));
    CheckPoint(w, detail::Chi2Pdf(x, 0.5), Pdf(c, x), Case(x, 0.5));
  }
  bm::students_t_distribution<L> t(0.5);
  for (double x : GridPoints(t))
    CheckPoint(w, detail::StudentTTails(x, 0.5).Lower, bm::cdf(t, static_cast<L>(x)), Case(x, 0.5));
  for (double df2 : {0.5, 7.0, 1e5}) {
    bm::fisher_f_distribution<L> f(0.5, df2);
    for (double x : GridPoints(f))
      CheckPoint(w, detail::FisherFTails(x, 0.5, df2).Lower, bm::cdf(f, static_cast<L>(x)),
                 Case(x, 0.5, df2));
  }
  for (double p : {1e-50, 1e-10, 0.2, 0.5, 0.8}) {  // beyond 1e-70 the quantile underflows
    EXPECT_LT(InversionError(c, p, detail::Chi2Quantile(p, 0.5)), 1e-12) << p;
    EXPECT_LT(InversionError(t, p, detail::StudentTQuantile(p, 0.5)), 1e-12) << p;
  }
}

TEST(StatisDistributions, NormalKernelAgreesWithBoost) {
  TWorst wc{"detail::NormalTails"};
  TWorst wq{"detail::NormalQuantile"};
  bm::normal_distribution<L> N;
  for (double z : {-38.0, -37.0, -30.0, -20.0, -8.0, -3.0, -1.0, -1e-3, -1e-300, 0.5, 4.0, 9.0}) {
    const detail::TTails t = detail::NormalTails(z);
    CheckPoint(wc, t.Lower, bm::cdf(N, static_cast<L>(z)), Case(z, 0));
    CheckPoint(wc, t.Upper, bm::cdf(bm::complement(N, static_cast<L>(z))), Case(z, 1));
  }
  for (double p : {4.9e-324, 1e-310, 1e-300, 1e-100, 1e-10, 0.1, 0.3, 0.45, 0.5 - 1e-12, 0.5, 0.7,
                   0.999, 1 - 1e-16}) {
    const double q = detail::NormalQuantile(p);
    const L ref = bm::quantile(N, static_cast<L>(p));
    if (ref == 0) {
      EXPECT_EQ(q, 0.0);
      continue;
    }
    // Below the normal range only the representable digits count.
    const double e = RelErr(q, ref);
    wq.Add(e, Case(p, 0));
    EXPECT_LT(e, p < 1e-307 ? 1e-10 : 1e-14) << p;
  }
  EXPECT_EQ(detail::NormalQuantile(0), -kInf);
  EXPECT_EQ(detail::NormalQuantile(1), kInf);
}

#endif
