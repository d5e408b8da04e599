// The TMat4D block file: exact layout (checked with a plain reader and
// written by a plain writer in this file, independent of the library),
// time-slot selection, append continuation, streaming, layers, progress,
// and damaged or hostile files.
#include "ORK_matrix.h"
#include "test_support.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using numbra::EInOutError;
using numbra::EORKMatrixError;
using numbra::TMat4D;

namespace {

std::vector<uint8_t> ReadBytes(const std::string& f) {
  const std::string s = numbra_test::ReadText(f);
  return {s.begin(), s.end()};
}

int32_t I32At(const std::vector<uint8_t>& b, std::size_t at) {
  return static_cast<int32_t>(uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 |
                              uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24);
}

double F64At(const std::vector<uint8_t>& b, std::size_t at) {
  uint64_t u = 0;
  for (int k = 7; k >= 0; --k) u = u << 8 | b[at + static_cast<std::size_t>(k)];
  return std::bit_cast<double>(u);
}

// The plain writer: header record and values, byte by byte little-endian,
// the last record padded to 4096 bytes unless Pad is false.
void PlainWrite(const std::string& f, std::array<int32_t, 4> size, const std::string& id,
                const std::vector<double>& values, bool Pad = true) {
  std::vector<uint8_t> b(4096, 0);
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t k = 0; k < 4; ++k)
      b[4 * i + k] = static_cast<uint8_t>(static_cast<uint32_t>(size[i]) >> (8 * k));
  b[16] = static_cast<uint8_t>(id.size());
  std::memcpy(&b[17], id.data(), id.size());
  for (const double v : values) {
    const auto u = std::bit_cast<uint64_t>(v);
    for (int k = 0; k < 8; ++k) b.push_back(static_cast<uint8_t>(u >> (8 * k)));
  }
  while (Pad && b.size() % 4096 != 0) b.push_back(0);
  std::FILE* out = std::fopen(f.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(b.data(), 1, b.size(), out);
  std::fclose(out);
}

// Element (x, y, z, t) = 1000 x + 100 y + 10 z + t.
void FillPositional(TMat4D& m, int nx, int ny, int nz, int nt) {
  m.Resize(nx, ny, nz, nt);
  for (int x = 1; x <= nx; ++x)
    for (int y = 1; y <= ny; ++y)
      for (int z = 1; z <= nz; ++z)
        for (int t = 1; t <= nt; ++t) m.SetVal(x, y, z, t, 1000.0 * x + 100.0 * y + 10.0 * z + t);
}

template <class E, class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "no exception of the expected type";
}

}  // namespace

TEST(TMat4DBlockFile, SavedLayoutReadsBackWithAPlainReader) {
  numbra_test::TempDir dir;
  TMat4D m;
  FillPositional(m, 2, 2, 2, 3);
  m.SetDataID("M\xC3\xBCller \xE2\x82\xAC");  // "Müller €": ü is Latin-1, € is not
  const std::string f = dir.File("a.blk");
  m.SaveBinary(f, 0, 0);
  const auto b = ReadBytes(f);
  ASSERT_EQ(b.size(), 8192U);  // 24 values in one data record
  EXPECT_EQ((std::array<int32_t, 4>{I32At(b, 0), I32At(b, 4), I32At(b, 8), I32At(b, 12)}),
            (std::array<int32_t, 4>{2, 2, 2, 3}));
  EXPECT_EQ(b[16], 8);
  EXPECT_EQ(std::string(b.begin() + 17, b.begin() + 25), "M\xFCller ?");
  EXPECT_TRUE(std::all_of(b.begin() + 25, b.begin() + 4096, [](uint8_t c) { return c == 0; }));
  std::size_t k = 0;
  for (int t = 1; t <= 3; ++t)
    for (int z = 1; z <= 2; ++z)
      for (int y = 1; y <= 2; ++y)
        for (int x = 1; x <= 2; ++x, ++k)
          ASSERT_EQ(F64At(b, 4096 + 8 * k), m.GetVal(x, y, z, t)) << k;
  EXPECT_TRUE(std::all_of(b.begin() + 4096 + 8 * 24, b.end(), [](uint8_t c) { return c == 0; }));

  int32_t x = 0, y = 0, z = 0, t = 0;
  std::string id;
  EXPECT_TRUE(m.ReadBinaryHeader(f, x, y, z, t, id));
  EXPECT_EQ(id, "M\xC3\xBCller ?");

  // Time slots 2..3 only: slot 1 of the file is slot 2 of the array.
  m.SaveBinary(f, 2, 3);
  TMat4D r;
  r.LoadBinary(f, 0, 0);
  ASSERT_EQ(r.NrOfTimeSlots(), 2);
  EXPECT_DOUBLE_EQ(r.GetVal(2, 1, 2, 1), 2122);
  EXPECT_DOUBLE_EQ(r.GetVal(1, 2, 1, 2), 1213);
  EXPECT_EQ(MessageOf<EORKMatrixError>([&] { m.SaveBinary(f, 4, 4); }),
            "Component \"\": specified time slot beyond data range");
}

TEST(TMat4DBlockFile, PlainlyWrittenFilesLoadInEverySelection) {
  numbra_test::TempDir dir;
  const std::string f = dir.File("p.blk");
  std::vector<double> v;
  for (int k = 0; k < 3 * 2 * 4 * 5; ++k) v.push_back(0.5 * k - 7);
  PlainWrite(f, {3, 2, 4, 5}, "pl\xE9", v, false);  // last record not padded
  TMat4D m;
  m.SetName("P");
  const struct {
    int lo, hi, first, slots;
  } sel[] = {{0, 0, 1, 5}, {2, 4, 2, 3}, {3, 99, 3, 3}, {5, 5, 5, 1}, {-1, 2, 1, 5}, {2, 0, 1, 5}};
  for (const auto& s : sel) {
    m.LoadBinary(f, s.lo, s.hi);
    ASSERT_EQ(m.NrOfTimeSlots(), s.slots) << s.lo;
    EXPECT_EQ(m.DataID(), "pl\xC3\xA9");
    for (int t = 1; t <= s.slots; ++t)
      for (int z = 1; z <= 4; ++z)
        for (int y = 1; y <= 2; ++y)
          for (int x = 1; x <= 3; ++x) {
            const std::size_t k = static_cast<std::size_t>(((t + s.first - 2) * 4 + (z - 1)) * 6 +
                                                           (y - 1) * 3 + (x - 1));
            ASSERT_EQ(m.GetVal(x, y, z, t), v[k]);
          }
  }
  EXPECT_EQ(MessageOf<EORKMatrixError>([&] { m.LoadBinary(f, 6, 9); }),
            "Component \"P\": specified time slot beyond data range");

  // Streaming: every value once, in file order, t from 1 at the first
  // selected slot (the file's slot 2: an offset of one slot, 24 values).
  std::size_t calls = 0;
  bool in_order = true;
  const auto before = m.Values().size();
  m.OnReadElement = [&](numbra::TObject*, int32_t x, int32_t y, int32_t z, int32_t t, double val) {
    const std::size_t k =
        static_cast<std::size_t>(((t - 1) * 4 + (z - 1)) * 6 + (y - 1) * 3 + (x - 1));
    in_order = in_order && k == calls && val == v[k + 24];
    ++calls;
  };
  m.ReadBinary(f, 2, 3);
  EXPECT_EQ(calls, 48U);
  EXPECT_TRUE(in_order);
  EXPECT_EQ(m.Values().size(), before);  // the array itself is untouched

  // One layer, into the array and into a plain 2-D array.
  TMat4D l;
  l.Resize(3, 2, 4, 5);
  l.ReadLayer(f, 3, 4);
  EXPECT_EQ(l.GetVal(3, 2, 3, 4), v[((3 * 4) + 2) * 6 + 5]);
  EXPECT_EQ(l.GetVal(3, 2, 2, 4), 0.0);
  numbra::TDouble2DArray d;
  l.ReadLayer(f, 4, 5, d);
  ASSERT_EQ(d.size(), 3U);
  ASSERT_EQ(d[0].size(), 2U);
  EXPECT_EQ(d[2][1], v[((4 * 4) + 3) * 6 + 5]);
  l.SetName("L");
  EXPECT_EQ(MessageOf<EORKMatrixError>([&] { l.ReadLayer(f, 1, 6); }),
            "Component \"L\": specified time slot beyond data range");
  EXPECT_EQ(MessageOf<EORKMatrixError>([&] { l.ReadLayer(f, 5, 1, d); }),
            "Component \"L\": specified layer beyond data range");
  TMat4D small;
  small.Resize(2, 2, 4, 5);
  EXPECT_EQ(MessageOf<EORKMatrixError>([&] { small.ReadLayer(f, 1, 1); }),
            "Component \"\": X,Y,Z of matrices do not match");
}

TEST(TMat4DBlockFile, AppendContinuesTheStream) {
  numbra_test::TempDir dir;
  const std::string f = dir.File("app.blk");
  // 512 values fill exactly one record; the next slot starts record 2.
  TMat4D m;
  FillPositional(m, 16, 16, 2, 2);
  m.SaveBinary(f, 1, 1);
  EXPECT_EQ(std::filesystem::file_size(f), 8192U);
  m.AppendToBinaryFile(f, 2, 2);
  auto b = ReadBytes(f);
  EXPECT_EQ(b.size(), 12288U);
  EXPECT_EQ(I32At(b, 12), 2);
  EXPECT_EQ(F64At(b, 8192), m.GetVal(1, 1, 1, 2));
  TMat4D r;
  r.LoadBinary(f, 0, 0);
  EXPECT_TRUE(std::equal(r.Values().begin(), r.Values().end(), m.Values().begin()));

  // A partly filled record keeps its first values; the header keeps its
  // other bytes (a plainly written file with something in the reserved part).
  const std::string g = dir.File("part.blk");
  PlainWrite(g, {3, 1, 1, 1}, "id", {1, 2, 3});
  {
    std::FILE* io = std::fopen(g.c_str(), "r+b");
    std::fseek(io, 300, SEEK_SET);
    std::fputc(0x5A, io);
    std::fclose(io);
  }
  TMat4D a;
  a.Resize(3, 1, 1, 2);
  for (int x = 1; x <= 3; ++x) {
    a.SetVal(x, 1, 1, 1, 10 + x);
    a.SetVal(x, 1, 1, 2, 20 + x);
  }
  a.AppendToBinaryFile(g, 0, 0);
  b = ReadBytes(g);
  EXPECT_EQ(b.size(), 8192U);
  EXPECT_EQ(I32At(b, 12), 3);
  EXPECT_EQ(b[300], 0x5A);
  const double want[] = {1, 2, 3, 11, 12, 13, 21, 22, 23};
  for (std::size_t k = 0; k < 9; ++k) EXPECT_EQ(F64At(b, 4096 + 8 * k), want[k]);

  // Other dimensions: the message, and not a byte of the file changes.
  TMat4D other;
  other.SetName("O");
  other.Resize(3, 1, 2, 1);
  EXPECT_EQ(MessageOf<EORKMatrixError>([&] { other.AppendToBinaryFile(g, 0, 0); }),
            "Component \"O\": X,Y,Z of matrices do not match");
  EXPECT_EQ(ReadBytes(g), b);
  EXPECT_THROW(a.AppendToBinaryFile(dir.File("none.blk"), 0, 0), EInOutError);
}

TEST(TMat4DBlockFile, ProgressCountsEveryHundredthValue) {
  numbra_test::TempDir dir;
  TMat4D m;
  m.Resize(2, 2, 2, 3);  // 24 values: step 1
  std::vector<int> p;
  m.OnPercentDone = [&](numbra::TObject* s, int32_t v) {
    EXPECT_EQ(s, &m);
    p.push_back(v);
  };
  m.SaveBinary(dir.File("p.blk"), 0, 0);
  ASSERT_EQ(p.size(), 24U);
  EXPECT_EQ(p[0], 4);  // Round(100 / 24)
  EXPECT_EQ(p[5], 25);
  EXPECT_EQ(p.back(), 100);
  p.clear();
  m.Resize(25, 10, 1, 1);  // 250 values: step 2
  m.SaveBinary(dir.File("q.blk"), 0, 0);
  EXPECT_EQ(p.size(), 125U);
  p.clear();
  m.LoadBinary(dir.File("q.blk"), 0, 0);
  EXPECT_EQ(p.size(), 125U);
}

TEST(TMat4DBlockFile, DamagedAndHostileFilesFailCleanly) {
  numbra_test::TempDir dir;
  const std::string f = dir.File("bad.blk");
  const struct {
    const char* name;
    std::array<int32_t, 4> size;
    std::size_t values;
    bool header_ok;
  } cases[] = {
      {"negative columns", {-1, 2, 2, 1}, 4, false},
      {"zero layers", {2, 2, 0, 1}, 4, false},
      {"negative time slots", {2, 2, 1, -3}, 4, false},
      {"32-bit product overflows", {65536, 65536, 2, 1}, 8, false},
      {"product beyond 2^62", {2147483647, 2147483647, 2147483647, 2147483647}, 8, false},
      {"more values claimed than present", {4, 4, 4, 4}, 255, false},
      {"truncated after a whole record", {16, 16, 2, 2}, 512, false},
  };
  for (const auto& c : cases) {
    PlainWrite(f, c.size, "", std::vector<double>(c.values, 1.0), false);
    TMat4D m;
    m.SetVal(1, 1, 1, 1, 3.0);
    int32_t x = 0, y = 0, z = 0, t = 0;
    std::string id;
    EXPECT_EQ(m.ReadBinaryHeader(f, x, y, z, t, id), c.header_ok) << c.name;
    EXPECT_EQ(x, c.size[0]);
    const std::string msg = MessageOf<EInOutError>([&] { m.LoadBinary(f, 0, 0); });
    EXPECT_NE(msg.find("\"" + f + "\""), std::string::npos) << c.name << ": " << msg;
    EXPECT_NE(msg.find("damaged"), std::string::npos) << c.name;
    EXPECT_THROW(m.ReadBinary(f, 0, 0), EInOutError) << c.name;
    EXPECT_EQ(m.GetVal(1, 1, 1, 1), 3.0) << c.name;
    EXPECT_EQ(m.NrOfColumns(), 1) << c.name;
  }
  // Shorter than a header, a directory, a missing file.
  numbra_test::WriteText(f, "short");
  TMat4D m;
  int32_t x = 0, y = 0, z = 0, t = 0;
  std::string id;
  EXPECT_THROW(m.ReadBinaryHeader(f, x, y, z, t, id), EInOutError);
  EXPECT_THROW(m.LoadBinary(dir.File(""), 0, 0), EInOutError);
  EXPECT_EQ(MessageOf<EInOutError>([&] { m.LoadBinary(dir.File("none"), 0, 0); }),
            "Cannot open file \"" + dir.File("none") + "\"");
  EXPECT_THROW(m.SaveBinary(dir.File("no/such/dir.blk"), 0, 0), EInOutError);
  // A header of 0 time slots is well formed but selects nothing.
  PlainWrite(f, {2, 2, 1, 0}, "", {});
  EXPECT_FALSE(m.ReadBinaryHeader(f, x, y, z, t, id));
  EXPECT_THROW(m.LoadBinary(f, 0, 0), EORKMatrixError);
}
