// TMat4D: storage, element access, linear addresses, copying, the structure
// operations (cut, resample, transpose, mirror, block copy), filling and the
// exchange with TMatrix and TMat3D.
#include "ORK_math1.h"
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"
#include "matrix/mat4d_detail.h"

#include <algorithm>
#include <cmath>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";
}  // namespace

TMat4D::TMat4D(TComponent* AOwner) : TComponent(AOwner) {
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [this] { Mat.assign(1, 0.0); });
}

TMat4D::~TMat4D() = default;

void TMat4D::SetNrOfColumns(int32_t n) { Resize(std::max(n, 1), FNumY, FNumZ, FNumT); }
void TMat4D::SetNrOfRows(int32_t n) { Resize(FNumX, std::max(n, 1), FNumZ, FNumT); }
void TMat4D::SetNrOfLayers(int32_t n) { Resize(FNumX, FNumY, std::max(n, 1), FNumT); }
void TMat4D::SetNrOfTimeSlots(int32_t n) { Resize(FNumX, FNumY, FNumZ, std::max(n, 1)); }

bool TMat4D::Resize(int32_t Nc, int32_t Nr, int32_t Nl, int32_t Nt) {
  if (Nc == FNumX && Nr == FNumY && Nl == FNumZ && Nt == FNumT) return true;
  if (Nc < 1 || Nr < 1 || Nl < 1 || Nt < 1) return true;
  std::vector<double> next;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { next.assign(detail::Count4(Nc, Nr, Nl, Nt), 0.0); });
  // Only the time slots change: the kept ones are one run at the front.
  if (Nc == FNumX && Nr == FNumY && Nl == FNumZ) {
    std::copy_n(Mat.begin(), std::min(Mat.size(), next.size()), next.begin());
  } else {
    const auto kx = static_cast<std::size_t>(std::min(Nc, FNumX));
    for (int32_t t = 1; t <= std::min(Nt, FNumT); ++t)
      for (int32_t z = 1; z <= std::min(Nl, FNumZ); ++z)
        for (int32_t y = 1; y <= std::min(Nr, FNumY); ++y)
          std::copy_n(
              Mat.begin() + static_cast<std::ptrdiff_t>(Idx(1, y, z, t)), kx,
              next.begin() + static_cast<std::ptrdiff_t>(detail::Index4(Nc, Nr, Nl, 1, y, z, t)));
  }
  Mat.swap(next);
  FNumX = Nc;
  FNumY = Nr;
  FNumZ = Nl;
  FNumT = Nt;
  Changed();
  return true;
}

bool TMat4D::ResizeAndClear(int32_t Nc, int32_t Nr, int32_t Nl, int32_t Nt) {
  if (!Resize(Nc, Nr, Nl, Nt)) return false;
  Fill(0.0);
  return true;
}

void TMat4D::TakeOver(int32_t Nx, int32_t Ny, int32_t Nz, int32_t Nt,
                      std::vector<double>&& Values) {
  Mat.swap(Values);
  FNumX = Nx;
  FNumY = Ny;
  FNumZ = Nz;
  FNumT = Nt;
}

void TMat4D::MakeValidColRange(int32_t& Low, int32_t& High) const noexcept {
  detail::MakeValidRange(Low, High, FNumX);
}
void TMat4D::MakeValidRowRange(int32_t& Low, int32_t& High) const noexcept {
  detail::MakeValidRange(Low, High, FNumY);
}
void TMat4D::MakeValidLayerRange(int32_t& Low, int32_t& High) const noexcept {
  detail::MakeValidRange(Low, High, FNumZ);
}
void TMat4D::MakeValidTSlotRange(int32_t& Low, int32_t& High) const noexcept {
  detail::MakeValidRange(Low, High, FNumT);
}

double TMat4D::MemoryConsumed() const noexcept {
  return static_cast<double>(FNumX) / 1048576.0 * FNumY * FNumZ * FNumT * 8.0;
}

int32_t TMat4D::Lin3DAddr(int32_t ix, int32_t iy, int32_t il) const noexcept {
  if (static_cast<double>(FNumX) * FNumY * FNumZ > 2147483647.0) return -2;
  if (ix < 1 || ix > FNumX || iy < 1 || iy > FNumY || il < 1 || il > FNumZ) return -1;
  return ((iy - 1) * FNumX + (ix - 1)) * FNumZ + (il - 1);
}

bool TMat4D::ConvertLinTo3DAddr(int32_t LinAddr, int32_t& ix, int32_t& iy,
                                int32_t& il) const noexcept {
  const int64_t n = int64_t{FNumX} * FNumY * FNumZ;
  if (LinAddr < 0 || LinAddr >= n) return false;
  il = LinAddr % FNumZ + 1;
  const int32_t q = LinAddr / FNumZ;
  ix = q % FNumX + 1;
  iy = q / FNumX + 1;
  return true;
}

// ---- copying -------------------------------------------------------------------

void TMat4D::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TMat4D*>(Source)) {
    if (src == this) return;
    std::vector<double> copy;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { copy = src->Mat; });
    TakeOver(src->FNumX, src->FNumY, src->FNumZ, src->FNumT, std::move(copy));
    FDataID = src->FDataID;
    OnChange = src->OnChange;
    OnPercentDone = src->OnPercentDone;
    OnReadElement = src->OnReadElement;
    return;
  }
  TPersistent::Assign(Source);
}

void TMat4D::AssignTo(TPersistent* Dest) {
  if (dynamic_cast<TMat4D*>(Dest) != nullptr) {
    Dest->Assign(this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

void TMat4D::Clone(const TMat4D* MatSource) {
  if (MatSource == nullptr) return;
  if (MatSource != this) {
    Resize(MatSource->FNumX, MatSource->FNumY, MatSource->FNumZ, MatSource->FNumT);
    const std::size_t slot = detail::Count4(FNumX, FNumY, FNumZ, 1);
    for (int32_t t = 0; t < FNumT; ++t) {
      const auto at = static_cast<std::ptrdiff_t>(slot * static_cast<std::size_t>(t));
      std::copy_n(MatSource->Mat.begin() + at, slot, Mat.begin() + at);
      StepProcStat();
    }
  }
  Changed();
}

// ---- structure operations ------------------------------------------------------

void TMat4D::Cut(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                 int32_t HighLayer, int32_t LowTimeslot, int32_t HighTimeslot) {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLayer, HighLayer);
  MakeValidTSlotRange(LowTimeslot, HighTimeslot);
  const int32_t nx = HighCol - LowCol + 1;
  const int32_t ny = HighRow - LowRow + 1;
  const int32_t nz = HighLayer - LowLayer + 1;
  const int32_t nt = HighTimeslot - LowTimeslot + 1;
  std::vector<double> next;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { next.resize(detail::Count4(nx, ny, nz, nt)); });
  // Copy out layer by layer (half of the progress), then the block takes
  // the place of the array (the second pass is a swap of storage).
  const int64_t layers = int64_t{nz} * nt;
  int64_t done = 0;
  auto out = next.begin();
  for (int32_t t = LowTimeslot; t <= HighTimeslot; ++t)
    for (int32_t z = LowLayer; z <= HighLayer; ++z) {
      for (int32_t y = LowRow; y <= HighRow; ++y) {
        const auto from = Mat.begin() + static_cast<std::ptrdiff_t>(Idx(LowCol, y, z, t));
        out = std::copy_n(from, nx, out);
      }
      PercDone(this, static_cast<int32_t>(std::nearbyint(50.0 * static_cast<double>(++done) /
                                                         static_cast<double>(layers))));
    }
  TakeOver(nx, ny, nz, nt, std::move(next));
  PercDone(this, 100);
  Changed();
}

void TMat4D::Resample(int32_t XDiv, int32_t XOffset, int32_t YDiv, int32_t YOffset, int32_t ZDiv,
                      int32_t ZOffset, int32_t TDiv, int32_t TOffset, bool Average) {
  for (const int32_t d : {XDiv, YDiv, ZDiv, TDiv})
    if (d < 1)
      throw EORKMatrixError(
          detail::ComponentMsg(*this, "Resample: divisor " + std::to_string(d) + " below 1"));
  // The source position of block element i (1-based) of new index j is
  // (j - 1) Div + Offset + i: per dimension, a map from each source index to
  // its new index (0 when it belongs to no block).
  struct Axis {
    int32_t div, off, n, nn;
    std::vector<int32_t> to;
  };
  const auto make_axis = [](int32_t n, int32_t div, int32_t off) {
    Axis a{div, ((off % div) + div) % div, n, 0, {}};
    a.nn = (n - a.off - 1) / div + 1;  // truncating division, as the rule says
    a.to.assign(static_cast<std::size_t>(n) + 1, 0);
    for (int32_t s = a.off + 1; s <= n; ++s) {
      const int32_t j = (s - a.off - 1) / div + 1;
      if (j <= a.nn) a.to[static_cast<std::size_t>(s)] = j;
    }
    return a;
  };
  const Axis ax = make_axis(FNumX, XDiv, XOffset);
  const Axis ay = make_axis(FNumY, YDiv, YOffset);
  const Axis az = make_axis(FNumZ, ZDiv, ZOffset);
  const Axis at = make_axis(FNumT, TDiv, TOffset);
  std::vector<double> next;
  detail::Allocate<EORKMatrixError>(
      *this, kNoHeap, [&] { next.assign(detail::Count4(ax.nn, ay.nn, az.nn, at.nn), 0.0); });
  const int64_t steps = int64_t{az.nn} * at.nn;
  int64_t done = 0;
  const double block = static_cast<double>(XDiv) * YDiv * ZDiv * TDiv;
  for (int32_t t = 1; t <= at.nn; ++t)
    for (int32_t z = 1; z <= az.nn; ++z) {
      double* dest = next.data() + detail::Index4(ax.nn, ay.nn, az.nn, 1, 1, z, t);
      if (Average) {
        // Each source value belongs to at most one block: sum by scattering
        // the rows of the block's layers and time slots into the new layer.
        for (int32_t l = 1; l <= TDiv; ++l) {
          const int64_t st = int64_t{t - 1} * TDiv + at.off + l;
          if (st > FNumT) break;
          for (int32_t k = 1; k <= ZDiv; ++k) {
            const int64_t sz = int64_t{z - 1} * ZDiv + az.off + k;
            if (sz > FNumZ) break;
            for (int32_t sy = ay.off + 1; sy <= FNumY; ++sy) {
              const int32_t y = ay.to[static_cast<std::size_t>(sy)];
              if (y == 0) break;
              const double* src =
                  Mat.data() + Idx(1, sy, static_cast<int32_t>(sz), static_cast<int32_t>(st));
              double* row =
                  dest + static_cast<std::size_t>(y - 1) * static_cast<std::size_t>(ax.nn);
              for (int32_t sx = ax.off + 1; sx <= FNumX; ++sx) {
                const int32_t x = ax.to[static_cast<std::size_t>(sx)];
                if (x == 0) break;
                row[x - 1] += src[sx - 1];
              }
            }
          }
        }
        for (std::size_t i = 0;
             i < static_cast<std::size_t>(ax.nn) * static_cast<std::size_t>(ay.nn); ++i)
          dest[i] /= block;
      } else {
        const int64_t st = int64_t{t - 1} * TDiv + at.off + 1;
        const int64_t sz = int64_t{z - 1} * ZDiv + az.off + 1;
        if (st <= FNumT && sz <= FNumZ)
          for (int32_t y = 1; y <= ay.nn; ++y) {
            const int64_t sy = int64_t{y - 1} * YDiv + ay.off + 1;
            if (sy > FNumY) break;
            for (int32_t x = 1; x <= ax.nn; ++x) {
              const int64_t sx = int64_t{x - 1} * XDiv + ax.off + 1;
              if (sx > FNumX) break;
              dest[static_cast<std::size_t>(y - 1) * static_cast<std::size_t>(ax.nn) +
                   static_cast<std::size_t>(x - 1)] =
                  Mat[Idx(static_cast<int32_t>(sx), static_cast<int32_t>(sy),
                          static_cast<int32_t>(sz), static_cast<int32_t>(st))];
            }
          }
      }
      PercDone(this, static_cast<int32_t>(std::nearbyint(100.0 * static_cast<double>(++done) /
                                                         static_cast<double>(steps))));
    }
  TakeOver(ax.nn, ay.nn, az.nn, at.nn, std::move(next));
  Changed();
}

bool TMat4D::Transpose() {
  std::vector<double> next;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { next.resize(Mat.size()); });
  const auto nx = static_cast<std::size_t>(FNumX);
  const auto ny = static_cast<std::size_t>(FNumY);
  const std::size_t plane = nx * ny;
  const std::size_t planes = Mat.size() / plane;
  // Each layer of each time slot is an X x Y plane stored row by row;
  // transposed in tiles of 32 x 32 so both sides stay in the cache.
  constexpr std::size_t kTile = 32;
  for (std::size_t p = 0; p < planes; ++p) {
    const double* src = Mat.data() + p * plane;
    double* dst = next.data() + p * plane;
    for (std::size_t y0 = 0; y0 < ny; y0 += kTile)
      for (std::size_t x0 = 0; x0 < nx; x0 += kTile)
        for (std::size_t y = y0; y < std::min(ny, y0 + kTile); ++y)
          for (std::size_t x = x0; x < std::min(nx, x0 + kTile); ++x)
            dst[x * ny + y] = src[y * nx + x];
  }
  TakeOver(FNumY, FNumX, FNumZ, FNumT, std::move(next));
  Changed();
  return true;
}

void TMat4D::MirrorColumns() {
  for (std::size_t k = 0; k < Mat.size(); k += static_cast<std::size_t>(FNumX))
    std::reverse(Mat.begin() + static_cast<std::ptrdiff_t>(k),
                 Mat.begin() + static_cast<std::ptrdiff_t>(k + static_cast<std::size_t>(FNumX)));
  Changed();
}

namespace {
// Reverses the order of the blocks of Len elements within each group of
// Count blocks.
void ReverseBlocks(std::vector<double>& Mat, std::size_t Len, std::size_t Count) {
  const std::size_t group = Len * Count;
  for (std::size_t g = 0; g < Mat.size(); g += group)
    for (std::size_t i = 0, j = Count - 1; i < j; ++i, --j)
      std::swap_ranges(Mat.begin() + static_cast<std::ptrdiff_t>(g + i * Len),
                       Mat.begin() + static_cast<std::ptrdiff_t>(g + (i + 1) * Len),
                       Mat.begin() + static_cast<std::ptrdiff_t>(g + j * Len));
}
}  // namespace

void TMat4D::MirrorRows() {
  ReverseBlocks(Mat, static_cast<std::size_t>(FNumX), static_cast<std::size_t>(FNumY));
  Changed();
}

void TMat4D::MirrorLayers() {
  ReverseBlocks(Mat, detail::Count4(FNumX, FNumY, 1, 1), static_cast<std::size_t>(FNumZ));
  Changed();
}

void TMat4D::MirrorTimeSlots() {
  ReverseBlocks(Mat, detail::Count4(FNumX, FNumY, FNumZ, 1), static_cast<std::size_t>(FNumT));
  Changed();
}

void TMat4D::CopyFrom(const TMat4D* MatSource, int32_t SrcLowCol, int32_t SrcHighCol,
                      int32_t SrcLowRow, int32_t SrcHighRow, int32_t SrcLowLayer,
                      int32_t SrcHighLayer, int32_t SrcLowTSlot, int32_t SrcHighTSlot,
                      int32_t DestCol, int32_t DestRow, int32_t DestLayer, int32_t DestTSlot) {
  if (MatSource == nullptr) return;
  MatSource->MakeValidColRange(SrcLowCol, SrcHighCol);
  MatSource->MakeValidRowRange(SrcLowRow, SrcHighRow);
  MatSource->MakeValidLayerRange(SrcLowLayer, SrcHighLayer);
  MatSource->MakeValidTSlotRange(SrcLowTSlot, SrcHighTSlot);
  // The target columns that exist: source columns c0..c1.
  const int64_t c0 = std::max<int64_t>(SrcLowCol, int64_t{SrcLowCol} - DestCol + 1);
  const int64_t c1 = std::min<int64_t>(SrcHighCol, int64_t{FNumX} - DestCol + SrcLowCol);
  // Copying an array onto itself reads the original values, as reading a
  // separate source would: the source is then a snapshot.
  const double* base = MatSource->Mat.data();
  std::vector<double> snapshot;
  if (MatSource == this) {
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { snapshot = Mat; });
    base = snapshot.data();
  }
  for (int32_t t = SrcLowTSlot; t <= SrcHighTSlot; ++t) {
    const int64_t dt = int64_t{t} - SrcLowTSlot + DestTSlot;
    for (int32_t l = SrcLowLayer; l <= SrcHighLayer; ++l) {
      const int64_t dl = int64_t{l} - SrcLowLayer + DestLayer;
      if (dt >= 1 && dt <= FNumT && dl >= 1 && dl <= FNumZ && c0 <= c1) {
        for (int32_t r = SrcLowRow; r <= SrcHighRow; ++r) {
          const int64_t dr = int64_t{r} - SrcLowRow + DestRow;
          if (dr < 1 || dr > FNumY) continue;
          const double* src = base + MatSource->Idx(static_cast<int32_t>(c0), r, l, t);
          double* dst = Mat.data() + Idx(static_cast<int32_t>(c0 - SrcLowCol + DestCol),
                                         static_cast<int32_t>(dr), static_cast<int32_t>(dl),
                                         static_cast<int32_t>(dt));
          std::copy_n(src, c1 - c0 + 1, dst);
        }
      }
      StepProcStat();
    }
  }
  Changed();
}

// ---- filling -------------------------------------------------------------------

void TMat4D::Fill(double value) {
  std::fill(Mat.begin(), Mat.end(), value);
  Changed();
}

void TMat4D::FillDiag(double value) {
  for (int32_t i = 1; i <= std::min({FNumX, FNumY, FNumZ, FNumT}); ++i)
    Mat[Idx(i, i, i, i)] = value;
  Changed();
}

void TMat4D::FillRandomUniform(double RangeLow, double RangeHigh) {
  const double width = RangeHigh - RangeLow;
  for (double& v : Mat) v = RangeLow + width * Random();
  Changed();
}

void TMat4D::FillRandomGauss(double Mean, double StdDev) {
  for (double& v : Mat) v = Mean + StdDev * GRandom();
  Changed();
}

void TMat4D::FillLayer(int32_t Layer, double value) noexcept {
  if (Layer < 1 || Layer > FNumZ) return;
  const std::size_t plane = detail::Count4(FNumX, FNumY, 1, 1);
  for (int32_t t = 1; t <= FNumT; ++t)
    std::fill_n(Mat.begin() + static_cast<std::ptrdiff_t>(Idx(1, 1, Layer, t)), plane, value);
}

// ---- exchange with the other arrays --------------------------------------------

void TMat4D::CopyTimeSlotToMat3D(TMat3D* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                 int32_t HighRow, int32_t LowLay, int32_t HighLay,
                                 int32_t TimeSlot) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  MakeValidLayerRange(LowLay, HighLay);
  detail::CheckTimeSlot(*this, TimeSlot, FNumT);
  if (DestMat == nullptr) return;
  DestMat->Resize(HighCol - LowCol + 1, HighRow - LowRow + 1, HighLay - LowLay + 1);
  for (int32_t x = LowCol; x <= HighCol; ++x)
    for (int32_t y = LowRow; y <= HighRow; ++y)
      for (int32_t z = LowLay; z <= HighLay; ++z)
        DestMat->SetVal(x - LowCol + 1, y - LowRow + 1, z - LowLay + 1,
                        Mat[Idx(x, y, z, TimeSlot)]);
}

void TMat4D::CopyLayerToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                               int32_t HighRow, int32_t Layer, int32_t TimeSlot) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  detail::CheckLayer(*this, Layer, FNumZ);
  detail::CheckTimeSlot(*this, TimeSlot, FNumT);
  if (DestMat == nullptr) return;
  TMatrix block;
  block.Resize(HighCol - LowCol + 1, HighRow - LowRow + 1);
  for (int32_t c = LowCol; c <= HighCol; ++c)
    for (int32_t r = LowRow; r <= HighRow; ++r)
      block.SetVal(c - LowCol + 1, r - LowRow + 1, Mat[Idx(c, r, Layer, TimeSlot)]);
  DestMat->Clone(&block);
}

void TMat4D::CopyMatrixToLayer(const TMatrix* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol,
                               int32_t SrcLowRow, int32_t SrcHighRow, int32_t Layer,
                               int32_t TimeSlot, int32_t LayLowCol, int32_t LayLowRow) {
  detail::CheckLayer(*this, Layer, FNumZ);
  detail::CheckTimeSlot(*this, TimeSlot, FNumT);
  if (SrcMat == nullptr) return;
  for (int64_t c = SrcLowCol; c <= SrcHighCol; ++c) {
    const int64_t x = c - SrcLowCol + LayLowCol;
    if (x < 1 || x > FNumX) continue;
    for (int64_t r = SrcLowRow; r <= SrcHighRow; ++r) {
      const int64_t y = r - SrcLowRow + LayLowRow;
      if (y < 1 || y > FNumY) continue;
      Mat[Idx(static_cast<int32_t>(x), static_cast<int32_t>(y), Layer, TimeSlot)] =
          SrcMat->GetVal(static_cast<int32_t>(c), static_cast<int32_t>(r));
    }
  }
  Changed();
}

void TMat4D::CopyMat3DToTimeSlot(const TMat3D* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol,
                                 int32_t SrcLowRow, int32_t SrcHighRow, int32_t SrcLowLay,
                                 int32_t SrcHighLay, int32_t TimeSlot, int32_t DestCol,
                                 int32_t DestRow, int32_t DestLayer) {
  detail::CheckTimeSlot(*this, TimeSlot, FNumT);
  if (SrcMat == nullptr) return;
  SrcMat->MakeValidColRange(SrcLowCol, SrcHighCol);
  SrcMat->MakeValidRowRange(SrcLowRow, SrcHighRow);
  SrcMat->MakeValidLayerRange(SrcLowLay, SrcHighLay);
  for (int32_t c = SrcLowCol; c <= SrcHighCol; ++c) {
    const int64_t x = int64_t{c} - SrcLowCol + DestCol;
    if (x < 1 || x > FNumX) continue;
    for (int32_t r = SrcLowRow; r <= SrcHighRow; ++r) {
      const int64_t y = int64_t{r} - SrcLowRow + DestRow;
      if (y < 1 || y > FNumY) continue;
      for (int32_t l = SrcLowLay; l <= SrcHighLay; ++l) {
        const int64_t z = int64_t{l} - SrcLowLay + DestLayer;
        if (z < 1 || z > FNumZ) continue;
        Mat[Idx(static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(z),
                TimeSlot)] = SrcMat->GetVal(c, r, l);
      }
    }
  }
  Changed();
}

void TMat4D::Copy1DArrayToPixel(std::span<const double> Src, int32_t Col, int32_t Row,
                                int32_t FirstLayer, int32_t TimeSlot) {
  if (Col < 1 || Col > FNumX)
    throw EORKMatrixError(detail::ComponentMsg(*this, "specified column beyond data range"));
  if (Row < 1 || Row > FNumY)
    throw EORKMatrixError(detail::ComponentMsg(*this, "specified row beyond data range"));
  detail::CheckLayer(*this, FirstLayer, FNumZ);
  detail::CheckTimeSlot(*this, TimeSlot, FNumT);
  const int64_t last =
      std::min<int64_t>(FNumZ, int64_t{FirstLayer} + static_cast<int64_t>(Src.size()) - 1);
  for (int64_t z = FirstLayer; z <= last; ++z)
    Mat[Idx(Col, Row, static_cast<int32_t>(z), TimeSlot)] =
        Src[static_cast<std::size_t>(z - FirstLayer)];
}

}  // namespace numbra
