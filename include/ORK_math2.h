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

// ===========================================================================
// TCurveFit
// ===========================================================================

// ===========================================================================
// Smoothing, filters and derivatives
// ===========================================================================

// ===========================================================================
// Multivariate linear methods
// ===========================================================================
//
// Free routines for data held in a TMatrix whose columns are variables and
// whose rows are observations (element (column, row), both from 1).
// CalcFishQ, Fisher's separation quotient, belongs to this family but is
// defined once, in ORK_statis.h; include that header to reach it.
//
// Eigen storage and threads. CalcEigVec and CalcPrincComp keep their result
// in one process-wide eigen storage (order, eigenvalues, eigenvectors) that
// GetEigenResult, GetEigenSize and RemoveEigenMatrix read and release. The
// storage is guarded by a lock: a decomposition is computed in private work
// arrays and published in one step, so a reader on any thread sees either
// the previous or the new decomposition, never a mixture, and two threads
// decomposing at once cannot corrupt it (the later publication wins). A
// thread that must read back exactly its own decomposition while others
// decompose has to serialise those calls itself. The progress counter, the
// feedback procedure and the abort flag stay process-wide: an abort
// requested through AbortMathProc stops every running decomposition.

/// Distance of object ix to a reference, supplied to the nearest-neighbour
/// search of the clustering routines.
using TCalcDistFunc = std::function<double(int32_t ix)>;

/// Largest order CalcEigVec accepts.
inline constexpr int32_t kMaxEigenOrder = 10000;

/// Association matrix of the variables LoC..HiC over the observations
/// LoR..HiR of InMat, written to positions 1..n of CovarMat (n = number of
/// selected columns, m = number of selected rows; the rest of CovarMat is
/// left alone, CovarMat is never resized). Element (j, i) = (i, j) is, with
/// x and y columns j and i over the selected rows:
///   Mode 0: sum x*y / (m - 1)                      (raw cross products)
///   Mode 1: sum (x - mean x)(y - mean y) / (m - 1) (covariance)
///   Mode 2: covariance / sqrt(var x * var y), diagonal exactly 1; a zero
///           variance counts as sqrt(var x * var y) = 1e-38 (correlation)
///   Mode 3: the square of the mode 2 value (the diagonal is not set to
///           1 here: it is 1 to rounding, 0 for a constant column)
///   Mode 4: sum (x - y)^2 / (m - 1)                (squared distance)
///   any other mode: 0.
/// Means and variances are the corrected two-pass values of the library's
/// statistics kernel, the cross products are formed from the centred
/// columns, so the result keeps its digits also for data with a large
/// offset. Ranges: LoC = HiC = 0 selects all columns, LoR = HiR = 0 all
/// rows; otherwise each bound is clamped into the matrix and a reversed
/// pair is exchanged. Clears AbortMathProc on entry; ProcStat grows by 1
/// per row (modes 1 to 4) and by m per pair, MathFeedBackProc is called
/// with it at each step when set; AbortMathProc is tested before each
/// variable. Returns false, leaving CovarMat unchanged, when CovarMat has
/// fewer than n columns or rows, when fewer than 2 rows or no column are
/// selected, or when AbortMathProc was set during the computation; true
/// otherwise. A non-finite value makes the affected elements NaN. Cost
/// O(n^2 m) through the blocked product kernel.
NUMBRA_EXPORT bool CalcCovar(const TMatrix& InMat, TMatrix& CovarMat, int32_t LoC, int32_t HiC,
                             int32_t LoR, int32_t HiR, int32_t Mode);

/// Eigenvalues and eigenvectors of the symmetric matrix InMat (order n =
/// NrOfColumns(); only the diagonal and the elements above it, (column q,
/// row p) with p <= q, are read; elements beyond the rows read as 0) by the
/// cyclic Jacobi method with the threshold strategy: thresholds 0.2 * S /
/// n^2 during the first three sweeps (S the sum of the magnitudes above the
/// diagonal), off-diagonal elements that are negligible next to both
/// diagonal elements are dropped after the fourth, at most 100 sweeps. The
/// result replaces the eigen storage: eigenvalue k and eigenvector k
/// (normalised to length 1, orthogonal to the others to rounding) for k =
/// 1..n, unsorted, in the order of the diagonal. InMat is not changed.
/// Returns false, leaving the storage unchanged, when n > kMaxEigenOrder or
/// an element read is NaN or infinite; returns false with the storage
/// holding the last iterate when 100 sweeps do not converge or when
/// AbortMathProc is set (it is cleared on entry and tested before each
/// rotation); true otherwise. ProcStat grows by 1 per sweep and per pair of
/// each sweep, MathFeedBackProc is called at each step when set. Cost
/// O(n^3) per sweep; typically 6 to 10 sweeps.
NUMBRA_EXPORT bool CalcEigVec(const TMatrix& InMat);

/// With k = first and r = second: eigenvalue k for r = 0, component r of
/// eigenvector k for 1 <= r <= n (both from 1). 0 for any other argument
/// and after RemoveEigenMatrix.
NUMBRA_EXPORT double GetEigenResult(int32_t first, int32_t second) noexcept;

/// Order n of the last decomposition (0 before the first one; kept by
/// RemoveEigenMatrix).
NUMBRA_EXPORT int32_t GetEigenSize() noexcept;

/// Releases the eigenvalues and eigenvectors of the storage; the order
/// keeps its value and GetEigenResult answers 0 afterwards.
NUMBRA_EXPORT void RemoveEigenMatrix() noexcept;

/// Principal components of the variables LoC..HiC over the rows LoR..HiR
/// of InMat: the association matrix of CalcCovar(Mode) (1 covariance, 2
/// correlation; the other modes are accepted as CalcCovar defines them)
/// diagonalised as by CalcEigVec. With Normalize every eigenvalue is then
/// divided by the sum of the magnitudes of all (unless that sum is 0), so
/// positive ones give the explained fractions. The eigenpairs are ordered
/// by descending eigenvalue by selection: position i takes the largest
/// eigenvalue greater than 0 among positions i..n (the first on ties),
/// with its eigenvector; when none is left greater than 0 the remaining
/// positions keep their order. The result replaces the eigen storage in one
/// step (GetEigenResult, GetEigenSize). The column bounds must name columns
/// of InMat (a reversed pair is exchanged; there is no all-columns default
/// here); the row bounds follow CalcCovar. Returns false, storage
/// unchanged, on column bounds outside the matrix and whenever CalcCovar
/// fails (including an abort); false with the last iterate stored when the
/// decomposition fails. InMat is never changed.
NUMBRA_EXPORT bool CalcPrincComp(const TMatrix& InMat, int32_t LoC, int32_t HiC, int32_t LoR,
                                 int32_t HiR, int32_t Mode, bool Normalize);
/// CalcPrincComp with Normalize = true.
NUMBRA_EXPORT bool CalcPrincComp(const TMatrix& InMat, int32_t LoC, int32_t HiC, int32_t LoR,
                                 int32_t HiR, int32_t Mode);

/// Mahalanobis distance sqrt(d^T M d) of the vectors, d = Vec1 - Vec2 and
/// M = InvCovMat, D^2 = sum over i of (sum over j of d_j * M(j, i)) * d_i
/// with M addressed (column j, row i). Raises EORKVectorError, checked in
/// this order, "MahalanobisDistance: dimensions of vectors do not match",
/// "MahalanobisDistance: inverse covariance matrix is not quadratric",
/// "MahalanobisDistance: dimension of vectors and inverse covariance
/// matrix do not match" and, when D^2 < 0, "MahalanobisDistance: the
/// inverse covariance matrix must be symmetric and positive definite".
/// NaN in the data gives NaN.
NUMBRA_EXPORT double MahalanobisDistance(const TVector& Vec1, const TVector& Vec2,
                                         const TMatrix& InvCovMat);


// ===========================================================================
// Clustering and nearest neighbours
// ===========================================================================

// ===========================================================================
// Plane geometry and image correlation
// ===========================================================================

}  // namespace numbra
