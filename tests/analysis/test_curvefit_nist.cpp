// TCurveFit against the NIST StRD linear regression sets (certified
// coefficients and R^2 from NIST, tests/data/nist). The log relative
// error LRE = -log10(|computed - certified| / |certified|) of every
// coefficient and of R^2 must reach the goal of each row; the table of LREs
// is printed.
#include "ORK_math2.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

struct NistSet {
  std::vector<double> x, y, b;  // b: certified B0..Bk
  double r2 = 0;
};

NistSet LoadNist(const std::string& name) {
  std::ifstream in(std::string(NUMBRA_SHARED_DATA_DIR) + "/nist/" + name + ".dat");
  NistSet s;
  std::map<int, double> coef;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("# certified ", 0) == 0) {
      std::istringstream ls(line.substr(12));
      std::string key, eq;
      double v = 0;
      ls >> key >> eq >> v;
      if (key == "r_squared")
        s.r2 = v;
      else if (key.size() > 1 && key[0] == 'B')
        coef[std::stoi(key.substr(1))] = v;
    } else if (!line.empty() && line[0] != '#') {
      std::istringstream ls(line);
      double y = 0, x = 0;
      if (ls >> y >> x) {
        s.y.push_back(y);
        s.x.push_back(x);
      }
    }
  }
  for (const auto& [k, v] : coef) s.b.push_back(v);
  return s;
}

double Lre(double got, double cert) {
  if (got == cert) return 15.0;
  const double rel = cert == 0 ? std::fabs(got) : std::fabs(got - cert) / std::fabs(cert);
  return std::min(15.0, -std::log10(rel));
}

// Coefficients of sum c_j (x - s)^j in powers of x (long double binomials).
std::vector<double> Uncentre(const std::vector<double>& c, double s) {
  const std::size_t n = c.size();
  std::vector<long double> r(n, 0.0L);
  for (std::size_t j = 0; j < n; ++j) {
    long double binom = 1.0L;  // C(j, i)
    for (std::size_t i = 0; i <= j; ++i) {
      r[i] += static_cast<long double>(c[j]) * binom *
              std::pow(-static_cast<long double>(s), static_cast<long double>(j - i));
      binom = binom * static_cast<long double>(j - i) / static_cast<long double>(i + 1);
    }
  }
  return {r.begin(), r.end()};
}

enum class Method { kLine, kParabola, kPoly, kCentred };

struct NistCase {
  const char* set;
  Method method;
  double goal;  // least LRE of every coefficient and R^2 (0: reported only)
};

std::string CaseName(const ::testing::TestParamInfo<NistCase>& info) {
  static const char* const kMethod[] = {"Line", "Parabola", "Poly", "Centred"};
  return std::string(info.param.set) + kMethod[static_cast<int>(info.param.method)];
}

class NistRegression : public ::testing::TestWithParam<NistCase> {};

TEST_P(NistRegression, ReachesTheLreGoal) {
  const NistCase& c = GetParam();
  const NistSet s = LoadNist(c.set);
  ASSERT_FALSE(s.x.empty());
  TCurveFit fit;
  for (std::size_t i = 0; i < s.x.size(); ++i) fit.EnterStatValue(s.x[i], s.y[i]);
  const auto order = static_cast<uint8_t>(s.b.size() - 1);
  std::vector<double> k(s.b.size(), 0.0);
  double q = 0;
  bool ns = false;
  const char* how = "";
  switch (c.method) {
    case Method::kLine:
      ASSERT_EQ(order, 1);
      fit.CalcLinFit(k[1], k[0], q);
      how = "CalcLinFit";
      break;
    case Method::kParabola:
      ASSERT_EQ(order, 2);
      fit.CalcParabolFit(k[0], k[1], k[2], q);
      how = "CalcParabolFit";
      break;
    case Method::kPoly:
      ASSERT_TRUE(fit.CalcPolyFit(order, k, q, ns));
      how = "CalcPolyFit";
      break;
    case Method::kCentred: {
      double shift = 0;
      ASSERT_TRUE(fit.CalcCenteredPolyFit(order, k, shift, q, ns));
      k = Uncentre(k, shift);
      how = "CalcCenteredPolyFit";
      break;
    }
  }
  double worst = Lre(q, s.r2);
  std::string row = std::string(c.set) + " " + how + "(" + std::to_string(order) + "):";
  for (std::size_t j = 0; j < k.size(); ++j) {
    const double l = Lre(k[j], s.b[j]);
    worst = std::min(worst, l);
    char buf[32];
    std::snprintf(buf, sizeof buf, " B%zu %.1f", j, l);
    row += buf;
  }
  char buf[48];
  std::snprintf(buf, sizeof buf, " R2 %.1f  min %.1f", Lre(q, s.r2), worst);
  std::printf("LRE %s%s\n", row.c_str(), buf);
  if (c.goal > 0) {
    EXPECT_GE(worst, c.goal) << row;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Nist, NistRegression,
    ::testing::Values(
        NistCase{"Norris", Method::kLine, 12}, NistCase{"Norris", Method::kPoly, 12},
        NistCase{"Pontius", Method::kParabola, 9}, NistCase{"Pontius", Method::kPoly, 9},
        NistCase{"Wampler1", Method::kCentred, 9}, NistCase{"Wampler2", Method::kCentred, 9},
        NistCase{"Wampler3", Method::kCentred, 9}, NistCase{"Wampler4", Method::kCentred, 9},
        NistCase{"Wampler5", Method::kCentred, 6}, NistCase{"Filip", Method::kCentred, 7},
        NistCase{"Wampler1", Method::kPoly, 0}, NistCase{"Wampler2", Method::kPoly, 0},
        NistCase{"Wampler3", Method::kPoly, 0}, NistCase{"Wampler4", Method::kPoly, 0},
        NistCase{"Wampler5", Method::kPoly, 0}, NistCase{"Filip", Method::kPoly, 0}),
    CaseName);

}  // namespace
