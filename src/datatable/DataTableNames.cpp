// TDataTable: row and column names and attributes, scale types, nominal
// identifiers and the column checks.
#include "ORK_datatable.h"
#include "datatable/datatable_detail.h"

#include <algorithm>

namespace numbra {

TDTNameStr TDataTable::GetRowName(int32_t RowNr) const {
  return RowNr >= 1 && RowNr <= FNrOfRows ? FRowName[std::size_t(RowNr - 1)] : std::string();
}

void TDataTable::SetRowName(int32_t RowNr, std::string_view Name) {
  if (RowNr < 1 || RowNr > FNrOfRows) return;
  FRowName[std::size_t(RowNr - 1)] = detail::CutText(Name, kMaxDTNameLength);
  ChangedNames();
}

TDTNameStr TDataTable::GetColName(int32_t ColNr) const {
  return ColNr >= 1 && ColNr <= FNrOfCols ? FColName[std::size_t(ColNr - 1)] : std::string();
}

void TDataTable::SetColName(int32_t ColNr, std::string_view Name) {
  if (ColNr < 1 || ColNr > FNrOfCols) return;
  FColName[std::size_t(ColNr - 1)] = detail::CutText(Name, kMaxDTNameLength);
  ChangedNames();
}

namespace {
int32_t LongestName(const std::vector<TDTNameStr>& names) {
  std::size_t n = 0;
  for (const auto& s : names) n = std::max(n, s.size());
  return static_cast<int32_t>(n);
}
}  // namespace

int32_t TDataTable::MaxRowNameLength() const noexcept { return LongestName(FRowName); }
int32_t TDataTable::MaxColNameLength() const noexcept { return LongestName(FColName); }

int32_t TDataTable::GetRowAttrib(int32_t RowNr) const noexcept {
  return RowNr >= 1 && RowNr <= FNrOfRows ? FRowAtt[std::size_t(RowNr - 1)] : 0;
}

void TDataTable::SetRowAttrib(int32_t RowNr, int32_t Attrib) {
  if (RowNr < 1 || RowNr > FNrOfRows) return;
  FRowAtt[std::size_t(RowNr - 1)] = Attrib;
  ChangedAttrib();
}

int32_t TDataTable::GetColAttrib(int32_t ColNr) const noexcept {
  return ColNr >= 1 && ColNr <= FNrOfCols ? FColAtt[std::size_t(ColNr - 1)] : 0;
}

void TDataTable::SetColAttrib(int32_t ColNr, int32_t Attrib) {
  if (ColNr < 1 || ColNr > FNrOfCols) return;
  FColAtt[std::size_t(ColNr - 1)] = Attrib;
  ChangedAttrib();
}

namespace {
void MaskedSet(std::vector<int32_t>& a, int32_t Attrib, uint32_t Mask) {
  for (int32_t& v : a)
    v = static_cast<int32_t>((static_cast<uint32_t>(v) & ~Mask) |
                             (static_cast<uint32_t>(Attrib) & Mask));
}
}  // namespace

void TDataTable::SetRowAttributes(int32_t Attrib) {
  std::fill(FRowAtt.begin(), FRowAtt.end(), Attrib);
  ChangedAttrib();
}
void TDataTable::SetRowAttributes(int32_t Attrib, uint32_t Mask) {
  MaskedSet(FRowAtt, Attrib, Mask);
  ChangedAttrib();
}
void TDataTable::SetColAttributes(int32_t Attrib) {
  std::fill(FColAtt.begin(), FColAtt.end(), Attrib);
  ChangedAttrib();
}
void TDataTable::SetColAttributes(int32_t Attrib, uint32_t Mask) {
  MaskedSet(FColAtt, Attrib, Mask);
  ChangedAttrib();
}

TMScaleType TDataTable::GetMScaleType(int32_t ColNr) const noexcept {
  return ColNr >= 1 && ColNr <= FNrOfCols ? FVType[std::size_t(ColNr - 1)].MScaleType
                                          : TMScaleType::stUnknown;
}

void TDataTable::SetMScaleType(int32_t ColNr, TMScaleType Value) {
  if (ColNr < 1 || ColNr > FNrOfCols) return;
  FVType[std::size_t(ColNr - 1)].MScaleType = Value;
  ChangedSetup();
}

TNominalIDStr TDataTable::GetNominalID(int32_t ColIx, int32_t OrdVal) const {
  if (ColIx < 1 || ColIx > FNrOfCols || OrdVal < 1 || OrdVal > kMaxNominalIDs ||
      !IsCategorial(ColIx))
    return {};
  const TVTypeSpec& t = FVType[std::size_t(ColIx - 1)];
  return t.IDs.empty() ? std::string() : t.IDs[std::size_t(OrdVal - 1)];
}

void TDataTable::SetNominalID(int32_t ColIx, int32_t OrdVal, std::string_view MScaleID) {
  if (ColIx < 1 || ColIx > FNrOfCols || OrdVal < 1 || OrdVal > kMaxNominalIDs) return;
  TVTypeSpec& t = FVType[std::size_t(ColIx - 1)];
  if (!MScaleID.empty() && IsCategorial(ColIx)) {
    if (t.IDs.empty()) t.IDs.resize(kMaxNominalIDs);
    t.IDs[std::size_t(OrdVal - 1)] = detail::CutText(MScaleID, kMaxNominalIDLength);
  } else if (MScaleID.empty() && !t.IDs.empty()) {
    t.IDs[std::size_t(OrdVal - 1)].clear();
  }
  ChangedSetup();
}

int32_t TDataTable::OrdinalOfNominalID(int32_t Col, std::string_view ID, bool IgnoreCase) const {
  if (Col < 1 || Col > FNrOfCols || ID.empty() || !IsCategorial(Col)) return 0;
  const TVTypeSpec& t = FVType[std::size_t(Col - 1)];
  if (t.IDs.empty()) return 0;
  std::string key = detail::CutText(ID, kMaxNominalIDLength);
  if (IgnoreCase) key = detail::LowerAscii(key);
  for (std::size_t k = 0; k < t.IDs.size(); ++k) {
    if (t.IDs[k].empty()) continue;
    if (IgnoreCase ? detail::LowerAscii(t.IDs[k]) == key : t.IDs[k] == key)
      return static_cast<int32_t>(k) + 1;
  }
  return 0;
}

int32_t TDataTable::AddNominalID(int32_t Col, std::string_view MScaleID) {
  if (Col < 1 || Col > FNrOfCols) return 0;
  const int32_t k = OrdinalOfNominalID(Col, MScaleID, true);
  if (k > 0) return k;
  TVTypeSpec& t = FVType[std::size_t(Col - 1)];
  if (t.IDs.empty()) t.IDs.resize(kMaxNominalIDs);
  auto it =
      std::find_if(t.IDs.begin(), t.IDs.end(), [](const std::string& s) { return s.empty(); });
  if (it == t.IDs.end()) --it;  // all taken: the last slot is overwritten
  *it = detail::CutText(MScaleID, kMaxNominalIDLength);
  t.MScaleType = TMScaleType::stNominal;
  ChangedSetup();
  return static_cast<int32_t>(it - t.IDs.begin()) + 1;
}

void TDataTable::ClearNominalIDs(int32_t Col) {
  if (Col < 1 || Col > FNrOfCols) return;
  FVType[std::size_t(Col - 1)].IDs.clear();
  ChangedSetup();
}

TIntArray TDataTable::ListOfCategorialVars() const {
  TIntArray out;
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    if (IsCategorial(c)) out.push_back(c);
  return out;
}

bool TDataTable::CheckDichotomousColumn(int32_t col, double& v1, double& v2) const {
  v1 = 0.0;
  v2 = 0.0;
  if (FNrOfRows < 2 || col < 1 || col > FNrOfCols) return false;
  const std::span<const double> x =
      NumericData->Values().subspan(SIdx(col, 1), std::size_t(FNrOfRows));
  v1 = x[0];
  bool have2 = false;
  for (std::size_t r = 1; r < x.size(); ++r) {
    if (x[r] == v1) continue;
    if (!have2) {
      v2 = x[r];
      have2 = true;
    } else if (x[r] != v2) {
      return false;
    }
  }
  return have2;
}

bool TDataTable::IsConstantColumn(int32_t ColIx) const noexcept {
  if (ColIx < 1 || ColIx > FNrOfCols) return false;
  const std::span<const double> x =
      NumericData->Values().subspan(SIdx(ColIx, 1), std::size_t(FNrOfRows));
  return std::all_of(x.begin(), x.end(), [v = x[0]](double y) { return y == v; });
}

}  // namespace numbra
