// TIntMatrix text forms: the dense region form of the matrix classes with
// integer values, and the sparse triple form.
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"
#include "matrix/matrix_io_detail.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";
constexpr std::string_view kSparseSig = "NUMBRA-SPARSE-INT 1";
}  // namespace

bool TIntMatrix::StoreOnFile(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR,
                             const std::string& FileName) const {
  RequireDense("StoreOnFile");
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  TTextWriter out;
  if (!out.Open(FileName)) return false;
  out.WriteLine(std::to_string(LoC) + " " + std::to_string(LoR) + " " + std::to_string(HiC) + " " +
                std::to_string(HiR));
  std::string line;
  for (int32_t r = LoR; r <= HiR; ++r) {
    line.clear();
    for (int32_t c = LoC; c <= HiC; ++c) {
      if (c > LoC) line += ' ';
      line += std::to_string(Mat[Idx(c, r)]);
    }
    out.WriteLine(line);
  }
  return out.Close();
}

bool TIntMatrix::LoadFromFile(const std::string& FileName, bool AdjustMatrixSize) {
  RequireDense("LoadFromFile");
  TTextReader in(FileName);
  if (!in.IsOpen()) return false;
  int32_t h[4] = {};
  for (int32_t& v : h)
    if (!in.ReadInteger(v)) return false;
  const int64_t loc = h[0], lor = h[1], hic = h[2], hir = h[3];
  if (loc < 1 || lor < 1 || hic < loc - 1 || hir < lor - 1) return false;
  const int64_t cols = hic - loc + 1;
  const int64_t rows = hir - lor + 1;
  const int64_t cells = cols * rows;
  if (cells > detail::kMaxCellsFromFile || cells > (in.Remaining() + 1) / 2) return false;
  if (AdjustMatrixSize) {
    if (!detail::PlausibleSize(hic, hir, cells)) return false;
  } else if ((cells > 0) && (hic > FNCol || hir > FNRow)) {
    return false;
  }
  std::vector<int32_t> values;  // column by column
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { values.resize(static_cast<std::size_t>(cells)); });
  for (int64_t r = 0; r < rows; ++r)
    for (int64_t c = 0; c < cols; ++c)
      if (!in.ReadInteger(values[static_cast<std::size_t>(c * rows + r)])) return false;
  if (AdjustMatrixSize) {
    // Resize keeps what fits; the region is then overwritten below.
    const auto saved = OnChange;
    OnChange = nullptr;
    try {
      Resize(static_cast<int32_t>(hic), static_cast<int32_t>(hir));
    } catch (...) {
      OnChange = saved;
      throw;
    }
    OnChange = saved;
  }
  for (int64_t c = 0; c < cols; ++c)
    for (int64_t r = 0; r < rows; ++r)
      Mat[Idx(static_cast<int32_t>(loc + c), static_cast<int32_t>(lor + r))] =
          values[static_cast<std::size_t>(c * rows + r)];
  Changed();
  return true;
}

bool TIntMatrix::StoreSparseMat(const std::string& FileName) const {
  if (!FIsSparse) return false;
  TTextWriter out;
  if (!out.Open(FileName)) return false;
  out.WriteLine(kSparseSig);
  out.WriteLine(std::to_string(FNCol) + " " + std::to_string(FNRow) + " " +
                std::to_string(FSparseNumElem));
  for (const auto& e : Triples())
    out.WriteLine(std::to_string(e.colidx) + " " + std::to_string(e.rowidx) + " " +
                  std::to_string(e.value));
  if (out.Close()) return true;
  std::remove(FileName.c_str());
  return false;
}

bool TIntMatrix::LoadSparseMat(const std::string& FileName) {
  if (!FIsSparse) return false;
  TTextReader in(FileName);
  if (!in.IsOpen()) return false;
  std::string line;
  if (!in.ReadLine(line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line != kSparseSig) return false;
  int32_t nc = 0, nr = 0, n = 0;
  if (!in.ReadInteger(nc) || !in.ReadInteger(nr) || !in.ReadInteger(n)) return false;
  if (nc < 0 || nr < 0 || n < 0) return false;
  // Every triple takes at least six characters ("1 1 0" and a line end):
  // the count may not demand more memory than the file justifies.
  if (n > in.Remaining() / 6 + 1) return false;
  const int32_t step = FAllocBy;
  const int64_t alloc = std::max<int64_t>(1, (int64_t{n} + step - 1) / step) * step;
  if (alloc > std::numeric_limits<int32_t>::max()) return false;
  std::vector<TSpMatElemInt> trip;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { trip.reserve(static_cast<std::size_t>(alloc)); });
  int32_t lc = std::numeric_limits<int32_t>::max(), hc = 1,
          lr = std::numeric_limits<int32_t>::max(), hr = 1;
  for (int32_t k = 0; k < n; ++k) {
    TSpMatElemInt e{};
    if (!in.ReadInteger(e.colidx) || !in.ReadInteger(e.rowidx) || !in.ReadInteger(e.value))
      return false;
    if (e.colidx < 1 || e.rowidx < 1) return false;
    if (!trip.empty()) {
      const auto& p = trip.back();
      if (!(p.colidx < e.colidx || (p.colidx == e.colidx && p.rowidx < e.rowidx))) return false;
    }
    trip.push_back(e);
    lc = std::min(lc, e.colidx);
    hc = std::max(hc, e.colidx);
    lr = std::min(lr, e.rowidx);
    hr = std::max(hr, e.rowidx);
  }
  if (!in.SeekEof()) return false;  // more triples than announced, or junk
  if (n > 0 && (nc < hc || nr < hr)) return false;
  trip.resize(static_cast<std::size_t>(alloc));
  SpMat.swap(trip);
  FNumAllocated = static_cast<int32_t>(alloc);
  FSparseNumElem = n;
  FSparseLowCol = lc;
  FSparseHighCol = hc;
  FSparseLowRow = lr;
  FSparseHighRow = hr;
  FNCol = nc;
  FNRow = nr;
  Changed();
  return true;
}

}  // namespace numbra
