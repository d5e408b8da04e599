// Scalar routines of ORK_math1: rounding to 1-2-5 and axis scaling,
// polynomials, interpolation, logarithms and trigonometry, angles, fractions,
// bounds and rectangles, bit operations, TKahanSum.
#include "ORK_math1.h"
#include "ORK_vector.h"
#include "test_support.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using numbra::EMathError;
using numbra::EORKMath1Error;
using numbra_test::RelNear;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = std::numbers::pi;
constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

// Expects fn() to raise exactly type E with message msg.
template <class E, class Fn>
void ExpectRaises(Fn&& fn, const std::string& msg) {
  try {
    fn();
    ADD_FAILURE() << "no exception, expected \"" << msg << "\"";
  } catch (const E& e) {
    EXPECT_EQ(e.Message(), msg);
  } catch (...) {
    ADD_FAILURE() << "wrong exception type, expected \"" << msg << "\"";
  }
}

// Same value, NaN equal to NaN, infinities by sign; otherwise within 4 ulp.
::testing::AssertionResult SameDouble(double got, double want) {
  if (std::isnan(want))
    return std::isnan(got) ? ::testing::AssertionSuccess()
                           : ::testing::AssertionFailure() << got << " is not NaN";
  if (std::isinf(want) || want == 0.0)
    return got == want ? ::testing::AssertionSuccess()
                       : ::testing::AssertionFailure() << got << " != " << want;
  return RelNear(got, want, 4);
}

// ---- rounding --------------------------------------------------------------

TEST(Math1Rounding, IntPosAndIntNegSaturateAndMapNaNToZero) {
  struct Case {
    double x;
    int32_t pos, neg;
  };
  const Case cases[] = {{2.5, 3, 2},
                        {-2.5, -2, -3},
                        {3.0, 3, 3},
                        {-0.0, 0, 0},
                        {1e-300, 1, 0},
                        {-1e-300, 0, -1},
                        {1e10, kIntMax, kIntMax},
                        {-1e10, kIntMin, kIntMin},
                        {kNaN, 0, 0},
                        {kInf, kIntMax, kIntMax},
                        {2147483646.5, kIntMax, 2147483646}};
  for (const Case& c : cases) {
    EXPECT_EQ(numbra::IntPos(c.x), c.pos) << c.x;
    EXPECT_EQ(numbra::IntNeg(c.x), c.neg) << c.x;
  }
}

TEST(Math1Rounding, Round125FamilyPicksTheSeriesValues) {
  // Expected values from the definitions: mantissa m of |x| in [1, 10);
  // nearest: <1.5 -> 1, <3 -> 2, <8 -> 5; up/down towards +-infinity.
  struct Case {
    double x, nearest, up, down;
  };
  const Case cases[] = {
      {0.0, 0.0, 0.0, 0.0},
      {2.9, 2.0, 5.0, 2.0},
      {3.0, 5.0, 5.0, 2.0},
      {-7.9, -5.0, -5.0, -10.0},
      {1.2, 1.0, 2.0, 1.0},
      {-1.2, -1.0, -1.0, -2.0},
      {1.5, 2.0, 2.0, 1.0},
      {7.99, 5.0, 10.0, 5.0},
      {8.0, 10.0, 10.0, 5.0},
      // Exact members of the series stay where they are in every mode.
      {2.0, 2.0, 2.0, 2.0},
      {200.0, 200.0, 200.0, 200.0},
      {-5e-3, -5e-3, -5e-3, -5e-3},
      {1000.0, 1000.0, 1000.0, 1000.0},
      {0.001, 0.001, 0.001, 0.001},
      // Within 1e-14 of a power of ten counts as that power.
      {999.9999999999999, 1000.0, 1000.0, 1000.0},
      {0.0749, 0.05, 0.1, 0.05},
      {4.5e-7, 5e-7, 5e-7, 2e-7},
      {-4.5e-7, -5e-7, -2e-7, -5e-7},
      // Ends of the double range.
      {9e307, 1e308, 1e308, 5e307},
      {1.7e308, kInf, kInf, 1e308},
      {-1.7e308, -kInf, -1e308, -kInf},
      {4e-320, 5e-320, 5e-320, 2e-320},
      {kInf, kInf, kInf, kInf},
      {-kInf, -kInf, -kInf, -kInf},
      {kNaN, kNaN, kNaN, kNaN},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(SameDouble(numbra::Round125(c.x), c.nearest)) << "Round125 " << c.x;
    EXPECT_TRUE(SameDouble(numbra::RoundPos125(c.x), c.up)) << "RoundPos125 " << c.x;
    EXPECT_TRUE(SameDouble(numbra::RoundNeg125(c.x), c.down)) << "RoundNeg125 " << c.x;
  }
}

TEST(Math1Rounding, CalcScaleParsGivesDecimalTicks) {
  struct Case {
    uint16_t nticks;
    double x1, x2;
    double start, dist;
    uint16_t nsub;
  };
  const Case cases[] = {
      // A raw spacing of exactly 2 falls into the class of 1, one of exactly
      // 5 into the class of 2 (the class limits are log10 2 and log10 5 plus
      // 1e-10).
      {5, 0, 10, 0, 1, 5},
      {4, 0, 10, 0, 2, 4},
      {2, 0, 100, 0, 20, 4},
      {10, 0, 1, 0, 0.1, 5},
      {3, 0, 100, 0, 20, 4},
      {1, 0, 600, 0, 500, 5},
      {5, 0.3, 9.7, 1, 1, 5},
      {5, -3.7, 12.2, -2, 2, 4},
      {4, 0.0123, 0.0321, 0.014, 0.002, 4},
      // Falling ranges step downwards from the first tick at or below X1.
      {4, 10, 0, 10, -2, 4},
      {5, 9.7, 0.3, 9, -1, 5},
      // NTicks 0: whole numbers.
      {0, 2.5, 7, 3, 1, 5},
      {0, -2.5, 7, -2, 1, 5},
      {0, 0, 50, 0, 1, 1},
      {0, 7.5, 2, 7, -1, 5},
      // Degenerate and non-finite ranges.
      {5, 3, 3, 3, 0, 1},
      {5, kNaN, 1, kNaN, kNaN, 1},
      {5, 0, kInf, kNaN, kNaN, 1},
      {5, -1e308, 1e308, kNaN, kNaN, 1},
  };
  for (const Case& c : cases) {
    double start = -99;
    double dist = -99;
    uint16_t nsub = 99;
    numbra::CalcScalePars(c.nticks, c.x1, c.x2, start, dist, nsub);
    SCOPED_TRACE(::testing::Message() << c.nticks << " " << c.x1 << " " << c.x2);
    EXPECT_TRUE(SameDouble(start, c.start)) << "StartTick";
    EXPECT_TRUE(SameDouble(dist, c.dist)) << "TickDist";
    EXPECT_EQ(nsub, c.nsub);
  }
}

TEST(Math1Rounding, CalcScaleParsStaysNearX1ForExtremeMagnitudes) {
  // Ranges at the limits of double resolution: the routine must end and put
  // StartTick within about one tick of X1.
  struct Case {
    uint16_t nticks;
    double x1, x2;
  };
  const Case cases[] = {{65535, 1e20, 1e20 + 65536}, {7, 1e20, 1e20 + 16384},
                        {65535, -1e300, 1e300},      {3, 1e-300, 3e-300},
                        {65535, 1.0, 1.0 + 1e-15},   {9, 4.9e-324, 1e-322},
                        {1, -1e-310, 1e-310},        {2, 0, 5e-324},
                        {65535, -5e-324, 5e-324},    {65535, 1e15, -1e15}};
  for (const Case& c : cases) {
    double start = 0;
    double dist = 0;
    uint16_t nsub = 0;
    numbra::CalcScalePars(c.nticks, c.x1, c.x2, start, dist, nsub);
    SCOPED_TRACE(::testing::Message() << c.nticks << " " << c.x1 << " " << c.x2);
    ASSERT_TRUE(std::isfinite(start) && std::isfinite(dist));
    EXPECT_EQ(dist > 0, c.x2 > c.x1);  // steps towards X2
    EXPECT_LE(std::fabs(start - c.x1), 2.0 * std::fabs(dist) + std::fabs(c.x1) * 1e-15);
    EXPECT_TRUE(nsub == 4 || nsub == 5);
  }
}

// ---- polynomials --------------------------------------------------------------

TEST(Math1Polynomial, EvaluatesUpToTheGivenOrder) {
  const std::vector<double> c = {1, -3, 2};  // 1 - 3x + 2x^2
  EXPECT_DOUBLE_EQ(numbra::Polynomial(c, 2, 2.0), 3.0);
  EXPECT_DOUBLE_EQ(numbra::Polynomial(c, 1, 2.0), -5.0);
  EXPECT_DOUBLE_EQ(numbra::Polynomial(c, 0, 2.0), 1.0);
  EXPECT_DOUBLE_EQ(numbra::Polynomial(c, 2, 0.5), 0.0);
  const std::vector<double> d = {1, 2, 3};  // 1 + 2(x-10) + 3(x-10)^2
  EXPECT_DOUBLE_EQ(numbra::CenteredPolynomial(d, 2, 10.0, 12.0), 17.0);
  EXPECT_DOUBLE_EQ(numbra::CenteredPolynomial(d, 1, 10.0, 7.0), -5.0);
}

TEST(Math1Polynomial, ZeroCoefficientsDoNotTurnOverflowIntoNaN) {
  // x^2 overflows, but its coefficient is 0: the value is 1.
  EXPECT_EQ(numbra::Polynomial(std::vector<double>{1, 0, 0}, 2, 1e200), 1.0);
  EXPECT_EQ(numbra::CenteredPolynomial(std::vector<double>{1, 0, 0}, 2, -1e200, 1e200), 1.0);
  // A genuine overflow stays infinite.
  EXPECT_EQ(numbra::Polynomial(std::vector<double>{0, 0, 1}, 2, 1e200), kInf);
}

TEST(Math1Polynomial, BadOrderRaises) {
  const std::string msg = "Polynomial: invalid order of polynomial";
  const std::vector<double> c = {1, 2, 3};
  for (const int32_t order : {-1, 3, kIntMax, kIntMin}) {
    ExpectRaises<EORKMath1Error>([&] { (void)numbra::Polynomial(c, order, 1.0); }, msg);
    ExpectRaises<EORKMath1Error>([&] { (void)numbra::CenteredPolynomial(c, order, 0, 1.0); }, msg);
  }
  ExpectRaises<EORKMath1Error>([] { (void)numbra::Polynomial({}, 0, 1.0); }, msg);
}

// ---- interpolation ---------------------------------------------------------------

TEST(Math1Interpolation, XYTableInterpolatesAndExtrapolates) {
  const numbra::TDouble2DArray t = {{0, 1, 3}, {10, 20, 0}};
  struct Case {
    double x, y;
  };
  const Case cases[] = {{0, 10}, {1, 20}, {3, 0},   {0.5, 15},
                        {2, 10}, {-1, 0}, {4, -10}, {2.75, 2.5}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(numbra::InterpolXYTable(c.x, t), c.y) << c.x;
  EXPECT_TRUE(std::isnan(numbra::InterpolXYTable(kNaN, t)));
  // Pivot values come back exactly, also where Y[1] - Y[0] rounds.
  const numbra::TDouble2DArray u = {{0, 1}, {1e-20, 1}};
  EXPECT_EQ(numbra::InterpolXYTable(0.0, u), 1e-20);
  EXPECT_EQ(numbra::InterpolXYTable(1.0, u), 1.0);
}

TEST(Math1Interpolation, XYTableRejectsMalformedTables) {
  const std::string rows = "InterpolXYTable: pivot array must contain at least 2 rows";
  const std::string cols = "InterpolXYTable: pivot array must contain 2 columns";
  const std::string len = "InterpolXYTable: pivot columns differ in length";
  struct Case {
    numbra::TDouble2DArray table;
    std::string msg;
  };
  const Case cases[] = {{{}, rows},
                        {{{1}, {2}}, rows},
                        {{{1, 2}}, cols},
                        {{{1, 2}, {1, 2}, {3, 4}}, cols},
                        {{{1, 2, 3}, {1, 2}}, len},
                        {{{1, 2}, {1, 2, 3}}, len}};
  for (const Case& c : cases)
    ExpectRaises<EORKMath1Error>([&] { (void)numbra::InterpolXYTable(1.5, c.table); }, c.msg);
}

TEST(Math1Interpolation, EquallySpacedTableInBothDirections) {
  const std::vector<double> t = {0, 10, 40};
  struct Case {
    double x, rising, falling;  // XFirst 0 / XLast 2, and XFirst 2 / XLast 0
  };
  const Case cases[] = {{0, 0, 40}, {0.5, 5, 25},  {1, 10, 10}, {1.5, 25, 5},
                        {2, 40, 0}, {-1, -10, 70}, {3, 70, -10}};
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(numbra::InterpolTable(c.x, 0, 2, t), c.rising) << c.x;
    EXPECT_DOUBLE_EQ(numbra::InterpolTable(c.x, 2, 0, t), c.falling) << c.x;
  }
  EXPECT_TRUE(std::isnan(numbra::InterpolTable(kNaN, 0, 2, t)));
  EXPECT_TRUE(std::isnan(numbra::InterpolTable(1, kNaN, 2, t)));
  // Flat end segments extend to infinity as constants; sloped ones diverge.
  const std::vector<double> flat = {5, 5, 7, 7};
  EXPECT_EQ(numbra::InterpolTable(kInf, 0, 3, flat), 7.0);
  EXPECT_EQ(numbra::InterpolTable(-kInf, 0, 3, flat), 5.0);
  EXPECT_EQ(numbra::InterpolTable(kInf, 0, 2, t), kInf);
}

TEST(Math1Interpolation, IntegerTableUsesDoubleDifferences) {
  const std::vector<int32_t> t = {kIntMin, kIntMax};
  // The midpoint of -2^31 and 2^31 - 1: an int32 difference would overflow.
  EXPECT_DOUBLE_EQ(numbra::InterpolTable(0.5, 0, 1, std::span<const int32_t>(t)), -0.5);
  const std::vector<int32_t> u = {0, 10, 40};
  EXPECT_DOUBLE_EQ(numbra::InterpolTable(1.5, 0, 2, std::span<const int32_t>(u)), 25.0);
  EXPECT_DOUBLE_EQ(numbra::InterpolTable(-0.5, 0, 2, std::span<const int32_t>(u)), -5.0);
}

TEST(Math1Interpolation, EquallySpacedTableRejectsBadArguments) {
  const std::vector<double> one = {1};
  const std::vector<double> two = {1, 2};
  const std::vector<int32_t> ione = {1};
  ExpectRaises<EORKMath1Error>([&] { (void)numbra::InterpolTable(0, 0, 1, one); },
                               "InterpolTable: pivot array must contain at least 2 values");
  ExpectRaises<EORKMath1Error>(
      [&] { (void)numbra::InterpolTable(0, 0, 1, std::span<const int32_t>(ione)); },
      "InterpolTable: pivot array must contain at least 2 values");
  ExpectRaises<EORKMath1Error>([&] { (void)numbra::InterpolTable(0, 3, 3, two); },
                               "InterpolTable: specified range of pivot array is zero");
}

TEST(Math1Interpolation, BilinearCornersAndCentre) {
  struct Case {
    double fx, fy, z;
  };
  const Case cases[] = {{0, 0, 1}, {0, 1, 2},       {1, 0, 3},
                        {1, 1, 4}, {0.5, 0.5, 2.5}, {0.25, 0, 1.5}};
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(numbra::InterpolZofXYRect(1, 2, 3, 4, c.fx, c.fy), c.z);
}

// ---- logarithms, hyperbolic and trigonometric functions -------------------------

TEST(Math1Functions, LogarithmsAreExactForPowersAndRaiseOutsideTheDomain) {
  EXPECT_EQ(numbra::lg(1000.0), 3.0);
  EXPECT_EQ(numbra::lg(1e-300), -300.0);
  EXPECT_EQ(numbra::lg(1.0), 0.0);
  EXPECT_EQ(numbra::ld(8.0), 3.0);
  EXPECT_EQ(numbra::ld(0.5), -1.0);
  EXPECT_EQ(numbra::ld(std::ldexp(1.0, -1074)), -1074.0);
  EXPECT_EQ(numbra::lg(kInf), kInf);
  for (const double x : {0.0, -0.0, -1.0, -kInf, kNaN}) {
    ExpectRaises<EMathError>([x] { (void)numbra::lg(x); }, "logarithm: invalid argument");
    ExpectRaises<EMathError>([x] { (void)numbra::ld(x); }, "logarithm: invalid argument");
  }
}

TEST(Math1Functions, HyperbolicFunctionsAccurateNearZeroAndAtTheRangeEnd) {
  // Reference values: decimal arithmetic at 60 digits on the double
  // arguments (python3 decimal), rounded to double. Tolerance 2 ulp: the
  // library functions are accurate to about 1 ulp.
  struct Case {
    double x, sh, ch, th;
  };
  const Case cases[] = {
      {1e-10, 1e-10, 1.0, 1e-10},
      {-3e-09, -3e-09, 1.0, -3e-09},
      {0.5, 0.5210953054937474, 1.1276259652063807, 0.46211715726000974},
      {20.0, 242582597.70489514, 242582597.70489514, 1.0},
      {710.0, 1.1169973830808555e+308, 1.1169973830808555e+308, 1.0},
      {-710.4, -1.6663642832806496e+308, 1.6663642832806496e+308, -1.0},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(RelNear(numbra::sinh(c.x), c.sh, 2)) << c.x;
    EXPECT_TRUE(RelNear(numbra::cosh(c.x), c.ch, 2)) << c.x;
    EXPECT_TRUE(RelNear(numbra::tgh(c.x), c.th, 2)) << c.x;
  }
  EXPECT_EQ(numbra::tgh(-kInf), -1.0);
  EXPECT_EQ(numbra::sinh(0.0), 0.0);
}

TEST(Math1Functions, TangentAndCotangent) {
  EXPECT_TRUE(RelNear(numbra::tg(kPi / 4), 1.0, 4));
  EXPECT_TRUE(RelNear(numbra::cot(kPi / 4), 1.0, 4));
  EXPECT_TRUE(RelNear(numbra::tg(-kPi / 3), -std::sqrt(3.0), 4));
  EXPECT_TRUE(RelNear(numbra::cot(kPi / 6), std::sqrt(3.0), 4));
  // cos of a double is never exactly 0, so tg(pi/2) is large but finite.
  EXPECT_GT(numbra::tg(kPi / 2), 1e16);
  for (const double x : {0.0, -0.0})
    ExpectRaises<EMathError>([x] { (void)numbra::cot(x); }, "cotangens overflow");
  EXPECT_TRUE(std::isnan(numbra::tg(kNaN)));
  EXPECT_TRUE(std::isnan(numbra::cot(kInf)));
}

// ---- angles --------------------------------------------------------------------------

TEST(Math1Angles, CanonicalAnglesReduceExactly) {
  struct Case {
    double a, reduced;
  };
  const Case degrees[] = {{540, 180},
                          {-540, -180},
                          {190, -170},
                          {-190, 170},
                          {720, 0},
                          {360, 0},
                          {-360, 0},
                          {180, 180},
                          {-180, -180},
                          {370.5, 10.5},
                          {359.75, -0.25},
                          // 1e6 turns and a quarter degree: exact with fmod.
                          {360e6 + 0.25, 0.25},
                          {-(360e9 + 90.5), -90.5}};
  for (const Case& c : degrees) EXPECT_EQ(numbra::CanonicalAngleDegrees(c.a), c.reduced) << c.a;
  EXPECT_TRUE(RelNear(numbra::CanonicalAngleRadians(7.0), 7.0 - 2 * kPi, 2));
  EXPECT_TRUE(RelNear(numbra::CanonicalAngleRadians(-7.0), 2 * kPi - 7.0, 2));
  EXPECT_EQ(numbra::CanonicalAngleRadians(-kPi / 2), -kPi / 2);
  EXPECT_EQ(numbra::CanonicalAngleRadians(kPi), kPi);
  for (const double a : {kNaN, kInf, -kInf}) {
    EXPECT_TRUE(std::isnan(numbra::CanonicalAngleDegrees(a)));
    EXPECT_TRUE(std::isnan(numbra::CanonicalAngleRadians(a)));
  }
  // Every result lies in [-pi, pi].
  for (double a = -1e4; a <= 1e4; a += 0.37) {
    const double r = numbra::CanonicalAngleRadians(a);
    EXPECT_TRUE(r >= -kPi && r <= kPi) << a;
  }
}

TEST(Math1Angles, AngleToXAxisCoversTheFullTurn) {
  struct Case {
    double x, y, angle;
  };
  const Case cases[] = {{1, 0, 0},
                        {0, 1, kPi / 2},
                        {-1, 0, kPi},
                        {0, -1, 3 * kPi / 2},
                        {0, 0, 3 * kPi / 2},
                        {1, 1, kPi / 4},
                        {-1, 1, 3 * kPi / 4},
                        {-1, -1, 5 * kPi / 4},
                        {1, -1, 7 * kPi / 4},
                        {3, -1e-300, 2 * kPi}};
  for (const Case& c : cases)
    EXPECT_TRUE(RelNear(numbra::AngleToXAxis(c.x, c.y), c.angle, 2)) << c.x << " " << c.y;
  EXPECT_TRUE(std::isnan(numbra::AngleToXAxis(kNaN, 1)));
  EXPECT_TRUE(std::isnan(numbra::AngleToXAxis(0, kNaN)));
}

// ---- whole numbers ---------------------------------------------------------------------

TEST(Math1WholeNumbers, CancelFractionDividesByTheGreatestCommonDivisor) {
  struct Case {
    int32_t num, den, num_out, den_out;
  };
  const Case cases[] = {{12, -18, 2, -3},
                        {-4, -6, -2, -3},
                        {17, 51, 1, 3},
                        {0, 5, 0, 5},
                        {7, 0, 7, 0},
                        {7, 13, 7, 13},
                        {kIntMin, 2, -(1 << 30), 1},
                        {kIntMin, kIntMin, -1, -1},
                        {kIntMin, -1, kIntMin, -1},
                        // Coprime neighbours near 2^31: instant, not 2^31 trial divisors.
                        {kIntMax, kIntMax - 1, kIntMax, kIntMax - 1},
                        {2147483646, 1073741823, 2, 1},
                        {1024 * 3 * 7, 1024 * 5 * 7 * 7, 3, 35}};
  for (const Case& c : cases) {
    int32_t num = c.num;
    int32_t den = c.den;
    numbra::CancelFraction(num, den);
    EXPECT_EQ(num, c.num_out) << c.num << "/" << c.den;
    EXPECT_EQ(den, c.den_out) << c.num << "/" << c.den;
  }
}

TEST(Math1WholeNumbers, Factorial) {
  EXPECT_EQ(numbra::Factorial(0), 1.0);
  EXPECT_EQ(numbra::Factorial(1), 1.0);
  EXPECT_EQ(numbra::Factorial(5), 120.0);
  // 20! = 2432902008176640000 is a double exactly (odd part below 2^53).
  EXPECT_EQ(numbra::Factorial(20), 2432902008176640000.0);
  // 170! = 7.257415615307998967e306 (published value); accumulated rounding
  // of 168 products stays below 200 ulp.
  EXPECT_TRUE(RelNear(numbra::Factorial(170), 7.257415615307998967e306, 200));
  EXPECT_EQ(numbra::Factorial(171), kInf);
  EXPECT_EQ(numbra::Factorial(1000), kInf);
  ExpectRaises<EORKMath1Error>([] { (void)numbra::Factorial(-1); }, "Factorial: negative argument");
  ExpectRaises<EORKMath1Error>([] { (void)numbra::Factorial(kIntMin); },
                               "Factorial: negative argument");
  ExpectRaises<EORKMath1Error>([] { (void)numbra::Factorial(1001); },
                               "Factorial: argument too big");
}

// ---- bounds and geometry -------------------------------------------------------------------

TEST(Math1Bounds, WithinBoundsAndConfineValueOrderTheirBounds) {
  EXPECT_TRUE(numbra::WithinBounds(5, 10, 0));
  EXPECT_TRUE(numbra::WithinBounds(0, 0, 10));
  EXPECT_TRUE(numbra::WithinBounds(10, 10, 0));
  EXPECT_FALSE(numbra::WithinBounds(10.000001, 0, 10));
  EXPECT_FALSE(numbra::WithinBounds(kNaN, 0, 10));
  EXPECT_EQ(numbra::ConfineValue(15.0, 10.0, 0.0), 10.0);
  EXPECT_EQ(numbra::ConfineValue(-15.0, 10.0, 0.0), 0.0);
  EXPECT_EQ(numbra::ConfineValue(5.5, 0.0, 10.0), 5.5);
  EXPECT_TRUE(std::isnan(numbra::ConfineValue(kNaN, 0.0, 1.0)));
  EXPECT_EQ(numbra::ConfineValue(2.5f, 1.0f, 2.0f), 2.0f);
  EXPECT_EQ(numbra::ConfineValue(kIntMin, int32_t{5}, int32_t{-5}), -5);
  EXPECT_EQ(numbra::ConfineValue(kIntMax, int32_t{-5}, int32_t{5}), 5);
  EXPECT_EQ(numbra::ConfineValue(int32_t{3}, int32_t{-5}, int32_t{5}), 3);
}

TEST(Math1Bounds, RectanglesWorkWithEitherCornerOrder) {
  const numbra::TRectDouble r{10, 5, 0, 0};  // left 10, top 5, right 0, bottom 0
  EXPECT_TRUE(numbra::WithinRect(numbra::TPointDouble{0, 5}, r));
  EXPECT_TRUE(numbra::WithinRect(numbra::TPointDouble{3, 2}, r));
  EXPECT_FALSE(numbra::WithinRect(numbra::TPointDouble{-0.5, 2}, r));
  EXPECT_FALSE(numbra::WithinRect(numbra::TPointDouble{kNaN, 2}, r));
  numbra::TPointDouble p{12, -3};
  EXPECT_TRUE(numbra::ConfinePointToRect(p, r));
  EXPECT_EQ(p.x, 10.0);
  EXPECT_EQ(p.y, 0.0);
  EXPECT_FALSE(numbra::ConfinePointToRect(p, r));  // now inside: not moved

  const numbra::TRect ri{0, 0, 10, 5};
  EXPECT_TRUE(numbra::WithinRect(numbra::TPoint{10, 5}, ri));
  EXPECT_FALSE(numbra::WithinRect(numbra::TPoint{11, 5}, ri));
  numbra::TPoint q{kIntMin, 3};
  EXPECT_TRUE(numbra::ConfinePointToRect(q, numbra::TRect{10, 5, 0, 0}));
  EXPECT_EQ(q.x, 0);
  EXPECT_EQ(q.y, 3);
}

TEST(Math1Bounds, DistFromRect) {
  struct Case {
    int32_t x, y, dist;
  };
  // Rectangle x 0..10, y 0..5.
  const Case cases[] = {{0, 3, 0},  {5, 5, 0},  {10, 0, 0},  {5, -4, 4}, {5, 9, 4},
                        {-3, 2, 3}, {14, 2, 4}, {-3, -4, 5}, {13, 9, 5}, {11, 6, 1},
                        {12, 7, 3}, {0, -3, 3}, {-1, 0, 1},  {-7, 9, 8}};  // sqrt(65) = 8.06
  for (const Case& c : cases) {
    EXPECT_EQ(numbra::DistFromRect({c.x, c.y}, {0, 0, 10, 5}), c.dist) << c.x << "," << c.y;
    EXPECT_EQ(numbra::DistFromRect({c.x, c.y}, {10, 5, 0, 0}), c.dist) << c.x << "," << c.y;
  }
  // Distances beyond the 32-bit range saturate instead of wrapping.
  EXPECT_EQ(numbra::DistFromRect({kIntMin, 0}, {kIntMax, -1, kIntMax, 1}), kIntMax);
  EXPECT_EQ(numbra::DistFromRect({kIntMin, kIntMin}, {kIntMax - 1, kIntMax - 1, kIntMax, kIntMax}),
            kIntMax);
  EXPECT_EQ(numbra::DistFromRect({kIntMin, 0}, {-1000000000, -1, 0, 1}), 1147483648);
}

TEST(Math1Bounds, EuclideanDistanceWithoutOverflow) {
  EXPECT_EQ(numbra::EuclideanDistance(0, 0, 3, 4), 5.0);
  EXPECT_EQ(numbra::EuclideanDistance(numbra::TPointDouble{1, 1}, numbra::TPointDouble{4, 5}), 5.0);
  // sqrt(2) * 1e200 and sqrt(2) * 1e-200 (decimal sqrt at 60 digits).
  EXPECT_TRUE(RelNear(numbra::EuclideanDistance(1e200, 0, 0, 1e200), 1.414213562373095e+200, 2));
  EXPECT_TRUE(RelNear(numbra::EuclideanDistance(1e-200, 0, 0, 1e-200), 1.4142135623730951e-200, 2));
}

TEST(Math1Bounds, MinMaxSignum) {
  EXPECT_EQ(numbra::Min(2.0, 1.0), 1.0);
  EXPECT_EQ(numbra::Max(2.0, 1.0), 2.0);
  EXPECT_EQ(numbra::Min(1.0, kNaN), 1.0);
  EXPECT_EQ(numbra::Max(kNaN, 1.0), 1.0);
  EXPECT_EQ(numbra::Min(kIntMin, kIntMax), kIntMin);
  EXPECT_EQ(numbra::Max(kIntMin, kIntMax), kIntMax);
  EXPECT_EQ(numbra::Signum(-2.0), -1.0);
  EXPECT_EQ(numbra::Signum(0.0), 1.0);
  EXPECT_EQ(numbra::Signum(-0.0), 1.0);
  EXPECT_EQ(numbra::Signum(3.0), 1.0);
  EXPECT_EQ(numbra::Signum(-kInf), -1.0);
}

// ---- bit operations
// ------------------------------------------------------------------------------

TEST(Math1Bits, ByteRoutinesMatchABitByBitCheck) {
  for (unsigned b = 0; b < 256; ++b) {
    unsigned reversed = 0;
    int count = 0;
    for (unsigned k = 0; k < 8; ++k) {
      const bool bit = ((b >> k) & 1U) != 0;
      if (bit) reversed |= 1U << (7 - k);
      count += bit ? 1 : 0;
    }
    EXPECT_EQ(numbra::BitReversal(static_cast<uint8_t>(b)), reversed) << b;
    EXPECT_EQ(numbra::CountBits(static_cast<uint8_t>(b)), count) << b;
  }
}

TEST(Math1Bits, PowersDecodeEncode) {
  for (const uint32_t n : {0U, 1U, 2U, 64U, 0x80000000U}) EXPECT_TRUE(numbra::CheckPowerOfTwo(n));
  for (const uint32_t n : {3U, 6U, 0xFFFFFFFFU, 0x80000001U})
    EXPECT_FALSE(numbra::CheckPowerOfTwo(n));
  EXPECT_EQ(numbra::DecodeBit(-1), 0);
  EXPECT_EQ(numbra::DecodeBit(0), 1);
  EXPECT_EQ(numbra::DecodeBit(7), 128);
  EXPECT_EQ(numbra::DecodeBit(8), 0);
  EXPECT_EQ(numbra::DecodeLong(-1), 0U);
  EXPECT_EQ(numbra::DecodeLong(0), 1U);
  EXPECT_EQ(numbra::DecodeLong(31), 0x80000000U);
  EXPECT_EQ(numbra::DecodeLong(32), 0U);
  EXPECT_EQ(numbra::EncodeLong(0), 31);
  EXPECT_EQ(numbra::EncodeLong(1), 0);
  EXPECT_EQ(numbra::EncodeLong(12), 2);
  EXPECT_EQ(numbra::EncodeLong(0x80000000U), 31);
  for (int32_t i = 0; i <= 31; ++i) EXPECT_EQ(numbra::EncodeLong(numbra::DecodeLong(i)), i);
}

TEST(Math1Bits, GrayCodesOfNeighboursDifferInOneBit) {
  EXPECT_EQ(numbra::GrayCode(0), 0);
  EXPECT_EQ(numbra::GrayCode(2), 3);
  EXPECT_EQ(numbra::GrayCode(0xFFFF), 0x8000);
  std::vector<bool> seen(65536, false);
  for (uint32_t w = 0; w < 65536; ++w) {
    const uint16_t g = numbra::GrayCode(static_cast<uint16_t>(w));
    EXPECT_FALSE(seen[g]) << w;  // a bijection
    seen[g] = true;
    if (w > 0) {
      const unsigned diff = g ^ numbra::GrayCode(static_cast<uint16_t>(w - 1));
      ASSERT_TRUE(diff != 0 && (diff & (diff - 1)) == 0) << w;
    }
  }
}

// ---- TKahanSum ----------------------------------------------------------------------------------

TEST(TKahanSum, CompensationRemovesTheDriftOfALongSum) {
  numbra::TKahanSum k;
  EXPECT_EQ(k.Sum(), 0.0);
  double naive = 0.0;
  for (int i = 0; i < 1000000; ++i) {
    k.Add(0.1);
    naive += 0.1;
  }
  // Exact sum of 10^6 copies of double(0.1) = 100000.0000000000055511...,
  // which rounds to 100000. The plain sum is off by about 1.3e-6.
  EXPECT_TRUE(RelNear(k.Sum(), 100000.0, 1));
  EXPECT_GT(std::fabs(naive - 100000.0), 1e-7);
  k.Reset();
  EXPECT_EQ(k.Sum(), 0.0);
  // The compensation is cleared by Reset as well: 1 + 2^-53 + 2^-53 after a
  // reset gives 1 + 2^-52.
  k.Add(1.0);
  k.Add(0x1.0p-53);
  k.Add(0x1.0p-53);
  EXPECT_EQ(k.Sum(), 1.0 + 0x1.0p-52);
}

TEST(TKahanSum, InfiniteSumsStayInfinite) {
  numbra::TKahanSum k;
  k.Add(1.0);
  k.Add(kInf);
  k.Add(1.0);
  EXPECT_EQ(k.Sum(), kInf);
  k.Add(-kInf);
  EXPECT_TRUE(std::isnan(k.Sum()));
  k.Reset();
  k.Add(1e308);
  k.Add(1e308);  // overflows
  k.Add(-1.0);
  EXPECT_EQ(k.Sum(), kInf);
}

TEST(TKahanSum, OwnedAssignedAndRejectingOtherClasses) {
  numbra::TComponent owner;
  auto* a = new numbra::TKahanSum(&owner);  // freed by owner
  a->SetName("K1");
  a->Add(1.0);
  a->Add(0x1.0p-53);
  numbra::TKahanSum b;
  b.Assign(a);
  EXPECT_EQ(b.Sum(), 1.0);
  b.Add(0x1.0p-53);  // the copied compensation completes 2^-52
  EXPECT_EQ(b.Sum(), 1.0 + 0x1.0p-52);
  numbra::TVector v;
  ExpectRaises<numbra::EConvertError>([&] { b.Assign(&v); },
                                      "Cannot assign a TVector to a TKahanSum");
  ExpectRaises<numbra::EConvertError>([&] { v.Assign(&b); },
                                      "Cannot assign a TKahanSum to a TVector");
  EXPECT_EQ(owner.ComponentCount(), 1);
}

}  // namespace
