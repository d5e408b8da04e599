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
//
// Abort flag: CalcCovar, CalcEigVec and CalcPrincComp clear AbortMathProc
// when they start; the routines built on the singular value decomposition
// (PseudoInverse, SingValDecomp, MultiLinReg, RidgeReg, RidgeRegStd,
// SimPLS, VertexCompAnalysis) do not, like SvdDecompose, and fail when it
// is set. SimPLS writes no model file; reading a stored PLS model
// (LoadPLSModelComment) belongs to the cross-validation routines.

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


/// Moore-Penrose pseudo-inverse of InMat (m rows, n columns) through the
/// singular value decomposition A = U W V^T of a copy: PInv (resized to m
/// columns and n rows, the transposed shape) = V W+ U^T, where W+ holds
/// 1 / w_k for |w_k| > Threshold and 0 otherwise. Threshold 0, or a negative
/// one, means max(m, n) * w_max * 1.2e-16 (w_max the largest singular
/// value). InMat is not changed. Returns false, leaving PInv unchanged, when
/// InMat is empty or holds a NaN or infinity, when the decomposition does
/// not converge or AbortMathProc is set during it; true otherwise. OnChange
/// of PInv fires once (and on the resize). Cost about 4 m n^2 + 8 n^3 +
/// 2 m n^2 flops.
NUMBRA_EXPORT bool PseudoInverse(const TMatrix& InMat, TMatrix& PInv, double Threshold);

/// Singular value decomposition A = U diag(W) V^T of A (m rows, n columns,
/// m < n allowed), with the singular values in descending order: A is
/// replaced by U (m x n, orthonormal columns where W is non-zero), V by the
/// n x n orthogonal matrix, W by the n singular values (all >= 0, W(1) the
/// largest); the columns of U and V follow their singular values. The sign
/// of each pair of singular vectors is fixed so that the component of
/// largest magnitude of the column of V is positive. Returns false with A,
/// V and W unchanged when A is empty or holds a NaN or infinity; false with
/// intermediate values after an abort (AbortMathProc) or when the QR
/// iteration does not converge; true otherwise.
NUMBRA_EXPORT bool SingValDecomp(TMatrix& A, TMatrix& V, TVector& W);

/// Solves A x = b in the least-squares sense from the decomposition U, V, W
/// of SingValDecomp (or SvdDecompose): x = V diag(1/w) U^T b over the
/// singular values w_k > max(m, n) * w_max * 1.2e-16 (the others, and any
/// the caller set to 0, contribute nothing: x is the minimum-norm
/// solution). x is resized to n elements; StdErr to n elements, element i =
/// sqrt(sum over the kept k of V(k, i)^2 / w_k^2): the standard error of
/// x_i for unit variance of the elements of b. Returns the number of
/// singular values used (the numerical rank), or -1, with x and StdErr
/// unchanged, when the sizes do not fit (U m x n, V n x n, W n elements, b
/// m elements).
NUMBRA_EXPORT int32_t SingValEquSolve(const TMatrix& U, const TMatrix& V, const TVector& W,
                                      const TVector& b, TVector& x, TVector& StdErr);

/// Summary statistics of MultiLinReg, RidgeReg and RidgeRegStd.
struct TRegressionStats {
  /// Coefficient of determination 1 - RSS / TSS (TSS about the mean of y).
  double RSquared = 0.0;
  /// Residual standard deviation sqrt(RSS / DegreesOfFreedom).
  double ResidualSD = 0.0;
  /// Residual sum of squares.
  double RSS = 0.0;
  /// Residual degrees of freedom: observations - predictors - 1.
  int32_t DegreesOfFreedom = 0;
  /// Number of singular values of the centred predictors that were used.
  int32_t Rank = 0;
};

/// Ordinary least squares with intercept: y = b0 + b1 x1 + ... + bn xn over
/// the m rows of X (n columns, the predictors) and y (m elements). The
/// predictors are centred and scaled to unit length and solved through the
/// singular value decomposition; singular values below 1e-14 of the largest
/// are dropped (NearSingular then becomes true, and the coefficients are the
/// minimum-norm solution in the coordinates of the scaled columns). Coeffs receives n + 1
/// elements: element 1 the intercept b0, element j + 1 the coefficient of
/// column j; StdErr their standard errors (from sigma^2 (X^T X)^-1 with
/// sigma the residual standard deviation). Stats, when not null, receives
/// R^2, the residual SD and sum of squares, the degrees of freedom and the
/// rank. NearSingular is false on entry. Returns false, with Coeffs and
/// StdErr unchanged, when y does not have m elements, when m < n + 2 (no
/// degree of freedom left), when a value is NaN or infinite, or when the
/// decomposition fails or is aborted (AbortMathProc). Accuracy: on the NIST
/// Longley data every coefficient and standard error has 12 or more correct
/// digits.
NUMBRA_EXPORT bool MultiLinReg(const TMatrix& X, const TVector& y, TVector& Coeffs, TVector& StdErr,
                               bool& NearSingular, TRegressionStats* Stats = nullptr);

/// Ridge regression on standardised predictors: each column of X is centred
/// and divided by its sample standard deviation (divisor m - 1), y is
/// centred, and b* minimises |y - ybar - Z b*|^2 + Lambda |b*|^2 (Lambda >=
/// 0; the intercept is not penalised), through the singular value
/// decomposition of Z: b* = V diag(w / (w^2 + Lambda)) U^T (y - ybar).
/// StdCoeffs receives b* (n elements), Means and StdDevs the column means
/// and standard deviations used, Coeffs the same model in the units of X
/// (n + 1 elements: the intercept first, then b*_j / s_j). A constant
/// column gets coefficient 0. NearSingular (false on entry) tells that the
/// smallest singular value of Z is below 1e-14 of the largest, i.e. that
/// the unpenalised problem would be singular. Stats, when not null, as in
/// MultiLinReg (R^2 and residuals of the ridge fit; DegreesOfFreedom m - n
/// - 1). Returns false, outputs unchanged, for Lambda < 0 or not finite, y
/// not of m elements, m < 2, n < 1, non-finite data, or a failed or
/// aborted decomposition.
NUMBRA_EXPORT bool RidgeRegStd(const TMatrix& X, const TVector& y, double Lambda, TVector& Coeffs,
                               TVector& StdCoeffs, TVector& Means, TVector& StdDevs,
                               bool& NearSingular, TRegressionStats* Stats = nullptr);

/// Ridge regression on the raw predictors: b minimises |y - b0 - X b|^2 +
/// Lambda |b|^2 with an unpenalised intercept b0 (the columns and y are
/// centred, b = (Xc^T Xc + Lambda I)^-1 Xc^T yc computed through the
/// singular value decomposition of Xc, b0 = ybar - xbar^T b). Coeffs
/// receives n + 1 elements (the intercept first), Fitted the m fitted
/// values b0 + X b. NearSingular, Stats and the failures as in RidgeRegStd;
/// Lambda = 0 gives the ordinary least-squares fit (minimum-norm when
/// singular).
NUMBRA_EXPORT bool RidgeReg(const TMatrix& X, const TVector& y, double Lambda, TVector& Coeffs,
                            TVector& Fitted, bool& NearSingular, TRegressionStats* Stats = nullptr);

/// Partial least squares regression of Y (m rows, p columns: the responses)
/// on X (m rows, n columns: the predictors) by de Jong's SIMPLS algorithm
/// (Chemometr. Intell. Lab. Syst. 18, 1993, 251-263), NumComp components.
/// With Center the columns of X and Y are centred first (their means go to
/// XMeans and YMeans; without it both are zero vectors and the model has no
/// intercept). For each component a = 1..NumComp: q is the dominant
/// eigenvector of S^T S (S = X^T Y deflated; its component of largest
/// magnitude made positive), r = S q, t = X r scaled to unit length (r
/// with it), the loadings p = X^T t and q = Y^T t, u = Y q, v = p made
/// orthonormal to the earlier v (and u to the earlier t), and S loses its
/// projection on v. Results, column a for component a: Weights R (n x
/// NumComp), XScores T (m x NumComp, orthonormal), XLoadings P (n x
/// NumComp), YLoadings Q (p x NumComp), YScores U (m x NumComp), Basis V
/// (n x NumComp, orthonormal); Coeffs B = R Q^T (n rows, p columns) gives
/// the fitted responses YMeans + (x - XMeans) B for a row x. With NumComp =
/// n and full column rank, B is the ordinary least-squares solution. Returns
/// false, outputs unchanged, when the row counts differ, NumComp is not in
/// 1..min(n, m - 1) (1..min(n, m) without Center), a value is NaN or
/// infinite, X^T Y is exhausted before NumComp components (the data carry
/// fewer), or AbortMathProc is set during an eigenproblem (each adds to
/// ProcStat like CalcEigVec); true otherwise.
NUMBRA_EXPORT bool SimPLS(const TMatrix& X, const TMatrix& Y, int32_t NumComp, bool Center,
                          TMatrix& Weights, TMatrix& XScores, TMatrix& XLoadings,
                          TMatrix& YLoadings, TMatrix& YScores, TMatrix& Basis, TVector& XMeans,
                          TVector& YMeans, TMatrix& Coeffs);

/// Vertex component analysis (Nascimento and Bioucas-Dias, IEEE Trans.
/// Geosci. Remote Sens. 43, 2005, 898-910): extracts NumEndmembers
/// endmembers from linearly mixed data. Data holds one observation (pixel)
/// per row and one variable (band) per column (N rows, L columns). The
/// data are projected onto their signal subspace: with LowSNR, or when the
/// estimated signal-to-noise ratio is below 15 + 10 log10(p) dB, onto the
/// p - 1 leading principal directions of the centred data (plus a constant
/// coordinate); otherwise onto the p leading eigenvectors of R R^T / N with
/// the projective scaling (p = NumEndmembers). Then p times: a direction
/// orthogonal to the endmembers found so far (a standard normal vector from
/// GRandom with that span projected out) picks the observation of extreme
/// projection as the next endmember. Results: Endmembers (p rows, L
/// columns: row i the projected data of observation Indices(i)), Indices
/// (p elements: row numbers in Data, from 1), Projected (N rows, L columns:
/// the data projected onto the signal subspace). The random directions make
/// the choice among equally extreme observations depend on RandSeed; for
/// data that contain pure observations of every endmember and little noise
/// the result is those observations, in some order. Returns false, outputs
/// unchanged, when NumEndmembers is not in 2..min(L, N), a value is NaN or
/// infinite, or the eigenproblem is aborted (AbortMathProc); true otherwise.
NUMBRA_EXPORT bool VertexCompAnalysis(const TMatrix& Data, int32_t NumEndmembers, bool LowSNR,
                                      TMatrix& Endmembers, TIntVector& Indices,
                                      TMatrix& Projected);

// ===========================================================================
// Clustering and nearest neighbours
// ===========================================================================

// ===========================================================================
// Plane geometry and image correlation
// ===========================================================================

}  // namespace numbra
