// TMatrix construction, size, element access, copying, filling, checksum.
#include "ORK_matrix.h"
#include "matrix_test_util.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

using namespace numbra;
using matrix_test::BitEqual;
using matrix_test::Counted;
using matrix_test::SetRows;

TEST(TMatrixFrame, NewMatrixIsOneByOneZeroWithDefaultPrecision) {
  TMatrix m;
  EXPECT_EQ(m.NrOfColumns(), 1);
  EXPECT_EQ(m.NrOfRows(), 1);
  EXPECT_EQ(m.GetVal(1, 1), 0.0);
  EXPECT_EQ(m.Precision(1), 15);
  EXPECT_EQ(m.Precision(2), -1);
  EXPECT_EQ(m.DataID(), "");
  EXPECT_EQ(m.ClassName(), "TMatrix");
  EXPECT_EQ(m.Values().size(), 1U);
}

TEST(TMatrixFrame, OwnerFreesTheMatrix) {
  TComponent owner;
  auto* m = new TMatrix(&owner);
  m->SetName("M1");
  EXPECT_EQ(owner.FindComponent("M1"), m);
}

TEST(TMatrixFrame, PrecisionIsClampedAndIndexed) {
  TMatrix m;
  m.SetFPrecis(1, 40);
  m.SetFPrecis(2, -7);
  EXPECT_EQ(m.GetFPrecis(1), 25);
  EXPECT_EQ(m.GetFPrecis(2), -1);
  EXPECT_EQ(m.GetFPrecis(0), 25);  // ix < 2 reads the first value
  EXPECT_EQ(m.GetFPrecis(7), -1);  // ix > 1 the second
  m.SetFPrecis(-3, 4);
  EXPECT_EQ(m.GetFPrecis(1), 4);
}

TEST(TMatrixSize, ResizeKeepsTheOverlapAndZeroesTheRest) {
  TMatrix m;
  SetRows(m, {{1, 2, 3}, {4, 5, 6}});  // 3 columns, 2 rows
  ASSERT_TRUE(m.Resize(2, 4));
  EXPECT_EQ(m.NrOfColumns(), 2);
  EXPECT_EQ(m.NrOfRows(), 4);
  const double want[4][2] = {{1, 2}, {4, 5}, {0, 0}, {0, 0}};
  for (int32_t r = 1; r <= 4; ++r)
    for (int32_t c = 1; c <= 2; ++c) EXPECT_EQ(m.GetVal(c, r), want[r - 1][c - 1]) << c << "," << r;
  // Growing the columns only (the in-place path) keeps every column.
  ASSERT_TRUE(m.Resize(3, 4));
  EXPECT_EQ(m.GetVal(2, 2), 5.0);
  EXPECT_EQ(m.GetVal(3, 1), 0.0);
}

TEST(TMatrixSize, ResizeFiresOnlyWhenTheSizeChanges) {
  Counted c;
  c.m.Resize(3, 3);
  c.changes = 0;
  EXPECT_TRUE(c.m.Resize(3, 3));
  EXPECT_EQ(c.changes, 0);
  EXPECT_TRUE(c.m.Resize(3, 4));
  EXPECT_EQ(c.changes, 1);
  EXPECT_TRUE(c.m.Resize(-2, 4));  // negative counts as 0
  EXPECT_EQ(c.m.NrOfColumns(), 0);
  EXPECT_EQ(c.changes, 2);
}

TEST(TMatrixSize, EmptyMatrixHasNoAddressableElementAndNewCellsAreZero) {
  Counted c;
  c.m.Fill(7.0);
  c.m.SetNCols(0);
  c.changes = 0;
  EXPECT_EQ(c.m.NrOfColumns(), 0);
  EXPECT_EQ(c.m.GetVal(1, 1), 0.0);
  c.m.SetVal(1, 1, 9.0);
  EXPECT_EQ(c.changes, 0);
  EXPECT_TRUE(c.m.Values().empty());
  c.m.SetNCols(1);  // the storage cell that survived must not reappear
  EXPECT_EQ(c.m.GetVal(1, 1), 0.0);
  c.m.SetNRows(-5);
  EXPECT_EQ(c.m.NrOfRows(), 0);
}

TEST(TMatrixSize, ResizeAndClearZeroesEverything) {
  Counted c;
  c.m.Fill(3.0);
  c.changes = 0;
  EXPECT_TRUE(c.m.ResizeAndClear(2, 2));
  EXPECT_EQ(c.changes, 2);  // Resize and Fill
  for (const double v : c.m.Values()) EXPECT_EQ(v, 0.0);
}

TEST(TMatrixSize, HugeSizeRaisesNotEnoughMemoryAndKeepsTheMatrix) {
  TMatrix m;
  m.SetName("Big");
  m.Fill(2.0);
  try {
    m.Resize(std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max());
    FAIL() << "no exception";
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"Big\": not enough memory on heap");
  }
  EXPECT_EQ(m.NrOfColumns(), 1);
  EXPECT_EQ(m.GetVal(1, 1), 2.0);
}

// The product and factorisation kernels rely on column loads splitting
// cache lines alike on every call: whichever way the storage is made anew,
// it starts on a 64-byte boundary.
TEST(TMatrixSize, StorageStartsOnACacheLineWhereverItIsMadeAnew) {
  const auto aligned = [](const TMatrix& m) {
    return reinterpret_cast<std::uintptr_t>(m.Values().data()) % 64 == 0;
  };
  TMatrix a;
  EXPECT_TRUE(aligned(a));
  a.Resize(5, 3);
  a.Resize(7, 9);  // a new column length: a new array
  EXPECT_TRUE(aligned(a));
  a.Resize(3, 3);
  SetRows(a, {{2, 1, 0}, {1, 3, 1}, {0, 1, 4}});
  TMatrix b;
  b.Assign(&a);
  EXPECT_TRUE(aligned(b));
  TMatrix p;
  ASSERT_TRUE(a.Multiply(&b, &p));
  EXPECT_TRUE(aligned(p));
  ASSERT_TRUE(b.Transpose());
  EXPECT_TRUE(aligned(b));
  ASSERT_TRUE(b.Invert());
  EXPECT_TRUE(aligned(b));
}

TEST(TMatrixElements, AccessOutsideIsHarmlessAndEveryWriteFires) {
  Counted c;
  c.m.Resize(3, 2);
  c.changes = 0;
  for (const auto& [col, row] : {std::pair{0, 1}, {4, 1}, {1, 0}, {1, 3}, {-1, -1}}) {
    EXPECT_EQ(c.m.GetVal(col, row), 0.0);
    c.m.SetVal(col, row, 5.0);
  }
  EXPECT_EQ(c.changes, 0);
  c.m.SetVal(3, 2, 5.0);
  c.m.SetVal(3, 2, 6.0);
  EXPECT_EQ(c.changes, 2);
  EXPECT_EQ(c.m.Elem(3, 2), 6.0);
  EXPECT_EQ(c.m.Values()[5], 6.0);  // column-major: (3, 2) is the last of 6
}

TEST(TMatrixElements, RangeRules) {
  TMatrix m;
  m.Resize(10, 4);
  struct Case {
    int32_t lo, hi, want_lo, want_hi;
  };
  for (const Case k : {Case{0, 0, 1, 10}, Case{5, 2, 2, 5}, Case{-3, 99, 1, 10}, Case{0, 4, 1, 4},
                       Case{12, 11, 10, 10}}) {
    int32_t lo = k.lo;
    int32_t hi = k.hi;
    m.MakeValidColRange(lo, hi);
    EXPECT_EQ(lo, k.want_lo) << k.lo << "," << k.hi;
    EXPECT_EQ(hi, k.want_hi) << k.lo << "," << k.hi;
  }
  int32_t lo = 0;
  int32_t hi = 0;
  m.MakeValidRowRange(lo, hi);
  EXPECT_EQ(hi, 4);
  m.SetNRows(0);
  lo = 3;
  hi = 7;
  m.MakeValidRowRange(lo, hi);
  EXPECT_GT(lo, hi);  // nothing to visit
}

TEST(TMatrixCopy, AssignCopiesEverythingWithoutFiring) {
  Counted src;
  SetRows(src.m, {{1, 2}, {3, 4}, {5, 6}});
  src.m.SetDataID("d");
  src.m.SetFPrecis(1, 3);
  src.m.SetFPrecis(2, 4);
  int dist_calls = 0;
  src.m.OnCalcDistance = [&](TObject*, int32_t, int32_t, double&) { ++dist_calls; };
  src.m.OnSortExchange = [](TObject*, uint8_t, int32_t, int32_t, int32_t, int32_t) {};
  src.changes = 0;
  TMatrix dst;
  dst.Assign(&src.m);
  EXPECT_EQ(src.changes, 0);
  EXPECT_TRUE(BitEqual(dst, src.m));
  EXPECT_EQ(dst.DataID(), "d");
  EXPECT_EQ(dst.Precision(1), 3);
  EXPECT_EQ(dst.Precision(2), 4);
  ASSERT_TRUE(dst.OnChange && dst.OnSortExchange && dst.OnCalcDistance);
  double d = 0;
  dst.OnCalcDistance(&dst, 1, 2, d);
  EXPECT_EQ(dist_calls, 1);
}

TEST(TMatrixCopy, AssignFromOtherClassesRaisesTheConversionError) {
  TMatrix m;
  TVector v;
  EXPECT_THROW(m.Assign(&v), EConvertError);
  EXPECT_THROW(v.Assign(&m), EConvertError);
  EXPECT_THROW(m.Assign(nullptr), EConvertError);
}

TEST(TMatrixCopy, CloneTakesSizeAndValuesAndFiresPerElement) {
  TMatrix src;
  SetRows(src, {{1, 2, 3}, {4, 5, 6}});
  src.SetDataID("source");
  Counted dst;
  dst.m.SetDataID("mine");
  dst.changes = 0;
  dst.m.Clone(&src);
  EXPECT_TRUE(BitEqual(dst.m, src));
  EXPECT_EQ(dst.m.DataID(), "mine");
  EXPECT_EQ(dst.changes, 1 + 6 + 1);  // Resize, six SetVal, the final Changed
  TMatrix quiet;
  quiet.Clone(&src);
  EXPECT_TRUE(BitEqual(quiet, src));
  dst.m.Clone(nullptr);  // nothing
  EXPECT_TRUE(BitEqual(dst.m, src));
}

TEST(TMatrixCopy, CopyFromOrdersClampsAndCutsTheRectangle) {
  TMatrix src;
  src.Resize(6, 3);
  for (int32_t c = 1; c <= 6; ++c)
    for (int32_t r = 1; r <= 3; ++r) src.SetVal(c, r, 10 * c + r);
  Counted dst;
  dst.m.Resize(4, 4);
  dst.changes = 0;
  // Columns 5..2 (reversed) and rows -7..99 (clamped to 1..3), placed at (2, 3):
  // the rectangle hangs over the right and bottom edges.
  dst.m.CopyFrom(&src, 5, -7, 2, 99, 2, 3);
  for (int32_t c = 1; c <= 4; ++c)
    for (int32_t r = 1; r <= 4; ++r) {
      const bool inside = c >= 2 && r >= 3;
      const double want = inside ? 10 * (c - 2 + 2) + (r - 3 + 1) : 0.0;
      EXPECT_EQ(dst.m.GetVal(c, r), want) << c << "," << r;
    }
  EXPECT_EQ(dst.changes, 3 * 2 + 1);  // the six cells inside, then Changed
  EXPECT_EQ(dst.m.NrOfColumns(), 4);
}

TEST(TMatrixCopy, CopyFromItselfReadsTheOriginalValues) {
  TMatrix m;
  SetRows(m, {{1, 2, 3, 4}});
  m.CopyFrom(&m, 1, 1, 3, 1, 2, 1);  // shift right by one
  EXPECT_EQ(m.GetVal(1, 1), 1.0);
  EXPECT_EQ(m.GetVal(2, 1), 1.0);
  EXPECT_EQ(m.GetVal(3, 1), 2.0);
  EXPECT_EQ(m.GetVal(4, 1), 3.0);
}

TEST(TMatrixCopy, CopyFromVecIntoRowAndColumn) {
  TVector v;
  v.Resize(4);
  for (int32_t i = 1; i <= 4; ++i) v.SetVal(i, i * 1.5);
  Counted c;
  c.m.Resize(3, 3);
  c.changes = 0;
  c.m.CopyFromVec(TDims::dimRow, &v, 2, 4, 2, 3);  // 3.0, 4.5, 6.0 from column 2: 6.0 is cut
  EXPECT_EQ(c.m.GetVal(2, 3), 3.0);
  EXPECT_EQ(c.m.GetVal(3, 3), 4.5);
  EXPECT_EQ(c.changes, 2 + 1);
  c.m.CopyFromVec(&v, 0, 0, 1, 2);  // whole vector into column 1 from row 2
  EXPECT_EQ(c.m.GetVal(1, 1), 0.0);
  EXPECT_EQ(c.m.GetVal(1, 2), 1.5);
  EXPECT_EQ(c.m.GetVal(1, 3), 3.0);
  c.m.CopyFromVec(TDims::dimColumn, nullptr, 1, 1, 1, 1);  // nothing
}

TEST(TMatrixCopy, CopyRowAndColumnToVectorKeepTheVectorSize) {
  TMatrix m;
  SetRows(m, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
  TVector v;
  v.Resize(3);
  v.Fill(-1.0);
  m.CopyRowToVec(&v, 9, 0, 0);  // row 9 is clamped to 2; five columns cut to three
  EXPECT_EQ(v.NrOfElem(), 3);
  EXPECT_EQ(v.GetVal(1), 6.0);
  EXPECT_EQ(v.GetVal(3), 8.0);
  v.Resize(4);
  v.Fill(-1.0);
  m.CopyColToVec(&v, -3, 2, 1);  // column 1, rows 1..2; the rest of the vector is zeroed
  EXPECT_EQ(v.GetVal(1), 1.0);
  EXPECT_EQ(v.GetVal(2), 6.0);
  EXPECT_EQ(v.GetVal(3), 0.0);
  EXPECT_EQ(v.GetVal(4), 0.0);
  m.CopyRowToVec(nullptr, 1, 1, 1);
}

TEST(TMatrixFill, FillsVisitColumnByColumnAndFireOnce) {
  Counted c;
  c.m.Resize(3, 2);
  c.changes = 0;
  c.m.Fill(2.5);
  c.m.FillDiag(-1.0);
  EXPECT_EQ(c.changes, 2);
  EXPECT_EQ(c.m.GetVal(1, 1), -1.0);
  EXPECT_EQ(c.m.GetVal(2, 2), -1.0);
  EXPECT_EQ(c.m.GetVal(3, 2), 2.5);
  // Uniform values are drawn column by column: element (c, r) takes draw
  // (c - 1) * rows + r.
  SetRandSeed(99);
  std::vector<double> draws;
  for (int k = 0; k < 6; ++k) draws.push_back(Random());
  SetRandSeed(99);
  c.m.FillRandomUniform(2.0, 6.0);
  for (int32_t col = 1; col <= 3; ++col)
    for (int32_t row = 1; row <= 2; ++row)
      EXPECT_DOUBLE_EQ(c.m.GetVal(col, row), 2.0 + 4.0 * draws[(col - 1) * 2 + row - 1]);
}

TEST(TMatrixFill, GaussianFillHasTheRequestedMoments) {
  TMatrix m;
  m.Resize(200, 200);
  SetRandSeed(12345);
  m.FillRandomGauss(3.0, 2.0);
  double s = 0.0;
  double s2 = 0.0;
  for (const double v : m.Values()) {
    s += v;
    s2 += v * v;
  }
  const double n = 40000.0;
  const double mean = s / n;
  const double var = s2 / n - mean * mean;
  // Standard errors: 2/200 = 0.01 for the mean, about 4*sqrt(2/n) = 0.028
  // for the variance; allow five of them.
  EXPECT_NEAR(mean, 3.0, 0.05);
  EXPECT_NEAR(var, 4.0, 0.15);
}

TEST(TMatrixChecksum, MatchesIndependentCrc32Values) {
  // Reference values from Python's zlib.crc32 (tests/data/matrix).
  int checked = 0;
  for (const auto& ref : matrix_test::ReadRefs()) {
    if (ref.kind != "crc") continue;
    TMatrix m;
    const int32_t nc = std::stoi(ref.args[0]);
    const int32_t nr = std::stoi(ref.args[1]);
    m.Resize(nc, nr);
    for (int32_t k = 0; k < nc * nr; ++k)
      m.SetVal(k / nr + 1, k % nr + 1, std::stod(ref.args[static_cast<std::size_t>(2 + k)]));
    EXPECT_EQ(m.CRCofData(), ref.result) << nc << "x" << nr;
    ++checked;
  }
  EXPECT_EQ(checked, 5);
}

TEST(TMatrixChecksum, SizeIsNotFoldedInButOrderAndSignOfZeroAre) {
  TMatrix a;
  TMatrix b;
  SetRows(a, {{1.5, 2.5}});    // 2 x 1
  SetRows(b, {{1.5}, {2.5}});  // 1 x 2
  EXPECT_EQ(a.CRCofData(), b.CRCofData());
  SetRows(b, {{2.5, 1.5}});
  EXPECT_NE(a.CRCofData(), b.CRCofData());
  TMatrix z;
  const std::string plus = z.CRCofData();
  z.SetVal(1, 1, -0.0);
  EXPECT_NE(z.CRCofData(), plus);
  EXPECT_EQ(plus.size(), 64U);
  a.SetDataID("x");
  SetRows(b, {{1.5, 2.5}});
  EXPECT_EQ(a.CRCofData(), b.CRCofData());
}

TEST(TMatrixXmlTags, NamesAndLookup) {
  EXPECT_EQ(MatXmlTagName(TMatXmlTag::xmlMatNumCols), "numcols");
  EXPECT_EQ(MatXmlTagName(TMatXmlTag::xmlMatEnd), "matrix");
  EXPECT_EQ(MatXmlTagName(TMatXmlTag::xmlInvalid), "");
  EXPECT_EQ(MatXmlTagOf("matrix"), TMatXmlTag::xmlMatBegin);
  EXPECT_EQ(MatXmlTagOf("cell"), TMatXmlTag::xmlMatCell);
  EXPECT_EQ(MatXmlTagOf("Cell"), TMatXmlTag::xmlInvalid);
  EXPECT_EQ(static_cast<int>(TMatXmlTag::xmlInvalid), 7);
  EXPECT_EQ(static_cast<int>(TNormType::ntFrobenius), 3);
}
