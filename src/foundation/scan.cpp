// Scanners that read numbers, angles and date-times back from text, and the
// validity checks built on them.
#include "ORK_math1.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace numbra {

namespace {

constexpr std::string_view kDegreeSign = "\xC2\xB0";

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }
bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

char Lower(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Index of the first character to read (blanks skipped), or false when Pos
// does not lie on a character of Text.
bool Start(std::string_view text, int32_t pos, std::size_t& i) noexcept {
  if (pos < 1 || static_cast<std::size_t>(pos) > text.size()) return false;
  i = static_cast<std::size_t>(pos) - 1;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return true;
}

// Moves Pos just past the last character read (index end - 1).
bool Finish(std::size_t end, int32_t& pos) noexcept {
  if (end >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return false;
  pos = static_cast<int32_t>(end + 1);
  return true;
}

// True when `scan` started at position 1 reads all of Text.
template <class Scan>
bool ReadsWhole(const std::string& text, Scan scan) {
  if (text.empty() || text.size() >= static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
    return false;
  int32_t pos = 1;
  scan(text, pos);
  return pos == static_cast<int32_t>(text.size()) + 1;
}

// ---- integers -------------------------------------------------------------

int DigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return 99;
}

// Digits of `base` at text[i..]; fails when there are none or the value
// exceeds `limit`.
bool ReadUnsigned(std::string_view text, std::size_t& i, int base, uint64_t limit,
                  uint64_t& value) noexcept {
  std::size_t j = i;
  uint64_t v = 0;
  while (j < text.size()) {
    const int d = DigitValue(text[j]);
    if (d >= base) break;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (v > limit) return false;
    ++j;
  }
  if (j == i) return false;
  i = j;
  value = v;
  return true;
}

int32_t ScanPattern(const std::string& text, int32_t& pos, int base) noexcept {
  std::size_t i = 0;
  uint64_t v = 0;
  if (!Start(text, pos, i) || !ReadUnsigned(text, i, base, 0xFFFFFFFFULL, v)) return 0;
  if (!Finish(i, pos)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(v));
}

// ---- decimal numbers ---------------------------------------------------------

// The parts of a number as read: digits before and after the separator and
// the decimal exponent (engineering prefix included).
struct NumberParts {
  bool negative = false;
  std::string_view int_digits;
  std::string_view frac_digits;
  int64_t exponent = 0;
};

bool IsSeparator(char c, TDecPSep sep) noexcept {
  switch (sep) {
    case TDecPSep::dpsPoint:
      return c == '.';
    case TDecPSep::dpsComma:
      return c == ',';
    case TDecPSep::dpsBoth:
      return c == '.' || c == ',';
  }
  return false;
}

// Exponent of the engineering prefix letter, or false.
bool PrefixExponent(char c, int64_t& e) noexcept {
  static constexpr std::string_view kLetters = "afpnum kMGT";
  const std::size_t k = kLetters.find(c);
  if (k == std::string_view::npos || c == ' ') return false;
  e = (static_cast<int64_t>(k) - 6) * 3;
  return true;
}

std::string_view DigitRun(std::string_view text, std::size_t& j) noexcept {
  const std::size_t from = j;
  while (j < text.size() && IsDigit(text[j])) ++j;
  return text.substr(from, j - from);
}

// Reads [sign] digits [sep [digits]] | [sign] sep digits, then an exponent or
// (engineering) a prefix letter. Exponents saturate far outside the double
// range, so a long run of exponent digits cannot overflow.
bool ReadNumber(std::string_view text, std::size_t& i, TDecPSep sep, bool engineering,
                bool allow_exponent, NumberParts& out) noexcept {
  std::size_t j = i;
  NumberParts n;
  if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
    n.negative = text[j] == '-';
    ++j;
  }
  n.int_digits = DigitRun(text, j);
  bool had_separator = false;
  if (j < text.size() && IsSeparator(text[j], sep)) {
    std::size_t k = j + 1;
    const std::string_view frac = DigitRun(text, k);
    if (!n.int_digits.empty() || !frac.empty()) {
      had_separator = true;
      n.frac_digits = frac;
      j = k;
    }
  }
  if (n.int_digits.empty() && n.frac_digits.empty()) return false;
  int64_t prefix = 0;
  if (engineering && j < text.size() && PrefixExponent(text[j], prefix)) {
    n.exponent = prefix;
    ++j;
    if (!had_separator) n.frac_digits = DigitRun(text, j);  // "4k7"
  } else if (allow_exponent && j < text.size() && (text[j] == 'e' || text[j] == 'E')) {
    std::size_t k = j + 1;
    bool negative_exponent = false;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) {
      negative_exponent = text[k] == '-';
      ++k;
    }
    const std::string_view digits = DigitRun(text, k);
    if (!digits.empty()) {
      int64_t e = 0;
      for (const char c : digits) e = std::min<int64_t>(e * 10 + (c - '0'), 1000000000);
      n.exponent = negative_exponent ? -e : e;
      j = k;
    }
  }
  out = n;
  i = j;
  return true;
}

// The correctly rounded double of the parts; false when it lies beyond the
// double range. A value below the smallest subnormal gives a signed zero.
bool PartsValue(const NumberParts& n, double& value) {
  // Position of the leading nonzero digit as a decimal exponent.
  std::size_t lead = n.int_digits.find_first_not_of('0');
  int64_t lead_exponent = 0;
  if (lead != std::string_view::npos) {
    lead_exponent = static_cast<int64_t>(n.int_digits.size() - lead) - 1;
  } else {
    lead = n.frac_digits.find_first_not_of('0');
    if (lead == std::string_view::npos) {
      value = n.negative ? -0.0 : 0.0;
      return true;
    }
    lead_exponent = -static_cast<int64_t>(lead) - 1;
  }
  lead_exponent += n.exponent;
  if (lead_exponent > 400) return false;
  if (lead_exponent < -400) {
    value = n.negative ? -0.0 : 0.0;
    return true;
  }
  std::string canonical;
  canonical.reserve(n.int_digits.size() + n.frac_digits.size() + 24);
  if (n.negative) canonical += '-';
  canonical += n.int_digits.empty() ? std::string_view("0") : n.int_digits;
  canonical += '.';
  canonical += n.frac_digits;
  canonical += 'e';
  canonical += std::to_string(n.exponent);
  double v = 0;
  const auto r = std::from_chars(canonical.data(), canonical.data() + canonical.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    if (lead_exponent > 0) return false;
    v = n.negative ? -0.0 : 0.0;
  } else if (r.ec != std::errc()) {
    return false;
  }
  value = v;
  return true;
}

bool ScanNumber(std::string_view text, int32_t& pos, TDecPSep sep, bool engineering,
                double& value) {
  std::size_t i = 0;
  NumberParts parts;
  double v = 0;
  if (!Start(text, pos, i) || !ReadNumber(text, i, sep, engineering, true, parts) ||
      !PartsValue(parts, v) || !Finish(i, pos))
    return false;
  value = v;
  return true;
}

// ---- angles -----------------------------------------------------------------

// An unsigned decimal number without exponent; `whole` tells whether it had
// no fraction.
bool ReadPlain(std::string_view text, std::size_t& i, double& value, bool& whole) {
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) return false;
  std::size_t j = i;
  NumberParts parts;
  if (!ReadNumber(text, j, TDecPSep::dpsPoint, false, false, parts)) return false;
  double v = 0;
  if (!PartsValue(parts, v)) return false;
  whole = parts.frac_digits.find_first_not_of('0') == std::string_view::npos;
  value = v;
  i = j;
  return true;
}

// Blanks, a number and `mark`; 0 when absent, 1 when read, -1 when the part
// is complete but its value lies outside 0..60.
int ReadAnglePart(std::string_view text, std::size_t& i, char mark, double& value, bool& whole) {
  std::size_t j = i;
  while (j < text.size() && IsBlank(text[j])) ++j;
  double v = 0;
  bool w = false;
  if (!ReadPlain(text, j, v, w) || j >= text.size() || text[j] != mark) return 0;
  if (!(v >= 0 && v <= 60)) return -1;
  i = j + 1;
  value = v;
  whole = w;
  return 1;
}

// ---- date and time -------------------------------------------------------------

constexpr std::array<std::string_view, 12> kMonthsEn = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 12> kMonthsDe = {
    "Januar", "Februar", "M\xC3\xA4rz", "April",   "Mai",      "Juni",
    "Juli",   "August",  "September",   "Oktober", "November", "Dezember"};
constexpr std::array<std::string_view, 12> kMonthsDeShort = {
    "Jan", "Feb", "M\xC3\xA4r", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};

bool MatchesNoCase(std::string_view text, std::size_t i, std::string_view word) noexcept {
  if (text.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Lower(text[i + k]) != Lower(word[k])) return false;
  return true;
}

// Month name at text[i..]: full names or abbreviations of the language.
int ReadMonthName(std::string_view text, std::size_t& i, TLanguage language, bool full) {
  for (int m = 0; m < 12; ++m) {
    std::string_view name;
    if (language == TLanguage::lgGerman) {
      name = full ? kMonthsDe[static_cast<std::size_t>(m)]
                  : kMonthsDeShort[static_cast<std::size_t>(m)];
    } else {
      name = kMonthsEn[static_cast<std::size_t>(m)];
      if (!full) name = name.substr(0, 3);
    }
    if (MatchesNoCase(text, i, name)) {
      i += name.size();
      return m + 1;
    }
  }
  return 0;
}

// Between min_digits and max_digits decimal digits.
bool ReadField(std::string_view text, std::size_t& i, int min_digits, int max_digits,
               int& value) noexcept {
  int v = 0;
  int n = 0;
  while (n < max_digits && i + static_cast<std::size_t>(n) < text.size() &&
         IsDigit(text[i + static_cast<std::size_t>(n)])) {
    v = v * 10 + (text[i + static_cast<std::size_t>(n)] - '0');
    ++n;
  }
  if (n < min_digits) return false;
  i += static_cast<std::size_t>(n);
  value = v;
  return true;
}

bool IsLeapYear(int y) noexcept { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) noexcept {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (m == 2 && IsLeapYear(y)) ? 29 : kDays[static_cast<std::size_t>(m - 1)];
}

// Days from 1970-01-01 of a proleptic Gregorian date (days_from_civil of
// H. Hinnant's "chrono-compatible low-level date algorithms").
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) noexcept {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

enum Field : unsigned {
  kYear = 1,
  kMonth = 2,
  kDay = 4,
  kHour = 8,
  kMinute = 16,
  kSecond = 32,
  kMilli = 64
};

bool ReadDateTime(std::string_view text, std::size_t& i, std::string_view format,
                  TLanguage language, double& result) {
  std::size_t f = 0;
  while (f < format.size() && IsBlank(format[f])) ++f;  // leading blanks are skipped in Text too
  if (f == format.size()) return false;
  int year = 0;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milli = 0;
  unsigned seen = 0;
  std::size_t j = i;
  auto note = [&seen](unsigned field) {
    if ((seen & field) != 0) return false;
    seen |= field;
    return true;
  };
  while (f < format.size()) {
    const char c = Lower(format[f]);
    std::size_t run = 1;
    if (c == 'd' || c == 'm' || c == 'y' || c == 'h' || c == 'n' || c == 's' || c == 'z') {
      while (f + run < format.size() && Lower(format[f + run]) == c) ++run;
      f += run;
      bool ok = false;
      switch (c) {
        case 'd':
          ok = run <= 2 && note(kDay) && ReadField(text, j, run == 1 ? 1 : 2, 2, day);
          break;
        case 'm':
          if (run <= 2) {
            ok = note(kMonth) && ReadField(text, j, run == 1 ? 1 : 2, 2, month);
          } else if (run <= 4) {
            ok = note(kMonth) && (month = ReadMonthName(text, j, language, run == 4)) != 0;
          }
          break;
        case 'y':
          if (run == 2) {
            ok = note(kYear) && ReadField(text, j, 2, 2, year);
            year += year < 50 ? 2000 : 1900;
          } else if (run == 4) {
            ok = note(kYear) && ReadField(text, j, 4, 4, year) && year >= 1;
          }
          break;
        case 'h':
          ok = run <= 2 && note(kHour) && ReadField(text, j, run == 1 ? 1 : 2, 2, hour);
          break;
        case 'n':
          ok = run <= 2 && note(kMinute) && ReadField(text, j, run == 1 ? 1 : 2, 2, minute);
          break;
        case 's':
          ok = run <= 2 && note(kSecond) && ReadField(text, j, run == 1 ? 1 : 2, 2, second);
          break;
        default:  // 'z'
          ok = (run == 1 || run == 3) && note(kMilli) &&
               ReadField(text, j, run == 1 ? 1 : 3, 3, milli);
          break;
      }
      if (!ok) return false;
    } else if (IsBlank(c)) {
      if (j >= text.size() || !IsBlank(text[j])) return false;
      while (j < text.size() && IsBlank(text[j])) ++j;
      while (f < format.size() && IsBlank(format[f])) ++f;
    } else {
      if (j >= text.size() || Lower(text[j]) != c) return false;
      ++j;
      ++f;
    }
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  double days = 0;
  if ((seen & (kYear | kMonth | kDay)) != 0) {
    if ((seen & kYear) == 0 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
      return false;
    days = static_cast<double>(DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30));
  }
  const double seconds = hour * 3600.0 + minute * 60.0 + second + milli / 1000.0;
  result = days + seconds / 86400.0;
  i = j;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public scanners
// ---------------------------------------------------------------------------

int32_t ScanHex(const std::string& Text, int32_t& Pos) { return ScanPattern(Text, Pos, 16); }
int32_t ScanOctal(const std::string& Text, int32_t& Pos) { return ScanPattern(Text, Pos, 8); }
int32_t ScanBin(const std::string& Text, int32_t& Pos) { return ScanPattern(Text, Pos, 2); }

int32_t ScanDecimal(const std::string& Text, int32_t& Pos) {
  std::size_t i = 0;
  if (!Start(Text, Pos, i)) return 0;
  bool negative = false;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) {
    negative = Text[i] == '-';
    ++i;
  }
  uint64_t v = 0;
  const uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
  if (!ReadUnsigned(Text, i, 10, limit, v) || !Finish(i, Pos)) return 0;
  return static_cast<int32_t>(negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v));
}

bool ScanDegrees(const std::string& Text, int32_t& Pos, bool Flag, double& Result) {
  const std::string_view text = Text;
  std::size_t i = 0;
  if (!Start(text, Pos, i)) return false;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  double degrees = 0;
  bool whole = false;
  if (!ReadPlain(text, i, degrees, whole)) return false;
  double angle = degrees;
  if (text.substr(i, kDegreeSign.size()) == kDegreeSign) {
    i += kDegreeSign.size();
    double minutes = 0;
    bool whole_minutes = false;
    int got = whole ? ReadAnglePart(text, i, '\'', minutes, whole_minutes) : 0;
    if (got < 0) return false;
    if (got > 0) {
      angle += minutes / 60;
      double seconds = 0;
      bool whole_seconds = false;
      got = whole_minutes ? ReadAnglePart(text, i, '"', seconds, whole_seconds) : 0;
      if (got < 0) return false;
      if (got > 0) angle += seconds / 3600;
    }
  } else if (!Flag) {
    return false;
  }
  if (!std::isfinite(angle) || !Finish(i, Pos)) return false;
  Result = negative ? -angle : angle;
  return true;
}

double ScanDateTime(const std::string& Text, const std::string& Format, TLanguage Language,
                    int32_t& Pos) {
  std::size_t i = 0;
  double v = 0;
  if (!Start(Text, Pos, i) || !ReadDateTime(Text, i, Format, Language, v) || !Finish(i, Pos))
    return 0;
  return v;
}

double ScanFPNum(const std::string& Text, bool Flag, int32_t Count, int32_t& Pos) {
  std::string_view text = Text;
  if (Count > 0 && Pos >= 1) {
    const std::size_t end = static_cast<std::size_t>(Pos) - 1 + static_cast<std::size_t>(Count);
    if (end < text.size()) text = text.substr(0, end);
  }
  double v = 0;
  return ScanNumber(text, Pos, TDecPSep::dpsPoint, Flag, v) ? v : 0.0;
}

bool IsValidDouble(const std::string& Text, bool Flag, TDecPSep DecPSep) {
  return ReadsWhole(Text, [&](const std::string& t, int32_t& pos) {
    double v = 0;
    ScanNumber(t, pos, DecPSep, Flag, v);
  });
}

bool IsValidFPNum(const std::string& Text, TDecPSep DecPSep) {
  return IsValidDouble(Text, false, DecPSep);
}

bool IsValidHex(const std::string& Text) { return ReadsWhole(Text, ScanHex); }
bool IsValidOct(const std::string& Text) { return ReadsWhole(Text, ScanOctal); }
bool IsValidBin(const std::string& Text) { return ReadsWhole(Text, ScanBin); }
bool IsValidDecInt(const std::string& Text) { return ReadsWhole(Text, ScanDecimal); }

}  // namespace numbra
