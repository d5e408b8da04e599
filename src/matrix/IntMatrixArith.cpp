// TIntMatrix products with matrices and integer vectors, plain, with either
// factor transposed and element-wise.
//
// All sums are formed in unsigned 32-bit arithmetic, which wraps modulo 2^32
// without the undefined behaviour of signed overflow; converted back, the
// result is the two's-complement value of the exact sum reduced modulo 2^32.
// Since that arithmetic is exact, the order of the sums does not change a
// result, and the loops are ordered for the column-major storage alone.
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"

#include <algorithm>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";

std::size_t Stor(int32_t n) { return static_cast<std::size_t>(n > 0 ? n : 1); }

uint32_t U(int32_t v) { return static_cast<uint32_t>(v); }

// C (m x n, column-major, zeroed) += A (m x K, columns lda apart) times B,
// where B(k, j) is b[k * bk + j * bj]. Saxpy form: column j of C gathers
// column k of A times one scalar, so the inner loop runs down two
// contiguous columns; four columns of C at a time read each column of A
// once for all four.
void SaxpyProduct(const int32_t* a, std::size_t lda, const int32_t* b, std::size_t bk,
                  std::size_t bj, std::size_t m, std::size_t n, std::size_t K, uint32_t* c) {
  std::size_t j = 0;
  for (; j + 4 <= n; j += 4) {
    uint32_t* c0 = c + j * m;
    uint32_t* c1 = c0 + m;
    uint32_t* c2 = c1 + m;
    uint32_t* c3 = c2 + m;
    for (std::size_t k = 0; k < K; ++k) {
      const int32_t* ak = a + k * lda;
      const uint32_t b0 = U(b[k * bk + j * bj]);
      const uint32_t b1 = U(b[k * bk + (j + 1) * bj]);
      const uint32_t b2 = U(b[k * bk + (j + 2) * bj]);
      const uint32_t b3 = U(b[k * bk + (j + 3) * bj]);
      for (std::size_t i = 0; i < m; ++i) {
        const uint32_t x = U(ak[i]);
        c0[i] += x * b0;
        c1[i] += x * b1;
        c2[i] += x * b2;
        c3[i] += x * b3;
      }
    }
  }
  for (; j < n; ++j) {
    uint32_t* cj = c + j * m;
    for (std::size_t k = 0; k < K; ++k) {
      const uint32_t s = U(b[k * bk + j * bj]);
      if (s == 0) continue;
      const int32_t* ak = a + k * lda;
      for (std::size_t i = 0; i < m; ++i) cj[i] += U(ak[i]) * s;
    }
  }
}

// Dot product of two contiguous columns of length K.
uint32_t Dot(const int32_t* x, const int32_t* y, std::size_t K) {
  uint32_t s = 0;
  for (std::size_t k = 0; k < K; ++k) s += U(x[k]) * U(y[k]);
  return s;
}
}  // namespace

// Writes a computed result (Nc x Nr, column by column) into Res, as the
// TMatrix products do: with a handler listening, Resize (OnChange when the
// size changes) and one SetVal per element; with nobody to notify the
// storage is taken over, which leaves the same values behind.
void TIntMatrix::PublishProduct(TIntMatrix* Res, int32_t Nc, int32_t Nr,
                                std::vector<int32_t>&& Values) {
  if (!Res->OnChange) {
    if (Values.empty())
      detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                        [&] { Values.assign(Stor(Nc) * Stor(Nr), 0); });
    Res->Mat.swap(Values);
    Res->FNCol = Nc;
    Res->FNRow = Nr;
    return;
  }
  Res->Resize(Nc, Nr);
  for (int32_t c = 1; c <= Nc; ++c)
    for (int32_t r = 1; r <= Nr; ++r)
      Res->SetVal(c, r,
                  Values[static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(Nr) +
                         static_cast<std::size_t>(r - 1)]);
}

// The checks every product makes, in this order: this matrix dense, both
// arguments present, both dense.
bool TIntMatrix::ProductOperands(std::string_view Op, const TIntMatrix* MatB,
                                 const TIntMatrix* MatRes) const {
  RequireDense(Op);
  if (MatB == nullptr || MatRes == nullptr) return false;
  MatB->RequireDense(Op);
  MatRes->RequireDense(Op);
  return true;
}

namespace {
// A zeroed m x n result buffer.
std::vector<int32_t> ResultBuffer(const TComponent& owner, std::size_t m, std::size_t n) {
  std::vector<int32_t> c;
  detail::Allocate<EORKMatrixError>(owner, kNoHeap, [&] { c.assign(m * n, 0); });
  return c;
}

// The buffer as the unsigned words the kernels add into (int32_t storage may
// be accessed through its unsigned counterpart).
uint32_t* Words(std::vector<int32_t>& c) { return reinterpret_cast<uint32_t*>(c.data()); }
}  // namespace

bool TIntMatrix::Multiply(const TIntMatrix* MatB, TIntMatrix* MatRes) {
  if (!ProductOperands("Multiply", MatB, MatRes) || FNCol != MatB->FNRow) return false;
  const auto m = static_cast<std::size_t>(FNRow);
  const auto n = static_cast<std::size_t>(MatB->FNCol);
  auto c = ResultBuffer(*this, m, n);
  SaxpyProduct(Mat.data(), Stor(FNRow), MatB->Mat.data(), 1, Stor(MatB->FNRow), m, n,
               static_cast<std::size_t>(FNCol), Words(c));
  PublishProduct(MatRes, MatB->FNCol, FNRow, std::move(c));
  Changed();
  return true;
}

bool TIntMatrix::MultiplyTransposed(const TIntMatrix* MatB, TIntMatrix* MatRes) {
  if (!ProductOperands("MultiplyTransposed", MatB, MatRes) || FNCol != MatB->FNCol) return false;
  const auto m = static_cast<std::size_t>(FNRow);
  const auto n = static_cast<std::size_t>(MatB->FNRow);
  // transpose(B)(k, j) = B(j, k), stored at k * ld(B) + j.
  auto c = ResultBuffer(*this, m, n);
  SaxpyProduct(Mat.data(), Stor(FNRow), MatB->Mat.data(), Stor(MatB->FNRow), 1, m, n,
               static_cast<std::size_t>(FNCol), Words(c));
  PublishProduct(MatRes, MatB->FNRow, FNRow, std::move(c));
  Changed();
  return true;
}

bool TIntMatrix::TransposeAndMultiply(const TIntMatrix* MatB, TIntMatrix* MatRes) {
  if (!ProductOperands("TransposeAndMultiply", MatB, MatRes) || FNRow != MatB->FNRow) return false;
  // C(i, j) = column i of A . column j of B: dot products of contiguous
  // columns, four columns of A against one of B at a time.
  const auto m = static_cast<std::size_t>(FNCol);
  const auto n = static_cast<std::size_t>(MatB->FNCol);
  const auto K = static_cast<std::size_t>(FNRow);
  const std::size_t lda = Stor(FNRow);
  const std::size_t ldb = Stor(MatB->FNRow);
  auto c = ResultBuffer(*this, m, n);
  uint32_t* w = Words(c);
  for (std::size_t j = 0; j < n; ++j) {
    const int32_t* bj = MatB->Mat.data() + j * ldb;
    uint32_t* cj = w + j * m;
    std::size_t i = 0;
    for (; i + 4 <= m; i += 4) {
      const int32_t* a0 = Mat.data() + i * lda;
      const int32_t* a1 = a0 + lda;
      const int32_t* a2 = a1 + lda;
      const int32_t* a3 = a2 + lda;
      uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
      for (std::size_t k = 0; k < K; ++k) {
        const uint32_t y = U(bj[k]);
        s0 += U(a0[k]) * y;
        s1 += U(a1[k]) * y;
        s2 += U(a2[k]) * y;
        s3 += U(a3[k]) * y;
      }
      cj[i] = s0;
      cj[i + 1] = s1;
      cj[i + 2] = s2;
      cj[i + 3] = s3;
    }
    for (; i < m; ++i) cj[i] = Dot(Mat.data() + i * lda, bj, K);
  }
  PublishProduct(MatRes, MatB->FNCol, FNCol, std::move(c));
  Changed();
  return true;
}

bool TIntMatrix::Multiply(const TIntVector* VecB, TIntVector* VecRes) {
  RequireDense("Multiply");
  if (VecB == nullptr || VecRes == nullptr || FNCol != VecB->NrOfElem()) return false;
  // y := sum over k of column k times b(k).
  const auto b = VecB->Values();
  auto y = ResultBuffer(*this, static_cast<std::size_t>(FNRow), 1);
  SaxpyProduct(Mat.data(), Stor(FNRow), b.data(), 1, 0, y.size(), 1,
               static_cast<std::size_t>(FNCol), Words(y));
  VecRes->SetIntVecSize(FNRow);
  for (int32_t i = 1; i <= FNRow; ++i) VecRes->SetVal(i, y[static_cast<std::size_t>(i) - 1]);
  Changed();
  return true;
}

bool TIntMatrix::TransposeAndMultiply(const TIntVector* VecB, TIntVector* VecRes) {
  RequireDense("TransposeAndMultiply");
  if (VecB == nullptr || VecRes == nullptr || FNRow != VecB->NrOfElem()) return false;
  // y(i) := column i . b.
  const auto b = VecB->Values();
  auto y = ResultBuffer(*this, static_cast<std::size_t>(FNCol), 1);
  const std::size_t lda = Stor(FNRow);
  for (std::size_t i = 0; i < y.size(); ++i)
    y[i] =
        static_cast<int32_t>(Dot(Mat.data() + i * lda, b.data(), static_cast<std::size_t>(FNRow)));
  VecRes->SetIntVecSize(FNCol);
  for (int32_t j = 1; j <= FNCol; ++j) VecRes->SetVal(j, y[static_cast<std::size_t>(j) - 1]);
  Changed();
  return true;
}

bool TIntMatrix::EMult(const TIntMatrix* MatB, TIntMatrix* MatRes) {
  if (!ProductOperands("EMult", MatB, MatRes) || FNCol != MatB->FNCol || FNRow != MatB->FNRow)
    return false;
  auto c = ResultBuffer(*this, Count(), 1);
  for (std::size_t k = 0; k < c.size(); ++k)
    c[k] = static_cast<int32_t>(U(Mat[k]) * U(MatB->Mat[k]));
  PublishProduct(MatRes, FNCol, FNRow, std::move(c));
  Changed();
  return true;
}

}  // namespace numbra
