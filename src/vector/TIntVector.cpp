// TIntVector: storage, stream and text forms, statistics and arithmetic.
// The logic shared with TVector lives in vector_detail.h.
#include "ORK_vector.h"
#include "foundation/crc_detail.h"
#include "foundation/frame_detail.h"
#include "vector/vector_detail.h"
#include "vector/vector_storage_detail.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace numbra {

namespace {
// 32-bit arithmetic that wraps modulo 2^32 instead of overflowing (signed
// overflow is undefined in C++; the unsigned operations are not).
int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
}  // namespace

TIntVector::TIntVector(TComponent* AOwner) : TComponent(AOwner) {
  detail::Allocate<EORKVectorError>(*this, "not enough memory on heap",
                                    [this] { FVec.assign(1, 0); });
}

TIntVector::~TIntVector() = default;

void TIntVector::MakeValidElemRange(int32_t& LowElem, int32_t& HighElem) const noexcept {
  detail::MakeValidRange(LowElem, HighElem, FNElem);
}

bool TIntVector::Resize(int32_t NE) {
  return detail::VectorStorage::ResizeStorage<EORKVectorError>(*this, FVec, FNElem, NE,
                                                               [this] { Changed(); });
}

void TIntVector::SetIntVecSize(int32_t NE) {
  if (NE >= 1 && NE != FNElem) Resize(NE);
}

void TIntVector::Clone(const TIntVector* VecSource) {
  detail::VectorStorage::CloneStorage(*this, VecSource);
}

void TIntVector::CopyFrom(const TIntVector* VecSource, int32_t SourceElemLo, int32_t SourceElemHi,
                          int32_t DestElem) {
  detail::VectorStorage::CopyFromStorage(*this, VecSource, SourceElemLo, SourceElemHi, DestElem);
}

void TIntVector::Fill(int32_t value) { detail::VectorStorage::FillStorage(*this, value, false); }

void TIntVector::Clear() { detail::VectorStorage::FillStorage(*this, int32_t{0}, true); }

double TIntVector::CalcVecLeng() const noexcept {
  // Squares of 32-bit values are exact in double up to 2^62; the sum of up
  // to 2^31 of them cannot overflow.
  double s = 0.0;
  for (const int32_t v : FVec) s += static_cast<double>(v) * static_cast<double>(v);
  return std::sqrt(s);
}

std::string TIntVector::CRCofData() const {
  return detail::CrcOfElements(std::span<const int32_t>(FVec));
}

// ---- stream form -----------------------------------------------------------

namespace {
void WriteRange(TStream* s, const std::vector<int32_t>& v, int32_t lo, int32_t hi) {
  WriteLongintToStream(s, lo);
  WriteLongintToStream(s, hi);
  for (int32_t i = lo; i <= hi; ++i) WriteLongintToStream(s, v[static_cast<std::size_t>(i) - 1]);
}
}  // namespace

void TIntVector::SaveToStream(TMemoryStream*& OutStream, int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  if (OutStream == nullptr) OutStream = new TMemoryStream();  // the caller owns it
  WriteRange(OutStream, FVec, LowElem, HighElem);
}

void TIntVector::SaveToStream(TFileStream* OutStream, int32_t LowElem, int32_t HighElem) const {
  if (OutStream == nullptr) return;
  MakeValidElemRange(LowElem, HighElem);
  WriteRange(OutStream, FVec, LowElem, HighElem);
}

template <class S>
bool TIntVector::LoadFromStreamImpl(S* InStream, bool AdjustVectorSize) {
  return detail::LoadStreamForm(
      InStream, AdjustVectorSize, 4,
      [InStream](int64_t& b) {
        bool err = false;
        b = ReadLongintFromStream(InStream, err);
        return !err;
      },
      [this, InStream](int64_t i) {
        bool err = false;
        const int32_t v = ReadLongintFromStream(InStream, err);
        if (err) return false;
        if (i >= 1 && i <= FNElem) SetVal(static_cast<int32_t>(i), v);
        return true;
      },
      [this] { return FNElem; }, [this](int32_t n) { Resize(n); }, [this] { Changed(); });
}

bool TIntVector::LoadFromStream(TMemoryStream* InStream, bool AdjustVectorSize) {
  return LoadFromStreamImpl(InStream, AdjustVectorSize);
}

bool TIntVector::LoadFromStream(TFileStream* InStream, bool AdjustVectorSize) {
  return LoadFromStreamImpl(InStream, AdjustVectorSize);
}

// ---- text form -------------------------------------------------------------

bool TIntVector::StoreOnFile(int32_t FirstElem, int32_t LastElem,
                             const std::string& FileName) const {
  return detail::StoreTextForm(FirstElem, LastElem, FNElem, FileName, [this](int32_t i) {
    return std::to_string(FVec[static_cast<std::size_t>(i) - 1]);
  });
}

bool TIntVector::LoadFromFile(const std::string& FileName, bool AdjustVectorSize) {
  return detail::LoadTextForm(
      FileName, AdjustVectorSize, [this] { return FNElem; }, [this](int32_t n) { Resize(n); },
      [this](int64_t i, double v) {
        const double r = std::nearbyint(v);  // halves to even
        if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
          return;  // NaN, infinite or outside the 32-bit range: skipped
        if (i >= 1 && i <= FNElem) SetVal(static_cast<int32_t>(i), static_cast<int32_t>(r));
      },
      [this] { Changed(); });
}

// ---- statistics ------------------------------------------------------------

int32_t TIntVector::Sum(int32_t LowElem, int32_t HighElem) const noexcept {
  MakeValidElemRange(LowElem, HighElem);
  uint32_t s = 0;
  for (const int32_t v : detail::RangeOf(FVec, LowElem, HighElem)) s += static_cast<uint32_t>(v);
  return static_cast<int32_t>(s);
}

void TIntVector::MeanVar(int32_t LowElem, int32_t HighElem, double& Mean,
                         double& Variance) const noexcept {
  MakeValidElemRange(LowElem, HighElem);
  detail::MeanVarOf(detail::RangeOf(FVec, LowElem, HighElem), Mean, Variance);
}

void TIntVector::SkewKurtIntern(int32_t LowElem, int32_t HighElem, double& Skewness,
                                double& Kurtosis, int32_t& NumData) const noexcept {
  MakeValidElemRange(LowElem, HighElem);
  detail::SkewKurtOf(detail::RangeOf(FVec, LowElem, HighElem), Skewness, Kurtosis, NumData);
}

void TIntVector::SkewKurt(int32_t LowElem, int32_t HighElem, double& Skewness,
                          double& Kurtosis) const noexcept {
  int32_t n = 0;
  SkewKurtIntern(LowElem, HighElem, Skewness, Kurtosis, n);
}

void TIntVector::SkewKurtSample(int32_t LowElem, int32_t HighElem, double& Skewness,
                                double& Kurtosis) const noexcept {
  double g = 0;
  double k = 0;
  int32_t n = 0;
  SkewKurtIntern(LowElem, HighElem, g, k, n);
  detail::SampleCorrection(g, k, n, Skewness, Kurtosis);
}

double TIntVector::GeometricMean(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return detail::GeometricMeanOf<int32_t, EORKVectorError>(detail::RangeOf(FVec, LowElem, HighElem),
                                                           *this);
}

double TIntVector::HarmonicMean(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return detail::HarmonicMeanOf<int32_t, EORKVectorError>(detail::RangeOf(FVec, LowElem, HighElem),
                                                          *this);
}

void TIntVector::MinMax(int32_t LowElem, int32_t HighElem, int32_t& Minimum,
                        int32_t& Maximum) const noexcept {
  int32_t imin = 0;
  int32_t imax = 0;
  MinMax(LowElem, HighElem, Minimum, Maximum, imin, imax);
}

void TIntVector::MinMax(int32_t LowElem, int32_t HighElem, int32_t& Minimum, int32_t& Maximum,
                        int32_t& MinIx, int32_t& MaxIx) const noexcept {
  MakeValidElemRange(LowElem, HighElem);
  detail::MinMaxOf<int32_t>(detail::RangeOf(FVec, LowElem, HighElem), LowElem - 1, 2147483647,
                            -2147483647, Minimum, Maximum, MinIx, MaxIx);
}

int32_t TIntVector::Mode(int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return detail::ModeOfSorted(
      detail::SortedCopy<EORKVectorError>(detail::RangeOf(FVec, LowElem, HighElem), *this));
}

bool TIntVector::Quartiles(int32_t LowElem, int32_t HighElem, double& Q1, double& Q2,
                           double& Q3) const {
  Q1 = Q2 = Q3 = 0;
  MakeValidElemRange(LowElem, HighElem);
  detail::QuartilesOfSorted(
      detail::SortedCopy<EORKVectorError>(detail::RangeOf(FVec, LowElem, HighElem), *this), Q1, Q2,
      Q3);
  return true;
}

double TIntVector::Percentile(double prob, int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  return detail::PercentileOfSorted(
      detail::SortedCopy<EORKVectorError>(detail::RangeOf(FVec, LowElem, HighElem), *this), prob);
}

bool TIntVector::Histogram(int32_t FirstElem, int32_t LastElem, int32_t FirstBin, int32_t LastBin,
                           int32_t BinWidth, TIntVector* Histo, int32_t& Underflow,
                           int32_t& Overflow, int32_t& MaxCnt) const {
  if (BinWidth < 1) BinWidth = 1;
  // 64-bit arithmetic: LastBin - FirstBin + 1 and LastBin + BinWidth can
  // leave the 32-bit range.
  const int64_t nbins = std::abs(int64_t{LastBin} - FirstBin + 1) / BinWidth;
  if (nbins < 1 || nbins > 500)
    throw EORKVectorError("Component \"" + Name() + ".Histogram\": invalid number of bins");
  if (Histo == nullptr) return false;
  if (Histo->NrOfElem() != nbins) Histo->Resize(static_cast<int32_t>(nbins));
  Histo->Clear();
  Underflow = 0;
  Overflow = 0;
  MaxCnt = 0;
  const int64_t limit = int64_t{LastBin} + BinWidth;
  std::vector<int32_t> counts(static_cast<std::size_t>(nbins), 0);
  auto count = [&](int64_t v, int64_t times) {
    if (v < FirstBin) {
      detail::AddSaturated(Underflow, times);
    } else if (v >= limit) {
      detail::AddSaturated(Overflow, times);
    } else {
      const int64_t bin = std::min<int64_t>((v - FirstBin) / BinWidth, nbins - 1);
      detail::AddSaturated(counts[static_cast<std::size_t>(bin)], times);
    }
  };
  if (FirstElem <= LastElem) {
    const int64_t lo = std::max<int64_t>(FirstElem, 1);
    const int64_t hi = std::min<int64_t>(LastElem, FNElem);
    const int64_t inside = hi >= lo ? hi - lo + 1 : 0;
    const int64_t outside = int64_t{LastElem} - FirstElem + 1 - inside;
    if (outside > 0) count(0, outside);
    for (int64_t i = lo; i <= hi; ++i) count(FVec[static_cast<std::size_t>(i) - 1], 1);
  }
  for (int64_t b = 0; b < nbins; ++b) {
    const int32_t c = counts[static_cast<std::size_t>(b)];
    if (c != 0) Histo->SetVal(static_cast<int32_t>(b) + 1, c);
    MaxCnt = std::max(MaxCnt, c);
  }
  return true;
}

int32_t TIntVector::DotProduct(const TIntVector* OtherVec) const {
  if (OtherVec == nullptr) return 0;
  if (OtherVec->FNElem != FNElem)
    throw EORKVectorError(detail::ComponentMsg(*this, "vectors have different dimensions"));
  int32_t s = 0;
  for (std::size_t k = 0; k < FVec.size(); ++k) s = WrapAdd(s, WrapMul(FVec[k], OtherVec->FVec[k]));
  return s;
}

int32_t TIntVector::Correlate(const TIntVector* OtherVec, int32_t ElemShift) const noexcept {
  if (OtherVec == nullptr) return 0;
  int32_t s = 0;
  const int64_t lo = std::max<int64_t>(1, 1 - int64_t{ElemShift});
  const int64_t hi = std::min<int64_t>(FNElem, int64_t{OtherVec->FNElem} - ElemShift);
  for (int64_t k = lo; k <= hi; ++k)
    s = WrapAdd(s, WrapMul(FVec[static_cast<std::size_t>(k) - 1],
                           OtherVec->FVec[static_cast<std::size_t>(k + ElemShift) - 1]));
  return s;
}

double TIntVector::PearsonCorrCoeff(const TIntVector* OtherVec) const noexcept {
  if (OtherVec == nullptr) return 0.0;
  return detail::PearsonOf(std::span<const int32_t>(FVec),
                           std::span<const int32_t>(OtherVec->FVec));
}

double TIntVector::EuclideanDistance(const TIntVector* OtherVec) const {
  if (OtherVec == nullptr || OtherVec->FNElem != FNElem)
    throw EORKVectorError("EuclideanDistance: dimensions of vectors do not match");
  return detail::EuclidOf(std::span<const int32_t>(FVec), std::span<const int32_t>(OtherVec->FVec));
}

void TIntVector::Add(const TIntVector* OtherVec) {
  if (OtherVec == nullptr) return;
  if (OtherVec->FNElem != FNElem)
    throw EORKVectorError(detail::ComponentMsg(*this, "vectors have different dimensions"));
  for (std::size_t k = 0; k < FVec.size(); ++k) FVec[k] = WrapAdd(FVec[k], OtherVec->FVec[k]);
  Changed();
}

void TIntVector::Subtract(const TIntVector* OtherVec) {
  if (OtherVec == nullptr) return;
  if (OtherVec->FNElem != FNElem)
    throw EORKVectorError(detail::ComponentMsg(*this, "vectors have different dimensions"));
  for (std::size_t k = 0; k < FVec.size(); ++k) FVec[k] = WrapSub(FVec[k], OtherVec->FVec[k]);
  Changed();
}

int32_t TIntVector::Find(int32_t LowElem, int32_t HighElem, int32_t value) const noexcept {
  MakeValidElemRange(LowElem, HighElem);
  return detail::FindNearest(detail::RangeOf(FVec, LowElem, HighElem), LowElem - 1, value);
}

int32_t TIntVector::FindInSortedVector(bool Ascending, int32_t Value) const noexcept {
  return detail::FindInSorted(std::span<const int32_t>(FVec), Ascending, Value);
}

void TIntVector::SMult(int32_t scalar) {
  for (int32_t& v : FVec) v = WrapMul(v, scalar);
  Changed();
}

void TIntVector::AbsVal() {
  // |-2^31| wraps to -2^31, as 32-bit arithmetic gives.
  for (int32_t& v : FVec) v = v < 0 ? WrapSub(0, v) : v;
  Changed();
}

void TIntVector::Mirror() {
  std::reverse(FVec.begin(), FVec.end());
  Changed();
}

void TIntVector::SortElems(bool Ascending, int32_t RangeFirst, int32_t RangeLast) {
  if (RangeFirst == 0 && RangeLast == 0) {
    RangeFirst = 1;
    RangeLast = FNElem;
  }
  if (RangeFirst > RangeLast) std::swap(RangeFirst, RangeLast);
  RangeFirst = std::clamp(RangeFirst, 1, FNElem);
  RangeLast = std::clamp(RangeLast, 1, FNElem);
  if (RangeLast - RangeFirst < 1) return;
  detail::CombSortRange(FVec, RangeFirst, RangeLast, Ascending,
                        [this](int32_t i, int32_t j) { SortExchange(0, i, j, 0, 0); });
  Changed();
}

void TIntVector::ShuffleElems() { detail::ShuffleAll(FVec); }

// ---- persistence -----------------------------------------------------------

void TIntVector::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TIntVector*>(Source)) {
    detail::VectorStorage::AssignStorage(*this, *src);
    return;
  }
  TPersistent::Assign(Source);
}

void TIntVector::AssignTo(TPersistent* Dest) {
  if (dynamic_cast<TIntVector*>(Dest) != nullptr) {
    Dest->Assign(this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

}  // namespace numbra
