// TCurveFit splines and PenalizedCubicSpline against SciPy's CubicSpline and
// make_smoothing_spline (tests/data/curvefit/make_curvefit_refs.py).
#include "ORK_math2.h"
#include "curvefit_refs.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using curvefit_test::Refs;

namespace {

struct SplineCase {
  const char* quantity;
  bool natural1, naturaln;
  double d1, dn;  // clamped end derivatives
  double smooth;  // < 0: the interpolating spline
  double tol;
};

class SplineReference : public ::testing::TestWithParam<SplineCase> {};

TEST_P(SplineReference, MatchesScipy) {
  const SplineCase& c = GetParam();
  const Refs& r = Refs::Get();
  TCurveFit f;
  r.Fill("spl", f);
  f.SetNatural1(c.natural1);
  f.SetNaturalN(c.naturaln);
  f.SetY1Dash(c.d1);
  f.SetYNDash(c.dn);
  if (c.smooth >= 0) f.SetSplineSmoothing(c.smooth);
  const auto& ev = r.eval.at({"spl", c.quantity});
  for (std::size_t i = 0; i + 1 < ev.size(); i += 2) {
    double got = 0;
    if (c.smooth < 0) {
      got = f.CubicSpline(ev[i]);
    } else {
      double q = 0;
      bool valid = false;
      got = f.SmoothedSpline(ev[i], q, valid);
      ASSERT_TRUE(valid);
      if (std::string(c.quantity) != "wline") {
        const char* lam = c.quantity + 6;  // "smooth<lam>"
        EXPECT_NEAR(q, r.Ref("spl", std::string("smoothfq") + lam)[0], 1e-9);
      }
    }
    EXPECT_NEAR(got, ev[i + 1], c.tol * std::max(1.0, std::fabs(ev[i + 1])))
        << c.quantity << " at " << ev[i];
  }
}

INSTANTIATE_TEST_SUITE_P(Splines, SplineReference,
                         ::testing::Values(SplineCase{"natural", true, true, 0, 0, -1, 1e-13},
                                           SplineCase{"clamped", false, false, 0.5, -1.0, -1,
                                                      1e-13},
                                           SplineCase{"mixed", true, false, 0, 2.0, -1, 1e-13},
                                           SplineCase{"smooth0", true, true, 0, 0, 0.0, 1e-12},
                                           SplineCase{"smooth0.5", true, true, 0, 0, 0.5, 1e-10},
                                           SplineCase{"smooth3", true, true, 0, 0, 3.0, 1e-10},
                                           SplineCase{"smooth1e+06", true, true, 0, 0, 1e6, 1e-8},
                                           // Far beyond: the weighted least-squares line.
                                           SplineCase{"wline", true, true, 0, 0, 1e12, 1e-5}),
                         [](const auto& info) {
                           std::string n = info.param.quantity;
                           for (char& ch : n)
                             if (ch == '.' || ch == '+') ch = '_';
                           return n;
                         });

TEST(TCurveFitSplines, FewKnotsAndCaching) {
  TCurveFit f;
  EXPECT_EQ(f.CubicSpline(1.0), 0.0);
  double q = 1;
  bool valid = true;
  EXPECT_EQ(f.SmoothedSpline(1.0, q, valid), 0.0);
  EXPECT_FALSE(valid);
  f.EnterStatValue(2, 5);
  EXPECT_EQ(f.CubicSpline(-3.0), 5.0);
  f.EnterStatValue(4, 9);  // two knots, natural: the straight line
  EXPECT_DOUBLE_EQ(f.CubicSpline(3.0), 7.0);
  EXPECT_DOUBLE_EQ(f.CubicSpline(5.0), 11.0);
  f.EnterStatValue(4, 11);  // merged with (4, 9): mean 10
  EXPECT_DOUBLE_EQ(f.CubicSpline(4.0), 10.0);
  f.SmoothedSpline(3.0, q, valid);
  EXPECT_FALSE(valid);  // two distinct x
  f.EnterStatValue(6, 1);
  EXPECT_DOUBLE_EQ(f.CubicSpline(6.0), 1.0);
  EXPECT_NEAR(f.SmoothedSpline(6.0, q, valid), f.SmoothedSpline(6.0, q, valid), 0.0);
  EXPECT_TRUE(valid);
  f.Init();  // the cached knots go with the points
  EXPECT_EQ(f.CubicSpline(3.0), 0.0);
  f.SmoothedSpline(3.0, q, valid);
  EXPECT_FALSE(valid);
}

TEST(PenalizedCubicSpline, BadArgumentsWriteNothing) {
  const std::vector<double> x = {0, 1, 2, 3}, y = {1, 3, 2, 5}, w = {1, 1, 1, 1};
  std::vector<double> a(4, 7), b(4, 7), c(4, 7), d(4, 7);
  const auto inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(PenalizedCubicSpline(0, 3, -1, x, y, w, a, b, c, d), -1);
  EXPECT_EQ(PenalizedCubicSpline(0, 3, inf, x, y, w, a, b, c, d), -1);
  EXPECT_EQ(PenalizedCubicSpline(0, 1, 1, x, y, w, a, b, c, d), -1);
  EXPECT_EQ(PenalizedCubicSpline(0, 4, 1, x, y, w, a, b, c, d), -1);
  const std::vector<double> xbad = {0, 1, 1, 3}, wbad = {1, 0, 1, 1};
  EXPECT_EQ(PenalizedCubicSpline(0, 3, 1, xbad, y, w, a, b, c, d), -1);
  EXPECT_EQ(PenalizedCubicSpline(0, 3, 1, x, y, wbad, a, b, c, d), -1);
  EXPECT_EQ(a[0], 7.0);
  // A sub-range: points 1..3 only, interpolated with Smooth 0.
  ASSERT_EQ(PenalizedCubicSpline(1, 3, 0, x, y, w, a, b, c, d), 0);
  EXPECT_EQ(a[0], 7.0);
  EXPECT_DOUBLE_EQ(a[1], 3.0);
  EXPECT_DOUBLE_EQ(a[2], 2.0);
  EXPECT_DOUBLE_EQ(a[1] + b[1] + c[1] + d[1], 2.0);
  EXPECT_DOUBLE_EQ(a[3], 5.0);
  EXPECT_EQ(c[3], 0.0);
}

}  // namespace
