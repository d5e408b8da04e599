// Helpers shared by the TDataTable sources (not installed).
#pragma once

#include "ORK_datatable.h"
#include "foundation/frame_detail.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace numbra::detail {

inline constexpr std::string_view kDTNoHeap = "not enough memory on heap";

/// Text cut to at most Max bytes, at a UTF-8 character boundary (a
/// continuation byte is never left without its lead byte).
inline std::string CutText(std::string_view s, std::size_t Max) {
  if (s.size() <= Max) return std::string(s);
  std::size_t n = Max;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0U) == 0x80U) --n;
  return std::string(s.substr(0, n));
}

/// ASCII lower case (bytes >= 0x80 unchanged).
inline std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return out;
}

/// Round half to even, the "Round" of the library.
inline double RoundEven(double v) noexcept { return std::nearbyint(v); }

/// Default names of new columns and rows.
inline std::string DefaultColName(int32_t c) { return "C-" + std::to_string(c); }
inline std::string DefaultRowName(int32_t r) { return "R-" + std::to_string(r); }

/// Whether a state marks a valid cell (bits 0 and 1 clear).
constexpr bool IsValidState(uint8_t s) noexcept { return (s & 3U) == 0; }

}  // namespace numbra::detail

namespace numbra {

namespace detail {
/// Which columns of a rectangle take part in a statistic.
enum class ColRule { Numeric, All };

/// A selection of cells as a value visitor (see MeanAndSSDVisit): calls
/// f(value) for every selected cell, column by column and row by row,
/// values as stored. CellOk(state) decides on a cell.
template <class CellOk>
struct Selection {
  const double* values;
  const uint8_t* states;
  std::size_t rows;  ///< rows of the table (storage stride)
  int32_t lc, lr, hc, hr;
  std::vector<char> col_ok;  ///< per column lc..hc
  CellOk cell_ok;

  template <class F>
  void operator()(F&& f) const {
    for (int32_t c = lc; c <= hc; ++c) {
      if (col_ok[std::size_t(c - lc)] == 0) continue;
      const std::size_t base = std::size_t(c - 1) * rows;
      for (int32_t r = lr; r <= hr; ++r) {
        const std::size_t k = base + std::size_t(r - 1);
        if (cell_ok(states[k])) f(values[k]);
      }
    }
  }
};
}  // namespace detail

/// The sources' view of the table's private storage.
struct DataTableAccess {
  template <class CellOk>
  static detail::Selection<CellOk> Select(const TDataTable& t, int32_t lc, int32_t lr, int32_t hc,
                                          int32_t hr, detail::ColRule rule, CellOk ok) {
    t.MakeValidColRange(lc, hc);
    t.MakeValidRowRange(lr, hr);
    detail::Selection<CellOk> s{t.NumericData->Values().data(),
                                t.FCState.data(),
                                static_cast<std::size_t>(t.FNrOfRows),
                                lc,
                                lr,
                                hc,
                                hr,
                                {},
                                ok};
    s.col_ok.resize(std::size_t(hc - lc + 1));
    for (int32_t c = lc; c <= hc; ++c)
      s.col_ok[std::size_t(c - lc)] = rule == detail::ColRule::All || t.IsNumeric(c) ? 1 : 0;
    return s;
  }
  static std::vector<uint8_t>& States(TDataTable& t) { return t.FCState; }
  static const std::vector<uint8_t>& States(const TDataTable& t) { return t.FCState; }
  static bool Numeric(const TDataTable& t, int32_t c) { return t.IsNumeric(c); }
  static bool Categorial(const TDataTable& t, int32_t c) { return t.IsCategorial(c); }
};

}  // namespace numbra
