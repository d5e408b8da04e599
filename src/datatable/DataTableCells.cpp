// TDataTable: element access (numeric and nominal) and the cell states.
#include "ORK_datatable.h"
#include "datatable/datatable_detail.h"

#include <algorithm>

namespace numbra {

double TDataTable::GetElem(int32_t ACol, int32_t ARow) const noexcept {
  if (!Inside(ACol, ARow)) return 0.0;
  const double v = NumericData->GetVal(ACol, ARow);
  return IsCategorial(ACol) ? detail::RoundEven(v) : v;
}

void TDataTable::SetElem(int32_t ACol, int32_t ARow, double Value) {
  if (!Inside(ACol, ARow)) return;
  // The matrix's OnChange is the table's DataHasChanged: one ChangedData.
  NumericData->SetVal(ACol, ARow, Value);
}

TNominalIDStr TDataTable::GetElemNominal(int32_t ACol, int32_t ARow) const {
  if (!Inside(ACol, ARow) || !IsCategorial(ACol)) return {};
  const double k = detail::RoundEven(NumericData->GetVal(ACol, ARow));
  if (k >= 1 && k <= kMaxNominalIDs) return GetNominalID(ACol, static_cast<int32_t>(k));
  // A code without an identifier slot shows as its number (NaN and huge
  // values included, so that nothing is read out of range).
  std::string text;
  if (std::isfinite(k) && std::fabs(k) < 1e15)
    text = std::to_string(static_cast<int64_t>(k));
  else
    text = corvel::strff(k, 1, 0);
  return detail::CutText(text, kMaxNominalIDLength);
}

void TDataTable::SetElemNominal(int32_t ACol, int32_t ARow, std::string_view Value) {
  if (!Inside(ACol, ARow)) return;
  int32_t k = OrdinalOfNominalID(ACol, Value, true);
  if (k < 1) {
    TVTypeSpec& t = FVType[std::size_t(ACol - 1)];
    if (t.IDs.empty()) t.IDs.resize(kMaxNominalIDs);
    const auto it =
        std::find_if(t.IDs.begin(), t.IDs.end(), [](const std::string& s) { return s.empty(); });
    if (it == t.IDs.end())
      throw EORKDataTableError(
          detail::ComponentMsg(*this, "number of available nominal values exceeded"));
    *it = detail::CutText(Value, kMaxNominalIDLength);
    k = static_cast<int32_t>(it - t.IDs.begin()) + 1;
  }
  NumericData->SetVal(ACol, ARow, k);
}

uint8_t TDataTable::GetCellState(int32_t ACol, int32_t ARow) const noexcept {
  return Inside(ACol, ARow) ? FCState[SIdx(ACol, ARow)] : uint8_t{0};
}

void TDataTable::SetCellState(int32_t ACol, int32_t ARow, uint8_t State) {
  if (!Inside(ACol, ARow)) return;
  uint8_t& s = FCState[SIdx(ACol, ARow)];
  if (s == State) return;
  s = State;
  ChangedCellStates();
}

bool TDataTable::GetIsEmpty(int32_t ACol, int32_t ARow) const noexcept {
  return (GetCellState(ACol, ARow) & 2U) != 0;
}

void TDataTable::SetIsEmpty(int32_t ACol, int32_t ARow, bool Value) {
  const uint8_t s = GetCellState(ACol, ARow);
  SetCellState(ACol, ARow, Value ? uint8_t(s | 2U) : uint8_t(s & ~2U));
  ChangedData();
}

bool TDataTable::GetIsNumber(int32_t ACol, int32_t ARow) const noexcept {
  return Inside(ACol, ARow) && detail::IsValidState(FCState[SIdx(ACol, ARow)]);
}

bool TDataTable::GetIsImputed(int32_t ACol, int32_t ARow) const noexcept {
  return (GetCellState(ACol, ARow) & 32U) != 0;
}

void TDataTable::SetIsImputed(int32_t ACol, int32_t ARow, bool Value) {
  const uint8_t s = GetCellState(ACol, ARow);
  SetCellState(ACol, ARow, Value ? uint8_t(s | 32U) : uint8_t(s & ~32U));
  ChangedData();
}

bool TDataTable::IfRowHasCellState(int32_t row, uint8_t CellState) const noexcept {
  return CountMarkedCellsInRow(row, CellState) > 0;
}

bool TDataTable::IfColHasCellState(int32_t col, uint8_t CellState) const noexcept {
  return CountMarkedCellsInColumn(col, CellState) > 0;
}

int32_t TDataTable::CountMarkedCellsInRow(int32_t Row, uint8_t StateMask) const noexcept {
  if (Row < 1 || Row > FNrOfRows) return 0;
  int32_t n = 0;
  for (int32_t c = 1; c <= FNrOfCols; ++c) n += (FCState[SIdx(c, Row)] & StateMask) != 0 ? 1 : 0;
  return n;
}

int32_t TDataTable::CountMarkedCellsInColumn(int32_t Col, uint8_t StateMask) const noexcept {
  if (Col < 1 || Col > FNrOfCols) return 0;
  const auto first = FCState.begin() + static_cast<std::ptrdiff_t>(SIdx(Col, 1));
  return static_cast<int32_t>(std::count_if(
      first, first + FNrOfRows, [StateMask](uint8_t s) { return (s & StateMask) != 0; }));
}

void TDataTable::SetAllCellStates(uint8_t CellState) {
  std::fill(FCState.begin(), FCState.end(), CellState);
  ChangedCellStates();
}

void TDataTable::UnmarkAllCells() {
  for (uint8_t& s : FCState) s = static_cast<uint8_t>(s & 63U);
  ChangedCellStates();
}

void TDataTable::InvertCellStates(uint8_t StateMask) {
  for (uint8_t& s : FCState) s = static_cast<uint8_t>(s ^ StateMask);
  ChangedCellStates();
}

void TDataTable::ExchangeMarkings() {
  for (uint8_t& s : FCState)
    s = static_cast<uint8_t>((s & 63U) | ((s & 64U) << 1U) | ((s & 128U) >> 1U));
  ChangedCellStates();
}

}  // namespace numbra
