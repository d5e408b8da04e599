// TMat3D: storage, element access, layer exchange with TMatrix, filling,
// search, extremes, percentiles and checksum; and the TMatrix copy from one
// layer of a 3-D array.
#include "ORK_math1.h"
#include "ORK_matrix.h"
#include "foundation/crc_detail.h"
#include "foundation/frame_detail.h"
#include "matrix/matrix_stats_detail.h"

#include <algorithm>
#include <cmath>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";
constexpr std::string_view kLayerRange = "specified layer beyond data range";

std::size_t Count3(int32_t x, int32_t y, int32_t z) {
  return static_cast<std::size_t>(x) * static_cast<std::size_t>(y) * static_cast<std::size_t>(z);
}

// Calls f(x, y, z_first, span of the layers LowLayer..HighLayer) for every
// (x, y) of the column and row ranges, x outermost: the region in the order
// x, then y, then z, each (x, y) a contiguous run of the storage.
template <class F>
void ForEachRun(const std::vector<double>& Mat, int32_t NumY, int32_t NumZ, int32_t LowCol,
                int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                int32_t HighLayer, F&& f) {
  const auto nz = static_cast<std::size_t>(HighLayer - LowLayer + 1);
  for (int32_t x = LowCol; x <= HighCol; ++x)
    for (int32_t y = LowRow; y <= HighRow; ++y) {
      const std::size_t at = (static_cast<std::size_t>(x - 1) * static_cast<std::size_t>(NumY) +
                              static_cast<std::size_t>(y - 1)) *
                                 static_cast<std::size_t>(NumZ) +
                             static_cast<std::size_t>(LowLayer - 1);
      f(x, y, std::span<const double>(Mat.data() + at, nz));
    }
}
}  // namespace

TMat3D::TMat3D(TComponent* AOwner) : TComponent(AOwner) {
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [this] { Mat.assign(1, 0.0); });
}

TMat3D::~TMat3D() = default;

void TMat3D::SetNCols(int32_t n) { Resize(std::max(n, 1), FNumY, FNumZ); }
void TMat3D::SetNRows(int32_t n) { Resize(FNumX, std::max(n, 1), FNumZ); }
void TMat3D::SetNLayers(int32_t n) { Resize(FNumX, FNumY, std::max(n, 1)); }

bool TMat3D::Resize(int32_t Nc, int32_t Nr, int32_t Nl) {
  if (Nc == FNumX && Nr == FNumY && Nl == FNumZ) return true;
  if (Nc < 1 || Nr < 1 || Nl < 1) return true;
  std::vector<double> next;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { next.assign(Count3(Nc, Nr, Nl), 0.0); });
  const int32_t kx = std::min(Nc, FNumX);
  const int32_t ky = std::min(Nr, FNumY);
  const auto kz = static_cast<std::size_t>(std::min(Nl, FNumZ));
  for (int32_t x = 0; x < kx; ++x)
    for (int32_t y = 0; y < ky; ++y)
      std::copy_n(Mat.begin() + static_cast<std::ptrdiff_t>(Idx(x + 1, y + 1, 1)), kz,
                  next.begin() + static_cast<std::ptrdiff_t>(
                                     (static_cast<std::size_t>(x) * static_cast<std::size_t>(Nr) +
                                      static_cast<std::size_t>(y)) *
                                     static_cast<std::size_t>(Nl)));
  Mat.swap(next);
  FNumX = Nc;
  FNumY = Nr;
  FNumZ = Nl;
  Changed();
  return true;
}

bool TMat3D::ResizeAndClear(int32_t Nc, int32_t Nr, int32_t Nl) {
  if (!Resize(Nc, Nr, Nl)) return false;
  Fill(0.0);
  return true;
}

void TMat3D::MakeValidColRange(int32_t& LowCol, int32_t& HighCol) const noexcept {
  detail::MakeValidRange(LowCol, HighCol, FNumX);
}
void TMat3D::MakeValidRowRange(int32_t& LowRow, int32_t& HighRow) const noexcept {
  detail::MakeValidRange(LowRow, HighRow, FNumY);
}
void TMat3D::MakeValidLayerRange(int32_t& LowLayer, int32_t& HighLayer) const noexcept {
  detail::MakeValidRange(LowLayer, HighLayer, FNumZ);
}

// ---- filling and copying -------------------------------------------------------

void TMat3D::Fill(double value) noexcept { std::fill(Mat.begin(), Mat.end(), value); }

void TMat3D::FillDiag(double value) {
  for (int32_t i = 1; i <= std::min({FNumX, FNumY, FNumZ}); ++i) Mat[Idx(i, i, i)] = value;
  Changed();
}

void TMat3D::FillRandomUniform(double RangeLow, double RangeHigh) {
  // Storage order is x, then y, then z: the order of the draws.
  const double width = RangeHigh - RangeLow;
  for (double& v : Mat) v = RangeLow + width * Random();
  Changed();
}

void TMat3D::FillRandomGauss(double Mean, double StdDev) {
  for (double& v : Mat) v = Mean + StdDev * GRandom();
  Changed();
}

void TMat3D::Clone(const TMat3D* MatSource) {
  if (MatSource == nullptr) return;
  if (MatSource != this) {
    Resize(MatSource->FNumX, MatSource->FNumY, MatSource->FNumZ);
    std::copy(MatSource->Mat.begin(), MatSource->Mat.end(), Mat.begin());
  }
  Changed();
}

void TMat3D::CopyLayerToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                               int32_t HighRow, int32_t Layer) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (Layer < 1 || Layer > FNumZ) throw EORKMatrixError(detail::ComponentMsg(*this, kLayerRange));
  if (DestMat == nullptr) return;
  // Build the block first and hand it over with one Clone: the destination
  // fires its OnChange for the resize and the copy, not per element.
  TMatrix block;
  block.Resize(HighCol - LowCol + 1, HighRow - LowRow + 1);
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r)
      block.SetVal(c - LowCol + 1, r - LowRow + 1, Mat[Idx(c, r, Layer)]);
  DestMat->Clone(&block);
}

void TMat3D::CopyMatrixToLayer(const TMatrix* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol,
                               int32_t SrcLowRow, int32_t SrcHighRow, int32_t Layer,
                               int32_t LayLowCol, int32_t LayLowRow) {
  if (Layer < 1 || Layer > FNumZ) throw EORKMatrixError(detail::ComponentMsg(*this, kLayerRange));
  if (SrcMat == nullptr) return;
  for (int64_t c = SrcLowCol; c <= SrcHighCol; ++c) {
    const int64_t x = c - SrcLowCol + LayLowCol;
    if (x < 1 || x > FNumX) continue;
    for (int64_t r = SrcLowRow; r <= SrcHighRow; ++r) {
      const int64_t y = r - SrcLowRow + LayLowRow;
      if (y < 1 || y > FNumY) continue;
      Mat[Idx(static_cast<int32_t>(x), static_cast<int32_t>(y), Layer)] =
          SrcMat->GetVal(static_cast<int32_t>(c), static_cast<int32_t>(r));
    }
  }
}

void TMatrix::CopyFrom(const TMat3D* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                       int32_t SourceColHi, int32_t SourceRowHi, int32_t SourceLayer,
                       int32_t DestCol, int32_t DestRow) {
  if (MatSource == nullptr) return;
  // The layer as a matrix, then the rule of the matrix-to-matrix copy.
  TMatrix layer;
  const int32_t z = std::clamp(SourceLayer, 1, MatSource->NrOfLayers());
  MatSource->CopyLayerToMatrix(&layer, 0, 0, 0, 0, z);
  CopyFrom(&layer, SourceColLo, SourceRowLo, SourceColHi, SourceRowHi, DestCol, DestRow);
}

// ---- statistics ------------------------------------------------------------------

void TMat3D::Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                  int32_t LowLayer, int32_t HighLayer, double Value, int32_t& ColIx, int32_t& RowIx,
                  int32_t& LayerIx) const noexcept {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLayer, HighLayer);
  ColIx = RowIx = LayerIx = 0;
  double best = uc_MaxDouble;
  ForEachRun(Mat, FNumY, FNumZ, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer,
             [&](int32_t x, int32_t y, std::span<const double> run) {
               for (std::size_t k = 0; k < run.size(); ++k) {
                 const double d = std::fabs(run[k] - Value);
                 if (d < best) {  // strict: the first of equal distances stays
                   best = d;
                   ColIx = x;
                   RowIx = y;
                   LayerIx = LowLayer + static_cast<int32_t>(k);
                 }
               }
             });
}

void TMat3D::MinMax(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                    int32_t LowLayer, int32_t HighLayer, double& Minimum,
                    double& Maximum) const noexcept {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLayer, HighLayer);
  // As TMatrix::MinMax: the true extremes, the start values only when the
  // region holds no number.
  detail::Extremes e;
  ForEachRun(Mat, FNumY, FNumZ, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer,
             [&](int32_t, int32_t, std::span<const double> run) {
               for (const double v : run) e.Add(v);
             });
  Minimum = e.found ? e.lo : uc_MaxReal;
  Maximum = e.found ? e.hi : -uc_MaxReal;
}

double TMat3D::Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                          int32_t HighRow, int32_t LowLayer, int32_t HighLayer) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLayer, HighLayer);
  std::vector<double> work;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    work.reserve(Count3(HighCol - LowCol + 1, HighRow - LowRow + 1, HighLayer - LowLayer + 1));
  });
  ForEachRun(Mat, FNumY, FNumZ, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer,
             [&](int32_t, int32_t, std::span<const double> run) {
               work.insert(work.end(), run.begin(), run.end());
             });
  return detail::SelectPercentile(work, prob);
}

double TMat3D::Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                          int32_t HighRow, int32_t LowLayer, int32_t HighLayer,
                          int32_t SampleSize) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLayer, HighLayer);
  const std::size_t n =
      Count3(HighCol - LowCol + 1, HighRow - LowRow + 1, HighLayer - LowLayer + 1);
  if (SampleSize <= 0 || static_cast<std::size_t>(SampleSize) >= n)
    return Percentile(prob, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer);
  std::vector<double> sample;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { sample.resize(static_cast<std::size_t>(SampleSize)); });
  Randomize();
  for (double& v : sample) {
    // Column, row, layer: the order in which the numbers are drawn.
    const int32_t x = LowCol + Random(HighCol - LowCol + 1);
    const int32_t y = LowRow + Random(HighRow - LowRow + 1);
    const int32_t z = LowLayer + Random(HighLayer - LowLayer + 1);
    v = Mat[Idx(x, y, z)];
  }
  return detail::SelectPercentile(sample, prob);
}

std::string TMat3D::CRCofData() const { return detail::CrcOfElements(Values()); }

}  // namespace numbra
