// The classic special functions: the edge cases their definitions fix, and
// agreement with Boost.Math (long double) to the accuracy their 1e-8
// iterations give.
#include "ORK_statis.h"
#include "statis_test_util.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef NUMBRA_HAVE_BOOST_MATH
#include <boost/math/distributions/hypergeometric.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/weibull.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>
#endif

using namespace numbra;
using statis_test::Case;
using statis_test::RelErr;
using statis_test::TWorst;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

template <class Fn>
void ExpectStatisError(Fn&& fn, const std::string& message) {
  try {
    fn();
    ADD_FAILURE() << "no exception, expected \"" << message << "\"";
  } catch (const EORKStatisError& e) {
    EXPECT_EQ(e.Message(), message);
  }
}
}  // namespace

TEST(StatisConstants, LevelsAndEnumerations) {
  const double expected[9] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5};
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(NumericSigLevel[i], expected[i]);
    EXPECT_EQ(NumericSigLevel[static_cast<TSignifLevelEx>(i)], expected[i]);
  }
  EXPECT_EQ(static_cast<int>(TSignifLevel::Dot01), 4);
  EXPECT_EQ(static_cast<int>(TSignifLevelEx::Dot500), 8);
  EXPECT_EQ(static_cast<int>(TtTestVersion::ttHeteroScedastic), 2);
  static_assert(std::is_base_of_v<EORKError, EORKStatisError>);
}

TEST(StatisSpecFun, EdgeCasesOfTheDefinitions) {
  EXPECT_NEAR(LnGamma(1), 0.0, 1e-9);
  EXPECT_NEAR(LnGamma(2), 0.0, 1e-9);
  EXPECT_EQ(LnGamma(0), 0.0);
  EXPECT_EQ(LnGamma(-3), 0.0);
  EXPECT_EQ(LnGamma(kInf), kInf);
  EXPECT_TRUE(std::isnan(LnGamma(kNaN)));

  EXPECT_EQ(Erf(0), 0.0);
  EXPECT_EQ(Erf(kInf), 1.0);
  EXPECT_EQ(Erf(-kInf), -1.0);
  EXPECT_EQ(ErfApprox(kInf), 1.0);
  EXPECT_EQ(nDistriIntegral(0), 0.5);
  EXPECT_EQ(nDistriIntegral(-kInf), 0.0);
  EXPECT_EQ(nDistriIntegral(kInf), 1.0);
  EXPECT_NEAR(nDistriQuantile(0.5), 0.0, 1e-7);
  for (double p : {0.0, 1.0, -0.5, 1.5, kNaN}) EXPECT_EQ(nDistriQuantile(p), 0.0) << p;
  EXPECT_DOUBLE_EQ(nDistriDensity(0), 0.3989422804014327);

  EXPECT_EQ(IncompleteGamma(0, 2), 0.0);
  EXPECT_EQ(IncompleteGamma(-1, 2), 0.0);
  EXPECT_EQ(IncompleteGamma(1, 0), 0.0);
  EXPECT_EQ(IncompleteGamma(1, -2), 0.0);
  EXPECT_EQ(IncompleteGamma(kInf, 2), 1.0);
  EXPECT_EQ(IncompleteGamma(5, kInf), 0.0);
  EXPECT_TRUE(std::isnan(IncompleteGamma(kNaN, 2)));

  EXPECT_EQ(IncompleteBeta(-0.1, 2, 3), 0.0);
  EXPECT_EQ(IncompleteBeta(1.5, 2, 3), 1.0);
  EXPECT_EQ(IncompleteBeta(0, 2, 3), 0.0);
  EXPECT_EQ(IncompleteBeta(1, 2, 3), 1.0);
  EXPECT_TRUE(std::isnan(IncompleteBeta(0.5, 0, 3)));
  EXPECT_TRUE(std::isnan(IncompleteBeta(kNaN, 2, 3)));
  EXPECT_NEAR(IncompleteBeta(0.5, 3, 3), 0.5, 1e-9);

  EXPECT_EQ(LnBeta(-1, 2), 0.0);
  EXPECT_NEAR(LnBeta(1, 1), 0.0, 1e-9);
  EXPECT_NEAR(LnBeta(2, 3), std::log(1.0 / 12.0), 1e-9);
}

TEST(StatisSpecFun, BinomialCoefficientsAreExact) {
  EXPECT_EQ(BinomCoeff(5, 2), 10);
  EXPECT_EQ(BinomCoeff(2, 5), 0);
  EXPECT_EQ(BinomCoeff(-1, 0), 0);
  EXPECT_EQ(BinomCoeff(5, -1), 0);
  EXPECT_EQ(BinomCoeff(0, 0), 1);
  EXPECT_EQ(BinomCoeff(40, 20), 137846528820);
  // Beyond 2^53, where a floating-point formula cannot give every digit.
  EXPECT_EQ(BinomCoeff(60, 30), 118264581564861424);
  EXPECT_EQ(BinomCoeff(66, 33), 7219428434016265740);
  EXPECT_EQ(BinomCoeff(67, 33), 0);  // 1.4e19 does not fit in 64 bits
  EXPECT_EQ(BinomCoeff(1000000, 2), 499999500000);
  EXPECT_EQ(BinomCoeff(2147483647, 1), 2147483647);
  EXPECT_EQ(BinomCoeff(2147483647, 2147483647), 1);
  EXPECT_EQ(LnBinomCoeff(2, 5), -1.0);
  EXPECT_EQ(LnBinomCoeff(-2, 1), -1.0);
  EXPECT_NEAR(LnBinomCoeff(5, 2), std::log(10.0), 1e-9);
  EXPECT_NEAR(LnBinomCoeff(60, 30), std::log(118264581564861424.0), 1e-8);
}

TEST(StatisSpecFun, FisherTransformAndSmallFormulas) {
  EXPECT_EQ(FisherTransform(0), 0.0);
  ExpectStatisError([] { (void)FisherTransform(1); }, "FisherTransform: argument out of range");
  ExpectStatisError([] { (void)FisherTransform(-1); }, "FisherTransform: argument out of range");
  ExpectStatisError([] { (void)FisherTransform(kNaN); }, "FisherTransform: argument out of range");
  // artanh and tanh: accurate near 0 and saturating for large |z|.
  EXPECT_TRUE(statis_test::RelErr(FisherTransform(1e-10), 1e-10L) < 1e-15);
  EXPECT_NEAR(FisherTransform(0.5), 0.5493061443340548457, 1e-15);
  EXPECT_TRUE(statis_test::RelErr(FisherTransformInv(1e-10), 1e-10L) < 1e-15);
  EXPECT_EQ(FisherTransformInv(400), 1.0);
  EXPECT_EQ(FisherTransformInv(-400), -1.0);
  for (double r : {-0.99, -0.3, 0.1, 0.7, 0.999})
    EXPECT_NEAR(FisherTransformInv(FisherTransform(r)), r, 1e-15);

  // 1.959963985 * 2 / 4
  EXPECT_NEAR(ConfidenceInterval(0.05, 2.0, 16), 0.97998199, 1e-7);
  EXPECT_TRUE(std::isnan(ConfidenceInterval(0.05, 2.0, 0)));
  EXPECT_EQ(ConfidenceInterval(3.0, 2.0, 16), 0.0);
  EXPECT_DOUBLE_EQ(CalcFishQ(3, 1, 1, 1), 2.0);
  EXPECT_DOUBLE_EQ(CalcFishQ(3, 1, 0, 0), 4e6);
}

TEST(StatisSpecFun, HypergeometricChecksInOrder) {
  ExpectStatisError([] { (void)HyperGeoDistriDensity(1.5, 0, 11, 1); },
                    "HyperGeoDistriDensity: probability p must be between 0.0 and 1.0");
  ExpectStatisError([] { (void)HyperGeoDistriDensity(kNaN, 10, 5, 1); },
                    "HyperGeoDistriDensity: probability p must be between 0.0 and 1.0");
  ExpectStatisError([] { (void)HyperGeoDistriDensity(0.5, 0, 11, 1); },
                    "HyperGeoDistriDensity: npop must be greater than 0");
  ExpectStatisError([] { (void)HyperGeoDistriDensity(0.5, 10, 11, 1); },
                    "HyperGeoDistriDensity: nsample must not be greater than npop");
  ExpectStatisError([] { (void)HyperGeoDistriDensity(0.5, 10, 0, 1); },
                    "HyperGeoDistriDensity: nsample must not be less than 1");
  // np = 5 successes in 10; sample 4: C(5,2) C(5,2) / C(10,4) = 100/210
  EXPECT_NEAR(HyperGeoDistriDensity(0.5, 10, 4, 2), 100.0 / 210.0, 1e-9);
  EXPECT_EQ(HyperGeoDistriDensity(0.5, 10, 4, 5), 0.0);   // k > nsample
  EXPECT_EQ(HyperGeoDistriDensity(0.5, 10, 4, -1), 0.0);  // k < 0
  EXPECT_EQ(HyperGeoDistriDensity(0.2, 10, 4, 3), 0.0);   // k > np = 2
  EXPECT_EQ(HyperGeoDistriDensity(0.9, 10, 4, 2), 0.0);   // k < nsample - (npop - np)
  // Round(0.25 * 10) = 2 (halves to even)
  EXPECT_NEAR(HyperGeoDistriDensity(0.25, 10, 2, 2), 1.0 / 45.0, 1e-10);
}

TEST(StatisSpecFun, WeibullDensity) {
  EXPECT_EQ(WeibullDensity(0, 2, 1), 0.0);
  EXPECT_EQ(WeibullDensity(1, 2, 0), 0.0);
  EXPECT_EQ(WeibullDensity(1, -2, 1), 0.0);
  EXPECT_EQ(WeibullDensity(kNaN, 2, 1), 0.0);
  // Neither a huge power nor a vanishing exponential may turn into NaN.
  EXPECT_EQ(WeibullDensity(1e300, 5, 1), 0.0);
  EXPECT_EQ(WeibullDensity(1e-300, 0.5, 1e300) >= 0.0, true);
  EXPECT_NEAR(WeibullDensity(1, 1, 1), std::exp(-1.0), 1e-15);
  EXPECT_NEAR(WeibullDensity(2, 2, 1), 4 * std::exp(-4.0), 1e-15);
}

#ifdef NUMBRA_HAVE_BOOST_MATH

TEST(StatisSpecFun, AgreesWithBoostToTheTolerancesOfItsIterations) {
  namespace bm = boost::math;
  using L = long double;
  {
    TWorst w{"LnGamma (absolute)"};
    for (double x : {0.01, 0.1, 0.5, 0.9, 1.5, 2.5, 3.7, 7.0, 12.5, 33.0, 100.0, 1234.5, 1e5}) {
      const double e = std::fabs(LnGamma(x) - static_cast<double>(bm::lgamma(static_cast<L>(x))));
      w.Add(e, Case(x, 0));
      // Lanczos' six-term series: about 2e-10 absolute.
      EXPECT_LT(e, 3e-10 + 1e-15 * std::fabs(LnGamma(x))) << x;
    }
  }
  {
    TWorst w{"IncompleteGamma"};
    for (double a : {0.5, 1.0, 2.5, 5.0, 10.0, 30.0})
      for (double f : {0.01, 0.1, 0.5, 0.9, 1.0, 1.2, 2.0, 5.0}) {
        const double x = f * a;
        const L ref = bm::gamma_p(static_cast<L>(a), static_cast<L>(x));
        const double e = RelErr(IncompleteGamma(x, a), ref);
        w.Add(e, Case(x, a));
        EXPECT_LT(e, 2e-7) << Case(x, a);
      }
  }
  {
    TWorst w{"Erf"};
    TWorst wa{"ErfApprox (absolute)"};
    for (double x = -5.0; x <= 5.0; x += 0.37) {
      const L ref = bm::erf(static_cast<L>(x));
      const double e = RelErr(Erf(x), ref);
      w.Add(e, Case(x, 0));
      EXPECT_LT(e, 2e-8) << x;
      const double ea = std::fabs(ErfApprox(x) - static_cast<double>(ref));
      wa.Add(ea, Case(x, 0));
      EXPECT_LT(ea, 1.2e-7) << x;
    }
  }
  {
    // The lower tail is formed directly, so it stays relative far out.
    TWorst w{"nDistriIntegral"};
    TWorst wq{"nDistriQuantile"};
    bm::normal_distribution<L> N;
    for (double x : {-37.0, -30.0, -20.0, -12.0, -8.5, -6.0, -3.3, -1.0, -0.2, 0.3, 1.7, 4.0}) {
      const double e = RelErr(nDistriIntegral(x), bm::cdf(N, static_cast<L>(x)));
      w.Add(e, Case(x, 0));
      EXPECT_LT(e, 1e-7) << x;
    }
    for (double p : {1e-300, 1e-100, 1e-20, 1e-8, 1e-3, 0.05, 0.3, 0.5, 0.7, 0.975, 1 - 1e-9}) {
      const L ref = bm::quantile(N, static_cast<L>(p));
      const double got = nDistriQuantile(p);
      const double e = ref == 0 ? std::fabs(got) : RelErr(got, ref);
      wq.Add(e, Case(p, 0));
      EXPECT_LT(e, 1e-7) << p;
    }
  }
  {
    TWorst w{"IncompleteBeta"};
    for (double a : {0.5, 1.0, 2.0, 5.0, 20.0})
      for (double b : {0.5, 1.5, 4.0, 10.0, 30.0})
        for (double x : {0.01, 0.1, 0.3, 0.5, 0.7, 0.9, 0.99}) {
          const L ref = bm::ibeta(static_cast<L>(a), static_cast<L>(b), static_cast<L>(x));
          if (ref < 1e-300L) continue;
          const double e = RelErr(IncompleteBeta(x, a, b), ref);
          w.Add(e, Case(x, a, b));
          EXPECT_LT(e, 1e-7) << Case(x, a, b);
        }
  }
  {
    TWorst w{"HyperGeoDistriDensity"};
    for (int npop : {10, 50, 400})
      for (double p : {0.1, 0.5, 0.8})
        for (int ns : {1, npop / 3, npop / 2, npop}) {
          const auto np = static_cast<unsigned>(std::nearbyint(p * npop));
          bm::hypergeometric_distribution<L> H(np, static_cast<unsigned>(ns),
                                               static_cast<unsigned>(npop));
          const auto [lo, hi] = bm::support(H);
          for (unsigned k = lo; k <= hi; k += 1 + (hi - lo) / 7) {
            const double e =
                RelErr(HyperGeoDistriDensity(p, npop, ns, static_cast<int32_t>(k)), bm::pdf(H, k));
            w.Add(e, Case(p, npop, k));
            EXPECT_LT(e, 1e-7) << Case(p, npop, k);
          }
        }
  }
  {
    TWorst w{"WeibullDensity"};
    for (double beta : {0.5, 1.0, 2.0, 7.5})
      for (double eta : {0.1, 1.0, 30.0})
        for (double f : {1e-3, 0.2, 0.9, 1.0, 2.5, 6.0}) {
          const double x = f * eta;
          bm::weibull_distribution<L> W(beta, eta);
          const L ref = bm::pdf(W, static_cast<L>(x));
          if (ref < 1e-300L) continue;
          const double e = RelErr(WeibullDensity(x, beta, eta), ref);
          w.Add(e, Case(x, beta, eta));
          EXPECT_LT(e, 1e-13) << Case(x, beta, eta);
        }
  }
}

#endif
