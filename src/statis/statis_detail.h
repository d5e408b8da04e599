// Full-precision kernels of ORK_statis (not installed): incomplete gamma and
// beta functions with their complements and inverses, the normal
// distribution, and the chi-squared, F and t distributions for real degrees
// of freedom. The public integer-df functions and the later test routines
// of the unit are built on them.
//
// Conventions: "lower"/"upper" are the two tails P and Q = 1 - P, each
// computed directly (never as 1 minus the other when that would cancel).
// Arguments are not checked beyond what each function states; the public
// wrappers do the checking.
#pragma once

#include <cstdint>
#include <vector>

namespace numbra::detail {

/// Both tails of a distribution: Lower + Upper = 1, each accurate relative
/// to itself.
struct TTails {
  double Lower = 0.0;
  double Upper = 1.0;
};

/// ln(1 + t) - t for t > -1, accurate near 0.
double Log1pmx(double t) noexcept;

/// Binet's function mu(z) = ln Gamma(z) - ((z - 1/2) ln z - z + ln(2 pi)/2),
/// z > 0: the remainder of Stirling's formula, positive and decreasing.
double StirlingRemainder(double z) noexcept;

/// ln Beta(a, b) for a, b > 0, without cancellation for large arguments.
double LogBeta(double a, double b) noexcept;

/// x^a e^-x / Gamma(a) for a > 0, x >= 0, without overflow and with an
/// error of a few ulp times the condition of the exponent.
double GammaPrefix(double a, double x) noexcept;

/// Regularized incomplete gamma functions P(a, x) and Q(a, x), a > 0,
/// x >= 0 (x = +inf allowed).
TTails IncGamma(double a, double x) noexcept;

/// x with P(a, x) = p (Upper false) or Q(a, x) = p (Upper true); p in
/// [0, 1], a > 0.
double IncGammaInv(double a, double p, bool Upper) noexcept;

/// A point of (0, 1) given by x, y = 1 - x and their logarithms, each
/// accurate on its own (so that tails near 0 and near 1 keep their digits
/// and x may even underflow while ln x is still right). x and y are carried
/// in extended precision: the beta functions amplify their rounding by up
/// to sqrt(a + b) in the far tails.
struct TUnitPoint {
  long double x = 0.5L;
  long double y = 0.5L;
  double lnx = -0.6931471805599453;
  double lny = -0.6931471805599453;
};

/// The point with logit ln(x/y) = w.
TUnitPoint UnitPointFromLogit(double w) noexcept;
/// The point with x / y = r >= 0, given r and ln r (r may over- or
/// underflow; ln r must then still be right).
TUnitPoint UnitPointFromRatio(long double r, double lnr) noexcept;

/// x^a y^b / Beta(a, b) for a, b > 0.
double BetaPrefix(double a, double b, const TUnitPoint& pt) noexcept;

/// Regularized incomplete beta I_x(a, b) (Lower) and 1 - I_x(a, b) (Upper)
/// for a, b > 0 at the point pt.
TTails IncBeta(double a, double b, const TUnitPoint& pt) noexcept;

/// The point x with I_x(a, b) = p (Upper false) or 1 - I_x(a, b) = p
/// (Upper true); p in (0, 1).
TUnitPoint IncBetaInv(double a, double b, double p, bool Upper) noexcept;

/// Standard normal distribution, both tails at z, full precision.
TTails NormalTails(double z) noexcept;
/// ln Phi(z), finite for every finite z.
double LogNormalCdf(double z) noexcept;
/// Standard normal quantile, full precision; -inf for p = 0, +inf for p = 1.
double NormalQuantile(double p) noexcept;

// Distributions with real degrees of freedom (> 0; not checked).
double Chi2Pdf(double x, double df) noexcept;
TTails Chi2Tails(double x, double df) noexcept;
double Chi2Quantile(double p, double df) noexcept;
double StudentTPdf(double t, double df) noexcept;
TTails StudentTTails(double t, double df) noexcept;
double StudentTQuantile(double p, double df) noexcept;
double FisherFPdf(double x, double df1, double df2) noexcept;
TTails FisherFTails(double x, double df1, double df2) noexcept;
double FisherFQuantile(double p, double df1, double df2) noexcept;

// Mann-Whitney U ------------------------------------------------------------

/// Largest n1 * n2 for which the U distribution is computed exactly.
inline constexpr int64_t kMaxExactUProduct = 10000;
/// Exact null distribution of U for sample sizes n1, n2 >= 1: element u is
/// P(U = u), u = 0..n1*n2. Costs about (n1 n2)^2 / 4 operations.
std::vector<double> ExactUDistribution(int32_t n1, int32_t n2);
/// Edgeworth-corrected normal approximation of P(U <= u).
double ApproxUIntegral(int32_t n1, int32_t n2, double u) noexcept;

// Kolmogorov-Smirnov ------------------------------------------------------

/// Upper tail P(K > lambda) of the Kolmogorov limit distribution.
double KolmogorovSf(double lambda) noexcept;
/// 1 - P(D_n < d) by the exact matrix method, without the size limit.
double KSPValueExact(int32_t n, double d);

/// Largest number of iterations any kernel loop runs (series, continued
/// fractions, root finders); reaching it ends the loop with the value so far.
inline constexpr int32_t kMaxKernelIterations = 1000000;

}  // namespace numbra::detail
