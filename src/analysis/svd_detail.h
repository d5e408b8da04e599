// Singular value kernel on raw column-major storage, and the storage access
// the analysis routines use to work on TMatrix and TVector elements in
// place. Not installed.
#pragma once

#include "ORK_matrix.h"
#include "ORK_vector.h"

#include <cstdint>
#include <vector>

namespace numbra::detail {

/// In-place access to the contiguous column-major elements of a TMatrix
/// (element (c, r) at (c - 1) * NrOfRows() + r - 1) and to its change event.
/// The storage holds max(cols, 1) * max(rows, 1) elements.
struct MatrixAccess : TMatrix {
  static MatrixStorage& Storage(TMatrix& M) { return M.*(&MatrixAccess::Mat); }
  static void FireChanged(TMatrix& M) { (M.*(&MatrixAccess::Changed))(); }
};

/// Result of SvdKernel.
enum class SvdStatus : uint8_t { kOk, kNoConvergence, kAborted };

/// Golub-Reinsch decomposition of the m x n column-major array a (leading
/// dimension m) into U (overwrites a), the n x n column-major V and the n
/// singular values w. m, n >= 1. Progress/abort as SvdDecompose states.
/// When Progress is false no ProcStat steps are taken and the abort flag is
/// not read (for small internal solves).
SvdStatus SvdKernel(double* a, int32_t m, int32_t n, double* v, double* w, bool Progress = true);

/// x = V diag(1/w) U^T b on raw storage (U m x n, V n x n column-major);
/// zero w_j contribute nothing. StdErr (n elements) may be null.
void SvdSolve(const double* u, const double* v, const double* w, int32_t m, int32_t n,
              const double* b, double* x, double* StdErr);

}  // namespace numbra::detail
