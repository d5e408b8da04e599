// TIntMatrix products against plain triple loops in 64-bit arithmetic
// reduced modulo 2^32, including sums that wrap, unfitting sizes, aliased
// results and the sparse guard.
#include "ORK_matrix.h"

#include <climits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;

namespace {
enum class Op { kMul, kMulT, kTMul, kMulVec, kTMulVec, kEMult };

struct ProductCase {
  const char* name;
  Op op;
  int32_t ac, ar;  // A: columns, rows
  int32_t bc, br;  // B: columns, rows (vector forms: bc elements)
  int32_t rc, rr;  // expected result size (vectors: rr elements); rc < 0: false
};

// Element (c, r) of a column-major c x r block, as int64.
int64_t At(const std::vector<int32_t>& v, int32_t rows, int32_t c, int32_t r) {
  return v[static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(rows) +
           static_cast<std::size_t>(r - 1)];
}

// Sum of exact 64-bit products, reduced modulo 2^32 (through a wrapping
// 64-bit accumulator: 2^32 divides 2^64).
int32_t Reduce(uint64_t s) { return static_cast<int32_t>(static_cast<uint32_t>(s)); }

// The reference result of a case, column by column (vectors: one column).
std::vector<int32_t> Reference(const ProductCase& t, const std::vector<int32_t>& a,
                               const std::vector<int32_t>& b) {
  std::vector<int32_t> out;
  const auto acc = [](uint64_t s, int64_t x, int64_t y) {
    return s + static_cast<uint64_t>(x * y);
  };
  const bool vec = t.op == Op::kMulVec || t.op == Op::kTMulVec;
  const int32_t rows = t.br;
  for (int32_t j = 1; j <= (vec ? 1 : t.rc); ++j)
    for (int32_t i = 1; i <= t.rr; ++i) {
      uint64_t s = 0;
      switch (t.op) {
        case Op::kMul:  // row i of A times column j of B
          for (int32_t k = 1; k <= t.ac; ++k) s = acc(s, At(a, t.ar, k, i), At(b, rows, j, k));
          break;
        case Op::kMulT:  // row i of A times row j of B
          for (int32_t k = 1; k <= t.ac; ++k) s = acc(s, At(a, t.ar, k, i), At(b, rows, k, j));
          break;
        case Op::kTMul:  // column i of A times column j of B
          for (int32_t k = 1; k <= t.ar; ++k) s = acc(s, At(a, t.ar, i, k), At(b, rows, j, k));
          break;
        case Op::kMulVec:
          for (int32_t k = 1; k <= t.ac; ++k) s = acc(s, At(a, t.ar, k, i), b[k - 1]);
          break;
        case Op::kTMulVec:
          for (int32_t k = 1; k <= t.ar; ++k) s = acc(s, At(a, t.ar, i, k), b[k - 1]);
          break;
        case Op::kEMult:
          s = acc(0, At(a, t.ar, j, i), At(b, rows, j, i));
          break;
      }
      out.push_back(Reduce(s));
    }
  return out;
}

// Random elements over the whole 32-bit range, with the extremes among
// them, so that nearly every sum wraps.
std::vector<int32_t> Values(std::mt19937& g, std::size_t n) {
  std::uniform_int_distribution<int32_t> d(INT32_MIN, INT32_MAX);
  std::vector<int32_t> v(n);
  for (auto& x : v) x = d(g);
  if (n > 0) v[0] = INT32_MIN;
  if (n > 1) v[n - 1] = INT32_MAX;
  return v;
}

void Load(TIntMatrix& m, int32_t nc, int32_t nr, const std::vector<int32_t>& v) {
  m.Resize(nc, nr);
  for (int32_t c = 1; c <= nc; ++c)
    for (int32_t r = 1; r <= nr; ++r) m.SetVal(c, r, static_cast<int32_t>(At(v, nr, c, r)));
}

const ProductCase kCases[] = {
    {"mul_3x2_by_4x3", Op::kMul, 3, 2, 4, 3, 4, 2},
    {"mul_wide_tails", Op::kMul, 6, 9, 7, 6, 7, 9},
    {"mul_inner_empty", Op::kMul, 0, 5, 3, 0, 3, 5},
    {"mul_rows_mismatch", Op::kMul, 3, 2, 4, 2, -1, 0},
    {"mult_9x6_by_7x6", Op::kMulT, 6, 9, 6, 7, 7, 9},
    {"mult_mismatch", Op::kMulT, 3, 2, 4, 3, -1, 0},
    {"tmul_9x6_by_5x6", Op::kTMul, 9, 6, 5, 6, 5, 9},
    {"tmul_mismatch", Op::kTMul, 3, 2, 4, 3, -1, 0},
    {"mulvec_7x5", Op::kMulVec, 7, 5, 7, 0, 1, 5},
    {"mulvec_mismatch", Op::kMulVec, 7, 5, 5, 0, -1, 0},
    {"tmulvec_7x5", Op::kTMulVec, 7, 5, 5, 0, 1, 7},
    {"tmulvec_mismatch", Op::kTMulVec, 7, 5, 7, 0, -1, 0},
    {"emult_4x3", Op::kEMult, 4, 3, 4, 3, 4, 3},
    {"emult_mismatch", Op::kEMult, 4, 3, 3, 4, -1, 0},
};
}  // namespace

class TIntMatrixProducts : public ::testing::TestWithParam<ProductCase> {};

TEST_P(TIntMatrixProducts, MatchesWrappedReference) {
  const ProductCase& t = GetParam();
  std::mt19937 g(20261208U);
  const bool vec = t.op == Op::kMulVec || t.op == Op::kTMulVec;
  const auto av = Values(g, static_cast<std::size_t>(t.ac) * static_cast<std::size_t>(t.ar));
  const auto bv =
      Values(g, static_cast<std::size_t>(t.bc) * static_cast<std::size_t>(vec ? 1 : t.br));
  TIntMatrix a, b, res;
  Load(a, t.ac, t.ar, av);
  int changes = 0;
  a.OnChange = [&](TObject*) { ++changes; };
  TIntVector vb, vres;
  if (vec) {
    vb.Resize(t.bc);
    for (int32_t k = 1; k <= t.bc; ++k) vb.SetVal(k, bv[static_cast<std::size_t>(k) - 1]);
  } else {
    Load(b, t.bc, t.br, bv);
  }
  Load(res, 2, 2, {1, 2, 3, 4});
  vres.Resize(2);
  bool ok = false;
  switch (t.op) {
    case Op::kMul:
      ok = a.Multiply(&b, &res);
      break;
    case Op::kMulT:
      ok = a.MultiplyTransposed(&b, &res);
      break;
    case Op::kTMul:
      ok = a.TransposeAndMultiply(&b, &res);
      break;
    case Op::kMulVec:
      ok = a.Multiply(&vb, &vres);
      break;
    case Op::kTMulVec:
      ok = a.TransposeAndMultiply(&vb, &vres);
      break;
    case Op::kEMult:
      ok = a.EMult(&b, &res);
      break;
  }
  ASSERT_EQ(ok, t.rc >= 0);
  EXPECT_EQ(changes, ok ? 1 : 0);
  if (!ok) {  // the result object is untouched
    EXPECT_EQ(std::vector<int32_t>(res.Values().begin(), res.Values().end()),
              (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(vres.NrOfElem(), 2);
    return;
  }
  const auto want = Reference(t, av, bv);
  if (vec) {
    ASSERT_EQ(vres.NrOfElem(), t.rr);
    EXPECT_EQ(std::vector<int32_t>(vres.Values().begin(), vres.Values().end()), want);
  } else {
    ASSERT_EQ(res.NrOfColumns(), t.rc);
    ASSERT_EQ(res.NrOfRows(), t.rr);
    EXPECT_EQ(std::vector<int32_t>(res.Values().begin(), res.Values().end()), want);
  }
}

INSTANTIATE_TEST_SUITE_P(All, TIntMatrixProducts, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TIntMatrixProductsEdge, AliasingEventsAndSparseGuard) {
  // [[1, 2], [3, 4]] squared in place, and into the second factor.
  TIntMatrix a, b;
  Load(a, 2, 2, {1, 3, 2, 4});
  Load(b, 2, 2, {1, 3, 2, 4});
  ASSERT_TRUE(a.Multiply(&a, &a));
  EXPECT_EQ(std::vector<int32_t>(a.Values().begin(), a.Values().end()),
            (std::vector<int32_t>{7, 15, 10, 22}));
  ASSERT_TRUE(b.TransposeAndMultiply(&b, &b));  // [[10, 14], [14, 20]]
  EXPECT_EQ(std::vector<int32_t>(b.Values().begin(), b.Values().end()),
            (std::vector<int32_t>{10, 14, 14, 20}));
  // A listening result is resized and written element by element.
  TIntMatrix r;
  int writes = 0;
  r.OnChange = [&](TObject*) { ++writes; };
  ASSERT_TRUE(a.MultiplyTransposed(&b, &r));
  EXPECT_EQ(writes, 1 + 4);  // Resize from 1 x 1, then four SetVal

  std::unique_ptr<TIntMatrix> sp(TIntMatrix::CreateSparse(nullptr, 1));
  sp->SetName("S");
  sp->SetVal(1, 1, 5);
  try {
    a.Multiply(sp.get(), &r);
    FAIL() << "no exception";
  } catch (const EORKMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"S\": Multiply: not available for a sparse matrix");
  }
  EXPECT_THROW(sp->MultiplyTransposed(&a, &r), EORKMatrixError);
  EXPECT_THROW(a.EMult(&a, sp.get()), EORKMatrixError);
  TIntVector v;
  EXPECT_THROW(sp->TransposeAndMultiply(&v, &v), EORKMatrixError);
  EXPECT_EQ(sp->GetVal(1, 1), 5);
  EXPECT_EQ(writes, 5);
}
