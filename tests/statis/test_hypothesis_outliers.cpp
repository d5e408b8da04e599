// Dean-Dixon and Grubbs outlier tests: the built-in Dixon table against its
// source file and the published reference rows, the tests' decisions and
// failures, Grubbs critical values against SciPy.
#include "hypothesis_data.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using hypothesis_test::DataFile;
using hypothesis_test::Fill;
using hypothesis_test::ReadRows;

TEST(DeanDixon, TableEqualsItsSourceFile) {
  const auto rows = ReadRows(DataFile("dixon_critical_values.tsv"));
  int checked = 0;
  for (const auto& row : rows) {
    if (row[0] == "n") continue;  // column header
    const int n = std::atoi(row[0].c_str());
    ASSERT_EQ(row.size(), 11u);
    for (int c = 0; c < 9; ++c) {
      EXPECT_EQ(DeanDixonCriticalValues(n, static_cast<TSignifLevelEx>(c)),
                std::strtod(row[static_cast<std::size_t>(c) + 2].c_str(), nullptr))
          << "n " << n << " column " << c;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 98 * 9);
}

TEST(DeanDixon, PublishedReferenceRowsAndMonotonicity) {
  struct Row {
    int n;
    double v[9];
  };
  // Fixed reference rows of the published three-decimal table.
  const Row rows[] = {
      {3, {0.999, 0.998, 0.994, 0.988, 0.976, 0.941, 0.886, 0.782, 0.501}},
      {4, {0.964, 0.949, 0.921, 0.889, 0.847, 0.766, 0.679, 0.561, 0.324}},
      {7, {0.763, 0.731, 0.681, 0.636, 0.587, 0.507, 0.433, 0.344, 0.184}},
      {8, {0.799, 0.769, 0.724, 0.682, 0.633, 0.554, 0.480, 0.386, 0.211}},
      {10, {0.713, 0.683, 0.637, 0.597, 0.551, 0.477, 0.409, 0.325, 0.174}},
      {11, {0.770, 0.746, 0.708, 0.674, 0.636, 0.575, 0.518, 0.445, 0.304}},
      {13, {0.713, 0.687, 0.649, 0.617, 0.580, 0.522, 0.467, 0.399, 0.269}},
      {14, {0.732, 0.708, 0.672, 0.640, 0.603, 0.546, 0.491, 0.422, 0.287}},
      {20, {0.627, 0.604, 0.568, 0.538, 0.503, 0.450, 0.401, 0.339, 0.224}},
      {30, {0.539, 0.517, 0.484, 0.456, 0.425, 0.376, 0.332, 0.278, 0.179}},
      {50, {0.460, 0.439, 0.410, 0.384, 0.355, 0.312, 0.272, 0.226, 0.143}},
      {100, {0.387, 0.368, 0.341, 0.317, 0.292, 0.253, 0.219, 0.179, 0.111}},
  };
  for (const Row& r : rows)
    for (int c = 0; c < 9; ++c)
      EXPECT_EQ(DeanDixonCriticalValues(r.n, static_cast<TSignifLevelEx>(c)), r.v[c]) << r.n;
  for (int n = 3; n <= 100; ++n)
    for (int c = 1; c < 9; ++c)
      EXPECT_LT(DeanDixonCriticalValues(n, static_cast<TSignifLevelEx>(c)),
                DeanDixonCriticalValues(n, static_cast<TSignifLevelEx>(c - 1)))
          << n << " " << c;
  EXPECT_EQ(DeanDixonCriticalValues(2, TSignifLevelEx::Dot050), -1.0);
  EXPECT_EQ(DeanDixonCriticalValues(101, TSignifLevelEx::Dot050), -1.0);
  EXPECT_EQ(DeanDixonCriticalValues(3, TSignifLevelEx::Dot050), 0.941);
}

TEST(DeanDixon, DecisionsAndRatios) {
  struct Case {
    std::vector<double> data;
    TSignifLevelEx level;
    double q;     // expected ratio
    int32_t idx;  // expected index
  };
  std::vector<double> r22(20);  // 1..20 with the 20th moved far up
  for (int i = 0; i < 20; ++i) r22[static_cast<std::size_t>(i)] = i + 1;
  r22[7] = 100.0;  // element 8; sorted: 1..7, 9..20, 100
  std::vector<double> flat(15, 2.0);
  const Case cases[] = {
      {{1, 2, 3, 100}, TSignifLevelEx::Dot010, 97.0 / 99.0, 4},  // r10, high ratio
      {{100, 1, 2, 3}, TSignifLevelEx::Dot010, 97.0 / 99.0, 1},
      {{-50, 1, 2, 3}, TSignifLevelEx::Dot010, 51.0 / 53.0, 1},  // low ratio
      {{1, 2, 3, 4}, TSignifLevelEx::Dot500, 1.0 / 3.0, 1},      // tie: low taken, 1/3 > 0.324
      {{1, 2, 3, 4}, TSignifLevelEx::Dot200, 1.0 / 3.0, 0},
      {{5, 1, 2, 3, 4, 6, 7, 30, 8}, TSignifLevelEx::Dot050, 22.0 / 28.0, 8},            // r11
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, TSignifLevelEx::Dot050, 2.0 / 10.0, 0},  // r21
      {r22, TSignifLevelEx::Dot010, (100.0 - 19.0) / (100.0 - 3.0), 8},
      {flat, TSignifLevelEx::Dot050, 0.0, 0},  // zero denominators
  };
  for (const Case& c : cases) {
    TVector v;
    Fill(v, c.data);
    double q = -1;
    EXPECT_EQ(DeanDixonTest(v, c.level, q), c.idx) << c.data.size();
    EXPECT_DOUBLE_EQ(q, c.q) << c.data.size();
    EXPECT_EQ(v.Values()[0], c.data[0]);  // the data are not sorted
  }
}

TEST(DeanDixon, SizeLimitsAndNaN) {
  const auto message = [](int n) {
    TVector v;
    Fill(v, std::vector<double>(static_cast<std::size_t>(n), 1.0));
    double q = 0;
    try {
      (void)DeanDixonTest(v, TSignifLevelEx::Dot050, q);
    } catch (const EORKStatisError& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message(2), "DeanDixonTest: number of data points is too low");
  EXPECT_EQ(message(101), "DeanDixonTest: number of data points is too high");
  EXPECT_EQ(message(100), "no exception");
  TVector v;
  Fill(v, {1, 2, 3, NAN, 100});
  double q = 0;
  EXPECT_EQ(DeanDixonTest(v, TSignifLevelEx::Dot050, q), 0);
  EXPECT_TRUE(std::isnan(q));
}

TEST(Grubbs, CriticalValuesAgreeWithScipy) {
  int count = 0;
  for (const auto& row : ReadRows(DataFile("scipy_misc.txt"))) {
    if (row[0] != "grubbs") continue;
    const int n = std::atoi(row[1].c_str());
    const double alpha = std::strtod(row[2].c_str(), nullptr);
    const bool two = row[3] == "1";
    const double ref = std::strtod(row[4].c_str(), nullptr);
    // tDistriQuantile carries 12 digits or more; G is a smooth function of t.
    EXPECT_NEAR(GrubbsCriticalValues(n, alpha, two), ref, 1e-12 * ref) << n << " " << alpha;
    ++count;
  }
  EXPECT_EQ(count, 60);
  for (const double alpha : {0.0, 1.0, -0.1, double{NAN}})
    EXPECT_EQ(GrubbsCriticalValues(10, alpha, true), -1.0);
  EXPECT_EQ(GrubbsCriticalValues(2, 0.05, true), -1.0);
}

TEST(Grubbs, DecisionsAndFailures) {
  TVector v;
  Fill(v, {9.8, 10.1, 10.0, 9.9, 10.2, 10.0, 14.5, 9.95});
  double g = 0;
  EXPECT_EQ(GrubbsTest(v, 0.05, g), 7);
  double mean = 0, var = 0;
  v.MeanVar(0, 0, mean, var);
  EXPECT_DOUBLE_EQ(g, (14.5 - mean) / std::sqrt(var));
  Fill(v, {3, 3, 3, 3});
  g = 5;
  EXPECT_EQ(GrubbsTest(v, 0.05, g), 0);
  EXPECT_EQ(g, 0.0);
  const auto message = [&](const std::vector<double>& d, double alpha) {
    TVector w;
    Fill(w, d);
    try {
      (void)GrubbsTest(w, alpha, g);
    } catch (const EORKStatisError& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  for (const double alpha : {0.0, 1.0, double{NAN}})
    EXPECT_EQ(message({1, 2, 3, 4, 5}, alpha), "GrubbsTest: invalid level of significance");
  EXPECT_EQ(message({1, 2, 3}, 0.05), "GrubbsTest: number of data points is too low");
  EXPECT_EQ(message({1, 2, NAN, 4}, 0.05), "no exception");
}
