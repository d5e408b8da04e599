// TVector statistics, order statistics, histogram, integration, two-vector
// operations, searching, rescaling and random filling.
#include "ORK_math1.h"
#include "ORK_vector.h"
#include "foundation/frame_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace numbra {

namespace {
// Sum with four independent partial sums: the additions of one block do not
// wait for each other, and the error bound is that of four shorter sums.
double BlockSum(std::span<const double> x) {
  double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  std::size_t k = 0;
  for (; k + 4 <= x.size(); k += 4) {
    s0 += x[k];
    s1 += x[k + 1];
    s2 += x[k + 2];
    s3 += x[k + 3];
  }
  for (; k < x.size(); ++k) s0 += x[k];
  return (s0 + s1) + (s2 + s3);
}
}  // namespace

double TVector::Sum(int32_t LowElem, int32_t HighElem) const noexcept {
  MakeValidElemRange(LowElem, HighElem);
  return BlockSum(detail::RangeOf(FVec, LowElem, HighElem));
}

void TVector::MeanVar(int32_t LowElem, int32_t HighElem, double& Mean,
                      double& Variance) const noexcept {
  MakeValidElemRange(LowElem, HighElem);
  detail::MeanVarOf(detail::RangeOf(FVec, LowElem, HighElem), Mean, Variance);
}

void TVector::SkewKurtIntern(int32_t LowElem, int32_t HighElem, double& Skewness, double& Kurtosis,
                             int32_t& NumData) const noexcept {
  MakeValidElemRange(LowElem, HighElem);
  detail::SkewKurtOf(detail::RangeOf(FVec, LowElem, HighElem), Skewness, Kurtosis, NumData);
}

void TVector::SkewKurt(int32_t LowElem, int32_t HighElem, double& Skewness,
                       double& Kurtosis) const noexcept {
  int32_t n = 0;
  SkewKurtIntern(LowElem, HighElem, Skewness, Kurtosis, n);
}

void TVector::SkewKurtSample(int32_t LowElem, int32_t HighElem, double& Skewness,
                             double& Kurtosis) const noexcept {
  double g = 0;
  double k = 0;
  int32_t n = 0;
  SkewKurtIntern(LowElem, HighElem, g, k, n);
  detail::SampleCorrection(g, k, n, Skewness, Kurtosis);
}

double TVector::GeometricMean(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return detail::GeometricMeanOf<double, EORKVectorError>(detail::RangeOf(FVec, LowElem, HighElem),
                                                          *this);
}

double TVector::HarmonicMean(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return detail::HarmonicMeanOf<double, EORKVectorError>(detail::RangeOf(FVec, LowElem, HighElem),
                                                         *this);
}

void TVector::MinMax(int32_t LowElem, int32_t HighElem, double& Minimum,
                     double& Maximum) const noexcept {
  int32_t imin = 0;
  int32_t imax = 0;
  MinMax(LowElem, HighElem, Minimum, Maximum, imin, imax);
}

void TVector::MinMax(int32_t LowElem, int32_t HighElem, double& Minimum, double& Maximum,
                     int32_t& MinIx, int32_t& MaxIx) const noexcept {
  MakeValidElemRange(LowElem, HighElem);
  detail::MinMaxOfDoubles(detail::RangeOf(FVec, LowElem, HighElem), LowElem - 1, 1.7E308, -1.7E308,
                          Minimum, Maximum, MinIx, MaxIx);
}

double TVector::Mode(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return detail::ModeOfSorted(
      detail::SortedCopy<EORKVectorError>(detail::RangeOf(FVec, LowElem, HighElem), *this));
}

bool TVector::Quartiles(int32_t LowElem, int32_t HighElem, double& Q1, double& Q2,
                        double& Q3) const {
  Q1 = Q2 = Q3 = 0;
  MakeValidElemRange(LowElem, HighElem);
  detail::QuartilesOfSorted(
      detail::SortedCopy<EORKVectorError>(detail::RangeOf(FVec, LowElem, HighElem), *this), Q1, Q2,
      Q3);
  return true;
}

double TVector::Percentile(double prob, int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return detail::PercentileOfSorted(
      detail::SortedCopy<EORKVectorError>(detail::RangeOf(FVec, LowElem, HighElem), *this), prob);
}

bool TVector::Histogram(int32_t FirstElem, int32_t LastElem, double FirstBin, double LastBin,
                        double BinWidth, TIntVector* Histo, int32_t& Underflow, int32_t& Overflow,
                        int32_t& MaxCnt) const {
  return detail::HistogramVisit(
      FirstBin, LastBin, BinWidth, Histo, Underflow, Overflow, MaxCnt, [&](auto&& count) {
        if (FirstElem > LastElem) return;
        // Positions outside the vector read as 0: count them in one go
        // instead of walking up to 2^32 positions.
        const int64_t lo = std::max<int64_t>(FirstElem, 1);
        const int64_t hi = std::min<int64_t>(LastElem, FNElem);
        const int64_t inside = hi >= lo ? hi - lo + 1 : 0;
        const int64_t outside = int64_t{LastElem} - FirstElem + 1 - inside;
        if (outside > 0) count(0.0, outside);
        for (int64_t i = lo; i <= hi; ++i) count(FVec[static_cast<std::size_t>(i) - 1], 1);
      });
}

double TVector::Integrate(double BoundLow, double BoundHigh, TIntegMethod Method) const noexcept {
  const double n = FNElem;
  auto clamp = [n](double x) { return x < 1 ? 1.0 : (x > n ? n : x); };
  double a = clamp(BoundLow);
  double b = clamp(BoundHigh);
  if (std::isnan(a) || std::isnan(b)) return std::numeric_limits<double>::quiet_NaN();
  if (b < a) std::swap(a, b);
  const double w = b - a;
  const auto lo = static_cast<int32_t>(std::ceil(a));
  const auto hi = static_cast<int32_t>(std::trunc(b));
  const auto y = [this](int32_t k) { return GetVal(k); };
  // Value of the curve at x by linear interpolation between its neighbours.
  const auto at = [&](double x) {
    const auto k = static_cast<int32_t>(std::floor(x));
    const double f = x - k;
    return f == 0 ? y(k) : y(k) + (y(k + 1) - y(k)) * f;
  };
  const double left_w = lo - a;
  const double right_w = b - hi;
  const double left = left_w > 0 ? (at(a) + y(lo)) / 2 * left_w : 0.0;
  const double right = right_w > 0 ? (y(hi) + at(b)) / 2 * right_w : 0.0;
  const int32_t d = hi - lo;

  if (Method == TIntegMethod::imSimple) {
    if (hi < lo) return (y(lo - 1) + y(lo)) / 2 * w;
    double s = 0;
    for (int32_t k = lo; k <= hi; ++k) s += y(k);
    return s / (hi - lo + 1) * w;
  }
  const auto trapezoid = [&] {
    if (d == -1) return (at(a) + at(b)) / 2 * w;
    double s = left + right;
    for (int32_t k = lo; k < hi; ++k) s += (y(k) + y(k + 1)) / 2;
    return s;
  };
  if (Method == TIntegMethod::imTrapezoidal || d <= 0) return trapezoid();
  double s = left + right;
  switch (d) {
    case 1:
      s += (y(lo) + y(lo + 1)) / 2;
      break;
    case 2:
      s += (y(lo) + 4 * y(lo + 1) + y(lo + 2)) / 3;
      break;
    case 3:
      s += 3.0 / 8.0 * (y(lo) + 3 * y(lo + 1) + 3 * y(lo + 2) + y(lo + 3));
      break;
    case 4:
      s += 2.0 / 45.0 *
           (7 * y(lo) + 32 * y(lo + 1) + 12 * y(lo + 2) + 32 * y(lo + 3) + 7 * y(lo + 4));
      break;
    default:
      // Alternative extended Simpson rule (Press et al., Numerical Recipes,
      // eq. 4.1.14): end weights 3/8, 7/6, 23/24, interior weight 1.
      s += 3.0 / 8.0 * y(lo) + 7.0 / 6.0 * y(lo + 1) + 23.0 / 24.0 * y(lo + 2) +
           23.0 / 24.0 * y(hi - 2) + 7.0 / 6.0 * y(hi - 1) + 3.0 / 8.0 * y(hi);
      for (int32_t k = lo + 3; k <= hi - 3; ++k) s += y(k);
  }
  return s;
}

double TVector::DotProduct(const TVector* OtherVec) const {
  if (OtherVec == nullptr) return 0.0;
  if (OtherVec->FNElem != FNElem)
    throw EORKVectorError(detail::ComponentMsg(*this, "vectors have different dimensions"));
  const double* x = FVec.data();
  const double* z = OtherVec->FVec.data();
  double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  std::size_t k = 0;
  const auto n = static_cast<std::size_t>(FNElem);
  for (; k + 4 <= n; k += 4) {
    s0 += x[k] * z[k];
    s1 += x[k + 1] * z[k + 1];
    s2 += x[k + 2] * z[k + 2];
    s3 += x[k + 3] * z[k + 3];
  }
  for (; k < n; ++k) s0 += x[k] * z[k];
  return (s0 + s1) + (s2 + s3);
}

double TVector::Correlate(const TVector* OtherVec, int32_t ElemShift) const noexcept {
  if (OtherVec == nullptr) return 0.0;
  double s = 0;
  // Only the k with 1 <= k + ElemShift <= other count contribute.
  const int64_t lo = std::max<int64_t>(1, 1 - int64_t{ElemShift});
  const int64_t hi = std::min<int64_t>(FNElem, int64_t{OtherVec->FNElem} - ElemShift);
  for (int64_t k = lo; k <= hi; ++k)
    s += FVec[static_cast<std::size_t>(k) - 1] *
         OtherVec->FVec[static_cast<std::size_t>(k + ElemShift) - 1];
  return s;
}

double TVector::PearsonCorrCoeff(const TVector* OtherVec) const noexcept {
  if (OtherVec == nullptr) return 0.0;
  return detail::PearsonOf(std::span<const double>(FVec), std::span<const double>(OtherVec->FVec));
}

double TVector::EuclideanDistance(const TVector* OtherVec) const {
  if (OtherVec == nullptr || OtherVec->FNElem != FNElem)
    throw EORKVectorError("EuclideanDistance: dimensions of vectors do not match");
  return detail::EuclidOf(std::span<const double>(FVec), std::span<const double>(OtherVec->FVec));
}

void TVector::Add(const TVector* OtherVec) {
  if (OtherVec == nullptr) return;
  if (OtherVec->FNElem != FNElem)
    throw EORKVectorError(detail::ComponentMsg(*this, "vectors have different dimensions"));
  for (std::size_t k = 0; k < FVec.size(); ++k) FVec[k] += OtherVec->FVec[k];
  Changed();
}

void TVector::Subtract(const TVector* OtherVec) {
  if (OtherVec == nullptr) return;
  if (OtherVec->FNElem != FNElem)
    throw EORKVectorError(detail::ComponentMsg(*this, "vectors have different dimensions"));
  for (std::size_t k = 0; k < FVec.size(); ++k) FVec[k] -= OtherVec->FVec[k];
  Changed();
}

int32_t TVector::Find(int32_t LowElem, int32_t HighElem, double value) const noexcept {
  MakeValidElemRange(LowElem, HighElem);
  return detail::FindNearest(detail::RangeOf(FVec, LowElem, HighElem), LowElem - 1, value);
}

int32_t TVector::FindInSortedVector(bool Ascending, double Value) const noexcept {
  return detail::FindInSorted(std::span<const double>(FVec), Ascending, Value);
}

double TVector::MeanCenter() {
  double mean = 0;
  double var = 0;
  MeanVar(0, 0, mean, var);
  for (double& v : FVec) v -= mean;
  return mean;
}

void TVector::Standardize(double& mean, double& stddev) {
  double var = 0;
  MeanVar(0, 0, mean, var);
  stddev = std::sqrt(var);
  if (stddev > 0)
    for (double& v : FVec) v = (v - mean) / stddev;
}

void TVector::QNormalize(double RefQuant, double& Median, double& QuantDiff) {
  const double q = Percentile(RefQuant, 0, 0);
  Median = Percentile(50, 0, 0);
  QuantDiff = std::fabs(Median - q);
  if (QuantDiff > 0)
    for (double& v : FVec) v = (v - Median) / QuantDiff;
}

void TVector::SMult(double scalar) {
  for (double& v : FVec) v *= scalar;
  Changed();
}

void TVector::AbsVal() {
  for (double& v : FVec) v = std::fabs(v);
  Changed();
}

void TVector::Mirror() {
  std::reverse(FVec.begin(), FVec.end());
  Changed();
}

void TVector::SortElems(bool Ascending, int32_t RangeFirst, int32_t RangeLast) {
  if (RangeFirst == 0 && RangeLast == 0) {
    RangeFirst = 1;
    RangeLast = FNElem;
  }
  if (RangeFirst > RangeLast) std::swap(RangeFirst, RangeLast);
  RangeFirst = std::clamp(RangeFirst, 1, FNElem);
  RangeLast = std::clamp(RangeLast, 1, FNElem);
  if (RangeLast - RangeFirst < 1) return;
  detail::CombSortRange(FVec, RangeFirst, RangeLast, Ascending,
                        [this](int32_t i, int32_t j) { SortExchange(0, i, j, 0, 0); });
  Changed();
}

void TVector::ShuffleElems() { detail::ShuffleAll(FVec); }

void TVector::FillRandomUniform(double RangeLow, double RangeHigh) {
  for (double& v : FVec) v = RangeLow + (RangeHigh - RangeLow) * corvel::Random();
  FIsEmpty = false;
  Changed();
}

void TVector::FillRandomGauss(double Mean, double StdDev) {
  for (double& v : FVec) v = Mean + StdDev * GRandom();
  FIsEmpty = false;
  Changed();
}

}  // namespace numbra
