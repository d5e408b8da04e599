// Helpers of the multivariate tests: reference blocks from tests/data and
// matrices from tables.
#pragma once

#include "ORK_math2.h"

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace numbra_test {

/// A rows x cols block of numbers, row by row.
struct RefBlock {
  int rows = 0;
  int cols = 0;
  std::vector<double> v;
  [[nodiscard]] double At(int r, int c) const { return v[static_cast<std::size_t>(r * cols + c)]; }
};

/// Reads the "name rows cols" blocks of a reference file of
/// tests/data/multivariate.
inline std::map<std::string, RefBlock> ReadRefBlocks(const std::string& file) {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/multivariate/" + file);
  std::map<std::string, RefBlock> out;
  std::string name;
  RefBlock b;
  while (in >> name >> b.rows >> b.cols) {
    b.v.resize(static_cast<std::size_t>(b.rows * b.cols));
    for (double& x : b.v) in >> x;
    out[name] = b;
  }
  return out;
}

/// TMatrix with the block's rows as rows.
inline void FillFrom(numbra::TMatrix& m, const RefBlock& b) {
  m.Resize(b.cols, b.rows);
  for (int r = 0; r < b.rows; ++r)
    for (int c = 0; c < b.cols; ++c) m.SetVal(c + 1, r + 1, b.At(r, c));
}

/// TMatrix from rows written as an initializer list.
inline void FillRows(numbra::TMatrix& m, const std::vector<std::vector<double>>& rows) {
  m.Resize(static_cast<int32_t>(rows.empty() ? 0 : rows[0].size()),
           static_cast<int32_t>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows[r].size(); ++c)
      m.SetVal(static_cast<int32_t>(c) + 1, static_cast<int32_t>(r) + 1, rows[r][c]);
}

/// Deterministic symmetric test matrix with entries in [-1, 1).
inline void RandomSymmetric(numbra::TMatrix& m, int32_t n, uint64_t seed) {
  m.Resize(n, n);
  for (int32_t q = 1; q <= n; ++q)
    for (int32_t p = 1; p <= q; ++p) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      const double x = static_cast<double>(seed >> 11) * 0x1.0p-52 - 1.0;
      m.SetVal(q, p, x);
      m.SetVal(p, q, x);
    }
}

}  // namespace numbra_test
