// TMatrix sorting of rows and columns, mirroring and exchange.
//
// The sorts are the library's comb sort (vector/vector_detail.h,
// CombSortRange) run on a copy of the key column or row; every exchange of
// two keys is mirrored in the matrix. With an OnSortExchange handler the
// rows (columns) are exchanged at once, so that the handler sees the matrix
// in the state after the exchange it is told about. Without a handler only
// a permutation is recorded and applied at the end, column by column:
// exchanging rows of a column-major matrix touches one cache line per
// column, while applying a permutation streams through each column once.
// Both give the same matrix, since the comb sort's comparisons depend on
// the keys alone.
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"
#include "matrix/matrix_stats_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";

// tmp[p] := x[perm[p] - 1] for p in First..Last (1-based positions), then
// back into x: the elements in the order the permutation gives.
void Permute(double* x, const std::vector<int32_t>& perm, int32_t First, int32_t Last,
             std::vector<double>& tmp) {
  for (int32_t p = First; p <= Last; ++p)
    tmp[static_cast<std::size_t>(p - First)] = x[perm[static_cast<std::size_t>(p) - 1] - 1];
  std::copy_n(tmp.begin(), Last - First + 1, x + (First - 1));
}
}  // namespace

void TMatrix::SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                       int32_t HighCol, int32_t HighRow) {
  detail::CheckIndex(*this, "SortRows", "key column", SortColIx, FNCol);
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (HighRow - LowRow < 1) return;
  const bool key_outside = SortColIx < LowCol || SortColIx > HighCol;
  std::vector<double> keys;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    const double* key = &Mat[Idx(SortColIx, 1)];
    keys.assign(key, key + FNRow);
  });
  if (OnSortExchange) {
    detail::CombSortRange(keys, LowRow, HighRow, Ascending, [&](int32_t i, int32_t j) {
      for (int32_t c = LowCol; c <= HighCol; ++c) std::swap(Mat[Idx(c, i)], Mat[Idx(c, j)]);
      if (key_outside) std::swap(Mat[Idx(SortColIx, i)], Mat[Idx(SortColIx, j)]);
      SortExchange(2, i, j, LowCol, HighCol);
    });
  } else {
    std::vector<int32_t> perm;
    std::vector<double> tmp;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
      perm.resize(static_cast<std::size_t>(FNRow));
      tmp.resize(static_cast<std::size_t>(HighRow - LowRow) + 1);
    });
    std::iota(perm.begin(), perm.end(), 1);
    detail::CombSortRange(keys, LowRow, HighRow, Ascending, [&](int32_t i, int32_t j) {
      std::swap(perm[static_cast<std::size_t>(i) - 1], perm[static_cast<std::size_t>(j) - 1]);
    });
    for (int32_t c = LowCol; c <= HighCol; ++c)
      Permute(&Mat[Idx(c, 1)], perm, LowRow, HighRow, tmp);
    if (key_outside) Permute(&Mat[Idx(SortColIx, 1)], perm, LowRow, HighRow, tmp);
  }
  Changed();
}

void TMatrix::SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                       int32_t HighCol, int32_t HighRow) {
  detail::CheckIndex(*this, "SortCols", "key row", SortRowIx, FNRow);
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (HighCol - LowCol < 1) return;
  const bool key_outside = SortRowIx < LowRow || SortRowIx > HighRow;
  const auto seg = static_cast<std::size_t>(HighRow - LowRow) + 1;  // moved part of a column
  std::vector<double> keys;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { keys.resize(static_cast<std::size_t>(FNCol)); });
  for (int32_t c = 1; c <= FNCol; ++c)
    keys[static_cast<std::size_t>(c) - 1] = Mat[Idx(c, SortRowIx)];
  if (OnSortExchange) {
    detail::CombSortRange(keys, LowCol, HighCol, Ascending, [&](int32_t i, int32_t j) {
      std::swap_ranges(&Mat[Idx(i, LowRow)], &Mat[Idx(i, LowRow)] + seg, &Mat[Idx(j, LowRow)]);
      if (key_outside) std::swap(Mat[Idx(i, SortRowIx)], Mat[Idx(j, SortRowIx)]);
      SortExchange(1, i, j, LowRow, HighRow);
    });
  } else {
    std::vector<int32_t> perm;
    std::vector<double> tmp;
    const auto ncols = static_cast<std::size_t>(HighCol - LowCol) + 1;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
      perm.resize(static_cast<std::size_t>(FNCol));
      tmp.resize(ncols * seg);
    });
    std::iota(perm.begin(), perm.end(), 1);
    detail::CombSortRange(keys, LowCol, HighCol, Ascending, [&](int32_t i, int32_t j) {
      std::swap(perm[static_cast<std::size_t>(i) - 1], perm[static_cast<std::size_t>(j) - 1]);
    });
    // Gather the moved segments in their new order, then write them back.
    for (int32_t c = LowCol; c <= HighCol; ++c) {
      const double* from = &Mat[Idx(perm[static_cast<std::size_t>(c) - 1], LowRow)];
      std::copy_n(from, seg, tmp.begin() + static_cast<std::ptrdiff_t>((c - LowCol) * seg));
    }
    for (int32_t c = LowCol; c <= HighCol; ++c)
      std::copy_n(tmp.begin() + static_cast<std::ptrdiff_t>((c - LowCol) * seg), seg,
                  &Mat[Idx(c, LowRow)]);
    if (key_outside) {
      for (int32_t c = LowCol; c <= HighCol; ++c)
        tmp[static_cast<std::size_t>(c - LowCol)] =
            Mat[Idx(perm[static_cast<std::size_t>(c) - 1], SortRowIx)];
      for (int32_t c = LowCol; c <= HighCol; ++c)
        Mat[Idx(c, SortRowIx)] = tmp[static_cast<std::size_t>(c - LowCol)];
    }
  }
  Changed();
}

void TMatrix::MirrorColumns() {
  const auto rows = static_cast<std::size_t>(FNRow);
  for (int32_t c = 1; c <= FNCol / 2; ++c)
    std::swap_ranges(&Mat[Idx(c, 1)], &Mat[Idx(c, 1)] + rows, &Mat[Idx(FNCol + 1 - c, 1)]);
  Changed();
}

void TMatrix::MirrorRows() {
  const auto rows = static_cast<std::ptrdiff_t>(FNRow);
  for (int32_t c = 1; c <= FNCol; ++c) std::reverse(&Mat[Idx(c, 1)], &Mat[Idx(c, 1)] + rows);
  Changed();
}

void TMatrix::ExchangeColumns(int32_t c1, int32_t c2) {
  detail::CheckIndex(*this, "ExchangeColumns", "column", c1, FNCol);
  detail::CheckIndex(*this, "ExchangeColumns", "column", c2, FNCol);
  if (c1 != c2) std::swap_ranges(&Mat[Idx(c1, 1)], &Mat[Idx(c1, 1)] + FNRow, &Mat[Idx(c2, 1)]);
  Changed();
}

void TMatrix::ExchangeRows(int32_t r1, int32_t r2) {
  detail::CheckIndex(*this, "ExchangeRows", "row", r1, FNRow);
  detail::CheckIndex(*this, "ExchangeRows", "row", r2, FNRow);
  if (r1 != r2)
    for (int32_t c = 1; c <= FNCol; ++c) std::swap(Mat[Idx(c, r1)], Mat[Idx(c, r2)]);
  Changed();
}

}  // namespace numbra
