// TFastFourier: storage, windows, the transform driver and the spectrum
// quantities. The butterflies themselves are in fft_kernels.inc.
#include "ORK_fourier.h"
#include "foundation/frame_detail.h"
#include "fourier/fft_detail.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace numbra {

NUMBRA_DEFINE_EXCEPTION(EORKFourierError);

namespace {

constexpr int32_t kMaxNumData = int32_t{1} << 23;
constexpr double kPi = std::numbers::pi;

int Log2Of(int32_t n) noexcept { return std::countr_zero(static_cast<uint32_t>(n)); }

// Rounds half to even, independent of the floating-point rounding mode.
double RoundHalfEven(double x) noexcept {
  const double fl = std::floor(x);
  const double diff = x - fl;  // exact for every finite x
  if (diff < 0.5) return fl;
  if (diff > 0.5) return fl + 1.0;
  return std::fmod(fl, 2.0) == 0.0 ? fl : fl + 1.0;
}

// Euclidean length of a stream of values without overflow or harmful
// underflow: the sum of squares is kept relative to the largest magnitude
// seen so far (the scaled accumulation of the reference BLAS dnrm2).
class ScaledNorm {
 public:
  void Add(double x) noexcept {
    const double a = std::fabs(x);
    if (std::isnan(a)) {
      nan_ = true;
    } else if (a > scale_) {
      if (std::isinf(a)) {
        inf_ = true;
        return;
      }
      const double r = scale_ / a;
      ssq_ = 1.0 + ssq_ * r * r;
      scale_ = a;
    } else if (a > 0.0) {
      const double r = a / scale_;
      ssq_ += r * r;
    }
  }
  [[nodiscard]] double Value() const noexcept {
    if (nan_) return std::numeric_limits<double>::quiet_NaN();
    if (inf_) return std::numeric_limits<double>::infinity();
    return scale_ == 0.0 ? 0.0 : scale_ * std::sqrt(ssq_);
  }

 private:
  double scale_ = 0.0;
  double ssq_ = 0.0;
  bool nan_ = false;
  bool inf_ = false;
};

}  // namespace

struct TFastFourier::Workspace {
  detail::fft::Plan plan;
};

namespace {

// Whether P is the plan for n values. Checked inline on every transform, so
// that the common case costs no call.
inline bool PlanFits(const detail::fft::Plan& P, int32_t n) noexcept {
  return P.Log2N >= 0 && (int32_t{1} << P.Log2N) == n;
}

}  // namespace

TFastFourier::TFastFourier(TComponent* AOwner) : TComponent(AOwner) {
  detail::Allocate<EORKFourierError>(*this, "not enough memory on heap", [this] {
    FData.assign(2 * static_cast<std::size_t>(FNumData), 0.0);
    FUserWgt.assign(static_cast<std::size_t>(FNumData), 1.0);
  });
}

TFastFourier::~TFastFourier() = default;

void TFastFourier::SetNumData(int32_t n) {
  if (n < 1 || n > kMaxNumData || (n & (n - 1)) != 0)
    throw EORKFourierError(detail::ComponentMsg(*this, "data length must be power of 2"));
  std::vector<double> data;
  std::vector<double> wgt;
  detail::Allocate<EORKFourierError>(*this, "not enough memory on heap", [&] {
    data.assign(2 * static_cast<std::size_t>(n), 0.0);
    wgt.assign(static_cast<std::size_t>(n), 0.0);
  });
  FData.swap(data);
  FUserWgt.swap(wgt);
  FNumData = n;
  MaxValuesValid = false;
  // The working area belongs to the old length; release it now rather than
  // keep a large one around.
  if (work_ && work_->plan.Log2N != Log2Of(n)) work_.reset();
}

// ---- samples ----------------------------------------------------------------

double TFastFourier::GetRealVal(int32_t ix) const noexcept {
  return (ix >= 1 && ix <= FNumData) ? FData[2 * static_cast<std::size_t>(ix) - 2] : 0.0;
}

double TFastFourier::GetImagVal(int32_t ix) const noexcept {
  return (ix >= 1 && ix <= FNumData) ? FData[2 * static_cast<std::size_t>(ix) - 1] : 0.0;
}

void TFastFourier::SetRealVal(int32_t ix, double v) noexcept {
  if (ix < 1 || ix > FNumData) return;
  FData[2 * static_cast<std::size_t>(ix) - 2] = v;
  MaxValuesValid = false;
}

void TFastFourier::SetImagVal(int32_t ix, double v) noexcept {
  if (ix < 1 || ix > FNumData) return;
  FData[2 * static_cast<std::size_t>(ix) - 1] = v;
  MaxValuesValid = false;
}

double TFastFourier::GetWgtVal(int32_t ix) const noexcept {
  return (ix >= 1 && ix <= FNumData) ? FUserWgt[static_cast<std::size_t>(ix) - 1] : 0.0;
}

void TFastFourier::SetWgtVal(int32_t ix, double v) noexcept {
  if (ix >= 1 && ix <= FNumData) FUserWgt[static_cast<std::size_t>(ix) - 1] = v;
}

void TFastFourier::Clear() noexcept {
  std::fill(FData.begin(), FData.end(), 0.0);
  MaxValuesValid = false;
}

void TFastFourier::ClearReal() noexcept {
  for (std::size_t k = 0; k < FData.size(); k += 2) FData[k] = 0.0;
  MaxValuesValid = false;
}

void TFastFourier::ClearImag() noexcept {
  for (std::size_t k = 1; k < FData.size(); k += 2) FData[k] = 0.0;
  MaxValuesValid = false;
}

// ---- transforms ---------------------------------------------------------------

void TFastFourier::PrepareWorkspace() {
  if (work_ && PlanFits(work_->plan, FNumData)) return;
  const int l = Log2Of(FNumData);
  detail::Allocate<EORKFourierError>(*this, "not enough memory on heap", [&] {
    if (!work_) work_ = std::make_unique<Workspace>();
    detail::fft::BuildPlan(work_->plan, l);
  });
}

void TFastFourier::ApplyWindow() noexcept {
  const auto n = static_cast<std::size_t>(FNumData);
  const double nd = FNumData;
  const double half = nd / 2.0;
  auto scale = [this](std::size_t i, double w) {  // i 1-based
    FData[2 * i - 2] *= w;
    FData[2 * i - 1] *= w;
  };
  // Generalised cosine windows a0 + a1 cos(2 pi c/N) + a2 cos(4 pi c/N) +
  // a3 cos(6 pi c/N); the higher harmonics come from the Chebyshev
  // recurrence cos((m+1)x) = 2 cos x cos(mx) - cos((m-1)x), which adds at
  // most a few ulps to the single cosine.
  auto cosine_sum = [&](double a0, double a1, double a2, double a3) {
    for (std::size_t i = 1; i <= n; ++i) {
      const double c1 = std::cos(2.0 * kPi * (static_cast<double>(i) - half) / nd);
      const double c2 = 2.0 * c1 * c1 - 1.0;
      const double c3 = 2.0 * c1 * c2 - c1;
      scale(i, a0 + a1 * c1 + a2 * c2 + a3 * c3);
    }
  };
  switch (FWgtWin) {
    case TFastFourierWgtWin::fwRectangle:
      break;
    case TFastFourierWgtWin::fwTriangle:
      for (std::size_t i = 1; i <= n / 2; ++i) {
        const double w = 2.0 * static_cast<double>(i) / nd;
        scale(i, w);
        scale(n - i + 1, w);
      }
      break;
    case TFastFourierWgtWin::fwCos2:
      for (std::size_t i = 1; i <= n; ++i) {
        const double c = std::cos(kPi * (static_cast<double>(i) - half) / nd);
        scale(i, c * c);
      }
      break;
    case TFastFourierWgtWin::fwGauss:
      for (std::size_t i = 1; i <= n; ++i) {
        const double r = 6.0 * (static_cast<double>(i) - half) / nd;
        scale(i, std::exp(-0.5 * r * r));
      }
      break;
    case TFastFourierWgtWin::fwHamming:
      cosine_sum(0.543478261, 0.456521739, 0.0, 0.0);
      break;
    case TFastFourierWgtWin::fwBlackman:
      cosine_sum(0.42659, 0.49656, 0.076848, 0.0);
      break;
    case TFastFourierWgtWin::fwBlkmHarris:
      cosine_sum(0.35875, 0.48829, 0.14128, 0.01168);
      break;
    case TFastFourierWgtWin::fwBlkmNuttall:
      cosine_sum(0.3635819, 0.4891775, 0.1365995, 0.0106411);
      break;
    case TFastFourierWgtWin::fwUserDef:
      for (std::size_t i = 1; i <= n; ++i) scale(i, FUserWgt[i - 1]);
      break;
  }
}

// Transform and InverseTransform are DoFFT(1) and DoFFT(-1) with the checks
// that cannot fail left out, so that short transforms cost little more than
// their butterflies.
void TFastFourier::Transform() {
  // The working area before the window, so that a failure changes nothing.
  if (!work_ || !PlanFits(work_->plan, FNumData)) PrepareWorkspace();
  if (FWgtWin != TFastFourierWgtWin::fwRectangle) ApplyWindow();
  detail::fft::Execute(work_->plan, FData.data(), false);
  MaxValuesValid = false;
}

void TFastFourier::InverseTransform() {
  if (!work_ || !PlanFits(work_->plan, FNumData)) PrepareWorkspace();
  detail::fft::Execute(work_->plan, FData.data(), true);
  MaxValuesValid = false;
}

void TFastFourier::DoFFT(int32_t isign) {
  if (isign != 1 && isign != -1)
    throw EORKFourierError(detail::ComponentMsg(*this, "transform direction must be 1 or -1"));
  if (!work_ || !PlanFits(work_->plan, FNumData)) PrepareWorkspace();
  detail::fft::Execute(work_->plan, FData.data(), isign < 0);
  MaxValuesValid = false;
}

// ---- spectrum ----------------------------------------------------------------

double TFastFourier::GetPowerSpec(int32_t ix) const noexcept {
  const int32_t n = FNumData;
  if (ix < 0 || ix > n / 2) return 0.0;
  const auto re = [this](int32_t k) { return FData[2 * static_cast<std::size_t>(k)]; };
  const auto im = [this](int32_t k) { return FData[2 * static_cast<std::size_t>(k) + 1]; };
  double p = re(ix) * re(ix) + im(ix) * im(ix);
  if (ix > 0) p += re(n - ix) * re(n - ix) + im(n - ix) * im(n - ix);
  return p / n;
}

double TFastFourier::GetMagnitude(int32_t ix) const noexcept {
  const int32_t n = FNumData;
  if (ix < 0 || ix > n / 2) return 0.0;
  const double* d = FData.data();
  if (ix == 0) return std::hypot(d[0], d[1]) / n;
  const std::size_t a = 2 * static_cast<std::size_t>(ix);
  const std::size_t b = 2 * static_cast<std::size_t>(n - ix);
  return std::hypot(d[a] + d[b], d[a + 1] - d[b + 1]) / n;
}

double TFastFourier::GetPhase(int32_t ix) const noexcept {
  if (ix < 1 || ix > FNumData / 2) return 0.0;
  const double re = FData[2 * static_cast<std::size_t>(ix)];
  const double im = FData[2 * static_cast<std::size_t>(ix) + 1];
  if (re == 0.0) return im > 0.0 ? kPi / 2 : -kPi / 2;
  return std::atan(im / re);
}

double TFastFourier::GetFSerSin(int32_t n) const noexcept {
  if (n < 1 || n > FNumData / 2) return 0.0;
  return (FData[2 * static_cast<std::size_t>(n) + 1] -
          FData[2 * static_cast<std::size_t>(FNumData - n) + 1]) /
         FNumData;
}

double TFastFourier::GetFSerCos(int32_t n) const noexcept {
  if (n < 0 || n > FNumData / 2) return 0.0;
  if (n == 0) return FData[0] / FNumData;
  return (FData[2 * static_cast<std::size_t>(n)] +
          FData[2 * static_cast<std::size_t>(FNumData - n)]) /
         FNumData;
}

double TFastFourier::RMS(int32_t FirstIx, int32_t LastIx) const noexcept {
  const int32_t top = FNumData / 2;
  int32_t first = std::clamp(FirstIx, 0, top);
  int32_t last = std::clamp(LastIx, 0, top);
  if (first > last) std::swap(first, last);
  ScaledNorm norm;
  for (int32_t k = first; k <= last; ++k) {
    const std::size_t a = 2 * static_cast<std::size_t>(k);
    norm.Add(FData[a]);
    norm.Add(FData[a + 1]);
    if (k > 0) {
      const std::size_t b = 2 * static_cast<std::size_t>(FNumData - k);
      norm.Add(FData[b]);
      norm.Add(FData[b + 1]);
    }
  }
  return norm.Value() / FNumData;
}

double TFastFourier::FreqOfLine(int32_t ix, double SampleTime) const noexcept {
  if (ix < 1 || ix > FNumData / 2) return 0.0;
  if (!(SampleTime > 0.0) || !std::isfinite(SampleTime)) return 0.0;
  return ix / SampleTime / FNumData;
}

int32_t TFastFourier::LineOfFreq(double f, double SampleTime) const noexcept {
  if (!(SampleTime > 0.0) || !std::isfinite(SampleTime)) return 0;
  const double k = RoundHalfEven(f * FNumData * SampleTime);
  // Also false for NaN; the range check comes before the conversion.
  if (!(k >= 1.0 && k <= FNumData / 2)) return 0;
  return static_cast<int32_t>(k);
}

// ---- cached extremes ------------------------------------------------------------

void TFastFourier::CalcMaxValues() noexcept {
  FMaxReal = -uc_MaxDouble;
  FMaxImag = -uc_MaxDouble;
  FMinReal = uc_MaxDouble;
  FMinImag = uc_MaxDouble;
  const std::size_t n = static_cast<std::size_t>(FNumData);
  const double* d = FData.data();
  for (std::size_t k = 0; k < n; ++k) {
    const double re = d[2 * k];
    const double im = d[2 * k + 1];
    // Comparisons are false for NaN, so NaN values are skipped.
    if (re > FMaxReal) FMaxReal = re;
    if (re < FMinReal) FMinReal = re;
    if (im > FMaxImag) FMaxImag = im;
    if (im < FMinImag) FMinImag = im;
  }
  FMaxPower = 0.0;
  FMaxMagni = 0.0;
  for (std::size_t k = 1; k <= n / 2; ++k) {
    const std::size_t a = 2 * k;
    const std::size_t b = 2 * (n - k);
    if (k < n / 2) {
      const double p =
          (d[a] * d[a] + d[a + 1] * d[a + 1] + d[b] * d[b] + d[b + 1] * d[b + 1]) / FNumData;
      if (p > FMaxPower) FMaxPower = p;
    }
    const double m = std::hypot(d[a] + d[b], d[a + 1] - d[b + 1]) / FNumData;
    if (m > FMaxMagni) FMaxMagni = m;
  }
  MaxValuesValid = true;
}

double TFastFourier::GetMaxReal() {
  if (!MaxValuesValid) CalcMaxValues();
  return FMaxReal;
}
double TFastFourier::GetMaxImag() {
  if (!MaxValuesValid) CalcMaxValues();
  return FMaxImag;
}
double TFastFourier::GetMinReal() {
  if (!MaxValuesValid) CalcMaxValues();
  return FMinReal;
}
double TFastFourier::GetMinImag() {
  if (!MaxValuesValid) CalcMaxValues();
  return FMinImag;
}
double TFastFourier::GetMaxPower() {
  if (!MaxValuesValid) CalcMaxValues();
  return FMaxPower;
}
double TFastFourier::GetMaxMagni() {
  if (!MaxValuesValid) CalcMaxValues();
  return FMaxMagni;
}

// ---- persistence ------------------------------------------------------------------

void TFastFourier::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TFastFourier*>(Source)) {
    if (src == this) return;
    detail::Allocate<EORKFourierError>(*this, "not enough memory on heap", [&] {
      std::vector<double> data(src->FData);
      std::vector<double> wgt(src->FUserWgt);
      FData.swap(data);
      FUserWgt.swap(wgt);
    });
    FNumData = src->FNumData;
    FWgtWin = src->FWgtWin;
    MaxValuesValid = src->MaxValuesValid;
    FMaxReal = src->FMaxReal;
    FMaxImag = src->FMaxImag;
    FMinReal = src->FMinReal;
    FMinImag = src->FMinImag;
    FMaxPower = src->FMaxPower;
    FMaxMagni = src->FMaxMagni;
    return;
  }
  TPersistent::Assign(Source);
}

void TFastFourier::AssignTo(TPersistent* Dest) {
  if (auto* dst = dynamic_cast<TFastFourier*>(Dest)) {
    dst->Assign(this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

}  // namespace numbra
