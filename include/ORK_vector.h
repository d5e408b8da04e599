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

/// Integration rule of TVector::Integrate.
enum class TIntegMethod : uint8_t { imSimple, imTrapezoidal, imSimpson };

class TIntVector;
namespace detail {
struct VectorStorage;
}

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
  /// only when the stream can hold the values it announces, High is at most
  /// 64 times the values it can hold (or at most 2^20) and High does not
  /// exceed 2^27; otherwise the vector keeps its size. High > NrOfElem():
  /// false, no element read. Otherwise each element Low..High is read and
  /// stored through SetVal; a failed read makes the result false and skips
  /// the element. OnChange fires at the end.
  ///@{
  bool LoadFromStream(TMemoryStream* InStream, bool AdjustVectorSize);
  bool LoadFromStream(TFileStream* InStream, bool AdjustVectorSize);
  ///@}

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
  /// only when the file can hold the values it announces, Last is at most 64
  /// times the values it can hold (or at most 2^20) and Last does not exceed
  /// 2^27; otherwise it keeps its size. Last > NrOfElem(): false, no
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

  // ---- statistics ---------------------------------------------------------
  // Ranged operations take (LowElem, HighElem) through MakeValidElemRange:
  // (0, 0) is the whole vector, bounds are clamped, a reversed pair is read
  // forwards. None of them fires OnChange. NaN elements propagate into sums,
  // moments and means; MinMax and Find skip them (no comparison with NaN
  // succeeds).

  /// Sum of the range (summed in blocks of independent partial sums, which
  /// is faster and no less accurate than one running sum).
  [[nodiscard]] double Sum(int32_t LowElem, int32_t HighElem) const noexcept;
  /// Mean and sample variance of the range. Variance is 1.0 when the range
  /// has fewer than 3 elements. Computed by the corrected two-pass algorithm,
  /// accurate to a few units of rounding even when the mean is large
  /// compared with the spread; never negative.
  void MeanVar(int32_t LowElem, int32_t HighElem, double& Mean, double& Variance) const noexcept;
  /// Skewness and excess kurtosis of the range (moments about the mean
  /// divided by n, scaled by the sample standard deviation s). Both 0 for
  /// fewer than 4 elements. When s is 0 they are the third and fourth sums of
  /// deviations (0 when all values are equal).
  void SkewKurt(int32_t LowElem, int32_t HighElem, double& Skewness,
                double& Kurtosis) const noexcept;
  /// Skewness and excess kurtosis with the usual small-sample corrections
  /// G n^2 / ((n-1)(n-2)) and (K+3) n^2 (n+1) / ((n-1)(n-2)(n-3)) -
  /// 3 (n-1)^2 / ((n-2)(n-3)); both 0 for fewer than 4 elements.
  void SkewKurtSample(int32_t LowElem, int32_t HighElem, double& Skewness,
                      double& Kurtosis) const noexcept;
  /// Geometric mean of the range; 0 when an element is 0. Raises
  /// EORKVectorError "Component "<Name>": negative argument passed to
  /// GeometricMean" for a negative element.
  [[nodiscard]] double GeometricMean(int32_t LowElem, int32_t HighElem) const;
  /// Harmonic mean of the range. Raises EORKVectorError "Component "<Name>":
  /// negative or zero argument passed to HarmonicMean" for an element <= 0.
  [[nodiscard]] double HarmonicMean(int32_t LowElem, int32_t HighElem) const;
  /// Smallest and largest element of the range (the first one wins ties).
  /// Start values 1.7E308 and -1.7E308, returned when no element compares
  /// below/above them (all NaN, or values beyond +-1.7E308).
  void MinMax(int32_t LowElem, int32_t HighElem, double& Minimum, double& Maximum) const noexcept;
  /// The same, with the indices of the extremes (0 when none was found).
  void MinMax(int32_t LowElem, int32_t HighElem, double& Minimum, double& Maximum, int32_t& MinIx,
              int32_t& MaxIx) const noexcept;
  /// Most frequent value of the range: the value of the first longest run of
  /// equal values in ascending order (the smallest value when all differ).
  /// Sorts a working copy with SortArray (progress steps included). Raises
  /// EORKVectorError "Component "<Name>": not enough memory on heap".
  [[nodiscard]] double Mode(int32_t LowElem, int32_t HighElem) const;
  /// Quartiles of the range by the (n + 1) f position rule with linear
  /// interpolation; all three the single value when n < 2. Always true.
  /// Sorts a working copy with SortArray.
  bool Quartiles(int32_t LowElem, int32_t HighElem, double& Q1, double& Q2, double& Q3) const;
  /// Percentile prob (0..100, clamped) of the range by the (n - 1) p
  /// position rule with linear interpolation. Sorts a working copy.
  [[nodiscard]] double Percentile(double prob, int32_t LowElem, int32_t HighElem) const;
  /// Histogram of elements FirstElem..LastElem (not clamped: positions
  /// outside the vector count as value 0) into NBins = |LastBin - FirstBin|
  /// / BinWidth (rounded, halves to even) bins of width BinWidth starting at
  /// FirstBin. Histo is resized to NBins and cleared. A value below FirstBin
  /// is underflow; a value at or above LastBin + BinWidth, and NaN, is
  /// overflow; any other value v goes into bin trunc((v - FirstBin) /
  /// BinWidth) + 1, and values beyond the last bin but below the overflow
  /// limit go into the last bin, so every element read is counted exactly
  /// once. MaxCnt is the largest bin count. False, with nothing changed,
  /// when NBins is not in 1..500 (a BinWidth that is 0, negative or NaN
  /// gives no valid NBins) or Histo is null.
  bool Histogram(int32_t FirstElem, int32_t LastElem, double FirstBin, double LastBin,
                 double BinWidth, TIntVector* Histo, int32_t& Underflow, int32_t& Overflow,
                 int32_t& MaxCnt) const;
  /// Integral of the curve sampled at abscissae 1..NrOfElem() between
  /// BoundLow and BoundHigh (clamped into 1..NrOfElem(), exchanged when
  /// reversed), by the simple, trapezoidal or Simpson rule, with linear end
  /// pieces for fractional bounds.
  [[nodiscard]] double Integrate(double BoundLow, double BoundHigh,
                                 TIntegMethod Method) const noexcept;

  // ---- two-vector operations ---------------------------------------------
  /// Sum of element products. 0 for a null OtherVec; raises EORKVectorError
  /// "Component "<Name>": vectors have different dimensions".
  [[nodiscard]] double DotProduct(const TVector* OtherVec) const;
  /// Sum over k of y(k) * OtherVec(k + ElemShift) (positions outside the
  /// other vector contribute 0; the counts may differ). 0 for null.
  [[nodiscard]] double Correlate(const TVector* OtherVec, int32_t ElemShift) const noexcept;
  /// Pearson's correlation coefficient with OtherVec, from centred sums
  /// (accurate for data with a large common offset). 0 unless both have the
  /// same count above 1 and neither is constant.
  [[nodiscard]] double PearsonCorrCoeff(const TVector* OtherVec) const noexcept;
  /// Euclidean distance to OtherVec (scaled, no overflow). Raises
  /// EORKVectorError "EuclideanDistance: dimensions of vectors do not match"
  /// for different counts or a null OtherVec.
  [[nodiscard]] double EuclideanDistance(const TVector* OtherVec) const;
  /// Element-wise sum / difference with OtherVec, then OnChange. Null does
  /// nothing; different counts raise "Component "<Name>": vectors have
  /// different dimensions".
  ///@{
  void Add(const TVector* OtherVec);
  void Subtract(const TVector* OtherVec);
  ///@}

  // ---- searching ----------------------------------------------------------
  /// Index of the range element nearest to value (first one on ties; NaN
  /// elements never win; 0 if every element is NaN).
  [[nodiscard]] int32_t Find(int32_t LowElem, int32_t HighElem, double value) const noexcept;
  /// Binary search of the whole vector, sorted in the given direction: the
  /// index of an element equal to Value, or else of the nearer of the two
  /// neighbours the search ends with (the upper one on a tie).
  [[nodiscard]] int32_t FindInSortedVector(bool Ascending, double Value) const noexcept;

  // ---- rescaling and reordering ---------------------------------------------
  /// Subtracts the mean (of MeanVar over the whole vector) from every element
  /// and returns it. Does not fire OnChange.
  double MeanCenter();
  /// mean and stddev = sqrt(variance) of MeanVar over the whole vector; when
  /// stddev > 0 every element becomes (y - mean) / stddev. No OnChange.
  void Standardize(double& mean, double& stddev);
  /// Median = Percentile(50), QuantDiff = |Median - Percentile(RefQuant)|;
  /// when QuantDiff > 0 every element becomes (y - Median) / QuantDiff. No
  /// OnChange.
  void QNormalize(double RefQuant, double& Median, double& QuantDiff);
  /// Multiplies every element by scalar; OnChange once.
  void SMult(double scalar);
  /// Absolute value of every element; OnChange once.
  void AbsVal();
  /// Reverses the order of the elements; OnChange once.
  void Mirror();
  /// Comb-sorts elements RangeFirst..RangeLast ((0, 0): all; a reversed
  /// pair is exchanged, then both are clamped), calling OnSortExchange(0, i,
  /// j, 0, 0) after each exchange; then OnChange once. Ranges of fewer than
  /// 2 elements do nothing. No progress steps. NaN counts as larger than
  /// every number, as in SortArray: NaNs end last in ascending order.
  void SortElems(bool Ascending, int32_t RangeFirst, int32_t RangeLast);
  /// Reseeds the runtime's random generator from the clock, then NrOfElem()
  /// times exchanges two elements drawn uniformly (they may coincide). No
  /// OnChange.
  void ShuffleElems();
  /// RangeLow + (RangeHigh - RangeLow) u for u uniform in [0, 1); IsEmpty
  /// false; OnChange once.
  void FillRandomUniform(double RangeLow, double RangeHigh);
  /// Mean + StdDev * GRandom(); IsEmpty false; OnChange once.
  void FillRandomGauss(double Mean, double StdDev);

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
  /// Skewness, kurtosis and the number of values of the range (the common
  /// part of SkewKurt and SkewKurtSample).
  void SkewKurtIntern(int32_t LowElem, int32_t HighElem, double& Skewness, double& Kurtosis,
                      int32_t& NumData) const noexcept;

  /// Number of elements (NrOfElem()).
  int32_t FNElem = 1;
  /// IsEmpty().
  bool FIsEmpty = true;
  /// The elements (element i at index i - 1).
  std::vector<double> FVec;

 private:
  friend struct detail::VectorStorage;
  template <class S>
  bool LoadFromStreamImpl(S* InStream, bool AdjustVectorSize);
  bool LoadFromFileAuto(const std::string& FileName, bool AdjustVectorSize);
};

/// Vector of 32-bit signed integers, elements 1..NrOfElem(): the twin of
/// TVector (a separate class, not a descendant). Everything not said here
/// behaves as the TVector member of the same name. Integer results (Sum,
/// DotProduct, Correlate, SMult, Add, Subtract, AbsVal) use 32-bit
/// arithmetic that wraps around modulo 2^32 on overflow; statistics are
/// doubles.
class NUMBRA_EXPORT TIntVector : public TComponent {
 public:
  /// A vector of one element, 0, IsEmpty() true, owned by AOwner (nullptr: none).
  explicit TIntVector(TComponent* AOwner = nullptr);
  ~TIntVector() override;

  /// Fired after the elements changed (sender: this vector).
  TNotifyEvent OnChange;
  /// Fired for each exchange a sort makes (see TVector::OnSortExchange).
  TSortExchgEvent OnSortExchange;

  /// Number of elements.
  [[nodiscard]] int32_t NrOfElem() const noexcept { return FNElem; }
  /// True until an element has been written (see TVector::IsEmpty).
  [[nodiscard]] bool IsEmpty() const noexcept { return FIsEmpty; }
  /// The elements (element i at index i - 1).
  [[nodiscard]] std::span<const int32_t> Values() const noexcept { return FVec; }
  /// Element Elem (1..NrOfElem()); 0 outside.
  [[nodiscard]] int32_t GetVal(int32_t Elem) const noexcept {
    return (Elem >= 1 && Elem <= FNElem) ? FVec[static_cast<std::size_t>(Elem) - 1] : 0;
  }
  /// Stores Value at Elem (1..NrOfElem()) and fires OnChange; ignored outside.
  void SetVal(int32_t Elem, int32_t Value) {
    if (Elem < 1 || Elem > FNElem) return;
    FVec[static_cast<std::size_t>(Elem) - 1] = Value;
    FIsEmpty = false;
    Changed();
  }
  /// Same as GetVal.
  [[nodiscard]] int32_t Elem(int32_t I) const noexcept { return GetVal(I); }
  /// As TVector::MakeValidElemRange.
  void MakeValidElemRange(int32_t& LowElem, int32_t& HighElem) const noexcept;

  /// As TVector::Resize.
  bool Resize(int32_t NE);
  /// NrOfElem setter.
  void SetIntVecSize(int32_t NE);
  /// As TVector::Clone.
  void Clone(const TIntVector* VecSource);
  /// As TVector::CopyFrom.
  void CopyFrom(const TIntVector* VecSource, int32_t SourceElemLo, int32_t SourceElemHi,
                int32_t DestElem);
  /// As TVector::Fill.
  void Fill(int32_t value);
  /// As TVector::Clear.
  void Clear();
  /// Euclidean length (squares formed in floating point).
  [[nodiscard]] double CalcVecLeng() const noexcept;
  /// Same as CalcVecLeng().
  [[nodiscard]] double Leng() const noexcept { return CalcVecLeng(); }
  /// 32 upper-case hexadecimal digits: four CRC-32 accumulators, one per
  /// byte of the 32-bit elements (least significant first).
  [[nodiscard]] std::string CRCofData() const;

  /// Stream form: as TVector's, but the bounds and every element are 4-byte
  /// little-endian integers (corvel's WriteLongintToStream).
  ///@{
  void SaveToStream(TMemoryStream*& OutStream, int32_t LowElem, int32_t HighElem) const;
  void SaveToStream(TFileStream* OutStream, int32_t LowElem, int32_t HighElem) const;
  bool LoadFromStream(TMemoryStream* InStream, bool AdjustVectorSize);
  bool LoadFromStream(TFileStream* InStream, bool AdjustVectorSize);
  ///@}
  /// Text form: the header line "First Last", then one plain decimal integer
  /// per line (CR LF). Range handling and result as TVector::StoreOnFile.
  bool StoreOnFile(int32_t FirstElem, int32_t LastElem, const std::string& FileName) const;
  /// As the two-argument TVector::LoadFromFile; each value is read as a
  /// floating number and rounded to the nearest integer (halves to even); a
  /// value that does not convert or lies outside the 32-bit range (NaN
  /// included) is skipped.
  bool LoadFromFile(const std::string& FileName, bool AdjustVectorSize);

  // ---- statistics (see TVector) -------------------------------------------
  /// 32-bit wrapping sum of the range.
  [[nodiscard]] int32_t Sum(int32_t LowElem, int32_t HighElem) const noexcept;
  /// As TVector::MeanVar.
  void MeanVar(int32_t LowElem, int32_t HighElem, double& Mean, double& Variance) const noexcept;
  /// As TVector::SkewKurt.
  void SkewKurt(int32_t LowElem, int32_t HighElem, double& Skewness,
                double& Kurtosis) const noexcept;
  /// As TVector::SkewKurtSample.
  void SkewKurtSample(int32_t LowElem, int32_t HighElem, double& Skewness,
                      double& Kurtosis) const noexcept;
  /// As TVector::GeometricMean.
  [[nodiscard]] double GeometricMean(int32_t LowElem, int32_t HighElem) const;
  /// As TVector::HarmonicMean.
  [[nodiscard]] double HarmonicMean(int32_t LowElem, int32_t HighElem) const;
  /// Start values 2147483647 and -2147483647 (so a vector of only
  /// -2147483648 reports Maximum -2147483647 and MaxIx 0).
  ///@{
  void MinMax(int32_t LowElem, int32_t HighElem, int32_t& Minimum, int32_t& Maximum) const noexcept;
  void MinMax(int32_t LowElem, int32_t HighElem, int32_t& Minimum, int32_t& Maximum, int32_t& MinIx,
              int32_t& MaxIx) const noexcept;
  ///@}
  /// As TVector::Mode.
  [[nodiscard]] int32_t Mode(int32_t LowElem, int32_t HighElem) const;
  /// As TVector::Quartiles.
  bool Quartiles(int32_t LowElem, int32_t HighElem, double& Q1, double& Q2, double& Q3) const;
  /// As TVector::Percentile.
  [[nodiscard]] double Percentile(double prob, int32_t LowElem, int32_t HighElem) const;
  /// Integer histogram: BinWidth below 1 becomes 1; NBins = |LastBin -
  /// FirstBin + 1| div BinWidth; a value below FirstBin is underflow, one at
  /// or above LastBin + BinWidth overflow, any other v goes into bin (v -
  /// FirstBin) div BinWidth + 1, or into the last bin when that lies beyond
  /// it (every element read is counted once). Raises EORKVectorError
  /// "Component "<Name>.Histogram": invalid number of bins" when NBins is
  /// not in 1..500. False only for a null Histo.
  bool Histogram(int32_t FirstElem, int32_t LastElem, int32_t FirstBin, int32_t LastBin,
                 int32_t BinWidth, TIntVector* Histo, int32_t& Underflow, int32_t& Overflow,
                 int32_t& MaxCnt) const;

  /// As TVector::DotProduct.
  [[nodiscard]] int32_t DotProduct(const TIntVector* OtherVec) const;
  /// As TVector::Correlate.
  [[nodiscard]] int32_t Correlate(const TIntVector* OtherVec, int32_t ElemShift) const noexcept;
  /// As TVector::PearsonCorrCoeff.
  [[nodiscard]] double PearsonCorrCoeff(const TIntVector* OtherVec) const noexcept;
  /// As TVector::EuclideanDistance.
  [[nodiscard]] double EuclideanDistance(const TIntVector* OtherVec) const;
  /// As TVector::Add.
  void Add(const TIntVector* OtherVec);
  /// As TVector::Subtract.
  void Subtract(const TIntVector* OtherVec);
  /// Index of the element nearest to value (differences compared as
  /// doubles; first one on ties).
  [[nodiscard]] int32_t Find(int32_t LowElem, int32_t HighElem, int32_t value) const noexcept;
  /// As TVector::FindInSortedVector.
  [[nodiscard]] int32_t FindInSortedVector(bool Ascending, int32_t Value) const noexcept;
  /// As TVector::SMult.
  void SMult(int32_t scalar);
  /// As TVector::AbsVal.
  void AbsVal();
  /// As TVector::Mirror.
  void Mirror();
  /// As TVector::SortElems.
  void SortElems(bool Ascending, int32_t RangeFirst, int32_t RangeLast);
  /// As TVector::ShuffleElems.
  void ShuffleElems();

  void Assign(TPersistent* Source) override;

 protected:
  void AssignTo(TPersistent* Dest) override;
  /// Fires OnChange (when assigned).
  void Changed() {
    if (OnChange) OnChange(this);
  }
  /// Fires OnSortExchange (when assigned).
  void SortExchange(uint8_t ExchgWhat, int32_t Index1, int32_t Index2, int32_t First,
                    int32_t Last) {
    if (OnSortExchange) OnSortExchange(this, ExchgWhat, Index1, Index2, First, Last);
  }
  /// As TVector::SkewKurtIntern.
  void SkewKurtIntern(int32_t LowElem, int32_t HighElem, double& Skewness, double& Kurtosis,
                      int32_t& NumData) const noexcept;

  /// Number of elements.
  int32_t FNElem = 1;
  /// The elements (element i at index i - 1).
  std::vector<int32_t> FVec;
  /// IsEmpty().
  bool FIsEmpty = true;

 private:
  friend struct detail::VectorStorage;
  template <class S>
  bool LoadFromStreamImpl(S* InStream, bool AdjustVectorSize);
};

}  // namespace numbra
