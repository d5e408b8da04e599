// TMatrix statistics over rectangular regions, column and row
// normalisations, searching and edge vectors.
//
// The moments, quartiles and histogram are the vectors' code
// (vector/vector_detail.h): a region is only another way to enumerate the
// values, so it is handed to the same kernels as a visitor, or as a span
// when it is contiguous (whole columns). Row-wise operations gather blocks
// of rows into contiguous buffers (ForEachRow) instead of walking the
// column-major storage with a stride of one column per element.
#include "ORK_math1.h"
#include "ORK_matrix.h"
#include "ORK_univconst.h"
#include "foundation/frame_detail.h"
#include "foundation/stats_detail.h"
#include "matrix/matrix_stats_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";

// Mean and variance with the vectors' rules; the fast two-pass kernel for a
// contiguous region, the general one otherwise (both stable).
void RegionMeanVar(const detail::MatRegion& g, double& Mean, double& Variance) {
  if (g.Contiguous())
    detail::MeanVarOf(g.All(), Mean, Variance);
  else
    detail::MeanVarVisit(g, Mean, Variance);
}

// The region's values copied column by column into a working array.
std::vector<double> RegionCopy(const detail::MatRegion& g, const TComponent& C) {
  std::vector<double> copy;
  detail::Allocate<EORKMatrixError>(C, kNoHeap, [&] { copy.reserve(g.Size()); });
  for (std::size_t k = 0; k < g.cols; ++k) {
    const auto col = g.Column(k);
    copy.insert(copy.end(), col.begin(), col.end());
  }
  return copy;
}

}  // namespace

// The percentile rule of the matrices (declared in matrix_stats_detail.h,
// shared with the 3-D and 4-D arrays).
double detail::SelectPercentile(std::vector<double>& Data, double prob) {
  if (Data.empty()) return 0.0;
  if (!(prob >= 0)) prob = 0;  // NaN as well
  if (prob > 100) prob = 100;
  const auto n = static_cast<int64_t>(Data.size());
  // nearbyint rounds halves to even in the default rounding mode.
  const auto k = std::min<int64_t>(
      static_cast<int64_t>(std::nearbyint(prob * static_cast<double>(n) / 100.0)), n - 1);
  if (n - 1 > std::numeric_limits<int32_t>::max()) {
    // Beyond QuickSelect's 32-bit positions: the standard selection with
    // the same order (NaN after every number).
    const auto at = Data.begin() + static_cast<std::ptrdiff_t>(k);
    std::nth_element(Data.begin(), at, Data.end(),
                     [](double a, double b) { return detail::SortsAfter(b, a); });
    return *at;
  }
  return QuickSelect(std::span<double>(Data), static_cast<int32_t>(k), 0,
                     static_cast<int32_t>(n - 1));
}

namespace {
using detail::SelectPercentile;

void PutIfGiven(TVector* v, int32_t i, double x) {
  if (v != nullptr) v->SetVal(i, x);
}
}  // namespace

// ---- region statistics -------------------------------------------------------

void TMatrix::MinMax(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                     double& Minimum, double& Maximum) const noexcept {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  // Start values uc_MaxReal / -uc_MaxReal would hide elements beyond them
  // (doubles reach far past the single range): track the true extremes and
  // fall back to the start values only when there is no number at all.
  detail::Extremes e;
  for (std::size_t k = 0; k < g.cols; ++k) {
    for (const double v : g.Column(k)) e.Add(v);
  }
  Minimum = e.found ? e.lo : uc_MaxReal;
  Maximum = e.found ? e.hi : -uc_MaxReal;
}

double TMatrix::Sum(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const noexcept {
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LoC, LoR, HiC, HiR);
  detail::CompensatedSum acc;
  g([&](double v) { acc.Add(v); });
  return acc.Total();
}

void TMatrix::MeanVar(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                      double& Mean, double& Variance) const noexcept {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  if (g.Empty()) {
    Mean = 0.0;
    Variance = 0.0;
    return;
  }
  RegionMeanVar(g, Mean, Variance);
}

void TMatrix::SkewKurt(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                       double& Skewness, double& Kurtosis) const noexcept {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  // The matrices compute the moments from 2 values on (the vectors from 4).
  detail::SkewKurtVisit(g, 2, Skewness, Kurtosis);
}

void TMatrix::SkewKurtSample(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                             double& Skewness, double& Kurtosis) const noexcept {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  double s = 0;
  double k = 0;
  const std::size_t n = detail::SkewKurtVisit(g, 2, s, k);
  const auto count = static_cast<int32_t>(std::min<std::size_t>(n, 0x7fffffff));
  detail::SampleCorrection(s, k, count, Skewness, Kurtosis);
}

double TMatrix::GeometricMean(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  if (g.Empty()) return 0.0;
  return detail::GeometricMeanVisit<EORKMatrixError>(g, *this);
}

double TMatrix::HarmonicMean(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                             int32_t HighRow) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  if (g.Empty()) return 0.0;
  return detail::HarmonicMeanVisit<EORKMatrixError>(g, *this);
}

bool TMatrix::Quartiles(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                        double& Q1, double& Q2, double& Q3) const {
  Q1 = Q2 = Q3 = 0.0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  if (g.Empty()) return false;
  std::vector<double> x = RegionCopy(g, *this);
  SortArray(std::span<double>(x), true);
  detail::QuartilesOfSorted(x, Q1, Q2, Q3);
  return true;
}

double TMatrix::Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                           int32_t HighRow) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  std::vector<double> x = RegionCopy(g, *this);
  return SelectPercentile(x, prob);
}

double TMatrix::Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                           int32_t HighRow, int32_t SampleSize) const {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  if (SampleSize <= 0 || static_cast<std::size_t>(SampleSize) >= g.Size())
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

int32_t TMatrix::CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                             double RangeLow, double RangeHigh) const noexcept {
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  int64_t n = 0;
  for (std::size_t k = 0; k < g.cols; ++k)
    for (const double v : g.Column(k)) n += (v >= RangeLow && v <= RangeHigh) ? 1 : 0;
  return static_cast<int32_t>(std::min<int64_t>(n, std::numeric_limits<int32_t>::max()));
}

bool TMatrix::Histogram(int32_t LoX, int32_t LoY, int32_t HiX, int32_t HiY, double FirstBin,
                        double LastBin, double BinWidth, TIntVector* Histo, int32_t& Underflow,
                        int32_t& Overflow, int32_t& MaxCnt) const {
  MakeValidColRange(LoX, HiX);
  MakeValidRowRange(LoY, HiY);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LoX, LoY, HiX, HiY);
  return detail::HistogramVisit(FirstBin, LastBin, BinWidth, Histo, Underflow, Overflow, MaxCnt,
                                [&g](auto&& count) { g([&](double v) { count(v, 1); }); });
}

void TMatrix::MeanVec(TDims Dim, TVector* Means) const {
  if (Means == nullptr)
    throw EORKMatrixError(detail::ComponentMsg(*this, "MeanVec: no result vector"));
  if (Dim == TDims::dimRow) {
    if (FNCol < 1) return;
    Means->Resize(FNCol);
    for (int32_t c = 1; c <= FNCol; ++c) {
      const std::span<const double> col(&Mat[Idx(c, 1)], static_cast<std::size_t>(FNRow));
      Means->SetVal(c, FNRow > 0 ? detail::SumOf(col) / FNRow : 0.0);
    }
  } else if (Dim == TDims::dimColumn) {
    if (FNRow < 1) return;
    Means->Resize(FNRow);
    if (FNCol < 1) {
      for (int32_t r = 1; r <= FNRow; ++r) Means->SetVal(r, 0.0);
      return;
    }
    std::vector<double> means;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                      [&] { means.resize(static_cast<std::size_t>(FNRow)); });
    detail::ForEachRow(*this, Mat.data(), FNCol, FNRow, 1, FNRow,
                       [&](int32_t r, std::span<const double> row) {
                         means[static_cast<std::size_t>(r) - 1] = detail::SumOf(row) / FNCol;
                       });
    for (int32_t r = 1; r <= FNRow; ++r) Means->SetVal(r, means[static_cast<std::size_t>(r) - 1]);
  }
}

double TMatrix::Correlate(const TMatrix* OtherMat) const {
  if (OtherMat == nullptr) return 0.0;
  if (OtherMat->FNCol != FNCol || OtherMat->FNRow != FNRow)
    throw EORKMatrixError(detail::ComponentMsg(*this, "matrices do not match"));
  if (Count() < 3) return 0.0;
  return detail::PearsonCorrectedOf(Values(), OtherMat->Values());
}

// ---- normalisations ----------------------------------------------------------

void TMatrix::StandardizeColumns(TVector* Means, TVector* StdDevs) {
  for (int32_t c = 1; c <= FNCol; ++c) {
    const std::span<double> col(&Mat[Idx(c, 1)], static_cast<std::size_t>(FNRow));
    double mean = 0;
    double var = 0;
    MeanVar(c, 1, c, FNRow, mean, var);
    const double sd = std::sqrt(var);
    if (var > 0)
      for (double& v : col) v = (v - mean) / sd;
    PutIfGiven(Means, c, mean);
    PutIfGiven(StdDevs, c, sd);
  }
  Changed();
}

void TMatrix::StandardizeRows(TVector* Means, TVector* StdDevs) {
  std::vector<double> means;
  std::vector<double> sds;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    means.resize(static_cast<std::size_t>(FNRow));
    sds.resize(static_cast<std::size_t>(FNRow));
  });
  detail::ForEachRow(*this, Mat.data(), FNCol, FNRow, 1, FNRow,
                     [&](int32_t r, std::span<double> row) {
                       double mean = 0;
                       double var = 0;
                       detail::MeanVarOf(std::span<const double>(row), mean, var);
                       const double sd = std::sqrt(var);
                       if (var > 0)
                         for (double& v : row) v = (v - mean) / sd;
                       means[static_cast<std::size_t>(r) - 1] = mean;
                       sds[static_cast<std::size_t>(r) - 1] = sd;
                     });
  // The vectors are written after the matrix, so that their handlers see it
  // finished. A row without elements has the neutral mean and deviation 0.
  for (int32_t r = 1; r <= FNRow; ++r) {
    PutIfGiven(Means, r, means[static_cast<std::size_t>(r) - 1]);
    PutIfGiven(StdDevs, r, sds[static_cast<std::size_t>(r) - 1]);
  }
  Changed();
}

void TMatrix::QNormalizeColumns(double RefQuant, TVector* Medians, TVector* QuantDiffs) {
  std::vector<double> work;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { work.resize(static_cast<std::size_t>(FNRow)); });
  for (int32_t c = 1; c <= FNCol; ++c) {
    const std::span<double> col(&Mat[Idx(c, 1)], static_cast<std::size_t>(FNRow));
    // QuickSelect only permutes the copy, so both percentiles can use it.
    std::copy(col.begin(), col.end(), work.begin());
    const double q = SelectPercentile(work, RefQuant);
    const double m = SelectPercentile(work, 50);
    const double d = std::fabs(m - q);
    if (d > 0)
      for (double& v : col) v = (v - m) / d;
    PutIfGiven(Medians, c, m);
    PutIfGiven(QuantDiffs, c, d);
  }
  Changed();
}

void TMatrix::QNormalizeRows(double RefQuant, TVector* Medians, TVector* QuantDiffs) {
  std::vector<double> meds;
  std::vector<double> diffs;
  std::vector<double> work;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    meds.resize(static_cast<std::size_t>(FNRow));
    diffs.resize(static_cast<std::size_t>(FNRow));
    work.resize(static_cast<std::size_t>(std::max(FNCol, 0)));
  });
  detail::ForEachRow(*this, Mat.data(), FNCol, FNRow, 1, FNRow,
                     [&](int32_t r, std::span<double> row) {
                       std::copy(row.begin(), row.end(), work.begin());
                       const double q = SelectPercentile(work, RefQuant);
                       const double m = SelectPercentile(work, 50);
                       const double d = std::fabs(m - q);
                       if (d > 0)
                         for (double& v : row) v = (v - m) / d;
                       meds[static_cast<std::size_t>(r) - 1] = m;
                       diffs[static_cast<std::size_t>(r) - 1] = d;
                     });
  for (int32_t r = 1; r <= FNRow; ++r) {
    PutIfGiven(Medians, r, meds[static_cast<std::size_t>(r) - 1]);
    PutIfGiven(QuantDiffs, r, diffs[static_cast<std::size_t>(r) - 1]);
  }
  Changed();
}

void TMatrix::MeanCenterColumns(TVector* Means) {
  if (Means != nullptr) Means->Resize(FNCol);  // refused (kept) for 0 columns
  for (int32_t c = 1; c <= FNCol; ++c) {
    const std::span<double> col(&Mat[Idx(c, 1)], static_cast<std::size_t>(FNRow));
    double mean = 0;
    double var = 0;
    MeanVar(c, 1, c, FNRow, mean, var);
    for (double& v : col) v -= mean;
    PutIfGiven(Means, c, mean);
  }
  Changed();
}

void TMatrix::MeanCenterRows(TVector* Means) {
  std::vector<double> means;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { means.resize(static_cast<std::size_t>(FNRow)); });
  detail::ForEachRow(*this, Mat.data(), FNCol, FNRow, 1, FNRow,
                     [&](int32_t r, std::span<double> row) {
                       double mean = 0;
                       double var = 0;
                       detail::MeanVarOf(std::span<const double>(row), mean, var);
                       for (double& v : row) v -= mean;
                       means[static_cast<std::size_t>(r) - 1] = mean;
                     });
  if (Means != nullptr) {
    Means->Resize(FNRow);  // refused (kept) for 0 rows
    for (int32_t r = 1; r <= FNRow; ++r) Means->SetVal(r, means[static_cast<std::size_t>(r) - 1]);
  }
  Changed();
}

// ---- search ------------------------------------------------------------------

void TMatrix::Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, double Value,
                   int32_t& ColIx, int32_t& RowIx) const noexcept {
  ColIx = 0;
  RowIx = 0;
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  const auto g = detail::MakeRegion(Mat.data(), FNRow, LowCol, LowRow, HighCol, HighRow);
  double best = uc_MaxDouble;
  for (std::size_t k = 0; k < g.cols; ++k) {
    const auto col = g.Column(k);
    for (std::size_t r = 0; r < col.size(); ++r) {
      const double d = std::fabs(col[r] - Value);
      if (d < best) {  // strict: the first of equal distances stays
        best = d;
        ColIx = LowCol + static_cast<int32_t>(k);
        RowIx = LowRow + static_cast<int32_t>(r);
      }
    }
  }
}

int32_t TMatrix::FindInSortedColumn(int32_t Col, bool ColIsAscending, double Value) const {
  detail::CheckIndex(*this, "FindInSortedColumn", "column", Col, FNCol);
  if (FNRow < 1) return 0;
  return detail::FindInSorted(
      std::span<const double>(&Mat[Idx(Col, 1)], static_cast<std::size_t>(FNRow)), ColIsAscending,
      Value);
}

// ---- edge vectors --------------------------------------------------------------

void TMatrix::EdgeVector(TOrientation Orient, TEdgeOp EdgeOp, TVector* DestVec) const {
  if (DestVec == nullptr)
    throw EORKMatrixError(detail::ComponentMsg(*this, "EdgeVector: no result vector"));
  const auto aggregate = [EdgeOp](std::span<const double> x) {
    switch (EdgeOp) {
      case TEdgeOp::eopMin:
      case TEdgeOp::eopMax: {
        detail::Extremes e;
        for (const double v : x) e.Add(v);
        if (EdgeOp == TEdgeOp::eopMin) return e.found ? e.lo : uc_MaxDouble;
        return e.found ? e.hi : -uc_MaxDouble;
      }
      case TEdgeOp::eopSum:
        return detail::SumOf(x);
      case TEdgeOp::eopMean:
        return x.empty() ? 0.0 : detail::SumOf(x) / static_cast<double>(x.size());
    }
    return 0.0;
  };
  if (Orient == TOrientation::orRows) {
    if (FNRow < 1) return;
    std::vector<double> out;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                      [&] { out.resize(static_cast<std::size_t>(FNRow)); });
    if (FNCol < 1) {
      std::fill(out.begin(), out.end(), aggregate({}));
    } else {
      detail::ForEachRow(*this, Mat.data(), FNCol, FNRow, 1, FNRow,
                         [&](int32_t r, std::span<const double> row) {
                           out[static_cast<std::size_t>(r) - 1] = aggregate(row);
                         });
    }
    DestVec->Resize(FNRow);
    for (int32_t r = 1; r <= FNRow; ++r) DestVec->SetVal(r, out[static_cast<std::size_t>(r) - 1]);
  } else if (Orient == TOrientation::orColumns) {
    if (FNCol < 1) return;
    DestVec->Resize(FNCol);
    for (int32_t c = 1; c <= FNCol; ++c) {
      const std::span<const double> col =
          FNRow > 0 ? std::span<const double>(&Mat[Idx(c, 1)], static_cast<std::size_t>(FNRow))
                    : std::span<const double>();
      DestVec->SetVal(c, aggregate(col));
    }
  }
}

}  // namespace numbra
