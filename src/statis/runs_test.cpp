// Runs tests: the exact distribution of the number of runs in a random
// arrangement of two kinds of items (Swed and Eisenhart, Ann. Math.
// Statist. 14 (1943) 66-87) and its normal approximation (Wald and
// Wolfowitz, 1940).
#include "ORK_statis.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace numbra {

namespace {

// ln C(n, k) for 0 <= k <= n, -inf otherwise (the coefficient is then 0).
double LnChoose(int64_t n, int64_t k) noexcept {
  if (k < 0 || n < 0 || k > n) return -std::numeric_limits<double>::infinity();
  return std::lgamma(static_cast<double>(n) + 1.0) - std::lgamma(static_cast<double>(k) + 1.0) -
         std::lgamma(static_cast<double>(n - k) + 1.0);
}

// C(n, k) as a double, 0 outside 0 <= k <= n; exact while it fits 64 bits.
double Choose(int32_t n, int32_t k) noexcept {
  if (k < 0 || n < 0 || k > n) return 0.0;
  return static_cast<double>(BinomCoeff(n, k));
}

}  // namespace

// Number of arrangements with k runs (m of one kind, n of the other):
//   k = 2j:     2 C(m-1, j-1) C(n-1, j-1)
//   k = 2j + 1: C(m-1, j) C(n-1, j-1) + C(m-1, j-1) C(n-1, j)
// Run counts above 2 min(m, n) + 1 are impossible, so the sum stops there.
double ExactRunsTest(int32_t n1, int32_t n2, int32_t runs) noexcept {
  if (n1 < 0 || n2 < 0) return std::numeric_limits<double>::quiet_NaN();
  if (runs < 2) return 0.0;
  const int32_t m = std::min(n1, n2);
  const int32_t n = std::max(n1, n2);
  const int32_t kmax = static_cast<int32_t>(std::min<int64_t>(runs, 2 * int64_t{m} + 1));
  const int64_t total = int64_t{m} + n <= 66 ? BinomCoeff(m + n, m) : 0;
  double sum = 0.0;
  if (total > 0) {
    for (int32_t k = 2; k <= kmax; ++k) {
      if (k % 2 == 0) {
        const int32_t j = k / 2;
        sum += 2.0 * Choose(m - 1, j - 1) * Choose(n - 1, j - 1);
      } else {
        const int32_t j = (k + 1) / 2 - 1;
        sum += Choose(m - 1, j) * Choose(n - 1, j - 1) + Choose(m - 1, j - 1) * Choose(n - 1, j);
      }
    }
    return std::min(1.0, sum / static_cast<double>(total));
  }
  // Beyond 64 bits every term is a ratio to the total, formed in logarithms.
  const double lt = LnChoose(int64_t{m} + n, m);
  for (int32_t k = 2; k <= kmax; ++k) {
    if (k % 2 == 0) {
      const int32_t j = k / 2;
      sum += 2.0 * std::exp(LnChoose(m - 1, j - 1) + LnChoose(n - 1, j - 1) - lt);
    } else {
      const int32_t j = (k + 1) / 2 - 1;
      sum += std::exp(LnChoose(m - 1, j) + LnChoose(n - 1, j - 1) - lt) +
             std::exp(LnChoose(m - 1, j - 1) + LnChoose(n - 1, j) - lt);
    }
  }
  return std::min(1.0, sum);
}

bool RunsTest(const TBitFld& bits, double& p) {
  const int32_t size = bits.Size();
  int64_t n1 = 0;
  int64_t n0 = 0;
  int64_t runs = 1;
  bool prev = bits.GetBit(0);
  for (int32_t i = 0; i <= size; ++i) {
    const bool b = bits.GetBit(i);
    (b ? n1 : n0) += 1;
    if (i > 0 && b != prev) ++runs;
    prev = b;
  }
  if (n1 <= 25 && n0 <= 25) {
    p = ExactRunsTest(static_cast<int32_t>(n1), static_cast<int32_t>(n0),
                      static_cast<int32_t>(runs));
  } else {
    const double nn = static_cast<double>(n1 + n0);
    const double a = 2.0 * static_cast<double>(n1) * static_cast<double>(n0);
    const double sigma = std::sqrt(a * (a - nn) / (nn * nn) / (nn - 1.0));
    if (!(sigma > 0.0)) {
      p = 0.0;
      return true;
    }
    const double z = (static_cast<double>(runs) - a / nn - 1.0) / sigma;
    // 1 - Phi(z) for z > 0 is formed as Phi(-z): the same tail, without
    // the cancellation.
    p = z > 0.0 ? nDistriIntegral(-z) : nDistriIntegral(z);
  }
  return p < 0.05;
}

bool RunsTestSerial(const TVector& data, double& p) {
  p = -1.0;
  double q1 = 0.0;
  double median = 0.0;
  double q3 = 0.0;
  if (!data.Quartiles(0, 0, q1, median, q3)) return false;
  const int32_t n = data.NrOfElem();
  TBitFld bits;
  bits.SetSize(n - 1);
  const std::span<const double> x = data.Values();
  for (int32_t i = 0; i < n; ++i) bits.SetBit(i, x[static_cast<std::size_t>(i)] > median);
  return RunsTest(bits, p);
}

}  // namespace numbra
