// Readers of the reference files in tests/data/hypothesis and a helper that
// fills a TVector.
#pragma once

#include "ORK_statis.h"
#include "ORK_vector.h"

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace hypothesis_test {

inline std::string DataFile(const std::string& name) {
  return std::string(NUMBRA_TEST_DATA_DIR) + "/hypothesis/" + name;
}

/// The non-comment lines of a reference file, split into words.
inline std::vector<std::vector<std::string>> ReadRows(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << path;
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    std::vector<std::string> words;
    for (std::string w; ss >> w;) words.push_back(w);
    rows.push_back(std::move(words));
  }
  return rows;
}

/// samples.txt: name -> values.
inline const std::map<std::string, std::vector<double>>& Samples() {
  static const auto samples = [] {
    std::map<std::string, std::vector<double>> m;
    for (const auto& row : ReadRows(DataFile("samples.txt"))) {
      std::vector<double> v;
      for (std::size_t i = 1; i < row.size(); ++i)
        v.push_back(std::strtod(row[i].c_str(), nullptr));
      m[row[0]] = std::move(v);
    }
    return m;
  }();
  return samples;
}

/// Fills v with values (v keeps at least one element).
inline void Fill(numbra::TVector& v, const std::vector<double>& values) {
  v.Resize(static_cast<int32_t>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) v.SetVal(static_cast<int32_t>(i) + 1, values[i]);
}

/// Relative difference, |a - b| / |b| (absolute when b is 0).
inline double Rel(double a, double b) {
  return b == 0.0 ? std::fabs(a) : std::fabs(a - b) / std::fabs(b);
}

}  // namespace hypothesis_test
