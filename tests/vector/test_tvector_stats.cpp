// TVector statistics and arithmetic.
#include "ORK_math1.h"
#include "ORK_vector.h"
#include "test_support.h"

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::RelNear;

namespace {
void Set(TVector& v, std::initializer_list<double> values) {
  v.Resize(static_cast<int32_t>(values.size()));
  int32_t i = 1;
  for (const double x : values) v.SetVal(i++, x);
}

struct Counted {
  TVector v;
  int changes = 0;
  explicit Counted(std::initializer_list<double> values) {
    Set(v, values);
    v.OnChange = [this](TObject*) { ++changes; };
  }
};

double Nan() { return std::numeric_limits<double>::quiet_NaN(); }
}  // namespace

TEST(TVectorStats, MeanVarRules) {
  TVector v;
  double mean = 0;
  double var = 0;
  Set(v, {2, 4});
  v.MeanVar(0, 0, mean, var);
  EXPECT_EQ(mean, 3.0);
  EXPECT_EQ(var, 1.0);  // fewer than 3 values
  Set(v, {2, 4, 6});
  v.MeanVar(0, 0, mean, var);
  EXPECT_EQ(var, 4.0);
  Set(v, {9, 2, 4, 6, 9});
  v.MeanVar(4, 2, mean, var);  // reversed range: 2..4
  EXPECT_EQ(mean, 4.0);
  EXPECT_EQ(var, 4.0);
  EXPECT_EQ(v.Sum(2, 4), 12.0);
  EXPECT_EQ(v.Sum(0, 0), 30.0);
}

TEST(TVectorStats, LargeOffsetKeepsNineDigits) {
  // Reference: tests/data/vector/offset_moments.py (exact rational arithmetic).
  const double dx[] = {0.1, 0.25, 0.3, 0.7, 0.95, 0.05, 0.5, 0.65, 0.2, 0.8, 0.45};
  const double dy[] = {0.3, 0.2, 0.45, 0.9, 0.85, 0.1, 0.6, 0.5, 0.35, 0.95, 0.4};
  TVector x;
  TVector y;
  x.Resize(11);
  y.Resize(11);
  for (int i = 0; i < 11; ++i) {
    x.SetVal(i + 1, 1e9 + dx[i]);
    y.SetVal(i + 1, 2e9 + dy[i]);
  }
  double mean = 0, var = 0, skew = 0, kurt = 0;
  x.MeanVar(0, 0, mean, var);
  x.SkewKurt(0, 0, skew, kurt);
  // The offset (1e9) and the spread (0.3) are 10 orders apart: the textbook
  // sum-of-squares formula keeps no digit of the variance here.
  const double k9 = 1e-9 / std::numeric_limits<double>::epsilon();  // 9 digits in eps units
  EXPECT_TRUE(RelNear(mean, 1000000000.45, 4));
  EXPECT_TRUE(RelNear(var, 0.088500004053117531, k9));
  EXPECT_TRUE(RelNear(skew, 0.19940883702834064, k9));
  EXPECT_TRUE(RelNear(kurt, -1.4952946786168619, k9));
  EXPECT_TRUE(RelNear(x.PearsonCorrCoeff(&y), 0.90732066047269977, k9));
}

TEST(TVectorStats, SkewKurtSmallAndConstantSamples) {
  TVector v;
  double s = 9, k = 9;
  Set(v, {1, 2, 3});
  v.SkewKurt(0, 0, s, k);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(k, 0.0);
  v.SkewKurtSample(0, 0, s, k);
  EXPECT_EQ(s, 0.0);
  Set(v, {5, 5, 5, 5, 5});
  v.SkewKurt(0, 0, s, k);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(k, 0.0);
  // Symmetric data: skewness 0; (1,2,3,4): S4/n/s^4 - 3 with s^2 = 5/3.
  Set(v, {1, 2, 3, 4});
  v.SkewKurt(0, 0, s, k);
  EXPECT_NEAR(s, 0.0, 1e-15);
  EXPECT_TRUE(RelNear(
      k, (2 * (1.5 * 1.5 * 1.5 * 1.5) + 2 * (0.5 * 0.5 * 0.5 * 0.5)) / 4 / (25.0 / 9.0) - 3, 8));
  double gs = 0, gk = 0;
  v.SkewKurtSample(0, 0, gs, gk);
  // (K + 3) n^2 (n + 1) / ((n-1)(n-2)(n-3)) - 3 (n-1)^2 / ((n-2)(n-3)), n = 4.
  EXPECT_TRUE(RelNear(gk, (k + 3) * 16 * 5 / 6 - 3 * 9 / 2.0, 16));
}

TEST(TVectorStats, GeometricAndHarmonicMeans) {
  TVector v;
  v.SetName("G");
  Set(v, {4, 0, 9});
  EXPECT_EQ(v.GeometricMean(0, 0), 0.0);
  EXPECT_TRUE(RelNear(v.GeometricMean(1, 1), 4.0, 2));
  Set(v, {4, 9});
  EXPECT_TRUE(RelNear(v.GeometricMean(0, 0), 6.0, 4));
  EXPECT_TRUE(RelNear(v.HarmonicMean(0, 0), 2.0 / (0.25 + 1.0 / 9), 4));
  Set(v, {4, -1, 9});
  try {
    (void)v.GeometricMean(0, 0);
    FAIL();
  } catch (const EORKVectorError& e) {
    EXPECT_STREQ(e.what(), "Component \"G\": negative argument passed to GeometricMean");
  }
  Set(v, {4, 0});
  try {
    (void)v.HarmonicMean(0, 0);
    FAIL();
  } catch (const EORKVectorError& e) {
    EXPECT_STREQ(e.what(), "Component \"G\": negative or zero argument passed to HarmonicMean");
  }
}

TEST(TVectorStats, MinMaxFirstExtremeWinsAndNaNIsSkipped) {
  TVector v;
  Set(v, {3, -1, 7, -1, 7, Nan()});
  double mn = 0, mx = 0;
  int32_t imn = 0, imx = 0;
  v.MinMax(0, 0, mn, mx, imn, imx);
  EXPECT_EQ(mn, -1.0);
  EXPECT_EQ(mx, 7.0);
  EXPECT_EQ(imn, 2);
  EXPECT_EQ(imx, 3);
  v.MinMax(4, 6, mn, mx, imn, imx);
  EXPECT_EQ(imn, 4);  // positions count from 1 of the vector, not of the range
  EXPECT_EQ(imx, 5);
  v.MinMax(6, 6, mn, mx, imn, imx);  // only NaN: the start values, no index
  EXPECT_EQ(mn, 1.7E308);
  EXPECT_EQ(mx, -1.7E308);
  EXPECT_EQ(imn, 0);
}

TEST(TVectorOrderStats, ModeQuartilesPercentile) {
  TVector v;
  Set(v, {3, 1, 2});
  EXPECT_EQ(v.Mode(0, 0), 1.0);
  Set(v, {5, 5, 1, 1});
  EXPECT_EQ(v.Mode(0, 0), 1.0);
  Set(v, {2, 9, 9, 2, 9});
  EXPECT_EQ(v.Mode(0, 0), 9.0);
  double q1 = 0, q2 = 0, q3 = 0;
  Set(v, {1, 2});
  EXPECT_TRUE(v.Quartiles(0, 0, q1, q2, q3));
  EXPECT_EQ(q1, 1.0);
  EXPECT_EQ(q2, 1.5);
  EXPECT_EQ(q3, 2.0);
  Set(v, {4, 2, 3, 1});
  v.Quartiles(0, 0, q1, q2, q3);
  EXPECT_EQ(q1, 1.25);
  EXPECT_EQ(q2, 2.5);
  EXPECT_EQ(q3, 3.75);
  EXPECT_EQ(v.Percentile(50, 0, 0), 2.5);
  EXPECT_EQ(v.Percentile(25, 0, 0), 1.75);  // (n - 1) p rule, unlike Quartiles
  EXPECT_EQ(v.Percentile(-5, 0, 0), 1.0);
  EXPECT_EQ(v.Percentile(100, 0, 0), 4.0);
  EXPECT_EQ(v.Percentile(500, 0, 0), 4.0);
  EXPECT_EQ(v.Percentile(Nan(), 0, 0), 1.0);
  EXPECT_EQ(v.Percentile(30, 2, 2), 2.0);  // a single value
  v.Quartiles(3, 3, q1, q2, q3);
  EXPECT_EQ(q1, 3.0);
  EXPECT_EQ(q3, 3.0);
  // The working copy is sorted; the vector itself is unchanged.
  EXPECT_EQ(v.GetVal(1), 4.0);
}

TEST(TVectorOrderStats, SortingACopyReportsProgress) {
  TVector v;
  Set(v, {5, 4, 3, 2, 1, 0});
  const double before = ProcStat.load();
  int calls = 0;
  MathFeedBackProc = [&](double) { ++calls; };
  (void)v.Percentile(50, 0, 0);
  MathFeedBackProc = nullptr;
  EXPECT_GT(ProcStat.load(), before);
  EXPECT_EQ(static_cast<double>(calls), ProcStat.load() - before);
}

TEST(TVectorHistogram, BinsUnderflowOverflowAndTheGap) {
  TVector v;
  // FirstBin 0, LastBin 10, width 3: NBins = round(10/3) = 3 bins covering
  // [0, 9); the overflow limit is 13, so 9 <= v < 13 lands in the last bin.
  Set(v, {-1, 0, 2.9, 3, 8.99, 9, 12.99, 13, 100, Nan()});
  TIntVector h;
  int32_t under = -1, over = -1, maxcnt = -1;
  ASSERT_TRUE(v.Histogram(1, 10, 0, 10, 3, &h, under, over, maxcnt));
  ASSERT_EQ(h.NrOfElem(), 3);
  EXPECT_EQ(h.GetVal(1), 2);
  EXPECT_EQ(h.GetVal(2), 1);
  EXPECT_EQ(h.GetVal(3), 3);  // 8.99, and 9 and 12.99 from the gap
  EXPECT_EQ(under, 1);
  EXPECT_EQ(over, 3);  // 13, 100 and NaN
  EXPECT_EQ(maxcnt, 3);
  EXPECT_EQ(h.Sum(0, 0) + under + over, 10);  // every value counted once
}

TEST(TVectorHistogram, CountsAlwaysAddUp) {
  SetRandSeed(7);
  TVector v;
  v.Resize(1000);
  v.FillRandomUniform(-5, 25);
  TIntVector h;
  int32_t under = 0, over = 0, maxcnt = 0;
  for (const double width : {0.7, 1.0, 2.5, 3.3, 7.0}) {
    for (const double last : {10.0, 10.4, 17.0}) {
      ASSERT_TRUE(v.Histogram(0, 1005, 0, last, width, &h, under, over, maxcnt));
      // Positions 0 and 1001..1005 read as 0 and are counted too.
      EXPECT_EQ(h.Sum(0, 0) + under + over, 1006) << width << " " << last;
    }
  }
}

TEST(TVectorHistogram, InvalidBinCountsReturnFalseAndChangeNothing) {
  TVector v;
  Set(v, {1, 2, 3});
  TIntVector h;
  h.Resize(4);
  h.Fill(7);
  int32_t under = 5, over = 5, maxcnt = 5;
  EXPECT_FALSE(v.Histogram(1, 3, 0, 501, 1, &h, under, over, maxcnt));  // 501 bins
  EXPECT_FALSE(v.Histogram(1, 3, 0, 10, 0, &h, under, over, maxcnt));   // zero width
  EXPECT_FALSE(v.Histogram(1, 3, 0, 10, -1, &h, under, over, maxcnt));
  EXPECT_FALSE(v.Histogram(1, 3, 0, 10, Nan(), &h, under, over, maxcnt));
  EXPECT_FALSE(v.Histogram(1, 3, 5, 5, 1, &h, under, over, maxcnt));  // no bin
  EXPECT_FALSE(v.Histogram(1, 3, 0, 10, 1, nullptr, under, over, maxcnt));
  EXPECT_EQ(h.NrOfElem(), 4);
  EXPECT_EQ(h.GetVal(1), 7);
  EXPECT_EQ(under, 5);
  EXPECT_TRUE(v.Histogram(1, 3, 0, 500, 1, &h, under, over, maxcnt));  // exactly 500
  // A range of 2^32 positions, almost all outside the vector, is counted at once.
  EXPECT_TRUE(v.Histogram(-2147483647 - 1, 2147483647, -1, 10, 1, &h, under, over, maxcnt));
  EXPECT_EQ(h.GetVal(2), 2147483647);  // value 0 in bin 2, saturated
}

TEST(TVectorIntegrate, RulesAndEndPieces) {
  TVector v;
  Set(v, {1, 1, 1});
  EXPECT_EQ(v.Integrate(1, 3, TIntegMethod::imSimpson), 2.0);
  Set(v, {1, 3});
  EXPECT_EQ(v.Integrate(1.2, 1.7, TIntegMethod::imSimple), (1 + 3) / 2.0 * 0.5);
  // Trapezoid inside one interval: values at 1.2 (1.4) and 1.7 (2.4).
  EXPECT_DOUBLE_EQ(v.Integrate(1.7, 1.2, TIntegMethod::imTrapezoidal), (1.4 + 2.4) / 2 * 0.5);
  EXPECT_DOUBLE_EQ(v.Integrate(-5, 99, TIntegMethod::imTrapezoidal), 2.0);  // clamped to 1..2
  // Simpson rules integrate cubics exactly on integer bounds: y = k^3.
  for (const int n : {3, 4, 5, 6, 9, 12}) {
    TVector c;
    c.Resize(n);
    for (int k = 1; k <= n; ++k) c.SetVal(k, static_cast<double>(k) * k * k);
    const double exact = (std::pow(n, 4) - 1) / 4;
    const double simpson = c.Integrate(1, n, TIntegMethod::imSimpson);
    // Exact for d = 2, 3, 4; the extended rule of d > 4 is exact for cubics
    // only up to its end corrections, within a few percent.
    if (n <= 5)
      EXPECT_TRUE(RelNear(simpson, exact, 16)) << n;
    else
      EXPECT_NEAR(simpson, exact, 0.02 * exact) << n;
  }
  // Fractional bounds with a linear curve are exact for every method.
  TVector lin;
  lin.Resize(10);
  for (int k = 1; k <= 10; ++k) lin.SetVal(k, 2.0 * k);
  for (const auto m : {TIntegMethod::imTrapezoidal, TIntegMethod::imSimpson})
    EXPECT_DOUBLE_EQ(lin.Integrate(1.5, 8.25, m), 8.25 * 8.25 - 1.5 * 1.5) << static_cast<int>(m);
}

TEST(TVectorPairs, ProductsDistancesAndDimensions) {
  TVector a;
  TVector b;
  a.SetName("A");
  Set(a, {1, 2, 3});
  Set(b, {4, 5, 6});
  EXPECT_EQ(a.DotProduct(&b), 32.0);
  EXPECT_EQ(a.DotProduct(nullptr), 0.0);
  EXPECT_DOUBLE_EQ(a.EuclideanDistance(&b), std::sqrt(27.0));
  EXPECT_EQ(a.Correlate(&b, 1), 1 * 5 + 2 * 6.0);  // 3 * b(4) = 0
  EXPECT_EQ(a.Correlate(&b, -2), 3 * 4.0);
  EXPECT_EQ(a.Correlate(&b, 2147483647), 0.0);
  EXPECT_EQ(a.Correlate(nullptr, 0), 0.0);
  EXPECT_NEAR(a.PearsonCorrCoeff(&b), 1.0, 1e-15);
  TVector c;
  Set(c, {1, 2});
  try {
    (void)a.DotProduct(&c);
    FAIL();
  } catch (const EORKVectorError& e) {
    EXPECT_STREQ(e.what(), "Component \"A\": vectors have different dimensions");
  }
  EXPECT_THROW(a.Add(&c), EORKVectorError);
  try {
    (void)a.EuclideanDistance(&c);
    FAIL();
  } catch (const EORKVectorError& e) {
    EXPECT_STREQ(e.what(), "EuclideanDistance: dimensions of vectors do not match");
  }
  EXPECT_EQ(a.PearsonCorrCoeff(&c), 0.0);
  TVector k;
  Set(k, {7, 7, 7});
  EXPECT_EQ(a.PearsonCorrCoeff(&k), 0.0);  // constant
  Set(c, {1e200, 2e200});
  TVector d;
  Set(d, {-1e200, 1e200});
  EXPECT_DOUBLE_EQ(c.EuclideanDistance(&d), std::sqrt(4.0 + 1.0) * 1e200);  // no overflow
}

TEST(TVectorPairs, ArithmeticFiresOnce) {
  Counted a({1, 2, 3});
  TVector b;
  Set(b, {1, 1, 1});
  a.v.Add(&b);
  a.v.Subtract(&b);
  a.v.Subtract(&b);
  a.v.SMult(-2);
  a.v.AbsVal();
  a.v.Mirror();
  EXPECT_EQ(a.changes, 6);
  EXPECT_EQ(a.v.GetVal(1), 4.0);
  EXPECT_EQ(a.v.GetVal(3), 0.0);
  a.v.Add(nullptr);
  EXPECT_EQ(a.changes, 6);
}

TEST(TVectorSearch, FindAndBinarySearch) {
  TVector v;
  Set(v, {1, 2, 3, 4});
  EXPECT_EQ(v.FindInSortedVector(true, 2.6), 3);
  EXPECT_EQ(v.FindInSortedVector(true, 2.5), 3);  // tie: the upper one
  EXPECT_EQ(v.FindInSortedVector(true, 3.0), 3);
  EXPECT_EQ(v.FindInSortedVector(true, -10), 1);
  EXPECT_EQ(v.FindInSortedVector(true, 99), 4);
  Set(v, {9, 7, 5, 3, 1});
  EXPECT_EQ(v.FindInSortedVector(false, 6.1), 2);
  EXPECT_EQ(v.FindInSortedVector(false, 1), 5);
  Set(v, {5, 1, 3, 1});
  EXPECT_EQ(v.Find(0, 0, 1.2), 2);  // first one on ties
  EXPECT_EQ(v.Find(3, 4, 1.2), 4);
  Set(v, {Nan(), 8});
  EXPECT_EQ(v.Find(0, 0, 0), 2);
  EXPECT_EQ(v.Find(0, 0, std::numeric_limits<double>::infinity()), 2);
}

TEST(TVectorRescale, CenterStandardizeQNormalizeDoNotFire) {
  Counted a({1, 2, 3, 4, 5});
  EXPECT_EQ(a.v.MeanCenter(), 3.0);
  EXPECT_EQ(a.v.GetVal(1), -2.0);
  double mean = 0, sd = 0;
  a.v.Standardize(mean, sd);
  EXPECT_EQ(mean, 0.0);
  EXPECT_DOUBLE_EQ(sd, std::sqrt(2.5));
  EXPECT_DOUBLE_EQ(a.v.GetVal(5), 2 / std::sqrt(2.5));
  Counted b({10, 20, 30, 40, 50});
  double median = 0, qd = 0;
  b.v.QNormalize(25, median, qd);
  EXPECT_EQ(median, 30.0);
  EXPECT_EQ(qd, 10.0);
  EXPECT_EQ(b.v.GetVal(1), -2.0);
  EXPECT_EQ(a.changes + b.changes, 0);
  Counted c({4, 4, 4});
  c.v.Standardize(mean, sd);  // sd 0: unchanged
  EXPECT_EQ(c.v.GetVal(1), 4.0);
}

TEST(TVectorSort, SortElemsReportsEveryExchange) {
  Counted a({5, 3, 9, 1, 7, 2, 8});
  std::vector<double> replay(a.v.Values().begin(), a.v.Values().end());
  a.v.OnSortExchange = [&](TObject* sender, uint8_t what, int32_t i, int32_t j, int32_t f,
                           int32_t l) {
    EXPECT_EQ(sender, &a.v);
    EXPECT_EQ(what, 0);
    EXPECT_EQ(f, 0);
    EXPECT_EQ(l, 0);
    std::swap(replay[static_cast<std::size_t>(i) - 1], replay[static_cast<std::size_t>(j) - 1]);
  };
  a.v.SortElems(true, 0, 0);
  EXPECT_EQ(a.changes, 1);
  EXPECT_TRUE(std::is_sorted(a.v.Values().begin(), a.v.Values().end()));
  EXPECT_TRUE(std::equal(replay.begin(), replay.end(), a.v.Values().begin()));
  a.v.SortElems(false, 6, 2);  // reversed range
  EXPECT_EQ(a.v.GetVal(1), 1.0);
  EXPECT_EQ(a.v.GetVal(2), 8.0);
  EXPECT_EQ(a.v.GetVal(6), 2.0);
  EXPECT_EQ(a.v.GetVal(7), 9.0);
  const int before = a.changes;
  a.v.SortElems(true, 5, 5);
  a.v.SortElems(true, 9, 99);  // clamped to 7..7
  EXPECT_EQ(a.changes, before);
  Counted n({3, Nan(), 1, 2});
  n.v.SortElems(true, 0, 0);  // NaN counts as the largest value
  EXPECT_EQ(n.changes, 1);
  EXPECT_EQ(n.v.GetVal(1), 1.0);
  EXPECT_EQ(n.v.GetVal(3), 3.0);
  EXPECT_TRUE(std::isnan(n.v.GetVal(4)));
  n.v.SortElems(false, 0, 0);
  EXPECT_TRUE(std::isnan(n.v.GetVal(1)));
  EXPECT_EQ(n.v.GetVal(4), 1.0);
}

TEST(TVectorRandom, FillsAndShuffle) {
  Counted a({0, 0, 0, 0});
  a.v.Clear();
  SetRandSeed(99);
  a.v.FillRandomUniform(2, 3);
  EXPECT_FALSE(a.v.IsEmpty());
  for (const double x : a.v.Values()) {
    EXPECT_GE(x, 2.0);
    EXPECT_LT(x, 3.0);
  }
  TVector g;
  g.Resize(20000);
  g.FillRandomGauss(10, 2);
  double mean = 0, var = 0;
  g.MeanVar(0, 0, mean, var);
  EXPECT_NEAR(mean, 10, 0.1);
  EXPECT_NEAR(std::sqrt(var), 2, 0.1);
  EXPECT_EQ(a.changes, 2);  // Clear, FillRandomUniform (Set's writes came before the handler)
  TVector s;
  s.Resize(100);
  for (int i = 1; i <= 100; ++i) s.SetVal(i, i);
  s.ShuffleElems();
  std::vector<double> sorted(s.Values().begin(), s.Values().end());
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(sorted[static_cast<std::size_t>(i)], i + 1.0);
}
