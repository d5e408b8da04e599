// TDataTable::CalcCovar: covariance-type matrices of a column block over
// the rows where both cells of a pair are valid.
//
// Pearson's r is formed from centred sums with the first-order correction
// of the corrected two-pass algorithm (vector/vector_detail.h,
// PearsonCorrectedOf), never from sum x^2 - (sum x)^2 / m, which loses all
// digits for data with a large common offset (1e8 + small noise). Columns
// whose cells in the block are all valid are centred once and each pair is
// then one dot product; pairs with invalid cells gather their common rows
// and go through the vector kernel.
#include "ORK_datatable.h"
#include "datatable/datatable_detail.h"
#include "foundation/stats_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <cmath>

namespace numbra {

namespace {

// One column of the block: its values as GetElem reads them, its validity
// and, when all cells are valid, its scaled deviations from the mean.
struct CovColumn {
  const double* x = nullptr;    // LoR..HiR
  std::vector<double> rounded;  // storage of x for nominal and ordinal columns
  std::vector<uint8_t> valid;
  bool all_valid = true;
  double mean = 0.0;        // over the column's own valid cells
  double mean_lo = 0.0;     // the rounding error of mean: mean + mean_lo is exact to O(eps^2)
  std::vector<double> dev;  // (x - mean) * 2^-e, all-valid columns only
  double s1 = 0.0;          // sum of dev (the rounding error of mean)
  double q = 0.0;           // sum of dev^2 - s1^2 / m
};

double Dot(const double* a, const double* b, std::size_t n) {
  double s[4] = {0, 0, 0, 0};
  std::size_t k = 0;
  for (; k + 4 <= n; k += 4)
    for (int j = 0; j < 4; ++j) s[j] += a[k + j] * b[k + j];
  for (; k < n; ++k) s[0] += a[k] * b[k];
  return (s[0] + s[1]) + (s[2] + s[3]);
}

}  // namespace

bool TDataTable::CalcCovar(TMatrix* CovarMat, int32_t LoC, int32_t HiC, int32_t LoR, int32_t HiR,
                           int32_t Mode) {
  AbortMathProc = false;
  if (CovarMat == nullptr) return false;
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  const int32_t n = HiC - LoC + 1;
  if (CovarMat->NrOfColumns() < n || CovarMat->NrOfRows() < n) return false;
  const auto rows = static_cast<std::size_t>(HiR - LoR + 1);
  const std::span<const double> all = NumericData->Values();
  const std::vector<uint8_t>& st = DataTableAccess::States(*this);

  std::vector<CovColumn> cols(static_cast<std::size_t>(n));
  detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap, [&] {
    for (int32_t i = 0; i < n; ++i) {
      CovColumn& cc = cols[std::size_t(i)];
      const int32_t c = LoC + i;
      const std::size_t base = SIdx(c, LoR);
      cc.x = all.data() + base;
      if (IsCategorial(c)) {
        cc.rounded.assign(cc.x, cc.x + rows);
        for (double& v : cc.rounded) v = detail::RoundEven(v);
        cc.x = cc.rounded.data();
      }
      cc.valid.resize(rows);
      for (std::size_t r = 0; r < rows; ++r) {
        cc.valid[r] = detail::IsValidState(st[base + r]) ? 1 : 0;
        cc.all_valid = cc.all_valid && cc.valid[r] != 0;
      }
    }
  });

  // Column means (and the centred columns where every cell is valid).
  const bool centred = Mode >= 1 && Mode <= 3;
  if (Mode > 0) {
    for (CovColumn& cc : cols) {
      const detail::MeanSSD ms = detail::MeanAndSSDVisit([&](auto&& f) {
        for (std::size_t r = 0; r < rows; ++r)
          if (cc.valid[r] != 0) f(cc.x[r]);
      });
      cc.mean = ms.mean;
      // The second correction of the corrected two-pass mean: for data far
      // from 0 (1e8 + noise) the rounding of the mean is large beside the
      // deviations, and covariances over rows that are not the column's
      // own valid rows would otherwise carry it.
      if (ms.finite && ms.n > 0) {
        double s = 0.0;
        for (std::size_t r = 0; r < rows; ++r)
          if (cc.valid[r] != 0) s += cc.x[r] - cc.mean;
        cc.mean_lo = s / static_cast<double>(ms.n);
      }
      if (centred && cc.all_valid && ms.finite) {
        detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap,
                                             [&] { cc.dev.resize(rows); });
        const double scale = std::ldexp(1.0, -ms.exp2);
        for (std::size_t r = 0; r < rows; ++r) {
          cc.dev[r] = (cc.x[r] - cc.mean) * scale;
          cc.s1 += cc.dev[r];
        }
        cc.q = Dot(cc.dev.data(), cc.dev.data(), rows) - cc.s1 * cc.s1 / double(rows);
        // The unscaled mean deviation of a column is needed by mode 1.
      }
      StepProcStat();
    }
  }

  std::vector<double> gx;
  std::vector<double> gy;
  detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap, [&] {
    gx.reserve(rows);
    gy.reserve(rows);
  });
  auto on_change = std::move(CovarMat->OnChange);
  CovarMat->OnChange = nullptr;
  bool completed = true;
  for (int32_t i = 1; i <= n && completed; ++i) {
    if (AbortMathProc) {
      completed = false;
      break;
    }
    StepProcStat();
    const CovColumn& ci = cols[std::size_t(i - 1)];
    for (int32_t j = 1; j <= i; ++j) {
      const CovColumn& cj = cols[std::size_t(j - 1)];
      double value = 0.0;
      const bool direct = ci.all_valid && cj.all_valid;
      const double* px = ci.x;
      const double* py = cj.x;
      std::size_t m = rows;
      if (!direct) {
        gx.clear();
        gy.clear();
        for (std::size_t r = 0; r < rows; ++r)
          if (ci.valid[r] != 0 && cj.valid[r] != 0) {
            gx.push_back(ci.x[r]);
            gy.push_back(cj.x[r]);
          }
        px = gx.data();
        py = gy.data();
        m = gx.size();
      }
      const double md = static_cast<double>(m);
      switch (Mode) {
        case 0:
          if (m >= 2) value = Dot(px, py, m) / (md - 1);
          break;
        case 1:
          if (m >= 2) {
            double s = 0.0;
            for (std::size_t k = 0; k < m; ++k)
              s += ((px[k] - ci.mean) - ci.mean_lo) * ((py[k] - cj.mean) - cj.mean_lo);
            value = s / (md - 1);
          }
          break;
        case 2:
        case 3:
          if (m > 2) {
            if (direct && !ci.dev.empty() && !cj.dev.empty()) {
              const double sxy = Dot(ci.dev.data(), cj.dev.data(), m) - ci.s1 * cj.s1 / md;
              value = ci.q > 0 && cj.q > 0 ? sxy / (std::sqrt(ci.q) * std::sqrt(cj.q)) : 0.0;
            } else {
              value = detail::PearsonCorrectedOf(std::span<const double>(px, m),
                                                 std::span<const double>(py, m));
            }
            if (Mode == 3) value *= value;
          }
          if (i == j) value = 1.0;
          break;
        case 4:
          if (m >= 2) {
            double s = 0.0;
            for (std::size_t k = 0; k < m; ++k) s += (px[k] - py[k]) * (px[k] - py[k]);
            value = s / (md - 1);
          }
          break;
        default:
          break;
      }
      CovarMat->SetVal(j, i, value);
      CovarMat->SetVal(i, j, value);
    }
  }
  CovarMat->OnChange = std::move(on_change);
  if (CovarMat->OnChange) CovarMat->OnChange(CovarMat);
  return completed;
}

}  // namespace numbra
