// ORK_statis: special functions, probability distributions and the critical
// values and p-values of the one-sample Kolmogorov-Smirnov and Lilliefors
// statistics.
//
// Every function here is pure (it keeps no state of its own), works in
// double precision on the caller's thread. Two families live side by side:
//
//  - the classic routines (LnGamma, IncompleteGamma, Erf, ErfApprox, the
//    nDistri* functions, IncompleteBeta, the combinatorial helpers and the
//    Kolmogorov-Smirnov and Lilliefors routines) follow fixed textbook
//    algorithms whose iterations stop at a relative tolerance of 1e-8; their
//    results agree with exact values to about 1e-8 relative (LnGamma to
//    about 2e-10 absolute);
//  - the chi-squared, F and Student t functions are designed to full
//    double precision: at least 12 correct significant digits, far tails
//    included (down to the smallest normal double), see below; the exact
//    Mann-Whitney distribution is as accurate, and the Shapiro-Wilk p-value
//    evaluates Royston's approximation to full precision.
//
// Failures: every function states its result for invalid arguments. Where
// nothing else is stated, an invalid argument (a NaN, a degree of freedom
// below 1, a probability outside [0, 1], a sample size below its minimum)
// gives NaN. Only FisherTransform and HyperGeoDistriDensity raise
// EORKStatisError. No input makes a call loop without bound: every
// iteration has a step limit.
#pragma once

#include "ORK_vector.h"
#include "numbra_frame.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace numbra {

/// Raised by the routines of this unit; the message starts with the name of
/// the routine ("FisherTransform: argument out of range").
NUMBRA_DECLARE_EXCEPTION(EORKStatisError, EORKError);

/// Significance levels of the Kolmogorov-Smirnov tables: 0.20, 0.15, 0.10,
/// 0.05 and 0.01.
enum class TSignifLevel : uint8_t { Dot20, Dot15, Dot10, Dot05, Dot01 };

/// Significance levels 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2 and
/// 0.5 (outlier tests).
enum class TSignifLevelEx : uint8_t {
  Dot001,
  Dot002,
  Dot005,
  Dot010,
  Dot020,
  Dot050,
  Dot100,
  Dot200,
  Dot500
};

/// Variant of the two-sample t-test: paired samples, equal variances,
/// unequal variances.
enum class TtTestVersion : uint8_t { ttPaired, ttHomoScedastic, ttHeteroScedastic };

/// The numeric values of the TSignifLevelEx levels, indexed by the level
/// (or by its ordinal 0..8).
struct TNumericSigLevels {
  /// One value per level, in the order of TSignifLevelEx.
  double Values[9];
  /// Value of Level.
  [[nodiscard]] constexpr double operator[](TSignifLevelEx Level) const noexcept {
    return Values[static_cast<std::size_t>(Level)];
  }
  /// Value of the level with ordinal Ordinal (0..8; not checked).
  [[nodiscard]] constexpr double operator[](std::size_t Ordinal) const noexcept {
    return Values[Ordinal];
  }
};

/// 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5 for Dot001 .. Dot500.
inline constexpr TNumericSigLevels NumericSigLevel{
    {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5}};

// ===========================================================================
// Special functions
// ===========================================================================

/// ln Gamma(x) for x > 0 by the six-term Lanczos series (absolute error
/// about 2e-10 for x >= 1). 0.0 for x <= 0; +inf for x = +inf; NaN for NaN.
NUMBRA_EXPORT double LnGamma(double x) noexcept;

/// Regularized lower incomplete gamma function P(a, x) = gamma(a, x) /
/// Gamma(a): a power series for x < a + 1, otherwise a continued fraction of
/// at most 99 steps, both to a relative tolerance of 1e-8 (accurate to
/// about 1e-8 for a up to a few hundred; the continued fraction loses
/// accuracy beyond). 0.0 for x <= 0 or a <= 0; 1.0 for x = +inf and a > 0;
/// NaN when x or a is NaN, x > 1e300, or a lies outside [1e-300, 1e300]
/// (where the terms of both expansions overflow). The series stops after 10^6 terms at the latest.
NUMBRA_EXPORT double IncompleteGamma(double x, double a) noexcept;

/// Error function through IncompleteGamma(x^2, 1/2), odd in x; Erf(0) = 0,
/// Erf(+-inf) = +-1, NaN for NaN. About 1e-8 relative accuracy.
NUMBRA_EXPORT double Erf(double x) noexcept;

/// Error function by a nine-term Chebyshev fit of erfc (absolute error below
/// 1.2e-7 everywhere). ErfApprox(+-inf) = +-1, NaN for NaN.
NUMBRA_EXPORT double ErfApprox(double x) noexcept;

/// Standard normal density 0.3989422804014327 * exp(-x^2 / 2). NaN for NaN.
NUMBRA_EXPORT double nDistriDensity(double x) noexcept;

/// Standard normal distribution function Phi(x) through the incomplete gamma
/// function of order 1/2 (relative accuracy about 1e-8, in the lower tail as
/// well: the small tail probability is formed directly, never as 1 minus a
/// number close to 1). nDistriIntegral(0) = 0.5; NaN for NaN.
NUMBRA_EXPORT double nDistriIntegral(double x) noexcept;

/// Standard normal quantile: a rational start value refined by bisection
/// until nDistriIntegral matches p to 1e-8 relative (or the bracket stops
/// shrinking, or 200 halvings). For p > 1/2 the result is the negative of
/// the quantile of 1 - p, so that the tolerance applies to the small tail
/// probability on both sides (relative accuracy about 1e-8 from p = 1e-300
/// to 1 - 1e-16). 0.0 unless 0 < p < 1 (so also for NaN).
NUMBRA_EXPORT double nDistriQuantile(double p) noexcept;

/// ln Beta(a, b) = LnGamma(a) + LnGamma(b) - LnGamma(a + b) for a >= 0 and
/// b >= 0; 0.0 otherwise (NaN arguments give NaN).
NUMBRA_EXPORT double LnBeta(double a, double b) noexcept;

/// Regularized incomplete beta function I_x(a, b) for a, b > 0 by a
/// continued fraction of at most 100 steps (relative tolerance 1e-8).
/// 0.0 for x < 0, 1.0 for x > 1, 0.0 at x = 0 and 1.0 at x = 1; NaN when x is
/// NaN, a or b is not positive (or NaN), or a or b exceeds 1e150 (where the
/// fraction's terms overflow).
NUMBRA_EXPORT double IncompleteBeta(double x, double a, double b) noexcept;

/// Binomial coefficient n over k, exact in 64-bit integer arithmetic. 0 unless
/// n >= 0, k >= 0 and n >= k; 0 also when the coefficient exceeds the 64-bit
/// range (for instance n over n/2 for n > 66).
NUMBRA_EXPORT int64_t BinomCoeff(int32_t n, int32_t k) noexcept;

/// ln(n over k) through LnGamma; -1.0 unless n >= 0, k >= 0 and n >= k.
NUMBRA_EXPORT double LnBinomCoeff(int32_t n, int32_t k) noexcept;

/// Fisher's z transform 0.5 ln((1 + r) / (1 - r)) = artanh(r), accurate also
/// for r near 0. Raises EORKStatisError "FisherTransform: argument out of
/// range" unless -1 < r < 1 (NaN included).
NUMBRA_EXPORT double FisherTransform(double r);

/// Inverse of FisherTransform, (e^(2z) - 1) / (e^(2z) + 1) = tanh(z), formed
/// so that it is accurate near 0 and tends to +-1 for large |z|. NaN for NaN.
NUMBRA_EXPORT double FisherTransformInv(double z) noexcept;

/// Half width of the confidence interval of a mean at level 1 - alpha:
/// nDistriQuantile(1 - alpha/2) * s / sqrt(n). NaN for n < 1; 0.0 when alpha
/// lies outside (0, 2) (the quantile's sentinel).
NUMBRA_EXPORT double ConfidenceInterval(double alpha, double s, int32_t n) noexcept;

/// Fisher criterion (m1 - m2)^2 / max(1e-6, s1^2 + s2^2).
NUMBRA_EXPORT double CalcFishQ(double m1, double m2, double s1, double s2) noexcept;

/// Hypergeometric probability of k successes in a sample of nsample drawn
/// without replacement from npop items of which Round(p * npop) are
/// successes: C(np, k) C(npop - np, nsample - k) / C(npop, nsample), through
/// LnGamma (about 1e-9 relative). 0.0 for k outside its support. Raises
/// EORKStatisError, checked in this order:
/// "HyperGeoDistriDensity: probability p must be between 0.0 and 1.0"
/// (p outside [0, 1] or NaN), "HyperGeoDistriDensity: npop must be greater
/// than 0", "HyperGeoDistriDensity: nsample must not be greater than npop",
/// "HyperGeoDistriDensity: nsample must not be less than 1".
NUMBRA_EXPORT double HyperGeoDistriDensity(double p, int32_t npop, int32_t nsample, int32_t k);

/// Weibull density beta x^(beta-1) / eta^beta exp(-(x/eta)^beta) with shape
/// beta and scale eta, evaluated in logarithms so that no intermediate power
/// overflows. 0.0 unless x > 0, beta > 0 and eta > 0 (so also for NaN).
NUMBRA_EXPORT double WeibullDensity(double x, double beta, double eta) noexcept;

// ===========================================================================
// Kolmogorov-Smirnov and Lilliefors statistics
// ===========================================================================

/// p-value P(D_n >= d) of the one-sample two-sided Kolmogorov-Smirnov
/// statistic D_n for a sample of size n.
///
/// For n d^2 > 7.24, or n d^2 > 3.76 with n > 99, the two-term asymptotic
/// 2 exp(-(2.000071 + 0.331/sqrt(n) + 1.409/n) n d^2). Otherwise the exact
/// distribution by the matrix-power method of Marsaglia, Tsang and Wang
/// (2003) with a matrix of order 2 Trunc(n d) + 1 (error about 1e-13
/// absolute) for n <= 10000; for larger n, where that matrix would grow
/// beyond order 389, the Kolmogorov limit distribution evaluated at
/// sqrt(n) d + 1/(6 sqrt(n)) (its error is O(1/n): 1.5e-5 absolute at
/// n = 10000, 7e-5 at n = 2000).
/// d <= 0 gives 1.0, d >= 1 gives 0.0, NaN for n < 1 or NaN d.
NUMBRA_EXPORT double KSPValue(int32_t n, double d);

/// Critical value of D_n at the given level: the table for n = 1..20,
/// otherwise c / sqrt(n) with c = 1.073, 1.138, 1.224, 1.358, 1.628 for
/// Dot20 .. Dot01. NaN for n < 1.
NUMBRA_EXPORT double KolmogSmir1SampleTestStat(int32_t n, TSignifLevel level) noexcept;

/// The d at which KSPValue(n, d) equals the level, by the fixed-point
/// iteration d <- d (1 + KSPValue(n, d) - level) started at
/// KolmogSmir1SampleTestStat until the p-value is within 1e-4 of the level
/// (at most 100 steps; after that the last d). NaN for n < 1.
NUMBRA_EXPORT double KSQuantile(int32_t n, TSignifLevel level);

/// p-value of the Lilliefors statistic d (Kolmogorov-Smirnov distance of
/// standardized data) by the approximation of Dallal and Wilkinson (1986);
/// meant for p-values below 0.1, values above are capped at 1.0.
/// -1.0 for n <= 5; NaN for NaN d; 0.0 for |d| > 1e150.
NUMBRA_EXPORT double LillieforsPValue(int32_t n, double d) noexcept;

/// Critical value of the Lilliefors statistic at level alpha:
/// 1 / sqrt(n A(1 - alpha) + B(1 - alpha)) with two fitted polynomials of
/// degree 6. NaN for n < 1 or where the root's argument is not positive.
NUMBRA_EXPORT double LillieforsQuantile(int32_t n, double alpha) noexcept;

// ===========================================================================
// Chi-squared, F and Student t distributions (full double precision)
// ===========================================================================
//
// Integrals are the lower-tail distribution functions P(X <= x). For
// arguments where the result is a normal double (down to about 2.2e-308)
// and degrees of freedom up to 1e6, densities and distribution functions
// carry at least 12 correct significant digits (measured against an
// extended-precision reference: worst relative error 2e-13, far tails
// included); a distribution function near 1 is exact to the double's
// absolute resolution (its complement is not representable more finely).
// Beyond 1e6 degrees of freedom the accuracy falls slowly: about 1e-12 at
// 1e8 and 1e-11 (5e-11 in far tails) at 2^31 - 1. Quantiles invert the
// distribution function to the same relative accuracy in the tail
// probability; quantile(0) and quantile(1) are the ends of the support
// (0, -inf or +inf). A degree of freedom below 1, a probability outside
// [0, 1] or a NaN argument gives NaN.

/// Density of the chi-squared distribution with df degrees of freedom;
/// 0.0 for x < 0; at x = 0: +inf for df = 1, 0.5 for df = 2, 0.0 beyond.
NUMBRA_EXPORT double Chi2DistriDensity(double x, int32_t df) noexcept;
/// P(X <= x) for chi-squared with df degrees of freedom; 0.0 for x <= 0,
/// 1.0 for x = +inf.
NUMBRA_EXPORT double chi2DistriIntegral(double x, int32_t df) noexcept;
/// x with chi2DistriIntegral(x, df) = p; 0 for p = 0, +inf for p = 1.
NUMBRA_EXPORT double chi2DistriQuantile(double p, int32_t df) noexcept;

/// Density of Fisher's F distribution with df1 (numerator) and df2
/// (denominator) degrees of freedom; 0.0 for x < 0; at x = 0: +inf for
/// df1 = 1, 1.0 for df1 = 2, 0.0 beyond.
NUMBRA_EXPORT double FDistriDensity(double x, int32_t df1, int32_t df2) noexcept;
/// P(X <= x) for F(df1, df2); 0.0 for x <= 0, 1.0 for x = +inf.
NUMBRA_EXPORT double FDistriIntegral(double x, int32_t df1, int32_t df2) noexcept;
/// x with FDistriIntegral(x, df1, df2) = p; 0 for p = 0, +inf for p = 1.
NUMBRA_EXPORT double FDistriQuantile(double p, int32_t df1, int32_t df2) noexcept;

/// Density of Student's t distribution with df degrees of freedom.
NUMBRA_EXPORT double tDistriDensity(double t, int32_t df) noexcept;
/// P(T <= t) for Student's t with df degrees of freedom; 0.0 at -inf, 1.0
/// at +inf.
NUMBRA_EXPORT double tDistriIntegral(double t, int32_t df) noexcept;
/// t with tDistriIntegral(t, df) = p; -inf for p = 0, +inf for p = 1.
NUMBRA_EXPORT double tDistriQuantile(double p, int32_t df) noexcept;

// ===========================================================================
// Mann-Whitney U
// ===========================================================================
//
// Null distribution of the Mann-Whitney statistic U (the number of pairs
// (x, y), x from the first sample of size n1 and y from the second of size
// n2, with y < x; no ties), on 0..n1*n2, symmetric about n1*n2/2. Both sizes
// must be at least 1 (otherwise NaN).
//
// When n1 * n2 <= 10000 (so for all n1, n2 <= 100) the distribution is exact,
// by the recurrence of Mann and Whitney on probabilities (convex
// combinations only: no overflow and no cancellation; relative error a few
// 1e-15, at most about 1 ms for 50 x 50 and 30 ms at the limit). Beyond, an
// Edgeworth-corrected normal approximation with continuity correction:
// P(U <= u) ~ Phi(z) - phi(z) g4 (z^3 - 3z) / 24 with z = (u + 1/2 - n1 n2/2)
// / sigma, sigma^2 = n1 n2 (n1 + n2 + 1) / 12 and g4 the standardized fourth
// cumulant -6 (n1^2 + n2^2 + n1 n2 + n1 + n2) / (5 n1 n2 (n1 + n2 + 1)). Its
// absolute error just beyond the exact range is about 2e-6 for samples of
// similar size (101 x 100) and grows as the smaller sample shrinks (2e-5
// for 20 x 501, 4e-4 for 5 x 2001).

/// P(U = u); 0.0 for u outside 0..n1*n2.
NUMBRA_EXPORT double UDistriDensity(int32_t n1, int32_t n2, int32_t u);
/// P(U <= u); 0.0 for u < 0, 1.0 for u >= n1*n2.
NUMBRA_EXPORT double UDistriIntegral(int32_t n1, int32_t n2, int32_t u);
/// Smallest u in 0..n1*n2 with P(U <= u) >= p (an integer, returned as a
/// double); 0 for p = 0, n1*n2 for p = 1; NaN for p outside [0, 1].
NUMBRA_EXPORT double UDistriQuantile(int32_t n1, int32_t n2, double p);

// ===========================================================================
// Shapiro-Wilk
// ===========================================================================

/// p-value P(W' <= W) of the Shapiro-Wilk statistic W under normality, by
/// Royston's approximation (algorithm AS R94, 1995): exact for n = 3,
/// a normalizing transform of 1 - W with polynomials in n for 4 <= n <= 11
/// and in ln n for 12 <= n <= 5000.
///
/// n is the sample size and n1 the number of observations that entered W:
/// n1 = n for a complete sample; n1 < n when only the n1 smallest of the n
/// ordered values are known (right-censored sample), which Royston's
/// correction allows for 20 <= n with at most 80 % censored, (n - n1) / n
/// <= 0.8. A W below the range the approximation covers (for n <= 11) gives
/// 0.0; W = 1 gives 1.0. NaN for W outside (0, 1] or NaN, n outside
/// 3..5000, or an n1 outside those rules.
NUMBRA_EXPORT double ShapiroWilkIntegral(double W, int32_t n, int32_t n1) noexcept;

// ===========================================================================
// Hypothesis and outlier tests
// ===========================================================================
//
// Tests of data held in a TVector (1-based), a TIntVector, a TBitFld or an
// array. Where a test sorts or standardizes the vector it is given, that is
// stated; all others leave their arguments unchanged. A TVector always holds
// at least one element, so "the data" are its NrOfElem() elements.

/// Progress procedure of EstimateProbDensity: called with a null sender,
/// the number of steps done and the percentage done.
using TDensityProgressProc = std::function<void(TObject* Sender, double Steps, double Percent)>;

/// Critical value of Dixon's outlier ratio for n values at the one-sided
/// level: r10 for n = 3..7, r11 for 8..10, r21 for 11..13, r22 for 14..100
/// (three decimals, from the published table where it has the cell, from
/// the exact null distribution elsewhere). -1.0 outside 3 <= n <= 100.
NUMBRA_EXPORT double DeanDixonCriticalValues(int32_t n, TSignifLevelEx level) noexcept;

/// Dean-Dixon outlier test of the whole vector (not changed; a sorted copy
/// is used). Q is the larger of the low and high Dixon ratios of the n
/// ordered values (the low one on a tie; a ratio with a zero denominator
/// is 0). When Q exceeds DeanDixonCriticalValues(n, level) the result is
/// the 1-based index of the first element equal to the suspect extreme (the
/// largest value when the high ratio was taken, else the smallest), else 0.
/// A NaN or infinite value makes Q NaN and the result 0. Raises EORKStatisError
/// "DeanDixonTest: number of data points is too low" for n < 3 and
/// "DeanDixonTest: number of data points is too high" for n > 100.
NUMBRA_EXPORT int32_t DeanDixonTest(const TVector& data, TSignifLevelEx level, double& Q);

/// Critical value of the Grubbs statistic for n values at level alpha
/// (two-sided: alpha is split over both tails): (n - 1) / sqrt(n)
/// sqrt(t^2 / (n - 2 + t^2)), t = tDistriQuantile(1 - alpha / (k n), n - 2),
/// k = 2 two-sided, 1 one-sided. -1.0 unless 0 < alpha < 1 and n > 2.
NUMBRA_EXPORT double GrubbsCriticalValues(int32_t n, double alpha, bool twosided) noexcept;

/// Grubbs test for one outlier in the whole vector (not changed), two-sided
/// at level alpha. G = max |x_i - mean| / s with the mean and the sample
/// standard deviation s of TVector::MeanVar; the result is the first index
/// reaching G when G > GrubbsCriticalValues(n, alpha, true), else 0. When
/// s = 0 (constant data) or s is NaN (a NaN or infinite value) the result
/// is 0 and G stays 0. Raises EORKStatisError "GrubbsTest: invalid level of
/// significance" unless 0 < alpha < 1 (NaN included) and "GrubbsTest:
/// number of data points is too low" for fewer than 4 values.
NUMBRA_EXPORT int32_t GrubbsTest(const TVector& data, double alpha, double& G);

/// Kolmogorov-Smirnov distance D = max_i max(|i/n - Phi(x_i)|, |(i-1)/n -
/// Phi(x_i)|) between the data and the standard normal distribution
/// (nDistriIntegral; the data should be standardized already). Unless
/// IsSorted is true the vector is first sorted ascending in place
/// (TVector::SortElems, with its events). NaN when a value is NaN.
NUMBRA_EXPORT double PerformKSNormalityTest(TVector& data, bool IsSorted);

/// Lilliefors statistic: the vector is sorted ascending in place (unless
/// IsSorted is true) and standardized in place (TVector::Standardize), then
/// D as in PerformKSNormalityTest. Compare with LillieforsQuantile or
/// LillieforsPValue. NaN when a value is NaN.
NUMBRA_EXPORT double PerformLillieforsTest(TVector& data, bool IsSorted);

/// P(R <= runs) for the number R of runs in a random arrangement of n1
/// items of one kind and n2 of the other (all C(n1 + n2, n1) arrangements
/// equally likely), summed exactly over the even and odd run counts 2..runs
/// (runs beyond the largest possible count give 1.0). 0.0 for runs < 2 and
/// when n1 or n2 is 0 (no arrangement with two kinds: the sum is empty);
/// NaN for n1 < 0 or n2 < 0. Exact binomials while C(n1 + n2, n1) fits in
/// 64 bits, otherwise each term is formed through logarithms (relative
/// error about 1e-13 for sizes in the thousands).
NUMBRA_EXPORT double ExactRunsTest(int32_t n1, int32_t n2, int32_t runs) noexcept;

/// Runs test of the bits 0..bits.Size(): n1 true, n0 false bits, runs = 1 +
/// the number of changes between neighbours. Both counts <= 25: p =
/// ExactRunsTest(n1, n0, runs); otherwise the normal approximation z = (runs
/// - 2 n1 n0 / N - 1) / sigma, p = Phi(z) for z <= 0 and 1 - Phi(z) for
/// z > 0 (sigma = 0: p = 0). Returns p < 0.05. A field of one kind only has
/// a single run, p = 0 and the result true.
NUMBRA_EXPORT bool RunsTest(const TBitFld& bits, double& p);

/// Runs test of the signs about the median (TVector::Quartiles) of the
/// whole vector: bit i - 1 is x_i > median; p and the result are those of
/// RunsTest.
NUMBRA_EXPORT bool RunsTestSerial(const TVector& data, double& p);

/// One-way analysis of variance of data (element i in the group labelled
/// groups[i]; groups are numbered in order of first appearance). Outputs:
/// SSBetween, SSWithin and SSTotal (sums of squares between groups, within
/// groups and about the grand mean), their degrees of freedom k - 1, n - k,
/// n - 1 (k groups, n values), and F = MSBetween / MSWithin. Result: the
/// p-value P(F' >= F) (upper tail of F(k - 1, n - k), formed directly so
/// that small p-values keep their digits).
///
/// The sums are formed after subtracting the first data value from every
/// value (exact for values within a factor 2 of it) and then as centred
/// sums per group with the corrected two-pass kernel, which equals the
/// textbook T^2/n, sum x^2, sum S_g^2/n_g formulas in exact arithmetic but
/// keeps the digits of data with a large common offset. A group whose
/// values are all equal contributes exactly 0 to SSWithin.
///
/// Codes, outputs untouched: -1.0 for k <= 1, -2.0 for k >= n, -4.0 when
/// data and groups differ in count. MSWithin = 0 < MSBetween: F =
/// uc_MaxReal, result 0.0. Both 0: F = 0, result -3.0. A NaN or infinite
/// value gives NaN sums, F and result.
NUMBRA_EXPORT double Anova1F(const TVector& data, const TIntVector& groups, double& SSBetween,
                             double& SSWithin, double& SSTotal, int32_t& dfBetween,
                             int32_t& dfWithin, int32_t& dfTotal, double& F);

/// Percentile prob (0..100) of the 0-based section data[first..last]: with
/// n = last - first + 1 and k = min(Round(prob / 100 n), n - 1) (halves to
/// even), value is the element at position k of the section's ascending
/// order (QuickSelect, which may reorder the section). Codes (value 0
/// unless 0): -1 when first or last lies outside 0..size - 1, -3 when first
/// > last, -2 when prob is outside [0, 100] or NaN; the later check wins.
NUMBRA_EXPORT int32_t PercentileOfArray(std::span<double> data, double prob, int32_t first,
                                        int32_t last, double& value);

/// Adaptive Gaussian kernel estimate of the probability density of data on
/// bins + 1 equidistant points RangeLow .. RangeHigh, written to density
/// (resized; element b + 1 for point b). bins is clamped to 10..10000,
/// WidthFactor <= 0 (or NaN) becomes 1. The vector data is sorted ascending
/// in place. Each value x_i gets the local width h_i = the mean gap between
/// the consecutive values that lie within Radius of x_i, scanned down from
/// x_(i+1) and up from x_(i-1) (Radius / count when all those gaps are 0;
/// Radius when no neighbour is near; only gaps between two data values
/// count). The density at x is (1 / sqrt(2 pi)) mean_i exp(-((x - x_i) /
/// w_i)^2 / 2) / w_i with w_i = WidthFactor h_i, or WidthFactor where that
/// is 0 (so also for every value when Radius <= 0). MaxIx is the first index
/// of the largest density value (left unchanged when every value is 0),
/// MinIx the first index of the smallest. Progress, when given, is called
/// after each value i with (nullptr, i, 100 i / (n + bins)) and after each
/// point b with (nullptr, n + b + 1, 100 (n + b + 1) / (n + bins)).
/// Terms below the double range (farther than 40 w_max from x) are skipped,
/// which leaves every sum unchanged. NaN values give NaN densities.
NUMBRA_EXPORT void EstimateProbDensity(TVector& data, TVector& density, double RangeLow,
                                       double RangeHigh, double WidthFactor, double Radius,
                                       int32_t bins, int32_t& MinIx, int32_t& MaxIx,
                                       const TDensityProgressProc& Progress);

/// Critical value of the Wilcoxon signed-rank sum T for n pairs at level
/// alpha (two-sided, or one-sided when TwoSided is false): reject when T <=
/// the result. For n <= 100 a parabola in ln(level) fitted by least
/// squares (a temporary TCurveFit) to the table of exact critical values
/// (the largest t with P(T <= t) <= level / 2 for the levels 0.1, 0.05,
/// 0.02, 0.01, 0.001; the first 3 levels for n = 8, 4 for n = 9, 10, all 5
/// beyond) evaluated at ln alpha (two-sided) or ln 2 alpha, rounded (halves
/// to even), at least 0. For n > 100 the normal approximation Round(n(n+1)/4 - z sqrt(n(n+1)
/// (2n+1)/24)), z the upper alpha/2 (two-sided) or alpha quantile. -1
/// unless 8 <= n <= 1000000 and 0.000499999 <= alpha <= 0.20000001, and -1
/// when the value exceeds the 32-bit range (n beyond about 92000).
NUMBRA_EXPORT int32_t WilcoxonSRQuantile(int32_t n, double alpha, bool TwoSided) noexcept;

/// Two-sample Student t-test of the whole vectors Data1 and Data2.
///  - ttPaired: the differences d_i = Data1_i - Data2_i (equal counts),
///    t = mean(d) / (s_d / sqrt(n)), df = n - 1;
///  - ttHomoScedastic: pooled variance ((n1-1) v1 + (n2-1) v2) / (n1+n2-2),
///    t = (m1 - m2) / sqrt(pooled (1/n1 + 1/n2)), df = n1 + n2 - 2;
///  - ttHeteroScedastic (Welch): t = (m1 - m2) / sqrt(v1/n1 + v2/n2), df by
///    the Welch-Satterthwaite formula (not an integer; the t distribution
///    is evaluated at the real df).
/// TwoSided: p = P(|T'| >= |t|); otherwise the one-sided p = P(T' >= t) of
/// the alternative mean1 > mean2. Outputs: Mean1, Mean2 and Var1, Var2 (the
/// sample means and variances, n - 1 divisor, of the two vectors; for
/// ttPaired Mean2 and Var2 belong to Data2 as well), StdErr (the standard
/// error of the difference of the means), tValue, Df (degrees of freedom)
/// and NumData (number of values used: n pairs, or n1 + n2). Result: the
/// p-value. Codes, with the outputs that could not be formed NaN: -1.0 for
/// fewer than 2 values in a sample (or pairs), -2.0 for ttPaired with
/// different counts, -3.0 when StdErr = 0 and the means are equal (t
/// undefined). StdErr = 0 with different means gives t = +-inf and p = 0
/// (one-sided: 0 or 1). A NaN or infinite value gives NaN outputs and
/// result. Means and variances come from the corrected two-pass kernel.
NUMBRA_EXPORT double Perform2SampleTTest(const TVector& Data1, const TVector& Data2,
                                         TtTestVersion Version, bool TwoSided, double& Mean1,
                                         double& Mean2, double& Var1, double& Var2, double& StdErr,
                                         double& tValue, double& Df, int32_t& NumData);

/// The p-value of the t-test above without the other outputs.
NUMBRA_EXPORT double Perform2SampleTTest(const TVector& Data1, const TVector& Data2,
                                         TtTestVersion Version, bool TwoSided);

/// Mann-Whitney U (Wilcoxon rank-sum) test of the whole vectors. U is the
/// statistic of Data1: the number of pairs (x from Data1, y from Data2)
/// with x > y plus half the number of ties, R1 - n1 (n1 + 1) / 2 with R1 the
/// rank sum of Data1 (mid-ranks for ties). When there are no ties and both
/// samples have fewer than 50 values, the p-value comes from the exact null
/// distribution (UDistriIntegral); otherwise from the normal approximation
/// with the tie correction of the variance, n1 n2 / 12 ((N + 1) - sum(t^3 -
/// t) / (N (N - 1))), and a continuity correction of 1/2 towards the mean.
/// TwoSided: p = min(1, 2 min(P(U' <= U), P(U' >= U))); otherwise the
/// one-sided p = P(U' >= U) of the alternative that Data1 tends to be
/// larger. Result: the p-value; NaN (U NaN) when a value is NaN; 1.0 when
/// every value is equal (no information, U = n1 n2 / 2). Ranks are found by
/// sorting copies of both samples (SortArray) and merging: O(N log N).
NUMBRA_EXPORT double PerformMannWhitneyUTest(const TVector& Data1, const TVector& Data2,
                                             bool TwoSided, double& U);

/// Shapiro-Wilk W test of normality (Royston's algorithm AS R94: the
/// coefficients from normal scores with Royston's polynomial corrections
/// of the two outermost, W as the squared correlation of the ordered data
/// with them, computed as 1 - W to keep its digits near 1; the p-value by
/// ShapiroWilkIntegral). data holds the values that were observed (not
/// changed: a sorted copy is centred on its median and scaled by its
/// range). NumTotal is the size n of the whole sample when only the smallest
/// data.NrOfElem() = n1 of its values were observed (right-censored
/// sample); 0 or n1 means a complete sample. Returns 0 on success, else a
/// code with W and PValue NaN unless stated: 1 fewer than 3 values; 2 n >
/// 5000 (W computed, PValue NaN); 3 NumTotal below n1, or censoring with n <
/// 20 or more than 80 % censored; 6 all values equal; 7 a NaN or infinite
/// value.
NUMBRA_EXPORT int32_t ShapiroWilkTest(const TVector& data, int32_t NumTotal, double& W,
                                      double& PValue);

// ===========================================================================
// TRandGen
// ===========================================================================

/// Random numbers from a distribution given as a table of relative
/// probabilities over [LowBorder, HighBorder].
///
/// The interval is divided into Resolution equal classes (10..4000,
/// initially 500); class i (1-based) starts at lambda_i = LowBorder + (i - 1)
/// (HighBorder - LowBorder) / Resolution and carries the relative
/// probability P(i). GetRandNum draws by acceptance-rejection: a class k and
/// a position u inside it are drawn uniformly and accepted with probability
/// min(1, p), p interpolated linearly from P(k) to P(k + 1) (to 0 at the end
/// of the last class). The draws therefore follow the density proportional
/// to min(1, p(x)), a piecewise linear function. All random numbers come
/// from the runtime's uniform generator (corvel::Random, seeded with
/// SetRandSeed), so a fixed seed gives a fixed sequence.
///
/// The presets fill the table with a density evaluated at the left class
/// edges and do not rescale it: densities above 1 are cut at 1 by the
/// acceptance step, small ones make the draw slow, so call Standardize
/// after a preset unless the density already peaks near 1. A density that
/// is NaN at an edge (invalid parameters) is stored as 0.
class NUMBRA_EXPORT TRandGen : public TComponent {
 public:
  /// Resolution 500, every entry 1.0 (uniform), borders 0 and 0. Raises
  /// EORKStatisError "Component "<Name>": not enough memory on heap" when
  /// the table cannot be allocated.
  explicit TRandGen(TComponent* AOwner = nullptr);
  ~TRandGen() override;

  /// Lower end of the interval. Changing a border keeps the table and
  /// reinterprets it over the new interval.
  [[nodiscard]] double LowBorder() const noexcept { return FLowBorder; }
  /// Sets the lower end of the interval.
  void SetLowBorder(double Value) noexcept { FLowBorder = Value; }
  /// Upper end of the interval.
  [[nodiscard]] double HighBorder() const noexcept { return FHighBorder; }
  /// Sets the upper end of the interval.
  void SetHighBorder(double Value) noexcept { FHighBorder = Value; }
  /// Number of classes (10..4000).
  [[nodiscard]] int32_t Resolution() const noexcept { return FResolution; }
  /// Sets the number of classes to n clamped to 10..4000; every entry
  /// becomes 1.0 (also when n equals the old resolution).
  void SetResolution(int32_t n);

  /// Relative probability of class Idx (1..Resolution); 0.0 outside.
  [[nodiscard]] double GetProbability(int32_t Idx) const noexcept;
  /// Stores Value clamped to 0..1 (NaN stores 0) for 1 <= Idx <=
  /// Resolution; nothing otherwise.
  void SetProbability(int32_t Idx, double Value) noexcept;
  /// Left edge lambda_ix of class ix for 1 <= ix <= Resolution; LowBorder
  /// for ix < 1, HighBorder for ix > Resolution.
  [[nodiscard]] double GetLambda(int32_t ix) const noexcept;
  /// The class of Lambda: 0 below LowBorder, Resolution + 1 above
  /// HighBorder, otherwise floor((Lambda - LowBorder) Resolution /
  /// (HighBorder - LowBorder)) + 1, so HighBorder itself gives Resolution +
  /// 1 (also when the interval has length 0). NaN gives 0.
  [[nodiscard]] int32_t IndexOfLambda(double Lambda) const noexcept;
  /// One random number in [LowBorder, HighBorder) by acceptance-rejection,
  /// at most 100001 candidates; when none is accepted (a table of zeros),
  /// the last candidate's position is returned.
  double GetRandNum();
  /// Rescales the entries linearly to min 0 and max 1; nothing when all are
  /// equal or an entry is infinite.
  void Normalize() noexcept;
  /// Divides every entry by the largest; false (nothing changed) when the
  /// largest is 0. An infinite entry (a density's pole at a class edge)
  /// counts as the largest finite entry: it becomes 1, the others are
  /// divided by the largest finite one.
  bool Standardize() noexcept;

  /// Entry i = exp(-(lambda_i - m)^2 / (2 s^2)) (peak 1 at m).
  void NormalDistri(double m, double s) noexcept;
  /// Entry i = tDistriDensity(lambda_i, df).
  void tDistri(int32_t df) noexcept;
  /// Entry i = Chi2DistriDensity(lambda_i, df), 0 for lambda_i < 0.
  void Chi2Distri(int32_t df) noexcept;
  /// Entry i = FDistriDensity(lambda_i, df1, df2), 0 for lambda_i <= 0.
  void FDistri(int32_t df1, int32_t df2) noexcept;
  /// Entry i = WeibullDensity(lambda_i, beta, eta) (shape beta, scale eta).
  void WeibullDistri(double beta, double eta) noexcept;
  /// Every entry 1.0.
  void UniformDistri() noexcept;

 private:
  template <class Density>
  void FillFrom(Density&& f) noexcept;

  double FLowBorder = 0.0;
  double FHighBorder = 0.0;
  int32_t FResolution = 500;
  std::vector<double> FDistVec;
};

// ===========================================================================
// TCrossValidator
// ===========================================================================

class TMatrix;
class TVector;

/// Asks the host to build a model from the training objects ObjectList
/// (row numbers of XMat/YMat, 1-based, ascending); the host sets Success.
/// PercentDone: percentage of the objects tested so far.
using TOnModelCreateRequestEvent = std::function<void(TObject* Sender, int32_t PercentDone,
                                                      const TIntArray& ObjectList, bool& Success)>;
/// Asks the host to predict the responses of one object from its
/// Predictors (one row of XMat); Response arrives with one entry per column
/// of YMat and must keep that size.
using TOnModelApplyRequestEvent = std::function<void(
    TObject* Sender, int32_t PercentDone, const TDoubleArray& Predictors, TDoubleArray& Response)>;

/// Scaling of the data of a PLS model: centred, or centred and scaled to
/// unit variance.
enum class TPLSSclMode : uint8_t { scmCenter, scmStandardize };

/// Repeated random hold-out cross validation of a model that lives in the
/// host.
///
/// Execute draws test folds of SizeTestSet objects (rows) at random (the
/// runtime's uniform generator), asks OnModelCreateRequest for a model of
/// the other rows and OnModelApplyRequest for the prediction of every test
/// row, until every row has been tested once; the last fold takes the rows
/// left over. Per response column (1-based ix) it sums the squared
/// prediction errors (PRESS) and counts a 0/1 classification: a known
/// response of exactly 1.0 is a positive, anything else a negative; a
/// prediction within 0.001 of the known value is correct (a NaN prediction
/// is wrong, and makes the PRESS of its column NaN).
///
/// Failed model requests: when the host reports no success, the fold's
/// objects are removed from the used set again (TBitFld::CombineWith with
/// TLogicOp ordinal 3, loANDNOT) and drawn anew later. After
/// MaxFailedRequests failed requests in a row (default 10) the run gives up
/// like an abort: the results are set to -1.0 and Execute returns false.
/// Hence Execute always ends: every successful request tests at least one
/// new object, so there are at most n successful requests, and between two
/// of them at most MaxFailedRequests - 1 failures.
///
/// Events run synchronously inside Execute; a handler may read the
/// validator and the matrices but must not change XMat/YMat or call Execute
/// (a nested Execute raises). An exception from a handler leaves Execute
/// with the results set to -1.0 and propagates.
class NUMBRA_EXPORT TCrossValidator : public TComponent {
 public:
  /// Test size 2, at most 10 failed requests in a row, no matrices, results
  /// -1.0 (not valid).
  explicit TCrossValidator(TComponent* AOwner = nullptr);
  ~TCrossValidator() override;

  /// Predictors, one object per row (not owned; may be null).
  [[nodiscard]] TMatrix* XMat() const noexcept { return FXMat; }
  /// Sets the predictor matrix (not owned).
  void SetXMat(TMatrix* Value) noexcept { FXMat = Value; }
  /// Known responses, one object per row (not owned; may be null).
  [[nodiscard]] TMatrix* YMat() const noexcept { return FYMat; }
  /// Sets the response matrix (not owned).
  void SetYMat(TMatrix* Value) noexcept { FYMat = Value; }
  /// Objects per test fold (at least 1).
  [[nodiscard]] int32_t SizeTestSet() const noexcept { return FTestSize; }
  /// The fold size becomes max(n, 1); all results become -1.0.
  void SetTestSize(int32_t n);
  /// Consecutive failed model requests after which Execute gives up.
  [[nodiscard]] int32_t MaxFailedRequests() const noexcept { return FMaxFailed; }
  /// Sets that bound to max(n, 1).
  void SetMaxFailedRequests(int32_t n) noexcept { FMaxFailed = n < 1 ? 1 : n; }
  /// True while Execute runs.
  [[nodiscard]] bool IsRunning() const noexcept { return FIsRunning; }
  /// Failed model requests of the last Execute.
  [[nodiscard]] int32_t FailedRequests() const noexcept { return FFailedCnt; }

  /// Called to predict one test object (must be assigned).
  TOnModelApplyRequestEvent OnModelApplyRequest;
  /// Called to build a model from the training objects (must be assigned).
  TOnModelCreateRequestEvent OnModelCreateRequest;
  /// Called after each tested object; setting Abort stops the run.
  TOnCheckAbortEvent OnCheckAbort;

  /// Runs the cross validation; true when every object was tested. First
  /// lowers SizeTestSet (permanently) to n div 2 + 1 for n rows when it is
  /// larger. Returns false with all results -1.0 after an abort or when the
  /// run gave up on failed requests. Raises EORKStatisError, checked in this
  /// order: "TCrossValidator.Execute: data matrix not assigned",
  /// "TCrossValidator.Execute: number of rows of XMat and YMat not equal",
  /// "TCrossValidator: OnModelApplyRequest event is not assigned",
  /// "TCrossValidator: OnModelCreateRequest event is not assigned",
  /// "TCrossValidator.Execute: data matrix has no rows",
  /// "TCrossValidator.Execute: already running" (called from a handler),
  /// and "TCrossValidator.Execute: OnModelApplyRequest changed the size of
  /// Response" when a handler resized it.
  bool Execute();

  /// Root mean squared error of prediction sqrt(PRESS(ix) / n), n the
  /// current row count of XMat; -1.0 when the results are not valid (before
  /// a successful Execute, after SetTestSize, an abort) or ix is no
  /// response column.
  [[nodiscard]] double GetRMSEP(int32_t ix) const;
  /// TP / (TP + FN) of response column ix, 0.0 without positives; -1.0 when
  /// not valid.
  [[nodiscard]] double GetTPRate(int32_t ix) const;
  /// FP / (FP + TN) of response column ix, 1.0 without negatives; -1.0 when
  /// not valid.
  [[nodiscard]] double GetFPRate(int32_t ix) const;
  /// Sum of squared prediction errors of column ix (-1.0 when not valid).
  [[nodiscard]] double GetPress(int32_t ix) const;
  /// True positives of column ix (-1.0 when not valid).
  [[nodiscard]] double GetTPCount(int32_t ix) const;
  /// False positives of column ix (-1.0 when not valid).
  [[nodiscard]] double GetFPCount(int32_t ix) const;
  /// True negatives of column ix (-1.0 when not valid).
  [[nodiscard]] double GetTNCount(int32_t ix) const;
  /// False negatives of column ix (-1.0 when not valid).
  [[nodiscard]] double GetFNCount(int32_t ix) const;

 private:
  void FillResults(double Value);

  int32_t FTestSize = 2;
  std::unique_ptr<TVector> FPress;
  bool FIsRunning = false;
  std::unique_ptr<TVector> FTPCnt, FFPCnt, FTNCnt, FFNCnt;
  TMatrix* FXMat = nullptr;
  TMatrix* FYMat = nullptr;
  int32_t FMaxFailed = 10;
  int32_t FFailedCnt = 0;
};

/// Reads the comment of a PLS model file into Comment.
///
/// File format (text, lines end in LF or CR LF):
///   line 1:  "NUMBRA PLS MODEL" optionally followed by blanks and a version
///            number (any text after the magic words is ignored);
///   line 2:  "COMMENT <k>", k the number of comment lines, 0..1000;
///   then k comment lines, each at most 1024 bytes (line end excluded);
///   anything after them (the model data) is not read.
/// Comment receives the k lines joined with LF (no final LF); a file with
/// k = 0 gives the empty text. At most about 1 MiB is read (the two header
/// lines, 1000 lines of 1024 bytes and one 4 KiB read buffer).
/// Comment is changed only on success. Raises EORKStatisError
/// "LoadPLSModelComment: cannot open file "<name>"",
/// "LoadPLSModelComment: not a PLS model file",
/// "LoadPLSModelComment: invalid comment header" (line 2 missing,
/// malformed or k out of range), "LoadPLSModelComment: line too long" and
/// "LoadPLSModelComment: comment is truncated" (fewer than k lines).
NUMBRA_EXPORT void LoadPLSModelComment(const std::string& FileName, std::string& Comment);
/// The same from a stream, starting at its position (the messages without
/// the file name).
NUMBRA_EXPORT void LoadPLSModelComment(TStream& Stream, std::string& Comment);

}  // namespace numbra
