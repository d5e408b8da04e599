// CalcEigVec and the process-wide eigen storage: eigenvalues and
// eigenvectors of a real symmetric matrix by the cyclic Jacobi method.
//
// The method (Jacobi 1846; Rutishauser, "The Jacobi method for real
// symmetric matrices", Numer. Math. 9, 1966; the threshold form of Press et
// al., "Numerical Recipes", sec. 11.1): each rotation annihilates one
// off-diagonal element a_pq; sweeps run through all pairs p < q in row
// order. During the first three sweeps only elements above a threshold
// 0.2 * S / n^2 are rotated (S the off-diagonal sum), which spends no work
// on elements that the large rotations are about to change anyway; after
// the fourth, elements below rounding level of both diagonal elements are
// simply dropped. The diagonal is updated through the accumulated
// corrections z (Rutishauser's device), which keeps the eigenvalues from
// collecting the rounding errors of every single rotation. The eigenvalues
// come out with absolute errors of a few units of rounding times ||A||, the
// vectors orthonormal to rounding.
//
// Storage. The work matrix is the full symmetric matrix in column-major
// order, so a rotation of the pair (p, q) runs down the two contiguous
// columns p and q (and the two contiguous eigenvector columns). Keeping
// both triangles then needs row q written back after each rotation; row p
// is written back only once, after the last rotation with that p: until
// then its current values are those of column p, from which the pivots
// a_pq are read. Both write-backs skip the columns already passed in the
// sweep (they are not read again before the sweep ends, when the lower
// triangle is mirrored from the upper one). That leaves a quarter of the
// strided writes of the plain scheme. The rotations run four elements at a
// time with AVX2 where the processor has it (NUMBRA_MATRIX_KERNEL=generic
// forces the portable loop; both give the same bits). The diagonal of the work
// matrix is kept at 0 (the eigenvalue estimates live in d), so the column
// loops need no exceptions for the rows p and q.
#include "ORK_math2.h"
#include "analysis/multivariate_detail.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace numbra {
namespace detail {

namespace {

// x, y := x - s (y + tau x), y + s (x - tau y): the rotation in the form
// that keeps rounding small when the angle is small (tau = s / (1 + c)).
void RotatePairGeneric(double* __restrict x, double* __restrict y, std::size_t n, double s,
                       double tau) noexcept {
  for (std::size_t j = 0; j < n; ++j) {
    const double g = x[j];
    const double h = y[j];
    x[j] = g - s * (h + g * tau);
    y[j] = h + s * (g - h * tau);
  }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define NUMBRA_JACOBI_AVX2 1
// The same operations, four elements at a time (separate multiplies and
// adds, no fused multiply-add: the results equal the generic loop's bit for
// bit).
__attribute__((target("avx2"))) void RotatePairAvx2(double* __restrict x, double* __restrict y,
                                                    std::size_t n, double s, double tau) noexcept {
  const __m256d vs = _mm256_set1_pd(s);
  const __m256d vt = _mm256_set1_pd(tau);
  std::size_t j = 0;
  for (; j + 4 <= n; j += 4) {
    const __m256d g = _mm256_loadu_pd(x + j);
    const __m256d h = _mm256_loadu_pd(y + j);
    const __m256d gx = _mm256_sub_pd(g, _mm256_mul_pd(vs, _mm256_add_pd(h, _mm256_mul_pd(g, vt))));
    const __m256d hy = _mm256_add_pd(h, _mm256_mul_pd(vs, _mm256_sub_pd(g, _mm256_mul_pd(h, vt))));
    _mm256_storeu_pd(x + j, gx);
    _mm256_storeu_pd(y + j, hy);
  }
  RotatePairGeneric(x + j, y + j, n - j, s, tau);
}
#endif

using RotateFn = void (*)(double*, double*, std::size_t, double, double) noexcept;

RotateFn PickRotate() {
#if defined(NUMBRA_JACOBI_AVX2)
  const char* forced = std::getenv("NUMBRA_MATRIX_KERNEL");
  if (__builtin_cpu_supports("avx2") && !(forced != nullptr && std::strcmp(forced, "generic") == 0))
    return RotatePairAvx2;
#endif
  return RotatePairGeneric;
}

// The eigen storage of the process and its lock.
struct EigenStore {
  std::shared_mutex lock;
  EigenResult result;
};

EigenStore& Store() {
  static EigenStore store;
  return store;
}

}  // namespace

bool JacobiEigenDense(int32_t order, std::vector<double>& a, EigenResult& Result) {
  const auto n = static_cast<std::size_t>(order);
  Result.n = order;
  Result.values.assign(n, 0.0);
  Result.vectors.assign(n * n, 0.0);
  double* v = Result.vectors.data();
  double* d = Result.values.data();
  std::vector<double> b(n);
  std::vector<double> z(n, 0.0);
  for (std::size_t p = 0; p < n; ++p) {
    v[p * n + p] = 1.0;
    b[p] = d[p] = a[p * n + p];
    a[p * n + p] = 0.0;
  }
  static const RotateFn RotatePair = PickRotate();
  ProgressCounter progress;
  const double n2 = static_cast<double>(n) * static_cast<double>(n);
  for (int sweep = 1;; ++sweep) {
    progress.Step();
    double sm = 0.0;
    for (std::size_t q = 1; q < n; ++q)
      for (std::size_t p = 0; p < q; ++p) sm += std::fabs(a[q * n + p]);
    if (sm == 0.0) return true;
    if (sweep > 100) return false;
    const double tresh = sweep < 4 ? 0.2 * sm / n2 : 0.0;
    for (std::size_t p = 0; p + 1 < n; ++p) {
      double* ap = a.data() + p * n;
      for (std::size_t q = p + 1; q < n; ++q) {
        if (corvel::AbortMathProc.load(std::memory_order_relaxed)) return false;
        progress.Step();
        double* aq = a.data() + q * n;
        const double apq = ap[q];  // current; aq[p] may be stale
        const double g = 200.0 * std::fabs(apq);
        if (sweep > 4 && std::fabs(d[p]) + g == std::fabs(d[p]) &&
            std::fabs(d[q]) + g == std::fabs(d[q])) {
          ap[q] = 0.0;
          aq[p] = 0.0;
        } else if (std::fabs(apq) > tresh) {
          double h = d[q] - d[p];
          double t;
          if (std::fabs(h) + g == std::fabs(h)) {
            t = apq / h;
          } else {
            const double theta = h / (2.0 * apq);
            t = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
            if (theta < 0.0) t = -t;
          }
          const double c = 1.0 / std::sqrt(t * t + 1.0);
          const double s = t * c;
          const double tau = s / (1.0 + c);
          h = t * apq;
          z[p] -= h;
          z[q] += h;
          d[p] -= h;
          d[q] += h;
          ap[q] = 0.0;
          aq[p] = 0.0;
          RotatePair(ap, aq, n, s, tau);
          for (std::size_t j = p + 1; j < n; ++j) a[j * n + q] = aq[j];  // row q
          RotatePair(v + p * n, v + q * n, n, s, tau);
        }
      }
      for (std::size_t j = p + 1; j < n; ++j) a[j * n + p] = ap[j];  // row p
    }
    // Columns p' <= p are not read again in this sweep, so the row write-backs
    // above skip them; the upper triangle is current throughout and is
    // mirrored into the lower one before the next sweep.
    for (std::size_t q = 0; q < n; ++q)
      for (std::size_t j = q + 1; j < n; ++j) a[q * n + j] = a[j * n + q];
    for (std::size_t p = 0; p < n; ++p) {
      b[p] += z[p];
      d[p] = b[p];
      z[p] = 0.0;
    }
  }
}

void PublishEigen(EigenResult&& Result) {
  EigenStore& s = Store();
  EigenResult old;
  {
    std::unique_lock guard(s.lock);
    old = std::exchange(s.result, std::move(Result));
  }
  // The old arrays are released outside the lock.
}

}  // namespace detail

bool CalcEigVec(const TMatrix& InMat) {
  const int32_t order = InMat.NrOfColumns();
  if (order > kMaxEigenOrder) return false;
  const auto n = static_cast<std::size_t>(order);
  std::vector<double> a;
  detail::EigenResult r;
  try {
    a.resize(n * n);
    for (std::size_t q = 0; q < n; ++q)
      for (std::size_t p = 0; p <= q; ++p) {
        const double x = InMat.GetVal(static_cast<int32_t>(q) + 1, static_cast<int32_t>(p) + 1);
        if (!std::isfinite(x)) return false;
        a[q * n + p] = x;
        a[p * n + q] = x;
      }
    corvel::AbortMathProc.store(false);
    const bool ok = detail::JacobiEigenDense(order, a, r);
    detail::PublishEigen(std::move(r));
    return ok;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

double GetEigenResult(int32_t first, int32_t second) noexcept {
  detail::EigenStore& s = detail::Store();
  std::shared_lock guard(s.lock);
  const detail::EigenResult& r = s.result;
  const int32_t n = r.n;
  if (r.values.empty() || first < 1 || first > n || second < 0 || second > n) return 0.0;
  const auto k = static_cast<std::size_t>(first - 1);
  if (second == 0) return r.values[k];
  return r.vectors[k * static_cast<std::size_t>(n) + static_cast<std::size_t>(second - 1)];
}

int32_t GetEigenSize() noexcept {
  detail::EigenStore& s = detail::Store();
  std::shared_lock guard(s.lock);
  return s.result.n;
}

void RemoveEigenMatrix() noexcept {
  detail::EigenStore& s = detail::Store();
  std::vector<double> values;
  std::vector<double> vectors;
  std::unique_lock guard(s.lock);
  values.swap(s.result.values);
  vectors.swap(s.result.vectors);
}

}  // namespace numbra
