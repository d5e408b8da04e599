// TIntMatrix stream, binary and XML forms: round trips with the 32-bit
// extremes, the element-type tags against TMatrix data, hostile input and
// the sparse guard.
#include "ORK_matrix.h"
#include "test_support.h"

#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::TempDir;

namespace {

// 4 x 3 with both extremes, zero, -1 and assorted values.
void Extremes(TIntMatrix& m) {
  m.Resize(4, 3);
  const int32_t v[] = {INT32_MIN,     INT32_MAX,     0,  -1,  1, 123456789, -987654321,
                       INT32_MIN + 1, INT32_MAX - 1, 42, -42, 7};
  for (int32_t k = 0; k < 12; ++k) m.SetVal(k / 3 + 1, k % 3 + 1, v[k]);
  m.SetDataID("counts \xC3\xA4");
}

std::vector<int32_t> Elems(const TIntMatrix& m) { return {m.Values().begin(), m.Values().end()}; }

std::vector<uint8_t> FileBytes(const std::string& f) {
  TMemoryStream s;
  s.LoadFromFile(f);
  return s.Memory();
}

void PutFile(const std::string& f, const std::vector<uint8_t>& b) {
  TMemoryStream s;
  s.Write(b.data(), static_cast<int64_t>(b.size()));
  s.SaveToFile(f);
}

// One way to write a matrix and read it back (DataID "id").
struct Form {
  const char* name;
  std::function<bool(const TIntMatrix&, TIntMatrix&, const TempDir&)> trip;
  bool keeps_id;
};

const Form kForms[] = {
    {"memory stream",
     [](const TIntMatrix& a, TIntMatrix& b, const TempDir&) {
       TMemoryStream* s = nullptr;
       a.SaveToStream(s, 0, 0, 0, 0);
       std::unique_ptr<TMemoryStream> owned(s);
       s->SetPosition(0);
       return b.LoadFromStream(s, true) && s->Position() == s->Size();
     },
     false},
    {"file stream",
     [](const TIntMatrix& a, TIntMatrix& b, const TempDir& d) {
       {
         TFileStream out(d.File("m.bin"), TFileMode::fmCreate);
         a.SaveToStream(&out, 0, 0, 0, 0);
       }
       TFileStream in(d.File("m.bin"), TFileMode::fmOpenRead);
       return b.LoadFromStream(&in, true);
     },
     false},
    {"binary file",
     [](const TIntMatrix& a, TIntMatrix& b, const TempDir& d) {
       a.SaveBinary(d.File("m.nbi"));
       b.LoadBinary(d.File("m.nbi"));
       return true;
     },
     true},
    {"XML file",
     [](const TIntMatrix& a, TIntMatrix& b, const TempDir& d) {
       a.SaveAsXMLFile(d.File("m.xml"), a.DataID());
       return b.LoadFromXMLFile(d.File("m.xml"), a.DataID());
     },
     true},
    {"XML stream",
     [](const TIntMatrix& a, TIntMatrix& b, const TempDir&) {
       TMemoryStream s;
       a.WriteToXMLStream(&s, true, "other");
       a.WriteToXMLStream(&s, false, a.DataID());
       a.WriteToXMLStream(&s, false, "next");
       s.SetPosition(0);
       TIntMatrix next;  // found right behind the element read first
       return b.ReadFromXMLStream(&s, a.DataID()) && next.ReadFromXMLStream(&s, "") &&
              next.DataID() == "next";
     },
     true},
    {"open XML file",
     [](const TIntMatrix& a, TIntMatrix& b, const TempDir& d) {
       {
         TTextWriter out;
         if (!out.Open(d.File("o.xml"))) return false;
         a.WriteToOpenXMLFile(out, true, a.DataID());
         if (!out.Close()) return false;
       }
       TTextReader in(d.File("o.xml"));
       return b.ReadFromOpenXMLFile(in, a.DataID());
     },
     true},
};

}  // namespace

TEST(TIntMatrixPersist, EveryFormRoundTripsExtremesAndEmptyMatrices) {
  TempDir dir;
  for (const Form& f : kForms) {
    for (const int32_t cols : {4, 0}) {
      TIntMatrix src;
      Extremes(src);
      if (cols == 0) src.Resize(0, 3);
      TIntMatrix back;
      back.SetDataID("old");
      int changes = 0;
      back.OnChange = [&](TObject*) { ++changes; };
      ASSERT_TRUE(f.trip(src, back, dir)) << f.name << ", " << cols << " columns";
      EXPECT_EQ(changes, 1) << f.name;
      EXPECT_EQ(back.NrOfColumns(), cols) << f.name;
      EXPECT_EQ(back.NrOfRows(), 3) << f.name;
      EXPECT_EQ(Elems(back), Elems(src)) << f.name;
      EXPECT_EQ(back.DataID(), f.keeps_id ? src.DataID() : "old") << f.name;
    }
  }
}

TEST(TIntMatrixPersist, HostileBinaryFilesRaiseAndChangeNothing) {
  TempDir dir;
  TIntMatrix src;
  Extremes(src);
  src.SaveBinary(dir.File("good"));
  const auto good = FileBytes(dir.File("good"));
  const auto with = [&](std::size_t at, uint32_t v) {
    auto b = good;
    std::memcpy(b.data() + at, &v, 4);
    return b;
  };
  TMatrix dm;
  dm.SaveBinary(dir.File("double"));
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    const char* message;  // after 'Component "T": '
  };
  const Case cases[] = {
      {"empty", {}, "\"F\" is not an integer matrix binary file"},
      {"truncated header",
       {good.begin(), good.begin() + 20},
       "\"F\" is not an integer matrix binary file"},
      {"a TMatrix file", FileBytes(dir.File("double")),
       "\"F\" is not an integer matrix binary file"},
      {"version 2", with(8, 2), "integer matrix binary file \"F\" has unsupported version 2"},
      {"truncated values",
       {good.begin(), good.end() - 5},
       "integer matrix binary file \"F\" is damaged"},
      {"one byte more",
       [&] {
         auto b = good;
         b.push_back(0);
         return b;
       }(),
       "integer matrix binary file \"F\" is damaged"},
      {"huge columns", with(12, 0x7FFFFFFF), "integer matrix binary file \"F\" is damaged"},
      {"negative rows", with(16, 0xFFFFFFFF), "integer matrix binary file \"F\" is damaged"},
      {"huge id length", with(20, 0x7FFFFFFF), "integer matrix binary file \"F\" is damaged"},
      {"flipped element bit",
       [&] {
         auto b = good;
         b[40] ^= 0x10;
         return b;
       }(),
       "integer matrix binary file \"F\" is damaged"},
  };
  const std::string f = dir.File("F");
  for (const Case& c : cases) {
    PutFile(f, c.data);
    TIntMatrix m;
    m.SetName("T");
    m.SetVal(1, 1, 9);
    int changes = 0;
    m.OnChange = [&](TObject*) { ++changes; };
    std::string msg = c.message;
    msg.replace(msg.find("\"F\""), 3, "\"" + f + "\"");
    try {
      m.LoadBinary(f);
      ADD_FAILURE() << c.name << ": no exception";
    } catch (const EORKMatrixError& e) {
      EXPECT_EQ(std::string(e.what()), "Component \"T\": " + msg) << c.name;
    }
    EXPECT_EQ(changes, 0) << c.name;
    EXPECT_EQ(Elems(m), std::vector<int32_t>{9}) << c.name;
  }
}

TEST(TIntMatrixPersist, HostileStreamsAndXmlFailAndChangeNothing) {
  TIntMatrix src;
  Extremes(src);
  TMemoryStream good;
  TMemoryStream* gp = &good;
  src.SaveToStream(gp, 0, 0, 0, 0);
  const auto bytes = good.Memory();
  const auto with = [&](std::size_t at, uint32_t v) {
    auto b = bytes;
    std::memcpy(b.data() + at, &v, 4);
    return b;
  };
  const std::vector<std::vector<uint8_t>> streams = {
      {},
      {bytes.begin(), bytes.begin() + 19},
      {bytes.begin(), bytes.end() - 1},
      with(0, 0x31534D4E),                  // "NMS1", the tag of doubles
      with(4, 0),                           // LoC 0
      with(12, 0x7FFFFFFF),                 // a region of 2^31 columns
      with(16, static_cast<uint32_t>(-7)),  // HiR below LoR - 1
  };
  for (std::size_t k = 0; k < streams.size(); ++k) {
    TMemoryStream s;
    s.Write(streams[k].data(), static_cast<int64_t>(streams[k].size()));
    s.SetPosition(0);
    TIntMatrix m;
    m.SetVal(1, 1, 9);
    EXPECT_FALSE(m.LoadFromStream(&s, true)) << "stream " << k;
    EXPECT_EQ(s.Position(), 0) << "stream " << k;
    EXPECT_EQ(Elems(m), std::vector<int32_t>{9}) << "stream " << k;
  }

  // Cell values: whole numbers in any number form within 32 bits are taken.
  const auto doc = [](const std::string& cell) {
    return "<matrix dataid=\"a\"><numcols>1</numcols><numrows>2</numrows>"
           "<cell col=\"1\" row=\"1\">5</cell><cell col=\"1\" row=\"2\">" +
           cell + "</cell></matrix>";
  };
  struct XmlCase {
    std::string text;
    bool ok;
    int32_t value;
  };
  const XmlCase xml[] = {
      {doc("-2147483648"), true, INT32_MIN},
      {doc(" +2147483647 "), true, INT32_MAX},
      {doc("1e+06"), true, 1000000},
      {doc("-3.0"), true, -3},
      {doc("2147483648"), false, 0},
      {doc("-2147483649"), false, 0},
      {doc("2.5"), false, 0},
      {doc("1e300"), false, 0},
      {doc("inf"), false, 0},
      {doc("nan"), false, 0},
      {doc(""), false, 0},
      {doc("7").substr(0, 90), false, 0},
      {"<matrix><numcols>100000</numcols><numrows>100000</numrows></matrix>", false, 0},
  };
  for (const XmlCase& c : xml) {
    TMemoryStream s;
    s.Write(c.text.data(), static_cast<int64_t>(c.text.size()));
    s.SetPosition(0);
    TIntMatrix m;
    m.SetVal(1, 1, 9);
    ASSERT_EQ(m.ReadFromXMLStream(&s, "a"), c.ok) << c.text;
    if (c.ok)
      EXPECT_EQ(Elems(m), (std::vector<int32_t>{5, c.value})) << c.text;
    else
      EXPECT_EQ(Elems(m), std::vector<int32_t>{9}) << c.text;
  }
  // Whole doubles written by TMatrix read into a TIntMatrix; any TIntMatrix
  // element reads into a TMatrix.
  TMatrix d;
  d.Resize(2, 1);
  d.SetVal(1, 1, 1e6);
  d.SetVal(2, 1, -2147483648.0);
  TMemoryStream s;
  d.WriteToXMLStream(&s, false, "");
  src.WriteToXMLStream(&s, false, "");
  s.SetPosition(0);
  TIntMatrix m;
  ASSERT_TRUE(m.ReadFromXMLStream(&s, ""));
  EXPECT_EQ(Elems(m), (std::vector<int32_t>{1000000, INT32_MIN}));
  ASSERT_TRUE(d.ReadFromXMLStream(&s, ""));
  EXPECT_EQ(d.GetVal(1, 1), static_cast<double>(INT32_MIN));
  EXPECT_EQ(d.GetVal(4, 3), 7.0);
}

TEST(TIntMatrixPersist, SparseMatricesAreRefused) {
  TempDir dir;
  TIntMatrix dense;
  dense.SaveBinary(dir.File("d.nbm"));
  std::unique_ptr<TIntMatrix> sp(TIntMatrix::CreateSparse(nullptr, 1));
  sp->SetName("S");
  sp->SetVal(2, 3, 4);
  TMemoryStream ms;
  TMemoryStream* mp = &ms;
  TTextWriter w;
  TTextReader r(dir.File("d.nbm"));
  const std::pair<const char*, std::function<void()>> ops[] = {
      {"SaveToStream", [&] { sp->SaveToStream(mp, 0, 0, 0, 0); }},
      {"LoadFromStream", [&] { sp->LoadFromStream(&ms, true); }},
      {"SaveBinary", [&] { sp->SaveBinary(dir.File("s.nbm")); }},
      {"LoadBinary", [&] { sp->LoadBinary(dir.File("d.nbm")); }},
      {"SaveAsXMLFile", [&] { sp->SaveAsXMLFile(dir.File("s.xml"), ""); }},
      {"LoadFromXMLFile", [&] { sp->LoadFromXMLFile(dir.File("s.xml"), ""); }},
      {"WriteToXMLStream", [&] { sp->WriteToXMLStream(&ms, true, ""); }},
      {"ReadFromXMLStream", [&] { sp->ReadFromXMLStream(&ms, ""); }},
      {"WriteToOpenXMLFile", [&] { sp->WriteToOpenXMLFile(w, true, ""); }},
      {"ReadFromOpenXMLFile", [&] { sp->ReadFromOpenXMLFile(r, ""); }},
  };
  for (const auto& [op, call] : ops) {
    try {
      call();
      ADD_FAILURE() << op << ": no exception";
    } catch (const EORKMatrixError& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("Component \"S\": ") + op + ": not available for a sparse matrix");
    }
  }
  EXPECT_EQ(ms.Size(), 0);
  EXPECT_EQ(sp->GetVal(2, 3), 4);
  EXPECT_EQ(sp->SparseNumElem(), 1);
  int32_t nc = 0, nr = 0;
  std::string id;
  EXPECT_TRUE(sp->ReadBinaryHeader(dir.File("d.nbm"), nc, nr, id));
}

// Files written from the byte layout by tests/data/intmatrix/make_layouts.py.
TEST(TIntMatrixPersist, MatchesIndependentlyWrittenFiles) {
  const std::string data = std::string(NUMBRA_TEST_DATA_DIR) + "/intmatrix/";
  TIntMatrix m;
  m.LoadBinary(data + "m3x2.nbm");
  ASSERT_EQ(m.NrOfColumns(), 3);
  ASSERT_EQ(m.NrOfRows(), 2);
  EXPECT_EQ(Elems(m), (std::vector<int32_t>{INT32_MIN, INT32_MAX, 0, -1, 7, 123456}));
  EXPECT_EQ(m.DataID(), "ab");
  TempDir dir;
  m.SaveBinary(dir.File("again.nbm"));
  EXPECT_EQ(FileBytes(dir.File("again.nbm")), FileBytes(data + "m3x2.nbm"));
  TMemoryStream* s = nullptr;
  m.SaveToStream(s, 2, 1, 3, 2);
  std::unique_ptr<TMemoryStream> owned(s);
  EXPECT_EQ(s->Memory(), FileBytes(data + "m3x2_region.bin"));
  TFileStream in(data + "m3x2_region.bin", TFileMode::fmOpenRead);
  TIntMatrix part;
  part.Resize(3, 2);
  ASSERT_TRUE(part.LoadFromStream(&in, false));
  EXPECT_EQ(Elems(part), (std::vector<int32_t>{0, 0, 0, -1, 7, 123456}));
  // The element type tags keep TMatrix from taking these for doubles, and
  // TIntMatrix from reading a TMatrix file's header.
  TMatrix d;
  in.SetPosition(0);
  EXPECT_FALSE(d.LoadFromStream(&in, true));
  EXPECT_THROW(d.LoadBinary(data + "m3x2.nbm"), EORKMatrixError);
  d.SaveBinary(dir.File("d.nbm"));
  int32_t nc = -1, nr = -1;
  std::string id;
  EXPECT_FALSE(m.ReadBinaryHeader(dir.File("d.nbm"), nc, nr, id));
  EXPECT_EQ(nc, -1);
  EXPECT_TRUE(m.ReadBinaryHeader(data + "m3x2.nbm", nc, nr, id));
  EXPECT_EQ(nc * 10 + nr, 32);
  EXPECT_EQ(id, "ab");
}
