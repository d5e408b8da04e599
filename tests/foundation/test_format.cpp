// Number formatting and conversion: fixed, exponential and engineering
// texts, integer bases, bit patterns, Roman numerals, byte order, angles.
#include "ORK_math1.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {

const std::string kDeg = "\xC2\xB0";

// Rows of a reference table in tests/data/foundation_format (tab-separated,
// "#" comment lines; a field in double quotes loses its outer quotes).
std::vector<std::vector<std::string>> ReadTable(const std::string& name) {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/foundation_format/" + name);
  EXPECT_TRUE(in.good()) << name;
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
      const std::size_t tab = line.find('\t', start);
      std::string f =
          line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      if (f.size() >= 2 && f.front() == '"' && f.back() == '"') f = f.substr(1, f.size() - 2);
      fields.push_back(f);
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(fields);
  }
  EXPECT_FALSE(rows.empty()) << name;
  return rows;
}

double Num(const std::string& s) { return std::strtod(s.c_str(), nullptr); }
int32_t Int(const std::string& s) {
  return static_cast<int32_t>(std::strtol(s.c_str(), nullptr, 10));
}

TDegreeFormat Fmt(int f) { return static_cast<TDegreeFormat>(f); }

}  // namespace

// ---- strf, MakeEFormat, EEngStr ----------------------------------------------------

TEST(Strf, FixedAndShortExponentialForms) {
  EXPECT_EQ(strf(123.456, 1, 2), "123.46");
  EXPECT_EQ(strf(-2.5, 8, 3), "  -2.500");
  EXPECT_EQ(strf(2.5, 1, -7), "2");  // negative decimals other than -2: none
  // Scientific text in Width + 2, the two leading exponent digits removed.
  EXPECT_EQ(strf(1234.5678, 10, -2), " 1.235E+03");
  EXPECT_EQ(strf(-0.000123456, 12, -2), "-1.23456E-04");
  EXPECT_EQ(strf(0.0, 8, -2), " 0.0E+00");
  EXPECT_EQ(strf(1e150, 10, -2), "**********");  // a three-digit exponent does not fit
  EXPECT_EQ(strf(-1e-200, 10, -2), "**********");
  EXPECT_EQ(strf(std::numeric_limits<double>::quiet_NaN(), 6, -2), "   NAN");
  EXPECT_EQ(strf(-std::numeric_limits<double>::infinity(), 1, -2), "-INF");
  // Huge widths are clamped, not allocated.
  EXPECT_EQ(strf(1.0, 2000000000, -2).size(), 1024U);
  EXPECT_EQ(strf(1.0, 2000000000, 1).size(), 1024U);
  EXPECT_EQ(strf(1.0, 1, 2000000000).size(), 102U);
}

TEST(MakeEFormat, ReferenceTable) {
  for (const auto& r : ReadTable("make_eformat.tsv")) {
    EXPECT_EQ(MakeEFormat(Num(r[0]), Int(r[1]), Int(r[2])), r[3]) << r[0];
  }
  EXPECT_EQ(MakeEFormat(std::numeric_limits<double>::infinity(), 8, 2), "     INF");
  EXPECT_EQ(
      MakeEFormat(1.0, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()),
      std::string(31, ' ') + " 0.10E+01");
}

TEST(EEngStr, ReferenceTable) {
  for (const auto& r : ReadTable("eengstr.tsv")) {
    EXPECT_EQ(EEngStr(Num(r[0]), Int(r[1])), r[2]) << r[0] << " " << r[1];
  }
  EXPECT_EQ(EEngStr(std::numeric_limits<double>::quiet_NaN(), 3), "NAN");
  EXPECT_EQ(EEngStr(-std::numeric_limits<double>::infinity(), 3), "-INF");
  EXPECT_EQ(EEngStr(4700, 1000), EEngStr(4700, 9));
  EXPECT_EQ(EEngStr(4700, -1000), EEngStr(4700, -9));
  // The smallest subnormal: attometres and many zeros, but no failure.
  EXPECT_EQ(EEngStr(std::numeric_limits<double>::denorm_min(), 1).back(), 'a');
}

// ---- integer bases ------------------------------------------------------------------

TEST(IntegerBases, DigitsClampedAndCut) {
  struct Case {
    std::string got, want;
  };
  const std::vector<Case> cases = {
      {Hex(255, 1), "F"},
      {Hex(-1, 8), "FFFFFFFF"},
      {Hex(5, 0), "5"},
      {Hex(0x1234ABCD, 99), "1234ABCD"},
      {Hex(0x1234ABCD, 3), "BCD"},
      {Hex(std::numeric_limits<int32_t>::min(), 8), "80000000"},
      {Octal(8, 2), "10"},
      {Octal(-1, 11), "37777777777"},
      {Octal(-1, 50), "37777777777"},
      {Octal(511, 2), "77"},
      {Bin(5, 40), "00000000000000000000000000000101"},
      {Bin(5, 2), "01"},
      {Bin(-2, 0), "0"},
      {Decimal(-7, 3), "-007"},
      {Decimal(1234, 2), "34"},
      {Decimal(0, 0), "0"},
      {Decimal(std::numeric_limits<int32_t>::min(), 10), "-2147483648"},
      {Decimal(std::numeric_limits<int32_t>::min(), 12), "-002147483648"},
      {Decimal(42, -5), "2"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
  EXPECT_EQ(Decimal(5, std::numeric_limits<int32_t>::max()), std::string(254, '0') + "5");
}

// ---- bit patterns, byte order ------------------------------------------------------

TEST(FloatPatterns, ReferenceTableAndRoundTrip) {
  for (const auto& r : ReadTable("fp_patterns.tsv")) {
    const double x = Num(r[0]);
    EXPECT_EQ(FPNumToHex(x), r[1]) << r[0];
    EXPECT_EQ(std::bit_cast<uint64_t>(HexToDouble(r[1])), std::bit_cast<uint64_t>(x));
    std::string lower = r[1];
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(std::bit_cast<uint64_t>(HexToDouble(lower)), std::bit_cast<uint64_t>(x));
    if (r[2] != "-") {
      EXPECT_EQ(FPNumToHex(static_cast<float>(x)), r[2]) << r[0];
      EXPECT_EQ(std::bit_cast<uint32_t>(HexToSingle(r[2])),
                std::bit_cast<uint32_t>(static_cast<float>(x)));
    }
  }
  // NaN payloads come back bit for bit.
  EXPECT_EQ(FPNumToHex(HexToDouble("7FF8000000000123")), "7FF8000000000123");
  EXPECT_EQ(FPNumToHex(HexToSingle("FFC00001")), "FFC00001");
}

TEST(FloatPatterns, InvalidTextsRaiseWithTheText) {
  for (const std::string& t : {std::string("3FF000000000000"), std::string("3FF00000000000000"),
                               std::string(""), std::string("3FF000000000000G"),
                               std::string(" 3FF00000000000"), std::string("0x3FF0000000000000"),
                               std::string("3FF00000000000\0"
                                           "0",
                                           16)}) {
    try {
      HexToDouble(t);
      ADD_FAILURE() << t;
    } catch (const EORKMath1Error&) {
      ADD_FAILURE() << "must be EORKError itself";
    } catch (const EORKError& e) {
      EXPECT_EQ(e.Message(), "HexToDouble: invalid hex string \"" + t + "\"");
    }
  }
  for (const std::string& t :
       {std::string("3F80000"), std::string("3F800000 "), std::string("-1")}) {
    try {
      HexToSingle(t);
      ADD_FAILURE() << t;
    } catch (const EORKError& e) {
      EXPECT_EQ(e.Message(), "HexToSingle: invalid hex string \"" + t + "\"");
    }
  }
}

TEST(ConvertEndian, ReversesBytes) {
  EXPECT_EQ(ConvertEndian(uint16_t{0x1234}), 0x3412);
  EXPECT_EQ(ConvertEndian(int32_t{0x01020304}), 0x04030201);
  EXPECT_EQ(ConvertEndian(int32_t{-2}), static_cast<int32_t>(0xFEFFFFFFU));
  EXPECT_EQ(FPNumToHex(ConvertEndian(1.0)), "000000000000F03F");
  EXPECT_EQ(FPNumToHex(ConvertEndian(1.0f)), "0000803F");
  // Reversal twice is the identity, even through NaN patterns.
  for (const char* h : {"000000000000F87F", "0123456789ABCDEF", "FFF8000000000001"}) {
    EXPECT_EQ(FPNumToHex(ConvertEndian(ConvertEndian(HexToDouble(h)))), h);
  }
}

// ---- integer texts, Roman numerals ---------------------------------------------------

TEST(StrToIntDefault, AcceptsDecimalIntegersOnly) {
  struct Case {
    const char* text;
    int32_t want;
  };
  for (const Case& c :
       {Case{"42", 42}, Case{"  -17", -17}, Case{"+8", 8}, Case{"007", 7},
        Case{"2147483647", 2147483647}, Case{"-2147483648", INT32_MIN}, Case{"2147483648", -1},
        Case{"", -1}, Case{"   ", -1}, Case{"12 ", -1}, Case{"1.5", -1}, Case{"0x10", -1},
        Case{"- 5", -1}, Case{"abc", -1}, Case{"99999999999999999999", -1}}) {
    EXPECT_EQ(StrToIntDefault(c.text, -1), c.want) << c.text;
  }
}

TEST(Roman, GreedyNumerals) {
  struct Case {
    int32_t value;
    const char* want;
  };
  for (const Case& c :
       {Case{1994, "MCMXCIV"}, Case{0, ""}, Case{-5, ""}, Case{1, "I"}, Case{4, "IV"},
        Case{9, "IX"}, Case{14, "XIV"}, Case{40, "XL"}, Case{90, "XC"}, Case{400, "CD"},
        Case{2024, "MMXXIV"}, Case{3999, "MMMCMXCIX"}, Case{4000, "MMMM"}, Case{30000, ""}}) {
    EXPECT_EQ(Roman(c.value), c.want) << c.value;
  }
  EXPECT_EQ(Roman(29999), std::string(29, 'M') + "CMXCIX");
}

// ---- angles ---------------------------------------------------------------------------

TEST(DegreeToStr, AllFormats) {
  for (const auto& r : ReadTable("degrees.tsv")) {
    EXPECT_EQ(DegreeToStr(Num(r[0]), Fmt(Int(r[1])), Int(r[2])), r[3]) << r[0];
  }
  EXPECT_EQ(DegreeToStr(12.5, Fmt(0), 2), "12.50" + kDeg);
  EXPECT_EQ(DegreeToStr(-12.5, Fmt(3), 1), "-12.5");
  EXPECT_EQ(DegreeToStr(-0.5, Fmt(1), 0).substr(0, 5), "-0" + kDeg + " ");
  EXPECT_EQ(DegreeToStr(std::numeric_limits<double>::quiet_NaN(), Fmt(2), 2), "NAN" + kDeg);
  EXPECT_EQ(DegreeToStr(std::numeric_limits<double>::infinity(), Fmt(3), 2), "INF");
  EXPECT_EQ(DegreeToStr(10, Fmt(9), 2), "");
  // Beyond the exact split (a count of 1E-8 seconds above 2^53): split in
  // floating point, same text.
  EXPECT_EQ(DegreeToStr(30000.5, Fmt(2), 8), "30000" + kDeg + " 30'  0.00000000\"");
  EXPECT_EQ(DegreeToStr(-30000.25, Fmt(1), 8), "-30000" + kDeg + " 15.00000000'");
  // Far beyond it: still a well-formed text.
  const std::string big = DegreeToStr(1e300, Fmt(2), 8);
  const std::string tail = kDeg + "  0'  0.00000000\"";
  EXPECT_EQ(big.substr(big.size() - tail.size()), tail);
  EXPECT_EQ(big.substr(0, 4), "1000");
}

TEST(ConvertDegrees, FormatPairs) {
  struct Case {
    double deg, min, sec;
    int in, out;
    double want_deg, want_min, want_sec;
  };
  const std::vector<Case> cases = {
      {10, 30.5, 0, 1, 2, 10, 30, 30},
      {10, 30.5, 7, 1, 0, 10 + 30.5 / 60, 0, 0},
      {10, 30.5, 18, 2, 0, 10 + 30.0 / 60 + 18.0 / 3600, 0, 0},
      {10, 30, 30, 2, 1, 10, 30.5, 0},
      {10.75, 5, 5, 0, 1, 10, 45, 0},
      {10.7625, 5, 5, 0, 2, 10, 45, 45},
      {-10.75, 0, 0, 0, 1, -10, 45, 0},
      {10, 30, 30, 2, 2, 10, 30, 30},
      {10, 30, 30, 1, 1, 10, 30, 0},
      {10, 30, 30, 0, 0, 10, 0, 0},
      {10, 30, 30, 3, 0, 10, 30, 30},
      {10, 30, 30, 1, 3, 10, 30, 30},
      // Negative angles: minutes and seconds count away from zero.
      {-10, 30, 0, 1, 0, -10.5, 0, 0},
      {-0.0, 30, 0, 1, 0, -0.5, 0, 0},
      {-10, 30, 36, 2, 0, -10.51, 0, 0},
  };
  for (const Case& c : cases) {
    double d = c.deg;
    double m = c.min;
    double s = c.sec;
    ConvertDegrees(d, m, s, Fmt(c.in), Fmt(c.out));
    EXPECT_NEAR(d, c.want_deg, 1e-12) << c.deg << " " << c.in << "->" << c.out;
    EXPECT_NEAR(m, c.want_min, 1e-9) << c.deg << " " << c.in << "->" << c.out;
    EXPECT_NEAR(s, c.want_sec, 1e-7) << c.deg << " " << c.in << "->" << c.out;
  }
  // Round trips through every representation keep the angle, negative too.
  for (const double a : {-123.456789, -0.25, 0.0, 0.999, 359.5}) {
    for (const int via : {1, 2}) {
      double d = a;
      double m = 0;
      double s = 0;
      ConvertDegrees(d, m, s, Fmt(0), Fmt(via));
      ConvertDegrees(d, m, s, Fmt(via), Fmt(0));
      EXPECT_NEAR(d, a, 1e-12) << a << " via " << via;
    }
  }
}

TEST(ConvertDegrees, RangeErrors) {
  struct Case {
    double min, sec;
    const char* msg;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const Case& c : {Case{-0.1, 0, "ConvertDegrees: invalid range of minutes"},
                        Case{60.5, 0, "ConvertDegrees: invalid range of minutes"},
                        Case{nan, 0, "ConvertDegrees: invalid range of minutes"},
                        Case{0, 61, "ConvertDegrees: invalid range of seconds"},
                        Case{0, nan, "ConvertDegrees: invalid range of seconds"}}) {
    double d = 1;
    double m = c.min;
    double s = c.sec;
    try {
      ConvertDegrees(d, m, s, Fmt(0), Fmt(0));
      ADD_FAILURE() << c.msg;
    } catch (const EORKMath1Error& e) {
      EXPECT_EQ(e.Message(), c.msg);
    }
  }
  double d = 1;
  double m = 60;
  double s = 60;
  EXPECT_NO_THROW(ConvertDegrees(d, m, s, Fmt(2), Fmt(0)));
  EXPECT_DOUBLE_EQ(d, 2 + 1.0 / 60);
}

TEST(RoundDegrees, ScaleSteps) {
  struct Case {
    int32_t deg, min, sec;
    bool up;
    int32_t want_deg, want_min, want_sec;
  };
  const std::vector<Case> cases = {
      {0, 40, 0, true, 1, 0, 0},      // beyond the 30-minute step: 1 degree
      {0, 40, 0, false, 0, 30, 0},    //
      {0, 25, 10, true, 0, 30, 0},    //
      {0, 20, 0, true, 0, 20, 0},     // on a step
      {0, 59, 59, false, 0, 30, 0},   //
      {0, 0, 7, false, 0, 0, 5},      //
      {0, 0, 7, true, 0, 0, 10},      //
      {0, 0, 45, true, 0, 1, 0},      //
      {0, 0, 99, false, 0, 0, 30},    // 99 seconds count as 59
      {7, 30, 0, false, 5, 0, 0},     //
      {7, 30, 0, true, 10, 0, 0},     //
      {100, 0, 0, true, 180, 0, 0},   //
      {400, 0, 0, true, 360, 0, 0},   // no step large enough: the largest
      {400, 0, 0, false, 360, 0, 0},  //
      {1, 0, 1, true, 2, 0, 0},       // just above a step
      {1, 0, 1, false, 1, 0, 0},      //
      {0, 0, 0, true, 0, 0, 0},       // all zero: unchanged
      {5, -1, 0, true, 0, 0, 0},      // a negative part: all zero
      {INT32_MAX, 59, 59, true, 360, 0, 0},
  };
  for (const Case& c : cases) {
    int32_t d = c.deg;
    int32_t m = c.min;
    int32_t s = c.sec;
    RoundDegrees(d, m, s, c.up);
    EXPECT_EQ(d, c.want_deg) << c.deg << ":" << c.min << ":" << c.sec << " up=" << c.up;
    EXPECT_EQ(m, c.want_min) << c.deg << ":" << c.min << ":" << c.sec << " up=" << c.up;
    EXPECT_EQ(s, c.want_sec) << c.deg << ":" << c.min << ":" << c.sec << " up=" << c.up;
  }
}
