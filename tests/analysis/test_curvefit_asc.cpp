// TCurveFit ASC export and import, and the corvel ASC helpers.
#include "ORK_math2.h"
#include "ORK_stringl.h"
#include "test_support.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::ReadText;
using numbra_test::TempDir;
using numbra_test::WriteText;

namespace {

uint64_t Bits(double v) {
  uint64_t b = 0;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

TEST(CurveFitAsc, ShortestFormRoundTripsEveryPointBitForBit) {
  std::mt19937_64 gen(11);
  std::vector<double> vals = {0.0,
                              -0.0,
                              1e-308,
                              5e-324,
                              -1.7976931348623157e308,
                              0.1,
                              1.0 / 3.0,
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity()};
  for (int i = 0; i < 400; ++i) {
    uint64_t b = gen();
    double v = 0;
    std::memcpy(&v, &b, sizeof v);
    if (std::isfinite(v)) vals.push_back(v);
  }
  TCurveFit f, g;
  for (std::size_t i = 0; i + 1 < vals.size(); ++i)
    f.EnterStatValue(vals[i], vals[vals.size() - 1 - i]);
  TempDir dir;
  const std::string file = dir.File("pts.asc");
  ASSERT_EQ(f.ExportAsASC(file, "", -1), "");
  g.EnterStatValue(7, 7);  // replaced by the import
  ASSERT_EQ(g.ImportASC(file), 0);
  ASSERT_EQ(g.NumData(), f.NumData());
  for (int32_t i = 1; i <= f.NumData(); ++i) {
    EXPECT_EQ(Bits(g.GetDataX(i)), Bits(f.GetDataX(i))) << i;
    EXPECT_EQ(Bits(g.GetDataY(i)), Bits(f.GetDataY(i))) << i;
  }
  EXPECT_EQ(g.MinX(), f.MinX());
}

TEST(CurveFitAsc, ExportedTextAndComment) {
  TCurveFit f;
  f.EnterStatValue(1.25, -2);
  f.EnterStatValue(0.5, 3.125);
  TempDir dir;
  const std::string file = dir.File("a.asc");
  ASSERT_EQ(f.ExportAsASC(file, "two\nlines\rhere", 2), "");
  EXPECT_EQ(ReadText(file),
            "two lines here\n2\t;nr. of columns\n2\t;nr. of rows\n"
            "FALSE TRUE FALSE\t;row attributes, column names, row names\n"
            "\"x\"   \"y\"\n1.25\t-2.00\n0.50\t3.12\n");
  ASSERT_EQ(f.ExportAsASC(file, "", 0), "");
  EXPECT_EQ(ReadText(file).substr(0, 38),
            "Exported by ORK TCurveFit component: " + file.substr(0, 1));
  EXPECT_NE(f.ExportAsASC(dir.File("missing/dir/x.asc"), "c", 3), "");
}

struct ImportCase {
  const char* name;
  const char* text;
  int32_t result;
  int32_t points;  // after the import (the previous content is 1 point)
};

class CurveFitImport : public ::testing::TestWithParam<ImportCase> {};

TEST_P(CurveFitImport, ResultAndContent) {
  const ImportCase& c = GetParam();
  TempDir dir;
  const std::string file = dir.File("in.asc");
  WriteText(file, c.text);
  TCurveFit f;
  f.EnterStatValue(42, 43);
  EXPECT_EQ(f.ImportASC(file), c.result);
  EXPECT_EQ(f.NumData(), c.points);
  if (c.result != 0) {
    EXPECT_EQ(f.GetDataX(1), 42.0);  // nothing lost
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CurveFitImport,
    ::testing::Values(
        ImportCase{"plain", "c\n2\n3\nFALSE FALSE FALSE\n1 2\n3 4\n5 6\n", 0, 3},
        ImportCase{"unquoted_names",
                   "c\r\n2 ;cols\r\n2 ;rows\r\nfalse true false\r\nx   y\r\n1 2\r\n3 4\r\n", 0, 2},
        ImportCase{"quoted_names_with_blanks",
                   "c\n2\n1\nFALSE TRUE FALSE\n\"the x\" \"y \"\"q\"\"\"\n1e3 -2.5E-2\n", 0, 1},
        ImportCase{"attributes_and_row_names", "c\n2\n2\nTRUE FALSE TRUE\n7 \"r1\" 1 2\n8 r2 3 4\n",
                   0, 2},
        ImportCase{"fourth_flag_false", "c\n2\n1\nFALSE FALSE FALSE FALSE\n1 2\n", 0, 1},
        ImportCase{"no_rows", "c\n2\n0\nFALSE TRUE FALSE\n\"x\" \"y\"\n", 0, 0},
        ImportCase{"inf_nan", "c\n2\n2\nFALSE FALSE FALSE\nINF -inf\nNAN +1\n", 0, 2},
        ImportCase{"fourth_flag", "c\n2\n1\nFALSE FALSE FALSE TRUE\n1 2\n", -7, 1},
        ImportCase{"empty", "", corvel::kAscNoHeader, 1},
        ImportCase{"short", "c\n2\n3\n", corvel::kAscNoHeader, 1},
        ImportCase{"bad_columns", "c\ntwo\n3\nFALSE FALSE FALSE\n", corvel::kAscBadColumns, 1},
        ImportCase{"negative_rows", "c\n2\n-3\nFALSE FALSE FALSE\n", corvel::kAscBadRows, 1},
        ImportCase{"huge_rows", "c\n2\n99999999999\nFALSE FALSE FALSE\n", corvel::kAscBadRows, 1},
        ImportCase{"bad_flags", "c\n2\n1\nFALSE YES FALSE\n1 2\n", corvel::kAscBadFlags, 1},
        ImportCase{"two_flags", "c\n2\n1\nFALSE FALSE\n1 2\n", corvel::kAscBadFlags, 1},
        ImportCase{"too_large", "c\n2\n2000000000\nFALSE FALSE FALSE\n1 2\n", corvel::kAscTooLarge,
                   1},
        ImportCase{"truncated", "c\n2\n3\nFALSE FALSE FALSE\n1.0 2.0\n3.0 4.0\n5.0", -8, 1},
        ImportCase{"not_a_number", "c\n2\n2\nFALSE FALSE FALSE\n1 2\n3 x\n", -8, 1},
        ImportCase{"trailing_data", "c\n2\n1\nFALSE FALSE FALSE\n1 2\n3 4\n", -8, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CurveFitAsc, ColumnCountErrorAndMissingFile) {
  TempDir dir;
  const std::string file = dir.File("three.asc");
  WriteText(file, "c\n3\n1\nFALSE FALSE FALSE\n1 2 3\n");
  TCurveFit f;
  try {
    f.ImportASC(file);
    ADD_FAILURE() << "no exception";
  } catch (const EORKMath2Error& e) {
    EXPECT_STREQ(e.what(), "TCurveFit.ImportASC: number of columns must be 2 (is actually 3).");
  }
  EXPECT_EQ(f.ImportASC(dir.File("none.asc")), corvel::kAscCannotOpen);
}

TEST(CorvelAsc, ParseQuotedName) {
  struct Case {
    const char* input;
    const char* name;
    bool complete;
  };
  const Case cases[] = {
      {"  \"a b\" ", "a b", true},     {"\"say \"\"hi\"\"\"\n", "say \"hi\"", true},
      {"\tplain next", "plain", true}, {"\"open\nrest", "open", true},
      {"\"unended", "unended", false}, {"bare", "bare", false}};
  for (const Case& c : cases) {
    corvel::TQuotedStrState st = corvel::TQuotedStrState::qsStart;
    std::string name;
    bool done = false;
    for (const char* p = c.input; *p != 0 && !done; ++p)
      done = corvel::ParseQuotedName(*p, '"', st, name);
    EXPECT_EQ(name, c.name) << c.input;
    EXPECT_EQ(done, c.complete) << c.input;
  }
  corvel::TQuotedStrState st = corvel::TQuotedStrState::qsStart;
  std::string name;
  for (int i = 0; i < 1000; ++i) corvel::ParseQuotedName('n', '"', st, name);
  EXPECT_EQ(name.size(), corvel::kMaxQuotedNameLength);
}

TEST(CorvelAsc, HeaderParts) {
  TempDir dir;
  const std::string file = dir.File("h.asc");
  WriteText(file, "my comment\n  4\t;nr. of columns\n5\n TRUE false TRUE true ;flags\n");
  std::string comment;
  int32_t cols = 0, rows = 0;
  bool ra = false, cn = true, rn = false, f4 = false;
  // Four flags, 20 cells but no body: the cells cannot be held.
  EXPECT_EQ(corvel::ReadHeaderOfASC(file, comment, cols, rows, ra, cn, rn, f4),
            corvel::kAscTooLarge);
  WriteText(file, "my comment\n  4\t;nr. of columns\n5\n TRUE false TRUE true ;flags\n" +
                      std::string(40, '1'));
  EXPECT_EQ(corvel::ReadHeaderOfASC(file, comment, cols, rows, ra, cn, rn, f4), 0);
  EXPECT_EQ(comment, "my comment");
  EXPECT_EQ(cols, 4);
  EXPECT_EQ(rows, 5);
  EXPECT_TRUE(ra);
  EXPECT_FALSE(cn);
  EXPECT_TRUE(rn);
  EXPECT_TRUE(f4);
}

}  // namespace
