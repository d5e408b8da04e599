// Crout LU factorisation with implicit partial pivoting, blocked, and the
// inverse from its factors (not installed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace numbra::detail {

/// Pivots whose magnitude is below this are replaced by it and mark the
/// matrix singular.
inline constexpr double kTinyPivot = 1e-100;

enum class LuStatus : uint8_t {
  kOk,         ///< factorised, every pivot at least kTinyPivot
  kTinyPivot,  ///< factorised, but some pivot was replaced by kTinyPivot
  kZeroRow,    ///< a row of zeros; nothing factorised
  kAborted     ///< a hook asked to stop
};

/// Hook called before each row is scaled and before each column is
/// factorised (0-based index); returning false stops with kAborted. Empty:
/// never stops.
using LuHook = std::function<bool(std::ptrdiff_t)>;

/// Factorises the n x n column-major matrix a (leading dimension lda) in
/// place into unit lower L (below the diagonal) and U (on and above it),
/// with the row exchanges applied to whole rows. The arithmetic is that of
/// Crout's method (Press et al., Numerical Recipes, 2nd ed., sec. 2.3):
/// every element receives its terms in ascending k, the multipliers are
/// divided by the pivot; only the order in which elements are worked on
/// differs (a right-looking blocked form whose trailing updates run through
/// GemmAccumulate), so the factors, the pivots and their ties are exactly
/// Crout's. Rows are scaled by 1 / (largest |a(i, j)|); the pivot of column
/// j is the last row i >= j with the largest scale(i) * |a(i, j)|.
/// piv[j] receives the row exchanged with row j; sign is negated per
/// exchange. RowHook is called before each row's scale is computed,
/// ColHook before each column is factorised. With WholeLower false the
/// columns of L left of the last panel do not receive the exchanges of
/// later pivots (U, the pivots and the sign are the same; for callers that
/// need only those, such as the determinant).
LuStatus LuFactor(double* a, std::ptrdiff_t n, std::ptrdiff_t lda, std::vector<int32_t>& piv,
                  int32_t& sign, const LuHook& RowHook = {}, const LuHook& ColHook = {},
                  bool WholeLower = true);

/// The row exchanges of LuFactor's pivots that move something, in order:
/// row[t] was exchanged with with[t].
struct LuExchanges {
  std::vector<int32_t> row;
  std::vector<int32_t> with;
};
LuExchanges LuListExchanges(const std::vector<int32_t>& piv);

/// After LuFactor with WholeLower false: column c of L receives the row
/// exchanges it has not received yet (those of the pivots after its
/// panel), which makes it the column LuFactor gives with WholeLower true.
/// ex is LuListExchanges of the factorisation's pivots.
void LuFinishLowerColumn(double* a, std::ptrdiff_t lda, const LuExchanges& ex, std::ptrdiff_t c);

/// The inverse of the factorised matrix (LuFactor's a and piv) into inv
/// (n x n, column-major, leading dimension n): column j solves
/// L U x = P e_j by forward substitution (from the first nonzero, as
/// Numerical Recipes' lubksb does) and back substitution, each element's
/// terms in ascending k. The forward substitutions of all columns come
/// first; then the back substitutions, in blocks of columns, BlockHook(j)
/// being called once per column before its block (returning false stops:
/// the result is then false). The strictly lower triangle of a is
/// overwritten on the way (with U transposed), its upper triangle kept.
bool LuInverse(double* a, std::ptrdiff_t n, std::ptrdiff_t lda, const std::vector<int32_t>& piv,
               double* inv, const LuHook& BlockHook = {});

/// True when none of the n values at p is an infinity or a NaN.
bool AllFinite(const double* p, std::size_t n);

/// Largest number of rows the triangular solves handle by plain loops.
inline constexpr std::ptrdiff_t kLuLeaf = 16;

/// The inner loops of the factorisation and the inverse for one
/// instruction set (lu_kernels.h; the driver in lu.cpp uses the set that
/// matches the product kernels, KernelName()). Column-major blocks with
/// leading dimensions; every loop keeps the order of operations of the
/// plain loops, so all sets give identical results.
struct LuKernelSet {
  /// C := C - A * B (C m x n, A m x k, B k x n), terms in ascending k.
  void (*sub_product)(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, const double* A,
                      std::ptrdiff_t lda, const double* B, std::ptrdiff_t ldb, double* C,
                      std::ptrdiff_t ldc);
  /// X := L^-1 X, L the unit lower triangle of the m x m block at l, X m x w,
  /// m <= kLuLeaf.
  void (*trsm_leaf)(const double* l, std::ptrdiff_t ldl, std::ptrdiff_t m, double* x,
                    std::ptrdiff_t ldx, std::ptrdiff_t w);
  /// Crout's step for column j of the panel c0..c1-1; returns the pivot row.
  std::ptrdiff_t (*panel_column)(double* a, std::ptrdiff_t lda, std::ptrdiff_t n, std::ptrdiff_t c0,
                                 std::ptrdiff_t c1, std::ptrdiff_t j, double* scale, bool* tiny);
  /// Back substitution of kRowBlock right-hand sides (row-major X, n rows)
  /// with the upper factor row-major in R (row i at R + i * ldr).
  void (*back_substitute)(const double* R, std::ptrdiff_t ldr, std::ptrdiff_t n, double* X);
  /// X[i * kRowBlock + v] := cols[v][i] (v < kRowBlock, i0 <= i < i1).
  void (*gather_rows)(const double* const* cols, std::ptrdiff_t i0, std::ptrdiff_t i1, double* X);
  /// cols[v][i] := X[i * kRowBlock + v] (v < cw, i < n).
  void (*scatter_rows)(const double* X, std::ptrdiff_t n, double* const* cols, std::ptrdiff_t cw);
  /// a(j, i) := a(i, j) for i < j < n (column-major, leading dimension lda).
  void (*mirror_upper)(double* a, std::ptrdiff_t lda, std::ptrdiff_t n);
};

#define NUMBRA_LU_DECLARE_KERNELS(ns)                                                            \
  namespace ns {                                                                                 \
  void SubProductSmall(std::ptrdiff_t m, std::ptrdiff_t n, std::ptrdiff_t k, const double* A,    \
                       std::ptrdiff_t lda, const double* B, std::ptrdiff_t ldb, double* C,       \
                       std::ptrdiff_t ldc);                                                      \
  void TrsmLeaf(const double* l, std::ptrdiff_t ldl, std::ptrdiff_t m, double* x,                \
                std::ptrdiff_t ldx, std::ptrdiff_t w);                                           \
  std::ptrdiff_t PanelColumn(double* a, std::ptrdiff_t lda, std::ptrdiff_t n, std::ptrdiff_t c0, \
                             std::ptrdiff_t c1, std::ptrdiff_t j, double* scale, bool* tiny);    \
  void BackSubstitute(const double* R, std::ptrdiff_t ldr, std::ptrdiff_t n, double* X);         \
  void GatherRows(const double* const* cols, std::ptrdiff_t i0, std::ptrdiff_t i1, double* X);   \
  void ScatterRows(const double* X, std::ptrdiff_t n, double* const* cols, std::ptrdiff_t cw);   \
  void MirrorUpper(double* a, std::ptrdiff_t lda, std::ptrdiff_t n);                             \
  }
NUMBRA_LU_DECLARE_KERNELS(lu_generic)
#if defined(NUMBRA_MATRIX_HAVE_AVX2)
NUMBRA_LU_DECLARE_KERNELS(lu_avx2)
#endif
#undef NUMBRA_LU_DECLARE_KERNELS

}  // namespace numbra::detail
