// TRandGen: table handling, presets against scipy densities, and
// Kolmogorov-Smirnov tests of 10^5 draws per preset against the tabulated
// distribution (fixed seed, so the outcome is deterministic).
#include "ORK_statis.h"
#include "statis_test_util.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace numbra;

TEST(TRandGen, TableAccessAndBorders) {
  TRandGen g;
  EXPECT_EQ(g.Resolution(), 500);
  EXPECT_EQ(g.GetProbability(500), 1.0);
  struct Res {
    int32_t in, out;
  };
  for (const Res r : {Res{5, 10}, Res{5000, 4000}, Res{10, 10}, Res{-3, 10}, Res{777, 777}}) {
    g.SetProbability(2, 0.3);
    g.SetResolution(r.in);
    EXPECT_EQ(g.Resolution(), r.out);
    for (int32_t i = 1; i <= r.out; ++i) ASSERT_EQ(g.GetProbability(i), 1.0) << r.in;
  }
  g.SetResolution(10);
  struct Set {
    double in, stored;
  };
  for (const Set s : {Set{1.7, 1.0}, Set{-0.2, 0.0}, Set{0.25, 0.25}, Set{NAN, 0.0}}) {
    g.SetProbability(3, s.in);
    EXPECT_EQ(g.GetProbability(3), s.stored) << s.in;
  }
  g.SetProbability(0, 0.5);  // ignored
  g.SetProbability(11, 0.5);
  EXPECT_EQ(g.GetProbability(0), 0.0);
  EXPECT_EQ(g.GetProbability(11), 0.0);

  g.SetLowBorder(0);
  g.SetHighBorder(10);
  EXPECT_EQ(g.GetLambda(1), 0.0);
  EXPECT_EQ(g.GetLambda(10), 9.0);
  EXPECT_EQ(g.GetLambda(11), 10.0);
  EXPECT_EQ(g.GetLambda(-4), 0.0);
  struct Ix {
    double lambda;
    int32_t index;
  };
  for (const Ix c : {Ix{9.99, 10}, Ix{10, 11}, Ix{-1, 0}, Ix{0, 1}, Ix{0.9999, 1}, Ix{1, 2},
                     Ix{10.5, 11}, Ix{NAN, 0}})
    EXPECT_EQ(g.IndexOfLambda(c.lambda), c.index) << c.lambda;
}

TEST(TRandGen, NormalizeAndStandardize) {
  TRandGen g;
  g.SetResolution(10);
  for (int32_t i = 1; i <= 10; ++i) g.SetProbability(i, 0.0);
  EXPECT_FALSE(g.Standardize());
  g.Normalize();  // all equal: unchanged
  EXPECT_EQ(g.GetProbability(4), 0.0);
  for (int32_t i = 1; i <= 10; ++i) g.SetProbability(i, 0.1 + 0.05 * i);
  EXPECT_TRUE(g.Standardize());
  EXPECT_EQ(g.GetProbability(10), 1.0);
  EXPECT_DOUBLE_EQ(g.GetProbability(1), 0.15 / 0.6);
  g.Normalize();
  EXPECT_EQ(g.GetProbability(1), 0.0);
  EXPECT_EQ(g.GetProbability(10), 1.0);
  EXPECT_DOUBLE_EQ(g.GetProbability(4), 3.0 / 9.0);
  // A pole at 0 (chi-squared, 1 degree of freedom) counts as the largest
  // finite entry.
  g.SetLowBorder(0);
  g.SetHighBorder(10);
  g.Chi2Distri(1);
  EXPECT_TRUE(std::isinf(g.GetProbability(1)));
  EXPECT_TRUE(g.Standardize());
  EXPECT_EQ(g.GetProbability(1), 1.0);
  EXPECT_EQ(g.GetProbability(2), 1.0);
  EXPECT_GT(g.GetProbability(3), 0.3);
}

// The density values of every preset at chosen class edges (scipy.stats).
TEST(TRandGen, PresetsMatchScipyDensities) {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/statis/randgen_presets.csv");
  ASSERT_TRUE(in);
  std::string line;
  int n = 0;
  statis_test::TWorst worst("TRandGen presets");
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    for (char& c : line)
      if (c == ',') c = ' ';
    std::istringstream ss(line);
    std::string name;
    double p1, p2, lo, hi, ref;
    int32_t res, ix;
    ss >> name >> p1 >> p2 >> lo >> hi >> res >> ix >> ref;
    ASSERT_FALSE(ss.fail()) << line;
    TRandGen g;
    g.SetResolution(res);
    g.SetLowBorder(lo);
    g.SetHighBorder(hi);
    if (name == "normal") g.NormalDistri(p1, p2);
    if (name == "t") g.tDistri(static_cast<int32_t>(p1));
    if (name == "chi2") g.Chi2Distri(static_cast<int32_t>(p1));
    if (name == "f") g.FDistri(static_cast<int32_t>(p1), static_cast<int32_t>(p2));
    if (name == "weibull") g.WeibullDistri(p1, p2);
    const double got = g.GetProbability(ix);
    const double err = ref == 0 ? std::fabs(got) : std::fabs(got - ref) / ref;
    worst.Add(err, line);
    // The densities are accurate to a few ulps; the weibull and normal forms
    // go through exp and pow of values up to ~40, hence 1e-12.
    EXPECT_LE(err, 1e-12) << line;
    ++n;
  }
  EXPECT_GT(n, 70);
}

// The distribution function of the tabulated distribution: the density is
// min(1, p(x)) with p linear between the class entries and falling to 0 at
// the end of the last class; entries here are <= 1.
struct TabulatedCdf {
  std::vector<double> cum;  // mass below each class edge
  std::vector<double> p;    // entries, plus the closing 0
  double lo, w, mass;
  explicit TabulatedCdf(const TRandGen& g) : lo(g.LowBorder()) {
    const int32_t r = g.Resolution();
    w = (g.HighBorder() - g.LowBorder()) / r;
    for (int32_t i = 1; i <= r; ++i) p.push_back(g.GetProbability(i));
    p.push_back(0.0);
    cum.push_back(0.0);
    for (std::size_t i = 0; i + 1 < p.size(); ++i)
      cum.push_back(cum.back() + 0.5 * (p[i] + p[i + 1]));
    mass = cum.back();
  }
  [[nodiscard]] double operator()(double x) const {
    const double t = (x - lo) / w;
    if (t <= 0) return 0.0;
    if (t >= static_cast<double>(p.size() - 1)) return 1.0;
    const auto k = static_cast<std::size_t>(t);
    const double u = t - static_cast<double>(k);
    return (cum[k] + p[k] * u + 0.5 * (p[k + 1] - p[k]) * u * u) / mass;
  }
};

TEST(TRandGen, DrawsPassKolmogorovSmirnovAgainstTheTable) {
  struct Case {
    const char* what;
    double lo, hi;
    void (*fill)(TRandGen&);
  };
  const Case cases[] = {
      {"normal(0, 1)", -5, 5, [](TRandGen& g) { g.NormalDistri(0, 1); }},
      {"t(5)", -8, 8, [](TRandGen& g) { g.tDistri(5); }},
      {"chi2(4)", 0, 30, [](TRandGen& g) { g.Chi2Distri(4); }},
      {"F(5, 10)", 0, 10, [](TRandGen& g) { g.FDistri(5, 10); }},
      {"Weibull(2, 1.5)", 0, 6, [](TRandGen& g) { g.WeibullDistri(2, 1.5); }},
      {"uniform", 2, 3, [](TRandGen& g) { g.UniformDistri(); }},
  };
  constexpr int kDraws = 100000;
  // Kolmogorov's limiting distribution: P(sqrt(n) D > 1.9495) = 0.001. Six
  // tests at that level reject a correct generator with probability 0.6%.
  const double critical = 1.9495 / std::sqrt(double(kDraws));
  for (const Case& c : cases) {
    TRandGen g;
    g.SetLowBorder(c.lo);
    g.SetHighBorder(c.hi);
    c.fill(g);
    ASSERT_TRUE(g.Standardize());
    SetRandSeed(20261208);
    std::vector<double> x(kDraws);
    for (double& v : x) v = g.GetRandNum();
    std::sort(x.begin(), x.end());
    const TabulatedCdf cdf(g);
    double d = 0;
    for (int i = 0; i < kDraws; ++i) {
      const double f = cdf(x[static_cast<std::size_t>(i)]);
      d = std::max({d, (i + 1.0) / kDraws - f, f - double(i) / kDraws});
    }
    const double lambda = std::sqrt(double(kDraws)) * d;
    double p = 0;  // asymptotic p-value 2 sum (-1)^(k-1) exp(-2 k^2 lambda^2)
    for (int k = 1; k <= 100; ++k)
      p += (k % 2 ? 2.0 : -2.0) * std::exp(-2.0 * k * k * lambda * lambda);
    std::printf("[ KS       ] %-16s D = %.5f  sqrt(n) D = %.3f  p = %.3f\n", c.what, d, lambda,
                std::min(1.0, p));
    EXPECT_LT(d, critical) << c.what;
    EXPECT_GE(x.front(), c.lo);
    EXPECT_LT(x.back(), c.hi);
  }
}

TEST(TRandGen, CandidatesFollowTheRuntimeGenerator) {
  TRandGen g;
  g.SetResolution(10);
  g.SetLowBorder(0);
  g.SetHighBorder(10);
  g.UniformDistri();
  // The first candidate is accepted unless it falls in the last class.
  for (uint64_t seed = 1; seed <= 200; ++seed) {
    SetRandSeed(seed);
    const int32_t k = Random(10) + 1;
    const double u = Random();
    SetRandSeed(seed);
    const double got = g.GetRandNum();
    if (k < 10) {
      EXPECT_EQ(got, k + u - 1) << seed;
    }
  }
  // A table of zeros accepts nothing; the draw still ends (100001 candidates).
  for (int32_t i = 1; i <= 10; ++i) g.SetProbability(i, 0);
  const double v = g.GetRandNum();
  EXPECT_TRUE(v >= 0 && v < 10);
}

}  // namespace
