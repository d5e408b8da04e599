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

#include "numbra_frame.h"

#include <cstddef>
#include <cstdint>

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

// ===========================================================================
// TRandGen
// ===========================================================================

// ===========================================================================
// TCrossValidator
// ===========================================================================

}  // namespace numbra
