// Scanners and validity checks, and the round trip "format, then scan back"
// for every number format the unit writes.
#include "ORK_math1.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

const std::string kDeg = "\xC2\xB0";

// One scanner call: the value and where Pos ends (the start when it failed).
struct IntCase {
  std::string text;
  int32_t pos;
  int32_t want;
  int32_t want_pos;
};

void CheckIntScanner(int32_t (*scan)(const std::string&, int32_t&), const char* name,
                     const std::vector<IntCase>& cases) {
  for (const IntCase& c : cases) {
    int32_t pos = c.pos;
    EXPECT_EQ(scan(c.text, pos), c.want) << name << " \"" << c.text << "\" at " << c.pos;
    EXPECT_EQ(pos, c.want_pos) << name << " \"" << c.text << "\" at " << c.pos;
  }
}

std::vector<int32_t> SomeIntegers() {
  std::vector<int32_t> v = {0, 1, -1, 7, -7, INT32_MAX, INT32_MIN, 255, 256, -256};
  std::mt19937 rng(99);
  for (int i = 0; i < 2000; ++i) v.push_back(static_cast<int32_t>(rng()));
  return v;
}

// Doubles of every magnitude and both signs.
std::vector<double> SomeDoubles(int n, double lo_exp, double hi_exp, uint32_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> e(lo_exp, hi_exp);
  std::uniform_real_distribution<double> m(1.0, 10.0);
  std::vector<double> v;
  for (int i = 0; i < n; ++i) {
    const double x = m(rng) * std::pow(10.0, std::floor(e(rng)));
    v.push_back((rng() & 1U) ? -x : x);
  }
  return v;
}

}  // namespace

// ---- integer scanners -------------------------------------------------------------

TEST(IntegerScanners, ValuesPositionsAndFailures) {
  CheckIntScanner(ScanHex, "ScanHex",
                  {{"FF", 1, 255, 3},
                   {"  ff zz", 1, 255, 5},
                   {"a:b", 3, 11, 4},
                   {"12G", 1, 0x12, 3},
                   {"FFFFFFFF", 1, -1, 9},
                   {"000000000001", 1, 1, 13},
                   {"100000000", 1, 0, 1},  // beyond 32 bits: nothing read
                   {"xFF", 1, 0, 1},
                   {"-1", 1, 0, 1},
                   {"   ", 1, 0, 1},
                   {"", 1, 0, 1},
                   {"AB", 0, 0, 0},
                   {"AB", 3, 0, 3},
                   {"AB", -5, 0, -5}});
  CheckIntScanner(ScanOctal, "ScanOctal",
                  {{"777", 1, 511, 4},
                   {"0778", 1, 63, 4},
                   {"37777777777", 1, -1, 12},
                   {"40000000000", 1, 0, 1},
                   {"8", 1, 0, 1}});
  CheckIntScanner(ScanBin, "ScanBin",
                  {{"1011", 1, 11, 5},
                   {"102", 1, 2, 3},
                   {std::string(32, '1'), 1, -1, 33},
                   {"1" + std::string(32, '0'), 1, 0, 1},
                   {std::string(40, '0') + "1", 1, 1, 42},
                   {"2", 1, 0, 1}});
  CheckIntScanner(ScanDecimal, "ScanDecimal",
                  {{"-007", 1, -7, 5},
                   {"+5", 1, 5, 3},
                   {" 12abc", 1, 12, 4},
                   {"12.5", 1, 12, 3},
                   {"2147483647", 1, INT32_MAX, 11},
                   {"-2147483648", 1, INT32_MIN, 12},
                   {"2147483648", 1, 0, 1},
                   {"-2147483649", 1, 0, 1},
                   {"99999999999999999999999", 1, 0, 1},
                   {"-", 1, 0, 1},
                   {"- 5", 1, 0, 1},
                   {"x", 1, 0, 1}});
}

TEST(IntegerScanners, ValidityChecksAcceptWhatTheScannerReadsWhole) {
  struct Case {
    const char* text;
    bool hex, oct, bin, dec;
  };
  for (const Case& c :
       {Case{"101", true, true, true, true}, Case{"  101", true, true, true, true},
        Case{"101 ", false, false, false, false}, Case{"", false, false, false, false},
        Case{"  ", false, false, false, false}, Case{"789", true, false, false, true},
        Case{"abc", true, false, false, false}, Case{"-12", false, false, false, true},
        Case{"+0", false, false, false, true}, Case{"1 2", false, false, false, false},
        Case{"FFFFFFFF", true, false, false, false}, Case{"1FFFFFFFF", false, false, false, false},
        Case{"0x1F", false, false, false, false}}) {
    EXPECT_EQ(IsValidHex(c.text), c.hex) << c.text;
    EXPECT_EQ(IsValidOct(c.text), c.oct) << c.text;
    EXPECT_EQ(IsValidBin(c.text), c.bin) << c.text;
    EXPECT_EQ(IsValidDecInt(c.text), c.dec) << c.text;
  }
}

TEST(IntegerScanners, RoundTripOfEveryIntegerFormat) {
  // All values written into one text, separated by blanks, and read back in
  // sequence: checks the values and that Pos lands on the next item.
  const std::vector<int32_t> values = SomeIntegers();
  std::string hex, oct, bin, dec;
  for (const int32_t v : values) {
    hex += Hex(v, 8) + " ";
    oct += Octal(v, 11) + " ";
    bin += Bin(v, 32) + "\t";
    dec += Decimal(v, 10) + " ";
  }
  int32_t ph = 1, po = 1, pb = 1, pd = 1;
  for (const int32_t v : values) {
    ASSERT_EQ(ScanHex(hex, ph), v);
    ASSERT_EQ(ScanOctal(oct, po), v);
    ASSERT_EQ(ScanBin(bin, pb), v);
    ASSERT_EQ(ScanDecimal(dec, pd), v);
  }
  EXPECT_EQ(ph, static_cast<int32_t>(hex.size()));  // on the final blank
  EXPECT_EQ(pd, static_cast<int32_t>(dec.size()));
  // Shorter digit counts read back the lowest digits.
  int32_t p = 1;
  EXPECT_EQ(ScanHex(Hex(0x12345678, 3), p), 0x678);
  p = 1;
  EXPECT_EQ(ScanDecimal(Decimal(-123456, 4), p), -3456);
}

// ---- floating-point numbers ---------------------------------------------------------

TEST(ScanFPNum, SyntaxValuesAndPositions) {
  struct Case {
    std::string text;
    bool eng;
    int32_t count;
    int32_t pos;
    double want;
    int32_t want_pos;
  };
  const std::vector<Case> cases = {
      {"1.5", false, 0, 1, 1.5, 4},
      {"  -2.5e3xyz", false, 0, 1, -2500, 9},
      {".5", false, 0, 1, 0.5, 3},
      {"+.5", false, 0, 1, 0.5, 4},
      {"5.", false, 0, 1, 5, 3},
      {"5e", false, 0, 1, 5, 2},
      {"5e+", false, 0, 1, 5, 2},
      {"1E-2", false, 0, 1, 0.01, 5},
      {"1,5", false, 0, 1, 1, 2},
      {"x=0.1;", false, 0, 3, 0.1, 6},
      {"9007199254740993", false, 0, 1, 9007199254740992.0, 17},  // tie to even
      {"0." + std::string(299, '0') + "1e300", false, 0, 1, 1.0, 307},
      {"1e-400", false, 0, 1, 0.0, 7},
      {"4.9406564584124654e-324", false, 0, 1, std::numeric_limits<double>::denorm_min(), 24},
      {"1.7976931348623157e308", false, 0, 1, std::numeric_limits<double>::max(), 23},
      // Engineering notation.
      {"4k7", true, 0, 1, 4700, 4},
      {"4k7", false, 0, 1, 4, 2},
      {"4.7k", true, 0, 1, 4700, 5},
      {"-4k7", true, 0, 1, -4700, 5},
      {"1m", true, 0, 1, 0.001, 3},
      {"2.2p", true, 0, 1, 2.2e-12, 5},
      {"3T", true, 0, 1, 3e12, 3},
      {"7a", true, 0, 1, 7e-18, 3},
      {"5 k", true, 0, 1, 5, 2},
      {"1e3k", true, 0, 1, 1000, 4},
      {"10M5", true, 0, 1, 10.5e6, 5},
      // Count limits the characters looked at.
      {"12345", false, 3, 1, 123, 4},
      {"  12345", false, 4, 1, 12, 5},
      {"12345", false, -1, 1, 12345, 6},
      {"1.5e10", false, 4, 1, 1.5, 4},
  };
  for (const Case& c : cases) {
    int32_t pos = c.pos;
    const double got = ScanFPNum(c.text, c.eng, c.count, pos);
    EXPECT_EQ(got, c.want) << c.text;
    EXPECT_EQ(pos, c.want_pos) << c.text;
  }
  int32_t pos = 1;
  EXPECT_TRUE(std::signbit(ScanFPNum("-1e-999999999999", false, 0, pos)));
  EXPECT_EQ(pos, 17);
  // Failures leave Pos alone.
  std::string beyond(401, '0');  // 1E400 written out
  beyond[0] = '1';
  for (const std::string& t :
       {std::string("."), std::string("e5"), std::string("-"), std::string("1e400"),
        std::string("-1e309"), beyond, std::string("NAN"), std::string("INF"), std::string(""),
        std::string("   ")}) {
    pos = 1;
    EXPECT_EQ(ScanFPNum(t, true, 0, pos), 0.0) << t;
    EXPECT_EQ(pos, 1) << t;
  }
  pos = 1;
  EXPECT_EQ(ScanFPNum("  1", false, 2, pos), 0.0);  // only blanks within the field
  EXPECT_EQ(pos, 1);
  pos = 4;
  EXPECT_EQ(ScanFPNum("1.5", false, 0, pos), 0.0);
  EXPECT_EQ(pos, 4);
}

TEST(ScanFPNum, ValidityChecksWithSeparators) {
  struct Case {
    const char* text;
    TDecPSep sep;
    bool plain, eng;
  };
  const TDecPSep P = TDecPSep::dpsPoint, C = TDecPSep::dpsComma, B = TDecPSep::dpsBoth;
  for (const Case& c :
       {Case{"1.5", P, true, true}, Case{"1,5", P, false, false}, Case{"1,5", C, true, true},
        Case{"1.5", C, false, false}, Case{"1.5", B, true, true}, Case{"1,5", B, true, true},
        Case{"1.5,5", B, false, false}, Case{"-1,5e3", C, true, true}, Case{" 1.5", P, true, true},
        Case{"1.5 ", P, false, false}, Case{"", P, false, false}, Case{"1e400", P, false, false},
        Case{"4k7", P, false, true}, Case{"4,7k", C, false, true}, Case{"-", P, false, false},
        Case{"+.5", P, true, true}, Case{"5.", P, true, true}, Case{"1e", P, false, false},
        Case{"NAN", P, false, false}}) {
    EXPECT_EQ(IsValidFPNum(c.text, c.sep), c.plain) << c.text;
    EXPECT_EQ(IsValidDouble(c.text, false, c.sep), c.plain) << c.text;
    EXPECT_EQ(IsValidDouble(c.text, true, c.sep), c.eng) << c.text;
  }
}

TEST(ScanFPNum, RoundTripOfEveryFloatingFormat) {
  const std::vector<double> wide = SomeDoubles(3000, -300, 300, 1);
  const std::vector<double> moderate = SomeDoubles(3000, -6, 9, 2);
  auto scan = [](const std::string& text, bool eng) {
    int32_t pos = 1;
    const double v = ScanFPNum(text, eng, 0, pos);
    EXPECT_EQ(pos, static_cast<int32_t>(text.size()) + 1) << text;
    return v;
  };
  for (const double x : wide) {
    // MakeEFormat with 15 significant digits: within half a unit of the
    // 15th digit, i.e. 5E-15 relative, plus half an ulp for the read.
    const std::string e = MakeEFormat(x, 40, 15);
    EXPECT_LE(std::fabs(scan(e, false) - x), 5.12e-15 * std::fabs(x)) << e;
    // Engineering text with 9 significant digits, both letter placements.
    for (const int32_t digits : {9, -9}) {
      const std::string g = EEngStr(x, digits);
      EXPECT_LE(std::fabs(scan(g, true) - x), 5.01e-9 * std::fabs(x)) << g;
    }
  }
  for (const double x : moderate) {
    // The short exponential form keeps 18 significant digits: exact.
    const std::string s = strf(x, 24, -2);
    EXPECT_EQ(scan(s, false), x) << s;
    // Fixed point with d decimals: within half a unit of the last decimal.
    for (const int d : {0, 3, 10}) {
      const std::string f = strf(x, 1, d);
      // ... plus half an ulp of x for the read.
      EXPECT_LE(std::fabs(scan(f, false) - x),
                0.5 * std::pow(10.0, -d) * (1 + 1e-15) + std::fabs(x) * 1.12e-16)
          << f;
    }
  }
}

// ---- angles ----------------------------------------------------------------------------

TEST(ScanDegrees, SyntaxValuesAndPositions) {
  struct Case {
    std::string text;
    bool bare;
    bool ok;
    double want;
    std::size_t rest;  // characters left unread on success
  };
  const std::vector<Case> cases = {
      {"12.5" + kDeg, false, true, 12.5, 0},
      {"10" + kDeg + " 30'", false, true, 10.5, 0},
      {"10" + kDeg + "30'", false, true, 10.5, 0},
      {" -0" + kDeg + "  30'", false, true, -0.5, 0},
      {"+5" + kDeg, false, true, 5, 0},
      {"10" + kDeg + " 30' 15\"", false, true, 10 + 30.0 / 60 + 15.0 / 3600, 0},
      {"10" + kDeg + "  5' 60.00\"", false, true, 10 + 5.0 / 60 + 60.0 / 3600, 0},
      {"10" + kDeg + " 30.5' 15\"", false, true, 10 + 30.5 / 60, 4},  // no seconds after
      {"12.5" + kDeg + " 30'", false, true, 12.5, 4},  // no minutes after decimal degrees
      {"12" + kDeg + " N", false, true, 12, 2},
      {"10" + kDeg + " 30", false, true, 10, 3},
      {"12.5", true, true, 12.5, 0},
      {"12.5 E", true, true, 12.5, 2},
      {"12.5", false, false, 0, 0},
      {"10" + kDeg + " 75'", false, false, 0, 0},
      {"10" + kDeg + " 30' 61\"", false, false, 0, 0},
      {kDeg, false, false, 0, 0},
      {"-" + kDeg, true, false, 0, 0},
      {"- 5" + kDeg, false, false, 0, 0},
      {"1e3" + kDeg, true, true, 1, 4},  // no exponents in angles
      {"", true, false, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t pos = 1;
    double result = -999;
    EXPECT_EQ(ScanDegrees(c.text, pos, c.bare, result), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(result, c.want) << c.text;
      EXPECT_EQ(pos, static_cast<int32_t>(c.text.size() - c.rest) + 1) << c.text;
    } else {
      EXPECT_EQ(result, -999) << c.text;
      EXPECT_EQ(pos, 1) << c.text;
    }
  }
  double r = 0;
  int32_t pos = 0;
  EXPECT_FALSE(ScanDegrees("5" + kDeg, pos, true, r));
}

TEST(ScanDegrees, RoundTripOfEveryDegreeFormat) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(-720, 720);
  for (int i = 0; i < 400; ++i) {
    const double a = u(rng);
    for (int f = 0; f <= 3; ++f) {
      for (const int d : {0, 2, 5, 8}) {
        const std::string text = DegreeToStr(a, static_cast<TDegreeFormat>(f), d);
        int32_t pos = 1;
        double back = 0;
        ASSERT_TRUE(ScanDegrees(text, pos, f == 3, back)) << text;
        EXPECT_EQ(pos, static_cast<int32_t>(text.size()) + 1) << text;
        // Half a unit of the last decimal of degrees, minutes or seconds.
        const double unit = f == 1 ? 60.0 : (f == 2 ? 3600.0 : 1.0);
        EXPECT_LE(std::fabs(back - a), 0.5 * std::pow(10.0, -d) / unit + 1e-12) << text;
      }
    }
  }
}

// ---- date and time ----------------------------------------------------------------------

TEST(ScanDateTime, ReferenceTable) {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/foundation_format/datetime.tsv");
  ASSERT_TRUE(in.good());
  std::string line;
  int rows = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      f.push_back(line.substr(start, tab - start));
    f.push_back(line.substr(start));
    ASSERT_EQ(f.size(), 4U) << line;
    const TLanguage lang = f[2] == "de" ? TLanguage::lgGerman : TLanguage::lgEnglish;
    int32_t pos = 1;
    EXPECT_DOUBLE_EQ(ScanDateTime(f[0], f[1], lang, pos), std::strtod(f[3].c_str(), nullptr))
        << f[0];
    EXPECT_EQ(pos, static_cast<int32_t>(f[0].size()) + 1) << f[0];
    ++rows;
  }
  EXPECT_GT(rows, 10);
}

TEST(ScanDateTime, PositionsAndFailures) {
  const TLanguage en = TLanguage::lgEnglish;
  const TLanguage de = TLanguage::lgGerman;
  int32_t pos = 1;
  EXPECT_DOUBLE_EQ(ScanDateTime("  12:30 rest", "hh:nn", en, pos), 12.5 / 24);
  EXPECT_EQ(pos, 8);
  pos = 1;
  EXPECT_DOUBLE_EQ(ScanDateTime("01   02 2003", "dd mm yyyy", en, pos), 37653.0);
  pos = 1;
  EXPECT_DOUBLE_EQ(ScanDateTime("MAI 2000", "MMM YYYY", de, pos), 36647.0);
  struct Case {
    const char* text;
    const char* format;
    TLanguage lang;
  };
  for (const Case& c :
       {Case{"31.02.2000", "dd.mm.yyyy", en}, Case{"29.02.1900", "dd.mm.yyyy", en},
        Case{"24:00", "hh:nn", en}, Case{"12:60", "hh:nn", en}, Case{"12:30:60", "hh:nn:ss", en},
        Case{"1.1.00", "d.m.yyyy", en}, Case{"0000-01-01", "yyyy-mm-dd", en},
        Case{"01.01.2000", "", en}, Case{"01.01.2000", "   ", en}, Case{"Mon", "ddd", en},
        Case{"01.01", "dd.dd", en}, Case{"12.05", "dd.mm", en}, Case{"May 2000", "mmm yyyy", de},
        Case{"M\xC3\xA4rz 2000", "mmm yyyy", de}, Case{"12 :30", "hh:nn", en},
        Case{"1230", "hh nn", en}, Case{"1.1.2000", "dd.mm.yyyy", en}, Case{"", "hh", en},
        Case{"12", "yyy", en}}) {
    pos = 1;
    EXPECT_EQ(ScanDateTime(c.text, c.format, c.lang, pos), 0.0) << c.text << " / " << c.format;
    EXPECT_EQ(pos, 1) << c.text << " / " << c.format;
  }
}
