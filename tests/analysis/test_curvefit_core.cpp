// TCurveFit: running sums, statistics, rank correlations and fits against
// NumPy/SciPy references (tests/data/curvefit/make_curvefit_refs.py), and
// the edge cases of the data model.
#include "ORK_math2.h"
#include "curvefit_refs.h"

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using curvefit_test::Refs;

namespace {

constexpr double kMax = std::numeric_limits<double>::max();

// Reads the protected running sums.
struct Probe : TCurveFit {
  using TCurveFit::sum1byy;
  using TCurveFit::sumlnx;
  using TCurveFit::sumlnxq;
  [[nodiscard]] std::vector<double> Sums() const {
    return {sumx,      sumy,     sumxq,   sumyq,    sumDiff, SumDiffq,  sumxy,
            sumx2y,    sumxy2,   sumx3,   sumy3,    sumx4,   sumy4,     sum1byy,
            sum1byxy,  sum1byyq, sumxbyy, sumybyx,  sum1byx, sum1byxq,  sumlnx,
            sumlnxlny, sumlnxq,  sumylny, sumylnx,  sumxlnx, sumlnxbyy, sumlnybyx,
            sumlny,    sumlnyq,  sumxlny, sumxqlny, sumyqlnx};
  }
  [[nodiscard]] int32_t Capacity() const { return FData->NrOfRows(); }
};

void ExpectRel(double got, double want, double tol, const std::string& what) {
  EXPECT_NEAR(got, want, tol * std::max(1.0, std::fabs(want))) << what;
}

TEST(TCurveFit, EmptyObjectDefaults) {
  TCurveFit f;
  EXPECT_EQ(f.NumData(), 0);
  EXPECT_EQ(f.GetMeanX(), 0.0);
  EXPECT_EQ(f.GetStdDevX(), 0.0);
  EXPECT_EQ(f.CorrCoeff(), 0.0);
  EXPECT_EQ(f.MinX(), kMax);
  EXPECT_EQ(f.MaxX(), -kMax);
  EXPECT_EQ(f.GetSpearman(), 0.0);
  EXPECT_EQ(f.CalcMeanDegrees(1), 0.0);  // C = 0 and S = 0: undefined, 0
  double q1 = 1, q2 = 1, q3 = 1;
  EXPECT_FALSE(f.QuartilesX(q1, q2, q3));
  EXPECT_EQ(q2, 0.0);
  double k = 0, d = 0, q = 0;
  EXPECT_THROW(f.CalcLinFit(k, d, q), EORKMath2Error);
  std::vector<double> c(3);
  bool ns = false;
  EXPECT_FALSE(f.CalcPolyFit(2, c, q, ns));
}

TEST(TCurveFit, TwoPointsAndAllXEqual) {
  TCurveFit f;
  f.EnterStatValue(1, 2);
  f.EnterStatValue(3, 6);
  EXPECT_EQ(f.GetStdDevX(), 0.0);  // three points are needed
  double k = 0, d = 0, q = 0, k2 = 0;
  f.CalcLinFit(k, d, q);
  EXPECT_DOUBLE_EQ(k, 2.0);
  EXPECT_NEAR(d, 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(q, 1.0);
  try {
    f.CalcParabolFit(k, d, k2, q);
    ADD_FAILURE() << "no exception";
  } catch (const EORKMath2Error& e) {
    EXPECT_STREQ(e.what(), "CalcParabolFit: not enough data points");
  }
  TCurveFit g;
  for (double y : {1.0, 5.0, 2.0}) g.EnterStatValue(4, y);
  k = d = q = 9;
  g.CalcLinFit(k, d, q);
  EXPECT_EQ(k, 0.0);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(q, 0.0);
}

TEST(TCurveFit, DomainFlagsAndSubstitutedReciprocals) {
  Probe f;
  f.EnterStatValue(2, 0);
  EXPECT_TRUE(f.ErrIndic().contains(TCurveFitError::cfeYEQ0));
  EXPECT_EQ(f.sum1byy, corvel::uc_MaxReal);
  f.Init();
  f.EnterStatValue(-1, 3);
  EXPECT_TRUE(f.ErrIndic().contains(TCurveFitError::cfeXLE0));
  EXPECT_FALSE(f.ErrIndic().contains(TCurveFitError::cfeYLE0));
  EXPECT_EQ(f.sumlnx, 0.0);
  EXPECT_EQ(f.sumlnxq, 0.0);
  double a = 0, b = 0, q = 0;
  f.EnterStatValue(2, 4);
  try {
    f.CalcLogFit(a, b, q);
    ADD_FAILURE() << "no exception";
  } catch (const EORKMath2Error& e) {
    EXPECT_STREQ(e.what(), "CalcLogFit: data outside the domain of the model");
  }
  EXPECT_NO_THROW(f.CalcExponentialFit(a, b, q));  // y > 0 throughout
  f.Init();
  EXPECT_TRUE(f.ErrIndic().empty());
}

TEST(TCurveFit, RemoveKeepsSumsConsistentAndGrowthStepsBy1000) {
  Probe f, g;
  for (int i = 1; i <= 300; ++i) {
    const double x = 0.5 * i, y = std::sin(i) + 2;
    f.EnterStatValue(x, y);
    if (i > 1) g.EnterStatValue(x, y);
  }
  f.RemoveStatValue(1);
  f.RemoveStatValue(0);    // out of range: nothing
  f.RemoveStatValue(500);  // out of range: nothing
  ASSERT_EQ(f.NumData(), 299);
  for (int i = 1; i <= 299; ++i) {
    EXPECT_EQ(f.GetDataX(i), g.GetDataX(i));
    EXPECT_EQ(f.GetDataY(i), g.GetDataY(i));
  }
  EXPECT_EQ(f.GetDataX(300), 0.0);
  const auto a = f.Sums(), b = g.Sums();
  for (std::size_t i = 0; i < a.size(); ++i)
    EXPECT_NEAR(a[i], b[i], 1e-9 * std::fabs(b[i]) + 1e-9) << i;
  EXPECT_NEAR(f.GetStdDevY(), g.GetStdDevY(), 1e-14);
  Probe h;
  EXPECT_EQ(h.Capacity(), 1000);
  for (int i = 1; i <= 1001; ++i) EXPECT_EQ(h.EnterStatValue(i, i), i);
  EXPECT_EQ(h.Capacity(), 2000);
}

TEST(TCurveFit, FlipTwiceRestores) {
  Probe f;
  Refs::Get().Fill("pos", f);
  const auto before = f.Sums();
  const double mx = f.MinX(), my = f.MaxY(), sdx = f.GetStdDevX();
  f.FlipXY();
  EXPECT_EQ(f.MinY(), mx);
  EXPECT_EQ(f.GetStdDevY(), sdx);
  EXPECT_EQ(f.GetDataY(3), Refs::Get().data.at("pos")[4]);
  f.FlipXY();
  EXPECT_EQ(f.Sums(), before);
  EXPECT_EQ(f.MaxY(), my);
  EXPECT_EQ(f.GetDataX(3), Refs::Get().data.at("pos")[4]);
}

TEST(TCurveFit, StatisticsAndRankCorrelationsWithTies) {
  const Refs& r = Refs::Get();
  TCurveFit f;
  r.Fill("ties", f);
  EXPECT_NEAR(f.GetSpearman(), r.Ref("ties", "spearman")[0], 1e-14);
  double p = 0;
  EXPECT_NEAR(f.KendallsTau(p), r.Ref("ties", "kendall")[0], 1e-14);
  EXPECT_NEAR(p, r.Ref("ties", "kendall_p")[0], 2e-7);  // ErfApprox: 1.2e-7
  EXPECT_NEAR(f.GetKruskalGamma(), r.Ref("ties", "gamma")[0], 1e-14);
  EXPECT_NEAR(f.CorrCoeff(), r.Ref("ties", "pearson")[0], 1e-14);
  const auto& mean = r.Ref("ties", "mean");
  const auto& sd = r.Ref("ties", "sd");
  int32_t n = 0;
  double v[7];
  f.CalcStatistics(n, v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
  EXPECT_EQ(n, 12);
  const double want[7] = {
      mean[0], mean[1], sd[0], sd[1], mean[2], sd[2], r.Ref("ties", "pearson")[0]};
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(v[i], want[i], 1e-14) << i;
  EXPECT_NEAR(f.GetSkewnessX(), r.Ref("ties", "skew")[0], 1e-13);
  EXPECT_NEAR(f.GetKurtosisY(), r.Ref("ties", "kurt")[1], 1e-13);
  double q1 = 0, q2 = 0, q3 = 0;
  ASSERT_TRUE(f.QuartilesX(q1, q2, q3));
  EXPECT_EQ(q1, r.Ref("ties", "quartx")[0]);
  EXPECT_EQ(q3, r.Ref("ties", "quartx")[2]);
  // The small example: the two x values 2 share rank 2.5 (Tx = 0.5).
  TCurveFit s;
  for (auto [x, y] : {std::pair{1.0, 1.0}, {2.0, 2.0}, {2.0, 3.0}, {4.0, 4.0}})
    s.EnterStatValue(x, y);
  // ranks x 1 2.5 2.5 4, y 1 2 3 4: D = 0.5, N3 = 60 -> (60 - 6) / sqrt(54 * 60)
  EXPECT_NEAR(s.GetSpearman(), 54.0 / std::sqrt(54.0 * 60.0), 1e-15);
  // Stale counts are recounted after a change.
  s.EnterStatValue(0, 10);
  EXPECT_LT(s.GetKruskalGamma(), 1.0);
}

TEST(TCurveFit, MomentsKeepTheirDigitsUnderALargeOffset) {
  const Refs& r = Refs::Get();
  TCurveFit f;
  r.Fill("offset", f);
  EXPECT_NEAR(f.GetStdDevX(), r.Ref("offset", "sd")[0], 1e-7);
  EXPECT_NEAR(f.GetStdDevY(), r.Ref("offset", "sd")[1], 1e-8);
  EXPECT_NEAR(f.CorrCoeff(), r.Ref("offset", "pearson")[0], 1e-6);
}

TEST(TCurveFit, CircularMeans) {
  const Refs& r = Refs::Get();
  for (const char* set : {"ang1", "ang2", "ang3", "ang4", "ang5"}) {
    TCurveFit f;
    r.Fill(set, f);
    EXPECT_NEAR(f.GetMeanXDegrees(), r.Ref(set, "circmean")[0], 1e-12) << set;
  }
  TCurveFit c;  // sum cos = 0 exactly: straight up or down
  c.EnterStatValue(90, 0);
  EXPECT_EQ(c.CalcMeanDegrees(1), 90.0);
  c.Init();
  c.EnterStatValue(-90, 0);
  EXPECT_EQ(c.CalcMeanDegrees(1), 270.0);
  EXPECT_EQ(c.CalcMeanDegrees(3), 0.0);
}

// Every fit of a data set against its reference: (set, quantity, call).
using FitCall = std::function<std::vector<double>(TCurveFit&)>;
struct FitCase {
  const char* set;
  const char* quantity;
  FitCall call;
  double tol;
};

class FitReference : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitReference, MatchesScipy) {
  const FitCase& c = GetParam();
  TCurveFit f;
  Refs::Get().Fill(c.set, f);
  const auto got = c.call(f);
  const auto& want = Refs::Get().Ref(c.set, c.quantity);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i)
    ExpectRel(got[i], want[i], c.tol, std::string(c.quantity) + " " + std::to_string(i));
}

template <void (TCurveFit::*Fn)(double&, double&, double&) const>
std::vector<double> Two(TCurveFit& f) {
  double a = 0, b = 0, q = 0;
  (f.*Fn)(a, b, q);
  return {a, b, q};
}
template <void (TCurveFit::*Fn)(double&, double&, double&, double&) const>
std::vector<double> Three(TCurveFit& f) {
  double a = 0, b = 0, c = 0, q = 0;
  (f.*Fn)(a, b, c, q);
  return {a, b, c, q};
}

std::vector<double> Line(TCurveFit& f) {
  double k = 0, d = 0, q = 0;
  f.CalcLinFit(k, d, q);
  return {k, d, q};
}
std::vector<double> Circle(TCurveFit& f) {
  double r = 0, dx = 0, dy = 0;
  f.CalcCircleFit(r, dx, dy);
  return {r, dx, dy};
}

INSTANTIATE_TEST_SUITE_P(
    Fits, FitReference,
    ::testing::Values(FitCase{"ties", "line", Line, 1e-13},
                      FitCase{"ties", "parabola", Three<&TCurveFit::CalcParabolFit>, 1e-12},
                      FitCase{"circle", "circle", Circle, 1e-10},
                      FitCase{"pos", "recilin", Two<&TCurveFit::CalcReciLinFit>, 1e-12},
                      FitCase{"pos", "hyperbol", Two<&TCurveFit::CalcHyperbolFit>, 1e-12},
                      FitCase{"pos", "recihyperbol", Two<&TCurveFit::CalcReciHyperbolFit>, 1e-12},
                      FitCase{"pos", "log", Two<&TCurveFit::CalcLogFit>, 1e-12},
                      FitCase{"pos", "recilog", Two<&TCurveFit::CalcReciLogFit>, 1e-12},
                      FitCase{"pos", "power", Two<&TCurveFit::CalcPowerFit>, 1e-12},
                      FitCase{"pos", "exponential", Two<&TCurveFit::CalcExponentialFit>, 1e-12},
                      FitCase{"pos", "hoerl", Three<&TCurveFit::CalcHoerlFit>, 1e-9},
                      FitCase{"gauss", "gauss", Three<&TCurveFit::CalcGaussFit>, 1e-10}),
    [](const auto& info) { return std::string(info.param.set) + "_" + info.param.quantity; });

TEST(TCurveFit, CircleAndAnovaEdgeCases) {
  TCurveFit f;
  for (double t : {0.0, 1.0, 2.0}) f.EnterStatValue(0.1 * t + 5, 0.3 * t - 7);
  double r = 0, dx = 0, dy = 0;
  try {
    f.CalcCircleFit(r, dx, dy);
    ADD_FAILURE() << "no exception";
  } catch (const EORKMath2Error& e) {
    EXPECT_STREQ(e.what(), "CalcCircleFit: radius is infinite");
  }
  // ANOVA of (observed, estimated): SSE, SSR and SST by their definitions.
  TCurveFit a;
  const double obs[] = {3, 5, 4, 8, 10}, est[] = {3.5, 4.5, 4.5, 7.5, 10};
  for (int i = 0; i < 5; ++i) a.EnterStatValue(obs[i], est[i]);
  int32_t dfreg = 0, dfres = 0, dft = 0;
  double sse = 0, ssr = 0, sst = 0, mse = 0, msr = 0, F = 0;
  a.CalcAnovaReg(1, true, dfreg, dfres, dft, sse, ssr, sst, mse, msr, F);
  EXPECT_EQ(dft, 4);
  EXPECT_EQ(dfres, 3);
  EXPECT_DOUBLE_EQ(sse, 1.0);
  EXPECT_DOUBLE_EQ(sst, 34.0);  // about the mean 6
  EXPECT_DOUBLE_EQ(ssr, 29.0);
  EXPECT_DOUBLE_EQ(F, 29.0 / (1.0 / 3.0));
  a.CalcAnovaReg(4, true, dfreg, dfres, dft, sse, ssr, sst, mse, msr, F);
  EXPECT_EQ(dfres, 0);
  EXPECT_EQ(mse, 0.0);  // no residual degrees of freedom: no division
  EXPECT_EQ(F, 1e10);
}

TEST(TCurveFit, PolyFitsOnExactDataAndAbort) {
  TCurveFit f;
  for (int i = 0; i < 12; ++i) f.EnterStatValue(i, 2 - 3 * i + 0.5 * i * i);
  std::vector<double> k(3), kc(3);
  double q = 0, shift = 0;
  bool ns = true;
  ASSERT_TRUE(f.CalcPolyFit(2, k, q, ns));
  EXPECT_FALSE(ns);
  EXPECT_NEAR(k[0], 2, 1e-12);
  EXPECT_NEAR(k[1], -3, 1e-12);
  EXPECT_NEAR(k[2], 0.5, 1e-13);
  EXPECT_NEAR(q, 1.0, 1e-15);
  ASSERT_TRUE(f.CalcCenteredPolyFit(2, kc, shift, q, ns));
  EXPECT_DOUBLE_EQ(shift, 5.5);
  // y = 0.5 (x - 5.5)^2 + 2.5 (x - 5.5) + 0.625
  EXPECT_NEAR(kc[0], 0.625, 1e-12);
  EXPECT_NEAR(kc[1], 2.5, 1e-12);
  EXPECT_NEAR(kc[2], 0.5, 1e-13);
  shift = 1.0;  // a given shift stays
  ASSERT_TRUE(f.CalcCenteredPolyFit(2, kc, shift, q, ns));
  EXPECT_EQ(shift, 1.0);
  EXPECT_NEAR(kc[0], -0.5, 1e-12);
  std::vector<double> shortk(2);
  EXPECT_FALSE(f.CalcPolyFit(2, shortk, q, ns));
  // An abort raised during the decomposition makes the fit fail.
  MathFeedBackProc = [](double) { AbortMathProc = true; };
  EXPECT_FALSE(f.CalcPolyFit(2, k, q, ns));
  MathFeedBackProc = nullptr;
  EXPECT_TRUE(f.CalcPolyFit(2, k, q, ns));  // the flag is cleared on entry
}

}  // namespace

namespace {

TEST(TCurveFit, PairCountsStepProgressAndStopOnAbort) {
  TCurveFit f;
  Refs::Get().Fill("ties", f);
  const double start = ProcStat;
  double p = 0;
  const double tau = f.KendallsTau(p);
  EXPECT_DOUBLE_EQ(ProcStat - start, 11.0);  // rows 1..n-1
  AbortMathProc = true;
  f.EnterStatValue(20, 20);  // counts stale
  EXPECT_EQ(f.KendallsTau(p), 0.0);
  EXPECT_EQ(p, 0.0);
  AbortMathProc = false;
  EXPECT_GT(f.KendallsTau(p), tau);  // recounted
}

}  // namespace
