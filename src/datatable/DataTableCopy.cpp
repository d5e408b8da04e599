// TDataTable: exchange and mirroring of rows and columns, lookup by name,
// copying, adopting an external matrix, the long (serialised) form and the
// checksums of the headers and the states.
#include "ORK_datatable.h"
#include "ORK_math1.h"
#include "datatable/datatable_detail.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace numbra {

namespace {

// Detaches the five change events of a table (or only some) for the life of
// the guard.
class QuietTable {
 public:
  explicit QuietTable(TDataTable& t, bool all = true)
      : t_(t),
        change_(std::move(t.OnChange)),
        setup_(std::move(t.OnChangeSetup)),
        names_(all ? std::move(t.OnChangeNames) : TNotifyEvent()),
        attrib_(all ? std::move(t.OnChangeAttrib) : TNotifyEvent()),
        states_(all ? std::move(t.OnChangeCellState) : TNotifyEvent()),
        all_(all) {
    t.OnChange = nullptr;
    t.OnChangeSetup = nullptr;
    if (all) {
      t.OnChangeNames = nullptr;
      t.OnChangeAttrib = nullptr;
      t.OnChangeCellState = nullptr;
    }
  }
  ~QuietTable() {
    t_.OnChange = std::move(change_);
    t_.OnChangeSetup = std::move(setup_);
    if (all_) {
      t_.OnChangeNames = std::move(names_);
      t_.OnChangeAttrib = std::move(attrib_);
      t_.OnChangeCellState = std::move(states_);
    }
  }
  QuietTable(const QuietTable&) = delete;
  QuietTable& operator=(const QuietTable&) = delete;

 private:
  TDataTable& t_;
  TNotifyEvent change_, setup_, names_, attrib_, states_;
  bool all_;
};

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

// Blanks removed at both ends, ASCII letters upper-cased.
std::string LookupKey(std::string_view s) {
  std::string k = detail::CutText(s, kMaxDTNameLength);
  const auto b = k.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  k = k.substr(b, k.find_last_not_of(' ') - b + 1);
  for (char& ch : k)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return k;
}

int32_t FindName(const std::vector<TDTNameStr>& names, std::string_view id) {
  const std::string key = LookupKey(id);
  for (std::size_t k = 0; k < names.size(); ++k)
    if (LookupKey(names[k]) == key) return static_cast<int32_t>(k) + 1;
  return 0;
}

}  // namespace

void TDataTable::ExchangeRows(int32_t r1, int32_t r2) {
  {
    QuietMatrix quiet(NumericData);
    NumericData->ExchangeRows(r1, r2);  // raises for a row outside
    SwapRowHeaders(r1, r2);
    for (int32_t c = 1; c <= FNrOfCols; ++c) std::swap(FCState[SIdx(c, r1)], FCState[SIdx(c, r2)]);
  }
  ChangedData();
  ChangedCellStates();
  ChangedAttrib();
  ChangedNames();
  ChangedSetup();
}

void TDataTable::ExchangeColumns(int32_t c1, int32_t c2) {
  {
    QuietMatrix quiet(NumericData);
    NumericData->ExchangeColumns(c1, c2);
    SwapColHeaders(c1, c2);
    std::swap_ranges(FCState.begin() + static_cast<std::ptrdiff_t>(SIdx(c1, 1)),
                     FCState.begin() + static_cast<std::ptrdiff_t>(SIdx(c1, 1)) + FNrOfRows,
                     FCState.begin() + static_cast<std::ptrdiff_t>(SIdx(c2, 1)));
  }
  ChangedData();
  ChangedCellStates();
  ChangedAttrib();
  ChangedNames();
  ChangedSetup();
}

void TDataTable::MirrorRows() {
  {
    QuietTable quiet(*this);
    for (int32_t i = 1; i < FNrOfRows + 1 - i; ++i) ExchangeRows(i, FNrOfRows + 1 - i);
  }
  ChangedData();
  ChangedCellStates();
  ChangedAttrib();
  ChangedNames();
  ChangedSetup();
}

void TDataTable::MirrorColumns() {
  {
    QuietTable quiet(*this);
    for (int32_t i = 1; i < FNrOfCols + 1 - i; ++i) ExchangeColumns(FNrOfCols + 1 - i, i);
  }
  ChangedData();
  ChangedCellStates();
  ChangedAttrib();
  ChangedNames();
  ChangedSetup();
}

int32_t TDataTable::FindRowIndex(std::string_view RowID) const { return FindName(FRowName, RowID); }
int32_t TDataTable::FindColIndex(std::string_view ColID) const { return FindName(FColName, ColID); }

void TDataTable::CopyFrom(const TDataTable* ExtTab, int32_t SourceColLo, int32_t SourceRowLo,
                          int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol,
                          int32_t DestRow) {
  if (ExtTab == nullptr) return;
  const int32_t nc = ExtTab->NrOfColumns();
  const int32_t nr = ExtTab->NrOfRows();
  SourceColLo = std::clamp(SourceColLo, 1, nc);
  SourceRowLo = std::clamp(SourceRowLo, 1, nr);
  SourceColHi = std::clamp(SourceColHi, 1, nc);
  SourceRowHi = std::clamp(SourceRowHi, 1, nr);
  if (SourceColLo > SourceColHi) std::swap(SourceColLo, SourceColHi);
  if (SourceRowLo > SourceRowHi) std::swap(SourceRowLo, SourceRowHi);
  // Read first: the source may be this table.
  std::vector<double> v;
  std::vector<uint8_t> s;
  detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap, [&] {
    const auto n =
        std::size_t(SourceColHi - SourceColLo + 1) * std::size_t(SourceRowHi - SourceRowLo + 1);
    v.reserve(n);
    s.reserve(n);
  });
  for (int32_t c = SourceColLo; c <= SourceColHi; ++c)
    for (int32_t r = SourceRowLo; r <= SourceRowHi; ++r) {
      v.push_back(ExtTab->GetElem(c, r));
      s.push_back(ExtTab->GetCellState(c, r));
    }
  {
    QuietTable quiet(*this);
    QuietMatrix qm(NumericData);
    std::size_t k = 0;
    for (int32_t c = SourceColLo; c <= SourceColHi; ++c)
      for (int32_t r = SourceRowLo; r <= SourceRowHi; ++r, ++k) {
        const int64_t dc = int64_t{c} - SourceColLo + DestCol;
        const int64_t dr = int64_t{r} - SourceRowLo + DestRow;
        if (dc < 1 || dc > FNrOfCols || dr < 1 || dr > FNrOfRows) continue;
        NumericData->SetVal(int32_t(dc), int32_t(dr), v[k]);
        FCState[SIdx(int32_t(dc), int32_t(dr))] = s[k];
      }
  }
  ChangedData();
  ChangedCellStates();
}

void TDataTable::CopyContentsFrom(const TDataTable* ExtTab) {
  if (ExtTab == nullptr || ExtTab == this) return;
  const int32_t old_c = FNrOfCols;
  const int32_t old_r = FNrOfRows;
  {
    QuietTable quiet(*this);
    Resize(ExtTab->FNrOfCols, ExtTab->FNrOfRows);
    QuietMatrix qm(NumericData);
    FComment = ExtTab->FComment;
    FColName = ExtTab->FColName;
    FRowName = ExtTab->FRowName;
    FColAtt = ExtTab->FColAtt;
    FRowAtt = ExtTab->FRowAtt;
    FVType = ExtTab->FVType;
    for (int32_t c = 1; c <= FNrOfCols; ++c)
      if (!IsCategorial(c)) FVType[std::size_t(c - 1)].IDs.clear();  // as SetNominalID stores
    for (int32_t c = 1; c <= FNrOfCols; ++c)
      for (int32_t r = 1; r <= FNrOfRows; ++r) NumericData->SetVal(c, r, ExtTab->GetElem(c, r));
    FCState = ExtTab->FCState;
  }
  ChangedData();
  ChangedCellStates();
  ChangedSetup();
  ChangedNames();
  ChangedAttrib();
  if (OnResize) OnResize(this, old_c, old_r, FNrOfCols, FNrOfRows);
}

bool TDataTable::CopyCellStatesFrom(const TDataTable* ExtTab) {
  if (ExtTab == nullptr || ExtTab->FNrOfCols != FNrOfCols || ExtTab->FNrOfRows != FNrOfRows)
    return false;
  FCState = ExtTab->FCState;
  ChangedCellStates();
  return true;
}

void TDataTable::AssignAnotherDataMatrix(TMatrix* NewDMat) {
  if (NewDMat == nullptr || NewDMat == NumericData) return;
  const int32_t old_c = FNrOfCols;
  const int32_t old_r = FNrOfRows;
  {
    QuietTable quiet(*this, false);
    // The table never has fewer than one column and one row.
    if (NewDMat->NrOfColumns() < 1 || NewDMat->NrOfRows() < 1)
      NewDMat->Resize(std::max(NewDMat->NrOfColumns(), 1), std::max(NewDMat->NrOfRows(), 1));
    Resize(NewDMat->NrOfColumns(), NewDMat->NrOfRows());
    if (FExtMatAssigned) {
      NumericData->OnChange = nullptr;
      NumericData->OnSortExchange = nullptr;
    }
    owned_.reset();
    NumericData = NewDMat;
    BindMatrix();
    for (TVTypeSpec& t : FVType) t.MScaleType = TMScaleType::stInterval;
    FExtMatAssigned = true;
    if (OnResize) OnResize(this, old_c, old_r, FNrOfCols, FNrOfRows);
  }
  ChangedData();
  ChangedSetup();
  ChangedNames();
  ChangedAttrib();
  ChangedCellStates();
}

void TDataTable::Serialize(bool ColHeadsAsVar, bool IncludeColRowNumbers) {
  const int32_t n = FNrOfCols;
  const int32_t m = FNrOfRows;
  const int64_t total = int64_t{n} * m;
  if (total > std::numeric_limits<int32_t>::max())
    throw EORKDataTableError(detail::ComponentMsg(*this, detail::kDTNoHeap));
  TNotifyEvent on_change = std::move(OnChange);
  OnChange = nullptr;
  try {
    const TMScaleType level = FindHighestMLevel(0, 0);
    TDataTable tmp(nullptr);
    tmp.CopyContentsFrom(this);
    const int32_t k = 1 + (ColHeadsAsVar ? 1 : 0) + (IncludeColRowNumbers ? 2 : 0);
    Resize(k, static_cast<int32_t>(total));
    if (ColHeadsAsVar) {
      ClearNominalIDs(1);
      for (int32_t c = 1; c <= n; ++c)
        AddNominalID(1, std::to_string(c) + ":" + detail::CutText(tmp.GetColName(c), 10));
      SetColName(1, "(column)");
    }
    if (IncludeColRowNumbers) {
      SetColName(k - 2, "(col. index)");
      SetColName(k - 1, "(row index)");
    }
    SetColName(k, "(data)");
    SetMScaleType(k, level);
    QuietMatrix qm(NumericData);
    int32_t j = 0;
    for (int32_t c = 1; c <= n; ++c)
      for (int32_t r = 1; r <= m; ++r) {
        ++j;
        if (ColHeadsAsVar) NumericData->SetVal(1, j, c);
        if (IncludeColRowNumbers) {
          NumericData->SetVal(k - 2, j, c);
          NumericData->SetVal(k - 1, j, r);
        }
        NumericData->SetVal(k, j, tmp.GetElem(c, r));
        FRowName[std::size_t(j - 1)] = tmp.FRowName[std::size_t(r - 1)];
        FRowAtt[std::size_t(j - 1)] = tmp.FRowAtt[std::size_t(r - 1)];
        // The index columns hold numbers; their states are cleared rather
        // than left over from the cells that were there before.
        for (int32_t q = 1; q < k; ++q) FCState[SIdx(q, j)] = 0;
        FCState[SIdx(k, j)] = tmp.FCState[tmp.SIdx(c, r)];
      }
  } catch (...) {
    OnChange = std::move(on_change);
    throw;
  }
  OnChange = std::move(on_change);
  ChangedData();
}

namespace {

// Eight CRC-32 accumulators; the byte at position p goes to A[p mod 8].
struct Crc8 {
  std::array<uint32_t, 8> a{};
  Crc8() { a.fill(0xFFFFFFFFU); }
  void Feed(uint8_t byte, int64_t pos) {
    uint32_t& acc = a[static_cast<std::size_t>(((pos % 8) + 8) % 8)];
    acc = CalcNextCRC32(byte, acc);
  }
  void Text(std::string_view s) {
    for (std::size_t k = 0; k < s.size(); ++k)
      Feed(static_cast<uint8_t>(s[k]), static_cast<int64_t>(k) + 1);
  }
  [[nodiscard]] std::string Result() const {
    std::string out;
    for (const uint32_t v : a) out += Hex(static_cast<int32_t>(~v), 8);
    return out;
  }
};

}  // namespace

std::string TDataTable::CRCofNamesAndAttributes() const {
  Crc8 crc;
  crc.Text(FComment);
  for (const auto& s : FColName) crc.Text(s);
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    crc.Feed(static_cast<uint8_t>(FColAtt[std::size_t(c - 1)] & 0xFF), c);
  for (const auto& s : FRowName) crc.Text(s);
  for (int32_t r = 1; r <= FNrOfRows; ++r)
    crc.Feed(static_cast<uint8_t>(FRowAtt[std::size_t(r - 1)] & 0xFF), r);
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    crc.Feed(static_cast<uint8_t>(FVType[std::size_t(c - 1)].MScaleType), c);
  for (const TVTypeSpec& t : FVType)
    for (const auto& id : t.IDs) crc.Text(id);  // empty identifiers feed nothing
  return crc.Result();
}

std::string TDataTable::CRCofCellStates() const {
  Crc8 crc;
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    for (int32_t r = 1; r <= FNrOfRows; ++r) crc.Feed(FCState[SIdx(c, r)], r);
  return crc.Result();
}

}  // namespace numbra
