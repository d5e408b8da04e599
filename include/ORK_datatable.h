// ORK_datatable: TDataTable, a table of observations -- a value per cell
// (kept in a TMatrix), a state byte per cell, names and attributes of rows
// and columns, a measurement scale type with nominal identifiers per
// column, and a comment -- with statistics over selected cells, sorting,
// exchange, copying, checksums and the CSV and XML text forms.
#pragma once

#include "ORK_matrix.h"
#include "ORK_vector.h"
#include "numbra_frame.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace numbra {

/// Raised by TDataTable.
NUMBRA_DECLARE_EXCEPTION(EORKDataTableError, EORKError);

/// Measurement scale of a column (ordinals 0 to 4).
enum class TMScaleType : uint8_t {
  stUnknown,   ///< not known (what reads outside the table give)
  stNominal,   ///< categories without order, cells hold identifier indices
  stOrdinal,   ///< ordered categories, cells hold identifier indices
  stInterval,  ///< numbers on an interval scale
  stRatio      ///< numbers on a ratio scale
};

/// Identifier of a nominal or ordinal level: at most 10 bytes (every setter
/// cuts longer texts).
using TNominalIDStr = std::string;
/// Row or column name: at most 50 bytes (every setter cuts longer texts).
using TDTNameStr = std::string;

/// Number of nominal identifiers a column can hold.
inline constexpr int32_t kMaxNominalIDs = 150;
/// Longest identifier, in bytes.
inline constexpr std::size_t kMaxNominalIDLength = 10;
/// Longest row or column name, in bytes.
inline constexpr std::size_t kMaxDTNameLength = 50;

/// Scale type and nominal identifiers of one column. IDs holds either no
/// entry (all 150 identifiers empty, the state of a new column, so that
/// wide tables cost little) or exactly 150 (identifier k at IDs[k - 1]).
struct TVTypeSpec {
  TMScaleType MScaleType = TMScaleType::stInterval;  ///< the column's scale
  std::vector<TNominalIDStr> IDs;                    ///< empty or 150 identifiers
};

/// Field delimiters of the CSV form; csvUnknown lets the importer detect
/// the delimiter.
enum class TCSVDelimiters : uint8_t {
  csvComma,      ///< ','
  csvColon,      ///< ':'
  csvSemicolon,  ///< ';'
  csvTab,        ///< tab
  csvUnknown     ///< detect on reading, ',' on writing
};

/// The XML elements of the table's XML form (see TDataTable::SaveAsXMLFile).
enum class TDTxmlTags : uint8_t {
  xmlDataTableId,     ///< <datatable dataid="..."> (start)
  xmlDataTableEndId,  ///< </datatable>
  xmlComment,         ///< <comment>
  xmlSize,            ///< <size cols="C" rows="R">
  xmlColNames,        ///< <colnames> block
  xmlRowNames,        ///< <rownames> block
  xmlColAttrib,       ///< <colattrib> block
  xmlRowAttrib,       ///< <rowattrib> block
  xmlColId,           ///< <colid col="c"> inside a column block
  xmlRowId,           ///< <rowid row="r"> inside a row block
  xmlDataCells,       ///< <datacells> block
  xmlCellID,          ///< <cell col="c" row="r" state="s">
  xmlVarType,         ///< <vartype col="c" type="...">
  xmlVarIdentifier,   ///< <varid ord="k"> inside a vartype
  xmlInvalid          ///< any other element
};

/// Element name of Tag: "datatable" (xmlDataTableId and xmlDataTableEndId),
/// "comment", "size", "colnames", "rownames", "colattrib", "rowattrib",
/// "colid", "rowid", "datacells", "cell", "vartype", "varid"; "" for
/// xmlInvalid.
NUMBRA_EXPORT std::string_view DTXmlTagName(TDTxmlTags Tag) noexcept;
/// The tag of element name Name ("datatable" gives xmlDataTableId),
/// xmlInvalid for any other name (case-sensitive).
NUMBRA_EXPORT TDTxmlTags DTXmlTagOf(std::string_view Name) noexcept;

/// Display names of the scale types, indexed by the TMScaleType ordinal:
/// "Unknown", "Nominal", "Ordinal", "Interval", "Ratio".
inline constexpr std::array<std::string_view, 5> MScaleTypeNames{"Unknown", "Nominal", "Ordinal",
                                                                 "Interval", "Ratio"};
/// Delimiter characters, indexed by the TCSVDelimiters ordinal csvComma to
/// csvTab: ',', ':', ';' and the tab.
inline constexpr std::array<char, 4> CSVDelimiters{',', ':', ';', '\t'};

/// Fired by the table's size changes with the old and the new size.
using TDataTableResizeEvent = std::function<void(
    TObject* Sender, int32_t OldColumns, int32_t OldRows, int32_t NewColumns, int32_t NewRows)>;

/// How ImportFromCSV treats the first record.
enum class TCSVHeaderMode : uint8_t {
  hmNone,    ///< the first record is data
  hmHeader,  ///< the first record holds the column names
  hmDetect   ///< names when a field of the first record is text, not a number or missing
};

/// Settings of the general CSV importer.
struct TCSVImportOptions {
  /// Field delimiter; csvUnknown: the one of ',', ';', tab and ':' that
  /// occurs most often (outside quotes) in the first record, ',' on a tie;
  /// when none occurs and the record has blanks between texts, runs of
  /// blanks and tabs separate the fields (a white-space table), else ','.
  TCSVDelimiters Delimiter = TCSVDelimiters::csvUnknown;
  /// Column names in the first record.
  TCSVHeaderMode ColHeaders = TCSVHeaderMode::hmHeader;
  /// The first field of every record is the row name.
  bool RowHeaders = false;
  /// Row attributes: hmDetect takes the field after the row name (the first
  /// field without row names) as the attribute when the header names it
  /// "(row attribute)"; hmHeader always, hmNone never.
  TCSVHeaderMode RowAttributes = TCSVHeaderMode::hmDetect;
  /// A field that is neither a number nor missing is an error (csvErrText)
  /// instead of making its column nominal.
  bool NumbersOnly = false;
};

/// Where and why the CSV importer failed (Line and Field 1-based, 0 when
/// they do not apply).
struct TCSVImportReport {
  int32_t Line = 0;     ///< line of the input where the failure was found
  int32_t Field = 0;    ///< field in that record
  std::string Message;  ///< one line in English, empty on success
};

/// Result codes of ImportFromCSV (a positive result is the number of data
/// rows read).
enum TCSVImportError : int32_t {
  csvErrFile = -1,     ///< the file cannot be opened or read
  csvErrNoData = -2,   ///< no data record (empty input, a header only)
  csvErrQuotes = -3,   ///< an unbalanced quote, or text after a closing quote
  csvErrRagged = -4,   ///< a record with another number of fields than the first
  csvErrNominal = -5,  ///< a text column beyond 150 levels or 10 bytes per level
  csvErrSize = -6,     ///< more than 2^20 columns or 2^27 cells
  csvErrAttrib = -7,   ///< a row attribute that is not a 32-bit integer
  csvErrBinary = -8,   ///< a NUL byte: the input is not text
  csvErrText = -9      ///< a text field although TCSVImportOptions::NumbersOnly
};

/// A text buffer standing in for the system clipboard, which a library
/// without a user interface does not have: the clipboard overloads read
/// from (and write to) Text.
struct TClipboardBuffer {
  std::string Text;  ///< the clipboard's text
};

/// Result code of the ASC readers for a body that ends early or holds a
/// token that does not convert or lies outside its range (the header codes
/// are corvel's kAscCannotOpen ... kAscTooLarge, -1 to -6).
inline constexpr int32_t kAscBadBody = -7;

/// A table of observations, cells addressed column first and 1-based as
/// (ACol, ARow).
///
/// Each cell has a value (in NumericData) and a state byte: bit 0 (1) no
/// usable number, bit 1 (2) empty, bits 2 to 4 (4, 8, 16) free for the
/// host, bit 5 (32) imputed, bits 6 and 7 (64, 128) two markings. A cell is
/// a number ("valid") when bits 0 and 1 are clear. Operations that take a
/// state mask select a cell when (state AND mask) != 0. Nominal and ordinal
/// columns store in each cell the index 1..150 of one of the column's
/// identifiers.
///
/// The table always has at least one column and one row: sizes below 1
/// passed to Resize, SetNrCols and SetNrRows count as 1. Setters ignore
/// positions outside the table; getters give neutral values there (0, 0.0,
/// "", false, stUnknown).
///
/// Events: OnChange (values), OnChangeSetup (structure: insertion and
/// removal, scale types, identifiers, comment), OnChangeNames,
/// OnChangeCellState, OnChangeAttrib, OnResize, OnPercentDone and
/// OnSortExchange, each fired synchronously with the table as sender as the
/// operations below say. A handler may read the table but must not change
/// it. NumericData's OnChange and OnSortExchange belong to the table.
///
/// Not safe for use from several threads at once.
class NUMBRA_EXPORT TDataTable : public TComponent {
 public:
  /// Creates a 1 x 1 table: value 0.0, state 0, names "C-1" and "R-1",
  /// attributes 0, column type stInterval with empty identifiers, empty
  /// comment. Raises EORKDataTableError "Component "<Name>": failed to
  /// initialize (out of memory)" when no storage is left.
  explicit TDataTable(TComponent* AOwner = nullptr);
  ~TDataTable() override;
  TDataTable(const TDataTable&) = delete;
  TDataTable& operator=(const TDataTable&) = delete;

  /// The cell values, NrOfColumns() x NrOfRows(): owned by the table unless
  /// AssignAnotherDataMatrix handed in another matrix. Never null. A host may
  /// read it and write values through SetVal (which fires the table's
  /// OnChange); it must not resize it or rebind its OnChange and
  /// OnSortExchange.
  TMatrix* NumericData = nullptr;

  // ---- events -----------------------------------------------------------
  /// Cell values changed.
  TNotifyEvent OnChange;
  /// Structure changed: insertion, removal, scale types, identifiers, comment.
  TNotifyEvent OnChangeSetup;
  /// Row or column names changed.
  TNotifyEvent OnChangeNames;
  /// Row or column attributes changed.
  TNotifyEvent OnChangeAttrib;
  /// Cell states changed.
  TNotifyEvent OnChangeCellState;
  /// Whole-percent progress (see PercDone).
  TOnPercentDoneEvent OnPercentDone;
  /// Size changed: (sender, old columns, old rows, new columns, new rows).
  TDataTableResizeEvent OnResize;
  /// Fired for every exchange of two rows (ExchgWhat 2) or columns (1) made
  /// by the sorts, after the exchange.
  TSortExchgEvent OnSortExchange;

  // ---- properties -------------------------------------------------------
  /// The comment (one line: control characters are removed on setting).
  [[nodiscard]] const std::string& Comment() const noexcept { return FComment; }
  /// Sets the comment with control characters removed; ChangedSetup.
  void SetFComment(std::string_view s);
  /// Number of columns (at least 1).
  [[nodiscard]] int32_t NrOfColumns() const noexcept { return FNrOfCols; }
  /// Number of rows (at least 1).
  [[nodiscard]] int32_t NrOfRows() const noexcept { return FNrOfRows; }
  /// Resize(n, NrOfRows()) (n below 1 counts as 1).
  void SetNrCols(int32_t n);
  /// Resize(NrOfColumns(), n) (n below 1 counts as 1).
  void SetNrRows(int32_t n);

  // ---- size -------------------------------------------------------------
  /// Sets the size (values below 1 count as 1). Nothing, and no event, when
  /// the size stays. Otherwise the overlap keeps values, states, names,
  /// attributes and types; new cells are 0.0 with state 0, new columns are
  /// named "C-<index>", stInterval with empty identifiers, new rows
  /// "R-<index>", new attributes 0. Then OnResize(this, old columns, old
  /// rows, new columns, new rows) and no other event. Raises
  /// EORKDataTableError "Component "<Name>": not enough memory on heap" (or
  /// the matrix's EORKMatrixError) when the storage cannot be had; the table
  /// is then unchanged.
  void Resize(int32_t NrCols, int32_t NrRows);
  /// Inserts an empty row before row ix (1 <= ix <= NrOfRows() + 1, else
  /// nothing): rows ix.. move down with values, states, names and
  /// attributes; the new row has name "", attribute 0, values 0.0 and states
  /// 0. Fires OnResize, then ChangedData, ChangedCellStates, ChangedNames and
  /// ChangedAttrib once each for all the moves, then ChangedSetup.
  void InsertRow(int32_t ix);
  /// Removes row ix (1 <= ix <= NrOfRows() and at least 2 rows, else
  /// nothing). Fires OnResize, then the events of InsertRow.
  void RemoveRow(int32_t ix);
  /// InsertRow for columns; also moves scale types and identifiers. The new
  /// column is stInterval with empty identifiers and an empty name.
  void InsertColumn(int32_t ix);
  /// RemoveRow for columns (at least 2 columns).
  void RemoveColumn(int32_t ix);
  /// Keeps the size; names back to "C-<index>"/"R-<index>", states and
  /// attributes 0, every column stInterval with empty identifiers, comment
  /// empty, values 0.0; then ChangedNames, ChangedAttrib, ChangedCellStates,
  /// ChangedSetup.
  void Clear();

  // ---- elements ---------------------------------------------------------
  /// Value of cell (ACol, ARow); rounded to an integer (halves to even) in
  /// nominal and ordinal columns; 0.0 outside.
  [[nodiscard]] double GetElem(int32_t ACol, int32_t ARow) const noexcept;
  /// Stores Value and fires ChangedData; outside the table nothing.
  void SetElem(int32_t ACol, int32_t ARow, double Value);
  /// Identifier of the cell's code k = round(value) in a nominal or ordinal
  /// column: identifier k for 1 <= k <= 150, else the decimal text of k cut
  /// to 10 bytes; "" outside the table or in other columns.
  [[nodiscard]] TNominalIDStr GetElemNominal(int32_t ACol, int32_t ARow) const;
  /// Stores the code of identifier Value (compared ignoring case), taking
  /// the first empty identifier slot for a new one, then ChangedData. The
  /// scale type is neither checked nor changed. Raises EORKDataTableError
  /// "Component "<Name>": number of available nominal values exceeded" when
  /// all 150 slots are taken.
  void SetElemNominal(int32_t ACol, int32_t ARow, std::string_view Value);

  // ---- cell states --------------------------------------------------------
  /// State byte of the cell; 0 outside.
  [[nodiscard]] uint8_t GetCellState(int32_t ACol, int32_t ARow) const noexcept;
  /// Sets the state byte; ChangedCellStates only when it changes.
  void SetCellState(int32_t ACol, int32_t ARow, uint8_t State);
  /// State bit 1 (empty).
  [[nodiscard]] bool GetIsEmpty(int32_t ACol, int32_t ARow) const noexcept;
  /// Sets or clears bit 1 through SetCellState, then ChangedData.
  void SetIsEmpty(int32_t ACol, int32_t ARow, bool Value);
  /// True when bits 0 and 1 are both clear (false outside).
  [[nodiscard]] bool GetIsNumber(int32_t ACol, int32_t ARow) const noexcept;
  /// State bit 5 (imputed).
  [[nodiscard]] bool GetIsImputed(int32_t ACol, int32_t ARow) const noexcept;
  /// Sets or clears bit 5 through SetCellState, then ChangedData.
  void SetIsImputed(int32_t ACol, int32_t ARow, bool Value);
  /// Whether a state of row `row` has a bit in common with CellState (false
  /// outside).
  [[nodiscard]] bool IfRowHasCellState(int32_t row, uint8_t CellState) const noexcept;
  /// The same for column `col`.
  [[nodiscard]] bool IfColHasCellState(int32_t col, uint8_t CellState) const noexcept;
  /// Number of cells of row Row whose state has a bit in common with
  /// StateMask (0 outside).
  [[nodiscard]] int32_t CountMarkedCellsInRow(int32_t Row, uint8_t StateMask) const noexcept;
  /// The same along column Col.
  [[nodiscard]] int32_t CountMarkedCellsInColumn(int32_t Col, uint8_t StateMask) const noexcept;
  /// Every state becomes CellState; ChangedCellStates.
  void SetAllCellStates(uint8_t CellState);
  /// Clears bits 6 and 7 of every state; ChangedCellStates.
  void UnmarkAllCells();
  /// Every state XOR StateMask; ChangedCellStates.
  void InvertCellStates(uint8_t StateMask);
  /// Swaps bits 6 and 7 of every state; ChangedCellStates.
  void ExchangeMarkings();

  // ---- names and attributes -----------------------------------------------
  /// Name of row RowNr ("" outside).
  [[nodiscard]] TDTNameStr GetRowName(int32_t RowNr) const;
  /// Sets the name (cut to 50 bytes); ChangedNames; outside nothing.
  void SetRowName(int32_t RowNr, std::string_view Name);
  /// Name of column ColNr ("" outside).
  [[nodiscard]] TDTNameStr GetColName(int32_t ColNr) const;
  /// Sets the name (cut to 50 bytes); ChangedNames; outside nothing.
  void SetColName(int32_t ColNr, std::string_view Name);
  /// Length in bytes of the longest row name.
  [[nodiscard]] int32_t MaxRowNameLength() const noexcept;
  /// Length in bytes of the longest column name.
  [[nodiscard]] int32_t MaxColNameLength() const noexcept;
  /// Attribute of row RowNr (0 outside).
  [[nodiscard]] int32_t GetRowAttrib(int32_t RowNr) const noexcept;
  /// Sets the attribute and fires ChangedAttrib (outside nothing).
  void SetRowAttrib(int32_t RowNr, int32_t Attrib);
  /// Attribute of column ColNr (0 outside).
  [[nodiscard]] int32_t GetColAttrib(int32_t ColNr) const noexcept;
  /// Sets the attribute and fires ChangedAttrib (outside nothing).
  void SetColAttrib(int32_t ColNr, int32_t Attrib);
  /// Every row attribute becomes Attrib; ChangedAttrib.
  void SetRowAttributes(int32_t Attrib);
  /// Every row attribute becomes (old AND NOT Mask) OR (Attrib AND Mask);
  /// ChangedAttrib.
  void SetRowAttributes(int32_t Attrib, uint32_t Mask);
  /// Every column attribute becomes Attrib; ChangedAttrib.
  void SetColAttributes(int32_t Attrib);
  /// Masked form for columns.
  void SetColAttributes(int32_t Attrib, uint32_t Mask);

  // ---- scale types and identifiers ----------------------------------------
  /// Scale type of column ColNr (stUnknown outside).
  [[nodiscard]] TMScaleType GetMScaleType(int32_t ColNr) const noexcept;
  /// Sets the scale type; ChangedSetup (outside nothing).
  void SetMScaleType(int32_t ColNr, TMScaleType Value);
  /// Identifier OrdVal (1..150) of column ColIx; "" out of range or in a
  /// column that is neither nominal nor ordinal.
  [[nodiscard]] TNominalIDStr GetNominalID(int32_t ColIx, int32_t OrdVal) const;
  /// Stores identifier OrdVal (cut to 10 bytes): a non-empty one only in a
  /// nominal or ordinal column, an empty one in any; ChangedSetup. Nothing
  /// out of range.
  void SetNominalID(int32_t ColIx, int32_t OrdVal, std::string_view MScaleID);
  /// Index of identifier MScaleID (cut to 10 bytes) in column Col, or the
  /// first empty slot (slot 150 when all are taken, overwriting it) that
  /// then receives it; the column becomes stNominal; ChangedSetup. 0 for an
  /// invalid column.
  int32_t AddNominalID(int32_t Col, std::string_view MScaleID);
  /// Index 1..150 of the first identifier equal to ID (cut to 10 bytes;
  /// ASCII letters compared ignoring case when IgnoreCase); 0 when none,
  /// when ID is empty, the column invalid or neither nominal nor ordinal.
  [[nodiscard]] int32_t OrdinalOfNominalID(int32_t Col, std::string_view ID, bool IgnoreCase) const;
  /// Empties all 150 identifiers of a valid column (type kept); ChangedSetup.
  void ClearNominalIDs(int32_t Col);
  /// Ascending indices of the nominal and ordinal columns.
  [[nodiscard]] TIntArray ListOfCategorialVars() const;
  /// True when column col holds exactly two distinct values; v1 is row 1's,
  /// v2 the other one. With fewer than 2 rows or a column outside the table
  /// false with v1 = v2 = 0.0.
  bool CheckDichotomousColumn(int32_t col, double& v1, double& v2) const;
  /// True when every value of the column equals its value in row 1 (false
  /// outside).
  [[nodiscard]] bool IsConstantColumn(int32_t ColIx) const noexcept;

  // ---- events and ranges ----------------------------------------------------
  /// Fires OnChange.
  void ChangedData();
  /// Fires OnChangeSetup.
  void ChangedSetup();
  /// Fires OnChangeNames.
  void ChangedNames();
  /// Fires OnChangeAttrib.
  void ChangedAttrib();
  /// Fires OnChangeCellState.
  void ChangedCellStates();
  /// NumericData's OnChange handler: ChangedData.
  void DataHasChanged(TObject* Sender);
  /// OnPercentDone(this, Percent) when assigned.
  void PercDone(TObject* Sender, int32_t Percent);
  /// (0, 0) becomes 1..NrOfColumns(); otherwise both bounds are clamped into
  /// 1..NrOfColumns() and a reversed pair is exchanged.
  void MakeValidColRange(int32_t& Lo, int32_t& Hi) const noexcept;
  /// The same for rows.
  void MakeValidRowRange(int32_t& Lo, int32_t& Hi) const noexcept;

  // ---- statistics over cells ------------------------------------------------
  // Ranges (LowCol, LowRow, HighCol, HighRow) pass MakeValidColRange and
  // MakeValidRowRange. "Num" methods take the valid cells of the numeric
  // (stInterval, stRatio) columns; "Marked" methods the valid cells whose
  // bits 2..7 meet the mask; values are read as stored. Sums and moments
  // are computed with the library's compensated two-pass kernels, so they
  // keep their digits for data with a large common offset.

  /// Count n of the cells; Mean (0.0 for n = 0) and sample variance (1.0
  /// for n < 3).
  int32_t MeanVarOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                            double& Mean, double& Variance) const;
  /// MeanVarOfNumCells over the marked cells of the numeric columns.
  int32_t MeanVarOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                               uint8_t CellState, double& Mean, double& Variance) const;
  /// Compensated sum of the cells (0.0 for none); NumData = their count.
  double SumOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                       int32_t& NumData) const;
  /// The same over the marked cells of the numeric columns.
  double SumOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                          uint8_t CellState, int32_t& NumData) const;
  /// Extremes (uc_MaxReal and -uc_MaxReal when no cell counts); the count.
  int32_t MinMaxOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                           double& Minimum, double& Maximum) const;
  /// Extremes of the marked cells of all columns.
  int32_t MinMaxOfMarkedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                              uint8_t CellState, double& Minimum, double& Maximum) const;
  /// Extremes of the valid cells of all columns, nominal and ordinal values
  /// rounded (halves to even).
  int32_t MinMaxOfValidCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                             double& Minimum, double& Maximum) const;
  /// exp(mean ln x) over the positive cells; NumData = their number; 0.0
  /// when a cell is 0 or none is positive. Raises EORKMatrixError
  /// "Component "<Name>": negative argument passed to GeometricMean".
  double GeometricMeanOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                 int32_t& NumData) const;
  /// n / sum(1 / x); NumData = n; 0.0 for no cell. Raises EORKMatrixError
  /// "Component "<Name>": negative or zero argument passed to HarmonicMean".
  double HarmonicMeanOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                                int32_t& NumData) const;
  /// Quartiles by the (N + 1) p rule with interpolation (Q = 0.0 for N = 0,
  /// the value itself for N = 1); NumData = N; true. Raises
  /// EORKDataTableError "Component "<Name>": not enough memory on heap".
  bool QuartilesOfNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                           double& Q1, double& Q2, double& Q3, int32_t& NumData) const;
  /// Percentile prob (percent, clamped to 0..100) by the (N - 1) p rule with
  /// interpolation; 0.0 for N = 0; NumData = N. Memory failure as above.
  double PercentileOfNumCells(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                              int32_t HighRow, int32_t& NumData) const;
  /// The same over the marked cells of the numeric columns.
  double PercentileOfMarkedCells(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                 int32_t HighRow, uint8_t CellState, int32_t& NumData) const;
  /// Number of valid cells of the numeric columns.
  [[nodiscard]] int32_t CountNumCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                      int32_t HighRow) const noexcept;
  /// Number of valid cells of all columns.
  [[nodiscard]] int32_t CountValidCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                        int32_t HighRow) const noexcept;
  /// Number of cells with state bit 1 (empty).
  [[nodiscard]] int32_t CountEmptyCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                        int32_t HighRow) const noexcept;
  /// Number of cells with state bit 5 (imputed).
  [[nodiscard]] int32_t CountImputedCells(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                          int32_t HighRow) const noexcept;
  /// Copies the valid cells with CellState = 255 or (CellState AND state) !=
  /// 0, in visiting order, to DestVect's elements 1, 2, ...; DestVect is
  /// sized to their count, which is returned (null DestVect: 0, nothing).
  int32_t CopyCellsToVector(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                            uint8_t CellState, TVector* DestVect) const;
  /// Every cell of the table whose state meets StateMask receives Value;
  /// ChangedData once when one did; the count.
  int32_t FillMarkedCells(double Value, uint8_t StateMask);

  /// Per numeric column: (mean, var) of its valid cells; when var > 0 the
  /// valid cells become (x - mean) / sqrt(var). Means[c] and StdDevs[c]
  /// (when given; not resized) receive mean and sqrt(var). ChangedData once
  /// when a column changed.
  void StandardizeNumCellColumns(TVector* Means, TVector* StdDevs);
  /// Per row over the valid cells of all columns. Raises EORKDataTableError
  /// "Component "<Name>": standardization of rows is not possible with
  /// nominal or ordinal variables" (nothing changed) when a column is
  /// nominal or ordinal. ChangedData.
  void StandardizeNumCellRows(TVector* Means, TVector* StdDevs);
  /// Subtracts each numeric column's mean from its valid cells; Means[c].
  /// ChangedData.
  void MeanCenterNumCellColumns(TVector* Means);
  /// Per row; raises "Component "<Name>": mean centering of rows is not
  /// possible with nominal or ordinal variables" like StandardizeNumCellRows.
  void MeanCenterNumCellRows(TVector* Means);

  /// Covariance family of the columns LoC..HiC over the rows LoR..HiR (range
  /// rules apply), n = HiC - LoC + 1 columns; each pair (i, j) uses the m
  /// rows where both cells are valid, values read through GetElem. Mode 0:
  /// sum(x y) / (m - 1); 1: covariance sum((x - mean_i)(y - mean_j)) / (m -
  /// 1), the means over each column's own valid cells; 2: Pearson's r from
  /// centred sums (0 for m < 3 or a constant column; diagonal 1.0); 3: r^2
  /// (diagonal 1.0); 4: sum((x - y)^2) / (m - 1); other modes 0. Modes 0, 1
  /// and 4 give 0.0 for m < 2. The result (j, i) = (i, j) goes to cells 1..n
  /// of CovarMat, which must have at least n columns and rows (false
  /// otherwise, nothing written; null: false). Clears AbortMathProc, counts
  /// one ProcStat step per column mean (modes > 0) and per i, and stops
  /// with false before a new i when AbortMathProc is set. CovarMat's
  /// OnChange fires once at the end.
  bool CalcCovar(TMatrix* CovarMat, int32_t LoC, int32_t HiC, int32_t LoR, int32_t HiR,
                 int32_t Mode);

  /// Largest row attribute of FirstRow..LastRow (range rule); Row = the
  /// first row holding it.
  int32_t MaxRowAttrib(int32_t FirstRow, int32_t LastRow, int32_t& Row) const noexcept;
  /// Smallest row attribute; Row its first row.
  int32_t MinRowAttrib(int32_t FirstRow, int32_t LastRow, int32_t& Row) const noexcept;
  /// Largest column attribute; Col its first column.
  int32_t MaxColAttrib(int32_t FirstCol, int32_t LastCol, int32_t& Col) const noexcept;
  /// Smallest column attribute; Col its first column.
  int32_t MinColAttrib(int32_t FirstCol, int32_t LastCol, int32_t& Col) const noexcept;
  /// Highest scale type of the columns (range rule), at least stNominal.
  [[nodiscard]] TMScaleType FindHighestMLevel(int32_t FirstCol, int32_t LastCol) const noexcept;
  /// Lowest scale type of the columns, at most stRatio.
  [[nodiscard]] TMScaleType FindLowestMLevel(int32_t FirstCol, int32_t LastCol) const noexcept;
  /// Number of distinct row attribute values (every 32-bit value counts,
  /// not only 0..255).
  [[nodiscard]] int32_t RowAttribLevels() const;
  /// Number of distinct column attribute values.
  [[nodiscard]] int32_t ColAttribLevels() const;

  // ---- sorting, exchange, copying -------------------------------------------
  /// Sorts rows LowRow..HighRow by column SortColIx with NumericData's
  /// SortRows; every exchange moves the cell states of the moved columns
  /// (and of the key column) and, with IncludeHeaders, names and attributes
  /// (then ChangedNames and ChangedAttrib). Raises the matrix's
  /// EORKMatrixError for a key column outside the table.
  void SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                int32_t HighRow, bool IncludeHeaders);
  /// Sorts columns by row SortRowIx; with IncludeHeaders names, attributes,
  /// scale types and identifiers move along.
  void SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                int32_t HighRow, bool IncludeHeaders);
  /// NumericData's OnSortExchange handler (ExchgWhat 1 columns, else rows):
  /// moves states (and headers during a sort with IncludeHeaders), then
  /// OnSortExchange(this, ...).
  void ExchangeDuringSort(TObject* Sender, uint8_t ExchgWhat, int32_t Index1, int32_t Index2,
                          int32_t First, int32_t Last);
  /// Comb sort of the rows LowRow..HighRow by their names (byte-wise, or
  /// ASCII letters lower-cased when IgnoreCase), moving names, attributes
  /// and the values and states of columns LowCol..HighCol; OnSortExchange
  /// per exchange; ChangedData, ChangedNames.
  void SortRowNames(bool Ascending, bool IgnoreCase, int32_t LowCol, int32_t LowRow,
                    int32_t HighCol, int32_t HighRow);
  /// Case-sensitive SortRowNames.
  void SortRowNames(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                    int32_t HighRow);
  /// Columns by names; moves scale types and identifiers as well.
  void SortColNames(bool Ascending, bool IgnoreCase, int32_t LowCol, int32_t LowRow,
                    int32_t HighCol, int32_t HighRow);
  /// Case-sensitive SortColNames.
  void SortColNames(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                    int32_t HighRow);
  /// Rows by attribute (signed); ChangedData, ChangedAttrib.
  void SortRowAttributes(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                         int32_t HighRow);
  /// Columns by attribute.
  void SortColAttributes(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                         int32_t HighRow);
  /// Exchanges two rows with values, states, names and attributes; then
  /// ChangedData, ChangedCellStates, ChangedAttrib, ChangedNames,
  /// ChangedSetup. Raises the matrix's EORKMatrixError for a row outside.
  void ExchangeRows(int32_t r1, int32_t r2);
  /// Exchanges two columns, also scale types and identifiers.
  void ExchangeColumns(int32_t c1, int32_t c2);
  /// Reverses the order of the rows (events as ExchangeRows, once).
  void MirrorRows();
  /// Reverses the order of the columns.
  void MirrorColumns();
  /// First row whose name, trimmed of blanks and upper-cased, equals RowID
  /// (cut to 50 bytes, trimmed, upper-cased); 0 when none.
  [[nodiscard]] int32_t FindRowIndex(std::string_view RowID) const;
  /// The same for columns.
  [[nodiscard]] int32_t FindColIndex(std::string_view ColID) const;
  /// Copies values (ExtTab's GetElem) and states of ExtTab's range (bounds
  /// clamped into ExtTab, reversed ones exchanged) to (DestCol, DestRow)..;
  /// targets outside this table are dropped. ChangedData, ChangedCellStates.
  /// Null: nothing. ExtTab may be this table.
  void CopyFrom(const TDataTable* ExtTab, int32_t SourceColLo, int32_t SourceRowLo,
                int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol, int32_t DestRow);
  /// Takes ExtTab's size, comment, names, attributes, types, identifiers,
  /// values (GetElem) and states; ChangedData, ChangedCellStates,
  /// ChangedSetup, ChangedNames, ChangedAttrib, then OnResize. Null or this
  /// table: nothing.
  void CopyContentsFrom(const TDataTable* ExtTab);
  /// Copies all states when the sizes agree (ChangedCellStates, true);
  /// false otherwise.
  bool CopyCellStatesFrom(const TDataTable* ExtTab);
  /// Adopts NewDMat (not owned; it must outlive the table or be replaced)
  /// as NumericData: the table takes its size (values kept), all columns
  /// become stInterval. Null: nothing.
  void AssignAnotherDataMatrix(TMatrix* NewDMat);
  /// Turns the n x m table into one variable of n m rows, column after
  /// column: optional column "(column)" (nominal, identifiers "c:name"),
  /// "(col. index)" and "(row index)", and "(data)" with the highest scale
  /// type; row names, attributes and states follow the cells.
  void Serialize(bool ColHeadsAsVar, bool IncludeColRowNumbers);

  // ---- checksums ------------------------------------------------------------
  /// Checksum (64 hexadecimal digits, eight CRC-32 accumulators, the byte at
  /// position p going to accumulator p mod 8) of the comment, names,
  /// attributes (low bytes), scale types and identifiers. Text positions
  /// are byte positions of the UTF-8 text, from 1.
  [[nodiscard]] std::string CRCofNamesAndAttributes() const;
  /// Checksum of the states, column by column, each at its row index.
  [[nodiscard]] std::string CRCofCellStates() const;

  // ---- CSV form -------------------------------------------------------------
  // Written as RFC 4180 says: records end in CR LF; a field is quoted with
  // '"' (quotes doubled inside) when it holds the delimiter, a quote, a
  // line break, starts with '#' or a blank or ends with a blank, is the
  // text of a missing value ("NA" ...), or is empty as the only field of a
  // record. Optional layout: a comment line "# <comment>" (when the comment
  // is not empty), a header record ("" above the row names, "(row
  // attribute)" above the attributes, then the column names), and per row
  // its name, its attribute and the values. Numbers are written with '.'
  // and, for Precision < 1 or > 17, as the shortest text that reads back
  // as the same double (else with Precision significant digits); NaN as
  // "nan", infinities as "inf" and "-inf". Nominal and ordinal columns
  // write the cell's identifier (GetElemNominal). Empty cells (state bit 1)
  // and cells without a usable number (bit 0) are written as empty fields.
  // The other state bits, scale types other than nominal, column
  // attributes and the identifier codes are not part of the CSV form (the
  // XML form keeps them).
  //
  // Reading accepts a UTF-8 byte-order mark, LF, CR LF and CR line ends,
  // quoted fields with embedded delimiters, quotes and line breaks, blank
  // lines (skipped) and lines starting with '#' (comments: those before the
  // first record become the table's comment, joined by blanks). Unquoted
  // fields that are empty or read "NA", "N/A", "NULL", "<NA>" or "#N/A"
  // are missing: the cell becomes empty (state 2, value 0.0). Blanks around
  // an unquoted number are ignored; "inf", "nan" (any case) read as those
  // values; with a delimiter other than ',' a number may use a decimal
  // comma. A column with a field that is neither a number nor missing
  // becomes stNominal: each distinct field text (at most 10 bytes, at most
  // 150 of them) becomes an identifier in order of first appearance and
  // the cell its index; other columns are stInterval. Names missing from
  // the file are the defaults ("C-<index>", "R-<index>"); names longer than
  // 50 bytes are cut. On success the table is replaced as a whole (comment,
  // names, attributes, types, values, states) and fires ChangedData,
  // ChangedCellStates, ChangedSetup, ChangedNames, ChangedAttrib and
  // OnResize; on failure it is unchanged and no event fires. Memory: the
  // input and about 20 bytes per cell.

  /// Writes the CSV form of the whole table into the file FName. Result ""
  /// on success, else a one-line message ("cannot write file "<FName>"").
  /// Delimiter csvUnknown writes commas.
  std::string ExportAsCSV(const std::string& FName, int32_t Precision, TCSVDelimiters Delimiter,
                          bool IncludeColHeaders, bool IncludeRowHeaders) const;
  /// The same with the row attributes.
  std::string ExportAsCSV(const std::string& FName, int32_t Precision, TCSVDelimiters Delimiter,
                          bool IncludeColHeaders, bool IncludeRowHeaders,
                          bool IncludeRowAttributes) const;
  /// The same with the comment line.
  std::string ExportAsCSV(const std::string& FName, int32_t Precision, TCSVDelimiters Delimiter,
                          bool IncludeColHeaders, bool IncludeRowHeaders, bool IncludeRowAttributes,
                          bool IncludeComment) const;
  /// The CSV form as a text (for a clipboard, a socket, a test).
  [[nodiscard]] std::string CSVText(int32_t Precision, TCSVDelimiters Delimiter,
                                    bool IncludeColHeaders, bool IncludeRowHeaders,
                                    bool IncludeRowAttributes, bool IncludeComment) const;
  /// Reads the file FName (IncludeColHeaders: the first record holds column
  /// names; IncludeRowHeaders: the first field the row name; row attributes
  /// detected by their header). The number of data rows, or a
  /// TCSVImportError code (< 0) with the table unchanged.
  int32_t ImportFromCSV(const std::string& FName, TCSVDelimiters Delimiter, bool IncludeColHeaders,
                        bool IncludeRowHeaders);
  /// The general form; Report (when given) tells where and why it failed.
  int32_t ImportFromCSV(const std::string& FName, const TCSVImportOptions& Options,
                        TCSVImportReport* Report = nullptr);
  /// The same on a text held in memory (a clipboard buffer, a socket).
  int32_t ImportFromCSVText(std::string_view Text, const TCSVImportOptions& Options,
                            TCSVImportReport* Report = nullptr);

  // ---- ASC form -------------------------------------------------------------
  // The ASC text table of the curve fit (header syntax: corvel's
  // ReadHeaderOfASC), lines ending in "\n":
  //   1. the comment;
  //   2. columns TAB ";nr. of columns";  3. rows TAB ";nr. of rows";
  //   4. "TRUE TRUE TRUE TRUE" TAB ";row attributes, column names, row
  //      names, extended cell information";
  //   5. the column names, each in double quotes (doubled inside), three
  //      blanks apart;
  //   6. per row: the row attribute, the row name in double quotes, the
  //      values (as in the CSV form: shortest round-trip text unless
  //      Precision is 1..17), separated by TABs;
  // then the extended information: a line of the column scale types
  // (ordinals 0..4), a line of the column attributes, per column a line
  // "k o1 "id1" o2 "id2" ..." with its k non-empty identifiers and their
  // ordinals, and per row a line of its cell states (0..255). Line breaks
  // inside names and identifiers are written as blanks (the form holds
  // one-line names). A table written so reads back completely. Readers
  // accept the header flags in any combination (absent parts take the
  // defaults of a new table) and any blanks, tabs and line ends between
  // tokens; names longer than 50 bytes are cut. They return the number of
  // rows read, or a negative code with the table unchanged: corvel's header
  // codes -1 (cannot open) to -6 (more cells than the input can hold), or
  // kAscBadBody (-7) for a missing or bad token, a size of 0, an identifier
  // longer than 10 bytes, or text after the last token. On success the
  // events of a CSV import fire.

  /// Writes the ASC form into the file FName; "" on success, else a
  /// one-line message.
  std::string ExportAsASC(const std::string& FName, int32_t Precision) const;
  /// Writes the ASC form at the stream's position; "" on success (null
  /// stream: a message).
  std::string ExportAsASC(TStream* OutStream, int32_t Precision) const;
  /// Writes the ASC form into a text file the caller has opened (failures
  /// show in OutFile.Ok()).
  void ExportAsASC(TTextWriter& OutFile, int32_t Precision) const;
  /// Puts the ASC form into the clipboard buffer.
  void ExportAsASC(TClipboardBuffer& ClipBd, int32_t Precision) const;
  /// The ASC form as a text.
  [[nodiscard]] std::string ASCText(int32_t Precision) const;
  /// Replaces the table by the ASC file FName (result: rows, or a code).
  int32_t ImportASC(const std::string& FName);
  /// The same from the stream's position to its end.
  int32_t ImportASC(TStream* InStream);
  /// The same from the clipboard buffer.
  int32_t ImportASC(const TClipboardBuffer& ClipBd);
  /// Reads an ASC table into this one with its cell (1, 1) at (PosX, PosY)
  /// (values below 1 count as 1), enlarging the table as needed; values,
  /// states and the names and attributes the file holds replace those of
  /// the covered cells, rows and columns; with ReplaceIDs also the scale
  /// types and identifiers of the covered columns. Other cells stay. Events:
  /// OnResize when the size grows, then ChangedData, ChangedCellStates,
  /// ChangedNames, ChangedAttrib, ChangedSetup. Result as ImportASC.
  int32_t ReadFromASC(const std::string& FName, int32_t PosX, int32_t PosY, bool ReplaceIDs);
  /// ReadFromASC from the stream's position.
  int32_t ReadFromASC(TStream* InStream, int32_t PosX, int32_t PosY, bool ReplaceIDs);
  /// ReadFromASC from the clipboard buffer.
  int32_t ReadFromASC(const TClipboardBuffer& ClipBd, int32_t PosX, int32_t PosY, bool ReplaceIDs);

  // ---- XML form -------------------------------------------------------------
  // <datatable dataid="DataID"> holding, one element per line:
  // <comment>text</comment>; <size cols="C" rows="R"></size>; <colnames>
  // with <colid col="c">name</colid> per column; <rownames> with <rowid
  // row="r">name</rowid>; <colattrib> with <colid col="c">attribute</colid>;
  // <rowattrib> with <rowid row="r">attribute</rowid>; per column <vartype
  // col="c" type="Nominal"> (a MScaleTypeNames text) with a <varid
  // ord="k">identifier</varid> per non-empty identifier; <datacells> with
  // <cell col="c" row="r" state="s">value</cell> per cell (state omitted
  // when 0), values in full precision as in the matrix XML form. Readers
  // look for the first <datatable> whose dataid equals DataID (any when
  // DataID is empty); size must come before everything but the comment;
  // every cell must be given exactly once; names, attributes, types and
  // identifiers are optional (defaults as in a new table); unknown elements
  // are skipped. A size is accepted as the matrix readers accept one
  // (PlausibleSize: at most 2^27 cells, and no more than 64 times the cells
  // present beyond 2^20). On success the table is replaced as a whole with
  // the events of a CSV import; otherwise false and the table unchanged.

  /// Applies one element of the XML form to the table: xmlSize resizes to
  /// (S1 columns, S2 rows); xmlComment sets the comment from S3; xmlColId
  /// and xmlRowId set the name (Context = xmlColNames/xmlRowNames ordinal)
  /// or attribute (xmlColAttrib/xmlRowAttrib) of index S1 to S3; xmlVarType
  /// sets column S1's type from the name S2; xmlVarIdentifier sets
  /// identifier S2 of column Context to S3; xmlCellID sets cell (S1, S2) to
  /// the number S3 with state Context. False when the texts do not convert
  /// or the indices lie outside the table (nothing changed then).
  bool ProcessXmlTag(TDTxmlTags Tag, const std::string& S1, const std::string& S2,
                     const std::string& S3, int32_t Context);
  /// Reads the XML form from the file FName. False when it cannot be opened
  /// or as the rules above say.
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  /// Reads from an open text file, line by line from its position; on
  /// success the file stands after the line holding </datatable>.
  bool ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID);
  /// Reads from the stream's position; on success the stream stands after
  /// </datatable>. Null: false.
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  /// Reads from InString starting at byte StartAt (0-based); on success
  /// StartAt is moved after </datatable>.
  bool ReadFromXMLString(const std::string& InString, int64_t& StartAt, const std::string& DataID);
  /// Writes the XML form into a new file (declaration included). Precision
  /// < 1 or > 17: shortest round-trip text; else that many significant
  /// digits. Raises EORKDataTableError "Component "<Name>": cannot write
  /// file "<FName>"".
  void SaveAsXMLFile(const std::string& FName, int32_t Precision, const std::string& DataID) const;
  /// Writes into a text file the caller opened (lines end in CR LF).
  void WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader, int32_t Precision,
                          const std::string& DataID) const;
  /// Writes at the stream's position (null: nothing).
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, int32_t Precision,
                        const std::string& DataID) const;
  /// The XML form as a text.
  [[nodiscard]] std::string XMLText(bool CreateHeader, int32_t Precision,
                                    const std::string& DataID) const;

 protected:
  /// The sort exchange flag of the current SortRows/SortCols.
  bool FSortIncludeHd = false;

 private:
  friend struct DataTableAccess;
  std::string FComment;
  std::vector<int32_t> FRowAtt;
  std::vector<int32_t> FColAtt;
  std::vector<TVTypeSpec> FVType;
  /// Cell states, column by column: state (c, r) at (c - 1) * FNrOfRows + r - 1.
  std::vector<uint8_t> FCState;
  std::vector<TDTNameStr> FColName;
  std::vector<TDTNameStr> FRowName;
  int32_t FNrOfCols = 1;
  int32_t FNrOfRows = 1;
  bool FExtMatAssigned = false;
  /// Key column (row) of the running SortRows (SortCols), or 0.
  int32_t sort_key_ = 0;
  std::unique_ptr<TMatrix> owned_;

  [[nodiscard]] bool Inside(int32_t c, int32_t r) const noexcept {
    return c >= 1 && c <= FNrOfCols && r >= 1 && r <= FNrOfRows;
  }
  [[nodiscard]] std::size_t SIdx(int32_t c, int32_t r) const noexcept {
    return static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(FNrOfRows) +
           static_cast<std::size_t>(r - 1);
  }
  [[nodiscard]] bool IsCategorial(int32_t c) const noexcept;
  [[nodiscard]] bool IsNumeric(int32_t c) const noexcept;
  void BindMatrix();
  void ResizeImpl(int32_t NrCols, int32_t NrRows);
  void SwapRowHeaders(int32_t r1, int32_t r2);
  void SwapColHeaders(int32_t c1, int32_t c2);
  void TakeContents(TDataTable& Source);
  template <class Key>
  void CombSortRows(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                    int32_t HighRow, Key&& KeyGreater);
  template <class Key>
  void CombSortCols(bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                    int32_t HighRow, Key&& KeyGreater);
  void WriteCsv(std::string& out, const std::function<void(std::string&)>& Flush, int32_t Precision,
                TCSVDelimiters Delimiter, bool IncludeColHeaders, bool IncludeRowHeaders,
                bool IncludeRowAttributes, bool IncludeComment) const;
  void WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                bool CreateHeader, int32_t Precision, const std::string& DataID) const;
  bool ReadXml(const std::function<int64_t(char*, int64_t)>& Source, const std::string& DataID,
               int64_t* Consumed);
  int32_t ParseAsc(std::string Text, TDataTable& Out, bool& HasColNames, bool& HasRowNames,
                   bool& HasRowAttrib, bool& Extended) const;
  int32_t PlaceAsc(int32_t Result, TDataTable& Src, int32_t PosX, int32_t PosY, bool ReplaceIDs,
                   bool HasColNames, bool HasRowNames, bool HasRowAttrib, bool Extended);
};

}  // namespace numbra
