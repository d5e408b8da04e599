// ORK_complex: arithmetic, comparison with CpxNearZero, polar conversion and
// the division guard. Quotients are checked against exact rational results
// (tests/data/foundation_scalar/cpxdiv.txt).
#include "ORK_complex.h"
#include "test_support.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using numbra::Cpx;
using numbra::TComplex;
using numbra_test::RelNear;

constexpr double kPi = std::numbers::pi;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kEps = std::numeric_limits<double>::epsilon();

// Restores CpxNearZero after tests that change it.
class ORKComplex : public ::testing::Test {
 protected:
  void TearDown() override { numbra::CpxNearZero = saved_; }

 private:
  double saved_ = numbra::CpxNearZero;
};

void ExpectDivByZero(const TComplex& a, const TComplex& b) {
  try {
    (void)numbra::CpxDiv(a, b);
    ADD_FAILURE() << "no exception for (" << a.re << "," << a.im << ")/(" << b.re << "," << b.im
                  << ")";
  } catch (const numbra::EORKComplexError& e) {
    EXPECT_EQ(e.Message(), "CpxDiv: division by zero");
  }
}

TEST_F(ORKComplex, ConstantsAndStartValueOfTheTolerance) {
  EXPECT_EQ(numbra::CpxNearZero, 1E-15);
  EXPECT_TRUE(numbra::CpxIsEqual(numbra::COMPLEX_0, Cpx(0, 0)));
  EXPECT_TRUE(numbra::CpxIsEqual(numbra::COMPLEX_1, Cpx(1, 0)));
}

TEST_F(ORKComplex, ArithmeticOnExactValues) {
  const TComplex a = Cpx(1, 2);
  const TComplex b = Cpx(3, -4);
  EXPECT_TRUE(numbra::CpxIsEqual(numbra::CpxAdd(a, b), Cpx(4, -2)));
  EXPECT_TRUE(numbra::CpxIsEqual(numbra::CpxSub(a, b), Cpx(-2, 6)));
  EXPECT_TRUE(numbra::CpxIsEqual(numbra::CpxMult(a, b), Cpx(11, 2)));
  EXPECT_TRUE(numbra::CpxIsEqual(numbra::CpxConj(a), Cpx(1, -2)));
  EXPECT_TRUE(numbra::CpxIsEqual(numbra::CpxNeg(a), Cpx(-1, -2)));
  EXPECT_EQ(numbra::CpxAbs(b), 5.0);
  EXPECT_EQ(numbra::CpxAbsSqr(b), 25.0);
  // i * i = -1
  EXPECT_TRUE(numbra::CpxIsEqual(numbra::CpxMult(Cpx(0, 1), Cpx(0, 1)), Cpx(-1, 0)));
}

TEST_F(ORKComplex, AbsDoesNotOverflowOrUnderflow) {
  // sqrt(2) * 1e200 and * 1e-200 (decimal sqrt at 60 digits); hypot is
  // accurate to 1 ulp.
  EXPECT_TRUE(RelNear(numbra::CpxAbs(Cpx(1e200, 1e200)), 1.414213562373095e+200, 2));
  EXPECT_TRUE(RelNear(numbra::CpxAbs(Cpx(-1e-200, 1e-200)), 1.4142135623730951e-200, 2));
  EXPECT_EQ(numbra::CpxAbs(Cpx(-1e308, 0)), 1e308);
}

TEST_F(ORKComplex, DivisionMatchesExactQuotients) {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/foundation_scalar/cpxdiv.txt");
  std::string line;
  int cases = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    std::vector<double> v;
    std::string t;
    while (ss >> t) v.push_back(std::strtod(t.c_str(), nullptr));
    ASSERT_EQ(v.size(), 6U) << line;
    const TComplex q = numbra::CpxDiv(Cpx(v[0], v[1]), Cpx(v[2], v[3]));
    // Normwise relative error: the scaled textbook formula has a few
    // rounding errors relative to |q| (a part far smaller than |q| may
    // carry a larger relative error of its own); 8 eps allows for them.
    const double qabs = std::hypot(v[4], v[5]);
    const double err = std::hypot(q.re - v[4], q.im - v[5]);
    EXPECT_LE(err, 8 * kEps * qabs) << line << " -> " << q.re << " " << q.im;
    ++cases;
  }
  EXPECT_GE(cases, 10);
}

TEST_F(ORKComplex, DivisionGuardRaises) {
  ExpectDivByZero(numbra::COMPLEX_1, numbra::COMPLEX_0);
  ExpectDivByZero(numbra::COMPLEX_0, numbra::COMPLEX_0);
  ExpectDivByZero(Cpx(1, 1), Cpx(-0.0, 0.0));
  // Overflow of the quotient, and non-finite operands.
  ExpectDivByZero(Cpx(1e300, 0), Cpx(1e-300, 0));
  ExpectDivByZero(Cpx(kNaN, 0), Cpx(1, 0));
  ExpectDivByZero(Cpx(1, 0), Cpx(kInf, 0));
  ExpectDivByZero(Cpx(1, kInf), Cpx(1, 0));
  // A tiny divisor is not zero.
  const TComplex q = numbra::CpxDiv(Cpx(1e-300, 0), Cpx(0, 1e-300));
  EXPECT_TRUE(numbra::CpxIsEqual(q, Cpx(0, -1)));
  // Caught as the unit's base class too.
  EXPECT_THROW((void)numbra::CpxDiv(numbra::COMPLEX_1, numbra::COMPLEX_0), numbra::EORKError);
}

TEST_F(ORKComplex, NearZeroComparisonsUseTheTolerance) {
  EXPECT_TRUE(numbra::CpxIsZero(Cpx(1E-16, -1E-16)));
  EXPECT_TRUE(numbra::CpxIsZero(Cpx(0, -0.0)));
  EXPECT_FALSE(numbra::CpxIsZero(Cpx(1E-15, 0)));  // strict
  EXPECT_FALSE(numbra::CpxIsZero(Cpx(0, kNaN)));
  for (const TComplex& a : {Cpx(0, 0), Cpx(1e300, -1e-300), Cpx(-3.5, 2)})
    EXPECT_TRUE(numbra::CpxIsNearEqual(a, a));
  EXPECT_TRUE(numbra::CpxIsNearEqual(Cpx(1, 1), Cpx(1 + 4 * kEps, 1 - 4 * kEps)));
  EXPECT_FALSE(numbra::CpxIsNearEqual(Cpx(1, 1), Cpx(1, 1 + 1e-14)));
  EXPECT_FALSE(numbra::CpxIsNearEqual(Cpx(kNaN, 0), Cpx(kNaN, 0)));
  EXPECT_FALSE(numbra::CpxIsEqual(Cpx(kNaN, 0), Cpx(kNaN, 0)));
  EXPECT_TRUE(numbra::CpxIsEqual(Cpx(0.0, 1), Cpx(-0.0, 1)));

  numbra::CpxNearZero = 1e-3;
  EXPECT_TRUE(numbra::CpxIsZero(Cpx(1e-4, -9e-4)));
  EXPECT_TRUE(numbra::CpxIsNearEqual(Cpx(1, 1), Cpx(1.0005, 0.9995)));
  EXPECT_FALSE(numbra::CpxIsNearEqual(Cpx(1, 1), Cpx(1.002, 1)));
}

TEST_F(ORKComplex, PolarConversionAndRoundTrip) {
  struct Case {
    double re, im, r, phi;
  };
  const Case cases[] = {{-1, 0, 1, kPi},
                        {0, -1, 1, -kPi / 2},
                        {1, 0, 1, 0},
                        {0, 2, 2, kPi / 2},
                        {1, 1, std::sqrt(2.0), kPi / 4},
                        {-3, -4, 5, std::atan2(-4.0, -3.0)}};
  for (const Case& c : cases) {
    const numbra::TComplexPolar p = numbra::ConvertRectToPolar(Cpx(c.re, c.im));
    EXPECT_TRUE(RelNear(p.r, c.r, 2)) << c.re << " " << c.im;
    if (c.phi == 0) {
      EXPECT_EQ(p.phi, 0.0);
    } else {
      EXPECT_TRUE(RelNear(p.phi, c.phi, 2)) << c.re << " " << c.im;
    }
    // Back to rectangular within a few ulp of the magnitude.
    const TComplex z = numbra::ConvertPolarToRect(p);
    EXPECT_LE(std::hypot(z.re - c.re, z.im - c.im), 4 * kEps * c.r);
  }
  const TComplex z = numbra::ConvertPolarToRect(numbra::TComplexPolar{2, kPi / 6});
  EXPECT_TRUE(RelNear(z.re, std::sqrt(3.0), 4));
  EXPECT_TRUE(RelNear(z.im, 1.0, 4));
}

}  // namespace
