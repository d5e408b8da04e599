// Every routine of the unit ends on pathological input: NaN, infinities,
// subnormal and huge values, the largest 32-bit sizes, probabilities at the
// edges of (0, 1). Each call must return the documented sentinel or a value
// in its range, and must return soon: every series, continued fraction,
// bisection and Newton iteration of the unit has a step limit, so no call
// here takes more than a small fraction of a second (the bound below only
// separates "ends" from "hangs", with room for sanitizer builds).
#include "ORK_statis.h"
#include "statis/statis_detail.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kDenorm = 4.9e-324;
constexpr int32_t kIMax = std::numeric_limits<int32_t>::max();

enum class TExpect { NaN, Probability, Finite, NonNegative, Any };

struct TCall {
  std::string what;
  TExpect expect;
  std::function<double()> fn;
};

void RunAll(const std::vector<TCall>& calls) {
  for (const TCall& c : calls) {
    const auto t0 = std::chrono::steady_clock::now();
    const double r = c.fn();
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(secs, 5.0) << c.what;
    switch (c.expect) {
      case TExpect::NaN:
        EXPECT_TRUE(std::isnan(r)) << c.what << " = " << r;
        break;
      case TExpect::Probability:
        EXPECT_TRUE(r >= 0.0 && r <= 1.0) << c.what << " = " << r;
        break;
      case TExpect::Finite:
        EXPECT_TRUE(std::isfinite(r)) << c.what << " = " << r;
        break;
      case TExpect::NonNegative:
        EXPECT_TRUE(r >= 0.0) << c.what << " = " << r;
        break;
      case TExpect::Any:
        break;
    }
  }
}

#define CALL(expect, expr)                                           \
  TCall {                                                            \
#expr, TExpect::expect, [] { return static_cast<double>(expr); } \
  }

}  // namespace

TEST(StatisPathological, SpecialFunctionsEnd) {
  RunAll({
      CALL(NaN, LnGamma(kNaN)),
      CALL(Finite, LnGamma(kDenorm)),
      CALL(Finite, LnGamma(kMax / 1e10)),
      CALL(NaN, IncompleteGamma(kNaN, 1)),
      CALL(NaN, IncompleteGamma(1, kNaN)),
      CALL(Probability, IncompleteGamma(kInf, kInf)),
      CALL(NaN, IncompleteGamma(kMax, kMax)),          // documented overflow limit
      CALL(Probability, IncompleteGamma(1e15, 1e15)),  // series of 10^6 terms at most
      CALL(Probability, IncompleteGamma(1e15 + 1e8, 1e15)),
      CALL(NaN, IncompleteGamma(kDenorm, kDenorm)),
      CALL(Probability, IncompleteGamma(kDenorm, 1)),
      CALL(Probability, IncompleteGamma(5, 1e300)),
      CALL(Probability, Erf(1e300)),
      CALL(NaN, Erf(kNaN)),
      CALL(Probability, nDistriIntegral(-1e300)),
      CALL(Probability, nDistriIntegral(-38.5)),
      CALL(Finite, nDistriQuantile(kDenorm)),  // below what nDistriIntegral resolves
      CALL(Finite, nDistriQuantile(1e-320)),
      CALL(Finite, nDistriQuantile(1 - 1e-16)),
      CALL(Finite, nDistriQuantile(0.5 + 1e-17)),
      CALL(NaN, IncompleteBeta(0.5, 1e-300, 1e300)),
      CALL(Probability, IncompleteBeta(0.5, 1e-300, 1e100)),
      CALL(NaN, IncompleteBeta(0.5, 1e300, 1e300)),
      CALL(Any, IncompleteBeta(1e-300, kMax, 1e-300)),
      CALL(NaN, IncompleteBeta(0.5, kNaN, 1)),
      CALL(NonNegative, BinomCoeff(kIMax, kIMax / 2)),
      CALL(Finite, LnBinomCoeff(kIMax, kIMax / 2)),
      CALL(Finite, HyperGeoDistriDensity(0.5, kIMax, kIMax / 2, kIMax / 4)),
      CALL(NonNegative, WeibullDensity(kMax, kMax, kDenorm)),
      CALL(NonNegative, WeibullDensity(kDenorm, 1e-300, kMax)),
      CALL(Any, ConfidenceInterval(kNaN, 1, 5)),
      CALL(Finite, FisherTransformInv(kMax)),
  });
}

TEST(StatisPathological, KolmogorovSmirnovAndLillieforsEnd) {
  RunAll({
      CALL(Probability, KSPValue(kIMax, 1e-9)),
      CALL(Probability, KSPValue(kIMax, 0.5)),
      CALL(Probability, KSPValue(kIMax, 2.9e-5)),
      CALL(Probability, KSPValue(1, 1 - 1e-16)),
      CALL(Probability, KSPValue(99, std::sqrt(7.24 / 99))),
      CALL(Probability, KSPValue(10000, 0.0193)),  // largest exact case: order 387
      CALL(Probability, KSPValue(10001, 0.0193)),
      CALL(NaN, KSPValue(-5, 0.1)),
      CALL(NaN, KSPValue(5, kNaN)),
      CALL(Finite, KSQuantile(1, TSignifLevel::Dot01)),
      CALL(Finite, KSQuantile(1, TSignifLevel::Dot20)),
      CALL(Finite, KSQuantile(2, TSignifLevel::Dot01)),
      CALL(Finite, KSQuantile(kIMax, TSignifLevel::Dot01)),
      CALL(Finite, KSQuantile(150, TSignifLevel::Dot05)),
      CALL(NaN, KSQuantile(0, TSignifLevel::Dot05)),
      CALL(Probability, LillieforsPValue(kIMax, 1e-3)),
      CALL(Probability, LillieforsPValue(kIMax, kMax)),
      CALL(Any, LillieforsQuantile(kIMax, 0.05)),
      CALL(Any, LillieforsQuantile(7, kInf)),
  });
}

TEST(StatisPathological, DistributionsEnd) {
  RunAll({
      CALL(Probability, chi2DistriIntegral(kMax, 1)),
      CALL(Probability, chi2DistriIntegral(kDenorm, kIMax)),
      CALL(Probability, chi2DistriIntegral(2147483647.0, kIMax)),
      CALL(NonNegative, Chi2DistriDensity(kMax, kIMax)),
      CALL(NonNegative, chi2DistriQuantile(kDenorm, 1)),
      CALL(NonNegative, chi2DistriQuantile(1 - 1e-16, kIMax)),
      CALL(NonNegative, chi2DistriQuantile(0.5, kIMax)),
      CALL(Probability, tDistriIntegral(-kMax, 1)),
      CALL(Probability, tDistriIntegral(kDenorm, kIMax)),
      CALL(Probability, tDistriIntegral(-3, kIMax)),
      CALL(NonNegative, tDistriDensity(kMax, kIMax)),
      CALL(Any, tDistriQuantile(kDenorm, 1)),
      CALL(Finite, tDistriQuantile(1e-300, kIMax)),
      CALL(Finite, tDistriQuantile(0.5 + 1e-16, 3)),
      CALL(Probability, FDistriIntegral(kMax, 1, kIMax)),
      CALL(Probability, FDistriIntegral(kDenorm, kIMax, 1)),
      CALL(Probability, FDistriIntegral(1, kIMax, kIMax)),
      CALL(NonNegative, FDistriDensity(kMax, kIMax, kIMax)),
      CALL(NonNegative, FDistriQuantile(kDenorm, kIMax, 1)),
      CALL(NonNegative, FDistriQuantile(1 - 1e-16, 1, kIMax)),
      CALL(NonNegative, FDistriQuantile(0.3, kIMax, kIMax)),
      CALL(NaN, FDistriQuantile(kInf, 3, 3)),
  });
}

TEST(StatisPathological, RankAndNormalityDistributionsEnd) {
  RunAll({
      CALL(Probability, UDistriIntegral(kIMax, kIMax, kIMax)),
      CALL(Probability, UDistriDensity(kIMax, 1, 7)),
      CALL(NonNegative, UDistriQuantile(kIMax, kIMax, 1e-300)),
      CALL(NonNegative, UDistriQuantile(kIMax, kIMax, 0.5)),
      CALL(NonNegative, UDistriQuantile(1, 10000, 0.3)),  // the largest exact case
      CALL(NaN, UDistriQuantile(3, 3, kNaN)),
      CALL(Probability, ShapiroWilkIntegral(kDenorm, 5000, 5000)),
      CALL(Probability, ShapiroWilkIntegral(1 - 1e-16, 4, 4)),
      CALL(Probability, ShapiroWilkIntegral(0.5, 5000, 1000)),
      CALL(NaN, ShapiroWilkIntegral(0.9, kIMax, kIMax)),
  });
}

TEST(StatisPathological, KernelSolversEndOnExtremeParameters) {
  // Parameters beyond what the public integer functions can pass.
  for (double a : {1e-300, 1e-8, 1e12}) {
    for (double p : {kDenorm, 1e-300, 0.5, 1 - 1e-16}) {
      const double x = detail::IncGammaInv(a, p, false);
      EXPECT_TRUE(x >= 0) << a << " " << p;
      const detail::TUnitPoint pt = detail::IncBetaInv(a, 2.5, p, true);
      EXPECT_TRUE(pt.x >= 0 && pt.x <= 1) << a << " " << p;
    }
  }
}
