// TIntMatrix region statistics against independent references
// (tests/data/matrix_stats/gen_intmatrix_stats_refs.py: exact rationals,
// SciPy and NumPy), the sparse form of the moments and the dense-only
// guards.
#include "ORK_matrix.h"
#include "ORK_univconst.h"

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {
struct Ref {
  int32_t lc, lr, hc, hr;
  double skew, kurt, skew_s, kurt_s, gm, hm, q1, q2, q3;
  double pct[5];  // at 0, 30, 50, 90, 100 percent
};

// 3 columns x 4 rows, column by column.
constexpr int32_t kM[3][4] = {{7, 1, 4, 12}, {3, 9, 2, 5}, {11, 6, 8, 10}};

void Load(TIntMatrix& m) {
  m.Resize(3, 4);
  for (int32_t c = 1; c <= 3; ++c)
    for (int32_t r = 1; r <= 4; ++r) m.SetVal(c, r, kM[c - 1][r - 1]);
}

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-13 * std::max(1.0, std::fabs(b)); }
}  // namespace

TEST(TIntMatrixStats, RegionStatisticsMatchReferences) {
  const Ref refs[] = {
      // Whole matrix (n = 12), inner block, a single row (n = 3: sample
      // corrections 0), a single column.
      {1,
       1,
       3,
       4,
       0.0,
       -1.5016025641025641,
       0,
       -1.2,
       5.2888519941024468,
       3.8669627184059712,
       3.25,
       6.5,
       9.75,
       {1, 5, 7, 12, 12}},
      {2,
       2,
       3,
       4,
       -0.35565111969926405,
       -1.5833333333333333,
       -0.64017201545867597,
       -0.29999999999999849,
       5.9235304387294567,
       4.9884526558891453,
       4.25,
       7,
       9.25,
       {2, 6, 8, 10, 10}},
      {1,
       3,
       3,
       3,
       0.20782656212951655,
       -2.3333333333333333,
       0,
       0,
       4,
       3.4285714285714284,
       2,
       4,
       8,
       {2, 4, 8, 8, 8}},
      {1,
       1,
       1,
       4,
       0.20350977470308269,
       -1.9989669421487603,
       0.54269273254155381,
       -0.1528925619834709,
       4.281390285856145,
       2.709677419354839,
       1.75,
       5.5,
       10.75,
       {1, 4, 7, 12, 12}},
  };
  const double probs[5] = {0, 30, 50, 90, 100};
  TIntMatrix m;
  Load(m);
  for (const Ref& r : refs) {
    SCOPED_TRACE(std::to_string(r.lc) + " " + std::to_string(r.lr) + " " + std::to_string(r.hc) +
                 " " + std::to_string(r.hr));
    double s = 0, k = 0, ss = 0, ks = 0, q1 = 0, q2 = 0, q3 = 0;
    m.SkewKurt(r.lc, r.lr, r.hc, r.hr, s, k);
    m.SkewKurtSample(r.lc, r.lr, r.hc, r.hr, ss, ks);
    EXPECT_NEAR(s, r.skew, 1e-14);
    EXPECT_TRUE(Near(k, r.kurt)) << k;
    EXPECT_NEAR(ss, r.skew_s, 1e-14);
    EXPECT_TRUE(Near(ks, r.kurt_s)) << ks;
    EXPECT_TRUE(Near(m.GeometricMean(r.lc, r.lr, r.hc, r.hr), r.gm));
    EXPECT_TRUE(Near(m.HarmonicMean(r.lc, r.lr, r.hc, r.hr), r.hm));
    EXPECT_TRUE(m.Quartiles(r.lc, r.lr, r.hc, r.hr, q1, q2, q3));
    EXPECT_EQ(q1, r.q1);
    EXPECT_EQ(q2, r.q2);
    EXPECT_EQ(q3, r.q3);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(m.Percentile(probs[i], r.lc, r.lr, r.hc, r.hr), r.pct[i]) << probs[i];
      // A sample not smaller than the region gives the exact form.
      EXPECT_EQ(m.Percentile(probs[i], r.lc, r.lr, r.hc, r.hr, 12), r.pct[i]) << probs[i];
    }
  }
  // Sampled estimate: every draw is an element of the region.
  const double est = m.Percentile(50, 0, 0, 0, 0, 5);
  EXPECT_GE(est, 1.0);
  EXPECT_LE(est, 12.0);
  EXPECT_EQ(std::trunc(est), est);
}

TEST(TIntMatrixStats, EdgeCasesAndMessages) {
  TIntMatrix m;
  m.SetName("I");
  m.Resize(0, 0);
  double q1 = 1, q2 = 1, q3 = 1, s = 1, k = 1;
  EXPECT_FALSE(m.Quartiles(0, 0, 0, 0, q1, q2, q3));
  EXPECT_EQ(q1 + q2 + q3, 0.0);
  EXPECT_EQ(m.GeometricMean(0, 0, 0, 0), 0.0);
  EXPECT_EQ(m.HarmonicMean(0, 0, 0, 0), 0.0);
  EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0), 0.0);
  m.SkewKurt(0, 0, 0, 0, s, k);
  EXPECT_EQ(s + k, 0.0);
  m.Resize(2, 1);
  m.SetVal(1, 1, 4);
  EXPECT_EQ(m.GeometricMean(0, 0, 0, 0), 0.0);  // an element is 0
  EXPECT_THROW(
      {
        try {
          (void)m.HarmonicMean(0, 0, 0, 0);
        } catch (const EORKMatrixError& e) {
          EXPECT_STREQ(e.what(),
                       "Component \"I\": negative or zero argument passed to HarmonicMean");
          throw;
        }
      },
      EORKMatrixError);
  m.SetVal(2, 1, -1);
  EXPECT_THROW(
      {
        try {
          (void)m.GeometricMean(0, 0, 0, 0);
        } catch (const EORKMatrixError& e) {
          EXPECT_STREQ(e.what(), "Component \"I\": negative argument passed to GeometricMean");
          throw;
        }
      },
      EORKMatrixError);
  // Extreme integers are converted to double without overflow: values
  // -2^31 and 2^31 - 1, mean -0.5, symmetric, so skewness 0.
  m.SetVal(1, 1, -2147483647 - 1);
  m.SetVal(2, 1, 2147483647);
  m.SkewKurt(0, 0, 0, 0, s, k);
  EXPECT_NEAR(s, 0.0, 1e-15);
  // n = 2, deviations +-d: s^2 = 2 d^2, sum(d^4) / n = d^4, so K = 1/4 - 3.
  EXPECT_NEAR(k, -2.75, 1e-15);
}

TEST(TIntMatrixStats, SparseMomentsCountMissingPositionsAsZero) {
  // Dense reference: the same contents with explicit zeros.
  std::unique_ptr<TIntMatrix> sp(TIntMatrix::CreateSparse(nullptr, 2));
  sp->SetName("Sp");
  TIntMatrix dn;
  dn.Resize(3, 2);
  const int32_t set[][3] = {{1, 1, 5}, {3, 2, -2}, {2, 1, 9}};
  for (const auto& e : set) {
    sp->SetVal(e[0], e[1], e[2]);
    dn.SetVal(e[0], e[1], e[2]);
  }
  double s1 = 0, k1 = 0, s2 = 0, k2 = 0;
  sp->SkewKurt(0, 0, 0, 0, s1, k1);
  dn.SkewKurt(0, 0, 0, 0, s2, k2);
  EXPECT_EQ(s1, s2);
  EXPECT_EQ(k1, k2);
  sp->SkewKurtSample(0, 0, 0, 0, s1, k1);
  dn.SkewKurtSample(0, 0, 0, 0, s2, k2);
  EXPECT_EQ(s1, s2);
  EXPECT_EQ(k1, k2);
  const std::vector<std::pair<const char*, std::function<void()>>> ops = {
      {"GeometricMean", [&] { (void)sp->GeometricMean(0, 0, 0, 0); }},
      {"HarmonicMean", [&] { (void)sp->HarmonicMean(0, 0, 0, 0); }},
      {"Quartiles",
       [&] {
         double a = 0, b = 0, c = 0;
         sp->Quartiles(0, 0, 0, 0, a, b, c);
       }},
      {"Percentile", [&] { (void)sp->Percentile(50, 0, 0, 0, 0); }},
      {"Percentile", [&] { (void)sp->Percentile(50, 0, 0, 0, 0, 2); }},
      {"MeanVec", [&] { sp->MeanVec(TDims::dimRow, nullptr); }},
      {"FindInSortedColumn", [&] { (void)sp->FindInSortedColumn(1, true, 0); }},
      {"SortCols", [&] { sp->SortCols(1, true, 0, 0, 0, 0); }},
      {"EdgeVector", [&] { sp->EdgeVector(TOrientation::orRows, TEdgeOp::eopSum, nullptr); }},
  };
  for (const auto& [name, op] : ops) {
    try {
      op();
      ADD_FAILURE() << name << " did not raise";
    } catch (const EORKMatrixError& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("Component \"Sp\": ") + name + ": not available for a sparse matrix");
    }
  }
}

TEST(TIntMatrixStats, MeanVecAndEdgeVector) {
  TIntMatrix m;
  Load(m);
  struct Case {
    bool along_rows;  // orRows / dimColumn: one value per row
    TEdgeOp op;
    std::vector<double> want;
  };
  // Hand-computed from kM.
  const Case cases[] = {
      {false, TEdgeOp::eopMean, {6, 4.75, 8.75}},
      {true, TEdgeOp::eopMean, {7, 16.0 / 3, 14.0 / 3, 9}},
      {false, TEdgeOp::eopSum, {24, 19, 35}},
      {true, TEdgeOp::eopSum, {21, 16, 14, 27}},
      {false, TEdgeOp::eopMin, {1, 2, 6}},
      {true, TEdgeOp::eopMin, {3, 1, 2, 5}},
      {false, TEdgeOp::eopMax, {12, 9, 11}},
      {true, TEdgeOp::eopMax, {11, 9, 8, 12}},
  };
  for (const Case& c : cases) {
    TVector v;
    m.EdgeVector(c.along_rows ? TOrientation::orRows : TOrientation::orColumns, c.op, &v);
    ASSERT_EQ(v.NrOfElem(), static_cast<int32_t>(c.want.size()));
    for (std::size_t k = 0; k < c.want.size(); ++k)
      EXPECT_EQ(v.GetVal(static_cast<int32_t>(k) + 1), c.want[k]) << k;
    if (c.op == TEdgeOp::eopMean) {
      TVector mv;
      m.MeanVec(c.along_rows ? TDims::dimColumn : TDims::dimRow, &mv);
      ASSERT_EQ(mv.NrOfElem(), static_cast<int32_t>(c.want.size()));
      for (std::size_t k = 0; k < c.want.size(); ++k)
        EXPECT_EQ(mv.GetVal(static_cast<int32_t>(k) + 1), c.want[k]) << k;
    }
  }
  // Sums beyond the 32-bit range are exact, not wrapped.
  TIntMatrix big;
  big.Resize(3, 1);
  big.SetVal(1, 1, 2147483647);
  big.SetVal(2, 1, 2147483647);
  big.SetVal(3, 1, 2147483647);
  TVector v;
  big.EdgeVector(TOrientation::orRows, TEdgeOp::eopSum, &v);
  EXPECT_EQ(v.GetVal(1), 3.0 * 2147483647);
  big.MeanVec(TDims::dimColumn, &v);
  EXPECT_EQ(v.GetVal(1), 2147483647.0);
  // No columns: min and max start values for each row.
  big.Resize(0, 2);
  big.EdgeVector(TOrientation::orRows, TEdgeOp::eopMin, &v);
  ASSERT_EQ(v.NrOfElem(), 2);
  EXPECT_EQ(v.GetVal(2), uc_MaxDouble);
  big.SetName("I");
  try {
    big.EdgeVector(TOrientation::orRows, TEdgeOp::eopMin, nullptr);
    ADD_FAILURE() << "EdgeVector did not raise";
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"I\": EdgeVector: no result vector");
  }
  try {
    big.MeanVec(TDims::dimRow, nullptr);
    ADD_FAILURE() << "MeanVec did not raise";
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"I\": MeanVec: no result vector");
  }
}
