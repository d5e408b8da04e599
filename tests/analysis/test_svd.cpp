// Singular value routines against NumPy/LAPACK references
// (tests/data/curvefit/make_svd_refs.py), plus their failure and progress
// rules.
#include "ORK_math2.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

struct SvdCase {
  std::string name, kind;
  int32_t m = 0, n = 0;
  std::vector<double> sv, x, se;
};

std::vector<double> ReadNumbers(std::istream& in) {
  std::vector<double> v;
  std::string tok;
  while (in >> tok && tok != "|") v.push_back(std::stod(tok));
  return v;
}

std::vector<SvdCase> LoadCases() {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/curvefit/svd_refs.txt");
  std::vector<SvdCase> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ls(line);
    SvdCase c;
    std::string bar;
    ls >> c.name >> c.kind >> c.m >> c.n >> bar;
    c.sv = ReadNumbers(ls);
    c.x = ReadNumbers(ls);
    c.se = ReadNumbers(ls);
    cases.push_back(std::move(c));
  }
  return cases;
}

void Build(const SvdCase& c, TMatrix& a) {
  a.Resize(c.n, c.m);
  for (int32_t r = 1; r <= c.m; ++r)
    for (int32_t k = 1; k <= c.n; ++k)
      a.SetVal(k, r,
               c.kind == "hilbert" ? 1.0 / (r + k - 1)
                                   : std::sin(0.9 * r * k + 0.4 * k) + 1.0 / (r + k));
  if (c.kind == "rankdef")
    for (int32_t r = 1; r <= c.m; ++r) a.SetVal(3, r, a.GetVal(1, r) + a.GetVal(2, r));
}

class SvdReference : public ::testing::TestWithParam<SvdCase> {};

TEST_P(SvdReference, ValuesFactorsAndLeastSquares) {
  const SvdCase& c = GetParam();
  TMatrix a, u, v;
  TVector w;
  Build(c, a);
  u.Assign(&a);
  ASSERT_TRUE(SvdDecompose(u, v, w));
  ASSERT_EQ(w.NrOfElem(), c.n);
  ASSERT_EQ(v.NrOfColumns(), c.n);
  std::vector<double> got(w.Values().begin(), w.Values().end());
  for (double g : got) EXPECT_GE(g, 0.0);
  std::sort(got.rbegin(), got.rend());
  const double wmax = c.sv[0];
  const double eps = std::numeric_limits<double>::epsilon();
  for (int32_t j = 0; j < c.n; ++j)
    EXPECT_NEAR(got[j], c.sv[j], 8 * eps * wmax * std::max(c.m, c.n)) << c.name << " sv " << j;
  // A = U diag(W) V^T and V^T V = I.
  double rec = 0.0, orth = 0.0;
  for (int32_t r = 1; r <= c.m; ++r)
    for (int32_t k = 1; k <= c.n; ++k) {
      double s = 0.0;
      for (int32_t j = 1; j <= c.n; ++j) s += u.GetVal(j, r) * w.GetVal(j) * v.GetVal(j, k);
      rec = std::max(rec, std::fabs(s - a.GetVal(k, r)));
    }
  for (int32_t i = 1; i <= c.n; ++i)
    for (int32_t k = 1; k <= c.n; ++k) {
      double s = 0.0;
      for (int32_t j = 1; j <= c.n; ++j) s += v.GetVal(i, j) * v.GetVal(k, j);
      orth = std::max(orth, std::fabs(s - (i == k ? 1.0 : 0.0)));
    }
  EXPECT_LT(rec, 32 * eps * wmax * std::max(c.m, c.n)) << c.name;
  EXPECT_LT(orth, 32 * eps * c.n) << c.name;

  // Least squares: relative accuracy limited by the condition number.
  TVector b, x, se;
  b.Resize(c.m);
  for (int32_t r = 1; r <= c.m; ++r) b.SetVal(r, std::cos(r));
  bool near_singular = true;
  TMatrix work;
  work.Assign(&a);
  ASSERT_TRUE(SvdLeastSquares(work, b, x, &se, near_singular));
  EXPECT_EQ(near_singular, c.kind == "rankdef" || c.sv.back() == 0.0) << c.name;
  double wmin = wmax;
  for (double s : c.sv)
    if (s >= 1e-14 * wmax) wmin = std::min(wmin, s);
  const double tol = 64 * eps * (wmax / wmin) * (wmax / wmin);
  double xnorm = 0.0;
  for (double xi : c.x) xnorm = std::max(xnorm, std::fabs(xi));
  for (int32_t j = 1; j <= c.n; ++j) {
    EXPECT_NEAR(x.GetVal(j), c.x[j - 1], std::max(tol, 1e-14) * xnorm) << c.name << " x " << j;
    EXPECT_NEAR(se.GetVal(j), c.se[j - 1], std::max(tol, 1e-14) * c.se[j - 1] + 1e-300)
        << c.name << " se " << j;
  }
}

INSTANTIATE_TEST_SUITE_P(Refs, SvdReference, ::testing::ValuesIn(LoadCases()),
                         [](const auto& info) { return info.param.name; });

TEST(SvdDecompose, RefusesEmptyAndNonFiniteInputUnchanged) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), inf, -inf}) {
    TMatrix a, v;
    TVector w;
    a.Resize(2, 3);
    a.Fill(1.0);
    a.SetVal(2, 2, bad);
    EXPECT_FALSE(SvdDecompose(a, v, w));
    EXPECT_EQ(a.GetVal(1, 1), 1.0);
  }
  TMatrix e, v;
  TVector w;
  e.Resize(0, 4);
  EXPECT_FALSE(SvdDecompose(e, v, w));
  bool ns = true;
  TVector b, x;
  EXPECT_FALSE(SvdLeastSquares(e, b, x, nullptr, ns));
  EXPECT_FALSE(ns);
}

TEST(SvdDecompose, CountsOneProgressStepPerColumnAndStopsOnAbort) {
  TMatrix a, v;
  TVector w;
  SvdCase c{"p", "sin", 12, 7, {}, {}, {}};
  Build(c, a);
  int calls = 0;
  const double start = ProcStat;
  MathFeedBackProc = [&](double) { ++calls; };
  EXPECT_TRUE(SvdDecompose(a, v, w));
  EXPECT_EQ(calls, 7);
  EXPECT_DOUBLE_EQ(ProcStat - start, 7.0);
  // An abort raised by the feedback stops at that step.
  Build(c, a);
  calls = 0;
  MathFeedBackProc = [&](double) {
    if (++calls == 3) AbortMathProc = true;
  };
  EXPECT_FALSE(SvdDecompose(a, v, w));
  EXPECT_EQ(calls, 3);
  MathFeedBackProc = nullptr;
  AbortMathProc = false;
}

TEST(SvdLeastSquares, CutOffArgumentAndExactFit) {
  // y = 2 + 3 x exactly: the solution is exact to rounding, no cut-off.
  TMatrix a;
  TVector b, x;
  a.Resize(2, 5);
  b.Resize(5);
  for (int32_t r = 1; r <= 5; ++r) {
    a.SetVal(1, r, r);
    a.SetVal(2, r, 1.0);
    b.SetVal(r, 2.0 + 3.0 * r);
  }
  bool ns = true;
  TMatrix work;
  work.Assign(&a);
  ASSERT_TRUE(SvdLeastSquares(work, b, x, nullptr, ns));
  EXPECT_FALSE(ns);
  EXPECT_NEAR(x.GetVal(1), 3.0, 1e-14);
  EXPECT_NEAR(x.GetVal(2), 2.0, 1e-14);
  // A cut-off of 1 removes every value but the largest.
  work.Assign(&a);
  ASSERT_TRUE(SvdLeastSquares(work, b, x, nullptr, ns, 1.0));
  EXPECT_TRUE(ns);
}

}  // namespace
