// Reader of tests/data/matrix_stats/matrix_stats_refs.txt (written by
// gen_matrix_stats_refs.py there) and small helpers of the statistics,
// sorting and distance tests of TMatrix.
#pragma once

#include "ORK_matrix.h"
#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace matrix_stats_test {

/// One reference line: its kind, the words before " = " and the numbers after.
struct Ref {
  std::string kind;
  std::vector<std::string> args;
  std::vector<double> values;
};

struct RefFile {
  std::map<std::string, std::vector<std::vector<double>>> matrices;  // rows
  std::vector<Ref> refs;
};

inline const RefFile& Refs() {
  static const RefFile file = [] {
    RefFile f;
    std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/matrix_stats/matrix_stats_refs.txt");
    std::string line;
    std::string current;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream words(line.substr(0, line.find(" = ")));
      std::string kind;
      words >> kind;
      if (kind == "matrix") {
        words >> current;
        f.matrices[current];
        continue;
      }
      if (kind == "row") {
        std::vector<double> row;
        std::string w;
        while (words >> w) row.push_back(std::strtod(w.c_str(), nullptr));
        f.matrices[current].push_back(row);
        continue;
      }
      Ref r;
      r.kind = kind;
      std::string w;
      while (words >> w) r.args.push_back(w);
      std::istringstream rest(line.substr(line.find(" = ") + 3));
      while (rest >> w) r.values.push_back(std::strtod(w.c_str(), nullptr));
      f.refs.push_back(r);
    }
    return f;
  }();
  return file;
}

/// Sets m to the given rows.
inline void SetRows(numbra::TMatrix& m, const std::vector<std::vector<double>>& rows) {
  const auto nr = static_cast<int32_t>(rows.size());
  const auto nc = nr == 0 ? 0 : static_cast<int32_t>(rows.front().size());
  m.Resize(nc, nr);
  for (int32_t r = 1; r <= nr; ++r)
    for (int32_t c = 1; c <= nc; ++c)
      m.SetVal(c, r, rows[static_cast<std::size_t>(r) - 1][static_cast<std::size_t>(c) - 1]);
}

inline void SetRows(numbra::TMatrix& m, std::initializer_list<std::initializer_list<double>> rows) {
  std::vector<std::vector<double>> v;
  for (const auto& r : rows) v.emplace_back(r);
  SetRows(m, v);
}

/// The reference matrix Name.
inline void LoadRef(numbra::TMatrix& m, const std::string& Name) {
  ASSERT_EQ(Refs().matrices.count(Name), 1u) << Name;
  SetRows(m, Refs().matrices.at(Name));
}

/// Element-wise equality (bits) of two matrices.
inline ::testing::AssertionResult SameMatrix(const numbra::TMatrix& a, const numbra::TMatrix& b) {
  if (a.NrOfColumns() != b.NrOfColumns() || a.NrOfRows() != b.NrOfRows())
    return ::testing::AssertionFailure() << "sizes differ";
  for (int32_t c = 1; c <= a.NrOfColumns(); ++c)
    for (int32_t r = 1; r <= a.NrOfRows(); ++r) {
      const double x = a.GetVal(c, r);
      const double y = b.GetVal(c, r);
      if (!(x == y || (x != x && y != y)))
        return ::testing::AssertionFailure()
               << "element (" << c << ", " << r << "): " << x << " vs " << y;
    }
  return ::testing::AssertionSuccess();
}

/// |a - b| <= k eps max(|a|, |b|, 1): for dimensionless results of order 1
/// (skewness, kurtosis, correlations) whose reference may be 0.
inline ::testing::AssertionResult NearUnit(double a, double b, double k) {
  const double eps = std::numeric_limits<double>::epsilon();
  const double scale = std::max({std::fabs(a), std::fabs(b), 1.0});
  if (std::fabs(a - b) <= k * eps * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << a << " vs " << b << ": " << std::fabs(a - b) / scale / eps
                                       << " eps (allowed " << k << ")";
}

inline double NaN() { return std::numeric_limits<double>::quiet_NaN(); }
inline double Inf() { return std::numeric_limits<double>::infinity(); }

}  // namespace matrix_stats_test
