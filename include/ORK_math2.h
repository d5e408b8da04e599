// ORK_math2: data analysis. TCurveFit with the unit's singular value
// routines; smoothing, filters and derivatives of sampled signals;
// multivariate linear methods (covariance, eigenvectors, principal
// components, pseudo-inverse, regression); clustering and nearest
// neighbours; plane geometry and image correlation.
#pragma once

#include "numbra_frame.h"
#include "ORK_matrix.h"
#include "ORK_vector.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace numbra {

/// Raised by the routines and classes of ORK_math2.
NUMBRA_DECLARE_EXCEPTION(EORKMath2Error, EORKError);

// ===========================================================================
// Singular value routines
// ===========================================================================

/// Singular value decomposition A = U diag(W) transpose(V) by the
/// Golub-Reinsch algorithm: Householder reduction to bidiagonal form,
/// accumulation of the right-hand and left-hand transformations, then
/// implicit-shift QR diagonalisation with at most 30 iterations per
/// singular value.
///
/// A (m = NrOfRows() rows, n = NrOfColumns() columns, m < n allowed) is
/// overwritten by U (m x n, orthonormal columns where W is non-zero).
/// V receives the n x n orthogonal matrix and W the n singular values,
/// non-negative, in the order the iteration leaves them (not sorted).
/// V and W are meant to be sized by the caller (n x n, n elements); a
/// different size is corrected by resizing them. An element of the
/// bidiagonal form counts as zero when adding its magnitude to the largest
/// |w_i| + |e_i| leaves that norm unchanged in floating point.
///
/// Progress: each column step of the Householder reduction adds 1.0 to
/// ProcStat and calls MathFeedBackProc (when set); when AbortMathProc is set
/// at such a step the routine returns false at once (A, V, W then hold
/// intermediate values). Reaching 30 iterations for one singular value makes
/// the result false, but the remaining steps still run. False as well, with
/// nothing changed, for an empty A (0 rows or columns) and for an A holding a
/// NaN or infinite element. OnChange of A and V fires once at the end. Does
/// not clear AbortMathProc. Cost: about 4 m n^2 + 8 n^3 flops plus the QR
/// sweeps (2 to 3 per singular value, each rotation 6 (m + n) flops).
NUMBRA_EXPORT bool SvdDecompose(TMatrix& A, TMatrix& V, TVector& W);

/// Solves A x = b in the least-squares sense from the decomposition of
/// SvdDecompose: x = V diag(1/w) transpose(U) b, where a zero w_j contributes
/// nothing (so x is the minimum-norm solution once small w_j have been set
/// to 0). U is m x n, V n x n, W and x have n elements, b m elements (b is
/// read as m elements: missing ones count as 0). x is resized to n when its
/// size differs. When StdErr is not null it is sized to n and element i
/// becomes sqrt(sum_j V(i, j)^2 / w_j^2), terms with w_j = 0 omitted: the
/// standard errors of x for unit variance of b. x and StdErr may not be b.
NUMBRA_EXPORT void SvdBackSubstitute(const TMatrix& U, const TMatrix& V, const TVector& W,
                                     const TVector& b, TVector& x, TVector* StdErr);

/// Least-squares solution of A x = b (A m x n, b m elements) through
/// SvdDecompose (A is overwritten by U). On a successful decomposition every
/// singular value below 1e-14 times the largest is set to 0 (NearSingular
/// then becomes true) and SvdBackSubstitute gives x and, when StdErr is not
/// null, the standard errors. NearSingular is false on entry. x and StdErr
/// are resized to n when their size differs. Returns the result of
/// SvdDecompose; x is left unchanged when that is false.
NUMBRA_EXPORT bool SvdLeastSquares(TMatrix& A, const TVector& b, TVector& x, TVector* StdErr,
                                   bool& NearSingular);

/// SvdLeastSquares with a chosen relative cut-off: singular values below
/// RelCutOff times the largest are set to 0 (RelCutOff is clamped to 0..1;
/// 0 keeps every non-zero value). Otherwise the same.
NUMBRA_EXPORT bool SvdLeastSquares(TMatrix& A, const TVector& b, TVector& x, TVector* StdErr,
                                   bool& NearSingular, double RelCutOff);

// ===========================================================================
// TCurveFit
// ===========================================================================

// ===========================================================================
// Smoothing, filters and derivatives
// ===========================================================================

// ===========================================================================
// Multivariate linear methods
// ===========================================================================

// ===========================================================================
// Clustering and nearest neighbours
// ===========================================================================

// ===========================================================================
// Plane geometry and image correlation
// ===========================================================================

}  // namespace numbra
