// Blocked Crout LU factorisation and the inverse from its factors.
//
// Crout's method (Numerical Recipes, sec. 2.3) computes column j of the
// factors as
//   U(i, j) = A(i, j) - sum_{k<i} L(i, k) U(k, j)          (i < j)
//   s(i)    = A(i, j) - sum_{k<j} L(i, k) U(k, j)          (i >= j)
// then picks the pivot from the scaled s(i), exchanges rows and divides the
// s(i) below the pivot by it. Each element is thus one running difference
// with its terms in ascending k. A right-looking blocked factorisation
// (panels of kPanel columns, a triangular solve for the block row of U, a
// matrix product update of the trailing matrix; within a panel the same
// scheme recursively, down to kLeaf columns) subtracts exactly the same
// terms from each element in exactly the same order -- it only interleaves
// the elements differently -- so its factors, pivots and tie-breaks are
// those of Crout's loops bit for bit, while nearly all of the O(n^3) work
// runs in the cache-blocked product kernel (the recursive form follows
// Toledo, "Locality of reference in LU decomposition with partial
// pivoting", SIAM J. Matrix Anal. Appl. 18, 1997).
#include "matrix/gemm_detail.h"
#include "matrix/lu_detail.h"

#include <algorithm>
#include <cmath>

namespace numbra::detail {

namespace {

// Outer panel width: the trailing update of each panel is one product with
// k = kPanel terms, long enough for the kernel to run near its peak.
constexpr std::ptrdiff_t kPanel = 128;
// Below this width panels and triangular solves are done by plain loops.
constexpr std::ptrdiff_t kLeaf = 16;

// Splits [lo, hi) near its middle on a multiple of 8 (the kernel's tile).
std::ptrdiff_t Split(std::ptrdiff_t lo, std::ptrdiff_t hi) {
  const std::ptrdiff_t mid = lo + ((hi - lo) / 2 + 7) / 8 * 8;
  return mid < hi ? mid : lo + (hi - lo) / 2;
}

struct LuState {
  double* a;
  std::ptrdiff_t n;
  std::ptrdiff_t lda;
  std::vector<double>& scale;
  std::vector<int32_t>& piv;
  int32_t& sign;
  const LuHook& col_hook;
  bool tiny = false;
  [[nodiscard]] double* Col(std::ptrdiff_t j) const { return a + j * lda; }
};

// Rows r0..r1-1 of columns c0..c1-1 take their terms k = r0..i-1 with the
// unit lower triangle L(r0..r1-1, r0..r1-1): X := L^-1 X. Recursive: the
// upper half first, then its contribution to the lower half through the
// product kernel (these terms have the smaller k, so they come first, as
// in the plain loop), then the lower half.
void TrsmLowerUnit(LuState& st, std::ptrdiff_t r0, std::ptrdiff_t r1, std::ptrdiff_t c0,
                   std::ptrdiff_t c1) {
  if (c1 <= c0 || r1 - r0 <= 1) return;
  if (r1 - r0 <= kLeaf) {
    for (std::ptrdiff_t c = c0; c < c1; ++c) {
      double* col = st.Col(c);
      for (std::ptrdiff_t k = r0; k < r1; ++k) {
        const double u = col[k];
        const double* lk = st.Col(k);
        for (std::ptrdiff_t i = k + 1; i < r1; ++i) col[i] = col[i] - lk[i] * u;
      }
    }
    return;
  }
  const std::ptrdiff_t mid = Split(r0, r1);
  TrsmLowerUnit(st, r0, mid, c0, c1);
  GemmAccumulate(r1 - mid, c1 - c0, mid - r0, ConstView{st.a + mid + r0 * st.lda, 1, st.lda},
                 ConstView{st.a + r0 + c0 * st.lda, 1, st.lda}, st.a + mid + c0 * st.lda, st.lda,
                 true);
  TrsmLowerUnit(st, mid, r1, c0, c1);
}

// Crout's column step for columns c0..c1-1 (rows c0..n-1), each column
// having received all its terms k < its index except those from c0..j-1:
// plain loops for narrow panels, otherwise the left half, its block row of
// U, the product update of the right half, and the right half.
bool FactorPanel(LuState& st, std::ptrdiff_t c0, std::ptrdiff_t c1) {
  const std::ptrdiff_t n = st.n;
  if (c1 - c0 > kLeaf) {
    const std::ptrdiff_t mid = Split(c0, c1);
    if (!FactorPanel(st, c0, mid)) return false;
    TrsmLowerUnit(st, c0, mid, mid, c1);
    GemmAccumulate(n - mid, c1 - mid, mid - c0, ConstView{st.a + mid + c0 * st.lda, 1, st.lda},
                   ConstView{st.a + c0 + mid * st.lda, 1, st.lda}, st.a + mid + mid * st.lda,
                   st.lda, true);
    return FactorPanel(st, mid, c1);
  }
  for (std::ptrdiff_t j = c0; j < c1; ++j) {
    if (st.col_hook && !st.col_hook(j)) return false;
    double* colj = st.Col(j);
    // Pivot: the largest scaled magnitude; ">=" lets the later row win a
    // tie. A column of NaNs keeps row j.
    double big = 0.0;
    std::ptrdiff_t imax = j;
    for (std::ptrdiff_t i = j; i < n; ++i) {
      const double dum = st.scale[static_cast<std::size_t>(i)] * std::fabs(colj[i]);
      if (dum >= big) {
        big = dum;
        imax = i;
      }
    }
    if (imax != j) {
      for (std::ptrdiff_t c = 0; c < n; ++c) std::swap(st.Col(c)[imax], st.Col(c)[j]);
      st.sign = -st.sign;
      st.scale[static_cast<std::size_t>(imax)] = st.scale[static_cast<std::size_t>(j)];
    }
    st.piv[static_cast<std::size_t>(j)] = static_cast<int32_t>(imax);
    if (std::fabs(colj[j]) < kTinyPivot) {
      st.tiny = true;
      colj[j] = kTinyPivot;
    }
    const double pivot = colj[j];
    for (std::ptrdiff_t i = j + 1; i < n; ++i) colj[i] = colj[i] / pivot;
    // The rest of the panel receives term k = j.
    for (std::ptrdiff_t jj = j + 1; jj < c1; ++jj) {
      double* c = st.Col(jj);
      const double u = c[j];
      for (std::ptrdiff_t i = j + 1; i < n; ++i) c[i] = c[i] - colj[i] * u;
    }
  }
  return true;
}

}  // namespace

LuStatus LuFactor(double* a, std::ptrdiff_t n, std::ptrdiff_t lda, std::vector<int32_t>& piv,
                  int32_t& sign, const LuHook& RowHook, const LuHook& ColHook) {
  sign = 1;
  piv.assign(static_cast<std::size_t>(n), 0);
  if (RowHook)
    for (std::ptrdiff_t i = 0; i < n; ++i)
      if (!RowHook(i)) return LuStatus::kAborted;

  // Implicit pivoting: the scale of a row is 1 / its largest magnitude.
  // (A NaN never compares greater, so it does not count as the largest.)
  std::vector<double> scale(static_cast<std::size_t>(n), 0.0);
  for (std::ptrdiff_t j = 0; j < n; ++j) {
    const double* col = a + j * lda;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
      const double t = std::fabs(col[i]);
      if (t > scale[static_cast<std::size_t>(i)]) scale[static_cast<std::size_t>(i)] = t;
    }
  }
  bool zero_row = false;
  for (double& s : scale) {
    if (s == 0.0)
      zero_row = true;
    else
      s = 1.0 / s;
  }
  if (zero_row) return LuStatus::kZeroRow;

  LuState st{a, n, lda, scale, piv, sign, ColHook};
  for (std::ptrdiff_t j0 = 0; j0 < n; j0 += kPanel) {
    const std::ptrdiff_t j1 = std::min(n, j0 + kPanel);
    if (!FactorPanel(st, j0, j1)) return LuStatus::kAborted;
    if (j1 >= n) continue;
    // Block row of U: rows j0..j1-1 of the columns right of the panel.
    TrsmLowerUnit(st, j0, j1, j1, n);
    // Trailing matrix: terms k = j0..j1-1, in ascending k.
    GemmAccumulate(n - j1, n - j1, j1 - j0, ConstView{a + j1 + j0 * lda, 1, lda},
                   ConstView{a + j0 + j1 * lda, 1, lda}, a + j1 + j1 * lda, lda, true);
  }
  return st.tiny ? LuStatus::kTinyPivot : LuStatus::kOk;
}

namespace {

// The textbook solve of one column (Numerical Recipes' lubksb) on the
// row-major factors R: forward substitution from the first nonzero, then
// back substitution. Used when L holds non-finite values, where skipping
// the leading zeros matters (0 * inf is NaN).
void SolveColumn(const double* R, std::ptrdiff_t n, const std::vector<int32_t>& piv, double* b) {
  std::ptrdiff_t ii = -1;
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    const auto ip = static_cast<std::ptrdiff_t>(piv[static_cast<std::size_t>(i)]);
    double sum = b[ip];
    b[ip] = b[i];
    if (ii >= 0) {
      for (std::ptrdiff_t k = ii; k < i; ++k) sum = sum - R[i * n + k] * b[k];
    } else if (sum != 0.0) {
      ii = i;
    }
    b[i] = sum;
  }
  for (std::ptrdiff_t i = n - 1; i >= 0; --i) {
    double sum = b[i];
    for (std::ptrdiff_t k = i + 1; k < n; ++k) sum = sum - R[i * n + k] * b[k];
    b[i] = sum / R[i * n + i];
  }
}

}  // namespace

// Column j of the inverse solves L U x = P e_j. Applying the row exchanges
// to e_j puts its 1 at position t = pos(j) (every t once), and the forward
// substitution starts there: y(t) = 1, y(i) = 0 - sum_{k=t}^{i-1} L(i, k)
// y(k). So, ordered by t, the forward results are the columns of L^-1. We
// solve kRowBlock of them at once, each right-hand side a lane of the
// vector kernel: starting the sums of a block at its first t only adds
// terms L(i, k) * (+0) before the real ones, which leave +0 and 1 unchanged
// when L is finite, so every element is still computed exactly as the
// one-column loop computes it. The back substitution has no such freedom
// and none is taken: row by row from the bottom, terms in ascending k.
bool LuInverse(const double* a, std::ptrdiff_t n, std::ptrdiff_t lda,
               const std::vector<int32_t>& piv, double* inv, const LuHook& BlockHook) {
  // Row-major copy of the factors: the substitutions walk along rows.
  AlignedBuffer rbuf(static_cast<std::size_t>(n * n));
  double* R = rbuf.data();
  constexpr std::ptrdiff_t kT = 64;
  for (std::ptrdiff_t j0 = 0; j0 < n; j0 += kT)
    for (std::ptrdiff_t i0 = 0; i0 < n; i0 += kT)
      for (std::ptrdiff_t j = j0; j < std::min(n, j0 + kT); ++j)
        for (std::ptrdiff_t i = i0; i < std::min(n, i0 + kT); ++i) R[i * n + j] = a[i + j * lda];

  std::vector<int32_t> col_of(static_cast<std::size_t>(n));
  for (std::ptrdiff_t i = 0; i < n; ++i)
    col_of[static_cast<std::size_t>(i)] = static_cast<int32_t>(i);
  for (std::ptrdiff_t i = 0; i < n; ++i)
    std::swap(col_of[static_cast<std::size_t>(i)],
              col_of[static_cast<std::size_t>(piv[static_cast<std::size_t>(i)])]);

  bool lower_finite = true;
  for (std::ptrdiff_t i = 0; i < n && lower_finite; ++i)
    for (std::ptrdiff_t k = 0; k < i; ++k)
      if (!std::isfinite(R[i * n + k])) {
        lower_finite = false;
        break;
      }

  if (!lower_finite) {
    std::vector<double> b(static_cast<std::size_t>(n));
    for (std::ptrdiff_t j = 0; j < n; ++j) {
      if (BlockHook && !BlockHook(j)) return false;
      std::fill(b.begin(), b.end(), 0.0);
      b[static_cast<std::size_t>(j)] = 1.0;
      SolveColumn(R, n, piv, b.data());
      std::copy(b.begin(), b.end(), inv + j * n);
    }
    return true;
  }

  AlignedBuffer ybuf(static_cast<std::size_t>(n * kRowBlock));
  double* Y = ybuf.data();
  alignas(64) double acc[kRowBlock];
  for (std::ptrdiff_t t0 = 0; t0 < n; t0 += kRowBlock) {
    const std::ptrdiff_t w = std::min(kRowBlock, n - t0);
    if (BlockHook)
      for (std::ptrdiff_t v = 0; v < w; ++v)
        if (!BlockHook(t0 + v)) return false;
    std::fill(Y, Y + t0 * kRowBlock, 0.0);
    for (std::ptrdiff_t i = t0; i < n; ++i) {
      for (std::ptrdiff_t v = 0; v < kRowBlock; ++v) acc[v] = (i - t0 == v) ? 1.0 : 0.0;
      RowUpdate(R + i * n, t0, i, Y, acc);
      std::copy(acc, acc + kRowBlock, Y + i * kRowBlock);
    }
    for (std::ptrdiff_t i = n - 1; i >= 0; --i) {
      double* yi = Y + i * kRowBlock;
      std::copy(yi, yi + kRowBlock, acc);
      RowUpdate(R + i * n, i + 1, n, Y, acc);
      const double d = R[i * n + i];
      for (std::ptrdiff_t v = 0; v < kRowBlock; ++v) yi[v] = acc[v] / d;
    }
    for (std::ptrdiff_t v = 0; v < w; ++v) {
      double* out = inv + static_cast<std::ptrdiff_t>(col_of[static_cast<std::size_t>(t0 + v)]) * n;
      for (std::ptrdiff_t i = 0; i < n; ++i) out[i] = Y[i * kRowBlock + v];
    }
  }
  return true;
}

}  // namespace numbra::detail
