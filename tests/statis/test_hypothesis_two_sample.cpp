// t-tests, Mann-Whitney U and Shapiro-Wilk W against SciPy (and, for W,
// against AS R94 in double precision: SciPy's shapiro works in single
// precision), with the result codes of degenerate input.
#include "hypothesis_data.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

using namespace numbra;
using hypothesis_test::DataFile;
using hypothesis_test::Fill;
using hypothesis_test::ReadRows;
using hypothesis_test::Rel;
using hypothesis_test::Samples;

namespace {
double Num(const std::string& s) { return std::strtod(s.c_str(), nullptr); }
}  // namespace

TEST(TwoSampleTests, AgreeWithScipy) {
  double worst_stat = 0, worst_p = 0;
  int count = 0;
  for (const auto& row : ReadRows(DataFile("scipy_two_sample.txt"))) {
    TVector a, b;
    Fill(a, Samples().at(row[1]));
    Fill(b, Samples().at(row[2]));
    const bool two = row[4] == "two-sided";
    const double stat = Num(row[5]), p = Num(row[6]), df = Num(row[7]);
    const std::string what = row[0] + " " + row[1] + " " + row[2] + " " + row[3] + " " + row[4];
    double got_stat = 0, got_p = 0;
    if (row[0] == "ttest") {
      const TtTestVersion ver = row[3] == "paired"   ? TtTestVersion::ttPaired
                                : row[3] == "pooled" ? TtTestVersion::ttHomoScedastic
                                                     : TtTestVersion::ttHeteroScedastic;
      double m1, m2, v1, v2, se, t, d;
      int32_t nd = 0;
      got_p = Perform2SampleTTest(a, b, ver, two, m1, m2, v1, v2, se, t, d, nd);
      got_stat = t;
      EXPECT_LT(Rel(d, df), 1e-13) << what;
      EXPECT_EQ(got_p, Perform2SampleTTest(a, b, ver, two)) << what;
      EXPECT_EQ(nd, ver == TtTestVersion::ttPaired ? a.NrOfElem() : a.NrOfElem() + b.NrOfElem());
    } else {
      got_p = PerformMannWhitneyUTest(a, b, two, got_stat);
    }
    worst_stat = std::max(worst_stat, Rel(got_stat, stat));
    worst_p = std::max(worst_p, Rel(got_p, p));
    // Statistic to 1e-10 (relative; absolute for U = 0), p-values to 1e-8.
    EXPECT_LE(Rel(got_stat, stat), 1e-10) << what << ": " << got_stat << " vs " << stat;
    EXPECT_LE(Rel(got_p, p), 1e-8) << what << ": " << got_p << " vs " << p;
    ++count;
  }
  EXPECT_EQ(count, 62);
  std::printf("[ scipy    ] t and U over %d cases: statistic %.2g, p-value %.2g (worst rel.)\n",
              count, worst_stat, worst_p);
}

TEST(ShapiroWilkTest, AgreesWithDoubleAlgorithmAndScipy) {
  double worst_w = 0, worst_p = 0, worst_w_scipy = 0;
  for (const auto& row : ReadRows(DataFile("scipy_shapiro.txt"))) {
    TVector v;
    Fill(v, Samples().at(row[0]));
    double w = 0, p = 0;
    ASSERT_EQ(ShapiroWilkTest(v, 0, w, p), 0) << row[0];
    // 1 - W carries the digits; relative error of 1 - W to 1e-9 keeps W
    // itself to 1e-10 and better.
    EXPECT_LE(Rel(1 - w, 1 - Num(row[3])), 1e-9) << row[0];
    EXPECT_LE(Rel(w, Num(row[3])), 1e-10) << row[0];
    EXPECT_LE(Rel(p, Num(row[4])), 1e-8) << row[0];
    // SciPy's single-precision W: 4e-6 absolute at n = 5000, where its sums
    // of 5000 floats lose most.
    EXPECT_NEAR(w, Num(row[1]), 5e-6) << row[0];
    worst_w = std::max(worst_w, Rel(w, Num(row[3])));
    worst_p = std::max(worst_p, Rel(p, Num(row[4])));
    worst_w_scipy = std::max(worst_w_scipy, std::fabs(w - Num(row[1])));
  }
  std::printf("[ shapiro  ] double AS R94: W %.2g, p %.2g rel.; SciPy (float32) W %.2g abs.\n",
              worst_w, worst_p, worst_w_scipy);
}

TEST(ShapiroWilkTest, CodesAndCensoring) {
  TVector v;
  double w = 0, p = 0;
  Fill(v, {1, 2});
  EXPECT_EQ(ShapiroWilkTest(v, 0, w, p), 1);
  EXPECT_TRUE(std::isnan(w));
  Fill(v, {3, 3, 3, 3});
  EXPECT_EQ(ShapiroWilkTest(v, 0, w, p), 6);
  Fill(v, {1, 2, NAN, 4});
  EXPECT_EQ(ShapiroWilkTest(v, 0, w, p), 7);
  Fill(v, {1, 2, 3, 4});
  EXPECT_EQ(ShapiroWilkTest(v, 3, w, p), 3);   // fewer in total than observed
  EXPECT_EQ(ShapiroWilkTest(v, 10, w, p), 3);  // censoring needs n >= 20
  const std::vector<double>& big = Samples().at("sw5000");
  std::vector<double> more(big);
  more.push_back(3.0);
  Fill(v, more);
  EXPECT_EQ(ShapiroWilkTest(v, 0, w, p), 2);
  EXPECT_GT(w, 0.99);
  EXPECT_TRUE(std::isnan(p));
  // Censored: the 40 smallest of 50; only the p-value's correction moves.
  std::vector<double> s = Samples().at("sw50");
  std::sort(s.begin(), s.end());
  s.resize(40);
  Fill(v, s);
  double wc = 0, pc = 0;
  ASSERT_EQ(ShapiroWilkTest(v, 50, wc, pc), 0);
  EXPECT_GT(wc, 0.9);
  EXPECT_NEAR(pc, ShapiroWilkIntegral(wc, 50, 40), 1e-15);
  Fill(v, {1, 2, 3, 4});
  EXPECT_EQ(ShapiroWilkTest(v, 4, w, p), 0);  // NumTotal = count: complete
  EXPECT_NEAR(w, 0.9929120068006192, 1e-13);  // gen_two_sample.py swilk_double([1, 2, 3, 4])
}

TEST(TwoSampleTests, DegenerateInput) {
  TVector a, b;
  double m1, m2, v1, v2, se, t, df, u = 0;
  int32_t nd;
  const auto tt = [&](TtTestVersion ver) {
    return Perform2SampleTTest(a, b, ver, true, m1, m2, v1, v2, se, t, df, nd);
  };
  Fill(a, {1});
  Fill(b, {1, 2, 3});
  EXPECT_EQ(tt(TtTestVersion::ttHomoScedastic), -1.0);
  Fill(a, {1, 2});
  EXPECT_EQ(tt(TtTestVersion::ttPaired), -2.0);
  EXPECT_EQ(tt(TtTestVersion::ttHeteroScedastic), tt(TtTestVersion::ttHeteroScedastic));
  Fill(a, {2, 2, 2});
  Fill(b, {2, 2, 2});
  EXPECT_EQ(tt(TtTestVersion::ttHomoScedastic), -3.0);
  EXPECT_EQ(tt(TtTestVersion::ttPaired), -3.0);
  Fill(b, {5, 5, 5});
  EXPECT_EQ(tt(TtTestVersion::ttHeteroScedastic), 0.0);
  EXPECT_EQ(t, -INFINITY);
  EXPECT_EQ(Perform2SampleTTest(a, b, TtTestVersion::ttHomoScedastic, false), 1.0);
  Fill(b, {5, NAN, 5});
  EXPECT_TRUE(std::isnan(tt(TtTestVersion::ttHomoScedastic)));
  EXPECT_TRUE(std::isnan(PerformMannWhitneyUTest(a, b, true, u)));
  Fill(a, {4, 4, 4, 4});
  Fill(b, {4, 4});
  EXPECT_EQ(PerformMannWhitneyUTest(a, b, true, u), 1.0);
  EXPECT_EQ(u, 4.0);
  // U counts ties as one half: (3 > 1, 3 > 2, 3 = 3) + ...
  Fill(a, {3, 5});
  Fill(b, {1, 2, 3});
  (void)PerformMannWhitneyUTest(a, b, true, u);
  EXPECT_EQ(u, 2.5 + 3.0);
}
