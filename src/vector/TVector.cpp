// TVector storage, copying, checksum and the stream and text file forms.
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

NUMBRA_DEFINE_EXCEPTION(EORKVectorError);

TVector::TVector(TComponent* AOwner) : TComponent(AOwner) {
  detail::Allocate<EORKVectorError>(*this, "not enough memory on heap",
                                    [this] { FVec.assign(1, 0.0); });
}

TVector::~TVector() = default;

void TVector::MakeValidElemRange(int32_t& LowElem, int32_t& HighElem) const noexcept {
  detail::MakeValidRange(LowElem, HighElem, FNElem);
}

bool TVector::Resize(int32_t NE) {
  return detail::VectorStorage::ResizeStorage<EORKVectorError>(*this, FVec, FNElem, NE,
                                                               [this] { Changed(); });
}

void TVector::SetVecSize(int32_t NE) {
  if (NE >= 1 && NE != FNElem) Resize(NE);
}

void TVector::Clone(const TVector* VecSource) {
  detail::VectorStorage::CloneStorage(*this, VecSource);
}

void TVector::CopyFrom(const TVector* VecSource, int32_t SourceElemLo, int32_t SourceElemHi,
                       int32_t DestElem) {
  detail::VectorStorage::CopyFromStorage(*this, VecSource, SourceElemLo, SourceElemHi, DestElem);
}

void TVector::Fill(double Value) { detail::VectorStorage::FillStorage(*this, Value, false); }

void TVector::Clear() { detail::VectorStorage::FillStorage(*this, double{0}, true); }

double TVector::CalcVecLeng() const noexcept {
  // Scaled two-pass norm: dividing by the largest magnitude keeps the squares
  // from overflowing (the naive sum overflows above ~1e154) or underflowing.
  double scale = 0.0;
  bool has_nan = false;
  for (const double v : FVec) {
    const double a = std::fabs(v);
    if (a > scale)
      scale = a;
    else if (std::isnan(a))
      has_nan = true;
  }
  if (has_nan) return std::numeric_limits<double>::quiet_NaN();
  if (scale == 0.0 || std::isinf(scale)) return scale;
  double sum = 0.0;
  for (const double v : FVec) {
    const double r = v / scale;
    sum += r * r;
  }
  return scale * std::sqrt(sum);
}

void TVector::SetVecLeng(double Leng) {
  const double current = CalcVecLeng();
  if (current == 0.0) throw EORKVectorError("vector has zero length");
  const double factor = Leng / current;
  for (double& v : FVec) v *= factor;
  Changed();
}

std::string TVector::CRCofData() const {
  return detail::CrcOfElements(std::span<const double>(FVec));
}

// ---- stream form ---------------------------------------------------------

namespace {
void WriteRange(TStream* s, const std::vector<double>& v, int32_t lo, int32_t hi) {
  WriteExtendedToStream(s, lo);
  WriteExtendedToStream(s, hi);
  for (int32_t i = lo; i <= hi; ++i) WriteExtendedToStream(s, v[static_cast<std::size_t>(i) - 1]);
}

// Reads a streamed bound and rounds it to an integer (halves to even); false
// when the read fails or the value is not finite or does not fit 32 bits.
bool ReadBound(TStream* s, int64_t& out) {
  bool err = false;
  const long double x = ReadExtendedFromStream(s, err);
  if (err || !std::isfinite(x)) return false;
  const long double r = std::nearbyint(x);
  if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
    return false;
  out = static_cast<int64_t>(r);
  return true;
}
}  // namespace

void TVector::SaveToStream(TMemoryStream*& OutStream, int32_t LowElem, int32_t HighElem) const {
  MakeValidElemRange(LowElem, HighElem);
  if (OutStream == nullptr) OutStream = new TMemoryStream();  // the caller owns it
  WriteRange(OutStream, FVec, LowElem, HighElem);
}

void TVector::SaveToStream(TFileStream* OutStream, int32_t LowElem, int32_t HighElem) const {
  if (OutStream == nullptr) return;
  MakeValidElemRange(LowElem, HighElem);
  WriteRange(OutStream, FVec, LowElem, HighElem);
}

template <class S>
bool TVector::LoadFromStreamImpl(S* InStream, bool AdjustVectorSize) {
  return detail::LoadStreamForm(
      InStream, AdjustVectorSize, corvel::kStreamedExtendedBytes,
      [InStream](int64_t& b) { return ReadBound(InStream, b); },
      [this, InStream](int64_t i) {
        bool err = false;
        const long double v = ReadExtendedFromStream(InStream, err);
        if (err) return false;
        if (i >= 1 && i <= FNElem) SetVal(static_cast<int32_t>(i), static_cast<double>(v));
        return true;
      },
      [this] { return FNElem; }, [this](int32_t n) { Resize(n); }, [this] { Changed(); });
}

bool TVector::LoadFromStream(TMemoryStream* InStream, bool AdjustVectorSize) {
  return LoadFromStreamImpl(InStream, AdjustVectorSize);
}

bool TVector::LoadFromStream(TFileStream* InStream, bool AdjustVectorSize) {
  return LoadFromStreamImpl(InStream, AdjustVectorSize);
}

// ---- text form -------------------------------------------------------------

bool TVector::StoreOnFile(int32_t FirstElem, int32_t LastElem, int32_t Precision,
                          const std::string& FileName) const {
  if (Precision < -2) Precision = 2;
  if (Precision > 20) Precision = 20;
  return detail::StoreTextForm(FirstElem, LastElem, FNElem, FileName, [&](int32_t i) {
    const double v = FVec[static_cast<std::size_t>(i) - 1];
    if (Precision == -1) return SciText(v, 13);
    if (Precision == -2) return SciText(v, 26);
    return strff(v, 1, Precision);
  });
}

bool TVector::LoadFromFile(const std::string& FileName, bool AdjustVectorSize) {
  return detail::LoadTextForm(
      FileName, AdjustVectorSize, [this] { return FNElem; }, [this](int32_t n) { Resize(n); },
      [this](int64_t i, double v) {
        if (i >= 1 && i <= FNElem) SetVal(static_cast<int32_t>(i), v);
      },
      [this] { Changed(); });
}

bool TVector::LoadFromFile(const std::string& FileName, bool AdjustVectorSize, bool AutoDetect) {
  if (!AutoDetect) return LoadFromFile(FileName, AdjustVectorSize);
  return LoadFromFileAuto(FileName, AdjustVectorSize);
}

bool TVector::LoadFromFileAuto(const std::string& FileName, bool AdjustVectorSize) {
  TTextReader in(FileName);
  if (!in.IsOpen()) return false;
  int64_t count = 0;
  std::string line;
  while (in.ReadLine(line))
    if (!line.empty() && StringContains(line, "//dig")) ++count;
  if (AdjustVectorSize && count <= std::numeric_limits<int32_t>::max())
    Resize(static_cast<int32_t>(count));
  in.Reset();
  for (int32_t i = 1; i <= FNElem; ++i) {
    if (in.SeekEof()) break;
    double v = 0.0;
    if (in.ReadDouble(v)) SetVal(i, v);
  }
  Changed();
  return true;
}

// ---- persistence -----------------------------------------------------------

void TVector::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TVector*>(Source)) {
    detail::VectorStorage::AssignStorage(*this, *src);
    return;
  }
  TPersistent::Assign(Source);
}

void TVector::AssignTo(TPersistent* Dest) {
  if (dynamic_cast<TVector*>(Dest) != nullptr) {
    Dest->Assign(this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

}  // namespace numbra
