// TMatrix distances between rows and the distance matrix.
#include "ORK_matrix.h"
#include "test_matrix_stats_refs.h"
#include "test_support.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using matrix_stats_test::Inf;
using matrix_stats_test::LoadRef;
using matrix_stats_test::NaN;
using matrix_stats_test::Refs;
using matrix_stats_test::SameMatrix;
using matrix_stats_test::SetRows;
using numbra_test::RelNear;

namespace {
const std::map<std::string, TDistMode> kModes = {{"jaccard", TDistMode::dmJaccard},
                                                 {"manhattan", TDistMode::dmManhattan},
                                                 {"euclid", TDistMode::dmEuclid},
                                                 {"euclidsqr", TDistMode::dmEuclidSqr},
                                                 {"dice", TDistMode::dmDice}};
const TDistMode kBuiltIn[] = {TDistMode::dmJaccard, TDistMode::dmManhattan, TDistMode::dmEuclid,
                              TDistMode::dmEuclidSqr, TDistMode::dmDice};

bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }
}  // namespace

TEST(TMatrixDistance, DistanceOfObjectsIsExactForExactData) {
  // Matrix D holds multiples of 1/16 below 25 in magnitude: every product
  // and sum is exact in doubles, so each distance is one correctly rounded
  // operation (a quotient or a square root) of exact sums, and must equal
  // the correctly rounded reference.
  TMatrix d;
  LoadRef(d, "D");
  int checked = 0;
  for (const auto& r : Refs().refs) {
    if (r.kind != "dist") continue;
    const TDistMode mode = kModes.at(r.args[1]);
    const int32_t i = std::stoi(r.args[2]);
    const int32_t j = std::stoi(r.args[3]);
    EXPECT_EQ(d.DistanceOfObjects(mode, i, j), r.values[0]) << r.args[1] << " " << i << " " << j;
    EXPECT_EQ(d.DistanceOfObjects(mode, j, i), r.values[0]);  // symmetric
    ++checked;
  }
  EXPECT_EQ(checked, 50);
}

TEST(TMatrixDistance, SimilaritiesOfEqualZeroAndMissingRows) {
  TMatrix m;
  SetRows(m, {{1, -2, 3}, {0, 0, 0}, {2, -4, 6}});
  // A row with itself: Dice and Jaccard 1, the distances 0.
  EXPECT_EQ(m.DistanceOfObjects(TDistMode::dmDice, 1, 1), 1.0);
  EXPECT_EQ(m.DistanceOfObjects(TDistMode::dmJaccard, 3, 3), 1.0);
  EXPECT_EQ(m.DistanceOfObjects(TDistMode::dmEuclid, 1, 1), 0.0);
  // Two zero rows: 0 / 0, evaluated as written.
  EXPECT_TRUE(std::isnan(m.DistanceOfObjects(TDistMode::dmJaccard, 2, 2)));
  EXPECT_TRUE(std::isnan(m.DistanceOfObjects(TDistMode::dmDice, 2, 2)));
  // Row 3 = 2 row 1: Dice 2 * 28 / (14 + 56) = 0.8, Jaccard 28 / 42.
  EXPECT_EQ(m.DistanceOfObjects(TDistMode::dmDice, 1, 3), 0.8);
  EXPECT_EQ(m.DistanceOfObjects(TDistMode::dmJaccard, 1, 3), 28.0 / 42.0);
  // A row outside the matrix reads as zeros.
  EXPECT_EQ(m.DistanceOfObjects(TDistMode::dmEuclidSqr, 1, 99), 14.0);
  EXPECT_EQ(m.DistanceOfObjects(TDistMode::dmManhattan, 0, 3), 12.0);
  EXPECT_EQ(m.DistanceOfObjects(TDistMode::dmJaccard, 1, -1), 0.0);
}

TEST(TMatrixDistance, ScaledRowsNeitherOverflowNorUnderflow) {
  // Rows of D multiplied by 2^600 and 2^-600 (exact): their squares leave
  // the double range, yet Euclid scales by the factor and Jaccard and Dice
  // do not change. The scaled computation rounds differently: 4 eps.
  TMatrix d;
  LoadRef(d, "D");
  for (const double f : {0x1p600, 0x1p-600}) {
    TMatrix s;
    s.Assign(&d);
    s.SMult(f);
    for (int32_t i = 1; i <= 5; ++i)
      for (int32_t j = i + 1; j <= 5; ++j) {
        EXPECT_TRUE(RelNear(s.DistanceOfObjects(TDistMode::dmEuclid, i, j),
                            f * d.DistanceOfObjects(TDistMode::dmEuclid, i, j), 4));
        EXPECT_TRUE(RelNear(s.DistanceOfObjects(TDistMode::dmJaccard, i, j),
                            d.DistanceOfObjects(TDistMode::dmJaccard, i, j), 4));
        EXPECT_TRUE(RelNear(s.DistanceOfObjects(TDistMode::dmDice, i, j),
                            d.DistanceOfObjects(TDistMode::dmDice, i, j), 4));
      }
  }
  // Tiny differences between large values: the squares underflow to 0.
  TMatrix t;
  SetRows(t, {{1e-200, 0}, {0, 1e-200}});
  EXPECT_TRUE(RelNear(t.DistanceOfObjects(TDistMode::dmEuclid, 1, 2), std::sqrt(2.0) * 1e-200, 2));
  SetRows(t, {{1e200, -1e200}, {-1e200, 1e200}});
  EXPECT_TRUE(RelNear(t.DistanceOfObjects(TDistMode::dmEuclid, 1, 2), std::sqrt(8.0) * 1e200, 2));
  EXPECT_EQ(t.DistanceOfObjects(TDistMode::dmEuclidSqr, 1, 2), Inf());  // the value itself
  SetRows(t, {{1, NaN()}, {1, 2}});
  for (const TDistMode mode : kBuiltIn)
    EXPECT_TRUE(std::isnan(t.DistanceOfObjects(mode, 1, 2))) << static_cast<int>(mode);
}

TEST(TMatrixDistance, UserDefinedDistance) {
  TMatrix m;
  SetRows(m, {{1, 2}, {3, 4}, {5, 6}});
  EXPECT_EQ(m.DistanceOfObjects(TDistMode::dmUserDef, 1, 2), 0.0);  // no handler
  std::vector<std::pair<int32_t, int32_t>> calls;
  m.OnCalcDistance = [&](TObject* sender, int32_t r1, int32_t r2, double& d) {
    EXPECT_EQ(sender, &m);
    EXPECT_EQ(d, 0.0);
    calls.emplace_back(r1, r2);
    d = 10 * r1 + r2;
  };
  EXPECT_EQ(m.DistanceOfObjects(TDistMode::dmUserDef, 3, 1), 31.0);
  calls.clear();
  TMatrix dm;
  dm.Resize(3, 3);
  ASSERT_EQ(m.CalcDistMat(TDistMode::dmUserDef, &dm), 0);
  const std::vector<std::pair<int32_t, int32_t>> order = {{1, 2}, {1, 3}, {2, 3}};
  EXPECT_EQ(calls, order);
  TMatrix want;
  SetRows(want, {{0, 12, 13}, {12, 0, 23}, {13, 23, 0}});
  EXPECT_TRUE(SameMatrix(dm, want));
}

TEST(TMatrixDistance, CalcDistMatEqualsDistanceOfObjects) {
  // 40 rows x 7 columns with a repeated row (Euclid 0 takes the careful
  // path), a zero row (Jaccard NaN), a NaN and a row of huge values (the
  // scaled path), checked against DistanceOfObjects element by element.
  TMatrix m;
  SetRandSeed(3);
  m.Resize(7, 40);
  m.FillRandomGauss(0, 5);
  for (int32_t c = 1; c <= 7; ++c) {
    m.SetVal(c, 9, m.GetVal(c, 4));
    m.SetVal(c, 12, 0.0);
    m.SetVal(c, 30, 1e300 * c);
  }
  m.SetVal(2, 21, NaN());
  for (const TDistMode mode : kBuiltIn) {
    SCOPED_TRACE(static_cast<int>(mode));
    TMatrix dm;
    dm.Resize(40, 40);
    dm.Fill(-1);
    ASSERT_EQ(m.CalcDistMat(mode, &dm), 0);
    for (int32_t i = 1; i <= 40; ++i)
      for (int32_t j = 1; j <= 40; ++j) {
        const double want = i == j ? 0.0 : m.DistanceOfObjects(mode, i, j);
        ASSERT_TRUE(Same(dm.GetVal(i, j), want))
            << i << " " << j << ": " << dm.GetVal(i, j) << " vs " << want;
      }
  }
}

TEST(TMatrixDistance, CalcDistMatWritesThroughSetValWhenWatched) {
  TMatrix m;
  SetRandSeed(5);
  m.Resize(3, 6);
  m.FillRandomUniform(-1, 1);
  TMatrix quiet, watched;
  quiet.Resize(6, 6);
  watched.Resize(6, 6);
  int changes = 0;
  watched.OnChange = [&](TObject*) { ++changes; };
  ASSERT_EQ(m.CalcDistMat(TDistMode::dmManhattan, &quiet), 0);
  ASSERT_EQ(m.CalcDistMat(TDistMode::dmManhattan, &watched), 0);
  EXPECT_EQ(changes, 36);  // (i, i), then (i, j) and (j, i), then (n, n): n^2 writes
  EXPECT_TRUE(SameMatrix(quiet, watched));
}

TEST(TMatrixDistance, CalcDistMatSizeCodes) {
  TMatrix m;
  SetRows(m, {{1, 2}, {3, 4}, {5, 6}, {7, 8}});  // 4 rows
  m.SetName("C");
  TMatrix dm;
  struct Case {
    int32_t cols, rows, code;
  };
  // -2 (the column count) wins over -1 (not square).
  const Case cases[] = {{3, 3, -2}, {4, 5, -1}, {3, 4, -2}, {5, 4, -2}, {4, 4, 0}};
  for (const Case& c : cases) {
    dm.Resize(c.cols, c.rows);
    dm.Fill(7.0);
    EXPECT_EQ(m.CalcDistMat(TDistMode::dmEuclid, &dm), c.code) << c.cols << "x" << c.rows;
    if (c.code != 0) {
      EXPECT_EQ(dm.GetVal(1, 1), 7.0);  // nothing written
    }
    EXPECT_EQ(dm.NrOfColumns(), c.cols);  // never resized
  }
  try {
    (void)m.CalcDistMat(TDistMode::dmEuclid, nullptr);
    FAIL();
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"C\": CalcDistMat: no distance matrix");
  }
  // No rows: a 0 x 0 distance matrix, nothing to do.
  TMatrix none, dnone;
  none.Resize(3, 0);
  dnone.Resize(0, 0);
  EXPECT_EQ(none.CalcDistMat(TDistMode::dmEuclid, &dnone), 0);
  // One row: the single diagonal element.
  TMatrix one, done;
  one.Resize(3, 1);
  done.Fill(5);
  EXPECT_EQ(one.CalcDistMat(TDistMode::dmEuclid, &done), 0);
  EXPECT_EQ(done.GetVal(1, 1), 0.0);
}

TEST(TMatrixDistance, CalcDistMatIntoItself) {
  // A square matrix may receive its own distance matrix: the distances are
  // those of its original rows.
  TMatrix m, want;
  SetRows(m, {{0, 3, 1}, {4, 0, 1}, {0, 0, 2}});
  want.Resize(3, 3);
  ASSERT_EQ(m.CalcDistMat(TDistMode::dmEuclidSqr, &want), 0);
  ASSERT_EQ(m.CalcDistMat(TDistMode::dmEuclidSqr, &m), 0);
  EXPECT_TRUE(SameMatrix(m, want));
  EXPECT_EQ(m.GetVal(1, 2), 25.0);  // rows (0, 3, 1) and (4, 0, 1)
}

TEST(TMatrixDistance, DistModeIdTable) {
  EXPECT_EQ(DistModeId[TDistMode::dmJaccard], "Jaccard coefficient");
  EXPECT_EQ(DistModeId[TDistMode::dmManhattan], "Manhattan");
  EXPECT_EQ(DistModeId[TDistMode::dmEuclid], "Euclidean");
  EXPECT_EQ(DistModeId[TDistMode::dmEuclidSqr], "squared Euclidean");
  EXPECT_EQ(DistModeId[TDistMode::dmDice], "Dice coefficient");
  EXPECT_EQ(DistModeId[TDistMode::dmUserDef], "user defined");
  EXPECT_EQ(DistModeId[std::size_t{2}], "Euclidean");
  EXPECT_EQ(static_cast<int>(TDistMode::dmUserDef), 5);
  EXPECT_EQ(static_cast<int>(TEdgeOp::eopMean), 3);
}
