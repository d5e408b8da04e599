// PseudoInverse, SingValDecomp, SingValEquSolve, MultiLinReg, RidgeReg and
// RidgeRegStd.
#include "ORK_math2.h"
#include "multivariate_test_util.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::FillFrom;
using numbra_test::FillRows;
using numbra_test::ReadRefBlocks;

namespace {

// Log relative error: the number of correct significant digits.
double LRE(double got, double want) {
  if (got == want) return 17.0;
  return -std::log10(std::fabs(got - want) / std::fabs(want));
}

// Plain product of two matrices (reference loop in long double).
void Mul(const TMatrix& a, const TMatrix& b, TMatrix& c) {
  c.Resize(b.NrOfColumns(), a.NrOfRows());
  for (int i = 1; i <= a.NrOfRows(); ++i)
    for (int j = 1; j <= b.NrOfColumns(); ++j) {
      long double s = 0.0L;
      for (int k = 1; k <= a.NrOfColumns(); ++k)
        s += static_cast<long double>(a.GetVal(k, i)) * b.GetVal(j, k);
      c.SetVal(j, i, static_cast<double>(s));
    }
}

double MaxAbsDiff(const TMatrix& a, const TMatrix& b) {
  double d = 0.0;
  for (int c = 1; c <= a.NrOfColumns(); ++c)
    for (int r = 1; r <= a.NrOfRows(); ++r)
      d = std::max(d, std::fabs(a.GetVal(c, r) - b.GetVal(c, r)));
  return d;
}

double MaxAbs(const TMatrix& a) {
  double d = 0.0;
  for (double x : a.Values()) d = std::max(d, std::fabs(x));
  return d;
}

void Transposed(const TMatrix& a, TMatrix& t) {
  t.Resize(a.NrOfRows(), a.NrOfColumns());
  for (int c = 1; c <= a.NrOfColumns(); ++c)
    for (int r = 1; r <= a.NrOfRows(); ++r) t.SetVal(r, c, a.GetVal(c, r));
}

// ---- PseudoInverse ------------------------------------------------------

// The four Moore-Penrose identities on random rank-deficient products
// B (m x r) C (r x n), wide and tall.
TEST(MultivariatePinv, MoorePenroseIdentities) {
  struct Shape {
    int m, n, r;
  };
  for (Shape s :
       {Shape{8, 5, 3}, Shape{5, 8, 2}, Shape{12, 12, 11}, Shape{3, 2, 2}, Shape{6, 1, 1}}) {
    SCOPED_TRACE(::testing::Message() << s.m << "x" << s.n << " rank " << s.r);
    TMatrix b, c, a, p;
    b.Resize(s.r, s.m);
    c.Resize(s.n, s.r);
    b.FillRandomGauss(0.0, 1.0);
    c.FillRandomGauss(0.0, 1.0);
    Mul(b, c, a);
    const std::string crc = a.CRCofData();
    ASSERT_TRUE(PseudoInverse(a, p, 0.0));
    EXPECT_EQ(a.CRCofData(), crc);
    ASSERT_EQ(p.NrOfColumns(), s.m);
    ASSERT_EQ(p.NrOfRows(), s.n);
    TMatrix ap, pa, apa, pap, t;
    Mul(a, p, ap);
    Mul(p, a, pa);
    Mul(ap, a, apa);
    Mul(pa, p, pap);
    EXPECT_LE(MaxAbsDiff(apa, a), 1e-12 * MaxAbs(a));
    EXPECT_LE(MaxAbsDiff(pap, p), 1e-12 * MaxAbs(p));
    Transposed(ap, t);
    EXPECT_LE(MaxAbsDiff(t, ap), 1e-12 * MaxAbs(ap));
    Transposed(pa, t);
    EXPECT_LE(MaxAbsDiff(t, pa), 1e-12 * MaxAbs(pa));
  }
}

TEST(MultivariatePinv, EdgeCases) {
  TMatrix z, p;
  z.Resize(3, 2);
  ASSERT_TRUE(PseudoInverse(z, p, 0.0));  // zero matrix: zeros
  EXPECT_EQ(p.NrOfColumns(), 2);
  EXPECT_EQ(p.NrOfRows(), 3);
  EXPECT_EQ(MaxAbs(p), 0.0);
  // A negative threshold means the default one: no division by a zero w.
  ASSERT_TRUE(PseudoInverse(z, p, -1.0));
  EXPECT_EQ(MaxAbs(p), 0.0);
  // Threshold above every singular value: zeros.
  TMatrix a;
  FillRows(a, {{1, 2}, {3, 4}, {5, 6}});
  ASSERT_TRUE(PseudoInverse(a, p, 1e3));
  EXPECT_EQ(MaxAbs(p), 0.0);
  // Non-finite and empty input: false, PInv unchanged.
  p.Resize(1, 1);
  p.SetVal(1, 1, 4.0);
  TMatrix bad;
  FillRows(bad, {{1, NAN}});
  EXPECT_FALSE(PseudoInverse(bad, p, 0.0));
  TMatrix empty;
  empty.Resize(0, 3);
  EXPECT_FALSE(PseudoInverse(empty, p, 0.0));
  EXPECT_EQ(p.GetVal(1, 1), 4.0);
}

// ---- SingValDecomp / SingValEquSolve -------------------------------------

TEST(MultivariateSvd, DecompAndSolveAgainstNumPy) {
  const auto ref = ReadRefBlocks("regress.txt");
  TMatrix a, v, a0;
  FillFrom(a, ref.at("svd_a"));
  FillFrom(a0, ref.at("svd_a"));
  TVector w;
  ASSERT_TRUE(SingValDecomp(a, v, w));
  ASSERT_EQ(w.NrOfElem(), 4);
  for (int k = 1; k <= 4; ++k) EXPECT_NEAR(w.GetVal(k), ref.at("svd_w").v[k - 1], 1e-14 * 4);
  // U W V^T gives A back; the sign rule holds.
  for (int c = 1; c <= 4; ++c)
    for (int r = 1; r <= 6; ++r) {
      double s = 0.0;
      for (int k = 1; k <= 4; ++k) s += a.GetVal(k, r) * w.GetVal(k) * v.GetVal(k, c);
      EXPECT_NEAR(s, a0.GetVal(c, r), 1e-14 * 8);
    }
  for (int k = 1; k <= 4; ++k) {
    int big = 1;
    for (int i = 2; i <= 4; ++i)
      if (std::fabs(v.GetVal(k, i)) > std::fabs(v.GetVal(k, big))) big = i;
    EXPECT_GT(v.GetVal(k, big), 0.0);
  }
  TVector b, x, se;
  b.SetVecSize(6);
  for (int i = 1; i <= 6; ++i) b.SetVal(i, ref.at("svd_b").v[i - 1]);
  EXPECT_EQ(SingValEquSolve(a, v, w, b, x, se), 4);
  for (int i = 1; i <= 4; ++i) EXPECT_NEAR(x.GetVal(i), ref.at("svd_x").v[i - 1], 1e-13);
  // Size mismatch: -1, outputs unchanged.
  TVector shortb;
  shortb.SetVecSize(5);
  EXPECT_EQ(SingValEquSolve(a, v, w, shortb, x, se), -1);
  EXPECT_NEAR(x.GetVal(1), ref.at("svd_x").v[0], 1e-13);
  // A zeroed singular value lowers the rank.
  w.SetVal(4, 0.0);
  EXPECT_EQ(SingValEquSolve(a, v, w, b, x, se), 3);
}

// ---- MultiLinReg ----------------------------------------------------------

TEST(MultivariateRegression, LongleyCertifiedValues) {
  std::ifstream in(std::string(NUMBRA_SHARED_DATA_DIR) + "/nist/Longley.dat");
  ASSERT_TRUE(in.good());
  std::map<std::string, double> cert;
  std::vector<std::vector<double>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("# certified ", 0) == 0) {
      std::istringstream ls(line.substr(12));
      std::string key, eq;
      double val = 0.0;
      ls >> key >> eq >> val;
      cert[key] = val;
    } else if (!line.empty() && line[0] != '#') {
      std::istringstream ls(line);
      std::vector<double> r;
      for (double t; ls >> t;) r.push_back(t);
      rows.push_back(r);
    }
  }
  ASSERT_EQ(rows.size(), 16u);
  TMatrix x;
  TVector y;
  x.Resize(6, 16);
  y.SetVecSize(16);
  for (int r = 0; r < 16; ++r) {
    y.SetVal(r + 1, rows[r][0]);
    for (int c = 1; c <= 6; ++c) x.SetVal(c, r + 1, rows[r][c]);
  }
  TVector coef, se;
  bool near = true;
  TRegressionStats st;
  ASSERT_TRUE(MultiLinReg(x, y, coef, se, near, &st));
  EXPECT_FALSE(near);
  ASSERT_EQ(coef.NrOfElem(), 7);
  for (int k = 0; k <= 6; ++k) {
    char b[8];
    char sdb[8];
    std::snprintf(b, sizeof b, "B%d", k);
    std::snprintf(sdb, sizeof sdb, "sd_B%d", k);
    EXPECT_GE(LRE(coef.GetVal(k + 1), cert[b]), 11.0) << b << " " << coef.GetVal(k + 1);
    EXPECT_GE(LRE(se.GetVal(k + 1), cert[sdb]), 11.0) << b;
    std::printf("Longley %s: LRE coefficient %.1f, standard error %.1f\n", b,
                LRE(coef.GetVal(k + 1), cert[b]), LRE(se.GetVal(k + 1), cert[sdb]));
  }
  EXPECT_GE(LRE(st.ResidualSD, cert["residual_sd"]), 11.0);
  EXPECT_GE(LRE(st.RSquared, cert["r_squared"]), 11.0);
  EXPECT_EQ(st.DegreesOfFreedom, 9);
  EXPECT_EQ(st.Rank, 6);
}

TEST(MultivariateRegression, OlsAndRidgeAgainstClosedForms) {
  const auto ref = ReadRefBlocks("regress.txt");
  TMatrix x;
  FillFrom(x, ref.at("X"));
  TVector y;
  y.SetVecSize(25);
  for (int i = 1; i <= 25; ++i) y.SetVal(i, ref.at("y").v[i - 1]);
  auto expect_vec = [](const TVector& got, const numbra_test::RefBlock& want, double tol) {
    ASSERT_EQ(got.NrOfElem(), static_cast<int32_t>(want.v.size()));
    for (int i = 1; i <= got.NrOfElem(); ++i) {
      const double w = want.v[i - 1];
      EXPECT_NEAR(got.GetVal(i), w, tol * std::max(1.0, std::fabs(w))) << i;
    }
  };
  TVector coef, se, a, b, fitted;
  bool near = true;
  TRegressionStats st;
  ASSERT_TRUE(MultiLinReg(x, y, coef, se, near, &st));
  expect_vec(coef, ref.at("ols_coef"), 1e-11);
  expect_vec(se, ref.at("ols_se"), 1e-11);
  EXPECT_NEAR(st.RSquared, ref.at("ols_r2").v[0], 1e-13);
  ASSERT_TRUE(RidgeReg(x, y, 2.5, coef, fitted, near, &st));
  expect_vec(coef, ref.at("ridge_coef"), 1e-11);
  ASSERT_EQ(fitted.NrOfElem(), 25);
  double f1 = coef.GetVal(1);
  for (int c = 1; c <= 4; ++c) f1 += coef.GetVal(c + 1) * x.GetVal(c, 1);
  EXPECT_NEAR(fitted.GetVal(1), f1, 1e-11 * std::fabs(f1));
  ASSERT_TRUE(RidgeRegStd(x, y, 2.5, coef, se, a, b, near, &st));
  expect_vec(coef, ref.at("ridgestd_coef"), 1e-11);
  expect_vec(se, ref.at("ridgestd_std"), 1e-11);
  // Lambda 0 is ordinary least squares.
  ASSERT_TRUE(RidgeReg(x, y, 0.0, coef, fitted, near, nullptr));
  expect_vec(coef, ref.at("ols_coef"), 1e-11);
}

TEST(MultivariateRegression, BadInputAndCollinearity) {
  TMatrix x;
  FillRows(x, {{1, 2}, {2, 4}, {3, 6}, {4, 8.0}, {5, 10}});
  TVector y, coef, se, f, a, b;
  y.SetVecSize(5);
  for (int i = 1; i <= 5; ++i) y.SetVal(i, 3.0 * i + 1.0);
  bool near = false;
  // Collinear columns: the slope split as the minimum-norm solution of the
  // columns scaled to unit length (column 2 is twice column 1), flagged.
  ASSERT_TRUE(MultiLinReg(x, y, coef, se, near, nullptr));
  EXPECT_TRUE(near);
  EXPECT_NEAR(coef.GetVal(2), 1.5, 1e-13);
  EXPECT_NEAR(coef.GetVal(3), 0.75, 1e-13);
  EXPECT_NEAR(coef.GetVal(1), 1.0, 1e-13);
  // Failures leave the outputs alone.
  coef.SetVecSize(1);
  coef.SetVal(1, 42.0);
  TVector y4;
  y4.SetVecSize(4);
  EXPECT_FALSE(MultiLinReg(x, y4, coef, se, near, nullptr));
  EXPECT_FALSE(RidgeReg(x, y, -1.0, coef, f, near, nullptr));
  EXPECT_FALSE(RidgeRegStd(x, y, NAN, coef, se, a, b, near, nullptr));
  TMatrix three;
  FillRows(three, {{1, 2}, {2, 1}, {3, 5}});
  TVector y3;
  y3.SetVecSize(3);
  EXPECT_FALSE(MultiLinReg(three, y3, coef, se, near, nullptr));  // no degree of freedom
  y.SetVal(2, INFINITY);
  EXPECT_FALSE(MultiLinReg(x, y, coef, se, near, nullptr));
  EXPECT_EQ(coef.NrOfElem(), 1);
  EXPECT_EQ(coef.GetVal(1), 42.0);
}

}  // namespace
