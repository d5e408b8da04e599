// Number formatting and conversion: fixed, exponential and engineering
// texts, integer bases, bit patterns of floating numbers, Roman numerals,
// byte order, angles in degrees, minutes and seconds.
#include "ORK_math1.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace numbra {

namespace {

constexpr const char* kDegreeSign = "\xC2\xB0";  // U+00B0 in UTF-8
constexpr const char* kHexDigits = "0123456789ABCDEF";

// Common logarithm and floor with the semantics of the unit's scalar
// routines lg and IntNeg (ln x / ln 10; floor saturated to 32 bits, NaN 0).
// Only called here with finite positive arguments.
double Lg(double x) { return std::log(x) / std::log(10.0); }

int32_t FloorInt(double x) noexcept {
  if (std::isnan(x)) return 0;
  const double f = std::floor(x);
  if (f <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  if (f >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(f);
}

// The double nearest to 10^e (0 and infinity beyond the double range).
double NearestPow10(int32_t e) {
  if (e > 308) return std::numeric_limits<double>::infinity();
  if (e < -324) return 0.0;
  const std::string text = "1e" + std::to_string(e);
  double v = 0.0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  return r.ec == std::errc() ? v : 0.0;  // only 1e-324 underflows
}

int32_t FloorDiv(int32_t a, int32_t b) noexcept {
  int32_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

std::string PadLeft(std::string s, std::size_t width) {
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}

// Fixed-point text like corvel::strff(x, 1, decimals), but with up to 400
// decimals where strff stops at 100: engineering texts of numbers below the
// atto range need more than 100 decimals to keep their significant digits.
std::string FixedText(double x, int32_t decimals) {
  if (decimals <= 100) return corvel::strff(x, 1, decimals);
  const int d = std::min(decimals, 400);
  std::string buf(static_cast<std::size_t>(d) + 320, '\0');
  const int n = std::snprintf(buf.data(), buf.size(), "%.*f", d, x);
  buf.resize(static_cast<std::size_t>(std::max(0, n)));
  return buf;
}

// "NAN", "INF", "-INF".
std::string NonFiniteText(double x) { return corvel::strff(x, 0, 0); }

// The lowest `digits` digits of v in base 2^bits, leading zeros included.
std::string PowerOfTwoDigits(uint32_t v, int32_t digits, int bits) {
  std::string s(static_cast<std::size_t>(digits), '0');
  const uint32_t mask = (1U << bits) - 1U;
  for (int32_t i = digits - 1; i >= 0; --i) {
    s[static_cast<std::size_t>(i)] = kHexDigits[v & mask];
    v >>= bits;
  }
  return s;
}

int HexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Parses exactly `digits` hexadecimal digits; false for any other text.
bool ParseHexPattern(const std::string& text, std::size_t digits, uint64_t& out) noexcept {
  if (text.size() != digits) return false;
  uint64_t v = 0;
  for (const char c : text) {
    const int h = HexValue(c);
    if (h < 0) return false;
    v = (v << 4) | static_cast<uint64_t>(h);
  }
  out = v;
  return true;
}

template <class T>
T ReverseBytes(T x) noexcept {
  std::array<unsigned char, sizeof(T)> b{};
  std::memcpy(b.data(), &x, sizeof(T));
  std::reverse(b.begin(), b.end());
  T r;
  std::memcpy(&r, b.data(), sizeof(T));
  return r;
}

constexpr std::array<uint64_t, 9> kPow10 = {1,      10,      100,      1000,     10000,
                                            100000, 1000000, 10000000, 100000000};

// Whole degrees of an angle text from the sign of the angle and the
// magnitude of its whole part: "-0" for a negative angle above -1.
std::string DegreeText(bool negative, double whole_magnitude) {
  std::string s = negative ? "-" : "";
  s += corvel::strff(whole_magnitude, 1, 0);
  return s;
}

// The angle texts of the minute and second formats when the rounded angle
// fits a 64-bit count of its smallest unit: the count is split into degrees,
// minutes and seconds exactly, so a whole minute can never come out as
// 59' 60.00" through rounding errors of a floating division.
bool DegreeTextExact(double angle, int units_per_degree, int decimals, std::string& out) {
  const double v = angle * units_per_degree;  // minutes or seconds
  const double t = v * static_cast<double>(kPow10[static_cast<std::size_t>(decimals)]);
  if (!(std::fabs(t) < 0x1p53)) return false;
  const double r = std::round(t);  // halves away from zero
  const bool negative = r < 0;
  const auto count = static_cast<uint64_t>(std::fabs(r));
  const uint64_t scale = kPow10[static_cast<std::size_t>(decimals)];
  const uint64_t per_degree = static_cast<uint64_t>(units_per_degree) * scale;
  const uint64_t degrees = count / per_degree;
  const uint64_t rest = count % per_degree;
  out = DegreeText(negative, static_cast<double>(degrees));
  out += kDegreeSign;
  out += ' ';
  const int width = decimals + 3;
  if (units_per_degree == 60) {
    out += corvel::strff(static_cast<double>(rest) / static_cast<double>(scale), width, decimals);
    out += '\'';
  } else {
    const uint64_t per_minute = 60 * scale;
    out += corvel::strff(static_cast<double>(rest / per_minute), 2, 0);
    out += "' ";
    out += corvel::strff(static_cast<double>(rest % per_minute) / static_cast<double>(scale), width,
                         decimals);
    out += '"';
  }
  return true;
}

// Within 3E-12 of a whole number: that number.
double Snap(double a) noexcept {
  const double r = std::round(a);
  return std::fabs(a - r) < 3e-12 ? r : a;
}

// The same texts for angles too large for the exact split (a count of the
// last decimal unit beyond 2^53): rounded and split in floating point.
std::string DegreeTextFloat(double angle, int units_per_degree, int decimals) {
  const double scale = static_cast<double>(kPow10[static_cast<std::size_t>(decimals)]);
  double a = angle * units_per_degree;
  const double t = a * scale;
  if (std::isfinite(t)) a = std::round(t) / scale;
  a = Snap(a / units_per_degree);
  const double whole = std::trunc(a);
  const double frac = std::fabs(a) - std::fabs(whole);
  std::string out = DegreeText(a < 0, std::fabs(whole));
  out += kDegreeSign;
  out += ' ';
  const int width = decimals + 3;
  if (units_per_degree == 60) {
    out += corvel::strff(frac * 60, width, decimals);
    out += '\'';
  } else {
    const double m = Snap(frac * 60);
    out += corvel::strff(std::trunc(m), 2, 0);
    out += "' ";
    out += corvel::strff((m - std::trunc(m)) * 60, width, decimals);
    out += '"';
  }
  return out;
}

// Trunc and Frac of the angle conversions.
double IntPart(double x) noexcept { return std::trunc(x); }
double FracPart(double x) noexcept { return x - std::trunc(x); }

}  // namespace

// ---------------------------------------------------------------------------
// Fixed, exponential and engineering texts
// ---------------------------------------------------------------------------

std::string strf(double x, int32_t Width, int32_t Decimals) {
  if (Decimals != -2) return corvel::strff(x, Width, Decimals);
  const int width = std::clamp(Width, 0, 1024);
  if (!std::isfinite(x)) return PadLeft(NonFiniteText(x), static_cast<std::size_t>(width));
  // SciText ends in "E", the exponent sign and four digits.
  std::string s = corvel::SciText(x, width + 2);
  const std::size_t digits = s.size() - 4;
  const bool short_exponent = s[digits] == '0' && s[digits + 1] == '0';
  s.erase(digits, 2);
  if (!short_exponent) std::fill(s.begin(), s.end(), '*');
  return s;
}

std::string MakeEFormat(double x, int32_t Width, int32_t NDigits) {
  const int width = std::clamp(Width, 8, 40);
  const int ndigits = std::clamp(NDigits, 2, 15);
  if (!std::isfinite(x)) return PadLeft(NonFiniteText(x), static_cast<std::size_t>(width));
  // s: sign position, d, ".", ndigits - 1 digits, "E", sign, 4 digits.
  const std::string s = corvel::SciText(x, ndigits + 8);
  std::string r;
  r += s[0];
  r += "0.";
  r += s[1];
  r.append(s, 3, static_cast<std::size_t>(ndigits));  // further digits and "E"
  // The whole exponent (not only its last two digits, which would turn
  // 1E+200 into 0.1E+01); shifted by one for the mantissa in [0.1, 1).
  int e = std::atoi(s.c_str() + s.size() - 4);
  if (s[s.size() - 5] == '-') e = -e;
  if (x != 0) ++e;
  r += e < 0 ? '-' : '+';
  const int ae = std::abs(e);
  if (ae < 10) r += '0';
  r += std::to_string(ae);
  return PadLeft(r, static_cast<std::size_t>(width));
}

std::string EEngStr(double x, int32_t Digits) {
  const int32_t d = std::clamp(Digits, -9, 9);
  const int32_t p = d >= 2 ? d - 1 : (d <= -2 ? d + 1 : 0);  // -(|d| - 1) for d <= -2
  const int32_t ap = std::abs(p);
  if (!std::isfinite(x)) return NonFiniteText(x);
  if (x == 0) return corvel::strff(0.0, 1, ap);
  const double a = std::fabs(x);
  // Decimal exponent: ln a / ln 10 falls just below the integer at some
  // exact powers of ten (1000 gives 2.9999999999999996), which would write
  // 1000 as "1000" and 1E6 as "1000k"; correct it against the powers.
  int32_t e = FloorInt(Lg(a));
  if (NearestPow10(e + 1) <= a) ++e;
  if (NearestPow10(e) > a) --e;
  const int32_t g = std::clamp(FloorDiv(e, 3), -6, 4);
  const int32_t decimals = std::max(0, ap - (e - 3 * g));
  std::string text = FixedText(a / std::pow(10.0, 3 * g), decimals);
  if (g != 0) {
    static constexpr const char* kPrefix = "afpnum kMGT";
    const char letter = kPrefix[g + 6];
    const std::size_t point = text.find('.');
    if (p < 0 && point != std::string::npos) {
      text[point] = letter;
    } else {
      text += letter;
    }
  }
  if (x < 0) text.insert(0, 1, '-');
  return text;
}

// ---------------------------------------------------------------------------
// Integer bases
// ---------------------------------------------------------------------------

std::string Hex(int32_t Value, int32_t Digits) {
  return PowerOfTwoDigits(static_cast<uint32_t>(Value), std::clamp(Digits, 1, 8), 4);
}

std::string Octal(int32_t Value, int32_t Digits) {
  return PowerOfTwoDigits(static_cast<uint32_t>(Value), std::clamp(Digits, 1, 11), 3);
}

std::string Bin(int32_t Value, int32_t Digits) {
  return PowerOfTwoDigits(static_cast<uint32_t>(Value), std::clamp(Digits, 1, 32), 1);
}

std::string Decimal(int32_t Value, int32_t Digits) {
  const int32_t digits = std::clamp(Digits, 1, 255);
  uint64_t m = static_cast<uint64_t>(std::abs(static_cast<int64_t>(Value)));
  std::string s(static_cast<std::size_t>(digits), '0');
  for (int32_t i = digits - 1; i >= 0 && m != 0; --i) {
    s[static_cast<std::size_t>(i)] = static_cast<char>('0' + m % 10);
    m /= 10;
  }
  if (Value < 0) s.insert(0, 1, '-');
  return s;
}

// ---------------------------------------------------------------------------
// Bit patterns and byte order
// ---------------------------------------------------------------------------

std::string FPNumToHex(double x) {
  const auto bits = std::bit_cast<uint64_t>(x);
  std::string s(16, '0');
  for (int i = 0; i < 16; ++i)
    s[static_cast<std::size_t>(i)] = kHexDigits[(bits >> (60 - 4 * i)) & 15U];
  return s;
}

std::string FPNumToHex(float x) { return PowerOfTwoDigits(std::bit_cast<uint32_t>(x), 8, 4); }

double HexToDouble(const std::string& Text) {
  uint64_t bits = 0;
  if (!ParseHexPattern(Text, 16, bits))
    throw EORKError("HexToDouble: invalid hex string \"" + Text + "\"");
  return std::bit_cast<double>(bits);
}

float HexToSingle(const std::string& Text) {
  uint64_t bits = 0;
  if (!ParseHexPattern(Text, 8, bits))
    throw EORKError("HexToSingle: invalid hex string \"" + Text + "\"");
  return std::bit_cast<float>(static_cast<uint32_t>(bits));
}

double ConvertEndian(double x) noexcept { return ReverseBytes(x); }
float ConvertEndian(float x) noexcept { return ReverseBytes(x); }
uint16_t ConvertEndian(uint16_t x) noexcept { return ReverseBytes(x); }
int32_t ConvertEndian(int32_t x) noexcept { return ReverseBytes(x); }

// ---------------------------------------------------------------------------
// Integer texts
// ---------------------------------------------------------------------------

int32_t StrToIntDefault(const std::string& Text, int32_t Default) {
  if (!IsValidDecInt(Text)) return Default;
  int32_t pos = 1;
  return ScanDecimal(Text, pos);
}

std::string Roman(int32_t Value) {
  if (Value < 1 || Value >= 30000) return {};
  struct Numeral {
    int32_t value;
    const char* text;
  };
  static constexpr std::array<Numeral, 13> kTable = {{{1000, "M"},
                                                      {900, "CM"},
                                                      {500, "D"},
                                                      {400, "CD"},
                                                      {100, "C"},
                                                      {90, "XC"},
                                                      {50, "L"},
                                                      {40, "XL"},
                                                      {10, "X"},
                                                      {9, "IX"},
                                                      {5, "V"},
                                                      {4, "IV"},
                                                      {1, "I"}}};
  std::string s;
  int32_t rest = Value;
  for (const Numeral& n : kTable) {
    while (rest >= n.value) {
      s += n.text;
      rest -= n.value;
    }
  }
  return s;
}

// ---------------------------------------------------------------------------
// Angles
// ---------------------------------------------------------------------------

std::string DegreeToStr(double Angle, TDegreeFormat Format, int32_t Decimals) {
  const int decimals = std::clamp(Decimals, 0, 8);
  const int format = static_cast<int>(Format);
  if (format < 0 || format > 3) return {};
  if (!std::isfinite(Angle)) {
    std::string s = NonFiniteText(Angle);
    if (format != 3) s += kDegreeSign;
    return s;
  }
  switch (format) {
    case 0:
      return corvel::strff(Angle, 1, decimals) + kDegreeSign;
    case 3:
      return corvel::strff(Angle, 1, decimals);
    default: {
      const int units = format == 1 ? 60 : 3600;
      std::string out;
      if (DegreeTextExact(Angle, units, decimals, out)) return out;
      return DegreeTextFloat(Angle, units, decimals);
    }
  }
}

void ConvertDegrees(double& Deg, double& Min, double& Sec, TDegreeFormat InFormat,
                    TDegreeFormat OutFormat) {
  if (!(Min >= 0 && Min <= 60)) throw EORKMath1Error("ConvertDegrees: invalid range of minutes");
  if (!(Sec >= 0 && Sec <= 60)) throw EORKMath1Error("ConvertDegrees: invalid range of seconds");
  const int in = static_cast<int>(InFormat);
  const int out = static_cast<int>(OutFormat);
  // Minutes and seconds are magnitudes; the angle takes the sign of Deg, so
  // that -10 degrees 30 minutes is -10.5 (the conversions below write
  // -10.5 as -10 and 30, and -0.5 as -0.0 and 30).
  const double sign = std::signbit(Deg) ? -1.0 : 1.0;
  switch (out) {
    case 0:
      if (in == 1) {
        Deg = IntPart(Deg) + sign * (Min / 60);
      } else if (in == 2) {
        Deg = IntPart(Deg) + sign * (IntPart(Min) / 60 + Sec / 3600);
      } else if (in != 0) {
        return;
      }
      Min = 0;
      Sec = 0;
      return;
    case 1:
      if (in == 0) {
        Min = FracPart(std::fabs(Deg)) * 60;
        Deg = IntPart(Deg);
        Sec = 0;
      } else if (in == 1) {
        Sec = 0;
      } else if (in == 2) {
        Min = Min + Sec / 60;
        Sec = 0;
      }
      return;
    case 2:
      if (in == 0) {
        const double f = FracPart(std::fabs(Deg)) * 60;
        Deg = IntPart(Deg);
        Min = IntPart(f);
        Sec = FracPart(std::fabs(f)) * 60;
      } else if (in == 1) {
        Sec = FracPart(std::fabs(Min)) * 60;
        Min = IntPart(Min);
      }
      return;
    default:
      return;
  }
}

void RoundDegrees(int32_t& Deg, int32_t& Min, int32_t& Sec, bool Up) {
  if (Deg < 0 || Min < 0 || Sec < 0) {
    Deg = 0;
    Min = 0;
    Sec = 0;
    return;
  }
  Min = std::min(Min, 59);
  Sec = std::min(Sec, 59);
  static constexpr std::array<int64_t, 12> kSteps = {1, 2, 3, 5, 10, 15, 20, 30, 60, 90, 180, 360};
  // The angle in seconds: comparing whole numbers of seconds is exact where
  // fractions of a degree in floating point would not be.
  const int64_t v = int64_t{Deg} * 3600 + int64_t{Min} * 60 + Sec;
  // Largest of the first `count` steps with step * unit <= v (the first step
  // when none is), or the index of the smallest with step * unit >= v (-1
  // when none is).
  auto down = [&](int count, int64_t unit) {
    int64_t best = kSteps[0];
    for (int i = 0; i < count; ++i)
      if (kSteps[static_cast<std::size_t>(i)] * unit <= v)
        best = kSteps[static_cast<std::size_t>(i)];
    return static_cast<int32_t>(best);
  };
  auto up = [&](int count, int64_t unit) -> int64_t {
    for (int i = 0; i < count; ++i)
      if (kSteps[static_cast<std::size_t>(i)] * unit >= v)
        return kSteps[static_cast<std::size_t>(i)];
    return -1;
  };
  if (Deg >= 1) {
    Min = 0;
    Sec = 0;
    if (Up) {
      const int64_t s = up(12, 3600);
      Deg = static_cast<int32_t>(s < 0 ? kSteps[11] : s);
    } else {
      Deg = down(12, 3600);
    }
  } else if (Min >= 1) {
    Sec = 0;
    if (Up) {
      const int64_t s = up(8, 60);
      if (s < 0) {
        Deg = 1;
        Min = 0;
      } else {
        Min = static_cast<int32_t>(s);
      }
    } else {
      Min = down(9, 60);
    }
  } else if (Sec >= 1) {
    if (Up) {
      const int64_t s = up(8, 1);
      if (s < 0) {
        Min = 1;
        Sec = 0;
      } else {
        Sec = static_cast<int32_t>(s);
      }
    } else {
      Sec = down(9, 1);
    }
  }
}

}  // namespace numbra
