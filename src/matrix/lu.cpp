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
// pivoting", SIAM J. Matrix Anal. Appl. 18, 1997). Row exchanges are
// applied where they are needed: at once within the leaf being factorised,
// and to the other columns in blocks, a column at a time (as LAPACK's
// dlaswp does), before those columns are next read.
#include "matrix/gemm_detail.h"
#include "matrix/lu_detail.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The portable inner loops.
#define NUMBRA_LU_NS lu_generic
#include "matrix/lu_kernels.h"
#undef NUMBRA_LU_NS

namespace numbra::detail {

namespace {

// Outer panel width: the trailing update of each panel is one product with
// k = kPanel terms, long enough for the kernel to run near its peak.
constexpr std::ptrdiff_t kPanel = 128;
// Below this width panels and triangular solves are done by plain loops.
constexpr std::ptrdiff_t kLeaf = kLuLeaf;
// Columns of the inverse whose forward substitution is done together (a
// multiple of kRowBlock).
constexpr std::ptrdiff_t kInvBlock = 128;
// Width of the column groups for which the forward solve skips the zero
// rows separately.
constexpr std::ptrdiff_t kSkipChunk = 64;

// The inner loops of the set that matches the product kernels.
const LuKernelSet& Kernels() {
  static const LuKernelSet set = [] {
#if defined(NUMBRA_MATRIX_HAVE_AVX2)
    // Every product set named avx* (avx2, avx512, avx512-emulated) runs on
    // processors with AVX2.
    if (std::strncmp(KernelName(), "avx", 3) == 0)
      return LuKernelSet{&lu_avx2::SubProductSmall, &lu_avx2::TrsmLeaf,   &lu_avx2::PanelColumn,
                         &lu_avx2::BackSubstitute,  &lu_avx2::GatherRows, &lu_avx2::ScatterRows,
                         &lu_avx2::MirrorUpper};
#endif
    return LuKernelSet{&lu_generic::SubProductSmall, &lu_generic::TrsmLeaf,
                       &lu_generic::PanelColumn,     &lu_generic::BackSubstitute,
                       &lu_generic::GatherRows,      &lu_generic::ScatterRows,
                       &lu_generic::MirrorUpper};
  }();
  return set;
}

// Splits [lo, hi) near its middle on a multiple of 8 (the kernel's tile).
std::ptrdiff_t Split(std::ptrdiff_t lo, std::ptrdiff_t hi) {
  const std::ptrdiff_t mid = lo + ((hi - lo) / 2 + 7) / 8 * 8;
  return mid < hi ? mid : lo + (hi - lo) / 2;
}

// The register-tile products of the kernel set. For a wide block (more
// than 64 columns, at most 32 terms) A is copied to a contiguous block
// kSmallRows rows at a time: the tiles read A once per group of four
// columns of B, and with a power-of-two leading dimension the columns of A
// fall into the same few cache sets, so read in place A would come from
// the next level every time. The copy changes no arithmetic. (Copying the
// tall blocks of the panels the same way was measured slower.)
constexpr std::ptrdiff_t kSmallRows = 64;
void SubProductSmallPacked(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, const double* A,
                           std::ptrdiff_t lda, const double* B, std::ptrdiff_t ldb, double* C,
                           std::ptrdiff_t ldc) {
  const LuKernelSet& kern = Kernels();
  if (n <= 64 || k > 32) {
    kern.sub_product(m, n, k, A, lda, B, ldb, C, ldc);
    return;
  }
  alignas(64) double pa[kSmallRows * 32];
  for (std::ptrdiff_t i0 = 0; i0 < m; i0 += kSmallRows) {
    const std::ptrdiff_t mc = std::min(kSmallRows, m - i0);
    const std::ptrdiff_t ld = (mc + 7) / 8 * 8;
    for (std::ptrdiff_t kk = 0; kk < k; ++kk)
      std::memcpy(pa + kk * ld, A + i0 + kk * lda, static_cast<std::size_t>(mc) * sizeof(double));
    kern.sub_product(mc, n, k, pa, ld, B, ldb, C + i0, ldc);
  }
}

// C := C - A * B for column-major blocks (C m x n, A m x k, B k x n),
// through the packed product kernel when the product is large enough for
// it, by the register tiles of the kernel set otherwise (the narrow
// products of the recursion). Both give every element its k terms in
// ascending order: (-a) * b added is a * b subtracted, bit for bit.
void SubProduct(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, const double* A,
                std::ptrdiff_t lda, const double* B, std::ptrdiff_t ldb, double* C,
                std::ptrdiff_t ldc) {
  if (m <= 0 || n <= 0 || k <= 0) return;
  if (k <= 32 || n <= 16 || m <= 16)
    SubProductSmallPacked(m, n, k, A, lda, B, ldb, C, ldc);
  else
    GemmAccumulate(m, n, k, ConstView{A, 1, lda}, ConstView{B, 1, ldb}, C, ldc, true);
}

// X := L^-1 X for the m x w column-major block X (leading dimension ldx)
// and the unit lower triangle L of the m x m block at l (leading dimension
// ldl): row i of X takes its terms k = 0..i-1 in ascending k. Recursive:
// the upper half first, then its contribution to the lower half through
// the product (these terms have the smaller k, so they come first, as in
// the plain loop), then the lower half.
void TrsmLowerUnit(const double* l, std::ptrdiff_t ldl, std::ptrdiff_t m, double* x,
                   std::ptrdiff_t ldx, std::ptrdiff_t w) {
  if (w <= 0 || m <= 1) return;
  if (m <= kLeaf) {
    Kernels().trsm_leaf(l, ldl, m, x, ldx, w);
    return;
  }
  const std::ptrdiff_t mid = Split(0, m);
  TrsmLowerUnit(l, ldl, mid, x, ldx, w);
  SubProduct(m - mid, w, mid, l + mid, ldl, x, ldx, x + mid, ldx);
  TrsmLowerUnit(l + mid + mid * ldl, ldl, m - mid, x + mid, ldx, w);
}

// X := L^-1 X as TrsmLowerUnit, for a right-hand side whose column c is
// zero above its row c + off: the zero parts are left out of the work.
// (Their terms L(i, k) * (+0) would leave every sum as it is: a running
// value that starts at +0 or 1 never becomes -0, and adding +-0 to
// anything else but -0 changes nothing.)
void TrsmLowerUnitTrapezoid(const double* l, std::ptrdiff_t ldl, std::ptrdiff_t m, double* x,
                            std::ptrdiff_t ldx, std::ptrdiff_t w, std::ptrdiff_t off) {
  if (w <= 0 || m <= 1) return;
  if (off + w - 1 <= 0 || m <= kLeaf) {
    TrsmLowerUnit(l, ldl, m, x, ldx, w);
    return;
  }
  const std::ptrdiff_t mid = Split(0, m);
  // Columns with a nonzero row above mid.
  const std::ptrdiff_t ctop = std::clamp<std::ptrdiff_t>(mid - off, 0, w);
  TrsmLowerUnitTrapezoid(l, ldl, mid, x, ldx, ctop, off);
  for (std::ptrdiff_t cb = 0; cb < ctop; cb += kSkipChunk) {
    const std::ptrdiff_t cw = std::min(kSkipChunk, ctop - cb);
    const std::ptrdiff_t k0 = std::max<std::ptrdiff_t>(0, cb + off);
    SubProduct(m - mid, cw, mid - k0, l + mid + k0 * ldl, ldl, x + k0 + cb * ldx, ldx,
               x + mid + cb * ldx, ldx);
  }
  TrsmLowerUnitTrapezoid(l + mid + mid * ldl, ldl, m - mid, x + mid, ldx, w, off - mid);
}

struct LuState {
  double* a;
  std::ptrdiff_t n;
  std::ptrdiff_t lda;
  double* scale;
  int32_t* piv;
  int32_t sign;
  const LuHook& col_hook;
  bool tiny = false;
  [[nodiscard]] double* Col(std::ptrdiff_t j) const { return a + j * lda; }

  // The row exchanges of pivots j0..j1-1, in this order, on columns
  // c0..c1-1. The pivots that exchange something are listed first (a
  // block at a time), so the columns see no test per pivot, and a block
  // without exchanges costs nothing per column.
  void ApplySwaps(std::ptrdiff_t c0, std::ptrdiff_t c1, std::ptrdiff_t j0,
                  std::ptrdiff_t j1) const {
    constexpr std::ptrdiff_t kChunk = 128;
    std::ptrdiff_t rows[kChunk];
    std::ptrdiff_t pivs[kChunk];
    for (std::ptrdiff_t jb = j0; jb < j1; jb += kChunk) {
      std::ptrdiff_t count = 0;
      for (std::ptrdiff_t j = jb; j < std::min(j1, jb + kChunk); ++j)
        if (piv[j] != j) {
          rows[count] = j;
          pivs[count] = piv[j];
          ++count;
        }
      if (count == 0) continue;
      std::ptrdiff_t c = c0;
      for (; c + 4 <= c1; c += 4) {  // four columns per pass over the list
        double* p0 = Col(c);
        double* p1 = p0 + lda;
        double* p2 = p1 + lda;
        double* p3 = p2 + lda;
        for (std::ptrdiff_t t = 0; t < count; ++t) {
          const std::ptrdiff_t r = rows[t];
          const std::ptrdiff_t q = pivs[t];
          std::swap(p0[r], p0[q]);
          std::swap(p1[r], p1[q]);
          std::swap(p2[r], p2[q]);
          std::swap(p3[r], p3[q]);
        }
      }
      for (; c < c1; ++c) {
        double* col = Col(c);
        for (std::ptrdiff_t t = 0; t < count; ++t) std::swap(col[rows[t]], col[pivs[t]]);
      }
    }
  }
};

// Crout's column step for columns c0..c1-1 (rows c0..n-1), each column
// having received all its terms k < c0 and the row exchanges of all pivots
// before c0. On return the columns are factorised and carry the exchanges
// of their own pivots (the other columns do not yet).
bool FactorPanel(LuState& st, std::ptrdiff_t c0, std::ptrdiff_t c1) {
  const std::ptrdiff_t n = st.n;
  if (c1 - c0 > kLeaf) {
    const std::ptrdiff_t mid = Split(c0, c1);
    if (!FactorPanel(st, c0, mid)) return false;
    st.ApplySwaps(mid, c1, c0, mid);
    TrsmLowerUnit(st.a + c0 + c0 * st.lda, st.lda, mid - c0, st.a + c0 + mid * st.lda, st.lda,
                  c1 - mid);
    SubProduct(n - mid, c1 - mid, mid - c0, st.a + mid + c0 * st.lda, st.lda,
               st.a + c0 + mid * st.lda, st.lda, st.a + mid + mid * st.lda, st.lda);
    if (!FactorPanel(st, mid, c1)) return false;
    st.ApplySwaps(c0, mid, mid, c1);
    return true;
  }
  const LuKernelSet& kern = Kernels();
  for (std::ptrdiff_t j = c0; j < c1; ++j) {
    if (st.col_hook && !st.col_hook(j)) return false;
    const std::ptrdiff_t imax = kern.panel_column(st.a, st.lda, n, c0, c1, j, st.scale, &st.tiny);
    if (imax != j) st.sign = -st.sign;
    st.piv[j] = static_cast<int32_t>(imax);
  }
  return true;
}

// The textbook solve of one column (Numerical Recipes' lubksb) on the
// factors in a: forward substitution from the first nonzero, then back
// substitution. Used when L holds non-finite values, where skipping the
// leading zeros matters (0 * inf is NaN).
void SolveColumn(const double* a, std::ptrdiff_t n, std::ptrdiff_t lda, const int32_t* piv,
                 double* b) {
  std::ptrdiff_t ii = -1;
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    const auto ip = static_cast<std::ptrdiff_t>(piv[i]);
    double sum = b[ip];
    b[ip] = b[i];
    if (ii >= 0) {
      for (std::ptrdiff_t k = ii; k < i; ++k) sum = sum - a[i + k * lda] * b[k];
    } else if (sum != 0.0) {
      ii = i;
    }
    b[i] = sum;
  }
  for (std::ptrdiff_t i = n - 1; i >= 0; --i) {
    double sum = b[i];
    for (std::ptrdiff_t k = i + 1; k < n; ++k) sum = sum - a[i + k * lda] * b[k];
    b[i] = sum / a[i + i * lda];
  }
}

}  // namespace

// x - x is +0 for a finite x and NaN for an infinity or a NaN, and a NaN
// survives the sums: so each block of 16 is tested by one comparison, with
// no branch inside the block.
bool AllFinite(const double* p, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    __m128d acc0 = _mm_setzero_pd();
    __m128d acc1 = _mm_setzero_pd();
    for (std::size_t j = i; j < i + 16; j += 4) {
      const __m128d x0 = _mm_loadu_pd(p + j);
      const __m128d x1 = _mm_loadu_pd(p + j + 2);
      acc0 = _mm_add_pd(acc0, _mm_sub_pd(x0, x0));
      acc1 = _mm_add_pd(acc1, _mm_sub_pd(x1, x1));
    }
    const __m128d acc = _mm_add_pd(acc0, acc1);
    if (_mm_movemask_pd(_mm_cmpeq_pd(acc, _mm_setzero_pd())) != 3) return false;
  }
#endif
  for (; i < n; ++i)
    if (!std::isfinite(p[i])) return false;
  return true;
}

LuStatus LuFactor(double* a, std::ptrdiff_t n, std::ptrdiff_t lda, std::vector<int32_t>& piv_vec,
                  int32_t& sign, const LuHook& RowHook, const LuHook& ColHook, bool WholeLower) {
  sign = 1;
  piv_vec.assign(static_cast<std::size_t>(n), 0);
  int32_t* piv = piv_vec.data();
  if (RowHook)
    for (std::ptrdiff_t i = 0; i < n; ++i)
      if (!RowHook(i)) return LuStatus::kAborted;

  // Implicit pivoting: the scale of a row is 1 / its largest magnitude.
  // (A NaN never compares greater, so it does not count as the largest.)
  AlignedBuffer scale_buf(static_cast<std::size_t>(n));
  double* scale = scale_buf.data();
  for (std::ptrdiff_t i = 0; i < n; ++i) scale[i] = 0.0;
  for (std::ptrdiff_t j = 0; j < n; ++j) {
    const double* col = a + j * lda;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
      const double t = std::fabs(col[i]);
      scale[i] = t > scale[i] ? t : scale[i];
    }
  }
  bool zero_row = false;
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    if (scale[i] == 0.0)
      zero_row = true;
    else
      scale[i] = 1.0 / scale[i];
  }
  if (zero_row) return LuStatus::kZeroRow;

  LuState st{a, n, lda, scale, piv, 1, ColHook};
  for (std::ptrdiff_t j0 = 0; j0 < n; j0 += kPanel) {
    const std::ptrdiff_t j1 = std::min(n, j0 + kPanel);
    if (!FactorPanel(st, j0, j1)) {
      sign = st.sign;
      return LuStatus::kAborted;
    }
    if (j1 >= n) continue;
    // The columns right of the panel: its row exchanges, then the block row
    // of U (rows j0..j1-1) and the trailing matrix (terms k = j0..j1-1, in
    // ascending k).
    st.ApplySwaps(j1, n, j0, j1);
    TrsmLowerUnit(a + j0 + j0 * lda, lda, j1 - j0, a + j0 + j1 * lda, lda, n - j1);
    SubProduct(n - j1, n - j1, j1 - j0, a + j1 + j0 * lda, lda, a + j0 + j1 * lda, lda,
               a + j1 + j1 * lda, lda);
  }
  // The columns of each panel take the exchanges of all later pivots.
  for (std::ptrdiff_t j0 = 0; WholeLower && j0 + kPanel < n; j0 += kPanel)
    st.ApplySwaps(j0, j0 + kPanel, j0 + kPanel, n);
  sign = st.sign;
  return st.tiny ? LuStatus::kTinyPivot : LuStatus::kOk;
}

LuExchanges LuListExchanges(const std::vector<int32_t>& piv) {
  LuExchanges ex;
  for (std::size_t j = 0; j < piv.size(); ++j)
    if (piv[j] != static_cast<int32_t>(j)) {
      ex.row.push_back(static_cast<int32_t>(j));
      ex.with.push_back(piv[j]);
    }
  return ex;
}

void LuFinishLowerColumn(double* a, std::ptrdiff_t lda, const LuExchanges& ex, std::ptrdiff_t c) {
  double* col = a + c * lda;
  const auto first = static_cast<int32_t>((c / kPanel + 1) * kPanel);
  const std::size_t count = ex.row.size();
  for (std::size_t t = static_cast<std::size_t>(
           std::lower_bound(ex.row.begin(), ex.row.end(), first) - ex.row.begin());
       t < count; ++t)
    std::swap(col[ex.row[t]], col[ex.with[t]]);
}

// Column j of the inverse solves L U x = P e_j. Applying the row exchanges
// to e_j puts its 1 at position t = pos(j) (every t once), and the forward
// substitution starts there: y(t) = 1, y(i) = 0 - sum_{k=t}^{i-1} L(i, k)
// y(k). So, ordered by t, the forward results are the columns of L^-1.
// They are solved kInvBlock at a time as one triangular solve with a
// matrix right-hand side (through the product kernel); the terms it adds
// before a column's first nonzero are L(i, k) * (+0), which leave +0 and 1
// unchanged when L is finite, so every element is still computed exactly
// as the one-column loop computes it. The back substitution has no such
// freedom and none is taken: row by row from the bottom, terms in
// ascending k, for kRowBlock columns at once, each a lane of the vector
// registers. The forward results go straight to their columns of inv
// (col_of), where the back substitution reads them and leaves the result;
// U, transposed into the place of L once L is no longer needed, gives the
// back substitution its rows.
bool LuInverse(double* a, std::ptrdiff_t n, std::ptrdiff_t lda, const std::vector<int32_t>& piv_vec,
               double* inv, const LuHook& BlockHook) {
  const int32_t* piv = piv_vec.data();
  std::vector<int32_t> col_of(static_cast<std::size_t>(n));
  for (std::ptrdiff_t i = 0; i < n; ++i)
    col_of[static_cast<std::size_t>(i)] = static_cast<int32_t>(i);
  for (std::ptrdiff_t i = 0; i < n; ++i) {
    const auto p = static_cast<std::size_t>(piv[i]);
    const int32_t t = col_of[static_cast<std::size_t>(i)];
    col_of[static_cast<std::size_t>(i)] = col_of[p];
    col_of[p] = t;
  }
  const auto Out = [&](std::ptrdiff_t t) {
    return inv + static_cast<std::ptrdiff_t>(col_of[static_cast<std::size_t>(t)]) * n;
  };

  bool lower_finite = true;
  for (std::ptrdiff_t k = 0; k + 1 < n && lower_finite; ++k)
    lower_finite = AllFinite(a + k + 1 + k * lda, static_cast<std::size_t>(n - k - 1));

  if (!lower_finite) {
    std::vector<double> b(static_cast<std::size_t>(n));
    for (std::ptrdiff_t j = 0; j < n; ++j) {
      if (BlockHook && !BlockHook(j)) return false;
      for (double& v : b) v = 0.0;
      b[static_cast<std::size_t>(j)] = 1.0;
      SolveColumn(a, n, lda, piv, b.data());
      for (std::ptrdiff_t i = 0; i < n; ++i) inv[j * n + i] = b[static_cast<std::size_t>(i)];
    }
    return true;
  }

  // Forward substitution, a block of columns t0..t0+w-1 at a time (rows
  // t0..n-1; the rows above are zero and never read).
  const std::ptrdiff_t wmax = std::min(kInvBlock, (n + kRowBlock - 1) / kRowBlock * kRowBlock);
  AlignedBuffer ybuf(static_cast<std::size_t>(n * wmax));
  double* Y = ybuf.data();  // column-major, leading dimension n
  for (std::ptrdiff_t t0 = 0; t0 < n; t0 += wmax) {
    const std::ptrdiff_t w = std::min(wmax, n - t0);
    const std::ptrdiff_t m = n - t0;
    for (std::ptrdiff_t c = 0; c < w; ++c) {
      double* col = Y + c * n;
      for (std::ptrdiff_t i = 0; i < m; ++i) col[i] = 0.0;
      col[c] = 1.0;
    }
    TrsmLowerUnitTrapezoid(a + t0 + t0 * lda, lda, m, Y, n, w, 0);
    for (std::ptrdiff_t c = 0; c < w; ++c) std::copy(Y + c * n, Y + c * n + m, Out(t0 + c) + t0);
  }

  // U row-major: row i of U (from the diagonal on) into column i of a.
  const LuKernelSet& kern = Kernels();
  kern.mirror_upper(a, lda, n);

  // Back substitution, kRowBlock columns at a time in X (row-major). The
  // rows of column t above t are zero (the forward results; the block's
  // columns hold their zeros from row c0 on); padding columns past cw
  // are read from a zero column.
  AlignedBuffer xbuf(static_cast<std::size_t>(n * kRowBlock));
  double* X = xbuf.data();
  std::vector<double> zeros(static_cast<std::size_t>(n), 0.0);
  double* cols[kRowBlock];
  for (std::ptrdiff_t c0 = 0; c0 < n; c0 += kRowBlock) {
    const std::ptrdiff_t cw = std::min(kRowBlock, n - c0);
    if (BlockHook)
      for (std::ptrdiff_t v = 0; v < cw; ++v)
        if (!BlockHook(c0 + v)) return false;
    for (std::ptrdiff_t v = 0; v < kRowBlock; ++v) cols[v] = v < cw ? Out(c0 + v) : zeros.data();
    for (std::ptrdiff_t i = 0; i < c0 * kRowBlock; ++i) X[i] = 0.0;
    kern.gather_rows(cols, c0, n, X);
    kern.back_substitute(a, lda, n, X);
    kern.scatter_rows(X, n, cols, cw);
  }
  return true;
}

}  // namespace numbra::detail
