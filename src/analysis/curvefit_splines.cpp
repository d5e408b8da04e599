// TCurveFit splines: the interpolating cubic spline and the penalised
// smoothing spline (Reinsch's algorithm).
#include "ORK_math2.h"
#include "foundation/frame_detail.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace numbra {

namespace {

constexpr std::string_view kNoHeap = "not enough memory on heap";

// Index i of the piece [kx[i], kx[i+1]] holding x (the end pieces extended).
std::size_t Piece(const std::vector<double>& kx, double x) {
  const auto it = std::upper_bound(kx.begin() + 1, kx.end() - 1, x);
  return static_cast<std::size_t>(it - kx.begin()) - 1;
}

}  // namespace

void TCurveFit::MergedKnots(std::vector<double>& kx, std::vector<double>& ky,
                            std::vector<double>& kw) const {
  const double* x = Xs();
  const double* y = Ys();
  std::vector<int32_t> idx;
  for (int32_t i = 0; i < FNumData; ++i)
    if (std::isfinite(x[i]) && std::isfinite(y[i])) idx.push_back(i);
  std::sort(idx.begin(), idx.end(), [x](int32_t a, int32_t b) { return x[a] < x[b]; });
  kx.clear();
  ky.clear();
  kw.clear();
  for (std::size_t i = 0; i < idx.size();) {
    std::size_t j = i;
    double s = 0;
    while (j < idx.size() && x[idx[j]] == x[idx[i]]) s += y[idx[j++]];
    kx.push_back(x[idx[i]]);
    ky.push_back(s / static_cast<double>(j - i));
    kw.push_back(static_cast<double>(j - i));
    i = j;
  }
}

void TCurveFit::PrepareCubicSpline() {
  std::vector<double> w;
  detail::Allocate<EORKMath2Error>(*this, kNoHeap, [&] {
    MergedKnots(SplSortedX, SplSortedY, w);
    Spl2Deriv.assign(SplSortedX.size(), 0.0);
  });
  const std::size_t n = SplSortedX.size();
  FSplineValid = true;
  if (n < 2) return;
  const auto& x = SplSortedX;
  const auto& y = SplSortedY;
  auto& y2 = Spl2Deriv;
  // Tridiagonal system of the second derivatives, eliminated downwards.
  std::vector<double> u(n, 0.0);
  if (FNatural1) {
    y2[0] = u[0] = 0.0;
  } else {
    y2[0] = -0.5;
    u[0] = (3.0 / (x[1] - x[0])) * ((y[1] - y[0]) / (x[1] - x[0]) - FY1Dash);
  }
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
    const double p = sig * y2[i - 1] + 2.0;
    y2[i] = (sig - 1.0) / p;
    u[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
    u[i] = (6.0 * u[i] / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
  }
  double qn = 0.0, un = 0.0;
  if (!FNaturalN) {
    qn = 0.5;
    const double h = x[n - 1] - x[n - 2];
    un = (3.0 / h) * (FYNDash - (y[n - 1] - y[n - 2]) / h);
  }
  y2[n - 1] = (un - qn * u[n - 2]) / (qn * y2[n - 2] + 1.0);
  for (std::size_t k = n - 1; k-- > 0;) y2[k] = y2[k] * y2[k + 1] + u[k];
}

double TCurveFit::CubicSpline(double x) {
  if (!FSplineValid) PrepareCubicSpline();
  const std::size_t n = SplSortedX.size();
  if (n == 0) return 0.0;
  if (n == 1) return SplSortedY[0];
  const std::size_t lo = Piece(SplSortedX, x);
  const double h = SplSortedX[lo + 1] - SplSortedX[lo];
  const double a = (SplSortedX[lo + 1] - x) / h;
  const double b = (x - SplSortedX[lo]) / h;
  return a * SplSortedY[lo] + b * SplSortedY[lo + 1] +
         ((a * a * a - a) * Spl2Deriv[lo] + (b * b * b - b) * Spl2Deriv[lo + 1]) * (h * h) / 6.0;
}

bool TCurveFit::PreparePenalizedSpline() {
  std::vector<double> ky, kw;
  detail::Allocate<EORKMath2Error>(*this, kNoHeap, [&] {
    MergedKnots(pen_x_, ky, kw);
    const std::size_t n = pen_x_.size();
    pen_a_.assign(n, 0.0);
    pen_b_.assign(n, 0.0);
    pen_c_.assign(n, 0.0);
    pen_d_.assign(n, 0.0);
  });
  FPenSplineValid = true;
  FPSplineFQ = 0;
  const auto n = static_cast<int32_t>(pen_x_.size());
  pen_ok_ = n >= 3 && PenalizedCubicSpline(0, n - 1, FPSplineSmooth, pen_x_, ky, kw, pen_a_, pen_b_,
                                           pen_c_, pen_d_) == 0;
  if (!pen_ok_) return false;
  // Fit quality over the stored points (a knot's value is the fit of each
  // point merged into it).
  const double* x = Xs();
  const double* y = Ys();
  double my = 0;
  int32_t cnt = 0;
  for (int32_t i = 0; i < FNumData; ++i)
    if (std::isfinite(x[i]) && std::isfinite(y[i])) {
      my += y[i];
      ++cnt;
    }
  my /= cnt;
  double sse = 0, sst = 0;
  for (int32_t i = 0; i < FNumData; ++i) {
    if (!(std::isfinite(x[i]) && std::isfinite(y[i]))) continue;
    const auto k = static_cast<std::size_t>(std::lower_bound(pen_x_.begin(), pen_x_.end(), x[i]) -
                                            pen_x_.begin());
    sse += (y[i] - pen_a_[k]) * (y[i] - pen_a_[k]);
    sst += (y[i] - my) * (y[i] - my);
  }
  FPSplineFQ = sst == 0 ? 1.0 : 1.0 - sse / sst;
  return true;
}

double TCurveFit::SmoothedSpline(double x, double& FitQual, bool& valid) {
  if (!FPenSplineValid) PreparePenalizedSpline();
  valid = pen_ok_;
  FitQual = pen_ok_ ? FPSplineFQ : 0.0;
  if (!pen_ok_) return 0.0;
  const std::size_t i = Piece(pen_x_, x);
  const double t = x - pen_x_[i];
  return pen_a_[i] + t * (pen_b_[i] + t * (pen_c_[i] + t * pen_d_[i]));
}

int32_t PenalizedCubicSpline(int32_t First, int32_t Last, double Smooth, std::span<const double> x,
                             std::span<const double> y, std::span<const double> w,
                             std::span<double> a, std::span<double> b, std::span<double> c,
                             std::span<double> d) {
  if (First < 0 || Last - First < 2 || !std::isfinite(Smooth) || Smooth < 0) return -1;
  const auto last = static_cast<std::size_t>(Last);
  for (const std::size_t size :
       {x.size(), y.size(), w.size(), a.size(), b.size(), c.size(), d.size()})
    if (size <= last) return -1;
  const auto f = static_cast<std::size_t>(First);
  const std::size_t n = last - f + 1;
  for (std::size_t i = f; i <= last; ++i) {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i]) || !std::isfinite(w[i]) || !(w[i] > 0))
      return -1;
    if (i > f && !(x[i] > x[i - 1])) return -1;
  }
  std::vector<double> h(n - 1);
  for (std::size_t i = 0; i + 1 < n; ++i) h[i] = x[f + i + 1] - x[f + i];
  // Interior knots j = 1..n-2 (index j - 1 in the system). Q^T row j has
  // 1/h[j-1], -1/h[j-1] - 1/h[j], 1/h[j] at knots j-1, j, j+1.
  const std::size_t m = n - 2;
  auto q = [&h](std::size_t j, int off) {  // Q^T(j, j + off)
    if (off == -1) return 1.0 / h[j - 1];
    if (off == 0) return -1.0 / h[j - 1] - 1.0 / h[j];
    return 1.0 / h[j];
  };
  auto winv = [&](std::size_t knot) { return 1.0 / w[f + knot]; };
  // M = R + Smooth Q^T W^-1 Q as its diagonal and two superdiagonals.
  std::vector<double> m0(m), m1(m, 0.0), m2(m, 0.0), rhs(m);
  for (std::size_t r = 0; r < m; ++r) {
    const std::size_t j = r + 1;
    m0[r] = (h[j - 1] + h[j]) / 3.0 +
            Smooth * (q(j, -1) * q(j, -1) * winv(j - 1) + q(j, 0) * q(j, 0) * winv(j) +
                      q(j, 1) * q(j, 1) * winv(j + 1));
    if (r + 1 < m)
      m1[r] = h[j] / 6.0 +
              Smooth * (q(j, 0) * q(j + 1, -1) * winv(j) + q(j, 1) * q(j + 1, 0) * winv(j + 1));
    if (r + 2 < m) m2[r] = Smooth * q(j, 1) * q(j + 2, -1) * winv(j + 1);
    rhs[r] = q(j, -1) * y[f + j - 1] + q(j, 0) * y[f + j] + q(j, 1) * y[f + j + 1];
  }
  // L D L^T of the positive definite band: L(r+1, r) = l1[r], L(r+2, r) = l2[r].
  std::vector<double> D(m), l1(m, 0.0), l2(m, 0.0);
  for (std::size_t r = 0; r < m; ++r) {
    double dr = m0[r];
    if (r >= 1) dr -= l1[r - 1] * l1[r - 1] * D[r - 1];
    if (r >= 2) dr -= l2[r - 2] * l2[r - 2] * D[r - 2];
    if (!(dr > 0)) return -1;
    D[r] = dr;
    double e = m1[r];
    if (r >= 1) e -= l1[r - 1] * l2[r - 1] * D[r - 1];
    l1[r] = e / dr;
    l2[r] = m2[r] / dr;
  }
  std::vector<double> z(m);
  for (std::size_t r = 0; r < m; ++r) {
    double v = rhs[r];
    if (r >= 1) v -= l1[r - 1] * z[r - 1];
    if (r >= 2) v -= l2[r - 2] * z[r - 2];
    z[r] = v;
  }
  std::vector<double> gam(n, 0.0);  // second derivatives at all knots
  for (std::size_t r = m; r-- > 0;) {
    double v = z[r] / D[r];
    if (r + 1 < m) v -= l1[r] * gam[r + 2];
    if (r + 2 < m) v -= l2[r] * gam[r + 3];
    gam[r + 1] = v;
  }
  // Fitted values g = y - Smooth W^-1 Q gamma.
  std::vector<double> qg(n, 0.0);
  for (std::size_t j = 1; j + 1 < n; ++j) {
    qg[j - 1] += q(j, -1) * gam[j];
    qg[j] += q(j, 0) * gam[j];
    qg[j + 1] += q(j, 1) * gam[j];
  }
  std::vector<double> g(n);
  for (std::size_t i = 0; i < n; ++i) g[i] = y[f + i] - Smooth * winv(i) * qg[i];
  for (std::size_t i = 0; i + 1 < n; ++i) {
    a[f + i] = g[i];
    c[f + i] = gam[i] / 2.0;
    d[f + i] = (gam[i + 1] - gam[i]) / (6.0 * h[i]);
    b[f + i] = (g[i + 1] - g[i]) / h[i] - h[i] * (2.0 * gam[i] + gam[i + 1]) / 6.0;
  }
  const std::size_t k = n - 2;
  a[last] = g[n - 1];
  b[last] = b[f + k] + h[k] * (2.0 * c[f + k] + 3.0 * d[f + k] * h[k]);
  c[last] = 0.0;
  d[last] = 0.0;
  return 0;
}

}  // namespace numbra
