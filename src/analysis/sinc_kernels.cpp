// Windowed-sinc FIR kernels (low pass, high pass, band pass, band stop) and
// the moving kernel filter.
//
// The low-pass kernel is the truncated impulse response of the ideal low
// pass, sin(2 pi fc k) / k, tapered by a Hamming or Blackman window and
// normalised to unit gain at zero frequency (S. W. Smith, The Scientist and
// Engineer's Guide to DSP, ch. 16). The other three are built from it by
// spectral inversion (delta minus kernel) and addition.
#include "ORK_math2.h"
#include "analysis/smoothing_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace numbra {

namespace {

constexpr double kTwoPi = 6.283185307179586;

void CheckLength(const char* routine, int32_t KernelLength) {
  if (KernelLength < 1)
    throw EORKMath2Error(std::string(routine) + ": kernel length must be at least 1");
}

std::vector<double> LowPass(const char* routine, int32_t L, double CutOff, int32_t Window) {
  std::vector<double> k;
  detail::AllocateFor(routine, [&] { k.resize(static_cast<std::size_t>(L)); });
  // NaN cut-offs are clamped like the others (to 0: no pass band).
  const double fc = (CutOff > 0.0) ? std::min(CutOff, 0.5) : 0.0;
  const int32_t mid = L / 2;  // 0-based index of offset 0
  const double w = kTwoPi * fc;
  const double denom = static_cast<double>(L) + 1.0;
  double sum = 0, comp = 0;  // Neumaier-compensated sum of the elements
  for (int32_t i = 0; i < L; ++i) {
    const int32_t off = i - mid;
    double v = (off == 0) ? w : std::sin(w * off) / off;
    const double t = kTwoPi * (i + 1) / denom;  // the window runs over i = 1..L
    if (Window == 1)
      v *= 0.54 - 0.46 * std::cos(t);
    else if (Window == 2)
      v *= 0.42 - 0.5 * std::cos(t) + 0.08 * std::cos(2 * t);
    k[static_cast<std::size_t>(i)] = v;
    const double s = sum + v;
    comp += (std::fabs(sum) >= std::fabs(v)) ? (sum - s) + v : (v - s) + sum;
    sum = s;
  }
  sum += comp;
  if (sum != 0)
    for (double& v : k) v /= sum;
  return k;
}

// Delta minus kernel: the spectral inversion about the element L div 2.
void Invert(std::vector<double>& k) {
  for (double& v : k) v = -v;
  k[k.size() / 2] += 1.0;
}

std::vector<double> HighPass(const char* routine, int32_t L, double CutOff, int32_t Window) {
  std::vector<double> k = LowPass(routine, L, CutOff, Window);
  Invert(k);
  return k;
}

std::vector<double> BandStop(const char* routine, int32_t L, double CutOff1, double CutOff2,
                             int32_t Window) {
  std::vector<double> k = LowPass(routine, L, std::min(CutOff1, CutOff2), Window);
  const std::vector<double> hp = HighPass(routine, L, std::max(CutOff1, CutOff2), Window);
  for (std::size_t i = 0; i < k.size(); ++i) k[i] += hp[i];
  return k;
}

std::vector<double> BandPass(const char* routine, int32_t L, double CutOff1, double CutOff2,
                             int32_t Window) {
  std::vector<double> k = BandStop(routine, L, CutOff1, CutOff2, Window);
  Invert(k);
  return k;
}

void ToVector(const std::vector<double>& k, TVector* Kernel) {
  Kernel->Resize(static_cast<int32_t>(k.size()));
  detail::Publish(Kernel, 1, k);
}

void CheckVector(const char* routine, const TVector* Kernel) {
  if (Kernel == nullptr) throw EORKMath2Error(std::string(routine) + ": Kernel is undefined");
}

}  // namespace

void CalcSincLPKernel(int32_t KernelLength, double CutOff, int32_t Window, TDoubleArray& Kernel) {
  constexpr const char* r = "CalcSincLPKernel";
  CheckLength(r, KernelLength);
  Kernel = LowPass(r, KernelLength, CutOff, Window);
}

void CalcSincLPKernel(int32_t KernelLength, double CutOff, int32_t Window, TVector* Kernel) {
  constexpr const char* r = "CalcSincLPKernel";
  CheckVector(r, Kernel);
  CheckLength(r, KernelLength);
  ToVector(LowPass(r, KernelLength, CutOff, Window), Kernel);
}

void CalcSincHPKernel(int32_t KernelLength, double CutOff, int32_t Window, TDoubleArray& Kernel) {
  constexpr const char* r = "CalcSincHPKernel";
  CheckLength(r, KernelLength);
  Kernel = HighPass(r, KernelLength, CutOff, Window);
}

void CalcSincHPKernel(int32_t KernelLength, double CutOff, int32_t Window, TVector* Kernel) {
  constexpr const char* r = "CalcSincHPKernel";
  CheckVector(r, Kernel);
  CheckLength(r, KernelLength);
  ToVector(HighPass(r, KernelLength, CutOff, Window), Kernel);
}

void CalcSincBPKernel(int32_t KernelLength, double CutOff1, double CutOff2, int32_t Window,
                      TDoubleArray& Kernel) {
  constexpr const char* r = "CalcSincBPKernel";
  CheckLength(r, KernelLength);
  Kernel = BandPass(r, KernelLength, CutOff1, CutOff2, Window);
}

void CalcSincBPKernel(int32_t KernelLength, double CutOff1, double CutOff2, int32_t Window,
                      TVector* Kernel) {
  constexpr const char* r = "CalcSincBPKernel";
  CheckVector(r, Kernel);
  CheckLength(r, KernelLength);
  ToVector(BandPass(r, KernelLength, CutOff1, CutOff2, Window), Kernel);
}

void CalcSincBSKernel(int32_t KernelLength, double CutOff1, double CutOff2, int32_t Window,
                      TDoubleArray& Kernel) {
  constexpr const char* r = "CalcSincBSKernel";
  CheckLength(r, KernelLength);
  Kernel = BandStop(r, KernelLength, CutOff1, CutOff2, Window);
}

void CalcSincBSKernel(int32_t KernelLength, double CutOff1, double CutOff2, int32_t Window,
                      TVector* Kernel) {
  constexpr const char* r = "CalcSincBSKernel";
  CheckVector(r, Kernel);
  CheckLength(r, KernelLength);
  ToVector(BandStop(r, KernelLength, CutOff1, CutOff2, Window), Kernel);
}

void MovingKernelFilter(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx, TVector* DestVec,
                        const TVector* FilterKernel) {
  constexpr const char* r = "MovingKernelfilter";
  if (SourceVec == nullptr || DestVec == nullptr || FilterKernel == nullptr)
    throw EORKMath2Error("MovingKernelfilter: SourceVec, DestVec and/or FilterKernel is undefined");
  const int32_t n = SourceVec->NrOfElem();
  FirstIx = std::clamp(FirstIx, 1, n);
  LastIx = std::clamp(LastIx, 1, n);
  if (FirstIx > LastIx) std::swap(FirstIx, LastIx);
  const int32_t K = FilterKernel->NrOfElem();
  if (LastIx - FirstIx < K)
    throw EORKMath2Error(
        "MovingKernelfilter: specified range for smoothing is smaller than the length of the "
        "kernel");

  // The range padded with its end samples repeated, so that every output is
  // one plain dot product: padded[q] = x[clamp(FirstIx - hk + q)].
  const auto m = static_cast<std::size_t>(LastIx - FirstIx) + 1;
  const auto ks = static_cast<std::size_t>(K);
  const int32_t hk = K / 2;
  std::vector<double> kernel(FilterKernel->Values().begin(), FilterKernel->Values().end());
  std::vector<double> padded, out;
  detail::AllocateFor(r, [&] {
    padded.resize(m + ks - 1);
    out.resize(m);
  });
  const auto src = SourceVec->Values();
  for (std::size_t q = 0; q < padded.size(); ++q) {
    const int64_t ix =
        std::clamp<int64_t>(int64_t{FirstIx} - hk + static_cast<int64_t>(q), FirstIx, LastIx);
    padded[q] = src[static_cast<std::size_t>(ix - 1)];
  }
  for (std::size_t p = 0; p < m; ++p) {
    const double* w = padded.data() + p;
    double s = 0;
    for (std::size_t k = 0; k < ks; ++k) s += w[k] * kernel[k];
    out[p] = s;
  }
  DestVec->Resize(n);
  detail::Publish(DestVec, 1, out);
}

}  // namespace numbra
