// TMat4D statistics over four-dimensional regions and the per-pixel
// reductions over layers and time slots.
//
// The kernels are those of the vectors and matrices (vector/vector_detail.h,
// matrix/matrix_stats_detail.h): a region is one more way to enumerate the
// values, handed to them as a visitor. A region is walked in storage order,
// so every row of it is a contiguous run of doubles; where an operation
// depends on a visiting order (the first of equal distances in Find) that
// order is restored by comparing positions, not by walking the array in a
// cache-hostile order.
#include "ORK_math1.h"
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"
#include "matrix/mat4d_detail.h"
#include "matrix/matrix_stats_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";

// A valid region of a TMat4D: calls f(x0, y, z, t, run) for every row of it
// (time slot outermost, then layer, then row), run being the contiguous
// values of columns x0..x1.
struct Region4 {
  const double* data;
  int32_t nx, ny, nz;
  int32_t x0, x1, y0, y1, z0, z1, t0, t1;

  [[nodiscard]] std::size_t Size() const noexcept {
    return detail::Count4(x1 - x0 + 1, y1 - y0 + 1, z1 - z0 + 1, t1 - t0 + 1);
  }
  template <class F>
  void Rows(F&& f) const {
    const auto len = static_cast<std::size_t>(x1 - x0 + 1);
    for (int32_t t = t0; t <= t1; ++t)
      for (int32_t z = z0; z <= z1; ++z)
        for (int32_t y = y0; y <= y1; ++y)
          f(y, z, t, std::span<const double>(data + detail::Index4(nx, ny, nz, x0, y, z, t), len));
  }
  // The value visitor of the statistics kernels.
  template <class F>
  void operator()(F&& f) const {
    Rows([&](int32_t, int32_t, int32_t, std::span<const double> run) {
      for (const double v : run) f(v);
    });
  }
};
}  // namespace

#define NUMBRA_MAT4D_REGION                                                     \
  MakeValidColRange(LowCol, HighCol);                                           \
  MakeValidRowRange(LowRow, HighRow);                                           \
  MakeValidLayerRange(LowLayer, HighLayer);                                     \
  MakeValidTSlotRange(LowTimeSlot, HighTimeSlot);                               \
  [[maybe_unused]] const Region4 g{Mat.data(), FNumX,     FNumY,       FNumZ,   \
                                   LowCol,     HighCol,   LowRow,      HighRow, \
                                   LowLayer,   HighLayer, LowTimeSlot, HighTimeSlot};

void TMat4D::MinMax(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                    int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot,
                    double& Minimum, double& Maximum) const noexcept {
  NUMBRA_MAT4D_REGION
  detail::Extremes e;
  g([&](double v) { e.Add(v); });
  Minimum = e.found ? e.lo : uc_MaxReal;
  Maximum = e.found ? e.hi : -uc_MaxReal;
}

void TMat4D::MeanVar(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                     int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot,
                     double& Mean, double& Variance) const {
  NUMBRA_MAT4D_REGION
  // The kernel's passes over the region, each counting one progress step
  // per time slot.
  const auto visit = [&g](auto&& f) {
    for (int32_t t = g.t0; t <= g.t1; ++t) {
      Region4 slot = g;
      slot.t0 = slot.t1 = t;
      slot(f);
      StepProcStat();
    }
  };
  detail::MeanVarVisit(visit, Mean, Variance);
}

double TMat4D::Sum(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                   int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                   int32_t HighTimeSlot) const noexcept {
  NUMBRA_MAT4D_REGION
  detail::CompensatedSum acc;
  g([&](double v) { acc.Add(v); });
  return acc.Total();
}

double TMat4D::SquaredSum(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                          int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                          int32_t HighTimeSlot) const noexcept {
  NUMBRA_MAT4D_REGION
  detail::CompensatedSum acc;
  g([&](double v) { acc.Add(v * v); });
  return acc.Total();
}

int32_t TMat4D::CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                            int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                            int32_t HighTimeSlot, double RangeLow,
                            double RangeHigh) const noexcept {
  NUMBRA_MAT4D_REGION
  int64_t n = 0;
  g([&](double v) { n += (v >= RangeLow && v <= RangeHigh) ? 1 : 0; });
  return static_cast<int32_t>(std::min<int64_t>(n, std::numeric_limits<int32_t>::max()));
}

void TMat4D::Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                  int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot,
                  double Value, int32_t& ColIx, int32_t& RowIx, int32_t& LayerIx,
                  int32_t& TimeSlotIx) const noexcept {
  NUMBRA_MAT4D_REGION
  // The answer of a walk with columns outermost, then rows, layers and time
  // slots and a strict comparison: the smallest distance, and among equal
  // ones the position first in that order.
  std::array<int32_t, 4> best_at{0, 0, 0, 0};
  double best = uc_MaxDouble;
  bool found = false;
  g.Rows([&](int32_t y, int32_t z, int32_t t, std::span<const double> run) {
    for (std::size_t k = 0; k < run.size(); ++k) {
      const double d = std::fabs(run[k] - Value);
      if (!(d <= best)) continue;
      const std::array<int32_t, 4> at{g.x0 + static_cast<int32_t>(k), y, z, t};
      if (d < best || (found && at < best_at)) {
        best = d;
        best_at = at;
        found = true;
      }
    }
  });
  ColIx = best_at[0];
  RowIx = best_at[1];
  LayerIx = best_at[2];
  TimeSlotIx = best_at[3];
}

double TMat4D::Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                          int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                          int32_t HighTimeSlot) const {
  NUMBRA_MAT4D_REGION
  // A candidate background value: the first of five random elements that
  // occurs twice among them.
  std::array<double, 5> draw{};
  for (double& v : draw) {
    const int32_t x = LowCol + Random(HighCol - LowCol + 1);
    const int32_t y = LowRow + Random(HighRow - LowRow + 1);
    const int32_t z = LowLayer + Random(HighLayer - LowLayer + 1);
    const int32_t t = LowTimeSlot + Random(HighTimeSlot - LowTimeSlot + 1);
    v = Mat[Idx(x, y, z, t)];
  }
  double c = 0.0;
  bool have_c = false;
  for (std::size_t i = 0; i < draw.size() && !have_c; ++i)
    for (std::size_t j = 0; j < draw.size(); ++j)
      if (i != j && draw[i] == draw[j]) {
        c = draw[i];
        have_c = true;
        break;
      }
  std::vector<double> work;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { work.reserve(g.Size()); });
  int64_t below = 0;
  int64_t equal = 0;
  g([&](double v) {
    work.push_back(v);
    below += v < c ? 1 : 0;
    equal += v == c ? 1 : 0;
  });
  // The shortcut holds only where c really is the k-th smallest value: at
  // most k values below it and more than k below or equal to it (a count
  // of c alone above k is not enough when many values lie below c).
  if (!(prob >= 0)) prob = 0;
  if (prob > 100) prob = 100;
  const auto n = static_cast<int64_t>(work.size());
  const auto k = std::min<int64_t>(
      static_cast<int64_t>(std::nearbyint(prob * static_cast<double>(n) / 100.0)), n - 1);
  if (below <= k && below + equal > k) return c;
  return detail::SelectPercentile(work, prob);
}

double TMat4D::Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                          int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                          int32_t HighTimeSlot, int32_t SampleSize) const {
  NUMBRA_MAT4D_REGION
  if (SampleSize <= 0 || static_cast<std::size_t>(SampleSize) >= g.Size())
    return Percentile(prob, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot,
                      HighTimeSlot);
  std::vector<double> sample;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { sample.resize(static_cast<std::size_t>(SampleSize)); });
  Randomize();
  for (double& v : sample) {
    const int32_t x = LowCol + Random(HighCol - LowCol + 1);
    const int32_t y = LowRow + Random(HighRow - LowRow + 1);
    const int32_t z = LowLayer + Random(HighLayer - LowLayer + 1);
    const int32_t t = LowTimeSlot + Random(HighTimeSlot - LowTimeSlot + 1);
    v = Mat[Idx(x, y, z, t)];
  }
  return detail::SelectPercentile(sample, prob);
}

// ---- per-pixel reductions ------------------------------------------------------

template <class Fn>
void TMat4D::ReduceLayers(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                          int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                          int32_t HighTimeSlot, Fn&& Reduce) const {
  NUMBRA_MAT4D_REGION
  if (DestMat == nullptr) return;
  const int32_t nx = HighCol - LowCol + 1;
  const int32_t ny = HighRow - LowRow + 1;
  const std::size_t n =
      detail::Count4(1, 1, HighLayer - LowLayer + 1, HighTimeSlot - LowTimeSlot + 1);
  // The values of a pixel lie one plane apart. A chunk of pixels of one row
  // is gathered plane by plane (contiguous reads) into a buffer that holds
  // each pixel's values contiguously, and each pixel is reduced from there.
  const auto chunk = static_cast<int32_t>(
      std::clamp<std::size_t>((std::size_t{1} << 20) / n, 1, static_cast<std::size_t>(nx)));
  std::vector<double> buf;
  TMatrix result;
  result.Resize(nx, ny);
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { buf.resize(n * static_cast<std::size_t>(chunk)); });
  const int64_t pixels = int64_t{nx} * ny;
  const int64_t step = pixels / 100 + 1;
  int64_t done = 0;
  for (int32_t y = LowRow; y <= HighRow; ++y)
    for (int32_t x0 = LowCol; x0 <= HighCol; x0 += chunk) {
      const int32_t cx = std::min(chunk, HighCol - x0 + 1);
      std::size_t j = 0;
      for (int32_t t = LowTimeSlot; t <= HighTimeSlot; ++t)
        for (int32_t z = LowLayer; z <= HighLayer; ++z, ++j) {
          const double* src = Mat.data() + Idx(x0, y, z, t);
          for (int32_t i = 0; i < cx; ++i) buf[static_cast<std::size_t>(i) * n + j] = src[i];
        }
      for (int32_t i = 0; i < cx; ++i) {
        result.SetVal(
            x0 + i - LowCol + 1, y - LowRow + 1,
            Reduce(std::span<const double>(buf.data() + static_cast<std::size_t>(i) * n, n)));
        if (++done % step == 0) StepProcStat();
      }
    }
  DestMat->Clone(&result);
}

void TMat4D::MeanOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                  int32_t HighRow, int32_t LowLayer, int32_t HighLayer,
                                  int32_t LowTimeSlot, int32_t HighTimeSlot) const {
  ReduceLayers(DestMat, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot,
               HighTimeSlot,
               [](std::span<const double> v) { return detail::FastMeanAndSSD(v).mean; });
}

void TMat4D::MaximumOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol,
                                     int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                                     int32_t HighLayer, int32_t LowTimeSlot,
                                     int32_t HighTimeSlot) const {
  ReduceLayers(DestMat, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot,
               HighTimeSlot, [](std::span<const double> v) {
                 detail::Extremes e;
                 for (const double x : v) e.Add(x);
                 return e.found ? e.hi : -uc_MaxReal;
               });
}

void TMat4D::MinimumOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol,
                                     int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                                     int32_t HighLayer, int32_t LowTimeSlot,
                                     int32_t HighTimeSlot) const {
  ReduceLayers(DestMat, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot,
               HighTimeSlot, [](std::span<const double> v) {
                 detail::Extremes e;
                 for (const double x : v) e.Add(x);
                 return e.found ? e.lo : uc_MaxReal;
               });
}

void TMat4D::StdDevOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol,
                                    int32_t LowRow, int32_t HighRow, int32_t LowLayer,
                                    int32_t HighLayer, int32_t LowTimeSlot,
                                    int32_t HighTimeSlot) const {
  // The population deviation from the two-pass kernel: the textbook
  // sqrt(sum v^2 / n - mean^2) loses every digit when the mean is large
  // beside the spread.
  ReduceLayers(
      DestMat, LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer, LowTimeSlot, HighTimeSlot,
      [](std::span<const double> v) { return std::sqrt(detail::FastMeanAndSSD(v).Variance(0)); });
}

#undef NUMBRA_MAT4D_REGION

}  // namespace numbra
