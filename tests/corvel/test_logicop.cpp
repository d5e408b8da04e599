// TBitFld::CombineWith for every TLogicOp, against bit-by-bit truth tables.
#include "ORK_dstruct.h"

#include <gtest/gtest.h>

namespace {

using corvel::TBitFld;
using corvel::TLogicOp;

TEST(TBitFld, CombineWithEveryOperation) {
  struct Case {
    TLogicOp op;
    bool (*f)(bool, bool);
  };
  const Case cases[] = {
      {TLogicOp::loAND, [](bool a, bool b) { return a && b; }},
      {TLogicOp::loOR, [](bool a, bool b) { return a || b; }},
      {TLogicOp::loXOR, [](bool a, bool b) { return a != b; }},
      {TLogicOp::loANDNOT, [](bool a, bool b) { return a && !b; }},
      {TLogicOp::loNOR, [](bool a, bool b) { return !(a || b); }},
      {TLogicOp::loNXOR, [](bool a, bool b) { return a == b; }},
      {TLogicOp::loNAND, [](bool a, bool b) { return !(a && b); }},
  };
  // Ordinal 3 removes the other field's bits (set difference).
  EXPECT_EQ(static_cast<int>(TLogicOp::loANDNOT), 3);
  constexpr int kSize = 130;  // three 64-bit words, the last one partial
  for (const Case& c : cases) {
    TBitFld a, b;
    a.SetSize(kSize);
    b.SetSize(kSize - 7);  // bits beyond b's size count as false
    for (int i = 0; i <= kSize; ++i) {
      a.SetBit(i, i % 3 == 0);
      b.SetBit(i, i % 5 < 2);
    }
    TBitFld before;
    before.Clone(&a);
    a.CombineWith(&b, c.op);
    int count = 0;
    for (int i = 0; i <= kSize; ++i) {
      const bool want = c.f(before.GetBit(i), b.GetBit(i));
      EXPECT_EQ(a.GetBit(i), want) << static_cast<int>(c.op) << " bit " << i;
      count += want ? 1 : 0;
    }
    EXPECT_EQ(a.CountTrueBits(), count) << static_cast<int>(c.op);
    EXPECT_FALSE(a.GetBit(kSize + 1));
  }
}

}  // namespace
