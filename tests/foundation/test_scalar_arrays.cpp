// Array routines of ORK_math1: MinMaxOfArray and MeanVarOfArray, 1-D and
// 2-D, checked against exact rational reference values and the NIST StRD
// univariate data sets.
#include "ORK_math1.h"
#include "test_support.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using numbra::TDouble2DArray;
using numbra::uc_MaxDouble;
using numbra_test::RelNear;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const std::string kDir = std::string(NUMBRA_TEST_DATA_DIR) + "/foundation_scalar/";

double ToDouble(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

// One line of meanvar_exact.txt.
struct MeanVarRef {
  std::string kind, name;
  std::size_t n = 0;
  double mean = 0, variance = 0;
  std::vector<double> values;  // inline cases only
};

std::vector<MeanVarRef> ReadMeanVarRefs() {
  std::vector<MeanVarRef> refs;
  std::ifstream in(kDir + "meanvar_exact.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    MeanVarRef r;
    std::string mean, var, v;
    ss >> r.kind >> r.name >> r.n >> mean >> var;
    r.mean = ToDouble(mean);
    r.variance = ToDouble(var);
    while (ss >> v) r.values.push_back(ToDouble(v));
    refs.push_back(std::move(r));
  }
  return refs;
}

// The data column of a NIST StRD file and its certified mean and SD.
struct NistData {
  std::vector<double> y;
  double mean = 0, sd = 0;
};

NistData ReadNist(const std::string& name) {
  NistData d;
  std::ifstream in(kDir + "nist/" + name + ".dat");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("# certified mean = ", 0) == 0) d.mean = ToDouble(line.substr(19));
    if (line.rfind("# certified sd = ", 0) == 0) d.sd = ToDouble(line.substr(17));
    if (!line.empty() && line[0] != '#') d.y.push_back(ToDouble(line));
  }
  return d;
}

// Log relative error, NIST's figure of merit (digits that agree).
double LRE(double computed, double certified) {
  if (computed == certified) return 16.0;
  return -std::log10(std::fabs(computed - certified) / std::fabs(certified));
}

// Relative check that also accepts equal infinities and zeros.
::testing::AssertionResult Close(double got, double want, double k) {
  if (std::isinf(want) || want == 0.0)
    return got == want ? ::testing::AssertionSuccess()
                       : ::testing::AssertionFailure() << got << " != " << want;
  return RelNear(got, want, k);
}

// ---- MinMaxOfArray --------------------------------------------------------------

TEST(Math1MinMaxOfArray, FirstExtremeWinsWithinTheRange) {
  const std::vector<double> d = {3, -1, 7, -1, 7, 2};
  struct Case {
    int32_t lo, hi;
    double mn, mx;
    int32_t mn_ix, mx_ix;
  };
  const Case cases[] = {
      {0, 5, -1, 7, 1, 2}, {2, 4, -1, 7, 3, 2}, {5, 5, 2, 2, 5, 5}, {4, 5, 2, 7, 5, 4}};
  for (const Case& c : cases) {
    double mn = 0, mx = 0;
    int32_t mn_ix = -9, mx_ix = -9;
    EXPECT_EQ(numbra::MinMaxOfArray(d, c.lo, c.hi, mn, mx, mn_ix, mx_ix), 0);
    EXPECT_EQ(mn, c.mn);
    EXPECT_EQ(mx, c.mx);
    EXPECT_EQ(mn_ix, c.mn_ix);
    EXPECT_EQ(mx_ix, c.mx_ix);
  }
}

TEST(Math1MinMaxOfArray, BadOrEmptyRangesLeaveTheStartValues) {
  const std::vector<double> d = {3, -1, 7};
  const std::vector<double> empty;
  const std::vector<double> all_nan = {kNaN, kNaN};
  struct Case {
    const std::vector<double>* data;
    int32_t lo, hi, result;
  };
  const Case cases[] = {
      {&d, -1, 2, -1},    {&d, 0, 3, -1}, {&d, 3, 0, -1},     {&d, INT32_MIN, INT32_MAX, -1},
      {&empty, 0, 0, -1}, {&d, 2, 0, 0},  {&all_nan, 0, 1, 0}};
  for (const Case& c : cases) {
    double mn = 0, mx = 0;
    int32_t mn_ix = -9, mx_ix = -9;
    EXPECT_EQ(numbra::MinMaxOfArray(*c.data, c.lo, c.hi, mn, mx, mn_ix, mx_ix), c.result)
        << c.lo << ".." << c.hi;
    EXPECT_EQ(mn, uc_MaxDouble);
    EXPECT_EQ(mx, -uc_MaxDouble);
    EXPECT_EQ(mn_ix, 0);
    EXPECT_EQ(mx_ix, 0);
  }
}

TEST(Math1MinMaxOfArray, NaNSkippedAndExtremeValuesIndexed) {
  double mn = 0, mx = 0;
  int32_t mn_ix = 0, mx_ix = 0;
  const std::vector<double> with_nan = {kNaN, 2, kNaN, 1};
  EXPECT_EQ(numbra::MinMaxOfArray(with_nan, 0, 3, mn, mx, mn_ix, mx_ix), 0);
  EXPECT_EQ(mn, 1.0);
  EXPECT_EQ(mn_ix, 3);
  EXPECT_EQ(mx, 2.0);
  EXPECT_EQ(mx_ix, 1);
  // Values at or beyond the start values get their own indices.
  const std::vector<double> big = {0, uc_MaxDouble, uc_MaxDouble, kInf};
  EXPECT_EQ(numbra::MinMaxOfArray(big, 1, 2, mn, mx, mn_ix, mx_ix), 0);
  EXPECT_EQ(mn, uc_MaxDouble);
  EXPECT_EQ(mn_ix, 1);
  EXPECT_EQ(mx_ix, 1);
  EXPECT_EQ(numbra::MinMaxOfArray(big, 3, 3, mn, mx, mn_ix, mx_ix), 0);
  EXPECT_EQ(mn, kInf);
  EXPECT_EQ(mx, kInf);
  EXPECT_EQ(mn_ix, 3);
}

TEST(Math1MinMaxOfArray, TwoDimensionalBlock) {
  const TDouble2DArray d = {{1, 9, 3}, {-4, 5, 9}, {0, 0, 0}};
  struct Case {
    int32_t lo1, lo2, hi1, hi2;
    double mn, mx;
    int32_t mn1, mn2, mx1, mx2;
  };
  const Case cases[] = {{0, 0, 2, 2, -4, 9, 1, 0, 0, 1},
                        {1, 1, 2, 2, 0, 9, 2, 1, 1, 2},
                        {2, 0, 2, 2, 0, 0, 2, 0, 2, 0}};
  for (const Case& c : cases) {
    double mn = 0, mx = 0;
    int32_t i1 = -9, i2 = -9, j1 = -9, j2 = -9;
    EXPECT_EQ(numbra::MinMaxOfArray(d, c.lo1, c.lo2, c.hi1, c.hi2, mn, mx, i1, i2, j1, j2), 0);
    EXPECT_EQ(mn, c.mn);
    EXPECT_EQ(mx, c.mx);
    EXPECT_EQ(i1, c.mn1);
    EXPECT_EQ(i2, c.mn2);
    EXPECT_EQ(j1, c.mx1);
    EXPECT_EQ(j2, c.mx2);
  }
}

TEST(Math1MinMaxOfArray, TwoDimensionalBadBlocksAndRaggedRows) {
  const TDouble2DArray ragged = {{1, 2, 3}, {4}};
  const TDouble2DArray short_first = {{1}, {1, 2, 3}};
  const TDouble2DArray d = {{1, 2}, {3, 4}};
  const TDouble2DArray empty;
  struct Case {
    const TDouble2DArray* data;
    int32_t lo1, lo2, hi1, hi2;
  };
  const Case cases[] = {{&ragged, 0, 0, 1, 2}, {&ragged, 1, 1, 1, 1}, {&short_first, 0, 0, 1, 2},
                        {&d, 0, 0, 2, 1},      {&d, 0, -1, 1, 1},     {&empty, 0, 0, 0, 0}};
  for (const Case& c : cases) {
    double mn = 0, mx = 0;
    int32_t i1 = -9, i2 = -9, j1 = -9, j2 = -9;
    EXPECT_EQ(numbra::MinMaxOfArray(*c.data, c.lo1, c.lo2, c.hi1, c.hi2, mn, mx, i1, i2, j1, j2),
              -1);
    EXPECT_EQ(mn, uc_MaxDouble);
    EXPECT_EQ(mx, -uc_MaxDouble);
    EXPECT_EQ(i1 | i2 | j1 | j2, 0);
  }
  // Rows outside the block may be short.
  double mn = 0, mx = 0;
  int32_t i1 = 0, i2 = 0, j1 = 0, j2 = 0;
  EXPECT_EQ(numbra::MinMaxOfArray(ragged, 0, 0, 0, 2, mn, mx, i1, i2, j1, j2), 0);
  EXPECT_EQ(mx, 3.0);
}

// ---- MeanVarOfArray ---------------------------------------------------------------

// The corrected two-pass kernel is accurate to a few rounding errors for any
// ratio of mean to spread; 16 eps leaves room for the sums over 1001 values.
constexpr double kMeanVarEps = 16;

TEST(Math1MeanVarOfArray, MatchesExactValuesOfHardDataSets) {
  const std::vector<MeanVarRef> refs = ReadMeanVarRefs();
  ASSERT_GE(refs.size(), 12U);
  for (const MeanVarRef& r : refs) {
    SCOPED_TRACE(r.name);
    const std::vector<double> data = r.kind == "nist" ? ReadNist(r.name).y : r.values;
    ASSERT_EQ(data.size(), r.n);
    double mean = -1, var = -1;
    ASSERT_EQ(numbra::MeanVarOfArray(data, 0, static_cast<int32_t>(data.size()) - 1, mean, var), 0);
    EXPECT_TRUE(Close(mean, r.mean, kMeanVarEps)) << "mean";
    EXPECT_TRUE(Close(var, r.variance, kMeanVarEps)) << "variance";
  }
}

TEST(Math1MeanVarOfArray, ReachesNistCertifiedDigits) {
  // Digits of agreement with NIST's certified values, which refer to the
  // decimal data. NumAcc3 and NumAcc4 store 1000000.2 and 10000000.2 etc.
  // as doubles, whose rounding alone limits the SD to 9.4 and 8.2 digits
  // (the exact SD of the double data); the others allow 13 or more.
  struct Case {
    const char* name;
    double min_lre_sd;
  };
  const Case cases[] = {{"NumAcc1", 15},  {"NumAcc2", 13},  {"NumAcc3", 9.3},
                        {"NumAcc4", 8.1}, {"Michelso", 13}, {"Lew", 13}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const NistData d = ReadNist(c.name);
    double mean = 0, var = 0;
    ASSERT_EQ(numbra::MeanVarOfArray(d.y, 0, static_cast<int32_t>(d.y.size()) - 1, mean, var), 0);
    EXPECT_GE(LRE(mean, d.mean), 14.0);
    EXPECT_GE(LRE(std::sqrt(var), d.sd), c.min_lre_sd);
  }
  // The one-pass formula (sum of squares - sum^2 / n) keeps no digit here:
  // the data set really tests the cancellation.
  const NistData d = ReadNist("NumAcc4");
  double s = 0, ss = 0;
  for (const double y : d.y) {
    s += y;
    ss += y * y;
  }
  const double n = static_cast<double>(d.y.size());
  EXPECT_LT(LRE(std::sqrt(std::fabs((ss - s * s / n) / (n - 1))), d.sd), 2.0);
}

TEST(Math1MeanVarOfArray, SmallCountsBadRangesAndNonFiniteData) {
  const std::vector<double> d = {5, 7, 1000000.1, 1000000.2, 1000000.3, kNaN, kInf};
  double mean = -1, var = -1;
  // n < 3: variance 1.0 by definition.
  EXPECT_EQ(numbra::MeanVarOfArray(d, 0, 1, mean, var), 0);
  EXPECT_EQ(mean, 6.0);
  EXPECT_EQ(var, 1.0);
  EXPECT_EQ(numbra::MeanVarOfArray(d, 0, 0, mean, var), 0);
  EXPECT_EQ(mean, 5.0);
  EXPECT_EQ(var, 1.0);
  // A sub-range: exact variance of the doubles 1000000.1, .2, .3 (python
  // fractions) is 0.01000000000698492.
  EXPECT_EQ(numbra::MeanVarOfArray(d, 2, 4, mean, var), 0);
  EXPECT_TRUE(RelNear(var, 0.01000000000698492, kMeanVarEps));
  EXPECT_TRUE(RelNear(var, 0.01, 1e-9 / 2.2e-16));  // the decimal data: 1e-9 relative
  // Bad ranges: -1 and both outputs 0.
  for (const auto& [lo, hi] :
       {std::pair{-1, 2}, std::pair{0, 7}, std::pair{3, 2}, std::pair{INT32_MIN, INT32_MAX}}) {
    mean = var = -1;
    EXPECT_EQ(numbra::MeanVarOfArray(d, lo, hi, mean, var), -1) << lo << ".." << hi;
    EXPECT_EQ(mean, 0.0);
    EXPECT_EQ(var, 0.0);
  }
  EXPECT_EQ(numbra::MeanVarOfArray(std::vector<double>{}, 0, 0, mean, var), -1);
  // NaN or infinity in the range: NaN variance, IEEE mean.
  EXPECT_EQ(numbra::MeanVarOfArray(d, 3, 5, mean, var), 0);
  EXPECT_TRUE(std::isnan(mean));
  EXPECT_TRUE(std::isnan(var));
  EXPECT_EQ(numbra::MeanVarOfArray(d, 2, 6, mean, var), 0);
  EXPECT_TRUE(std::isnan(mean));  // NaN and inf
  const std::vector<double> with_inf = {1, 2, kInf};
  EXPECT_EQ(numbra::MeanVarOfArray(with_inf, 0, 2, mean, var), 0);
  EXPECT_EQ(mean, kInf);
  EXPECT_TRUE(std::isnan(var));
}

TEST(Math1MeanVarOfArray, TwoDimensionalBlockReadsOnlyTheBlock) {
  // The "mixed" reference case laid out in the block rows 1..2, columns 1..3
  // of a 4 x 5 array whose other cells hold values that would spoil the
  // result if read (and a short last row outside the block).
  const std::vector<MeanVarRef> refs = ReadMeanVarRefs();
  const MeanVarRef* mixed = nullptr;
  for (const MeanVarRef& r : refs)
    if (r.name == "mixed") mixed = &r;
  ASSERT_NE(mixed, nullptr);
  ASSERT_EQ(mixed->values.size(), 6U);
  TDouble2DArray d(4, std::vector<double>(5, 1e300));
  d[3].resize(1);
  for (std::size_t k = 0; k < 6; ++k) d[1 + k / 3][1 + k % 3] = mixed->values[k];
  double mean = 0, var = 0;
  EXPECT_EQ(numbra::MeanVarOfArray(d, 1, 1, 2, 3, mean, var), 0);
  EXPECT_TRUE(RelNear(mean, mixed->mean, kMeanVarEps));
  EXPECT_TRUE(RelNear(var, mixed->variance, kMeanVarEps));
  // n < 3 in a block, reversed bounds, ragged rows and bad indices.
  EXPECT_EQ(numbra::MeanVarOfArray(d, 1, 1, 1, 2, mean, var), 0);
  EXPECT_EQ(var, 1.0);
  EXPECT_EQ(numbra::MeanVarOfArray(d, 2, 1, 1, 3, mean, var), -1);
  EXPECT_EQ(numbra::MeanVarOfArray(d, 1, 3, 2, 1, mean, var), -1);
  EXPECT_EQ(numbra::MeanVarOfArray(d, 2, 1, 3, 3, mean, var), -1);  // row 3 too short
  EXPECT_EQ(mean, 0.0);
  EXPECT_EQ(var, 0.0);
  EXPECT_EQ(numbra::MeanVarOfArray(d, 0, 0, 4, 0, mean, var), -1);
  EXPECT_EQ(numbra::MeanVarOfArray(TDouble2DArray{}, 0, 0, 0, 0, mean, var), -1);
}

}  // namespace
