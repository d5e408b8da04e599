// VertexCompAnalysis: endmember extraction by vertex component analysis.
//
// Under the linear mixing model every observation is a convex combination
// of p endmember spectra, so the data fill a simplex whose vertices are the
// endmembers. VCA projects the data onto a p-dimensional subspace (where
// the simplex keeps its shape and the noise loses most of its power), then
// repeatedly projects onto a direction orthogonal to the vertices found so
// far: the extreme of that projection is a vertex. The eigenvectors of the
// L x L second-moment (or covariance) matrix give the subspace; they come
// from the library's Jacobi routine, sorted here by eigenvalue.
#include "ORK_math1.h"
#include "ORK_math2.h"
#include "analysis/multivariate_detail.h"
#include "analysis/svd_detail.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace numbra {

namespace {

double Dot(const double* a, const double* b, std::size_t n) {
  double s = 0.0;
  for (std::size_t i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}

// The d leading eigenvectors (columns, L each) of the symmetric L x L
// matrix c; empty after an abort.
std::vector<double> Leading(std::vector<double> c, std::size_t L, std::size_t d) {
  detail::EigenResult r;
  if (!detail::JacobiEigenDense(static_cast<int32_t>(L), c, r)) return {};
  std::vector<std::size_t> order(L);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return r.values[a] > r.values[b]; });
  std::vector<double> u(L * d);
  for (std::size_t k = 0; k < d; ++k)
    std::copy_n(r.vectors.begin() + static_cast<std::ptrdiff_t>(order[k] * L), L,
                u.begin() + static_cast<std::ptrdiff_t>(k * L));
  return u;
}

}  // namespace

bool VertexCompAnalysis(const TMatrix& Data, int32_t NumEndmembers, bool LowSNR,
                        TMatrix& Endmembers, TIntVector& Indices, TMatrix& Projected) {
  const int32_t N_ = Data.NrOfRows();
  const int32_t L_ = Data.NrOfColumns();
  if (NumEndmembers < 2 || NumEndmembers > std::min(L_, N_)) return false;
  const auto dv = Data.Values();
  if (!std::all_of(dv.begin(), dv.end(), [](double t) { return std::isfinite(t); })) return false;
  return detail::WithHeap("VertexCompAnalysis", [&] {
    const auto N = static_cast<std::size_t>(N_);
    const auto L = static_cast<std::size_t>(L_);
    const auto p = static_cast<std::size_t>(NumEndmembers);
    // Pixel-major copy: pixel i at r[i * L .. i * L + L - 1].
    std::vector<double> r(N * L);
    for (std::size_t b = 0; b < L; ++b)
      for (std::size_t i = 0; i < N; ++i) r[i * L + b] = dv[b * N + i];
    std::vector<double> mean(L, 0.0);
    for (std::size_t i = 0; i < N; ++i)
      for (std::size_t b = 0; b < L; ++b) mean[b] += r[i * L + b];
    for (double& m : mean) m /= static_cast<double>(N);
    // Covariance-type matrix of the centred pixels, and the projection of
    // the centred pixels onto its p leading directions.
    auto moment = [&](const std::vector<double>& shift) {
      std::vector<double> c(L * L, 0.0);
      std::vector<double> z(L);
      for (std::size_t i = 0; i < N; ++i) {
        for (std::size_t b = 0; b < L; ++b) z[b] = r[i * L + b] - shift[b];
        for (std::size_t a = 0; a < L; ++a)
          for (std::size_t b = 0; b <= a; ++b) c[a * L + b] += z[a] * z[b];
      }
      for (std::size_t a = 0; a < L; ++a)
        for (std::size_t b = 0; b <= a; ++b) {
          c[a * L + b] /= static_cast<double>(N);
          c[b * L + a] = c[a * L + b];
        }
      return c;
    };
    const std::vector<double> zero(L, 0.0);
    bool pca = LowSNR;
    std::vector<double> ud;
    if (!pca) {
      // Estimated SNR from the power of the data and of its projection on
      // the p leading centred directions (the paper's eq. 13).
      ud = Leading(moment(mean), L, p);
      if (ud.empty()) return false;
      double py = 0.0;
      for (double t : r) py += t * t;
      py /= static_cast<double>(N);
      double px = 0.0;
      for (std::size_t i = 0; i < N; ++i)
        for (std::size_t k = 0; k < p; ++k) {
          double s = 0.0;
          for (std::size_t b = 0; b < L; ++b) s += ud[k * L + b] * (r[i * L + b] - mean[b]);
          px += s * s;
        }
      px = px / static_cast<double>(N) + Dot(mean.data(), mean.data(), L);
      const double noise = py - px;
      const double signal = px - static_cast<double>(p) / static_cast<double>(L) * py;
      const double snr_th = 15.0 + 10.0 * std::log10(static_cast<double>(p));
      // No measurable noise: the projective branch.
      if (noise > 0.0) pca = !(10.0 * std::log10(signal / noise) >= snr_th);
    }
    // y: p coordinates per pixel; rp: the projected pixels (N x L).
    std::vector<double> y(N * p);
    std::vector<double> rp(N * L);
    if (pca) {
      const std::size_t d = p - 1;
      const std::vector<double> u = Leading(moment(mean), L, d);
      if (u.empty()) return false;
      double cmax = 0.0;
      for (std::size_t i = 0; i < N; ++i) {
        double norm2 = 0.0;
        for (std::size_t k = 0; k < d; ++k) {
          double s = 0.0;
          for (std::size_t b = 0; b < L; ++b) s += u[k * L + b] * (r[i * L + b] - mean[b]);
          y[i * p + k] = s;
          norm2 += s * s;
        }
        cmax = std::max(cmax, norm2);
        for (std::size_t b = 0; b < L; ++b) {
          double s = mean[b];
          for (std::size_t k = 0; k < d; ++k) s += u[k * L + b] * y[i * p + k];
          rp[i * L + b] = s;
        }
      }
      const double c = std::sqrt(cmax);
      for (std::size_t i = 0; i < N; ++i) y[i * p + d] = c;
    } else {
      const std::vector<double> u = Leading(moment(zero), L, p);
      if (u.empty()) return false;
      std::vector<double> xm(p, 0.0);
      for (std::size_t i = 0; i < N; ++i)
        for (std::size_t k = 0; k < p; ++k) {
          const double s = Dot(u.data() + k * L, r.data() + i * L, L);
          y[i * p + k] = s;
          xm[k] += s;
        }
      for (double& t : xm) t /= static_cast<double>(N);
      for (std::size_t i = 0; i < N; ++i) {
        for (std::size_t b = 0; b < L; ++b) {
          double s = 0.0;
          for (std::size_t k = 0; k < p; ++k) s += u[k * L + b] * y[i * p + k];
          rp[i * L + b] = s;
        }
        // Projective scaling: y / (y . mean y).
        const double scale = Dot(y.data() + i * p, xm.data(), p);
        for (std::size_t k = 0; k < p; ++k) y[i * p + k] /= scale;
      }
    }
    // The vertices. q: orthonormal basis of the span of the vertices found
    // so far (e_p before the first), by modified Gram-Schmidt, twice.
    std::vector<int32_t> index(p);
    std::vector<double> q;
    std::vector<double> e(p, 0.0);
    e[p - 1] = 1.0;
    q = e;
    std::vector<double> f(p);
    for (std::size_t i = 0; i < p; ++i) {
      for (double& t : f) t = GRandom();
      const std::size_t nq = q.size() / p;
      for (int pass = 0; pass < 2; ++pass)
        for (std::size_t k = 0; k < nq; ++k) {
          const double c = Dot(q.data() + k * p, f.data(), p);
          for (std::size_t j = 0; j < p; ++j) f[j] -= c * q[k * p + j];
        }
      std::size_t best = 0;
      double vmax = -1.0;
      for (std::size_t k = 0; k < N; ++k) {
        const double v = std::fabs(Dot(f.data(), y.data() + k * p, p));
        if (v > vmax) {
          vmax = v;
          best = k;
        }
      }
      index[i] = static_cast<int32_t>(best) + 1;
      if (i == 0) q.clear();
      // Add the new vertex to the basis (skipped when it adds no direction).
      std::vector<double> w(y.begin() + static_cast<std::ptrdiff_t>(best * p),
                            y.begin() + static_cast<std::ptrdiff_t>((best + 1) * p));
      const double w0 = std::sqrt(Dot(w.data(), w.data(), p));
      const std::size_t nb = q.size() / p;
      for (int pass = 0; pass < 2; ++pass)
        for (std::size_t k = 0; k < nb; ++k) {
          const double c = Dot(q.data() + k * p, w.data(), p);
          for (std::size_t j = 0; j < p; ++j) w[j] -= c * q[k * p + j];
        }
      const double wn = std::sqrt(Dot(w.data(), w.data(), p));
      if (wn > 1e-12 * w0)
        for (double t : w) q.push_back(t / wn);
    }
    Endmembers.Resize(L_, NumEndmembers);
    auto& em = detail::MatrixAccess::Storage(Endmembers);
    for (std::size_t k = 0; k < p; ++k)
      for (std::size_t b = 0; b < L; ++b)
        em[b * p + k] = rp[static_cast<std::size_t>(index[k] - 1) * L + b];
    detail::MatrixAccess::FireChanged(Endmembers);
    Projected.Resize(L_, N_);
    auto& pr = detail::MatrixAccess::Storage(Projected);
    for (std::size_t i = 0; i < N; ++i)
      for (std::size_t b = 0; b < L; ++b) pr[b * N + i] = rp[i * L + b];
    detail::MatrixAccess::FireChanged(Projected);
    Indices.SetIntVecSize(NumEndmembers);
    for (std::size_t k = 0; k < p; ++k) Indices.SetVal(static_cast<int32_t>(k) + 1, index[k]);
    return true;
  });
}

}  // namespace numbra
