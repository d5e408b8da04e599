// Public chi-squared, F and t functions: argument checks around the
// full-precision kernels of precise_dist.cpp.
#include "ORK_statis.h"
#include "statis/statis_detail.h"

#include <cmath>
#include <limits>

namespace numbra {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
bool BadProb(double p) noexcept { return !(p >= 0.0 && p <= 1.0); }
}  // namespace

double Chi2DistriDensity(double x, int32_t df) noexcept {
  if (df < 1 || std::isnan(x)) return kNaN;
  return detail::Chi2Pdf(x, df);
}

double chi2DistriIntegral(double x, int32_t df) noexcept {
  if (df < 1 || std::isnan(x)) return kNaN;
  return detail::Chi2Tails(x, df).Lower;
}

double chi2DistriQuantile(double p, int32_t df) noexcept {
  if (df < 1 || BadProb(p)) return kNaN;
  return detail::Chi2Quantile(p, df);
}

double FDistriDensity(double x, int32_t df1, int32_t df2) noexcept {
  if (df1 < 1 || df2 < 1 || std::isnan(x)) return kNaN;
  return detail::FisherFPdf(x, df1, df2);
}

double FDistriIntegral(double x, int32_t df1, int32_t df2) noexcept {
  if (df1 < 1 || df2 < 1 || std::isnan(x)) return kNaN;
  return detail::FisherFTails(x, df1, df2).Lower;
}

double FDistriQuantile(double p, int32_t df1, int32_t df2) noexcept {
  if (df1 < 1 || df2 < 1 || BadProb(p)) return kNaN;
  return detail::FisherFQuantile(p, df1, df2);
}

double tDistriDensity(double t, int32_t df) noexcept {
  if (df < 1 || std::isnan(t)) return kNaN;
  return detail::StudentTPdf(t, df);
}

double tDistriIntegral(double t, int32_t df) noexcept {
  if (df < 1 || std::isnan(t)) return kNaN;
  return detail::StudentTTails(t, df).Lower;
}

double tDistriQuantile(double p, int32_t df) noexcept {
  if (df < 1 || BadProb(p)) return kNaN;
  return detail::StudentTQuantile(p, df);
}

}  // namespace numbra
