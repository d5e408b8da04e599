// TIntMatrix: sparse store order, form conversions, the operations of both
// forms, dense-only guards and the sparse text form against hostile files.
#include "ORK_matrix.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {
struct Set {
  int32_t c, r, v;
};

std::unique_ptr<TIntMatrix> SparseOf(std::initializer_list<Set> s, int32_t alloc = 2) {
  std::unique_ptr<TIntMatrix> m(TIntMatrix::CreateSparse(nullptr, alloc));
  for (const auto& e : s) m->SetVal(e.c, e.r, e.v);
  return m;
}

std::vector<Set> TriplesOf(const TIntMatrix& m) {
  std::vector<Set> out;
  for (const auto& t : m.Triples()) out.push_back({t.colidx, t.rowidx, t.value});
  return out;
}

bool operator==(const Set& a, const Set& b) { return a.c == b.c && a.r == b.r && a.v == b.v; }

std::string WriteTemp(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}
}  // namespace

TEST(TIntMatrixSparse, CreateSetGetAndOrder) {
  auto m = SparseOf({});
  EXPECT_EQ(m->AllocBy(), 2);
  std::unique_ptr<TIntMatrix> z(TIntMatrix::CreateSparse(nullptr, 0));
  EXPECT_EQ(z->AllocBy(), 1);
  EXPECT_EQ(z->NrOfColumns(), 0);
  z->SetVal(3, 5, 7);
  EXPECT_EQ(z->NrOfColumns(), 3);
  EXPECT_EQ(z->NrOfRows(), 5);
  EXPECT_EQ(z->GetVal(3, 5), 7);
  EXPECT_EQ(z->GetVal(2, 5), 0);
  z->SetVal(0, 1, 5);  // ignored
  EXPECT_EQ(z->SparseNumElem(), 1);

  m = SparseOf({{2, 1, 10}, {1, 4, 20}, {1, 2, 30}});
  EXPECT_EQ(TriplesOf(*m), (std::vector<Set>{{1, 2, 30}, {1, 4, 20}, {2, 1, 10}}));
  m->SetVal(1, 4, 21);
  EXPECT_EQ(m->SparseNumElem(), 3);
  EXPECT_EQ(m->GetVal(1, 4), 21);
  EXPECT_EQ(m->NumAllocated(), 4);  // grown in steps of 2
  // Indices at the 32-bit limit are stored and found.
  m->SetVal(2147483647, 2147483647, -1);
  EXPECT_EQ(m->GetVal(2147483647, 2147483647), -1);
  EXPECT_EQ(m->GetVal(2147483647, 2147483646), 0);
  EXPECT_THROW(m->SparseToArray(), EORKMatrixError);  // would need 2^62 cells
  EXPECT_TRUE(m->IsSparse());
}

TEST(TIntMatrixSparse, ConversionsAndBothFormOperations) {
  TIntMatrix d;
  d.Resize(4, 4);
  d.SetVal(1, 1, 3);
  d.SetVal(2, 3, -4);
  d.ArrayToSparse(1);
  EXPECT_TRUE(d.IsSparse());
  EXPECT_EQ(d.NrOfColumns(), 4);
  EXPECT_EQ(TriplesOf(d), (std::vector<Set>{{1, 1, 3}, {2, 3, -4}}));
  int32_t lo = 0, hi = 0;
  d.MinMax(0, 0, 0, 0, lo, hi);
  EXPECT_EQ(lo, -4);
  EXPECT_EQ(hi, 3);
  EXPECT_EQ(d.Sum(0, 0, 0, 0), -1);
  EXPECT_EQ(d.Trace(), 0);  // box 2 x 3 is not square
  double mean = 0, var = 0;
  d.MeanVar(0, 0, 0, 0, mean, var);
  EXPECT_DOUBLE_EQ(mean, -1.0 / 16);  // missing triples count as 0
  EXPECT_TRUE(d.Transpose());
  EXPECT_EQ(TriplesOf(d), (std::vector<Set>{{1, 1, 3}, {3, 2, -4}}));
  d.Transpose();
  d.SparseToArray();
  EXPECT_FALSE(d.IsSparse());
  EXPECT_EQ(d.NrOfColumns(), 2);
  EXPECT_EQ(d.NrOfRows(), 3);
  EXPECT_EQ(d.GetVal(2, 3), -4);

  auto one = SparseOf({{2, 2, 5}});
  one->MinMax(0, 0, 0, 0, lo, hi);
  EXPECT_EQ(lo, 5);
  EXPECT_EQ(hi, 5);
  EXPECT_EQ(one->Trace(), 5);

  auto s = SparseOf({{1, 1, 1}, {3, 1, 2}, {1, 3, 3}});
  EXPECT_FALSE(s->Resize(2, 2));
  EXPECT_EQ(TriplesOf(*s), (std::vector<Set>{{1, 1, 1}}));
  EXPECT_EQ(s->SparseHighCol(), 1);
  s->SetVal(2, 1, 4);
  s->Fill(5);
  EXPECT_EQ(TriplesOf(*s), (std::vector<Set>{{1, 1, 5}, {2, 1, 5}}));
  EXPECT_EQ(s->GetVal(2, 2), 0);
  EXPECT_EQ(s->NrOfColumns(), 2);  // the size set by Resize is kept
  EXPECT_EQ(s->NrOfRows(), 2);
  TIntMatrix dense;
  dense.Resize(2, 2);
  EXPECT_TRUE(dense.Add(s.get()));
  EXPECT_EQ(dense.Sum(0, 0, 0, 0), 10);
  EXPECT_FALSE(s->Add(&dense));  // a sparse matrix cannot be added to

  auto c = SparseOf({});
  c->Clone(s.get());
  EXPECT_EQ(TriplesOf(*c), TriplesOf(*s));
  EXPECT_EQ(c->NrOfColumns(), 2);
  dense.Clone(s.get());  // different forms: nothing
  EXPECT_FALSE(dense.IsSparse());
  s->Fill(0);
  EXPECT_EQ(s->SparseNumElem(), 0);
  EXPECT_EQ(s->SparseLowCol(), 2147483647);
  EXPECT_EQ(s->SparseHighCol(), 1);
  s->SparseToArray();
  EXPECT_EQ(s->NrOfColumns(), 1);
  EXPECT_EQ(s->NrOfRows(), 1);
}

TEST(TIntMatrixSparse, DenseOnlyOperationsRaise) {
  auto s = SparseOf({{1, 1, 1}});
  s->SetName("Sp");
  TIntMatrix other;
  const std::vector<std::pair<const char*, std::function<void()>>> ops = {
      {"FillDiag", [&] { s->FillDiag(1); }},
      {"CountValues", [&] { (void)s->CountValues(0, 0, 0, 0, 0, 1); }},
      {"CountMaskedZeros", [&] { (void)s->CountMaskedZeros(0, 0, 0, 0, 1); }},
      {"CRCofData", [&] { (void)s->CRCofData(); }},
      {"Subtract", [&] { s->Subtract(&other); }},
      {"SMult", [&] { s->SMult(2); }},
      {"SAdd", [&] { s->SAdd(2); }},
      {"SortRows", [&] { s->SortRows(1, true, 0, 0, 0, 0); }},
      {"ExchangeRows", [&] { s->ExchangeRows(1, 1); }},
      {"ExchangeColumns", [&] { s->ExchangeColumns(1, 1); }},
      {"EMult", [&] { s->EMult(&other); }},
      {"MirrorRows", [&] { s->MirrorRows(); }},
      {"MirrorColumns", [&] { s->MirrorColumns(); }},
      {"Find",
       [&] {
         int32_t c = 0, r = 0;
         s->Find(0, 0, 0, 0, 1, c, r);
       }},
      {"CopyFrom", [&] { s->CopyFrom(&other, 1, 1, 1, 1, 1, 1); }},
      {"StoreOnFile", [&] { s->StoreOnFile(0, 0, 0, 0, ::testing::TempDir() + "x.txt"); }},
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
  EXPECT_EQ(TriplesOf(*s), (std::vector<Set>{{1, 1, 1}}));
}

TEST(TIntMatrixDense, ArithmeticSortCopyAndCrc) {
  TIntMatrix m;
  m.Resize(2, 3);
  const int32_t vals[2][3] = {{3, 1, 2}, {30, 10, 20}};
  for (int32_t c = 1; c <= 2; ++c)
    for (int32_t r = 1; r <= 3; ++r) m.SetVal(c, r, vals[c - 1][r - 1]);
  m.SortRows(1, true, 0, 0, 0, 0);
  for (int32_t r = 1; r <= 3; ++r) {
    EXPECT_EQ(m.GetVal(1, r), r);
    EXPECT_EQ(m.GetVal(2, r), 10 * r);
  }
  EXPECT_FALSE(m.Resize(2, 3));
  m.SMult(2);
  m.SAdd(2147483647);  // wraps
  EXPECT_EQ(m.GetVal(1, 1), static_cast<int32_t>(2147483647u + 2u));
  m.SAdd(-2147483647);
  EXPECT_EQ(m.GetVal(2, 3), 60);
  EXPECT_EQ(m.CountValues(0, 0, 0, 0, 2, 6), 3);
  EXPECT_EQ(m.CountMaskedZeros(0, 0, 0, 0, 3), 4);  // 4, 20, 40, 60 (not 2, 6)
  // Mirror, element-wise product and search on a copy.
  TIntMatrix w;
  w.Clone(&m);
  w.MirrorRows();
  w.MirrorColumns();
  EXPECT_EQ(w.GetVal(1, 1), 60);
  EXPECT_EQ(w.GetVal(2, 3), 2);
  EXPECT_TRUE(w.EMult(&m));
  EXPECT_EQ(w.GetVal(1, 1), 120);
  EXPECT_EQ(w.GetVal(2, 2), 40 * 4);
  int32_t fc = 0, fr = 0;
  m.Find(0, 0, 0, 0, 37, fc, fr);
  EXPECT_EQ(fc, 2);
  EXPECT_EQ(fr, 2);  // 40 is nearest
  m.Find(0, 0, 0, 0, -2147483647 - 1, fc, fr);
  EXPECT_EQ(fc, 1);  // 2, the first of the smallest
  EXPECT_EQ(fr, 1);
  TMatrix d;
  d.Resize(3, 3);
  d.CopyFrom(&m, 1, 1, 2, 3, 2, 1);
  EXPECT_EQ(d.GetVal(3, 3), 60.0);
  EXPECT_EQ(d.GetVal(2, 2), 4.0);
  EXPECT_EQ(d.GetVal(1, 1), 0.0);
  TIntVector v;
  v.Resize(3);
  m.CopyColToVec(&v, 2, 0, 0);
  EXPECT_EQ(v.GetVal(3), 60);
  // CRC-32 of the bytes 0x01 0x00 0x00 0x00 and of three zero bytes, as
  // zlib computes them: accumulator 1 takes the low byte of the element.
  TIntMatrix one;
  one.SetVal(1, 1, 1);
  EXPECT_EQ(one.CRCofData(), "A505DF1BD202EF8DD202EF8DD202EF8D");
}

TEST(TIntMatrixPersist, SparseRoundTripAndHostileFiles) {
  auto s = SparseOf({{1, 2, -5}, {4, 1, 2147483647}, {2147483647, 3, -2147483647 - 1}});
  const std::string path = ::testing::TempDir() + "sp_roundtrip.txt";
  ASSERT_TRUE(s->StoreSparseMat(path));
  auto t = SparseOf({{9, 9, 9}});
  ASSERT_TRUE(t->LoadSparseMat(path));
  EXPECT_EQ(TriplesOf(*t), TriplesOf(*s));
  EXPECT_EQ(t->NrOfColumns(), 2147483647);
  EXPECT_EQ(t->SparseLowRow(), 1);
  std::remove(path.c_str());

  const std::string sig = "NUMBRA-SPARSE-INT 1\r\n";
  const std::vector<std::pair<const char*, std::string>> bad = {
      {"wrong signature", "NUMBRA-SPARSE-INT 2\r\n1 1 0\r\n"},
      {"missing count", sig + "2 2\r\n"},
      {"negative size", sig + "-1 2 0\r\n"},
      {"count beyond the file", sig + "2 2 100000000\r\n1 1 1\r\n"},
      {"fewer triples", sig + "2 2 2\r\n1 1 1\r\n"},
      {"more triples", sig + "2 2 1\r\n1 1 1\r\n2 2 2\r\n"},
      {"index 0", sig + "2 2 1\r\n0 1 1\r\n"},
      {"index beyond 32 bits", sig + "2 2 1\r\n2147483648 1 1\r\n"},
      {"value beyond 32 bits", sig + "2 2 1\r\n1 1 2147483648\r\n"},
      {"unsorted", sig + "2 2 2\r\n2 1 1\r\n1 1 1\r\n"},
      {"repeated", sig + "2 2 2\r\n1 1 1\r\n1 1 2\r\n"},
      {"size below box", sig + "1 1 1\r\n2 1 1\r\n"},
      {"not a number", sig + "2 2 1\r\n1 x 1\r\n"},
  };
  for (const auto& [what, text] : bad) {
    const std::string p = WriteTemp("sp_bad.txt", text);
    EXPECT_FALSE(t->LoadSparseMat(p)) << what;
    EXPECT_EQ(TriplesOf(*t), TriplesOf(*s)) << what;
    std::remove(p.c_str());
  }
  EXPECT_FALSE(t->LoadSparseMat(::testing::TempDir() + "does_not_exist.txt"));
  TIntMatrix dense;
  EXPECT_FALSE(dense.StoreSparseMat(path));
}

TEST(TIntMatrixPersist, DenseTextForm) {
  TIntMatrix m;
  m.Resize(3, 2);
  for (int32_t c = 1; c <= 3; ++c)
    for (int32_t r = 1; r <= 2; ++r) m.SetVal(c, r, c * 100 - r * 7 - 2147483647 * (c == 3));
  const std::string path = ::testing::TempDir() + "im_dense.txt";
  ASSERT_TRUE(m.StoreOnFile(0, 0, 0, 0, path));
  TIntMatrix back;
  ASSERT_TRUE(back.LoadFromFile(path, true));
  EXPECT_EQ(back.NrOfColumns(), 3);
  EXPECT_EQ(back.CRCofData(), m.CRCofData());
  TIntMatrix small;
  EXPECT_FALSE(small.LoadFromFile(path, false));  // region does not fit
  const std::string bad = WriteTemp("im_bad.txt", "1 1 2 1\r\n5 1.5\r\n");
  EXPECT_FALSE(back.LoadFromFile(bad, true));
  EXPECT_EQ(back.CRCofData(), m.CRCofData());
  std::remove(path.c_str());
  std::remove(bad.c_str());
}

TEST(TIntMatrixDense, SortColsAndFindInSortedColumn) {
  // Columns keyed by row 1 (3, 1, 2), row 2 carries them along.
  struct Case {
    bool ascending;
    int32_t low_row, high_row;  // moved rows (the key row always moves)
    std::vector<int32_t> row1, row2;
  };
  const Case cases[] = {
      {true, 0, 0, {1, 2, 3}, {10, 20, 30}},
      {false, 0, 0, {3, 2, 1}, {30, 20, 10}},
      {true, 2, 2, {1, 2, 3}, {10, 20, 30}},  // key row outside the moved rows
  };
  for (const Case& k : cases) {
    TIntMatrix m;
    m.Resize(3, 2);
    const int32_t keys[3] = {3, 1, 2};
    for (int32_t c = 1; c <= 3; ++c) {
      m.SetVal(c, 1, keys[c - 1]);
      m.SetVal(c, 2, 10 * keys[c - 1]);
    }
    int exchanges = 0;
    m.OnSortExchange = [&](TObject*, uint8_t what, int32_t, int32_t, int32_t, int32_t) {
      EXPECT_EQ(what, 1);
      ++exchanges;
    };
    m.SortCols(1, k.ascending, 0, k.low_row, 0, k.high_row);
    EXPECT_GT(exchanges, 0);
    for (int32_t c = 1; c <= 3; ++c) {
      EXPECT_EQ(m.GetVal(c, 1), k.row1[static_cast<std::size_t>(c) - 1]);
      EXPECT_EQ(m.GetVal(c, 2), k.row2[static_cast<std::size_t>(c) - 1]);
    }
  }
  TIntMatrix m;
  m.SetName("I");
  m.Resize(2, 5);
  const int32_t col[5] = {-2147483647 - 1, -3, 0, 8, 2147483647};
  for (int32_t r = 1; r <= 5; ++r) {
    m.SetVal(1, r, col[r - 1]);
    m.SetVal(2, r, col[5 - r]);  // descending
  }
  // Value, expected row in column 1 (ascending) and in column 2
  // (descending); a tie (4 between 0 and 8) takes the upper row.
  const int32_t finds[][3] = {{8, 4, 2}, {-3, 2, 4}, {-2, 2, 4},         {3, 3, 3},
                              {4, 4, 3}, {5, 4, 2},  {2147483647, 5, 1}, {-2147483647 - 1, 1, 5}};
  for (const auto& f : finds) {
    EXPECT_EQ(m.FindInSortedColumn(1, true, f[0]), f[1]) << f[0];
    EXPECT_EQ(m.FindInSortedColumn(2, false, f[0]), f[2]) << f[0];
  }
  try {
    m.SortCols(6, true, 0, 0, 0, 0);
    ADD_FAILURE() << "SortCols did not raise";
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"I\": SortCols: key row 6 outside 1..5");
  }
}

TEST(TIntMatrixDense, AssignCopiesEitherFormAndHandlers) {
  int fired = 0;
  auto sp = SparseOf({{2, 1, 10}, {1, 4, 20}}, 3);
  sp->SetDataID("ids");
  sp->OnChange = [&](TObject*) { ++fired; };
  TIntMatrix d;
  d.Resize(5, 5);
  d.Assign(sp.get());
  EXPECT_EQ(fired, 0);  // Assign does not notify
  EXPECT_TRUE(d.IsSparse());
  EXPECT_EQ(d.AllocBy(), 3);
  EXPECT_EQ(d.NrOfColumns(), 2);
  EXPECT_EQ(d.NrOfRows(), 4);
  EXPECT_EQ(d.DataID(), "ids");
  EXPECT_EQ(TriplesOf(d), (std::vector<Set>{{1, 4, 20}, {2, 1, 10}}));
  d.SetVal(1, 1, 3);  // the copied handler fires for the copy
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(sp->SparseNumElem(), 2);  // the source is untouched
  // Back to the dense form through AssignTo.
  TIntMatrix dense;
  dense.Resize(2, 3);
  dense.SetVal(2, 3, -7);
  dense.AssignTo(&d);
  EXPECT_FALSE(d.IsSparse());
  EXPECT_EQ(d.NrOfColumns(), 2);
  EXPECT_EQ(d.NrOfRows(), 3);
  EXPECT_EQ(d.GetVal(2, 3), -7);
  EXPECT_EQ(d.Triples().size(), 0u);
  EXPECT_FALSE(d.OnChange);
  d.Assign(&d);  // itself: nothing
  EXPECT_EQ(d.GetVal(2, 3), -7);
  TVector v;
  EXPECT_THROW(d.Assign(&v), EConvertError);
  EXPECT_THROW(d.Assign(nullptr), EConvertError);
  EXPECT_THROW(d.AssignTo(&v), EConvertError);
}
