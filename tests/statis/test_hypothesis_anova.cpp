// One-way ANOVA: the NIST StRD ANOVA sets against the exact ANOVA of the
// doubles read (exact rational arithmetic, gen_anova_exact.py) and against
// NIST's certified values; result codes.
#include "hypothesis_data.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

using namespace numbra;
using hypothesis_test::DataFile;
using hypothesis_test::ReadRows;

namespace {

// LRE = -log10(relative error), capped at 16 (equality).
double LRE(double got, double ref) {
  const double rel = std::fabs(got - ref) / std::fabs(ref);
  return rel == 0.0 ? 16.0 : std::min(16.0, -std::log10(rel));
}

struct NistSet {
  TVector data;
  TIntVector groups;
  std::map<std::string, double> certified;
};

void LoadNist(const std::string& name, NistSet& set) {
  std::ifstream in(std::string(NUMBRA_SHARED_DATA_DIR) + "/nist/" + name + ".dat");
  ASSERT_TRUE(in.good()) << name;
  std::vector<double> y;
  std::vector<int32_t> g;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("# certified ", 0) == 0) {
      const auto eq = line.find('=');
      set.certified[line.substr(12, eq - 13)] = std::strtod(line.c_str() + eq + 1, nullptr);
    } else if (!line.empty() && line[0] != '#') {
      std::istringstream ss(line);
      int32_t gi = 0;
      std::string yi;
      ss >> gi >> yi;
      g.push_back(gi);
      y.push_back(std::strtod(yi.c_str(), nullptr));  // correctly rounded, like Python's float()
    }
  }
  hypothesis_test::Fill(set.data, y);
  set.groups.Resize(static_cast<int32_t>(g.size()));
  for (std::size_t i = 0; i < g.size(); ++i) set.groups.SetVal(static_cast<int32_t>(i) + 1, g[i]);
}

}  // namespace

TEST(Anova1F, NistSetsAgainstExactAndCertified) {
  const auto rows = ReadRows(DataFile("anova_exact.txt"));
  ASSERT_EQ(rows.size(), 11u);
  std::printf("[ LRE      ] set       exact: SSB   SSW   F   | certified: SSB   SSW   F\n");
  for (const auto& row : rows) {
    NistSet set;
    LoadNist(row[0], set);
    double ssb = 0, ssw = 0, sst = 0, f = 0;
    int32_t dfb = 0, dfw = 0, dft = 0;
    const double p = Anova1F(set.data, set.groups, ssb, ssw, sst, dfb, dfw, dft, f);
    const double exact[4] = {
        std::strtod(row[1].c_str(), nullptr), std::strtod(row[2].c_str(), nullptr),
        std::strtod(row[3].c_str(), nullptr), std::strtod(row[4].c_str(), nullptr)};
    const double e_ssb = LRE(ssb, exact[0]), e_ssw = LRE(ssw, exact[1]), e_f = LRE(f, exact[3]);
    EXPECT_GE(e_ssb, 12.0) << row[0];
    EXPECT_GE(e_ssw, 12.0) << row[0];
    EXPECT_GE(LRE(sst, exact[2]), 12.0) << row[0];
    EXPECT_GE(e_f, 12.0) << row[0];
    EXPECT_EQ(dfb, static_cast<int32_t>(set.certified["between_df"])) << row[0];
    EXPECT_EQ(dfw, static_cast<int32_t>(set.certified["within_df"])) << row[0];
    EXPECT_EQ(dft, dfb + dfw);
    EXPECT_GE(p, 0.0);  // SmLs03, 06, 09: F near 2001 on 18000 df underflows to 0
    EXPECT_LE(p, 1.0);
    const double c_ssb = LRE(ssb, set.certified["between_ss"]);
    const double c_ssw = LRE(ssw, set.certified["within_ss"]);
    const double c_f = LRE(f, set.certified["f_statistic"]);
    // The decimal data of SmLs04-09 are not all representable; the rounding
    // of the input alone limits these (to about 4 on SmLs07-09).
    EXPECT_GE(std::min({c_ssb, c_ssw, c_f}), 3.5) << row[0];
    std::printf("[ LRE      ] %-8s  %5.1f %5.1f %5.1f |            %5.1f %5.1f %5.1f\n",
                row[0].c_str(), e_ssb, e_ssw, e_f, c_ssb, c_ssw, c_f);
  }
}

TEST(Anova1F, ResultCodes) {
  struct Case {
    std::vector<double> data;
    std::vector<int32_t> groups;
    double result;
    double f;
  };
  const double kPending = -99.0;
  const Case cases[] = {
      {{1, 2, 3, 4}, {7, 7, 7, 7}, -1.0, kPending},         // one group
      {{1, 2, 3}, {1, 2, 3}, -2.0, kPending},               // a group per value
      {{1, 2, 3, 4}, {1, 1, 2}, -4.0, kPending},            // counts differ
      {{5, 5, 5, 9, 9}, {1, 1, 1, 2, 2}, 0.0, uc_MaxReal},  // constant inside groups
      {{1e12 + 0.1, 1e12 + 0.1, 1e12 + 0.3, 1e12 + 0.3}, {1, 1, 2, 2}, 0.0, uc_MaxReal},
      {{4, 4, 4, 4}, {1, 2, 1, 2}, -3.0, 0.0},                  // all equal
      {{1, 2, 3, 2, 3, 4}, {1, 1, 1, 2, 2, 2}, kPending, 1.5},  // checked below
  };
  for (const Case& c : cases) {
    TVector v;
    TIntVector g;
    hypothesis_test::Fill(v, c.data);
    g.Resize(static_cast<int32_t>(c.groups.size()));
    for (std::size_t i = 0; i < c.groups.size(); ++i)
      g.SetVal(static_cast<int32_t>(i) + 1, c.groups[i]);
    double ssb = kPending, ssw = kPending, sst = kPending, f = kPending;
    int32_t dfb = -9, dfw = -9, dft = -9;
    const double r = Anova1F(v, g, ssb, ssw, sst, dfb, dfw, dft, f);
    if (c.f == 1.5) {
      // Means 2 and 3, SSB = 1.5, SSW = 4, F = 1.5 / 1 = 1.5 on (1, 4) df:
      // p = P(F(1, 4) >= 1.5) = 2 P(t_4 >= sqrt(1.5)).
      EXPECT_DOUBLE_EQ(ssb, 1.5);
      EXPECT_DOUBLE_EQ(ssw, 4.0);
      EXPECT_DOUBLE_EQ(sst, 5.5);
      EXPECT_DOUBLE_EQ(f, 1.5);
      EXPECT_NEAR(r, 2.0 * (1.0 - tDistriIntegral(std::sqrt(1.5), 4)), 1e-14);
      continue;
    }
    EXPECT_EQ(r, c.result) << c.data.size();
    EXPECT_EQ(f, c.f) << c.data.size();
    if (c.f == kPending) {
      EXPECT_EQ(dfb, -9);  // outputs untouched
    }
  }
  TVector v;
  TIntVector g;
  hypothesis_test::Fill(v, {1, 2, NAN, 4, 5});
  g.Resize(5);
  for (int i = 1; i <= 5; ++i) g.SetVal(i, i % 2);
  double ssb = 0, ssw = 0, sst = 0, f = 0;
  int32_t dfb = 0, dfw = 0, dft = 0;
  EXPECT_TRUE(std::isnan(Anova1F(v, g, ssb, ssw, sst, dfb, dfw, dft, f)));
  EXPECT_TRUE(std::isnan(f));
}
