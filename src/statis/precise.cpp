// Full-precision kernels: incomplete gamma and beta functions, their
// inverses and the normal distribution.
//
// Numerics. The prefactors x^a e^-x / Gamma(a) and x^a y^b / B(a, b) are the
// usual source of lost digits: formed from ln Gamma they cancel catastrophically
// for large a (ln Gamma(5e5) ~ 6e6, so 1e-9 relative error). They are formed
// instead from Stirling's formula with the remainder mu(z) (Binet's function)
// and the function ln(1+t) - t, in which every term is small and accurate
// (the approach of DiDonato & Morris, ACM TOMS 12, 1986, and of Boost.Math).
// The series and continued fractions (Numerical Recipes, 3rd ed., 6.2 and
// 6.4, with the modified Lentz algorithm) then only multiply by factors near
// 1. Their number of steps grows like sqrt(a) near the mean; they are capped
// at kMaxKernelIterations.
//
// Inverses solve ln(tail) = ln(target) by Newton's method in a variable in
// which the densities are log-concave (ln x for the gamma function, the
// logit for the beta function), so that the tail logarithm is concave and
// Newton converges monotonically after at most one overshoot. Every Newton
// step is kept inside a bracket that shrinks with each evaluation, with
// bisection as the fallback, so the solvers always end.
#include "statis/statis_detail.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace numbra::detail {

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr double kTiny = 1e-300;  // Lentz guard against division by zero
constexpr double kLnSqrt2Pi = 0.91893853320467274178;
constexpr double kInvSqrtPi = 0.56418958354775628695;
// 1/sqrt(2) as a double-double (hi + lo).
constexpr double kSqrtHalfHi = 0.70710678118654757274;
constexpr double kSqrtHalfLo = -4.8336466567264567e-17;

// a (ln(1 + u) - u) where 1 + u = r, given ln r directly for |u| > 1/2
// (then no digits are lost by forming 1 + u).
double ScaledLogTerm(double a, double u, double lnr) noexcept {
  if (std::fabs(u) <= 0.5) return a * Log1pmx(u);
  return a * (lnr - u);
}

// Safeguarded Newton for an increasing function g on [lo, hi]. Eval(w, g, dg)
// gives g(w) and g'(w). Every evaluation narrows the bracket; a Newton step
// that leaves it is replaced by bisection. Ends when a Newton step falls
// below two ulp of w (its result is then accurate to the square of that),
// when the bracket is that narrow, when the steps stall at the noise level
// of g, or after 400 evaluations; without a converged Newton step the
// evaluated point with the smallest |g| is returned.
template <class Eval>
double SolveIncreasing(Eval&& eval, double w, double lo, double hi) noexcept {
  w = std::clamp(w, lo, hi);
  double best_w = w;
  double best_g = std::numeric_limits<double>::infinity();
  double prev_step = std::numeric_limits<double>::infinity();
  for (int it = 0; it < 400; ++it) {
    double g = 0.0;
    double dg = 0.0;
    eval(w, g, dg);
    if (g == 0.0) return w;
    if (std::isnan(g)) break;
    if (std::fabs(g) < best_g) {
      best_g = std::fabs(g);
      best_w = w;
    }
    if (g < 0)
      lo = w;
    else
      hi = w;
    const double scale = std::max(1.0, std::fabs(w));
    double next = w - g / dg;
    const bool newton = std::isfinite(next) && next > lo && next < hi;
    if (!newton) next = 0.5 * (lo + hi);
    const double step = std::fabs(next - w);
    if (newton && step <= 2 * kEps * scale) return next;
    if (hi - lo <= 2 * kEps * scale || step == 0.0) break;
    if (newton && it > 2 && step > 0.5 * prev_step && step < 1e-13 * scale) break;
    if (newton) prev_step = step;
    w = next;
  }
  return best_w;
}

// Continued fraction of Q(a, x) / prefix for x >= a + 1 (Legendre's, even
// part), modified Lentz.
double GammaQFraction(double a, double x) noexcept {
  double b = x + 1.0 - a;
  double c = 1.0 / kTiny;
  double d = 1.0 / b;
  double h = d;
  for (int i = 1; i < kMaxKernelIterations; ++i) {
    const double an = -i * (i - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    const double del = d * c;
    h *= del;
    if (std::fabs(del - 1.0) <= kEps) break;
  }
  return h;
}

// Series sum_{n>=0} x^n / ((a+1)...(a+n)) for x < a + 1: P = prefix/a * sum.
double GammaPSeries(double a, double x) noexcept {
  double term = 1.0;
  double sum = 1.0;
  double ap = a;
  for (int n = 1; n < kMaxKernelIterations; ++n) {
    ap += 1.0;
    term *= x / ap;
    sum += term;
    if (term <= kEps * sum) break;
  }
  return sum;
}

// Continued fraction of I_x(a, b) a / prefix for x below about
// (a+1)/(a+b+2). For a large parameter a and x close to 1 the fraction is
// ill-conditioned: its terms amount to differences of numbers near 1 whose
// size is that of y = 1 - x (and of 1/a), so a relative error e in x costs
// about e / y. The fraction is therefore run in extended precision, with x
// formed as 1 - y from the accurately known y; that keeps 1e-14 relative for
// parameters up to 1e6 and more where long double is wider than double.
double BetaFraction(double a, double b, long double xd, long double yd) noexcept {
  using L = long double;
  const L x = xd <= yd ? xd : 1.0L - yd;
  const L y = xd <= yd ? 1.0L - xd : yd;
  const L tiny = 1e-300L;
  const L eps = std::numeric_limits<L>::epsilon();
  const L qab = static_cast<L>(a) + b;
  const L qap = static_cast<L>(a) + 1.0L;
  const L qam = static_cast<L>(a) - 1.0L;
  L c = 1.0L;
  // 1 - (a+b) x / (a+1), written with y so that it does not cancel.
  L d = (1.0L - b + qab * y) / qap;
  if (std::fabs(d) < tiny) d = tiny;
  d = 1.0L / d;
  L h = d;
  for (int m = 1; m < kMaxKernelIterations; ++m) {
    const L m2 = 2.0L * m;
    L aa = m * (b - m) * x / ((qam + m2) * (a + m2));
    d = 1.0L + aa * d;
    if (std::fabs(d) < tiny) d = tiny;
    c = 1.0L + aa / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0L / d;
    h *= d * c;
    aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
    d = 1.0L + aa * d;
    if (std::fabs(d) < tiny) d = tiny;
    c = 1.0L + aa / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0L / d;
    const L del = d * c;
    h *= del;
    if (std::fabs(del - 1.0L) <= eps) break;
  }
  return static_cast<double>(h);
}

// I_x(a, b) together with the prefix x^a y^b / B(a, b) (the derivative of
// I with respect to the logit of x).
TTails IncBetaAndPrefix(double a, double b, const TUnitPoint& pt, double& prefix) noexcept {
  prefix = 0.0;
  if (pt.lnx == -std::numeric_limits<double>::infinity()) return {0.0, 1.0};
  if (pt.lny == -std::numeric_limits<double>::infinity()) return {1.0, 0.0};
  prefix = BetaPrefix(a, b, pt);
  if (pt.x < (a + 1.0) / (a + b + 2.0)) {
    const double lower = prefix * BetaFraction(a, b, pt.x, pt.y) / a;
    return {lower, 1.0 - lower};
  }
  const double upper = prefix * BetaFraction(b, a, pt.y, pt.x) / b;
  return {1.0 - upper, upper};
}

// erfc(x) * exp(x^2) for x >= 26 by its continued fraction (Laplace),
// evaluated from the bottom; 40 levels give full precision there.
double ErfcxLarge(double x) noexcept {
  double f = x;
  for (int k = 40; k >= 1; --k) f = x + 0.5 * k / f;
  return kInvSqrtPi / f;
}

// erfc(hi + lo) for a double-double argument, |lo| <= ulp(hi): the first
// order correction -lo * 2/sqrt(pi) exp(-hi^2).
double ErfcDD(double hi, double lo) noexcept {
  const double e = std::erfc(hi);
  if (lo == 0.0 || e == 0.0) return e;
  return e - lo * 2.0 * kInvSqrtPi * std::exp(-hi * hi);
}

}  // namespace

// ---------------------------------------------------------------------------
// Elementary helpers
// ---------------------------------------------------------------------------

double Log1pmx(double t) noexcept {
  if (std::fabs(t) > 0.5) return std::log1p(t) - t;
  // ln(1+t) = 2 artanh(s) with s = t/(2+t), and t - 2s = s t: so
  // ln(1+t) - t = -s t + 2 (s^3/3 + s^5/5 + ...), |s| <= 1/3, no cancellation.
  const double s = t / (2.0 + t);
  const double s2 = s * s;
  double power = s * s2;
  double sum = 0.0;
  for (int k = 3; k < 200; k += 2) {
    const double term = power / k;
    sum += term;
    if (std::fabs(term) <= kEps * std::fabs(sum)) break;
    power *= s2;
  }
  return 2.0 * sum - s * t;
}

double StirlingRemainder(double z) noexcept {
  if (z >= 10.0) {
    // Stirling series, coefficients B_2k / (2k (2k-1)); at z = 10 the
    // omitted term is below 1e-19.
    const double r = 1.0 / z;
    const double r2 = r * r;
    return r * (1.0 / 12 +
                r2 * (-1.0 / 360 +
                      r2 * (1.0 / 1260 +
                            r2 * (-1.0 / 1680 +
                                  r2 * (1.0 / 1188 +
                                        r2 * (-691.0 / 360360 +
                                              r2 * (1.0 / 156 + r2 * (-3617.0 / 122400))))))));
  }
  // Small z: every term below is at most ~25 in size, so the absolute error
  // stays a few ulp of that.
  return std::lgamma(z) - (z - 0.5) * std::log(z) + z - kLnSqrt2Pi;
}

double LogBeta(double a, double b) noexcept {
  // ln B = a ln(a/c) + b ln(b/c) + ln(2 pi c / (a b)) / 2 + mu(a) + mu(b) - mu(c)
  const double c = a + b;
  double la = 0.0;
  double lb = 0.0;
  if (a < b) {
    la = std::log(a / c);
    lb = std::log1p(-a / c);
  } else {
    la = std::log1p(-b / c);
    lb = std::log(b / c);
  }
  const double mu = StirlingRemainder(a) + StirlingRemainder(b) - StirlingRemainder(c);
  return a * la + b * lb + 0.5 * (std::log(2.0 * M_PI / a) + std::log(c / b)) + mu;
}

double GammaPrefix(double a, double x) noexcept {
  if (x <= 0.0 || std::isinf(x)) return 0.0;
  // x^a e^-x / Gamma(a) = sqrt(a / (2 pi)) exp(a (ln r - (r - 1)) - mu(a)),
  // r = x / a: the exponent is <= 0, so nothing overflows.
  const double u = (x - a) / a;
  double lnr = 0.0;
  if (std::fabs(u) > 0.5) {
    const double r = x / a;
    lnr = (r >= 1e-300 && r <= 1e300) ? std::log(r) : std::log(x) - std::log(a);
  }
  const double e = ScaledLogTerm(a, u, lnr) - StirlingRemainder(a);
  return std::sqrt(a / (2.0 * M_PI)) * std::exp(e);
}

TTails IncGamma(double a, double x) noexcept {
  if (x <= 0.0) return {0.0, 1.0};
  if (std::isinf(x)) return {1.0, 0.0};
  if (x < a + 1.0) {
    const double lower = GammaPrefix(a, x) / a * GammaPSeries(a, x);
    return {lower, 1.0 - lower};
  }
  const double upper = GammaPrefix(a, x) * GammaQFraction(a, x);
  return {1.0 - upper, upper};
}

double IncGammaInv(double a, double p, bool Upper) noexcept {
  if (std::isnan(p) || std::isnan(a)) return std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  if (p <= 0.0) return Upper ? inf : 0.0;
  if (p >= 1.0) return Upper ? 0.0 : inf;
  // Solve in the tail whose target is at most 1/2 (1 - p is exact there).
  if (p > 0.5) {
    p = 1.0 - p;
    Upper = !Upper;
  }
  const double lnp = std::log(p);
  // Start: Wilson-Hilferty; for small a in the lower tail the leading term
  // P ~ x^a / Gamma(a + 1).
  const double z = NormalQuantile(Upper ? 1.0 - p : p);
  const double h = 1.0 / (9.0 * a);
  const double wh = a * std::pow(std::max(0.0, 1.0 - h + z * std::sqrt(h)), 3.0);
  double x0 = wh;
  if (!Upper && (a < 1.0 || wh <= 0.0)) x0 = std::exp((lnp + std::lgamma(a + 1.0)) / a);
  if (Upper && wh <= 0.0) x0 = std::max(a, -lnp);
  double w0 = std::log(x0);
  if (!std::isfinite(w0)) w0 = x0 > 1 ? 700.0 : -700.0;
  // g = ln(tail / p) made increasing in x, and dg/dx.
  auto eval_x = [&](double x, double& g, double& dg) {
    const TTails t = IncGamma(a, x);
    const double pre = GammaPrefix(a, x) / x;
    if (!Upper) {
      g = std::log(t.Lower) - lnp;
      dg = pre / t.Lower;
    } else {
      g = lnp - std::log(t.Upper);
      dg = pre / t.Upper;
    }
  };
  // The same in w = ln x, where the tails are log-concave.
  auto eval = [&](double w, double& g, double& dg) {
    const double x = std::exp(w);
    eval_x(x, g, dg);
    dg *= x;
  };
  double x = std::exp(SolveIncreasing(eval, w0, -746.0, 709.78));
  // Polish in x itself: the spacing of doubles near w = ln x is |w| times
  // coarser than that of x, which matters where the tail is steep (large a).
  double g = 0.0;
  double dg = 0.0;
  eval_x(x, g, dg);
  for (int it = 0; it < 3 && g != 0.0 && std::isfinite(g) && dg > 0.0; ++it) {
    const double next = x - g / dg;
    if (!(next > 0.0) || !std::isfinite(next) || next == x) break;
    double gn = 0.0;
    double dgn = 0.0;
    eval_x(next, gn, dgn);
    if (!(std::fabs(gn) < std::fabs(g))) break;
    x = next;
    g = gn;
    dg = dgn;
  }
  return x;
}

// ---------------------------------------------------------------------------
// Points of (0, 1) and the incomplete beta function
// ---------------------------------------------------------------------------

TUnitPoint UnitPointFromRatio(long double r, double lnr) noexcept {
  TUnitPoint pt;
  if (lnr > 0) {
    // x near 1: y = 1 / (1 + r) is the small, accurate one.
    const double l = std::log1p(std::exp(-lnr));
    pt.lnx = -l;
    pt.lny = -lnr - l;
  } else {
    const double l = std::log1p(std::exp(lnr));
    pt.lnx = lnr - l;
    pt.lny = -l;
  }
  if (r >= 1e-4000L && r <= 1e4000L) {
    pt.x = r / (1.0L + r);
    pt.y = 1.0L / (1.0L + r);
    pt.lnx = static_cast<double>(std::log(pt.x));
    pt.lny = static_cast<double>(std::log(pt.y));
  } else {
    pt.x = std::exp(static_cast<long double>(pt.lnx));
    pt.y = std::exp(static_cast<long double>(pt.lny));
  }
  return pt;
}

TUnitPoint UnitPointFromLogit(double w) noexcept {
  return UnitPointFromRatio(std::exp(static_cast<long double>(w)), w);
}

double BetaPrefix(double a, double b, const TUnitPoint& pt) noexcept {
  // x^a y^b / B(a, b) = sqrt(a b / (2 pi c)) exp(a L(u) + b L(v) - mu(a) - mu(b) + mu(c))
  // with c = a + b, 1 + u = x c / a, 1 + v = y c / b, L(t) = ln(1 + t) - t.
  // Since a u + b v = c (x + y) - c = 0, u and v are both formed from the
  // smaller (accurately known) of x and y. Far from the mean (|u| > 1/2)
  // a L(u) = a (ln(x c / a) - u) is a difference of terms up to a ln(...)
  // in size, so it is formed in extended precision as well.
  using L = long double;
  const L c = static_cast<L>(a) + b;
  L u = 0.0L;
  L v = 0.0L;
  if (pt.x <= pt.y) {
    const L e = pt.x * c - a;
    u = e / a;
    v = -e / b;
  } else {
    const L e = pt.y * c - b;
    v = e / b;
    u = -e / a;
  }
  auto term = [](double p, L t, L z, L cz, double lnz) -> L {
    if (std::fabs(t) <= 0.5L) return p * static_cast<L>(Log1pmx(static_cast<double>(t)));
    // ln(z c / p), from z itself while z is a normal long double
    const L lr = z > 0 ? std::log(z * cz / p) : lnz + std::log(cz / p);
    return p * (lr - t);
  };
  const L e = term(a, u, pt.x, c, pt.lnx) + term(b, v, pt.y, c, pt.lny) - StirlingRemainder(a) -
              StirlingRemainder(b) + StirlingRemainder(static_cast<double>(c));
  return std::sqrt(a / (2.0 * M_PI)) * std::sqrt(b / static_cast<double>(c)) *
         static_cast<double>(std::exp(e));
}

TTails IncBeta(double a, double b, const TUnitPoint& pt) noexcept {
  double prefix = 0.0;
  return IncBetaAndPrefix(a, b, pt, prefix);
}

TUnitPoint IncBetaInv(double a, double b, double p, bool Upper) noexcept {
  if (p > 0.5) {
    p = 1.0 - p;
    Upper = !Upper;
  }
  const double lnp = std::log(p);
  // Start: the logit of the mean, or the leading tail term when the target
  // lies beyond it (I ~ x^a / (a B) near 0, 1 - I ~ y^b / (b B) near 1).
  const double lb = LogBeta(a, b);
  double w0 = std::log(a / b);
  auto logit = [](double lnz) {  // ln(z / (1 - z)) from ln z, z < 1
    return lnz < -1e-300 ? lnz - std::log(-std::expm1(lnz)) : 700.0;
  };
  if (!Upper)
    w0 = std::min(w0, logit(std::min(0.0, (lnp + std::log(a) + lb) / a)));
  else
    w0 = std::max(w0, -logit(std::min(0.0, (lnp + std::log(b) + lb) / b)));
  auto eval = [&](double w, double& g, double& dg) {
    const TUnitPoint pt = UnitPointFromLogit(w);
    double prefix = 0.0;
    const TTails t = IncBetaAndPrefix(a, b, pt, prefix);
    if (!Upper) {
      g = std::log(t.Lower) - lnp;
      dg = prefix / t.Lower;
    } else {
      g = lnp - std::log(t.Upper);
      dg = prefix / t.Upper;
    }
  };
  return UnitPointFromLogit(SolveIncreasing(eval, w0, -4000.0, 4000.0));
}

// ---------------------------------------------------------------------------
// Normal distribution
// ---------------------------------------------------------------------------

TTails NormalTails(double z) noexcept {
  if (std::isnan(z)) return {z, z};
  if (std::isinf(z)) return z < 0 ? TTails{0.0, 1.0} : TTails{1.0, 0.0};
  // Phi(z) = erfc(-z / sqrt 2) / 2, with -z / sqrt 2 carried as a
  // double-double so that the rounding of the division does not cost
  // z^2 ulp in the far tails.
  const double hi = z * kSqrtHalfHi;
  const double lo = std::fma(z, kSqrtHalfHi, -hi) + z * kSqrtHalfLo;
  return {0.5 * ErfcDD(-hi, -lo), 0.5 * ErfcDD(hi, lo)};
}

double LogNormalCdf(double z) noexcept {
  if (z > 0) return std::log1p(-NormalTails(z).Upper);
  if (z > -37.0) return std::log(NormalTails(z).Lower);
  // ln(erfc(x) / 2) = ln(erfcx(x) / 2) - x^2, x = -z / sqrt 2.
  return std::log(0.5 * ErfcxLarge(-z * kSqrtHalfHi)) - 0.5 * z * z;
}

double NormalQuantile(double p) noexcept {
  if (std::isnan(p)) return p;
  if (p <= 0.0) return -std::numeric_limits<double>::infinity();
  if (p >= 1.0) return std::numeric_limits<double>::infinity();
  if (p > 0.5) return -NormalQuantile(1.0 - p);
  if (p == 0.5) return 0.0;
  // Start value: Abramowitz & Stegun 26.2.23 (|error| < 4.5e-4).
  const double t = std::sqrt(-2.0 * std::log(p));
  const double z0 = -(t - (2.515517 + t * (0.802853 + t * 0.010328)) /
                              (1.0 + t * (1.432788 + t * (0.189269 + t * 0.001308))));
  if (p > 0.25) {
    // Near the centre solve Phi(z) - 1/2 = p - 1/2 (exact) with
    // Phi(z) - 1/2 = erf(z / sqrt 2) / 2, which keeps the relative accuracy
    // of small z.
    const double target = p - 0.5;
    auto eval = [&](double z, double& g, double& dg) {
      g = 0.5 * std::erf(z * kSqrtHalfHi) - target;
      dg = std::exp(-0.5 * z * z - kLnSqrt2Pi);
    };
    return SolveIncreasing(eval, z0, -0.7, 0.0);
  }
  const double lnp = std::log(p);
  auto eval = [&](double z, double& g, double& dg) {
    const double l = LogNormalCdf(z);
    g = l - lnp;
    dg = std::exp(-0.5 * z * z - kLnSqrt2Pi - l);
  };
  return SolveIncreasing(eval, z0, -40.0, 0.0);
}

}  // namespace numbra::detail
