// PseudoInverse, SingValDecomp and SingValEquSolve: the multivariate
// routines on top of the singular value kernel.
#include "ORK_math2.h"
#include "analysis/multivariate_detail.h"
#include "analysis/svd_detail.h"
#include "matrix/gemm_detail.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace numbra {

namespace {

bool AllFinite(std::span<const double> v) {
  return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

// Default cut-off of the small singular values: max(m, n) w_max eps, with
// eps = 1.2e-16 just above the unit roundoff; singular values below it are
// at rounding level of the largest and carry no information.
double DefaultCutOff(int32_t m, int32_t n, std::span<const double> w) {
  double wmax = 0.0;
  for (double x : w) wmax = std::max(wmax, std::fabs(x));
  return static_cast<double>(std::max(m, n)) * wmax * 1.2e-16;
}

}  // namespace

bool PseudoInverse(const TMatrix& InMat, TMatrix& PInv, double Threshold) {
  const int32_t m = InMat.NrOfRows();
  const int32_t n = InMat.NrOfColumns();
  if (m < 1 || n < 1 || !AllFinite(InMat.Values())) return false;
  return detail::WithHeap("PseudoInverse", [&] {
    const auto mm = static_cast<std::size_t>(m);
    const auto nn = static_cast<std::size_t>(n);
    std::vector<double> a(InMat.Values().begin(), InMat.Values().end());
    std::vector<double> v(nn * nn);
    std::vector<double> w(nn);
    if (detail::SvdKernel(a.data(), m, n, v.data(), w.data()) != detail::SvdStatus::kOk)
      return false;
    const double thr = Threshold > 0.0 ? Threshold : DefaultCutOff(m, n, w);
    for (std::size_t k = 0; k < nn; ++k) {
      double* col = v.data() + k * nn;
      const bool keep = std::fabs(w[k]) > thr;
      for (std::size_t i = 0; i < nn; ++i) col[i] = keep ? col[i] / w[k] : 0.0;
    }
    // PInv (n rows, m columns) = V W+ times U^T, through the product kernel.
    std::vector<double> p(nn * mm, 0.0);
    detail::GemmAccumulate(n, m, n, detail::ConstView{v.data(), 1, n},
                           detail::ConstView{a.data(), m, 1}, p.data(), n, false);
    PInv.Resize(m, n);
    auto& store = detail::MatrixAccess::Storage(PInv);
    std::copy(p.begin(), p.end(), store.begin());
    detail::MatrixAccess::FireChanged(PInv);
    return true;
  });
}

bool SingValDecomp(TMatrix& A, TMatrix& V, TVector& W) {
  const int32_t m = A.NrOfRows();
  const int32_t n = A.NrOfColumns();
  if (m < 1 || n < 1 || !AllFinite(A.Values())) return false;
  return detail::WithHeap("SingValDecomp", [&] {
    const auto mm = static_cast<std::size_t>(m);
    const auto nn = static_cast<std::size_t>(n);
    std::vector<double> a(A.Values().begin(), A.Values().end());
    std::vector<double> v(nn * nn);
    std::vector<double> w(nn);
    const detail::SvdStatus status = detail::SvdKernel(a.data(), m, n, v.data(), w.data());
    // Descending order (stable for equal values), then the sign rule.
    std::vector<std::size_t> order(nn);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t i, std::size_t j) { return w[i] > w[j]; });
    std::vector<double> u2(mm * nn);
    std::vector<double> v2(nn * nn);
    std::vector<double> w2(nn);
    for (std::size_t k = 0; k < nn; ++k) {
      const std::size_t src = order[k];
      const double* vc = v.data() + src * nn;
      std::size_t big = 0;
      for (std::size_t i = 1; i < nn; ++i)
        if (std::fabs(vc[i]) > std::fabs(vc[big])) big = i;
      const double sign = vc[big] < 0.0 ? -1.0 : 1.0;
      for (std::size_t i = 0; i < nn; ++i) v2[k * nn + i] = sign * vc[i];
      for (std::size_t i = 0; i < mm; ++i) u2[k * mm + i] = sign * a[src * mm + i];
      w2[k] = w[src];
    }
    auto& sa = detail::MatrixAccess::Storage(A);
    std::copy(u2.begin(), u2.end(), sa.begin());
    V.Resize(n, n);
    auto& sv = detail::MatrixAccess::Storage(V);
    std::copy(v2.begin(), v2.end(), sv.begin());
    detail::StoreValues(W, w2);
    detail::MatrixAccess::FireChanged(A);
    detail::MatrixAccess::FireChanged(V);
    return status == detail::SvdStatus::kOk;
  });
}

int32_t SingValEquSolve(const TMatrix& U, const TMatrix& V, const TVector& W, const TVector& b,
                        TVector& x, TVector& StdErr) {
  const int32_t m = U.NrOfRows();
  const int32_t n = U.NrOfColumns();
  if (m < 1 || n < 1 || V.NrOfColumns() != n || V.NrOfRows() != n || W.NrOfElem() != n ||
      b.NrOfElem() != m)
    return -1;
  return detail::WithHeap("SingValEquSolve", [&] {
    std::vector<double> w(W.Values().begin(), W.Values().end());
    const double thr = DefaultCutOff(m, n, w);
    int32_t rank = 0;
    for (double& wk : w) {
      if (std::fabs(wk) > thr)
        ++rank;
      else
        wk = 0.0;
    }
    std::vector<double> xx(static_cast<std::size_t>(n));
    std::vector<double> se(static_cast<std::size_t>(n));
    detail::SvdSolve(U.Values().data(), V.Values().data(), w.data(), m, n, b.Values().data(),
                     xx.data(), se.data());
    detail::StoreValues(x, xx);
    detail::StoreValues(StdErr, se);
    return rank;
  });
}

}  // namespace numbra
