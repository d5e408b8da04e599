// SimPLS and VertexCompAnalysis.
#include "ORK_math2.h"
#include "multivariate_test_util.h"

#include <algorithm>
#include <cmath>
#include <set>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::FillFrom;
using numbra_test::ReadRefBlocks;

namespace {

void ExpectMatrix(const TMatrix& got, const numbra_test::RefBlock& want, double tol,
                  const char* what) {
  ASSERT_EQ(got.NrOfRows(), want.rows) << what;
  ASSERT_EQ(got.NrOfColumns(), want.cols) << what;
  for (int r = 0; r < want.rows; ++r)
    for (int c = 0; c < want.cols; ++c) {
      const double w = want.At(r, c);
      EXPECT_NEAR(got.GetVal(c + 1, r + 1), w, tol * std::max(1.0, std::fabs(w)))
          << what << " (" << c + 1 << ", " << r + 1 << ")";
    }
}

TEST(MultivariatePLS, SimplsAgainstNumPy) {
  const auto ref = ReadRefBlocks("simpls.txt");
  TMatrix x, y;
  FillFrom(x, ref.at("X"));
  FillFrom(y, ref.at("Y"));
  TMatrix r, t, p, q, u, v, b;
  TVector xm, ym;
  ASSERT_TRUE(SimPLS(x, y, 3, true, r, t, p, q, u, v, xm, ym, b));
  const struct {
    const TMatrix* m;
    const char* name;
  } outs[] = {{&r, "R"}, {&t, "T"}, {&p, "P"}, {&q, "Q"}, {&u, "U"}, {&v, "V"}, {&b, "B"}};
  for (const auto& o : outs) ExpectMatrix(*o.m, ref.at(o.name), 1e-11, o.name);
  EXPECT_NEAR(xm.GetVal(4), 10.0, 1.0);
  // All components of a single response: the least-squares coefficients.
  TMatrix y1;
  FillFrom(y1, ref.at("Y1"));
  ASSERT_TRUE(SimPLS(x, y1, 5, true, r, t, p, q, u, v, xm, ym, b));
  const auto& b1 = ref.at("B1");
  for (int j = 0; j < 5; ++j) EXPECT_NEAR(b.GetVal(1, j + 1), b1.v[j], 1e-11) << j;
}

TEST(MultivariatePLS, SimplsBadInput) {
  TMatrix x, y, r, t, p, q, u, v, b;
  TVector xm, ym;
  x.Resize(3, 5);
  x.FillRandomGauss(0.0, 1.0);
  y.Resize(1, 4);
  EXPECT_FALSE(SimPLS(x, y, 1, true, r, t, p, q, u, v, xm, ym, b));  // rows differ
  y.Resize(1, 5);
  y.FillRandomGauss(0.0, 1.0);
  EXPECT_FALSE(SimPLS(x, y, 0, true, r, t, p, q, u, v, xm, ym, b));
  EXPECT_FALSE(SimPLS(x, y, 4, true, r, t, p, q, u, v, xm, ym, b));  // more than columns
  TMatrix zero;
  zero.Resize(1, 5);
  EXPECT_FALSE(SimPLS(x, zero, 1, true, r, t, p, q, u, v, xm, ym, b));  // X^T Y = 0
  y.SetVal(1, 2, NAN);
  EXPECT_FALSE(SimPLS(x, y, 1, true, r, t, p, q, u, v, xm, ym, b));
  EXPECT_EQ(r.NrOfColumns(), 1);  // untouched
}

// Noise-free mixtures with pure observations: both projections find them,
// whatever the random directions.
TEST(MultivariateVCA, FindsThePureObservations) {
  const auto ref = ReadRefBlocks("vca.txt");
  TMatrix data;
  FillFrom(data, ref.at("data"));
  const auto& pure = ref.at("pure");
  const auto& em = ref.at("endmembers");
  for (bool low_snr : {false, true})
    for (uint64_t seed : {1u, 7u, 12345u}) {
      SCOPED_TRACE(::testing::Message() << "LowSNR " << low_snr << " seed " << seed);
      SetRandSeed(seed);
      TMatrix e, proj;
      TIntVector idx;
      ASSERT_TRUE(VertexCompAnalysis(data, 3, low_snr, e, idx, proj));
      ASSERT_EQ(idx.NrOfElem(), 3);
      std::set<int> got;
      for (int k = 1; k <= 3; ++k) got.insert(idx.GetVal(k));
      EXPECT_EQ(got, (std::set<int>{static_cast<int>(pure.v[0]), static_cast<int>(pure.v[1]),
                                    static_cast<int>(pure.v[2])}));
      ASSERT_EQ(e.NrOfRows(), 3);
      ASSERT_EQ(e.NrOfColumns(), 6);
      for (int k = 1; k <= 3; ++k) {
        const int which = static_cast<int>(std::find(pure.v.begin(), pure.v.end(), idx.GetVal(k)) -
                                           pure.v.begin());
        for (int b = 1; b <= 6; ++b) EXPECT_NEAR(e.GetVal(b, k), em.At(which, b - 1), 1e-12);
      }
      // Noise-free data lie in the subspace: the projection keeps them.
      for (int i = 1; i <= 60; i += 11)
        for (int b = 1; b <= 6; ++b) EXPECT_NEAR(proj.GetVal(b, i), data.GetVal(b, i), 1e-12);
    }
}

TEST(MultivariateVCA, BadInput) {
  TMatrix data, e, proj;
  TIntVector idx;
  data.Resize(4, 10);
  data.FillRandomUniform(0.0, 1.0);
  EXPECT_FALSE(VertexCompAnalysis(data, 1, false, e, idx, proj));
  EXPECT_FALSE(VertexCompAnalysis(data, 5, false, e, idx, proj));  // more than bands
  data.SetVal(2, 3, INFINITY);
  EXPECT_FALSE(VertexCompAnalysis(data, 2, false, e, idx, proj));
}

}  // namespace
