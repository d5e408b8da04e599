// CalcCovar, CalcEigVec, the eigen storage, CalcPrincComp and
// MahalanobisDistance.
#include "ORK_math2.h"
#include "ORK_orkbase.h"
#include "ORK_statis.h"
#include "multivariate_test_util.h"
#include "test_support.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <thread>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::FillFrom;
using numbra_test::FillRows;
using numbra_test::ReadRefBlocks;

namespace {

struct FeedbackGuard {
  ~FeedbackGuard() {
    corvel::MathFeedBackProc = nullptr;
    corvel::AbortMathProc.store(false);
  }
};

// ---- CalcCovar -----------------------------------------------------------

// Exact rational references on data with an offset of 1e6 (where the
// one-pass variance keeps no digit), all five modes.
TEST(MultivariateCovar, ModesAgainstExactReference) {
  const auto ref = ReadRefBlocks("covar.txt");
  TMatrix x;
  FillFrom(x, ref.at("data"));
  for (int mode = 0; mode <= 4; ++mode) {
    SCOPED_TRACE(mode);
    const auto& want = ref.at("mode" + std::to_string(mode));
    TMatrix c;
    c.Resize(4, 4);
    ASSERT_TRUE(CalcCovar(x, c, 0, 0, 0, 0, mode));
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) {
        const double w = want.At(i, j);
        // Mode 0 and 4 are plain sums of rounded terms; the centred modes
        // lose the digits of the offset (1e6 / 1) in the centring.
        const double tol = (mode == 0 || mode == 4) ? 1e-14 : 1e-9;
        EXPECT_NEAR(c.GetVal(j + 1, i + 1), w, tol * std::max(1.0, std::fabs(w))) << i << "," << j;
      }
  }
}

TEST(MultivariateCovar, EdgeCases) {
  TMatrix x;
  FillRows(x, {{1, 2, -1}, {2, 4, -2}, {3, 6, -3}, {5, 10, -5}});
  TMatrix c;
  c.Resize(2, 2);
  ASSERT_TRUE(CalcCovar(x, c, 1, 2, 0, 0, 2));  // perfectly correlated
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 2; ++j) EXPECT_NEAR(c.GetVal(i, j), 1.0, 1e-15);
  ASSERT_TRUE(CalcCovar(x, c, 2, 3, 0, 0, 3));  // anti-correlated, squared
  EXPECT_NEAR(c.GetVal(1, 2), 1.0, 1e-15);
  EXPECT_NEAR(c.GetVal(2, 1), 1.0, 1e-15);
  ASSERT_TRUE(CalcCovar(x, c, 1, 2, 0, 0, 7));  // unknown mode: zeros
  EXPECT_EQ(c.GetVal(1, 1), 0.0);

  // Too small a result matrix, one row, empty source: false, untouched.
  c.Fill(9.0);
  EXPECT_FALSE(CalcCovar(x, c, 1, 3, 0, 0, 1));
  EXPECT_FALSE(CalcCovar(x, c, 1, 2, 2, 2, 1));
  TMatrix empty;
  empty.Resize(0, 0);
  EXPECT_FALSE(CalcCovar(empty, c, 0, 0, 0, 0, 1));
  EXPECT_EQ(c.GetVal(1, 1), 9.0);

  // Reversed and oversized bounds are exchanged and clamped; a larger
  // result matrix keeps its other elements.
  TMatrix big;
  big.Resize(3, 3);
  big.Fill(7.0);
  ASSERT_TRUE(CalcCovar(x, big, 2, 1, 99, 1, 1));
  EXPECT_NEAR(big.GetVal(2, 2), 4.0 * big.GetVal(1, 1), 1e-13);
  EXPECT_EQ(big.GetVal(3, 3), 7.0);
  // A constant column in correlation mode: 0 off the diagonal, 1 on it.
  TMatrix k;
  FillRows(k, {{1, 4}, {2, 4}, {3, 4}});
  ASSERT_TRUE(CalcCovar(k, c, 0, 0, 0, 0, 2));
  EXPECT_EQ(c.GetVal(1, 2), 0.0);
  EXPECT_EQ(c.GetVal(2, 2), 1.0);
}

TEST(MultivariateCovar, ProgressAndAbort) {
  FeedbackGuard guard;
  TMatrix x;
  x.Resize(20, 30);
  x.FillRandomGauss(0.0, 1.0);
  TMatrix c;
  c.Resize(20, 20);
  const double start = corvel::ProcStat.load();
  int calls = 0;
  corvel::MathFeedBackProc = [&](double) { ++calls; };
  ASSERT_TRUE(CalcCovar(x, c, 0, 0, 0, 0, 1));
  EXPECT_EQ(calls, 30 + 20 * 21 / 2);                             // rows, pairs
  EXPECT_EQ(corvel::ProcStat.load() - start, 30.0 + 30.0 * 210);  // 1 per row, m per pair
  // Without a handler the same total arrives.
  corvel::MathFeedBackProc = nullptr;
  const double mid = corvel::ProcStat.load();
  ASSERT_TRUE(CalcCovar(x, c, 0, 0, 0, 0, 1));
  EXPECT_EQ(corvel::ProcStat.load() - mid, 30.0 + 30.0 * 210);

  // An abort from the feedback: false, the result matrix untouched; the
  // next call clears the flag.
  c.Fill(5.0);
  corvel::MathFeedBackProc = [](double) { corvel::AbortMathProc.store(true); };
  EXPECT_FALSE(CalcCovar(x, c, 0, 0, 0, 0, 1));
  EXPECT_EQ(c.GetVal(3, 4), 5.0);
  corvel::MathFeedBackProc = nullptr;
  EXPECT_TRUE(CalcCovar(x, c, 0, 0, 0, 0, 1));
}

// ---- CalcEigVec and the storage -------------------------------------------

TEST(MultivariateEigen, DiagonalAndStorageAccess) {
  TMatrix d;
  FillRows(d, {{3, 0, 0}, {0, 1, 0}, {0, 0, 2}});
  const std::string before = d.CRCofData();
  ASSERT_TRUE(CalcEigVec(d));
  EXPECT_EQ(GetEigenSize(), 3);
  const double want[] = {3, 1, 2};
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(GetEigenResult(k, 0), want[k - 1]);
    for (int r = 1; r <= 3; ++r) EXPECT_EQ(GetEigenResult(k, r), k == r ? 1.0 : 0.0);
  }
  for (auto [k, r] : {std::pair{0, 0}, {4, 0}, {1, 4}, {1, -1}, {-2, 1}})
    EXPECT_EQ(GetEigenResult(k, r), 0.0) << k << "," << r;
  EXPECT_EQ(d.CRCofData(), before);
  RemoveEigenMatrix();
  EXPECT_EQ(GetEigenResult(2, 0), 0.0);
  EXPECT_EQ(GetEigenResult(1, 3), 0.0);
  EXPECT_EQ(GetEigenSize(), 3);
}

// Residual ||A v - l v|| and orthonormality of random symmetric matrices,
// every eigenpair, against ||A|| (Frobenius).
TEST(MultivariateEigen, ResidualAndOrthogonality) {
  for (int32_t n : {1, 2, 3, 7, 40, 200}) {
    SCOPED_TRACE(n);
    TMatrix a;
    numbra_test::RandomSymmetric(a, n, static_cast<uint64_t>(n) * 7919u);
    ASSERT_TRUE(CalcEigVec(a));
    ASSERT_EQ(GetEigenSize(), n);
    double norm = 0.0;
    for (double x : a.Values()) norm += x * x;
    norm = std::sqrt(norm);
    std::vector<double> v(static_cast<std::size_t>(n * n));
    for (int k = 0; k < n; ++k)
      for (int r = 0; r < n; ++r)
        v[static_cast<std::size_t>(k * n + r)] = GetEigenResult(k + 1, r + 1);
    double worst_res = 0.0;
    double worst_orth = 0.0;
    for (int k = 0; k < n; ++k) {
      const double lambda = GetEigenResult(k + 1, 0);
      double res = 0.0;
      for (int r = 0; r < n; ++r) {
        long double s = 0.0L;
        for (int c = 0; c < n; ++c)
          s += static_cast<long double>(a.GetVal(c + 1, r + 1)) *
               v[static_cast<std::size_t>(k * n + c)];
        const double e = static_cast<double>(s - static_cast<long double>(lambda) *
                                                     v[static_cast<std::size_t>(k * n + r)]);
        res += e * e;
      }
      worst_res = std::max(worst_res, std::sqrt(res));
      for (int l = 0; l <= k; ++l) {
        long double s = 0.0L;
        for (int r = 0; r < n; ++r)
          s += static_cast<long double>(v[static_cast<std::size_t>(k * n + r)]) *
               v[static_cast<std::size_t>(l * n + r)];
        worst_orth = std::max(worst_orth, std::fabs(static_cast<double>(s) - (k == l ? 1.0 : 0.0)));
      }
    }
    EXPECT_LE(worst_res, 1e-13 * norm);
    EXPECT_LE(worst_orth, 1e-13);
  }
}

TEST(MultivariateEigen, EigenvaluesAgainstLapack) {
  const auto ref = ReadRefBlocks("eigen.txt");
  TMatrix a;
  FillFrom(a, ref.at("sym"));
  ASSERT_TRUE(CalcEigVec(a));
  std::vector<double> got;
  for (int k = 1; k <= 12; ++k) got.push_back(GetEigenResult(k, 0));
  std::sort(got.begin(), got.end());
  const auto& want = ref.at("eigvals");
  for (int k = 0; k < 12; ++k)
    EXPECT_NEAR(got[static_cast<std::size_t>(k)], want.v[static_cast<std::size_t>(k)], 1e-14 * 8);
}

TEST(MultivariateEigen, BadInputLeavesStorage) {
  TMatrix d;
  FillRows(d, {{2, 1}, {1, 2}});
  ASSERT_TRUE(CalcEigVec(d));
  TMatrix bad;
  FillRows(bad, {{1, NAN}, {NAN, 1}});
  EXPECT_FALSE(CalcEigVec(bad));
  TMatrix huge;
  huge.Resize(kMaxEigenOrder + 1, 1);
  EXPECT_FALSE(CalcEigVec(huge));
  EXPECT_EQ(GetEigenSize(), 2);
  EXPECT_NEAR(GetEigenResult(1, 0) + GetEigenResult(2, 0), 4.0, 1e-15);
  // Only the upper triangle is read.
  TMatrix upper;
  FillRows(upper, {{2, 1}, {99, 2}});
  ASSERT_TRUE(CalcEigVec(upper));
  EXPECT_NEAR(std::max(GetEigenResult(1, 0), GetEigenResult(2, 0)), 3.0, 1e-15);
  // An abort: false.
  FeedbackGuard guard;
  corvel::MathFeedBackProc = [](double) { corvel::AbortMathProc.store(true); };
  TMatrix r;
  numbra_test::RandomSymmetric(r, 10, 3);
  EXPECT_FALSE(CalcEigVec(r));
}

// Readers on another thread see a whole decomposition, never a mixture.
TEST(MultivariateEigen, ConcurrentReadersSeeWholeResults) {
  TMatrix a2;
  FillRows(a2, {{5, 0}, {0, 5}});
  TMatrix a3;
  FillRows(a3, {{7, 0, 0}, {0, 7, 0}, {0, 0, 7}});
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::thread reader([&] {
    while (!stop.load()) {
      const double v = GetEigenResult(1, 0);
      if (v != 0.0 && v != 5.0 && v != 7.0) ++bad;
    }
  });
  for (int i = 0; i < 2000; ++i) {
    CalcEigVec(i % 2 ? a2 : a3);
    if (i % 7 == 0) RemoveEigenMatrix();
  }
  stop.store(true);
  reader.join();
  EXPECT_EQ(bad.load(), 0);
}

// ---- CalcPrincComp ----------------------------------------------------------

// The request of a typical host: a matrix filled element by element, the
// components, the eigenvalues read back; the host's matrix is unchanged.
TEST(MultivariatePCA, TypicalRequest) {
  const auto ref = ReadRefBlocks("eigen.txt");
  const auto& data = ref.at("pcadata");
  TMatrix x;
  int changes = 0;
  x.OnChange = [&](TObject*) { ++changes; };
  x.Resize(data.cols, data.rows);
  for (int r = 0; r < data.rows; ++r)
    for (int c = 0; c < data.cols; ++c) x.SetVal(c + 1, r + 1, data.At(r, c));
  EXPECT_EQ(changes, 1 + data.rows * data.cols);
  const std::string crc = x.CRCofData();
  ASSERT_TRUE(CalcPrincComp(x, 1, data.cols, 0, 0, 1, true));
  EXPECT_EQ(changes, 1 + data.rows * data.cols);
  EXPECT_EQ(x.CRCofData(), crc);
  ASSERT_EQ(GetEigenSize(), data.cols);
  const auto& want = ref.at("pcafractions");
  for (int k = 1; k <= data.cols; ++k)
    EXPECT_NEAR(GetEigenResult(k, 0), want.v[static_cast<std::size_t>(k - 1)], 1e-14);
  // Correlation mode, not normalised.
  ASSERT_TRUE(CalcPrincComp(x, 1, data.cols, 0, 0, 2, false));
  const auto& corr = ref.at("pcacorr");
  for (int k = 1; k <= data.cols; ++k)
    EXPECT_NEAR(GetEigenResult(k, 0), corr.v[static_cast<std::size_t>(k - 1)], 1e-13);
}

TEST(MultivariatePCA, KnownCovarianceAndOrdering) {
  // Rows whose covariance matrix is diag(3, 1, 2) exactly: each column is
  // +-sqrt(v * (m - 1) / 2) at two rows and 0 elsewhere, on separate rows.
  const double a = std::sqrt(3.0 * 5 / 2), b = std::sqrt(1.0 * 5 / 2), c = std::sqrt(2.0 * 5 / 2);
  TMatrix x;
  FillRows(x, {{a, 0, 0}, {-a, 0, 0}, {0, b, 0}, {0, -b, 0}, {0, 0, c}, {0, 0, -c}});
  ASSERT_TRUE(CalcPrincComp(x, 1, 3, 0, 0, 1));
  const double want[] = {0.5, 1.0 / 3.0, 1.0 / 6.0};
  const int axis[] = {1, 3, 2};
  for (int k = 1; k <= 3; ++k) {
    EXPECT_NEAR(GetEigenResult(k, 0), want[k - 1], 1e-15);
    EXPECT_NEAR(std::fabs(GetEigenResult(k, axis[k - 1])), 1.0, 1e-15);
  }
  // Column bounds outside the matrix, the all-columns pair, a single row:
  // false, storage unchanged.
  for (auto [lo, hi, lr, hr] : {std::array{0, 0, 0, 0}, {1, 4, 0, 0}, {0, 3, 0, 0}, {1, 3, 2, 2}})
    EXPECT_FALSE(CalcPrincComp(x, lo, hi, lr, hr, 1));
  EXPECT_NEAR(GetEigenResult(1, 0), 0.5, 1e-15);
  // Reversed bounds are exchanged.
  ASSERT_TRUE(CalcPrincComp(x, 3, 2, 0, 0, 1, false));
  EXPECT_NEAR(GetEigenResult(1, 0), 2.0, 1e-14);
  EXPECT_NEAR(GetEigenResult(2, 0), 1.0, 1e-14);
}

TEST(MultivariatePCA, NonPositiveEigenvaluesStayInPlace) {
  // Mode 4 matrices have a zero diagonal, so negative eigenvalues.
  TMatrix x;
  FillRows(x, {{0, 1, 3}, {0, 1, 3}, {0, 1, 3}});
  ASSERT_TRUE(CalcPrincComp(x, 1, 3, 0, 0, 4, false));
  EXPECT_GT(GetEigenResult(1, 0), 0.0);
  EXPECT_LT(GetEigenResult(2, 0), 0.0);
  EXPECT_LT(GetEigenResult(3, 0), 0.0);
}

// ---- MahalanobisDistance -----------------------------------------------

TEST(MultivariateMahalanobis, IdentityEuclidAndMessages) {
  TVector a, b, c;
  a.SetVecSize(3);
  b.SetVecSize(3);
  c.SetVecSize(2);
  for (int i = 1; i <= 3; ++i) {
    a.SetVal(i, i);
    b.SetVal(i, 2.0 * i * i);
  }
  TMatrix id;
  id.Resize(3, 3);
  id.FillDiag(1.0);
  EXPECT_NEAR(MahalanobisDistance(a, b, id), std::sqrt(1.0 + 36.0 + 225.0), 1e-14);
  TMatrix m;
  FillRows(m, {{2, 1, 0}, {1, 2, 0}, {0, 0, 1}});
  EXPECT_NEAR(MahalanobisDistance(a, b, m), std::sqrt(2.0 + 2 * 6 + 2 * 36 + 225), 1e-13);

  TMatrix rect;
  rect.Resize(3, 2);
  TMatrix two;
  two.Resize(2, 2);
  TMatrix neg;
  FillRows(neg, {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}});
  struct Case {
    const TVector* v2;
    const TMatrix* m;
    const char* msg;
  };
  const Case cases[] = {
      {&c, &id, "MahalanobisDistance: dimensions of vectors do not match"},
      {&b, &rect, "MahalanobisDistance: inverse covariance matrix is not quadratric"},
      {&b, &two,
       "MahalanobisDistance: dimension of vectors and inverse covariance matrix do not match"},
      {&b, &neg,
       "MahalanobisDistance: the inverse covariance matrix must be symmetric and positive "
       "definite"},
  };
  for (const Case& k : cases) {
    try {
      MahalanobisDistance(a, *k.v2, *k.m);
      ADD_FAILURE() << k.msg;
    } catch (const EORKVectorError& e) {
      EXPECT_STREQ(e.what(), k.msg);
    }
  }
}

// Fisher's quotient is defined once, in ORK_statis; the multivariate
// callers reach it there.
TEST(MultivariateMahalanobis, FisherQuotientReachable) {
  EXPECT_EQ(CalcFishQ(1, 1, 0, 0), 0.0);
  EXPECT_EQ(CalcFishQ(2, 0, 0, 0), 4e6);
}

}  // namespace
