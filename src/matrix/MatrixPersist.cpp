// TMatrix text, stream and binary file forms.
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
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

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

constexpr std::string_view kNoHeap = "not enough memory on heap";
constexpr char kStreamTag[4] = {'N', 'M', 'S', '1'};
constexpr char kBinarySignature[8] = {'N', 'U', 'M', 'B', 'R', 'A', 'M', 'X'};
constexpr uint32_t kBinaryVersion = 1;
constexpr uint32_t kMaxDataIdBytes = 65536;
constexpr int64_t kBinaryHeaderBytes = 24;  // signature, version, sizes, id length

// A stored region LoC..HiC x LoR..HiR; Hi = Lo - 1 is an empty extent.
struct Region {
  int64_t loc = 1, lor = 1, hic = 0, hir = 0;
  [[nodiscard]] int64_t Cols() const { return hic - loc + 1; }
  [[nodiscard]] int64_t Rows() const { return hir - lor + 1; }
  [[nodiscard]] int64_t Cells() const { return Cols() * Rows(); }
  // Plausible bounds: Lo >= 1, Hi >= Lo - 1, 32-bit, at most 2^27 cells.
  [[nodiscard]] bool Valid() const {
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    if (loc < 1 || lor < 1 || hic > kMax || hir > kMax || hic < loc - 1 || hir < lor - 1)
      return false;
    return Cells() <= kMaxCellsFromFile;
  }
};

// Whether the region can go into a matrix of nc x nr, or, with adjusting,
// whether the matrix may be resized to HiC x HiR on the word of the file.
bool Fits(const Region& g, bool adjust, int32_t nc, int32_t nr) {
  if (g.hic <= nc && g.hir <= nr) return true;
  return adjust && detail::PlausibleSize(g.hic, g.hir, g.Cells());
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<uint8_t>(v >> (8 * b)));
}

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8U |
         static_cast<uint32_t>(p[2]) << 16U | static_cast<uint32_t>(p[3]) << 24U;
}

// Appends doubles as 8-byte little-endian IEEE values.
void PutDoubles(std::vector<uint8_t>& out, const double* v, std::size_t n) {
  if (n == 0) return;  // (memcpy must not see the null data() of empty vectors)
  const std::size_t at = out.size();
  out.resize(at + 8 * n);
  uint8_t* p = out.data() + at;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, v, 8 * n);
  } else {
    for (std::size_t k = 0; k < n; ++k) {
      const uint64_t w = detail::ByteSwap64(std::bit_cast<uint64_t>(v[k]));
      std::memcpy(p + 8 * k, &w, 8);
    }
  }
}

void GetDoubles(const uint8_t* p, double* v, std::size_t n) {
  if (n == 0) return;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(v, p, 8 * n);
  } else {
    for (std::size_t k = 0; k < n; ++k) {
      uint64_t w = 0;
      std::memcpy(&w, p + 8 * k, 8);
      v[k] = std::bit_cast<double>(detail::ByteSwap64(w));
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
  if (!g.Valid() || !Fits(g, AdjustMatrixSize, FNCol, FNRow)) return false;
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
    std::vector<double> cm;
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

namespace {
void WriteStreamForm(TStream* s, const TMatrix& m, int32_t loc, int32_t lor, int32_t hic,
                     int32_t hir) {
  std::vector<uint8_t> out(kStreamTag, kStreamTag + 4);
  for (const int32_t v : {loc, lor, hic, hir}) PutU32(out, static_cast<uint32_t>(v));
  const auto vals = m.Values();
  const auto rows = static_cast<std::size_t>(std::max(hir - lor + 1, 0));
  for (int32_t c = loc; c <= hic; ++c)
    PutDoubles(out,
               vals.data() +
                   static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(m.NrOfRows()) +
                   static_cast<std::size_t>(lor - 1),
               rows);
  s->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}
}  // namespace

void TMatrix::SaveToStream(TMemoryStream*& OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                           int32_t HiR) const {
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  if (OutStream == nullptr) OutStream = new TMemoryStream();  // the caller owns it
  WriteStreamForm(OutStream, *this, LoC, LoR, HiC, HiR);
}

void TMatrix::SaveToStream(TFileStream* OutStream, int32_t LoC, int32_t LoR, int32_t HiC,
                           int32_t HiR) const {
  if (OutStream == nullptr) return;
  MakeValidColRange(LoC, HiC);
  MakeValidRowRange(LoR, HiR);
  WriteStreamForm(OutStream, *this, LoC, LoR, HiC, HiR);
}

template <class S>
bool TMatrix::LoadFromStreamImpl(S* InStream, bool AdjustMatrixSize) {
  if (InStream == nullptr) return false;
  const int64_t start = InStream->Position();
  const auto fail = [&] {
    InStream->SetPosition(start);
    return false;
  };
  uint8_t head[20];
  if (InStream->Read(head, sizeof head) != static_cast<int64_t>(sizeof head)) return fail();
  if (std::memcmp(head, kStreamTag, 4) != 0) return fail();
  std::array<int32_t, 4> h{};
  for (std::size_t k = 0; k < 4; ++k) h[k] = static_cast<int32_t>(GetU32(head + 4 + 4 * k));
  const Region g{h[0], h[1], h[2], h[3]};
  if (!g.Valid() || !Fits(g, AdjustMatrixSize, FNCol, FNRow)) return fail();
  const int64_t rest = InStream->Size() - InStream->Position();
  if (g.Cells() > rest / 8) return fail();
  std::vector<uint8_t> raw;
  std::vector<double> values;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    raw.resize(static_cast<std::size_t>(g.Cells()) * 8);
    values.resize(static_cast<std::size_t>(g.Cells()));
  });
  if (InStream->Read(raw.data(), static_cast<int64_t>(raw.size())) !=
      static_cast<int64_t>(raw.size()))
    return fail();
  GetDoubles(raw.data(), values.data(), values.size());
  if (!StoreRegion(h[0], h[1], h[2], h[3], AdjustMatrixSize, values)) return fail();
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

struct BinaryHeader {
  int32_t cols = 0;
  int32_t rows = 0;
  std::string data_id;
};

enum class HeaderCheck : uint8_t { kOk, kNotMatrix, kVersion, kDamaged };

// Reads and checks the header; the file then stands at the first element.
HeaderCheck ReadHeader(std::FILE* f, int64_t file_size, BinaryHeader& h, uint32_t& version,
                       uint32_t& crc) {
  uint8_t head[kBinaryHeaderBytes];
  if (std::fread(head, 1, sizeof head, f) != sizeof head) return HeaderCheck::kNotMatrix;
  if (std::memcmp(head, kBinarySignature, 8) != 0) return HeaderCheck::kNotMatrix;
  version = GetU32(head + 8);
  if (version != kBinaryVersion) return HeaderCheck::kVersion;
  const auto cols = static_cast<int32_t>(GetU32(head + 12));
  const auto rows = static_cast<int32_t>(GetU32(head + 16));
  const uint32_t id_len = GetU32(head + 20);
  if (id_len > kMaxDataIdBytes || !detail::PlausibleSize(cols, rows, int64_t{cols} * rows))
    return HeaderCheck::kDamaged;
  if (file_size != kBinaryHeaderBytes + int64_t{id_len} + 8 * int64_t{cols} * rows + 4)
    return HeaderCheck::kDamaged;
  std::string id(id_len, '\0');
  if (id_len > 0 && std::fread(id.data(), 1, id_len, f) != id_len) return HeaderCheck::kDamaged;
  crc = detail::Crc32Update(0xFFFFFFFFU, head, sizeof head);
  crc = detail::Crc32Update(crc, reinterpret_cast<const uint8_t*>(id.data()), id.size());
  h.cols = cols;
  h.rows = rows;
  h.data_id = std::move(id);
  return HeaderCheck::kOk;
}

}  // namespace

void TMatrix::SaveBinary(const std::string& FName) const {
  const auto fail = [&] {
    return EORKMatrixError(detail::ComponentMsg(*this, "cannot write file \"" + FName + "\""));
  };
  if (FDataID.size() > kMaxDataIdBytes) throw fail();
  std::vector<uint8_t> head(kBinarySignature, kBinarySignature + 8);
  PutU32(head, kBinaryVersion);
  PutU32(head, static_cast<uint32_t>(FNCol));
  PutU32(head, static_cast<uint32_t>(FNRow));
  PutU32(head, static_cast<uint32_t>(FDataID.size()));
  head.insert(head.end(), FDataID.begin(), FDataID.end());
  FilePtr f(std::fopen(FName.c_str(), "wb"));
  if (!f) throw fail();
  uint32_t crc = detail::Crc32Update(0xFFFFFFFFU, head.data(), head.size());
  bool ok = std::fwrite(head.data(), 1, head.size(), f.get()) == head.size();
  // The elements in chunks, so that a large matrix needs no second copy.
  const auto vals = Values();
  constexpr std::size_t kChunkValues = 1 << 15;
  std::vector<uint8_t> chunk;
  for (std::size_t k = 0; ok && k < vals.size(); k += kChunkValues) {
    chunk.clear();
    PutDoubles(chunk, vals.data() + k, std::min(kChunkValues, vals.size() - k));
    crc = detail::Crc32Update(crc, chunk.data(), chunk.size());
    ok = std::fwrite(chunk.data(), 1, chunk.size(), f.get()) == chunk.size();
  }
  std::vector<uint8_t> tail;
  PutU32(tail, ~crc);
  ok = ok && std::fwrite(tail.data(), 1, tail.size(), f.get()) == tail.size();
  ok = (std::fclose(f.release()) == 0) && ok;
  if (!ok) throw fail();
}

void TMatrix::LoadBinary(const std::string& FName) {
  const auto error = [&](const std::string& text) {
    return EORKMatrixError(detail::ComponentMsg(*this, text));
  };
  const int64_t size = corvel::FileSizeOf(FName);
  FilePtr f(size >= 0 ? std::fopen(FName.c_str(), "rb") : nullptr);
  if (!f) throw error("cannot open file \"" + FName + "\"");
  BinaryHeader h;
  uint32_t version = 0;
  uint32_t crc = 0;
  switch (ReadHeader(f.get(), size, h, version, crc)) {
    case HeaderCheck::kOk:
      break;
    case HeaderCheck::kNotMatrix:
      throw error("\"" + FName + "\" is not a matrix binary file");
    case HeaderCheck::kVersion:
      throw error("matrix binary file \"" + FName + "\" has unsupported version " +
                  std::to_string(version));
    case HeaderCheck::kDamaged:
      throw error("matrix binary file \"" + FName + "\" is damaged");
  }
  const auto cells = static_cast<std::size_t>(int64_t{h.cols} * h.rows);
  std::vector<uint8_t> raw;
  std::vector<double> values;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] {
    raw.resize(cells * 8 + 4);
    values.resize(cells);
  });
  if (std::fread(raw.data(), 1, raw.size(), f.get()) != raw.size())
    throw error("matrix binary file \"" + FName + "\" is damaged");
  crc = detail::Crc32Update(crc, raw.data(), cells * 8);
  if (~crc != GetU32(raw.data() + cells * 8))
    throw error("matrix binary file \"" + FName + "\" is damaged");
  GetDoubles(raw.data(), values.data(), cells);
  TakeOver(h.cols, h.rows, std::move(values));
  FDataID = std::move(h.data_id);
  Changed();
}

bool TMatrix::ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                               std::string& DataID) const {
  const int64_t size = corvel::FileSizeOf(FName);
  FilePtr f(size >= 0 ? std::fopen(FName.c_str(), "rb") : nullptr);
  if (!f) return false;
  BinaryHeader h;
  uint32_t version = 0;
  uint32_t crc = 0;
  if (ReadHeader(f.get(), size, h, version, crc) != HeaderCheck::kOk) return false;
  NrColumns = h.cols;
  NrRows = h.rows;
  DataID = std::move(h.data_id);
  return true;
}

}  // namespace numbra
