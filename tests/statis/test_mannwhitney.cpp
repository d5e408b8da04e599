// Null distribution of the Mann-Whitney U statistic: brute-force
// enumeration for small samples, exact integer counts (tests/data/statis,
// gen_reference.py) up to 100 x 100, the approximation beyond.
#include "ORK_statis.h"
#include "statis/statis_detail.h"
#include "statis_test_util.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using statis_test::RelErr;
using statis_test::TWorst;

namespace {

// P(U = u) by enumerating every choice of the n1 ranks of the first sample
// among n1 + n2 (U = rank sum - n1 (n1 + 1) / 2).
std::vector<double> Enumerate(int n1, int n2) {
  const int n = n1 + n2;
  std::vector<double> count(static_cast<std::size_t>(n1 * n2) + 1, 0.0);
  double total = 0;
  for (uint32_t mask = 0; mask < (1u << n); ++mask) {
    if (__builtin_popcount(mask) != n1) continue;
    int ranksum = 0;
    for (int r = 0; r < n; ++r)
      if (mask & (1u << r)) ranksum += r + 1;
    count[static_cast<std::size_t>(ranksum - n1 * (n1 + 1) / 2)] += 1;
    total += 1;
  }
  for (double& c : count) c /= total;
  return count;
}

struct TRefRow {
  int n1, n2, u;
  long double pmf, cdf;
};

std::vector<TRefRow> ReadReference() {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/statis/mannwhitney_exact.txt");
  std::vector<TRefRow> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    TRefRow r{};
    ss >> r.n1 >> r.n2 >> r.u >> r.pmf >> r.cdf;
    rows.push_back(r);
  }
  return rows;
}

}  // namespace

TEST(StatisMannWhitney, MatchesEnumerationOfAllRankSets) {
  for (auto [n1, n2] : {std::pair{1, 1}, {1, 5}, {4, 1}, {2, 3}, {5, 5}, {3, 9}, {8, 8}, {6, 10}}) {
    const std::vector<double> ref = Enumerate(n1, n2);
    double cum = 0;
    for (int u = 0; u <= n1 * n2; ++u) {
      cum += ref[static_cast<std::size_t>(u)];
      EXPECT_TRUE(RelErr(UDistriDensity(n1, n2, u), ref[static_cast<std::size_t>(u)]) < 1e-14)
          << n1 << " " << n2 << " " << u;
      EXPECT_NEAR(UDistriIntegral(n1, n2, u), cum, 1e-14) << n1 << " " << n2 << " " << u;
      // Both orders of the samples give the same distribution.
      EXPECT_DOUBLE_EQ(UDistriDensity(n2, n1, u), UDistriDensity(n1, n2, u));
    }
  }
}

TEST(StatisMannWhitney, MatchesExactCountsUpTo100By100) {
  const std::vector<TRefRow> rows = ReadReference();
  ASSERT_GE(rows.size(), 50u);
  TWorst wp{"UDistriDensity (exact)"};
  TWorst wc{"UDistriIntegral (exact)"};
  const TRefRow* largest = nullptr;
  for (const TRefRow& r : rows) {
    const std::string where =
        std::to_string(r.n1) + "x" + std::to_string(r.n2) + " u " + std::to_string(r.u);
    double pmf = 0;
    double cdf = 0;
    if (r.n1 * r.n2 <= 2500) {
      pmf = UDistriDensity(r.n1, r.n2, r.u);
      cdf = UDistriIntegral(r.n1, r.n2, r.u);
    } else {
      // Large sizes through the kernel once (each public call recomputes
      // the whole distribution); the public path is checked below.
      largest = &r;
      static std::vector<double> dist;
      static int dn1 = 0, dn2 = 0;
      if (dn1 != r.n1 || dn2 != r.n2) {
        dist = detail::ExactUDistribution(r.n1, r.n2);
        dn1 = r.n1;
        dn2 = r.n2;
      }
      pmf = dist[static_cast<std::size_t>(r.u)];
      for (int v = 0; v <= r.u; ++v) cdf += dist[static_cast<std::size_t>(v)];
    }
    const double ep = RelErr(pmf, r.pmf);
    const double ec = RelErr(cdf, r.cdf);
    wp.Add(ep, where);
    wc.Add(ec, where);
    // Convex combinations only: a few ulp per step of the recurrence.
    EXPECT_LT(ep, 1e-12) << where;
    EXPECT_LT(ec, 1e-12) << where;
  }
  ASSERT_NE(largest, nullptr);
  EXPECT_LT(RelErr(UDistriIntegral(largest->n1, largest->n2, largest->u), largest->cdf), 1e-12);
}

TEST(StatisMannWhitney, QuantileInvertsTheIntegral) {
  for (auto [n1, n2] : {std::pair{3, 4}, {10, 12}, {50, 50}, {7, 200}, {150, 160}}) {
    const int64_t mn = int64_t{n1} * n2;
    EXPECT_EQ(UDistriQuantile(n1, n2, 0.0), 0.0);
    EXPECT_EQ(UDistriQuantile(n1, n2, 1.0), static_cast<double>(mn));
    for (double p : {1e-12, 0.001, 0.025, 0.05, 0.5, 0.95, 0.999}) {
      const double q = UDistriQuantile(n1, n2, p);
      ASSERT_TRUE(q >= 0 && q <= static_cast<double>(mn)) << p;
      const auto u = static_cast<int32_t>(q);
      EXPECT_GE(UDistriIntegral(n1, n2, u), p) << n1 << " " << n2 << " " << p;
      if (u > 0) {
        EXPECT_LT(UDistriIntegral(n1, n2, u - 1), p) << n1 << " " << n2 << " " << p;
      }
    }
    // A quantile of an attained level is that value itself.
    const auto u0 = static_cast<int32_t>(mn * 9 / 20);
    EXPECT_EQ(UDistriQuantile(n1, n2, UDistriIntegral(n1, n2, u0)), u0);
  }
}

TEST(StatisMannWhitney, ApproximationBeyondTheExactRange) {
  // The exact kernel has no size limit of its own: measure the
  // approximation against it just past the switch, where it is weakest.
  for (auto [n1, n2, tol] : {std::tuple{101, 100, 2e-5}, {20, 501, 1e-4}, {5, 2001, 1e-3}}) {
    TWorst w{"UDistriIntegral approx " + std::to_string(n1) + "x" + std::to_string(n2)};
    const std::vector<double> pmf = detail::ExactUDistribution(n1, n2);
    double cum = 0;
    for (std::size_t u = 0; u < pmf.size(); ++u) {
      cum += pmf[u];
      const double e = std::fabs(UDistriIntegral(n1, n2, static_cast<int32_t>(u)) - cum);
      w.Add(e, std::to_string(n1) + "x" + std::to_string(n2) + " u " + std::to_string(u));
      EXPECT_LT(e, tol) << n1 << " " << n2 << " " << u;
    }
  }
  // The fourth cumulant used by the correction, checked against the exact
  // distribution of 30 x 40.
  const int n1 = 30, n2 = 40;
  const std::vector<double> pmf = detail::ExactUDistribution(n1, n2);
  const double mean = n1 * n2 / 2.0;
  double m2 = 0, m4 = 0;
  for (std::size_t u = 0; u < pmf.size(); ++u) {
    const double d = static_cast<double>(u) - mean;
    m2 += pmf[u] * d * d;
    m4 += pmf[u] * d * d * d * d;
  }
  const double k4 = m4 - 3 * m2 * m2;
  const double a = n1, b = n2;
  EXPECT_NEAR(m2, a * b * (a + b + 1) / 12, 1e-9 * m2);
  EXPECT_NEAR(k4, -a * b * (a + b + 1) * (a * a + b * b + a * b + a + b) / 120,
              1e-7 * std::fabs(k4));
}

TEST(StatisMannWhitney, ArgumentsOutsideTheDomain) {
  EXPECT_TRUE(std::isnan(UDistriDensity(0, 5, 1)));
  EXPECT_TRUE(std::isnan(UDistriIntegral(5, -1, 1)));
  EXPECT_TRUE(std::isnan(UDistriQuantile(5, 5, 1.5)));
  EXPECT_TRUE(std::isnan(UDistriQuantile(5, 5, std::numeric_limits<double>::quiet_NaN())));
  EXPECT_EQ(UDistriDensity(5, 5, -1), 0.0);
  EXPECT_EQ(UDistriDensity(5, 5, 26), 0.0);
  EXPECT_EQ(UDistriIntegral(5, 5, -1), 0.0);
  EXPECT_EQ(UDistriIntegral(5, 5, 25), 1.0);
  // Huge samples: no overflow of n1 * n2, the approximation answers.
  EXPECT_EQ(UDistriIntegral(100000, 100000, 2147483647), 0.0);  // 224 sd below the mean
  EXPECT_EQ(UDistriIntegral(46341, 46341, 2147483647), 1.0);    // above n1 n2
  EXPECT_NEAR(UDistriQuantile(100000, 100000, 0.5), 5e9, 1.0);
}
