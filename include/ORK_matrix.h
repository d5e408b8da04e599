// ORK_matrix: TMatrix, the library's dense matrix of doubles -- storage,
// element access, copying, checksum, text/stream/binary/XML persistence,
// products and the linear algebra built on them (LU and Cholesky
// factorisation, inversion, determinant, norms, balancing).
#pragma once

#include "ORK_vector.h"
#include "numbra_frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace numbra {

/// Raised by the matrix classes.
NUMBRA_DECLARE_EXCEPTION(EORKMatrixError, EORKError);

class TMat3D;

namespace detail {
/// Allocator of TMatrix's storage: every array starts on a 64-byte (cache
/// line) boundary. Column loads of a matrix whose column length is a
/// multiple of four then split no cache line, and they split lines alike
/// on every call, whatever the heap hands out.
template <class T>
struct CacheAlignedAllocator {
  using value_type = T;
  static constexpr std::align_val_t kAlign{64};
  CacheAlignedAllocator() noexcept = default;
  template <class U>
  CacheAlignedAllocator(const CacheAlignedAllocator<U>&) noexcept {}  // NOLINT: rebind
  [[nodiscard]] T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(::operator new(n * sizeof(T), kAlign));
  }
  void deallocate(T* p, std::size_t) noexcept { ::operator delete(p, kAlign); }
  template <class U>
  bool operator==(const CacheAlignedAllocator<U>&) const noexcept {
    return true;
  }
};
/// The storage type of TMatrix.
using MatrixStorage = std::vector<double, CacheAlignedAllocator<double>>;
}  // namespace detail

/// Matrix norms of TMatrix::Norm.
enum class TNormType : uint8_t { ntColwise, ntRowwise, ntSpectral, ntFrobenius };

/// The XML elements of the matrix classes. xmlMatBegin and xmlMatEnd are the
/// start and end tag of the enclosing element; xmlInvalid stands for any
/// name that is none of these.
enum class TMatXmlTag : uint8_t {
  xmlMatNumCols,
  xmlMatNumRows,
  xmlMatNumLayers,
  xmlMatNumTimeSlots,
  xmlMatCell,
  xmlMatBegin,
  xmlMatEnd,
  xmlInvalid
};

/// Element name of Tag: "numcols", "numrows", "numlayers", "numtimeslots",
/// "cell", "matrix" (begin and end), "" for xmlInvalid.
NUMBRA_EXPORT std::string_view MatXmlTagName(TMatXmlTag Tag) noexcept;
/// The tag with element name Name ("matrix" gives xmlMatBegin); xmlInvalid
/// for any other name. Names are case-sensitive.
NUMBRA_EXPORT TMatXmlTag MatXmlTagOf(std::string_view Name) noexcept;

/// Hook of the user-defined distance between two rows: the handler sets
/// Distance (which arrives as 0.0).
using TOnCalcDistanceEvent =
    std::function<void(TObject* Sender, int32_t Row1, int32_t Row2, double& Distance)>;

// ---- statistics, normalisation, sorting and distances: types ----

/// Distance (or similarity) between two rows of TMatrix::DistanceOfObjects.
enum class TDistMode : uint8_t { dmJaccard, dmManhattan, dmEuclid, dmEuclidSqr, dmDice, dmUserDef };

/// Display names of the distance modes, indexed by TDistMode (or its ordinal).
struct TDistModeIds {
  /// One name per mode, in the order of TDistMode.
  std::string_view Names[6];
  /// Name of Mode.
  [[nodiscard]] constexpr std::string_view operator[](TDistMode Mode) const noexcept {
    return Names[static_cast<std::size_t>(Mode)];
  }
  /// Name of the mode with ordinal Ordinal (0..5; not checked).
  [[nodiscard]] constexpr std::string_view operator[](std::size_t Ordinal) const noexcept {
    return Names[Ordinal];
  }
};

/// "Jaccard coefficient", "Manhattan", "Euclidean", "squared Euclidean",
/// "Dice coefficient", "user defined".
inline constexpr TDistModeIds DistModeId{{"Jaccard coefficient", "Manhattan", "Euclidean",
                                          "squared Euclidean", "Dice coefficient", "user defined"}};

/// Aggregate of TMatrix::EdgeVector.
enum class TEdgeOp : uint8_t { eopMin, eopMax, eopSum, eopMean };

// ---- end of statistics types ----

class TIntMatrix;

/// Dense matrix of doubles, addressed 1-based as (column, row).
///
/// A new matrix is 1 x 1 holding 0.0. NrOfColumns() or NrOfRows() may be 0
/// (an empty matrix); the storage then still holds one element, which is
/// not addressable. Element (c, r) is stored column by column in one
/// contiguous array that starts on a 64-byte boundary, so a column is a
/// contiguous run of doubles.
///
/// Reads outside the matrix give 0.0, writes there are ignored. Every single
/// SetVal fires OnChange; bulk operations fire it once at their end. A
/// handler may read the matrix (and any other object) but must not resize
/// or write the matrix that fired it.
///
/// Ranged operations pass their bounds through MakeValidColRange and
/// MakeValidRowRange: (0, 0) means the whole extent, other bounds are
/// clamped into it and a reversed pair is exchanged.
///
/// Not safe for use from several threads at once. Long operations count
/// progress in ProcStat / MathFeedBackProc and can be stopped through
/// AbortMathProc as each operation says.
class NUMBRA_EXPORT TMatrix : public TComponent {
 public:
  /// Creates a 1 x 1 matrix holding 0.0, Precision 15 and -1, empty DataID.
  /// Raises EORKMatrixError "Component "<Name>": not enough memory on heap"
  /// when no storage is left.
  explicit TMatrix(TComponent* AOwner = nullptr);
  ~TMatrix() override;

  // ---- events -----------------------------------------------------------
  /// Fired with this matrix as sender after each change of contents or size.
  TNotifyEvent OnChange;
  /// Fired by the sorting operations for every exchange they make.
  TSortExchgEvent OnSortExchange;
  /// Hook of the user-defined row distance.
  TOnCalcDistanceEvent OnCalcDistance;

  // ---- properties -------------------------------------------------------
  /// Number of columns (0 or more).
  [[nodiscard]] int32_t NrOfColumns() const noexcept { return FNCol; }
  /// Number of rows (0 or more).
  [[nodiscard]] int32_t NrOfRows() const noexcept { return FNRow; }
  /// NrOfColumns setter: Resize(max(n, 0), NrOfRows()).
  void SetNCols(int32_t n);
  /// NrOfRows setter: Resize(NrOfColumns(), max(n, 0)).
  void SetNRows(int32_t n);
  /// Free identifier of the data set (kept by Assign and the binary and XML
  /// forms; ignored by Clone and CRCofData).
  ///@{
  [[nodiscard]] const std::string& DataID() const noexcept { return FDataID; }
  void SetDataID(std::string Value) { FDataID = std::move(Value); }
  ///@}

  /// Output precision setting ix: the first value for ix < 2, else the
  /// second. After construction 15 and -1.
  [[nodiscard]] int32_t GetFPrecis(int32_t ix) const noexcept { return FPrecis[ix < 2 ? 0 : 1]; }
  /// Stores Value, clamped to -1..25, as the second setting when ix > 1,
  /// else as the first. The settings steer StoreOnFile: the second value,
  /// when 0 or more, is a number of fixed-point decimals; when it is -1 the
  /// first value is the number of significant digits (1..25), and 0 or -1
  /// there means the shortest text that reads back as exactly the same
  /// double.
  void SetFPrecis(int32_t ix, int32_t Value) noexcept;
  /// Convenience reader of the Precision array property (same as GetFPrecis).
  [[nodiscard]] int32_t Precision(int32_t ix) const noexcept { return GetFPrecis(ix); }

  /// All NrOfColumns() * NrOfRows() elements, column by column (element
  /// (c, r) at index (c - 1) * NrOfRows() + r - 1); empty for an empty
  /// matrix. Valid until the next resize.
  [[nodiscard]] std::span<const double> Values() const noexcept;

  // ---- elements ---------------------------------------------------------
  /// Element (Nc, Nr); 0.0 outside 1..NrOfColumns() x 1..NrOfRows().
  [[nodiscard]] double GetVal(int32_t Nc, int32_t Nr) const noexcept {
    return Inside(Nc, Nr) ? Mat[Idx(Nc, Nr)] : 0.0;
  }
  /// Stores Value at (Nc, Nr) and fires OnChange; outside the matrix it does
  /// nothing at all.
  void SetVal(int32_t Nc, int32_t Nr, double Value) {
    if (!Inside(Nc, Nr)) return;
    Mat[Idx(Nc, Nr)] = Value;
    Changed();
  }
  /// Convenience reader of the Elem property (same as GetVal).
  [[nodiscard]] double Elem(int32_t Nc, int32_t Nr) const noexcept { return GetVal(Nc, Nr); }

  /// Range rule of the column ranges: (0, 0) becomes 1..NrOfColumns();
  /// otherwise each bound is clamped into 1..NrOfColumns() and a reversed
  /// pair is exchanged. (For 0 columns the result is an empty range.)
  void MakeValidColRange(int32_t& LowCol, int32_t& HighCol) const noexcept;
  /// The same for rows.
  void MakeValidRowRange(int32_t& LowRow, int32_t& HighRow) const noexcept;

  // ---- size -------------------------------------------------------------
  /// Sets the size to Nc columns and Nr rows (negative values count as 0).
  /// The same size: true, nothing happens, no OnChange. Otherwise elements
  /// inside both the old and the new size keep their values, all others are
  /// 0.0, OnChange fires once, true. Raises EORKMatrixError "Component
  /// "<Name>": not enough memory on heap" when the storage cannot be had
  /// (the matrix is then unchanged). Cost: one copy of the kept elements.
  bool Resize(int32_t Nc, int32_t Nr);
  /// Resize, and when that returned true, Fill(0.0).
  bool ResizeAndClear(int32_t Nc, int32_t Nr);

  // ---- copying ----------------------------------------------------------
  /// Copies size, DataID, elements, both Precision values and the three
  /// event handlers from another TMatrix without firing OnChange; other
  /// sources go to TPersistent::Assign (EConvertError when unsupported).
  void Assign(TPersistent* Source) override;
  /// Takes the size and the values of MatSource: Resize, every element
  /// written through SetVal (column by column), then OnChange once more.
  /// DataID, Precision and handlers stay. Null: nothing.
  void Clone(const TMatrix* MatSource);
  /// Copies the source rectangle SourceColLo..SourceColHi x
  /// SourceRowLo..SourceRowHi (each bound clamped into the source, reversed
  /// bounds exchanged; no (0, 0) rule) so that its top-left corner lands at
  /// (DestCol, DestRow). Written through SetVal, so cells outside this
  /// matrix are dropped and the matrix is not enlarged; OnChange once more
  /// at the end. The source may be this matrix (its values are read before
  /// any is written). Null: nothing.
  void CopyFrom(const TMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol, int32_t DestRow);
  /// Copies the rectangle SourceColLo..SourceColHi x SourceRowLo..SourceRowHi
  /// of layer SourceLayer (clamped into 1..NrOfLayers()) of a 3-D array by
  /// the rule of the TMatrix overload above. Null: nothing.
  void CopyFrom(const TMat3D* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                int32_t SourceColHi, int32_t SourceRowHi, int32_t SourceLayer, int32_t DestCol,
                int32_t DestRow);
  /// The same from a dense integer matrix, each value converted to double.
  /// Null or a sparse source: nothing.
  void CopyFrom(const TIntMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol, int32_t DestRow);
  /// Copies elements Source1stElem..SourceLastElem of VecSource (range rule
  /// of the vector) into row DestRow starting at column DestCol
  /// (TDims::dimRow) or into column DestCol starting at row DestRow
  /// (TDims::dimColumn), through SetVal (cells outside are dropped), then
  /// OnChange. Null: nothing.
  void CopyFromVec(TDims Dim, const TVector* VecSource, int32_t Source1stElem,
                   int32_t SourceLastElem, int32_t DestCol, int32_t DestRow);
  /// CopyFromVec into a column (TDims::dimColumn).
  void CopyFromVec(const TVector* VecSource, int32_t Source1stElem, int32_t SourceLastElem,
                   int32_t DestCol, int32_t DestRow);
  /// Fills DestVec with 0.0, then copies elements FirstCol..LastCol (column
  /// range rule) of row Row (clamped into 1..NrOfRows()) to its elements 1,
  /// 2, ...; a range longer than the vector is cut to its length. The vector
  /// keeps its size. Null: nothing.
  void CopyRowToVec(TVector* DestVec, int32_t Row, int32_t FirstCol, int32_t LastCol) const;
  /// The same along column Col (clamped into 1..NrOfColumns()), rows
  /// FirstRow..LastRow (row range rule).
  void CopyColToVec(TVector* DestVec, int32_t Col, int32_t FirstRow, int32_t LastRow) const;

  // ---- filling ----------------------------------------------------------
  // Elements are visited column by column, which fixes the order in which
  // random numbers are drawn.

  /// Every element becomes Value; OnChange.
  void Fill(double Value);
  /// Elements (i, i), i = 1..min(NrOfColumns(), NrOfRows()), become Value;
  /// the others stay; OnChange.
  void FillDiag(double Value);
  /// Each element becomes RangeLow + (RangeHigh - RangeLow) * u, u from the
  /// runtime's uniform generator (Random()); OnChange.
  void FillRandomUniform(double RangeLow, double RangeHigh);
  /// Each element becomes Mean + StdDev * g, g from the library's standard
  /// normal generator GRandom (ORK_math1); OnChange.
  void FillRandomGauss(double Mean, double StdDev);

  // ---- checksum ---------------------------------------------------------
  /// Content checksum: 64 upper-case hexadecimal digits, eight standard
  /// CRC-32 accumulators, accumulator k taking byte k (least significant
  /// first) of every element, column by column. The size itself is not
  /// folded in; DataID and handlers do not count.
  [[nodiscard]] std::string CRCofData() const;

  // ---- text file form ---------------------------------------------------
  // A text file holds one line "LoC LoR HiC HiR" (the stored region) and
  // then one line per row LoR..HiR with the values of columns LoC..HiC
  // separated by one blank; lines end in CR LF. Values are written as the
  // Precision settings say (see SetFPrecis): the defaults give 15
  // significant digits; Precision(1) = 0 or 17 writes every double so that
  // it reads back bit for bit (NaNs as "nan" or "-nan", infinities as "inf"
  // or "-inf"; NaN payloads are not kept).

  /// Writes the region LoC..HiC x LoR..HiR (range rules apply, so 0, 0, 0, 0
  /// is the whole matrix; an empty matrix writes an empty region). False when
  /// the file cannot be created or a write fails; true otherwise.
  bool StoreOnFile(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR,
                   const std::string& FileName) const;
  /// Reads a file written by StoreOnFile. With AdjustMatrixSize the matrix is
  /// resized to HiC x HiR first (elements outside the region keep their
  /// values as Resize keeps them); without it the region must lie inside the
  /// matrix. Then the region is overwritten and OnChange fires once.
  /// False, with the matrix unchanged and no OnChange, when the file cannot
  /// be opened, the header is not four integers with 1 <= Lo <= Hi + 1, the
  /// region exceeds 2^27 elements or what the file can hold, the region does
  /// not fit (without AdjustMatrixSize), the new size HiC x HiR is refused
  /// (see below), or a value is missing or does not convert. Text after the
  /// last value is ignored.
  ///
  /// Sizes from files: every reader gives the matrix a size from a file only
  /// when its storage, max(columns, 1) x max(rows, 1) elements, stays within
  /// 2^27 and within 64 times the number of values the file holds (2^20
  /// elements are always allowed), so that a small file cannot demand a
  /// huge matrix.
  bool LoadFromFile(const std::string& FileName, bool AdjustMatrixSize);
  /// With AutoDetect true: reads a headerless table. Every line that holds a
  /// decimal digit is a row; its fields are separated by blanks, tabs,
  /// commas or semicolons (runs of blanks and tabs count once, a comma or
  /// semicolon between blanks too) and must all be numbers ("." as decimal
  /// point; "inf" and "nan" accepted), and all rows must have the same
  /// number of fields. Lines without a digit (headings, blank lines) are
  /// skipped. With AdjustMatrixSize the matrix becomes fields x rows and
  /// takes the whole table; without it, table cell (c, r) goes to element
  /// (c, r) when that lies inside the matrix and is dropped otherwise. One
  /// OnChange. False, with the matrix unchanged, when the file cannot be
  /// opened, holds no row, a field is not a number, the rows differ in
  /// length or the table exceeds 2^27 cells. With AutoDetect false: the
  /// two-argument form.
  bool LoadFromFile(const std::string& FileName, bool AdjustMatrixSize, bool AutoDetect);

  // ---- binary stream form -----------------------------------------------
  // Layout at the stream position, little-endian: the four bytes "NMS1",
  // LoC, LoR, HiC, HiR as 32-bit integers, then the region's doubles column
  // by column, 8 bytes each in IEEE 754 form (every bit kept, NaN payloads
  // included). Nothing else.

  /// Writes the region (range rules apply). A null memory stream is replaced
  /// by a new one that the caller owns.
  void SaveToStream(TMemoryStream*& OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                    int32_t HiR) const;
  /// The same on an open file stream (null: nothing is written). Stream
  /// write failures propagate as the runtime's EWriteError.
  void SaveToStream(TFileStream* OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                    int32_t HiR) const;
  /// Reads the stream form at the stream's position. AdjustMatrixSize and
  /// the region and size rules as for LoadFromFile. False, with the matrix
  /// unchanged, no OnChange and the stream back at its starting position,
  /// for a null stream, a wrong tag, bounds with Lo < 1 or Hi < Lo - 1, a
  /// region of more than 2^27 elements or more than the stream holds, or a
  /// region or size that is refused. On success the stream stands after the
  /// block.
  ///@{
  bool LoadFromStream(TMemoryStream* InStream, bool AdjustMatrixSize);
  bool LoadFromStream(TFileStream* InStream, bool AdjustMatrixSize);
  ///@}

  // ---- binary file form -------------------------------------------------
  // Layout, little-endian: the 8 bytes "NUMBRAMX"; the format version (32
  // bits, now 1); NrOfColumns and NrOfRows (32-bit signed); the byte length
  // L of DataID (32 bits, at most 65536) and its L bytes; the
  // NrOfColumns * NrOfRows doubles column by column (8 bytes each, every bit
  // kept); the standard CRC-32 of all bytes before it (32 bits).

  /// Writes the whole matrix and its DataID to FName (replaced if present).
  /// Raises EORKMatrixError "Component "<Name>": cannot write file
  /// "<FName>"" when the file cannot be created or written.
  void SaveBinary(const std::string& FName) const;
  /// Reads a file written by SaveBinary: size, elements and DataID; one
  /// OnChange. Raises EORKMatrixError, with the matrix unchanged, as
  /// "Component "<Name>": cannot open file "<FName>"", "...: "<FName>" is
  /// not a matrix binary file" (too short, wrong signature), "...: matrix
  /// binary file "<FName>" has unsupported version <n>", or "...: matrix
  /// binary file "<FName>" is damaged" (sizes refused as LoadFromFile
  /// says, a length that does not match them, a wrong checksum).
  void LoadBinary(const std::string& FName);
  /// Reads only the header: size and DataID. False, with the arguments
  /// unchanged, when the file cannot be opened or its header does not
  /// describe a file of its length. The checksum is not verified.
  bool ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                        std::string& DataID) const;

  // ---- XML form ---------------------------------------------------------
  // <matrix dataid="DataID"> <numcols>C</numcols> <numrows>R</numrows>
  // and one <cell col="c" row="r">value</cell> per element, column by
  // column, closed by </matrix>, one element per line (the element names
  // are those of TMatXmlTag). Values are written in full precision, the
  // shortest text that reads back as the same double ("inf", "-inf",
  // "nan", "-nan" for the special values; NaN payloads are not kept). With
  // CreateHeader the XML declaration <?xml version="1.0" encoding="UTF-8"?>
  // comes first.
  //
  // The readers look, from where they start, for the first <matrix>
  // element, at any depth, whose dataid equals DataID (any <matrix> when
  // DataID is empty); other elements are skipped. Inside it numcols and
  // numrows (each once, integers >= 0, a size allowed as LoadFromFile says) must come before
  // the first cell; each cell needs col and row within the size, every
  // element must be given by exactly one cell (in any order), and unknown
  // elements inside are skipped. (Memory thus grows with the cells present,
  // never with a size that a file merely claims.) On success the matrix
  // takes the size, the values and, as its DataID, the element's dataid;
  // OnChange fires once. A reader returns false, with the matrix unchanged,
  // when no such element is found, the XML is malformed (unbalanced tags,
  // undefined entities, a DOCTYPE, nesting deeper than 256, names, texts or
  // attribute values beyond corvel's XML limits) or a rule above is broken.

  /// Writes the XML form into a new file FName (declaration included).
  /// Raises EORKMatrixError "Component "<Name>": cannot write file
  /// "<FName>"" when the file cannot be created or written.
  void SaveAsXMLFile(const std::string& FName, const std::string& DataID) const;
  /// Reads the XML form from the file FName. False when the file cannot be
  /// opened or as the XML rules above say.
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  /// Writes the XML form at the stream's position (null: nothing).
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const;
  /// Reads the XML form from the stream's position. On success the stream
  /// stands just after the closing </matrix>, so that several matrices can
  /// be read one after the other; on failure its position is undefined.
  /// Null stream: false.
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  /// Writes the XML form into a text file the caller has opened (lines end
  /// in CR LF). Write failures show in OutFile.Ok().
  void WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader, const std::string& DataID) const;
  /// Reads the XML form from a text file the caller has opened, line by
  /// line from its current position. On success the file stands at the
  /// start of the line after the one that holds the closing </matrix> (text
  /// after it on that line is passed over).
  bool ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID);

  // ---- products -----------------------------------------------------------
  // A = this matrix; A(i, k) is row i, column k. Each result element is the
  // sum over k in ascending order, every product rounded before it is added
  // (no fused multiply-add), so results are the same bit for bit on every
  // processor and with or without the vectorised kernels. The result is
  // computed completely before the result object is written, so MatRes may
  // be this matrix or MatB. The result object is resized (its OnChange fires
  // when the size changes) and written element by element through SetVal
  // (its OnChange fires per element); then this matrix's OnChange fires
  // once. Null arguments and unfitting sizes give false and change nothing.
  // Cost: cache-blocked and vectorised, about 2 m n k flops.

  /// MatRes (MatB.NrOfColumns() x NrOfRows()) := A * MatB; needs
  /// NrOfColumns() = MatB.NrOfRows().
  bool Multiply(const TMatrix* MatB, TMatrix* MatRes);
  /// MatRes (MatB.NrOfRows() x NrOfRows()) := A * transpose(MatB); needs
  /// NrOfColumns() = MatB.NrOfColumns().
  bool MultiplyTransposed(const TMatrix* MatB, TMatrix* MatRes);
  /// MatRes (MatB.NrOfColumns() x NrOfColumns()) := transpose(A) * MatB;
  /// needs NrOfRows() = MatB.NrOfRows().
  bool TransposeAndMultiply(const TMatrix* MatB, TMatrix* MatRes);
  /// VecRes (sized to NrOfRows() through SetVecSize) := A * VecB; needs
  /// NrOfColumns() = VecB.NrOfElem(). VecRes may be VecB.
  bool Multiply(const TVector* VecB, TVector* VecRes);
  /// VecRes (sized to NrOfColumns()) := transpose(A) * VecB; needs
  /// NrOfRows() = VecB.NrOfElem(). VecRes may be VecB.
  bool TransposeAndMultiply(const TVector* VecB, TVector* VecRes);
  /// MatRes (this size) := element-wise product of A and MatB; needs equal
  /// sizes.
  bool EMult(const TMatrix* MatB, TMatrix* MatRes);

  // ---- in-place arithmetic (OnChange once) ---------------------------------
  /// A := A + MatB; false (nothing changed) for null or a different size.
  bool Add(const TMatrix* MatB);
  /// A := A - MatB; false (nothing changed) for null or a different size.
  bool Subtract(const TMatrix* MatB);
  /// Every element multiplied by Scalar.
  void SMult(double Scalar);
  /// Scalar added to every element.
  void SAdd(double Scalar);
  /// Replaces A by its transpose (sizes exchanged); true. Raises
  /// EORKMatrixError "Component "<Name>": not enough memory on heap" when
  /// the work copy cannot be had.
  bool Transpose();

  // ---- linear algebra -----------------------------------------------------
  // The LU factorisation is Crout's method with implicit partial pivoting:
  // each row is scaled by its largest absolute value, the pivot of column j
  // is the row i >= j with the largest scaled |A(i, j)| (the later row on
  // ties), and a pivot below 1e-100 in magnitude is replaced by 1e-100 and
  // marks the matrix singular. The permutation sign is kept per thread, so
  // determinants computed in different threads cannot mix.

  /// Inverts A in place (square, at least 1 x 1). Reports 2n progress steps
  /// (one per column of the factorisation and one per column of the solve,
  /// each followed by a test of AbortMathProc) and tests the abort flag once
  /// per row while scaling. The result equals, bit for bit, the inverse that
  /// Crout's factorisation followed by one forward and back substitution per
  /// unit vector gives. False for a non-square or empty matrix (no
  /// OnChange); false also, after OnChange, for NaN or infinite elements
  /// (no progress steps then), a zero row, a pivot below 1e-100, an abort,
  /// or an inverse with elements beyond the double range. On false the
  /// matrix keeps its values. Raises EORKMatrixError "Component "<Name>":
  /// not enough memory on heap" when the work arrays cannot be had. Cost:
  /// about 2 n^3 flops, most of it in cache-blocked, vectorised kernels.
  bool Invert();
  /// Determinant: the permutation sign times the product of U's diagonal
  /// (multiplied in order i = 1..n, so it may overflow or underflow where
  /// the determinant itself is out of range), 0.0 for a non-square matrix
  /// and when the factorisation fails (a zero row or a pivot below 1e-100);
  /// 1.0 for a 0 x 0 matrix; NaN or infinite elements give a NaN or
  /// infinite result (or 0.0 as before). No OnChange, no progress steps.
  /// Cost: about 2/3 n^3 flops in the blocked factorisation.
  [[nodiscard]] double Determinant() const;
  /// Factorises A into MatL (unit lower triangular) and MatU (upper
  /// triangular) with MatL * MatU = A with its rows permuted. MatL is
  /// resized to n x n and filled with 0.0 (its OnChange fires), MatU becomes
  /// a Clone of A (its OnChange fires per element) and the work happens in
  /// MatU. False for a non-square A or a null factor (the factors are then
  /// untouched), and for a zero row or a pivot below 1e-100 (the factors'
  /// contents are then undefined). A is not changed.
  bool LUdecomposition(TMatrix* MatL, TMatrix* MatU);
  /// Cholesky factor of a symmetric positive definite A: MatL is resized to
  /// n x n (values inside the new size survive) and its lower triangle and
  /// diagonal are written through SetVal with L, where L * transpose(L) = A;
  /// the strictly upper triangle of MatL is not written. Only the lower
  /// triangle and diagonal of A are read; A is not changed. False when A is
  /// not square or MatL is null (nothing done), and when a diagonal value is
  /// not positive: that diagonal element of L is then 0.0 and the column
  /// below it non-finite; the factorisation goes on.
  bool CholeskyDecomp(TMatrix* MatL);
  /// Matrix norm: ntColwise, the largest column sum of absolute values;
  /// ntRowwise, the largest row sum of absolute values (both 0.0 for an
  /// empty matrix, NaN when an element is NaN); ntFrobenius, the square root
  /// of the sum of squares (scaled, so it neither overflows nor underflows
  /// for finite elements); ntSpectral, the largest eigenvalue of A taken as
  /// symmetric (only its lower triangle and diagonal are read; not its
  /// absolute value, no square root), by Householder tridiagonalisation and
  /// the QL algorithm with implicit shifts, at most 30 iterations per
  /// eigenvalue, with one progress step per Householder row and per QL
  /// iteration, each followed by a test of AbortMathProc; 0.0 for 0 x 0.
  /// ntSpectral raises EORKMatrixError "near singular covariance matrix"
  /// when the iteration does not converge (non-finite elements included) or
  /// is aborted, and "Component "<Name>": spectral norm of a non-square
  /// matrix" for a non-square A.
  [[nodiscard]] double Norm(TNormType nt) const;
  /// Balances a square A in place by similarity scaling: each pass scales,
  /// for i = 1..n, row i by 1/f and column i by f with f = sqrt(r / c), r
  /// and c the off-diagonal sums of absolute values of row and column i;
  /// passes repeat while the largest f of a pass is at least 1.05. An index
  /// whose r or c is 0 or not finite, or whose f would not be finite, is
  /// skipped, so no element of a finite matrix becomes non-finite. No
  /// OnChange. False for a non-square A (nothing done), and when 1000 passes
  /// did not settle (A is then a valid similarity transform, not fully
  /// balanced); true otherwise.
  bool Balance();
  /// MatRes (n x n, n = NrOfColumns()) := transpose(A) * A / Norm, written
  /// through MatRes.SetVal as the pairs (i, j), (j, i) for j >= i (the
  /// diagonal twice). One progress step per i; AbortMathProc is tested
  /// before each i and an abort returns false with MatRes partly written.
  /// False for null MatRes. No OnChange of this matrix. With mean-centred
  /// columns and Norm = NrOfRows() - 1 this is the covariance matrix.
  bool Square(TMatrix* MatRes, double Norm);
  /// Order passes of row differences: element (c, r) := (c, r + 1) - (c, r)
  /// for r = 1..NrOfRows() - 1, then the last Order rows are dropped by
  /// Resize (which fires OnChange). Nothing unless 1 <= Order <= 10 and
  /// Order < NrOfRows().
  void Diff(int32_t Order);
  /// Sum of the diagonal (ascending); 0.0 when not square.
  [[nodiscard]] double Trace() const noexcept;

  // ---- statistics, normalisation, sorting and distances ----
  // Rows are the objects and columns the variables. The ranged operations
  // take a column range and a row range (note the argument order of each;
  // it differs between operations) and pass them through MakeValidColRange
  // and MakeValidRowRange; they visit their region column by column (rows
  // ascending within a column). An empty region is one of an empty matrix.
  // None of the statistics changes the matrix or fires OnChange.

  /// Smallest and largest element of the region (NaN elements are passed
  /// over; infinities count). When the region holds no number (empty, or
  /// only NaN) Minimum is uc_MaxReal and Maximum is -uc_MaxReal.
  void MinMax(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Minimum,
              double& Maximum) const noexcept;
  /// Sum of the region, compensated (Neumaier), so its error does not grow
  /// with the number of elements; 0.0 for an empty region.
  [[nodiscard]] double Sum(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const noexcept;
  /// Mean and sample variance of the region's n elements, by the stable
  /// corrected two-pass algorithm (no loss of digits when the mean is large
  /// beside the spread). Variance is 1.0 when n < 3 (n = 1 or 2). Both are
  /// 0.0 for an empty region; NaN or infinite elements give a NaN variance
  /// (and the IEEE mean).
  void MeanVar(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Mean,
               double& Variance) const noexcept;
  /// Skewness sum(d^3) / n / s^3 and excess kurtosis sum(d^4) / n / s^4 - 3
  /// of the region, d the deviations from the mean and s the sample standard
  /// deviation (deviations taken from the accurate mean and scaled, so no
  /// power overflows). With fewer than 2 elements both are 0; when s = 0
  /// they are the sums sum(d^3) and sum(d^4) (0 for equal values). NaN for
  /// non-finite elements.
  void SkewKurt(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Skewness,
                double& Kurtosis) const noexcept;
  /// Bias-corrected forms of SkewKurt's S and K: S n^2 / ((n-1)(n-2)) and
  /// (K + 3) n^2 (n+1) / ((n-1)(n-2)(n-3)) - 3 (n-1)^2 / ((n-2)(n-3)); both
  /// 0.0 for fewer than 4 elements.
  void SkewKurtSample(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                      double& Skewness, double& Kurtosis) const noexcept;
  /// Geometric mean exp(sum ln x / n) of the region; 0.0 when an element is
  /// 0 or the region is empty, NaN when an element is NaN. Raises
  /// EORKMatrixError "Component "<Name>": negative argument passed to
  /// GeometricMean" for a negative element.
  [[nodiscard]] double GeometricMean(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                     int32_t HighRow) const;
  /// Harmonic mean n / sum(1 / x) of the region; 0.0 for an empty region.
  /// Raises EORKMatrixError "Component "<Name>": negative or zero argument
  /// passed to HarmonicMean" for an element that is not positive (NaN
  /// included).
  [[nodiscard]] double HarmonicMean(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                    int32_t HighRow) const;
  /// Quartiles of the region by the (n + 1) f position rule (f = 0.25, 0.5,
  /// 0.75) with linear interpolation between the sorted values x_1..x_n: a
  /// position below 1 gives x_1, one at or beyond n gives x_n; all three are
  /// the value itself for n = 1. True; false with Q1 = Q2 = Q3 = 0.0 for an
  /// empty region. Sorts a working copy with SortArray (NaN last; progress
  /// steps included). Raises EORKMatrixError "Component "<Name>": not enough
  /// memory on heap" when the copy cannot be had.
  bool Quartiles(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Q1,
                 double& Q2, double& Q3) const;
  /// Percentile prob (in percent, clamped to 0..100; NaN counts as 0) of the
  /// region's n elements without interpolation: the value at the 0-based
  /// position k = Round(prob n / 100) (halves to even), at most n - 1, of
  /// the ascending order (QuickSelect on a working copy; NaN sorts last). So
  /// 0 gives the minimum and 100 the maximum. 0.0 for an empty region.
  /// Memory failure as in Quartiles.
  [[nodiscard]] double Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                  int32_t HighRow) const;
  /// Estimate of the percentile from SampleSize elements drawn with
  /// replacement. SampleSize <= 0 or >= n: the exact form above. Otherwise
  /// the runtime's generator is reseeded from the clock (Randomize) and each
  /// draw takes a column LowCol + Random(HighCol - LowCol + 1), then a row
  /// LowRow + Random(HighRow - LowRow + 1). When prob / 100 lies above the
  /// fraction of negative draws but below the fraction of draws <= 0, the
  /// result is 0.0; otherwise the value at position Round(prob SampleSize /
  /// 100) (at most SampleSize - 1) of the sorted sample.
  [[nodiscard]] double Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                  int32_t HighRow, int32_t SampleSize) const;
  /// Number of elements x of the region with RangeLow <= x <= RangeHigh
  /// (never NaN), saturating at 2147483647.
  [[nodiscard]] int32_t CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                    int32_t HighRow, double RangeLow,
                                    double RangeHigh) const noexcept;
  /// Histogram of the region (columns LoX..HiX, rows LoY..HiY) with the
  /// rules of TVector::Histogram: NBins = |LastBin - FirstBin| / BinWidth
  /// rounded half to even; Histo is resized to NBins and cleared; a value
  /// below FirstBin is underflow, one at or above LastBin + BinWidth (and
  /// NaN) overflow, any other v goes into bin trunc((v - FirstBin) /
  /// BinWidth) + 1, and values between the last bin and the overflow limit
  /// go into the last bin, so the counts always add up to the number of
  /// elements. MaxCnt is the largest bin count. False, with nothing
  /// changed, when NBins is not in 1..500 (BinWidth 0, negative or NaN
  /// included) or Histo is null.
  bool Histogram(int32_t LoX, int32_t LoY, int32_t HiX, int32_t HiY, double FirstBin,
                 double LastBin, double BinWidth, TIntVector* Histo, int32_t& Underflow,
                 int32_t& Overflow, int32_t& MaxCnt) const;
  /// Column means (TDims::dimRow: Means sized to NrOfColumns()) or row means
  /// (TDims::dimColumn: sized to NrOfRows()), each the compensated sum
  /// divided by the number of values (0.0 when there are none), written
  /// through Means->SetVal. With no columns (rows) Means, which cannot be
  /// emptied, is left as it is. Raises EORKMatrixError "Component "<Name>":
  /// MeanVec: no result vector" for a null Means.
  void MeanVec(TDims Dim, TVector* Means) const;
  /// Pearson's correlation coefficient of all corresponding element pairs
  /// of this matrix and OtherMat, from centred (and scaled) sums, so it
  /// keeps its digits for data with a large common offset. 0.0 for fewer
  /// than 3 elements, when either matrix is constant (all zero included) and
  /// for a null OtherMat; NaN when an element is NaN or infinite. Raises
  /// EORKMatrixError "Component "<Name>": matrices do not match" when the
  /// sizes differ.
  [[nodiscard]] double Correlate(const TMatrix* OtherMat) const;

  // Normalisations, in place; each fires OnChange once at its end. Result
  // vectors that are given are not resized unless stated: elements beyond
  // their length are dropped (their SetVal ignores them).

  /// For each column: Mean and Variance by MeanVar over the whole column
  /// (so Variance is 1.0 for fewer than 3 rows); when Variance > 0 each
  /// element becomes (x - Mean) / sqrt(Variance), otherwise the column stays.
  /// Means[c] := Mean and StdDevs[c] := sqrt(Variance) when given.
  void StandardizeColumns(TVector* Means, TVector* StdDevs);
  /// The same for each row.
  void StandardizeRows(TVector* Means, TVector* StdDevs);
  /// For each column: q = Percentile(RefQuant, ...) and m = Percentile(50,
  /// ...) of the column, d = |m - q|; when d > 0 each element becomes
  /// (x - m) / d. Medians[c] := m and QuantDiffs[c] := d when given.
  void QNormalizeColumns(double RefQuant, TVector* Medians, TVector* QuantDiffs);
  /// The same for each row.
  void QNormalizeRows(double RefQuant, TVector* Medians, TVector* QuantDiffs);
  /// Subtracts from each column its mean (by MeanVar); Means, when given, is
  /// sized to NrOfColumns() and receives the means.
  void MeanCenterColumns(TVector* Means);
  /// The same for each row (Means sized to NrOfRows()).
  void MeanCenterRows(TVector* Means);

  /// Position (ColIx, RowIx) of the element of the region closest to Value
  /// (smallest |x - Value|, the first in visiting order on ties). Note the
  /// argument order (columns, then rows). Both 0 when no element is closer
  /// than uc_MaxDouble (an empty region, only NaN, or only infinite
  /// differences).
  void Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, double Value,
            int32_t& ColIx, int32_t& RowIx) const noexcept;
  /// Binary search for Value in column Col, which must be sorted in the
  /// stated direction; returns the row of an exact hit or else the nearer of
  /// the two rows that enclose Value (the upper row on a tie); 0 when the
  /// matrix has no rows. Raises EORKMatrixError "Component "<Name>":
  /// FindInSortedColumn: column <Col> outside 1..<NrOfColumns>".
  [[nodiscard]] int32_t FindInSortedColumn(int32_t Col, bool ColIsAscending, double Value) const;

  // Reordering; each fires OnChange once at its end (the sorts not when
  // there is nothing to sort). The sorts are comb sorts: the gap starts at
  // High - Low and shrinks by (gap * 100000000 div 13000) div 10000 (at
  // least 1) before each pass; a pass exchanges the pair (i, i + gap) when it
  // is out of order; the sort ends after a pass of gap 1 without exchange.
  // Equal keys are never exchanged, but the order of equal keys is not kept.
  // NaN keys sort after every number. OnSortExchange fires after every
  // exchange, and the matrix is in its exchanged state when it fires, so a
  // handler may read it (but must not write it). Without a handler the sorts
  // reorder through a permutation, which gives the same result faster.

  /// Sorts the rows LowRow..HighRow by the values in column SortColIx,
  /// moving only the columns LowCol..HighCol of the rows, plus the key column
  /// when it lies outside them. OnSortExchange(this, 2, i, j, LowCol,
  /// HighCol) for each exchange of rows i and j. Raises EORKMatrixError
  /// "Component "<Name>": SortRows: key column <SortColIx> outside
  /// 1..<NrOfColumns>".
  void SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                int32_t HighRow);
  /// Sorts the columns LowCol..HighCol by the values in row SortRowIx,
  /// moving the rows LowRow..HighRow of them plus the key row.
  /// OnSortExchange(this, 1, i, j, LowRow, HighRow) for each exchange of
  /// columns i and j. Raises EORKMatrixError "Component "<Name>": SortCols:
  /// key row <SortRowIx> outside 1..<NrOfRows>".
  void SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                int32_t HighRow);
  /// Reverses the order of the columns.
  void MirrorColumns();
  /// Reverses the order of the rows.
  void MirrorRows();
  /// Exchanges two whole columns. Raises EORKMatrixError "Component
  /// "<Name>": ExchangeColumns: column <c> outside 1..<NrOfColumns>".
  void ExchangeColumns(int32_t c1, int32_t c2);
  /// Exchanges two whole rows. Raises EORKMatrixError "Component "<Name>":
  /// ExchangeRows: row <r> outside 1..<NrOfRows>".
  void ExchangeRows(int32_t r1, int32_t r2);

  /// Aggregates along the rows (TOrientation::orRows: DestVec sized to
  /// NrOfRows(), element r from row r over all columns) or along the columns
  /// (orColumns: sized to NrOfColumns()): eopMin and eopMax the smallest and
  /// largest value (NaN passed over; uc_MaxDouble and -uc_MaxDouble when
  /// there is no number), eopSum the compensated sum, eopMean that sum
  /// divided by the number of values (0.0 when there are none). Written
  /// through DestVec->SetVal; the matrix is not changed. With no rows
  /// (columns) DestVec is left as it is. Raises EORKMatrixError "Component
  /// "<Name>": EdgeVector: no result vector" for a null DestVec.
  void EdgeVector(TOrientation Orient, TEdgeOp EdgeOp, TVector* DestVec) const;

  /// Distance of the rows obj1 and obj2 over all columns; a row outside the
  /// matrix reads as zeros. With x, y the two rows: dmJaccard sum(xy) /
  /// (sum(x^2) + sum(y^2) - sum(xy)), dmManhattan sum|x - y|, dmEuclid
  /// sqrt(sum (x - y)^2), dmEuclidSqr sum (x - y)^2, dmDice 2 sum(xy) /
  /// (sum(x^2) + sum(y^2)); Jaccard and Dice are similarities (1 for equal
  /// rows that are not zero, NaN for two zero rows). dmEuclid, Jaccard and
  /// Dice are computed with scaling where needed, so that they neither
  /// overflow nor underflow for finite data. dmUserDef: 0.0, then
  /// OnCalcDistance(this, obj1, obj2, Distance) when assigned (the handler
  /// may read the matrix, not change it).
  [[nodiscard]] double DistanceOfObjects(TDistMode Mode, int32_t obj1, int32_t obj2) const;
  /// Fills DMat with the distances between all rows of this matrix:
  /// DMat(i, j) = DMat(j, i) = DistanceOfObjects(Mode, i, j) (the same
  /// values), diagonal 0.0. DMat is not resized: 0 on success, -2 when its
  /// number of columns differs from NrOfRows(), else -1 when it is not
  /// square (nothing written then). DMat may be this matrix: the distances
  /// are those of its rows before the call (a dmUserDef handler, though,
  /// sees the matrix while it is overwritten). When DMat has an OnChange
  /// handler, or for dmUserDef, the elements are written through
  /// DMat->SetVal in the order (i, i), then (i, j), (j, i) for j = i + 1..n,
  /// for i = 1..n - 1, and (n, n) last; otherwise directly. Raises
  /// EORKMatrixError "Component "<Name>": CalcDistMat: no distance matrix"
  /// for a null DMat. Cost: about 3 n^2 NrOfColumns() / 2 flops, vectorised
  /// over contiguous columns, plus writing the n^2 elements.
  int32_t CalcDistMat(TDistMode Mode, TMatrix* DMat) const;

 protected:
  void AssignTo(TPersistent* Dest) override;
  /// Fires OnChange (when assigned) with this matrix as sender.
  void Changed() {
    if (OnChange) OnChange(this);
  }
  /// Fires OnSortExchange (when assigned).
  void SortExchange(uint8_t ExchgWhat, int32_t Index1, int32_t Index2, int32_t First,
                    int32_t Last) {
    if (OnSortExchange) OnSortExchange(this, ExchgWhat, Index1, Index2, First, Last);
  }

  /// Number of columns (NrOfColumns()).
  int32_t FNCol = 1;
  /// Number of rows (NrOfRows()).
  int32_t FNRow = 1;
  /// DataID().
  std::string FDataID;
  /// The two precision settings (see SetFPrecis).
  std::array<int32_t, 2> FPrecis{15, -1};
  /// The elements, column by column; max(FNCol, 1) x max(FNRow, 1).
  detail::MatrixStorage Mat;

  /// Whether (c, r) addresses an element.
  [[nodiscard]] bool Inside(int32_t c, int32_t r) const noexcept {
    return c >= 1 && c <= FNCol && r >= 1 && r <= FNRow;
  }
  /// Storage index of element (c, r): the one place where the 1-based
  /// (column, row) address becomes a position in Mat.
  [[nodiscard]] std::size_t Idx(int32_t c, int32_t r) const noexcept {
    return static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(FNRow > 0 ? FNRow : 1) +
           static_cast<std::size_t>(r - 1);
  }
  /// Number of addressable elements.
  [[nodiscard]] std::size_t Count() const noexcept {
    return static_cast<std::size_t>(FNCol) * static_cast<std::size_t>(FNRow);
  }

 private:
  template <class S>
  bool LoadFromStreamImpl(S* InStream, bool AdjustMatrixSize);
  bool LoadTable(const std::string& FileName, bool AdjustMatrixSize);
  bool StoreRegion(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR, bool Adjust,
                   std::span<const double> Values);
  void TakeOver(int32_t Nc, int32_t Nr, detail::MatrixStorage&& Values);
  void PublishProduct(TMatrix* MatRes, int32_t Nc, int32_t Nr, detail::MatrixStorage&& Values);
  bool ReadXml(const std::function<int64_t(char*, int64_t)>& Source, const std::string& DataID,
               int64_t* Consumed);
  void WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                bool CreateHeader, const std::string& DataID) const;
};

/// One stored element of the sparse form of TIntMatrix (12 bytes, in this
/// order): column and row (both from 1) and the value.
struct TSpMatElemInt {
  /// Column (1-based).
  int32_t colidx;
  /// Row (1-based).
  int32_t rowidx;
  /// Stored value (a 0 stored by SetVal counts as a triple like any other).
  int32_t value;
};

/// Matrix of 32-bit signed integers, addressed 1-based as (column, row), in
/// one of two forms.
///
/// Dense form (TIntMatrix(AOwner)): the twin of TMatrix with integer
/// values -- column-major contiguous storage of at least 1 x 1, reads
/// outside give 0, writes outside are ignored, the same range rules.
/// Integer results (Sum, Trace, Add, Subtract, SMult, SAdd, EMult and the
/// products) wrap modulo 2^32; statistics are computed in double.
///
/// Sparse form (CreateSparse, ArrayToSparse): a list of (column, row,
/// value) triples kept sorted by column, then row, with no two at one
/// position, plus their bounding box. GetVal finds a triple by binary
/// search (0 where none is stored); SetVal inserts or replaces one, with no
/// upper bound on the indices, and widens the size to include it. Only the
/// operations documented as understanding the sparse form may be called on
/// it; every other one raises EORKMatrixError "Component "<Name>": <Op>: not
/// available for a sparse matrix" and touches nothing.
///
/// Not safe for use from several threads at once.
class NUMBRA_EXPORT TIntMatrix : public TComponent {
 public:
  /// Dense 1 x 1 matrix holding 0. Raises EORKMatrixError "Component
  /// "<Name>": not enough memory on heap" when no storage is left.
  explicit TIntMatrix(TComponent* AOwner = nullptr);
  ~TIntMatrix() override;
  /// A new sparse matrix: no triples, empty bounding box, size 0 x 0, growth
  /// step max(AllocBy, 1) triples (the first block is allocated at once).
  /// Owned by AOwner when that is given, else by the caller.
  [[nodiscard]] static TIntMatrix* CreateSparse(TComponent* AOwner, int32_t AllocBy);
  /// From another TIntMatrix (either form): takes its form, size, DataID,
  /// growth step, triples with their bounding box or dense elements, and
  /// its OnChange, OnSortExchange and OnPercentDone handlers; no OnChange.
  /// Nothing for the matrix itself. Other sources go to
  /// TPersistent::Assign (EConvertError). Raises EORKMatrixError
  /// "Component "<Name>": not enough memory on heap", with the matrix
  /// unchanged, when the copy cannot be had.
  void Assign(TPersistent* Source) override;
  /// Hands a TIntMatrix destination this matrix (Dest->Assign(this));
  /// others go to TPersistent::AssignTo.
  void AssignTo(TPersistent* Dest) override;

  // ---- events -----------------------------------------------------------
  /// Fired with this matrix as sender after each change of contents or size.
  TNotifyEvent OnChange;
  /// Fired by SortRows (code 2) and SortCols (code 1) for every exchange.
  TSortExchgEvent OnSortExchange;
  /// Called by PercDone with whole percentages.
  TOnPercentDoneEvent OnPercentDone;

  // ---- properties -------------------------------------------------------
  /// Number of columns (0 or more).
  [[nodiscard]] int32_t NrOfColumns() const noexcept { return FNCol; }
  /// Number of rows (0 or more).
  [[nodiscard]] int32_t NrOfRows() const noexcept { return FNRow; }
  /// NrOfColumns setter: Resize(max(n, 0), NrOfRows()).
  void SetNCols(int32_t n);
  /// NrOfRows setter: Resize(NrOfColumns(), max(n, 0)).
  void SetNRows(int32_t n);
  /// Free identifier of the data set (not touched by Clone).
  ///@{
  [[nodiscard]] const std::string& DataID() const noexcept { return FDataID; }
  void SetDataID(std::string Value) { FDataID = std::move(Value); }
  ///@}
  /// True when the contents are held as sparse triples.
  [[nodiscard]] bool IsSparse() const noexcept { return FIsSparse; }
  /// Growth step of the triple store (at least 1).
  [[nodiscard]] int32_t AllocBy() const noexcept { return FAllocBy; }
  /// Number of triples allocated (0 in the dense form).
  [[nodiscard]] int32_t NumAllocated() const noexcept { return FNumAllocated; }
  /// Number of stored triples (0 in the dense form).
  [[nodiscard]] int32_t SparseNumElem() const noexcept { return FSparseNumElem; }
  /// Bounding box of the stored triples; an empty box has the low values
  /// 2147483647 and the high values 1.
  ///@{
  [[nodiscard]] int32_t SparseLowCol() const noexcept { return FSparseLowCol; }
  [[nodiscard]] int32_t SparseHighCol() const noexcept { return FSparseHighCol; }
  [[nodiscard]] int32_t SparseLowRow() const noexcept { return FSparseLowRow; }
  [[nodiscard]] int32_t SparseHighRow() const noexcept { return FSparseHighRow; }
  ///@}
  /// The stored triples in their sorted order (empty in the dense form).
  [[nodiscard]] std::span<const TSpMatElemInt> Triples() const noexcept {
    return {SpMat.data(), static_cast<std::size_t>(FSparseNumElem)};
  }
  /// Dense form: all NrOfColumns() * NrOfRows() elements, column by column
  /// (empty for an empty matrix). Sparse form: empty.
  [[nodiscard]] std::span<const int32_t> Values() const noexcept;

  // ---- elements (both forms) ----------------------------------------------
  /// Element (Nc, Nr); 0 outside the matrix (dense) or where no triple is
  /// stored (sparse).
  [[nodiscard]] int32_t GetVal(int32_t Nc, int32_t Nr) const noexcept;
  /// Dense: stores Value inside the matrix and fires OnChange, ignored
  /// outside. Sparse: ignored unless Nc >= 1 and Nr >= 1; otherwise the
  /// triple at (Nc, Nr) is replaced or inserted (no upper bound), the size
  /// becomes at least Nc x Nr, OnChange. Raises EORKMatrixError "Component
  /// "<Name>": not enough memory on heap" when the store cannot grow.
  void SetVal(int32_t Nc, int32_t Nr, int32_t Value);
  /// Convenience reader of the Elem property (same as GetVal).
  [[nodiscard]] int32_t Elem(int32_t Nc, int32_t Nr) const noexcept { return GetVal(Nc, Nr); }
  /// Column range rule as TMatrix::MakeValidColRange.
  void MakeValidColRange(int32_t& LowCol, int32_t& HighCol) const noexcept;
  /// Row range rule as TMatrix::MakeValidRowRange.
  void MakeValidRowRange(int32_t& LowRow, int32_t& HighRow) const noexcept;

  // ---- form conversion ----------------------------------------------------
  /// Dense to sparse (nothing when already sparse): every non-zero element
  /// becomes a triple, column by column; the size is kept; growth step
  /// max(AllocBy, 1). No OnChange.
  void ArrayToSparse(int32_t AllocBy);
  /// Sparse to dense (nothing when dense): the size becomes the bounding
  /// box's high column and row (1 x 1 without triples), every triple is
  /// written to its place, the rest is 0. No OnChange. Raises
  /// EORKMatrixError "Component "<Name>": not enough memory on heap", with
  /// the matrix unchanged, when the dense storage would exceed 2^28
  /// elements or cannot be had.
  void SparseToArray();

  // ---- size -----------------------------------------------------------------
  /// Sets the size (negative values count as 0); false and nothing happens
  /// when it is unchanged. Dense: as TMatrix::Resize, OnChange, true.
  /// Sparse: the triples outside Nc x Nr are dropped and the bounding box
  /// is recomputed from those kept; false, no OnChange.
  bool Resize(int32_t Nc, int32_t Nr);
  /// Resize, and when that returned true, Fill(0).
  bool ResizeAndClear(int32_t Nc, int32_t Nr);

  // ---- filling and copying ------------------------------------------------
  /// Dense: every element becomes value. Sparse: value <> 0 goes into every
  /// stored triple only; 0 removes all triples (empty box, store reset to
  /// one growth step). OnChange.
  void Fill(int32_t value);
  /// Dense only: elements (i, i) become value; OnChange.
  void FillDiag(int32_t value);
  /// Takes the contents of MatSource when both are in the same form
  /// (otherwise, or for null, nothing). Dense: as TMatrix::Clone. Sparse:
  /// the triples, the bounding box, the allocation and the growth step --
  /// and also NrOfColumns() and NrOfRows(), so that the copy has the size
  /// of its source. OnChange.
  void Clone(const TIntMatrix* MatSource);
  /// Dense only (both): as TMatrix::CopyFrom with integer values.
  void CopyFrom(const TIntMatrix* MatSource, int32_t SourceColLo, int32_t SourceRowLo,
                int32_t SourceColHi, int32_t SourceRowHi, int32_t DestCol, int32_t DestRow);
  /// Both forms: as TMatrix::CopyRowToVec into a TIntVector.
  void CopyRowToVec(TIntVector* DestVec, int32_t Row, int32_t FirstCol, int32_t LastCol) const;
  /// Both forms: as TMatrix::CopyColToVec into a TIntVector.
  void CopyColToVec(TIntVector* DestVec, int32_t Col, int32_t FirstRow, int32_t LastRow) const;

  // ---- statistics -----------------------------------------------------------
  /// Both forms: 32-bit wrapping sum of the region (sparse: of the stored
  /// values inside it).
  [[nodiscard]] int32_t Sum(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR) const noexcept;
  /// Both forms: smallest and largest value of the region, starting from
  /// 2147483647 and -2147483647 (sparse: only stored triples count, so an
  /// empty region leaves the start values).
  void MinMax(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, int32_t& Minimum,
              int32_t& Maximum) const noexcept;
  /// Both forms: mean and variance of the region as TMatrix::MeanVar
  /// (positions without a triple count as 0; Variance 1.0 for fewer than 3
  /// values, Mean 0 for none).
  void MeanVar(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Mean,
               double& Variance) const;
  /// Both forms: skewness and excess kurtosis of the region as
  /// TMatrix::SkewKurt, in double from the integer elements (positions
  /// without a triple count as 0; both 0 for fewer than 2 values).
  void SkewKurt(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Skewness,
                double& Kurtosis) const;
  /// Both forms: bias-corrected skewness and kurtosis as
  /// TMatrix::SkewKurtSample (both 0 for fewer than 4 values).
  void SkewKurtSample(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow,
                      double& Skewness, double& Kurtosis) const;
  /// Dense only: geometric mean of the region as TMatrix::GeometricMean
  /// (0.0 when an element is 0 or the region is empty). Raises
  /// EORKMatrixError "Component "<Name>": negative argument passed to
  /// GeometricMean" for a negative element.
  [[nodiscard]] double GeometricMean(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                     int32_t HighRow) const;
  /// Dense only: harmonic mean of the region as TMatrix::HarmonicMean (0.0
  /// for an empty region). Raises EORKMatrixError "Component "<Name>":
  /// negative or zero argument passed to HarmonicMean" for an element <= 0.
  [[nodiscard]] double HarmonicMean(int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                    int32_t HighRow) const;
  /// Dense only: quartiles of the region as TMatrix::Quartiles ((n + 1) f
  /// positions, linear interpolation); false with all three 0.0 for an
  /// empty region.
  bool Quartiles(int32_t LowCol, int32_t LowRow, int32_t HighCol, int32_t HighRow, double& Q1,
                 double& Q2, double& Q3) const;
  /// Dense only: percentile prob (percent, clamped to 0..100) of the region
  /// without interpolation as TMatrix::Percentile; 0.0 for an empty region.
  [[nodiscard]] double Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                  int32_t HighRow) const;
  /// Dense only: percentile estimated from SampleSize draws with
  /// replacement as the sampling TMatrix::Percentile (the exact form for
  /// SampleSize <= 0 or >= the number of elements).
  [[nodiscard]] double Percentile(double prob, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                                  int32_t HighRow, int32_t SampleSize) const;
  /// Dense only: column means (TDims::dimRow, Means sized to NrOfColumns())
  /// or row means (TDims::dimColumn, sized to NrOfRows()) as
  /// TMatrix::MeanVec, each the exact integer sum divided by the number of
  /// values (0.0 when there are none). With no columns (rows) Means is left
  /// as it is. Raises EORKMatrixError "Component "<Name>": MeanVec: no
  /// result vector" for a null Means.
  void MeanVec(TDims Dim, TVector* Means) const;
  /// Both forms: sum of the diagonal (wrapping). Sparse: 0 unless the
  /// bounding box's high column equals its high row.
  [[nodiscard]] int32_t Trace() const noexcept;
  /// Dense only: number of elements x of the region with RangeLow <= x <=
  /// RangeHigh.
  [[nodiscard]] int32_t CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                    int32_t HighRow, int32_t RangeLow, int32_t RangeHigh) const;
  /// Dense only: number of elements x of the region with (x AND Bitmask) = 0.
  [[nodiscard]] int32_t CountMaskedZeros(int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                         int32_t HighRow, uint32_t Bitmask) const;
  /// Dense only: 32 upper-case hexadecimal digits, four CRC-32 accumulators,
  /// one per byte of the elements (least significant first), column by
  /// column.
  [[nodiscard]] std::string CRCofData() const;

  // ---- arithmetic -----------------------------------------------------------
  /// Both forms: exchanges columns and rows (sparse: every triple, the
  /// bounding box and the size; the triples are sorted again). True.
  bool Transpose();
  /// This matrix += MatB (wrapping). False when MatB is null or this matrix
  /// is sparse. Dense MatB: false unless the sizes agree. Sparse MatB: false
  /// unless this matrix covers MatB's bounding box; its stored values are
  /// added at their positions. OnChange, true.
  bool Add(const TIntMatrix* MatB);
  /// Dense only (both): this matrix -= MatB (wrapping); false when MatB is
  /// null or the sizes differ. OnChange, true.
  bool Subtract(const TIntMatrix* MatB);
  /// Dense only (both): element-wise product in place, this(c, r) *=
  /// MatB(c, r) (wrapping); false when MatB is null or the sizes differ.
  /// OnChange, true. (EMult(MatB, MatRes) below is TMatrix's form.)
  bool EMult(const TIntMatrix* MatB);
  /// Dense only: every element times Scalar (wrapping); OnChange.
  void SMult(int32_t Scalar);
  /// Dense only: Scalar added to every element (wrapping); OnChange.
  void SAdd(int32_t Scalar);

  // ---- products (dense only) ------------------------------------------------
  // A = this matrix; A(i, k) is row i, column k. Sums are exact modulo 2^32
  // (wrapping 32-bit arithmetic, no undefined overflow), so every result is
  // the two's-complement value of the exact integer sum reduced modulo 2^32,
  // whatever the order of the additions. Sizes, false results and events as
  // the TMatrix products: the result is computed completely before the
  // result object is written, so MatRes (VecRes) may be this matrix or MatB
  // (VecB); the result object is resized and written element by element
  // through SetVal (its OnChange fires per element; with no handler the
  // storage is taken over at once), then this matrix's OnChange fires once.
  // Null arguments and unfitting sizes give false and change nothing. A
  // sparse matrix among this one, MatB and MatRes raises EORKMatrixError
  // "Component "<Name>": <Op>: not available for a sparse matrix" (the name
  // of the sparse one) and changes nothing. Cost: m n k multiply-adds in
  // loops down contiguous columns.

  /// MatRes (MatB.NrOfColumns() x NrOfRows()) := A * MatB; needs
  /// NrOfColumns() = MatB.NrOfRows().
  bool Multiply(const TIntMatrix* MatB, TIntMatrix* MatRes);
  /// MatRes (MatB.NrOfRows() x NrOfRows()) := A * transpose(MatB); needs
  /// NrOfColumns() = MatB.NrOfColumns().
  bool MultiplyTransposed(const TIntMatrix* MatB, TIntMatrix* MatRes);
  /// MatRes (MatB.NrOfColumns() x NrOfColumns()) := transpose(A) * MatB;
  /// needs NrOfRows() = MatB.NrOfRows().
  bool TransposeAndMultiply(const TIntMatrix* MatB, TIntMatrix* MatRes);
  /// VecRes (sized to NrOfRows() through SetIntVecSize) := A * VecB; needs
  /// NrOfColumns() = VecB.NrOfElem(). VecRes may be VecB.
  bool Multiply(const TIntVector* VecB, TIntVector* VecRes);
  /// VecRes (sized to NrOfColumns()) := transpose(A) * VecB; needs
  /// NrOfRows() = VecB.NrOfElem(). VecRes may be VecB.
  bool TransposeAndMultiply(const TIntVector* VecB, TIntVector* VecRes);
  /// MatRes (this size) := element-wise product of A and MatB; needs equal
  /// sizes. (EMult(MatB) above is the in-place form.)
  bool EMult(const TIntMatrix* MatB, TIntMatrix* MatRes);

  // ---- reordering (dense only) ----------------------------------------------
  /// Comb sort of the rows LowRow..HighRow by column SortColIx, as
  /// TMatrix::SortRows (OnSortExchange code 2). Raises EORKMatrixError
  /// "Component "<Name>": SortRows: key column <c> outside 1..<n>".
  void SortRows(int32_t SortColIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                int32_t HighRow);
  /// Comb sort of the columns LowCol..HighCol by row SortRowIx, as
  /// TMatrix::SortCols (moving the rows LowRow..HighRow plus the key row;
  /// OnSortExchange code 1). Raises EORKMatrixError "Component "<Name>":
  /// SortCols: key row <r> outside 1..<n>".
  void SortCols(int32_t SortRowIx, bool Ascending, int32_t LowCol, int32_t LowRow, int32_t HighCol,
                int32_t HighRow);
  /// Dense only: reverses the order of the columns; OnChange.
  void MirrorColumns();
  /// Dense only: reverses the order of the rows; OnChange.
  void MirrorRows();
  /// Dense only: position (ColIx, RowIx) of the element of the region
  /// closest to Value (smallest |x - Value| as a 64-bit difference, the
  /// first column by column on ties); both 0 for an empty region.
  void Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t Value,
            int32_t& ColIx, int32_t& RowIx) const;
  /// Exchanges two whole rows. Raises EORKMatrixError "Component "<Name>":
  /// ExchangeRows: row <r> outside 1..<n>".
  void ExchangeRows(int32_t r1, int32_t r2);
  /// Exchanges two whole columns. Raises EORKMatrixError "Component
  /// "<Name>": ExchangeColumns: column <c> outside 1..<n>".
  void ExchangeColumns(int32_t c1, int32_t c2);
  /// Dense only: binary search for Value in column Col, sorted in the
  /// stated direction, as TMatrix::FindInSortedColumn: the row of an exact
  /// hit, else the nearer of the two enclosing rows (the upper on a tie); 0
  /// without rows. Raises EORKMatrixError "Component "<Name>":
  /// FindInSortedColumn: column <c> outside 1..<n>".
  [[nodiscard]] int32_t FindInSortedColumn(int32_t Col, bool ColIsAscending, int32_t Value) const;
  /// Dense only: aggregates along the rows (TOrientation::orRows, DestVec
  /// sized to NrOfRows()) or the columns (orColumns, sized to
  /// NrOfColumns()) into a double vector, as TMatrix::EdgeVector: eopMin and
  /// eopMax from uc_MaxDouble and -uc_MaxDouble, eopSum the exact sum,
  /// eopMean that sum divided by the number of values (0.0 for none). With
  /// no rows (columns) DestVec is left as it is. Raises EORKMatrixError
  /// "Component "<Name>": EdgeVector: no result vector" for a null DestVec.
  void EdgeVector(TOrientation Orient, TEdgeOp EdgeOp, TVector* DestVec) const;

  // ---- persistence ----------------------------------------------------------
  // Dense text form: the line "LoC LoR HiC HiR", then one line per row of
  // the region with its values separated by one blank (CR LF), as TMatrix
  // writes it, with plain decimal integers.

  /// Dense only: writes the region (range rules apply). False when the file
  /// cannot be created or written.
  bool StoreOnFile(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR,
                   const std::string& FileName) const;
  /// Dense only: reads the text form, with the rules and size limits of
  /// TMatrix::LoadFromFile; a value must be a decimal integer within the
  /// 32-bit range. False, with the matrix unchanged, on any failure.
  bool LoadFromFile(const std::string& FileName, bool AdjustMatrixSize);

  // Stream, binary and XML forms: the layouts of TMatrix (see there) with
  // 32-bit integer elements, and the same rules for regions, sizes taken
  // from a file, DataID, stream positions and events. They hold the dense
  // form only: on a sparse matrix each of them (ReadBinaryHeader apart, which
  // does not touch the matrix) raises EORKMatrixError "Component "<Name>":
  // <Op>: not available for a sparse matrix" and changes nothing; the sparse
  // form has StoreSparseMat / LoadSparseMat. The element type is part of
  // each binary layout, so that integers are never taken for doubles or the
  // other way round:
  //  - stream form: the tag "NMI1" (TMatrix: "NMS1"), LoC, LoR, HiC, HiR,
  //    then the region's elements as 4-byte little-endian two's-complement
  //    integers, column by column;
  //  - binary file: the signature "NUMBRAMI" (TMatrix: "NUMBRAMX"), version
  //    1, NrOfColumns, NrOfRows, the DataID length and bytes, the elements as
  //    4-byte integers, the CRC-32 of all bytes before it.
  // A TMatrix stream block is refused as having a wrong tag, a TMatrix file
  // as "not an integer matrix binary file"; TMatrix refuses these likewise.
  // The XML form is TMatrix's element <matrix> with each value written as a
  // plain decimal integer; a reader takes a cell value that is a decimal
  // integer, or a number in another form whose value is whole (so "1e+06",
  // as TMatrix writes a million, is read as 1000000), within the 32-bit
  // range, and refuses any other (a fraction, an out-of-range value, "inf",
  // "nan") as a malformed element: false, the matrix unchanged. So a TMatrix
  // XML element with whole values reads into a TIntMatrix, and any
  // TIntMatrix element into a TMatrix.

  /// Dense only: writes the region (range rules apply) in the stream form.
  /// A null memory stream is replaced by a new one that the caller owns.
  void SaveToStream(TMemoryStream*& OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                    int32_t HiR) const;
  /// Dense only: the same on an open file stream (null: nothing is
  /// written). Stream write failures propagate as the runtime's EWriteError.
  void SaveToStream(TFileStream* OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                    int32_t HiR) const;
  /// Dense only: reads the stream form at the stream's position, by the
  /// rules of TMatrix::LoadFromStream (AdjustMatrixSize resizes to HiC x HiR
  /// first, elements outside the region keeping their values; one OnChange).
  /// False, with the matrix unchanged, no OnChange and the stream back at
  /// its start, for a null stream, a wrong tag, implausible bounds, a region
  /// of more than 2^27 elements or more than the stream holds, or a region
  /// or size that is refused. On success the stream stands after the block.
  ///@{
  bool LoadFromStream(TMemoryStream* InStream, bool AdjustMatrixSize);
  bool LoadFromStream(TFileStream* InStream, bool AdjustMatrixSize);
  ///@}
  /// Dense only: writes the whole matrix and its DataID as a binary file
  /// (replaced if present). Raises EORKMatrixError "Component "<Name>":
  /// cannot write file "<FName>"" when the file cannot be created or
  /// written, or DataID is longer than 65536 bytes.
  void SaveBinary(const std::string& FName) const;
  /// Dense only: reads a file written by SaveBinary: size, elements and
  /// DataID; one OnChange. Raises EORKMatrixError, with the matrix
  /// unchanged, as "Component "<Name>": cannot open file "<FName>"", "...:
  /// "<FName>" is not an integer matrix binary file" (too short, a wrong
  /// signature -- a TMatrix file included), "...: integer matrix binary file
  /// "<FName>" has unsupported version <n>", or "...: integer matrix binary
  /// file "<FName>" is damaged" (sizes refused as for TMatrix::LoadFromFile,
  /// a length that does not match them, a wrong checksum).
  void LoadBinary(const std::string& FName);
  /// Either form (the matrix is not touched): reads only the header of a
  /// binary file, size and DataID. False, with the arguments unchanged, when
  /// the file cannot be opened, is not an integer matrix binary file of a
  /// supported version, or its header does not describe a file of its
  /// length. The checksum is not verified.
  bool ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                        std::string& DataID) const;
  /// Dense only: writes the XML form into a new file FName (declaration
  /// included). Raises EORKMatrixError "Component "<Name>": cannot write
  /// file "<FName>"" when the file cannot be created or written.
  void SaveAsXMLFile(const std::string& FName, const std::string& DataID) const;
  /// Dense only: reads the XML form from the file FName by the rules of
  /// TMatrix::ReadFromXMLStream and the value rule above; on success the
  /// matrix takes the size, the values and the element's dataid, one
  /// OnChange. False, with the matrix unchanged, when the file cannot be
  /// opened or a rule is broken.
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  /// Dense only: writes the XML form at the stream's position (null:
  /// nothing).
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const;
  /// Dense only: reads the XML form from the stream's position. On success
  /// the stream stands just after the closing </matrix>; on failure its
  /// position is undefined. Null stream: false.
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  /// Dense only: writes the XML form into a text file the caller has opened
  /// (lines end in CR LF). Write failures show in OutFile.Ok().
  void WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader, const std::string& DataID) const;
  /// Dense only: reads the XML form from a text file the caller has opened,
  /// line by line from its current position; on success the file stands at
  /// the start of the line after the one that holds the closing </matrix>.
  bool ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID);

  // Sparse text form (StoreSparseMat / LoadSparseMat), lines ending in CR
  // LF: the signature line "NUMBRA-SPARSE-INT 1"; the line "NrOfColumns
  // NrOfRows Count"; then Count lines "column row value", each a decimal
  // integer, columns and rows 1..2147483647, in ascending column-then-row
  // order without repeated positions.

  /// Sparse only: writes the sparse text form to FileName (replaced if
  /// present). False when the file cannot be written (a partial file is
  /// removed) or the matrix is dense.
  bool StoreSparseMat(const std::string& FileName) const;
  /// Sparse only: reads the sparse text form; the matrix takes the triples,
  /// the bounding box and the size (at least the box); OnChange. False,
  /// with the matrix unchanged, when the matrix is dense, the file cannot be
  /// opened, the signature or a number is wrong, an index lies outside
  /// 1..2147483647, the size is smaller than the box, the triples are out
  /// of order or repeated, Count does not match the lines that follow or
  /// exceeds what the file can hold.
  bool LoadSparseMat(const std::string& FileName);

 protected:
  /// Fires OnChange (when assigned) with this matrix as sender.
  void Changed() {
    if (OnChange) OnChange(this);
  }
  /// Calls OnPercentDone(this, Percent) when assigned.
  void PercDone(TObject* Sender, int32_t Percent) {
    (void)Sender;
    if (OnPercentDone) OnPercentDone(this, Percent);
  }

 private:
  [[nodiscard]] bool Inside(int32_t c, int32_t r) const noexcept {
    return c >= 1 && c <= FNCol && r >= 1 && r <= FNRow;
  }
  [[nodiscard]] std::size_t Idx(int32_t c, int32_t r) const noexcept {
    return static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(FNRow > 0 ? FNRow : 1) +
           static_cast<std::size_t>(r - 1);
  }
  [[nodiscard]] std::size_t Count() const noexcept {
    return static_cast<std::size_t>(FNCol) * static_cast<std::size_t>(FNRow);
  }
  void RequireDense(std::string_view Op) const;
  bool ProductOperands(std::string_view Op, const TIntMatrix* MatB, const TIntMatrix* MatRes) const;
  void PublishProduct(TIntMatrix* Res, int32_t Nc, int32_t Nr, std::vector<int32_t>&& Values);
  bool StoreRegion(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR, bool Adjust,
                   std::span<const int32_t> Values);
  void TakeOver(int32_t Nc, int32_t Nr, std::vector<int32_t>&& Values, std::string&& Id);
  bool LoadStream(TStream* InStream, bool AdjustMatrixSize);
  bool ReadXml(const std::function<int64_t(char*, int64_t)>& Source, const std::string& DataID,
               int64_t* Consumed);
  void WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                bool CreateHeader, const std::string& DataID) const;
  [[nodiscard]] int32_t SparseSearch(int32_t Nc, int32_t Nr) const noexcept;
  void EmptyBox() noexcept;
  void WidenBox(int32_t c, int32_t r) noexcept;

  int32_t FNCol = 1;
  int32_t FNRow = 1;
  std::string FDataID;
  bool FIsSparse = false;
  int32_t FNumAllocated = 0;
  int32_t FAllocBy = 1;
  int32_t FSparseNumElem = 0;
  int32_t FSparseLowCol = 2147483647;
  int32_t FSparseHighCol = 1;
  int32_t FSparseLowRow = 2147483647;
  int32_t FSparseHighRow = 1;
  std::vector<TSpMatElemInt> SpMat;
  std::vector<int32_t> Mat;
};

// ---- three- and four-dimensional arrays ----

/// Three-dimensional array of doubles, addressed 1-based as (column, row,
/// layer) = (x, y, z).
///
/// A new array is 1 x 1 x 1 holding 0.0; every extent is always at least 1.
/// The elements are stored in one contiguous array with the layer fastest:
/// element (x, y, z) at ((x - 1) * NrOfRows() + (y - 1)) * NrOfLayers() +
/// (z - 1), so the values of one (x, y) position over all layers (the
/// weights of one neuron of a self-organising map) are adjacent.
///
/// Reads outside the array give 0.0, writes there are ignored. Unlike
/// TMatrix, SetVal, Fill and the layer copies do not fire OnChange; Resize,
/// FillDiag, the random fills and Clone do. A handler may read the array,
/// not resize or write it.
///
/// The ranged operations take low and high of each dimension in pairs
/// (LowCol, HighCol, LowRow, HighRow, LowLayer, HighLayer) and pass them
/// through MakeValid...Range: (0, 0) is the whole extent, other bounds are
/// clamped into it and a reversed pair is exchanged. Not safe for use from
/// several threads at once.
class NUMBRA_EXPORT TMat3D : public TComponent {
 public:
  /// Creates a 1 x 1 x 1 array holding 0.0 with an empty DataID. Raises
  /// EORKMatrixError "Component "<Name>": not enough memory on heap" when no
  /// storage is left.
  explicit TMat3D(TComponent* AOwner = nullptr);
  ~TMat3D() override;

  /// Fired with this array as sender after Resize, FillDiag, the random
  /// fills and Clone.
  TNotifyEvent OnChange;

  /// Free identifier of the data set (kept by the XML form).
  [[nodiscard]] const std::string& DataID() const noexcept { return FDataID; }
  /// Sets DataID.
  void SetDataID(std::string Value) { FDataID = std::move(Value); }
  /// Number of columns (x extent, at least 1).
  [[nodiscard]] int32_t NrOfColumns() const noexcept { return FNumX; }
  /// Number of rows (y extent, at least 1).
  [[nodiscard]] int32_t NrOfRows() const noexcept { return FNumY; }
  /// Number of layers (z extent, at least 1).
  [[nodiscard]] int32_t NrOfLayers() const noexcept { return FNumZ; }
  /// NrOfColumns setter: Resize with the column count max(n, 1).
  void SetNCols(int32_t n);
  /// NrOfRows setter: Resize with the row count max(n, 1).
  void SetNRows(int32_t n);
  /// NrOfLayers setter: Resize with the layer count max(n, 1).
  void SetNLayers(int32_t n);
  /// All elements in storage order (layer fastest, then row, then column).
  /// Valid until the next resize.
  [[nodiscard]] std::span<const double> Values() const noexcept { return Mat; }

  /// Element (Nx, Ny, Nz); 0.0 when an index lies outside its extent.
  [[nodiscard]] double GetVal(int32_t Nx, int32_t Ny, int32_t Nz) const noexcept {
    return Inside(Nx, Ny, Nz) ? Mat[Idx(Nx, Ny, Nz)] : 0.0;
  }
  /// Stores Value at (Nx, Ny, Nz); ignored outside the array. No OnChange.
  void SetVal(int32_t Nx, int32_t Ny, int32_t Nz, double Value) noexcept {
    if (Inside(Nx, Ny, Nz)) Mat[Idx(Nx, Ny, Nz)] = Value;
  }
  /// Convenience reader of the Elem property (same as GetVal).
  [[nodiscard]] double Elem(int32_t Nx, int32_t Ny, int32_t Nz) const noexcept {
    return GetVal(Nx, Ny, Nz);
  }

  /// Sets the size. The same size: true, nothing else. All three at least
  /// 1: elements inside both the old and the new size keep their values,
  /// new ones are 0.0, OnChange, true. Any of them below 1: nothing changes,
  /// true. Raises EORKMatrixError "Component "<Name>": not enough memory on
  /// heap" (array unchanged) when the storage cannot be had.
  bool Resize(int32_t Nc, int32_t Nr, int32_t Nl);
  /// Resize, then Fill(0.0) when it returned true.
  bool ResizeAndClear(int32_t Nc, int32_t Nr, int32_t Nl);
  /// Range rule (see the class comment) against NrOfColumns().
  void MakeValidColRange(int32_t& LowCol, int32_t& HighCol) const noexcept;
  /// Range rule against NrOfRows().
  void MakeValidRowRange(int32_t& LowRow, int32_t& HighRow) const noexcept;
  /// Range rule against NrOfLayers().
  void MakeValidLayerRange(int32_t& LowLayer, int32_t& HighLayer) const noexcept;

  /// Every element becomes value. No OnChange.
  void Fill(double value) noexcept;
  /// Elements (i, i, i), i = 1..min of the three extents, become value;
  /// OnChange.
  void FillDiag(double value);
  /// Each element becomes RangeLow + (RangeHigh - RangeLow) * Random(),
  /// visiting x outermost, then y, then z; OnChange.
  void FillRandomUniform(double RangeLow, double RangeHigh);
  /// Each element becomes Mean + StdDev * GRandom(), in the same order;
  /// OnChange.
  void FillRandomGauss(double Mean, double StdDev);
  /// Takes size and values of MatSource (DataID and handler stay); OnChange.
  /// Null: nothing.
  void Clone(const TMat3D* MatSource);

  /// DestMat becomes (HighCol - LowCol + 1) x (HighRow - LowRow + 1) (ranges
  /// made valid) holding layer Layer of that block: DestMat(c - LowCol + 1,
  /// r - LowRow + 1) = (c, r, Layer). Raises EORKMatrixError "Component
  /// "<Name>": specified layer beyond data range" for a Layer outside
  /// 1..NrOfLayers(). Null DestMat: nothing.
  void CopyLayerToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                         int32_t HighRow, int32_t Layer) const;
  /// Copies SrcMat's block SrcLowCol..SrcHighCol x SrcLowRow..SrcHighRow (not
  /// validated: cells outside SrcMat read 0.0) to layer Layer with its corner
  /// at (LayLowCol, LayLowRow); targets outside this array are skipped. No
  /// OnChange. Raises the layer message as CopyLayerToMatrix. Null: nothing.
  void CopyMatrixToLayer(const TMatrix* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol,
                         int32_t SrcLowRow, int32_t SrcHighRow, int32_t Layer, int32_t LayLowCol,
                         int32_t LayLowRow);

  /// Position of the element of the region closest to Value (strict
  /// comparison from uc_MaxDouble, visiting x, then y, then z, so the first
  /// of equal distances wins); all three 0 when none is closer (only NaN).
  void Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
            int32_t HighLayer, double Value, int32_t& ColIx, int32_t& RowIx,
            int32_t& LayerIx) const noexcept;
  /// Smallest and largest element of the region (NaN passed over);
  /// uc_MaxReal and -uc_MaxReal when it holds only NaN.
  void MinMax(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
              int32_t HighLayer, double& Minimum, double& Maximum) const noexcept;
  /// Percentile prob (percent, clamped to 0..100) of the region by the rule
  /// of TMatrix::Percentile: the element at 0-based position Round(prob n /
  /// 100), at most n - 1, of the ascending order (NaN last). Raises
  /// EORKMatrixError "Component "<Name>": not enough memory on heap" when
  /// the work array cannot be had.
  [[nodiscard]] double Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                  int32_t HighRow, int32_t LowLayer, int32_t HighLayer) const;
  /// Estimate from SampleSize elements drawn with replacement after
  /// Randomize (each draw a column, then a row, then a layer); position
  /// Round(prob SampleSize / 100), at most SampleSize - 1, of the sample.
  /// SampleSize <= 0 or >= n: the exact form. Memory failure as above.
  [[nodiscard]] double Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                  int32_t HighRow, int32_t LowLayer, int32_t HighLayer,
                                  int32_t SampleSize) const;
  /// Content checksum as TMatrix::CRCofData, the elements visited x
  /// outermost, then y, then z.
  [[nodiscard]] std::string CRCofData() const;

  // ---- XML form ---------------------------------------------------------
  // <mat3d dataid="DataID"> <numcols>X</numcols> <numrows>Y</numrows>
  // <numlayers>Z</numlayers>, then one <cell col="x" row="y" layer="z">v</cell>
  // per element in storage order, closed by </mat3d>, one element per line
  // (the element names of TMatXmlTag apart from the enclosing one); values
  // as in the TMatrix XML form (shortest exact text). The readers look for
  // the first <mat3d> element (any depth) whose dataid equals DataID (any
  // when DataID is empty); the three sizes (each once, integers >= 1,
  // product at most 2^27) must precede the cells, every element must be
  // given by exactly one cell, unknown elements are skipped. Memory grows
  // with the cells present, not with the sizes claimed. Success: size,
  // values and DataID taken over, OnChange, true. False, array unchanged,
  // when no such element exists, the XML is malformed or exceeds corvel's
  // limits, or a rule is broken.

  /// Writes the XML form into the new file FName (declaration first). Raises
  /// EORKMatrixError "Component "<Name>": cannot write file "<FName>"".
  void SaveAsXMLFile(const std::string& FName, const std::string& DataID) const;
  /// Reads the XML form from FName; false when it cannot be opened or as
  /// above.
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  /// Writes the XML form at the stream's position (null: nothing).
  void WriteToXMLStream(TStream* OutStream, bool CreateHeader, const std::string& DataID) const;
  /// Reads from the stream's position; on success the stream stands after
  /// the closing tag. Null: false.
  bool ReadFromXMLStream(TStream* InStream, const std::string& DataID);
  /// Writes the XML form into an open text file (CR LF line ends).
  void WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader, const std::string& DataID) const;
  /// Reads from an open text file; on success it stands at the line after
  /// the closing tag.
  bool ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID);

 protected:
  /// Fires OnChange when assigned.
  void Changed() {
    if (OnChange) OnChange(this);
  }

  int32_t FNumX = 1;    ///< number of columns
  int32_t FNumY = 1;    ///< number of rows
  int32_t FNumZ = 1;    ///< number of layers
  std::string FDataID;  ///< DataID
  /// The elements, layer fastest (see the class comment).
  std::vector<double> Mat;

  /// Whether (x, y, z) addresses an element.
  [[nodiscard]] bool Inside(int32_t x, int32_t y, int32_t z) const noexcept {
    return x >= 1 && x <= FNumX && y >= 1 && y <= FNumY && z >= 1 && z <= FNumZ;
  }
  /// Storage index of (x, y, z): the one place where the 1-based address
  /// becomes a position in Mat.
  [[nodiscard]] std::size_t Idx(int32_t x, int32_t y, int32_t z) const noexcept {
    return (static_cast<std::size_t>(x - 1) * static_cast<std::size_t>(FNumY) +
            static_cast<std::size_t>(y - 1)) *
               static_cast<std::size_t>(FNumZ) +
           static_cast<std::size_t>(z - 1);
  }

 private:
  friend class TKohonen;
  bool ReadXml(const std::function<int64_t(char*, int64_t)>& Source, const std::string& DataID,
               int64_t* Consumed);
  void WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                bool CreateHeader, const std::string& DataID) const;
};

/// Element stream of TMat4D::ReadBinary: one call per value read, with its
/// 1-based position (ix, iy, il, it); it counts from 1 at the first selected
/// time slot.
using TOnReadMat4DElementEvent = std::function<void(TObject* Sender, int32_t ix, int32_t iy,
                                                    int32_t il, int32_t it, double Value)>;

/// Four-dimensional array of doubles, addressed 1-based as (column, row,
/// layer, time slot) = (x, y, z, t), built for image-like data sets (one
/// (x, y) position is a pixel).
///
/// A new array is 1 x 1 x 1 x 1 holding 0.0; every extent is always at
/// least 1. The elements are stored in one contiguous array with the column
/// fastest, then row, layer and time slot -- the order of the block file, so
/// whole time slots are read and written as single runs.
///
/// Reads outside the array give 0.0, writes there are ignored; SetVal and
/// FillLayer do not fire OnChange, the other changing operations do once at
/// their end. Ranged operations apply the range rule of TMat3D to each of
/// the four ranges. Not safe for use from several threads at once.
///
/// Block file: a sequence of 4096-byte records, little-endian on every
/// platform. Record 0 holds at offset 0, 4, 8, 12 the 32-bit signed numbers
/// of columns, rows, layers and stored time slots, at offset 16 DataID as
/// one length byte (0..255) followed by that many Latin-1 bytes (characters
/// beyond U+00FF are written as '?'), and zeros up to its end. The values
/// follow from byte 4096 as one stream of IEEE 754 doubles, 512 per record,
/// time slot outermost, then layer, then row, then column: the value of (x,
/// y, z, t) is double k = ((t - 1) Z + (z - 1)) X Y + (y - 1) X + (x - 1) of
/// the stream. The writers pad the last record with zeros; the readers need
/// only the values themselves to be present.
///
/// File failures raise EInOutError with the file name in the message:
/// "Cannot open file "<f>"", "Cannot create file "<f>"", "Cannot write file
/// "<f>"", and "Block file "<f>" is damaged: <why>" for a file shorter than
/// a header, sizes below 1 (0 time slots are allowed in a header), sizes
/// whose product exceeds 2^62 values, or fewer values than the header
/// claims. A reader never allocates more than the file holds.
class NUMBRA_EXPORT TMat4D : public TComponent {
 public:
  /// Creates a 1 x 1 x 1 x 1 array holding 0.0 with an empty DataID. Raises
  /// EORKMatrixError "Component "<Name>": not enough memory on heap".
  explicit TMat4D(TComponent* AOwner = nullptr);
  ~TMat4D() override;

  /// Fired with this array as sender after each change of size or contents
  /// (not by SetVal and FillLayer).
  TNotifyEvent OnChange;
  /// Progress in whole percent of the file and structure operations.
  TOnPercentDoneEvent OnPercentDone;
  /// Receives every value that ReadBinary reads.
  TOnReadMat4DElementEvent OnReadElement;

  /// Free identifier of the data set (kept by Assign, the block file and the
  /// XML form).
  [[nodiscard]] const std::string& DataID() const noexcept { return FDataID; }
  /// Sets DataID.
  void SetDataID(std::string Value) { FDataID = std::move(Value); }
  /// Number of columns (x extent, at least 1).
  [[nodiscard]] int32_t NrOfColumns() const noexcept { return FNumX; }
  /// Number of rows (y extent, at least 1).
  [[nodiscard]] int32_t NrOfRows() const noexcept { return FNumY; }
  /// Number of layers (z extent, at least 1).
  [[nodiscard]] int32_t NrOfLayers() const noexcept { return FNumZ; }
  /// Number of time slots (t extent, at least 1).
  [[nodiscard]] int32_t NrOfTimeSlots() const noexcept { return FNumT; }
  /// NrOfColumns setter: Resize with the column count max(n, 1).
  void SetNrOfColumns(int32_t n);
  /// NrOfRows setter: Resize with the row count max(n, 1).
  void SetNrOfRows(int32_t n);
  /// NrOfLayers setter: Resize with the layer count max(n, 1).
  void SetNrOfLayers(int32_t n);
  /// NrOfTimeSlots setter: Resize with the time slot count max(n, 1).
  void SetNrOfTimeSlots(int32_t n);
  /// All elements in storage (file) order. Valid until the next resize.
  [[nodiscard]] std::span<const double> Values() const noexcept { return Mat; }

  /// Element (Nx, Ny, Nz, Nt); 0.0 outside the array.
  [[nodiscard]] double GetVal(int32_t Nx, int32_t Ny, int32_t Nz, int32_t Nt) const noexcept {
    return Inside(Nx, Ny, Nz, Nt) ? Mat[Idx(Nx, Ny, Nz, Nt)] : 0.0;
  }
  /// Stores Value; ignored outside the array. No OnChange.
  void SetVal(int32_t Nx, int32_t Ny, int32_t Nz, int32_t Nt, double Value) noexcept {
    if (Inside(Nx, Ny, Nz, Nt)) Mat[Idx(Nx, Ny, Nz, Nt)] = Value;
  }
  /// Convenience reader of the Elem property (same as GetVal).
  [[nodiscard]] double Elem(int32_t Nx, int32_t Ny, int32_t Nz, int32_t Nt) const noexcept {
    return GetVal(Nx, Ny, Nz, Nt);
  }

  /// Sets the size: as TMat3D::Resize with four extents (all at least 1, or
  /// nothing changes; the result is true). Raises EORKMatrixError
  /// "Component "<Name>": not enough memory on heap" (array unchanged).
  bool Resize(int32_t Nc, int32_t Nr, int32_t Nl, int32_t Nt);
  /// Resize, then Fill(0.0) when it returned true.
  bool ResizeAndClear(int32_t Nc, int32_t Nr, int32_t Nl, int32_t Nt);
  /// Range rule against NrOfColumns().
  void MakeValidColRange(int32_t& Low, int32_t& High) const noexcept;
  /// Range rule against NrOfRows().
  void MakeValidRowRange(int32_t& Low, int32_t& High) const noexcept;
  /// Range rule against NrOfLayers().
  void MakeValidLayerRange(int32_t& Low, int32_t& High) const noexcept;
  /// Range rule against NrOfTimeSlots().
  void MakeValidTSlotRange(int32_t& Low, int32_t& High) const noexcept;

  /// Element storage in mebibytes: X / 1048576 * Y * Z * T * 8.
  [[nodiscard]] double MemoryConsumed() const noexcept;
  /// 0-based address of (ix, iy, il) within one time slot, layer fastest:
  /// ((iy - 1) X + (ix - 1)) Z + (il - 1). -2 when X Y Z exceeds
  /// 2147483647, -1 when an index is outside the array.
  [[nodiscard]] int32_t Lin3DAddr(int32_t ix, int32_t iy, int32_t il) const noexcept;
  /// Inverse of Lin3DAddr: il = LinAddr mod Z + 1, q = LinAddr div Z, ix =
  /// q mod X + 1, iy = q div X + 1, true; false (arguments unchanged) for a
  /// LinAddr outside 0..X Y Z - 1.
  bool ConvertLinTo3DAddr(int32_t LinAddr, int32_t& ix, int32_t& iy, int32_t& il) const noexcept;

  /// From another TMat4D: sizes, DataID, elements and the three events, no
  /// OnChange; other sources go to TPersistent::Assign (EConvertError).
  void Assign(TPersistent* Source) override;
  /// Takes size and elements of MatSource (one ProcStat step per time slot),
  /// OnChange. Null: nothing.
  void Clone(const TMat4D* MatSource);

  // ---- block file ---------------------------------------------------------

  /// Writes time slots TSlotStart..TSlotEnd (TSlotEnd capped at
  /// NrOfTimeSlots(); either bound below 1: all) into a new file FName
  /// (replaced if present). PercDone(Round(count 100 / n)) after every
  /// max(n div 100, 1)-th of the n values. Raises EORKMatrixError
  /// "Component "<Name>": specified time slot beyond data range" for
  /// TSlotStart > NrOfTimeSlots() or a start beyond the (capped) end, and
  /// EInOutError as the class comment says.
  void SaveBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd);
  /// Appends time slots TSlotStart..TSlotEnd (bounds as SaveBinary) to the
  /// existing file FName: the values continue the stream right after the
  /// stored ones (a partly filled last record keeps its values), then the
  /// header's time slot count is raised and the header record rewritten in
  /// place (its other bytes unchanged). Raises EORKMatrixError "Component
  /// "<Name>": X,Y,Z of matrices do not match" when the file's X, Y or Z
  /// differ (file unchanged), the time slot message as SaveBinary (also
  /// when the count would exceed 2147483647), and EInOutError. The header
  /// is written last, so an interrupted append leaves a valid file with
  /// the old contents.
  void AppendToBinaryFile(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd);
  /// Reads the header of FName: the numbers of columns, rows, layers and
  /// time slots and DataID. True when all four sizes are at least 1, their
  /// product is at most 2^62 and the file holds that many values; false
  /// otherwise (the fields are still returned). Raises EInOutError when the
  /// file cannot be opened or is shorter than one record.
  bool ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                        int32_t& NrLayers, int32_t& NrTimeSlots, std::string& DataID) const;
  /// Loads time slots TSlotStart..TSlotEnd of FName (TSlotEnd capped at the
  /// file's count; either bound not positive: all): the array becomes X x Y
  /// x Z x (TSlotEnd - TSlotStart + 1) with the file's values and DataID;
  /// progress as SaveBinary; OnChange. Raises EORKMatrixError "Component
  /// "<Name>": specified time slot beyond data range" for a TSlotStart
  /// beyond the file's count (or a file of 0 time slots), "Component
  /// "<Name>": cannot resize, memory low" when the storage cannot be had,
  /// and EInOutError; on any failure the array is unchanged.
  void LoadBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd);
  /// The selection and checks of LoadBinary, but every value read is passed
  /// to OnReadElement(this, x, y, z, t, value) (t from 1 at TSlotStart) in
  /// file order instead of being stored; the array and DataID stay. Memory
  /// use is a fixed buffer, whatever the file's size. Progress as
  /// SaveBinary.
  void ReadBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd);
  /// Reads the X x Y values of layer Layer of time slot TSlot of FName into
  /// layer Layer of time slot TSlot of this array; OnChange. Raises
  /// "Component "<Name>": specified time slot beyond data range" for a
  /// TSlot outside 1..the file's count or above NrOfTimeSlots(), "...:
  /// specified layer beyond data range" for a Layer outside 1..the file's
  /// layers or above NrOfLayers(), "...: X,Y,Z of matrices do not match"
  /// when this array has fewer columns or rows than the file, and
  /// EInOutError.
  void ReadLayer(const std::string& FName, int32_t Layer, int32_t TSlot);
  /// The same selection (Layer checked against the file only) into Data:
  /// X arrays of Y values, Data[x - 1][y - 1] = value of (x, y).
  void ReadLayer(const std::string& FName, int32_t Layer, int32_t TSlot, TDouble2DArray& Data);

  // ---- structure operations -----------------------------------------------

  /// Replaces the array by the block of the four ranges (made valid): new
  /// element (x, y, z, t) = old (x + LowCol - 1, y + LowRow - 1, z +
  /// LowLayer - 1, t + LowTimeslot - 1). PercDone per layer copied;
  /// OnChange. Memory failure: "not enough memory on heap".
  void Cut(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
           int32_t HighLayer, int32_t LowTimeslot, int32_t HighTimeslot);
  /// Resamples by the divisors (each at least 1) and offsets (taken modulo
  /// their divisor into 0..Div - 1): new sizes nX = (X - XOffset - 1) div
  /// XDiv + 1 etc.; the block of new element (x, y, z, t) are the source
  /// positions ((x - 1) XDiv + XOffset + i, ...) for i = 1..XDiv, ... With
  /// Average the new value is the sum of the block's values inside the array
  /// divided by XDiv YDiv ZDiv TDiv (positions beyond the edge count as
  /// zeros); without it the value at the block's first position (0.0 when
  /// outside). PercDone once per (t, z) of the result; OnChange. Raises
  /// EORKMatrixError "Component "<Name>": Resample: divisor <d> below 1".
  void Resample(int32_t XDiv, int32_t XOffset, int32_t YDiv, int32_t YOffset, int32_t ZDiv,
                int32_t ZOffset, int32_t TDiv, int32_t TOffset, bool Average);
  /// (x, y, z, t) becomes (y, x, z, t), column and row counts exchanged;
  /// OnChange, true. Memory failure: "not enough memory on heap".
  bool Transpose();
  /// Reverses the column order; OnChange.
  void MirrorColumns();
  /// Reverses the row order; OnChange.
  void MirrorRows();
  /// Reverses the layer order; OnChange.
  void MirrorLayers();
  /// Reverses the time slot order; OnChange.
  void MirrorTimeSlots();
  /// Block copy: each source range made valid against MatSource; source
  /// element (c, r, l, t) goes to (c - SrcLowCol + DestCol, r - SrcLowRow +
  /// DestRow, l - SrcLowLayer + DestLayer, t - SrcLowTSlot + DestTSlot),
  /// targets outside this array dropped. MatSource may be this array (the
  /// block is read first). One ProcStat step per source time slot and
  /// layer; OnChange. Null: nothing.
  void CopyFrom(const TMat4D* MatSource, int32_t SrcLowCol, int32_t SrcHighCol, int32_t SrcLowRow,
                int32_t SrcHighRow, int32_t SrcLowLayer, int32_t SrcHighLayer, int32_t SrcLowTSlot,
                int32_t SrcHighTSlot, int32_t DestCol, int32_t DestRow, int32_t DestLayer,
                int32_t DestTSlot);

  // ---- filling ------------------------------------------------------------

  /// Every element becomes value; OnChange.
  void Fill(double value);
  /// Elements (i, i, i, i) become value; OnChange.
  void FillDiag(double value);
  /// RangeLow + (RangeHigh - RangeLow) * Random() per element in storage
  /// order; OnChange.
  void FillRandomUniform(double RangeLow, double RangeHigh);
  /// Mean + StdDev * GRandom() per element in storage order; OnChange.
  void FillRandomGauss(double Mean, double StdDev);
  /// Every element of layer Layer in all time slots becomes value; nothing
  /// for a Layer outside 1..NrOfLayers(). No OnChange.
  void FillLayer(int32_t Layer, double value) noexcept;

  // ---- statistics over a region (all four ranges made valid; no OnChange) --

  /// Smallest and largest element (NaN passed over); uc_MaxReal and
  /// -uc_MaxReal when the region holds only NaN.
  void MinMax(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
              int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double& Minimum,
              double& Maximum) const noexcept;
  /// Mean and sample variance by the stable two-pass kernel of the
  /// matrices (Variance 1.0 for fewer than 3 values; NaN for non-finite
  /// data). One ProcStat step per time slot of the region and pass (three
  /// passes).
  void MeanVar(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
               int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double& Mean,
               double& Variance) const;
  /// Compensated sum of the region's values.
  [[nodiscard]] double Sum(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                           int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                           int32_t HighTimeSlot) const noexcept;
  /// Compensated sum of the squares of the region's values.
  [[nodiscard]] double SquaredSum(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow,
                                  int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                                  int32_t HighTimeSlot) const noexcept;
  /// Number of elements with RangeLow <= x <= RangeHigh, saturating at
  /// 2147483647.
  [[nodiscard]] int32_t CountValues(int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                    int32_t HighRow, int32_t LowLayer, int32_t HighLayer,
                                    int32_t LowTimeSlot, int32_t HighTimeSlot, double RangeLow,
                                    double RangeHigh) const noexcept;
  /// Position of the element closest to Value (strict comparison from
  /// uc_MaxDouble, visiting columns outermost, then rows, layers, time
  /// slots); all four 0 when none is closer.
  void Find(int32_t LowCol, int32_t HighCol, int32_t LowRow, int32_t HighRow, int32_t LowLayer,
            int32_t HighLayer, int32_t LowTimeSlot, int32_t HighTimeSlot, double Value,
            int32_t& ColIx, int32_t& RowIx, int32_t& LayerIx, int32_t& TimeSlotIx) const noexcept;
  /// Percentile prob (clamped to 0..100) of the region's n values: the
  /// element at 0-based position k = Round(prob n / 100), at most n - 1, of
  /// the ascending order. Five elements are first drawn with Random (column,
  /// row, layer, time slot each) and the first draw whose value occurs
  /// twice among them is a candidate background value c; when the values
  /// below c number at most k and those below or equal to c more than k,
  /// the result is c without a selection; otherwise QuickSelect. Raises
  /// EORKMatrixError "Component "<Name>": not enough memory on heap".
  [[nodiscard]] double Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                  int32_t HighRow, int32_t LowLayer, int32_t HighLayer,
                                  int32_t LowTimeSlot, int32_t HighTimeSlot) const;
  /// Estimate from SampleSize draws with replacement after Randomize
  /// (column, row, layer, time slot each), position Round(prob SampleSize /
  /// 100) at most SampleSize - 1 of the sample; SampleSize <= 0 or >= n:
  /// the exact form.
  [[nodiscard]] double Percentile(double prob, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                                  int32_t HighRow, int32_t LowLayer, int32_t HighLayer,
                                  int32_t LowTimeSlot, int32_t HighTimeSlot,
                                  int32_t SampleSize) const;

  // ---- exchange with the other arrays ---------------------------------------

  /// DestMat becomes the block of time slot TimeSlot (ranges made valid).
  /// Raises "Component "<Name>": specified time slot beyond data range" for
  /// TimeSlot outside 1..NrOfTimeSlots(). Null: nothing.
  void CopyTimeSlotToMat3D(TMat3D* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                           int32_t HighRow, int32_t LowLay, int32_t HighLay,
                           int32_t TimeSlot) const;
  /// DestMat becomes the column/row block of layer Layer of time slot
  /// TimeSlot. Raises the layer message, then the time slot message.
  void CopyLayerToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                         int32_t HighRow, int32_t Layer, int32_t TimeSlot) const;
  /// SrcMat's block (cells outside SrcMat read 0.0) goes to layer Layer of
  /// time slot TimeSlot with its corner at (LayLowCol, LayLowRow); targets
  /// outside are skipped; OnChange. Checks as CopyLayerToMatrix.
  void CopyMatrixToLayer(const TMatrix* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol,
                         int32_t SrcLowRow, int32_t SrcHighRow, int32_t Layer, int32_t TimeSlot,
                         int32_t LayLowCol, int32_t LayLowRow);
  /// SrcMat's block (ranges made valid against SrcMat) goes to time slot
  /// TimeSlot with its corner at (DestCol, DestRow, DestLayer); targets
  /// outside are skipped; OnChange. Raises the time slot message.
  void CopyMat3DToTimeSlot(const TMat3D* SrcMat, int32_t SrcLowCol, int32_t SrcHighCol,
                           int32_t SrcLowRow, int32_t SrcHighRow, int32_t SrcLowLay,
                           int32_t SrcHighLay, int32_t TimeSlot, int32_t DestCol, int32_t DestRow,
                           int32_t DestLayer);
  /// Src[0], Src[1], ... go to layers FirstLayer, FirstLayer + 1, ... up to
  /// min(NrOfLayers(), FirstLayer + size - 1) of pixel (Col, Row) in time
  /// slot TimeSlot; no OnChange. Raises, checked in this order, "Component
  /// "<Name>": specified column beyond data range", "... row ...", the layer
  /// and the time slot message.
  void Copy1DArrayToPixel(std::span<const double> Src, int32_t Col, int32_t Row, int32_t FirstLayer,
                          int32_t TimeSlot);

  // Per-pixel reductions: DestMat becomes (HighCol - LowCol + 1) x (HighRow -
  // LowRow + 1) and element (x - LowCol + 1, y - LowRow + 1) receives the
  // reduction of the layers x time slots values of pixel (x, y) in the
  // region. One ProcStat step per Trunc(pixels / 100) + 1 pixels. Memory
  // failure: "not enough memory on heap". Null DestMat: nothing.

  /// Mean of each pixel (stable kernel, like MeanVar).
  void MeanOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                            int32_t HighRow, int32_t LowLayer, int32_t HighLayer,
                            int32_t LowTimeSlot, int32_t HighTimeSlot) const;
  /// Largest value of each pixel (NaN passed over; -uc_MaxReal for none).
  void MaximumOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                               int32_t HighRow, int32_t LowLayer, int32_t HighLayer,
                               int32_t LowTimeSlot, int32_t HighTimeSlot) const;
  /// Smallest value of each pixel (NaN passed over; uc_MaxReal for none).
  void MinimumOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                               int32_t HighRow, int32_t LowLayer, int32_t HighLayer,
                               int32_t LowTimeSlot, int32_t HighTimeSlot) const;
  /// Population standard deviation sqrt(SSD / n) of each pixel, from the
  /// stable two-pass kernel (no cancellation for a large mean).
  void StdDevOfLayersToMatrix(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                              int32_t HighRow, int32_t LowLayer, int32_t HighLayer,
                              int32_t LowTimeSlot, int32_t HighTimeSlot) const;

  // ---- XML form -------------------------------------------------------------
  // As TMat3D's, with the element <mat4d>, a fourth size
  // <numtimeslots>T</numtimeslots> and cells <cell col="x" row="y"
  // layer="z" tslot="t">, written in storage order.

  /// Writes the XML form into the new file FName. Raises EORKMatrixError
  /// "Component "<Name>": cannot write file "<FName>"".
  void SaveAsXMLFile(const std::string& FName, const std::string& DataID) const;
  /// Reads the XML form from FName (rules of TMat3D's readers).
  bool LoadFromXMLFile(const std::string& FName, const std::string& DataID);
  /// Writes the XML form into an open text file (CR LF line ends).
  void WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader, const std::string& DataID) const;
  /// Reads from an open text file; on success it stands at the line after
  /// the closing tag.
  bool ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID);

 protected:
  /// Hands a TMat4D destination this array (Dest->Assign(this)); others go
  /// to TPersistent::AssignTo.
  void AssignTo(TPersistent* Dest) override;
  /// Fires OnChange when assigned.
  void Changed() {
    if (OnChange) OnChange(this);
  }
  /// Fires OnPercentDone(this, Percent) when assigned.
  void PercDone(TObject* Sender, int32_t Percent) {
    (void)Sender;
    if (OnPercentDone) OnPercentDone(this, Percent);
  }
  /// Fires OnReadElement(this, ...) when assigned.
  void ReadElement(TObject* Sender, int32_t ix, int32_t iy, int32_t il, int32_t it, double Value) {
    (void)Sender;
    if (OnReadElement) OnReadElement(this, ix, iy, il, it, Value);
  }

  int32_t FNumX = 1;    ///< number of columns
  int32_t FNumY = 1;    ///< number of rows
  int32_t FNumZ = 1;    ///< number of layers
  int32_t FNumT = 1;    ///< number of time slots
  std::string FDataID;  ///< DataID
  /// The elements, column fastest, time slot slowest.
  std::vector<double> Mat;

  /// Whether (x, y, z, t) addresses an element.
  [[nodiscard]] bool Inside(int32_t x, int32_t y, int32_t z, int32_t t) const noexcept {
    return x >= 1 && x <= FNumX && y >= 1 && y <= FNumY && z >= 1 && z <= FNumZ && t >= 1 &&
           t <= FNumT;
  }
  /// Storage index of (x, y, z, t): the one place where the 1-based address
  /// becomes a position in Mat.
  [[nodiscard]] std::size_t Idx(int32_t x, int32_t y, int32_t z, int32_t t) const noexcept {
    return ((static_cast<std::size_t>(t - 1) * static_cast<std::size_t>(FNumZ) +
             static_cast<std::size_t>(z - 1)) *
                static_cast<std::size_t>(FNumY) +
            static_cast<std::size_t>(y - 1)) *
               static_cast<std::size_t>(FNumX) +
           static_cast<std::size_t>(x - 1);
  }

 private:
  void TakeOver(int32_t Nx, int32_t Ny, int32_t Nz, int32_t Nt, std::vector<double>&& Values);
  template <class Fn>
  void ReduceLayers(TMatrix* DestMat, int32_t LowCol, int32_t HighCol, int32_t LowRow,
                    int32_t HighRow, int32_t LowLayer, int32_t HighLayer, int32_t LowTimeSlot,
                    int32_t HighTimeSlot, Fn&& Reduce) const;
  bool ReadXml(const std::function<int64_t(char*, int64_t)>& Source, const std::string& DataID);
  void WriteXml(const std::function<void(std::string_view)>& Sink, std::string_view LineEnd,
                bool CreateHeader, const std::string& DataID) const;
};

}  // namespace numbra
