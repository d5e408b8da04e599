// TRandGen: random numbers from a tabulated distribution by
// acceptance-rejection.
#include "ORK_math1.h"
#include "ORK_statis.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace numbra {

namespace {
constexpr int32_t kMinResolution = 10;
constexpr int32_t kMaxResolution = 4000;
constexpr int32_t kMaxCandidates = 100001;
}  // namespace

TRandGen::TRandGen(TComponent* AOwner) : TComponent(AOwner) {
  try {
    FDistVec.assign(static_cast<std::size_t>(FResolution), 1.0);
  } catch (const std::bad_alloc&) {
    throw EORKStatisError("Component \"" + Name() + "\": not enough memory on heap");
  }
}

TRandGen::~TRandGen() = default;

void TRandGen::SetResolution(int32_t n) {
  FResolution = std::clamp(n, kMinResolution, kMaxResolution);
  FDistVec.assign(static_cast<std::size_t>(FResolution), 1.0);
}

double TRandGen::GetProbability(int32_t Idx) const noexcept {
  return (Idx >= 1 && Idx <= FResolution) ? FDistVec[static_cast<std::size_t>(Idx) - 1] : 0.0;
}

void TRandGen::SetProbability(int32_t Idx, double Value) noexcept {
  if (Idx < 1 || Idx > FResolution) return;
  FDistVec[static_cast<std::size_t>(Idx) - 1] =
      std::isnan(Value) ? 0.0 : std::clamp(Value, 0.0, 1.0);
}

double TRandGen::GetLambda(int32_t ix) const noexcept {
  if (ix < 1) return FLowBorder;
  if (ix > FResolution) return FHighBorder;
  return FLowBorder + (ix - 1) * (FHighBorder - FLowBorder) / FResolution;
}

int32_t TRandGen::IndexOfLambda(double Lambda) const noexcept {
  if (std::isnan(Lambda)) return 0;
  if (Lambda < FLowBorder) return 0;
  if (Lambda > FHighBorder || FHighBorder == FLowBorder) return FResolution + 1;
  const double pos = (Lambda - FLowBorder) * FResolution / (FHighBorder - FLowBorder);
  // Clamped so that rounding in the quotient cannot leave 0..Resolution + 1.
  return std::clamp(IntNeg(pos) + 1, 1, FResolution + 1);
}

double TRandGen::GetRandNum() {
  const double width = (FHighBorder - FLowBorder) / FResolution;
  int32_t k = 1;
  double u = 0.0;
  for (int32_t n = 0; n < kMaxCandidates; ++n) {
    k = corvel::Random(FResolution) + 1;
    u = corvel::Random();
    const double pk = FDistVec[static_cast<std::size_t>(k) - 1];
    const double p =
        k < FResolution ? pk + u * (FDistVec[static_cast<std::size_t>(k)] - pk) : pk * (1.0 - u);
    if (p >= 1.0 || p > corvel::Random()) break;
  }
  return FLowBorder + (k + u - 1) * width;
}

void TRandGen::Normalize() noexcept {
  const auto [lo, hi] = std::minmax_element(FDistVec.begin(), FDistVec.end());
  const double mn = *lo, mx = *hi;
  if (mx == mn || !std::isfinite(mx - mn)) return;
  for (double& p : FDistVec) p = (p - mn) / (mx - mn);
}

bool TRandGen::Standardize() noexcept {
  // An infinite entry (a density with a pole at a class edge, such as
  // chi-squared with 1 degree of freedom at 0) counts as the largest finite
  // entry, so that it does not flatten the rest of the table to 0.
  double mx = 0.0;
  bool pole = false;
  for (const double p : FDistVec) {
    if (std::isinf(p))
      pole = true;
    else
      mx = std::max(mx, p);
  }
  if (!pole && mx == 0.0) return false;
  for (double& p : FDistVec) p = std::isinf(p) ? 1.0 : (mx > 0.0 ? p / mx : 0.0);
  return true;
}

template <class Density>
void TRandGen::FillFrom(Density&& f) noexcept {
  for (int32_t i = 1; i <= FResolution; ++i) {
    const double v = f(GetLambda(i));
    FDistVec[static_cast<std::size_t>(i) - 1] = std::isnan(v) ? 0.0 : v;
  }
}

void TRandGen::NormalDistri(double m, double s) noexcept {
  FillFrom([&](double x) { return std::exp(-(x - m) * (x - m) / 2.0 / (s * s)); });
}

void TRandGen::tDistri(int32_t df) noexcept {
  FillFrom([&](double x) { return tDistriDensity(x, df); });
}

void TRandGen::Chi2Distri(int32_t df) noexcept {
  FillFrom([&](double x) { return x < 0 ? 0.0 : Chi2DistriDensity(x, df); });
}

void TRandGen::FDistri(int32_t df1, int32_t df2) noexcept {
  FillFrom([&](double x) { return x <= 0 ? 0.0 : FDistriDensity(x, df1, df2); });
}

void TRandGen::WeibullDistri(double beta, double eta) noexcept {
  FillFrom([&](double x) { return WeibullDensity(x, beta, eta); });
}

void TRandGen::UniformDistri() noexcept { std::fill(FDistVec.begin(), FDistVec.end(), 1.0); }

}  // namespace numbra
