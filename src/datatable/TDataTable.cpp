// TDataTable: construction, sizing, insertion and removal, the change
// events and the range rules.
//
// All per-cell state lives in contiguous column-major arrays like the
// matrix itself, so that a column of states lies beside its column of
// values. Structural changes build the new arrays first and commit them by
// moves, so a failed allocation leaves the table as it was.
#include "ORK_datatable.h"
#include "datatable/datatable_detail.h"

#include <algorithm>
#include <utility>

namespace numbra {

NUMBRA_DEFINE_EXCEPTION(EORKDataTableError);

TDataTable::TDataTable(TComponent* AOwner) : TComponent(AOwner) {
  try {
    owned_ = std::make_unique<TMatrix>(nullptr);
    NumericData = owned_.get();
    NumericData->Resize(1, 1);
    NumericData->Fill(0.0);
    FCState.assign(1, 0);
    FColName = {detail::DefaultColName(1)};
    FRowName = {detail::DefaultRowName(1)};
    FRowAtt.assign(1, 0);
    FColAtt.assign(1, 0);
    FVType.resize(1);
  } catch (const std::exception&) {
    owned_.reset();
    NumericData = nullptr;
    throw EORKDataTableError(detail::ComponentMsg(*this, "failed to initialize (out of memory)"));
  }
  BindMatrix();
}

TDataTable::~TDataTable() {
  if (FExtMatAssigned && NumericData != nullptr) {
    NumericData->OnChange = nullptr;
    NumericData->OnSortExchange = nullptr;
  }
}

void TDataTable::BindMatrix() {
  NumericData->OnChange = [this](TObject* Sender) { DataHasChanged(Sender); };
  NumericData->OnSortExchange = [this](TObject* Sender, uint8_t What, int32_t i1, int32_t i2,
                                       int32_t First, int32_t Last) {
    ExchangeDuringSort(Sender, What, i1, i2, First, Last);
  };
}

bool TDataTable::IsCategorial(int32_t c) const noexcept {
  const TMScaleType t = FVType[static_cast<std::size_t>(c) - 1].MScaleType;
  return t == TMScaleType::stNominal || t == TMScaleType::stOrdinal;
}

bool TDataTable::IsNumeric(int32_t c) const noexcept {
  const TMScaleType t = FVType[static_cast<std::size_t>(c) - 1].MScaleType;
  return t == TMScaleType::stInterval || t == TMScaleType::stRatio;
}

// The new arrays are built completely before anything is committed; the
// matrix resize is itself all-or-nothing.
void TDataTable::ResizeImpl(int32_t NrCols, int32_t NrRows) {
  const auto nc = static_cast<std::size_t>(NrCols);
  const auto nr = static_cast<std::size_t>(NrRows);
  std::vector<uint8_t> states;
  std::vector<TDTNameStr> col_names;
  std::vector<TDTNameStr> row_names;
  std::vector<int32_t> row_att;
  std::vector<int32_t> col_att;
  std::vector<TVTypeSpec> types;
  detail::Allocate<EORKDataTableError>(*this, detail::kDTNoHeap, [&] {
    states.assign(nc * nr, 0);
    const std::size_t keep_r = std::min<std::size_t>(nr, static_cast<std::size_t>(FNrOfRows));
    const std::size_t keep_c = std::min<std::size_t>(nc, static_cast<std::size_t>(FNrOfCols));
    for (std::size_t c = 0; c < keep_c; ++c)
      std::copy_n(FCState.begin() + static_cast<std::ptrdiff_t>(c * FNrOfRows), keep_r,
                  states.begin() + static_cast<std::ptrdiff_t>(c * nr));
    col_names.reserve(nc);
    for (std::size_t c = 0; c < nc; ++c)
      col_names.push_back(c < keep_c ? FColName[c] : detail::DefaultColName(int32_t(c + 1)));
    row_names.reserve(nr);
    for (std::size_t r = 0; r < nr; ++r)
      row_names.push_back(r < keep_r ? FRowName[r] : detail::DefaultRowName(int32_t(r + 1)));
    row_att.assign(nr, 0);
    std::copy_n(FRowAtt.begin(), keep_r, row_att.begin());
    col_att.assign(nc, 0);
    std::copy_n(FColAtt.begin(), keep_c, col_att.begin());
    types.resize(nc);
    for (std::size_t c = 0; c < keep_c; ++c) types[c] = FVType[c];
  });
  auto on_change = std::move(NumericData->OnChange);
  NumericData->OnChange = nullptr;
  try {
    NumericData->Resize(NrCols, NrRows);
  } catch (...) {
    NumericData->OnChange = std::move(on_change);
    throw;
  }
  NumericData->OnChange = std::move(on_change);
  FCState = std::move(states);
  FColName = std::move(col_names);
  FRowName = std::move(row_names);
  FRowAtt = std::move(row_att);
  FColAtt = std::move(col_att);
  FVType = std::move(types);
  FNrOfCols = NrCols;
  FNrOfRows = NrRows;
}

void TDataTable::Resize(int32_t NrCols, int32_t NrRows) {
  NrCols = std::max(NrCols, 1);
  NrRows = std::max(NrRows, 1);
  if (NrCols == FNrOfCols && NrRows == FNrOfRows) return;
  const int32_t old_c = FNrOfCols;
  const int32_t old_r = FNrOfRows;
  ResizeImpl(NrCols, NrRows);
  if (OnResize) OnResize(this, old_c, old_r, NrCols, NrRows);
}

void TDataTable::SetNrCols(int32_t n) { Resize(n, FNrOfRows); }
void TDataTable::SetNrRows(int32_t n) { Resize(FNrOfCols, n); }

// Insertion and removal move whole runs instead of going cell by cell
// through the setters; each kind of change event fires once for the moves.
void TDataTable::InsertRow(int32_t ix) {
  if (ix < 1 || ix > FNrOfRows + 1) return;
  auto on_change = std::move(NumericData->OnChange);
  NumericData->OnChange = nullptr;
  try {
    SetNrRows(FNrOfRows + 1);
  } catch (...) {
    NumericData->OnChange = std::move(on_change);
    throw;
  }
  const int32_t n = FNrOfRows;
  for (int32_t c = 1; c <= FNrOfCols; ++c) {
    for (int32_t r = n; r > ix; --r) {
      NumericData->SetVal(c, r, NumericData->GetVal(c, r - 1));
      FCState[SIdx(c, r)] = FCState[SIdx(c, r - 1)];
    }
    NumericData->SetVal(c, ix, 0.0);
    FCState[SIdx(c, ix)] = 0;
  }
  for (int32_t r = n; r > ix; --r) {
    FRowName[std::size_t(r - 1)] = std::move(FRowName[std::size_t(r - 2)]);
    FRowAtt[std::size_t(r - 1)] = FRowAtt[std::size_t(r - 2)];
  }
  FRowName[std::size_t(ix - 1)].clear();
  FRowAtt[std::size_t(ix - 1)] = 0;
  NumericData->OnChange = std::move(on_change);
  ChangedData();
  ChangedCellStates();
  ChangedNames();
  ChangedAttrib();
  ChangedSetup();
}

void TDataTable::RemoveRow(int32_t ix) {
  if (ix < 1 || ix > FNrOfRows || FNrOfRows < 2) return;
  auto on_change = std::move(NumericData->OnChange);
  NumericData->OnChange = nullptr;
  for (int32_t c = 1; c <= FNrOfCols; ++c)
    for (int32_t r = ix; r < FNrOfRows; ++r) {
      NumericData->SetVal(c, r, NumericData->GetVal(c, r + 1));
      FCState[SIdx(c, r)] = FCState[SIdx(c, r + 1)];
    }
  for (int32_t r = ix; r < FNrOfRows; ++r) {
    FRowName[std::size_t(r - 1)] = std::move(FRowName[std::size_t(r)]);
    FRowAtt[std::size_t(r - 1)] = FRowAtt[std::size_t(r)];
  }
  try {
    SetNrRows(FNrOfRows - 1);
  } catch (...) {
    NumericData->OnChange = std::move(on_change);
    throw;
  }
  NumericData->OnChange = std::move(on_change);
  ChangedData();
  ChangedCellStates();
  ChangedNames();
  ChangedAttrib();
  ChangedSetup();
}

void TDataTable::InsertColumn(int32_t ix) {
  if (ix < 1 || ix > FNrOfCols + 1) return;
  auto on_change = std::move(NumericData->OnChange);
  NumericData->OnChange = nullptr;
  try {
    SetNrCols(FNrOfCols + 1);
  } catch (...) {
    NumericData->OnChange = std::move(on_change);
    throw;
  }
  const int32_t n = FNrOfCols;
  for (int32_t c = n; c > ix; --c) {
    for (int32_t r = 1; r <= FNrOfRows; ++r) {
      NumericData->SetVal(c, r, NumericData->GetVal(c - 1, r));
      FCState[SIdx(c, r)] = FCState[SIdx(c - 1, r)];
    }
    FColName[std::size_t(c - 1)] = std::move(FColName[std::size_t(c - 2)]);
    FColAtt[std::size_t(c - 1)] = FColAtt[std::size_t(c - 2)];
    FVType[std::size_t(c - 1)] = std::move(FVType[std::size_t(c - 2)]);
  }
  for (int32_t r = 1; r <= FNrOfRows; ++r) {
    NumericData->SetVal(ix, r, 0.0);
    FCState[SIdx(ix, r)] = 0;
  }
  FColName[std::size_t(ix - 1)].clear();
  FColAtt[std::size_t(ix - 1)] = 0;
  FVType[std::size_t(ix - 1)] = TVTypeSpec{};
  NumericData->OnChange = std::move(on_change);
  ChangedData();
  ChangedCellStates();
  ChangedNames();
  ChangedAttrib();
  ChangedSetup();
}

void TDataTable::RemoveColumn(int32_t ix) {
  if (ix < 1 || ix > FNrOfCols || FNrOfCols < 2) return;
  auto on_change = std::move(NumericData->OnChange);
  NumericData->OnChange = nullptr;
  for (int32_t c = ix; c < FNrOfCols; ++c) {
    for (int32_t r = 1; r <= FNrOfRows; ++r) {
      NumericData->SetVal(c, r, NumericData->GetVal(c + 1, r));
      FCState[SIdx(c, r)] = FCState[SIdx(c + 1, r)];
    }
    FColName[std::size_t(c - 1)] = std::move(FColName[std::size_t(c)]);
    FColAtt[std::size_t(c - 1)] = FColAtt[std::size_t(c)];
    FVType[std::size_t(c - 1)] = std::move(FVType[std::size_t(c)]);
  }
  try {
    SetNrCols(FNrOfCols - 1);
  } catch (...) {
    NumericData->OnChange = std::move(on_change);
    throw;
  }
  NumericData->OnChange = std::move(on_change);
  ChangedData();
  ChangedCellStates();
  ChangedNames();
  ChangedAttrib();
  ChangedSetup();
}

void TDataTable::Clear() {
  for (int32_t c = 1; c <= FNrOfCols; ++c) FColName[std::size_t(c - 1)] = detail::DefaultColName(c);
  for (int32_t r = 1; r <= FNrOfRows; ++r) FRowName[std::size_t(r - 1)] = detail::DefaultRowName(r);
  std::fill(FCState.begin(), FCState.end(), uint8_t{0});
  std::fill(FRowAtt.begin(), FRowAtt.end(), 0);
  std::fill(FColAtt.begin(), FColAtt.end(), 0);
  for (TVTypeSpec& t : FVType) t = TVTypeSpec{};
  FComment.clear();
  {
    auto on_change = std::move(NumericData->OnChange);
    NumericData->OnChange = nullptr;
    NumericData->Fill(0.0);
    NumericData->OnChange = std::move(on_change);
  }
  ChangedNames();
  ChangedAttrib();
  ChangedCellStates();
  ChangedSetup();
}

void TDataTable::ChangedData() {
  if (OnChange) OnChange(this);
}
void TDataTable::ChangedSetup() {
  if (OnChangeSetup) OnChangeSetup(this);
}
void TDataTable::ChangedNames() {
  if (OnChangeNames) OnChangeNames(this);
}
void TDataTable::ChangedAttrib() {
  if (OnChangeAttrib) OnChangeAttrib(this);
}
void TDataTable::ChangedCellStates() {
  if (OnChangeCellState) OnChangeCellState(this);
}
void TDataTable::DataHasChanged(TObject* /*Sender*/) { ChangedData(); }
void TDataTable::PercDone(TObject* /*Sender*/, int32_t Percent) {
  if (OnPercentDone) OnPercentDone(this, Percent);
}

void TDataTable::MakeValidColRange(int32_t& Lo, int32_t& Hi) const noexcept {
  detail::MakeValidRange(Lo, Hi, FNrOfCols);
}
void TDataTable::MakeValidRowRange(int32_t& Lo, int32_t& Hi) const noexcept {
  detail::MakeValidRange(Lo, Hi, FNrOfRows);
}

void TDataTable::SetFComment(std::string_view s) {
  FComment = RemoveControlChars(s);
  ChangedSetup();
}

// Takes everything of Source (a table built by a reader, whose events are
// unassigned) and fires the events of a complete replacement. Only the
// matrix resize can fail, and it comes first.
void TDataTable::TakeContents(TDataTable& Source) {
  const int32_t old_c = FNrOfCols;
  const int32_t old_r = FNrOfRows;
  auto on_change = std::move(NumericData->OnChange);
  NumericData->OnChange = nullptr;
  try {
    NumericData->Resize(Source.FNrOfCols, Source.FNrOfRows);
  } catch (...) {
    NumericData->OnChange = std::move(on_change);
    throw;
  }
  const std::span<const double> v = Source.NumericData->Values();
  const auto nr = static_cast<std::size_t>(Source.FNrOfRows);
  for (int32_t c = 1; c <= Source.FNrOfCols; ++c)
    for (int32_t r = 1; r <= Source.FNrOfRows; ++r)
      NumericData->SetVal(c, r, v[std::size_t(c - 1) * nr + std::size_t(r - 1)]);
  NumericData->OnChange = std::move(on_change);
  FNrOfCols = Source.FNrOfCols;
  FNrOfRows = Source.FNrOfRows;
  FComment = std::move(Source.FComment);
  FRowAtt = std::move(Source.FRowAtt);
  FColAtt = std::move(Source.FColAtt);
  FVType = std::move(Source.FVType);
  FCState = std::move(Source.FCState);
  FColName = std::move(Source.FColName);
  FRowName = std::move(Source.FRowName);
  ChangedData();
  ChangedCellStates();
  ChangedSetup();
  ChangedNames();
  ChangedAttrib();
  if (OnResize) OnResize(this, old_c, old_r, FNrOfCols, FNrOfRows);
}

}  // namespace numbra
