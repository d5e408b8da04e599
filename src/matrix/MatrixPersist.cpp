// TMatrix text, stream and binary file forms, and the stream and binary
// layouts that TIntMatrix shares with them (one template per form over the
// element type).
//
// Every reader checks what it reads before it changes the matrix: a file or
// stream that is malformed, truncated or announces more data than it holds
// leaves the matrix as it was. Sizes taken from a file never make a reader
// allocate more than 2^27 elements (1 GiB), nor more than the file can hold
// for the region it describes.
#include "ORK_matrix.h"
#include "foundation/crc_detail.h"
#include "foundation/frame_detail.h"
#include "matrix/matrix_io_detail.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <type_traits>

namespace numbra {

namespace detail {

std::string FormatFull(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool ParseDouble(std::string_view s, double& out) {
  if (s.empty() || s.size() > 512) return false;
  // from_chars takes no leading '+'; a sign must be followed by the number.
  std::string_view body = s;
  if (body[0] == '+') {
    body.remove_prefix(1);
    if (body.empty() || body[0] == '-' || body[0] == '+') return false;
  }
  double v = 0.0;
  const auto r = std::from_chars(body.data(), body.data() + body.size(), v);
  if (r.ptr != body.data() + body.size()) return false;
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow or underflow: strtod gives the infinity, the subnormal or
    // the zero that the text stands for.
    const std::string copy(s);
    v = std::strtod(copy.c_str(), nullptr);
  } else if (r.ec != std::errc()) {
    return false;
  }
  out = v;
  return true;
}

bool ParseInt(std::string_view s, int64_t& out) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  int64_t v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  out = v;
  return true;
}

uint32_t Crc32Update(uint32_t crc, const uint8_t* p, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w = 0;
    std::memcpy(&w, p + i, 8);
    if constexpr (std::endian::native == std::endian::big) w = ByteSwap64(w);
    crc = Crc32Step8(crc, w);
  }
  for (; i < n; ++i) crc = CalcNextCRC32(p[i], crc);
  return crc;
}

}  // namespace detail

namespace {

using detail::kMaxCellsFromFile;
using detail::Region;

constexpr std::string_view kNoHeap = "not enough memory on heap";
constexpr uint32_t kBinaryVersion = 1;
constexpr uint32_t kMaxDataIdBytes = 65536;
constexpr int64_t kBinaryHeaderBytes = 24;  // signature, version, sizes, id length

// What names the element type in the binary forms, and the word for the
// file in messages.
template <class V>
struct Format;
template <>
struct Format<double> {
  static constexpr char kStreamTag[4] = {'N', 'M', 'S', '1'};
  static constexpr char kSignature[8] = {'N', 'U', 'M', 'B', 'R', 'A', 'M', 'X'};
  static constexpr std::string_view kKind = "matrix";
  static constexpr std::string_view kArticle = "a ";
};
template <>
struct Format<int32_t> {
  static constexpr char kStreamTag[4] = {'N', 'M', 'I', '1'};
  static constexpr char kSignature[8] = {'N', 'U', 'M', 'B', 'R', 'A', 'M', 'I'};
  static constexpr std::string_view kKind = "integer matrix";
  static constexpr std::string_view kArticle = "an ";
};

// The unsigned word an element is stored as.
template <class V>
using Word = std::conditional_t<sizeof(V) == 8, uint64_t, uint32_t>;

template <class W>
constexpr W ByteSwapWord(W w) noexcept {
  W r = 0;
  for (std::size_t b = 0; b < sizeof(W); ++b)
    r |= static_cast<W>((w >> (8 * b)) & 0xFFU) << (8 * (sizeof(W) - 1 - b));
  return r;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<uint8_t>(v >> (8 * b)));
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8U |
         static_cast<uint32_t>(p[2]) << 16U | static_cast<uint32_t>(p[3]) << 24U;
}

// Appends elements in their little-endian stored form (every bit kept).
template <class V>
void PutValues(std::vector<uint8_t>& out, const V* v, std::size_t n) {
  if (n == 0) return;  // (memcpy must not see the null data() of empty vectors)
  const std::size_t at = out.size();
  out.resize(at + sizeof(V) * n);
  uint8_t* p = out.data() + at;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, v, sizeof(V) * n);
  } else {
    for (std::size_t k = 0; k < n; ++k) {
      const auto w = ByteSwapWord(std::bit_cast<Word<V>>(v[k]));
      std::memcpy(p + sizeof(V) * k, &w, sizeof(V));
    }
  }
}

template <class V>
void GetValues(const uint8_t* p, V* v, std::size_t n) {
  if (n == 0) return;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(v, p, sizeof(V) * n);
  } else {
    for (std::size_t k = 0; k < n; ++k) {
      Word<V> w = 0;
      std::memcpy(&w, p + sizeof(V) * k, sizeof(V));
      v[k] = std::bit_cast<V>(ByteSwapWord(w));
    }
  }
}

// Text of one value under the Precision settings p1 (significant digits;
// 0 or -1: shortest exact) and p2 (fixed decimals; -1: not fixed).
std::string FormatValue(double v, int32_t p1, int32_t p2) {
  if (p2 >= 0) return strff(v, 1, p2);
  if (p1 <= 0) return detail::FormatFull(v);
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, p1);
  return std::string(buf, r.ptr);
}

}  // namespace

// Writes Values (the region, column by column) into the matrix: resizes to
// HiC x HiR first when asked, or refuses a region that does not fit.
// Nothing is changed when the result is false.
bool TMatrix::StoreRegion(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR, bool Adjust,
                          std::span<const double> Values) {
  if (Adjust) {
    Resize(HiC, HiR);
  } else if (HiC > FNCol || HiR > FNRow) {
    return false;
  }
  const int64_t rows = int64_t{HiR} - LoR + 1;
  if (rows > 0)
    for (int32_t c = LoC; c <= HiC; ++c)
      std::copy_n(Values.begin() + static_cast<std::ptrdiff_t>((c - LoC) * rows),
                  static_cast<std::size_t>(rows),
                  Mat.begin() + static_cast<std::ptrdiff_t>(Idx(c, LoR)));
  Changed();
  return true;
}

// ---- text file ---------------------------------------------------------------

bool TMatrix::StoreOnFile(int32_t LoC, int32_t LoR, int32_t HiC, int32_t HiR,
                          const std::string& FileName) const {
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
      line += FormatValue(Mat[Idx(c, r)], FPrecis[0], FPrecis[1]);
    }
    out.WriteLine(line);
  }
  return out.Close();
}

bool TMatrix::LoadFromFile(const std::string& FileName, bool AdjustMatrixSize) {
  TTextReader in(FileName);
  if (!in.IsOpen()) return false;
  std::array<int32_t, 4> h{};
  for (int32_t& v : h)
    if (!in.ReadInteger(v)) return false;
  const Region g{h[0], h[1], h[2], h[3]};
  if (!g.Valid() || !g.Fits(AdjustMatrixSize, FNCol, FNRow)) return false;
  // Each value takes at least one character and one separator.
  if (g.Cells() > (in.Remaining() + 1) / 2) return false;
  std::vector<double> values;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { values.resize(static_cast<std::size_t>(g.Cells())); });
  // The file lists the region row by row; the buffer holds it column by
  // column.
  const int64_t rows = g.Rows();
  const int64_t cols = g.Cols();
  for (int64_t r = 0; r < rows; ++r)
    for (int64_t c = 0; c < cols; ++c)
      if (!in.ReadDouble(values[static_cast<std::size_t>(c * rows + r)])) return false;
  return StoreRegion(h[0], h[1], h[2], h[3], AdjustMatrixSize, values);
}

bool TMatrix::LoadFromFile(const std::string& FileName, bool AdjustMatrixSize, bool AutoDetect) {
  if (!AutoDetect) return LoadFromFile(FileName, AdjustMatrixSize);
  return LoadTable(FileName, AdjustMatrixSize);
}

bool TMatrix::LoadTable(const std::string& FileName, bool AdjustMatrixSize) {
  TTextReader in(FileName);
  if (!in.IsOpen()) return false;
  std::vector<double> cells;  // row by row
  int64_t ncols = -1;
  int64_t nrows = 0;
  std::string line;
  std::vector<std::string_view> fields;
  while (in.ReadLine(line)) {
    if (!StringContains(line, "//dig")) continue;
    if (!detail::SplitFields(line, fields)) return false;
    if (ncols < 0) ncols = static_cast<int64_t>(fields.size());
    if (static_cast<int64_t>(fields.size()) != ncols) return false;
    if (static_cast<int64_t>(cells.size()) + ncols > kMaxCellsFromFile) return false;
    for (const auto f : fields) {
      double v = 0.0;
      if (!detail::ParseDouble(f, v)) return false;
      cells.push_back(v);
    }
    ++nrows;
  }
  if (nrows == 0 || ncols > std::numeric_limits<int32_t>::max() ||
      nrows > std::numeric_limits<int32_t>::max())
    return false;
  const auto nc = static_cast<int32_t>(ncols);
  const auto nr = static_cast<int32_t>(nrows);
  if (AdjustMatrixSize) {
    detail::MatrixStorage cm;
    detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { cm.resize(cells.size()); });
    for (int64_t r = 0; r < nrows; ++r)
      for (int64_t c = 0; c < ncols; ++c)
        cm[static_cast<std::size_t>(c * nrows + r)] =
            cells[static_cast<std::size_t>(r * ncols + c)];
    TakeOver(nc, nr, std::move(cm));
  } else {
    for (int32_t r = 1; r <= std::min(nr, FNRow); ++r)
      for (int32_t c = 1; c <= std::min(nc, FNCol); ++c)
        Mat[Idx(c, r)] = cells[static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(nc) +
                               static_cast<std::size_t>(c - 1)];
  }
  Changed();
  return true;
}

// ---- stream form ---------------------------------------------------------------

namespace detail {

template <class V>
void WriteStreamRegion(corvel::TStream* Out, std::span<const V> Values, int32_t Rows,
                       const Region& g) {
  std::vector<uint8_t> out(Format<V>::kStreamTag, Format<V>::kStreamTag + 4);
  for (const int64_t v : {g.loc, g.lor, g.hic, g.hir}) PutU32(out, static_cast<uint32_t>(v));
  const auto rows = static_cast<std::size_t>(std::max<int64_t>(g.Rows(), 0));
  for (int64_t c = g.loc; c <= g.hic; ++c)
    PutValues(out,
              Values.data() + static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(Rows) +
                  static_cast<std::size_t>(g.lor - 1),
              rows);
  Out->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

template <class V>
bool ReadStreamRegion(corvel::TStream* In, bool Adjust, int32_t Nc, int32_t Nr,
                      const corvel::TComponent& Owner, Region& g, std::vector<V>& Values) {
  const int64_t start = In->Position();
  const auto fail = [&] {
    In->SetPosition(start);
    return false;
  };
  uint8_t head[20];
  if (In->Read(head, sizeof head) != static_cast<int64_t>(sizeof head)) return fail();
  if (std::memcmp(head, Format<V>::kStreamTag, 4) != 0) return fail();
  std::array<int32_t, 4> h{};
  for (std::size_t k = 0; k < 4; ++k) h[k] = static_cast<int32_t>(GetU32(head + 4 + 4 * k));
  g = Region{h[0], h[1], h[2], h[3]};
  if (!g.Valid() || !g.Fits(Adjust, Nc, Nr)) return fail();
  const int64_t rest = In->Size() - In->Position();
  if (g.Cells() > rest / static_cast<int64_t>(sizeof(V))) return fail();
  std::vector<uint8_t> raw;
  detail::Allocate<EORKMatrixError>(Owner, kNoHeap, [&] {
    raw.resize(static_cast<std::size_t>(g.Cells()) * sizeof(V));
    Values.resize(static_cast<std::size_t>(g.Cells()));
  });
  if (In->Read(raw.data(), static_cast<int64_t>(raw.size())) != static_cast<int64_t>(raw.size()))
    return fail();
  GetValues(raw.data(), Values.data(), Values.size());
  return true;
}

template void WriteStreamRegion<double>(corvel::TStream*, std::span<const double>, int32_t,
                                        const Region&);
template void WriteStreamRegion<int32_t>(corvel::TStream*, std::span<const int32_t>, int32_t,
                                         const Region&);
template bool ReadStreamRegion<double>(corvel::TStream*, bool, int32_t, int32_t,
                                       const corvel::TComponent&, Region&, std::vector<double>&);
template bool ReadStreamRegion<int32_t>(corvel::TStream*, bool, int32_t, int32_t,
                                        const corvel::TComponent&, Region&, std::vector<int32_t>&);

}  // namespace detail

void TMatrix::SaveToStream(TMemoryStream*& OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                           int32_t HiR) const {
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  if (OutStream == nullptr) OutStream = new TMemoryStream();  // the caller owns it
  detail::WriteStreamRegion(OutStream, Values(), FNRow, Region{LoC, LoR, HiC, HiR});
}

void TMatrix::SaveToStream(TFileStream* OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                           int32_t HiR) const {
  if (OutStream == nullptr) return;
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  detail::WriteStreamRegion(OutStream, Values(), FNRow, Region{LoC, LoR, HiC, HiR});
}

template <class S>
bool TMatrix::LoadFromStreamImpl(S* InStream, bool AdjustMatrixSize) {
  if (InStream == nullptr) return false;
  const int64_t start = InStream->Position();
  Region g;
  std::vector<double> values;
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

bool TMatrix::LoadFromStream(TMemoryStream* InStream, bool AdjustMatrixSize) {
  return LoadFromStreamImpl(InStream, AdjustMatrixSize);
}

bool TMatrix::LoadFromStream(TFileStream* InStream, bool AdjustMatrixSize) {
  return LoadFromStreamImpl(InStream, AdjustMatrixSize);
}

// ---- binary file -----------------------------------------------------------------

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

enum class HeaderCheck : uint8_t { kOk, kNotMatrix, kVersion, kDamaged };

// Reads and checks the header; the file then stands at the first element.
// The sizes must describe a file of exactly its length, so no allocation
// exceeds what the file holds.
template <class V>
HeaderCheck ReadHeader(std::FILE* f, int64_t file_size, detail::MatrixContent<V>& h,
                       uint32_t& version, uint32_t& crc) {
  uint8_t head[kBinaryHeaderBytes];
  if (std::fread(head, 1, sizeof head, f) != sizeof head) return HeaderCheck::kNotMatrix;
  if (std::memcmp(head, Format<V>::kSignature, 8) != 0) return HeaderCheck::kNotMatrix;
  version = GetU32(head + 8);
  if (version != kBinaryVersion) return HeaderCheck::kVersion;
  const auto cols = static_cast<int32_t>(GetU32(head + 12));
  const auto rows = static_cast<int32_t>(GetU32(head + 16));
  const uint32_t id_len = GetU32(head + 20);
  if (id_len > kMaxDataIdBytes || !detail::PlausibleSize(cols, rows, int64_t{cols} * rows))
    return HeaderCheck::kDamaged;
  if (file_size != kBinaryHeaderBytes + int64_t{id_len} +
                       static_cast<int64_t>(sizeof(V)) * int64_t{cols} * rows + 4)
    return HeaderCheck::kDamaged;
  std::string id(id_len, '\0');
  if (id_len > 0 && std::fread(id.data(), 1, id_len, f) != id_len) return HeaderCheck::kDamaged;
  crc = detail::Crc32Update(0xFFFFFFFFU, head, sizeof head);
  crc = detail::Crc32Update(crc, reinterpret_cast<const uint8_t*>(id.data()), id.size());
  h.Cols = cols;
  h.Rows = rows;
  h.Id = std::move(id);
  return HeaderCheck::kOk;
}

}  // namespace

namespace detail {

template <class V>
void SaveMatrixBinary(const corvel::TComponent& Owner, const std::string& FName,
                      const std::string& DataID, int32_t Cols, int32_t Rows,
                      std::span<const V> Values) {
  const auto fail = [&] {
    return EORKMatrixError(detail::ComponentMsg(Owner, "cannot write file \"" + FName + "\""));
  };
  if (DataID.size() > kMaxDataIdBytes) throw fail();
  std::vector<uint8_t> head(Format<V>::kSignature, Format<V>::kSignature + 8);
  PutU32(head, kBinaryVersion);
  PutU32(head, static_cast<uint32_t>(Cols));
  PutU32(head, static_cast<uint32_t>(Rows));
  PutU32(head, static_cast<uint32_t>(DataID.size()));
  head.insert(head.end(), DataID.begin(), DataID.end());
  FilePtr f(std::fopen(FName.c_str(), "wb"));
  if (!f) throw fail();
  uint32_t crc = detail::Crc32Update(0xFFFFFFFFU, head.data(), head.size());
  bool ok = std::fwrite(head.data(), 1, head.size(), f.get()) == head.size();
  // The elements in chunks, so that a large matrix needs no second copy.
  constexpr std::size_t kChunkValues = 1 << 15;
  std::vector<uint8_t> chunk;
  for (std::size_t k = 0; ok && k < Values.size(); k += kChunkValues) {
    chunk.clear();
    PutValues(chunk, Values.data() + k, std::min(kChunkValues, Values.size() - k));
    crc = detail::Crc32Update(crc, chunk.data(), chunk.size());
    ok = std::fwrite(chunk.data(), 1, chunk.size(), f.get()) == chunk.size();
  }
  std::vector<uint8_t> tail;
  PutU32(tail, ~crc);
  ok = ok && std::fwrite(tail.data(), 1, tail.size(), f.get()) == tail.size();
  ok = (std::fclose(f.release()) == 0) && ok;
  if (!ok) throw fail();
}

template <class V>
void LoadMatrixBinary(const corvel::TComponent& Owner, const std::string& FName,
                      MatrixContent<V>& Out) {
  const auto error = [&](const std::string& text) {
    return EORKMatrixError(detail::ComponentMsg(Owner, text));
  };
  const std::string kind(Format<V>::kKind);
  const int64_t size = corvel::FileSizeOf(FName);
  FilePtr f(size >= 0 ? std::fopen(FName.c_str(), "rb") : nullptr);
  if (!f) throw error("cannot open file \"" + FName + "\"");
  MatrixContent<V> h;
  uint32_t version = 0;
  uint32_t crc = 0;
  switch (ReadHeader(f.get(), size, h, version, crc)) {
    case HeaderCheck::kOk:
      break;
    case HeaderCheck::kNotMatrix:
      throw error("\"" + FName + "\" is not " + std::string(Format<V>::kArticle) + kind +
                  " binary file");
    case HeaderCheck::kVersion:
      throw error(kind + " binary file \"" + FName + "\" has unsupported version " +
                  std::to_string(version));
    case HeaderCheck::kDamaged:
      throw error(kind + " binary file \"" + FName + "\" is damaged");
  }
  const auto cells = static_cast<std::size_t>(int64_t{h.Cols} * h.Rows);
  std::vector<uint8_t> raw;
  detail::Allocate<EORKMatrixError>(Owner, kNoHeap, [&] {
    raw.resize(cells * sizeof(V) + 4);
    h.Values.resize(cells);
  });
  if (std::fread(raw.data(), 1, raw.size(), f.get()) != raw.size())
    throw error(kind + " binary file \"" + FName + "\" is damaged");
  crc = detail::Crc32Update(crc, raw.data(), cells * sizeof(V));
  if (~crc != GetU32(raw.data() + cells * sizeof(V)))
    throw error(kind + " binary file \"" + FName + "\" is damaged");
  GetValues(raw.data(), h.Values.data(), cells);
  Out = std::move(h);
}

template <class V>
bool ReadMatrixBinaryHeader(const std::string& FName, int32_t& Cols, int32_t& Rows,
                            std::string& DataID) {
  const int64_t size = corvel::FileSizeOf(FName);
  FilePtr f(size >= 0 ? std::fopen(FName.c_str(), "rb") : nullptr);
  if (!f) return false;
  MatrixContent<V> h;
  uint32_t version = 0;
  uint32_t crc = 0;
  if (ReadHeader(f.get(), size, h, version, crc) != HeaderCheck::kOk) return false;
  Cols = h.Cols;
  Rows = h.Rows;
  DataID = std::move(h.Id);
  return true;
}

template void SaveMatrixBinary<double>(const corvel::TComponent&, const std::string&,
                                       const std::string&, int32_t, int32_t,
                                       std::span<const double>);
template void SaveMatrixBinary<int32_t>(const corvel::TComponent&, const std::string&,
                                        const std::string&, int32_t, int32_t,
                                        std::span<const int32_t>);
template void LoadMatrixBinary<double>(const corvel::TComponent&, const std::string&,
                                       MatrixContent<double>&);
template void LoadMatrixBinary<int32_t>(const corvel::TComponent&, const std::string&,
                                        MatrixContent<int32_t>&);
template bool ReadMatrixBinaryHeader<double>(const std::string&, int32_t&, int32_t&, std::string&);
template bool ReadMatrixBinaryHeader<int32_t>(const std::string&, int32_t&, int32_t&, std::string&);

}  // namespace detail

void TMatrix::SaveBinary(const std::string& FName) const {
  detail::SaveMatrixBinary(*this, FName, FDataID, FNCol, FNRow, Values());
}

void TMatrix::LoadBinary(const std::string& FName) {
  detail::MatrixContent<double> got;
  detail::LoadMatrixBinary(*this, FName, got);
  TakeOver(got.Cols, got.Rows, std::move(got.Values));
  FDataID = std::move(got.Id);
  Changed();
}

bool TMatrix::ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                               std::string& DataID) const {
  return detail::ReadMatrixBinaryHeader<double>(FName, NrColumns, NrRows, DataID);
}

}  // namespace numbra
