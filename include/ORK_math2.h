// ORK_math2: data analysis. TCurveFit with the unit's singular value
// routines; smoothing, filters and derivatives of sampled signals;
// multivariate linear methods (covariance, eigenvectors, principal
// components, pseudo-inverse, regression); clustering and nearest
// neighbours; plane geometry and image correlation.
#pragma once

#include "corvel_bitmap.h"
#include "numbra_frame.h"
#include "ORK_math1.h"
#include "ORK_matrix.h"
#include "ORK_vector.h"
#include "ORK_stringl.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
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
  /// Working data of the cubic spline (plain arrays: nothing outside the
  /// object reads them): second derivatives at the knots,
  std::vector<double> Spl2Deriv;
  std::vector<double> SplSortedX;  ///< the knots, ascending
  std::vector<double> SplSortedY;  ///< the values at the knots
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
//
// Free routines that smooth, differentiate and filter a range of a TVector
// (1-based elements) into another vector.
//
// The six range-window routines (MovingAverageSmooth ... SecondDeriv) share
// one preparation, checked in this order, each failure raising
// EORKMath2Error with the routine's name in front and leaving DestVec
// untouched:
//  1. SourceVec or DestVec null: "<Routine>: either SourceVec or DestVec is
//     undefined".
//  2. FirstIx and LastIx are each clamped into 1..n (n = SourceVec count;
//     there is no (0, 0) rule) and exchanged when reversed.
//  3. LastIx - FirstIx < WinLength: "<Routine>: specified range for
//     smoothing is smaller than the length of the smoothing windows" (the
//     polynomial routines say "... of the polynomial", FirstDeriv "specified
//     range for calculation ...").
//  4. WinLength < 3 (average, median, weighted) or outside 5..25 (the
//     polynomial routines): "... length of smoothing window is out of range"
//     / "... length of polynomial is out of range".
//  5. WinLength even: "... must be odd".
// With h = WinLength div 2 the value of the window i - h .. i + h (i =
// FirstIx + h .. LastIx - h) goes to DestVec position i - FirstIx + 1;
// positions 1..h repeat the first computed value and the last h positions
// of 1..LastIx - FirstIx + 1 the last one. DestVec is not resized: positions
// beyond its count are dropped. Every element is written through SetVal (one
// OnChange each), then OnChange fires once more. All values are computed
// before the first write, so SourceVec and DestVec may be the same vector.
// A NaN sample makes every window that contains it NaN. Cost O(WinLength)
// per element (the median: one quartile computation of WinLength values).

/// Integer Savitzky-Golay table: 11 rows for the odd window lengths L from
/// 5 to 25, each of 14 entries: the normaliser N_L, then the weights c_0 to
/// c_12 for the offsets 0 to 12 (zero beyond L div 2). The weight of the
/// offset j, with |j| at most L div 2, is c_|j| / N_L.
struct TGolayTable {
  /// Rows[r - 1] is row r = (L - 3) / 2 (r = 1..11).
  int32_t Rows[11][14];
  /// Row r = (L - 3) / 2, r = 1..11 (other r: undefined behaviour); entry
  /// 0 is N_L, entry 1 + j the weight c_j.
  [[nodiscard]] constexpr std::span<const int32_t, 14> operator[](int32_t r) const noexcept {
    return std::span<const int32_t, 14>(Rows[r - 1]);
  }
};

/// Savitzky-Golay smoothing weights of a quadratic/cubic least-squares
/// polynomial (L = 5: 35 with 17, 12, -3).
extern NUMBRA_EXPORT const TGolayTable GolayPoly;
/// Savitzky-Golay second-derivative weights of a quadratic least-squares
/// polynomial, per squared sample step (L = 5: 7 with -2, -1, 2).
extern NUMBRA_EXPORT const TGolayTable Golay2ndDeriv;

/// Moving average: (sum of x[i - h .. i + h]) / WinLength. WinLength odd,
/// >= 3. Raises EORKMath2Error (see the section notes).
NUMBRA_EXPORT void MovingAverageSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                       TVector* DestVec, int32_t WinLength);
/// Moving median: the middle value of the window (the second quartile of
/// TVector::Quartiles over a scratch vector filled with x[i], x[i + 1],
/// x[i - 1], x[i + 2], ...). A window holding a NaN gives NaN. WinLength
/// odd, >= 3. Raises EORKMath2Error (see the section notes).
NUMBRA_EXPORT void MovingMedianSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                      TVector* DestVec, int32_t WinLength);
/// Triangular weighted average: ((h + 1) x[i] + sum_{j=1..h} (h - j + 1)
/// (x[i + j] + x[i - j])) * 4 / (WinLength + 1)^2. WinLength odd, >= 3.
/// Raises EORKMath2Error (see the section notes).
NUMBRA_EXPORT void WeightedAverageSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                         TVector* DestVec, int32_t WinLength);
/// Savitzky-Golay smoothing with the GolayPoly row of WinLength (odd,
/// 5..25): reproduces polynomials up to degree 3 exactly away from the
/// edges. Raises EORKMath2Error (see the section notes).
NUMBRA_EXPORT void PolynomialSmooth(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                    TVector* DestVec, int32_t WinLength);
/// Savitzky-Golay first derivative of a quadratic least-squares polynomial,
/// per sample step: (sum_{j=-h..h} j x[i + j]) / (h (h + 1) (2h + 1) / 3).
/// WinLength odd, 5..25. Raises EORKMath2Error (see the section notes).
NUMBRA_EXPORT void FirstDeriv(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                              TVector* DestVec, int32_t WinLength);
/// Savitzky-Golay second derivative with the Golay2ndDeriv row of WinLength
/// (odd, 5..25), per squared sample step. Raises EORKMath2Error (see the
/// section notes).
NUMBRA_EXPORT void SecondDeriv(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                               TVector* DestVec, int32_t WinLength);

// Windowed-sinc kernels. KernelLength L (meant to be odd; an even length
// gives the offsets -L/2 .. L/2 - 1), cut-off frequencies as fractions of
// the sampling rate, each clamped into 0..0.5. Window 1 is Hamming, 2
// Blackman (both the symmetric windows of L + 2 points without their end
// points), anything else none. The array overloads set the array's length to
// L, the vector overloads resize the vector to L (elements 1..L are array
// elements 0..L-1). KernelLength < 1 raises EORKMath2Error "<Routine>:
// kernel length must be at least 1", a null vector "<Routine>: Kernel is
// undefined"; nothing is changed then.

/// Low pass: element k (offset from the middle element L div 2) is
/// sin(2 pi fc k) / k (2 pi fc for k = 0), windowed, then divided by the sum
/// of all elements (unit gain at zero frequency) unless that sum is 0 (fc =
/// 0 gives all zeros).
NUMBRA_EXPORT void CalcSincLPKernel(int32_t KernelLength, double CutOff, int32_t Window,
                                    TDoubleArray& Kernel);
/// Low pass into a TVector; see the array overload.
NUMBRA_EXPORT void CalcSincLPKernel(int32_t KernelLength, double CutOff, int32_t Window,
                                    TVector* Kernel);
/// High pass: the low-pass kernel negated, plus 1 at the middle element
/// (0-based index L div 2): spectral inversion.
NUMBRA_EXPORT void CalcSincHPKernel(int32_t KernelLength, double CutOff, int32_t Window,
                                    TDoubleArray& Kernel);
/// High pass into a TVector; see the array overload.
NUMBRA_EXPORT void CalcSincHPKernel(int32_t KernelLength, double CutOff, int32_t Window,
                                    TVector* Kernel);
/// Band pass between min and max of the two cut-offs: the band-stop kernel
/// spectrally inverted.
NUMBRA_EXPORT void CalcSincBPKernel(int32_t KernelLength, double CutOff1, double CutOff2,
                                    int32_t Window, TDoubleArray& Kernel);
/// Band pass into a TVector; see the array overload.
NUMBRA_EXPORT void CalcSincBPKernel(int32_t KernelLength, double CutOff1, double CutOff2,
                                    int32_t Window, TVector* Kernel);
/// Band stop: the low-pass kernel of the lower cut-off plus the high-pass
/// kernel of the higher one, element by element.
NUMBRA_EXPORT void CalcSincBSKernel(int32_t KernelLength, double CutOff1, double CutOff2,
                                    int32_t Window, TDoubleArray& Kernel);
/// Band stop into a TVector; see the array overload.
NUMBRA_EXPORT void CalcSincBSKernel(int32_t KernelLength, double CutOff1, double CutOff2,
                                    int32_t Window, TVector* Kernel);

/// Applies FilterKernel (K elements, not reversed) to SourceVec elements
/// FirstIx..LastIx (each clamped into 1..n, then ordered): DestVec position
/// i - FirstIx + 1 receives sum_{k=1..K} x[c(i - K div 2 + k - 1)]
/// kernel[k], where c clamps into FirstIx..LastIx (the range's end samples
/// are repeated). DestVec is first resized to n (the source count);
/// positions beyond the range keep their values. Every element is written
/// through SetVal, then OnChange fires once more; source, destination and
/// kernel may be the same vectors. Raises EORKMath2Error
/// "MovingKernelfilter: SourceVec, DestVec and/or FilterKernel is undefined"
/// and "MovingKernelfilter: specified range for smoothing is smaller than
/// the length of the kernel" (LastIx - FirstIx < K), changing nothing.
NUMBRA_EXPORT void MovingKernelFilter(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                      TVector* DestVec, const TVector* FilterKernel);

/// Designs a Chebyshev type I recursive filter (Ripple 0: Butterworth) of
/// NPoles poles as a cascade of 2-pole stages by the bilinear transform,
/// multiplied out into one recursion y[i] = A0 x[i] + sum_{k=1..NPoles}
/// (a_k x[i - k] + b_k y[i - k]). CutOff (fraction of the sampling rate) is
/// the -3 dB point, Ripple the pass-band ripple in percent (0..29). The a_k
/// are scaled so that the recursion with the stored (rounded) b_k has gain 1
/// at zero frequency (low pass) or at half the sampling rate (high pass):
/// the sums are compensated, so this holds to a few ulps even where 1 - sum
/// b_k is tiny. Coeffs becomes 2 columns x NPoles rows, row k holding a_k
/// and b_k; A0 receives a_0.
///
/// Many poles at a low cut-off put the poles so close to z = 1 that the
/// multiplied-out recursion, once rounded to doubles, no longer has them
/// inside the unit circle: at ripple 0.5 % the rounded recursion is unstable
/// for 12 poles at a cut-off of 0.01, 16 poles at 0.02, 20 poles at 0.05,
/// 24 poles at 0.1, 30 poles at 0.1. NPoles is therefore limited to 20 (and
/// the caller of high orders should keep the cut-off high).
///
/// Raises EORKMath2Error, checked in this order and changing nothing:
/// "CalcChebFilterCoeffs: NPoles must be even"; "CalcChebFilterCoeffs:
/// invalid Ripple value" (outside 0..29 or NaN); "CalcChebFilterCoeffs:
/// invalid cutoff frequency" (outside 0..0.5 or NaN; also the cut-offs that
/// leave no pass band to normalise, 0 for a low pass and 0.5 for a high
/// pass, and cut-offs so near them that the gain underflows);
/// "CalcChebFilterCoeffs: NPoles must be between 2 and 20";
/// "CalcChebFilterCoeffs: Coeffs is undefined".
NUMBRA_EXPORT void CalcChebFilterCoeffs(int32_t NPoles, bool HighPass, double CutOff, double Ripple,
                                        double& A0, TMatrix* Coeffs);

/// Zero-phase filtering with the recursion of A0 and Coeffs (NP = row
/// count; a_k in column 1, b_k in column 2): a forward pass over working
/// samples 1 - P .. LastIx + P (P = NP + 1; samples outside the vector count
/// as 0, so up to P real samples after LastIx take part), then a backward
/// pass over the forward result from its end, both starting from rest.
/// DestVec elements FirstIx..LastIx (the source positions; DestVec is not
/// resized, positions beyond its count are dropped) receive the result
/// through SetVal, then OnChange fires once more. FirstIx and LastIx are
/// clamped into 1..n and ordered. A NaN sample makes the whole range NaN.
/// Coefficients missing from Coeffs read as 0. Raises EORKMath2Error
/// "ChebychevFilter: SourceVec, DestVec and/or Coeffs is undefined",
/// changing nothing. Cost 2 (2 NP + 1) multiply-adds per working sample;
/// rounding grows with the closeness of the poles to the unit circle (see
/// CalcChebFilterCoeffs).
NUMBRA_EXPORT void ChebychevFilter(const TVector* SourceVec, int32_t FirstIx, int32_t LastIx,
                                   TVector* DestVec, double A0, const TMatrix* Coeffs);

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
/// O(n^2) time for the common linkages. Single linkage reads its merges
/// off a minimum spanning tree of the distances (O(n^2)) when the tree's
/// edges are all different -- the same sequence, since then one pair of
/// clusters alone lies at the smallest distance in each step -- and uses
/// the cached scan otherwise.
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
//
// Polygons and point sets are 0-based arrays of TPointDouble (x, y, with the
// y axis pointing up); a polygon's last vertex connects back to the first.
// The routines that need at least one vertex (PolygonArea,
// OuterRectOfPolygon, PointIsInsidePolygon, PointIsInsideConvexHull) raise
// EORKMath2Error "<Routine>: polygon has no vertices" for an empty array.

using corvel::clInvalid;
using corvel::GetBValue;
using corvel::GetGValue;
using corvel::GetRValue;
using corvel::RGB;
using corvel::TBitmap;
using corvel::TCanvas;
using corvel::TColor;

/// Raised for errors in expressions of the unit's expression vocabulary
/// (TOperator).
NUMBRA_DECLARE_EXCEPTION(EORKMathExp, EORKError);

/// Channel that CalcImgCorrelation compares.
enum class TImgCompareMode : uint8_t {
  icmRed,
  icmBlue,
  icmGreen,
  icmHue,
  icmLightness,
  icmSaturation,
  icmGrayValues
};

/// Operator vocabulary of the unit's expressions (ordinals 0..49).
enum class TOperator : uint8_t {
  opNone,
  opNumber,
  opListElem,
  opAdd,
  opSubtract,
  opMultiply,
  opDivide,
  opMod,
  opPower,
  opGT,
  opGE,
  opLT,
  opLE,
  opEQ,
  opNE,
  opOpenParanth,
  opClosedParanth,
  opMinusSign,
  opPlusSign,
  opSine,
  opCosine,
  opTangens,
  opArcSin,
  opArcCos,
  opArcTan,
  opAbs,
  opSign,
  opSqrt,
  opSqr,
  opRound,
  opNDInt,
  opNDQuant,
  opNDDens,
  opSum,
  opMean,
  opVar,
  opPi,
  opTrue,
  opFalse,
  opExp,
  opLn,
  opLg,
  opGauss,
  opRand,
  opFrac,
  opInt,
  opAnd,
  opNot,
  opOr,
  opXor
};

/// Great-circle distance between (Lat1, Long1) and (Lat2, Long2) on a sphere
/// of the given Radius (result in the unit of Radius); angles in degrees.
/// Evaluated as the central angle atan2(|cross|, dot) (the Vincenty form for
/// the sphere), accurate to a few ulps of the distance for every pair of
/// points, coincident (exactly 0) and antipodal (Radius * pi) included.
/// NaN in gives NaN.
NUMBRA_EXPORT double SphereGreatCircleDist(double Radius, double Lat1, double Long1, double Lat2,
                                           double Long2) noexcept;

/// True when (x, y) lies strictly inside Polygon (any orientation, any
/// simple or self-intersecting polygon, by a signed crossing test along the
/// +x ray). Points on an edge or a vertex answer false; so does a point
/// with a NaN coordinate, and an edge with a NaN end never counts as
/// crossed. A degenerate polygon (collinear or repeated vertices) has no
/// inside. O(n), no allocation. Raises EORKMath2Error
/// "PointIsInsidePolygon: polygon has no vertices" for an empty array.
NUMBRA_EXPORT bool PointIsInsidePolygon(double x, double y, std::span<const TPointDouble> Polygon);

/// Signed area 1/2 sum (x_i - x_i+1)(y_i + y_i+1) over all edges, the closing
/// edge included: positive for counter-clockwise vertices (y up), negative
/// for clockwise, 0 for fewer than 3 vertices or collinear ones; NaN when a
/// coordinate is NaN. Raises EORKMath2Error "PolygonArea: polygon has no
/// vertices" for an empty array.
NUMBRA_EXPORT double PolygonArea(std::span<const TPointDouble> Polygon);

/// Bounding rectangle of the vertices: smallest and largest x and y. A
/// single vertex gives itself four times. NaN coordinates are skipped (an
/// all-NaN coordinate gives NaN). Raises EORKMath2Error
/// "OuterRectOfPolygon: polygon has no vertices" for an empty array.
NUMBRA_EXPORT void OuterRectOfPolygon(std::span<const TPointDouble> Polygon, double& MinX,
                                      double& MinY, double& MaxX, double& MaxY);

/// True when (x, y) lies strictly inside the convex polygon Hull given in
/// counter-clockwise order (as Convex2DHull returns it): the cross product
/// (V_i+1 - V_i) x (P - V_i) is positive for every edge, the closing edge
/// first. Points on the boundary, clockwise hulls, hulls of fewer than 3
/// vertices and NaN coordinates answer false. Raises EORKMath2Error
/// "PointIsInsideConvexHull: polygon has no vertices" for an empty array.
NUMBRA_EXPORT bool PointIsInsideConvexHull(double x, double y, std::span<const TPointDouble> Hull);

/// Convex hull of a point set, O(n log n).
///
/// Fewer than 4 points: a copy of the input (unchanged, whatever it holds).
/// Otherwise the hull's corner points in counter-clockwise order, starting
/// from the direction straight below the centroid c of all points: the
/// vertices are sorted by the angle phi = AngleToXAxis(v - c) + pi/2
/// (reduced by 2 pi when above 2 pi), so the first vertex is the one just
/// counter-clockwise of straight down (a vertex exactly straight below comes
/// last). Only strict corners are returned: points on a hull edge
/// (collinear) and repeated points appear once at most, as the corner they
/// coincide with. A set whose points all lie on one line gives its two end
/// points, a set of coincident points that one point. The result is exact
/// for the given doubles up to the rounding of the orientation test.
/// Raises EORKMath2Error "Convex2DHull: point <i> has a non-finite
/// coordinate" (0-based i) when n >= 4 and a coordinate is NaN or infinite.
NUMBRA_EXPORT TPDblArray Convex2DHull(std::span<const TPointDouble> Points);

/// Correlation coefficient of two equally sized bitmap regions, channel by
/// channel: for every pixel (x, y) of Rect1 (Left..Right and Top..Bottom,
/// both ends included) the pair (value of Bmp1 at (x, y), value of Bmp2 at
/// (x + dx, y + dy)) with dx = Rect2.left - Rect1.left, dy = Rect2.top -
/// Rect1.top. Values: the red, blue or green byte; the hue, saturation or
/// intensity of RGBtoHSI (icmHue, icmSaturation, icmLightness); or
/// RGBtoGray (icmGrayValues). Result: Pearson's r of the pairs, in [-1, 1];
/// 0 with fewer than 3 pairs (also for a reversed rectangle) or when either
/// side has no variance.
/// Raises EORKMath2Error "image ranges to compare are not of equal size"
/// when the rectangles differ in width (right - left) or height (bottom -
/// top); "CalcImgCorrelation: bitmap not assigned" for a null bitmap;
/// "CalcImgCorrelation: image range outside the bitmap" when a rectangle
/// reaches beyond its bitmap.
NUMBRA_EXPORT double CalcImgCorrelation(const TBitmap* Bmp1, const TBitmap* Bmp2,
                                        const TRect& Rect1, const TRect& Rect2,
                                        TImgCompareMode Mode);

/// Parenthesis balance of an expression: scanning from position 1, "("
/// adds 1 and ")" subtracts 1 to a depth; when the depth becomes negative
/// at position p the result is -p. Otherwise the final depth: 0 when
/// balanced (also for the empty text), k > 0 for k unclosed parentheses.
/// Other characters (any bytes) are skipped. Linear time, no allocation;
/// results saturate at the int32_t range for texts beyond 2^31 bytes.
NUMBRA_EXPORT int32_t CheckParanthInExp(std::string_view Expression) noexcept;

}  // namespace numbra
