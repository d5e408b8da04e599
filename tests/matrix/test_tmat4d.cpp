// TMat4D: addresses, structure operations against naive loops over their
// definitions, statistics and per-pixel reductions against long double
// references, exchange with the other arrays, and the XML form.
#include "ORK_matrix.h"
#include "matrix_test_util.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using numbra::EORKMatrixError;
using numbra::TMat3D;
using numbra::TMat4D;
using numbra::TMatrix;

namespace {

// Element (x, y, z, t) = 1000 x + 100 y + 10 z + t.
void FillPositional(TMat4D& m, int nx, int ny, int nz, int nt) {
  m.Resize(nx, ny, nz, nt);
  for (int x = 1; x <= nx; ++x)
    for (int y = 1; y <= ny; ++y)
      for (int z = 1; z <= nz; ++z)
        for (int t = 1; t <= nt; ++t) m.SetVal(x, y, z, t, 1000.0 * x + 100.0 * y + 10.0 * z + t);
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

// The values of pixel (x, y) over layers z0..z1 and time slots t0..t1.
std::vector<double> Pixel(const TMat4D& m, int x, int y, int z0, int z1, int t0, int t1) {
  std::vector<double> v;
  for (int t = t0; t <= t1; ++t)
    for (int z = z0; z <= z1; ++z) v.push_back(m.GetVal(x, y, z, t));
  return v;
}

}  // namespace

TEST(TMat4D, AddressesAndSizes) {
  TMat4D m;
  EXPECT_EQ(m.NrOfColumns() * m.NrOfRows() * m.NrOfLayers() * m.NrOfTimeSlots(), 1);
  m.Resize(3, 2, 4, 1);
  const struct {
    int x, y, z, lin;
  } cases[] = {{1, 1, 1, 0}, {2, 1, 1, 4}, {1, 1, 4, 3}, {3, 2, 4, 23}, {1, 2, 2, 13}};
  for (const auto& c : cases) {
    EXPECT_EQ(m.Lin3DAddr(c.x, c.y, c.z), c.lin);
    int32_t x = 0, y = 0, z = 0;
    ASSERT_TRUE(m.ConvertLinTo3DAddr(c.lin, x, y, z));
    EXPECT_EQ((std::array<int, 3>{x, y, z}), (std::array<int, 3>{c.x, c.y, c.z}));
  }
  EXPECT_EQ(m.Lin3DAddr(4, 1, 1), -1);
  EXPECT_EQ(m.Lin3DAddr(1, 1, 0), -1);
  int32_t x = 7, y = 7, z = 7;
  EXPECT_FALSE(m.ConvertLinTo3DAddr(24, x, y, z));
  EXPECT_FALSE(m.ConvertLinTo3DAddr(-1, x, y, z));
  EXPECT_EQ(x, 7);
  TMat4D big;
  big.Resize(1024, 1024, 1, 1);
  EXPECT_DOUBLE_EQ(big.MemoryConsumed(), 8.0);
  // Resize keeps what both sizes hold, ignores sizes below 1.
  FillPositional(m, 3, 2, 4, 2);
  m.Resize(2, 3, 4, 3);
  EXPECT_DOUBLE_EQ(m.GetVal(2, 2, 4, 2), 2242);
  EXPECT_DOUBLE_EQ(m.GetVal(2, 3, 1, 1), 0.0);
  EXPECT_TRUE(m.Resize(0, 5, 5, 5));
  EXPECT_EQ(m.NrOfColumns(), 2);
  m.SetNrOfTimeSlots(0);
  EXPECT_EQ(m.NrOfTimeSlots(), 1);
  EXPECT_DOUBLE_EQ(m.GetVal(1, 1, 1, 1), 1111);
}

TEST(TMat4D, ResampleFollowsItsDefinition) {
  // The 3 x 3 example: 2 x 2 blocks averaged, edges divided by 4 as well.
  TMat4D m;
  m.Resize(3, 3, 1, 1);
  for (int x = 1; x <= 3; ++x)
    for (int y = 1; y <= 3; ++y) m.SetVal(x, y, 1, 1, 3.0 * (y - 1) + x);
  m.Resample(2, 0, 2, 0, 1, 0, 1, 0, true);
  ASSERT_EQ(m.NrOfColumns(), 2);
  ASSERT_EQ(m.NrOfRows(), 2);
  EXPECT_DOUBLE_EQ(m.GetVal(1, 1, 1, 1), (1 + 2 + 4 + 5) / 4.0);
  EXPECT_DOUBLE_EQ(m.GetVal(2, 1, 1, 1), (3 + 6) / 4.0);
  EXPECT_DOUBLE_EQ(m.GetVal(2, 2, 1, 1), 9 / 4.0);

  // Other divisors and offsets (negative and beyond the divisor included)
  // against a naive loop over the block of every new element.
  const std::array<int, 8> params[] = {{2, 1, 3, 0, 2, 1, 1, 0},
                                       {3, 5, 1, 0, 3, 2, 2, 1},
                                       {1, 0, 2, -1, 1, 0, 3, 0},
                                       {7, 0, 1, 0, 1, 0, 1, 0},
                                       {4, 3, 4, 3, 4, 3, 4, 3}};
  for (const auto& p : params)
    for (const bool average : {true, false}) {
      TMat4D src;
      FillPositional(src, 5, 4, 6, 3);
      TMat4D r;
      r.Assign(&src);
      r.Resample(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], average);
      const int n[4] = {5, 4, 6, 3};
      int nn[4], off[4];
      for (int d = 0; d < 4; ++d) {
        off[d] = ((p[2 * d + 1] % p[2 * d]) + p[2 * d]) % p[2 * d];
        nn[d] = (n[d] - off[d] - 1) / p[2 * d] + 1;
      }
      ASSERT_EQ(
          (std::array<int, 4>{r.NrOfColumns(), r.NrOfRows(), r.NrOfLayers(), r.NrOfTimeSlots()}),
          (std::array<int, 4>{nn[0], nn[1], nn[2], nn[3]}));
      for (int x = 1; x <= nn[0]; ++x)
        for (int y = 1; y <= nn[1]; ++y)
          for (int z = 1; z <= nn[2]; ++z)
            for (int t = 1; t <= nn[3]; ++t) {
              long double sum = 0;
              for (int i = 1; i <= p[0]; ++i)
                for (int j = 1; j <= p[2]; ++j)
                  for (int k = 1; k <= p[4]; ++k)
                    for (int l = 1; l <= p[6]; ++l)
                      sum += src.GetVal((x - 1) * p[0] + off[0] + i, (y - 1) * p[2] + off[1] + j,
                                        (z - 1) * p[4] + off[2] + k, (t - 1) * p[6] + off[3] + l);
              const double want =
                  average ? static_cast<double>(sum / (p[0] * p[2] * p[4] * p[6]))
                          : src.GetVal((x - 1) * p[0] + off[0] + 1, (y - 1) * p[2] + off[1] + 1,
                                       (z - 1) * p[4] + off[2] + 1, (t - 1) * p[6] + off[3] + 1);
              // Integer data: the block sums are exact, one rounding in the
              // division.
              ASSERT_DOUBLE_EQ(r.GetVal(x, y, z, t), want) << x << y << z << t;
            }
    }
  TMat4D bad;
  bad.SetName("R");
  EXPECT_EQ(MessageOf([&] { bad.Resample(1, 0, 0, 0, 1, 0, 1, 0, true); }),
            "Component \"R\": Resample: divisor 0 below 1");
}

TEST(TMat4D, CutTransposeMirrorAndBlockCopy) {
  TMat4D m;
  FillPositional(m, 4, 3, 3, 2);
  std::vector<int> percents;
  m.OnPercentDone = [&](numbra::TObject*, int32_t p) { percents.push_back(p); };
  int changes = 0;
  m.OnChange = [&](numbra::TObject*) { ++changes; };
  m.Cut(2, 4, 3, 2, 2, 2, 0, 0);
  ASSERT_EQ((std::array<int, 4>{m.NrOfColumns(), m.NrOfRows(), m.NrOfLayers(), m.NrOfTimeSlots()}),
            (std::array<int, 4>{3, 2, 1, 2}));
  EXPECT_DOUBLE_EQ(m.GetVal(1, 1, 1, 2), 2222);
  EXPECT_DOUBLE_EQ(m.GetVal(3, 2, 1, 1), 4321);
  EXPECT_EQ(percents.back(), 100);
  EXPECT_EQ(changes, 1);

  FillPositional(m, 4, 3, 2, 2);
  m.Transpose();
  EXPECT_EQ(m.NrOfColumns(), 3);
  EXPECT_DOUBLE_EQ(m.GetVal(3, 4, 2, 1), 4321);
  m.MirrorColumns();
  EXPECT_DOUBLE_EQ(m.GetVal(1, 4, 2, 1), 4321);
  m.MirrorRows();
  EXPECT_DOUBLE_EQ(m.GetVal(1, 1, 2, 1), 4321);
  m.MirrorLayers();
  EXPECT_DOUBLE_EQ(m.GetVal(1, 1, 1, 1), 4321);
  m.MirrorTimeSlots();
  EXPECT_DOUBLE_EQ(m.GetVal(1, 1, 1, 2), 4321);
  EXPECT_DOUBLE_EQ(m.GetVal(3, 4, 2, 1), 1112);

  // Block copy onto itself with overlap reads the original values.
  FillPositional(m, 4, 1, 1, 1);
  m.CopyFrom(&m, 1, 3, 0, 0, 0, 0, 0, 0, 2, 1, 1, 1);
  EXPECT_EQ((std::vector<double>{m.GetVal(1, 1, 1, 1), m.GetVal(2, 1, 1, 1), m.GetVal(3, 1, 1, 1),
                                 m.GetVal(4, 1, 1, 1)}),
            (std::vector<double>{1111, 1111, 2111, 3111}));
  TMat4D dst;
  dst.Resize(2, 2, 2, 2);
  TMat4D src;
  FillPositional(src, 3, 3, 3, 3);
  dst.CopyFrom(&src, 3, 2, 0, 0, 3, 3, 2, 2, 0, 2, 2, 1);  // target column 0 dropped
  EXPECT_DOUBLE_EQ(dst.GetVal(1, 2, 2, 1), 3132);
  EXPECT_DOUBLE_EQ(dst.GetVal(2, 2, 2, 1), 0.0);
  EXPECT_DOUBLE_EQ(dst.GetVal(1, 1, 2, 1), 0.0);  // row 1 of the source went to row 2
}

TEST(TMat4D, ExchangeWithMatrixAnd3DArrays) {
  TMat4D m;
  m.SetName("E");
  FillPositional(m, 3, 3, 6, 2);
  TMat3D slot;
  m.CopyTimeSlotToMat3D(&slot, 2, 3, 0, 0, 5, 6, 2);
  EXPECT_EQ(slot.NrOfColumns() * 100 + slot.NrOfRows() * 10 + slot.NrOfLayers(), 232);
  EXPECT_DOUBLE_EQ(slot.GetVal(1, 3, 2), 2362);
  TMatrix layer;
  m.CopyLayerToMatrix(&layer, 0, 0, 2, 3, 4, 1);
  EXPECT_DOUBLE_EQ(layer.GetVal(3, 2), 3341);
  TMatrix src;
  matrix_test::SetRows(src, {{-1, -2}, {-3, -4}});
  m.CopyMatrixToLayer(&src, 1, 2, 1, 2, 1, 2, 3, 3);
  EXPECT_DOUBLE_EQ(m.GetVal(3, 3, 1, 2), -1);
  EXPECT_DOUBLE_EQ(m.GetVal(2, 2, 1, 2), 2212);
  m.CopyMat3DToTimeSlot(&slot, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1);
  EXPECT_DOUBLE_EQ(m.GetVal(1, 3, 2, 1), 2362);

  const std::vector<double> five{1, 2, 3, 4, 5};
  m.Copy1DArrayToPixel(five, 2, 2, 3, 1);
  // Layers 1 and 2 came from the 3-D block: (3, 2, 5..6) of time slot 2.
  EXPECT_EQ(Pixel(m, 2, 2, 1, 6, 1, 1), (std::vector<double>{3252, 3262, 1, 2, 3, 4}));
  const struct {
    int col, row, layer, slot;
    const char* what;
  } bad[] = {{0, 9, 9, 9, "column"},
             {1, 4, 0, 9, "row"},
             {1, 1, 7, 9, "layer"},
             {1, 1, 1, 3, "time slot"}};
  for (const auto& b : bad)
    EXPECT_EQ(MessageOf([&] { m.Copy1DArrayToPixel(five, b.col, b.row, b.layer, b.slot); }),
              std::string("Component \"E\": specified ") + b.what + " beyond data range");
  EXPECT_EQ(MessageOf([&] { m.CopyLayerToMatrix(&layer, 0, 0, 0, 0, 7, 5); }),
            "Component \"E\": specified layer beyond data range");
  EXPECT_EQ(MessageOf([&] { m.CopyTimeSlotToMat3D(&slot, 0, 0, 0, 0, 0, 0, 3); }),
            "Component \"E\": specified time slot beyond data range");
  m.FillLayer(6, 0.5);
  EXPECT_DOUBLE_EQ(m.GetVal(3, 1, 6, 2), 0.5);
  m.FillLayer(7, 0.5);  // outside: nothing
}

TEST(TMat4D, StatisticsMatchLongDoubleReferences) {
  TMat4D m;
  numbra::SetRandSeed(11);
  m.Resize(6, 5, 4, 3);
  m.FillRandomGauss(1e9, 1.0);  // a large mean beside the spread
  const int r[8] = {2, 5, 1, 4, 2, 3, 1, 3};
  std::vector<double> v;
  for (int x = r[0]; x <= r[1]; ++x)
    for (int y = r[2]; y <= r[3]; ++y)
      for (int z = r[4]; z <= r[5]; ++z)
        for (int t = r[6]; t <= r[7]; ++t) v.push_back(m.GetVal(x, y, z, t));
  long double s = 0, s2 = 0;
  for (const double x : v) {
    s += x;
    s2 += static_cast<long double>(x) * x;
  }
  const long double mean = s / v.size();
  long double ssd = 0;
  for (const double x : v) ssd += (x - mean) * (x - mean);
  double mu = 0, var = 0;
  m.MeanVar(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], mu, var);
  EXPECT_TRUE(numbra_test::RelNear(mu, static_cast<double>(mean), 4));
  // The variance carries the rounding of values near 1e9 (1e-7 absolute),
  // not more.
  EXPECT_NEAR(var, static_cast<double>(ssd / (v.size() - 1)), 1e-6);
  EXPECT_TRUE(numbra_test::RelNear(m.Sum(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]),
                                   static_cast<double>(s), 4));
  EXPECT_TRUE(numbra_test::RelNear(m.SquaredSum(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]),
                                   static_cast<double>(s2), 4));
  double lo = 0, hi = 0;
  m.MinMax(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], lo, hi);
  EXPECT_EQ(lo, *std::min_element(v.begin(), v.end()));
  EXPECT_EQ(hi, *std::max_element(v.begin(), v.end()));
  EXPECT_EQ(m.CountValues(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], 1e9, 2e9),
            std::count_if(v.begin(), v.end(), [](double x) { return x >= 1e9; }));
  std::vector<double> sorted = v;
  std::sort(sorted.begin(), sorted.end());
  for (const double p : {0.0, 33.0, 50.0, 100.0}) {
    const double k = std::min(std::nearbyint(p * v.size() / 100.0), v.size() - 1.0);
    EXPECT_EQ(m.Percentile(p, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]),
              sorted[static_cast<std::size_t>(k)]);
  }
  double one = 0, var1 = 0;
  m.MeanVar(2, 2, 2, 2, 2, 2, 1, 2, one, var1);
  EXPECT_EQ(var1, 1.0);  // fewer than 3 values

  // Find: the first of equal distances in column-outer order.
  TMat4D f;
  FillPositional(f, 3, 3, 3, 3);
  f.SetVal(1, 3, 3, 3, 0.0);
  f.SetVal(2, 1, 1, 1, 0.0);
  int32_t fx = 0, fy = 0, fz = 0, ft = 0;
  f.Find(0, 0, 0, 0, 0, 0, 0, 0, 0.0, fx, fy, fz, ft);
  EXPECT_EQ((std::array<int, 4>{fx, fy, fz, ft}), (std::array<int, 4>{1, 3, 3, 3}));
}

TEST(TMat4D, BackgroundShortcutOnlyWhereItIsTheAnswer) {
  // 60 % zeros, 40 % -1: the zeros are a likely candidate, but the 10th
  // percentile is -1. Whatever the five draws are, the exact rank decides.
  TMat4D m;
  m.Resize(10, 10, 1, 1);
  for (int x = 1; x <= 10; ++x)
    for (int y = 1; y <= 4; ++y) m.SetVal(x, y, 1, 1, -1.0);
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    numbra::SetRandSeed(seed);
    EXPECT_EQ(m.Percentile(10, 0, 0, 0, 0, 0, 0, 0, 0), -1.0);
    EXPECT_EQ(m.Percentile(50, 0, 0, 0, 0, 0, 0, 0, 0), 0.0);
    EXPECT_EQ(m.Percentile(39, 0, 0, 0, 0, 0, 0, 0, 0), -1.0);
    EXPECT_EQ(m.Percentile(40, 0, 0, 0, 0, 0, 0, 0, 0), 0.0);
  }
  const double est = m.Percentile(50, 0, 0, 0, 0, 0, 0, 0, 0, 20);
  EXPECT_TRUE(est == 0.0 || est == -1.0);
}

TEST(TMat4D, PerPixelReductionsMatchLongDoubleReferences) {
  TMat4D m;
  numbra::SetRandSeed(5);
  m.Resize(7, 4, 5, 3);
  m.FillRandomGauss(1e8, 0.001);  // the textbook deviation would keep no digit
  m.SetVal(3, 2, 2, 2, std::nan(""));
  int steps = 0;
  numbra::MathFeedBackProc = [&](double) { ++steps; };
  TMatrix mean, mx, mn, sd;
  const int z0 = 2, z1 = 5, t0 = 1, t1 = 2;
  m.MeanOfLayersToMatrix(&mean, 2, 6, 0, 0, z0, z1, t0, t1);
  m.MaximumOfLayersToMatrix(&mx, 2, 6, 0, 0, z0, z1, t0, t1);
  m.MinimumOfLayersToMatrix(&mn, 2, 6, 0, 0, z0, z1, t0, t1);
  m.StdDevOfLayersToMatrix(&sd, 2, 6, 0, 0, z0, z1, t0, t1);
  numbra::MathFeedBackProc = nullptr;
  EXPECT_EQ(steps, 4 * 20);  // 20 pixels, one step per Trunc(20 / 100) + 1 = 1 pixel
  ASSERT_EQ(mean.NrOfColumns(), 5);
  ASSERT_EQ(mean.NrOfRows(), 4);
  for (int x = 2; x <= 6; ++x)
    for (int y = 1; y <= 4; ++y) {
      const std::vector<double> v = Pixel(m, x, y, z0, z1, t0, t1);
      long double s = 0;
      for (const double a : v) s += a;
      const long double mu = s / v.size();
      long double ssd = 0;
      for (const double a : v) ssd += (a - mu) * (a - mu);
      if (x == 3 && y == 2) {  // the NaN pixel
        EXPECT_TRUE(std::isnan(mean.GetVal(x - 1, y)));
        EXPECT_TRUE(std::isnan(sd.GetVal(x - 1, y)));
        continue;
      }
      EXPECT_TRUE(numbra_test::RelNear(mean.GetVal(x - 1, y), static_cast<double>(mu), 2));
      EXPECT_TRUE(numbra_test::RelNear(sd.GetVal(x - 1, y),
                                       static_cast<double>(std::sqrt(ssd / v.size())), 1e9))
          << "the deviation keeps its leading digits";
      EXPECT_EQ(mx.GetVal(x - 1, y), *std::max_element(v.begin(), v.end()));
      EXPECT_EQ(mn.GetVal(x - 1, y), *std::min_element(v.begin(), v.end()));
    }
}

TEST(TMat4D, AssignCloneAndXml) {
  TMat4D m;
  FillPositional(m, 2, 3, 2, 2);
  m.SetDataID("set");
  int calls = 0;
  m.OnChange = [&](numbra::TObject*) { ++calls; };
  TMat4D a;
  a.Assign(&m);
  EXPECT_EQ(a.DataID(), "set");
  EXPECT_TRUE(static_cast<bool>(a.OnChange));
  EXPECT_EQ(calls, 0);
  TMat4D c;
  c.Clone(&m);
  EXPECT_EQ(c.Values().size(), 24U);
  EXPECT_TRUE(std::equal(c.Values().begin(), c.Values().end(), m.Values().begin()));
  EXPECT_THROW(a.Assign(nullptr), numbra::EConvertError);

  numbra_test::TempDir dir;
  m.SetVal(1, 2, 2, 1, 0.1);
  m.SaveAsXMLFile(dir.File("m.xml"), "four");
  TMat4D r;
  ASSERT_TRUE(r.LoadFromXMLFile(dir.File("m.xml"), "four"));
  EXPECT_TRUE(std::equal(r.Values().begin(), r.Values().end(), m.Values().begin()));
  EXPECT_EQ(r.NrOfTimeSlots(), 2);
  EXPECT_FALSE(r.LoadFromXMLFile(dir.File("m.xml"), "other"));
  numbra_test::WriteText(dir.File("bad.xml"),
                         "<mat4d><numcols>1</numcols><numrows>1</numrows><numlayers>1</numlayers>"
                         "<numtimeslots>2</numtimeslots><cell col='1' row='1' layer='1' "
                         "tslot='1'>1</cell><cell col='1' row='1' layer='1' tslot='1'>1</cell>"
                         "</mat4d>");
  EXPECT_FALSE(r.LoadFromXMLFile(dir.File("bad.xml"), ""));
  EXPECT_EQ(r.NrOfTimeSlots(), 2);
}
