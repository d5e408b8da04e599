// TMatrix products, element-wise and in-place arithmetic, transposition,
// the cross-product matrix, row differences and the trace.
#include "ORK_matrix.h"
#include "foundation/frame_detail.h"
#include "matrix/gemm_detail.h"

#include <algorithm>
#include <cmath>

namespace numbra {

namespace {
constexpr std::string_view kNoHeap = "not enough memory on heap";

std::ptrdiff_t Ld(int32_t rows) { return rows > 0 ? rows : 1; }
}  // namespace

// Writes a computed result into MatRes. With a handler listening: resize
// (OnChange when the size changes), then one SetVal per element. With
// nobody to notify the storage is taken over at once, which leaves the same
// values and the same (silent) events behind -- without Resize's copy of
// the old elements into a cleared array that would be dropped at once.
void TMatrix::PublishProduct(TMatrix* MatRes, int32_t Nc, int32_t Nr,
                             detail::MatrixStorage&& Values) {
  if (!MatRes->OnChange) {
    MatRes->TakeOver(Nc, Nr, std::move(Values));
    return;
  }
  MatRes->Resize(Nc, Nr);
  if (Values.empty()) return;
  for (int32_t c = 1; c <= Nc; ++c)
    for (int32_t r = 1; r <= Nr; ++r)
      MatRes->SetVal(c, r,
                     Values[static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(Nr) +
                            static_cast<std::size_t>(r - 1)]);
}

namespace {
// C (m x n) := op(A) * op(B) into a fresh buffer.
detail::MatrixStorage Product(const TComponent& owner, std::ptrdiff_t m, std::ptrdiff_t n,
                              std::ptrdiff_t k, detail::ConstView A, detail::ConstView B) {
  detail::MatrixStorage c;
  detail::Allocate<EORKMatrixError>(owner, kNoHeap,
                                    [&] { c.resize(static_cast<std::size_t>(m * n)); });
  detail::Allocate<EORKMatrixError>(owner, kNoHeap,
                                    [&] { detail::GemmStore(m, n, k, A, B, c.data(), m); });
  return c;
}

// True when a product may be written straight into MatRes's storage: it is
// neither operand (whose values the product still reads), already has the
// result's size (so neither Resize nor a size event is due) and has no
// handler waiting for per-element SetVal events. Then a repeated product of
// one shape costs no allocation, no clearing and no copy; a failure
// (packing buffers) is raised before the storage is written.
bool WritableInPlace(const TMatrix* A, const TMatrix* MatB, const TMatrix* MatRes, int32_t Nc,
                     int32_t Nr) {
  return MatRes != A && MatRes != MatB && !MatRes->OnChange && MatRes->NrOfColumns() == Nc &&
         MatRes->NrOfRows() == Nr;
}
}  // namespace

bool TMatrix::Multiply(const TMatrix* MatB, TMatrix* MatRes) {
  if (MatB == nullptr || MatRes == nullptr || FNCol != MatB->FNRow) return false;
  const int32_t m = FNRow;
  const int32_t n = MatB->FNCol;
  const detail::ConstView A{Mat.data(), 1, Ld(FNRow)};
  const detail::ConstView B{MatB->Mat.data(), 1, Ld(MatB->FNRow)};
  if (WritableInPlace(this, MatB, MatRes, n, m))
    detail::Allocate<EORKMatrixError>(
        *this, kNoHeap, [&] { detail::GemmStore(m, n, FNCol, A, B, MatRes->Mat.data(), Ld(m)); });
  else
    PublishProduct(MatRes, n, m, Product(*this, m, n, FNCol, A, B));
  Changed();
  return true;
}

bool TMatrix::MultiplyTransposed(const TMatrix* MatB, TMatrix* MatRes) {
  if (MatB == nullptr || MatRes == nullptr || FNCol != MatB->FNCol) return false;
  const int32_t m = FNRow;
  const int32_t n = MatB->FNRow;
  // transpose(B)(k, j) = B(j, k): row stride of the view is B's column length.
  const detail::ConstView A{Mat.data(), 1, Ld(FNRow)};
  const detail::ConstView B{MatB->Mat.data(), Ld(MatB->FNRow), 1};
  if (WritableInPlace(this, MatB, MatRes, n, m))
    detail::Allocate<EORKMatrixError>(
        *this, kNoHeap, [&] { detail::GemmStore(m, n, FNCol, A, B, MatRes->Mat.data(), Ld(m)); });
  else
    PublishProduct(MatRes, n, m, Product(*this, m, n, FNCol, A, B));
  Changed();
  return true;
}

bool TMatrix::TransposeAndMultiply(const TMatrix* MatB, TMatrix* MatRes) {
  if (MatB == nullptr || MatRes == nullptr || FNRow != MatB->FNRow) return false;
  const int32_t m = FNCol;
  const int32_t n = MatB->FNCol;
  const detail::ConstView A{Mat.data(), Ld(FNRow), 1};
  const detail::ConstView B{MatB->Mat.data(), 1, Ld(MatB->FNRow)};
  if (WritableInPlace(this, MatB, MatRes, n, m))
    detail::Allocate<EORKMatrixError>(
        *this, kNoHeap, [&] { detail::GemmStore(m, n, FNRow, A, B, MatRes->Mat.data(), Ld(m)); });
  else
    PublishProduct(MatRes, n, m, Product(*this, m, n, FNRow, A, B));
  Changed();
  return true;
}

bool TMatrix::Multiply(const TVector* VecB, TVector* VecRes) {
  if (VecB == nullptr || VecRes == nullptr || FNCol != VecB->NrOfElem()) return false;
  // y := sum over k of column k times b(k): ascending k for every y(i), and
  // the inner loop runs down a contiguous column.
  const auto b = VecB->Values();
  std::vector<double> y;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { y.assign(static_cast<std::size_t>(FNRow), 0.0); });
  const std::size_t ld = static_cast<std::size_t>(Ld(FNRow));
  for (int32_t k = 0; k < FNCol; ++k) {
    const double* col = Mat.data() + static_cast<std::size_t>(k) * ld;
    const double bk = b[static_cast<std::size_t>(k)];
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = y[i] + col[i] * bk;
  }
  VecRes->SetVecSize(FNRow);
  for (int32_t i = 1; i <= FNRow; ++i) VecRes->SetVal(i, y[static_cast<std::size_t>(i) - 1]);
  Changed();
  return true;
}

bool TMatrix::TransposeAndMultiply(const TVector* VecB, TVector* VecRes) {
  if (VecB == nullptr || VecRes == nullptr || FNRow != VecB->NrOfElem()) return false;
  // y(i) := column i . b, each a running sum in ascending k; four columns at
  // a time give four independent chains.
  const auto b = VecB->Values();
  std::vector<double> y;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap,
                                    [&] { y.assign(static_cast<std::size_t>(FNCol), 0.0); });
  const auto ld = static_cast<std::size_t>(Ld(FNRow));
  const auto m = static_cast<std::size_t>(FNRow);
  std::size_t i = 0;
  for (; i + 4 <= y.size(); i += 4) {
    const double* c0 = Mat.data() + i * ld;
    const double* c1 = c0 + ld;
    const double* c2 = c1 + ld;
    const double* c3 = c2 + ld;
    double s0 = 0.0;
    double s1 = 0.0;
    double s2 = 0.0;
    double s3 = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
      s0 = s0 + c0[k] * b[k];
      s1 = s1 + c1[k] * b[k];
      s2 = s2 + c2[k] * b[k];
      s3 = s3 + c3[k] * b[k];
    }
    y[i] = s0;
    y[i + 1] = s1;
    y[i + 2] = s2;
    y[i + 3] = s3;
  }
  for (; i < y.size(); ++i) {
    const double* c = Mat.data() + i * ld;
    double s = 0.0;
    for (std::size_t k = 0; k < m; ++k) s = s + c[k] * b[k];
    y[i] = s;
  }
  VecRes->SetVecSize(FNCol);
  for (int32_t j = 1; j <= FNCol; ++j) VecRes->SetVal(j, y[static_cast<std::size_t>(j) - 1]);
  Changed();
  return true;
}

bool TMatrix::EMult(const TMatrix* MatB, TMatrix* MatRes) {
  if (MatB == nullptr || MatRes == nullptr || FNCol != MatB->FNCol || FNRow != MatB->FNRow)
    return false;
  detail::MatrixStorage c;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { c.resize(Count()); });
  for (std::size_t k = 0; k < c.size(); ++k) c[k] = Mat[k] * MatB->Mat[k];
  PublishProduct(MatRes, FNCol, FNRow, std::move(c));
  Changed();
  return true;
}

// ---- in place ----------------------------------------------------------------

bool TMatrix::Add(const TMatrix* MatB) {
  if (MatB == nullptr || FNCol != MatB->FNCol || FNRow != MatB->FNRow) return false;
  const double* b = MatB->Mat.data();
  for (std::size_t k = 0; k < Count(); ++k) Mat[k] = Mat[k] + b[k];
  Changed();
  return true;
}

bool TMatrix::Subtract(const TMatrix* MatB) {
  if (MatB == nullptr || FNCol != MatB->FNCol || FNRow != MatB->FNRow) return false;
  const double* b = MatB->Mat.data();
  for (std::size_t k = 0; k < Count(); ++k) Mat[k] = Mat[k] - b[k];
  Changed();
  return true;
}

void TMatrix::SMult(double Scalar) {
  for (std::size_t k = 0; k < Count(); ++k) Mat[k] *= Scalar;
  Changed();
}

void TMatrix::SAdd(double Scalar) {
  for (std::size_t k = 0; k < Count(); ++k) Mat[k] += Scalar;
  Changed();
}

bool TMatrix::Transpose() {
  const auto nc = static_cast<std::size_t>(FNCol);
  const auto nr = static_cast<std::size_t>(FNRow);
  detail::MatrixStorage t;
  detail::Allocate<EORKMatrixError>(*this, kNoHeap, [&] { t.resize(nc * nr); });
  // Blocked so that both the rows read and the columns written stay in
  // cache.
  constexpr std::size_t kB = 32;
  for (std::size_t c0 = 0; c0 < nc; c0 += kB)
    for (std::size_t r0 = 0; r0 < nr; r0 += kB)
      for (std::size_t c = c0; c < std::min(nc, c0 + kB); ++c)
        for (std::size_t r = r0; r < std::min(nr, r0 + kB); ++r) t[r * nc + c] = Mat[c * nr + r];
  TakeOver(FNRow, FNCol, std::move(t));
  Changed();
  return true;
}

// ---- cross products, differences, trace -----------------------------------------

bool TMatrix::Square(TMatrix* MatRes, double Norm) {
  if (MatRes == nullptr) return false;
  const int32_t n = FNCol;
  // transpose(A) * A through the product kernel: every s(i, j) is the sum
  // over rows k in ascending order, as the plain loop forms it.
  const auto g =
      Product(*this, n, n, FNRow, {Mat.data(), Ld(FNRow), 1}, {Mat.data(), 1, Ld(FNRow)});
  MatRes->Resize(n, n);
  for (int32_t i = 1; i <= n; ++i) {
    if (AbortMathProc) return false;
    for (int32_t j = i; j <= n; ++j) {
      const double v = g[static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(n) +
                         static_cast<std::size_t>(i - 1)] /
                       Norm;
      MatRes->SetVal(j, i, v);  // row i, column j
      MatRes->SetVal(i, j, v);  // row j, column i
    }
    StepProcStat();
  }
  return true;
}

void TMatrix::Diff(int32_t Order) {
  if (Order < 1 || Order > 10 || Order >= FNRow) return;
  const auto nr = static_cast<std::size_t>(FNRow);
  for (int32_t pass = 0; pass < Order; ++pass)
    for (std::size_t c = 0; c < static_cast<std::size_t>(FNCol); ++c) {
      double* col = Mat.data() + c * nr;
      for (std::size_t r = 0; r + 1 < nr; ++r) col[r] = col[r + 1] - col[r];
    }
  Resize(FNCol, FNRow - Order);
}

double TMatrix::Trace() const noexcept {
  if (FNCol != FNRow) return 0.0;
  double s = 0.0;
  for (int32_t i = 1; i <= FNCol; ++i) s += Mat[Idx(i, i)];
  return s;
}

}  // namespace numbra
