// TVector storage, events, copying, checksum, stream and text forms.
#include "ORK_vector.h"
#include "test_support.h"

#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::TempDir;
using numbra_test::WriteText;

namespace {
// Vector whose OnChange calls are counted.
struct Counted {
  TVector v;
  int changes = 0;
  Counted() {
    v.OnChange = [this](TObject* sender) {
      EXPECT_EQ(sender, &v);
      ++changes;
    };
  }
};

void FillRamp(TVector& v, int32_t n) {
  v.Resize(n);
  for (int32_t i = 1; i <= n; ++i) v.SetVal(i, i * 1.5);
}
}  // namespace

TEST(TVectorFrame, NewVectorHasOneZeroElementAndIsEmpty) {
  TVector v;
  EXPECT_EQ(v.NrOfElem(), 1);
  EXPECT_EQ(v.GetVal(1), 0.0);
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_EQ(v.ClassName(), "TVector");
}

TEST(TVectorFrame, AccessOutsideIsHarmlessAndSilent) {
  Counted c;
  c.v.Resize(3);
  c.changes = 0;
  EXPECT_EQ(c.v.GetVal(0), 0.0);
  EXPECT_EQ(c.v.GetVal(4), 0.0);
  c.v.SetVal(0, 9);
  c.v.SetVal(4, 9);
  EXPECT_EQ(c.changes, 0);
  EXPECT_TRUE(c.v.IsEmpty());
  c.v.SetVal(2, 9);
  EXPECT_EQ(c.changes, 1);
  EXPECT_FALSE(c.v.IsEmpty());
  EXPECT_EQ(c.v.Elem(2), 9.0);
}

TEST(TVectorFrame, RangeRule) {
  TVector v;
  v.Resize(10);
  struct Case {
    int32_t lo, hi, want_lo, want_hi;
  };
  for (const Case c : {Case{0, 0, 1, 10}, Case{5, 2, 2, 5}, Case{-3, 99, 1, 10}, Case{0, 4, 1, 4},
                       Case{12, 11, 10, 10}}) {
    int32_t lo = c.lo;
    int32_t hi = c.hi;
    v.MakeValidElemRange(lo, hi);
    EXPECT_EQ(lo, c.want_lo) << c.lo << "," << c.hi;
    EXPECT_EQ(hi, c.want_hi) << c.lo << "," << c.hi;
  }
}

TEST(TVectorFrame, AssignCopiesHandlersWithoutFiringCloneKeepsOwnAndFires) {
  Counted src;
  FillRamp(src.v, 4);
  src.changes = 0;
  TVector dst;
  dst.Assign(&src.v);
  EXPECT_EQ(src.changes, 0);
  EXPECT_EQ(dst.NrOfElem(), 4);
  EXPECT_EQ(dst.GetVal(4), 6.0);
  EXPECT_FALSE(dst.IsEmpty());
  ASSERT_TRUE(static_cast<bool>(dst.OnChange));

  Counted target;
  int source_calls = 0;
  TVector src2;
  FillRamp(src2, 3);
  src2.OnChange = [&](TObject*) { ++source_calls; };
  target.v.Clone(&src2);
  EXPECT_EQ(source_calls, 0);
  // Resize (1) + one SetVal per element (3) + the final Changed (1).
  EXPECT_EQ(target.changes, 5);
  EXPECT_EQ(target.v.GetVal(3), 4.5);
  target.v.Clone(nullptr);
  EXPECT_EQ(target.changes, 5);
}

TEST(TVectorFrame, AssignFromUnrelatedClassRaisesConversionError) {
  TVector v;
  TComponent c;
  try {
    v.Assign(&c);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TComponent to a TVector");
  }
}

TEST(TVectorFrame, MessagesNameTheComponentEvenWhenEmpty) {
  TVector v;
  EXPECT_EQ(v.Name(), "");
  try {
    v.SetVecLeng(2);
    FAIL();
  } catch (const EORKVectorError& e) {
    EXPECT_STREQ(e.what(), "vector has zero length");  // no component prefix
  }
}

TEST(TVectorResize, RulesAndEvents) {
  Counted c;
  EXPECT_FALSE(c.v.Resize(0));
  EXPECT_FALSE(c.v.Resize(-4));
  EXPECT_TRUE(c.v.Resize(1));
  EXPECT_EQ(c.changes, 0);
  c.v.Resize(3);
  for (int i = 1; i <= 3; ++i) c.v.SetVal(i, i);
  c.changes = 0;
  EXPECT_TRUE(c.v.Resize(5));
  EXPECT_EQ(c.changes, 1);
  EXPECT_EQ(c.v.GetVal(3), 3.0);
  EXPECT_EQ(c.v.GetVal(4), 0.0);
  EXPECT_EQ(c.v.GetVal(5), 0.0);
  c.v.SetVecSize(0);  // ignored
  c.v.SetVecSize(5);  // same size: no event
  EXPECT_EQ(c.changes, 1);
  c.v.SetVecSize(2);
  EXPECT_EQ(c.v.NrOfElem(), 2);
  EXPECT_EQ(c.changes, 2);
  TVector fresh;
  fresh.Resize(7);
  EXPECT_TRUE(fresh.IsEmpty());  // resizing does not touch the flag
}

TEST(TVectorCopy, CopyFromClampsWithoutTheZeroRule) {
  TVector src;
  FillRamp(src, 5);  // 1.5 3 4.5 6 7.5
  Counted c;
  c.v.Resize(4);
  c.changes = 0;
  c.v.CopyFrom(&src, 0, 0, 1);  // only element 1
  EXPECT_EQ(c.v.GetVal(1), 1.5);
  EXPECT_EQ(c.v.GetVal(2), 0.0);
  EXPECT_EQ(c.changes, 2);      // one SetVal, one final Changed
  c.v.CopyFrom(&src, 5, 3, 3);  // 4.5 6 7.5 to positions 3, 4, (5 dropped)
  EXPECT_EQ(c.v.GetVal(3), 4.5);
  EXPECT_EQ(c.v.GetVal(4), 6.0);
  EXPECT_EQ(c.v.NrOfElem(), 4);
  c.v.CopyFrom(&src, 1, 5, -2);  // positions -2..2: only 1 and 2 land
  EXPECT_EQ(c.v.GetVal(1), 6.0);
  EXPECT_EQ(c.v.GetVal(2), 7.5);
  const int before = c.changes;
  c.v.CopyFrom(nullptr, 1, 1, 1);
  EXPECT_EQ(c.changes, before);
}

TEST(TVectorCopy, CopyFromItselfReadsTheOriginalValues) {
  TVector v;
  FillRamp(v, 5);
  v.CopyFrom(&v, 1, 4, 2);
  EXPECT_EQ(v.GetVal(2), 1.5);
  EXPECT_EQ(v.GetVal(5), 6.0);
}

TEST(TVectorFill, FillAndClearSetTheFlag) {
  Counted c;
  c.v.Resize(3);
  c.v.Fill(2.5);
  EXPECT_FALSE(c.v.IsEmpty());
  EXPECT_EQ(c.v.GetVal(3), 2.5);
  c.v.Clear();
  EXPECT_TRUE(c.v.IsEmpty());
  EXPECT_EQ(c.v.GetVal(3), 0.0);
  EXPECT_EQ(c.changes, 3);
}

TEST(TVectorLength, ScaledNormAndSetVecLeng) {
  TVector v;
  v.Resize(2);
  v.SetVal(1, 3e200);
  v.SetVal(2, 4e200);  // the naive sum of squares overflows
  EXPECT_DOUBLE_EQ(v.CalcVecLeng(), 5e200);
  v.SetVal(1, 3e-200);
  v.SetVal(2, 4e-200);  // ... or underflows
  EXPECT_DOUBLE_EQ(v.Leng(), 5e-200);
  v.SetVecLeng(-10);
  EXPECT_DOUBLE_EQ(v.GetVal(1), -6.0);
  EXPECT_DOUBLE_EQ(v.GetVal(2), -8.0);
  v.SetVal(1, std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(std::isnan(v.CalcVecLeng()));
  v.SetVal(1, std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isinf(v.CalcVecLeng()));
}

TEST(TVectorCRC, LayoutAndSensitivity) {
  TVector v;
  const std::string z = v.CRCofData();
  ASSERT_EQ(z.size(), 64U);
  // One element 0.0: every accumulator saw a single 0x00 byte, CRC-32 of
  // "\0" is D202EF8D.
  for (int k = 0; k < 8; ++k) EXPECT_EQ(z.substr(static_cast<std::size_t>(8 * k), 8), "D202EF8D");
  v.SetVal(1, -0.0);
  EXPECT_NE(v.CRCofData(), z);  // sign of zero matters: the bytes differ
  v.SetVal(1, 1.0);             // 3FF0000000000000: bytes 7 and 8 differ from 0
  const std::string one = v.CRCofData();
  EXPECT_EQ(one.substr(0, 48), z.substr(0, 48));
  EXPECT_NE(one.substr(48, 8), "D202EF8D");
  for (const char ch : one) EXPECT_TRUE(std::isxdigit(ch) && !std::islower(ch));
}

TEST(TVectorStream, RoundTripBitExact) {
  TVector v;
  v.Resize(6);
  const double values[] = {1.0 / 3.0, -0.0, 1e-310, -1e308, 42.0, 0.1};
  for (int i = 0; i < 6; ++i) v.SetVal(i + 1, values[i]);
  TMemoryStream* s = nullptr;
  v.SaveToStream(s, 0, 0);  // creates the stream
  ASSERT_NE(s, nullptr);
  std::unique_ptr<TMemoryStream> owned(s);
  EXPECT_EQ(s->Size(), 8 * 16);
  s->SetPosition(0);
  TVector w;
  EXPECT_TRUE(w.LoadFromStream(s, true));
  EXPECT_EQ(w.CRCofData(), v.CRCofData());
}

TEST(TVectorStream, PartialRangeIntoSmallVector) {
  TVector v;
  FillRamp(v, 6);
  TMemoryStream s;
  TMemoryStream* ps = &s;
  v.SaveToStream(ps, 5, 3);  // reversed range reads forwards: 3..5
  Counted small;
  small.v.Resize(2);
  small.changes = 0;
  s.SetPosition(0);
  EXPECT_FALSE(small.v.LoadFromStream(&s, false));
  EXPECT_EQ(small.v.GetVal(1), 0.0);
  EXPECT_EQ(small.changes, 1);  // Changed fires even so
  s.SetPosition(0);
  EXPECT_TRUE(small.v.LoadFromStream(&s, true));
  EXPECT_EQ(small.v.NrOfElem(), 5);  // the count becomes High
  EXPECT_EQ(small.v.GetVal(2), 0.0);
  EXPECT_EQ(small.v.GetVal(3), 4.5);
  EXPECT_EQ(small.v.GetVal(5), 7.5);
}

TEST(TVectorStream, BadStreamsFailWithoutHarm) {
  Counted c;
  EXPECT_FALSE(c.v.LoadFromStream(static_cast<TMemoryStream*>(nullptr), true));
  TMemoryStream empty;
  EXPECT_FALSE(c.v.LoadFromStream(&empty, true));
  EXPECT_EQ(c.changes, 0);  // header failures do not fire OnChange

  // Header announcing 2^31 - 1 elements with nothing behind it: no growth.
  TMemoryStream huge;
  WriteExtendedToStream(&huge, 1.0L);
  WriteExtendedToStream(&huge, 2147483647.0L);
  huge.SetPosition(0);
  EXPECT_FALSE(c.v.LoadFromStream(&huge, true));
  EXPECT_EQ(c.v.NrOfElem(), 1);

  // Non-finite or out-of-range bounds.
  TMemoryStream nan;
  WriteExtendedToStream(&nan, std::numeric_limits<long double>::quiet_NaN());
  WriteExtendedToStream(&nan, 1.0L);
  nan.SetPosition(0);
  EXPECT_FALSE(c.v.LoadFromStream(&nan, true));

  // Truncated data: no growth to the announced size; into a vector that is
  // large enough, the complete elements are read and the result is false.
  TVector v;
  FillRamp(v, 4);
  TMemoryStream t;
  TMemoryStream* pt = &t;
  v.SaveToStream(pt, 0, 0);
  t.SetSize(t.Size() - 20);  // 2 whole values and part of a third remain
  t.SetPosition(0);
  TVector w;
  EXPECT_FALSE(w.LoadFromStream(&t, true));
  EXPECT_EQ(w.NrOfElem(), 1);
  w.Resize(4);
  t.SetPosition(0);
  EXPECT_FALSE(w.LoadFromStream(&t, false));
  EXPECT_EQ(w.GetVal(2), 3.0);
  EXPECT_EQ(w.GetVal(3), 0.0);
}

TEST(TVectorStream, FileStreamOverloads) {
  TempDir dir;
  TVector v;
  FillRamp(v, 3);
  {
    TFileStream f(dir.File("v.bin"), TFileMode::fmCreate);
    v.SaveToStream(&f, 0, 0);
  }
  TFileStream f(dir.File("v.bin"), TFileMode::fmOpenRead);
  TVector w;
  EXPECT_TRUE(w.LoadFromStream(&f, true));
  EXPECT_EQ(w.CRCofData(), v.CRCofData());
  v.SaveToStream(static_cast<TFileStream*>(nullptr), 0, 0);  // no stream: nothing
}

TEST(TVectorText, StoreFormatsAndClamps) {
  TempDir dir;
  TVector v;
  v.Resize(3);
  v.SetVal(1, 1.25);
  v.SetVal(2, -2.0);
  v.SetVal(3, 1234.5678);
  ASSERT_TRUE(v.StoreOnFile(0, 99, -7, dir.File("a.txt")));  // -7 becomes 2 decimals
  EXPECT_EQ(numbra_test::ReadText(dir.File("a.txt")), "1 3\r\n1.25\r\n-2.00\r\n1234.57\r\n");
  ASSERT_TRUE(v.StoreOnFile(3, 3, -1, dir.File("b.txt")));
  EXPECT_EQ(numbra_test::ReadText(dir.File("b.txt")), "3 3\r\n 1.2346E+0003\r\n");
  ASSERT_TRUE(v.StoreOnFile(2, 1, 0, dir.File("c.txt")));  // reversed
  EXPECT_EQ(numbra_test::ReadText(dir.File("c.txt")), "1 2\r\n1\r\n-2\r\n");
  EXPECT_FALSE(v.StoreOnFile(1, 3, 2, dir.Path().string()));  // a directory
  EXPECT_FALSE(v.StoreOnFile(1, 3, 2, dir.File("no/such/dir.txt")));
}

TEST(TVectorText, FullPrecisionRoundTrip) {
  TempDir dir;
  TVector v;
  v.Resize(5);
  const double values[] = {1.0 / 3.0, 2.0 / 3.0 * 1e-300, 1.7976931348623157e308, -0.1, 5e-324};
  for (int i = 0; i < 5; ++i) v.SetVal(i + 1, values[i]);
  ASSERT_TRUE(v.StoreOnFile(1, 5, -2, dir.File("p.txt")));
  TVector w;
  EXPECT_TRUE(w.LoadFromFile(dir.File("p.txt"), true));
  EXPECT_EQ(w.CRCofData(), v.CRCofData());
}

TEST(TVectorText, LoadRules) {
  TempDir dir;
  const auto file = dir.File("l.txt");
  WriteText(file, "1 10\n1 2 3 4 5 6 7 8 9 10\n");
  Counted c;
  c.v.Resize(4);
  c.v.Fill(7);
  c.changes = 0;
  EXPECT_FALSE(c.v.LoadFromFile(file, false));  // Last > count
  EXPECT_EQ(c.v.GetVal(1), 7.0);
  EXPECT_EQ(c.changes, 1);  // ... but OnChange fires

  WriteText(file, "2 4\n5 x 6\n");
  EXPECT_TRUE(c.v.LoadFromFile(file, false));
  EXPECT_EQ(c.v.GetVal(1), 7.0);
  EXPECT_EQ(c.v.GetVal(2), 5.0);
  EXPECT_EQ(c.v.GetVal(3), 7.0);  // "x" skipped, the element keeps its value
  EXPECT_EQ(c.v.GetVal(4), 6.0);

  WriteText(file, "1 3\n1\n");  // fewer values than announced
  EXPECT_TRUE(c.v.LoadFromFile(file, true));
  EXPECT_EQ(c.v.NrOfElem(), 3);
  EXPECT_EQ(c.v.GetVal(1), 1.0);
}

TEST(TVectorText, HostileAndBrokenFiles) {
  TempDir dir;
  const auto file = dir.File("h.txt");
  Counted c;
  EXPECT_FALSE(c.v.LoadFromFile(dir.File("missing"), true));
  EXPECT_FALSE(c.v.LoadFromFile(dir.Path().string(), true));
  WriteText(file, "");
  EXPECT_FALSE(c.v.LoadFromFile(file, true));
  WriteText(file, "one two\n");
  EXPECT_FALSE(c.v.LoadFromFile(file, true));
  WriteText(file, "1\n");
  EXPECT_FALSE(c.v.LoadFromFile(file, true));
  EXPECT_EQ(c.changes, 0);

  // A header that announces far more values than the file can hold does not
  // grow the vector.
  WriteText(file, "1 2000000000\n1 2 3\n");
  EXPECT_FALSE(c.v.LoadFromFile(file, true));
  EXPECT_EQ(c.v.NrOfElem(), 1);
  WriteText(file, "2000000000 2000000000\n5\n");
  EXPECT_FALSE(c.v.LoadFromFile(file, true));
  EXPECT_EQ(c.v.NrOfElem(), 1);
  // Below the absolute limit a short file still cannot demand 1 GiB ...
  WriteText(file, "134217728 134217728\n5\n");
  EXPECT_FALSE(c.v.LoadFromFile(file, true));
  EXPECT_EQ(c.v.NrOfElem(), 1);
  // ... while a modest gap before the values is fine.
  WriteText(file, "1000 1001\n5 6\n");
  EXPECT_TRUE(c.v.LoadFromFile(file, true));
  EXPECT_EQ(c.v.NrOfElem(), 1001);
  EXPECT_EQ(c.v.GetVal(1001), 6.0);
  // A first index far below 1 ends at the end of the data, quickly.
  WriteText(file, "-2000000000 1\n5\n");
  EXPECT_TRUE(c.v.LoadFromFile(file, false));
}

TEST(TVectorText, AutoDetectCountsLinesWithDigits) {
  TempDir dir;
  const auto file = dir.File("a.txt");
  WriteText(file, "1.5\r\n\r\n# none\n-2\n3e1 4\n");
  TVector v;
  EXPECT_TRUE(v.LoadFromFile(file, true, true));
  ASSERT_EQ(v.NrOfElem(), 3);
  EXPECT_EQ(v.GetVal(1), 1.5);
  // A token that does not convert skips its element: "#" and "none" use up
  // elements 2 and 3.
  EXPECT_EQ(v.GetVal(2), 0.0);
  EXPECT_EQ(v.GetVal(3), 0.0);
  EXPECT_FALSE(v.LoadFromFile(dir.File("missing"), true, true));
  WriteText(file, "1 2\n8\n9\n");
  EXPECT_TRUE(v.LoadFromFile(file, true, false));  // plain form
  EXPECT_EQ(v.NrOfElem(), 2);
  EXPECT_EQ(v.GetVal(2), 9.0);
}

TEST(TVectorOwnership, OwnerFreesVector) {
  TComponent owner;
  auto* v = new TVector(&owner);
  v->SetName("V1");
  EXPECT_EQ(owner.FindComponent("V1"), v);
}

TEST(TVectorCRC, BlockedPathMatchesByteByByteDefinition) {
  // Lengths around the 8-element block size, against a direct evaluation of
  // the definition with CalcNextCRC32.
  for (const int32_t n : {1, 7, 8, 9, 16, 23}) {
    TVector v;
    v.Resize(n);
    for (int32_t i = 1; i <= n; ++i) v.SetVal(i, std::sin(i) * 1e3 - i);
    uint32_t acc[8];
    std::fill(std::begin(acc), std::end(acc), 0xFFFFFFFFU);
    for (int32_t i = 1; i <= n; ++i) {
      const double x = v.GetVal(i);
      unsigned char bytes[8];
      std::memcpy(bytes, &x, 8);
      for (int k = 0; k < 8; ++k) acc[k] = CalcNextCRC32(bytes[k], acc[k]);
    }
    char want[65];
    for (int k = 0; k < 8; ++k) std::snprintf(want + 8 * k, 9, "%08X", ~acc[k]);
    EXPECT_EQ(v.CRCofData(), std::string(want)) << n;
  }
}
