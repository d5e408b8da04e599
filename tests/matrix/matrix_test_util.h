// Helpers of the TMatrix tests: building matrices, counting events, the
// textbook reference loops and the reference data file.
#pragma once

#include "ORK_matrix.h"
#include "test_support.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace matrix_test {

using numbra::TMatrix;

/// Sets m to the given rows (each row a list of values).
inline void SetRows(TMatrix& m, std::initializer_list<std::initializer_list<double>> rows) {
  const auto nr = static_cast<int32_t>(rows.size());
  const auto nc = nr == 0 ? 0 : static_cast<int32_t>(rows.begin()->size());
  m.Resize(nc, nr);
  int32_t r = 1;
  for (const auto& row : rows) {
    int32_t c = 1;
    for (const double v : row) m.SetVal(c++, r, v);
    ++r;
  }
}

/// Fills an nc x nr matrix with uniform values in [-1, 1) from a fixed seed.
inline void FillRandom(TMatrix& m, int32_t nc, int32_t nr, uint64_t seed) {
  numbra::SetRandSeed(seed);
  m.Resize(nc, nr);
  m.FillRandomUniform(-1.0, 1.0);
}

/// Whether two matrices have the same size and the same bits in every element.
inline ::testing::AssertionResult BitEqual(const TMatrix& a, const TMatrix& b) {
  if (a.NrOfColumns() != b.NrOfColumns() || a.NrOfRows() != b.NrOfRows())
    return ::testing::AssertionFailure() << "size " << a.NrOfColumns() << "x" << a.NrOfRows()
                                         << " vs " << b.NrOfColumns() << "x" << b.NrOfRows();
  for (int32_t c = 1; c <= a.NrOfColumns(); ++c)
    for (int32_t r = 1; r <= a.NrOfRows(); ++r)
      if (std::bit_cast<uint64_t>(a.GetVal(c, r)) != std::bit_cast<uint64_t>(b.GetVal(c, r)))
        return ::testing::AssertionFailure() << "element (" << c << ", " << r
                                             << "): " << a.GetVal(c, r) << " vs " << b.GetVal(c, r);
  return ::testing::AssertionSuccess();
}

/// Largest |a - b| over all elements (sizes must match).
inline double MaxDiff(const TMatrix& a, const TMatrix& b) {
  double d = 0.0;
  for (int32_t c = 1; c <= a.NrOfColumns(); ++c)
    for (int32_t r = 1; r <= a.NrOfRows(); ++r)
      d = std::max(d, std::fabs(a.GetVal(c, r) - b.GetVal(c, r)));
  return d;
}

/// A matrix whose OnChange calls are counted.
struct Counted {
  TMatrix m;
  int changes = 0;
  Counted() {
    m.OnChange = [this](numbra::TObject* sender) {
      EXPECT_EQ(sender, &m);
      ++changes;
    };
  }
};

/// Counts progress steps while alive (MathFeedBackProc) and can request an
/// abort at step AbortAt (0: never).
struct StepCounter {
  int steps = 0;
  int abort_at = 0;
  explicit StepCounter(int AbortAt = 0) : abort_at(AbortAt) {
    numbra::AbortMathProc = false;
    numbra::MathFeedBackProc = [this](double) {
      ++steps;
      if (abort_at != 0 && steps == abort_at) numbra::AbortMathProc = true;
    };
  }
  ~StepCounter() {
    numbra::MathFeedBackProc = nullptr;
    numbra::AbortMathProc = false;
  }
  StepCounter(const StepCounter&) = delete;
  StepCounter& operator=(const StepCounter&) = delete;
};

/// One line of tests/data/matrix/matrix_refs.txt: its key word, the numbers
/// before "=" and the text after it.
struct RefLine {
  std::string kind;
  std::vector<std::string> args;
  std::string result;
};

inline std::vector<RefLine> ReadRefs() {
  std::ifstream in(std::string(NUMBRA_TEST_DATA_DIR) + "/matrix/matrix_refs.txt");
  std::vector<RefLine> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto eq = line.find(" = ");
    RefLine r;
    std::istringstream head(line.substr(0, eq));
    head >> r.kind;
    std::string w;
    while (head >> w) r.args.push_back(w);
    r.result = line.substr(eq + 3);
    out.push_back(std::move(r));
  }
  return out;
}

}  // namespace matrix_test
