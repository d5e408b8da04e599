// TIntVector: storage, forms, statistics and its differences from TVector.
#include "ORK_vector.h"
#include "test_support.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::TempDir;
using numbra_test::WriteText;

namespace {
void Set(TIntVector& v, std::initializer_list<int32_t> values) {
  v.Resize(static_cast<int32_t>(values.size()));
  int32_t i = 1;
  for (const int32_t x : values) v.SetVal(i++, x);
}
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
}  // namespace

TEST(TIntVectorStorage, FrameAndChecksum) {
  TIntVector v;
  EXPECT_EQ(v.NrOfElem(), 1);
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(v.ClassName(), "TIntVector");
  const std::string crc = v.CRCofData();
  ASSERT_EQ(crc.size(), 32U);
  EXPECT_EQ(crc, "D202EF8DD202EF8DD202EF8DD202EF8D");  // CRC-32 of one 0x00 byte, 4 times
  Set(v, {1, 2, 3, 4, 5, 6, 7, 8, 9});                 // crosses the 8-element block
  uint32_t acc[4] = {~0U, ~0U, ~0U, ~0U};
  for (int i = 1; i <= 9; ++i)
    for (int k = 0; k < 4; ++k)
      acc[k] = CalcNextCRC32(static_cast<uint8_t>(static_cast<uint32_t>(v.GetVal(i)) >> (8 * k)),
                             acc[k]);
  char want[33];
  for (int k = 0; k < 4; ++k) std::snprintf(want + 8 * k, 9, "%08X", ~acc[k]);
  EXPECT_EQ(v.CRCofData(), std::string(want));
  int changes = 0;
  v.OnChange = [&](TObject*) { ++changes; };
  EXPECT_FALSE(v.Resize(0));
  v.SetIntVecSize(3);
  v.Fill(4);
  v.Clear();
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(v.CalcVecLeng(), 0.0);
  Set(v, {50000});
  EXPECT_EQ(v.CalcVecLeng(), 50000.0);  // the square is formed in floating point
  TVector d;
  EXPECT_THROW(v.Assign(&d), EConvertError);
}

TEST(TIntVectorStorage, StreamAndTextRoundTrips) {
  TIntVector v;
  Set(v, {kMin, -1, 0, 7, kMax});
  TMemoryStream* s = nullptr;
  v.SaveToStream(s, 0, 0);
  std::unique_ptr<TMemoryStream> owned(s);
  EXPECT_EQ(s->Size(), 7 * 4);
  s->SetPosition(0);
  TIntVector w;
  EXPECT_TRUE(w.LoadFromStream(s, true));
  EXPECT_EQ(w.CRCofData(), v.CRCofData());

  TempDir dir;
  ASSERT_TRUE(v.StoreOnFile(5, 2, dir.File("i.txt")));
  EXPECT_EQ(numbra_test::ReadText(dir.File("i.txt")), "2 5\r\n-1\r\n0\r\n7\r\n2147483647\r\n");
  TIntVector u;
  EXPECT_TRUE(u.LoadFromFile(dir.File("i.txt"), true));
  EXPECT_EQ(u.NrOfElem(), 5);
  EXPECT_EQ(u.GetVal(5), kMax);
  // Values are rounded half to even; out-of-range and NaN values are skipped.
  WriteText(dir.File("r.txt"), "1 5\n2.5\n3.5\n-2.5\n1e12\nnan\n");
  u.Fill(9);
  EXPECT_TRUE(u.LoadFromFile(dir.File("r.txt"), false));
  EXPECT_EQ(u.GetVal(1), 2);
  EXPECT_EQ(u.GetVal(2), 4);
  EXPECT_EQ(u.GetVal(3), -2);
  EXPECT_EQ(u.GetVal(4), 9);
  EXPECT_EQ(u.GetVal(5), 9);
  // A header that promises far more than the stream holds does not grow it.
  TMemoryStream hostile;
  WriteLongintToStream(&hostile, 1);
  WriteLongintToStream(&hostile, kMax);
  hostile.SetPosition(0);
  EXPECT_FALSE(u.LoadFromStream(&hostile, true));
  EXPECT_EQ(u.NrOfElem(), 5);
}

TEST(TIntVectorStats, WrappingArithmeticAndStatistics) {
  TIntVector a;
  Set(a, {kMax, 1});
  EXPECT_EQ(a.Sum(0, 0), kMin);  // wraps modulo 2^32
  double mean = 0, var = 0;
  a.MeanVar(0, 0, mean, var);
  EXPECT_EQ(mean, (static_cast<double>(kMax) + 1) / 2);  // statistics do not wrap
  EXPECT_EQ(var, 1.0);
  Set(a, {2, 4});
  a.MeanVar(0, 0, mean, var);
  EXPECT_EQ(var, 1.0);
  Set(a, {2, 4, 6});
  a.MeanVar(0, 0, mean, var);
  EXPECT_EQ(var, 4.0);
  TIntVector b;
  Set(b, {65536, 65536, 1});
  Set(a, {65536, 1, 1});
  EXPECT_EQ(a.DotProduct(&b), 0 + 65536 + 1);  // 2^32 wraps to 0
  a.SMult(65536);
  EXPECT_EQ(a.GetVal(1), 0);
  Set(a, {kMin, -5});
  a.AbsVal();
  EXPECT_EQ(a.GetVal(1), kMin);
  EXPECT_EQ(a.GetVal(2), 5);
  Set(a, {1, 2, 3});
  Set(b, {1, 2});
  EXPECT_THROW(a.Add(&b), EORKVectorError);
  EXPECT_THROW((void)a.EuclideanDistance(&b), EORKVectorError);
  EXPECT_EQ(a.Correlate(&b, 0), 5);
}

TEST(TIntVectorStats, MinMaxStartValues) {
  TIntVector v;
  Set(v, {kMin});
  int32_t mn = 0, mx = 0, imn = -1, imx = -1;
  v.MinMax(0, 0, mn, mx, imn, imx);
  EXPECT_EQ(mn, kMin);
  EXPECT_EQ(mx, -2147483647);  // no element is above the start value
  EXPECT_EQ(imn, 1);
  EXPECT_EQ(imx, 0);
}

TEST(TIntVectorStats, OrderStatisticsAndSearch) {
  TIntVector v;
  Set(v, {5, 5, 1, 1});
  EXPECT_EQ(v.Mode(0, 0), 1);
  Set(v, {4, 2, 3, 1});
  double q1 = 0, q2 = 0, q3 = 0;
  v.Quartiles(0, 0, q1, q2, q3);
  EXPECT_EQ(q1, 1.25);
  EXPECT_EQ(q2, 2.5);
  EXPECT_EQ(v.Percentile(50, 0, 0), 2.5);
  EXPECT_EQ(v.Find(0, 0, 3), 3);
  Set(v, {kMin, kMax});
  EXPECT_EQ(v.Find(0, 0, 0), 2);  // |0 - kMax| < |0 - kMin|, differences as doubles
  Set(v, {1, 3, 5, 7});
  EXPECT_EQ(v.FindInSortedVector(true, 4), 3);
  int exchanges = 0;
  v.OnSortExchange = [&](TObject*, uint8_t, int32_t, int32_t, int32_t, int32_t) { ++exchanges; };
  v.SortElems(false, 0, 0);
  EXPECT_EQ(v.GetVal(1), 7);
  EXPECT_GT(exchanges, 0);
}

TEST(TIntVectorHistogram, IntegerBinsAndErrors) {
  TIntVector v;
  v.SetName("IV");
  Set(v, {-3, 0, 1, 5, 9, 10, 11, 9});
  TIntVector h;
  int32_t under = 0, over = 0, maxcnt = 0;
  ASSERT_TRUE(v.Histogram(1, 8, 0, 9, 1, &h, under, over, maxcnt));
  ASSERT_EQ(h.NrOfElem(), 10);
  EXPECT_EQ(h.GetVal(1), 1);   // 0
  EXPECT_EQ(h.GetVal(2), 1);   // 1
  EXPECT_EQ(h.GetVal(10), 2);  // 9, 9
  EXPECT_EQ(under, 1);
  EXPECT_EQ(over, 2);
  EXPECT_EQ(maxcnt, 2);
  // BinWidth 0 behaves as 1.
  ASSERT_TRUE(v.Histogram(1, 8, 0, 9, 0, &h, under, over, maxcnt));
  EXPECT_EQ(h.NrOfElem(), 10);
  // Width 3: 10 div 3 = 3 bins over [0, 9); 9..11 lies below the overflow
  // limit 12 and goes into the last bin.
  ASSERT_TRUE(v.Histogram(1, 8, 0, 9, 3, &h, under, over, maxcnt));
  EXPECT_EQ(h.NrOfElem(), 3);
  EXPECT_EQ(h.GetVal(2), 1);  // 5
  EXPECT_EQ(h.GetVal(3), 4);  // 9, 10, 11, 9
  EXPECT_EQ(h.Sum(0, 0) + under + over, 8);
  try {
    v.Histogram(1, 8, 0, 600, 1, &h, under, over, maxcnt);
    FAIL();
  } catch (const EORKVectorError& e) {
    EXPECT_STREQ(e.what(), "Component \"IV.Histogram\": invalid number of bins");
  }
  EXPECT_THROW(v.Histogram(1, 8, 0, 1, 5, &h, under, over, maxcnt), EORKVectorError);  // 0 bins
  // Extreme bounds do not overflow.
  EXPECT_THROW(v.Histogram(1, 8, kMin, kMax, 1, &h, under, over, maxcnt), EORKVectorError);
  ASSERT_TRUE(v.Histogram(1, 8, kMax - 9, kMax, 1, &h, under, over, maxcnt));
  EXPECT_EQ(under, 8);
}
