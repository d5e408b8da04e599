// TDataTable statistics over selected cells, standardisation and mean
// centring, attribute extremes and levels.
//
// A selection (a rectangle, a rule for the columns and a rule for the cell
// states) is one more value visitor of the kind the vector and matrix
// statistics are written over (vector/vector_detail.h): the mean and
// variance, geometric and harmonic means, quartiles and percentiles below
// are the library's kernels applied to it, not copies of them.
#include "ORK_datatable.h"
#include "datatable/datatable_detail.h"
#include "foundation/stats_detail.h"
#include "matrix/matrix_stats_detail.h"
#include "vector/vector_detail.h"

#include <algorithm>
#include <unordered_set>

namespace numbra {

namespace {

constexpr auto kValid = [](uint8_t s) { return detail::IsValidState(s); };

auto MarkedRule(uint8_t mask) {
  return [mask](uint8_t s) { return detail::IsValidState(s) && (mask & (s & 252U)) != 0; };
}

template <class Sel>
int32_t CountOf(const Sel& sel) {
  int64_t n = 0;
  sel([&](double) { ++n; });
  return static_cast<int32_t>(std::min<int64_t>(n, INT32_MAX));
}

template <class Sel>
int32_t MeanVarSel(const Sel& sel, double& Mean, double& Variance) {
  const detail::MeanSSD r = detail::MeanAndSSDVisit(sel);
  Mean = r.mean;
  Variance = r.n < 3 ? 1.0 : r.Variance(1);
  return static_cast<int32_t>(r.n);
}

template <class Sel>
double SumSel(const Sel& sel, int32_t& NumData) {
  detail::CompensatedSum acc;
  int64_t n = 0;
  sel([&](double v) {
    acc.Add(v);
    ++n;
  });
  NumData = static_cast<int32_t>(n);
  return acc.Total();
}

template <class Sel, class Map>
int32_t MinMaxSel(const Sel& sel, Map map, double& Minimum, double& Maximum) {
  Minimum = uc_MaxReal;
  Maximum = -uc_MaxReal;
  int64_t n = 0;
  sel([&](double raw) {
    const double v = map(raw);
    if (v < Minimum) Minimum = v;
    if (v > Maximum) Maximum = v;
    ++n;
  });
  return static_cast<int32_t>(n);
}

// The selected values, sorted ascending with the library's SortArray.
template <class Sel>
std::vector<double> SortedValues(const TDataTable& t, const Sel& sel) {
  std::vector<double> x;
  detail::Allocate<EORKDataTableError>(t, detail::kDTNoHeap, [&] {
    x.reserve(std::size_t(sel.hc - sel.lc + 1) * std::size_t(sel.hr - sel.lr + 1));
  });
  sel([&](double v) { x.push_back(v); });
  SortArray(std::span<double>(x), true);
  return x;
}

}  // namespace

int32_t TDataTable::MeanVarOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                      int32_t HighRow, double& Mean, double& Variance) const {
  return MeanVarSel(DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                            detail::ColRule::Numeric, kValid),
                    Mean, Variance);
}

int32_t TDataTable::MeanVarOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                         int32_t HighRow, uint8_t CellState, double& Mean,
                                         double& Variance) const {
  return MeanVarSel(DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                            detail::ColRule::Numeric, MarkedRule(CellState)),
                    Mean, Variance);
}

double TDataTable::SumOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                 int32_t& NumData) const {
  return SumSel(DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                        detail::ColRule::Numeric, kValid),
                NumData);
}

double TDataTable::SumOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                    int32_t HighRow, uint8_t CellState, int32_t& NumData) const {
  return SumSel(DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                        detail::ColRule::Numeric, MarkedRule(CellState)),
                NumData);
}

int32_t TDataTable::MinMaxOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                     int32_t HighRow, double& Minimum, double& Maximum) const {
  return MinMaxSel(
      DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow, detail::ColRule::Numeric,
                              kValid),
      [](double v) { return v; }, Minimum, Maximum);
}

int32_t TDataTable::MinMaxOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                        int32_t HighRow, uint8_t CellState, double& Minimum,
                                        double& Maximum) const {
  return MinMaxSel(
      DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow, detail::ColRule::All,
                              MarkedRule(CellState)),
      [](double v) { return v; }, Minimum, Maximum);
}

int32_t TDataTable::MinMaxOfValidCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                       int32_t HighRow, double& Minimum, double& Maximum) const {
  // Per column, since nominal and ordinal values are rounded first.
  MakeValidColRange(LowCol, HighCol);
  MakeValidRowRange(LowRow, HighRow);
  Minimum = uc_MaxReal;
  Maximum = -uc_MaxReal;
  int32_t n = 0;
  for (int32_t c = LowCol; c <= HighCol; ++c) {
    double lo = 0;
    double hi = 0;
    const auto sel =
        DataTableAccess::Select(*this, c, LowRow, c, HighRow, detail::ColRule::All, kValid);
    const int32_t k = IsCategorial(c)
                          ? MinMaxSel(
                                sel, [](double v) { return detail::RoundEven(v); }, lo, hi)
                          : MinMaxSel(
                                sel, [](double v) { return v; }, lo, hi);
    if (k == 0) continue;
    n += k;
    Minimum = std::min(Minimum, lo);
    Maximum = std::max(Maximum, hi);
  }
  return n;
}

double TDataTable::GeometricMeanOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                           int32_t HighRow, int32_t& NumData) const {
  const auto sel = DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                           detail::ColRule::Numeric, kValid);
  int32_t positive = 0;
  sel([&](double v) { positive += v > 0 ? 1 : 0; });
  NumData = positive;
  const double g = detail::GeometricMeanVisit<EORKMatrixError>(sel, *this);
  return positive == 0 ? 0.0 : g;  // no positive cell: 0.0 rather than 0 / 0
}

double TDataTable::HarmonicMeanOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                          int32_t HighRow, int32_t& NumData) const {
  const auto sel = DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                           detail::ColRule::Numeric, kValid);
  NumData = 0;
  const double h = detail::HarmonicMeanVisit<EORKMatrixError>(sel, *this);
  NumData = CountOf(sel);
  return NumData == 0 ? 0.0 : h;
}

bool TDataTable::QuartilesOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                     int32_t HighRow, double& Q1, double& Q2, double& Q3,
                                     int32_t& NumData) const {
  const std::vector<double> x =
      SortedValues(*this, DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                                  detail::ColRule::Numeric, kValid));
  NumData = static_cast<int32_t>(x.size());
  if (x.empty()) {
    Q1 = Q2 = Q3 = 0.0;
    return true;
  }
  detail::QuartilesOfSorted(x, Q1, Q2, Q3);
  return true;
}

double TDataTable::PercentileOfNumCells(double prob, int32_t LowCol, int32_t LowRow,
                                        int32_t HighCol, int32_t HighRow, int32_t& NumData) const {
  const std::vector<double> x =
      SortedValues(*this, DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                                  detail::ColRule::Numeric, kValid));
  NumData = static_cast<int32_t>(x.size());
  return x.empty() ? 0.0 : detail::PercentileOfSorted(x, prob);
}

double TDataTable::PercentileOfMarkedCells(double prob, int32_t LowCol, int32_t LowRow,
                                           int32_t HighCol, int32_t HighRow, uint8_t CellState,
                                           int32_t& NumData) const {
  const std::vector<double> x =
      SortedValues(*this, DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                                  detail::ColRule::Numeric, MarkedRule(CellState)));
  NumData = static_cast<int32_t>(x.size());
  return x.empty() ? 0.0 : detail::PercentileOfSorted(x, prob);
}

int32_t TDataTable::CountNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                  int32_t HighRow) const noexcept {
  return CountOf(DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                         detail::ColRule::Numeric, kValid));
}

int32_t TDataTable::CountValidCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                    int32_t HighRow) const noexcept {
  return CountOf(DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                         detail::ColRule::All, kValid));
}

int32_t TDataTable::CountEmptyCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                    int32_t HighRow) const noexcept {
  return CountOf(DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                         detail::ColRule::All,
                                         [](uint8_t s) { return (s & 2U) != 0; }));
}

int32_t TDataTable::CountImputedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                      int32_t HighRow) const noexcept {
  return CountOf(DataTableAccess::Select(*this, LowCol, LowRow, HighCol, HighRow,
                                         detail::ColRule::All,
                                         [](uint8_t s) { return (s & 32U) != 0; }));
}

int32_t TDataTable::CopyCellsToVector(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                      int32_t HighRow, uint8_t CellState, TVector* DestVect) const {
  if (DestVect == nullptr) return 0;
  const auto sel = DataTableAccess::Select(
      *this, LowCol, LowRow, HighCol, HighRow, detail::ColRule::All, [CellState](uint8_t s) {
        return detail::IsValidState(s) && (CellState == 255 || (CellState & s) != 0);
      });
  std::vector<double> x;
  detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap, [&] {
    x.reserve(std::size_t(sel.hc - sel.lc + 1) * std::size_t(sel.hr - sel.lr + 1));
  });
  sel([&](double v) { x.push_back(v); });
  const auto n = static_cast<int32_t>(x.size());
  DestVect->Resize(std::max(n, 1));
  for (int32_t k = 1; k <= n; ++k) DestVect->SetVal(k, x[std::size_t(k - 1)]);
  if (n == 0) DestVect->Resize(0);
  return n;
}

int32_t TDataTable::FillMarkedCells(double Value, uint8_t StateMask) {
  auto on_change = std::move(NumericData->OnChange);
  NumericData->OnChange = nullptr;
  int32_t n = 0;
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    for (int32_t r = 1; r <= FNrOfRows; ++r)
      if ((FCState[SIdx(c, r)] & StateMask) != 0) {
        NumericData->SetVal(c, r, Value);
        ++n;
      }
  NumericData->OnChange = std::move(on_change);
  if (n > 0) ChangedData();
  return n;
}

namespace {

// Detaches the matrix's OnChange for the life of the guard.
class QuietMatrix {
 public:
  explicit QuietMatrix(TMatrix* m) : m_(m), saved_(std::move(m->OnChange)) {
    m_->OnChange = nullptr;
  }
  ~QuietMatrix() { m_->OnChange = std::move(saved_); }
  QuietMatrix(const QuietMatrix&) = delete;
  QuietMatrix& operator=(const QuietMatrix&) = delete;

 private:
  TMatrix* m_;
  TNotifyEvent saved_;
};

}  // namespace

void TDataTable::StandardizeNumCellColumns(TVector* Means, TVector* StdDevs) {
  bool changed = false;
  {
    QuietMatrix quiet(NumericData);
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      if (!IsNumeric(c)) continue;
      double mean = 0;
      double var = 0;
      MeanVarOfNumCells(c, 1, c, FNrOfRows, mean, var);
      const double sd = std::sqrt(var);
      if (var > 0) {
        for (int32_t r = 1; r <= FNrOfRows; ++r)
          if (detail::IsValidState(FCState[SIdx(c, r)]))
            NumericData->SetVal(c, r, (NumericData->GetVal(c, r) - mean) / sd);
        changed = true;
      }
      if (Means != nullptr) Means->SetVal(c, mean);
      if (StdDevs != nullptr) StdDevs->SetVal(c, sd);
    }
  }
  if (changed) ChangedData();
}

namespace {
void CheckRowsAllowed(const TDataTable& t, std::string_view what) {
  for (int32_t c = 1; c <= t.NrOfColumns(); ++c)
    if (DataTableAccess::Categorial(t, c))
      throw EORKDataTableError(detail::ComponentMsg(
          t, std::string(what) + " of rows is not possible with nominal or ordinal variables"));
}
}  // namespace

void TDataTable::StandardizeNumCellRows(TVector* Means, TVector* StdDevs) {
  CheckRowsAllowed(*this, "standardization");
  {
    QuietMatrix quiet(NumericData);
    for (int32_t r = 1; r <= FNrOfRows; ++r) {
      double mean = 0;
      double var = 0;
      MeanVarOfNumCells(1, r, FNrOfCols, r, mean, var);
      const double sd = std::sqrt(var);
      if (var > 0)
        for (int32_t c = 1; c <= FNrOfCols; ++c)
          if (detail::IsValidState(FCState[SIdx(c, r)]))
            NumericData->SetVal(c, r, (NumericData->GetVal(c, r) - mean) / sd);
      if (Means != nullptr) Means->SetVal(r, mean);
      if (StdDevs != nullptr) StdDevs->SetVal(r, sd);
    }
  }
  ChangedData();
}

void TDataTable::MeanCenterNumCellColumns(TVector* Means) {
  {
    QuietMatrix quiet(NumericData);
    for (int32_t c = 1; c <= FNrOfCols; ++c) {
      if (!IsNumeric(c)) continue;
      double mean = 0;
      double var = 0;
      MeanVarOfNumCells(c, 1, c, FNrOfRows, mean, var);
      for (int32_t r = 1; r <= FNrOfRows; ++r)
        if (detail::IsValidState(FCState[SIdx(c, r)]))
          NumericData->SetVal(c, r, NumericData->GetVal(c, r) - mean);
      if (Means != nullptr) Means->SetVal(c, mean);
    }
  }
  ChangedData();
}

void TDataTable::MeanCenterNumCellRows(TVector* Means) {
  CheckRowsAllowed(*this, "mean centering");
  {
    QuietMatrix quiet(NumericData);
    for (int32_t r = 1; r <= FNrOfRows; ++r) {
      double mean = 0;
      double var = 0;
      MeanVarOfNumCells(1, r, FNrOfCols, r, mean, var);
      for (int32_t c = 1; c <= FNrOfCols; ++c)
        if (detail::IsValidState(FCState[SIdx(c, r)]))
          NumericData->SetVal(c, r, NumericData->GetVal(c, r) - mean);
      if (Means != nullptr) Means->SetVal(r, mean);
    }
  }
  ChangedData();
}

namespace {

// Strictly greater (Greater) or smaller extreme of a[First..Last] with the
// first index holding it.
template <class Better>
int32_t ExtremeAttrib(const std::vector<int32_t>& a, int32_t First, int32_t Last, int32_t& Ix,
                      Better better) {
  int32_t best = a[std::size_t(First - 1)];
  Ix = First;
  for (int32_t i = First + 1; i <= Last; ++i)
    if (better(a[std::size_t(i - 1)], best)) {
      best = a[std::size_t(i - 1)];
      Ix = i;
    }
  return best;
}

int32_t DistinctCount(const std::vector<int32_t>& a) {
  std::unordered_set<int32_t> seen(a.begin(), a.end());
  return static_cast<int32_t>(seen.size());
}

}  // namespace

int32_t TDataTable::MaxRowAttrib(int32_t FirstRow, int32_t LastRow, int32_t& Row) const noexcept {
  MakeValidRowRange(FirstRow, LastRow);
  return ExtremeAttrib(FRowAtt, FirstRow, LastRow, Row, std::greater<>());
}
int32_t TDataTable::MinRowAttrib(int32_t FirstRow, int32_t LastRow, int32_t& Row) const noexcept {
  MakeValidRowRange(FirstRow, LastRow);
  return ExtremeAttrib(FRowAtt, FirstRow, LastRow, Row, std::less<>());
}
int32_t TDataTable::MaxColAttrib(int32_t FirstCol, int32_t LastCol, int32_t& Col) const noexcept {
  MakeValidColRange(FirstCol, LastCol);
  return ExtremeAttrib(FColAtt, FirstCol, LastCol, Col, std::greater<>());
}
int32_t TDataTable::MinColAttrib(int32_t FirstCol, int32_t LastCol, int32_t& Col) const noexcept {
  MakeValidColRange(FirstCol, LastCol);
  return ExtremeAttrib(FColAtt, FirstCol, LastCol, Col, std::less<>());
}

TMScaleType TDataTable::FindHighestMLevel(int32_t FirstCol, int32_t LastCol) const noexcept {
  MakeValidColRange(FirstCol, LastCol);
  TMScaleType best = TMScaleType::stNominal;
  for (int32_t c = FirstCol; c <= LastCol; ++c)
    best = std::max(best, FVType[std::size_t(c - 1)].MScaleType);
  return best;
}

TMScaleType TDataTable::FindLowestMLevel(int32_t FirstCol, int32_t LastCol) const noexcept {
  MakeValidColRange(FirstCol, LastCol);
  TMScaleType best = TMScaleType::stRatio;
  for (int32_t c = FirstCol; c <= LastCol; ++c)
    best = std::min(best, FVType[std::size_t(c - 1)].MScaleType);
  return best;
}

int32_t TDataTable::RowAttribLevels() const { return DistinctCount(FRowAtt); }
int32_t TDataTable::ColAttribLevels() const { return DistinctCount(FColAtt); }

}  // namespace numbra
