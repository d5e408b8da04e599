// The classic special functions of ORK_statis: log-gamma by Lanczos' series,
// incomplete gamma and beta functions by series and continued fractions to a
// relative tolerance of 1e-8 (the algorithms of Numerical Recipes, 1st ed.,
// 6.1 to 6.4), the error function and the normal distribution built on them,
// and the combinatorial and small helper formulas.
#include "ORK_statis.h"
#include "statis/statis_detail.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

namespace numbra {

NUMBRA_DEFINE_EXCEPTION(EORKStatisError);

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Series terms of IncompleteGamma: with x < a + 1 the terms shrink at least
// geometrically, so this only bounds pathological a (beyond 1e10 or so).
constexpr int kMaxSeriesTerms = 1000000;

// Both tails of the regularized incomplete gamma function by the series and
// continued fraction of IncompleteGamma. The continued fraction yields the
// upper tail g G itself, so the lower-tail normal probabilities need not be
// formed as 1 minus a number close to 1.
detail::TTails ClassicGammaTails(double x, double a) noexcept {
  const double g = std::exp(-x + a * std::log(x) - LnGamma(a));
  if (x < a + 1.0) {
    double b = a;
    double term = 1.0 / a;
    double sum = term;
    for (int n = 0; n < kMaxSeriesTerms; ++n) {
      b += 1.0;
      term *= x / b;
      sum += term;
      if (std::fabs(term) < 1e-8 * std::fabs(sum)) break;
    }
    const double lower = g * sum;
    return {lower, 1.0 - lower};
  }
  double a0 = 1.0;
  double b0 = 0.0;
  double a1 = x;
  double b1 = 1.0;
  double fac = 1.0;
  double gold = 0.0;
  double G = 0.0;
  for (int n = 1; n <= 99; ++n) {
    const double ana = n - a;
    a0 = (a1 + a0 * ana) * fac;
    b0 = (b1 + b0 * ana) * fac;
    const double anf = n * fac;
    a1 = x * a0 + anf * a1;
    b1 = x * b0 + anf * b1;
    if (a1 != 0.0) {
      fac = 1.0 / a1;
      G = b1 * fac;
      const bool converged = std::fabs((G - gold) / G) < 1e-8;
      gold = G;
      if (converged) break;
    }
  }
  const double upper = g * G;
  return {1.0 - upper, upper};
}

// The continued fraction of IncompleteBeta (at most 100 steps).
double BetaCF(double x, double a, double b) noexcept {
  double am = 1.0;
  double bm = 1.0;
  double az = 1.0;
  const double qab = a + b;
  const double qap = a + 1.0;
  const double qam = a - 1.0;
  double bz = 1.0 - qab * x / qap;
  for (int m = 1; m <= 100; ++m) {
    const double u = a + 2.0 * m;
    double d = m * (b - m) * x / ((qam + 2.0 * m) * u);
    const double ap = az + d * am;
    const double bp = bz + d * bm;
    d = -(a + m) * (qab + m) * x / (u * (qap + 2.0 * m));
    const double app = ap + d * az;
    const double bpp = bp + d * bz;
    const double aold = az;
    am = ap / bpp;
    bm = bp / bpp;
    az = app / bpp;
    bz = 1.0;
    if (std::fabs(az - aold) < 1e-8 * std::fabs(az)) break;
  }
  return az;
}

}  // namespace

double LnGamma(double x) noexcept {
  if (std::isnan(x)) return x;
  if (x <= 0.0) return 0.0;
  if (std::isinf(x)) return x;
  static constexpr double kCof[6] = {76.18009173,  -86.50532033,  24.01409822,
                                     -1.231739516, 0.00120858003, -5.36382e-06};
  if (x < 1e-300) {
    // The series term 76.18/x would overflow: ln(2.50663 s) is taken as
    // ln(2.50663 x s) - ln x with x s = x + sum c_j x / (x + j).
    double xs = x;
    for (int j = 0; j < 6; ++j) xs += kCof[j] * (x / (x + j));
    return (x - 0.5) * std::log(x + 4.5) - x + std::log(2.5066282746310007 * xs) - std::log(x) -
           4.5;
  }
  double s = 1.0;
  for (int j = 0; j < 6; ++j) s += kCof[j] / (x + j);
  return (x - 0.5) * std::log(x + 4.5) - x + std::log(2.5066282746310007 * s) - 4.5;
}

double IncompleteGamma(double x, double a) noexcept {
  if (std::isnan(x) || std::isnan(a)) return kNaN;
  if (x <= 0.0 || a <= 0.0) return 0.0;
  if (std::isinf(x)) return 1.0;
  if (std::isinf(a)) return 0.0;
  // Beyond these the terms of both expansions overflow.
  if (x > 1e300 || a > 1e300 || a < 1e-300) return kNaN;
  return ClassicGammaTails(x, a).Lower;
}

double Erf(double x) noexcept {
  if (std::isnan(x)) return x;
  const double p = IncompleteGamma(x * x, 0.5);
  return x >= 0.0 ? p : -p;
}

double ErfApprox(double x) noexcept {
  if (std::isnan(x)) return x;
  const double t = 1.0 / (1.0 + 0.5 * std::fabs(x));
  const double poly =
      -1.26551223 +
      t * (1.00002368 +
           t * (0.37409196 +
                t * (0.09678418 +
                     t * (-0.18628806 +
                          t * (0.27886807 +
                               t * (-1.13520398 +
                                    t * (1.48851587 + t * (-0.82215223 + t * 0.17087277))))))));
  const double y = t * std::exp(-x * x + poly);
  return x >= 0.0 ? 1.0 - y : y - 1.0;
}

double nDistriDensity(double x) noexcept { return 0.3989422804014327 * std::exp(-0.5 * x * x); }

double nDistriIntegral(double x) noexcept {
  if (std::isnan(x)) return x;
  const double h = 0.5 * x * x;
  if (h == 0.0) return 0.5;
  if (std::isinf(h)) return x > 0 ? 1.0 : 0.0;
  const detail::TTails t = ClassicGammaTails(h, 0.5);
  // (1 - P) / 2 is taken as Q / 2: the same value, without the cancellation
  // that wipes out the lower tail below x = -6.
  return x > 0.0 ? 0.5 * (1.0 + t.Lower) : 0.5 * t.Upper;
}

double nDistriQuantile(double p) noexcept {
  if (!(p > 0.0 && p < 1.0)) return 0.0;
  // The upper half by symmetry (1 - p is exact there): the relative
  // tolerance then applies to the small tail probability, where a tolerance
  // relative to p itself (near 1) would accept any z in the bracket.
  if (p > 0.5) return -nDistriQuantile(1.0 - p);
  const double q = std::min(p, 1.0 - p);
  const double t = std::sqrt(-2.0 * std::log(q));
  double z0 = t - (2.515517 + 0.802853 * t + 0.010328 * t * t) /
                      (1.0 + 1.432788 * t + 0.189269 * t * t + 0.001308 * t * t * t);
  if (p < 0.5) z0 = -z0;
  const double w = 0.1 * std::max(std::fabs(z0), 0.1);
  double lo = z0 - w;
  double hi = z0 + w;
  double mid = z0;
  // Bisection; besides the relative tolerance it ends when the midpoint no
  // longer lies strictly inside the bracket (the resolution of doubles or of
  // nDistriIntegral is reached) and after 200 halvings at the latest.
  for (int it = 0; it < 200; ++it) {
    mid = 0.5 * (lo + hi);
    if (!(mid > lo && mid < hi)) break;
    const double F = nDistriIntegral(mid);
    if (F > p)
      hi = mid;
    else
      lo = mid;
    if (std::fabs(F - p) / p < 1e-8) break;
  }
  return mid;
}

double LnBeta(double a, double b) noexcept {
  if (std::isnan(a) || std::isnan(b)) return kNaN;
  if (a < 0.0 || b < 0.0) return 0.0;
  return LnGamma(a) + LnGamma(b) - LnGamma(a + b);
}

double IncompleteBeta(double x, double a, double b) noexcept {
  if (std::isnan(x)) return x;
  if (x < 0.0) return 0.0;
  if (x > 1.0) return 1.0;
  if (!(a > 0.0 && b > 0.0) || a > 1e150 || b > 1e150) return kNaN;
  double bt = 0.0;
  if (x != 0.0 && x != 1.0)
    bt = std::exp(LnGamma(a + b) - LnGamma(a) - LnGamma(b) + a * std::log(x) +
                  b * std::log(1.0 - x));
  if (x < (a + 1.0) / (a + b + 2.0)) return bt * BetaCF(x, a, b) / a;
  return 1.0 - bt * BetaCF(1.0 - x, b, a) / b;
}

int64_t BinomCoeff(int32_t n, int32_t k) noexcept {
  if (n < 0 || k < 0 || n < k) return 0;
  // Exact: after step i the value is C(n - k + i, i), and each step
  // multiplies by (n - k + i) / i with the common factor cancelled first,
  // so no intermediate exceeds the result.
  const int64_t kk = std::min<int64_t>(k, int64_t{n} - k);
  const int64_t base = int64_t{n} - kk;
  int64_t c = 1;
  for (int64_t i = 1; i <= kk; ++i) {
    const int64_t g = std::gcd(c, i);
    const int64_t factor = (base + i) / (i / g);
    int64_t next = 0;
    if (__builtin_mul_overflow(c / g, factor, &next)) return 0;
    c = next;
  }
  return c;
}

double LnBinomCoeff(int32_t n, int32_t k) noexcept {
  if (n < 0 || k < 0 || n < k) return -1.0;
  return LnGamma(n + 1.0) - LnGamma(k + 1.0) - LnGamma(static_cast<double>(n) - k + 1.0);
}

double FisherTransform(double r) {
  if (!(r > -1.0 && r < 1.0)) throw EORKStatisError("FisherTransform: argument out of range");
  return std::atanh(r);
}

double FisherTransformInv(double z) noexcept { return std::tanh(z); }

double ConfidenceInterval(double alpha, double s, int32_t n) noexcept {
  if (n < 1) return kNaN;
  return nDistriQuantile(1.0 - alpha / 2.0) * s / std::sqrt(static_cast<double>(n));
}

double CalcFishQ(double m1, double m2, double s1, double s2) noexcept {
  const double d = m1 - m2;
  return d * d / std::max(1e-6, s1 * s1 + s2 * s2);
}

double HyperGeoDistriDensity(double p, int32_t npop, int32_t nsample, int32_t k) {
  if (!(p >= 0.0 && p <= 1.0))
    throw EORKStatisError("HyperGeoDistriDensity: probability p must be between 0.0 and 1.0");
  const double np = std::nearbyint(p * npop);
  if (npop < 1) throw EORKStatisError("HyperGeoDistriDensity: npop must be greater than 0");
  if (nsample > npop)
    throw EORKStatisError("HyperGeoDistriDensity: nsample must not be greater than npop");
  if (nsample < 1) throw EORKStatisError("HyperGeoDistriDensity: nsample must not be less than 1");
  const double N = npop;
  const double n = nsample;
  const double kk = k;
  if (!(kk >= 0 && kk <= np && kk <= n && kk >= n - (N - np))) return 0.0;
  return std::exp(LnGamma(np + 1) - LnGamma(kk + 1) - LnGamma(np - kk + 1) + LnGamma(N - np + 1) -
                  LnGamma(n - kk + 1) - LnGamma(N - np - n + kk + 1) - LnGamma(N + 1) +
                  LnGamma(n + 1) + LnGamma(N - n + 1));
}

double WeibullDensity(double x, double beta, double eta) noexcept {
  if (!(x > 0.0 && beta > 0.0 && eta > 0.0)) return 0.0;
  // beta x^(beta-1) / eta^beta exp(-(x/eta)^beta) = (beta / x) z exp(-z)
  // with z = (x/eta)^beta, as one exponential, so that a huge power and a
  // vanishing exponential cannot meet as inf * 0.
  const double lx = std::log(x);
  const double t = beta * (lx - std::log(eta));  // ln z
  if (t > 700.0) return 0.0;                     // exp(-z) below any double
  return std::exp(std::log(beta) - lx + t - std::exp(t));
}

}  // namespace numbra
