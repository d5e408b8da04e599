// TMatrix sorting of rows and columns, mirroring and exchange.
#include "ORK_matrix.h"
#include "test_matrix_stats_refs.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using matrix_stats_test::NaN;
using matrix_stats_test::SameMatrix;
using matrix_stats_test::SetRows;

namespace {

struct Exchange {
  int what, i1, i2, first, last;
  bool operator==(const Exchange&) const = default;
};

// Records the OnSortExchange calls of m.
struct Recorder {
  std::vector<Exchange> calls;
  void Attach(TMatrix& m) {
    m.OnSortExchange = [this, &m](TObject* sender, uint8_t what, int32_t i1, int32_t i2,
                                  int32_t first, int32_t last) {
      EXPECT_EQ(sender, &m);
      calls.push_back({what, i1, i2, first, last});
    };
  }
};

// The exchanges that the comb sort rule makes on keys[lo..hi] (1-based),
// written down from the rule itself: the gap starts at hi - lo and becomes
// (gap * 100000000 div 13000) div 10000, at least 1, before each pass; a
// pass exchanges (i, i + gap) when out of order; passes end after a pass of
// gap 1 without exchange. Keys must not be NaN.
std::vector<std::pair<int, int>> CombSortExchanges(std::vector<double> keys, int lo, int hi,
                                                   bool asc) {
  std::vector<std::pair<int, int>> out;
  int64_t gap = hi - lo;
  if (gap < 1) return out;
  for (;;) {
    gap = gap * 100000000 / 13000 / 10000;
    if (gap < 1) gap = 1;
    bool exchanged = false;
    for (int i = lo; i + gap <= hi; ++i) {
      double& a = keys[static_cast<std::size_t>(i) - 1];
      double& b = keys[static_cast<std::size_t>(i + gap) - 1];
      if (asc ? a > b : b > a) {
        std::swap(a, b);
        out.emplace_back(i, static_cast<int>(i + gap));
        exchanged = true;
      }
    }
    if (gap == 1 && !exchanged) return out;
  }
}

// A cols x rows matrix of small random integers (many ties).
void FillTies(TMatrix& m, int32_t cols, int32_t rows, uint64_t seed) {
  SetRandSeed(seed);
  m.Resize(cols, rows);
  for (int32_t c = 1; c <= cols; ++c)
    for (int32_t r = 1; r <= rows; ++r) m.SetVal(c, r, Random(7));
}

}  // namespace

TEST(TMatrixSort, SortRowsMovesWholeRows) {
  TMatrix m;
  // Column 1 holds each row's original number, column 2 the key.
  SetRows(m, {{1, 5, 50}, {2, -1, -10}, {3, 7, 70}, {4, 2, 20}, {5, -1, -10.5}});
  m.SortRows(2, true, 0, 0, 0, 0);
  for (int32_t r = 1; r <= 5; ++r) {
    if (r > 1) {
      EXPECT_LE(m.GetVal(2, r - 1), m.GetVal(2, r));
    }
  }
  // Every row is still a row of the input: (id, key, 10 key) with the ties
  // -1 of rows 2 and 5 told apart by the third column.
  for (int32_t r = 1; r <= 5; ++r) {
    const int id = static_cast<int>(m.GetVal(1, r));
    const double third = id == 5 ? -10.5 : 10 * m.GetVal(2, r);
    EXPECT_EQ(m.GetVal(3, r), third) << r;
  }
  m.SortRows(2, false, 0, 0, 0, 0);
  EXPECT_EQ(m.GetVal(2, 1), 7);
  EXPECT_EQ(m.GetVal(1, 1), 3);
  EXPECT_EQ(m.GetVal(2, 5), -1);
}

TEST(TMatrixSort, ExchangesFollowTheCombSortPassSequence) {
  struct Case {
    bool rows;
    bool asc;
    int32_t key, lc, lr, hc, hr;
  };
  const Case cases[] = {
      {true, true, 2, 0, 0, 0, 0},   {true, false, 2, 0, 0, 0, 0},
      {true, true, 4, 1, 5, 2, 33},  // key outside the moved columns
      {false, true, 3, 0, 0, 0, 0},  {false, false, 3, 0, 0, 0, 0},
      {false, true, 1, 4, 2, 27, 3},  // key row outside the moved rows
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.rows) + std::to_string(k.asc) + " key " + std::to_string(k.key));
    TMatrix m;
    SetRandSeed(7);
    m.Resize(k.rows ? 5 : 30, k.rows ? 40 : 6);
    m.FillRandomUniform(-100, 100);  // distinct keys
    // The expected exchanges from the rule applied to the validated range.
    int32_t lc = k.lc, hc = k.hc, lr = k.lr, hr = k.hr;
    m.MakeValidColRange(lc, hc);
    m.MakeValidRowRange(lr, hr);
    std::vector<double> keys;
    const int32_t n = k.rows ? m.NrOfRows() : m.NrOfColumns();
    for (int32_t i = 1; i <= n; ++i)
      keys.push_back(k.rows ? m.GetVal(k.key, i) : m.GetVal(i, k.key));
    const auto expected =
        k.rows ? CombSortExchanges(keys, lr, hr, k.asc) : CombSortExchanges(keys, lc, hc, k.asc);
    ASSERT_GT(expected.size(), 10u);
    Recorder rec;
    rec.Attach(m);
    if (k.rows)
      m.SortRows(k.key, k.asc, k.lc, k.lr, k.hc, k.hr);
    else
      m.SortCols(k.key, k.asc, k.lc, k.lr, k.hc, k.hr);
    ASSERT_EQ(rec.calls.size(), expected.size());
    for (std::size_t x = 0; x < expected.size(); ++x) {
      const Exchange want = k.rows ? Exchange{2, expected[x].first, expected[x].second, lc, hc}
                                   : Exchange{1, expected[x].first, expected[x].second, lr, hr};
      EXPECT_EQ(rec.calls[x], want) << "exchange " << x;
    }
  }
}

TEST(TMatrixSort, ReplayedExchangesReproduceTheSortedMatrix) {
  // Replaying the reported exchanges on a copy of the input gives exactly
  // the sorted matrix; and sorting without a handler (the permutation path)
  // gives the same matrix too. Ties and NaN keys included.
  struct Case {
    bool rows;
    bool asc;
    int32_t key, lc, lr, hc, hr;
  };
  const Case cases[] = {
      {true, true, 3, 0, 0, 0, 0},  {true, false, 1, 2, 10, 4, 90}, {true, true, 6, 2, 3, 4, 60},
      {false, true, 2, 0, 0, 0, 0}, {false, false, 5, 3, 1, 30, 4}, {false, true, 7, 1, 2, 40, 5},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.rows) + std::to_string(k.asc) + " key " + std::to_string(k.key));
    TMatrix input;
    FillTies(input, k.rows ? 6 : 40, k.rows ? 100 : 7, 11);
    input.SetVal(k.rows ? k.key : 5, k.rows ? 17 : k.key, NaN());
    TMatrix sorted, silent;
    sorted.Assign(&input);
    silent.Assign(&input);
    Recorder rec;
    rec.Attach(sorted);
    int changes = 0;
    sorted.OnChange = [&](TObject*) { ++changes; };
    if (k.rows) {
      sorted.SortRows(k.key, k.asc, k.lc, k.lr, k.hc, k.hr);
      silent.SortRows(k.key, k.asc, k.lc, k.lr, k.hc, k.hr);
    } else {
      sorted.SortCols(k.key, k.asc, k.lc, k.lr, k.hc, k.hr);
      silent.SortCols(k.key, k.asc, k.lc, k.lr, k.hc, k.hr);
    }
    EXPECT_EQ(changes, 1);
    ASSERT_FALSE(rec.calls.empty());
    // Replay with plain element moves: rows (columns) i1 and i2 over the
    // reported range first..last, plus the key entry when it lies outside.
    TMatrix again;
    again.Assign(&input);
    for (const Exchange& e : rec.calls) {
      const auto swap = [&](int32_t c1, int32_t r1, int32_t c2, int32_t r2) {
        const double t = again.GetVal(c1, r1);
        again.SetVal(c1, r1, again.GetVal(c2, r2));
        again.SetVal(c2, r2, t);
      };
      if (e.what == 2) {
        for (int32_t c = e.first; c <= e.last; ++c) swap(c, e.i1, c, e.i2);
        if (k.key < e.first || k.key > e.last) swap(k.key, e.i1, k.key, e.i2);
      } else {
        ASSERT_EQ(e.what, 1);
        for (int32_t r = e.first; r <= e.last; ++r) swap(e.i1, r, e.i2, r);
        if (k.key < e.first || k.key > e.last) swap(e.i1, k.key, e.i2, k.key);
      }
    }
    EXPECT_TRUE(SameMatrix(again, sorted));
    EXPECT_TRUE(SameMatrix(silent, sorted));
    // The key column (row) is in order within the sorted range, NaN last
    // ascending and first descending.
    int32_t lo = k.rows ? k.lr : k.lc, hi = k.rows ? k.hr : k.hc;
    if (k.rows)
      sorted.MakeValidRowRange(lo, hi);
    else
      sorted.MakeValidColRange(lo, hi);
    const auto key = [&](int32_t i) {
      return k.rows ? sorted.GetVal(k.key, i) : sorted.GetVal(i, k.key);
    };
    for (int32_t i = lo; i < hi; ++i) {
      const double a = k.asc ? key(i) : key(i + 1);
      const double b = k.asc ? key(i + 1) : key(i);
      EXPECT_TRUE(std::isnan(b) || (!std::isnan(a) && a <= b)) << i;
    }
  }
}

TEST(TMatrixSort, KeyOutsideTheMovedColumnsTravelsAlone) {
  // SortRows(2, true, 1, 0, 1, 0) on 3 columns: all rows are sorted by
  // column 2, column 1 and the key column move, column 3 stays.
  TMatrix m;
  SetRows(m, {{1, 30, 100}, {2, 10, 200}, {3, 20, 300}});
  m.SortRows(2, true, 1, 0, 1, 0);
  TMatrix want;
  SetRows(want, {{2, 10, 100}, {3, 20, 200}, {1, 30, 300}});
  EXPECT_TRUE(SameMatrix(m, want));
}

TEST(TMatrixSort, NothingToSortFiresNothing) {
  TMatrix m;
  SetRows(m, {{3, 1}, {2, 2}, {1, 3}});
  Recorder rec;
  rec.Attach(m);
  int changes = 0;
  m.OnChange = [&](TObject*) { ++changes; };
  m.SortRows(1, true, 0, 2, 0, 2);  // LowRow = HighRow
  m.SortCols(1, true, 2, 0, 2, 0);  // one column
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(rec.calls.empty());
  m.SortRows(2, true, 0, 0, 0, 0);  // already in order: no exchange, one OnChange
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(rec.calls.empty());
}

TEST(TMatrixSort, BadKeyAndExchangeIndicesRaise) {
  TMatrix m;
  m.SetName("K");
  SetRows(m, {{1, 2, 3}, {4, 5, 6}});
  TMatrix before;
  before.Assign(&m);
  using Call = std::function<void()>;
  const std::vector<std::pair<Call, std::string>> cases = {
      {[&] { m.SortRows(4, true, 0, 0, 0, 0); }, "SortRows: key column 4 outside 1..3"},
      {[&] { m.SortRows(0, true, 0, 0, 0, 0); }, "SortRows: key column 0 outside 1..3"},
      {[&] { m.SortCols(3, true, 0, 0, 0, 0); }, "SortCols: key row 3 outside 1..2"},
      {[&] { m.SortCols(-1, true, 0, 0, 0, 0); }, "SortCols: key row -1 outside 1..2"},
      {[&] { m.ExchangeColumns(1, 4); }, "ExchangeColumns: column 4 outside 1..3"},
      {[&] { m.ExchangeColumns(0, 2); }, "ExchangeColumns: column 0 outside 1..3"},
      {[&] { m.ExchangeRows(2, 3); }, "ExchangeRows: row 3 outside 1..2"},
      {[&] { m.ExchangeRows(-7, 1); }, "ExchangeRows: row -7 outside 1..2"},
  };
  for (const auto& [call, text] : cases) {
    try {
      call();
      ADD_FAILURE() << "no exception: " << text;
    } catch (const EORKMatrixError& e) {
      EXPECT_EQ(std::string(e.what()), "Component \"K\": " + text);
    }
    EXPECT_TRUE(SameMatrix(m, before));
  }
  // An empty matrix has no key to sort by.
  m.Resize(0, 0);
  EXPECT_THROW(m.SortRows(1, true, 0, 0, 0, 0), EORKMatrixError);
}

TEST(TMatrixSort, MirrorAndExchange) {
  TMatrix m;
  SetRows(m, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}});
  int changes = 0;
  m.OnChange = [&](TObject*) { ++changes; };
  m.MirrorColumns();
  TMatrix want;
  SetRows(want, {{3, 2, 1}, {6, 5, 4}, {9, 8, 7}, {12, 11, 10}});
  EXPECT_TRUE(SameMatrix(m, want));
  m.MirrorRows();
  SetRows(want, {{12, 11, 10}, {9, 8, 7}, {6, 5, 4}, {3, 2, 1}});
  EXPECT_TRUE(SameMatrix(m, want));
  m.ExchangeColumns(1, 3);
  m.ExchangeRows(4, 1);
  SetRows(want, {{1, 2, 3}, {7, 8, 9}, {4, 5, 6}, {10, 11, 12}});
  EXPECT_TRUE(SameMatrix(m, want));
  m.ExchangeRows(2, 2);
  EXPECT_TRUE(SameMatrix(m, want));
  EXPECT_EQ(changes, 5);
  TMatrix empty;
  empty.Resize(0, 0);
  empty.MirrorColumns();  // nothing to move
  empty.MirrorRows();
}
