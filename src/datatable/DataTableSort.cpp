// TDataTable sorting: by values through the matrix's sorts, whose every
// exchange is mirrored in the cell states (and the headers) by
// ExchangeDuringSort; and by names or attributes with the library's comb
// sort rule, moving values, states and headers together.
#include "ORK_datatable.h"
#include "datatable/datatable_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

namespace numbra {

namespace {

// Clears the sort settings however the sort ends.
struct SortScope {
  bool& include;
  int32_t& key;
  SortScope(bool& inc, int32_t& k, bool value, int32_t key_ix) : include(inc), key(k) {
    include = value;
    key = key_ix;
  }
  ~SortScope() {
    include = false;
    key = 0;
  }
  SortScope(const SortScope&) = delete;
  SortScope& operator=(const SortScope&) = delete;
};

// The next gap of the comb sorts: gap * 100000000 div 13000 div 10000, at
// least 1 (the rule of the matrix and vector sorts).
int64_t NextGap(int64_t gap) {
  gap = (gap * 100000000 / 13000) / 10000;
  return gap < 1 ? 1 : gap;
}

}  // namespace

// Without an OnSortExchange handler nobody needs to see the exchanges one
// by one: the matrix sorts through its permutation path, and the same comb
// sort run here on a copy of the keys (detail::CombSortRange, the matrix's
// own sort, whose comparisons depend on the keys alone) gives the
// permutation that the states and headers then follow in one pass. Same
// result as exchanging everything at each step, without touching every
// column at each exchange.
void TDataTable::SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                          int32_t HighCol, int32_t HighRow, bool IncludeHeaders) {
  if (OnSortExchange || SortColIx < 1 || SortColIx > FNrOfCols) {
    {
      SortScope scope(FSortIncludeHd, sort_key_, IncludeHeaders, SortColIx);
      NumericData->SortRows(SortColIx, Ascending, LowCol, LowRow, HighCol, HighRow);
    }
  } else {
    MakeValidColRange(LowCol, HighCol);
    MakeValidRowRange(LowRow, HighRow);
    std::vector<double> keys;
    std::vector<int32_t> perm;
    detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap, [&] {
      const std::span<const double> v = NumericData->Values();
      keys.assign(v.begin() + static_cast<std::ptrdiff_t>(SIdx(SortColIx, 1)),
                  v.begin() + static_cast<std::ptrdiff_t>(SIdx(SortColIx, 1)) + FNrOfRows);
      perm.resize(std::size_t(FNrOfRows));
    });
    std::iota(perm.begin(), perm.end(), 1);
    detail::CombSortRange(keys, LowRow, HighRow, Ascending, [&](int32_t i, int32_t j) {
      std::swap(perm[std::size_t(i - 1)], perm[std::size_t(j - 1)]);
    });
    auto on_exchange = std::move(NumericData->OnSortExchange);
    NumericData->OnSortExchange = nullptr;
    try {
      NumericData->SortRows(SortColIx, Ascending, LowCol, LowRow, HighCol, HighRow);
    } catch (...) {
      NumericData->OnSortExchange = std::move(on_exchange);
      throw;
    }
    NumericData->OnSortExchange = std::move(on_exchange);
    const auto n = static_cast<std::size_t>(HighRow - LowRow + 1);
    std::vector<uint8_t> tmp(n);
    const auto permute_states = [&](int32_t c) {
      for (std::size_t k = 0; k < n; ++k)
        tmp[k] = FCState[SIdx(c, perm[std::size_t(LowRow - 1) + k])];
      std::copy(tmp.begin(), tmp.end(),
                FCState.begin() + static_cast<std::ptrdiff_t>(SIdx(c, LowRow)));
    };
    for (int32_t c = LowCol; c <= HighCol; ++c) permute_states(c);
    if (SortColIx < LowCol || SortColIx > HighCol) permute_states(SortColIx);
    if (IncludeHeaders) {
      std::vector<TDTNameStr> names(n);
      std::vector<int32_t> att(n);
      for (std::size_t k = 0; k < n; ++k) {
        const auto from = std::size_t(perm[std::size_t(LowRow - 1) + k] - 1);
        names[k] = std::move(FRowName[from]);
        att[k] = FRowAtt[from];
      }
      std::move(names.begin(), names.end(), FRowName.begin() + (LowRow - 1));
      std::copy(att.begin(), att.end(), FRowAtt.begin() + (LowRow - 1));
    }
  }
  if (IncludeHeaders) {
    ChangedNames();
    ChangedAttrib();
  }
}

void TDataTable::SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                          int32_t HighCol, int32_t HighRow, bool IncludeHeaders) {
  {
    SortScope scope(FSortIncludeHd, sort_key_, IncludeHeaders, SortRowIx);
    NumericData->SortCols(SortRowIx, Ascending, LowCol, LowRow, HighCol, HighRow);
  }
  if (IncludeHeaders) {
    ChangedNames();
    ChangedAttrib();
  }
}

void TDataTable::SwapRowHeaders(int32_t r1, int32_t r2) {
  std::swap(FRowAtt[std::size_t(r1 - 1)], FRowAtt[std::size_t(r2 - 1)]);
  std::swap(FRowName[std::size_t(r1 - 1)], FRowName[std::size_t(r2 - 1)]);
}

void TDataTable::SwapColHeaders(int32_t c1, int32_t c2) {
  std::swap(FColAtt[std::size_t(c1 - 1)], FColAtt[std::size_t(c2 - 1)]);
  std::swap(FColName[std::size_t(c1 - 1)], FColName[std::size_t(c2 - 1)]);
  std::swap(FVType[std::size_t(c1 - 1)], FVType[std::size_t(c2 - 1)]);
}

// The matrix moves the key column (row) along with the range even when it
// lies outside; its states move with it here, so that no value is parted
// from its state.
void TDataTable::ExchangeDuringSort(TObject* /*Sender*/, uint8_t ExchgWhat, int32_t Index1,
                                    int32_t Index2, int32_t First, int32_t Last) {
  if (ExchgWhat == 1) {
    if (Index1 >= 1 && Index1 <= FNrOfCols && Index2 >= 1 && Index2 <= FNrOfCols) {
      if (FSortIncludeHd) SwapColHeaders(Index1, Index2);
      const auto swap_row = [&](int32_t r) {
        std::swap(FCState[SIdx(Index1, r)], FCState[SIdx(Index2, r)]);
      };
      for (int32_t r = std::max(First, 1); r <= std::min(Last, FNrOfRows); ++r) swap_row(r);
      if (sort_key_ >= 1 && sort_key_ <= FNrOfRows && (sort_key_ < First || sort_key_ > Last))
        swap_row(sort_key_);
    }
  } else if (Index1 >= 1 && Index1 <= FNrOfRows && Index2 >= 1 && Index2 <= FNrOfRows) {
    if (FSortIncludeHd) SwapRowHeaders(Index1, Index2);
    const auto swap_col = [&](int32_t c) {
      std::swap(FCState[SIdx(c, Index1)], FCState[SIdx(c, Index2)]);
    };
    for (int32_t c = std::max(First, 1); c <= std::min(Last, FNrOfCols); ++c) swap_col(c);
    if (sort_key_ >= 1 && sort_key_ <= FNrOfCols && (sort_key_ < First || sort_key_ > Last))
      swap_col(sort_key_);
  }
  if (OnSortExchange) OnSortExchange(this, ExchgWhat, Index1, Index2, First, Last);
}

namespace {
// Comb sort passes over the positions Low..High: Exchange(i, j) is called for
// every pair at the current gap that is out of order (Greater(i, j) when
// ascending, Greater(j, i) when descending) until a pass with gap 1 exchanges
// nothing.
template <class Greater, class Exchange>
void CombPasses(int32_t Low, int32_t High, bool Ascending, Greater&& KeyGreater, Exchange&& Exchg) {
  int64_t gap = High - Low;
  bool exchanged = true;
  while (gap > 1 || exchanged) {
    gap = NextGap(gap);
    exchanged = false;
    for (int64_t i64 = Low; i64 + gap <= High; ++i64) {
      const auto i = static_cast<int32_t>(i64);
      const auto j = static_cast<int32_t>(i64 + gap);
      if (!(Ascending ? KeyGreater(i, j) : KeyGreater(j, i))) continue;
      Exchg(i, j);
      exchanged = true;
    }
  }
}
}  // namespace

template <class Key>
void TDataTable::CombSortRows(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow, Key&& KeyGreater) {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (HighRow - LowRow < 1) return;
  auto on_change = std::move(NumericData->OnChange);
  NumericData->OnChange = nullptr;
  CombPasses(LowRow, HighRow, Ascending, KeyGreater, [&](int32_t i, int32_t j) {
    SwapRowHeaders(i, j);
    for (int32_t c = LowCol; c <= HighCol; ++c) {
      const double v = NumericData->GetVal(c, i);
      NumericData->SetVal(c, i, NumericData->GetVal(c, j));
      NumericData->SetVal(c, j, v);
      std::swap(FCState[SIdx(c, i)], FCState[SIdx(c, j)]);
    }
    if (OnSortExchange) OnSortExchange(this, 2, i, j, LowCol, HighCol);
  });
  NumericData->OnChange = std::move(on_change);
}

template <class Key>
void TDataTable::CombSortCols(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow, Key&& KeyGreater) {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (HighCol - LowCol < 1) return;
  auto on_change = std::move(NumericData->OnChange);
  NumericData->OnChange = nullptr;
  CombPasses(LowCol, HighCol, Ascending, KeyGreater, [&](int32_t i, int32_t j) {
    SwapColHeaders(i, j);
    for (int32_t r = LowRow; r <= HighRow; ++r) {
      const double v = NumericData->GetVal(i, r);
      NumericData->SetVal(i, r, NumericData->GetVal(j, r));
      NumericData->SetVal(j, r, v);
      std::swap(FCState[SIdx(i, r)], FCState[SIdx(j, r)]);
    }
    if (OnSortExchange) OnSortExchange(this, 1, i, j, LowRow, HighRow);
  });
  NumericData->OnChange = std::move(on_change);
}

namespace {
// Name order: byte-wise (a shorter prefix first), or with ASCII letters
// lower-cased.
bool NameGreater(const std::string& a, const std::string& b, bool IgnoreCase) {
  if (!IgnoreCase) return a.compare(b) > 0;
  return detail::LowerAscii(a).compare(detail::LowerAscii(b)) > 0;
}
}  // namespace

void TDataTable::SortRowNames(bool Ascending, bool IgnoreCase, int32_t LowCol, int32_t LowRow,
                              int32_t HighCol, int32_t HighRow) {
  CombSortRows(Ascending, LowCol, LowRow, HighCol, HighRow, [&](int32_t i, int32_t j) {
    return NameGreater(FRowName[std::size_t(i - 1)], FRowName[std::size_t(j - 1)], IgnoreCase);
  });
  ChangedData();
  ChangedNames();
}

void TDataTable::SortRowNames(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow) {
  SortRowNames(Ascending, false, LowCol, LowRow, HighCol, HighRow);
}

void TDataTable::SortColNames(bool Ascending, bool IgnoreCase, int32_t LowCol, int32_t LowRow,
                              int32_t HighCol, int32_t HighRow) {
  CombSortCols(Ascending, LowCol, LowRow, HighCol, HighRow, [&](int32_t i, int32_t j) {
    return NameGreater(FColName[std::size_t(i - 1)], FColName[std::size_t(j - 1)], IgnoreCase);
  });
  ChangedData();
  ChangedNames();
}

void TDataTable::SortColNames(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow) {
  SortColNames(Ascending, false, LowCol, LowRow, HighCol, HighRow);
}

void TDataTable::SortRowAttributes(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                   int32_t HighRow) {
  CombSortRows(Ascending, LowCol, LowRow, HighCol, HighRow, [&](int32_t i, int32_t j) {
    return FRowAtt[std::size_t(i - 1)] > FRowAtt[std::size_t(j - 1)];
  });
  ChangedData();
  ChangedAttrib();
}

void TDataTable::SortColAttributes(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                   int32_t HighRow) {
  CombSortCols(Ascending, LowCol, LowRow, HighCol, HighRow, [&](int32_t i, int32_t j) {
    return FColAtt[std::size_t(i - 1)] > FColAtt[std::size_t(j - 1)];
  });
  ChangedData();
  ChangedAttrib();
}

}  // namespace numbra
