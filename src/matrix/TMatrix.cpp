// TMatrix storage, element access, copying, filling and checksum.
#include "ORK_math1.h"
#include "ORK_matrix.h"
#include "foundation/crc_detail.h"
#include "foundation/frame_detail.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace numbra {

NUMBRA_DEFINE_EXCEPTION(EORKMatrixError);

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";

// Storage extent of a logical extent: the storage never shrinks below one
// element in either dimension.
std::size_t Stor(int32_t n) { return static_cast<std::size_t>(n > 0 ? n : 1); }
}  // namespace

std::string_view MatXmlTagName(TMatXmlTag Tag) noexcept {
  switch (Tag) {
    case TMatXmlTag::xmlMatNumCols:
      return "numcols";
    case TMatXmlTag::xmlMatNumRows:
      return "numrows";
    case TMatXmlTag::xmlMatNumLayers:
      return "numlayers";
    case TMatXmlTag::xmlMatNumTimeSlots:
      return "numtimeslots";
    case TMatXmlTag::xmlMatCell:
      return "cell";
    case TMatXmlTag::xmlMatBegin:
    case TMatXmlTag::xmlMatEnd:
      return "matrix";
    case TMatXmlTag::xmlInvalid:
      break;
  }
  return "";
}

TMatXmlTag MatXmlTagOf(std::string_view Name) noexcept {
  for (const TMatXmlTag t :
       {TMatXmlTag::xmlMatNumCols, TMatXmlTag::xmlMatNumRows, TMatXmlTag::xmlMatNumLayers,
        TMatXmlTag::xmlMatNumTimeSlots, TMatXmlTag::xmlMatCell, TMatXmlTag::xmlMatBegin})
    if (Name == MatXmlTagName(t)) return t;
  return TMatXmlTag::xmlInvalid;
}

TMatrix::TMatrix(TComponent* AOwner) : TComponent(AOwner) {
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [this] { Mat.assign(1, 0.0); });
}

TMatrix::~TMatrix() = default;

void TMatrix::SetNCols(int32_t n) { Resize(std::max(n, 0), FNRow); }

void TMatrix::SetNRows(int32_t n) { Resize(FNCol, std::max(n, 0)); }

void TMatrix::SetFPrecis(int32_t ix, int32_t Value) noexcept {
  FPrecis[ix > 1 ? 1 : 0] = std::clamp(Value, -1, 25);
}

std::span<const double> TMatrix::Values() const noexcept { return {Mat.data(), Count()}; }

void TMatrix::MakeValidColRange(int32_t& LowCol, int32_t& HighCol) const noexcept {
  detail::MakeValidRange(LowCol, HighCol, FNCol);
  if (FNCol == 0) {  // nothing addressable: an empty range
    LowCol = 1;
    HighCol = 0;
  }
}

void TMatrix::MakeValidRowRange(int32_t& LowRow, int32_t& HighRow) const noexcept {
  detail::MakeValidRange(LowRow, HighRow, FNRow);
  if (FNRow == 0) {
    LowRow = 1;
    HighRow = 0;
  }
}

// ---- size ------------------------------------------------------------------

bool TMatrix::Resize(int32_t Nc, int32_t Nr) {
  if (Nc == FNCol && Nr == FNRow) return true;
  Nc = std::max(Nc, 0);
  Nr = std::max(Nr, 0);
  if (Nc != FNCol || Nr != FNRow) {
    const std::size_t new_ld = Stor(Nr);
    const std::size_t keep_cols = static_cast<std::size_t>(std::min(Nc, FNCol));
    const std::size_t keep_rows = static_cast<std::size_t>(std::min(Nr, FNRow));
    if (new_ld == Stor(FNRow) && keep_rows == new_ld && Nc > FNCol) {
      // Same column length and every kept column complete: grow in place.
      detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
        Mat.resize(Stor(Nc) * new_ld, 0.0);
        std::fill(Mat.begin() + static_cast<std::ptrdiff_t>(keep_cols * new_ld), Mat.end(), 0.0);
      });
    } else {
      detail::MatrixStorage next;
      detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                        [&] { next.assign(Stor(Nc) * new_ld, 0.0); });
      const std::size_t old_ld = Stor(FNRow);
      for (std::size_t c = 0; c < keep_cols; ++c)
        std::copy_n(Mat.begin() + static_cast<std::ptrdiff_t>(c * old_ld), keep_rows,
                    next.begin() + static_cast<std::ptrdiff_t>(c * new_ld));
      Mat.swap(next);
    }
    FNCol = Nc;
    FNRow = Nr;
  }
  Changed();
  return true;
}

bool TMatrix::ResizeAndClear(int32_t Nc, int32_t Nr) {
  if (!Resize(Nc, Nr)) return false;
  Fill(0.0);
  return true;
}

void TMatrix::TakeOver(int32_t Nc, int32_t Nr, detail::MatrixStorage&& Values) {
  // Values holds Nc x Nr elements column by column (Nc, Nr >= 0); the
  // storage keeps its one-element minimum.
  if (Values.empty()) Values.assign(Stor(Nc) * Stor(Nr), 0.0);
  Mat.swap(Values);
  FNCol = Nc;
  FNRow = Nr;
}

// ---- copying -----------------------------------------------------------------

void TMatrix::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TMatrix*>(Source)) {
    if (src == this) return;
    detail::MatrixStorage copy;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { copy = src->Mat; });
    Mat.swap(copy);
    FNCol = src->FNCol;
    FNRow = src->FNRow;
    FDataID = src->FDataID;
    FPrecis = src->FPrecis;
    OnChange = src->OnChange;
    OnSortExchange = src->OnSortExchange;
    OnCalcDistance = src->OnCalcDistance;
    return;
  }
  TPersistent::Assign(Source);
}

void TMatrix::AssignTo(TPersistent* Dest) {
  if (dynamic_cast<TMatrix*>(Dest) != nullptr) {
    Dest->Assign(this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

void TMatrix::Clone(const TMatrix* MatSource) {
  if (MatSource == nullptr) return;
  if (MatSource != this) {
    Resize(MatSource->FNCol, MatSource->FNRow);
    if (OnChange) {
      for (int32_t c = 1; c <= FNCol; ++c)
        for (int32_t r = 1; r <= FNRow; ++r) SetVal(c, r, MatSource->Mat[MatSource->Idx(c, r)]);
    } else {
      // Same result as the SetVal loop, without a handler to notify.
      std::copy_n(MatSource->Mat.begin(), Count(), Mat.begin());
    }
  } else if (OnChange) {
    for (int32_t c = 1; c <= FNCol; ++c)
      for (int32_t r = 1; r <= FNRow; ++r) SetVal(c, r, Mat[Idx(c, r)]);
  }
  Changed();
}

void TMatrix::CopyFrom(const TMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                       int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol, int32_t DestRow) {
  if (MatSource == nullptr) return;
  // Clamp below to 1 first, then above to the count (an empty source thus
  // gives an empty range).
  const auto clamp = [](int32_t v, int32_t n) { return std::min(std::max(v, 1), n); };
  int32_t clo = clamp(SourceColLo, MatSource->FNCol);
  int32_t chi = clamp(SourceColHi, MatSource->FNCol);
  int32_t rlo = clamp(SourceRowLo, MatSource->FNRow);
  int32_t rhi = clamp(SourceRowHi, MatSource->FNRow);
  if (rlo > rhi) std::swap(rlo, rhi);
  if (clo > chi) std::swap(clo, chi);
  if (MatSource->FNCol > 0 && MatSource->FNRow > 0) {
    const auto nc = static_cast<std::size_t>(chi - clo + 1);
    const auto nr = static_cast<std::size_t>(rhi - rlo + 1);
    // Take the block first: copying a matrix onto itself with overlapping
    // rectangles then reads the original values, as reading a separate
    // source would.
    std::vector<double> block;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { block.resize(nc * nr); });
    for (std::size_t c = 0; c < nc; ++c)
      std::copy_n(MatSource->Mat.begin() + static_cast<std::ptrdiff_t>(
                                               MatSource->Idx(clo + static_cast<int32_t>(c), rlo)),
                  nr, block.begin() + static_cast<std::ptrdiff_t>(c * nr));
    for (std::size_t c = 0; c < nc; ++c) {
      const int64_t dc = int64_t{DestCol} + static_cast<int64_t>(c);
      if (dc < 1 || dc > FNCol) continue;
      for (std::size_t r = 0; r < nr; ++r) {
        const int64_t dr = int64_t{DestRow} + static_cast<int64_t>(r);
        if (dr >= 1 && dr <= FNRow)
          SetVal(static_cast<int32_t>(dc), static_cast<int32_t>(dr), block[c * nr + r]);
      }
    }
  }
  Changed();
}

void TMatrix::CopyFromVec(TDims Dim, const TVector* VecSource, int32_t Source1stElem,
                          int32_t SourceLastElem, int32_t DestCol, int32_t DestRow) {
  if (VecSource == nullptr) return;
  VecSource->MakeValidElemRange(Source1stElem, SourceLastElem);
  // Read the values first: the vector might be changed by an OnChange
  // handler of this matrix.
  const std::vector<double> values(VecSource->Values().begin() + (Source1stElem - 1),
                                   VecSource->Values().begin() + SourceLastElem);
  for (int32_t i = Source1stElem; i <= SourceLastElem; ++i) {
    const double v = values[static_cast<std::size_t>(i - Source1stElem)];
    const int64_t offset = int64_t{i} - Source1stElem;
    if (Dim == TDims::dimRow) {
      const int64_t c = offset + DestCol;
      if (c >= 1 && c <= FNCol) SetVal(static_cast<int32_t>(c), DestRow, v);
    } else {
      const int64_t r = offset + DestRow;
      if (r >= 1 && r <= FNRow) SetVal(DestCol, static_cast<int32_t>(r), v);
    }
  }
  Changed();
}

void TMatrix::CopyFromVec(const TVector* VecSource, int32_t Source1stElem, int32_t SourceLastElem,
                          int32_t DestCol, int32_t DestRow) {
  CopyFromVec(TDims::dimColumn, VecSource, Source1stElem, SourceLastElem, DestCol, DestRow);
}

void TMatrix::CopyRowToVec(TVector* DestVec, int32_t Row, int32_t FirstCol, int32_t LastCol) const {
  if (DestVec == nullptr) return;
  MakeValidColRange(FirstCol, LastCol);
  if (Row < 1) Row = 1;
  if (Row > FNRow) Row = FNRow;
  if (int64_t{LastCol} - FirstCol + 1 > DestVec->NrOfElem())
    LastCol = FirstCol + DestVec->NrOfElem() - 1;
  // Read before writing: a handler of the vector may read this matrix, and
  // the values must not depend on it.
  std::vector<double> values;
  for (int32_t c = FirstCol; c <= LastCol; ++c) values.push_back(GetVal(c, Row));
  DestVec->Fill(0.0);
  for (std::size_t k = 0; k < values.size(); ++k)
    DestVec->SetVal(static_cast<int32_t>(k) + 1, values[k]);
}

void TMatrix::CopyColToVec(TVector* DestVec, int32_t Col, int32_t FirstRow, int32_t LastRow) const {
  if (DestVec == nullptr) return;
  MakeValidRowRange(FirstRow, LastRow);
  if (Col < 1) Col = 1;
  if (Col > FNCol) Col = FNCol;
  if (int64_t{LastRow} - FirstRow + 1 > DestVec->NrOfElem())
    LastRow = FirstRow + DestVec->NrOfElem() - 1;
  std::vector<double> values;
  for (int32_t r = FirstRow; r <= LastRow; ++r) values.push_back(GetVal(Col, r));
  DestVec->Fill(0.0);
  for (std::size_t k = 0; k < values.size(); ++k)
    DestVec->SetVal(static_cast<int32_t>(k) + 1, values[k]);
}

// ---- filling -----------------------------------------------------------------

void TMatrix::Fill(double Value) {
  std::fill_n(Mat.begin(), Count(), Value);
  Changed();
}

void TMatrix::FillDiag(double Value) {
  for (int32_t i = 1; i <= std::min(FNCol, FNRow); ++i) Mat[Idx(i, i)] = Value;
  Changed();
}

void TMatrix::FillRandomUniform(double RangeLow, double RangeHigh) {
  const double width = RangeHigh - RangeLow;
  for (std::size_t k = 0; k < Count(); ++k) Mat[k] = RangeLow + width * Random();
  Changed();
}

void TMatrix::FillRandomGauss(double Mean, double StdDev) {
  for (std::size_t k = 0; k < Count(); ++k) Mat[k] = Mean + StdDev * GRandom();
  Changed();
}

// ---- checksum ----------------------------------------------------------------

std::string TMatrix::CRCofData() const { return detail::CrcOfElements(Values()); }

}  // namespace numbra
