// TMatrix text, stream, binary and XML forms: round trips and bad input.
#include "ORK_matrix.h"
#include "matrix_test_util.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

using namespace numbra;
using matrix_test::BitEqual;
using matrix_test::Counted;
using matrix_test::SetRows;
using numbra_test::ReadText;
using numbra_test::TempDir;
using numbra_test::WriteText;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Values that stress every text and binary form: extremes, subnormals,
// signed zeros, infinities, NaNs of both signs, and random doubles.
TMatrix& Awkward(TMatrix& m) {
  matrix_test::FillRandom(m, 5, 4, 77);
  const double special[] = {0.0,
                            -0.0,
                            std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::denorm_min(),
                            -4.9406564584124654e-324 * 3,
                            kInf,
                            -kInf,
                            kNaN,
                            -kNaN,
                            0.1,
                            1.0 / 3.0,
                            123456789012345678.0};
  int k = 0;
  for (const double v : special) m.SetVal(k % 5 + 1, k / 5 + 1, v), ++k;
  return m;
}

// NaN payloads survive only the binary forms; the text forms keep the sign.
TMatrix& WithPayloadNaN(TMatrix& m) {
  m.SetVal(5, 4, std::bit_cast<double>(uint64_t{0x7FF4000000000123}));
  return m;
}

}  // namespace

// ---- text form -------------------------------------------------------------------

TEST(TMatrixText, FullPrecisionRoundTripsBitForBit) {
  TempDir dir;
  TMatrix src;
  Awkward(src);
  for (const int32_t p1 : {0, -1, 17}) {
    src.SetFPrecis(1, p1);
    ASSERT_TRUE(src.StoreOnFile(0, 0, 0, 0, dir.File("m.txt")));
    TMatrix back;
    ASSERT_TRUE(back.LoadFromFile(dir.File("m.txt"), true));
    EXPECT_TRUE(BitEqual(back, src)) << "Precision(1) = " << p1;
  }
}

TEST(TMatrixText, LayoutAndPrecisionSettings) {
  TempDir dir;
  TMatrix m;
  SetRows(m, {{1.0 / 3.0, -2.0}, {1e-5, 12345.678}});
  const std::string f = dir.File("p.txt");
  struct Case {
    int32_t p1, p2;
    const char* text;
  };
  for (const Case c : {Case{15, -1, "1 1 2 2\r\n0.333333333333333 -2\r\n1e-05 12345.678\r\n"},
                       Case{3, -1, "1 1 2 2\r\n0.333 -2\r\n1e-05 1.23e+04\r\n"},
                       Case{9, 2, "1 1 2 2\r\n0.33 -2.00\r\n0.00 12345.68\r\n"},
                       Case{0, -1, "1 1 2 2\r\n0.3333333333333333 -2\r\n1e-05 12345.678\r\n"}}) {
    m.SetFPrecis(1, c.p1);
    m.SetFPrecis(2, c.p2);
    ASSERT_TRUE(m.StoreOnFile(0, 0, 0, 0, f));
    EXPECT_EQ(ReadText(f), c.text) << c.p1 << "," << c.p2;
  }
}

TEST(TMatrixText, RegionIsStoredAndLoadedInPlace) {
  TempDir dir;
  TMatrix m;
  matrix_test::FillRandom(m, 6, 5, 3);
  m.SetFPrecis(1, 0);
  // Reversed and overhanging bounds go through the range rules: columns 2..6, rows 3..4.
  ASSERT_TRUE(m.StoreOnFile(9, 4, 2, 3, dir.File("r.txt")));
  EXPECT_EQ(ReadText(dir.File("r.txt")).substr(0, 9), "2 3 6 4\r\n");
  Counted target;
  target.m.Resize(6, 5);
  target.m.Fill(-1.0);
  target.changes = 0;
  ASSERT_TRUE(target.m.LoadFromFile(dir.File("r.txt"), false));
  EXPECT_EQ(target.changes, 1);
  for (int32_t c = 1; c <= 6; ++c)
    for (int32_t r = 1; r <= 5; ++r) {
      const bool in = c >= 2 && r >= 3 && r <= 4;
      EXPECT_EQ(target.m.GetVal(c, r), in ? m.GetVal(c, r) : -1.0) << c << "," << r;
    }
  // Too small without adjusting: refused, nothing changed.
  TMatrix small;
  small.Resize(3, 3);
  small.Fill(8.0);
  EXPECT_FALSE(small.LoadFromFile(dir.File("r.txt"), false));
  EXPECT_EQ(small.NrOfColumns(), 3);
  EXPECT_EQ(small.GetVal(3, 3), 8.0);
  // Adjusting: resized to HiC x HiR.
  ASSERT_TRUE(small.LoadFromFile(dir.File("r.txt"), true));
  EXPECT_EQ(small.NrOfColumns(), 6);
  EXPECT_EQ(small.NrOfRows(), 4);
  EXPECT_EQ(small.GetVal(2, 3), m.GetVal(2, 3));
  EXPECT_EQ(small.GetVal(1, 1), 8.0);  // kept by Resize
}

TEST(TMatrixText, EmptyMatrixRoundTrips) {
  TempDir dir;
  TMatrix m;
  m.Resize(0, 3);
  ASSERT_TRUE(m.StoreOnFile(0, 0, 0, 0, dir.File("e.txt")));
  TMatrix back;
  ASSERT_TRUE(back.LoadFromFile(dir.File("e.txt"), true));
  EXPECT_EQ(back.NrOfColumns(), 0);
  EXPECT_EQ(back.NrOfRows(), 3);
}

TEST(TMatrixText, MalformedFilesFailAndChangeNothing) {
  TempDir dir;
  const std::string f = dir.File("bad.txt");
  struct Case {
    const char* name;
    const char* text;
  };
  for (const Case c : {
           Case{"empty", ""},
           Case{"header not numbers", "a b c d\n1\n"},
           Case{"three numbers", "1 1 2\n"},
           Case{"low bound 0", "0 1 1 1\n5\n"},
           Case{"hi below lo - 1", "3 1 1 1\n5\n"},
           Case{"missing value", "1 1 2 2\n1 2\n3\n"},
           Case{"value not a number", "1 1 2 1\n1 x\n"},
           Case{"more than the file holds", "1 1 1000 1000\n1 2 3\n"},
           Case{"beyond 2^27 cells", "1 1 65536 65536\n1\n"},
           Case{"huge size from a small region", "2000 2000 2000 2000\n1\n"},
           Case{"empty region, huge storage", "1 1 0 1000000000\n"},
           Case{"int32 overflow", "1 1 2147483648 1\n1\n"},
       }) {
    WriteText(f, c.text);
    Counted m;
    m.m.Resize(3, 3);
    m.m.Fill(4.0);
    m.changes = 0;
    EXPECT_FALSE(m.m.LoadFromFile(f, true)) << c.name;
    EXPECT_EQ(m.changes, 0) << c.name;
    EXPECT_EQ(m.m.NrOfColumns(), 3) << c.name;
    EXPECT_EQ(m.m.GetVal(2, 2), 4.0) << c.name;
  }
  TMatrix m;
  EXPECT_FALSE(m.LoadFromFile(dir.File("missing.txt"), true));
  EXPECT_FALSE(m.LoadFromFile(dir.Path().string(), true));  // a directory
  EXPECT_FALSE(m.StoreOnFile(0, 0, 0, 0, dir.Path().string()));
}

TEST(TMatrixText, AutoDetectReadsTables) {
  TempDir dir;
  const std::string f = dir.File("t.csv");
  WriteText(f, "x, y, z\r\n1, 2.5, -3\n\n  4 ;5e1;\t+6\n7\t8 9\n");
  TMatrix m;
  ASSERT_TRUE(m.LoadFromFile(f, true, true));
  EXPECT_EQ(m.NrOfColumns(), 3);
  EXPECT_EQ(m.NrOfRows(), 3);
  const double want[3][3] = {{1, 2.5, -3}, {4, 50, 6}, {7, 8, 9}};
  for (int32_t r = 1; r <= 3; ++r)
    for (int32_t c = 1; c <= 3; ++c) EXPECT_EQ(m.GetVal(c, r), want[r - 1][c - 1]);
  // Without adjusting: cells inside are taken, the rest dropped.
  TMatrix small;
  small.Resize(2, 4);
  small.Fill(-1.0);
  ASSERT_TRUE(small.LoadFromFile(f, false, true));
  EXPECT_EQ(small.GetVal(2, 3), 8.0);
  EXPECT_EQ(small.GetVal(2, 4), -1.0);
  // Special values and full precision.
  WriteText(f, "inf -inf nan 0.1\n");
  ASSERT_TRUE(m.LoadFromFile(f, true, true));
  EXPECT_EQ(m.GetVal(1, 1), kInf);
  EXPECT_TRUE(std::isnan(m.GetVal(3, 1)));
  EXPECT_EQ(m.GetVal(4, 1), 0.1);
}

TEST(TMatrixText, AutoDetectRefusesBadTables) {
  TempDir dir;
  const std::string f = dir.File("t.csv");
  for (const char* text :
       {"1 2 3\n4 5\n", "1,,2\n", "1,2,\n", ",1\n", "1 2 x3\n", "\n\nabc\n", ""}) {
    WriteText(f, text);
    Counted m;
    m.changes = 0;
    EXPECT_FALSE(m.m.LoadFromFile(f, true, true)) << text;
    EXPECT_EQ(m.changes, 0);
    EXPECT_EQ(m.m.NrOfColumns(), 1);
  }
  WriteText(f, "1 2\n3 4\n");
  TMatrix m;
  ASSERT_TRUE(m.LoadFromFile(f, true, false) == false);  // not the header form
  EXPECT_FALSE(m.LoadFromFile(dir.File("none.csv"), true, true));
}

// ---- stream form -------------------------------------------------------------------

TEST(TMatrixStream, MemoryStreamRoundTripsEveryBit) {
  TMatrix src;
  WithPayloadNaN(Awkward(src));
  TMemoryStream* s = nullptr;
  src.SaveToStream(s, 0, 0, 0, 0);
  std::unique_ptr<TMemoryStream> owned(s);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Size(), 20 + 8 * 20);
  src.SaveToStream(s, 2, 2, 3, 3);  // a second block behind the first
  s->SetPosition(0);
  TMatrix back;
  ASSERT_TRUE(back.LoadFromStream(s, true));
  EXPECT_TRUE(BitEqual(back, src));
  Counted part;
  part.m.Resize(3, 3);
  part.changes = 0;
  ASSERT_TRUE(part.m.LoadFromStream(s, false));
  EXPECT_EQ(part.changes, 1);
  EXPECT_EQ(part.m.GetVal(3, 3), src.GetVal(3, 3));
  EXPECT_EQ(part.m.GetVal(1, 1), 0.0);
  EXPECT_EQ(s->Position(), s->Size());
}

TEST(TMatrixStream, FileStreamRoundTrips) {
  TempDir dir;
  TMatrix src;
  WithPayloadNaN(Awkward(src));
  {
    TFileStream out(dir.File("m.bin"), TFileMode::fmCreate);
    src.SaveToStream(&out, 0, 0, 0, 0);
  }
  TFileStream in(dir.File("m.bin"), TFileMode::fmOpenRead);
  TMatrix back;
  ASSERT_TRUE(back.LoadFromStream(&in, true));
  EXPECT_TRUE(BitEqual(back, src));
  TFileStream* none = nullptr;
  src.SaveToStream(none, 0, 0, 0, 0);
  EXPECT_FALSE(back.LoadFromStream(none, true));
}

TEST(TMatrixStream, BadStreamsFailLeaveMatrixAndPosition) {
  TMatrix src;
  SetRows(src, {{1, 2}, {3, 4}});
  TMemoryStream good;
  TMemoryStream* gp = &good;
  src.SaveToStream(gp, 0, 0, 0, 0);
  const std::vector<uint8_t> bytes = good.Memory();
  const auto with = [&](std::size_t at, uint32_t v) {
    std::vector<uint8_t> b = bytes;
    std::memcpy(b.data() + at, &v, 4);
    return b;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  };
  std::vector<Case> cases = {
      {"empty", {}},
      {"truncated header", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10)},
      {"truncated values", std::vector<uint8_t>(bytes.begin(), bytes.end() - 1)},
      {"wrong tag", with(0, 0x31534D4F)},
      {"low bound 0", with(4, 0)},
      {"hi below lo - 1", with(12, static_cast<uint32_t>(-5))},
      {"huge region", with(12, 0x7FFFFFFF)},
  };
  // One value at (2000, 2000): resizing to 2000 x 2000 on its word is refused.
  std::vector<uint8_t> lone = {'N', 'M', 'S', '1'};
  for (int k = 0; k < 4; ++k)
    for (const uint8_t b : {0xD0, 0x07, 0x00, 0x00}) lone.push_back(b);
  lone.resize(lone.size() + 8, 0);
  cases.push_back({"huge size from a small region", lone});
  // An empty region of 0 columns and 10^9 rows: nothing to read, but the
  // storage of one column of 10^9 rows is refused.
  std::vector<uint8_t> tall = {'N', 'M', 'S', '1'};
  for (const uint32_t v : {1U, 1U, 0U, 1000000000U})
    for (int b = 0; b < 4; ++b) tall.push_back(static_cast<uint8_t>(v >> (8 * b)));
  cases.push_back({"empty region, huge storage", tall});
  for (const auto& c : cases) {
    TMemoryStream s;
    s.Write(c.data.data(), static_cast<int64_t>(c.data.size()));
    s.SetPosition(0);
    Counted m;
    m.changes = 0;
    EXPECT_FALSE(m.m.LoadFromStream(&s, true)) << c.name;
    EXPECT_EQ(m.changes, 0) << c.name;
    EXPECT_EQ(m.m.NrOfColumns(), 1) << c.name;
    EXPECT_EQ(s.Position(), 0) << c.name;
  }
  TMemoryStream s;
  s.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  s.SetPosition(0);
  TMatrix small;  // 1 x 1: a 2 x 2 region does not fit without adjusting
  EXPECT_FALSE(small.LoadFromStream(&s, false));
  EXPECT_EQ(s.Position(), 0);
}

// ---- binary file ----------------------------------------------------------------

TEST(TMatrixBinary, RoundTripsEveryBitAndTheDataID) {
  TempDir dir;
  TMatrix src;
  WithPayloadNaN(Awkward(src));
  src.SetDataID("spectra \xC3\xA4 2024");
  src.SaveBinary(dir.File("m.nbm"));
  int32_t nc = 0;
  int32_t nr = 0;
  std::string id;
  ASSERT_TRUE(src.ReadBinaryHeader(dir.File("m.nbm"), nc, nr, id));
  EXPECT_EQ(nc, 5);
  EXPECT_EQ(nr, 4);
  EXPECT_EQ(id, src.DataID());
  Counted back;
  back.changes = 0;
  back.m.LoadBinary(dir.File("m.nbm"));
  EXPECT_EQ(back.changes, 1);
  EXPECT_TRUE(BitEqual(back.m, src));
  EXPECT_EQ(back.m.DataID(), src.DataID());
  // An empty matrix too.
  TMatrix empty;
  empty.Resize(3, 0);
  empty.SaveBinary(dir.File("e.nbm"));
  back.m.LoadBinary(dir.File("e.nbm"));
  EXPECT_EQ(back.m.NrOfColumns(), 3);
  EXPECT_EQ(back.m.NrOfRows(), 0);
}

TEST(TMatrixBinary, DamagedFilesRaiseAndChangeNothing) {
  TempDir dir;
  TMatrix src;
  SetRows(src, {{1, 2}, {3, 4}});
  src.SaveBinary(dir.File("ok.nbm"));
  const std::string bytes = ReadText(dir.File("ok.nbm"));
  const auto patched = [&](std::size_t at, char v) {
    std::string b = bytes;
    b[at] = v;
    return b;
  };
  struct Case {
    const char* name;
    std::string data;
    const char* message;  // after "Component "M": "
  };
  const std::string f = dir.File("bad.nbm");
  for (const Case& c : {
           Case{"signature", patched(0, 'X'), "\"F\" is not a matrix binary file"},
           Case{"too short", bytes.substr(0, 10), "\"F\" is not a matrix binary file"},
           Case{"version", patched(8, 2), "matrix binary file \"F\" has unsupported version 2"},
           Case{"truncated", bytes.substr(0, bytes.size() - 1),
                "matrix binary file \"F\" is damaged"},
           Case{"longer", bytes + "x", "matrix binary file \"F\" is damaged"},
           Case{"size field", patched(12, 7), "matrix binary file \"F\" is damaged"},
           Case{"negative size", patched(15, '\x80'), "matrix binary file \"F\" is damaged"},
           Case{"no columns, huge storage",
                [&] {
                  std::string b = bytes.substr(0, 24);
                  b[12] = 0;     // 0 columns ...
                  b[19] = 0x10;  // ... of 2^28 + 2 rows, and no values: the length fits
                  uint32_t crc = 0xFFFFFFFFU;  // and so does the checksum
                  for (const char ch : b) crc = CalcNextCRC32(static_cast<uint8_t>(ch), crc);
                  crc = ~crc;
                  for (int k = 0; k < 4; ++k) b.push_back(static_cast<char>(crc >> (8 * k)));
                  return b;
                }(),
                "matrix binary file \"F\" is damaged"},
           Case{"flipped value bit", patched(30, static_cast<char>(bytes[30] ^ 1)),
                "matrix binary file \"F\" is damaged"},
           Case{"flipped checksum", patched(bytes.size() - 1, static_cast<char>(bytes.back() ^ 1)),
                "matrix binary file \"F\" is damaged"},
       }) {
    WriteText(f, c.data);
    Counted m;
    m.m.SetName("M");
    m.m.Fill(6.0);
    m.changes = 0;
    try {
      m.m.LoadBinary(f);
      ADD_FAILURE() << c.name << ": no exception";
    } catch (const EORKMatrixError& e) {
      std::string want = std::string("Component \"M\": ") + c.message;
      want.replace(want.find("\"F\""), 3, "\"" + f + "\"");
      EXPECT_EQ(e.Message(), want) << c.name;
    }
    EXPECT_EQ(m.changes, 0) << c.name;
    EXPECT_EQ(m.m.GetVal(1, 1), 6.0) << c.name;
    int32_t nc = -1;
    int32_t nr = -1;
    std::string id = "keep";
    if (std::string(c.name) != "flipped value bit" && std::string(c.name) != "flipped checksum") {
      EXPECT_FALSE(m.m.ReadBinaryHeader(f, nc, nr, id)) << c.name;
      EXPECT_EQ(id, "keep") << c.name;
    }
  }
  TMatrix m;
  m.SetName("M");
  try {
    m.LoadBinary(dir.File("missing.nbm"));
    ADD_FAILURE();
  } catch (const EORKMatrixError& e) {
    EXPECT_EQ(e.Message(), "Component \"M\": cannot open file \"" + dir.File("missing.nbm") + "\"");
  }
  try {
    m.SaveBinary(dir.Path().string());
    ADD_FAILURE();
  } catch (const EORKMatrixError& e) {
    EXPECT_EQ(e.Message(), "Component \"M\": cannot write file \"" + dir.Path().string() + "\"");
  }
}

// ---- XML -------------------------------------------------------------------------

TEST(TMatrixXml, StreamRoundTripsBitForBitAndSetsTheDataID) {
  TMatrix src;
  Awkward(src);
  TMemoryStream s;
  src.WriteToXMLStream(&s, true, "first");
  TMatrix second;
  SetRows(second, {{1, 2, 3}});
  second.WriteToXMLStream(&s, false, "second & <more>");
  s.SetPosition(0);
  Counted back;
  back.changes = 0;
  ASSERT_TRUE(back.m.ReadFromXMLStream(&s, ""));
  EXPECT_EQ(back.changes, 1);
  EXPECT_TRUE(BitEqual(back.m, src));
  EXPECT_EQ(back.m.DataID(), "first");
  // The stream stands right behind the first matrix: the second follows.
  ASSERT_TRUE(back.m.ReadFromXMLStream(&s, ""));
  EXPECT_TRUE(BitEqual(back.m, second));
  EXPECT_EQ(back.m.DataID(), "second & <more>");
  EXPECT_FALSE(back.m.ReadFromXMLStream(&s, ""));  // nothing more
  // Looking one up by its identifier skips the others.
  s.SetPosition(0);
  ASSERT_TRUE(back.m.ReadFromXMLStream(&s, "second & <more>"));
  EXPECT_EQ(back.m.NrOfColumns(), 3);
  s.SetPosition(0);
  EXPECT_FALSE(back.m.ReadFromXMLStream(&s, "third"));
  EXPECT_FALSE(back.m.ReadFromXMLStream(nullptr, ""));
}

TEST(TMatrixXml, FileAndOpenFileFormsRoundTrip) {
  TempDir dir;
  TMatrix a;
  matrix_test::FillRandom(a, 4, 3, 5);
  a.SaveAsXMLFile(dir.File("a.xml"), "A");
  const std::string text = ReadText(dir.File("a.xml"));
  EXPECT_EQ(text.substr(0, 38), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  EXPECT_NE(text.find("<matrix dataid=\"A\">\n  <numcols>4</numcols>\n  <numrows>3</numrows>\n"
                      "  <cell col=\"1\" row=\"1\">"),
            std::string::npos)
      << text.substr(0, 200);
  TMatrix back;
  ASSERT_TRUE(back.LoadFromXMLFile(dir.File("a.xml"), "A"));
  EXPECT_TRUE(BitEqual(back, a));
  EXPECT_FALSE(back.LoadFromXMLFile(dir.File("a.xml"), "B"));
  EXPECT_FALSE(back.LoadFromXMLFile(dir.File("none.xml"), ""));

  // Two matrices in a text file that the host writes, with other lines
  // around them; read back one after the other.
  TMatrix b;
  SetRows(b, {{-1, 0.5}, {2, 1e-300}});
  {
    TTextWriter out;
    ASSERT_TRUE(out.Open(dir.File("both.xml")));
    out.WriteLine("<?xml version=\"1.0\"?>");
    out.WriteLine("<project name=\"x\">");
    a.WriteToOpenXMLFile(out, false, "A");
    b.WriteToOpenXMLFile(out, false, "B");
    out.WriteLine("<note>after</note>");
    out.WriteLine("</project>");
    ASSERT_TRUE(out.Close());
  }
  TTextReader in(dir.File("both.xml"));
  ASSERT_TRUE(back.ReadFromOpenXMLFile(in, ""));
  EXPECT_TRUE(BitEqual(back, a));
  ASSERT_TRUE(back.ReadFromOpenXMLFile(in, "B"));
  EXPECT_TRUE(BitEqual(back, b));
  std::string line;
  ASSERT_TRUE(in.ReadLine(line));
  EXPECT_EQ(line, "<note>after</note>");
  // Nested in the host's element, found from the start as well.
  EXPECT_TRUE(back.LoadFromXMLFile(dir.File("both.xml"), "B"));
  EXPECT_TRUE(BitEqual(back, b));
}

TEST(TMatrixXml, ReaderRulesAndMalformedInput) {
  struct Case {
    const char* name;
    const char* xml;
    bool ok;
  };
  const Case cases[] = {
      {"cells in any order, unknown element skipped, single quotes",
       "<matrix dataid='x'><numrows>2</numrows><numcols> 2 </numcols><extra><a/>t</extra>"
       "<cell col='2' row='1'>5</cell><cell row=\"2\" col=\"2\">&#54;</cell>"
       "<cell col='1' row='2'>-1</cell><cell col='1' row='1'>+1e0</cell></matrix>",
       true},
      {"a missing cell",
       "<matrix><numcols>1</numcols><numrows>2</numrows>"
       "<cell col='1' row='1'>1</cell></matrix>",
       false},
      {"a repeated cell",
       "<matrix><numcols>1</numcols><numrows>2</numrows>"
       "<cell col='1' row='1'>1</cell><cell col='1' row='1'>1</cell></matrix>",
       false},
      {"one cell too many",
       "<matrix><numcols>1</numcols><numrows>1</numrows>"
       "<cell col='1' row='1'>1</cell><cell col='1' row='1'>1</cell></matrix>",
       false},
      {"a large claim without cells",
       "<matrix><numcols>10000</numcols><numrows>10000</numrows></matrix>", false},
      {"no columns, huge storage",
       "<matrix><numcols>0</numcols><numrows>2000000</numrows></matrix>", false},
      {"empty matrix", "<matrix><numcols>0</numcols><numrows>0</numrows></matrix>", true},
      {"cell before the size",
       "<matrix><cell col='1' row='1'>1</cell><numcols>1</numcols>"
       "<numrows>1</numrows></matrix>",
       false},
      {"missing numrows", "<matrix><numcols>1</numcols></matrix>", false},
      {"numcols twice",
       "<matrix><numcols>1</numcols><numcols>1</numcols><numrows>1</numrows></matrix>", false},
      {"negative size", "<matrix><numcols>-1</numcols><numrows>1</numrows></matrix>", false},
      {"too many cells", "<matrix><numcols>100000</numcols><numrows>100000</numrows></matrix>",
       false},
      {"cell outside",
       "<matrix><numcols>1</numcols><numrows>1</numrows>"
       "<cell col='2' row='1'>1</cell></matrix>",
       false},
      {"cell without row",
       "<matrix><numcols>1</numcols><numrows>1</numrows>"
       "<cell col='1'>1</cell></matrix>",
       false},
      {"bad number",
       "<matrix><numcols>1</numcols><numrows>1</numrows>"
       "<cell col='1' row='1'>1.5.2</cell></matrix>",
       false},
      {"element in a cell",
       "<matrix><numcols>1</numcols><numrows>1</numrows>"
       "<cell col='1' row='1'><b/>1</cell></matrix>",
       false},
      {"unclosed", "<matrix><numcols>1</numcols><numrows>1</numrows>", false},
      {"mismatched end", "<matrix><numcols>1</numrows></matrix>", false},
      {"undefined entity", "<matrix dataid='&foo;'></matrix>", false},
      {"doctype", "<!DOCTYPE m [<!ENTITY a 'b'>]><matrix></matrix>", false},
      {"no matrix at all", "<other/>", false},
  };
  for (const auto& c : cases) {
    TMemoryStream s;
    s.Write(c.xml, static_cast<int64_t>(std::strlen(c.xml)));
    s.SetPosition(0);
    Counted m;
    m.m.Fill(3.0);
    m.changes = 0;
    EXPECT_EQ(m.m.ReadFromXMLStream(&s, ""), c.ok) << c.name;
    EXPECT_EQ(m.changes, c.ok ? 1 : 0) << c.name;
    if (!c.ok) {
      EXPECT_EQ(m.m.GetVal(1, 1), 3.0) << c.name;
    }
  }
  TMemoryStream s;
  const char* sparse = cases[0].xml;
  s.Write(sparse, static_cast<int64_t>(std::strlen(sparse)));
  s.SetPosition(0);
  TMatrix m;
  ASSERT_TRUE(m.ReadFromXMLStream(&s, "x"));
  EXPECT_EQ(m.GetVal(1, 1), 1.0);
  EXPECT_EQ(m.GetVal(1, 2), -1.0);
  EXPECT_EQ(m.GetVal(2, 1), 5.0);
  EXPECT_EQ(m.GetVal(2, 2), 6.0);
  EXPECT_EQ(m.DataID(), "x");
}

TEST(TMatrixXml, DeeplyNestedInputIsRefused) {
  std::string xml;
  for (int i = 0; i < 300; ++i) xml += "<a>";
  xml += "<matrix><numcols>0</numcols><numrows>0</numrows></matrix>";
  for (int i = 0; i < 300; ++i) xml += "</a>";
  TMemoryStream s;
  s.Write(xml.data(), static_cast<int64_t>(xml.size()));
  s.SetPosition(0);
  TMatrix m;
  EXPECT_FALSE(m.ReadFromXMLStream(&s, ""));
}
