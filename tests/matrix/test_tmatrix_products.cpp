// TMatrix products, element-wise and in-place arithmetic, transposition,
// cross products, differences and the trace.
#include "ORK_matrix.h"
#include "matrix/gemm_detail.h"
#include "matrix_test_util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

using namespace numbra;
using matrix_test::BitEqual;
using matrix_test::Counted;
using matrix_test::FillRandom;
using matrix_test::SetRows;

namespace {

// The textbook loops (terms in ascending k, each product rounded before it
// is added), against which the blocked kernels are compared bit for bit.
// op: 0 = A * B, 1 = A * transpose(B), 2 = transpose(A) * B.
void Reference(const TMatrix& a, const TMatrix& b, int op, TMatrix& out) {
  const int32_t m = op == 2 ? a.NrOfColumns() : a.NrOfRows();
  const int32_t n = op == 1 ? b.NrOfRows() : b.NrOfColumns();
  const int32_t kk = op == 2 ? a.NrOfRows() : a.NrOfColumns();
  out.Resize(n, m);
  for (int32_t i = 1; i <= m; ++i)
    for (int32_t j = 1; j <= n; ++j) {
      double s = 0.0;
      for (int32_t k = 1; k <= kk; ++k) {
        const double x = op == 2 ? a.GetVal(i, k) : a.GetVal(k, i);  // A(i, k)
        const double y = op == 1 ? b.GetVal(k, j) : b.GetVal(j, k);  // B(k, j)
        s = s + x * y;
      }
      out.SetVal(j, i, s);
    }
}

}  // namespace

TEST(TMatrixProducts, SizesOfTheResultsAndMismatches) {
  TMatrix a;  // 3 columns, 2 rows
  TMatrix b;  // 4 columns, 3 rows
  FillRandom(a, 3, 2, 1);
  FillRandom(b, 4, 3, 2);
  TMatrix c;
  ASSERT_TRUE(a.Multiply(&b, &c));
  EXPECT_EQ(c.NrOfColumns(), 4);
  EXPECT_EQ(c.NrOfRows(), 2);
  TMatrix untouched;
  SetRows(untouched, {{9}});
  TMatrix b2;
  FillRandom(b2, 4, 2, 3);  // 2 rows: does not fit
  EXPECT_FALSE(a.Multiply(&b2, &untouched));
  EXPECT_EQ(untouched.GetVal(1, 1), 9.0);
  EXPECT_FALSE(a.Multiply(static_cast<const TMatrix*>(nullptr), &c));
  EXPECT_FALSE(a.Multiply(&b, static_cast<TMatrix*>(nullptr)));
  // A * transpose(B) needs equal column counts; transpose(A) * B equal rows.
  EXPECT_FALSE(a.MultiplyTransposed(&b2 /* 4 x 2 */, &c));
  TMatrix b3;
  FillRandom(b3, 3, 5, 4);
  ASSERT_TRUE(a.MultiplyTransposed(&b3, &c));
  EXPECT_EQ(c.NrOfColumns(), 5);
  EXPECT_EQ(c.NrOfRows(), 2);
  ASSERT_TRUE(a.TransposeAndMultiply(&b2, &c));
  EXPECT_EQ(c.NrOfColumns(), 4);
  EXPECT_EQ(c.NrOfRows(), 3);
  EXPECT_FALSE(a.TransposeAndMultiply(&b3, &c));
}

TEST(TMatrixProducts, SmallExactProduct) {
  TMatrix a;
  TMatrix b;
  TMatrix c;
  SetRows(a, {{1, 2}, {3, 4}});
  SetRows(b, {{5, 6}, {7, 8}});
  ASSERT_TRUE(a.Multiply(&b, &c));
  EXPECT_EQ(c.GetVal(1, 1), 19.0);
  EXPECT_EQ(c.GetVal(2, 1), 22.0);
  EXPECT_EQ(c.GetVal(1, 2), 43.0);
  EXPECT_EQ(c.GetVal(2, 2), 50.0);
}

// One product of op(A) (m x k) and op(B) (k x n) with its plain-loop
// reference; the operands hold values of very different magnitude, so that
// the order of the terms shows in the rounding.
struct ProductCase {
  int op;
  TMatrix a;
  TMatrix b;
  TMatrix want;
  ProductCase(int op_, int m, int n, int k, uint64_t seed) : op(op_) {
    if (op == 2)
      FillRandom(a, m, k, seed);
    else
      FillRandom(a, k, m, seed);
    if (op == 1)
      FillRandom(b, k, n, seed + 1);
    else
      FillRandom(b, n, k, seed + 1);
    if (m > 0 && k > 0) a.SetVal(1, 1, 1e16);
    if (n > 0 && k > 0) b.SetVal(1, 1, -3e-7);
    Reference(a, b, op, want);
  }
  bool Run(TMatrix& out) {
    return op == 0   ? a.Multiply(&b, &out)
           : op == 1 ? a.MultiplyTransposed(&b, &out)
                     : a.TransposeAndMultiply(&b, &out);
  }
};

// Every kernel set a build may have: the ones this build or processor
// cannot run are skipped (and named in the test output). avx512-emulated
// is the AVX-512 kernel on AVX2 registers, so its tiling, masks and
// packing are checked on processors without AVX-512 too.
const char* const kKernelSets[] = {"generic", "avx2", "avx512-emulated", "avx512"};

// Compares every form of the product of shape {m, n, k} with the plain
// loops, for every kernel set the processor runs, through the small-product
// loops and through the blocked driver; once into a fresh result and once
// into a result of that size holding NaN (written in place, never read).
void CheckAllKernels(int m, int n, int k) {
  const std::string before = numbra::detail::KernelName();
  for (int op = 0; op < 3; ++op) {
    ProductCase pc(op, m, n, k, static_cast<uint64_t>(10 + m + 100 * n + 10000 * k));
    for (std::size_t s = 0; s < std::size(kKernelSets); ++s)
      for (const bool blocked : {false, true}) {
        const char* const kernel = kKernelSets[s];
        if (!numbra::detail::UseKernel(kernel, blocked)) {
          static bool told[std::size(kKernelSets)] = {};
          if (!told[s]) std::printf("kernel set %s not run: not available here\n", kernel);
          told[s] = true;
          continue;
        }
        TMatrix got;
        ASSERT_TRUE(pc.Run(got));
        EXPECT_TRUE(BitEqual(got, pc.want)) << kernel << (blocked ? " blocked" : "") << ", op "
                                            << op << " m " << m << " n " << n << " k " << k;
        TMatrix reused;
        reused.Resize(n, m);
        reused.Fill(std::numeric_limits<double>::quiet_NaN());
        ASSERT_TRUE(pc.Run(reused));
        EXPECT_TRUE(BitEqual(reused, pc.want))
            << kernel << (blocked ? " blocked" : "") << ", reused, op " << op << " m " << m << " n "
            << n << " k " << k;
      }
  }
  ASSERT_TRUE(numbra::detail::UseKernel(before.c_str(), false));
}

// The set in use is the one NUMBRA_MATRIX_KERNEL forces (when the
// processor runs it), else the widest the processor runs; a set is
// accepted only where the processor has its instructions.
TEST(TMatrixKernelChoice, ForcedOrWidestSet) {
  const std::string before = numbra::detail::KernelName();
  const char* forced = std::getenv("NUMBRA_MATRIX_KERNEL");
  const bool avx2 = __builtin_cpu_supports("avx2");
  const bool avx512 = __builtin_cpu_supports("avx512f");
  if (forced != nullptr && numbra::detail::UseKernel(forced, false)) {
    EXPECT_EQ(before, forced);
  } else if (before != "generic") {  // a build without the vector sets chooses generic
    const bool has_avx512 = avx512 && numbra::detail::UseKernel("avx512", false);
    EXPECT_EQ(before, has_avx512 ? "avx512" : "avx2");
  }
  const std::tuple<const char*, bool> sets[] = {{"generic", true},
                                                {"avx2", avx2},
                                                {"avx512-emulated", avx2},
                                                {"avx512", avx512},
                                                {"avx1024", false}};
  for (const auto& [name, runs] : sets)
    if (numbra::detail::UseKernel(name, false)) {
      EXPECT_TRUE(runs) << name;
      EXPECT_STREQ(numbra::detail::KernelName(), name);
    }
  ASSERT_TRUE(numbra::detail::UseKernel(before.c_str(), false));
}

// Every shape with m, n and k in 1..17: every edge of the 8 x 6 register
// tile and of the packing, in every combination.
TEST(TMatrixProductsBitExact, AllSmallShapesEveryKernel) {
  for (int m = 1; m <= 17; ++m)
    for (int n = 1; n <= 17; ++n)
      for (int k = 1; k <= 17; ++k) {
        CheckAllKernels(m, n, k);
        if (::testing::Test::HasFailure()) return;
      }
}

// Shapes around one and two 24 x 8 tiles (the AVX-512 kernel's), which the
// shapes up to 17 do not reach: full tiles, and edges of every height class
// (one, two or three vectors of rows).
TEST(TMatrixProductsBitExact, ShapesAroundTheWideTileEveryKernel) {
  for (const int m : {7, 16, 23, 24, 25, 48, 49})
    for (const int n : {8, 9, 16, 17})
      for (const int k : {1, 6, 19}) {
        CheckAllKernels(m, n, k);
        if (::testing::Test::HasFailure()) return;
      }
}

// Shapes around the cache blocks of each kernel set (kc, mc, nc, each
// -1, +0, +1, and past two blocks) and around multiples of the register
// tile, in combinations that keep the plain-loop reference affordable.
TEST(TMatrixProductsBitExact, ShapesAroundTheCacheBlocksEveryKernel) {
  const std::string before = numbra::detail::KernelName();
  for (const char* kernel : kKernelSets) {
    if (!numbra::detail::UseKernel(kernel, false)) continue;
    const numbra::detail::GemmBlocks blk = numbra::detail::KernelBlocks();
    ASSERT_TRUE(numbra::detail::UseKernel(before.c_str(), false));
    const int kc = static_cast<int>(blk.kc);
    const int mc = static_cast<int>(blk.mc);
    const int nc = static_cast<int>(blk.nc);
    const std::tuple<int, int, int> shapes[] = {// {m, n, k}
                                                {mc - 1, 13, kc + 1},
                                                {mc, 7, kc - 1},
                                                {mc + 1, 11, kc},
                                                {2 * mc + 3, 6, 2 * kc + 1},
                                                {9, nc - 1, kc + 1},
                                                {17, nc, 5},
                                                {10, nc + 1, kc - 1},
                                                {23, 2 * nc + 5, 3},
                                                {47, 49, 2 * kc - 1},
                                                {33, 35, 34},
                                                {150, 13, 300},
                                                {17, 151, 257},
                                                {145, 97, 31},
                                                {mc + 1, nc + 1, 2},
                                                {8 * 6 + 1, 6 * 8 - 1, kc},
                                                {24 * 4, 8 * 5, kc + 3}};
    for (const auto& [m, n, k] : shapes) CheckAllKernels(m, n, k);
  }
}

// Every sum starts from +0.0, as the plain loop's does: terms that are all
// -0.0 give +0.0, also in a reused result (which is not read) and in the
// blocked kernel (which starts the tile in registers). {m, n, k}: the
// small-product loops and the blocked kernel.
TEST(TMatrixProducts, SumsStartFromPositiveZero) {
  for (const auto& [m, n, k] : {std::tuple{2, 3, 4}, std::tuple{8, 6, 700}, std::tuple{9, 7, 0}}) {
    TMatrix a;
    TMatrix b;
    a.Resize(k, m);
    a.Fill(-0.0);
    b.Resize(n, k);
    b.Fill(1.0);
    TMatrix fresh;
    TMatrix reused;
    reused.Resize(n, m);
    reused.Fill(-1.0);
    ASSERT_TRUE(a.Multiply(&b, &fresh));
    ASSERT_TRUE(a.Multiply(&b, &reused));
    for (const TMatrix* c : {&fresh, &reused}) {
      ASSERT_EQ(c->Values().size(), static_cast<std::size_t>(std::max(m * n, 1)));
      for (const double v : c->Values()) ASSERT_TRUE(v == 0.0 && !std::signbit(v)) << m << " " << k;
    }
  }
}

TEST(TMatrixProducts, EventsResultFiresPerElementThisOnce) {
  Counted a;
  Counted res;
  TMatrix b;
  FillRandom(a.m, 3, 2, 5);
  FillRandom(b, 4, 3, 6);
  a.changes = 0;
  res.changes = 0;
  ASSERT_TRUE(a.m.Multiply(&b, &res.m));
  EXPECT_EQ(a.changes, 1);
  EXPECT_EQ(res.changes, 1 + 8);  // resize from 1 x 1, then eight SetVal
  res.changes = 0;
  ASSERT_TRUE(a.m.Multiply(&b, &res.m));
  EXPECT_EQ(res.changes, 8);  // same size: no resize event
  // Without a handler the result is the same.
  TMatrix quiet;
  ASSERT_TRUE(a.m.Multiply(&b, &quiet));
  EXPECT_TRUE(BitEqual(quiet, res.m));
}

TEST(TMatrixProducts, ResultMayBeAnOperand) {
  TMatrix a;
  TMatrix b;
  FillRandom(a, 3, 3, 7);
  FillRandom(b, 3, 3, 8);
  TMatrix want;
  ASSERT_TRUE(a.Multiply(&b, &want));
  TMatrix a2;
  a2.Assign(&a);
  ASSERT_TRUE(a2.Multiply(&b, &a2));
  EXPECT_TRUE(BitEqual(a2, want));
  TMatrix b2;
  b2.Assign(&b);
  ASSERT_TRUE(a.Multiply(&b2, &b2));
  EXPECT_TRUE(BitEqual(b2, want));
}

TEST(TMatrixProducts, EmptyInnerDimensionGivesZeros) {
  TMatrix a;
  TMatrix b;
  TMatrix c;
  a.Resize(0, 3);
  b.Resize(2, 0);
  ASSERT_TRUE(a.Multiply(&b, &c));
  EXPECT_EQ(c.NrOfColumns(), 2);
  EXPECT_EQ(c.NrOfRows(), 3);
  for (const double v : c.Values()) EXPECT_EQ(v, 0.0);
}

TEST(TMatrixProducts, VectorProducts) {
  TMatrix a;
  SetRows(a, {{1, 2, 3}, {4, 5, 6}});
  TVector x;
  x.Resize(3);
  for (int32_t i = 1; i <= 3; ++i) x.SetVal(i, i);
  TVector y;
  int y_changes = 0;
  y.OnChange = [&](TObject*) { ++y_changes; };
  ASSERT_TRUE(a.Multiply(&x, &y));
  EXPECT_EQ(y.NrOfElem(), 2);
  EXPECT_EQ(y.GetVal(1), 14.0);
  EXPECT_EQ(y.GetVal(2), 32.0);
  EXPECT_EQ(y_changes, 1 + 2);
  ASSERT_TRUE(a.TransposeAndMultiply(&y, &y));  // the result may be the operand
  EXPECT_EQ(y.NrOfElem(), 3);
  EXPECT_EQ(y.GetVal(1), 14.0 + 4 * 32.0);
  EXPECT_EQ(y.GetVal(3), 3 * 14.0 + 6 * 32.0);
  TVector two;
  two.Resize(2);
  EXPECT_FALSE(a.Multiply(&two, &y));
  EXPECT_FALSE(a.TransposeAndMultiply(&y /* 3 */, &x));
  EXPECT_FALSE(a.Multiply(static_cast<const TVector*>(nullptr), &y));
}

TEST(TMatrixProducts, VectorProductsEqualThePlainLoops) {
  TMatrix a;
  FillRandom(a, 37, 23, 9);
  a.SetVal(1, 1, 1e17);
  TVector x;
  x.Resize(37);
  TVector z;
  z.Resize(23);
  for (int32_t i = 1; i <= 37; ++i) x.SetVal(i, std::sin(i));
  for (int32_t i = 1; i <= 23; ++i) z.SetVal(i, std::cos(i));
  TVector y;
  ASSERT_TRUE(a.Multiply(&x, &y));
  for (int32_t i = 1; i <= 23; ++i) {
    double s = 0.0;
    for (int32_t k = 1; k <= 37; ++k) s = s + a.GetVal(k, i) * x.GetVal(k);
    EXPECT_EQ(y.GetVal(i), s) << i;
  }
  ASSERT_TRUE(a.TransposeAndMultiply(&z, &y));
  for (int32_t i = 1; i <= 37; ++i) {
    double s = 0.0;
    for (int32_t k = 1; k <= 23; ++k) s = s + a.GetVal(i, k) * z.GetVal(k);
    EXPECT_EQ(y.GetVal(i), s) << i;
  }
}

TEST(TMatrixProducts, ElementwiseAndInPlaceArithmetic) {
  Counted a;
  TMatrix b;
  SetRows(a.m, {{1, 2}, {3, 4}});
  SetRows(b, {{10, 20}, {30, 40}});
  TMatrix c;
  a.changes = 0;
  ASSERT_TRUE(a.m.EMult(&b, &c));
  EXPECT_EQ(c.GetVal(2, 2), 160.0);
  EXPECT_EQ(a.changes, 1);
  ASSERT_TRUE(a.m.Add(&b));
  EXPECT_EQ(a.m.GetVal(1, 2), 33.0);
  ASSERT_TRUE(a.m.Subtract(&a.m));  // itself: all zero
  EXPECT_EQ(a.m.GetVal(2, 2), 0.0);
  a.m.SAdd(1.5);
  a.m.SMult(-2.0);
  EXPECT_EQ(a.m.GetVal(1, 1), -3.0);
  EXPECT_EQ(a.changes, 5);
  TMatrix other;
  other.Resize(3, 2);
  EXPECT_FALSE(a.m.Add(&other));
  EXPECT_FALSE(a.m.Subtract(nullptr));
  EXPECT_FALSE(a.m.EMult(&other, &c));
  EXPECT_EQ(a.changes, 5);
}

TEST(TMatrixProducts, TransposeExchangesSizesAndKeepsValues) {
  Counted m;
  SetRows(m.m, {{1}, {2}, {3}});  // 1 column, 3 rows
  m.changes = 0;
  ASSERT_TRUE(m.m.Transpose());
  EXPECT_EQ(m.changes, 1);
  EXPECT_EQ(m.m.NrOfColumns(), 3);
  EXPECT_EQ(m.m.NrOfRows(), 1);
  EXPECT_EQ(m.m.Values()[2], 3.0);
  TMatrix big;
  FillRandom(big, 70, 45, 11);
  TMatrix t;
  t.Assign(&big);
  ASSERT_TRUE(t.Transpose());
  for (int32_t c = 1; c <= 70; ++c)
    for (int32_t r = 1; r <= 45; ++r) ASSERT_EQ(t.GetVal(r, c), big.GetVal(c, r));
  ASSERT_TRUE(t.Transpose());
  EXPECT_TRUE(BitEqual(t, big));
  TMatrix empty;
  empty.Resize(0, 4);
  ASSERT_TRUE(empty.Transpose());
  EXPECT_EQ(empty.NrOfColumns(), 4);
  EXPECT_EQ(empty.NrOfRows(), 0);
}

TEST(TMatrixProducts, SquareIsTheScaledCrossProduct) {
  TMatrix a;
  FillRandom(a, 5, 9, 12);
  Counted res;
  res.changes = 0;
  matrix_test::StepCounter steps;
  ASSERT_TRUE(a.Square(&res.m, 8.0));
  EXPECT_EQ(steps.steps, 5);
  EXPECT_EQ(res.changes, 1 + 2 * 15);  // resize, then two writes per pair j >= i
  for (int32_t i = 1; i <= 5; ++i)
    for (int32_t j = 1; j <= 5; ++j) {
      double s = 0.0;
      for (int32_t k = 1; k <= 9; ++k) s = s + a.GetVal(i, k) * a.GetVal(j, k);
      EXPECT_EQ(res.m.GetVal(j, i), s / 8.0);
    }
  EXPECT_FALSE(a.Square(nullptr, 1.0));
}

TEST(TMatrixProducts, SquareStopsOnAbortWithPartlyWrittenResult) {
  TMatrix a;
  FillRandom(a, 6, 4, 13);
  TMatrix res;
  matrix_test::StepCounter steps(2);  // abort requested at the second step
  EXPECT_FALSE(a.Square(&res, 1.0));
  EXPECT_EQ(steps.steps, 2);
  EXPECT_NE(res.GetVal(2, 2), 0.0);  // rows 1 and 2 written
  EXPECT_EQ(res.GetVal(3, 3), 0.0);
}

TEST(TMatrixProducts, DiffTakesRowDifferences) {
  Counted m;
  SetRows(m.m, {{1, 0}, {4, 1}, {9, 3}, {16, 6}});
  m.changes = 0;
  m.m.Diff(1);
  EXPECT_EQ(m.changes, 1);
  ASSERT_EQ(m.m.NrOfRows(), 3);
  EXPECT_EQ(m.m.GetVal(1, 1), 3.0);
  EXPECT_EQ(m.m.GetVal(1, 2), 5.0);
  EXPECT_EQ(m.m.GetVal(1, 3), 7.0);
  EXPECT_EQ(m.m.GetVal(2, 3), 3.0);
  m.m.Diff(2);  // second differences of 3, 5, 7: 0 (and one row left)
  ASSERT_EQ(m.m.NrOfRows(), 1);
  EXPECT_EQ(m.m.GetVal(1, 1), 0.0);
  m.changes = 0;
  for (const int32_t order : {0, 11, 1, -1}) m.m.Diff(order);  // 1 == NrOfRows: nothing
  EXPECT_EQ(m.changes, 0);
  EXPECT_EQ(m.m.NrOfRows(), 1);
}

TEST(TMatrixProducts, Trace) {
  TMatrix m;
  SetRows(m, {{1, 2}, {3, 4}});
  EXPECT_EQ(m.Trace(), 5.0);
  m.Resize(3, 2);
  EXPECT_EQ(m.Trace(), 0.0);
  m.Resize(0, 0);
  EXPECT_EQ(m.Trace(), 0.0);
}
