// TWavelet1D: Daubechies filters, the single analysis / synthesis step with
// its three signal extensions, and the multi-level transform.
#include "ORK_wavelet.h"
#include "foundation/frame_detail.h"

#include <algorithm>

namespace numbra {

NUMBRA_DEFINE_EXCEPTION(EORKWaveletError);

namespace {

constexpr int32_t kMaxNumData = int32_t{1} << 23;

// Orthonormal Daubechies scaling filters of orders 1 to 3 (sum sqrt 2, sum of
// squares 1).
constexpr double kHaar[] = {0.7071067811865476, 0.7071067811865476};
constexpr double kDaub4[] = {0.48296291314453416, 0.8365163037378079, 0.2241438680420134,
                             -0.12940952255126037};
constexpr double kDaub6[] = {0.33267055295008263,  0.8068915093110925,   0.45987750211849154,
                             -0.13501102001025458, -0.08544127388202666, 0.03522629188570953};

// Position inside 0..len-1 that stands for source index s < 0, or -1 when
// the sample is zero.
std::ptrdiff_t Extend(std::ptrdiff_t s, std::ptrdiff_t len, TWLSigExtMode mode) noexcept {
  switch (mode) {
    case TWLSigExtMode::wseWrap:
      return ((s % len) + len) % len;
    case TWLSigExtMode::wseZeroPad:
      return -1;
    case TWLSigExtMode::wseSymmetric: {
      // Half-sample symmetric continuation, periodic with period 2 len:
      // -1 -> 0, -2 -> 1, ..., -len -> len - 1, -len - 1 -> len - 1, ...
      const std::ptrdiff_t period = 2 * len;
      const std::ptrdiff_t t = ((s % period) + period) % period;
      return t >= len ? period - 1 - t : t;
    }
  }
  return -1;
}

// Interior of the analysis step (every source index inside the segment):
// approximation i-1 and detail H+i-1 for i = first..h, with the filter
// length a compile-time constant so that the tap loop unrolls.
template <int Taps>
void AnalyseInterior(const double* x, double* w, std::size_t h, std::size_t first, const double* lp,
                     const double* hp) noexcept {
  constexpr std::size_t k = Taps / 2;
  for (std::size_t i = first; i <= h; ++i) {
    const double* src = x + 2 * (i - k);
    double a = 0.0;
    double d = 0.0;
    for (int m = 0; m < Taps; ++m) {
      a += lp[m] * src[m];
      d += hp[m] * src[m];
    }
    w[i - 1] = a;
    w[h + i - 1] = d;
  }
}

template <int Taps>
void SynthesiseInterior(const double* x, double* w, std::size_t h, std::size_t first,
                        const double* lp, const double* hp) noexcept {
  constexpr std::size_t k = Taps / 2;
  for (std::size_t i = first; i <= h; ++i) {
    const double a = x[i - 1];
    const double d = x[h + i - 1];
    double* dst = w + 2 * (i - k);
    for (int m = 0; m < Taps; ++m) dst[m] += lp[m] * a + hp[m] * d;
  }
}

}  // namespace

TWavelet1D::TWavelet1D(TComponent* AOwner) : TComponent(AOwner) {
  detail::Allocate<EORKWaveletError>(*this, "not enough memory on heap", [this] {
    FData.assign(static_cast<std::size_t>(FNumData), 0.0);
    FCoeffsLP.reserve(6);
    FCoeffsHP.reserve(6);
  });
  SetOrder(2);
}

TWavelet1D::~TWavelet1D() = default;

void TWavelet1D::SetNumData(int32_t n) {
  if (n < 1 || n > kMaxNumData || (n & (n - 1)) != 0)
    throw EORKWaveletError(detail::ComponentMsg(*this, "data length must be power of 2"));
  std::vector<double> data;
  detail::Allocate<EORKWaveletError>(*this, "not enough memory on heap",
                                     [&] { data.assign(static_cast<std::size_t>(n), 0.0); });
  FData.swap(data);
  FNumData = n;
}

void TWavelet1D::SetOrder(int32_t K) {
  std::span<const double> lp;
  switch (K) {
    case 1:
      lp = kHaar;
      break;
    case 2:
      lp = kDaub4;
      break;
    case 3:
      lp = kDaub6;
      break;
    default:
      throw EORKWaveletError(
          detail::ComponentMsg(*this, "invalid order of Daubechies wavelet family"));
  }
  const std::size_t taps = lp.size();
  // Capacity for six taps was reserved at construction: no allocation here.
  FCoeffsLP.assign(lp.begin(), lp.end());
  FCoeffsHP.resize(taps);
  for (std::size_t m = 0; m < taps; ++m)  // quadrature mirror g_m = (-1)^m h_(2K-1-m)
    FCoeffsHP[m] = (m % 2 == 0 ? 1.0 : -1.0) * lp[taps - 1 - m];
  FOrder = K;
}

void TWavelet1D::Clear() noexcept { std::fill(FData.begin(), FData.end(), 0.0); }

void TWavelet1D::Step(std::size_t Len, std::size_t Offset, bool Inverse,
                      std::vector<double>& Work) noexcept {
  double* x = FData.data() + Offset;
  double* w = Work.data();
  const std::size_t h = Len / 2;
  const std::size_t k = static_cast<std::size_t>(FOrder);
  const std::size_t taps = 2 * k;
  const double* lp = FCoeffsLP.data();
  const double* hp = FCoeffsHP.data();
  std::fill(w, w + Len, 0.0);
  // Rows i < K reach before the start of the segment (source index
  // 2 (i - K) + m < 0 for small m) and go through the extension rule; the
  // rows i >= K stay inside it (their last index is 2 i - 1 <= Len - 1).
  const std::size_t boundary = std::min(k - 1, h);
  const auto len = static_cast<std::ptrdiff_t>(Len);
  for (std::size_t i = 1; i <= boundary; ++i) {
    const std::ptrdiff_t s0 = 2 * (static_cast<std::ptrdiff_t>(i) - static_cast<std::ptrdiff_t>(k));
    if (!Inverse) {
      double a = 0.0;
      double d = 0.0;
      for (std::size_t m = 0; m < taps; ++m) {
        const std::ptrdiff_t s = s0 + static_cast<std::ptrdiff_t>(m);
        const std::ptrdiff_t p = s >= 0 ? s : Extend(s, len, FWLSigExtMode);
        if (p < 0) continue;
        a += lp[m] * x[p];
        d += hp[m] * x[p];
      }
      w[i - 1] = a;
      w[h + i - 1] = d;
    } else {
      const double a = x[i - 1];
      const double d = x[h + i - 1];
      for (std::size_t m = 0; m < taps; ++m) {
        const std::ptrdiff_t s = s0 + static_cast<std::ptrdiff_t>(m);
        const std::ptrdiff_t p = s >= 0 ? s : Extend(s, len, FWLSigExtMode);
        if (p >= 0) w[p] += lp[m] * a + hp[m] * d;
      }
    }
  }
  const std::size_t first = boundary + 1;
  if (!Inverse) {
    switch (taps) {
      case 2:
        AnalyseInterior<2>(x, w, h, first, lp, hp);
        break;
      case 4:
        AnalyseInterior<4>(x, w, h, first, lp, hp);
        break;
      default:
        AnalyseInterior<6>(x, w, h, first, lp, hp);
        break;
    }
  } else {
    switch (taps) {
      case 2:
        SynthesiseInterior<2>(x, w, h, first, lp, hp);
        break;
      case 4:
        SynthesiseInterior<4>(x, w, h, first, lp, hp);
        break;
      default:
        SynthesiseInterior<6>(x, w, h, first, lp, hp);
        break;
    }
  }
  std::copy(w, w + Len, x);
}

void TWavelet1D::PartialWLT(int32_t Len, int32_t Offset, bool Inverse) {
  if (Len < 2 || Len % 2 != 0 || Offset < 0 || int64_t{Offset} + Len > FNumData) return;
  std::vector<double> work;
  detail::Allocate<EORKWaveletError>(*this, "not enough memory on heap",
                                     [&] { work.resize(static_cast<std::size_t>(Len)); });
  Step(static_cast<std::size_t>(Len), static_cast<std::size_t>(Offset), Inverse, work);
}

void TWavelet1D::SingleStep(bool inverse) { PartialWLT(FNumData, 0, inverse); }

void TWavelet1D::DoWLT(int32_t Level, bool Inverse) {
  if (FNumData < 2) return;
  const int32_t levels = std::max(Level, int32_t{1});
  std::vector<double> work;
  detail::Allocate<EORKWaveletError>(*this, "not enough memory on heap",
                                     [&] { work.resize(static_cast<std::size_t>(FNumData)); });
  const auto n = static_cast<std::size_t>(FNumData);
  int32_t done = 0;
  if (!Inverse) {
    for (std::size_t len = n; len >= 2 && done < levels; len /= 2, ++done)
      Step(len, 0, false, work);
  } else {
    for (std::size_t len = 2; len <= n && done < levels; len *= 2, ++done) Step(len, 0, true, work);
  }
}

void TWavelet1D::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TWavelet1D*>(Source)) {
    if (src == this) return;
    detail::Allocate<EORKWaveletError>(*this, "not enough memory on heap", [&] {
      std::vector<double> data(src->FData);
      FData.swap(data);
    });
    FNumData = src->FNumData;
    FCoeffsLP = src->FCoeffsLP;  // at most six taps: within the reserved capacity
    FCoeffsHP = src->FCoeffsHP;
    FOrder = src->FOrder;
    FWLSigExtMode = src->FWLSigExtMode;
    FWaveletFam = src->FWaveletFam;
    return;
  }
  TPersistent::Assign(Source);
}

void TWavelet1D::AssignTo(TPersistent* Dest) {
  if (auto* dst = dynamic_cast<TWavelet1D*>(Dest)) {
    dst->Assign(this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

}  // namespace numbra
