// Kolmogorov-Smirnov, Lilliefors and Shapiro-Wilk p-values and critical
// values: exact rational references (tests/data/statis/ks_exact.txt), the
// published tables, and the properties the approximations must keep.
#include "ORK_statis.h"
#include "statis/statis_detail.h"
#include "statis_test_util.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using statis_test::TWorst;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

TEST(StatisKS, CriticalValueTable) {
  EXPECT_EQ(KolmogSmir1SampleTestStat(20, TSignifLevel::Dot05), 0.294);
  EXPECT_EQ(KolmogSmir1SampleTestStat(1, TSignifLevel::Dot20), 0.900);
  EXPECT_EQ(KolmogSmir1SampleTestStat(13, TSignifLevel::Dot01), 0.433);
  EXPECT_DOUBLE_EQ(KolmogSmir1SampleTestStat(21, TSignifLevel::Dot05), 1.358 / std::sqrt(21.0));
  EXPECT_DOUBLE_EQ(KolmogSmir1SampleTestStat(400, TSignifLevel::Dot20), 1.073 / 20.0);
  EXPECT_TRUE(std::isnan(KolmogSmir1SampleTestStat(0, TSignifLevel::Dot05)));
  EXPECT_TRUE(std::isnan(KSQuantile(-3, TSignifLevel::Dot05)));
}

TEST(StatisKS, PValueMatchesExactRationalComputation) {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/statis/ks_exact.txt");
  std::string line;
  TWorst w{"KSPValue (absolute)"};
  int rows = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    int n = 0;
    double d = 0;
    long double p = 0;
    ss >> n >> d >> p;
    ++rows;
    const double e = std::fabs(KSPValue(n, d) - static_cast<double>(p));
    w.Add(e, std::to_string(n) + " " + std::to_string(d));
    // Matrix products of order up to 2 n d + 1: a few ulp of 1 per product.
    EXPECT_LT(e, 1e-13) << n << " " << d;
  }
  EXPECT_GE(rows, 30);
}

TEST(StatisKS, PValueEdgesAndBranches) {
  EXPECT_EQ(KSPValue(10, 0.0), 1.0);
  EXPECT_EQ(KSPValue(10, -0.5), 1.0);
  EXPECT_EQ(KSPValue(10, 1.0), 0.0);
  EXPECT_EQ(KSPValue(10, 2.0), 0.0);
  EXPECT_TRUE(std::isnan(KSPValue(0, 0.5)));
  EXPECT_TRUE(std::isnan(KSPValue(10, kNaN)));
  // d below 1/(2n): D_n is always at least 1/(2n).
  EXPECT_NEAR(KSPValue(10, 0.04), 1.0, 1e-15);
  // The asymptotic branch (n d^2 > 7.24) is the stated formula.
  const double s = 0.5 * 0.5 * 40;
  EXPECT_DOUBLE_EQ(KSPValue(40, 0.5),
                   2 * std::exp(-(2.000071 + 0.331 / std::sqrt(40.0) + 1.409 / 40) * s));
  // Beyond n = 10000 the corrected limit distribution continues the exact
  // one without a visible step.
  for (double lambda : {0.7, 1.2}) {
    const double below = KSPValue(10000, lambda / 100.0);
    const double above = KSPValue(10001, lambda / std::sqrt(10001.0));
    EXPECT_NEAR(below, above, 1e-4) << lambda;
  }
  // The corrected limit distribution against the exact one at n = 2000
  // (its error is O(1/n): 7e-5 here, 1.5e-5 at the switch n = 10000).
  for (double lambda : {0.5, 0.8, 1.1, 1.5, 1.9}) {
    const double rn = std::sqrt(2000.0);
    EXPECT_NEAR(detail::KolmogorovSf(lambda + 1 / (6 * rn)),
                detail::KSPValueExact(2000, lambda / rn), 1e-4)
        << lambda;
  }
  EXPECT_NEAR(detail::KolmogorovSf(1.358), 0.05, 2e-4);  // the classic 5 % point
  EXPECT_NEAR(detail::KolmogorovSf(1.18), 1 - (1 - detail::KolmogorovSf(1.18 + 1e-12)), 1e-11);
}

TEST(StatisKS, TableValuesHaveTheirLevels) {
  // The table's three-decimal critical values give p-values at their level
  // to within the effect of the rounding (the slope of the p-value times
  // 5e-4) and of the table's own approximation.
  const TSignifLevel levels[] = {TSignifLevel::Dot20, TSignifLevel::Dot10, TSignifLevel::Dot05,
                                 TSignifLevel::Dot01};
  const double alpha[] = {0.20, 0.10, 0.05, 0.01};
  for (int n : {5, 10, 20})
    for (int i = 0; i < 4; ++i) {
      const double d = KolmogSmir1SampleTestStat(n, levels[i]);
      EXPECT_NEAR(KSPValue(n, d), alpha[i], 0.1 * alpha[i] + 0.003) << n << " " << alpha[i];
      const double q = KSQuantile(n, levels[i]);
      EXPECT_NEAR(KSPValue(n, q), alpha[i], 1.2e-4) << n << " " << alpha[i];
      EXPECT_NEAR(q, d, 0.01) << n;
    }
}

TEST(StatisLilliefors, PValueAndQuantile) {
  EXPECT_EQ(LillieforsPValue(5, 0.3), -1.0);
  EXPECT_EQ(LillieforsPValue(-2, 0.3), -1.0);
  EXPECT_EQ(LillieforsPValue(20, 1e-6), 1.0);
  EXPECT_LT(LillieforsPValue(20, 0.9), 1e-30);
  EXPECT_TRUE(std::isnan(LillieforsPValue(20, kNaN)));
  // Critical values of the Lilliefors statistic (Dallal & Wilkinson's
  // corrected table): n = 20 at 5 % about 0.192, n = 40 at 10 % about 0.125.
  EXPECT_NEAR(LillieforsPValue(20, 0.192), 0.05, 0.005);
  EXPECT_NEAR(LillieforsPValue(40, 0.125), 0.10, 0.015);
  EXPECT_NEAR(LillieforsQuantile(20, 0.05), 0.192, 0.004);
  // Quantile and p-value are two separate fits of one distribution; they
  // agree to within the accuracy of such fits at the 1 % point.
  for (int n : {10, 30, 100})
    for (double a : {0.01, 0.05, 0.1})
      EXPECT_NEAR(LillieforsPValue(n, LillieforsQuantile(n, a)), a, 0.4 * a) << n << " " << a;
  // n > 100 is scaled to n = 100.
  EXPECT_DOUBLE_EQ(LillieforsPValue(400, 0.05), LillieforsPValue(100, 0.05 * std::pow(4.0, 0.49)));
  EXPECT_TRUE(std::isnan(LillieforsQuantile(0, 0.05)));
}

TEST(StatisShapiroWilk, ExactForThreeObservations) {
  // P(W <= w) = 6/pi (asin sqrt w - pi/3); W >= 3/4.
  EXPECT_NEAR(ShapiroWilkIntegral(0.8, 3, 3), 6 / M_PI * (std::asin(std::sqrt(0.8)) - M_PI / 3),
              1e-15);
  EXPECT_EQ(ShapiroWilkIntegral(0.75, 3, 3), 0.0);
  EXPECT_EQ(ShapiroWilkIntegral(0.5, 3, 3), 0.0);
  EXPECT_EQ(ShapiroWilkIntegral(1.0, 3, 3), 1.0);
}

TEST(StatisShapiroWilk, MatchesTablesAndSimulation) {
  // Shapiro & Wilk (1965), Table 6: W at the 1 % and 5 % points (their W
  // used exact coefficients; Royston's differ little for n <= 20).
  struct Row {
    int n;
    double w01, w05;
  };
  const Row rows[] = {{5, 0.686, 0.762},  {8, 0.749, 0.818},  {10, 0.781, 0.842},
                      {12, 0.805, 0.859}, {15, 0.835, 0.881}, {20, 0.868, 0.905}};
  for (const Row& r : rows) {
    EXPECT_NEAR(ShapiroWilkIntegral(r.w05, r.n, r.n), 0.05, 0.012) << r.n;
    EXPECT_NEAR(ShapiroWilkIntegral(r.w01, r.n, r.n), 0.01, 0.004) << r.n;
  }
  // Simulated null distribution of W with Royston's coefficients: agreement
  // within four standard errors plus 0.003 for the approximation itself.
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/statis/sw_montecarlo.txt");
  std::string line;
  TWorst w{"ShapiroWilkIntegral vs simulation"};
  int count = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    int n = 0;
    double W = 0, p = 0, se = 0;
    ss >> n >> W >> p >> se;
    ++count;
    const double got = ShapiroWilkIntegral(W, n, n);
    w.Add(std::fabs(got - p) / se, std::to_string(n) + " " + std::to_string(W));
    EXPECT_NEAR(got, p, 4 * se + 0.003) << n << " " << W;
  }
  EXPECT_GE(count, 15);
  // Monotone in W on both polynomial ranges and at their seam.
  for (int n : {4, 11, 12, 100, 5000}) {
    double last = 0;
    for (double w = 0.5; w < 1.0; w += 0.01) {
      const double p = ShapiroWilkIntegral(w, n, n);
      EXPECT_GE(p, last) << n << " " << w;
      last = p;
    }
  }
}

TEST(StatisShapiroWilk, CensoringAndDomain) {
  // Royston's censoring correction vanishes as the censored share does.
  const double full = ShapiroWilkIntegral(0.95, 100, 100);
  EXPECT_NEAR(ShapiroWilkIntegral(0.95, 100, 99), full, 0.02);
  EXPECT_NE(ShapiroWilkIntegral(0.95, 100, 60), full);
  EXPECT_TRUE(std::isfinite(ShapiroWilkIntegral(0.95, 100, 20)));  // 80 % censored
  const double bad[][3] = {{0.9, 2, 2},   {0.9, 5001, 5001}, {0.9, 19, 15}, {0.9, 100, 19},
                           {0.9, 10, 11}, {0.0, 10, 10},     {1.1, 10, 10}, {kNaN, 10, 10}};
  for (const auto& b : bad)
    EXPECT_TRUE(std::isnan(
        ShapiroWilkIntegral(b[0], static_cast<int32_t>(b[1]), static_cast<int32_t>(b[2]))))
        << b[0] << " " << b[1] << " " << b[2];
  EXPECT_EQ(ShapiroWilkIntegral(0.3, 4, 4), 0.0);  // below the range of the n <= 11 transform
  EXPECT_GT(ShapiroWilkIntegral(0.4, 4, 4), 0.0);
}
