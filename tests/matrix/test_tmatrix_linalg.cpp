// TMatrix linear algebra: LU and Cholesky factors, inverse, determinant,
// norms and balancing.
#include "ORK_matrix.h"
#include "matrix_test_util.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

using namespace numbra;
using matrix_test::BitEqual;
using matrix_test::Counted;
using matrix_test::FillRandom;
using matrix_test::MaxDiff;
using matrix_test::SetRows;
using matrix_test::StepCounter;

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A random n x n matrix with a moderate condition number.
void WellConditioned(TMatrix& m, int32_t n, uint64_t seed) {
  FillRandom(m, n, n, seed);
  for (int32_t i = 1; i <= n; ++i) m.SetVal(i, i, m.GetVal(i, i) + 0.5 * std::sqrt(n));
}

// Crout's loops as printed in Numerical Recipes (ludcmp and lubksb), on
// a(row, col) 0-based: the reference for the blocked factorisation.
struct RefLu {
  std::vector<double> a;  // column-major
  std::vector<int> indx;
  int sign = 1;
  bool ok = true;
  int n = 0;
  double& A(int i, int j) { return a[static_cast<std::size_t>(j * n + i)]; }
};

RefLu ReferenceCrout(const TMatrix& m) {
  RefLu f;
  f.n = m.NrOfColumns();
  const int n = f.n;
  f.a.assign(m.Values().begin(), m.Values().end());
  f.indx.assign(static_cast<std::size_t>(n), 0);
  std::vector<double> vv(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    double big = 0.0;
    for (int j = 0; j < n; ++j) big = std::max(big, std::fabs(f.A(i, j)));
    if (big == 0.0) f.ok = false;
    vv[static_cast<std::size_t>(i)] = 1.0 / big;
  }
  if (!f.ok) return f;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < j; ++i) {
      double sum = f.A(i, j);
      for (int k = 0; k < i; ++k) sum = sum - f.A(i, k) * f.A(k, j);
      f.A(i, j) = sum;
    }
    double big = 0.0;
    int imax = j;
    for (int i = j; i < n; ++i) {
      double sum = f.A(i, j);
      for (int k = 0; k < j; ++k) sum = sum - f.A(i, k) * f.A(k, j);
      f.A(i, j) = sum;
      const double dum = vv[static_cast<std::size_t>(i)] * std::fabs(sum);
      if (dum >= big) {
        big = dum;
        imax = i;
      }
    }
    if (j != imax) {
      for (int k = 0; k < n; ++k) std::swap(f.A(imax, k), f.A(j, k));
      f.sign = -f.sign;
      vv[static_cast<std::size_t>(imax)] = vv[static_cast<std::size_t>(j)];
    }
    f.indx[static_cast<std::size_t>(j)] = imax;
    if (std::fabs(f.A(j, j)) < 1e-100) {
      f.ok = false;
      f.A(j, j) = 1e-100;
    }
    for (int i = j + 1; i < n; ++i) f.A(i, j) = f.A(i, j) / f.A(j, j);
  }
  return f;
}

void ReferenceInverse(RefLu& f, TMatrix& out) {
  const int n = f.n;
  out.Resize(n, n);
  std::vector<double> b(static_cast<std::size_t>(n));
  for (int j = 0; j < n; ++j) {
    std::fill(b.begin(), b.end(), 0.0);
    b[static_cast<std::size_t>(j)] = 1.0;
    int ii = -1;
    for (int i = 0; i < n; ++i) {
      const int ip = f.indx[static_cast<std::size_t>(i)];
      double sum = b[static_cast<std::size_t>(ip)];
      b[static_cast<std::size_t>(ip)] = b[static_cast<std::size_t>(i)];
      if (ii >= 0)
        for (int k = ii; k < i; ++k) sum = sum - f.A(i, k) * b[static_cast<std::size_t>(k)];
      else if (sum != 0.0)
        ii = i;
      b[static_cast<std::size_t>(i)] = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
      double sum = b[static_cast<std::size_t>(i)];
      for (int k = i + 1; k < n; ++k) sum = sum - f.A(i, k) * b[static_cast<std::size_t>(k)];
      b[static_cast<std::size_t>(i)] = sum / f.A(i, i);
    }
    for (int i = 0; i < n; ++i) out.SetVal(j + 1, i + 1, b[static_cast<std::size_t>(i)]);
  }
}

// |A * B - I| (largest element).
double DistanceFromIdentity(TMatrix& a, const TMatrix& b) {
  TMatrix p;
  a.Multiply(&b, &p);
  double d = 0.0;
  for (int32_t c = 1; c <= p.NrOfColumns(); ++c)
    for (int32_t r = 1; r <= p.NrOfRows(); ++r)
      d = std::max(d, std::fabs(p.GetVal(c, r) - (c == r ? 1.0 : 0.0)));
  return d;
}

}  // namespace

// ---- LU -----------------------------------------------------------------------

namespace {

// Orders that exercise every edge of the blocked factorisation and inverse:
// 1..17 (the plain-loop leaves of 16 rows), and around 24, 32, 48, 64 and
// 96 (recursive splits, the register tiles, the 32-column blocks of the
// back substitution), 128 (the panel width and the forward-solve block)
// and 256 (two panels).
const int32_t kEdgeOrders[] = {1,  2,  3,  4,  5,   6,   7,   8,   9,   10,  11,  12, 13, 14,
                               15, 16, 17, 23, 24,  25,  31,  32,  33,  47,  48,  49, 63, 64,
                               65, 95, 96, 97, 127, 128, 129, 130, 160, 255, 256, 257};

// Two kinds of matrices: uniform values in [-1, 1], and small integers in
// [-3, 3], whose scaled pivot candidates tie often and whose factors hold
// exact zeros (where the sign of a zero sum shows).
struct EdgeCase {
  int32_t n;
  bool integers;
};

std::vector<EdgeCase> EdgeCases() {
  std::vector<EdgeCase> cases;
  for (const int32_t n : kEdgeOrders)
    for (const bool integers : {false, true}) cases.push_back({n, integers});
  return cases;
}

// A nonsingular matrix of the case (by Crout's loops); the seed is advanced
// past singular draws.
void EdgeMatrix(const EdgeCase& c, TMatrix& a, RefLu& ref) {
  for (uint64_t seed = 1000 + static_cast<uint64_t>(c.n) * 2 + (c.integers ? 1 : 0);;
       seed += 7919) {
    FillRandom(a, c.n, c.n, seed);
    if (c.integers)
      for (int32_t col = 1; col <= c.n; ++col)
        for (int32_t r = 1; r <= c.n; ++r) a.SetVal(col, r, std::round(3.0 * a.GetVal(col, r)));
    else if (c.n > 1)
      a.SetVal(1, 1, 0.0);  // forces a row exchange in the first column
    ref = ReferenceCrout(a);
    if (ref.ok) return;
  }
}

bool SameBits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

class TMatrixLinAlgEdges : public ::testing::TestWithParam<EdgeCase> {};

}  // namespace

TEST_P(TMatrixLinAlgEdges, LuFactorsAndDeterminantEqualCroutsLoopsBitForBit) {
  const EdgeCase c = GetParam();
  const int32_t n = c.n;
  RefLu ref;
  TMatrix a;
  EdgeMatrix(c, a, ref);
  TMatrix l;
  TMatrix u;
  TMatrix src;
  src.Assign(&a);
  ASSERT_TRUE(src.LUdecomposition(&l, &u));
  for (int32_t col = 1; col <= n; ++col)
    for (int32_t r = 1; r <= n; ++r) {
      const double want_l = r > col ? ref.A(r - 1, col - 1) : (r == col ? 1.0 : 0.0);
      const double want_u = r <= col ? ref.A(r - 1, col - 1) : 0.0;
      ASSERT_TRUE(SameBits(l.GetVal(col, r), want_l)) << "L(" << r << ", " << col << ")";
      ASSERT_TRUE(SameBits(u.GetVal(col, r), want_u)) << "U(" << r << ", " << col << ")";
    }
  double det = ref.sign;
  for (int i = 0; i < n; ++i) det *= ref.A(i, i);
  EXPECT_TRUE(SameBits(a.Determinant(), det)) << a.Determinant() << " vs " << det;
}

TEST_P(TMatrixLinAlgEdges, InverseEqualsTheTextbookSolveBitForBit) {
  RefLu ref;
  TMatrix a;
  EdgeMatrix(GetParam(), a, ref);
  TMatrix want;
  ReferenceInverse(ref, want);
  // Twice: the second call finds the work arrays of the first, filled.
  for (int pass = 0; pass < 2; ++pass) {
    TMatrix got;
    got.Assign(&a);
    ASSERT_TRUE(got.Invert());
    EXPECT_TRUE(BitEqual(got, want)) << "pass " << pass;
  }
}

// (Named so that the portable-kernel run, filtered on TMatrixLinAlg*, has
// them too.)
INSTANTIATE_TEST_SUITE_P(TMatrixLinAlg, TMatrixLinAlgEdges, ::testing::ValuesIn(EdgeCases()),
                         [](const ::testing::TestParamInfo<EdgeCase>& info) {
                           return std::to_string(info.param.n) +
                                  (info.param.integers ? "_integers" : "_uniform");
                         });

TEST(TMatrixLinAlg, LuOfRandomMatricesReproducesTheRowPermutedMatrix) {
  for (const uint64_t seed : {1, 2, 3}) {
    TMatrix a;
    FillRandom(a, 40, 40, seed);
    TMatrix l;
    TMatrix u;
    ASSERT_TRUE(a.LUdecomposition(&l, &u));
    TMatrix lu;
    ASSERT_TRUE(l.Multiply(&u, &lu));
    // Each row of L * U is a row of A: match them up (random rows differ).
    std::vector<bool> used(40, false);
    for (int32_t r = 1; r <= 40; ++r) {
      int32_t match = 0;
      for (int32_t s = 1; s <= 40 && match == 0; ++s) {
        if (used[static_cast<std::size_t>(s - 1)]) continue;
        double d = 0.0;
        for (int32_t c = 1; c <= 40; ++c)
          d = std::max(d, std::fabs(lu.GetVal(c, r) - a.GetVal(c, s)));
        // Entries of |L| |U| stay below ~40 here; 100 n eps is a generous
        // bound for the backward error of partial pivoting.
        if (d < 100 * 40 * kEps * 40) match = s;
      }
      ASSERT_NE(match, 0) << "row " << r << " of L*U is no row of A";
      used[static_cast<std::size_t>(match - 1)] = true;
    }
  }
}

// Above 4 MiB the factors are moved into L with streaming stores; the
// aliased call (U is the matrix itself) separates them by plain loops from
// a work copy. Both give the same bits, and every element of L is written.
TEST(TMatrixLinAlg, LargeLuFactorsAreTheSameOnTheStreamingAndTheAliasedPath) {
  TMatrix a;
  FillRandom(a, 730, 730, 7);
  TMatrix l;
  TMatrix u;
  l.Resize(730, 730);
  l.Fill(std::nan(""));
  ASSERT_TRUE(a.LUdecomposition(&l, &u));
  TMatrix l2;
  TMatrix u2;
  u2.Assign(&a);
  ASSERT_TRUE(u2.LUdecomposition(&l2, &u2));
  EXPECT_TRUE(BitEqual(l, l2));
  EXPECT_TRUE(BitEqual(u, u2));
}

TEST(TMatrixLinAlg, LuFailuresAndEvents) {
  TMatrix l;
  TMatrix u;
  SetRows(l, {{7}});
  SetRows(u, {{8}});
  TMatrix rect;
  rect.Resize(3, 2);
  EXPECT_FALSE(rect.LUdecomposition(&l, &u));
  EXPECT_EQ(l.GetVal(1, 1), 7.0);  // untouched
  EXPECT_EQ(u.GetVal(1, 1), 8.0);
  TMatrix a;
  SetRows(a, {{1, 2}, {0, 0}});  // zero row
  EXPECT_FALSE(a.LUdecomposition(&l, &u));
  EXPECT_EQ(l.GetVal(1, 1), 0.0);  // the old 7 does not survive a failure
  // A result of the right size full of NaN: every element is written.
  SetRows(a, {{4, 3}, {6, 3}});
  l.Fill(std::nan(""));
  ASSERT_TRUE(a.LUdecomposition(&l, &u));
  EXPECT_EQ(l.GetVal(2, 1), 0.0);
  EXPECT_EQ(l.GetVal(1, 1), 1.0);
  EXPECT_EQ(l.GetVal(1, 2), 4.0 / 6.0);
  SetRows(a, {{1, 2}, {0, 0}});
  SetRows(a, {{1, 2}, {2, 4}});  // singular: pivot 0 replaced
  EXPECT_FALSE(a.LUdecomposition(&l, &u));
  EXPECT_FALSE(a.LUdecomposition(nullptr, &u));
  // Events: L is resized and filled (two), U cloned (resize, four SetVal, Changed).
  Counted cl;
  Counted cu;
  SetRows(a, {{4, 3}, {6, 3}});
  cl.changes = 0;
  cu.changes = 0;
  ASSERT_TRUE(a.LUdecomposition(&cl.m, &cu.m));
  EXPECT_EQ(cl.changes, 2);
  EXPECT_EQ(cu.changes, 1 + 4 + 1);
  // The matrix itself is not changed.
  EXPECT_EQ(a.GetVal(1, 1), 4.0);
  EXPECT_EQ(a.GetVal(2, 2), 3.0);
}

// ---- determinant ---------------------------------------------------------------

TEST(TMatrixLinAlg, DeterminantsOfIntegerMatricesMatchExactValues) {
  // Exact rational determinants from Python's fractions (tests/data/matrix).
  int checked = 0;
  for (const auto& ref : matrix_test::ReadRefs()) {
    if (ref.kind != "det") continue;
    const int32_t n = std::stoi(ref.args[0]);
    TMatrix m;
    m.Resize(n, n);
    for (int32_t k = 0; k < n * n; ++k)
      m.SetVal(k / n + 1, k % n + 1, std::stod(ref.args[static_cast<std::size_t>(1 + k)]));
    const double want = std::stod(ref.result.substr(0, ref.result.find('/')));
    // Partial pivoting: backward error a few n eps relative to the factors;
    // the values here are small integers, so 64 n eps of the result is ample.
    EXPECT_NEAR(m.Determinant(), want, 64 * n * kEps * std::fabs(want)) << ref.result;
    ++checked;
  }
  EXPECT_EQ(checked, 5);
}

TEST(TMatrixLinAlg, DeterminantCases) {
  TMatrix m;
  SetRows(m, {{0, 1}, {1, 0}});
  EXPECT_EQ(m.Determinant(), -1.0);  // one row exchange
  SetRows(m, {{1, 2, 3}, {4, 5, 6}, {1, 2, 3}});
  EXPECT_EQ(m.Determinant(), 0.0);  // two equal rows: pivot below 1e-100
  SetRows(m, {{1, 2}, {0, 0}});
  EXPECT_EQ(m.Determinant(), 0.0);  // zero row
  m.Resize(3, 2);
  EXPECT_EQ(m.Determinant(), 0.0);  // not square
  m.Resize(0, 0);
  EXPECT_EQ(m.Determinant(), 1.0);  // the empty product
  SetRows(m, {{1e-60, 0}, {0, 1e-60}});
  EXPECT_DOUBLE_EQ(m.Determinant(), 1e-120);  // pivots above 1e-100
  SetRows(m, {{1e-101, 0}, {0, 1}});
  EXPECT_EQ(m.Determinant(), 0.0);  // a pivot below 1e-100
}

TEST(TMatrixLinAlg, DeterminantOfAProductIsTheProductOfDeterminants) {
  for (const uint64_t seed : {4, 5, 6}) {
    TMatrix a;
    TMatrix b;
    WellConditioned(a, 30, seed);
    WellConditioned(b, 30, seed + 10);
    TMatrix ab;
    ASSERT_TRUE(a.Multiply(&b, &ab));
    const double da = a.Determinant();
    const double db = b.Determinant();
    // Each determinant carries a relative error of order n cond eps; these
    // matrices are well conditioned (cond < 100), so 1e4 n eps is ample.
    EXPECT_NEAR(ab.Determinant() / (da * db), 1.0, 1e4 * 30 * kEps);
  }
}

TEST(TMatrixLinAlg, PermutationSignIsPerThread) {
  TMatrix plus;
  TMatrix minus;
  SetRows(plus, {{2, 0}, {0, 3}});   // no exchange: +6
  SetRows(minus, {{0, 2}, {3, 0}});  // one exchange: -6
  std::atomic<bool> wrong{false};
  std::thread t1([&] {
    TMatrix m;
    m.Assign(&plus);
    for (int i = 0; i < 20000; ++i)
      if (m.Determinant() != 6.0) wrong = true;
  });
  std::thread t2([&] {
    TMatrix m;
    m.Assign(&minus);
    for (int i = 0; i < 20000; ++i)
      if (m.Determinant() != -6.0) wrong = true;
  });
  t1.join();
  t2.join();
  EXPECT_FALSE(wrong);
}

// ---- inverse --------------------------------------------------------------------

TEST(TMatrixLinAlg, InvertCases) {
  Counted m;
  SetRows(m.m, {{2, 0}, {0, 4}});
  m.changes = 0;
  ASSERT_TRUE(m.m.Invert());
  EXPECT_EQ(m.changes, 1);
  EXPECT_EQ(m.m.GetVal(1, 1), 0.5);
  EXPECT_EQ(m.m.GetVal(2, 2), 0.25);
  EXPECT_EQ(m.m.GetVal(2, 1), 0.0);
  // Zero row: false, unchanged, OnChange all the same.
  SetRows(m.m, {{1, 2}, {0, 0}});
  m.changes = 0;
  EXPECT_FALSE(m.m.Invert());
  EXPECT_EQ(m.changes, 1);
  EXPECT_EQ(m.m.GetVal(2, 1), 2.0);
  // Singular (pivot below 1e-100): false, and the values are kept.
  SetRows(m.m, {{1, 2}, {2, 4}});
  EXPECT_FALSE(m.m.Invert());
  EXPECT_EQ(m.m.GetVal(2, 2), 4.0);
  // Not square or empty: false without OnChange.
  m.m.Resize(3, 2);
  m.changes = 0;
  EXPECT_FALSE(m.m.Invert());
  m.m.Resize(0, 0);
  EXPECT_FALSE(m.m.Invert());
  EXPECT_EQ(m.changes, 1);  // the Resize only
  // Non-finite elements: false, unchanged.
  SetRows(m.m, {{1, 2}, {3, kNaN}});
  EXPECT_FALSE(m.m.Invert());
  EXPECT_TRUE(std::isnan(m.m.GetVal(2, 2)));
  SetRows(m.m, {{1, 2}, {3, std::numeric_limits<double>::infinity()}});
  EXPECT_FALSE(m.m.Invert());
  // One non-finite element anywhere in a 7 x 7 matrix (three blocks of the
  // scan and a tail of one) is found.
  for (const double bad :
       {kNaN, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()})
    for (int32_t pos = 0; pos < 49; ++pos) {
      TMatrix a;
      a.Resize(7, 7);
      for (int32_t i = 1; i <= 7; ++i) a.SetVal(i, i, 2.0);
      a.SetVal(pos / 7 + 1, pos % 7 + 1, bad);
      EXPECT_FALSE(a.Invert()) << bad << " at " << pos;
    }
  // Pivots of 1e-90 are fine; an inverse that overflows is refused.
  SetRows(m.m, {{1e-90, 0}, {0, 1}});
  EXPECT_TRUE(m.m.Invert());
  EXPECT_DOUBLE_EQ(m.m.GetVal(1, 1), 1e90);
  SetRows(m.m, {{1e-90, 1e200}, {0, 1e-90}});  // inverse element -1e380
  EXPECT_FALSE(m.m.Invert());
  EXPECT_EQ(m.m.GetVal(2, 1), 1e200);
}

TEST(TMatrixLinAlg, InverseOfRandomMatricesTimesTheMatrixIsTheIdentity) {
  for (const int32_t n : {10, 50, 120}) {
    TMatrix a;
    WellConditioned(a, n, 300 + static_cast<uint64_t>(n));
    TMatrix inv;
    inv.Assign(&a);
    ASSERT_TRUE(inv.Invert());
    // Residual of a backward-stable inverse: about n cond eps; cond < 100.
    EXPECT_LT(DistanceFromIdentity(a, inv), 100.0 * n * kEps * 100) << n;
    EXPECT_LT(DistanceFromIdentity(inv, a), 100.0 * n * kEps * 100) << n;
  }
}

TEST(TMatrixLinAlg, InverseOfHilbertMatricesMatchesTheExactIntegers) {
  // Hilbert matrices are badly conditioned (cond(H7) ~ 5e8); the exact
  // inverses (integers, from Python's fractions) bound the error: relative
  // error about cond * eps, so 10 * cond * eps per element.
  const double cond[] = {524.0, 4.8e5, 4.8e8};
  int which = 0;
  for (const auto& ref : matrix_test::ReadRefs()) {
    if (ref.kind != "hilbinv") continue;
    const int32_t n = std::stoi(ref.args[0]);
    TMatrix h;
    h.Resize(n, n);
    for (int32_t c = 1; c <= n; ++c)
      for (int32_t r = 1; r <= n; ++r) h.SetVal(c, r, 1.0 / (c + r - 1));
    ASSERT_TRUE(h.Invert());
    std::istringstream in(ref.result);
    double largest = 0.0;
    std::vector<double> exact;
    double v = 0.0;
    while (in >> v) {
      exact.push_back(v);
      largest = std::max(largest, std::fabs(v));
    }
    ASSERT_EQ(exact.size(), static_cast<std::size_t>(n * n));
    for (int32_t k = 0; k < n * n; ++k)
      EXPECT_NEAR(h.GetVal(k / n + 1, k % n + 1), exact[static_cast<std::size_t>(k)],
                  10 * cond[which] * kEps * largest)
          << n << ": " << k;
    ++which;
  }
  EXPECT_EQ(which, 3);
}

TEST(TMatrixLinAlg, InvertReportsTwoStepsPerColumnAndStopsOnAbort) {
  TMatrix a;
  WellConditioned(a, 40, 7);
  TMatrix w;
  w.Assign(&a);
  {
    StepCounter steps;
    ASSERT_TRUE(w.Invert());
    EXPECT_EQ(steps.steps, 80);
  }
  for (const int abort_at : {1, 40, 41, 75}) {
    w.Assign(&a);
    StepCounter steps(abort_at);
    EXPECT_FALSE(w.Invert()) << abort_at;
    EXPECT_EQ(steps.steps, abort_at);
    EXPECT_TRUE(BitEqual(w, a));  // nothing lost
  }
  // An abort flag already set stops before the first step.
  w.Assign(&a);
  StepCounter steps;
  AbortMathProc = true;
  EXPECT_FALSE(w.Invert());
  EXPECT_EQ(steps.steps, 0);
}

TEST(TMatrixLinAlg, InvertAndDeterminantCalledFromAProgressHandler) {
  TMatrix a;
  WellConditioned(a, 40, 7);
  TMatrix b;
  WellConditioned(b, 40, 8);
  TMatrix want_a;
  want_a.Assign(&a);
  ASSERT_TRUE(want_a.Invert());
  TMatrix want_b;
  want_b.Assign(&b);
  ASSERT_TRUE(want_b.Invert());
  const double det_b = b.Determinant();
  // The handler inverts b while a is being inverted: neither may see the
  // other's work arrays.
  int calls = 0;
  MathFeedBackProc = [&](double) {
    if (++calls != 30) return;
    TMatrix inner;
    inner.Assign(&b);
    EXPECT_TRUE(inner.Invert());
    EXPECT_TRUE(BitEqual(inner, want_b));
    EXPECT_TRUE(SameBits(b.Determinant(), det_b));
  };
  TMatrix got;
  got.Assign(&a);
  EXPECT_TRUE(got.Invert());
  MathFeedBackProc = nullptr;
  EXPECT_GE(calls, 30);
  EXPECT_TRUE(BitEqual(got, want_a));
}

// ---- Cholesky --------------------------------------------------------------------

TEST(TMatrixLinAlg, CholeskyFactorTimesItsTransposeIsTheMatrix) {
  for (const int32_t n : {1, 4, 25, 60}) {
    TMatrix g;
    FillRandom(g, n, n + 3, static_cast<uint64_t>(n));
    TMatrix a;
    ASSERT_TRUE(g.TransposeAndMultiply(&g, &a));  // symmetric positive definite
    TMatrix before;
    before.Assign(&a);
    Counted l;
    l.m.Resize(n, n);  // zero upper triangle
    l.changes = 0;
    ASSERT_TRUE(a.CholeskyDecomp(&l.m));
    EXPECT_TRUE(BitEqual(a, before));  // the input is only read
    EXPECT_EQ(l.changes, n * (n + 1) / 2 + n);
    for (int32_t c = 2; c <= n; ++c) EXPECT_EQ(l.m.GetVal(c, 1), 0.0);
    TMatrix llt;
    ASSERT_TRUE(l.m.MultiplyTransposed(&l.m, &llt));
    // Cholesky is backward stable: |L L^T - A| <= c n eps |A|.
    EXPECT_LT(MaxDiff(llt, a), 10.0 * n * kEps * a.Norm(TNormType::ntColwise)) << n;
  }
}

TEST(TMatrixLinAlg, CholeskyFailuresAndKnownFactor) {
  TMatrix a;
  SetRows(a, {{4, 2}, {2, 10}});
  TMatrix l;
  ASSERT_TRUE(a.CholeskyDecomp(&l));
  EXPECT_EQ(l.GetVal(1, 1), 2.0);
  EXPECT_EQ(l.GetVal(1, 2), 1.0);
  EXPECT_EQ(l.GetVal(2, 2), 3.0);
  SetRows(a, {{1, 2}, {2, 1}});  // indefinite
  EXPECT_FALSE(a.CholeskyDecomp(&l));
  EXPECT_EQ(l.GetVal(2, 2), 0.0);  // the diagonal element that does not exist
  a.Resize(2, 3);
  SetRows(l, {{5}});
  EXPECT_FALSE(a.CholeskyDecomp(&l));
  EXPECT_EQ(l.GetVal(1, 1), 5.0);
  EXPECT_FALSE(a.CholeskyDecomp(nullptr));
}

// ---- norms ------------------------------------------------------------------------

TEST(TMatrixLinAlg, NormsOfASmallMatrix) {
  TMatrix m;
  SetRows(m, {{1, -2}, {3, 4}});
  EXPECT_EQ(m.Norm(TNormType::ntColwise), 6.0);
  EXPECT_EQ(m.Norm(TNormType::ntRowwise), 7.0);
  EXPECT_DOUBLE_EQ(m.Norm(TNormType::ntFrobenius), std::sqrt(30.0));
  m.Resize(0, 0);
  for (const auto nt :
       {TNormType::ntColwise, TNormType::ntRowwise, TNormType::ntFrobenius, TNormType::ntSpectral})
    EXPECT_EQ(m.Norm(nt), 0.0);
  SetRows(m, {{1e300, 1e300}, {1e300, 1e300}});
  EXPECT_DOUBLE_EQ(m.Norm(TNormType::ntFrobenius), 2e300);  // no overflow
  SetRows(m, {{1, kNaN}, {3, 4}});
  EXPECT_TRUE(std::isnan(m.Norm(TNormType::ntColwise)));
  EXPECT_TRUE(std::isnan(m.Norm(TNormType::ntRowwise)));
  EXPECT_TRUE(std::isnan(m.Norm(TNormType::ntFrobenius)));
}

TEST(TMatrixLinAlg, SpectralNormIsTheLargestEigenvalue) {
  // The second-difference matrix tridiag(-1, 2, -1) of order n has the
  // eigenvalues 2 - 2 cos(k pi / (n + 1)), k = 1..n.
  for (const int32_t n : {1, 2, 7, 40}) {
    TMatrix m;
    m.Resize(n, n);
    for (int32_t i = 1; i <= n; ++i) {
      m.SetVal(i, i, 2.0);
      if (i > 1) m.SetVal(i - 1, i, -1.0);
      if (i < n) m.SetVal(i + 1, i, -1.0);
    }
    const double want = 2.0 - 2.0 * std::cos(n * M_PI / (n + 1));
    StepCounter steps;
    EXPECT_NEAR(m.Norm(TNormType::ntSpectral), want, 16 * n * kEps * 4) << n;
    EXPECT_GE(steps.steps, n - 1);
  }
  // Largest, not largest in magnitude; only the lower triangle counts.
  TMatrix m;
  SetRows(m, {{-5, 99}, {0, 1}});
  EXPECT_NEAR(m.Norm(TNormType::ntSpectral), 1.0, 4 * kEps);
}

TEST(TMatrixLinAlg, SpectralNormFailures) {
  TMatrix m;
  m.SetName("S");
  m.Resize(3, 2);
  try {
    (void)m.Norm(TNormType::ntSpectral);
    ADD_FAILURE();
  } catch (const EORKMatrixError& e) {
    EXPECT_EQ(e.Message(), "Component \"S\": spectral norm of a non-square matrix");
  }
  SetRows(m, {{1, 0, 0}, {kNaN, 2, 0}, {0, 1, 3}});
  try {
    (void)m.Norm(TNormType::ntSpectral);
    ADD_FAILURE();
  } catch (const EORKMatrixError& e) {
    EXPECT_EQ(e.Message(), "near singular covariance matrix");
  }
  SetRows(m, {{2, 1, 0}, {1, 2, 1}, {0, 1, 2}});
  StepCounter steps(1);
  EXPECT_THROW((void)m.Norm(TNormType::ntSpectral), EORKMatrixError);
}

// ---- balancing ------------------------------------------------------------------------

TEST(TMatrixLinAlg, BalanceKeepsEigenvaluesAndEvensOutRowsAndColumns) {
  TMatrix m;
  SetRows(m, {{1, 1e4, 0}, {1e-4, 2, 1e3}, {0, 1e-3, 3}});
  TMatrix before;
  before.Assign(&m);
  Counted c;
  c.m.Assign(&m);
  c.changes = 0;
  ASSERT_TRUE(c.m.Balance());
  EXPECT_EQ(c.changes, 0);
  // A similarity transform: trace and determinant stay.
  EXPECT_NEAR(c.m.Trace(), before.Trace(), 8 * kEps * 6);
  EXPECT_NEAR(c.m.Determinant(), before.Determinant(), 1e-12 * std::fabs(before.Determinant()));
  EXPECT_LT(c.m.Norm(TNormType::ntFrobenius), 1e-2 * before.Norm(TNormType::ntFrobenius));
  // Off-diagonal row and column sums agree within the stopping factor 1.05^2.
  for (int32_t i = 1; i <= 3; ++i) {
    double r = 0.0;
    double s = 0.0;
    for (int32_t j = 1; j <= 3; ++j)
      if (j != i) {
        r += std::fabs(c.m.GetVal(j, i));
        s += std::fabs(c.m.GetVal(i, j));
      }
    EXPECT_LT(std::max(r / s, s / r), 1.2) << i;
  }
}

TEST(TMatrixLinAlg, BalanceEdgeCases) {
  // Diagonal: every off-diagonal sum is 0, nothing changes.
  TMatrix m;
  SetRows(m, {{3, 0}, {0, 5}});
  TMatrix before;
  before.Assign(&m);
  ASSERT_TRUE(m.Balance());
  EXPECT_TRUE(BitEqual(m, before));
  // Row sum 0 with a column sum that is not: the index is skipped, so no
  // element becomes infinite (f would be 0).
  SetRows(m, {{1, 0, 0}, {5, 2, 0}, {7, 0, 3}});  // row 1 has no off-diagonal entries
  ASSERT_TRUE(m.Balance());
  for (const double v : m.Values()) EXPECT_TRUE(std::isfinite(v));
  EXPECT_NEAR(m.Trace(), 6.0, 16 * kEps);
  // Extreme magnitudes stay finite.
  SetRows(m, {{1, 1e300}, {1e-300, 1}});
  ASSERT_TRUE(m.Balance());
  for (const double v : m.Values()) EXPECT_TRUE(std::isfinite(v));
  // Non-finite entries do not make it loop.
  SetRows(m, {{1, kNaN}, {std::numeric_limits<double>::infinity(), 1}});
  (void)m.Balance();
  m.Resize(2, 3);
  EXPECT_FALSE(m.Balance());
}
