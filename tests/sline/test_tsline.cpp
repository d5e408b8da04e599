// TSLine: setters and their invariant, constructions, questions, the
// intersection and angle, and ClipBox with its documented corner and miss
// results.
#include "ORK_sline.h"
#include "test_support.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <type_traits>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::RelNear;

namespace {
constexpr double kPi = std::numbers::pi;

// Runs fn and checks that it raises EORKSLineError with the message.
template <class F>
void ExpectSLineError(F fn, const char* message) {
  try {
    fn();
    ADD_FAILURE() << "no exception, expected: " << message;
  } catch (const EORKSLineError& e) {
    EXPECT_STREQ(e.what(), message);
  }
}

TSLine* Line(TComponent& owner, double a, double b, double c) {
  auto* l = new TSLine(&owner);  // owned and freed by `owner`
  l->SetParC(c);
  if (b != 0.0) {
    l->SetParB(b);
    l->SetParA(a);
  } else {
    l->SetParA(a);
    l->SetParB(b);
  }
  return l;
}
}  // namespace

static_assert(std::is_base_of_v<Exception, EORKSLineError>);
static_assert(!std::is_base_of_v<EORKError, EORKSLineError>);

TEST(TSLineFrame, NewLineIsTheXAxis) {
  TSLine l;
  EXPECT_EQ(l.ParA(), 0.0);
  EXPECT_EQ(l.ParB(), 1.0);
  EXPECT_EQ(l.ParC(), 0.0);
  EXPECT_FALSE(l.SubstituteInf());
  EXPECT_EQ(l.Slope(), 0.0);
  EXPECT_EQ(l.Intercept(), 0.0);
  EXPECT_EQ(l.Direction(), 0.0);
  EXPECT_FALSE(std::signbit(l.Direction()));
  EXPECT_EQ(l.CalcY(5), 0.0);
  ExpectSLineError([&] { (void)l.CalcX(1); }, "cannot calculate x");
  l.SetSubstituteInf(true);
  EXPECT_GT(std::fabs(l.CalcX(1)), 1e99);  // (-1 - 0) / 1E-100
  EXPECT_EQ(l.CalcX(0), 0.0);
}

TEST(TSLineFrame, AAndBMustNotBothBeZero) {
  TSLine l;
  ExpectSLineError([&] { l.SetParB(0); }, "parameter A and B must not both be zero");
  EXPECT_EQ(l.ParB(), 1.0);
  l.SetParA(2);
  l.SetParB(0);
  ExpectSLineError([&] { l.SetParA(0); }, "parameter A and B must not both be zero");
  EXPECT_EQ(l.ParA(), 2.0);
  l.SetParC(-7);
  EXPECT_EQ(l.ParC(), -7.0);
}

TEST(TSLineQuestions, VerticalLineRaisesForSlopeInterceptKdFormAndY) {
  TSLine l;
  l.SetParA(1);
  l.SetParB(0);
  l.SetParC(-3);  // x = 3
  double k = 11, d = 12;
  ExpectSLineError([&] { l.CalcKDForm(k, d); }, "cannot convert to k-d-form if ParB is zero");
  EXPECT_EQ(k, 11.0);
  EXPECT_EQ(d, 12.0);
  ExpectSLineError([&] { (void)l.GetSlope(); }, "slope is infinite");
  ExpectSLineError([&] { (void)l.GetIntercept(); },
                   "cannot calculate intercept (line is parallel to y axis)");
  ExpectSLineError([&] { (void)l.CalcY(1); }, "cannot calculate y");
  EXPECT_EQ(l.CalcX(123), 3.0);
  l.SetSubstituteInf(true);
  EXPECT_EQ(l.CalcY(3), 0.0);   // numerator 0
  EXPECT_GT(l.CalcY(1), 1e99);  // (-1 + 3) / 1E-100
  EXPECT_LT(l.CalcY(5), -1e99);
}

TEST(TSLineSetting, ConstructionsFromPointsSlopeAngleNormalAndParallel) {
  TSLine l;
  EXPECT_TRUE(l.LineFrom2Points(0, 0, 1, 1));
  EXPECT_EQ(l.ParA(), -1.0);
  EXPECT_EQ(l.ParB(), 1.0);
  EXPECT_EQ(l.ParC(), 0.0);
  EXPECT_FALSE(l.LineFrom2Points(2, 3, 2, 3));
  EXPECT_EQ(l.ParA(), -1.0);                    // unchanged
  EXPECT_TRUE(l.LineFrom2Points(1, 2, 4, -4));  // y = -2x + 4
  double k = 0, d = 0;
  l.CalcKDForm(k, d);
  EXPECT_DOUBLE_EQ(k, -2.0);
  EXPECT_DOUBLE_EQ(d, 4.0);

  l.LineFromSlopeIcpt(0.5, -1);
  EXPECT_EQ(l.ParA(), 0.5);
  EXPECT_EQ(l.ParB(), -1.0);
  EXPECT_EQ(l.ParC(), -1.0);
  EXPECT_DOUBLE_EQ(l.CalcY(4), 1.0);
  EXPECT_DOUBLE_EQ(l.CalcX(1), 4.0);

  l.LineThroughPoint(1, 2, kPi / 4);
  EXPECT_NEAR(l.Distance(1, 2), 0.0, 1e-15);
  EXPECT_NEAR(l.Distance(3, 4), 0.0, 1e-15);
  EXPECT_NEAR(l.Slope(), 1.0, 1e-15);
  EXPECT_NEAR(l.Direction(), kPi / 4, 1e-15);

  TSLine other;
  other.LineFromSlopeIcpt(2, 1);
  l.NormalLine(3, -1, other);
  EXPECT_NEAR(l.Distance(3, -1), 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(l.AngleBetweenLines(other), kPi / 2);
  l.ParallelLine(3, -1, other);
  EXPECT_NEAR(l.Distance(3, -1), 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(l.Slope(), 2.0);
  EXPECT_EQ(l.AngleBetweenLines(other), 0.0);
  // The other line may be this line itself.
  l.NormalLine(0, 0, l);
  EXPECT_DOUBLE_EQ(l.Slope(), -0.5);
}

TEST(TSLineQuestions, DirectionInEveryQuadrant) {
  struct Case {
    double a, b, dir;  // direction vector (B, -A)
  };
  for (const Case c : {Case{0, 1, 0}, Case{-1, 1, kPi / 4}, Case{1, 0, 3 * kPi / 2},
                       Case{-1, 0, kPi / 2}, Case{0, -1, kPi}, Case{-1, -1, 3 * kPi / 4},
                       Case{1, -1, 5 * kPi / 4}, Case{1, 1, 7 * kPi / 4},
                       // a tiny clockwise turn rounds 2 pi - 1e-20 to 2 pi:
                       // reported as 0, inside [0, 2 pi)
                       Case{1e-20, 1, 0}}) {
    TSLine l;
    l.SetParA(c.a);
    l.SetParB(c.b);
    const double dir = l.GetDirect();
    EXPECT_NEAR(dir, c.dir, 1e-15) << c.a << "," << c.b;
    EXPECT_GE(dir, 0.0);
    EXPECT_LT(dir, 2 * kPi);
  }
}

TEST(TSLineQuestions, DistanceWithoutOverflow) {
  TSLine l;
  l.SetParA(3);
  l.SetParB(4);
  l.SetParC(-10);
  EXPECT_DOUBLE_EQ(l.Distance(0, 0), 2.0);
  EXPECT_DOUBLE_EQ(l.Distance(2, 1), 0.0);
  l.SetParA(3e200);
  l.SetParB(4e200);
  l.SetParC(-10e200);
  EXPECT_DOUBLE_EQ(l.Distance(0, 0), 2.0);  // A^2 alone would overflow
}

TEST(TSLineQuestions, IntersectionAndAngle) {
  TComponent owner;
  TSLine* diag = Line(owner, -1, 1, 0);  // y = x
  TSLine* anti = Line(owner, 1, 1, -2);  // y = 2 - x
  TSLine* para = Line(owner, -2, 2, 5);  // y = x - 2.5
  TSLine* vert = Line(owner, 1, 0, -3);  // x = 3
  double x = 42, y = 43;
  EXPECT_TRUE(diag->InterSection(*anti, x, y));
  EXPECT_DOUBLE_EQ(x, 1.0);
  EXPECT_DOUBLE_EQ(y, 1.0);
  EXPECT_TRUE(vert->InterSection(*diag, x, y));
  EXPECT_DOUBLE_EQ(x, 3.0);
  EXPECT_DOUBLE_EQ(y, 3.0);
  x = 42;
  y = 43;
  EXPECT_FALSE(diag->InterSection(*para, x, y));
  EXPECT_FALSE(diag->InterSection(*diag, x, y));
  EXPECT_EQ(x, 42.0);
  EXPECT_EQ(y, 43.0);
  EXPECT_DOUBLE_EQ(diag->AngleBetweenLines(*anti), kPi / 2);
  EXPECT_DOUBLE_EQ(diag->AngleBetweenLines(*para), 0.0);
  EXPECT_DOUBLE_EQ(vert->AngleBetweenLines(*diag), kPi / 4);
  EXPECT_DOUBLE_EQ(diag->AngleBetweenLines(*vert), kPi / 4);
  // Nearly parallel: y = x and y = (1 + 2^-30) x + 1 meet at x = -2^30. The
  // determinant 2^-30 must not be lost to cancellation.
  TSLine* near = Line(owner, 1 + std::ldexp(1.0, -30), -1, 1);
  EXPECT_TRUE(diag->InterSection(*near, x, y));
  EXPECT_TRUE(RelNear(x, -std::ldexp(1.0, 30), 4));
  EXPECT_TRUE(RelNear(y, -std::ldexp(1.0, 30), 4));
}

TEST(TSLineClipBox, SegmentEndsCornersAndMisses) {
  struct Case {
    const char* what;
    double a, b, c;             // line
    double llx, lly, urx, ury;  // box
    bool hit;
    double x1, y1, x2, y2;
  };
  const double u = 1234.5;  // "unchanged" marker
  const Case cases[] = {
      {"diagonal y = x", -1, 1, 0, 0, 0, 1, 1, true, 0, 0, 1, 1},
      {"anti-diagonal", 1, 1, -1, 0, 0, 1, 1, true, 0, 1, 1, 0},
      {"left to top", -1, 1, -0.5, 0, 0, 1, 1, true, 0, 0.5, 0.5, 1},
      {"through a corner into the box", -2, 1, 0, 0, 0, 1, 1, true, 0, 0, 0.5, 1},
      {"touches a corner only", 1, 1, 0, 0, 0, 1, 1, true, 0, 0, 0, 0},
      {"vertical inside", 1, 0, -0.5, 0, 0, 1, 1, true, 0.5, 0, 0.5, 1},
      {"horizontal inside", 0, 1, -0.25, 0, 0, 2, 1, true, 0, 0.25, 2, 0.25},
      {"on the bottom edge", 0, 1, 0, 0, 0, 1, 1, true, 0, 0, 1, 0},
      {"on the left edge", 1, 0, 0, 0, 0, 1, 1, true, 0, 0, 0, 1},
      {"misses", -1, 1, -5, 0, 0, 1, 1, false, u, u, u, u},
      {"vertical outside", 1, 0, -2, 0, 0, 1, 1, false, u, u, u, u},
      {"corners swapped", -1, 1, 0, 1, 1, 0, 0, true, 0, 0, 1, 1},
      {"NaN box", -1, 1, 0, 0, std::nan(""), 1, 1, false, u, u, u, u},
  };
  for (const Case& c : cases) {
    TComponent owner;
    TSLine* l = Line(owner, c.a, c.b, c.c);
    double x1 = u, y1 = u, x2 = u, y2 = u;
    EXPECT_EQ(l->ClipBox(c.llx, c.lly, c.urx, c.ury, x1, y1, x2, y2), c.hit) << c.what;
    EXPECT_DOUBLE_EQ(x1, c.x1) << c.what;
    EXPECT_DOUBLE_EQ(y1, c.y1) << c.what;
    EXPECT_DOUBLE_EQ(x2, c.x2) << c.what;
    EXPECT_DOUBLE_EQ(y2, c.y2) << c.what;
    EXPECT_FALSE(l->SubstituteInf()) << c.what;  // restored
  }
  TSLine l;
  l.SetSubstituteInf(true);
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  EXPECT_TRUE(l.ClipBox(-1, -1, 1, 1, x1, y1, x2, y2));
  EXPECT_TRUE(l.SubstituteInf());
}

TEST(TSLineFrame, AssignCopiesParameters) {
  TSLine a;
  a.SetParA(2);
  a.SetParC(3);
  a.SetSubstituteInf(true);
  TSLine b;
  b.Assign(&a);
  EXPECT_EQ(b.ParA(), 2.0);
  EXPECT_EQ(b.ParB(), 1.0);
  EXPECT_EQ(b.ParC(), 3.0);
  EXPECT_TRUE(b.SubstituteInf());
  TComponent other;
  EXPECT_THROW(b.Assign(&other), EConvertError);
}
