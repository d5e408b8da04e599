// ORK_math2: data analysis. TCurveFit with the unit's singular value
// routines; smoothing, filters and derivatives of sampled signals;
// multivariate linear methods (covariance, eigenvectors, principal
// components, pseudo-inverse, regression); clustering and nearest
// neighbours; plane geometry and image correlation.
#pragma once

#include "numbra_frame.h"
#include "ORK_matrix.h"
#include "ORK_vector.h"
#include "ORK_stringl.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
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

/// Domain flags collected by the running sums of TCurveFit.
enum class TCurveFitError : uint8_t {
  cfeXLE0,  ///< an x <= 0 was entered
  cfeYLE0,  ///< a y <= 0 was entered
  cfeXEQ0,  ///< an x of magnitude <= 1e-30 was entered
  cfeYEQ0   ///< a y of magnitude <= 1e-30 (or exactly 0 where stated) was entered
};

/// Set of TCurveFitError (the FErrIndic field of TCurveFit).
class NUMBRA_EXPORT TCurveFitErrors {
 public:
  /// Whether e is in the set.
  [[nodiscard]] bool contains(TCurveFitError e) const noexcept { return (bits_ & Bit(e)) != 0; }
  /// Adds e to the set.
  void insert(TCurveFitError e) noexcept { bits_ = static_cast<uint8_t>(bits_ | Bit(e)); }
  /// Empties the set.
  void clear() noexcept { bits_ = 0; }
  /// Whether the set is empty.
  [[nodiscard]] bool empty() const noexcept { return bits_ == 0; }
  /// Equal sets.
  friend bool operator==(TCurveFitErrors a, TCurveFitErrors b) noexcept {
    return a.bits_ == b.bits_;
  }

 private:
  static constexpr uint8_t Bit(TCurveFitError e) noexcept {
    return static_cast<uint8_t>(1u << static_cast<unsigned>(e));
  }
  uint8_t bits_ = 0;
};

/// Collects bivariate points (x, y) and answers statistical and
/// curve-fitting questions about them.
///
/// Most answers come from running sums updated on every insertion and
/// removal (O(1)); rank statistics, the polynomial and transformed fits and
/// the splines work on the stored points, column 1 of FData holding x and
/// column 2 y (point i in row i, 1-based). Degenerate data are answered by 0
/// (or 1 for a fit quality when y has no variance), never by an exception,
/// except where a member names one. NaN or infinite values are stored and
/// summed like any other (the answers then become NaN or infinite).
///
/// ASC text form (ExportAsASC, ImportASC), lines ending in "\n":
///   1. a comment line;
///   2. "2" TAB ";nr. of columns";
///   3. the number of points TAB ";nr. of rows";
///   4. "FALSE TRUE FALSE" TAB ";row attributes, column names, row names";
///   5. the column names "x" and "y", each in double quotes, three blanks
///      between them;
///   6. one line per point: x TAB y.
/// The header syntax is that of corvel::ReadHeaderOfASC (see there); the
/// names in double quotes make a written file read back through
/// corvel::ParseQuotedName, which also accepts unquoted names, so files
/// with the names written bare (x   y) read as well.
///
/// Not safe for use from several threads at once.
class NUMBRA_EXPORT TCurveFit : public TComponent {
 public:
  /// Empty object: FData 2 x 1000, spline ends natural with derivatives 0,
  /// smoothing factor 0.5, caches stale, then Init. Raises EORKMath2Error
  /// "Component "<Name>": not enough memory on heap" when no storage is left.
  explicit TCurveFit(TComponent* AOwner = nullptr);
  ~TCurveFit() override;

  // ---- data ---------------------------------------------------------------
  /// Empties the object: sums 0, no points, every element of FData 0
  /// (capacity kept), MinX/MinY the largest finite double and MaxX/MaxY its
  /// negative, no domain flags. Keeps the spline settings; the cached
  /// spline and rank results are marked stale (they described the
  /// discarded points).
  void Init();
  /// Adds the point (x, y) to the running sums and stores it as point
  /// NumData() + 1; the storage grows by 1000 rows when full. Marks the
  /// cached spline and rank results stale. Returns the new NumData(). Raises
  /// EORKMath2Error "Component "<Name>": not enough memory on heap" when the
  /// storage cannot grow (nothing changed then).
  int32_t EnterStatValue(double x, double y);
  /// Removes point ix (1..NumData()): its contribution leaves every running
  /// sum, later points move down one row. Out of range: nothing changes.
  /// The caches are marked stale in both cases; the extremes and the domain
  /// flags keep what was entered since the last Init.
  void RemoveStatValue(int32_t ix);
  /// Exchanges x and y in every stored point and in every sum and extreme.
  /// Domain flags and caches are left as they are.
  void FlipXY();
  /// Number of stored points.
  [[nodiscard]] int32_t NumData() const noexcept { return FNumData; }
  /// Stored x of point ix; 0 outside 1..NumData().
  [[nodiscard]] double GetDataX(int32_t ix) const noexcept;
  /// Stored y of point ix; 0 outside 1..NumData().
  [[nodiscard]] double GetDataY(int32_t ix) const noexcept;
  /// Smallest x entered since the last Init (1.7976931348623157e308 when none).
  [[nodiscard]] double MinX() const noexcept { return FMinX; }
  /// Largest x entered since the last Init (-1.7976931348623157e308 when none).
  [[nodiscard]] double MaxX() const noexcept { return FMaxX; }
  /// Smallest y entered since the last Init.
  [[nodiscard]] double MinY() const noexcept { return FMinY; }
  /// Largest y entered since the last Init.
  [[nodiscard]] double MaxY() const noexcept { return FMaxY; }
  /// Domain flags collected since the last Init.
  [[nodiscard]] TCurveFitErrors ErrIndic() const noexcept { return FErrIndic; }

  // ---- spline settings ------------------------------------------------------
  /// Whether the cubic spline has a natural (zero second derivative) left end.
  [[nodiscard]] bool SplineNatural1() const noexcept { return FNatural1; }
  /// Whether the cubic spline has a natural right end.
  [[nodiscard]] bool SplineNaturalN() const noexcept { return FNaturalN; }
  /// First derivative at the left end of a clamped spline.
  [[nodiscard]] double SplineDerivY1() const noexcept { return FY1Dash; }
  /// First derivative at the right end of a clamped spline.
  [[nodiscard]] double SplineDerivYN() const noexcept { return FYNDash; }
  /// Smoothing factor of SmoothedSpline (0.5 after construction).
  [[nodiscard]] double SplineSmoothingFactor() const noexcept { return FPSplineSmooth; }
  /// Sets SplineNatural1 (marks the cubic spline stale).
  void SetNatural1(bool Value) noexcept;
  /// Sets SplineNaturalN (marks the cubic spline stale).
  void SetNaturalN(bool Value) noexcept;
  /// Sets SplineDerivY1 (marks the cubic spline stale).
  void SetY1Dash(double Value) noexcept;
  /// Sets SplineDerivYN (marks the cubic spline stale).
  void SetYNDash(double Value) noexcept;
  /// Sets SplineSmoothingFactor (marks the smoothed spline stale).
  void SetSplineSmoothing(double Value) noexcept;

  // ---- statistics -----------------------------------------------------------
  /// sumx / n; 0 without points.
  [[nodiscard]] double GetMeanX() const noexcept;
  /// sumy / n; 0 without points.
  [[nodiscard]] double GetMeanY() const noexcept;
  /// sum(x - y) / n; 0 without points.
  [[nodiscard]] double GetMeanDiff() const noexcept;
  /// Standard deviation of x, sqrt(|(sum x^2 - (sum x)^2 / n) / (n - 1)|)
  /// from the running sums; 0 for fewer than 3 points.
  [[nodiscard]] double GetStdDevX() const noexcept;
  /// Standard deviation of y, as GetStdDevX.
  [[nodiscard]] double GetStdDevY() const noexcept;
  /// Standard deviation of x - y, as GetStdDevX.
  [[nodiscard]] double GetStdDevDiff() const noexcept;
  /// Sample skewness of x (TMatrix::SkewKurtSample); 0 for fewer than 4 points.
  [[nodiscard]] double GetSkewnessX() const;
  /// Sample skewness of y.
  [[nodiscard]] double GetSkewnessY() const;
  /// Sample excess kurtosis of x (TMatrix::SkewKurtSample).
  [[nodiscard]] double GetKurtosisX() const;
  /// Sample excess kurtosis of y.
  [[nodiscard]] double GetKurtosisY() const;
  /// Quartiles of x (TMatrix::Quartiles); false with zeros without points.
  bool QuartilesX(double& q1, double& q2, double& q3) const;
  /// Quartiles of y (TMatrix::Quartiles); false with zeros without points.
  bool QuartilesY(double& q1, double& q2, double& q3) const;
  /// Pearson correlation from the running sums; 0 for fewer than 3 points,
  /// when sum x^2 or sum y^2 is not positive or either centred sum of
  /// squares is 0.
  [[nodiscard]] double GetRxy() const noexcept;
  /// Same as GetRxy (property CorrCoeff).
  [[nodiscard]] double CorrCoeff() const noexcept { return GetRxy(); }
  /// All outputs 0; then with points the three means, with 3 or more points
  /// the three standard deviations and rxy as GetRxy; NumData = n always.
  void CalcStatistics(int32_t& NumData, double& MeanX, double& MeanY, double& StdevX,
                      double& StdevY, double& MeanDiff, double& StdevDiff,
                      double& rxy) const noexcept;
  /// Circular mean in degrees (0 <= result < 360) of column col (1 = x,
  /// 2 = y) read as angles in degrees: the direction of (sum cos, sum sin).
  /// When sum cos is 0 the result is 90 for sum sin > 0, 270 for sum sin < 0,
  /// and 0 when sum sin is 0 too (no points, or directions that cancel: the
  /// mean direction is undefined). 0 for a col other than 1 or 2.
  [[nodiscard]] double CalcMeanDegrees(int32_t col) const noexcept;
  /// CalcMeanDegrees(1) (property MeanAngleX).
  [[nodiscard]] double GetMeanXDegrees() const noexcept { return CalcMeanDegrees(1); }
  /// CalcMeanDegrees(2) (property MeanAngleY).
  [[nodiscard]] double GetMeanYDegrees() const noexcept { return CalcMeanDegrees(2); }
  /// Counts the concordant and discordant pairs and the pairs tied in y only
  /// (FKendallTies1) or in x only (FKendallTies2) over all pairs i < j (only
  /// for 3 or more points; else all 0), and marks the counts current. The
  /// counts are 64-bit, so any number of points counts without overflow.
  /// Cost: n (n - 1) / 2 pair tests. Each row adds one progress step
  /// (ProcStat, MathFeedBackProc); when AbortMathProc is set at such a step
  /// the counting stops with all counts 0 and still stale (so tau, gamma
  /// and p read 0). Does not clear AbortMathProc.
  void BasicRankCounts();
  /// Kendall's tau-b (C - D) / sqrt((C + D + T1) (C + D + T2)) from the pair
  /// counts (recounted when stale), and in p the two-sided normal
  /// approximation 1 - erf(|tau| / sigma / sqrt 2), sigma^2 = (4n + 10) /
  /// (9n (n - 1)) (no correction for ties). Both 0 when the denominator is 0.
  double KendallsTau(double& p);
  /// Kruskal's gamma (C - D) / (C + D) from the pair counts; 0 when C + D = 0.
  double GetKruskalGamma();
  /// Same as GetKruskalGamma (property KruskalGamma).
  double KruskalGamma() { return GetKruskalGamma(); }
  /// Spearman's rank correlation with mid-ranks for ties and the tie
  /// correction (N3 - 6 (D + Tx + Ty)) / sqrt((N3 - 12 Tx) (N3 - 12 Ty)),
  /// N3 = n (n^2 - 1), Tx = sum t (t^2 - 1) / 12 over the runs of t equal x
  /// (Ty likewise); 0 for fewer than 3 points or when x or y are all equal.
  /// Raises EORKMath2Error "Component "<Name>": not enough memory on heap"
  /// when the working copy cannot be had.
  [[nodiscard]] double GetSpearman() const;
  /// Same as GetSpearman (property SpearmanRankCorr).
  [[nodiscard]] double SpearmanRankCorr() const { return GetSpearman(); }

  // ---- fits -----------------------------------------------------------------
  /// Least-squares line y = k x + d on the data centred by their means, with
  /// FitQual its r^2 (1 when y has no variance). k = d = FitQual = 0 when all
  /// x are equal. Raises EORKMath2Error "CalcLinFit: not enough data points"
  /// for fewer than 2 points.
  void CalcLinFit(double& k, double& d, double& FitQual) const;
  /// Least-squares parabola y = k0 + k1 x + k2 x^2 from the data centred by
  /// their means, FitQual its r^2 (1 when y has no variance). Outputs 0 when
  /// the system is singular. Raises EORKMath2Error "CalcParabolFit: not
  /// enough data points" for fewer than 3 points.
  void CalcParabolFit(double& k0, double& k1, double& k2, double& FitQual) const;
  /// Least-squares polynomial y = kArray[0] + sum kArray[j] x^j (j =
  /// 1..nOrder) with the design matrix x, x^2, ..., x^nOrder, 1 solved by
  /// SvdLeastSquares (singular values below 1e-14 times the largest are
  /// dropped and NearSingular set). FitQual is r^2 between y and the fitted
  /// values (two-pass, centred; 0 when either has no variance). Clears
  /// AbortMathProc on entry; counts nOrder + 1 progress steps. False (kArray
  /// untouched) when the decomposition fails or is aborted, when there are
  /// no points, or when kArray holds fewer than nOrder + 1 elements.
  bool CalcPolyFit(uint8_t nOrder, std::span<double> kArray, double& FitQual, bool& NearSingular);
  /// Polynomial in the centred variable: y = kArray[0] + sum kArray[j] (x -
  /// XShift)^j. When XShift is 0 on entry it becomes the mean of x. The
  /// design uses ((x - XShift) / s)^j with s the standard deviation of x
  /// (rounded to the nearest power of two, so that the scaling is exact; 1
  /// when the variance is 0) and y centred by its mean; FitQual is r^2
  /// between centred y and its fitted values. Cut-off, progress and failure
  /// results as CalcPolyFit. Both polynomial fits refine the solution twice
  /// (residual in extended precision, correction through the same
  /// decomposition).
  bool CalcCenteredPolyFit(uint8_t nOrder, std::span<double> kArray, double& XShift,
                           double& FitQual, bool& NearSingular);
  /// Circle of radius r around (dx, dy) minimising sum (d_i^2 - r^2)^2, d_i
  /// the distance of point i from the centre (algebraic fit), computed on
  /// the points shifted by their means. Raises EORKMath2Error
  /// "CalcCircleFit: not enough data points" for fewer than 3 points and
  /// "CalcCircleFit: radius is infinite" for collinear points.
  void CalcCircleFit(double& r, double& dx, double& dy) const;
  /// Regression ANOVA of the stored pairs read as (observed, estimated) for
  /// a model with NumVars variables, with or without a constant: degrees of
  /// freedom, SSE = sum (x - y)^2, SSR and SST about the mean of x (about 0
  /// without constant), MSE = SSE / dfres, MSR = SSR / dfreg, F = MSR / MSE
  /// (0 when MSR = 0, 1e10 when MSE = 0). MSE is 0 when dfres <= 0 and MSR
  /// 0 when dfreg <= 0 (no division by zero).
  void CalcAnovaReg(int32_t NumVars, bool IncludeConst, int32_t& dfreg, int32_t& dfres,
                    int32_t& dftotal, double& SSE, double& SSR, double& SST, double& MSE,
                    double& MSR, double& F) const noexcept;

  // The transformed fits below are least-squares fits of a straight line
  // (or a plane, for Gauss and Hoerl) to transformed data; FitQual is the
  // r^2 of that transformed fit (1 when the transformed response has no
  // variance). Each raises EORKMath2Error "<Member>: not enough data points"
  // for fewer points than parameters (2, or 3), and EORKMath2Error
  // "<Member>: data outside the domain of the model" when a domain flag
  // (ErrIndic(), collected since the last Init) shows an entered value the
  // transformation cannot take. All outputs are 0 when the transformed
  // predictors have no spread.

  /// Gaussian y = k0 exp(-(x - k1)^2 / (2 k2^2)) from the parabola
  /// ln y = a + b x + c x^2 (needs y > 0: cfeYLE0 refuses). When c >= 0 (no
  /// peak) all outputs are 0.
  void CalcGaussFit(double& k0, double& k1, double& k2, double& FitQual) const;
  /// Reciprocal line y = 1 / (k0 + k1 x), from 1/y = k0 + k1 x (cfeYEQ0
  /// refuses).
  void CalcReciLinFit(double& k0, double& k1, double& FitQual) const;
  /// Hyperbola y = k0 + k1 / x (cfeXEQ0 refuses).
  void CalcHyperbolFit(double& k0, double& k1, double& FitQual) const;
  /// Reciprocal hyperbola y = x / (k0 x + k1), from 1/y = k0 + k1 / x
  /// (cfeXEQ0 or cfeYEQ0 refuse).
  void CalcReciHyperbolFit(double& k0, double& k1, double& FitQual) const;
  /// Logarithmic y = k0 + k1 ln x (cfeXLE0 refuses).
  void CalcLogFit(double& k0, double& k1, double& FitQual) const;
  /// Reciprocal logarithmic y = 1 / (k0 + k1 ln x) (cfeXLE0 or cfeYEQ0
  /// refuse).
  void CalcReciLogFit(double& k0, double& k1, double& FitQual) const;
  /// Power y = k0 x^k1, from ln y = ln k0 + k1 ln x (cfeXLE0 or cfeYLE0
  /// refuse).
  void CalcPowerFit(double& k0, double& k1, double& FitQual) const;
  /// Hoerl y = k0 k1^x x^k2, from ln y = ln k0 + x ln k1 + k2 ln x (cfeXLE0
  /// or cfeYLE0 refuse).
  void CalcHoerlFit(double& k0, double& k1, double& k2, double& FitQual) const;
  /// Exponential y = k0 exp(k1 x), from ln y = ln k0 + k1 x (cfeYLE0
  /// refuses).
  void CalcExponentialFit(double& k0, double& k1, double& FitQual) const;

  /// Interpolating cubic spline through the points at x. Points of equal x
  /// are merged into one knot at their mean y. Ends natural (second
  /// derivative 0) or clamped to SplineDerivY1 / SplineDerivYN as the
  /// spline settings say. Beyond the knots the end pieces are extended. One
  /// knot gives its y everywhere, none 0. The knots and second derivatives
  /// are cached until the data or the settings change. Memory failure as
  /// GetSpearman.
  double CubicSpline(double x);
  /// Penalised smoothing spline (PenalizedCubicSpline with unit weights per
  /// point and SplineSmoothingFactor) at x; FitQual is 1 - sum of squared
  /// residuals / centred sum of squares of y over the points (1 when y has
  /// no variance). valid is false (result 0, FitQual 0) with fewer than 3
  /// distinct x or when the spline cannot be computed. Cached like
  /// CubicSpline.
  double SmoothedSpline(double x, double& FitQual, bool& valid);

  // ---- files ----------------------------------------------------------------
  /// Writes the points in the ASC form (see the class comment). Comment is
  /// written with line feeds and carriage returns replaced by blanks (so the
  /// file keeps its line structure); an empty result gives "Exported by ORK
  /// TCurveFit component: " + FName. Precision >= 0: that many fixed-point
  /// decimals (strff, at most 100); Precision < 0: the shortest text that
  /// reads back as exactly the same double (lossless). Returns "" on
  /// success, or the message of the error that prevented creating the file;
  /// write errors raise corvel::EInOutError.
  std::string ExportAsASC(const std::string& FName, const std::string& Comment,
                          int32_t Precision) const;
  /// Reads an ASC file of two columns and replaces the points by its rows
  /// (the sums rebuilt as by EnterStatValue). Returns 0 on success; the code
  /// of corvel::ReadHeaderOfASC when that is not 0; -7 when the header's
  /// fourth flag (extended cell information) is set; -8 when the body is
  /// malformed or truncated (a number that does not convert, a missing
  /// value or name). On a non-zero result the previous points are kept.
  /// Raises EORKMath2Error "TCurveFit.ImportASC: number of columns must be 2
  /// (is actually <n>)." for another column count. The caches are marked
  /// stale in every case.
  int32_t ImportASC(const std::string& FName);

 protected:
  // Running sums over the stored points; a reciprocal of a value of
  // magnitude <= 1e-30 counts as uc_MaxReal (and sets a domain flag).
  double sumx = 0;  ///< sum x
  double sumy = 0;  ///< sum y
  double sumxq = 0;  ///< sum x^2
  double sumyq = 0;  ///< sum y^2
  double sumDiff = 0;  ///< sum (x - y)
  double SumDiffq = 0;  ///< sum (x - y)^2
  double sumxy = 0;  ///< sum x y
  double sumx2y = 0;  ///< sum x^2 y
  double sumxy2 = 0;  ///< sum x y^2
  double sumx3 = 0;  ///< sum x^3
  double sumy3 = 0;  ///< sum y^3
  double sumx4 = 0;  ///< sum x^4
  double sumy4 = 0;  ///< sum y^4
  double sum1byy = 0;  ///< sum 1/y
  double sum1byxy = 0;  ///< sum 1/(x y)
  double sum1byyq = 0;  ///< sum 1/y^2
  double sumxbyy = 0;  ///< sum x/y
  double sumybyx = 0;  ///< sum y/x
  double sum1byx = 0;  ///< sum 1/x
  double sum1byxq = 0;  ///< sum 1/x^2
  double sumlnx = 0;  ///< sum ln x
  double sumlnxlny = 0;  ///< sum ln x ln y
  double sumlnxq = 0;  ///< sum (ln x)^2
  double sumylny = 0;  ///< sum y ln y
  double sumylnx = 0;  ///< sum y ln x
  double sumxlnx = 0;  ///< sum x ln x
  double sumlnxbyy = 0;  ///< sum (ln x)/y
  double sumlnybyx = 0;  ///< sum (ln y)/x
  double sumlny = 0;  ///< sum ln y
  double sumlnyq = 0;  ///< sum (ln y)^2
  double sumxlny = 0;  ///< sum x ln y
  double sumxqlny = 0;  ///< sum x^2 ln y
  double sumyqlnx = 0;  ///< sum y^2 ln x
  int32_t FNumData = 0;  ///< number of stored points
  double FMinX = 0;      ///< smallest x entered since Init
  double FMaxX = 0;      ///< largest x entered since Init
  double FMinY = 0;      ///< smallest y entered since Init
  double FMaxY = 0;      ///< largest y entered since Init
  bool FNatural1 = true;  ///< natural left end of the cubic spline
  bool FNaturalN = true;  ///< natural right end of the cubic spline
  double FY1Dash = 0;     ///< left end derivative of a clamped spline
  double FYNDash = 0;     ///< right end derivative of a clamped spline
  /// State of the quoted-name parser while reading ASC names.
  corvel::TQuotedStrState FVNState = corvel::TQuotedStrState::qsStart;
  std::string FVNName;     ///< name being parsed while reading ASC names
  TCurveFitErrors FErrIndic;  ///< domain flags collected by the sums
  /// Working data of the cubic spline: second derivatives, knots and knot
  /// values (plain arrays: nothing outside the object reads them).
  std::vector<double> Spl2Deriv, SplSortedX, SplSortedY;
  std::unique_ptr<TMatrix> FData;  ///< the points: column 1 x, column 2 y, row i point i
  bool FSplineValid = false;       ///< the cubic spline data are current
  double FPSplineSmooth = 0.5;     ///< smoothing factor of the smoothed spline
  double FPSplineFQ = 0;           ///< fit quality of the smoothed spline
  bool FPenSplineValid = false;    ///< the smoothed spline data are current
  bool FKendallValid = false;      ///< the pair counts are current
  int64_t FKendallConcord = 0;     ///< concordant pairs
  int64_t FKendallDiscord = 0;     ///< discordant pairs
  int64_t FKendallTies1 = 0;       ///< pairs tied in y only
  int64_t FKendallTies2 = 0;       ///< pairs tied in x only

  /// Adds the contribution of (x, y) to the running sums and extremes
  /// (sets domain flags).
  void AdjustSums(double x, double y) noexcept;

 private:
  // Sums of the values shifted by the first point entered after Init
  // (kx_, ky_): the standard deviations and Pearson's r come from these, so
  // that a large common offset does not cancel their digits.
  double kx_ = 0, ky_ = 0, sdx_ = 0, sdxq_ = 0, sdy_ = 0, sdyq_ = 0, sdxy_ = 0, sdd_ = 0, sddq_ = 0;
  bool shift_set_ = false;
  void ShiftedSums(double x, double y, double sign) noexcept;
  void SubtractSums(double x, double y) noexcept;
  void Invalidate() noexcept;
  [[nodiscard]] const double* Xs() const noexcept;
  [[nodiscard]] const double* Ys() const noexcept;
  void RequireDomain(const char* Member, int32_t MinPoints,
                     std::initializer_list<TCurveFitError> Refused) const;
  /// Relative singular value cut-off of CalcCenteredPolyFit.
  static constexpr double kCenteredCutOff = 1e-14;
  bool PolyFit(uint8_t nOrder, std::span<double> kArray, double* XShift, double& FitQual,
               bool& NearSingular);
  void MergedKnots(std::vector<double>& kx, std::vector<double>& ky, std::vector<double>& kw) const;
  void PrepareCubicSpline();
  bool PreparePenalizedSpline();
  // Smoothed spline pieces: knots and the coefficients a + b t + c t^2 + d t^3.
  std::vector<double> pen_x_, pen_a_, pen_b_, pen_c_, pen_d_;
  bool pen_ok_ = false;
};

/// Penalised cubic smoothing spline through the points First..Last
/// (0-based, inclusive) of x (strictly increasing), y and the positive
/// weights w: the natural cubic spline f minimising
///   sum_i w_i (y_i - f(x_i))^2 + Smooth * integral f''(t)^2 dt
/// (Reinsch's algorithm). Smooth = 0 interpolates; growing Smooth approaches
/// the weighted least-squares line. On return, for i = First..Last, the
/// piece on [x_i, x_{i+1}] is f(x) = a_i + b_i t + c_i t^2 + d_i t^3 with
/// t = x - x_i (a_i = f(x_i); at the last index a = f(x_Last), b its slope
/// and c = d = 0: the second derivative of the natural spline vanishes
/// there). a, b, c, d must hold
/// at least Last + 1 elements. Returns 0 on success; -1 for bad arguments
/// (fewer than 3 points in the range, short arrays, Smooth negative or not
/// finite, x not strictly increasing, a weight not positive, a non-finite
/// value), nothing written then.
NUMBRA_EXPORT int32_t PenalizedCubicSpline(int32_t First, int32_t Last, double Smooth,
                                           std::span<const double> x, std::span<const double> y,
                                           std::span<const double> w, std::span<double> a,
                                           std::span<double> b, std::span<double> c,
                                           std::span<double> d);

// ===========================================================================
// Smoothing, filters and derivatives
// ===========================================================================

// ===========================================================================
// Multivariate linear methods
// ===========================================================================

// ===========================================================================
// Clustering and nearest neighbours
// ===========================================================================

// Objects are the rows of a data matrix, variables its columns. The
// routines keep no state; they count progress in ProcStat (calling
// MathFeedBackProc) and stop where stated when AbortMathProc is set.

/// Weighting of EstimateByKNN.
enum class TKnnWMode : uint8_t { kwmGauss, kwmAverage, kwmMedian, kwmLinear, kwmBiQuad };

/// Linkage rule of AgglomClustering.
enum class TClusterMethod : uint8_t {
  cmSingleLink,
  cmCompleteLink,
  cmWard,
  cmAvgLink,
  cmFlexLink,
  cmUpgma
};

/// Display names of the linkage rules, indexed by TClusterMethod.
struct TClusterMethodIds {
  /// One name per rule, in the order of TClusterMethod.
  std::string_view Names[6];
  /// Name of Method.
  [[nodiscard]] constexpr std::string_view operator[](TClusterMethod Method) const noexcept {
    return Names[static_cast<std::size_t>(Method)];
  }
};

/// "single linkage", "complete linkage", "Ward's method", "average linkage",
/// "flexible strategy", "unweighted pair group".
inline constexpr TClusterMethodIds ClusterMethodID{{"single linkage", "complete linkage",
                                                    "Ward's method", "average linkage",
                                                    "flexible strategy", "unweighted pair group"}};

/// Feedback procedure of AgglomClustering: ProcStat and the percentage done.
using TClusterFeedback = std::function<void(TObject* Sender, double ProcStat, double PercentDone)>;

/// Distance of object (row) Index for FindNearestNeighbors.
using TCalcDistFunc = std::function<double(int32_t Index)>;

/// k-means clustering (Lloyd iterations) of the n rows of InMat into
/// NumClust clusters by squared Euclidean distance. Seeds: RandSeed < 1
/// takes objects 1..k, otherwise the runtime's generator is seeded with
/// RandSeed and each centre is object Random(n) + 1. Each pass assigns every
/// object to its nearest centre (lowest number on ties) and recomputes the
/// centres as the means of their objects (an empty cluster's centre
/// becomes 0); passes repeat until nothing changes, 1001 passes are made or
/// AbortMathProc is set (then it returns at once). Finally the clusters
/// are renumbered by descending size (cluster 1 the largest). Centers
/// becomes p x k, ClassAssign n and ClustSize k elements. The arguments a
/// and b are not used. Returns the total within-cluster sum of squared
/// distances. Raises EORKMath2Error "kMeansClustering: number of clusters
/// is greater than number of objects" (k > n), "kMeansClustering: number
/// of clusters must be at least 1" (k < 1, also for an empty matrix), and
/// "kMeansClustering: max. number of iterations exceeded" after 1001
/// passes (the results are stored first). An object with a NaN value is
/// at no comparable distance: it goes to cluster 1 and the result is NaN.
NUMBRA_EXPORT double kMeansClustering(const TMatrix& InMat, int32_t a, int32_t b, int32_t NumClust,
                                      int32_t RandSeed, TMatrix& Centers, TIntVector& ClassAssign,
                                      TIntVector& ClustSize);
/// kMeansClustering with RandSeed 0 and a temporary ClustSize.
NUMBRA_EXPORT double kMeansClustering(const TMatrix& InMat, int32_t a, int32_t b, int32_t NumClust,
                                      TMatrix& Centers, TIntVector& ClassAssign);
/// Empirical number of k-means passes: round(0.18232 sqrt(ab) - 0.00092427 a
/// - 0.00017557 a c + 0.38775 sqrt(ac) - 108), at least 20 (halves to even).
NUMBRA_EXPORT int32_t kMeansEstimatedSteps(int32_t a, int32_t b, int32_t c);

/// Centre search by pairwise merging of the rows LoRow..HiRow of InMat:
/// while more than NumCenters rows remain, the closest pair (squared
/// Euclidean over all columns; pairs at 1e10 or more are never merged) is
/// replaced by its weighted mean. Rows 1..NumCenters of Centers receive the
/// centres (Centers' column count); MeanDist is the mean distance of each
/// centre to its nearest other centre (1e5 for a lone centre). InMat is
/// worked on in a copy held in memory and is left unchanged; nothing is
/// written to disk. Bounds are clamped into 1..rows; NumCenters < 1, an
/// empty range or Centers with fewer than NumCenters rows: nothing, MeanDist
/// 0.
NUMBRA_EXPORT void FindCenters(const TMatrix& InMat, int32_t LoRow, int32_t HiRow,
                               int32_t NumCenters, TMatrix& Centers, double& MeanDist);

/// Hierarchical agglomerative clustering of the rows of DataMat. The
/// distance matrix comes from DataMat.CalcDistMat(DistMode) with
/// DataMat.OnCalcDistance temporarily replaced by OnCalcDist (restored in
/// every case, exceptions included). Step s = 1..n-1 merges the active
/// pair p < q with the smallest distance (the first in row-then-column
/// order on ties), updates the distances by the Lance-Williams rule of
/// ClusterMethod (FlexParam for cmFlexLink) and writes Dendrogram row s =
/// (id p, id q, n + s) and MergeDist[s]. ObjPos[i] (1..2n-1) is the drawing
/// position of leaf i and of merge node n + s. Dendrogram becomes 3 x
/// (n - 1), MergeDist n - 1 and ObjPos 2n - 1 elements (at least 1: for
/// one object Dendrogram is 3 x 0, ObjPos[1] = 1). Clears AbortMathProc;
/// 0 on success, -1 after an abort (outputs cleared, Dendrogram zero),
/// -2 for a matrix without rows. When no active pair lies below uc_MaxReal
/// (NaN or huge distances) the first two active slots are joined at their
/// distance, so the dendrogram stays complete. Feedback(Sender, ProcStat, percent) is
/// called before the first step and after each step when given. Cost:
/// O(n^2) memory and, with a cache of each row's nearest partner, about
/// O(n^2) time for the common linkages.
NUMBRA_EXPORT int32_t AgglomClustering(TObject* Sender, TMatrix& DataMat, TDistMode DistMode,
                                       TClusterMethod ClusterMethod, double FlexParam,
                                       TIntMatrix& Dendrogram, TVector& MergeDist, TVector& ObjPos,
                                       const TClusterFeedback& Feedback,
                                       const TOnCalcDistanceEvent& OnCalcDist);

/// For each row i of LoRow..HiRow (clamped into 1..rows, exchanged when
/// reversed) the mean Euclidean distance to its k nearest rows of the range,
/// itself included (k clamped to 1..50 and to the rows). MeanDist[i] is
/// written through SetVal (elements beyond its length are dropped).
NUMBRA_EXPORT void MeanDistanceKNN(const TMatrix& InMat, int32_t k, int32_t LoRow, int32_t HiRow,
                                   TVector& MeanDist);

/// The k (at most 100 and the row count) objects of FirstObj..LastObj
/// (clamped into 1..rows) nearest to RefVec (Euclidean over RefVec's
/// elements) or, when CalcDist is given, with the smallest CalcDist(i).
/// NNMat(1, r) = object, NNMat(2, r) = distance, r = 1..k in ascending
/// order (ties keep the lower object first). When the range holds fewer
/// than k objects the rows beyond them get object 0 and distance
/// uc_MaxReal; objects at a NaN distance are never listed. Written through
/// NNMat.SetVal, so cells outside NNMat are dropped. k < 1 or no rows:
/// nothing.
NUMBRA_EXPORT void FindNearestNeighbors(int32_t k, const TMatrix& DataMat, int32_t FirstObj,
                                        int32_t LastObj, const TVector& RefVec, TMatrix& NNMat,
                                        const TCalcDistFunc& CalcDist);

/// k-nearest-neighbour estimate of the target at ProbeVec: the k (clamped
/// to 1..100 and to the rows) rows of DataMat nearest to ProbeVec, weighted by WMode (Param
/// is the width of kwmGauss and kwmLinear). MeanDist is their mean
/// distance. kwmBiQuad fits a full quadratic polynomial by SvdLeastSquares
/// (0 when that fails). Estimate and MeanDist are 0 for a matrix without
/// rows.
NUMBRA_EXPORT void EstimateByKNN(const TMatrix& DataMat, const TVector& TargetVec, int32_t k,
                                 TKnnWMode WMode, double Param, const TVector& ProbeVec,
                                 double& Estimate, double& MeanDist);

/// exp(-min(20, sum_i (Vec1[i] - Vec2[i])^2 / Width^2)), i over Vec2.
NUMBRA_EXPORT double CalcGaussKernel(const TVector& Vec1, const TVector& Vec2, double Width);
/// exp(-min(20, sum_j (Vec[j] - Mat(j, Row))^2 / Width^2)), j over the
/// columns of Mat.
NUMBRA_EXPORT double CalcGaussKernelMat(const TVector& Vec, const TMatrix& Mat, int32_t Row,
                                        double Width);

// ===========================================================================
// Plane geometry and image correlation
// ===========================================================================

}  // namespace numbra
