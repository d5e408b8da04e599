// The exact distribution of the one-sample Kolmogorov-Smirnov statistic
// (G. Marsaglia, W. W. Tsang and J. Wang, "Evaluating Kolmogorov's
// distribution", J. Statist. Software 8, 2003) and the Kolmogorov limit
// distribution.
#include "ORK_matrix.h"
#include "statis/statis_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace numbra::detail {

namespace {

// Q = H^n as 10^e * Q by repeated squaring; whenever the central diagonal
// element exceeds 1e140 the matrix is scaled by 1e-140 and e raised by 140,
// so that no element overflows. The matrices are TMatrix objects,
// element (column j, row i) = H(i, j).
void MatrixPower(TMatrix& H, int32_t n, TMatrix& V, int32_t& e) {
  if (n == 1) {
    V.Clone(&H);
    e = 0;
    return;
  }
  MatrixPower(H, n / 2, V, e);
  TMatrix B;
  V.Multiply(&V, &B);
  e *= 2;
  if (n % 2 == 0)
    V.Clone(&B);
  else
    H.Multiply(&B, &V);
  const int32_t c = H.NrOfRows() / 2 + 1;
  if (V.GetVal(c, c) > 1e140) {
    V.SMult(1e-140);
    e += 140;
  }
}

}  // namespace

double KolmogorovSf(double lambda) noexcept {
  if (!(lambda > 0.0)) return 1.0;
  if (lambda < 1.18) {
    // P(K <= l) = sqrt(2 pi)/l sum exp(-(2k-1)^2 pi^2 / (8 l^2))
    const double f = -M_PI * M_PI / (8.0 * lambda * lambda);
    double sum = 0.0;
    for (int k = 1; k <= 20; ++k) {
      const double t = std::exp(f * (2 * k - 1) * (2 * k - 1));
      sum += t;
      if (t < 1e-17 * sum) break;
    }
    return 1.0 - std::sqrt(2.0 * M_PI) / lambda * sum;
  }
  // P(K > l) = 2 sum (-1)^(k-1) exp(-2 k^2 l^2)
  double sum = 0.0;
  for (int k = 1; k <= 20; ++k) {
    const double t = std::exp(-2.0 * k * k * lambda * lambda);
    sum += (k % 2 == 1) ? t : -t;
    if (t < 1e-17 * sum) break;
  }
  return 2.0 * sum;
}

double KSPValueExact(int32_t n, double d) {
  const double nd = n * d;
  const int32_t k = static_cast<int32_t>(nd) + 1;
  const int32_t m = 2 * k - 1;
  const double h = k - nd;
  // H(i, j) (row i, column j) is built in a plain array, then handed to the
  // matrix once.
  std::vector<double> h_rows(static_cast<std::size_t>(m) * m);
  auto at = [&](int32_t i, int32_t j) -> double& {
    return h_rows[static_cast<std::size_t>(i - 1) * m + static_cast<std::size_t>(j - 1)];
  };
  for (int32_t i = 1; i <= m; ++i)
    for (int32_t j = 1; j <= m; ++j) at(i, j) = (i - j + 1 >= 0) ? 1.0 : 0.0;
  for (int32_t i = 1; i <= m; ++i) {
    at(i, 1) -= std::pow(h, i);
    at(m, i) -= std::pow(h, m - i + 1);
  }
  if (2.0 * h - 1.0 > 0.0) at(m, 1) += std::pow(2.0 * h - 1.0, m);
  for (int32_t i = 1; i <= m; ++i)
    for (int32_t j = 1; j <= m; ++j)
      if (i - j + 1 > 0)
        for (int32_t g = 1; g <= i - j + 1; ++g) at(i, j) /= g;
  TMatrix H;
  H.Resize(m, m);
  for (int32_t i = 1; i <= m; ++i)
    for (int32_t j = 1; j <= m; ++j) H.SetVal(j, i, at(i, j));
  TMatrix Q;
  int32_t e = 0;
  MatrixPower(H, n, Q, e);
  double v = Q.GetVal(k, k);
  for (int32_t i = 1; i <= n; ++i) {
    v = v * i / n;
    if (v < 1e-140) {
      v *= 1e140;
      e -= 140;
    }
  }
  v *= std::pow(10.0, e);
  return 1.0 - v;
}

}  // namespace numbra::detail
