// Helpers of the TMatrix statistics, sorts and distances: rectangular
// regions of the column-major storage as value visitors, compensated sums,
// row gathering and the index checks. Not installed.
#pragma once

#include "ORK_matrix.h"
#include "foundation/frame_detail.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace numbra::detail {

/// A block LowCol..HighCol x LowRow..HighRow (valid ranges) of a column-major
/// storage: cols segments of rows contiguous doubles, stride apart. It is a
/// value visitor in the sense of MeanAndSSDVisit: region(f) calls f(x) for
/// every element, column by column, rows ascending within a column.
struct MatRegion {
  const double* base = nullptr;  ///< element (LowCol, LowRow)
  std::size_t rows = 0;          ///< length of each column segment
  std::size_t cols = 0;          ///< number of segments
  std::size_t stride = 0;        ///< distance of two columns in the storage

  [[nodiscard]] std::size_t Size() const noexcept { return rows * cols; }
  [[nodiscard]] bool Empty() const noexcept { return rows == 0 || cols == 0; }
  /// Whether the elements form one contiguous run (then All() is valid).
  [[nodiscard]] bool Contiguous() const noexcept { return cols <= 1 || rows == stride; }
  [[nodiscard]] std::span<const double> All() const noexcept { return {base, Size()}; }
  [[nodiscard]] std::span<const double> Column(std::size_t k) const noexcept {
    return {base + k * stride, rows};
  }
  template <class F>
  void operator()(F&& f) const {
    for (std::size_t k = 0; k < cols; ++k) {
      const double* p = base + k * stride;
      for (std::size_t r = 0; r < rows; ++r) f(p[r]);
    }
  }
};

/// The region of Data (a storage with StorRows rows per column, at least 1)
/// for the already validated ranges; empty when a range is empty (High <
/// Low, as the range rules give for an empty matrix).
inline MatRegion MakeRegion(const double* Data, int32_t StorRows, int32_t LowCol, int32_t LowRow,
                            int32_t HighCol, int32_t HighRow) noexcept {
  MatRegion g;
  g.stride = static_cast<std::size_t>(std::max(StorRows, 1));
  g.base = Data;
  if (HighCol < LowCol || HighRow < LowRow) return g;
  g.cols = static_cast<std::size_t>(HighCol - LowCol) + 1;
  g.rows = static_cast<std::size_t>(HighRow - LowRow) + 1;
  g.base =
      Data + static_cast<std::size_t>(LowCol - 1) * g.stride + static_cast<std::size_t>(LowRow - 1);
  return g;
}

/// Neumaier's compensated running sum (Kahan-Babuska): the rounding error of
/// every addition is collected and added at the end, so the error of the
/// total is a few units of rounding of the sum of magnitudes, independent
/// of the number of terms. Non-finite terms follow IEEE rules.
struct CompensatedSum {
  double s = 0.0;
  double c = 0.0;
  void Add(double x) noexcept {
    const double t = s + x;
    if (std::fabs(s) >= std::fabs(x))
      c += (s - t) + x;
    else
      c += (x - t) + s;
    s = t;
  }
  [[nodiscard]] double Total() const noexcept {
    // Once the sum has overflowed (or met NaN) the compensation is
    // meaningless (inf - inf): the IEEE sum is the result.
    return std::isfinite(s) ? s + c : s;
  }
};

inline double SumOf(std::span<const double> x) noexcept {
  CompensatedSum acc;
  for (const double v : x) acc.Add(v);
  return acc.Total();
}

/// Smallest and largest number of a sequence, NaN passed over; Found tells
/// whether any number was seen.
struct Extremes {
  double lo = std::numeric_limits<double>::infinity();
  double hi = -std::numeric_limits<double>::infinity();
  bool found = false;
  void Add(double x) noexcept {
    if (x != x) return;  // NaN
    found = true;
    if (x < lo) lo = x;
    if (x > hi) hi = x;
  }
};

/// The percentile rule of the matrix classes: the element at the 0-based
/// position Round(prob n / 100) (halves to even, prob clamped to 0..100,
/// NaN as 0), at most n - 1, of the ascending order of Data (NaN last), by
/// QuickSelect; no interpolation. 0.0 for no data. Data is reordered.
double SelectPercentile(std::vector<double>& Data, double prob);

/// Percentile prob (0..100) of a random sample of a region: fills Sample
/// (already sized) with elements At(c, r) at positions drawn column first,
/// then row, after reseeding the runtime generator from the clock; when the
/// percentile falls among the zeros of the sample the result is 0.
template <class AtFn>
double SampledPercentile(double prob, std::vector<double>& Sample, int32_t LowCol, int32_t LowRow,
                         int32_t HighCol, int32_t HighRow, AtFn&& At) {
  corvel::Randomize();
  const int32_t nc = HighCol - LowCol + 1;
  const int32_t nr = HighRow - LowRow + 1;
  int64_t negative = 0;
  int64_t non_positive = 0;
  for (double& v : Sample) {
    const int32_t c = LowCol + corvel::Random(nc);
    const int32_t r = LowRow + corvel::Random(nr);
    v = At(c, r);
    if (v < 0) ++negative;
    if (v <= 0) ++non_positive;
  }
  const double p = prob / 100.0;
  const double n = static_cast<double>(Sample.size());
  if (p > static_cast<double>(negative) / n && static_cast<double>(non_positive) / n > p)
    return 0.0;
  return SelectPercentile(Sample, prob);
}

/// "Component "<Name>": <Routine>: <What> <Index> outside 1..<Count>".
inline std::string IndexMsg(const corvel::TComponent& C, std::string_view Routine,
                            std::string_view What, int32_t Index, int32_t Count) {
  std::string text(Routine);
  text += ": ";
  text += What;
  text += ' ';
  text += std::to_string(Index);
  text += " outside 1..";
  text += std::to_string(Count);
  return ComponentMsg(C, text);
}

/// Raises EORKMatrixError with IndexMsg unless 1 <= Index <= Count.
inline void CheckIndex(const corvel::TComponent& C, std::string_view Routine, std::string_view What,
                       int32_t Index, int32_t Count) {
  if (Index < 1 || Index > Count) throw EORKMatrixError(IndexMsg(C, Routine, What, Index, Count));
}

/// Rows FirstRow..LastRow (1-based, valid) of the NCols x StorRows
/// column-major storage Data, handed to Fn(row, span) as contiguous copies,
/// a block of rows at a time: the block is gathered column by column, so
/// the storage is read in contiguous runs rather than with a stride of a
/// whole column per element. When Data points to mutable doubles, what Fn
/// leaves in the span is stored back into the row. Nothing for NCols < 1.
/// Raises EORKMatrixError "Component "<Name>": not enough memory on heap"
/// when the block buffer cannot be had.
template <class T, class Fn>
void ForEachRow(const corvel::TComponent& C, T* Data, int32_t NCols, int32_t StorRows,
                int32_t FirstRow, int32_t LastRow, Fn&& fn) {
  static_assert(std::is_same_v<std::remove_const_t<T>, double>);
  if (NCols <= 0 || LastRow < FirstRow) return;
  const auto nc = static_cast<std::size_t>(NCols);
  const auto stride = static_cast<std::size_t>(std::max(StorRows, 1));
  // About 256 KiB of buffer, at most 64 rows, at least one.
  const std::size_t block = std::clamp<std::size_t>(32768 / nc, 1, 64);
  std::vector<double> buf;
  Allocate<EORKMatrixError>(C, "not enough memory on heap", [&] { buf.resize(block * nc); });
  for (int64_t r0 = FirstRow; r0 <= LastRow; r0 += static_cast<int64_t>(block)) {
    const auto nb = static_cast<std::size_t>(
        std::min<int64_t>(static_cast<int64_t>(block), int64_t{LastRow} - r0 + 1));
    const std::size_t first = static_cast<std::size_t>(r0) - 1;
    for (std::size_t c = 0; c < nc; ++c) {
      const T* col = Data + c * stride + first;
      for (std::size_t i = 0; i < nb; ++i) buf[i * nc + c] = col[i];
    }
    for (std::size_t i = 0; i < nb; ++i) {
      const std::span<T> row(&buf[i * nc], nc);
      fn(static_cast<int32_t>(r0) + static_cast<int32_t>(i), row);
    }
    if constexpr (!std::is_const_v<T>) {
      for (std::size_t c = 0; c < nc; ++c) {
        double* col = Data + c * stride + first;
        for (std::size_t i = 0; i < nb; ++i) col[i] = buf[i * nc + c];
      }
    }
  }
}

}  // namespace numbra::detail
