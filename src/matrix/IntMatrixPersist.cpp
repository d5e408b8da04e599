// TIntMatrix persistence: the text, stream, binary and XML forms of the
// matrix classes with integer values, and the sparse triple form.
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"
#include "foundation/xml_io_detail.h"
#include "matrix/matrix_io_detail.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <span>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";
constexpr std::string_view kSparseSig = "NUMBRA-SPARSE-INT 1";

std::size_t Stor(int32_t n) { return static_cast<std::size_t>(n > 0 ? n : 1); }
}  // namespace

bool TIntMatrix::StoreOnFile(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR,
                             const std::string& FileName) const {
  RequireDense("StoreOnFile");
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  TTextWriter out;
  if (!out.Open(FileName)) return false;
  out.WriteLine(std::to_string(LoC) + " " + std::to_string(LoR) + " " + std::to_string(HiC) + " " +
                std::to_string(HiR));
  std::string line;
  for (int32_t r = LoR; r <= HiR; ++r) {
    line.clear();
    for (int32_t c = LoC; c <= HiC; ++c) {
      if (c > LoC) line += ' ';
      line += std::to_string(Mat[Idx(c, r)]);
    }
    out.WriteLine(line);
  }
  return out.Close();
}

bool TIntMatrix::LoadFromFile(const std::string& FileName, bool AdjustMatrixSize) {
  RequireDense("LoadFromFile");
  TTextReader in(FileName);
  if (!in.IsOpen()) return false;
  int32_t h[4] = {};
  for (int32_t& v : h)
    if (!in.ReadInteger(v)) return false;
  const int64_t loc = h[0], lor = h[1], hic = h[2], hir = h[3];
  if (loc < 1 || lor < 1 || hic < loc - 1 || hir < lor - 1) return false;
  const int64_t cols = hic - loc + 1;
  const int64_t rows = hir - lor + 1;
  const int64_t cells = cols * rows;
  if (cells > detail::kMaxCellsFromFile || cells > (in.Remaining() + 1) / 2) return false;
  if (AdjustMatrixSize) {
    if (!detail::PlausibleSize(hic, hir, cells)) return false;
  } else if ((cells > 0) && (hic > FNCol || hir > FNRow)) {
    return false;
  }
  std::vector<int32_t> values;  // column by column
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { values.resize(static_cast<std::size_t>(cells)); });
  for (int64_t r = 0; r < rows; ++r)
    for (int64_t c = 0; c < cols; ++c)
      if (!in.ReadInteger(values[static_cast<std::size_t>(c * rows + r)])) return false;
  return StoreRegion(h[0], h[1], h[2], h[3], AdjustMatrixSize, values);
}

bool TIntMatrix::StoreSparseMat(const std::string& FileName) const {
  if (!FIsSparse) return false;
  TTextWriter out;
  if (!out.Open(FileName)) return false;
  out.WriteLine(kSparseSig);
  out.WriteLine(std::to_string(FNCol) + " " + std::to_string(FNRow) + " " +
                std::to_string(FSparseNumElem));
  for (const auto& e : Triples())
    out.WriteLine(std::to_string(e.colidx) + " " + std::to_string(e.rowidx) + " " +
                  std::to_string(e.value));
  if (out.Close()) return true;
  std::remove(FileName.c_str());
  return false;
}

bool TIntMatrix::LoadSparseMat(const std::string& FileName) {
  if (!FIsSparse) return false;
  TTextReader in(FileName);
  if (!in.IsOpen()) return false;
  std::string line;
  if (!in.ReadLine(line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line != kSparseSig) return false;
  int32_t nc = 0, nr = 0, n = 0;
  if (!in.ReadInteger(nc) || !in.ReadInteger(nr) || !in.ReadInteger(n)) return false;
  if (nc < 0 || nr < 0 || n < 0) return false;
  // Every triple takes at least six characters ("1 1 0" and a line end):
  // the count may not demand more memory than the file justifies.
  if (n > in.Remaining() / 6 + 1) return false;
  const int32_t step = FAllocBy;
  const int64_t alloc = std::max<int64_t>(1, (int64_t{n} + step - 1) / step) * step;
  if (alloc > std::numeric_limits<int32_t>::max()) return false;
  std::vector<TSpMatElemInt> trip;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { trip.reserve(static_cast<std::size_t>(alloc)); });
  int32_t lc = std::numeric_limits<int32_t>::max(), hc = 1,
          lr = std::numeric_limits<int32_t>::max(), hr = 1;
  for (int32_t k = 0; k < n; ++k) {
    TSpMatElemInt e{};
    if (!in.ReadInteger(e.colidx) || !in.ReadInteger(e.rowidx) || !in.ReadInteger(e.value))
      return false;
    if (e.colidx < 1 || e.rowidx < 1) return false;
    if (!trip.empty()) {
      const auto& p = trip.back();
      if (!(p.colidx < e.colidx || (p.colidx == e.colidx && p.rowidx < e.rowidx))) return false;
    }
    trip.push_back(e);
    lc = std::min(lc, e.colidx);
    hc = std::max(hc, e.colidx);
    lr = std::min(lr, e.rowidx);
    hr = std::max(hr, e.rowidx);
  }
  if (!in.SeekEof()) return false;  // more triples than announced, or junk
  if (n > 0 && (nc < hc || nr < hr)) return false;
  trip.resize(static_cast<std::size_t>(alloc));
  SpMat.swap(trip);
  FNumAllocated = static_cast<int32_t>(alloc);
  FSparseNumElem = n;
  FSparseLowCol = lc;
  FSparseHighCol = hc;
  FSparseLowRow = lr;
  FSparseHighRow = hr;
  FNCol = nc;
  FNRow = nr;
  Changed();
  return true;
}

// ---- stream, binary and XML forms ---------------------------------------------
// The layouts of TMatrix with integer elements, through the same readers and
// writers (matrix_io_detail.h). Dense only: a sparse matrix is refused by
// RequireDense, as by the text form.

// Writes a region read from a file (column by column) into the matrix:
// resizes to HiC x HiR first when asked (without an event of its own), or
// refuses a region that does not fit. One OnChange.
bool TIntMatrix::StoreRegion(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR, bool Adjust,
                             std::span<const int32_t> Values) {
  const detail::Region g{LoC, LoR, HiC, HiR};
  if (Adjust) {
    const auto saved = OnChange;
    OnChange = nullptr;
    try {
      Resize(static_cast<int32_t>(g.hic), static_cast<int32_t>(g.hir));
    } catch (...) {
      OnChange = saved;
      throw;
    }
    OnChange = saved;
  } else if (g.Cells() > 0 && (g.hic > FNCol || g.hir > FNRow)) {
    return false;
  }
  const int64_t rows = g.Rows();
  for (int64_t c = 0; rows > 0 && c < g.Cols(); ++c)  // an empty region copies nothing
    std::copy_n(Values.begin() + static_cast<std::ptrdiff_t>(c * rows),
                static_cast<std::size_t>(rows),
                Mat.begin() + static_cast<std::ptrdiff_t>(Idx(static_cast<int32_t>(g.loc + c),
                                                              static_cast<int32_t>(g.lor))));
  Changed();
  return true;
}

// Takes over a whole matrix read from a file (Values column by column).
void TIntMatrix::TakeOver(int32_t Nc, int32_t Nr, std::vector<int32_t>&& Values, std::string&& Id) {
  if (Values.empty())
    detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                      [&] { Values.assign(Stor(Nc) * Stor(Nr), 0); });
  Mat.swap(Values);
  FNCol = Nc;
  FNRow = Nr;
  FDataID = std::move(Id);
  Changed();
}

void TIntMatrix::SaveToStream(TMemoryStream*& OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                              int32_t HiR) const {
  RequireDense("SaveToStream");
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  if (OutStream == nullptr) OutStream = new TMemoryStream();  // the caller owns it
  detail::WriteStreamRegion(OutStream, Values(), FNRow, detail::Region{LoC, LoR, HiC, HiR});
}

void TIntMatrix::SaveToStream(TFileStream* OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                              int32_t HiR) const {
  RequireDense("SaveToStream");
  if (OutStream == nullptr) return;
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  detail::WriteStreamRegion(OutStream, Values(), FNRow, detail::Region{LoC, LoR, HiC, HiR});
}

bool TIntMatrix::LoadStream(TStream* InStream, bool AdjustMatrixSize) {
  RequireDense("LoadFromStream");
  if (InStream == nullptr) return false;
  const int64_t start = InStream->Position();
  detail::Region g;
  std::vector<int32_t> values;
  if (!detail::ReadStreamRegion(InStream, AdjustMatrixSize, FNCol, FNRow, *this, g, values))
    return false;
  if (!StoreRegion(static_cast<int32_t>(g.loc), static_cast<int32_t>(g.lor),
                   static_cast<int32_t>(g.hic), static_cast<int32_t>(g.hir), AdjustMatrixSize,
                   values)) {
    InStream->SetPosition(start);
    return false;
  }
  return true;
}

bool TIntMatrix::LoadFromStream(TMemoryStream* InStream, bool AdjustMatrixSize) {
  return LoadStream(InStream, AdjustMatrixSize);
}

bool TIntMatrix::LoadFromStream(TFileStream* InStream, bool AdjustMatrixSize) {
  return LoadStream(InStream, AdjustMatrixSize);
}

void TIntMatrix::SaveBinary(const std::string& FName) const {
  RequireDense("SaveBinary");
  detail::SaveMatrixBinary(*this, FName, FDataID, FNCol, FNRow, Values());
}

void TIntMatrix::LoadBinary(const std::string& FName) {
  RequireDense("LoadBinary");
  detail::MatrixContent<int32_t> got;
  detail::LoadMatrixBinary(*this, FName, got);
  TakeOver(got.Cols, got.Rows, std::move(got.Values), std::move(got.Id));
}

bool TIntMatrix::ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                                  std::string& DataID) const {
  return detail::ReadMatrixBinaryHeader<int32_t>(FName, NrColumns, NrRows, DataID);
}

bool TIntMatrix::ReadXml(const std::function<int64_t(char*, int64_t)>& Source,
                         const std::string& DataID, int64_t* Consumed) {
  detail::MatrixContent<int32_t> got;
  if (!detail::ReadMatrixXml(Source, DataID, *this, got, Consumed)) return false;
  TakeOver(got.Cols, got.Rows, std::move(got.Values), std::move(got.Id));
  return true;
}

void TIntMatrix::WriteXml(const std::function<void(std::string_view)>& Sink,
                          std::string_view LineEnd, bool CreateHeader,
                          const std::string& DataID) const {
  detail::WriteMatrixXml(Sink, LineEnd, CreateHeader, DataID, FNCol, FNRow, Values());
}

void TIntMatrix::SaveAsXMLFile(const std::string& FName, const std::string& DataID) const {
  RequireDense("SaveAsXMLFile");
  TTextWriter out;
  if (!out.Open(FName))
    throw EORKMatrixError(detail::ComponentMsg(*this, "cannot write file \"" + FName + "\""));
  WriteXml([&out](std::string_view s) { out.Write(s); }, "\n", true, DataID);
  if (!out.Close())
    throw EORKMatrixError(detail::ComponentMsg(*this, "cannot write file \"" + FName + "\""));
}

bool TIntMatrix::LoadFromXMLFile(const std::string& FName, const std::string& DataID) {
  RequireDense("LoadFromXMLFile");
  return detail::XmlFromFile(
      FName, [&](const detail::XmlSource& Src) { return ReadXml(Src, DataID, nullptr); });
}

void TIntMatrix::WriteToXMLStream(TStream* OutStream, bool CreateHeader,
                                  const std::string& DataID) const {
  RequireDense("WriteToXMLStream");
  if (OutStream == nullptr) return;
  WriteXml(detail::XmlStreamSink(OutStream), "\n", CreateHeader, DataID);
}

bool TIntMatrix::ReadFromXMLStream(TStream* InStream, const std::string& DataID) {
  RequireDense("ReadFromXMLStream");
  return detail::XmlFromStream(InStream, [&](const detail::XmlSource& Src, int64_t* Consumed) {
    return ReadXml(Src, DataID, Consumed);
  });
}

void TIntMatrix::WriteToOpenXMLFile(TTextWriter& OutFile, bool CreateHeader,
                                    const std::string& DataID) const {
  RequireDense("WriteToOpenXMLFile");
  WriteXml(detail::XmlTextSink(OutFile), "\r\n", CreateHeader, DataID);
}

bool TIntMatrix::ReadFromOpenXMLFile(TTextReader& InFile, const std::string& DataID) {
  RequireDense("ReadFromOpenXMLFile");
  return detail::XmlFromTextFile(
      InFile, [&](const detail::XmlSource& Src) { return ReadXml(Src, DataID, nullptr); });
}

}  // namespace numbra
