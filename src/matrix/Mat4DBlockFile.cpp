// TMat4D block file: 4096-byte records, a header record with the sizes and
// the identifier, then the values as one stream of little-endian doubles in
// storage order (see the class comment in ORK_matrix.h).
//
// The storage order of TMat4D is the file order, so a selection of time
// slots is one contiguous run on both sides and is moved with large
// fread/fwrite calls (byte-swapped in a buffer on big-endian hosts). Every
// size taken from a header is checked against the length of the file before
// anything is allocated, with products formed in 64 bits and capped, so a
// header cannot demand more memory than the file's values justify.
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"
#include "matrix/mat4d_detail.h"
#include "matrix/matrix_io_detail.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace numbra {

namespace {

constexpr int64_t kRecord = 4096;
constexpr int64_t kPerRecord = kRecord / 8;
constexpr int64_t kMaxValues = int64_t{1} << 62;
constexpr std::size_t kChunk = std::size_t{1} << 16;  // values per buffered transfer

struct Closer {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, Closer>;

[[noreturn]] void IoFail(std::string_view What, const std::string& FName) {
  throw EInOutError(std::string(What) + " file \"" + FName + "\"");
}
[[noreturn]] void Damaged(const std::string& FName, std::string_view Why) {
  throw EInOutError("Block file \"" + FName + "\" is damaged: " + std::string(Why));
}

bool SeekTo(std::FILE* f, int64_t Pos) { return fseeko(f, static_cast<off_t>(Pos), SEEK_SET) == 0; }

int64_t LengthOf(std::FILE* f) {
  if (fseeko(f, 0, SEEK_END) != 0) return -1;
  return static_cast<int64_t>(ftello(f));
}

int32_t GetI32(const uint8_t* p) {
  const uint32_t u =
      uint32_t{p[0]} | (uint32_t{p[1]} << 8U) | (uint32_t{p[2]} << 16U) | (uint32_t{p[3]} << 24U);
  return static_cast<int32_t>(u);
}
void PutI32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int b = 0; b < 4; ++b) p[b] = static_cast<uint8_t>(u >> (8U * static_cast<unsigned>(b)));
}

// a * b, or kMaxValues + 1 once the product passes kMaxValues.
int64_t MulCapped(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  if (a > kMaxValues / b) return kMaxValues + 1;
  return a * b;
}

// DataID as the header's single-byte string: UTF-8 decoded, characters up
// to U+00FF kept as one Latin-1 byte, others (and broken sequences) '?';
// at most 255 characters.
std::string ToLatin1(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size() && out.size() < 255;) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (c >= 0xF8) len = 1;
    bool ok = len > 1 && i + len <= s.size();
    uint32_t cp = len == 2 ? c & 0x1FU : len == 3 ? c & 0x0FU : c & 0x07U;
    for (std::size_t k = 1; ok && k < len; ++k) {
      const auto cc = static_cast<uint8_t>(s[i + k]);
      if ((cc & 0xC0U) != 0x80U) ok = false;
      cp = (cp << 6U) | (cc & 0x3FU);
    }
    if (!ok) len = 1;
    out += (ok && cp <= 0xFF) ? static_cast<char>(cp) : '?';
    i += len;
  }
  return out;
}

std::string FromLatin1(const uint8_t* p, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] < 0x80) {
      out += static_cast<char>(p[i]);
    } else {
      out += static_cast<char>(0xC0U | (p[i] >> 6U));
      out += static_cast<char>(0x80U | (p[i] & 0x3FU));
    }
  }
  return out;
}

struct Header {
  std::array<uint8_t, kRecord> raw{};
  int32_t x = 0, y = 0, z = 0, t = 0;
  std::string id;
  int64_t length = 0;    // bytes of the file
  int64_t per_slot = 0;  // x y z, capped
  int64_t claimed = 0;   // values the header claims, capped
  [[nodiscard]] int64_t Present() const { return (length - kRecord) / 8; }
  // Sizes that describe this file.
  [[nodiscard]] bool Valid() const {
    return x >= 1 && y >= 1 && z >= 1 && t >= 0 && claimed <= kMaxValues && claimed <= Present();
  }
};

Header ReadHeader(std::FILE* f, const std::string& FName) {
  Header h;
  h.length = LengthOf(f);
  if (h.length < kRecord || !SeekTo(f, 0) ||
      std::fread(h.raw.data(), 1, h.raw.size(), f) != h.raw.size())
    Damaged(FName, "shorter than its header record");
  h.x = GetI32(&h.raw[0]);
  h.y = GetI32(&h.raw[4]);
  h.z = GetI32(&h.raw[8]);
  h.t = GetI32(&h.raw[12]);
  h.id = FromLatin1(&h.raw[17], h.raw[16]);
  if (h.x >= 1 && h.y >= 1 && h.z >= 1) {
    h.per_slot = MulCapped(MulCapped(h.x, h.y), h.z);
    h.claimed = h.t >= 0 ? MulCapped(h.per_slot, h.t) : 0;
  }
  return h;
}

void CheckHeader(const Header& h, const std::string& FName) {
  if (h.x < 1 || h.y < 1 || h.z < 1 || h.t < 0) Damaged(FName, "sizes below 1");
  if (h.claimed > kMaxValues) Damaged(FName, "sizes beyond 2^62 values");
  if (h.claimed > h.Present()) Damaged(FName, "fewer values than its header claims");
}

FilePtr Open(const std::string& FName, const char* Mode) {
  if (corvel::FileSizeOf(FName) < 0) IoFail("Cannot open", FName);  // missing, or a directory
  FilePtr f(std::fopen(FName.c_str(), Mode));
  if (!f) IoFail("Cannot open", FName);
  return f;
}

// Little-endian doubles to and from the file.
void WriteValues(std::FILE* f, const double* p, std::size_t n, const std::string& FName) {
  if constexpr (std::endian::native == std::endian::little) {
    if (std::fwrite(p, sizeof(double), n, f) != n) IoFail("Cannot write", FName);
  } else {
    std::vector<uint64_t> buf(std::min(n, kChunk));
    for (std::size_t done = 0; done < n;) {
      const std::size_t k = std::min(n - done, buf.size());
      for (std::size_t i = 0; i < k; ++i)
        buf[i] = detail::ByteSwap64(std::bit_cast<uint64_t>(p[done + i]));
      if (std::fwrite(buf.data(), 8, k, f) != k) IoFail("Cannot write", FName);
      done += k;
    }
  }
}

void ReadValues(std::FILE* f, double* p, std::size_t n, const std::string& FName) {
  if (std::fread(p, sizeof(double), n, f) != n) Damaged(FName, "it ends before its last value");
  if constexpr (std::endian::native != std::endian::little)
    for (std::size_t i = 0; i < n; ++i)
      p[i] = std::bit_cast<double>(detail::ByteSwap64(std::bit_cast<uint64_t>(p[i])));
}

void PadRecord(std::FILE* f, int64_t Values, const std::string& FName) {
  const int64_t rest = (kPerRecord - Values % kPerRecord) % kPerRecord;
  static const std::array<double, kPerRecord> zeros{};
  if (rest > 0) WriteValues(f, zeros.data(), static_cast<std::size_t>(rest), FName);
}

// Runs Piece(first, count) over 0..n in pieces that end at every
// max(n div 100, 1)-th value (and at n), calling Progress(percent) at those
// multiples: the progress rule of the block file operations.
template <class PieceFn, class ProgressFn>
void InSteps(int64_t n, PieceFn&& Piece, ProgressFn&& Progress) {
  const int64_t step = std::max<int64_t>(n / 100, 1);
  for (int64_t done = 0; done < n;) {
    const int64_t next = std::min(n, (done / step + 1) * step);
    for (int64_t at = done; at < next;) {
      const int64_t k = std::min<int64_t>(next - at, int64_t{1} << 20);
      Piece(at, k);
      at += k;
    }
    done = next;
    if (done % step == 0)
      Progress(static_cast<int32_t>(
          std::nearbyint(static_cast<double>(done) * 100.0 / static_cast<double>(n))));
  }
}

}  // namespace

void TMat4D::SaveBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd) {
  if (TSlotStart > FNumT) detail::CheckTimeSlot(*this, TSlotStart, FNumT);
  TSlotEnd = std::min(TSlotEnd, FNumT);
  if (TSlotStart < 1 || TSlotEnd < 1) {
    TSlotStart = 1;
    TSlotEnd = FNumT;
  }
  if (TSlotEnd < TSlotStart) detail::CheckTimeSlot(*this, 0, 0);
  FilePtr f(std::fopen(FName.c_str(), "wb"));
  if (!f) IoFail("Cannot create", FName);
  Header h;
  PutI32(&h.raw[0], FNumX);
  PutI32(&h.raw[4], FNumY);
  PutI32(&h.raw[8], FNumZ);
  PutI32(&h.raw[12], TSlotEnd - TSlotStart + 1);
  const std::string id = ToLatin1(FDataID);
  h.raw[16] = static_cast<uint8_t>(id.size());
  std::memcpy(&h.raw[17], id.data(), id.size());
  if (std::fwrite(h.raw.data(), 1, h.raw.size(), f.get()) != h.raw.size())
    IoFail("Cannot write", FName);
  const std::size_t slot = detail::Count4(FNumX, FNumY, FNumZ, 1);
  const double* first = Mat.data() + slot * static_cast<std::size_t>(TSlotStart - 1);
  const auto n = static_cast<int64_t>(slot * static_cast<std::size_t>(TSlotEnd - TSlotStart + 1));
  InSteps(
      n,
      [&](int64_t at, int64_t k) {
        WriteValues(f.get(), first + at, static_cast<std::size_t>(k), FName);
      },
      [&](int32_t percent) { PercDone(this, percent); });
  PadRecord(f.get(), n, FName);
  if (std::fclose(f.release()) != 0) IoFail("Cannot write", FName);
}

void TMat4D::AppendToBinaryFile(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd) {
  FilePtr f = Open(FName, "r+b");
  Header h = ReadHeader(f.get(), FName);
  if (h.x != FNumX || h.y != FNumY || h.z != FNumZ)
    throw EORKMatrixError(detail::ComponentMsg(*this, "X,Y,Z of matrices do not match"));
  if (TSlotStart > FNumT) detail::CheckTimeSlot(*this, TSlotStart, FNumT);
  TSlotEnd = std::min(TSlotEnd, FNumT);
  if (TSlotStart < 1 || TSlotEnd < 1) {
    TSlotStart = 1;
    TSlotEnd = FNumT;
  }
  if (TSlotEnd < TSlotStart) detail::CheckTimeSlot(*this, 0, 0);
  CheckHeader(h, FName);
  const int64_t added = int64_t{TSlotEnd} - TSlotStart + 1;
  if (h.t + added > std::numeric_limits<int32_t>::max()) detail::CheckTimeSlot(*this, 0, 0);
  // The values continue the stream right after the stored ones (record 1 +
  // m div 512, slot m mod 512): the first values of a partly filled record
  // are kept by writing from there on.
  const int64_t m = h.claimed;
  if (!SeekTo(f.get(), kRecord + 8 * m)) IoFail("Cannot write", FName);
  const std::size_t slot = detail::Count4(FNumX, FNumY, FNumZ, 1);
  const double* first = Mat.data() + slot * static_cast<std::size_t>(TSlotStart - 1);
  const auto n = static_cast<int64_t>(slot) * added;
  InSteps(
      n,
      [&](int64_t at, int64_t k) {
        WriteValues(f.get(), first + at, static_cast<std::size_t>(k), FName);
      },
      [&](int32_t percent) { PercDone(this, percent); });
  PadRecord(f.get(), m + n, FName);
  // The header last: until it is rewritten the file describes its old
  // contents.
  PutI32(&h.raw[12], static_cast<int32_t>(h.t + added));
  if (std::fflush(f.get()) != 0 || !SeekTo(f.get(), 0) ||
      std::fwrite(h.raw.data(), 1, h.raw.size(), f.get()) != h.raw.size())
    IoFail("Cannot write", FName);
  if (std::fclose(f.release()) != 0) IoFail("Cannot write", FName);
}

bool TMat4D::ReadBinaryHeader(const std::string& FName, int32_t& NrColumns, int32_t& NrRows,
                              int32_t& NrLayers, int32_t& NrTimeSlots, std::string& DataID) const {
  FilePtr f = Open(FName, "rb");
  const Header h = ReadHeader(f.get(), FName);
  NrColumns = h.x;
  NrRows = h.y;
  NrLayers = h.z;
  NrTimeSlots = h.t;
  DataID = h.id;
  return h.Valid() && h.t >= 1;
}

namespace {
// The time slot selection of LoadBinary and ReadBinary on a checked header:
// TSlotStart beyond the file's count raises, TSlotEnd is capped, bounds that
// are not positive select all.
void SelectSlots(const TComponent& C, const Header& h, int32_t& TSlotStart, int32_t& TSlotEnd) {
  if (TSlotStart > h.t) detail::CheckTimeSlot(C, TSlotStart, h.t);
  TSlotEnd = std::min(TSlotEnd, h.t);
  if (TSlotStart < 1 || TSlotEnd < 1) {
    TSlotStart = 1;
    TSlotEnd = h.t;
  }
  if (TSlotEnd < TSlotStart) detail::CheckTimeSlot(C, 0, 0);  // also a file of no slots
}
}  // namespace

void TMat4D::LoadBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd) {
  FilePtr f = Open(FName, "rb");
  const Header h = ReadHeader(f.get(), FName);
  CheckHeader(h, FName);
  SelectSlots(*this, h, TSlotStart, TSlotEnd);
  const int32_t nt = TSlotEnd - TSlotStart + 1;
  const int64_t n = h.per_slot * nt;  // within what the file holds
  std::vector<double> values;
  detail::Allocate<EORKMatrixError>(*this, "cannot resize, memory low",
                                    [&] { values.resize(static_cast<std::size_t>(n)); });
  if (!SeekTo(f.get(), kRecord + 8 * h.per_slot * (TSlotStart - 1)))
    Damaged(FName, "it ends before its last value");
  InSteps(
      n,
      [&](int64_t at, int64_t k) {
        ReadValues(f.get(), values.data() + at, static_cast<std::size_t>(k), FName);
      },
      [&](int32_t percent) { PercDone(this, percent); });
  TakeOver(h.x, h.y, h.z, nt, std::move(values));
  FDataID = h.id;
  Changed();
}

void TMat4D::ReadBinary(const std::string& FName, int32_t TSlotStart, int32_t TSlotEnd) {
  FilePtr f = Open(FName, "rb");
  const Header h = ReadHeader(f.get(), FName);
  CheckHeader(h, FName);
  SelectSlots(*this, h, TSlotStart, TSlotEnd);
  const int64_t n = h.per_slot * (int64_t{TSlotEnd} - TSlotStart + 1);
  if (!SeekTo(f.get(), kRecord + 8 * h.per_slot * (TSlotStart - 1)))
    Damaged(FName, "it ends before its last value");
  std::vector<double> buf(static_cast<std::size_t>(std::min<int64_t>(n, kChunk)));
  // The position of the next value, advanced column fastest.
  int32_t x = 1, y = 1, z = 1, t = 1;
  InSteps(
      n,
      [&](int64_t, int64_t k) {
        for (int64_t at = 0; at < k;) {
          const auto m = static_cast<std::size_t>(std::min<int64_t>(k - at, kChunk));
          ReadValues(f.get(), buf.data(), m, FName);
          at += static_cast<int64_t>(m);
          if (!OnReadElement) continue;
          for (std::size_t i = 0; i < m; ++i) {
            ReadElement(this, x, y, z, t, buf[i]);
            if (++x > h.x) {
              x = 1;
              if (++y > h.y) {
                y = 1;
                if (++z > h.z) {
                  z = 1;
                  ++t;
                }
              }
            }
          }
        }
      },
      [&](int32_t percent) { PercDone(this, percent); });
}

namespace {
// Reads layer Layer of time slot TSlot of a checked file: X Y values, row by
// row.
std::vector<double> ReadPlane(std::FILE* f, const Header& h, int32_t Layer, int32_t TSlot,
                              const std::string& FName, const TComponent& C) {
  const int64_t plane = int64_t{h.x} * h.y;
  std::vector<double> values;
  detail::Allocate<EORKMatrixError>(C, "not enough memory on heap",
                                    [&] { values.resize(static_cast<std::size_t>(plane)); });
  const int64_t first = (int64_t{TSlot - 1} * h.z + (Layer - 1)) * plane;
  if (!SeekTo(f, kRecord + 8 * first)) Damaged(FName, "it ends before its last value");
  ReadValues(f, values.data(), values.size(), FName);
  return values;
}
}  // namespace

void TMat4D::ReadLayer(const std::string& FName, int32_t Layer, int32_t TSlot) {
  FilePtr f = Open(FName, "rb");
  const Header h = ReadHeader(f.get(), FName);
  CheckHeader(h, FName);
  detail::CheckTimeSlot(*this, TSlot, std::min(h.t, FNumT));
  detail::CheckLayer(*this, Layer, std::min(h.z, FNumZ));
  if (FNumX < h.x || FNumY < h.y)
    throw EORKMatrixError(detail::ComponentMsg(*this, "X,Y,Z of matrices do not match"));
  const std::vector<double> plane = ReadPlane(f.get(), h, Layer, TSlot, FName, *this);
  for (int32_t y = 1; y <= h.y; ++y)
    std::copy_n(plane.begin() + static_cast<std::ptrdiff_t>(int64_t{y - 1} * h.x), h.x,
                Mat.begin() + static_cast<std::ptrdiff_t>(Idx(1, y, Layer, TSlot)));
  Changed();
}

void TMat4D::ReadLayer(const std::string& FName, int32_t Layer, int32_t TSlot,
                       TDouble2DArray& Data) {
  FilePtr f = Open(FName, "rb");
  const Header h = ReadHeader(f.get(), FName);
  CheckHeader(h, FName);
  detail::CheckTimeSlot(*this, TSlot, h.t);
  detail::CheckLayer(*this, Layer, h.z);
  const std::vector<double> plane = ReadPlane(f.get(), h, Layer, TSlot, FName, *this);
  TDouble2DArray out;
  detail::Allocate<EORKMatrixError>(*this, "not enough memory on heap", [&] {
    out.assign(static_cast<std::size_t>(h.x), std::vector<double>(static_cast<std::size_t>(h.y)));
  });
  for (int32_t y = 0; y < h.y; ++y)
    for (int32_t x = 0; x < h.x; ++x)
      out[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)] =
          plane[static_cast<std::size_t>(int64_t{y} * h.x + x)];
  Data.swap(out);
}

}  // namespace numbra
