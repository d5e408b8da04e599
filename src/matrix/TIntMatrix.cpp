// TIntMatrix: dense and sparse storage, element access, form conversion,
// size, filling, copying, statistics, arithmetic and reordering.
#include "ORK_matrix.h"
#include "foundation/crc_detail.h"
#include "foundation/frame_detail.h"
#include "matrix/matrix_stats_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <numeric>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";
constexpr int32_t kEmptyLow = std::numeric_limits<int32_t>::max();
// Largest dense storage a sparse matrix may be expanded into (1 GiB of
// integers): a triple at a huge index must not make SparseToArray try to
// allocate terabytes.
constexpr int64_t kMaxDenseFromSparse = int64_t{1} << 28;

std::size_t Stor(int32_t n) { return static_cast<std::size_t>(n > 0 ? n : 1); }

// Wrapping 32-bit arithmetic without signed overflow.
int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

bool Before(const TSpMatElemInt& e, int32_t c, int32_t r) {
  return e.colidx < c || (e.colidx == c && e.rowidx < r);
}
}  // namespace

TIntMatrix::TIntMatrix(TComponent* AOwner) : TComponent(AOwner) {
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [this] { Mat.assign(1, 0); });
}

TIntMatrix::~TIntMatrix() = default;

TIntMatrix* TIntMatrix::CreateSparse(TComponent* AOwner, int32_t AllocBy) {
  auto* m = new TIntMatrix(AOwner);  // owned by AOwner or handed to the caller
  try {
    m->Mat.clear();
    m->Mat.shrink_to_fit();
    m->FIsSparse = true;
    m->FAllocBy = std::max(AllocBy, 1);
    detail::Allocate<EORKMatrixError>(
        *m, kNoHeap, [m] { m->SpMat.resize(static_cast<std::size_t>(m->FAllocBy)); });
    m->FNumAllocated = m->FAllocBy;
    m->FNCol = 0;
    m->FNRow = 0;
    m->EmptyBox();
  } catch (...) {
    delete m;
    throw;
  }
  return m;
}

void TIntMatrix::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TIntMatrix*>(Source)) {
    if (src == this) return;
    // Both stores are copied before anything changes, so a failed
    // allocation leaves this matrix as it was.
    std::vector<int32_t> mat;
    std::vector<TSpMatElemInt> sp;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
      mat = src->Mat;
      sp = src->SpMat;
    });
    Mat.swap(mat);
    SpMat.swap(sp);
    FNCol = src->FNCol;
    FNRow = src->FNRow;
    FDataID = src->FDataID;
    FIsSparse = src->FIsSparse;
    FNumAllocated = src->FNumAllocated;
    FAllocBy = src->FAllocBy;
    FSparseNumElem = src->FSparseNumElem;
    FSparseLowCol = src->FSparseLowCol;
    FSparseHighCol = src->FSparseHighCol;
    FSparseLowRow = src->FSparseLowRow;
    FSparseHighRow = src->FSparseHighRow;
    OnChange = src->OnChange;
    OnSortExchange = src->OnSortExchange;
    OnPercentDone = src->OnPercentDone;
    return;
  }
  TPersistent::Assign(Source);
}

void TIntMatrix::AssignTo(TPersistent* Dest) {
  if (dynamic_cast<TIntMatrix*>(Dest) != nullptr) {
    Dest->Assign(this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

void TIntMatrix::RequireDense(std::string_view Op) const {
  if (!FIsSparse) return;
  std::string t(Op);
  t += ": not available for a sparse matrix";
  throw EORKMatrixError(detail::ComponentMsg(*this, t));
}

void TIntMatrix::EmptyBox() noexcept {
  FSparseLowCol = kEmptyLow;
  FSparseLowRow = kEmptyLow;
  FSparseHighCol = 1;
  FSparseHighRow = 1;
}

void TIntMatrix::WidenBox(int32_t c, int32_t r) noexcept {
  FSparseLowCol = std::min(FSparseLowCol, c);
  FSparseHighCol = std::max(FSparseHighCol, c);
  FSparseLowRow = std::min(FSparseLowRow, r);
  FSparseHighRow = std::max(FSparseHighRow, r);
}

void TIntMatrix::SetNCols(int32_t n) { Resize(std::max(n, 0), FNRow); }
void TIntMatrix::SetNRows(int32_t n) { Resize(FNCol, std::max(n, 0)); }

std::span<const int32_t> TIntMatrix::Values() const noexcept {
  if (FIsSparse) return {};
  return {Mat.data(), Count()};
}

void TIntMatrix::MakeValidColRange(int32_t& LowCol, int32_t& HighCol) const noexcept {
  detail::MakeValidRange(LowCol, HighCol, FNCol);
  if (FNCol == 0) {
    LowCol = 1;
    HighCol = 0;
  }
}

void TIntMatrix::MakeValidRowRange(int32_t& LowRow, int32_t& HighRow) const noexcept {
  detail::MakeValidRange(LowRow, HighRow, FNRow);
  if (FNRow == 0) {
    LowRow = 1;
    HighRow = 0;
  }
}

// Binary search over the triples: position (0-based) of the first triple
// that does not lie before (Nc, Nr), or of the last triple when all lie
// before it. Only meaningful for FSparseNumElem >= 1.
int32_t TIntMatrix::SparseSearch(int32_t Nc, int32_t Nr) const noexcept {
  int32_t lo = 0;
  int32_t hi = FSparseNumElem - 1;
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (Before(SpMat[static_cast<std::size_t>(mid)], Nc, Nr))
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

int32_t TIntMatrix::GetVal(int32_t Nc, int32_t Nr) const noexcept {
  if (!FIsSparse) return Inside(Nc, Nr) ? Mat[Idx(Nc, Nr)] : 0;
  if (FSparseNumElem == 0 || Nc < FSparseLowCol || Nc > FSparseHighCol || Nr < FSparseLowRow ||
      Nr > FSparseHighRow)
    return 0;
  const auto& e = SpMat[static_cast<std::size_t>(SparseSearch(Nc, Nr))];
  return (e.colidx == Nc && e.rowidx == Nr) ? e.value : 0;
}

void TIntMatrix::SetVal(int32_t Nc, int32_t Nr, int32_t Value) {
  if (!FIsSparse) {
    if (!Inside(Nc, Nr)) return;
    Mat[Idx(Nc, Nr)] = Value;
    Changed();
    return;
  }
  if (Nc < 1 || Nr < 1) return;
  std::size_t pos = 0;
  if (FSparseNumElem > 0) {
    pos = static_cast<std::size_t>(SparseSearch(Nc, Nr));
    auto& e = SpMat[pos];
    if (e.colidx == Nc && e.rowidx == Nr) {
      e.value = Value;
      Changed();
      return;
    }
    if (Before(e, Nc, Nr)) ++pos;
  }
  if (FSparseNumElem == std::numeric_limits<int32_t>::max())
    throw EORKMatrixError(detail::ComponentMsg(*this, kNoHeap));
  if (FSparseNumElem + 1 > FNumAllocated) {
    const int64_t grown =
        std::min<int64_t>(int64_t{FNumAllocated} + FAllocBy, std::numeric_limits<int32_t>::max());
    detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                      [&] { SpMat.resize(static_cast<std::size_t>(grown)); });
    FNumAllocated = static_cast<int32_t>(grown);
  }
  SpMat.insert(SpMat.begin() + static_cast<std::ptrdiff_t>(pos), TSpMatElemInt{Nc, Nr, Value});
  SpMat.pop_back();  // keep the allocated length; the last slot is unused
  ++FSparseNumElem;
  WidenBox(Nc, Nr);
  // The size grows to take in the new triple but never shrinks here: a
  // size set by Resize stays when a value is written inside it.
  FNCol = std::max(FNCol, FSparseHighCol);
  FNRow = std::max(FNRow, FSparseHighRow);
  Changed();
}

void TIntMatrix::ArrayToSparse(int32_t AllocBy) {
  if (FIsSparse) return;
  const int32_t step = std::max(AllocBy, 1);
  std::vector<TSpMatElemInt> trip;
  std::size_t nz = 0;
  for (std::size_t k = 0; k < Count(); ++k) nz += Mat[k] != 0 ? 1 : 0;
  const std::size_t blocks =
      (nz + static_cast<std::size_t>(step) - 1) / static_cast<std::size_t>(step);
  const std::size_t alloc = std::max<std::size_t>(1, blocks) * static_cast<std::size_t>(step);
  if (alloc > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
    throw EORKMatrixError(detail::ComponentMsg(*this, kNoHeap));
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { trip.reserve(alloc); });
  FAllocBy = step;
  EmptyBox();
  for (int32_t c = 1; c <= FNCol; ++c)
    for (int32_t r = 1; r <= FNRow; ++r) {
      const int32_t v = Mat[Idx(c, r)];
      if (v == 0) continue;
      trip.push_back({c, r, v});
      WidenBox(c, r);
    }
  FSparseNumElem = static_cast<int32_t>(trip.size());
  trip.resize(alloc);
  SpMat.swap(trip);
  FNumAllocated = static_cast<int32_t>(alloc);
  FIsSparse = true;
  std::vector<int32_t>().swap(Mat);
}

void TIntMatrix::SparseToArray() {
  if (!FIsSparse) return;
  const int32_t nc = FSparseNumElem > 0 ? FSparseHighCol : 1;
  const int32_t nr = FSparseNumElem > 0 ? FSparseHighRow : 1;
  if (int64_t{nc} * nr > kMaxDenseFromSparse)
    throw EORKMatrixError(detail::ComponentMsg(*this, kNoHeap));
  std::vector<int32_t> dense;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    dense.assign(static_cast<std::size_t>(nc) * static_cast<std::size_t>(nr), 0);
  });
  for (int32_t k = 0; k < FSparseNumElem; ++k) {
    const auto& e = SpMat[static_cast<std::size_t>(k)];
    dense[static_cast<std::size_t>(e.colidx - 1) * static_cast<std::size_t>(nr) +
          static_cast<std::size_t>(e.rowidx - 1)] = e.value;
  }
  Mat.swap(dense);
  FNCol = nc;
  FNRow = nr;
  FIsSparse = false;
  std::vector<TSpMatElemInt>().swap(SpMat);
  FNumAllocated = 0;
  FSparseNumElem = 0;
  EmptyBox();
}

bool TIntMatrix::Resize(int32_t Nc, int32_t Nr) {
  Nc = std::max(Nc, 0);
  Nr = std::max(Nr, 0);
  if (Nc == FNCol && Nr == FNRow) return false;
  if (FIsSparse) {
    int32_t kept = 0;
    EmptyBox();
    for (int32_t k = 0; k < FSparseNumElem; ++k) {
      const auto e = SpMat[static_cast<std::size_t>(k)];
      if (e.colidx > Nc || e.rowidx > Nr) continue;
      SpMat[static_cast<std::size_t>(kept++)] = e;
      WidenBox(e.colidx, e.rowidx);
    }
    FSparseNumElem = kept;
    FNCol = Nc;
    FNRow = Nr;
    return false;
  }
  std::vector<int32_t> next;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { next.assign(Stor(Nc) * Stor(Nr), 0); });
  const auto keep_cols = static_cast<std::size_t>(std::min(Nc, FNCol));
  const auto keep_rows = static_cast<std::size_t>(std::min(Nr, FNRow));
  for (std::size_t c = 0; c < keep_cols; ++c)
    std::copy_n(Mat.begin() + static_cast<std::ptrdiff_t>(c * Stor(FNRow)), keep_rows,
                next.begin() + static_cast<std::ptrdiff_t>(c * Stor(Nr)));
  Mat.swap(next);
  FNCol = Nc;
  FNRow = Nr;
  Changed();
  return true;
}

bool TIntMatrix::ResizeAndClear(int32_t Nc, int32_t Nr) {
  if (!Resize(Nc, Nr)) return false;
  Fill(0);
  return true;
}

void TIntMatrix::Fill(int32_t value) {
  if (!FIsSparse) {
    std::fill(Mat.begin(), Mat.end(), value);
  } else if (value != 0) {
    for (int32_t k = 0; k < FSparseNumElem; ++k) SpMat[static_cast<std::size_t>(k)].value = value;
  } else {
    std::vector<TSpMatElemInt> fresh(static_cast<std::size_t>(FAllocBy));
    SpMat.swap(fresh);
    FNumAllocated = FAllocBy;
    FSparseNumElem = 0;
    EmptyBox();
  }
  Changed();
}

void TIntMatrix::FillDiag(int32_t value) {
  RequireDense("FillDiag");
  for (int32_t i = 1; i <= std::min(FNCol, FNRow); ++i) Mat[Idx(i, i)] = value;
  Changed();
}

void TIntMatrix::Clone(const TIntMatrix* MatSource) {
  if (MatSource == nullptr || MatSource == this || MatSource->FIsSparse != FIsSparse) return;
  if (FIsSparse) {
    std::vector<TSpMatElemInt> copy;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { copy = MatSource->SpMat; });
    SpMat.swap(copy);
    FNumAllocated = MatSource->FNumAllocated;
    FAllocBy = MatSource->FAllocBy;
    FSparseNumElem = MatSource->FSparseNumElem;
    FSparseLowCol = MatSource->FSparseLowCol;
    FSparseHighCol = MatSource->FSparseHighCol;
    FSparseLowRow = MatSource->FSparseLowRow;
    FSparseHighRow = MatSource->FSparseHighRow;
    FNCol = MatSource->FNCol;
    FNRow = MatSource->FNRow;
  } else {
    std::vector<int32_t> copy;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { copy = MatSource->Mat; });
    Mat.swap(copy);
    FNCol = MatSource->FNCol;
    FNRow = MatSource->FNRow;
  }
  Changed();
}

namespace {
// The clamped, ordered source rectangle of the CopyFrom operations: an
// empty source gives an empty rectangle.
struct Rect {
  int32_t clo, chi, rlo, rhi;
};
Rect SourceRect(int32_t ncol, int32_t nrow, int32_t cl, int32_t rl, int32_t ch, int32_t rh) {
  const auto clamp = [](int32_t v, int32_t n) { return std::min(std::max(v, 1), n); };
  Rect g{clamp(cl, ncol), clamp(ch, ncol), clamp(rl, nrow), clamp(rh, nrow)};
  if (g.clo > g.chi) std::swap(g.clo, g.chi);
  if (g.rlo > g.rhi) std::swap(g.rlo, g.rhi);
  return g;
}

// Block of the source read before anything is written, then handed to Put
// at destination positions inside 1..dc x 1..dr.
template <class Get, class Put>
void CopyRect(const Rect& g, int32_t DestCol, int32_t DestRow, int32_t dnc, int32_t dnr, Get get,
              Put put) {
  using V = decltype(get(1, 1));
  std::vector<V> block;
  for (int32_t c = g.clo; c <= g.chi; ++c)
    for (int32_t r = g.rlo; r <= g.rhi; ++r) block.push_back(get(c, r));
  std::size_t k = 0;
  for (int32_t c = g.clo; c <= g.chi; ++c)
    for (int32_t r = g.rlo; r <= g.rhi; ++r, ++k) {
      const int64_t dc = int64_t{DestCol} + (c - g.clo);
      const int64_t dr = int64_t{DestRow} + (r - g.rlo);
      if (dc >= 1 && dc <= dnc && dr >= 1 && dr <= dnr)
        put(static_cast<int32_t>(dc), static_cast<int32_t>(dr), block[k]);
    }
}
}  // namespace

void TIntMatrix::CopyFrom(const TIntMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                          int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol,
                          int32_t DestRow) {
  RequireDense("CopyFrom");
  if (MatSource == nullptr) return;
  MatSource->RequireDense("CopyFrom");
  if (MatSource->FNCol > 0 && MatSource->FNRow > 0) {
    const Rect g = SourceRect(MatSource->FNCol, MatSource->FNRow, SourceColLo, SourceRowLo,
                              SourceColHi, SourceRowHi);
    CopyRect(
        g, DestCol, DestRow, FNCol, FNRow,
        [&](int32_t c, int32_t r) { return MatSource->GetVal(c, r); },
        [&](int32_t c, int32_t r, int32_t v) { SetVal(c, r, v); });
  }
  Changed();
}

void TMatrix::CopyFrom(const TIntMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                       int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol, int32_t DestRow) {
  if (MatSource == nullptr || MatSource->IsSparse()) return;
  if (MatSource->NrOfColumns() > 0 && MatSource->NrOfRows() > 0) {
    const Rect g = SourceRect(MatSource->NrOfColumns(), MatSource->NrOfRows(), SourceColLo,
                              SourceRowLo, SourceColHi, SourceRowHi);
    CopyRect(
        g, DestCol, DestRow, FNCol, FNRow,
        [&](int32_t c, int32_t r) { return static_cast<double>(MatSource->GetVal(c, r)); },
        [&](int32_t c, int32_t r, double v) { SetVal(c, r, v); });
  }
  Changed();
}

void TIntMatrix::CopyRowToVec(TIntVector* DestVec, int32_t Row, int32_t FirstCol,
                              int32_t LastCol) const {
  if (DestVec == nullptr) return;
  MakeValidColRange(FirstCol, LastCol);
  Row = std::min(std::max(Row, 1), FNRow);
  if (int64_t{LastCol} - FirstCol + 1 > DestVec->NrOfElem())
    LastCol = FirstCol + DestVec->NrOfElem() - 1;
  std::vector<int32_t> values;
  for (int32_t c = FirstCol; c <= LastCol; ++c) values.push_back(GetVal(c, Row));
  DestVec->Fill(0);
  for (std::size_t k = 0; k < values.size(); ++k)
    DestVec->SetVal(static_cast<int32_t>(k) + 1, values[k]);
}

void TIntMatrix::CopyColToVec(TIntVector* DestVec, int32_t Col, int32_t FirstRow,
                              int32_t LastRow) const {
  if (DestVec == nullptr) return;
  MakeValidRowRange(FirstRow, LastRow);
  Col = std::min(std::max(Col, 1), FNCol);
  if (int64_t{LastRow} - FirstRow + 1 > DestVec->NrOfElem())
    LastRow = FirstRow + DestVec->NrOfElem() - 1;
  std::vector<int32_t> values;
  for (int32_t r = FirstRow; r <= LastRow; ++r) values.push_back(GetVal(Col, r));
  DestVec->Fill(0);
  for (std::size_t k = 0; k < values.size(); ++k)
    DestVec->SetVal(static_cast<int32_t>(k) + 1, values[k]);
}

// ---- statistics -------------------------------------------------------------

int32_t TIntMatrix::Sum(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const noexcept {
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  int32_t s = 0;
  if (FIsSparse) {
    for (const auto& e : Triples())
      if (e.colidx >= LoC && e.colidx <= HiC && e.rowidx >= LoR && e.rowidx <= HiR)
        s = WrapAdd(s, e.value);
    return s;
  }
  for (int32_t c = LoC; c <= HiC; ++c)
    for (int32_t r = LoR; r <= HiR; ++r) s = WrapAdd(s, Mat[Idx(c, r)]);
  return s;
}

void TIntMatrix::MinMax(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                        int32_t& Minimum, int32_t& Maximum) const noexcept {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  Minimum = 2147483647;
  Maximum = -2147483647;
  const auto take = [&](int32_t v) {
    Minimum = std::min(Minimum, v);
    Maximum = std::max(Maximum, v);
  };
  if (FIsSparse) {
    for (const auto& e : Triples())
      if (e.colidx >= LowCol && e.colidx <= HighCol && e.rowidx >= LowRow && e.rowidx <= HighRow)
        take(e.value);
    return;
  }
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r) take(Mat[Idx(c, r)]);
}

void TIntMatrix::MeanVar(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                         double& Mean, double& Variance) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  std::vector<double> v;
  if (HighCol >= LowCol && HighRow >= LowRow)
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
      v.reserve(static_cast<std::size_t>(HighCol - LowCol + 1) *
                static_cast<std::size_t>(HighRow - LowRow + 1));
    });
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r) v.push_back(GetVal(c, r));
  if (v.empty()) {
    Mean = 0.0;
    Variance = 0.0;
    return;
  }
  detail::MeanVarOf(std::span<const double>(v), Mean, Variance);
}

int32_t TIntMatrix::Trace() const noexcept {
  int32_t s = 0;
  if (FIsSparse) {
    if (FSparseNumElem == 0 || FSparseHighCol != FSparseHighRow) return 0;
    for (const auto& e : Triples())
      if (e.colidx == e.rowidx) s = WrapAdd(s, e.value);
    return s;
  }
  for (int32_t i = 1; i <= std::min(FNCol, FNRow); ++i) s = WrapAdd(s, Mat[Idx(i, i)]);
  return s;
}

int32_t TIntMatrix::CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                                int32_t RangeLow, int32_t RangeHigh) const {
  RequireDense("CountValues");
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  int32_t n = 0;
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r) {
      const int32_t v = Mat[Idx(c, r)];
      if (v >= RangeLow && v <= RangeHigh && n < std::numeric_limits<int32_t>::max()) ++n;
    }
  return n;
}

int32_t TIntMatrix::CountMaskedZeros(int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                     int32_t HighRow, uint32_t Bitmask) const {
  RequireDense("CountMaskedZeros");
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  int32_t n = 0;
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r)
      if ((static_cast<uint32_t>(Mat[Idx(c, r)]) & Bitmask) == 0 &&
          n < std::numeric_limits<int32_t>::max())
        ++n;
  return n;
}

std::string TIntMatrix::CRCofData() const {
  RequireDense("CRCofData");
  return detail::CrcOfElements(Values());
}

// ---- arithmetic -------------------------------------------------------------

bool TIntMatrix::Transpose() {
  if (FIsSparse) {
    for (int32_t k = 0; k < FSparseNumElem; ++k) {
      auto& e = SpMat[static_cast<std::size_t>(k)];
      std::swap(e.colidx, e.rowidx);
    }
    std::sort(SpMat.begin(), SpMat.begin() + FSparseNumElem,
              [](const TSpMatElemInt& a, const TSpMatElemInt& b) {
                return Before(a, b.colidx, b.rowidx);
              });
    std::swap(FSparseLowCol, FSparseLowRow);
    std::swap(FSparseHighCol, FSparseHighRow);
  } else {
    std::vector<int32_t> t;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { t.assign(Mat.size(), 0); });
    const std::size_t nr = Stor(FNCol);  // rows of the transpose
    for (int32_t c = 1; c <= FNCol; ++c)
      for (int32_t r = 1; r <= FNRow; ++r)
        t[static_cast<std::size_t>(r - 1) * nr + static_cast<std::size_t>(c - 1)] = Mat[Idx(c, r)];
    Mat.swap(t);
  }
  std::swap(FNCol, FNRow);
  Changed();
  return true;
}

bool TIntMatrix::Add(const TIntMatrix* MatB) {
  if (MatB == nullptr || FIsSparse) return false;
  if (MatB->FIsSparse) {
    if (MatB->FSparseNumElem > 0 && (FNCol < MatB->FSparseHighCol || FNRow < MatB->FSparseHighRow))
      return false;
    for (const auto& e : MatB->Triples()) {
      auto& x = Mat[Idx(e.colidx, e.rowidx)];
      x = WrapAdd(x, e.value);
    }
  } else {
    if (MatB->FNCol != FNCol || MatB->FNRow != FNRow) return false;
    for (std::size_t k = 0; k < Count(); ++k) Mat[k] = WrapAdd(Mat[k], MatB->Mat[k]);
  }
  Changed();
  return true;
}

bool TIntMatrix::Subtract(const TIntMatrix* MatB) {
  RequireDense("Subtract");
  if (MatB == nullptr) return false;
  MatB->RequireDense("Subtract");
  if (MatB->FNCol != FNCol || MatB->FNRow != FNRow) return false;
  for (std::size_t k = 0; k < Count(); ++k)
    Mat[k] =
        static_cast<int32_t>(static_cast<uint32_t>(Mat[k]) - static_cast<uint32_t>(MatB->Mat[k]));
  Changed();
  return true;
}

bool TIntMatrix::EMult(const TIntMatrix* MatB) {
  RequireDense("EMult");
  if (MatB == nullptr) return false;
  MatB->RequireDense("EMult");
  if (MatB->FNCol != FNCol || MatB->FNRow != FNRow) return false;
  for (std::size_t k = 0; k < Count(); ++k) Mat[k] = WrapMul(Mat[k], MatB->Mat[k]);
  Changed();
  return true;
}

void TIntMatrix::SMult(int32_t Scalar) {
  RequireDense("SMult");
  for (std::size_t k = 0; k < Count(); ++k) Mat[k] = WrapMul(Mat[k], Scalar);
  Changed();
}

void TIntMatrix::SAdd(int32_t Scalar) {
  RequireDense("SAdd");
  for (std::size_t k = 0; k < Count(); ++k) Mat[k] = WrapAdd(Mat[k], Scalar);
  Changed();
}

// ---- reordering -------------------------------------------------------------

void TIntMatrix::SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                          int32_t HighCol, int32_t HighRow) {
  RequireDense("SortRows");
  detail::CheckIndex(*this, "SortRows", "key column", SortColIx, FNCol);
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (HighRow - LowRow < 1) return;
  const bool key_outside = SortColIx < LowCol || SortColIx > HighCol;
  std::vector<int32_t> keys(Mat.begin() + static_cast<std::ptrdiff_t>(Idx(SortColIx, 1)),
                            Mat.begin() + static_cast<std::ptrdiff_t>(Idx(SortColIx, 1)) + FNRow);
  detail::CombSortRange(keys, LowRow, HighRow, Ascending, [&](int32_t i, int32_t j) {
    for (int32_t c = LowCol; c <= HighCol; ++c) std::swap(Mat[Idx(c, i)], Mat[Idx(c, j)]);
    if (key_outside) std::swap(Mat[Idx(SortColIx, i)], Mat[Idx(SortColIx, j)]);
    if (OnSortExchange) OnSortExchange(this, 2, i, j, LowCol, HighCol);
  });
  Changed();
}

void TIntMatrix::SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow,
                          int32_t HighCol, int32_t HighRow) {
  RequireDense("SortCols");
  detail::CheckIndex(*this, "SortCols", "key row", SortRowIx, FNRow);
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (HighCol - LowCol < 1) return;
  const bool key_outside = SortRowIx < LowRow || SortRowIx > HighRow;
  std::vector<int32_t> keys;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { keys.resize(static_cast<std::size_t>(FNCol)); });
  for (int32_t c = 1; c <= FNCol; ++c)
    keys[static_cast<std::size_t>(c) - 1] = Mat[Idx(c, SortRowIx)];
  detail::CombSortRange(keys, LowCol, HighCol, Ascending, [&](int32_t i, int32_t j) {
    for (int32_t r = LowRow; r <= HighRow; ++r) std::swap(Mat[Idx(i, r)], Mat[Idx(j, r)]);
    if (key_outside) std::swap(Mat[Idx(i, SortRowIx)], Mat[Idx(j, SortRowIx)]);
    if (OnSortExchange) OnSortExchange(this, 1, i, j, LowRow, HighRow);
  });
  Changed();
}

void TIntMatrix::MirrorColumns() {
  RequireDense("MirrorColumns");
  for (int32_t c = 1; c <= FNCol / 2; ++c)
    for (int32_t r = 1; r <= FNRow; ++r) std::swap(Mat[Idx(c, r)], Mat[Idx(FNCol + 1 - c, r)]);
  Changed();
}

void TIntMatrix::MirrorRows() {
  RequireDense("MirrorRows");
  for (int32_t c = 1; c <= FNCol; ++c)
    for (int32_t r = 1; r <= FNRow / 2; ++r) std::swap(Mat[Idx(c, r)], Mat[Idx(c, FNRow + 1 - r)]);
  Changed();
}

void TIntMatrix::Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                      int32_t Value, int32_t& ColIx, int32_t& RowIx) const {
  RequireDense("Find");
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  ColIx = 0;
  RowIx = 0;
  int64_t best = std::numeric_limits<int64_t>::max();
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r) {
      const int64_t d = std::abs(int64_t{Mat[Idx(c, r)]} - Value);
      if (d < best) {
        best = d;
        ColIx = c;
        RowIx = r;
      }
    }
}

void TIntMatrix::ExchangeRows(int32_t r1, int32_t r2) {
  RequireDense("ExchangeRows");
  detail::CheckIndex(*this, "ExchangeRows", "row", r1, FNRow);
  detail::CheckIndex(*this, "ExchangeRows", "row", r2, FNRow);
  for (int32_t c = 1; c <= FNCol; ++c) std::swap(Mat[Idx(c, r1)], Mat[Idx(c, r2)]);
  Changed();
}

void TIntMatrix::ExchangeColumns(int32_t c1, int32_t c2) {
  RequireDense("ExchangeColumns");
  detail::CheckIndex(*this, "ExchangeColumns", "column", c1, FNCol);
  detail::CheckIndex(*this, "ExchangeColumns", "column", c2, FNCol);
  for (int32_t r = 1; r <= FNRow; ++r) std::swap(Mat[Idx(c1, r)], Mat[Idx(c2, r)]);
  Changed();
}

}  // namespace numbra
