// TIntMatrix statistics over rectangular regions. The values are handed to
// the same kernels as the double matrices (vector/vector_detail.h visitors,
// the percentile rule of matrix_stats_detail.h): each integer is converted
// to double as the kernel reads it, so the formulas, thresholds and
// messages are those of TMatrix.
#include "ORK_math1.h"
#include "ORK_matrix.h"
#include "ORK_univconst.h"
#include "foundation/frame_detail.h"
#include "matrix/matrix_stats_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <vector>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";

// The (validated) region as a value visitor, column by column, rows
// ascending within a column; get(c, r) reads one element.
template <class Get>
auto RegionVisitor(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, Get get) {
  return [=](auto&& f) {
    for (int32_t c = LowCol; c <= HighCol; ++c)
      for (int32_t r = LowRow; r <= HighRow; ++r) f(get(c, r));
  };
}

std::size_t RegionSize(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow) {
  if (HighCol < LowCol || HighRow < LowRow) return 0;
  return static_cast<std::size_t>(HighCol - LowCol + 1) *
         static_cast<std::size_t>(HighRow - LowRow + 1);
}
}  // namespace

// Both forms read through GetVal, so that positions without a triple count
// as 0 in the sparse form.
void TIntMatrix::SkewKurt(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                          double& Skewness, double& Kurtosis) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = RegionVisitor(LowCol, LowRow, HighCol, HighRow,
                               [this](int32_t c, int32_t r) { return GetVal(c, r); });
  // As the double matrices: the moments from 2 values on.
  detail::SkewKurtVisit(g, 2, Skewness, Kurtosis);
}

void TIntMatrix::SkewKurtSample(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                double& Skewness, double& Kurtosis) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = RegionVisitor(LowCol, LowRow, HighCol, HighRow,
                               [this](int32_t c, int32_t r) { return GetVal(c, r); });
  double s = 0;
  double k = 0;
  const std::size_t n = detail::SkewKurtVisit(g, 2, s, k);
  const auto count = static_cast<int32_t>(std::min<std::size_t>(n, 0x7fffffff));
  detail::SampleCorrection(s, k, count, Skewness, Kurtosis);
}

double TIntMatrix::GeometricMean(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                 int32_t HighRow) const {
  RequireDense("GeometricMean");
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (RegionSize(LowCol, LowRow, HighCol, HighRow) == 0) return 0.0;
  const auto g = RegionVisitor(LowCol, LowRow, HighCol, HighRow,
                               [this](int32_t c, int32_t r) { return Mat[Idx(c, r)]; });
  return detail::GeometricMeanVisit<EORKMatrixError>(g, *this);
}

double TIntMatrix::HarmonicMean(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                int32_t HighRow) const {
  RequireDense("HarmonicMean");
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (RegionSize(LowCol, LowRow, HighCol, HighRow) == 0) return 0.0;
  const auto g = RegionVisitor(LowCol, LowRow, HighCol, HighRow,
                               [this](int32_t c, int32_t r) { return Mat[Idx(c, r)]; });
  return detail::HarmonicMeanVisit<EORKMatrixError>(g, *this);
}

namespace {
// The region's values as doubles in a working array (column by column).
template <class Get>
std::vector<double> RegionCopy(const TComponent& C, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                               int32_t HighRow, Get get) {
  std::vector<double> copy;
  detail::Allocate<EORKMatrixError>(
      C, kNoHeap, [&] { copy.reserve(RegionSize(LowCol, LowRow, HighCol, HighRow)); });
  RegionVisitor(LowCol, LowRow, HighCol, HighRow,
                get)([&](int32_t v) { copy.push_back(static_cast<double>(v)); });
  return copy;
}
}  // namespace

bool TIntMatrix::Quartiles(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                           double& Q1, double& Q2, double& Q3) const {
  RequireDense("Quartiles");
  Q1 = Q2 = Q3 = 0.0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (RegionSize(LowCol, LowRow, HighCol, HighRow) == 0) return false;
  std::vector<double> x = RegionCopy(*this, LowCol, LowRow, HighCol, HighRow,
                                     [this](int32_t c, int32_t r) { return Mat[Idx(c, r)]; });
  SortArray(std::span<double>(x), true);
  detail::QuartilesOfSorted(x, Q1, Q2, Q3);
  return true;
}

double TIntMatrix::Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow) const {
  RequireDense("Percentile");
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  std::vector<double> x = RegionCopy(*this, LowCol, LowRow, HighCol, HighRow,
                                     [this](int32_t c, int32_t r) { return Mat[Idx(c, r)]; });
  return detail::SelectPercentile(x, prob);
}

double TIntMatrix::Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow, int32_t SampleSize) const {
  RequireDense("Percentile");
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  if (SampleSize <= 0 ||
      static_cast<std::size_t>(SampleSize) >= RegionSize(LowCol, LowRow, HighCol, HighRow))
    return Percentile(prob, LowCol, LowRow, HighCol, HighRow);
  if (!(prob >= 0)) prob = 0;
  if (prob > 100) prob = 100;
  std::vector<double> sample;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { sample.resize(static_cast<std::size_t>(SampleSize)); });
  return detail::SampledPercentile(
      prob, sample, LowCol, LowRow, HighCol, HighRow,
      [this](int32_t c, int32_t r) { return static_cast<double>(Mat[Idx(c, r)]); });
}

// ---- means, search and edge vectors -------------------------------------------
// Integer sums are formed exactly in 64 bits (a row or column of at most
// 2^31 elements of at most 2^31 in magnitude cannot overflow), so no
// compensation is needed.

namespace {
int64_t SumOfInts(std::span<const int32_t> x) {
  int64_t s = 0;
  for (const int32_t v : x) s += v;
  return s;
}
}  // namespace

void TIntMatrix::MeanVec(TDims Dim, TVector* Means) const {
  RequireDense("MeanVec");
  if (Means == nullptr)
    throw EORKMatrixError(detail::ComponentMsg(*this, "MeanVec: no result vector"));
  if (Dim == TDims::dimRow) {
    if (FNCol < 1) return;
    Means->Resize(FNCol);
    for (int32_t c = 1; c <= FNCol; ++c) {
      const std::span<const int32_t> col(&Mat[Idx(c, 1)], static_cast<std::size_t>(FNRow));
      Means->SetVal(c, FNRow > 0 ? static_cast<double>(SumOfInts(col)) / FNRow : 0.0);
    }
  } else if (Dim == TDims::dimColumn) {
    if (FNRow < 1) return;
    Means->Resize(FNRow);
    for (int32_t r = 1; r <= FNRow; ++r) {
      int64_t s = 0;
      for (int32_t c = 1; c <= FNCol; ++c) s += Mat[Idx(c, r)];
      Means->SetVal(r, FNCol > 0 ? static_cast<double>(s) / FNCol : 0.0);
    }
  }
}

int32_t TIntMatrix::FindInSortedColumn(int32_t Col, bool ColIsAscending, int32_t Value) const {
  RequireDense("FindInSortedColumn");
  detail::CheckIndex(*this, "FindInSortedColumn", "column", Col, FNCol);
  if (FNRow < 1) return 0;
  return detail::FindInSorted(
      std::span<const int32_t>(&Mat[Idx(Col, 1)], static_cast<std::size_t>(FNRow)), ColIsAscending,
      Value);
}

void TIntMatrix::EdgeVector(TOrientation Orient, TEdgeOp EdgeOp, TVector* DestVec) const {
  RequireDense("EdgeVector");
  if (DestVec == nullptr)
    throw EORKMatrixError(detail::ComponentMsg(*this, "EdgeVector: no result vector"));
  // One row or column, visited through get(k), k = 1..n.
  const auto aggregate = [EdgeOp](int32_t n, auto get) {
    switch (EdgeOp) {
      case TEdgeOp::eopMin: {
        double m = uc_MaxDouble;
        for (int32_t k = 1; k <= n; ++k) m = std::min(m, static_cast<double>(get(k)));
        return m;
      }
      case TEdgeOp::eopMax: {
        double m = -uc_MaxDouble;
        for (int32_t k = 1; k <= n; ++k) m = std::max(m, static_cast<double>(get(k)));
        return m;
      }
      case TEdgeOp::eopSum:
      case TEdgeOp::eopMean: {
        int64_t s = 0;
        for (int32_t k = 1; k <= n; ++k) s += get(k);
        if (EdgeOp == TEdgeOp::eopSum) return static_cast<double>(s);
        return n > 0 ? static_cast<double>(s) / n : 0.0;
      }
    }
    return 0.0;
  };
  if (Orient == TOrientation::orRows) {
    if (FNRow < 1) return;
    DestVec->Resize(FNRow);
    for (int32_t r = 1; r <= FNRow; ++r)
      DestVec->SetVal(r, aggregate(FNCol, [&](int32_t c) { return Mat[Idx(c, r)]; }));
  } else if (Orient == TOrientation::orColumns) {
    if (FNCol < 1) return;
    DestVec->Resize(FNCol);
    for (int32_t c = 1; c <= FNCol; ++c)
      DestVec->SetVal(c, aggregate(FNRow, [&](int32_t r) { return Mat[Idx(c, r)]; }));
  }
}

}  // namespace numbra
