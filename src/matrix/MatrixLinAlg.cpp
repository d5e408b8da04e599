// TMatrix linear algebra: LU factorisation, determinant, inverse, Cholesky
// factor, norms and balancing.
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"
#include "matrix/gemm_detail.h"
#include "matrix/lu_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace numbra {

namespace {

constexpr std::string_view kNoHeap = "not enough memory on heap";

// Sign of the row permutation of the last LUdecomposition in this thread
// (read by Determinant right after its own factorisation). Thread-local, so
// that two threads factorising at once cannot pick up each other's sign.
thread_local int32_t lu_permutation_sign = 1;

// Work arrays of Determinant and Invert, kept per thread between calls:
// repeated calls then neither allocate nor touch fresh pages (faulting in
// the pages of two new n x n arrays costs about a tenth of an inverse of
// order 512). Arrays of more than kKeepDoubles are released after the call,
// so at most 16 MiB stay with a thread. A call made while the arrays are in
// use (from a progress handler) gets arrays of its own.
constexpr std::size_t kKeepDoubles = std::size_t{1} << 20;  // order 1024

struct ThreadScratch {
  detail::MatrixStorage v[2];
  bool busy = false;
};

class ScratchLease {
 public:
  ScratchLease() : s_(Mine()), own_(!s_.busy) { s_.busy = true; }
  ~ScratchLease() {
    if (!own_) return;
    for (detail::MatrixStorage& v : s_.v)
      if (v.capacity() > kKeepDoubles) detail::MatrixStorage().swap(v);
    s_.busy = false;
  }
  ScratchLease(const ScratchLease&) = delete;
  ScratchLease& operator=(const ScratchLease&) = delete;
  // Array i (64-byte aligned, as all matrix storage is: the factorisation's
  // column loads then split cache lines alike on every call).
  detail::MatrixStorage& operator[](std::size_t i) { return own_ ? s_.v[i] : local_[i]; }

 private:
  static ThreadScratch& Mine() {
    thread_local ThreadScratch s;
    return s;
  }
  ThreadScratch& s_;
  bool own_;
  detail::MatrixStorage local_[2];
};

// L's column c (whole, n elements, 16-byte aligned) written with
// non-temporal stores: zeros above the diagonal, 1 on it, U's column below
// it, which is then cleared. A large L is written once and not read back
// here, so streaming it spares reading its old lines into the cache first.
#if defined(__SSE2__)
bool StreamL(std::size_t n) {
  // From 4 MiB on (order 725 and up; measured: 2 % faster at order 1024,
  // no gain at 512, where L stays in the last-level cache for the caller).
  return n % 2 == 0 && n * n * sizeof(double) > (std::size_t{4} << 20);
}
void StreamLowerColumn(double* lc, double* uc, std::size_t c, std::size_t n) {
  const __m128d zero = _mm_setzero_pd();
  std::size_t r = 0;
  for (; r + 2 <= c; r += 2) _mm_stream_pd(lc + r, zero);
  if (r < c) {  // c odd: the pair holding the diagonal
    _mm_stream_pd(lc + r, _mm_set_pd(1.0, 0.0));
    r += 2;
  } else {
    _mm_stream_pd(lc + r, _mm_set_pd(uc[r + 1], 1.0));  // n even: r + 1 < n
    uc[r + 1] = 0.0;
    r += 2;
  }
  for (; r < n; r += 2) {
    _mm_stream_pd(lc + r, _mm_loadu_pd(uc + r));
    uc[r] = 0.0;
    uc[r + 1] = 0.0;
  }
}
void StreamFence() { _mm_sfence(); }
#else
bool StreamL(std::size_t) { return false; }
void StreamLowerColumn(double*, double*, std::size_t, std::size_t) {}
void StreamFence() {}
#endif

bool AllFinite(std::span<const double> v) { return detail::AllFinite(v.data(), v.size()); }

// One progress step: ProcStat + 1, the feedback call, then the abort test.
bool StepAndContinue() {
  StepProcStat();
  return !AbortMathProc;
}

}  // namespace

bool TMatrix::LUdecomposition(TMatrix* MatL, TMatrix* MatU) {
  if (FNCol != FNRow || MatL == nullptr || MatU == nullptr) return false;
  lu_permutation_sign = 1;
  const int32_t n = FNCol;
  const auto nn = static_cast<std::size_t>(n);
  // The factorisation works in MatU's storage once MatU is a clone of this
  // matrix. When a result matrix is this matrix or both are one, it works
  // on a copy taken first instead.
  const bool in_place = MatL != this && MatU != this && MatL != MatU;
  std::vector<double> work;
  if (!in_place)
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { work.assign(Mat.begin(), Mat.end()); });
  MatL->Resize(n, n);
  // L is cleared here when a handler watches it or it is this matrix or
  // MatU; otherwise its zeros are written with its other elements below.
  const bool l_cleared = !in_place || static_cast<bool>(MatL->OnChange);
  if (l_cleared) MatL->Fill(0.0);
  MatU->Clone(this);
  if (n == 0) {
    return true;  // nothing to factorise
  }
  double* lu = in_place ? MatU->Mat.data() : work.data();
  std::vector<int32_t> piv;
  int32_t sign = 1;
  detail::LuStatus status = detail::LuStatus::kOk;
  // In place, the last row exchanges of each column of L are applied below,
  // as the column is moved over.
  detail::Allocate<EORKMatrixError>(
      *this, kNoHeap, [&] { status = detail::LuFactor(lu, n, n, piv, sign, {}, {}, !in_place); });
  lu_permutation_sign = sign;
  if (status != detail::LuStatus::kOk) {
    if (!l_cleared) std::fill_n(MatL->Mat.begin(), MatL->Count(), 0.0);
    return false;
  }
  // Separate the factors: U on and above the diagonal, L (unit diagonal)
  // below it.
  if (!in_place) {
    for (std::size_t c = 0; c < nn; ++c)
      for (std::size_t r = 0; r < nn; ++r) {
        const double v = work[c * nn + r];
        if (r > c) {
          MatL->Mat[c * nn + r] = v;
          MatU->Mat[c * nn + r] = 0.0;
        } else {
          MatU->Mat[c * nn + r] = v;
          MatL->Mat[c * nn + r] = r == c ? 1.0 : 0.0;
        }
      }
    return true;
  }
  // U is in place already: move the part below the diagonal over to L.
  const bool stream = !l_cleared && StreamL(nn);
  detail::LuExchanges exchanges;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { exchanges = detail::LuListExchanges(piv); });
  for (std::size_t c = 0; c < nn; ++c) {
    double* lc = MatL->Mat.data() + c * nn;
    double* uc = lu + c * nn;
    detail::LuFinishLowerColumn(lu, n, exchanges, static_cast<std::ptrdiff_t>(c));
    if (stream) {
      StreamLowerColumn(lc, uc, c, nn);
      continue;
    }
    if (!l_cleared) std::fill_n(lc, c, 0.0);
    lc[c] = 1.0;
    for (std::size_t r = c + 1; r < nn; ++r) {
      lc[r] = uc[r];
      uc[r] = 0.0;
    }
  }
  if (stream) StreamFence();
  return true;
}

double TMatrix::Determinant() const {
  if (FNCol != FNRow) return 0.0;
  lu_permutation_sign = 1;
  const int32_t n = FNCol;
  if (n == 0) return 1.0;  // the empty product
  ScratchLease scratch;
  double* work = nullptr;
  std::vector<int32_t> piv;
  int32_t sign = 1;
  detail::LuStatus status = detail::LuStatus::kOk;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    scratch[0].assign(Mat.begin(), Mat.end());
    work = scratch[0].data();
    // Only U's diagonal and the sign are read.
    status = detail::LuFactor(work, n, n, piv, sign, {}, {}, false);
  });
  lu_permutation_sign = sign;
  if (status != detail::LuStatus::kOk) return 0.0;
  double d = lu_permutation_sign;
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
    d *= work[i * static_cast<std::size_t>(n) + i];
  return d;
}

bool TMatrix::Invert() {
  if (FNCol != FNRow || FNCol < 1) return false;
  const int32_t n = FNCol;
  bool result = false;
  // A matrix with NaN or infinite elements has no inverse to speak of; its
  // factors would spread NaNs through every column.
  if (AllFinite(Values())) {
    ScratchLease scratch;
    double* lu = nullptr;
    // Every element of the inverse is written; after the swap below this
    // array holds the matrix's old storage, for the next call.
    detail::MatrixStorage& inv = scratch[1];
    std::vector<int32_t> piv;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
      scratch[0].assign(Mat.begin(), Mat.end());
      lu = scratch[0].data();
      inv.resize(Mat.size());
      piv.reserve(static_cast<std::size_t>(n));
    });
    int32_t sign = 1;
    const detail::LuHook abort_test = [](std::ptrdiff_t) { return !AbortMathProc; };
    const detail::LuHook step = [](std::ptrdiff_t) { return StepAndContinue(); };
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
      if (detail::LuFactor(lu, n, n, piv, sign, abort_test, step) == detail::LuStatus::kOk)
        result = detail::LuInverse(lu, n, n, piv, inv.data(), step);
    });
    // An inverse that overflowed is no inverse either.
    if (result && !AllFinite(inv)) result = false;
    if (result) Mat.swap(inv);
  }
  Changed();
  return result;
}

bool TMatrix::CholeskyDecomp(TMatrix* MatL) {
  if (MatL == nullptr || FNCol != FNRow) return false;
  const auto n = static_cast<std::size_t>(FNCol);
  // a(i, j) is row i, column j (0-based) of a work copy: its lower triangle
  // is the input, its strictly upper triangle receives the factor
  // transposed. The caller's matrix is only read.
  std::vector<double> a;
  std::vector<double> p;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    a.assign(Mat.begin(), Mat.begin() + static_cast<std::ptrdiff_t>(n * n));
    p.assign(n, 0.0);
  });
  const auto at = [&a, n](std::size_t i, std::size_t j) -> double& { return a[j * n + i]; };
  bool result = true;
  for (std::size_t i = 0; i < n; ++i) {
    const double* ci = a.data() + i * n;  // column i: a(k, i) for k < i is L(i, k)
    for (std::size_t j = i; j < n; ++j) {
      const double* cj = a.data() + j * n;
      // Terms in descending k, as in Numerical Recipes' choldc.
      double s = at(j, i);
      for (std::size_t k = i; k-- > 0;) s = s - ci[k] * cj[k];
      if (j == i) {
        if (s > 0.0)
          p[i] = std::sqrt(s);
        else
          result = false;  // p(i) stays 0; the loop goes on
      } else {
        at(i, j) = s / p[i];
      }
    }
  }
  MatL->Resize(FNCol, FNCol);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i; j < n; ++j)
      MatL->SetVal(static_cast<int32_t>(i) + 1, static_cast<int32_t>(j) + 1, at(i, j));
    MatL->SetVal(static_cast<int32_t>(i) + 1, static_cast<int32_t>(i) + 1, p[i]);
  }
  return result;
}

// ---- norms -------------------------------------------------------------------

namespace {

// Largest eigenvalue of the symmetric n x n matrix a (row-major, full),
// destroyed on the way. Householder reduction to tridiagonal form and the
// QL algorithm with implicit shifts (Numerical Recipes, 2nd ed., tred2 and
// tqli, eigenvalues only). False when the QL iteration needs more than 30
// iterations for an eigenvalue or a progress step asks to stop.
bool LargestSymmetricEigenvalue(std::vector<double>& a, std::size_t n, double& largest) {
  std::vector<double> d(n, 0.0);
  std::vector<double> e(n, 0.0);
  const auto A = [&a, n](std::size_t i, std::size_t j) -> double& { return a[i * n + j]; };
  for (std::size_t i = n - 1; i >= 1; --i) {
    const std::size_t l = i - 1;
    double h = 0.0;
    if (l > 0) {
      double scale = 0.0;
      for (std::size_t k = 0; k <= l; ++k) scale += std::fabs(A(i, k));
      if (scale == 0.0) {
        e[i] = A(i, l);
      } else {
        for (std::size_t k = 0; k <= l; ++k) {
          A(i, k) /= scale;
          h += A(i, k) * A(i, k);
        }
        double f = A(i, l);
        double g = f >= 0.0 ? -std::sqrt(h) : std::sqrt(h);
        e[i] = scale * g;
        h -= f * g;
        A(i, l) = f - g;
        f = 0.0;
        for (std::size_t j = 0; j <= l; ++j) {
          g = 0.0;
          for (std::size_t k = 0; k <= j; ++k) g += A(j, k) * A(i, k);
          for (std::size_t k = j + 1; k <= l; ++k) g += A(k, j) * A(i, k);
          e[j] = g / h;
          f += e[j] * A(i, j);
        }
        const double hh = f / (h + h);
        for (std::size_t j = 0; j <= l; ++j) {
          f = A(i, j);
          e[j] = g = e[j] - hh * f;
          for (std::size_t k = 0; k <= j; ++k) A(j, k) -= (f * e[k] + g * A(i, k));
        }
      }
    } else {
      e[i] = A(i, l);
    }
    d[i] = h;
    if (!StepAndContinue()) return false;
  }
  for (std::size_t i = 0; i < n; ++i) d[i] = A(i, i);

  // QL with implicit shifts on the tridiagonal matrix (d, e).
  for (std::size_t i = 1; i < n; ++i) e[i - 1] = e[i];
  e[n - 1] = 0.0;
  for (std::size_t l = 0; l < n; ++l) {
    int iter = 0;
    std::size_t m = l;
    do {
      for (m = l; m + 1 < n; ++m) {
        const double dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
        if (std::fabs(e[m]) + dd == dd) break;
      }
      if (m != l) {
        if (iter++ == 30) return false;
        if (!StepAndContinue()) return false;
        double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
        double r = std::hypot(g, 1.0);
        g = d[m] - d[l] + e[l] / (g + (g >= 0.0 ? std::fabs(r) : -std::fabs(r)));
        double s = 1.0;
        double c = 1.0;
        double p = 0.0;
        std::size_t i = m;
        bool underflow = false;
        while (i-- > l) {
          const double f = s * e[i];
          const double b = c * e[i];
          e[i + 1] = (r = std::hypot(f, g));
          if (r == 0.0) {
            // Recover from underflow.
            d[i + 1] -= p;
            e[m] = 0.0;
            underflow = true;
            break;
          }
          s = f / r;
          c = g / r;
          g = d[i + 1] - p;
          r = (d[i] - g) * s + 2.0 * c * b;
          d[i + 1] = g + (p = s * r);
          g = c * r - b;
        }
        if (underflow) continue;
        d[l] -= p;
        e[l] = g;
        e[m] = 0.0;
      }
    } while (m != l);
  }
  largest = *std::max_element(d.begin(), d.end());
  return true;
}

}  // namespace

double TMatrix::Norm(TNormType nt) const {
  const auto nc = static_cast<std::size_t>(FNCol);
  const auto nr = static_cast<std::size_t>(FNRow);
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  switch (nt) {
    case TNormType::ntColwise: {
      double best = 0.0;
      for (std::size_t c = 0; c < nc; ++c) {
        double s = 0.0;
        for (std::size_t r = 0; r < nr; ++r) s += std::fabs(Mat[c * nr + r]);
        if (std::isnan(s)) return kNaN;
        best = std::max(best, s);
      }
      return best;
    }
    case TNormType::ntRowwise: {
      std::vector<double> sums(nr, 0.0);
      for (std::size_t c = 0; c < nc; ++c)
        for (std::size_t r = 0; r < nr; ++r) sums[r] += std::fabs(Mat[c * nr + r]);
      double best = 0.0;
      for (const double s : sums) {
        if (std::isnan(s)) return kNaN;
        best = std::max(best, s);
      }
      return best;
    }
    case TNormType::ntFrobenius: {
      // Scaled by the largest magnitude so that the squares neither
      // overflow nor underflow.
      double scale = 0.0;
      for (const double v : Values()) {
        const double a = std::fabs(v);
        if (std::isnan(a)) return kNaN;
        scale = std::max(scale, a);
      }
      if (scale == 0.0 || std::isinf(scale)) return scale;
      double sum = 0.0;
      for (const double v : Values()) {
        const double q = v / scale;
        sum += q * q;
      }
      return scale * std::sqrt(sum);
    }
    case TNormType::ntSpectral: {
      if (FNCol != FNRow)
        throw EORKMatrixError(detail::ComponentMsg(*this, "spectral norm of a non-square matrix"));
      if (nc == 0) return 0.0;
      // The symmetric matrix whose lower triangle is that of A, row-major.
      std::vector<double> a;
      detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { a.resize(nc * nc); });
      for (std::size_t i = 0; i < nc; ++i)
        for (std::size_t j = 0; j <= i; ++j) a[i * nc + j] = a[j * nc + i] = Mat[j * nc + i];
      double largest = 0.0;
      if (!LargestSymmetricEigenvalue(a, nc, largest))
        throw EORKMatrixError("near singular covariance matrix");
      return largest;
    }
  }
  return 0.0;
}

// ---- balancing ---------------------------------------------------------------

bool TMatrix::Balance() {
  if (FNCol != FNRow) return false;
  const auto n = static_cast<std::size_t>(FNCol);
  // a(i, j): row i, column j.
  const auto a = [this, n](std::size_t i, std::size_t j) -> double& { return Mat[j * n + i]; };
  constexpr int kMaxPasses = 1000;
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    double f_max = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      double r = 0.0;
      double c = 0.0;
      for (std::size_t j = 0; j < n; ++j) {
        if (j == i) continue;
        r += std::fabs(a(i, j));
        c += std::fabs(a(j, i));
      }
      // A zero column sum leaves nothing to balance against, a zero row sum
      // would give f = 0 and infinite elements: both indices are skipped,
      // and so are sums or factors that are not finite.
      if (c == 0.0 || r == 0.0 || !std::isfinite(r) || !std::isfinite(c)) continue;
      const double f = std::sqrt(r) / std::sqrt(c);  // sqrt(r / c) without overflow in r / c
      if (!std::isfinite(f) || f == 0.0) continue;
      f_max = std::max(f_max, f);
      for (std::size_t j = 0; j < n; ++j) {
        if (j == i) continue;
        a(i, j) /= f;
        a(j, i) *= f;
      }
    }
    if (f_max < 1.05) return true;
  }
  return false;
}

}  // namespace numbra
