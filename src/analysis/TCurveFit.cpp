// TCurveFit: storage of the points, the running sums, the moment and rank
// statistics.
#include "ORK_math2.h"
#include "ORK_statis.h"
#include "ORK_univconst.h"
#include "analysis/svd_detail.h"
#include "foundation/frame_detail.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <numeric>
#include <utility>
#include <vector>

namespace numbra {

namespace {

constexpr double kTiny = 1e-30;
constexpr double kBig = corvel::uc_MaxReal;
constexpr int32_t kGrowRows = 1000;
constexpr std::string_view kNoHeap = "not enough memory on heap";

}  // namespace

TCurveFit::TCurveFit(TComponent* AOwner) : TComponent(AOwner) {
  detail::Allocate<EORKMath2Error>(*this, kNoHeap, [&] {
    FData = std::make_unique<TMatrix>();
    FData->Resize(2, kGrowRows);
  });
  Init();
}

TCurveFit::~TCurveFit() = default;

void TCurveFit::Init() {
  sumx = sumy = sumxq = sumyq = sumDiff = SumDiffq = sumxy = 0;
  sumx2y = sumxy2 = sumx3 = sumy3 = sumx4 = sumy4 = 0;
  sum1byy = sum1byxy = sum1byyq = sumxbyy = sumybyx = sum1byx = 0;
  sum1byxq = sumlnx = sumlnxlny = sumlnxq = sumylny = sumylnx = 0;
  sumxlnx = sumlnxbyy = sumlnybyx = sumlny = sumlnyq = sumxlny = 0;
  sumxqlny = sumyqlnx = 0;
  kx_ = ky_ = sdx_ = sdxq_ = sdy_ = sdyq_ = sdxy_ = sdd_ = sddq_ = 0;
  shift_set_ = false;
  FNumData = 0;
  FPSplineFQ = 0;
  FData->Fill(0.0);
  FMinX = FMinY = std::numeric_limits<double>::max();
  FMaxX = FMaxY = -std::numeric_limits<double>::max();
  FErrIndic.clear();
  // The cached spline and rank results describe the discarded points.
  Invalidate();
}

const double* TCurveFit::Xs() const noexcept { return FData->Values().data(); }
const double* TCurveFit::Ys() const noexcept { return FData->Values().data() + FData->NrOfRows(); }

void TCurveFit::Invalidate() noexcept {
  FSplineValid = false;
  FKendallValid = false;
  FPenSplineValid = false;
}

void TCurveFit::ShiftedSums(double x, double y, double sign) noexcept {
  if (!shift_set_) {
    kx_ = x;
    ky_ = y;
    shift_set_ = true;
  }
  const double dx = x - kx_;
  const double dy = y - ky_;
  const double dd = dx - dy;
  sdx_ += sign * dx;
  sdxq_ += sign * dx * dx;
  sdy_ += sign * dy;
  sdyq_ += sign * dy * dy;
  sdxy_ += sign * dx * dy;
  sdd_ += sign * dd;
  sddq_ += sign * dd * dd;
}

void TCurveFit::AdjustSums(double x, double y) noexcept {
  FMinX = std::min(FMinX, x);
  FMinY = std::min(FMinY, y);
  FMaxX = std::max(FMaxX, x);
  FMaxY = std::max(FMaxY, y);
  const double x2 = x * x, y2 = y * y;
  sumx += x;
  sumy += y;
  sumxq += x2;
  sumyq += y2;
  sumDiff += x - y;
  SumDiffq += (x - y) * (x - y);
  sumxy += x * y;
  sumx2y += x2 * y;
  sumxy2 += x * y2;
  sumx3 += x2 * x;
  sumy3 += y2 * y;
  sumx4 += x2 * x2;
  sumy4 += y2 * y2;
  using E = TCurveFitError;
  if (std::fabs(y) > kTiny) {
    sum1byy += 1.0 / y;
    sum1byyq += 1.0 / y2;
    sumxbyy += x / y;
    double rx = kBig;
    if (std::fabs(x) > kTiny)
      rx = 1.0 / x;
    else
      FErrIndic.insert(E::cfeXEQ0);
    sum1byxy += rx / y;
  } else {
    FErrIndic.insert(E::cfeYEQ0);
    sum1byy += kBig;
    sum1byyq += kBig * kBig;
    sumxbyy += x * kBig;
    if (std::fabs(x) > kTiny) {
      sum1byxy += kBig / x;
    } else {
      sum1byxy += kBig;
      FErrIndic.insert(E::cfeXEQ0);
    }
  }
  if (std::fabs(x) > kTiny) {
    sum1byx += 1.0 / x;
    sum1byxq += 1.0 / x2;
    sumybyx += y / x;
  } else {
    FErrIndic.insert(E::cfeXEQ0);
    sum1byx += kBig;
    sum1byxq += kBig * kBig;
    sumybyx += y * kBig;
  }
  if (x > 0) {
    const double lx = std::log(x);
    sumlnx += lx;
    sumlnxq += lx * lx;
    sumylnx += y * lx;
    sumxlnx += x * lx;
    sumyqlnx += y2 * lx;
    if (y != 0)
      sumlnxbyy += lx / y;
    else
      FErrIndic.insert(E::cfeYEQ0);
    if (y > 0)
      sumlnxlny += lx * std::log(y);
    else
      FErrIndic.insert(E::cfeYLE0);
  } else {
    FErrIndic.insert(E::cfeXLE0);
  }
  if (y > 0) {
    const double ly = std::log(y);
    sumlny += ly;
    sumylny += y * ly;
    sumlnyq += ly * ly;
    sumxlny += x * ly;
    sumxqlny += x2 * ly;
    if (x != 0)
      sumlnybyx += ly / x;
    else
      FErrIndic.insert(E::cfeXEQ0);
  } else {
    FErrIndic.insert(E::cfeYLE0);
  }
  ShiftedSums(x, y, 1.0);
}

void TCurveFit::SubtractSums(double x, double y) noexcept {
  const double x2 = x * x, y2 = y * y;
  sumx -= x;
  sumy -= y;
  sumxq -= x2;
  sumyq -= y2;
  sumDiff -= x - y;
  SumDiffq -= (x - y) * (x - y);
  sumxy -= x * y;
  sumx2y -= x2 * y;
  sumxy2 -= x * y2;
  sumx3 -= x2 * x;
  sumy3 -= y2 * y;
  sumx4 -= x2 * x2;
  sumy4 -= y2 * y2;
  const double rx = std::fabs(x) > kTiny ? 1.0 / x : kBig;
  if (std::fabs(y) > kTiny) {
    sum1byy -= 1.0 / y;
    sum1byyq -= 1.0 / y2;
    sumxbyy -= x / y;
    sum1byxy -= rx / y;
  } else {
    sum1byy -= kBig;
    sum1byyq -= kBig * kBig;
    sumxbyy -= x * kBig;
    sum1byxy -= std::fabs(x) > kTiny ? kBig / x : kBig;
  }
  if (std::fabs(x) > kTiny) {
    sum1byx -= 1.0 / x;
    sum1byxq -= 1.0 / x2;
    sumybyx -= y / x;
  } else {
    sum1byx -= kBig;
    sum1byxq -= kBig * kBig;
    sumybyx -= y * kBig;
  }
  if (x > 0) {
    const double lx = std::log(x);
    sumlnx -= lx;
    sumlnxq -= lx * lx;
    sumylnx -= y * lx;
    sumxlnx -= x * lx;
    sumyqlnx -= y2 * lx;
    if (y != 0) sumlnxbyy -= lx / y;
    if (y > 0) sumlnxlny -= lx * std::log(y);
  }
  if (y > 0) {
    const double ly = std::log(y);
    sumlny -= ly;
    sumylny -= y * ly;
    sumlnyq -= ly * ly;
    sumxlny -= x * ly;
    sumxqlny -= x2 * ly;
    if (x != 0) sumlnybyx -= ly / x;
  }
  ShiftedSums(x, y, -1.0);
}

int32_t TCurveFit::EnterStatValue(double x, double y) {
  if (FNumData == std::numeric_limits<int32_t>::max())
    throw EORKMath2Error(detail::ComponentMsg(*this, kNoHeap));
  if (FNumData >= FData->NrOfRows()) {
    const int64_t rows = std::min<int64_t>(int64_t{FData->NrOfRows()} + kGrowRows,
                                           std::numeric_limits<int32_t>::max());
    detail::Allocate<EORKMath2Error>(*this, kNoHeap,
                                     [&] { FData->Resize(2, static_cast<int32_t>(rows)); });
  }
  AdjustSums(x, y);
  ++FNumData;
  auto& m = detail::MatrixAccess::Storage(*FData);
  const auto rows = static_cast<std::size_t>(FData->NrOfRows());
  m[static_cast<std::size_t>(FNumData) - 1] = x;
  m[rows + static_cast<std::size_t>(FNumData) - 1] = y;
  Invalidate();
  return FNumData;
}

void TCurveFit::RemoveStatValue(int32_t ix) {
  Invalidate();
  if (ix < 1 || ix > FNumData) return;
  auto& m = detail::MatrixAccess::Storage(*FData);
  const auto rows = static_cast<std::size_t>(FData->NrOfRows());
  const auto i = static_cast<std::size_t>(ix) - 1;
  const auto n = static_cast<std::size_t>(FNumData);
  SubtractSums(m[i], m[rows + i]);
  for (std::size_t c = 0; c < 2; ++c) {
    double* col = m.data() + c * rows;
    std::copy(col + i + 1, col + n, col + i);
    col[n - 1] = 0.0;
  }
  --FNumData;
}

void TCurveFit::FlipXY() {
  std::swap(FMinX, FMinY);
  std::swap(FMaxX, FMaxY);
  std::swap(sumx, sumy);
  std::swap(sumxq, sumyq);
  std::swap(sumx2y, sumxy2);
  std::swap(sumx3, sumy3);
  std::swap(sumx4, sumy4);
  std::swap(sum1byy, sum1byx);
  std::swap(sum1byyq, sum1byxq);
  std::swap(sumxbyy, sumybyx);
  std::swap(sumlnx, sumlny);
  std::swap(sumlnxq, sumlnyq);
  std::swap(sumylnx, sumxlny);
  std::swap(sumxlnx, sumylny);
  std::swap(sumlnxbyy, sumlnybyx);
  std::swap(sumxqlny, sumyqlnx);
  sumDiff = -sumDiff;
  std::swap(kx_, ky_);
  std::swap(sdx_, sdy_);
  std::swap(sdxq_, sdyq_);
  sdd_ = -sdd_;
  auto& m = detail::MatrixAccess::Storage(*FData);
  const auto rows = static_cast<std::size_t>(FData->NrOfRows());
  std::swap_ranges(m.begin(), m.begin() + static_cast<std::ptrdiff_t>(rows),
                   m.begin() + static_cast<std::ptrdiff_t>(rows));
}

double TCurveFit::GetDataX(int32_t ix) const noexcept {
  return ix >= 1 && ix <= FNumData ? Xs()[ix - 1] : 0.0;
}
double TCurveFit::GetDataY(int32_t ix) const noexcept {
  return ix >= 1 && ix <= FNumData ? Ys()[ix - 1] : 0.0;
}

void TCurveFit::SetNatural1(bool Value) noexcept {
  FNatural1 = Value;
  FSplineValid = false;
}
void TCurveFit::SetNaturalN(bool Value) noexcept {
  FNaturalN = Value;
  FSplineValid = false;
}
void TCurveFit::SetY1Dash(double Value) noexcept {
  FY1Dash = Value;
  FSplineValid = false;
}
void TCurveFit::SetYNDash(double Value) noexcept {
  FYNDash = Value;
  FSplineValid = false;
}
void TCurveFit::SetSplineSmoothing(double Value) noexcept {
  FPSplineSmooth = Value;
  FPenSplineValid = false;
}

// ---- statistics -------------------------------------------------------------

double TCurveFit::GetMeanX() const noexcept { return FNumData < 1 ? 0.0 : sumx / FNumData; }
double TCurveFit::GetMeanY() const noexcept { return FNumData < 1 ? 0.0 : sumy / FNumData; }
double TCurveFit::GetMeanDiff() const noexcept { return FNumData < 1 ? 0.0 : sumDiff / FNumData; }

namespace {
// sqrt(|(Sq - S^2 / n) / (n - 1)|) on shifted sums (the shift cancels in
// exact arithmetic); 0 for n < 3.
double SdFromSums(double S, double Sq, int32_t n) noexcept {
  if (n < 3) return 0.0;
  return std::sqrt(std::fabs((Sq - S * S / n) / (n - 1)));
}
}  // namespace

double TCurveFit::GetStdDevX() const noexcept { return SdFromSums(sdx_, sdxq_, FNumData); }
double TCurveFit::GetStdDevY() const noexcept { return SdFromSums(sdy_, sdyq_, FNumData); }
double TCurveFit::GetStdDevDiff() const noexcept { return SdFromSums(sdd_, sddq_, FNumData); }

double TCurveFit::GetSkewnessX() const {
  double s = 0, k = 0;
  if (FNumData > 0) FData->SkewKurtSample(1, 1, 1, FNumData, s, k);
  return s;
}
double TCurveFit::GetSkewnessY() const {
  double s = 0, k = 0;
  if (FNumData > 0) FData->SkewKurtSample(2, 1, 2, FNumData, s, k);
  return s;
}
double TCurveFit::GetKurtosisX() const {
  double s = 0, k = 0;
  if (FNumData > 0) FData->SkewKurtSample(1, 1, 1, FNumData, s, k);
  return k;
}
double TCurveFit::GetKurtosisY() const {
  double s = 0, k = 0;
  if (FNumData > 0) FData->SkewKurtSample(2, 1, 2, FNumData, s, k);
  return k;
}

bool TCurveFit::QuartilesX(double& q1, double& q2, double& q3) const {
  q1 = q2 = q3 = 0.0;
  return FNumData > 0 && FData->Quartiles(1, 1, 1, FNumData, q1, q2, q3);
}
bool TCurveFit::QuartilesY(double& q1, double& q2, double& q3) const {
  q1 = q2 = q3 = 0.0;
  return FNumData > 0 && FData->Quartiles(2, 1, 2, FNumData, q1, q2, q3);
}

double TCurveFit::GetRxy() const noexcept {
  const int32_t n = FNumData;
  if (n < 3 || !(sumxq > 0) || !(sumyq > 0)) return 0.0;
  const double a = sdxq_ - sdx_ * sdx_ / n;
  const double b = sdyq_ - sdy_ * sdy_ / n;
  if (a == 0 || b == 0) return 0.0;
  return (sdxy_ - sdx_ * sdy_ / n) / std::sqrt(std::fabs(a * b));
}

void TCurveFit::CalcStatistics(int32_t& NumData, double& MeanX, double& MeanY, double& StdevX,
                               double& StdevY, double& MeanDiff, double& StdevDiff,
                               double& rxy) const noexcept {
  MeanX = MeanY = StdevX = StdevY = MeanDiff = StdevDiff = rxy = 0.0;
  NumData = FNumData;
  if (FNumData > 0) {
    MeanX = GetMeanX();
    MeanY = GetMeanY();
    MeanDiff = GetMeanDiff();
  }
  if (FNumData >= 3) {
    StdevX = GetStdDevX();
    StdevY = GetStdDevY();
    StdevDiff = GetStdDevDiff();
    rxy = GetRxy();
  }
}

double TCurveFit::CalcMeanDegrees(int32_t col) const noexcept {
  if (col != 1 && col != 2) return 0.0;
  const double* v = col == 1 ? Xs() : Ys();
  constexpr double kRad = std::numbers::pi / 180.0;
  double S = 0, C = 0;
  for (int32_t i = 0; i < FNumData; ++i) {
    S += std::sin(v[i] * kRad);
    C += std::cos(v[i] * kRad);
  }
  if (C == 0) return S > 0 ? 90.0 : (S < 0 ? 270.0 : 0.0);
  const double m = std::atan(S / C) / kRad;
  if (C < 0) return m + 180.0;
  if (S < 0) return m + 360.0;
  return m;
}

// ---- rank statistics --------------------------------------------------------

void TCurveFit::BasicRankCounts() {
  FKendallConcord = FKendallDiscord = FKendallTies1 = FKendallTies2 = 0;
  const int32_t n = FNumData;
  if (n >= 3) {
    const double* x = Xs();
    const double* y = Ys();
    int64_t conc = 0, disc = 0, t1 = 0, t2 = 0;
    for (int32_t i = 0; i + 1 < n; ++i) {
      const double xi = x[i], yi = y[i];
      for (int32_t j = i + 1; j < n; ++j) {
        const double dx = xi - x[j];
        const double dy = yi - y[j];
        const double p = dx * dy;
        if (p > 0)
          ++conc;
        else if (p < 0)
          ++disc;
        else if (dx != 0)
          ++t1;
        else if (dy != 0)
          ++t2;
      }
      // One progress step per row; an abort leaves the counts 0 and stale.
      StepProcStat();
      if (AbortMathProc) return;
    }
    FKendallConcord = conc;
    FKendallDiscord = disc;
    FKendallTies1 = t1;
    FKendallTies2 = t2;
  }
  FKendallValid = true;
}

double TCurveFit::KendallsTau(double& p) {
  if (!FKendallValid) BasicRankCounts();
  const auto C = static_cast<double>(FKendallConcord);
  const auto D = static_cast<double>(FKendallDiscord);
  const double den = std::sqrt((C + D + static_cast<double>(FKendallTies1)) *
                               (C + D + static_cast<double>(FKendallTies2)));
  if (den == 0) {
    p = 0;
    return 0;
  }
  const double tau = (C - D) / den;
  const double n = FNumData;
  const double sigma = std::sqrt((4 * n + 10) / (9 * n * (n - 1)));
  p = 1.0 - ErfApprox(std::fabs(tau) / sigma / corvel::uc_sqrt2);
  return tau;
}

double TCurveFit::GetKruskalGamma() {
  if (!FKendallValid) BasicRankCounts();
  const auto C = static_cast<double>(FKendallConcord);
  const auto D = static_cast<double>(FKendallDiscord);
  return C + D == 0 ? 0.0 : (C - D) / (C + D);
}

namespace {
// Mid-ranks (1-based) of v in rank, and the tie sum sum t (t^2 - 1) / 12.
double MidRanks(const double* v, std::size_t n, std::vector<double>& rank) {
  std::vector<std::size_t> idx(n);
  std::iota(idx.begin(), idx.end(), std::size_t{0});
  // NaN sorts after every number (a strict weak order also then).
  std::sort(idx.begin(), idx.end(), [v](std::size_t a, std::size_t b) {
    return v[a] < v[b] || (!std::isnan(v[a]) && std::isnan(v[b]));
  });
  rank.assign(n, 0.0);
  double ties = 0;
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i + 1;
    while (j < n && v[idx[j]] == v[idx[i]]) ++j;
    const double t = static_cast<double>(j - i);
    const double mid = (static_cast<double>(i + 1) + static_cast<double>(j)) / 2.0;
    for (std::size_t k = i; k < j; ++k) rank[idx[k]] = mid;
    if (j - i >= 2) ties += t * (t * t - 1.0) / 12.0;
    i = j;
  }
  return ties;
}
}  // namespace

double TCurveFit::GetSpearman() const {
  const int32_t n = FNumData;
  if (n < 3) return 0.0;
  std::vector<double> rx, ry;
  double Tx = 0, Ty = 0;
  detail::Allocate<EORKMath2Error>(*this, kNoHeap, [&] {
    Tx = MidRanks(Xs(), static_cast<std::size_t>(n), rx);
    Ty = MidRanks(Ys(), static_cast<std::size_t>(n), ry);
  });
  // D = sum of squared rank differences, compensated (Neumaier).
  double D = 0, comp = 0;
  for (int32_t i = 0; i < n; ++i) {
    const double d = rx[static_cast<std::size_t>(i)] - ry[static_cast<std::size_t>(i)];
    const double t = D + d * d;
    comp += std::fabs(D) >= d * d ? (D - t) + d * d : (d * d - t) + D;
    D = t;
  }
  D += comp;
  const double nn = n;
  const double N3 = nn * (nn * nn - 1.0);
  if (Tx == 0 && Ty == 0) return 1.0 - 6.0 * D / N3;
  if (N3 == 12 * Tx || N3 == 12 * Ty) return 0.0;
  return (N3 - 6.0 * (D + Tx + Ty)) / std::sqrt((N3 - 12 * Tx) * (N3 - 12 * Ty));
}

}  // namespace numbra
