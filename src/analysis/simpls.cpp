// SimPLS: partial least squares regression by de Jong's SIMPLS algorithm.
//
// SIMPLS finds the weights r_a that maximise the covariance of the scores
// t = X r with Y subject to orthogonality of the scores, directly from the
// deflated cross-product matrix S = X^T Y (only S is deflated, never X):
// the dominant eigenvector q of S^T S gives r = S q. Orthogonalising the
// loadings against the earlier ones (the basis V) keeps the deflation a
// projection, which is what makes the method fast and stable. The small
// p x p eigenproblems are solved with the library's Jacobi routine.
#include "ORK_math2.h"
#include "analysis/multivariate_detail.h"
#include "analysis/svd_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <cmath>

namespace numbra {

namespace {

double Dot(const double* a, const double* b, std::size_t n) {
  double s = 0.0;
  for (std::size_t i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}

// Dominant eigenvector of the symmetric p x p matrix m (column-major), its
// component of largest magnitude positive; empty after an abort.
std::vector<double> Dominant(std::vector<double> m, std::size_t p) {
  if (p == 1) return {1.0};
  detail::EigenResult r;
  if (!detail::JacobiEigenDense(static_cast<int32_t>(p), m, r)) return {};
  std::size_t best = 0;
  for (std::size_t k = 1; k < p; ++k)
    if (r.values[k] > r.values[best]) best = k;
  std::vector<double> q(r.vectors.begin() + static_cast<std::ptrdiff_t>(best * p),
                        r.vectors.begin() + static_cast<std::ptrdiff_t>((best + 1) * p));
  std::size_t big = 0;
  for (std::size_t i = 1; i < p; ++i)
    if (std::fabs(q[i]) > std::fabs(q[big])) big = i;
  if (q[big] < 0.0)
    for (double& x : q) x = -x;
  return q;
}

void Store(TMatrix& M, int32_t Cols, int32_t Rows, const std::vector<double>& Values) {
  M.Resize(Cols, Rows);
  auto& s = detail::MatrixAccess::Storage(M);
  std::copy(Values.begin(), Values.end(), s.begin());
  detail::MatrixAccess::FireChanged(M);
}

}  // namespace

bool SimPLS(const TMatrix& X, const TMatrix& Y, int32_t NumComp, bool Center, TMatrix& Weights,
            TMatrix& XScores, TMatrix& XLoadings, TMatrix& YLoadings, TMatrix& YScores,
            TMatrix& Basis, TVector& XMeans, TVector& YMeans, TMatrix& Coeffs) {
  const int32_t m_ = X.NrOfRows();
  const int32_t n_ = X.NrOfColumns();
  const int32_t p_ = Y.NrOfColumns();
  if (m_ < 1 || n_ < 1 || p_ < 1 || Y.NrOfRows() != m_) return false;
  if (NumComp < 1 || NumComp > std::min(n_, Center ? m_ - 1 : m_)) return false;
  auto finite = [](std::span<const double> v) {
    return std::all_of(v.begin(), v.end(), [](double t) { return std::isfinite(t); });
  };
  if (!finite(X.Values()) || !finite(Y.Values())) return false;
  return detail::WithHeap("SimPLS", [&] {
    const auto m = static_cast<std::size_t>(m_);
    const auto n = static_cast<std::size_t>(n_);
    const auto p = static_cast<std::size_t>(p_);
    const auto A = static_cast<std::size_t>(NumComp);
    std::vector<double> x(X.Values().begin(), X.Values().end());
    std::vector<double> y(Y.Values().begin(), Y.Values().end());
    std::vector<double> xm(n, 0.0);
    std::vector<double> ym(p, 0.0);
    auto centre = [&](std::vector<double>& d, std::size_t cols, std::vector<double>& mean) {
      for (std::size_t j = 0; j < cols; ++j) {
        double* c = d.data() + j * m;
        mean[j] = detail::FastMeanAndSSD(std::span<const double>(c, m)).mean;
        for (std::size_t i = 0; i < m; ++i) c[i] -= mean[j];
      }
    };
    if (Center) {
      centre(x, n, xm);
      centre(y, p, ym);
    }
    // S = X^T Y (n x p).
    std::vector<double> s(n * p);
    for (std::size_t k = 0; k < p; ++k)
      for (std::size_t j = 0; j < n; ++j) s[k * n + j] = Dot(x.data() + j * m, y.data() + k * m, m);
    double s_scale = 0.0;
    for (double t : s) s_scale = std::max(s_scale, std::fabs(t));
    std::vector<double> R(n * A), T(m * A), P(n * A), Q(p * A), U(m * A), V(n * A);
    for (std::size_t a = 0; a < A; ++a) {
      // q: dominant eigenvector of S^T S; r = S q.
      std::vector<double> sts(p * p);
      for (std::size_t i = 0; i < p; ++i)
        for (std::size_t k = 0; k < p; ++k)
          sts[k * p + i] = Dot(s.data() + i * n, s.data() + k * n, n);
      const std::vector<double> qd = Dominant(sts, p);
      if (qd.empty()) return false;
      double* r = R.data() + a * n;
      for (std::size_t j = 0; j < n; ++j) {
        double acc = 0.0;
        for (std::size_t k = 0; k < p; ++k) acc += s[k * n + j] * qd[k];
        r[j] = acc;
      }
      double rmax = 0.0;
      for (std::size_t j = 0; j < n; ++j) rmax = std::max(rmax, std::fabs(r[j]));
      if (!(rmax > 1e-13 * s_scale)) return false;  // X^T Y exhausted
      double* t = T.data() + a * m;
      std::fill(t, t + m, 0.0);
      for (std::size_t j = 0; j < n; ++j) {
        const double* xc = x.data() + j * m;
        for (std::size_t i = 0; i < m; ++i) t[i] += xc[i] * r[j];
      }
      if (Center) {
        double mt = 0.0;
        for (std::size_t i = 0; i < m; ++i) mt += t[i];
        mt /= static_cast<double>(m);
        for (std::size_t i = 0; i < m; ++i) t[i] -= mt;
      }
      const double normt = std::sqrt(Dot(t, t, m));
      if (!(normt > 0.0)) return false;
      for (std::size_t i = 0; i < m; ++i) t[i] /= normt;
      for (std::size_t j = 0; j < n; ++j) r[j] /= normt;
      double* pl = P.data() + a * n;
      for (std::size_t j = 0; j < n; ++j) pl[j] = Dot(x.data() + j * m, t, m);
      double* ql = Q.data() + a * p;
      for (std::size_t k = 0; k < p; ++k) ql[k] = Dot(y.data() + k * m, t, m);
      double* u = U.data() + a * m;
      std::fill(u, u + m, 0.0);
      for (std::size_t k = 0; k < p; ++k) {
        const double* yc = y.data() + k * m;
        for (std::size_t i = 0; i < m; ++i) u[i] += yc[i] * ql[k];
      }
      double* v = V.data() + a * n;
      std::copy(pl, pl + n, v);
      // Orthogonalise v against the earlier basis and u against the
      // earlier scores (modified Gram-Schmidt, twice for v: the basis must
      // stay orthonormal to rounding for the deflation to be a projection).
      for (int pass = 0; pass < 2; ++pass)
        for (std::size_t b = 0; b < a; ++b) {
          const double* vb = V.data() + b * n;
          const double c = Dot(vb, v, n);
          for (std::size_t j = 0; j < n; ++j) v[j] -= c * vb[j];
        }
      for (std::size_t b = 0; b < a; ++b) {
        const double* tb = T.data() + b * m;
        const double c = Dot(tb, u, m);
        for (std::size_t i = 0; i < m; ++i) u[i] -= c * tb[i];
      }
      const double normv = std::sqrt(Dot(v, v, n));
      if (!(normv > 0.0)) return false;
      for (std::size_t j = 0; j < n; ++j) v[j] /= normv;
      // S := S - v (v^T S).
      for (std::size_t k = 0; k < p; ++k) {
        double* sk = s.data() + k * n;
        const double c = Dot(v, sk, n);
        for (std::size_t j = 0; j < n; ++j) sk[j] -= c * v[j];
      }
    }
    // B = R Q^T (n x p).
    std::vector<double> B(n * p, 0.0);
    for (std::size_t k = 0; k < p; ++k)
      for (std::size_t a = 0; a < A; ++a) {
        const double qa = Q[a * p + k];
        const double* r = R.data() + a * n;
        for (std::size_t j = 0; j < n; ++j) B[k * n + j] += r[j] * qa;
      }
    Store(Weights, NumComp, n_, R);
    Store(XScores, NumComp, m_, T);
    Store(XLoadings, NumComp, n_, P);
    Store(YLoadings, NumComp, p_, Q);
    Store(YScores, NumComp, m_, U);
    Store(Basis, NumComp, n_, V);
    Store(Coeffs, p_, n_, B);
    detail::StoreValues(XMeans, xm);
    detail::StoreValues(YMeans, ym);
    return true;
  });
}

}  // namespace numbra
