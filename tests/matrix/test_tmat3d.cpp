// TMat3D: size rules, events, layer exchange with TMatrix, search,
// extremes, percentiles against a sorted copy, and the XML form.
#include "ORK_matrix.h"
#include "matrix_test_util.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using numbra::EORKMatrixError;
using numbra::TMat3D;
using numbra::TMatrix;

namespace {

// Element (x, y, z) = 100 x + 10 y + z: every value names its position.
void FillPositional(TMat3D& m, int nx, int ny, int nz) {
  m.Resize(nx, ny, nz);
  for (int x = 1; x <= nx; ++x)
    for (int y = 1; y <= ny; ++y)
      for (int z = 1; z <= nz; ++z) m.SetVal(x, y, z, 100.0 * x + 10.0 * y + z);
}

template <class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const EORKMatrixError& e) {
    return e.what();
  }
  return "no EORKMatrixError";
}

}  // namespace

TEST(TMat3D, SizeRulesAndEvents) {
  TMat3D m;
  m.SetName("A");
  int changes = 0;
  m.OnChange = [&](numbra::TObject* s) {
    EXPECT_EQ(s, &m);
    ++changes;
  };
  EXPECT_EQ(m.NrOfColumns() * m.NrOfRows() * m.NrOfLayers(), 1);
  FillPositional(m, 4, 3, 2);
  EXPECT_EQ(changes, 1);  // Resize only; SetVal is silent
  EXPECT_TRUE(m.Resize(2, 0, 3));
  EXPECT_EQ(m.NrOfRows(), 3);
  EXPECT_EQ(m.NrOfLayers(), 2);
  EXPECT_TRUE(m.Resize(4, 3, 2));  // the same size: nothing
  EXPECT_EQ(changes, 1);
  m.SetNLayers(0);
  EXPECT_EQ(m.NrOfLayers(), 1);
  EXPECT_DOUBLE_EQ(m.GetVal(4, 3, 1), 431);  // kept through the resize
  m.SetNLayers(3);
  EXPECT_DOUBLE_EQ(m.GetVal(4, 3, 3), 0.0);
  EXPECT_DOUBLE_EQ(m.GetVal(5, 1, 1), 0.0);  // outside reads 0
  m.SetVal(0, 1, 1, 9.0);                    // outside writes vanish
  const int before = changes;
  m.Fill(0.0);
  m.Fill(1.0);
  EXPECT_EQ(changes, before);
  m.FillDiag(7.0);
  EXPECT_EQ(changes, before + 1);
  EXPECT_DOUBLE_EQ(m.GetVal(3, 3, 3), 7.0);
  EXPECT_DOUBLE_EQ(m.GetVal(4, 3, 3), 1.0);
  TMat3D c;
  c.Clone(&m);
  EXPECT_EQ(c.CRCofData(), m.CRCofData());
  EXPECT_EQ(c.CRCofData().size(), 64U);
}

TEST(TMat3D, LayerExchangeWithTMatrix) {
  TMat3D m;
  m.SetName("L");
  FillPositional(m, 4, 3, 2);
  TMatrix out;
  m.CopyLayerToMatrix(&out, 0, 0, 0, 0, 2);
  ASSERT_EQ(out.NrOfColumns(), 4);
  ASSERT_EQ(out.NrOfRows(), 3);
  EXPECT_DOUBLE_EQ(out.GetVal(3, 2), 322);
  m.CopyLayerToMatrix(&out, 3, 2, 2, 3, 1);  // reversed column bounds
  EXPECT_EQ(out.NrOfColumns(), 2);
  EXPECT_DOUBLE_EQ(out.GetVal(1, 1), 221);
  EXPECT_EQ(MessageOf([&] { m.CopyLayerToMatrix(&out, 0, 0, 0, 0, 3); }),
            "Component \"L\": specified layer beyond data range");
  EXPECT_EQ(MessageOf([&] { m.CopyMatrixToLayer(&out, 1, 1, 1, 1, 0, 1, 1); }),
            "Component \"L\": specified layer beyond data range");

  TMatrix src;
  matrix_test::SetRows(src, {{1, 2, 3}, {4, 5, 6}});
  TMat3D t;
  t.Resize(3, 2, 1);
  t.CopyMatrixToLayer(&src, 1, 3, 1, 2, 1, 0, 1);  // column 1 would land at 0
  EXPECT_DOUBLE_EQ(t.GetVal(1, 1, 1), 2);
  EXPECT_DOUBLE_EQ(t.GetVal(2, 2, 1), 6);
  EXPECT_DOUBLE_EQ(t.GetVal(3, 1, 1), 0);
  t.CopyMatrixToLayer(&src, 3, 4, 1, 1, 1, 1, 1);  // source column 4 reads 0
  EXPECT_DOUBLE_EQ(t.GetVal(1, 1, 1), 3);
  EXPECT_DOUBLE_EQ(t.GetVal(2, 1, 1), 0);

  // TMatrix::CopyFrom of one layer: the layer is clamped into the array.
  TMatrix dest;
  dest.Resize(2, 2);
  dest.CopyFrom(&m, 2, 2, 3, 3, 9, 1, 1);
  EXPECT_DOUBLE_EQ(dest.GetVal(1, 1), 222);
  EXPECT_DOUBLE_EQ(dest.GetVal(2, 2), 332);
  dest.CopyFrom(static_cast<const TMat3D*>(nullptr), 1, 1, 1, 1, 1, 1, 1);
}

TEST(TMat3D, FindAndMinMaxVisitXThenYThenZ) {
  TMat3D m;
  FillPositional(m, 3, 3, 3);
  int32_t x = 0, y = 0, z = 0;
  m.Find(0, 0, 0, 0, 0, 0, 222.4, x, y, z);
  EXPECT_EQ((std::vector<int>{x, y, z}), (std::vector<int>{2, 2, 2}));
  m.SetVal(1, 3, 1, 5.0);
  m.SetVal(3, 1, 1, 5.0);  // equal distance, later in x-outer order
  m.Find(0, 0, 0, 0, 0, 0, 5.0, x, y, z);
  EXPECT_EQ((std::vector<int>{x, y, z}), (std::vector<int>{1, 3, 1}));
  m.Find(2, 3, 1, 3, 1, 3, 5.0, x, y, z);
  EXPECT_EQ((std::vector<int>{x, y, z}), (std::vector<int>{3, 1, 1}));
  double lo = 0, hi = 0;
  m.MinMax(2, 3, 2, 3, 2, 3, lo, hi);
  EXPECT_DOUBLE_EQ(lo, 222);
  EXPECT_DOUBLE_EQ(hi, 333);
  m.Fill(std::nan(""));
  m.MinMax(0, 0, 0, 0, 0, 0, lo, hi);
  EXPECT_EQ(lo, numbra::uc_MaxReal);
  EXPECT_EQ(hi, -numbra::uc_MaxReal);
  m.Find(0, 0, 0, 0, 0, 0, 1.0, x, y, z);
  EXPECT_EQ(x + y + z, 0);
}

TEST(TMat3D, PercentilesMatchASortedCopy) {
  TMat3D m;
  numbra::SetRandSeed(7);
  m.Resize(5, 4, 3);
  m.FillRandomGauss(0.0, 1.0);
  // The region 2..4 x 1..3 x 2..3, sorted independently of the library.
  std::vector<double> region;
  for (int x = 2; x <= 4; ++x)
    for (int y = 1; y <= 3; ++y)
      for (int z = 2; z <= 3; ++z) region.push_back(m.GetVal(x, y, z));
  std::sort(region.begin(), region.end());
  const auto n = static_cast<double>(region.size());  // 18
  for (const double p : {0.0, 10.0, 25.0, 50.0, 61.0, 99.0, 100.0, 150.0}) {
    const double k = std::min(std::nearbyint(std::min(p, 100.0) * n / 100.0), n - 1);
    EXPECT_EQ(m.Percentile(p, 4, 2, 1, 3, 2, 3), region[static_cast<std::size_t>(k)]) << p;
    // Sample size n or more falls back to the exact form.
    EXPECT_EQ(m.Percentile(p, 2, 4, 1, 3, 2, 3, 18), region[static_cast<std::size_t>(k)]) << p;
  }
  // A sampled estimate draws elements of the region only.
  const double est = m.Percentile(50, 2, 4, 1, 3, 2, 3, 5);
  EXPECT_TRUE(std::binary_search(region.begin(), region.end(), est));
}

TEST(TMat3D, XmlRoundTripsAndRefusesBrokenInput) {
  TMat3D m;
  FillPositional(m, 3, 2, 2);
  m.SetVal(2, 1, 2, 0.1);
  m.SetVal(3, 2, 1, -std::numeric_limits<double>::infinity());
  numbra::TMemoryStream s;
  m.WriteToXMLStream(&s, true, "first");
  m.SetVal(1, 1, 1, 42.0);
  m.WriteToXMLStream(&s, false, "second");
  s.SetPosition(0);
  TMat3D r;
  ASSERT_TRUE(r.ReadFromXMLStream(&s, "second"));
  EXPECT_EQ(r.DataID(), "second");
  EXPECT_EQ(r.CRCofData(), m.CRCofData());
  s.SetPosition(0);
  ASSERT_TRUE(r.ReadFromXMLStream(&s, ""));
  EXPECT_DOUBLE_EQ(r.GetVal(1, 1, 1), 111);
  EXPECT_EQ(std::bit_cast<uint64_t>(r.GetVal(2, 1, 2)), std::bit_cast<uint64_t>(0.1));

  numbra_test::TempDir dir;
  m.SaveAsXMLFile(dir.File("a.xml"), "id");
  TMat3D f;
  ASSERT_TRUE(f.LoadFromXMLFile(dir.File("a.xml"), "id"));
  EXPECT_EQ(f.CRCofData(), m.CRCofData());
  {
    numbra::TTextWriter w;
    ASSERT_TRUE(w.Open(dir.File("b.xml")));
    m.WriteToOpenXMLFile(w, true, "x");
    w.WriteLine("after");
    ASSERT_TRUE(w.Close());
  }
  numbra::TTextReader in(dir.File("b.xml"));
  ASSERT_TRUE(f.ReadFromOpenXMLFile(in, "x"));
  std::string line;
  ASSERT_TRUE(in.ReadLine(line));
  EXPECT_EQ(line, "after");

  const std::string head =
      "<mat3d><numcols>1</numcols><numrows>1</numrows><numlayers>2</numlayers>";
  const struct {
    const char* name;
    std::string xml;
  } bad[] = {
      {"missing cell", head + "<cell col='1' row='1' layer='1'>1</cell></mat3d>"},
      {"repeated cell", head + "<cell col='1' row='1' layer='1'>1</cell>"
                               "<cell col='1' row='1' layer='1'>2</cell></mat3d>"},
      {"layer out of range", head + "<cell col='1' row='1' layer='3'>1</cell>"
                                    "<cell col='1' row='1' layer='1'>2</cell></mat3d>"},
      {"cell before sizes", "<mat3d><cell col='1' row='1' layer='1'>1</cell></mat3d>"},
      {"zero size", "<mat3d><numcols>0</numcols></mat3d>"},
      {"huge claim",
       "<mat3d><numcols>100000</numcols><numrows>100000</numrows>"
       "<numlayers>100000</numlayers></mat3d>"},
      {"not a number", head + "<cell col='1' row='1' layer='1'>x</cell>"
                              "<cell col='1' row='1' layer='2'>2</cell></mat3d>"},
      {"unclosed", head + "<cell col='1' row='1' layer='1'>1</cell>"},
      {"wrong element", "<matrix><numcols>1</numcols></matrix>"},
  };
  for (const auto& b : bad) {
    numbra::TMemoryStream in_s;
    in_s.Write(b.xml.data(), static_cast<int64_t>(b.xml.size()));
    in_s.SetPosition(0);
    TMat3D t;
    t.SetVal(1, 1, 1, 5.0);
    EXPECT_FALSE(t.ReadFromXMLStream(&in_s, "")) << b.name;
    EXPECT_DOUBLE_EQ(t.GetVal(1, 1, 1), 5.0) << b.name;
  }
}
