// TDataTable sorting, exchange, mirroring, lookup, copying, the external
// matrix, the serialised form and the checksums (references from zlib,
// tests/data/datatable/make_crc_ref.py).
#include "ORK_datatable.h"

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

// 3 columns x 4 rows: column 1 holds the keys 3, 1, 4, 2; every cell's state
// and every header is derived from its row, so that a moved row can be
// recognised.
void MakeTable(TDataTable& t) {
  t.Resize(3, 4);
  const double keys[] = {3, 1, 4, 2};
  for (int32_t r = 1; r <= 4; ++r) {
    t.SetRowName(r, "row" + std::to_string(int(keys[r - 1])));
    t.SetRowAttrib(r, 1000 * int(keys[r - 1]));
    for (int32_t c = 1; c <= 3; ++c) {
      t.SetElem(c, r, c == 1 ? keys[r - 1] : 10 * c + keys[r - 1]);
      t.SetCellState(c, r, uint8_t(4 * keys[r - 1]));
    }
  }
}

// Whether every row r (1..4) of the table holds the row with key k = keys[r-1].
void ExpectRowsAre(const TDataTable& t, const std::vector<int>& keys, bool headers_moved) {
  for (int32_t r = 1; r <= 4; ++r) {
    const int k = keys[std::size_t(r - 1)];
    EXPECT_EQ(t.GetElem(1, r), k) << r;
    EXPECT_EQ(t.GetElem(3, r), 30 + k) << r;
    EXPECT_EQ(t.GetCellState(2, r), 4 * k) << r;
    EXPECT_EQ(t.GetCellState(1, r), 4 * k) << r;
    if (headers_moved) {
      EXPECT_EQ(t.GetRowName(r), "row" + std::to_string(k));
      EXPECT_EQ(t.GetRowAttrib(r), 1000 * k);
    }
  }
}

}  // namespace

TEST(TDataTableSort, SortRowsMovesStatesAndOptionallyHeaders) {
  for (const bool headers : {true, false}) {
    TDataTable t;
    MakeTable(t);
    int names = 0;
    int exchanges = 0;
    t.OnChangeNames = [&](TObject*) { ++names; };
    t.OnSortExchange = [&](TObject* s, uint8_t what, int32_t, int32_t, int32_t, int32_t) {
      EXPECT_EQ(s, &t);
      EXPECT_EQ(what, 2);
      ++exchanges;
    };
    t.SortRows(1, true, 0, 0, 0, 0, headers);
    ExpectRowsAre(t, {1, 2, 3, 4}, headers);
    EXPECT_GT(exchanges, 0);
    EXPECT_EQ(names, headers ? 1 : 0);
    if (!headers) {
      EXPECT_EQ(t.GetRowName(1), "row3");
      EXPECT_EQ(t.GetRowAttrib(1), 3000);
    }
  }
  // The key column outside the moved columns moves, and its states with it.
  TDataTable t;
  MakeTable(t);
  t.SortRows(1, false, 2, 0, 3, 0, true);
  ExpectRowsAre(t, {4, 3, 2, 1}, true);
  EXPECT_THROW(t.SortRows(9, true, 0, 0, 0, 0, true), EORKMatrixError);
  // With and without an exchange handler (one exchange at a time, or one
  // permutation at the end) the same table results, ties and NaN included.
  TDataTable a;
  a.Resize(4, 300);
  SetRandSeed(11);
  a.NumericData->FillRandomUniform(0, 5);
  for (int32_t r = 1; r <= 300; ++r) {
    a.NumericData->SetVal(2, r, std::floor(a.NumericData->GetVal(2, r)));
    if (r % 17 == 0) a.NumericData->SetVal(2, r, std::nan(""));
    a.SetCellState(1 + r % 4, r, uint8_t(r % 251));
    std::string name = "n";
    name += std::to_string(r);
    a.SetRowName(r, name);
    a.SetRowAttrib(r, r);
  }
  TDataTable b;
  b.CopyContentsFrom(&a);
  b.OnSortExchange = [](TObject*, uint8_t, int32_t, int32_t, int32_t, int32_t) {};
  a.SortRows(2, false, 3, 20, 4, 280, true);
  b.SortRows(2, false, 3, 20, 4, 280, true);
  EXPECT_EQ(a.CRCofCellStates(), b.CRCofCellStates());
  EXPECT_EQ(a.CRCofNamesAndAttributes(), b.CRCofNamesAndAttributes());
  EXPECT_EQ(a.NumericData->CRCofData(), b.NumericData->CRCofData());
}

TEST(TDataTableSort, SortColsMovesTypesAndIdentifiers) {
  TDataTable t;
  t.Resize(3, 2);
  const double keys[] = {2, 3, 1};
  for (int32_t c = 1; c <= 3; ++c) {
    t.SetElem(c, 1, keys[c - 1]);
    t.SetCellState(c, 2, uint8_t(keys[c - 1]));
    t.SetColName(c, "c" + std::to_string(int(keys[c - 1])));
  }
  t.SetMScaleType(2, TMScaleType::stNominal);
  t.AddNominalID(2, "three");
  t.SortCols(1, true, 0, 0, 0, 0, true);
  EXPECT_EQ(t.GetColName(1), "c1");
  EXPECT_EQ(t.GetColName(3), "c3");
  EXPECT_EQ(t.GetMScaleType(3), TMScaleType::stNominal);
  EXPECT_EQ(t.GetNominalID(3, 1), "three");
  EXPECT_EQ(t.GetCellState(3, 2), 3);
}

TEST(TDataTableSort, NameAndAttributeSorts) {
  TDataTable t;
  t.Resize(2, 3);
  const char* names[] = {"b", "A", "a"};
  for (int32_t r = 1; r <= 3; ++r) {
    t.SetRowName(r, names[r - 1]);
    t.SetElem(1, r, r);
    t.SetCellState(2, r, uint8_t(r));
  }
  t.SortRowNames(true, 0, 0, 0, 0);
  EXPECT_EQ(t.GetRowName(1), "A");
  EXPECT_EQ(t.GetRowName(2), "a");
  EXPECT_EQ(t.GetRowName(3), "b");
  EXPECT_EQ(t.GetElem(1, 1), 2.0);
  EXPECT_EQ(t.GetCellState(2, 3), 1);
  t.SortRowNames(false, true, 0, 0, 0, 0);
  EXPECT_EQ(t.GetRowName(1), "b");
  for (int32_t r = 1; r <= 3; ++r) t.SetRowAttrib(r, 10 - 3 * r);
  t.SortRowAttributes(true, 0, 0, 0, 0);
  EXPECT_EQ(t.GetRowAttrib(1), 1);
  EXPECT_EQ(t.GetRowAttrib(3), 7);
  t.SetColAttrib(1, 5);
  t.SetColName(1, "z");
  t.SortColAttributes(true, 0, 0, 0, 0);
  EXPECT_EQ(t.GetColName(2), "z");
  t.SortColNames(false, 0, 0, 0, 0);
  EXPECT_EQ(t.GetColName(1), "z");
}

TEST(TDataTableSort, ExchangeMirrorAndLookup) {
  TDataTable t;
  MakeTable(t);
  int setup = 0;
  t.OnChangeSetup = [&](TObject*) { ++setup; };
  t.ExchangeRows(1, 3);
  ExpectRowsAre(t, {4, 1, 3, 2}, true);
  EXPECT_EQ(t.GetRowAttrib(3), 3000);  // a large attribute moves intact
  EXPECT_EQ(setup, 1);
  TDataTable m;
  m.Resize(1, 3);
  for (int32_t r = 1; r <= 3; ++r) m.SetElem(1, r, r);
  m.MirrorRows();
  EXPECT_EQ(m.GetElem(1, 1), 3.0);
  EXPECT_EQ(m.GetElem(1, 2), 2.0);
  t.SetMScaleType(1, TMScaleType::stRatio);
  t.ExchangeColumns(1, 3);
  EXPECT_EQ(t.GetMScaleType(3), TMScaleType::stRatio);
  EXPECT_EQ(t.GetElem(3, 1), 4.0);
  t.MirrorColumns();
  EXPECT_EQ(t.GetElem(1, 1), 4.0);
  EXPECT_THROW(t.ExchangeRows(1, 9), EORKMatrixError);
  TDataTable f;
  f.Resize(3, 1);
  EXPECT_EQ(f.FindColIndex("  c-2 "), 2);
  EXPECT_EQ(f.FindColIndex("c-4"), 0);
  EXPECT_EQ(f.FindRowIndex("r-1"), 1);
}

TEST(TDataTableCopy, CopyFromContentsStatesAndExternalMatrix) {
  TDataTable src;
  MakeTable(src);
  src.SetMScaleType(2, TMScaleType::stNominal);
  src.AddNominalID(2, "x");
  src.SetFComment("note");
  src.NumericData->SetVal(2, 1, 2.5);
  TDataTable dst;
  dst.Resize(2, 2);
  dst.CopyFrom(&src, 2, 1, 9, 0, 1, 2);  // bounds clamped, then put in order
  EXPECT_EQ(dst.GetElem(1, 2), 2.0);     // nominal values arrive rounded
  EXPECT_EQ(dst.GetCellState(1, 2), 12);
  EXPECT_EQ(dst.GetColName(1), "C-1");  // headers are not copied
  std::vector<std::vector<int32_t>> resizes;
  dst.OnResize = [&](TObject*, int32_t a, int32_t b, int32_t c, int32_t d) {
    resizes.push_back({a, b, c, d});
  };
  dst.CopyContentsFrom(&src);
  EXPECT_EQ(dst.NrOfRows(), 4);
  EXPECT_EQ(dst.Comment(), "note");
  EXPECT_EQ(dst.GetNominalID(2, 1), "x");
  EXPECT_EQ(dst.CRCofNamesAndAttributes(), src.CRCofNamesAndAttributes());
  EXPECT_EQ(dst.CRCofCellStates(), src.CRCofCellStates());
  ASSERT_EQ(resizes.size(), 2u);  // by the resize, and once more at the end
  EXPECT_EQ(resizes[1], (std::vector<int32_t>{2, 2, 3, 4}));
  TDataTable other;
  EXPECT_FALSE(other.CopyCellStatesFrom(&src));
  other.Resize(3, 4);
  EXPECT_TRUE(other.CopyCellStatesFrom(&src));
  EXPECT_EQ(other.CRCofCellStates(), src.CRCofCellStates());

  TMatrix ext;
  ext.Resize(2, 5);
  ext.Fill(1.5);
  {
    TDataTable t;
    int changes = 0;
    t.OnChange = [&](TObject*) { ++changes; };
    t.SetMScaleType(1, TMScaleType::stNominal);
    t.AssignAnotherDataMatrix(&ext);
    EXPECT_EQ(t.NumericData, &ext);
    EXPECT_EQ(t.NrOfRows(), 5);
    EXPECT_EQ(t.GetElem(2, 5), 1.5);
    EXPECT_EQ(t.GetMScaleType(1), TMScaleType::stInterval);
    EXPECT_EQ(changes, 1);
    ext.SetVal(1, 1, 3);  // the table hears the external matrix
    EXPECT_EQ(changes, 2);
  }
  // The table is gone; the matrix lives on without its handlers.
  EXPECT_FALSE(static_cast<bool>(ext.OnChange));
  ext.SetVal(1, 1, 4);
}

TEST(TDataTableCopy, SerializeToOneVariable) {
  TDataTable t;
  t.Resize(2, 3);
  for (int32_t c = 1; c <= 2; ++c)
    for (int32_t r = 1; r <= 3; ++r) t.SetElem(c, r, 10 * c + r);
  t.SetColName(2, "second");
  t.SetRowAttrib(2, 9);
  t.SetCellState(2, 3, 2);
  t.SetCellState(1, 1, 64);  // stays with the data, not with the index column
  t.Serialize(true, true);
  ASSERT_EQ(t.NrOfColumns(), 4);
  ASSERT_EQ(t.NrOfRows(), 6);
  const char* names[] = {"(column)", "(col. index)", "(row index)", "(data)"};
  for (int32_t c = 1; c <= 4; ++c) EXPECT_EQ(t.GetColName(c), names[c - 1]);
  EXPECT_EQ(t.GetMScaleType(1), TMScaleType::stNominal);
  EXPECT_EQ(t.GetNominalID(1, 2), "2:second");
  EXPECT_EQ(t.GetElem(4, 5), 22.0);
  EXPECT_EQ(t.GetElem(2, 5), 2.0);
  EXPECT_EQ(t.GetElem(3, 5), 2.0);
  EXPECT_EQ(t.GetRowAttrib(5), 9);
  EXPECT_EQ(t.GetCellState(4, 6), 2);
  EXPECT_EQ(t.GetCellState(4, 1), 64);
  EXPECT_EQ(t.GetCellState(1, 1), 0);
  EXPECT_EQ(t.GetMScaleType(4), TMScaleType::stInterval);
}

TEST(TDataTableCopy, ChecksumsAgainstZlib) {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/datatable/crc_ref.txt");
  std::vector<std::string> ref(4);
  for (auto& s : ref) in >> s;
  ASSERT_TRUE(in.good());
  TDataTable a;
  EXPECT_EQ(a.CRCofNamesAndAttributes(), ref[0]);
  EXPECT_EQ(a.CRCofCellStates(), ref[1]);
  EXPECT_EQ(ref[1].substr(0, 8), "00000000");
  TDataTable b;
  b.Resize(2, 3);
  b.SetFComment("Hi");
  b.SetColName(1, "x");
  b.SetColName(2, "yy");
  b.SetColAttrib(1, 1);
  b.SetColAttrib(2, 258);
  b.SetRowAttrib(2, 7);
  b.SetRowAttrib(3, -1);
  b.SetMScaleType(2, TMScaleType::stNominal);
  b.SetNominalID(2, 1, "a");
  b.SetNominalID(2, 2, "bc");
  const uint8_t states[2][3] = {{0, 2, 64}, {32, 0, 255}};
  for (int32_t c = 1; c <= 2; ++c)
    for (int32_t r = 1; r <= 3; ++r) b.SetCellState(c, r, states[c - 1][r - 1]);
  EXPECT_EQ(b.CRCofNamesAndAttributes(), ref[2]);
  EXPECT_EQ(b.CRCofCellStates(), ref[3]);
}
