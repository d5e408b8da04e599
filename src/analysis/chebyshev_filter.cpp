// Chebyshev type I recursive filters: the cascade design and the zero-phase
// forward-backward filter.
//
// Design (S. W. Smith, The Scientist and Engineer's Guide to DSP, ch. 20):
// the analog Butterworth poles on the unit circle are moved onto the
// Chebyshev ellipse (scaled so that the -3 dB point stays at 1 rad/s), each
// conjugate pair is mapped to a 2-pole digital stage by the bilinear
// transform with T = 2 tan(1/2) (which puts the prototype's cut-off at 1
// rad per sample), the stage is moved to the requested cut-off by the
// low-pass to low-pass or low-pass to high-pass all-pass substitution, and
// the stages are multiplied out into one recursion whose gain is finally
// set to 1 in the pass band.
#include "ORK_math2.h"
#include "analysis/smoothing_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <span>
#include <string>
#include <vector>

namespace numbra {

namespace {

constexpr int32_t kMaxPoles = 20;

struct Stage {
  double a0, a1, a2, b1, b2;
};

Stage StageCoeffs(int32_t p, int32_t np, bool high_pass, double fc, double pr) {
  const double pi = std::numbers::pi;
  const double angle = pi / (2.0 * np) + (p - 1) * pi / np;
  double rp = -std::cos(angle);
  double ip = std::sin(angle);
  if (pr != 0) {
    // (100 / (100 - PR))^2 - 1 written as PR (200 - PR) / (100 - PR)^2: no
    // cancellation for small ripples.
    const double es = std::sqrt(pr * (200.0 - pr)) / (100.0 - pr);
    const double vx = std::asinh(1.0 / es) / np;
    const double kx = std::cosh(std::acosh(1.0 / es) / np);
    rp *= std::sinh(vx) / kx;
    ip *= std::cosh(vx) / kx;
  }
  const double t = 2.0 * std::tan(0.5);
  const double w = 2.0 * pi * fc;
  const double m = rp * rp + ip * ip;
  double d = 4.0 - 4.0 * rp * t + m * t * t;
  const double x0 = t * t / d;
  const double x1 = 2.0 * t * t / d;
  const double x2 = x0;
  const double y1 = (8.0 - 2.0 * m * t * t) / d;
  const double y2 = (-4.0 - 4.0 * rp * t - m * t * t) / d;
  const double k = high_pass ? -std::cos(w / 2.0 + 0.5) / std::cos(w / 2.0 - 0.5)
                             : std::sin(0.5 - w / 2.0) / std::sin(0.5 + w / 2.0);
  d = 1.0 + y1 * k - y2 * k * k;
  Stage s{(x0 - x1 * k + x2 * k * k) / d, (-2.0 * x0 * k + x1 + x1 * k * k - 2.0 * x2 * k) / d,
          (x0 * k * k - x1 * k + x2) / d, (2.0 * k + y1 + y1 * k * k - 2.0 * y2 * k) / d,
          (-k * k - y1 * k + y2) / d};
  if (high_pass) {
    s.a1 = -s.a1;
    s.b1 = -s.b1;
  }
  return s;
}

// Compensated summation (Neumaier's variant of Kahan's).
class Neumaier {
 public:
  void Add(double v) {
    const double t = sum_ + v;
    comp_ += (std::fabs(sum_) >= std::fabs(v)) ? (sum_ - t) + v : (v - t) + sum_;
    sum_ = t;
  }
  [[nodiscard]] double Value() const { return sum_ + comp_; }

 private:
  double sum_ = 0.0, comp_ = 0.0;
};

[[noreturn]] void FailCoeffs(const char* text) {
  throw EORKMath2Error(std::string("CalcChebFilterCoeffs: ") + text);
}

}  // namespace

void CalcChebFilterCoeffs(int32_t NPoles, bool HighPass, double CutOff, double Ripple, double& A0,
                          TMatrix* Coeffs) {
  if (NPoles % 2 != 0) FailCoeffs("NPoles must be even");
  if (!(Ripple >= 0.0 && Ripple <= 29.0)) FailCoeffs("invalid Ripple value");
  // A low pass at 0 and a high pass at half the sampling rate have no pass
  // band to normalise: their gain G below would be 0.
  if (!(CutOff >= 0.0 && CutOff <= 0.5) || (HighPass ? CutOff == 0.5 : CutOff == 0.0))
    FailCoeffs("invalid cutoff frequency");
  if (NPoles < 2 || NPoles > kMaxPoles) FailCoeffs("NPoles must be between 2 and 20");
  if (Coeffs == nullptr) FailCoeffs("Coeffs is undefined");

  // Numerator A and denominator B as polynomials in z^-1, stored from index 2
  // so that the stage recursion may read two places below without a test.
  constexpr std::size_t kLen = kMaxPoles + 3;
  double a[kLen] = {}, b[kLen] = {}, ta[kLen], tb[kLen];
  a[2] = b[2] = 1.0;
  for (int32_t p = 1; p <= NPoles / 2; ++p) {
    const Stage s = StageCoeffs(p, NPoles, HighPass, CutOff, Ripple);
    std::copy(std::begin(a), std::end(a), std::begin(ta));
    std::copy(std::begin(b), std::end(b), std::begin(tb));
    for (std::size_t i = 2; i < kLen; ++i) {
      a[i] = s.a0 * ta[i] + s.a1 * ta[i - 1] + s.a2 * ta[i - 2];
      b[i] = tb[i] - s.b1 * tb[i - 1] - s.b2 * tb[i - 2];
    }
  }
  b[2] = 0.0;
  for (std::size_t i = 0; i + 2 < kLen; ++i) {
    a[i] = a[i + 2];
    b[i] = -b[i + 2];
  }
  // Gain at zero frequency (low pass) or at half the sampling rate (high
  // pass, z = -1) of the multiplied-out recursion itself, so that the
  // coefficients as stored have unit pass-band gain. 1 - sum b is a
  // difference of nearly equal numbers when the poles lie close to the unit
  // circle (low cut-offs, many poles): both sums are accumulated with
  // Neumaier compensation, which keeps the gain of the stored recursion at 1
  // to a few ulps where plain sums lose up to kappa * eps, kappa = (1 + sum
  // |b|) / |1 - sum b| (about 1e8 for 8 poles at 0.05).
  Neumaier sa, den;
  den.Add(1.0);
  for (std::size_t i = 0; i + 2 < kLen; ++i) {
    const double sign = (HighPass && i % 2 == 1) ? -1.0 : 1.0;
    sa.Add(a[i] * sign);
    den.Add(-b[i] * sign);  // exact: the product by +-1 does not round
  }
  const double g = sa.Value() / den.Value();
  for (std::size_t i = 0; i + 2 < kLen; ++i) a[i] /= g;
  // A cut-off so close to the end of the band that the gain underflows
  // leaves no usable design.
  for (std::size_t i = 0; i + 2 < kLen; ++i)
    if (!std::isfinite(a[i]) || !std::isfinite(b[i])) FailCoeffs("invalid cutoff frequency");

  Coeffs->Resize(2, NPoles);
  for (int32_t k = 1; k <= NPoles; ++k) {
    Coeffs->SetVal(1, k, a[k]);
    Coeffs->SetVal(2, k, b[k]);
  }
  A0 = a[0];
}

namespace {

// One pass of the recursion y[i] = a_0 x[i] + sum_{k=1..NP} (a_k x[i - k] +
// b_k y[i - k]), i = 0..n-1, where element i of x and y lies at offset
// Dir * i from the given pointers (Dir = -1 runs backwards through memory)
// and NP zeros lie before element 0. The sum is grouped as (feed-forward +
// older feedback) + b_1 y[i - 1]: the dependency from one output to the
// next is then a single multiply and add, and everything else overlaps with
// it. The template unrolls the common orders.
template <int32_t NP, std::ptrdiff_t Dir>
void PassT(const double* x, double* y, std::size_t n, const double* a, const double* b,
           int32_t np_dyn) {
  const std::ptrdiff_t np = NP > 0 ? NP : np_dyn;
  for (std::ptrdiff_t i = 0; i < static_cast<std::ptrdiff_t>(n); ++i) {
    double ff = a[0] * x[Dir * i];
    for (std::ptrdiff_t k = 1; k <= np; ++k) ff += a[k] * x[Dir * (i - k)];
    double fb = 0.0;
    for (std::ptrdiff_t k = np; k >= 2; --k) fb += b[k] * y[Dir * (i - k)];
    y[Dir * i] = (ff + fb) + b[1] * y[Dir * (i - 1)];
  }
}

template <std::ptrdiff_t Dir>
void Pass(const double* x, double* y, std::size_t n, const double* a, const double* b, int32_t np) {
  switch (np) {
    case 2:
      return PassT<2, Dir>(x, y, n, a, b, np);
    case 4:
      return PassT<4, Dir>(x, y, n, a, b, np);
    case 6:
      return PassT<6, Dir>(x, y, n, a, b, np);
    case 8:
      return PassT<8, Dir>(x, y, n, a, b, np);
    case 10:
      return PassT<10, Dir>(x, y, n, a, b, np);
    case 12:
      return PassT<12, Dir>(x, y, n, a, b, np);
    default:
      return PassT<0, Dir>(x, y, n, a, b, np);
  }
}

}  // namespace

void ChebychevFilter(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx, TVector* DestVec,
                     double A0, const TMatrix* Coeffs) {
  constexpr const char* r = "ChebychevFilter";
  if (SourceVec == nullptr || DestVec == nullptr || Coeffs == nullptr)
    throw EORKMath2Error("ChebychevFilter: SourceVec, DestVec and/or Coeffs is undefined");
  const int32_t n = SourceVec->NrOfElem();
  FirstIx = std::clamp(FirstIx, 1, n);
  LastIx = std::clamp(LastIx, 1, n);
  if (FirstIx > LastIx) std::swap(FirstIx, LastIx);

  const int32_t np = Coeffs->NrOfRows();
  // Zero guard on both sides of each pass's data; at least one, as a pass
  // always reads y[i - 1] (b_1 is 0 for a recursion without coefficients).
  const auto g = static_cast<std::size_t>(std::max(np, 1));
  const int64_t P = int64_t{np} + 1;
  const auto pad = static_cast<std::size_t>(P);
  // Working samples 1..nw, at offset g + w - 1 of both buffers; working
  // sample w stands for source element w - P.
  const auto nw = static_cast<std::size_t>(LastIx + 2 * P);
  std::vector<double> a(g + 1), b(g + 1);
  a[0] = A0;
  for (int32_t k = 1; k <= np; ++k) {
    a[static_cast<std::size_t>(k)] = Coeffs->GetVal(1, k);
    b[static_cast<std::size_t>(k)] = Coeffs->GetVal(2, k);
  }
  // Two buffers, not zero-filled as a whole: only the guards and the zero
  // samples around the source need clearing, the rest is overwritten.
  std::unique_ptr<double[]> xb, yb;
  detail::AllocateFor(r, [&] {
    xb = std::make_unique_for_overwrite<double[]>(g + nw + g);
    yb = std::make_unique_for_overwrite<double[]>(g + nw + g);
  });
  double* const x = xb.get();
  double* const y = yb.get();
  const auto src = SourceVec->Values();
  const auto last_src = static_cast<std::size_t>(std::min<int64_t>(n, LastIx + P));
  std::fill(x, x + g + pad, 0.0);
  std::copy(src.begin(), src.begin() + static_cast<std::ptrdiff_t>(last_src), x + g + pad);
  std::fill(x + g + pad + last_src, x + g + nw + g, 0.0);
  std::fill(y, y + g, 0.0);
  std::fill(y + g + nw, y + g + nw + g, 0.0);

  // Forward pass over x into y: y1[w] = A0 x[w - P] + sum a_k x[w - k - P] +
  // sum b_k y1[w - k].
  Pass<1>(x + g, y + g, nw, a.data(), b.data(), np);
  // Backward pass over y into x, from the last working sample down: y2[w] =
  // A0 y1[w] + sum a_k y1[w + k] + sum b_k y2[w + k], zeros beyond the end
  // (the guards after the data). x is free again, and its guard after the
  // data is zero.
  Pass<-1>(y + g + nw - 1, x + g + nw - 1, nw, a.data(), b.data(), np);

  // Dest[j] = y2[j + P] for j = FirstIx..LastIx: one contiguous run of x.
  const auto m = static_cast<std::size_t>(LastIx - FirstIx) + 1;
  detail::Publish(DestVec, FirstIx,
                  std::span<const double>(x + g + static_cast<std::size_t>(FirstIx) + pad - 1, m));
}

}  // namespace numbra
