// Normality distances, runs tests, the array percentile, the density
// estimate and the Wilcoxon signed-rank critical values.
#include "hypothesis_data.h"
#include "statis/hypothesis_detail.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

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

TEST(NormalityDistances, AgreeWithScipyKstest) {
  int count = 0;
  for (const auto& row : ReadRows(DataFile("scipy_misc.txt"))) {
    if (row[0] != "ks" && row[0] != "lilliefors") continue;
    TVector v;
    Fill(v, Samples().at(row[1]));
    const double d =
        row[0] == "ks" ? PerformKSNormalityTest(v, false) : PerformLillieforsTest(v, false);
    // nDistriIntegral is accurate to about 1e-8 relative.
    EXPECT_NEAR(d, Num(row[2]), 2e-8) << row[0] << " " << row[1];
    for (int32_t i = 2; i <= v.NrOfElem(); ++i) ASSERT_LE(v.GetVal(i - 1), v.GetVal(i));
    ++count;
  }
  EXPECT_EQ(count, 14);
  TVector v;
  Fill(v, {0.5, -0.5, 0.0});
  double mean = 0, var = 0;
  (void)PerformLillieforsTest(v, false);
  v.MeanVar(0, 0, mean, var);
  EXPECT_NEAR(mean, 0.0, 1e-16);  // standardized in place
  EXPECT_NEAR(var, 1.0, 1e-15);
  Fill(v, {0.1, NAN});
  EXPECT_TRUE(std::isnan(PerformKSNormalityTest(v, false)));
}

TEST(RunsTests, ExactDistributionAgainstEnumeration) {
  // Every arrangement of n1 ones among n1 + n2 places, counted by runs.
  for (int n1 = 0; n1 <= 7; ++n1)
    for (int n2 = 0; n2 <= 7; ++n2) {
      const int n = n1 + n2;
      std::vector<double> count(static_cast<std::size_t>(n) + 2, 0.0);
      double total = 0;
      for (uint32_t m = 0; m < (1u << n); ++m) {
        if (std::popcount(m) != n1) continue;
        int runs = n > 0 ? 1 : 0;
        for (int i = 1; i < n; ++i) runs += ((m >> i) & 1u) != ((m >> (i - 1)) & 1u);
        count[static_cast<std::size_t>(runs)] += 1;
        total += 1;
      }
      double cum = 0;
      for (int r = 0; r <= n + 1; ++r) {
        if (r <= n) cum += count[static_cast<std::size_t>(r)];
        // One kind only: the formula has no term, and the result is 0.
        const double expect = (r < 2 || n1 == 0 || n2 == 0) ? 0.0 : cum / total;
        EXPECT_NEAR(ExactRunsTest(n1, n2, r), expect, 1e-15) << n1 << " " << n2 << " " << r;
      }
    }
  for (const auto& row : ReadRows(DataFile("runs_exact.txt"))) {
    const int n1 = std::atoi(row[0].c_str()), n2 = std::atoi(row[1].c_str());
    const int r = std::atoi(row[2].c_str());
    // Terms through lgamma: about 1e-12 relative for sizes in the thousands.
    EXPECT_LE(Rel(ExactRunsTest(n1, n2, r), Num(row[3])), 5e-12) << n1 << " " << n2 << " " << r;
    EXPECT_LE(Rel(ExactRunsTest(n2, n1, r), Num(row[3])), 5e-12);
  }
  EXPECT_NEAR(ExactRunsTest(40, 40, 2000000000), 1.0, 1e-13);  // a sum of 81 terms
  EXPECT_TRUE(std::isnan(ExactRunsTest(-1, 4, 3)));
}

TEST(RunsTests, BitFieldsAndSerialData) {
  struct Case {
    std::string bits;
    double p;
    bool result;
  };
  const auto phi_z = [](double runs, double n1, double n0) {
    const double nn = n1 + n0, a = 2 * n1 * n0;
    const double z = (runs - a / nn - 1) / std::sqrt(a * (a - nn) / (nn * nn) / (nn - 1));
    return z > 0 ? 1 - nDistriIntegral(z) : nDistriIntegral(z);
  };
  const Case cases[] = {
      {"1010101010", 1.0, false},         // exact path, 10 runs
      {"1111100000", 2.0 / 252.0, true},  // exact, 2 runs
      {"0000000000", 0.0, true},          // one kind only
      {std::string(30, '1') + std::string(30, '0'), phi_z(2, 30, 30), true},
      {[] {  // 40 ones, 14 zeros, never two zeros together: normal path
         std::string s;
         for (int i = 0; i < 40; ++i) s += (i % 3 == 0) ? "10" : "1";
         return s;
       }(),
       -1.0, false},  // p from the approximation's formula
  };
  for (const Case& c : cases) {
    TBitFld bits;
    bits.SetSize(static_cast<int32_t>(c.bits.size()) - 1);
    int n1 = 0, runs = 1;
    for (std::size_t i = 0; i < c.bits.size(); ++i) {
      bits.SetBit(static_cast<int32_t>(i), c.bits[i] == '1');
      n1 += c.bits[i] == '1';
      if (i > 0 && c.bits[i] != c.bits[i - 1]) ++runs;
    }
    double p = -5;
    const bool r = RunsTest(bits, p);
    const int n0 = static_cast<int>(c.bits.size()) - n1;
    const double expect = c.p >= 0 ? c.p : phi_z(runs, n1, n0);
    EXPECT_NEAR(p, expect, 1e-14 + 1e-8 * expect) << c.bits;
    EXPECT_EQ(r, p < 0.05) << c.bits;
    if (c.p >= 0) {
      EXPECT_EQ(r, c.result) << c.bits;
    }
  }
  TVector v;
  Fill(v, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  double p = 0;
  EXPECT_TRUE(RunsTestSerial(v, p));
  EXPECT_NEAR(p, 2.0 / 252.0, 1e-16);
  Fill(v, {1, 9, 2, 8, 3, 7, 4, 6});
  EXPECT_FALSE(RunsTestSerial(v, p));
  EXPECT_NEAR(p, 1.0, 1e-15);
}

TEST(PercentileOfArray, CodesAndSelection) {
  struct Case {
    double prob;
    int32_t first, last, code;
    double value;
  };
  const Case cases[] = {
      {150, 0, 5, -2, 0}, {150, -1, 9, -2, 0}, {50, 3, 1, -3, 0},  {50, 9, 1, -3, 0},
      {50, 0, 6, -1, 0},  {50, -1, 2, -1, 0},  {NAN, 0, 5, -2, 0}, {50, 2, 5, 0, 3},
      {0, 2, 5, 0, 1},    {100, 2, 5, 0, 4},   {62.5, 2, 5, 0, 3},  // 2.5 -> 2 (even)
      {37.5, 2, 5, 0, 3},                                           // 1.5 -> 2
      {30, 2, 5, 0, 2},                                             // 1.2 -> 1
      {12.5, 2, 5, 0, 1},                                           // 0.5 -> 0
      {87.5, 2, 5, 0, 4},                                           // 3.5 -> 4, limited to 3
      {50, 0, 0, 0, 9},
  };
  for (const Case& c : cases) {
    std::vector<double> d = {9, 8, 4, 1, 3, 2};
    double value = -7;
    EXPECT_EQ(PercentileOfArray(d, c.prob, c.first, c.last, value), c.code) << c.prob;
    EXPECT_EQ(value, c.value) << c.prob << " " << c.first << " " << c.last;
  }
  std::vector<double> empty;
  double value = 1;
  EXPECT_EQ(PercentileOfArray(empty, 50, 0, 0, value), -1);
}

namespace {

// The density by the documented rule, with the width scans as literal
// loops over the sorted values (0-based here; only gaps between two values).
std::vector<double> BruteDensity(std::vector<double> s, double lo, double hi, double wf, double r,
                                 int bins) {
  std::sort(s.begin(), s.end());
  const int n = static_cast<int>(s.size());
  std::vector<double> w(s.size());
  for (int i = 0; i < n; ++i) {
    double sum = 0;
    int cnt = 0;
    for (int j = std::min(i + 1, n - 1); j >= 1 && std::fabs(s[j] - s[i]) < r; --j)
      sum += s[j] - s[j - 1], ++cnt;
    for (int j = std::max(i - 1, 0); j <= n - 2 && std::fabs(s[j] - s[i]) < r; ++j)
      sum += s[j + 1] - s[j], ++cnt;
    const double h = r > 0 ? (cnt > 0 ? (sum > 0 ? sum / cnt : r / cnt) : r) : 0.0;
    w[i] = h != 0 ? wf * h : wf;
  }
  std::vector<double> d(static_cast<std::size_t>(bins) + 1);
  for (int b = 0; b <= bins; ++b) {
    const double x = lo + b * (hi - lo) / bins;
    long double acc = 0;
    for (int i = 0; i < n; ++i) acc += std::exp(-0.5 * std::pow((x - s[i]) / w[i], 2)) / w[i];
    d[b] = static_cast<double>(acc / n) / std::sqrt(2 * M_PI);
  }
  return d;
}

}  // namespace

TEST(EstimateProbDensity, BinsWidthsAndProgress) {
  struct Case {
    std::vector<double> data;
    double lo, hi, wf, r;
    int bins, out_bins;
  };
  std::mt19937_64 gen(7);
  std::normal_distribution<double> nd(0.0, 1.0);
  std::vector<double> ties(400);  // many equal values: gaps of 0 inside runs
  for (double& x : ties) x = std::round(nd(gen) * 8.0) / 8.0;
  std::vector<double> smooth(300);
  for (double& x : smooth) x = nd(gen);
  const Case cases[] = {
      {{4.0, 1.0, 2.0, 2.5, 7.0, 3.0}, -2.0, 10.0, 1.5, 1.6, 5, 10},  // bins clamped to 10
      {ties, -4.0, 4.0, 1.0, 0.3, 64, 64},
      {ties, -4.0, 4.0, 0.0, 0.01, 64, 64},  // factor 0 -> 1; radius below the spacing
      {std::vector<double>(smooth.begin(), smooth.begin() + 20), -3.0, 3.0, 2.0, 0.2, 20000, 10000},
      {smooth, -3.0, 3.0, 1.0, -1.0, 30, 30},  // radius <= 0: width = factor
  };
  for (const Case& c : cases) {
    for (const double shift : {0.0, 1000.0}) {  // the estimate moves with the data
      TVector v, dens;
      std::vector<double> shifted = c.data;
      for (double& x : shifted) x += shift;
      Fill(v, shifted);
      int32_t mn = -1, mx = -1, calls = 0;
      double last_percent = 0;
      EstimateProbDensity(v, dens, c.lo + shift, c.hi + shift, c.wf, c.r, c.bins, mn, mx,
                          [&](TObject* sender, double steps, double percent) {
                            EXPECT_EQ(sender, nullptr);
                            EXPECT_EQ(steps, ++calls);
                            last_percent = percent;
                          });
      const int n = static_cast<int>(c.data.size());
      EXPECT_EQ(calls, n + c.out_bins + 1);
      EXPECT_DOUBLE_EQ(last_percent, 100.0 * (n + c.out_bins + 1) / (n + c.out_bins));
      ASSERT_EQ(dens.NrOfElem(), c.out_bins + 1);
      for (int32_t i = 2; i <= v.NrOfElem(); ++i) ASSERT_LE(v.GetVal(i - 1), v.GetVal(i));
      const std::vector<double> ref =
          BruteDensity(shifted, c.lo + shift, c.hi + shift, c.wf > 0 ? c.wf : 1.0, c.r, c.out_bins);
      double best = -1, worst = 1e300;
      int32_t best_ix = 0, worst_ix = 0;
      for (int b = 0; b <= c.out_bins; ++b) {
        // The widths of shifted data carry the rounding of the shift
        // (1000 + x keeps 1e-13 relative of x): 1e-9 relative to the peak.
        const double tol = (shift == 0 ? 1e-12 : 1e-9) * (1.0 + ref[b]);
        ASSERT_NEAR(dens.GetVal(b + 1), ref[b], tol) << b << " shift " << shift << " n " << n;
        if (dens.GetVal(b + 1) > best) best = dens.GetVal(b + 1), best_ix = b + 1;
        if (dens.GetVal(b + 1) < worst) worst = dens.GetVal(b + 1), worst_ix = b + 1;
      }
      EXPECT_EQ(mx, best_ix);
      EXPECT_EQ(mn, worst_ix);
    }
  }
}

TEST(WilcoxonSR, TableFromTheExactNullDistribution) {
  // P(T <= t) by the recurrence on probabilities (each rank enters with
  // probability 1/2), independently of the generator's integer counts.
  for (int n = 8; n <= 100; ++n) {
    const int m = n * (n + 1) / 2;
    std::vector<long double> p(static_cast<std::size_t>(m) + 1, 0.0L);
    p[0] = 1.0L;
    for (int r = 1; r <= n; ++r)
      for (int t = m; t >= 0; --t)
        p[static_cast<std::size_t>(t)] =
            0.5L *
            (p[static_cast<std::size_t>(t)] + (t >= r ? p[static_cast<std::size_t>(t - r)] : 0.0L));
    for (int c = 0; c < 5; ++c) {
      long double cum = 0;
      int best = 0;
      for (int t = 0; t <= m; ++t) {
        cum += p[static_cast<std::size_t>(t)];
        if (cum > detail::kWilcoxonLevels[c] / 2) break;
        best = t;
      }
      EXPECT_EQ(detail::kWilcoxonTable[n - 8][c], best) << n << " " << c;
    }
  }
  struct Row {
    int n;
    int32_t v[5];
  };
  const Row rows[] = {{8, {5, 3, 1, 0, 0}},
                      {10, {10, 8, 5, 3, 0}},
                      {12, {17, 13, 9, 7, 1}},
                      {20, {60, 52, 43, 37, 21}},
                      {50, {466, 434, 397, 373, 304}},
                      {100, {2045, 1955, 1850, 1779, 1578}}};
  for (const Row& r : rows)
    for (int c = 0; c < 5; ++c) EXPECT_EQ(detail::kWilcoxonTable[r.n - 8][c], r.v[c]) << r.n;
}

TEST(WilcoxonSR, QuantilesAgainstNumpyFit) {
  int count = 0;
  for (const auto& row : ReadRows(DataFile("wilcoxon_quantile.txt"))) {
    const int n = std::atoi(row[0].c_str());
    // Values beyond the 32-bit range are reported as -1.
    const double ref = Num(row[3]);
    EXPECT_EQ(WilcoxonSRQuantile(n, Num(row[1]), row[2] == "1"),
              ref > 2147483647.0 ? -1 : static_cast<int32_t>(ref))
        << n << " " << row[1] << " " << row[2];
    ++count;
  }
  EXPECT_EQ(count, 13 * 16);
  EXPECT_EQ(WilcoxonSRQuantile(7, 0.05, true), -1);
  EXPECT_EQ(WilcoxonSRQuantile(8, 0.05, true), 3);  // the parabola through 3 points hits them
  EXPECT_EQ(WilcoxonSRQuantile(1000001, 0.05, true), -1);
  EXPECT_EQ(WilcoxonSRQuantile(20, 0.0004, true), -1);
  EXPECT_EQ(WilcoxonSRQuantile(20, 0.21, true), -1);
  EXPECT_EQ(WilcoxonSRQuantile(20, NAN, true), -1);
  EXPECT_EQ(WilcoxonSRQuantile(1000000, 0.0005, true), -1);  // 2.5e11: beyond 32 bits
  EXPECT_GT(WilcoxonSRQuantile(92000, 0.05, true), 2000000000);
}
