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
/// ColHook before each column is factorised.
LuStatus LuFactor(double* a, std::ptrdiff_t n, std::ptrdiff_t lda, std::vector<int32_t>& piv,
                  int32_t& sign, const LuHook& RowHook = {}, const LuHook& ColHook = {});

/// The inverse of the factorised matrix (LuFactor's a and piv) into inv
/// (n x n, column-major, leading dimension n): column j solves
/// L U x = P e_j by forward substitution (from the first nonzero, as
/// Numerical Recipes' lubksb does) and back substitution, each element's
/// terms in ascending k. Columns are solved in blocks of kRowBlock;
/// BlockHook(j) is called once per column before its block is solved
/// (returning false stops: the result is then false).
bool LuInverse(const double* a, std::ptrdiff_t n, std::ptrdiff_t lda,
               const std::vector<int32_t>& piv, double* inv, const LuHook& BlockHook = {});

}  // namespace numbra::detail
