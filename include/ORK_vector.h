// ORK_vector: TVector, the library's 1-based vector of doubles, with its
// stream and text file forms.
#pragma once

#include "numbra_frame.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace numbra {

/// Raised by the vector classes.
NUMBRA_DECLARE_EXCEPTION(EORKVectorError, EORKError);

/// Vector of doubles, elements 1..NrOfElem().
///
/// A new vector holds one element 0.0 and IsEmpty() is true. Element reads
/// outside 1..NrOfElem() give 0, writes there are ignored. Every single write
/// through SetVal fires OnChange; bulk operations fire it once. A handler may
/// read the vector but must not resize it.
class NUMBRA_EXPORT TVector : public TComponent {
 public:
  /// Creates a vector of one element 0.0. Raises EORKVectorError
  /// "Component "<Name>": not enough memory on heap" when no storage is left.
  explicit TVector(TComponent* AOwner = nullptr);
  ~TVector() override;

  // ---- events -----------------------------------------------------------
  /// Fired with this vector as sender after each change of the contents.
  TNotifyEvent OnChange;
  /// Fired once for every exchange a sorting operation makes (what 0, the two
  /// element indices, 0, 0).
  TSortExchgEvent OnSortExchange;

  // ---- properties -------------------------------------------------------
  /// Number of elements (at least 1).
  [[nodiscard]] int32_t NrOfElem() const noexcept { return FNElem; }
  /// True after construction and Clear, false after SetVal or Fill: whether
  /// the contents were ever set, not whether the count is 0.
  [[nodiscard]] bool IsEmpty() const noexcept { return FIsEmpty; }
  /// The elements as a contiguous read-only span (element I at index I-1).
  [[nodiscard]] std::span<const double> Values() const noexcept { return FVec; }

  /// Element Elem (1-based); 0 outside 1..NrOfElem().
  [[nodiscard]] double GetVal(int32_t Elem) const noexcept {
    return (Elem >= 1 && Elem <= FNElem) ? FVec[static_cast<std::size_t>(Elem) - 1] : 0.0;
  }
  /// Stores Value at Elem, clears IsEmpty and fires OnChange; outside
  /// 1..NrOfElem() it does nothing at all.
  void SetVal(int32_t Elem, double Value) {
    if (Elem < 1 || Elem > FNElem) return;
    FVec[static_cast<std::size_t>(Elem) - 1] = Value;
    FIsEmpty = false;
    Changed();
  }
  /// Convenience reader of the Elem property (same as GetVal).
  [[nodiscard]] double Elem(int32_t I) const noexcept { return GetVal(I); }

  /// Range rule of every ranged operation: (0, 0) becomes 1..NrOfElem();
  /// otherwise both bounds are clamped into 1..NrOfElem() and a reversed
  /// pair is exchanged.
  void MakeValidElemRange(int32_t& LowElem, int32_t& HighElem) const noexcept;

  // ---- size, copying, filling --------------------------------------------
  /// Sets the number of elements to NE. NE equal to the count: true, nothing
  /// happens. NE < 1: false, nothing happens. Otherwise elements 1..min(old,
  /// NE) are kept, new ones are 0, OnChange fires, true. IsEmpty is kept.
  /// Raises EORKVectorError "Component "<Name>": not enough memory".
  bool Resize(int32_t NE);
  /// NrOfElem setter: Resize(NE) when NE >= 1 and NE differs from the count.
  void SetVecSize(int32_t NE);
  /// Copies VecSource in: resizes to its count, writes every element through
  /// SetVal, then fires OnChange once more. Handlers stay. Null: nothing.
  void Clone(const TVector* VecSource);
  /// Copies source elements Lo..Hi (each clamped into 1..source count, then
  /// ordered; no (0, 0) rule) to DestElem, DestElem+1, ... through SetVal;
  /// targets outside this vector are dropped, the vector is not resized.
  /// Fires OnChange at the end. Null source: nothing.
  void CopyFrom(const TVector* VecSource, int32_t SourceElemLo, int32_t SourceElemHi,
                int32_t DestElem);
  /// Every element becomes Value; IsEmpty false; OnChange.
  void Fill(double Value);
  /// Every element becomes 0; IsEmpty true; OnChange.
  void Clear();

  // ---- length -----------------------------------------------------------
  /// Euclidean length, computed with scaling so that it neither overflows
  /// nor underflows for any finite elements.
  [[nodiscard]] double CalcVecLeng() const noexcept;
  /// Convenience reader of the Leng property (same as CalcVecLeng).
  [[nodiscard]] double Leng() const noexcept { return CalcVecLeng(); }
  /// Scales the vector to length Leng (negative: reversed direction); fires
  /// OnChange. Raises EORKVectorError "vector has zero length" when the
  /// current length is 0.
  void SetVecLeng(double Leng);

  // ---- checksum ---------------------------------------------------------
  /// Content checksum: 64 upper-case hexadecimal digits, eight standard
  /// CRC-32 accumulators, accumulator k taking byte k (least significant
  /// first) of every element's 8-byte representation. Sensitive to the sign
  /// of zero and to NaN payloads.
  [[nodiscard]] std::string CRCofData() const;

  // ---- binary stream form -----------------------------------------------
  // Layout at the stream position: LowElem and HighElem as streamed floating
  // values (corvel's WriteExtendedToStream, 16 bytes each), then the
  // elements LowElem..HighElem in the same form. Nothing else.

  /// Writes elements LowElem..HighElem (range rule applied). A null memory
  /// stream is replaced by a new one that the caller owns.
  void SaveToStream(TMemoryStream*& OutStream, int32_t LowElem, int32_t HighElem) const;
  /// The same on an open file stream (null: nothing is written).
  void SaveToStream(TFileStream* OutStream, int32_t LowElem, int32_t HighElem) const;
  /// Reads the stream form at the stream's position. Null stream or a failed
  /// header read: false, nothing changes, no OnChange. The header bounds are
  /// rounded to integers (a non-finite or out-of-range bound fails like a
  /// failed read). With AdjustVectorSize the vector is resized to High -- but
  /// only when the stream can hold the values it announces and High does not
  /// exceed 2^27; otherwise the vector keeps its size. High > NrOfElem():
  /// false, no element read. Otherwise each element Low..High is read and
  /// stored through SetVal; a failed read makes the result false and skips
  /// the element. OnChange fires at the end.
  bool LoadFromStream(TMemoryStream* InStream, bool AdjustVectorSize);
  bool LoadFromStream(TFileStream* InStream, bool AdjustVectorSize);

  // ---- text file form ---------------------------------------------------
  /// Writes "First Last" and then one element per line, lines ending in CR
  /// LF. Precision 0..20: fixed point with that many decimals, no padding;
  /// -1: scientific text in 13 characters (5 significant digits); -2:
  /// scientific text in 26 characters (18 significant digits, enough to
  /// read every double back exactly). Precision below -2 becomes 2, above 20
  /// becomes 20. A reversed range is exchanged, then First < 1 becomes 1 and
  /// Last > NrOfElem() becomes NrOfElem(). False when the file cannot be
  /// created, true once it has been created (later write errors are not
  /// reported).
  bool StoreOnFile(int32_t FirstElem, int32_t LastElem, int32_t Precision,
                   const std::string& FileName) const;
  /// Reads the text form. False, with nothing changed and no OnChange, when
  /// the file cannot be opened (directories included) or its header is not
  /// two integers. With AdjustVectorSize the vector is resized to Last -- but
  /// only when the file can hold the values it announces and Last does not
  /// exceed 2^27; otherwise it keeps its size. Last > NrOfElem(): false, no
  /// element changed. Otherwise true, and elements First..Last are read
  /// through SetVal, a value that does not convert being skipped (that
  /// element keeps its old value). OnChange fires at the end.
  bool LoadFromFile(const std::string& FileName, bool AdjustVectorSize);
  /// With AutoDetect true: a headerless file. The lines that contain a digit
  /// are counted, the vector is resized to that count when AdjustVectorSize,
  /// and NrOfElem() values are read in turn into elements 1, 2, ... (values
  /// that do not convert are skipped). False only when the file cannot be
  /// opened. With AutoDetect false: the two-argument form.
  bool LoadFromFile(const std::string& FileName, bool AdjustVectorSize, bool AutoDetect);

  // ---- persistence ------------------------------------------------------
  /// Copies count, IsEmpty, elements and event handlers from another TVector
  /// (no OnChange); other sources go to TPersistent::Assign.
  void Assign(TPersistent* Source) override;

 protected:
  void AssignTo(TPersistent* Dest) override;
  /// Fires OnChange (when assigned) with this vector as sender.
  void Changed() {
    if (OnChange) OnChange(this);
  }
  /// Fires OnSortExchange (when assigned).
  void SortExchange(uint8_t ExchgWhat, int32_t Index1, int32_t Index2, int32_t First,
                    int32_t Last) {
    if (OnSortExchange) OnSortExchange(this, ExchgWhat, Index1, Index2, First, Last);
  }

  int32_t FNElem = 1;
  bool FIsEmpty = true;
  std::vector<double> FVec;

 private:
  template <class S>
  bool LoadFromStreamImpl(S* InStream, bool AdjustVectorSize);
  bool LoadFromFileAuto(const std::string& FileName, bool AdjustVectorSize);
};

}  // namespace numbra
