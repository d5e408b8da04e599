// The inner loops of the LU factorisation and of the inverse, compiled once
// per instruction set: lu.cpp includes this file with NUMBRA_LU_NS =
// lu_generic, lu_avx2.cpp (built with -mavx2) with NUMBRA_LU_NS = lu_avx2,
// and the driver in lu.cpp calls the set the product kernels use (see
// LuKernelSet in lu_detail.h). Both are built with -ffp-contract=off and
// without FMA, and every loop performs the same operations on every element
// in the same order, so the two sets give identical results. The code uses
// nothing but builtins: an inline function of a library header instantiated
// here with -mavx2 could otherwise be the copy the linker keeps for the
// portable code too. (Not installed.)
#ifndef NUMBRA_LU_NS
#error "define NUMBRA_LU_NS before including lu_kernels.h"
#endif

#include "matrix/gemm_detail.h"
#include "matrix/lu_detail.h"

namespace numbra::detail::NUMBRA_LU_NS {

namespace {

constexpr std::ptrdiff_t kLeafMax = kLuLeaf;

// With 256-bit registers the tiles hold twice as many values as fit the
// sixteen 128-bit registers of the portable build.
#if defined(__AVX__)
constexpr bool kWide = true;
#else
constexpr bool kWide = false;
#endif

// Four doubles (one AVX2 register, two SSE2 ones), loaded and stored
// without alignment requirements. (The helpers are internal and inlined,
// so the compiler's note that passing such vectors without AVX changes the calling
// convention does not concern them; the note is reported at the end of the
// translation unit, so it stays off for the includer.)
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wpsabi"
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
using V4 = double __attribute__((vector_size(32)));

inline V4 Load(const double* p) {
  V4 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline void Store(double* p, V4 v) { __builtin_memcpy(p, &v, sizeof v); }

using I4 = long long __attribute__((vector_size(32)));

inline V4 Abs(V4 v) {
  const I4 mask = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL, 0x7fffffffffffffffLL,
                   0x7fffffffffffffffLL};
  return reinterpret_cast<V4>(reinterpret_cast<I4>(v) & mask);
}

#if defined(__clang__)
#define NUMBRA_LU_SHUFFLE(a, b, i0, i1, i2, i3) __builtin_shufflevector(a, b, i0, i1, i2, i3)
#else
#define NUMBRA_LU_SHUFFLE(a, b, i0, i1, i2, i3) __builtin_shuffle(a, b, I4{i0, i1, i2, i3})
#endif

// Transposes the 4 x 4 block whose columns are a, b, c, d into its rows.
inline void Transpose4(V4& a, V4& b, V4& c, V4& d) {
  const V4 t0 = NUMBRA_LU_SHUFFLE(a, b, 0, 4, 2, 6);
  const V4 t1 = NUMBRA_LU_SHUFFLE(a, b, 1, 5, 3, 7);
  const V4 t2 = NUMBRA_LU_SHUFFLE(c, d, 0, 4, 2, 6);
  const V4 t3 = NUMBRA_LU_SHUFFLE(c, d, 1, 5, 3, 7);
  a = NUMBRA_LU_SHUFFLE(t0, t2, 0, 1, 4, 5);
  b = NUMBRA_LU_SHUFFLE(t1, t3, 0, 1, 4, 5);
  c = NUMBRA_LU_SHUFFLE(t0, t2, 2, 3, 6, 7);
  d = NUMBRA_LU_SHUFFLE(t1, t3, 2, 3, 6, 7);
}
#undef NUMBRA_LU_SHUFFLE

}  // namespace

// C := C - A * B for column-major blocks (C m x n, A m x k, B k x n), each
// element taking its k terms in ascending order, in 8 x 4 register tiles:
// the form for the narrow products of the recursion, which are too small
// for the packing of the general kernel to pay.
void SubProductSmall(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, const double* A,
                     std::ptrdiff_t lda, const double* B, std::ptrdiff_t ldb, double* C,
                     std::ptrdiff_t ldc) {
  std::ptrdiff_t j = 0;
  for (; j + 4 <= n; j += 4) {
    const double* b0 = B + j * ldb;
    const double* b1 = b0 + ldb;
    const double* b2 = b1 + ldb;
    const double* b3 = b2 + ldb;
    double* c0 = C + j * ldc;
    double* c1 = c0 + ldc;
    double* c2 = c1 + ldc;
    double* c3 = c2 + ldc;
    std::ptrdiff_t i = 0;
    for (; kWide && i + 8 <= m; i += 8) {
      V4 s00 = Load(c0 + i);
      V4 s01 = Load(c0 + i + 4);
      V4 s10 = Load(c1 + i);
      V4 s11 = Load(c1 + i + 4);
      V4 s20 = Load(c2 + i);
      V4 s21 = Load(c2 + i + 4);
      V4 s30 = Load(c3 + i);
      V4 s31 = Load(c3 + i + 4);
      const double* a = A + i;
      for (std::ptrdiff_t kk = 0; kk < k; ++kk, a += lda) {
        const V4 a0 = Load(a);
        const V4 a1 = Load(a + 4);
        s00 = s00 - a0 * b0[kk];
        s01 = s01 - a1 * b0[kk];
        s10 = s10 - a0 * b1[kk];
        s11 = s11 - a1 * b1[kk];
        s20 = s20 - a0 * b2[kk];
        s21 = s21 - a1 * b2[kk];
        s30 = s30 - a0 * b3[kk];
        s31 = s31 - a1 * b3[kk];
      }
      Store(c0 + i, s00);
      Store(c0 + i + 4, s01);
      Store(c1 + i, s10);
      Store(c1 + i + 4, s11);
      Store(c2 + i, s20);
      Store(c2 + i + 4, s21);
      Store(c3 + i, s30);
      Store(c3 + i + 4, s31);
    }
    for (; i + 4 <= m; i += 4) {
      V4 s0 = Load(c0 + i);
      V4 s1 = Load(c1 + i);
      V4 s2 = Load(c2 + i);
      V4 s3 = Load(c3 + i);
      const double* a = A + i;
      for (std::ptrdiff_t kk = 0; kk < k; ++kk, a += lda) {
        const V4 a0 = Load(a);
        s0 = s0 - a0 * b0[kk];
        s1 = s1 - a0 * b1[kk];
        s2 = s2 - a0 * b2[kk];
        s3 = s3 - a0 * b3[kk];
      }
      Store(c0 + i, s0);
      Store(c1 + i, s1);
      Store(c2 + i, s2);
      Store(c3 + i, s3);
    }
    for (; i < m; ++i) {
      double s0 = c0[i];
      double s1 = c1[i];
      double s2 = c2[i];
      double s3 = c3[i];
      for (std::ptrdiff_t kk = 0; kk < k; ++kk) {
        const double a = A[i + kk * lda];
        s0 = s0 - a * b0[kk];
        s1 = s1 - a * b1[kk];
        s2 = s2 - a * b2[kk];
        s3 = s3 - a * b3[kk];
      }
      c0[i] = s0;
      c1[i] = s1;
      c2[i] = s2;
      c3[i] = s3;
    }
  }
  for (; j < n; ++j) {
    const double* b = B + j * ldb;
    double* c = C + j * ldc;
    std::ptrdiff_t i = 0;
    for (; i + 8 <= m; i += 8) {
      V4 s0 = Load(c + i);
      V4 s1 = Load(c + i + 4);
      const double* a = A + i;
      for (std::ptrdiff_t kk = 0; kk < k; ++kk, a += lda) {
        s0 = s0 - Load(a) * b[kk];
        s1 = s1 - Load(a + 4) * b[kk];
      }
      Store(c + i, s0);
      Store(c + i + 4, s1);
    }
    for (; i < m; ++i) {
      double s = c[i];
      for (std::ptrdiff_t kk = 0; kk < k; ++kk) s = s - A[i + kk * lda] * b[kk];
      c[i] = s;
    }
  }
}

// X := L^-1 X for the m x w block X (column-major, leading dimension ldx,
// m <= kLeafMax) and the unit lower triangle of the m x m block at l
// (leading dimension ldl): every element takes its terms k = 0..i-1 in
// ascending k. Four columns at a time, a row of them in one vector (the
// columns are short, the rows many). Each row is one running difference
// held in a register (left-looking: the rows above are final when it
// starts), so no partial result goes through memory; L's strictly lower
// part is read from a row-major copy, which stays in the first-level cache
// for all columns (in place, its columns may share a few cache sets).
void TrsmLeaf(const double* l, std::ptrdiff_t ldl, std::ptrdiff_t m, double* x, std::ptrdiff_t ldx,
              std::ptrdiff_t w) {
  std::ptrdiff_t c = 0;
  alignas(64) double lrow[kLeafMax * kLeafMax];
  if (w >= 4)
    for (std::ptrdiff_t k = 0; k + 1 < m; ++k)
      for (std::ptrdiff_t i = k + 1; i < m; ++i) lrow[i * kLeafMax + k] = l[i + k * ldl];
  const std::ptrdiff_t m4 = m / 4 * 4;
  // Columns c..c+3 into rows r[0..m-1] and back.
  const auto gather = [x, ldx, m, m4](std::ptrdiff_t c, V4* r) {
    const double* x0 = x + c * ldx;
    const double* x1 = x0 + ldx;
    const double* x2 = x1 + ldx;
    const double* x3 = x2 + ldx;
    for (std::ptrdiff_t i = 0; i < m4; i += 4) {
      r[i] = Load(x0 + i);
      r[i + 1] = Load(x1 + i);
      r[i + 2] = Load(x2 + i);
      r[i + 3] = Load(x3 + i);
      Transpose4(r[i], r[i + 1], r[i + 2], r[i + 3]);
    }
    for (std::ptrdiff_t i = m4; i < m; ++i) r[i] = V4{x0[i], x1[i], x2[i], x3[i]};
  };
  const auto scatter = [x, ldx, m, m4](std::ptrdiff_t c, V4* r) {
    double* x0 = x + c * ldx;
    double* x1 = x0 + ldx;
    double* x2 = x1 + ldx;
    double* x3 = x2 + ldx;
    for (std::ptrdiff_t i = 0; i < m4; i += 4) {
      Transpose4(r[i], r[i + 1], r[i + 2], r[i + 3]);
      Store(x0 + i, r[i]);
      Store(x1 + i, r[i + 1]);
      Store(x2 + i, r[i + 2]);
      Store(x3 + i, r[i + 3]);
    }
    for (std::ptrdiff_t i = m4; i < m; ++i) {
      x0[i] = r[i][0];
      x1[i] = r[i][1];
      x2[i] = r[i][2];
      x3[i] = r[i][3];
    }
  };
  // Eight columns at a time where there are eight: two independent chains
  // per row, so the latency of one is covered by the other.
  V4 r[kLeafMax];
  V4 q[kLeafMax];
  for (; c + 8 <= w; c += 8) {
    gather(c, r);
    gather(c + 4, q);
    for (std::ptrdiff_t i = 1; i < m; ++i) {
      const double* li = lrow + i * kLeafMax;
      V4 s = r[i];
      V4 t = q[i];
      for (std::ptrdiff_t k = 0; k < i; ++k) {
        s = s - li[k] * r[k];
        t = t - li[k] * q[k];
      }
      r[i] = s;
      q[i] = t;
    }
    scatter(c, r);
    scatter(c + 4, q);
  }
  for (; c + 4 <= w; c += 4) {
    gather(c, r);
    for (std::ptrdiff_t i = 1; i < m; ++i) {
      const double* li = lrow + i * kLeafMax;
      V4 s = r[i];
      for (std::ptrdiff_t k = 0; k < i; ++k) s = s - li[k] * r[k];
      r[i] = s;
    }
    scatter(c, r);
  }
  for (; c < w; ++c) {
    double* col = x + c * ldx;
    for (std::ptrdiff_t k = 0; k < m; ++k) {
      const double u = col[k];
      const double* lk = l + k * ldl;
      for (std::ptrdiff_t i = k + 1; i < m; ++i) col[i] = col[i] - lk[i] * u;
    }
  }
}

// Crout's step for column j of the panel c0..c1-1, left-looking: the
// column first receives its terms k = c0..j-1 from the panel's finished
// columns (rows c0+1..j-1 from the upper part, rows j..n-1 in blocks of
// 32 rows held in registers), then the pivot is the last row i >= j with
// the largest scale(i) * |a(i, j)| (a column of NaNs keeps row j); rows j
// and the pivot row are exchanged within the panel and their scales with
// them (scale(p) := scale(j)); a pivot below kTinyPivot in magnitude is
// replaced by it and sets *tiny; the column below the pivot is divided by
// it. Returns the pivot row.
std::ptrdiff_t PanelColumn(double* a, std::ptrdiff_t lda, std::ptrdiff_t n, std::ptrdiff_t c0,
                           std::ptrdiff_t c1, std::ptrdiff_t j, double* scale, bool* tiny) {
  double* colj = a + j * lda;
  const double* lc0 = a + c0 * lda;  // L(i, k) = lc0[i + (k - c0) * lda]
  const std::ptrdiff_t nk = j - c0;
  // U(i, j) for the rows of the panel above the diagonal.
  for (std::ptrdiff_t i = c0 + 1; i < j; ++i) {
    double s = colj[i];
    for (std::ptrdiff_t k = 0; k < i - c0; ++k) s = s - lc0[i + k * lda] * colj[c0 + k];
    colj[i] = s;
  }
  if (nk > 0) {
    const double* u = colj + c0;
    std::ptrdiff_t i = j;
    for (; kWide && i + 32 <= n; i += 32) {
      V4 s0 = Load(colj + i);
      V4 s1 = Load(colj + i + 4);
      V4 s2 = Load(colj + i + 8);
      V4 s3 = Load(colj + i + 12);
      V4 s4 = Load(colj + i + 16);
      V4 s5 = Load(colj + i + 20);
      V4 s6 = Load(colj + i + 24);
      V4 s7 = Load(colj + i + 28);
      const double* l = lc0 + i;
      for (std::ptrdiff_t k = 0; k < nk; ++k, l += lda) {
        const double uk = u[k];
        s0 = s0 - Load(l) * uk;
        s1 = s1 - Load(l + 4) * uk;
        s2 = s2 - Load(l + 8) * uk;
        s3 = s3 - Load(l + 12) * uk;
        s4 = s4 - Load(l + 16) * uk;
        s5 = s5 - Load(l + 20) * uk;
        s6 = s6 - Load(l + 24) * uk;
        s7 = s7 - Load(l + 28) * uk;
      }
      Store(colj + i, s0);
      Store(colj + i + 4, s1);
      Store(colj + i + 8, s2);
      Store(colj + i + 12, s3);
      Store(colj + i + 16, s4);
      Store(colj + i + 20, s5);
      Store(colj + i + 24, s6);
      Store(colj + i + 28, s7);
    }
    for (; i + 16 <= n; i += 16) {
      V4 s0 = Load(colj + i);
      V4 s1 = Load(colj + i + 4);
      V4 s2 = Load(colj + i + 8);
      V4 s3 = Load(colj + i + 12);
      const double* l = lc0 + i;
      for (std::ptrdiff_t k = 0; k < nk; ++k, l += lda) {
        const double uk = u[k];
        s0 = s0 - Load(l) * uk;
        s1 = s1 - Load(l + 4) * uk;
        s2 = s2 - Load(l + 8) * uk;
        s3 = s3 - Load(l + 12) * uk;
      }
      Store(colj + i, s0);
      Store(colj + i + 4, s1);
      Store(colj + i + 8, s2);
      Store(colj + i + 12, s3);
    }
    for (; i + 4 <= n; i += 4) {
      V4 s = Load(colj + i);
      const double* l = lc0 + i;
      for (std::ptrdiff_t k = 0; k < nk; ++k, l += lda) s = s - Load(l) * u[k];
      Store(colj + i, s);
    }
    for (; i < n; ++i) {
      double s = colj[i];
      for (std::ptrdiff_t k = 0; k < nk; ++k) s = s - lc0[i + k * lda] * u[k];
      colj[i] = s;
    }
  }
  // The pivot search of the plain loop: big := dum and imax := i whenever
  // dum >= big, from big = 0 and imax = j, so the last row with the largest
  // dum wins and NaNs never count. Each lane keeps its largest dum and the
  // last row that has it (row numbers are exact in doubles); the lanes are
  // then merged, and the rows past the last group of four follow in order.
  const V4 zero = {0.0, 0.0, 0.0, 0.0};
  const V4 four = {4.0, 4.0, 4.0, 4.0};
  V4 big4 = zero;
  V4 row4 = {-1.0, -1.0, -1.0, -1.0};
  V4 at4 = {static_cast<double>(j), static_cast<double>(j + 1), static_cast<double>(j + 2),
            static_cast<double>(j + 3)};
  std::ptrdiff_t i = j;
  for (; i + 4 <= n; i += 4, at4 += four) {
    const V4 dum = Load(scale + i) * Abs(Load(colj + i));
    const auto take = dum >= big4;
    big4 = take ? dum : big4;
    row4 = take ? at4 : row4;
  }
  double big = 0.0;
  double row = -1.0;
  for (int v = 0; v < 4; ++v)
    if (row4[v] >= 0.0 && (big4[v] > big || (big4[v] == big && row4[v] > row))) {
      big = big4[v];
      row = row4[v];
    }
  std::ptrdiff_t imax = row >= 0.0 ? static_cast<std::ptrdiff_t>(row) : j;
  for (; i < n; ++i) {
    const double dum = scale[i] * __builtin_fabs(colj[i]);
    if (dum >= big) {
      big = dum;
      imax = i;
    }
  }
  if (imax != j) {
    for (std::ptrdiff_t c = c0; c < c1; ++c) {
      double* col = a + c * lda;
      const double t = col[imax];
      col[imax] = col[j];
      col[j] = t;
    }
    scale[imax] = scale[j];
  }
  if (__builtin_fabs(colj[j]) < kTinyPivot) {
    *tiny = true;
    colj[j] = kTinyPivot;
  }
  const double pivot = colj[j];
  for (std::ptrdiff_t i = j + 1; i < n; ++i) colj[i] = colj[i] / pivot;
  return imax;
}

namespace {

// acc[v] := acc[v] - r[k] * X[k * kRowBlock + v] for k = k0..k1-1 in
// ascending order and v = 0..kRowBlock-1 (X rows of kRowBlock values): one
// row of the back substitution for kRowBlock right-hand sides at once,
// 32 lanes (eight four-wide accumulators) with 256-bit registers, two
// passes of 16 otherwise.
void RowSub(const double* r, std::ptrdiff_t k0, std::ptrdiff_t k1, const double* X, double* acc) {
  static_assert(kRowBlock == 32, "eight four-wide accumulators");
  if constexpr (kWide) {
    V4 s0 = Load(acc);
    V4 s1 = Load(acc + 4);
    V4 s2 = Load(acc + 8);
    V4 s3 = Load(acc + 12);
    V4 s4 = Load(acc + 16);
    V4 s5 = Load(acc + 20);
    V4 s6 = Load(acc + 24);
    V4 s7 = Load(acc + 28);
    const double* x = X + k0 * kRowBlock;
    for (std::ptrdiff_t k = k0; k < k1; ++k, x += kRowBlock) {
      const double u = r[k];
      s0 = s0 - u * Load(x);
      s1 = s1 - u * Load(x + 4);
      s2 = s2 - u * Load(x + 8);
      s3 = s3 - u * Load(x + 12);
      s4 = s4 - u * Load(x + 16);
      s5 = s5 - u * Load(x + 20);
      s6 = s6 - u * Load(x + 24);
      s7 = s7 - u * Load(x + 28);
    }
    Store(acc, s0);
    Store(acc + 4, s1);
    Store(acc + 8, s2);
    Store(acc + 12, s3);
    Store(acc + 16, s4);
    Store(acc + 20, s5);
    Store(acc + 24, s6);
    Store(acc + 28, s7);
  } else {
    for (std::ptrdiff_t h = 0; h < kRowBlock; h += 16) {
      V4 s0 = Load(acc + h);
      V4 s1 = Load(acc + h + 4);
      V4 s2 = Load(acc + h + 8);
      V4 s3 = Load(acc + h + 12);
      const double* x = X + k0 * kRowBlock + h;
      for (std::ptrdiff_t k = k0; k < k1; ++k, x += kRowBlock) {
        const double u = r[k];
        s0 = s0 - u * Load(x);
        s1 = s1 - u * Load(x + 4);
        s2 = s2 - u * Load(x + 8);
        s3 = s3 - u * Load(x + 12);
      }
      Store(acc + h, s0);
      Store(acc + h + 4, s1);
      Store(acc + h + 8, s2);
      Store(acc + h + 12, s3);
    }
  }
}

}  // namespace

// Back substitution for kRowBlock right-hand sides at once: X (n rows of
// kRowBlock values, row-major, 32-byte aligned) holds the forward results
// and receives the solutions, row by row from the bottom:
// x(i) = (y(i) - sum_{k=i+1}^{n-1} U(i, k) x(k)) / U(i, i), the terms in
// ascending k, U row-major in R (row i at R + i * ldr).
void BackSubstitute(const double* R, std::ptrdiff_t ldr, std::ptrdiff_t n, double* X) {
  alignas(64) double acc[kRowBlock];
  for (std::ptrdiff_t i = n - 1; i >= 0; --i) {
    double* xi = X + i * kRowBlock;
    for (std::ptrdiff_t v = 0; v < kRowBlock; ++v) acc[v] = xi[v];
    RowSub(R + i * ldr, i + 1, n, X, acc);
    const double d = R[i * ldr + i];
    for (std::ptrdiff_t v = 0; v < kRowBlock; ++v) xi[v] = acc[v] / d;
  }
}

// X[i * kRowBlock + v] := cols[v][i] for v = 0..kRowBlock-1, i = i0..i1-1:
// kRowBlock columns into rows, 4 x 4 blocks at a time.
void GatherRows(const double* const* cols, std::ptrdiff_t i0, std::ptrdiff_t i1, double* X) {
  for (std::ptrdiff_t v = 0; v < kRowBlock; v += 4) {
    const double* c0 = cols[v];
    const double* c1 = cols[v + 1];
    const double* c2 = cols[v + 2];
    const double* c3 = cols[v + 3];
    std::ptrdiff_t i = i0;
    for (; i + 4 <= i1; i += 4) {
      V4 r0 = Load(c0 + i);
      V4 r1 = Load(c1 + i);
      V4 r2 = Load(c2 + i);
      V4 r3 = Load(c3 + i);
      Transpose4(r0, r1, r2, r3);
      double* x = X + i * kRowBlock + v;
      Store(x, r0);
      Store(x + kRowBlock, r1);
      Store(x + 2 * kRowBlock, r2);
      Store(x + 3 * kRowBlock, r3);
    }
    for (; i < i1; ++i) {
      double* x = X + i * kRowBlock + v;
      x[0] = c0[i];
      x[1] = c1[i];
      x[2] = c2[i];
      x[3] = c3[i];
    }
  }
}

// cols[v][i] := X[i * kRowBlock + v] for v = 0..cw-1, i = 0..n-1.
void ScatterRows(const double* X, std::ptrdiff_t n, double* const* cols, std::ptrdiff_t cw) {
  std::ptrdiff_t v = 0;
  for (; v + 4 <= cw; v += 4) {
    double* c0 = cols[v];
    double* c1 = cols[v + 1];
    double* c2 = cols[v + 2];
    double* c3 = cols[v + 3];
    std::ptrdiff_t i = 0;
    for (; i + 4 <= n; i += 4) {
      const double* x = X + i * kRowBlock + v;
      V4 r0 = Load(x);
      V4 r1 = Load(x + kRowBlock);
      V4 r2 = Load(x + 2 * kRowBlock);
      V4 r3 = Load(x + 3 * kRowBlock);
      Transpose4(r0, r1, r2, r3);
      Store(c0 + i, r0);
      Store(c1 + i, r1);
      Store(c2 + i, r2);
      Store(c3 + i, r3);
    }
    for (; i < n; ++i) {
      const double* x = X + i * kRowBlock + v;
      c0[i] = x[0];
      c1[i] = x[1];
      c2[i] = x[2];
      c3[i] = x[3];
    }
  }
  for (; v < cw; ++v)
    for (std::ptrdiff_t i = 0; i < n; ++i) cols[v][i] = X[i * kRowBlock + v];
}

// a(j, i) := a(i, j) for i < j: the strictly upper triangle mirrored into
// the strictly lower one, 4 x 4 blocks at a time.
void MirrorUpper(double* a, std::ptrdiff_t lda, std::ptrdiff_t n) {
  // Rows i..i+3 of columns j..j+3 into rows j..j+3 of columns i..i+3.
  const auto block = [a, lda](std::ptrdiff_t i, std::ptrdiff_t j) {
    V4 r0 = Load(a + i + j * lda);
    V4 r1 = Load(a + i + (j + 1) * lda);
    V4 r2 = Load(a + i + (j + 2) * lda);
    V4 r3 = Load(a + i + (j + 3) * lda);
    Transpose4(r0, r1, r2, r3);
    Store(a + j + i * lda, r0);
    Store(a + j + (i + 1) * lda, r1);
    Store(a + j + (i + 2) * lda, r2);
    Store(a + j + (i + 3) * lda, r3);
  };
  // Eight columns at a time, so that each row of blocks writes whole cache
  // lines of the columns it goes to; the diagonal blocks element by element.
  std::ptrdiff_t j = 0;
  for (; j + 8 <= n; j += 8) {
    for (std::ptrdiff_t i = 0; i < j; i += 4) {
      block(i, j);
      block(i, j + 4);
    }
    for (std::ptrdiff_t jj = j + 1; jj < j + 8; ++jj)
      for (std::ptrdiff_t i = j; i < jj; ++i) a[jj + i * lda] = a[i + jj * lda];
  }
  for (; j + 4 <= n; j += 4) {
    for (std::ptrdiff_t i = 0; i < j; i += 4) block(i, j);
    for (std::ptrdiff_t jj = j + 1; jj < j + 4; ++jj)
      for (std::ptrdiff_t i = j; i < jj; ++i) a[jj + i * lda] = a[i + jj * lda];
  }
  for (std::ptrdiff_t jj = j; jj < n; ++jj)
    for (std::ptrdiff_t i = 0; i < jj; ++i) a[jj + i * lda] = a[i + jj * lda];
}

}  // namespace numbra::detail::NUMBRA_LU_NS
