// Singular value decomposition (Golub-Reinsch) and the least-squares solver
// built on it. Every inner loop runs down a column of the column-major
// storage, so the Householder updates and the Givens rotations of U and V
// stream through contiguous memory.
#include "ORK_math2.h"
#include "analysis/svd_detail.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace numbra {

namespace detail {

namespace {

// |a| with the sign of b (b >= 0 counting as positive).
inline double TransferSign(double a, double b) noexcept {
  return b >= 0.0 ? std::fabs(a) : -std::fabs(a);
}

// Hypotenuse as sqrt(a^2 + b^2), computed directly.
inline double Hypot(double a, double b) noexcept { return std::sqrt(a * a + b * b); }

// Rotation of two contiguous columns: (x, y) <- (x c + y s, y c - x s).
inline void Rotate(double* __restrict x, double* __restrict y, std::size_t len, double c,
                   double s) noexcept {
  for (std::size_t k = 0; k < len; ++k) {
    const double xk = x[k];
    const double yk = y[k];
    x[k] = xk * c + yk * s;
    y[k] = yk * c - xk * s;
  }
}

inline double Dot(const double* __restrict x, const double* __restrict y,
                  std::size_t len) noexcept {
  double s = 0.0;
  for (std::size_t k = 0; k < len; ++k) s += x[k] * y[k];
  return s;
}

inline void Axpy(double f, const double* __restrict x, double* __restrict y,
                 std::size_t len) noexcept {
  for (std::size_t k = 0; k < len; ++k) y[k] += f * x[k];
}

}  // namespace

SvdStatus SvdKernel(double* a, int32_t m, int32_t n, double* v, double* w, bool Progress) {
  const auto M = static_cast<std::size_t>(m);
  const auto N = static_cast<std::size_t>(n);
  // Column c of A starts at a + c * M, column c of V at v + c * N.
  auto col = [a, M](std::size_t c) { return a + c * M; };
  auto vcol = [v, N](std::size_t c) { return v + c * N; };
  std::vector<double> rv1(N, 0.0);
  std::vector<double> rowbuf(std::max(M, N), 0.0);
  SvdStatus status = SvdStatus::kOk;

  // Householder reduction to bidiagonal form.
  double g = 0.0, scale = 0.0, anorm = 0.0;
  for (std::size_t i = 0; i < N; ++i) {
    const std::size_t l = i + 1;
    rv1[i] = scale * g;
    g = 0.0;
    scale = 0.0;
    double s = 0.0;
    if (i < M) {
      double* ci = col(i);
      for (std::size_t k = i; k < M; ++k) scale += std::fabs(ci[k]);
      if (scale != 0.0) {
        for (std::size_t k = i; k < M; ++k) {
          ci[k] /= scale;
          s += ci[k] * ci[k];
        }
        const double f = ci[i];
        g = -TransferSign(std::sqrt(s), f);
        const double h = f * g - s;
        ci[i] = f - g;
        for (std::size_t j = l; j < N; ++j) {
          double* cj = col(j);
          const double fj = Dot(ci + i, cj + i, M - i) / h;
          Axpy(fj, ci + i, cj + i, M - i);
        }
        for (std::size_t k = i; k < M; ++k) ci[k] *= scale;
      }
    }
    w[i] = scale * g;
    g = 0.0;
    s = 0.0;
    scale = 0.0;
    if (i < M && i + 1 != N) {
      // Row i, columns l..n-1 (strided); the update of rows l..m-1 runs
      // column by column: first the products of each row with row i, then
      // the rank-one update, each over a contiguous column.
      for (std::size_t k = l; k < N; ++k) scale += std::fabs(col(k)[i]);
      if (scale != 0.0) {
        for (std::size_t k = l; k < N; ++k) {
          double& aik = col(k)[i];
          aik /= scale;
          s += aik * aik;
        }
        const double f = col(l)[i];
        g = -TransferSign(std::sqrt(s), f);
        const double h = f * g - s;
        col(l)[i] = f - g;
        for (std::size_t k = l; k < N; ++k) rv1[k] = col(k)[i] / h;
        if (l < M) {
          double* sums = rowbuf.data();
          std::fill(sums + l, sums + M, 0.0);
          for (std::size_t k = l; k < N; ++k) Axpy(col(k)[i], col(k) + l, sums + l, M - l);
          for (std::size_t k = l; k < N; ++k) {
            double* ck = col(k);
            const double r = rv1[k];
            for (std::size_t j = l; j < M; ++j) ck[j] += sums[j] * r;
          }
        }
        for (std::size_t k = l; k < N; ++k) col(k)[i] *= scale;
      }
    }
    anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(rv1[i]));
    if (Progress) {
      StepProcStat();
      if (AbortMathProc) return SvdStatus::kAborted;
    }
  }

  // Accumulation of the right-hand transformations into V.
  {
    std::size_t l = N;
    for (std::size_t ii = N; ii-- > 0;) {
      const std::size_t i = ii;
      if (i + 1 < N) {
        if (g != 0.0) {
          double* row = rowbuf.data();
          for (std::size_t k = l; k < N; ++k) row[k] = col(k)[i];
          double* vi = vcol(i);
          // Double division avoids a possible underflow.
          for (std::size_t j = l; j < N; ++j) vi[j] = (row[j] / row[l]) / g;
          for (std::size_t j = l; j < N; ++j) {
            double* vj = vcol(j);
            const double sj = Dot(row + l, vj + l, N - l);
            Axpy(sj, vi + l, vj + l, N - l);
          }
        }
        for (std::size_t j = l; j < N; ++j) {
          vcol(j)[i] = 0.0;
          vcol(i)[j] = 0.0;
        }
      }
      vcol(i)[i] = 1.0;
      g = rv1[i];
      l = i;
    }
  }

  // Accumulation of the left-hand transformations into U (in A).
  for (std::size_t ii = std::min(M, N); ii-- > 0;) {
    const std::size_t i = ii;
    const std::size_t l = i + 1;
    double gi = w[i];
    for (std::size_t j = l; j < N; ++j) col(j)[i] = 0.0;
    double* ci = col(i);
    if (gi != 0.0) {
      gi = 1.0 / gi;
      for (std::size_t j = l; j < N; ++j) {
        double* cj = col(j);
        const double s = Dot(ci + l, cj + l, M - l);
        const double f = (s / ci[i]) * gi;
        Axpy(f, ci + i, cj + i, M - i);
      }
      for (std::size_t j = i; j < M; ++j) ci[j] *= gi;
    } else {
      for (std::size_t j = i; j < M; ++j) ci[j] = 0.0;
    }
    ci[i] += 1.0;
  }

  // Diagonalisation of the bidiagonal form: implicit-shift QR.
  auto negligible = [&anorm](double x) { return std::fabs(x) + anorm == anorm; };
  for (std::size_t kk = N; kk-- > 0;) {
    const std::size_t k = kk;
    for (int its = 1; its <= 30; ++its) {
      bool cancel = true;
      std::size_t l = k;
      std::size_t nm = 0;
      for (std::size_t ll = k + 1; ll-- > 0;) {
        l = ll;
        // rv1[0] is always 0, so the search stops at l = 0 at the latest.
        if (l == 0 || negligible(rv1[l])) {
          cancel = false;
          break;
        }
        nm = l - 1;
        if (negligible(w[nm])) break;
      }
      if (cancel) {
        // w[nm] is negligible: cancel rv1[l] by rotations.
        double c = 0.0, s = 1.0;
        for (std::size_t i = l; i <= k; ++i) {
          const double f = s * rv1[i];
          rv1[i] = c * rv1[i];
          if (negligible(f)) break;
          const double gg = w[i];
          double h = Hypot(f, gg);
          w[i] = h;
          h = 1.0 / h;
          c = gg * h;
          s = -f * h;
          Rotate(col(nm), col(i), M, c, s);
        }
      }
      double z = w[k];
      if (l == k) {
        // Convergence: make the singular value non-negative.
        if (z < 0.0) {
          w[k] = -z;
          double* vk = vcol(k);
          for (std::size_t j = 0; j < N; ++j) vk[j] = -vk[j];
        }
        break;
      }
      if (its == 30) status = SvdStatus::kNoConvergence;
      // Shift from the bottom 2 x 2 minor.
      double x = w[l];
      nm = k - 1;
      double y = w[nm];
      double gg = rv1[nm];
      double h = rv1[k];
      double f = ((y - z) * (y + z) + (gg - h) * (gg + h)) / (2.0 * h * y);
      gg = Hypot(f, 1.0);
      f = ((x - z) * (x + z) + h * ((y / (f + TransferSign(gg, f))) - h)) / x;
      // Next QR transformation.
      double c = 1.0, s = 1.0;
      for (std::size_t j = l; j <= nm; ++j) {
        const std::size_t i = j + 1;
        gg = rv1[i];
        y = w[i];
        h = s * gg;
        gg = c * gg;
        z = Hypot(f, h);
        rv1[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + gg * s;
        gg = gg * c - x * s;
        h = y * s;
        y *= c;
        Rotate(vcol(j), vcol(i), N, c, s);
        z = Hypot(f, h);
        w[j] = z;
        if (z != 0.0) {
          z = 1.0 / z;
          c = f * z;
          s = h * z;
        }
        f = c * gg + s * y;
        x = c * y - s * gg;
        Rotate(col(j), col(i), M, c, s);
      }
      rv1[l] = 0.0;
      rv1[k] = f;
      w[k] = x;
    }
  }
  return status;
}

void SvdSolve(const double* u, const double* v, const double* w, int32_t m, int32_t n,
              const double* b, double* x, double* StdErr) {
  const auto M = static_cast<std::size_t>(m);
  const auto N = static_cast<std::size_t>(n);
  std::vector<double> tmp(N, 0.0);
  for (std::size_t j = 0; j < N; ++j)
    if (w[j] != 0.0) tmp[j] = Dot(u + j * M, b, M) / w[j];
  std::fill(x, x + N, 0.0);
  for (std::size_t j = 0; j < N; ++j) Axpy(tmp[j], v + j * N, x, N);
  if (StdErr != nullptr) {
    std::fill(StdErr, StdErr + N, 0.0);
    for (std::size_t j = 0; j < N; ++j) {
      if (w[j] == 0.0) continue;
      const double* vj = v + j * N;
      const double wj2 = w[j] * w[j];
      for (std::size_t i = 0; i < N; ++i) StdErr[i] += vj[i] * vj[i] / wj2;
    }
    for (std::size_t i = 0; i < N; ++i) StdErr[i] = std::sqrt(StdErr[i]);
  }
}

}  // namespace detail

namespace {

// Runs fn; a failed allocation becomes EORKMath2Error "<Routine>: not
// enough memory on heap".
template <class Fn>
void Guarded(std::string_view Routine, Fn&& fn) {
  try {
    std::forward<Fn>(fn)();
  } catch (const std::bad_alloc&) {
    throw EORKMath2Error(std::string(Routine) + ": not enough memory on heap");
  } catch (const std::length_error&) {
    throw EORKMath2Error(std::string(Routine) + ": not enough memory on heap");
  }
}

bool AllFinite(std::span<const double> v) {
  return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

// Sizes a result vector to n elements and returns its values (the vector's
// OnChange fires through SetVal when the caller copies back).
void StoreVector(TVector& Dest, const std::vector<double>& Values) {
  const auto n = static_cast<int32_t>(Values.size());
  if (Dest.NrOfElem() != n) Dest.Resize(n);
  for (int32_t i = 1; i <= n; ++i) Dest.SetVal(i, Values[static_cast<std::size_t>(i) - 1]);
}

}  // namespace

bool SvdDecompose(TMatrix& A, TMatrix& V, TVector& W) {
  const int32_t m = A.NrOfRows();
  const int32_t n = A.NrOfColumns();
  if (m < 1 || n < 1 || !AllFinite(A.Values())) return false;
  if (V.NrOfColumns() != n || V.NrOfRows() != n) V.Resize(n, n);
  std::vector<double> w;
  Guarded("SvdDecompose", [&] { w.assign(static_cast<std::size_t>(n), 0.0); });
  auto& a = detail::MatrixAccess::Storage(A);
  auto& v = detail::MatrixAccess::Storage(V);
  detail::SvdStatus status = detail::SvdStatus::kOk;
  Guarded("SvdDecompose", [&] { status = detail::SvdKernel(a.data(), m, n, v.data(), w.data()); });
  StoreVector(W, w);
  detail::MatrixAccess::FireChanged(A);
  detail::MatrixAccess::FireChanged(V);
  return status == detail::SvdStatus::kOk;
}

void SvdBackSubstitute(const TMatrix& U, const TMatrix& V, const TVector& W, const TVector& b,
                       TVector& x, TVector* StdErr) {
  const int32_t m = U.NrOfRows();
  const int32_t n = U.NrOfColumns();
  if (m < 1 || n < 1 || V.NrOfColumns() != n || V.NrOfRows() != n) return;
  std::vector<double> bb(static_cast<std::size_t>(m)), ww(static_cast<std::size_t>(n));
  for (int32_t i = 1; i <= m; ++i) bb[static_cast<std::size_t>(i) - 1] = b.GetVal(i);
  for (int32_t i = 1; i <= n; ++i) ww[static_cast<std::size_t>(i) - 1] = W.GetVal(i);
  std::vector<double> xx(static_cast<std::size_t>(n)), se;
  if (StdErr != nullptr) se.resize(static_cast<std::size_t>(n));
  detail::SvdSolve(U.Values().data(), V.Values().data(), ww.data(), m, n, bb.data(), xx.data(),
                   StdErr != nullptr ? se.data() : nullptr);
  StoreVector(x, xx);
  if (StdErr != nullptr) StoreVector(*StdErr, se);
}

bool SvdLeastSquares(TMatrix& A, const TVector& b, TVector& x, TVector* StdErr, bool& NearSingular,
                     double RelCutOff) {
  NearSingular = false;
  const int32_t n = A.NrOfColumns();
  if (n < 1 || A.NrOfRows() < 1) return false;
  TMatrix V;
  TVector W;
  if (!SvdDecompose(A, V, W)) return false;
  double wmax = 0.0;
  for (int32_t j = 1; j <= n; ++j) wmax = std::max(wmax, W.GetVal(j));
  const double thresh = std::clamp(RelCutOff, 0.0, 1.0) * wmax;
  for (int32_t j = 1; j <= n; ++j)
    if (W.GetVal(j) < thresh) {
      W.SetVal(j, 0.0);
      NearSingular = true;
    }
  SvdBackSubstitute(A, V, W, b, x, StdErr);
  return true;
}

bool SvdLeastSquares(TMatrix& A, const TVector& b, TVector& x, TVector* StdErr,
                     bool& NearSingular) {
  return SvdLeastSquares(A, b, x, StdErr, NearSingular, 1e-14);
}

}  // namespace numbra
