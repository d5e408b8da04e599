// Scalar functions of ORK_math1: rounding to the series 1, 2, 5 and axis
// scaling, polynomials, table interpolation, logarithms and trigonometry,
// angles, primes and fractions, random numbers, bounds and rectangles, bit
// operations, array extremes and moments, and TKahanSum.
#include "ORK_math1.h"
#include "foundation/stats_detail.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <numeric>
#include <utility>
#include <vector>

namespace numbra {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- powers of ten ---------------------------------------------------------

// 10^k for 0 <= k <= 22 is exactly representable (5^22 < 2^53), so scaling
// by these is correctly rounded. Beyond that std::pow is accurate to about
// an ulp.
constexpr std::array<double, 23> kExactPow10 = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

double Pow10(int k) {
  if (k >= 0 && k < static_cast<int>(kExactPow10.size()))
    return kExactPow10[static_cast<std::size_t>(k)];
  return std::pow(10.0, k);
}

// v * 10^k for |k| up to about 330. One multiplication or division by an
// exact power where possible (for |k| <= 22 the result is correctly rounded);
// split in two steps where 10^|k| itself would overflow.
double ScaleByPow10(double v, int k) {
  if (k > 300) return (v * 1e20) * Pow10(k - 20);
  if (k < -300) return (v / 1e20) / Pow10(-k - 20);
  return k >= 0 ? v * Pow10(k) : v / Pow10(-k);
}

// ---- rounding to 1, 2, 5 ---------------------------------------------------

enum class Round125Mode : uint8_t { kNearest, kUp, kDown };

// Rounds the mantissa m (in [1, 10]) to one of 1, 2, 5, 10.
double PickMantissa(double m, Round125Mode mode, bool negative) {
  // Rounding towards +infinity moves positive values up and negative values
  // towards zero; towards -infinity the opposite.
  const bool up = (mode == Round125Mode::kUp) != negative;
  if (mode == Round125Mode::kNearest) {
    if (m < 1.5) return 1.0;
    if (m < 3.0) return 2.0;
    if (m < 8.0) return 5.0;
    return 10.0;
  }
  if (up) {  // smallest of the series that is >= m
    if (m <= 1.0) return 1.0;
    if (m <= 2.0) return 2.0;
    if (m <= 5.0) return 5.0;
    return 10.0;
  }
  // largest of the series that is <= m
  if (m < 2.0) return 1.0;
  if (m < 5.0) return 2.0;
  if (m < 10.0) return 5.0;
  return 10.0;
}

double Round125Impl(double x, Round125Mode mode) {
  if (x == 0.0) return 0.0;
  if (!std::isfinite(x)) return x;
  const bool negative = x < 0.0;
  const double a = std::fabs(x);
  double l = std::log10(a);
  const double lr = std::nearbyint(l);
  // A decimal exponent within 1E-14 of an integer is taken as that integer:
  // the value then counts as an exact power of ten (mantissa 1), so that
  // 999.9999999999999 and 1000.0000000000001 both behave like 1000.
  const bool snapped = std::fabs(l - lr) < 1e-14;
  if (snapped) l = lr;
  const int e = static_cast<int>(std::floor(l));
  // The mantissa is formed by scaling with an exact power of ten rather than
  // as 10^(l - e): decimal values such as 2, 3 or 200 then give exactly 2, 3
  // or 2 and fall on the intended side of the class limits.
  const double m = snapped ? 1.0 : ScaleByPow10(a, -e);
  const double q = PickMantissa(m, mode, negative);
  const double r = ScaleByPow10(q, e);
  return negative ? -r : r;
}

// Truncates a double to a 32-bit integer, saturating; NaN gives 0.
int32_t SaturateToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

}  // namespace

int32_t IntPos(double x) noexcept { return SaturateToInt32(std::ceil(x)); }
int32_t IntNeg(double x) noexcept { return SaturateToInt32(std::floor(x)); }

double Round125(double x) noexcept { return Round125Impl(x, Round125Mode::kNearest); }
double RoundPos125(double x) noexcept { return Round125Impl(x, Round125Mode::kUp); }
double RoundNeg125(double x) noexcept { return Round125Impl(x, Round125Mode::kDown); }

void CalcScalePars(uint16_t NTicks, double X1, double X2, double& StartTick, double& TickDist,
                   uint16_t& NSubTicks) noexcept {
  if (X2 == X1) {
    StartTick = X1;
    TickDist = 0.0;
    NSubTicks = 1;
    return;
  }
  const double range = std::fabs(X2 - X1);
  if (!std::isfinite(X1) || !std::isfinite(X2) || !std::isfinite(range)) {
    StartTick = kNaN;
    TickDist = kNaN;
    NSubTicks = 1;
    return;
  }
  const double dir = X2 > X1 ? 1.0 : -1.0;
  if (NTicks == 0) {
    // Ticks at whole numbers, stepping towards X2 (also for a falling range).
    TickDist = dir;
    StartTick = std::trunc(X1) - dir;
    NSubTicks = range <= 10.0 ? 5 : 1;
  } else {
    // A spacing below the smallest double (a subnormal range over many
    // ticks) is taken as that smallest double, so the logarithm is finite.
    const double spacing = std::max(range / NTicks, std::numeric_limits<double>::denorm_min());
    double l = std::log10(spacing);
    double f = l - std::trunc(l);
    if (std::fabs(f) < 1e-10 || std::fabs(f) > 0.9999999999) {
      f = 0.0;
      l = std::nearbyint(l);
    }
    if (l < 0.0 && f != 0.0) l -= 1.0;
    if (f < 0.0) f += 1.0;
    // f is now the fractional part of the decimal logarithm of the raw
    // spacing, in [0, 1); it picks 1, 2 or 5 times 10^trunc(l). The power is
    // formed exactly (not as 10^(trunc(l) + log10 2)) so that the ticks are
    // exact decimal steps.
    const double l2 = std::log10(2.0);
    const double l5 = std::log10(5.0);
    double mult = 1.0;
    NSubTicks = 5;
    if (f < l2 + 1e-10) {
      mult = 1.0;
      NSubTicks = 5;
    }
    if (f >= l2 + 1e-10 && f < l5 + 1e-10) {
      mult = 2.0;
      NSubTicks = 4;
    }
    if (f >= l5 + 1e-10) {
      mult = 5.0;
      NSubTicks = 5;
    }
    // l lies in about [-325, 309] here, so the conversion is safe; a tick
    // distance that underflows to 0 becomes the smallest double.
    TickDist = dir * std::max(ScaleByPow10(mult, static_cast<int>(std::trunc(l))),
                              std::numeric_limits<double>::denorm_min());
    StartTick = TickDist * (std::trunc(X1 / TickDist) - 1.0);
  }
  // StartTick lies at most two tick distances before X1, so this loop runs a
  // few times; the cap and the no-progress test matter only where TickDist
  // is below the spacing of doubles near X1.
  for (int step = 0; step < 64 && std::fabs(TickDist) * 0.001 < dir * (X1 - StartTick); ++step) {
    const double next = StartTick + TickDist;
    if (next == StartTick) break;
    StartTick = next;
  }
}

// ---- polynomials -------------------------------------------------------------

namespace {
double PolynomialImpl(std::span<const double> Coeffs, int32_t Order, double x) {
  if (Order < 0 || static_cast<std::size_t>(Order) >= Coeffs.size())
    throw EORKMath1Error("Polynomial: invalid order of polynomial");
  // Powers accumulated term by term. A zero coefficient is skipped: 0 times a
  // power that has overflowed to infinity would otherwise turn the sum NaN.
  double sum = 0.0;
  double p = 1.0;
  for (int32_t i = 0; i <= Order; ++i) {
    const double c = Coeffs[static_cast<std::size_t>(i)];
    if (c != 0.0) sum += c * p;
    p *= x;
  }
  return sum;
}
}  // namespace

double Polynomial(std::span<const double> Coeffs, int32_t Order, double x) {
  return PolynomialImpl(Coeffs, Order, x);
}

double CenteredPolynomial(std::span<const double> Coeffs, int32_t Order, double Center, double x) {
  return PolynomialImpl(Coeffs, Order, x - Center);
}

// ---- interpolation -----------------------------------------------------------

double InterpolXYTable(double x, const TDouble2DArray& Table) {
  if (Table.empty() || Table[0].size() < 2)
    throw EORKMath1Error("InterpolXYTable: pivot array must contain at least 2 rows");
  if (Table.size() != 2)
    throw EORKMath1Error("InterpolXYTable: pivot array must contain 2 columns");
  const std::vector<double>& xs = Table[0];
  const std::vector<double>& ys = Table[1];
  if (ys.size() != xs.size())
    throw EORKMath1Error("InterpolXYTable: pivot columns differ in length");
  const std::size_t n = xs.size();
  std::size_t i = 0;
  if (x < xs[0]) {
    i = 1;
  } else if (x > xs[n - 1]) {
    i = n - 1;
  } else {
    for (std::size_t k = 1; k < n; ++k) {
      if (x <= xs[k]) {
        i = k;
        break;
      }
    }
    if (i == 0) return kNaN;  // NaN x
  }
  // At a pivot return its value exactly (the general formula would round).
  if (x == xs[i]) return ys[i];
  if (x == xs[i - 1]) return ys[i - 1];
  return ys[i] + (x - xs[i]) / (xs[i] - xs[i - 1]) * (ys[i] - ys[i - 1]);
}

namespace {
template <class T>
double InterpolTableImpl(double x, double XFirst, double XLast, std::span<const T> Table) {
  const std::size_t n = Table.size();
  if (n < 2) throw EORKMath1Error("InterpolTable: pivot array must contain at least 2 values");
  if (XLast == XFirst)
    throw EORKMath1Error("InterpolTable: specified range of pivot array is zero");
  // Integer tables are read as doubles, so differences never overflow.
  const auto at = [Table](std::size_t k) { return static_cast<double>(Table[k]); };
  const auto last = static_cast<double>(n - 1);
  // Position in units of the pivot spacing, measured from Table[0]; the sign
  // of XLast - XFirst takes care of a falling axis.
  const double p = (x - XFirst) / (XLast - XFirst) * last;
  if (p >= 0.0 && p <= last) {
    const double k = std::floor(p);
    const auto ki = static_cast<std::size_t>(k);
    if (ki >= n - 1) return at(n - 1);
    const double f = p - k;
    if (f == 0.0) return at(ki);
    return at(ki) + (at(ki + 1) - at(ki)) * f;
  }
  if (p < 0.0) {
    const double slope = at(1) - at(0);
    return slope == 0.0 ? at(0) : at(0) + slope * p;
  }
  if (p > last) {
    const double slope = at(n - 1) - at(n - 2);
    return slope == 0.0 ? at(n - 1) : at(n - 1) + slope * (p - last);
  }
  return kNaN;  // NaN position
}
}  // namespace

double InterpolTable(double x, double XFirst, double XLast, std::span<const double> Table) {
  return InterpolTableImpl(x, XFirst, XLast, Table);
}

double InterpolTable(double x, double XFirst, double XLast, std::span<const int32_t> Table) {
  return InterpolTableImpl(x, XFirst, XLast, Table);
}

double InterpolZofXYRect(double z1, double z2, double z3, double z4, double fx,
                         double fy) noexcept {
  const double a = z1 + fx * (z3 - z1);
  const double b = z2 + fx * (z4 - z2);
  return a + fy * (b - a);
}

// ---- logarithms, hyperbolic and trigonometric functions ----------------------

// log10 and log2 rather than ln(x) / ln(10): one rounding instead of three,
// and exact results for exact powers (lg(1000) is 3, not 2.9999999999999996).
double lg(double x) {
  if (!(x > 0.0)) throw EMathError("logarithm: invalid argument");
  return std::log10(x);
}

double ld(double x) {
  if (!(x > 0.0)) throw EMathError("logarithm: invalid argument");
  return std::log2(x);
}

// The library functions avoid the cancellation of (e^x - e^-x) / 2 and of
// 1 - 2 / (e^2x + 1) near 0 (relative error 1e-6 at x = 1e-10) and the early
// overflow of e^x near |x| = 710.
double sinh(double x) noexcept { return std::sinh(x); }
double cosh(double x) noexcept { return std::cosh(x); }
double tgh(double x) noexcept { return std::tanh(x); }

double tg(double x) {
  const double c = std::cos(x);
  if (c == 0.0) throw EMathError("tangens overflow");
  return std::sin(x) / c;
}

double cot(double x) {
  const double s = std::sin(x);
  if (s == 0.0) throw EMathError("cotangens overflow");
  return std::cos(x) / s;
}

// ---- angles ----------------------------------------------------------------------

namespace {
// Reduces a into [-half, half] where full = 2 half. fmod is exact, so the
// reduction adds no error of its own (frac(a / full) * full would lose the
// low digits of a / full).
double CanonicalAngle(double a, double full, double half) {
  if (!std::isfinite(a)) return kNaN;
  if (a > full || a < -full) a = std::fmod(a, full);
  if (a > half) a -= full;
  if (a < -half) a += full;
  return a;
}
}  // namespace

double CanonicalAngleRadians(double a) noexcept { return CanonicalAngle(a, kTwoPi, kPi); }
double CanonicalAngleDegrees(double a) noexcept { return CanonicalAngle(a, 360.0, 180.0); }

double AngleToXAxis(double x, double y) noexcept {
  if (std::isnan(x) || std::isnan(y)) return kNaN;
  double r = 0.0;
  if (x != 0.0) {
    r = std::atan(y / x);
    if (x < 0.0) r += kPi;
  } else {
    r = y > 0.0 ? kPi / 2.0 : 3.0 * kPi / 2.0;
  }
  if (r < 0.0) r += kTwoPi;
  if (r > kTwoPi) r -= kTwoPi;
  return r;
}

// ---- whole numbers ---------------------------------------------------------------

namespace {
// The first 4792 primes: every prime up to 46340 = trunc(sqrt(2^31)), so
// that trial division by the table decides every 32-bit integer. Built once
// by the sieve of Eratosthenes on first use (a function-local static, so the
// initialisation is thread-safe).
constexpr std::size_t kNumPrimes = 4792;
constexpr int32_t kPrimeLimit = 46340;

const std::vector<int32_t>& PrimeTable() {
  static const std::vector<int32_t> table = [] {
    std::vector<bool> composite(static_cast<std::size_t>(kPrimeLimit) + 1, false);
    std::vector<int32_t> primes;
    primes.reserve(kNumPrimes);
    for (int32_t i = 2; i <= kPrimeLimit; ++i) {
      if (composite[static_cast<std::size_t>(i)]) continue;
      primes.push_back(i);
      for (int64_t j = int64_t{i} * i; j <= kPrimeLimit; j += i)
        composite[static_cast<std::size_t>(j)] = true;
    }
    assert(primes.size() == kNumPrimes);
    return primes;
  }();
  return table;
}
}  // namespace

int32_t ListOfPrimes(int32_t i) noexcept {
  if (i < 1 || static_cast<std::size_t>(i) > kNumPrimes) return 0;
  return PrimeTable()[static_cast<std::size_t>(i) - 1];
}

bool IsPrime(int32_t n) noexcept {
  // Trial division by the primes up to sqrt(|n|) decides the same as
  // division by every integer from 2 up: a composite divisor has a prime
  // divisor below it. |n| is formed in 64 bits (|INT32_MIN| = 2^31).
  const int64_t m = n < 0 ? -int64_t{n} : int64_t{n};
  for (const int32_t p : PrimeTable()) {
    if (int64_t{p} * p > m) break;
    if (m % p == 0) return false;
  }
  return true;
}

TIntArray FindPrimeFactors(int32_t n) {
  TIntArray factors;
  if (n < 2) return factors;
  int32_t rem = n;
  for (const int32_t p : PrimeTable()) {
    // Once p^2 exceeds the remainder, the remainder is 1 or a prime: the
    // list is complete up to that last factor.
    if (int64_t{p} * p > rem) break;
    while (rem % p == 0) {
      factors.push_back(p);
      rem /= p;
    }
  }
  if (rem >= 2) factors.push_back(rem);
  return factors;
}

void CancelFraction(int32_t& Num, int32_t& Den) noexcept {
  if (Num == 0 || Den == 0) return;
  // Dividing both by their greatest common divisor gives the same result as
  // repeated passes of trial divisors, in O(log) steps instead of O(|Num|).
  // 64-bit magnitudes: |INT32_MIN| does not fit 32 bits.
  const int64_t a = Num;
  const int64_t b = Den;
  const int64_t g = std::gcd(a < 0 ? -a : a, b < 0 ? -b : b);
  if (g > 1) {
    Num = static_cast<int32_t>(a / g);
    Den = static_cast<int32_t>(b / g);
  }
}

double Factorial(int32_t n) {
  if (n < 0) throw EORKMath1Error("Factorial: negative argument");
  if (n > 1000) throw EORKMath1Error("Factorial: argument too big");
  double f = 1.0;
  for (int32_t i = 2; i <= n; ++i) f *= i;
  return f;
}

// ---- random numbers ----------------------------------------------------------------

namespace {
// State of the unit's generators (process-wide, unguarded).
bool g_gauss_pending = false;
double g_gauss_saved = 0.0;

// LongRand: three multiplicative congruential generators with prime moduli
// whose sum modulo 1 is returned (Wichmann and Hill's construction of a
// long-period uniform generator from short ones). With a prime modulus and a
// multiplier coprime to it, a non-zero seed never reaches 0; a zero seed
// would stay 0 for ever, so every seed is kept non-zero.
constexpr int32_t kLongM1 = 1001003;
constexpr int32_t kLongM2 = 990923;
constexpr int32_t kLongM3 = 1400423;
int32_t g_seed1 = 1;
int32_t g_seed2 = 1;
int32_t g_seed3 = 1;

int32_t NonZeroSeed(int64_t s, int32_t modulus) {
  const auto r = static_cast<int32_t>(s % modulus);
  return r == 0 ? 1 : r;
}

// Random() * 990000 rounded, halves to even.
int64_t StartSeed() { return static_cast<int64_t>(std::nearbyint(corvel::Random() * 990000.0)); }

// Start-up of the unit: no saved normal value, LongRand seeded from the
// runtime's uniform generator, no progress callback. The runtime library is
// loaded (and initialised) before numbra, so its generator is ready here.
struct Math1Startup {
  Math1Startup() noexcept {
    g_gauss_pending = false;
    g_seed1 = NonZeroSeed(StartSeed(), kLongM1);
    g_seed2 = NonZeroSeed(StartSeed(), kLongM2);
    g_seed3 = NonZeroSeed(StartSeed(), kLongM3);
    MathFeedBackProc = nullptr;
  }
};
const Math1Startup g_math1_startup;
}  // namespace

bool BRandom(double p) {
  if (p >= 1.0) return true;
  return p > Random();
}

double CRandom(double a, double b) { return a + b * std::tan((Random() - 0.5) * kPi); }

double GRandom() {
  if (g_gauss_pending) {
    g_gauss_pending = false;
    return g_gauss_saved;
  }
  // Marsaglia's polar method (Knuth, TAOCP vol. 2, 3.4.1 C): a point uniform
  // in the unit disc gives two independent normal values. A draw is accepted
  // with probability pi/4; the cap is never reached by a working generator.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const double a = 2.0 * Random() - 1.0;
    const double b = 2.0 * Random() - 1.0;
    const double s = a * a + b * b;
    if (s < 1.0 && s > 0.0) {
      const double f = std::sqrt(-2.0 * std::log(s) / s);
      g_gauss_saved = a * f;
      g_gauss_pending = true;
      return b * f;
    }
  }
  return 0.0;
}

double LongRand(int32_t Seed) {
  if (Seed != 0) {
    // Seeds derived with 32-bit two's-complement shifts (done on unsigned
    // values, where wrap-around is defined), magnitudes taken in 64 bits.
    const int32_t u = Seed % kLongM2;  // sign of Seed
    const auto uu = static_cast<uint32_t>(u);
    const auto v8 = static_cast<int32_t>((uu << 8U) ^ uu);
    const auto v16 = static_cast<int32_t>((uu << 16U) ^ uu);
    const auto mag = [](int32_t v) { return v < 0 ? -int64_t{v} : int64_t{v}; };
    g_seed1 = NonZeroSeed(mag(u), kLongM1);
    g_seed2 = NonZeroSeed(mag(v8) % kLongM2, kLongM2);
    g_seed3 = NonZeroSeed(mag(v16) % kLongM2, kLongM3);
  }
  g_seed1 = static_cast<int32_t>(int64_t{g_seed1} * 1187 % kLongM1);
  g_seed2 = static_cast<int32_t>(int64_t{g_seed2} * 983 % kLongM2);
  g_seed3 = static_cast<int32_t>(int64_t{g_seed3} * 1283 % kLongM3);
  const double r = static_cast<double>(g_seed1) / kLongM1 + static_cast<double>(g_seed2) / kLongM2 +
                   static_cast<double>(g_seed3) / kLongM3;
  return r - std::floor(r);
}

// ---- bounds and geometry ---------------------------------------------------------

bool WithinBounds(double x, double Lo, double Hi) noexcept {
  if (Lo > Hi) std::swap(Lo, Hi);
  return Lo <= x && x <= Hi;
}

namespace {
template <class T>
T Confine(T x, T Lo, T Hi) {
  if (Lo > Hi) std::swap(Lo, Hi);
  if (x < Lo) return Lo;
  if (x > Hi) return Hi;
  return x;
}

template <class R>
void OrderedBounds(const R& r, decltype(r.left)& l, decltype(r.left)& rt, decltype(r.left)& t,
                   decltype(r.left)& b) {
  l = std::min(r.left, r.right);
  rt = std::max(r.left, r.right);
  t = std::min(r.top, r.bottom);
  b = std::max(r.top, r.bottom);
}

template <class P, class R>
bool InRect(const P& p, const R& r) {
  decltype(r.left) l{}, rt{}, t{}, b{};
  OrderedBounds(r, l, rt, t, b);
  return l <= p.x && p.x <= rt && t <= p.y && p.y <= b;
}

template <class P, class R>
bool ConfineToRect(P& p, const R& r) {
  decltype(r.left) l{}, rt{}, t{}, b{};
  OrderedBounds(r, l, rt, t, b);
  const auto x = Confine(p.x, l, rt);
  const auto y = Confine(p.y, t, b);
  const bool moved = x != p.x || y != p.y;
  if (moved) {
    p.x = x;
    p.y = y;
  }
  return moved;
}
}  // namespace

double ConfineValue(double x, double Lo, double Hi) noexcept { return Confine(x, Lo, Hi); }
float ConfineValue(float x, float Lo, float Hi) noexcept { return Confine(x, Lo, Hi); }
int32_t ConfineValue(int32_t x, int32_t Lo, int32_t Hi) noexcept { return Confine(x, Lo, Hi); }

bool WithinRect(const TPointDouble& P, const TRectDouble& R) noexcept { return InRect(P, R); }
bool WithinRect(const TPoint& P, const TRect& R) noexcept { return InRect(P, R); }

bool ConfinePointToRect(TPointDouble& P, const TRectDouble& R) noexcept {
  // A NaN coordinate compares false everywhere and is left alone.
  return ConfineToRect(P, R);
}
bool ConfinePointToRect(TPoint& P, const TRect& R) noexcept { return ConfineToRect(P, R); }

int32_t DistFromRect(const TPoint& P, const TRect& R) noexcept {
  // 64-bit differences: two 32-bit coordinates can be 2^32 apart.
  const int64_t l = std::min(R.left, R.right);
  const int64_t r = std::max(R.left, R.right);
  const int64_t t = std::min(R.top, R.bottom);
  const int64_t b = std::max(R.top, R.bottom);
  const int64_t x = P.x;
  const int64_t y = P.y;
  if (l <= x && x <= r && t <= y && y <= b) return 0;
  double d = 0.0;
  if (l < x && x < r) {
    d = static_cast<double>(y < t ? t - y : y - b);
  } else if (t < y && y < b) {
    d = static_cast<double>(x < l ? l - x : x - r);
  } else {
    d = std::numeric_limits<double>::infinity();
    for (const int64_t cx : {l, r})
      for (const int64_t cy : {t, b})
        d = std::min(d, std::hypot(static_cast<double>(x - cx), static_cast<double>(y - cy)));
    d = std::nearbyint(d);  // halves to even
  }
  return d >= static_cast<double>(std::numeric_limits<int32_t>::max())
             ? std::numeric_limits<int32_t>::max()
             : static_cast<int32_t>(d);
}

// hypot scales internally: no overflow of the squares above 1e154 and no
// underflow below 1e-154.
double EuclideanDistance(const TPointDouble& P1, const TPointDouble& P2) noexcept {
  return std::hypot(P1.x - P2.x, P1.y - P2.y);
}
double EuclideanDistance(double x1, double y1, double x2, double y2) noexcept {
  return std::hypot(x1 - x2, y1 - y2);
}

double Min(double a, double b) noexcept { return b < a ? b : a; }
int32_t Min(int32_t a, int32_t b) noexcept { return b < a ? b : a; }
double Max(double a, double b) noexcept { return a >= b ? a : b; }
int32_t Max(int32_t a, int32_t b) noexcept { return a >= b ? a : b; }
double Signum(double x) noexcept { return x < 0.0 ? -1.0 : 1.0; }

// ---- bit operations ------------------------------------------------------------------

namespace {
constexpr std::array<uint8_t, 256> kBitReversed = [] {
  std::array<uint8_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = 0;
    for (unsigned bit = 0; bit < 8; ++bit)
      if ((i >> bit) & 1U) r |= 0x80U >> bit;
    t[i] = static_cast<uint8_t>(r);
  }
  return t;
}();
}  // namespace

bool CheckPowerOfTwo(uint32_t n) noexcept { return (n & (n - 1U)) == 0; }
uint8_t BitReversal(uint8_t b) noexcept { return kBitReversed[b]; }
uint8_t DecodeBit(int32_t i) noexcept {
  return (i >= 0 && i <= 7) ? static_cast<uint8_t>(1U << static_cast<unsigned>(i)) : 0;
}
uint32_t DecodeLong(int32_t i) noexcept {
  return (i >= 0 && i <= 31) ? (uint32_t{1} << static_cast<unsigned>(i)) : 0U;
}
int32_t EncodeLong(uint32_t x) noexcept { return x == 0 ? 31 : std::countr_zero(x); }
int32_t CountBits(uint8_t b) noexcept { return std::popcount(b); }
uint16_t GrayCode(uint16_t w) noexcept { return static_cast<uint16_t>(w ^ (w >> 1U)); }

// ---- arrays ------------------------------------------------------------------------------

namespace {
bool IndexIn(int32_t i, std::size_t size) { return i >= 0 && static_cast<std::size_t>(i) < size; }

// Checks the block Lo1..Hi1 x Lo2..Hi2 of a 2-D array: every bound inside the
// array (inner bounds against the first row) and every row of the block long
// enough for the inner bounds, so a ragged array is never overrun.
bool ValidBlock(const TDouble2DArray& Data, int32_t Lo1, int32_t Lo2, int32_t Hi1, int32_t Hi2) {
  if (Data.empty()) return false;
  if (!IndexIn(Lo1, Data.size()) || !IndexIn(Hi1, Data.size())) return false;
  if (!IndexIn(Lo2, Data[0].size()) || !IndexIn(Hi2, Data[0].size())) return false;
  const auto need = static_cast<std::size_t>(std::max(Lo2, Hi2)) + 1;
  for (int32_t i = Lo1; i <= Hi1; ++i)
    if (Data[static_cast<std::size_t>(i)].size() < need) return false;
  return true;
}

// Extremes update shared by both forms. The first non-NaN value sets both
// extremes, so values equal to +-uc_MaxDouble or infinite get their own
// index instead of leaving the start value in place; after that a strict
// comparison keeps the first of equal extremes.
struct Extremes {
  double& min;
  double& max;
  bool any = false;
  template <class Ix>
  void Take(double v, Ix ix, Ix& min_ix, Ix& max_ix) {
    if (std::isnan(v)) return;
    if (!any) {
      any = true;
      min = max = v;
      min_ix = max_ix = ix;
      return;
    }
    if (v < min) {
      min = v;
      min_ix = ix;
    }
    if (v > max) {
      max = v;
      max_ix = ix;
    }
  }
};
}  // namespace

int32_t MinMaxOfArray(std::span<const double> Data, int32_t Lo, int32_t Hi, double& Min,
                      double& Max, int32_t& MinIx, int32_t& MaxIx) {
  Min = uc_MaxDouble;
  Max = -uc_MaxDouble;
  MinIx = 0;
  MaxIx = 0;
  if (!IndexIn(Lo, Data.size()) || !IndexIn(Hi, Data.size())) return -1;
  Extremes ext{Min, Max};
  for (int32_t i = Lo; i <= Hi; ++i) ext.Take(Data[static_cast<std::size_t>(i)], i, MinIx, MaxIx);
  return 0;
}

int32_t MinMaxOfArray(const TDouble2DArray& Data, int32_t Lo1, int32_t Lo2, int32_t Hi1,
                      int32_t Hi2, double& Min, double& Max, int32_t& MinIx1, int32_t& MinIx2,
                      int32_t& MaxIx1, int32_t& MaxIx2) {
  Min = uc_MaxDouble;
  Max = -uc_MaxDouble;
  MinIx1 = MinIx2 = MaxIx1 = MaxIx2 = 0;
  if (!ValidBlock(Data, Lo1, Lo2, Hi1, Hi2)) return -1;
  Extremes ext{Min, Max};
  std::pair<int32_t, int32_t> min_ix{0, 0};
  std::pair<int32_t, int32_t> max_ix{0, 0};
  for (int32_t i = Lo1; i <= Hi1; ++i) {
    const std::vector<double>& row = Data[static_cast<std::size_t>(i)];
    for (int32_t j = Lo2; j <= Hi2; ++j)
      ext.Take(row[static_cast<std::size_t>(j)], std::pair{i, j}, min_ix, max_ix);
  }
  if (ext.any) {
    MinIx1 = min_ix.first;
    MinIx2 = min_ix.second;
    MaxIx1 = max_ix.first;
    MaxIx2 = max_ix.second;
  }
  return 0;
}

int32_t MeanVarOfArray(std::span<const double> Data, int32_t Lo, int32_t Hi, double& Mean,
                       double& Variance) {
  Mean = 0.0;
  Variance = 0.0;
  if (!IndexIn(Lo, Data.size()) || !IndexIn(Hi, Data.size()) || Lo > Hi) return -1;
  const detail::MeanSSD r = detail::MeanAndSSD(
      Data.subspan(static_cast<std::size_t>(Lo), static_cast<std::size_t>(Hi - Lo) + 1));
  Mean = r.mean;
  Variance = r.n < 3 ? 1.0 : r.Variance(1);
  return 0;
}

int32_t MeanVarOfArray(const TDouble2DArray& Data, int32_t Lo1, int32_t Lo2, int32_t Hi1,
                       int32_t Hi2, double& Mean, double& Variance) {
  Mean = 0.0;
  Variance = 0.0;
  if (Lo1 > Hi1 || Lo2 > Hi2 || !ValidBlock(Data, Lo1, Lo2, Hi1, Hi2)) return -1;
  const detail::MeanSSD r = detail::MeanAndSSDVisit([&](auto&& f) {
    for (int32_t i = Lo1; i <= Hi1; ++i) {
      const std::vector<double>& row = Data[static_cast<std::size_t>(i)];
      for (int32_t j = Lo2; j <= Hi2; ++j) f(row[static_cast<std::size_t>(j)]);
    }
  });
  Mean = r.mean;
  Variance = r.n < 3 ? 1.0 : r.Variance(1);
  return 0;
}

// ---- TKahanSum -------------------------------------------------------------------------

TKahanSum::TKahanSum(TComponent* AOwner) : TComponent(AOwner) { Reset(); }

TKahanSum::~TKahanSum() = default;

void TKahanSum::Reset() noexcept {
  cps = 0.0;
  FSum = 0.0;
}

void TKahanSum::Add(double ANumber) noexcept {
  // Kahan's compensated step (Higham, sec. 4.3): cps picks up the low-order
  // part of y that the rounding of Sum + y dropped.
  const double y = ANumber - cps;
  const double t = FSum + y;
  cps = (t - FSum) - y;
  FSum = t;
  // (inf - Sum) - y is NaN or infinite: drop it, or the next addend would
  // turn an infinite sum into NaN.
  if (!std::isfinite(t)) cps = 0.0;
}

void TKahanSum::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TKahanSum*>(Source)) {
    cps = src->cps;
    FSum = src->FSum;
    return;
  }
  TPersistent::Assign(Source);
}

void TKahanSum::AssignTo(TPersistent* Dest) {
  if (dynamic_cast<TKahanSum*>(Dest) != nullptr) {
    Dest->Assign(this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

}  // namespace numbra
