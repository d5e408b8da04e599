// TDataTable statistics: which cells take part, the edge cases of each
// statistic, standardisation and CalcCovar against exact rational
// references (tests/data/datatable/make_covar_ref.py).
#include "ORK_datatable.h"
#include "test_support.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

// Column 1 numeric 1..4, column 2 nominal holding 2.5, 7, 1, 3, column 3
// numeric with an empty cell (row 2) and a marked cell (row 3).
void MakeTable(TDataTable& t) {
  t.Resize(3, 4);
  const double c2[] = {2.5, 7, 1, 3};
  const double c3[] = {10, 99, 30, 40};
  for (int32_t r = 1; r <= 4; ++r) {
    t.SetElem(1, r, r);
    t.SetElem(2, r, c2[r - 1]);
    t.SetElem(3, r, c3[r - 1]);
  }
  t.SetMScaleType(2, TMScaleType::stNominal);
  t.SetCellState(3, 2, 2);
  t.SetCellState(3, 3, 64);
  t.SetCellState(1, 4, 64 | 32);
}

}  // namespace

TEST(TDataTableStats, CellSelectionRules) {
  TDataTable t;
  MakeTable(t);
  double mean = 0, var = 0, lo = 0, hi = 0;
  int32_t n = 0;
  // Numeric columns, valid cells: 1, 2, 3, 4, 10, 30, 40.
  EXPECT_EQ(t.MeanVarOfNumCells(0, 0, 0, 0, mean, var), 7);
  EXPECT_DOUBLE_EQ(mean, 90.0 / 7);
  EXPECT_EQ(t.SumOfNumCells(0, 0, 0, 0, n), 90.0);
  EXPECT_EQ(n, 7);
  EXPECT_EQ(t.MinMaxOfNumCells(0, 0, 0, 0, lo, hi), 7);
  EXPECT_EQ(hi, 40.0);
  // The nominal column joins, rounded, only MinMaxOfValidCells.
  EXPECT_EQ(t.MinMaxOfValidCells(2, 1, 2, 4, lo, hi), 4);
  EXPECT_EQ(lo, 1.0);
  EXPECT_EQ(hi, 7.0);
  EXPECT_EQ(t.MinMaxOfValidCells(2, 1, 2, 1, lo, hi), 1);
  EXPECT_EQ(lo, 2.0);  // 2.5 rounds to even
  EXPECT_EQ(t.CountNumCells(0, 0, 0, 0), 7);
  EXPECT_EQ(t.CountValidCells(0, 0, 0, 0), 11);
  EXPECT_EQ(t.CountEmptyCells(0, 0, 0, 0), 1);
  EXPECT_EQ(t.CountImputedCells(0, 0, 0, 0), 1);
  // Marked: valid cells whose bits 2..7 meet the mask.
  EXPECT_EQ(t.SumOfMarkedCells(0, 0, 0, 0, 64, n), 34.0);
  EXPECT_EQ(t.MeanVarOfMarkedCells(0, 0, 0, 0, 64, mean, var), 2);
  EXPECT_EQ(var, 1.0);                                         // fewer than 3 values
  EXPECT_EQ(t.MinMaxOfMarkedCells(0, 0, 0, 0, 2, lo, hi), 0);  // bit 1 is not a marking
  EXPECT_EQ(lo, uc_MaxReal);
  EXPECT_EQ(hi, -uc_MaxReal);
  // Reversed ranges are put in order: (5, 1, 2, 3) is columns 2..5 -> 2..3.
  EXPECT_EQ(t.CountValidCells(5, 1, 2, 3), 5);
  TVector v;
  EXPECT_EQ(t.CopyCellsToVector(0, 0, 0, 0, 255, &v), 11);
  EXPECT_EQ(v.NrOfElem(), 11);
  EXPECT_EQ(v.GetVal(5), 2.5);  // values as stored
  EXPECT_EQ(t.CopyCellsToVector(0, 0, 0, 0, 32, &v), 1);
  EXPECT_EQ(v.GetVal(1), 4.0);
  EXPECT_EQ(t.FillMarkedCells(-1, 2), 1);  // validity not required
  EXPECT_EQ(t.NumericData->GetVal(3, 2), -1.0);
}

TEST(TDataTableStats, EdgeCases) {
  TDataTable t;
  t.Resize(1, 4);
  for (int32_t r = 1; r <= 4; ++r) t.SetElem(1, r, r);
  double q1 = 0, q2 = 0, q3 = 0, mean = 0, var = 0;
  int32_t n = 0;
  ASSERT_TRUE(t.QuartilesOfNumCells(0, 0, 0, 0, q1, q2, q3, n));
  EXPECT_EQ(q1, 1.25);
  EXPECT_EQ(q2, 2.5);
  EXPECT_EQ(q3, 3.75);
  const struct {
    double prob;
    double expected;
  } pct[] = {{50, 2.5}, {120, 4}, {-5, 1}, {25, 1.75}, {100, 4}};
  for (const auto& p : pct) EXPECT_EQ(t.PercentileOfNumCells(p.prob, 0, 0, 0, 0, n), p.expected);
  EXPECT_EQ(t.MeanVarOfNumCells(1, 1, 1, 2, mean, var), 2);
  EXPECT_EQ(mean, 1.5);
  EXPECT_EQ(var, 1.0);
  // No cell: neutral results.
  t.SetAllCellStates(2);
  EXPECT_EQ(t.MeanVarOfNumCells(0, 0, 0, 0, mean, var), 0);
  EXPECT_EQ(mean, 0.0);
  EXPECT_TRUE(t.QuartilesOfNumCells(0, 0, 0, 0, q1, q2, q3, n));
  EXPECT_EQ(n, 0);
  EXPECT_EQ(q2, 0.0);
  EXPECT_EQ(t.PercentileOfNumCells(50, 0, 0, 0, 0, n), 0.0);
  EXPECT_EQ(t.GeometricMeanOfNumCells(0, 0, 0, 0, n), 0.0);
  EXPECT_EQ(t.HarmonicMeanOfNumCells(0, 0, 0, 0, n), 0.0);
  EXPECT_EQ(n, 0);
  t.SetAllCellStates(0);
  t.Resize(1, 3);
  t.SetElem(1, 1, 1);
  t.SetElem(1, 2, 0);
  t.SetElem(1, 3, 4);
  EXPECT_EQ(t.GeometricMeanOfNumCells(0, 0, 0, 0, n), 0.0);
  EXPECT_EQ(n, 2);
  t.SetElem(1, 2, 16);
  EXPECT_DOUBLE_EQ(t.GeometricMeanOfNumCells(0, 0, 0, 0, n), 4.0);
  EXPECT_DOUBLE_EQ(t.HarmonicMeanOfNumCells(0, 0, 0, 0, n), 3.0 / (1 + 1.0 / 16 + 0.25));
  t.SetElem(1, 2, -1);
  EXPECT_THROW((void)t.GeometricMeanOfNumCells(0, 0, 0, 0, n), EORKMatrixError);
  try {
    (void)t.HarmonicMeanOfNumCells(0, 0, 0, 0, n);
    FAIL();
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"\": negative or zero argument passed to HarmonicMean");
  }
  // Large common offset: the variance keeps its digits.
  t.SetElem(1, 1, 1000000.1);
  t.SetElem(1, 2, 1000000.2);
  t.SetElem(1, 3, 1000000.3);
  t.MeanVarOfNumCells(0, 0, 0, 0, mean, var);
  EXPECT_NEAR(var, 0.01, 1e-9);
}

TEST(TDataTableStats, StandardizeAndCentre) {
  TDataTable t;
  t.Resize(2, 4);
  for (int32_t r = 1; r <= 4; ++r) {
    t.SetElem(1, r, 2 * r);
    t.SetElem(2, r, 5);
  }
  t.SetCellState(1, 4, 2);  // empty: left alone
  TVector means, sds;
  means.Resize(2);
  sds.Resize(2);
  int changes = 0;
  t.OnChange = [&](TObject*) { ++changes; };
  t.StandardizeNumCellColumns(&means, &sds);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(means.GetVal(1), 4.0);
  EXPECT_EQ(sds.GetVal(1), 2.0);
  EXPECT_EQ(t.GetElem(1, 1), -1.0);
  EXPECT_EQ(t.GetElem(1, 4), 8.0);
  EXPECT_EQ(t.GetElem(2, 1), 5.0);  // variance 0: unchanged
  t.MeanCenterNumCellColumns(&means);
  EXPECT_EQ(means.GetVal(2), 5.0);
  EXPECT_EQ(t.GetElem(2, 3), 0.0);
  t.SetMScaleType(2, TMScaleType::stOrdinal);
  const std::string before = t.NumericData->CRCofData();
  try {
    t.StandardizeNumCellRows(nullptr, nullptr);
    FAIL();
  } catch (const EORKDataTableError& e) {
    EXPECT_STREQ(e.what(),
                 "Component \"\": standardization of rows is not possible with nominal or "
                 "ordinal variables");
  }
  EXPECT_THROW(t.MeanCenterNumCellRows(nullptr), EORKDataTableError);
  EXPECT_EQ(t.NumericData->CRCofData(), before);
}

TEST(TDataTableStats, AttributesAndLevels) {
  TDataTable t;
  t.Resize(4, 3);
  const int32_t att[] = {5, 3, 5};
  for (int32_t r = 1; r <= 3; ++r) t.SetRowAttrib(r, att[r - 1]);
  int32_t at = 0;
  EXPECT_EQ(t.MaxRowAttrib(1, 3, at), 5);
  EXPECT_EQ(at, 1);
  EXPECT_EQ(t.MinRowAttrib(0, 0, at), 3);
  EXPECT_EQ(at, 2);
  EXPECT_EQ(t.RowAttribLevels(), 2);
  t.SetColAttrib(2, 1000);
  t.SetColAttrib(3, -1000);
  EXPECT_EQ(t.ColAttribLevels(), 3);  // values outside 0..255 count as themselves
  EXPECT_EQ(t.MaxColAttrib(0, 0, at), 1000);
  EXPECT_EQ(t.FindHighestMLevel(0, 0), TMScaleType::stInterval);
  t.SetMScaleType(3, TMScaleType::stRatio);
  t.SetMScaleType(1, TMScaleType::stOrdinal);
  EXPECT_EQ(t.FindHighestMLevel(0, 0), TMScaleType::stRatio);
  EXPECT_EQ(t.FindLowestMLevel(0, 0), TMScaleType::stOrdinal);
  EXPECT_EQ(t.FindLowestMLevel(2, 3), TMScaleType::stInterval);
}

TEST(TDataTableCovar, ModesAgainstExactReference) {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/datatable/covar_ref.txt");
  ASSERT_TRUE(in.good());
  TDataTable t;
  t.Resize(4, 12);
  std::string word;
  for (int32_t r = 1; r <= 12; ++r)
    for (int32_t c = 1; c <= 4; ++c) {
      in >> word;
      if (word == "nan")
        t.SetCellState(c, r, 2);
      else
        t.SetElem(c, r, std::stod(word));
    }
  for (int mode = 0; mode <= 4; ++mode) {
    in >> word >> word;
    TMatrix cov;
    cov.Resize(4, 4);
    ASSERT_TRUE(t.CalcCovar(&cov, 0, 0, 0, 0, mode));
    for (int32_t i = 1; i <= 4; ++i)
      for (int32_t j = 1; j <= 4; ++j) {
        in >> word;
        const double ref = std::stod(word);
        // Sums of 12 products of deviations that carry the rounding of
        // their means (up to half a unit of 1e8 for column 4, corrected to
        // first order): 1e-10 relative is well above what the corrected
        // sums leave and far below what a one-pass formula would give.
        EXPECT_TRUE(numbra_test::RelNear(cov.GetVal(j, i), ref, 5e5))
            << "mode " << mode << " (" << i << "," << j << ") " << cov.GetVal(j, i) << " vs "
            << ref;
      }
  }
}

TEST(TDataTableCovar, SizesProgressAndAbort) {
  TDataTable t;
  t.Resize(3, 5);
  for (int32_t r = 1; r <= 5; ++r) {
    t.SetElem(1, r, r);
    t.SetElem(2, r, r);
    t.SetElem(3, r, r * r);
  }
  TMatrix small;
  small.Resize(2, 3);
  EXPECT_FALSE(t.CalcCovar(&small, 0, 0, 0, 0, 1));
  EXPECT_FALSE(t.CalcCovar(nullptr, 0, 0, 0, 0, 1));
  TMatrix cov;
  cov.Resize(3, 3);
  const double before = ProcStat;
  ASSERT_TRUE(t.CalcCovar(&cov, 1, 2, 0, 0, 2));
  EXPECT_EQ(ProcStat - before, 4.0);  // 2 column means + 2 outer steps
  for (int32_t i = 1; i <= 2; ++i)
    for (int32_t j = 1; j <= 2; ++j) EXPECT_DOUBLE_EQ(cov.GetVal(i, j), 1.0);
  // Fewer than 3 common rows: r is 0 (the diagonal stays 1).
  for (int32_t r = 3; r <= 5; ++r) t.SetCellState(2, r, 1);
  ASSERT_TRUE(t.CalcCovar(&cov, 1, 2, 0, 0, 2));
  EXPECT_EQ(cov.GetVal(1, 2), 0.0);
  EXPECT_EQ(cov.GetVal(2, 2), 1.0);
  // A feedback handler that asks for an abort stops before the next column.
  MathFeedBackProc = [](double) { AbortMathProc = true; };
  EXPECT_FALSE(t.CalcCovar(&cov, 0, 0, 0, 0, 0));
  MathFeedBackProc = nullptr;
  AbortMathProc = false;
  EXPECT_EQ(t.CalcCovar(&cov, 0, 0, 0, 0, 9), true);
  EXPECT_EQ(cov.GetVal(3, 3), 0.0);
}
