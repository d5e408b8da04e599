// The exact distribution of the one-sample Kolmogorov-Smirnov statistic
// (G. Marsaglia, W. W. Tsang and J. Wang, "Evaluating Kolmogorov's
// distribution", J. Statist. Software 8, 2003) and the Kolmogorov limit
// distribution.
#include "statis/statis_detail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace numbra::detail {

namespace {

// Dense square matrix, element (i, j) 1-based, row i.
class TSquare {
 public:
  explicit TSquare(int32_t m) : m_(m), v_(static_cast<std::size_t>(m) * m, 0.0) {}
  [[nodiscard]] int32_t Order() const noexcept { return m_; }
  double& operator()(int32_t i, int32_t j) noexcept { return v_[Index(i, j)]; }
  double operator()(int32_t i, int32_t j) const noexcept { return v_[Index(i, j)]; }
  void Scale(double f) noexcept {
    for (double& x : v_) x *= f;
  }
  // this = A B (this must not be A or B).
  void Product(const TSquare& A, const TSquare& B) noexcept {
    std::fill(v_.begin(), v_.end(), 0.0);
    for (int32_t i = 1; i <= m_; ++i)
      for (int32_t k = 1; k <= m_; ++k) {
        const double a = A(i, k);
        if (a == 0.0) continue;
        double* row = &v_[Index(i, 1)];
        const double* brow = &B.v_[Index(k, 1)];
        for (int32_t j = 0; j < m_; ++j) row[j] += a * brow[j];
      }
  }

 private:
  [[nodiscard]] std::size_t Index(int32_t i, int32_t j) const noexcept {
    return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(m_) +
           static_cast<std::size_t>(j - 1);
  }
  int32_t m_;
  std::vector<double> v_;
};

// V = H^n with V = 10^e * (returned matrix); the central diagonal element
// is kept below 1e140 by moving factors of 1e140 into e.
void MatrixPower(const TSquare& H, int32_t n, TSquare& V, int32_t& e) {
  if (n == 1) {
    V = H;
    e = 0;
    return;
  }
  MatrixPower(H, n / 2, V, e);
  TSquare B(H.Order());
  B.Product(V, V);
  e *= 2;
  if (n % 2 == 0) {
    V = std::move(B);
  } else {
    V.Product(H, B);
  }
  const int32_t c = H.Order() / 2 + 1;
  if (V(c, c) > 1e140) {
    V.Scale(1e-140);
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
  TSquare H(m);
  for (int32_t i = 1; i <= m; ++i)
    for (int32_t j = 1; j <= m; ++j) H(i, j) = (i - j + 1 >= 0) ? 1.0 : 0.0;
  for (int32_t i = 1; i <= m; ++i) {
    H(i, 1) -= std::pow(h, i);
    H(m, i) -= std::pow(h, m - i + 1);
  }
  if (2.0 * h - 1.0 > 0.0) H(m, 1) += std::pow(2.0 * h - 1.0, m);
  for (int32_t i = 1; i <= m; ++i)
    for (int32_t j = 1; j <= m; ++j)
      if (i - j + 1 > 0)
        for (int32_t g = 1; g <= i - j + 1; ++g) H(i, j) /= g;
  TSquare Q(m);
  int32_t e = 0;
  MatrixPower(H, n, Q, e);
  double v = Q(k, k);
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
