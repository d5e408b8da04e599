// TMatrix region statistics, histogram, means, correlation, normalisations,
// searching and edge vectors.
#include "ORK_matrix.h"
#include "ORK_univconst.h"
#include "test_matrix_stats_refs.h"
#include "test_support.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using matrix_stats_test::Inf;
using matrix_stats_test::LoadRef;
using matrix_stats_test::NaN;
using matrix_stats_test::NearUnit;
using matrix_stats_test::Refs;
using matrix_stats_test::SameMatrix;
using matrix_stats_test::SetRows;
using numbra_test::RelNear;

namespace {
constexpr double kEps = std::numeric_limits<double>::epsilon();

int32_t Arg(const matrix_stats_test::Ref& r, std::size_t k) { return std::stoi(r.args[k]); }

// A matrix whose OnChange calls are counted.
struct Watched {
  TMatrix m;
  int changes = 0;
  Watched() {
    m.OnChange = [this](TObject* s) {
      EXPECT_EQ(s, &m);
      ++changes;
    };
  }
};
}  // namespace

// ---- moments and order statistics against exact references ------------------

TEST(TMatrixStats, RegionStatisticsMatchExactReferences) {
  // References: exact rational / 60-digit values of the stored doubles
  // (tests/data/matrix_stats/gen_matrix_stats_refs.py). Matrix A sits at
  // 1e9 with a spread below 1, so a formula that subtracts sums of squares
  // keeps no digit. Regions: whole matrices and whole columns (contiguous
  // storage, fast kernel), inner blocks and single rows (general kernel).
  int checked = 0;
  for (const auto& r : Refs().refs) {
    if (r.kind != "region") continue;
    TMatrix m;
    LoadRef(m, r.args[0]);
    const int32_t lc = Arg(r, 1), lr = Arg(r, 2), hc = Arg(r, 3), hr = Arg(r, 4);
    SCOPED_TRACE(r.args[0] + " " + r.args[1] + " " + r.args[2] + " " + r.args[3] + " " + r.args[4]);
    const auto& v = r.values;  // n sum mean var skew kurt skew_s kurt_s gm hm q1 q2 q3 min max
    double mean = 0, var = 0, skew = 0, kurt = 0, skew_s = 0, kurt_s = 0;
    double q1 = 0, q2 = 0, q3 = 0, mn = 0, mx = 0;
    // Compensated sum: at most a unit of rounding of the total.
    EXPECT_TRUE(RelNear(m.Sum(lc, lr, hc, hr), v[1], 1));
    m.MeanVar(lc, lr, hc, hr, mean, var);
    // The mean is m + S1/n: within a unit of rounding of the result.
    EXPECT_TRUE(RelNear(mean, v[2], 1));
    // Deviations from 1e9 are formed exactly (Sterbenz), so the variance
    // carries only the rounding of n squares and sums: n <= 40 gives at
    // most a few eps in practice; 16 leaves room.
    EXPECT_TRUE(RelNear(var, v[3], 16)) << "variance";
    m.SkewKurt(lc, lr, hc, hr, skew, kurt);
    m.SkewKurtSample(lc, lr, hc, hr, skew_s, kurt_s);
    // Third and fourth powers of the deviations cancel to about a fifth of
    // their magnitude: a condition of about 5 on top of the rounding of the
    // sums and the binomial shift, so 64 eps (absolute at scale 1).
    EXPECT_TRUE(NearUnit(skew, v[4], 64)) << "skewness";
    EXPECT_TRUE(NearUnit(kurt, v[5], 64)) << "kurtosis";
    EXPECT_TRUE(NearUnit(skew_s, v[6], 64)) << "sample skewness";
    EXPECT_TRUE(NearUnit(kurt_s, v[7], 64)) << "sample kurtosis";
    // The logs (up to 21) carry 21 eps of absolute error each, and exp
    // turns the absolute error of their mean into a relative one: 64 eps.
    EXPECT_TRUE(RelNear(m.GeometricMean(lc, lr, hc, hr), v[8], 64)) << "geometric mean";
    // n reciprocals and their sum: n eps at worst (n <= 40).
    EXPECT_TRUE(RelNear(m.HarmonicMean(lc, lr, hc, hr), v[9], 40)) << "harmonic mean";
    EXPECT_TRUE(m.Quartiles(lc, lr, hc, hr, q1, q2, q3));
    // x_k + (x_k+1 - x_k) g: the difference is exact, two roundings remain.
    EXPECT_TRUE(RelNear(q1, v[10], 2));
    EXPECT_TRUE(RelNear(q2, v[11], 2));
    EXPECT_TRUE(RelNear(q3, v[12], 2));
    m.MinMax(lc, lr, hc, hr, mn, mx);
    EXPECT_EQ(mn, v[13]);
    EXPECT_EQ(mx, v[14]);
    EXPECT_EQ(m.CountValues(lc, hc, lr, hr, -Inf(), Inf()), static_cast<int32_t>(v[0]));
    ++checked;
  }
  EXPECT_EQ(checked, 11);
}

TEST(TMatrixStats, PercentileSelectsTheRoundedPositionExactly) {
  int checked = 0;
  for (const auto& r : Refs().refs) {
    if (r.kind != "pct") continue;
    TMatrix m;
    LoadRef(m, r.args[0]);
    const double prob = std::stod(r.args[5]);
    // A selection: the element itself, no rounding.
    EXPECT_EQ(m.Percentile(prob, Arg(r, 1), Arg(r, 2), Arg(r, 3), Arg(r, 4)), r.values[0])
        << r.args[0] << " " << r.args[1] << r.args[2] << r.args[3] << r.args[4] << " " << prob;
    ++checked;
  }
  EXPECT_EQ(checked, 88);
}

TEST(TMatrixStats, NistNumAcc4AsColumnAndAsRow) {
  // NIST StRD NumAcc4: 1001 values 10000000.2 +- 0.1. Its exact statistics
  // of the double values are in the reference file; NIST certifies mean
  // 10000000.2 and SD 0.1 for the decimal data, which the doubles allow to
  // about 8.2 digits.
  std::vector<double> y;
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/foundation_scalar/nist/NumAcc4.dat");
  std::string line;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') y.push_back(std::stod(line));
  ASSERT_EQ(y.size(), 1001u);
  double ref_mean = 0, ref_var = 0;
  for (const auto& r : Refs().refs)
    if (r.kind == "nist") {
      ref_mean = r.values[0];
      ref_var = r.values[1];
    }
  const auto n = static_cast<int32_t>(y.size());
  TMatrix col;  // one column: contiguous
  col.Resize(1, n);
  TMatrix row;  // row 2 of a 2-row matrix: a strided region
  row.Resize(n, 2);
  for (int32_t k = 1; k <= n; ++k) {
    col.SetVal(1, k, y[static_cast<std::size_t>(k) - 1]);
    row.SetVal(k, 1, -1e30);
    row.SetVal(k, 2, y[static_cast<std::size_t>(k) - 1]);
  }
  double mean = 0, var = 0;
  col.MeanVar(0, 0, 0, 0, mean, var);
  EXPECT_TRUE(RelNear(mean, ref_mean, 1));
  EXPECT_TRUE(RelNear(var, ref_var, 8));
  EXPECT_LT(std::fabs(std::sqrt(var) - 0.1) / 0.1, 1e-8);  // >= 8 certified digits
  row.MeanVar(0, 2, 0, 2, mean, var);
  EXPECT_TRUE(RelNear(mean, ref_mean, 1));
  EXPECT_TRUE(RelNear(var, ref_var, 8));
}

TEST(TMatrixStats, SmallRegionRules) {
  TMatrix m;
  SetRows(m, {{1, 2, 9}, {3, 4, 9}, {9, 3, 9}});
  double mean = 0, var = 0, s = 0, k = 0, q1 = 0, q2 = 0, q3 = 0;
  struct Case {
    int32_t lc, lr, hc, hr;
    double mean, var;
  };
  // Column 1 rows 1-2 hold 1, 3: variance 1.0 by definition (n < 3);
  // row 1 columns 1-2 hold 1, 2; column 2 holds 2, 4, 3: variance 1.
  const Case cases[] = {{1, 1, 1, 2, 2, 1}, {2, 1, 1, 1, 1.5, 1}, {2, 0, 2, 0, 3, 1}};
  for (const Case& c : cases) {
    m.MeanVar(c.lc, c.lr, c.hc, c.hr, mean, var);
    EXPECT_EQ(mean, c.mean);
    EXPECT_EQ(var, c.var);
  }
  // Quartiles of 1, 2, 3, 4 (column 1 rows 1-2 and column 2 rows 1-2).
  SetRows(m, {{1, 2}, {3, 4}});
  EXPECT_TRUE(m.Quartiles(0, 0, 0, 0, q1, q2, q3));
  EXPECT_EQ(q1, 1.25);
  EXPECT_EQ(q2, 2.5);
  EXPECT_EQ(q3, 3.75);
  EXPECT_TRUE(m.Quartiles(2, 2, 2, 2, q1, q2, q3));  // a single value
  EXPECT_EQ(q1, 4);
  EXPECT_EQ(q3, 4);
  // Percentile: position Round(p n / 100), halves to even.
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0), 3);   // Round(2) = 2
  EXPECT_EQ(m.Percentile(150, 0, 0, 0, 0), 4);  // clamped to 100: the largest
  EXPECT_EQ(m.Percentile(-3, 0, 0, 0, 0), 1);   // clamped to 0: the smallest
  EXPECT_EQ(m.Percentile(NaN(), 0, 0, 0, 0), 1);
  EXPECT_EQ(m.Percentile(62.5, 0, 0, 0, 0), 3);  // Round(2.5) = 2
  SetRows(m, {{1, 2, 3}});
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0), 3);  // Round(1.5) = 2
  // Moments of two values: the matrices compute them (the vectors give 0).
  SetRows(m, {{2, 6}});
  m.SkewKurt(0, 0, 0, 0, s, k);
  EXPECT_EQ(s, 0.0);
  EXPECT_TRUE(NearUnit(k, -2.75, 4));  // (2 h^4 / 2) / (2 h^2)^2 - 3
  m.SkewKurtSample(0, 0, 0, 0, s, k);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(k, 0.0);  // fewer than 4 values
  SetRows(m, {{5, 5, 5, 5, 5}});
  m.SkewKurt(0, 0, 0, 0, s, k);  // no spread: the raw sums, 0
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(k, 0.0);
}

TEST(TMatrixStats, MeansOfNonPositiveValuesRaiseWithTheComponentName) {
  TMatrix m;
  m.SetName("M1");
  SetRows(m, {{2, 8}, {0, 4}});
  EXPECT_TRUE(RelNear(m.GeometricMean(1, 1, 2, 1), 4.0, 4));
  EXPECT_EQ(m.GeometricMean(0, 0, 0, 0), 0.0);  // a zero in the region
  m.SetVal(2, 2, -1);
  try {
    (void)m.GeometricMean(0, 0, 0, 0);
    FAIL() << "no exception";
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"M1\": negative argument passed to GeometricMean");
  }
  for (const double bad : {0.0, -1.0, NaN()}) {
    m.SetVal(2, 2, bad);
    try {
      (void)m.HarmonicMean(2, 1, 2, 2);
      FAIL() << "no exception for " << bad;
    } catch (const EORKMatrixError& e) {
      EXPECT_STREQ(e.what(), "Component \"M1\": negative or zero argument passed to HarmonicMean");
    }
  }
  SetRows(m, {{1, 2, 4}});
  EXPECT_TRUE(RelNear(m.HarmonicMean(0, 0, 0, 0), 3.0 / 1.75, 1));
}

TEST(TMatrixStats, EmptyMatrixGivesNeutralResults) {
  TMatrix m;
  m.Resize(0, 3);
  double a = -7, b = -7, c = -7;
  int32_t ci = -1, ri = -1;
  m.MinMax(0, 0, 0, 0, a, b);
  EXPECT_EQ(a, uc_MaxReal);
  EXPECT_EQ(b, -uc_MaxReal);
  EXPECT_EQ(m.Sum(0, 0, 0, 0), 0.0);
  m.MeanVar(0, 0, 0, 0, a, b);
  EXPECT_EQ(a, 0.0);
  EXPECT_EQ(b, 0.0);
  m.SkewKurt(0, 0, 0, 0, a, b);
  EXPECT_EQ(a, 0.0);
  EXPECT_EQ(b, 0.0);
  EXPECT_FALSE(m.Quartiles(0, 0, 0, 0, a, b, c));
  EXPECT_EQ(a + b + c, 0.0);
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0), 0.0);
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0, 10), 0.0);
  EXPECT_EQ(m.GeometricMean(0, 0, 0, 0), 0.0);
  EXPECT_EQ(m.HarmonicMean(0, 0, 0, 0), 0.0);
  EXPECT_EQ(m.CountValues(0, 0, 0, 0, -1, 1), 0);
  m.Find(0, 0, 0, 0, 1.0, ci, ri);
  EXPECT_EQ(ci, 0);
  EXPECT_EQ(ri, 0);
  TIntVector h;
  int32_t under = -1, over = -1, maxcnt = -1;
  EXPECT_TRUE(m.Histogram(0, 0, 0, 0, 0, 10, 1, &h, under, over, maxcnt));
  EXPECT_EQ(h.NrOfElem(), 10);
  EXPECT_EQ(under + over + maxcnt, 0);
  TMatrix other;
  other.Resize(0, 3);
  EXPECT_EQ(m.Correlate(&other), 0.0);
}

TEST(TMatrixStats, ExtremesBeyondTheSingleRangeAndNaN) {
  // The start values are +-uc_MaxReal (3.4e38); the extremes themselves are
  // reported even beyond them, NaN is passed over.
  TMatrix m;
  SetRows(m, {{1e300, NaN()}, {2e300, 5e299}});
  double mn = 0, mx = 0;
  m.MinMax(0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, 5e299);
  EXPECT_EQ(mx, 2e300);
  SetRows(m, {{-Inf(), NaN()}});
  m.MinMax(0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, -Inf());
  EXPECT_EQ(mx, -Inf());
  SetRows(m, {{NaN(), NaN()}});
  m.MinMax(0, 0, 0, 0, mn, mx);
  EXPECT_EQ(mn, uc_MaxReal);
  EXPECT_EQ(mx, -uc_MaxReal);
}

TEST(TMatrixStats, SumIsCompensatedAndNaNPropagates) {
  TMatrix m;
  SetRows(m, {{1e16, 1.0, -1e16}});  // a plain left-to-right sum gives 0
  EXPECT_EQ(m.Sum(0, 0, 0, 0), 1.0);
  m.SetVal(2, 1, NaN());
  EXPECT_TRUE(std::isnan(m.Sum(0, 0, 0, 0)));
  double mean = 0, var = 0, s = 0, k = 0;
  m.MeanVar(0, 0, 0, 0, mean, var);
  EXPECT_TRUE(std::isnan(mean));
  EXPECT_TRUE(std::isnan(var));
  m.SkewKurt(0, 0, 0, 0, s, k);
  EXPECT_TRUE(std::isnan(s));
  EXPECT_EQ(m.Sum(1, 1, 1, 1), 1e16);  // the region without the NaN
}

TEST(TMatrixStats, CountValuesIsInclusiveAndSkipsNaN) {
  TMatrix m;
  SetRows(m, {{1, 2, 3}, {4, NaN(), 6}});
  // Note the argument order: columns, then rows.
  EXPECT_EQ(m.CountValues(0, 0, 0, 0, 2, 4), 3);
  EXPECT_EQ(m.CountValues(2, 3, 1, 2, 2, 6), 3);  // 2, 3, 6 (NaN not)
  EXPECT_EQ(m.CountValues(0, 0, 0, 0, 5, 4), 0);  // empty value range
  EXPECT_EQ(m.CountValues(0, 0, 2, 2, -Inf(), Inf()), 2);
}

// ---- histogram ---------------------------------------------------------------

TEST(TMatrixStats, HistogramBinsGapAndOverflow) {
  TMatrix m;
  // FirstBin 0, LastBin 10, BinWidth 3: NBins = Round(3.33) = 3 bins [0, 3),
  // [3, 6), [6, 9); overflow from 13 on. 9.5 and 12.9 lie between the last
  // bin and the overflow limit: they go into the last bin.
  SetRows(m, {{-1, 0, 2.9, 3}, {5.99, 6, 9.5, 12.9}, {13, NaN(), 100, 1}});
  TIntVector h;
  int32_t under = 0, over = 0, maxcnt = 0;
  ASSERT_TRUE(m.Histogram(0, 0, 0, 0, 0, 10, 3, &h, under, over, maxcnt));
  ASSERT_EQ(h.NrOfElem(), 3);
  EXPECT_EQ(under, 1);
  EXPECT_EQ(h.GetVal(1), 3);  // 0, 2.9, 1
  EXPECT_EQ(h.GetVal(2), 2);  // 3, 5.99
  EXPECT_EQ(h.GetVal(3), 3);  // 6, 9.5, 12.9
  EXPECT_EQ(over, 3);         // 13, NaN, 100
  EXPECT_EQ(maxcnt, 3);
  EXPECT_EQ(under + over + h.Sum(0, 0), 12);  // every element counted once
  // A sub-region: columns 2-3 (LoX, HiX), rows 2-3 (LoY, HiY).
  ASSERT_TRUE(m.Histogram(2, 2, 3, 3, 0, 10, 3, &h, under, over, maxcnt));
  EXPECT_EQ(h.GetVal(3), 2);  // 6, 9.5
  EXPECT_EQ(over, 2);         // NaN, 100
  // Halves to even: |10 - 0| / 4 = 2.5 gives 2 bins [0, 4), [4, 8); the
  // overflow limit is 14, so 8 <= v < 14 goes into the last bin.
  ASSERT_TRUE(m.Histogram(0, 0, 0, 0, 0, 10, 4, &h, under, over, maxcnt));
  EXPECT_EQ(h.NrOfElem(), 2);
  EXPECT_EQ(h.GetVal(2), 5);  // 5.99, 6, 9.5, 12.9, 13
  EXPECT_EQ(over, 2);         // NaN, 100
}

TEST(TMatrixStats, HistogramRefusesBadBinCountsAndLeavesEverything) {
  TMatrix m;
  SetRows(m, {{1, 2}});
  TIntVector h;
  h.Resize(4);
  h.Fill(7);
  int32_t under = -5, over = -5, maxcnt = -5;
  struct Case {
    double first, last, width;
  };
  // 1000 bins; 0 bins; width 0, negative and NaN.
  const Case bad[] = {{0, 10, 0.01}, {0, 0.1, 1}, {0, 10, 0}, {0, 10, -1}, {0, 10, NaN()}};
  for (const Case& c : bad) {
    EXPECT_FALSE(m.Histogram(0, 0, 0, 0, c.first, c.last, c.width, &h, under, over, maxcnt));
    EXPECT_EQ(h.NrOfElem(), 4);
    EXPECT_EQ(h.GetVal(1), 7);
    EXPECT_EQ(under, -5);
  }
  EXPECT_TRUE(m.Histogram(0, 0, 0, 0, 0, 500, 1, &h, under, over, maxcnt));  // 500 is allowed
  EXPECT_FALSE(m.Histogram(0, 0, 0, 0, 0, 10, 1, nullptr, under, over, maxcnt));
}

// ---- means and correlation ---------------------------------------------------

TEST(TMatrixStats, MeanVecOfColumnsAndRows) {
  TMatrix m;
  m.SetName("M");
  SetRows(m, {{1, 10}, {2, 20}, {6, 60}});
  TVector v;
  m.MeanVec(TDims::dimRow, &v);  // column means
  ASSERT_EQ(v.NrOfElem(), 2);
  EXPECT_EQ(v.GetVal(1), 3);
  EXPECT_EQ(v.GetVal(2), 30);
  m.MeanVec(TDims::dimColumn, &v);  // row means
  ASSERT_EQ(v.NrOfElem(), 3);
  EXPECT_EQ(v.GetVal(1), 5.5);
  EXPECT_EQ(v.GetVal(3), 33);
  try {
    m.MeanVec(TDims::dimRow, nullptr);
    FAIL();
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"M\": MeanVec: no result vector");
  }
  // Means of 1e16, 1, -1e16 and friends need the compensated sum.
  SetRows(m, {{1e16, 3}, {1, 3}, {-1e16, 3}});
  m.MeanVec(TDims::dimRow, &v);
  EXPECT_EQ(v.GetVal(1), 1.0 / 3.0);
}

TEST(TMatrixStats, CorrelateAgainstExactReferences) {
  TMatrix a, a2, b, d;
  LoadRef(a, "A");
  LoadRef(a2, "A2");
  LoadRef(b, "B");
  LoadRef(d, "D");
  TMatrix dleft;
  dleft.Resize(4, 5);
  dleft.CopyFrom(&d, 1, 1, 4, 5, 1, 1);
  for (const auto& r : Refs().refs) {
    if (r.kind != "corr") continue;
    const TMatrix* x = r.args[0] == "A" ? &a : &b;
    const TMatrix* y = r.args[1] == "A2" ? &a2 : &dleft;
    // Deviations from the means are exact (Sterbenz) and the rounding of
    // the means is corrected to first order, so only the rounding of the
    // products remains: about 1 / |r| eps relative (r = 0.09 for A), i.e. a
    // few eps at scale 1. Without the correction A would be off by 180 eps.
    EXPECT_TRUE(NearUnit(x->Correlate(y), r.values[0], 8)) << r.args[0] << " " << r.args[1];
  }
}

TEST(TMatrixStats, CorrelateRules) {
  TMatrix x, y;
  x.SetName("X");
  SetRows(x, {{1, 2}, {3, 4}});
  SetRows(y, {{3, 5}, {7, 9}});  // y = 2x + 1
  EXPECT_TRUE(RelNear(x.Correlate(&y), 1.0, 2));
  SetRows(y, {{-1, -2}, {-3, -4}});
  EXPECT_TRUE(RelNear(x.Correlate(&y), -1.0, 2));
  SetRows(y, {{5, 5}, {5, 5}});  // constant: 0
  EXPECT_EQ(x.Correlate(&y), 0.0);
  EXPECT_EQ(x.Correlate(nullptr), 0.0);
  TMatrix small_x, small_y;  // fewer than 3 pairs
  SetRows(small_x, {{1, 2}});
  SetRows(small_y, {{2, 1}});
  EXPECT_EQ(small_x.Correlate(&small_y), 0.0);
  SetRows(y, {{1, 2, 3, 4}});  // 4 x 1 against 2 x 2
  try {
    (void)x.Correlate(&y);
    FAIL();
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"X\": matrices do not match");
  }
  SetRows(y, {{1, NaN()}, {3, 4}});
  EXPECT_TRUE(std::isnan(x.Correlate(&y)));
}

// ---- percentile from a sample ------------------------------------------------

TEST(TMatrixStats, SampledPercentile) {
  TMatrix m;
  m.Resize(20, 30);
  m.Fill(7.0);
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0, 25), 7.0);
  // Only zeros: the percentile falls among the zero draws.
  m.Fill(0.0);
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0, 25), 0.0);
  // Values 1..600: a sampled median lies in the data and prob 0 / 100 give
  // the sample's extremes.
  for (int32_t c = 1; c <= 20; ++c)
    for (int32_t r = 1; r <= 30; ++r) m.SetVal(c, r, (c - 1) * 30 + r);
  for (const double p : {0.0, 50.0, 100.0}) {
    const double x = m.Percentile(p, 0, 0, 0, 0, 100);
    EXPECT_GE(x, 1);
    EXPECT_LE(x, 600);
    EXPECT_EQ(x, std::floor(x));
  }
  // A sub-region: every draw comes from it.
  for (int k = 0; k < 5; ++k) {
    const double x = m.Percentile(100, 3, 2, 4, 5, 6);  // columns 3-4, rows 2-5
    EXPECT_TRUE((x >= 62 && x <= 65) || (x >= 92 && x <= 95)) << x;
  }
  // SampleSize 0, negative or not below n: the exact percentile.
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0, 0), m.Percentile(50, 0, 0, 0, 0));
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0, -4), m.Percentile(50, 0, 0, 0, 0));
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0, 600), m.Percentile(50, 0, 0, 0, 0));
}

// ---- normalisations ----------------------------------------------------------

TEST(TMatrixStats, StandardizeColumnsAndVectors) {
  Watched w;
  SetRows(w.m, {{1, 5, 2}, {2, 5, 4}, {3, 5, 9}});
  w.changes = 0;
  TVector means, sds;
  means.Resize(2);  // too short: the third mean is dropped
  sds.Resize(3);
  w.m.StandardizeColumns(&means, &sds);
  EXPECT_EQ(w.changes, 1);
  EXPECT_EQ(w.m.GetVal(1, 1), -1.0);  // column 1: mean 2, sd 1
  EXPECT_EQ(w.m.GetVal(1, 3), 1.0);
  EXPECT_EQ(w.m.GetVal(2, 2), 5.0);  // constant column: unchanged
  EXPECT_EQ(means.NrOfElem(), 2);
  EXPECT_EQ(means.GetVal(1), 2.0);
  EXPECT_EQ(means.GetVal(2), 5.0);
  EXPECT_EQ(sds.GetVal(2), 0.0);
  EXPECT_TRUE(RelNear(sds.GetVal(3), std::sqrt(13.0), 2));
  double mean = 0, var = 0;
  w.m.MeanVar(3, 0, 3, 0, mean, var);
  EXPECT_LT(std::fabs(mean), 4 * kEps);
  EXPECT_TRUE(RelNear(var, 1.0, 4));
  // Two rows: MeanVar's variance is 1.0, so the columns are only centred.
  SetRows(w.m, {{1, 10}, {3, 30}});
  w.m.StandardizeColumns(nullptr, nullptr);
  EXPECT_EQ(w.m.GetVal(1, 1), -1.0);
  EXPECT_EQ(w.m.GetVal(2, 2), 10.0);
}

TEST(TMatrixStats, RowOperationsEqualColumnOperationsOfTheTranspose) {
  // 7 x 150: the rows are gathered in blocks of 64, so the last block is
  // partial. The row forms must give exactly the column forms' results.
  TMatrix m;
  SetRandSeed(42);
  m.Resize(7, 150);
  m.FillRandomGauss(1e6, 3.0);
  m.SetVal(3, 100, NaN());                                // one row with a NaN
  for (int32_t c = 1; c <= 7; ++c) m.SetVal(c, 20, 4.0);  // a constant row
  using Op = void (*)(TMatrix&, TVector*, TVector*, bool);
  const Op ops[] = {[](TMatrix& x, TVector* a, TVector* b, bool rows) {
                      rows ? x.StandardizeRows(a, b) : x.StandardizeColumns(a, b);
                    },
                    [](TMatrix& x, TVector* a, TVector* b, bool rows) {
                      rows ? x.QNormalizeRows(25, a, b) : x.QNormalizeColumns(25, a, b);
                    },
                    [](TMatrix& x, TVector* a, TVector*, bool rows) {
                      rows ? x.MeanCenterRows(a) : x.MeanCenterColumns(a);
                    }};
  for (const Op op : ops) {
    TMatrix rows_done, cols_done;
    rows_done.Assign(&m);
    cols_done.Assign(&m);
    cols_done.Transpose();
    TVector a1, b1, a2, b2;
    a1.Resize(150);
    b1.Resize(150);
    a2.Resize(150);
    b2.Resize(150);
    op(rows_done, &a1, &b1, true);
    op(cols_done, &a2, &b2, false);
    cols_done.Transpose();
    EXPECT_TRUE(SameMatrix(rows_done, cols_done));
    const auto same = [](double x, double y) { return x == y || (x != x && y != y); };
    for (int32_t r = 1; r <= 150; ++r) {
      EXPECT_TRUE(same(a1.GetVal(r), a2.GetVal(r))) << r;
      EXPECT_TRUE(same(b1.GetVal(r), b2.GetVal(r))) << r;
    }
  }
}

TEST(TMatrixStats, QNormalizeAndMeanCenterColumns) {
  TMatrix m;
  SetRows(m, {{1, 7}, {2, 7}, {3, 7}, {4, 7}, {5, 7}});
  TVector med, diff;
  med.Resize(2);
  diff.Resize(2);
  m.QNormalizeColumns(25, &med, &diff);
  // Column 1: q = element Round(1.25) = 1 of 1..5, i.e. 2; median Round(2.5)
  // = 2, i.e. 3; d = 1.
  EXPECT_EQ(med.GetVal(1), 3.0);
  EXPECT_EQ(diff.GetVal(1), 1.0);
  EXPECT_EQ(m.GetVal(1, 1), -2.0);
  EXPECT_EQ(m.GetVal(1, 5), 2.0);
  EXPECT_EQ(diff.GetVal(2), 0.0);  // constant column: d = 0, unchanged
  EXPECT_EQ(m.GetVal(2, 3), 7.0);
  TVector means;  // resized by MeanCenterColumns
  SetRows(m, {{1, 1e9 + 1}, {2, 1e9 + 2}, {6, 1e9 + 6}});
  m.MeanCenterColumns(&means);
  ASSERT_EQ(means.NrOfElem(), 2);
  EXPECT_EQ(means.GetVal(1), 3.0);
  EXPECT_EQ(means.GetVal(2), 1e9 + 3);
  EXPECT_EQ(m.GetVal(2, 3), 3.0);
  m.MeanCenterRows(&means);
  ASSERT_EQ(means.NrOfElem(), 3);
  EXPECT_EQ(means.GetVal(1), -2.0);
}

// ---- search -----------------------------------------------------------------

TEST(TMatrixStats, FindNearestInVisitingOrder) {
  TMatrix m;
  SetRows(m, {{5, 1, 9}, {3, 7, 4}});
  int32_t c = 0, r = 0;
  struct Case {
    int32_t lc, hc, lr, hr;
    double value;
    int32_t col, row;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 4.0, 3, 2},    // 5 and 3 are 1 away, 4 at (3, 2) is exact
      {0, 0, 0, 0, 6.0, 1, 1},    // 5 and 7 tie: (1, 1) is visited first
      {2, 3, 0, 0, 8.0, 2, 2},    // 7 (2, 2) before 9 (3, 1): columns first
      {3, 3, 2, 2, -100, 3, 2},   // a one-element region
      {0, 0, 0, 0, NaN(), 0, 0},  // nothing is closer than uc_MaxDouble
  };
  for (const Case& k : cases) {
    m.Find(k.lc, k.hc, k.lr, k.hr, k.value, c, r);
    EXPECT_EQ(c, k.col) << k.value;
    EXPECT_EQ(r, k.row) << k.value;
  }
  SetRows(m, {{Inf(), NaN()}});
  m.Find(0, 0, 0, 0, 1.0, c, r);
  EXPECT_EQ(c, 0);
}

TEST(TMatrixStats, FindInSortedColumn) {
  TMatrix m;
  m.SetName("S");
  SetRows(m, {{1, 9}, {3, 7}, {5, 5}, {7, 3}});
  struct Case {
    int32_t col;
    bool asc;
    double value;
    int32_t row;
  };
  const Case cases[] = {
      {1, true, 4, 3},   {1, true, 3, 2},  {1, true, 2.9, 2}, {1, true, -5, 1},  {1, true, 99, 4},
      {1, true, 6.1, 4}, {2, false, 4, 4}, {2, false, 8, 2},  {2, false, 10, 1}, {2, false, 5, 3},
  };
  for (const Case& k : cases)
    EXPECT_EQ(m.FindInSortedColumn(k.col, k.asc, k.value), k.row) << k.col << " " << k.value;
  for (const int32_t bad : {0, 3, -1}) {
    try {
      (void)m.FindInSortedColumn(bad, true, 1.0);
      FAIL();
    } catch (const EORKMatrixError& e) {
      EXPECT_EQ(std::string(e.what()), "Component \"S\": FindInSortedColumn: column " +
                                           std::to_string(bad) + " outside 1..2");
    }
  }
  m.Resize(2, 0);
  EXPECT_EQ(m.FindInSortedColumn(1, true, 1.0), 0);
}

// ---- edge vectors -------------------------------------------------------------

TEST(TMatrixStats, EdgeVectorAggregates) {
  TMatrix m;
  m.SetName("E");
  SetRows(m, {{1, -2, 4}, {NaN(), 8, 1e16}, {3, 3, -1e16}});
  struct Case {
    TOrientation orient;
    TEdgeOp op;
    std::vector<double> expect;
  };
  const Case cases[] = {
      {TOrientation::orRows, TEdgeOp::eopMin, {-2, 8, -1e16}},
      {TOrientation::orRows, TEdgeOp::eopMax, {4, 1e16, 3}},
      {TOrientation::orRows, TEdgeOp::eopSum, {3, NaN(), 6 - 1e16}},
      {TOrientation::orRows, TEdgeOp::eopMean, {1, NaN(), (6 - 1e16) / 3}},
      {TOrientation::orColumns, TEdgeOp::eopMin, {1, -2, -1e16}},
      {TOrientation::orColumns, TEdgeOp::eopMax, {3, 8, 1e16}},
      {TOrientation::orColumns, TEdgeOp::eopSum, {NaN(), 9, 4}},  // 4 + 1e16 - 1e16
      {TOrientation::orColumns, TEdgeOp::eopMean, {NaN(), 3, 4.0 / 3.0}},
  };
  TVector v;
  for (const Case& k : cases) {
    m.EdgeVector(k.orient, k.op, &v);
    ASSERT_EQ(v.NrOfElem(), static_cast<int32_t>(k.expect.size()));
    for (std::size_t i = 0; i < k.expect.size(); ++i) {
      const double got = v.GetVal(static_cast<int32_t>(i) + 1);
      if (std::isnan(k.expect[i]))
        EXPECT_TRUE(std::isnan(got));
      else
        EXPECT_EQ(got, k.expect[i]) << static_cast<int>(k.op) << " " << i;
    }
  }
  // A row with no number: the start values.
  SetRows(m, {{NaN(), NaN()}});
  m.EdgeVector(TOrientation::orRows, TEdgeOp::eopMin, &v);
  EXPECT_EQ(v.GetVal(1), uc_MaxDouble);
  m.EdgeVector(TOrientation::orRows, TEdgeOp::eopMax, &v);
  EXPECT_EQ(v.GetVal(1), -uc_MaxDouble);
  try {
    m.EdgeVector(TOrientation::orRows, TEdgeOp::eopSum, nullptr);
    FAIL();
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"E\": EdgeVector: no result vector");
  }
}

TEST(TMatrixStats, StatisticsDoNotFireOnChange) {
  Watched w;
  SetRows(w.m, {{1, 2}, {3, 4}});
  w.changes = 0;
  double a = 0, b = 0, c = 0;
  int32_t i = 0, j = 0;
  w.m.MinMax(0, 0, 0, 0, a, b);
  w.m.MeanVar(0, 0, 0, 0, a, b);
  w.m.Quartiles(0, 0, 0, 0, a, b, c);
  (void)w.m.Percentile(30, 0, 0, 0, 0);
  w.m.Find(0, 0, 0, 0, 2, i, j);
  TVector v;
  w.m.EdgeVector(TOrientation::orColumns, TEdgeOp::eopMean, &v);
  w.m.MeanVec(TDims::dimRow, &v);
  EXPECT_EQ(w.changes, 0);
}
