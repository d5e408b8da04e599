// Accuracy of the transform against a long double FFT at every size 2^0..2^22
// (run once per kernel set); round trips up to 2^20; Parseval's identity; pure tones through
// every window against the 40-digit reference of tests/data/fourier.
#include "ORK_fourier.h"
#include "fourier/fft_detail.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::RelNear;
using CLD = std::complex<long double>;

namespace {

constexpr long double kTwoPiL = 6.283185307179586476925286766559005768L;

std::vector<std::complex<double>> RandomSignal(int32_t n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<std::complex<double>> x(static_cast<std::size_t>(n));
  for (auto& v : x) v = {u(gen), u(gen)};
  return x;
}

// Direct DFT in long double with the exponent sign `sign`, from a table of
// the n roots of unity (angle reduced exactly: j k mod n).
std::vector<CLD> SlowDft(const std::vector<std::complex<double>>& x, int sign) {
  const auto n = static_cast<int64_t>(x.size());
  std::vector<CLD> roots(x.size());
  for (int64_t m = 0; m < n; ++m) {
    const long double a = sign * kTwoPiL * static_cast<long double>(m) / n;
    roots[static_cast<std::size_t>(m)] = CLD(std::cos(a), std::sin(a));
  }
  std::vector<CLD> out(x.size());
  for (int64_t k = 0; k < n; ++k) {
    CLD s = 0;
    for (int64_t j = 0; j < n; ++j)
      s += CLD(x[j].real(), x[j].imag()) * roots[static_cast<std::size_t>((j * k) % n)];
    out[static_cast<std::size_t>(k)] = s;
  }
  return out;
}

// exp(+2 pi i m / n) in long double for one n >= 8: sines and cosines of
// angles up to pi/4 only, the rest by exact reflections.
class LongDoubleRoots {
 public:
  explicit LongDoubleRoots(std::size_t n) : n_(n), cos_(n / 8 + 1), sin_(n / 8 + 1) {
    for (std::size_t j = 0; j <= n / 8; ++j) {
      const long double a = kTwoPiL * static_cast<long double>(j) / static_cast<long double>(n);
      cos_[j] = std::cos(a);
      sin_[j] = std::sin(a);
    }
  }
  CLD operator()(std::size_t m) const {
    m %= n_;
    const std::size_t q = n_ / 4, e = n_ / 8, j = m % q;
    const long double c = j <= e ? cos_[j] : sin_[2 * e - j];
    const long double s = j <= e ? sin_[j] : cos_[2 * e - j];
    switch (m / q) {
      case 0:
        return {c, s};
      case 1:
        return {-s, c};
      case 2:
        return {-c, -s};
      default:
        return {s, -c};
    }
  }

 private:
  std::size_t n_;
  std::vector<long double> cos_, sin_;
};

// Iterative radix-2 decimation in time in long double (64-bit mantissa),
// positive exponent: an independent reference about 2000 times more
// accurate than double, fast enough for 2^22.
std::vector<CLD> LongDoubleFft(const std::vector<std::complex<double>>& x) {
  const std::size_t n = x.size();
  std::vector<CLD> a(n);
  int bits = 0;
  while ((std::size_t{1} << bits) < n) ++bits;
  for (std::size_t j = 0; j < n; ++j) {
    std::size_t r = 0;
    for (int b = 0; b < bits; ++b) r |= ((j >> b) & 1U) << (bits - 1 - b);
    a[r] = CLD(x[j].real(), x[j].imag());
  }
  if (n < 2) return a;
  const std::size_t root_n = std::max<std::size_t>(n, 8);
  const LongDoubleRoots roots(root_n);
  std::vector<CLD> w(root_n / 2);
  for (std::size_t m = 0; m < w.size(); ++m) w[m] = roots(m);
  for (std::size_t len = 2; len <= n; len *= 2) {
    const std::size_t step = root_n / len;
    for (std::size_t b = 0; b < n; b += len) {
      for (std::size_t k = 0; k < len / 2; ++k) {
        // The product written out: std::complex's operator* takes the slow
        // path of C's Annex G for infinities.
        const CLD u = w[k * step], v = a[b + k + len / 2];
        const CLD t(u.real() * v.real() - u.imag() * v.imag(),
                    u.real() * v.imag() + u.imag() * v.real());
        a[b + k + len / 2] = a[b + k] - t;
        a[b + k] += t;
      }
    }
  }
  return a;
}

// sqrt(sum |got - want|^2 / sum |want|^2).
template <class Get>
double RelRms(const std::vector<CLD>& want, Get got) {
  long double err = 0;
  long double norm = 0;
  for (std::size_t k = 0; k < want.size(); ++k) {
    err += std::norm(got(k) - want[k]);
    norm += std::norm(want[k]);
  }
  return static_cast<double>(std::sqrt(err / (norm > 0 ? norm : 1)));
}

// The accuracy goal: relative RMS error below 1e-15 log2 N (N >= 2).
double Bound(int32_t n) { return 1e-15 * std::max(1.0, std::log2(n)); }

void Load(TFastFourier& f, const std::vector<std::complex<double>>& x) {
  f.SetNumData(static_cast<int32_t>(x.size()));
  auto d = f.Data();
  for (std::size_t j = 0; j < x.size(); ++j) {
    d[2 * j] = x[j].real();
    d[2 * j + 1] = x[j].imag();
  }
}

}  // namespace

TEST(FftReference, LongDoubleFftMatchesTheDirectDft) {
  for (int l = 0; l <= 10; ++l) {
    const auto x = RandomSignal(int32_t{1} << l, 7U + static_cast<unsigned>(l));
    const auto fast = LongDoubleFft(x);
    EXPECT_LT(RelRms(SlowDft(x, +1), [&](std::size_t k) { return fast[k]; }), 1e-18) << l;
  }
}

// Forward transform of x against the long double FFT, and the inverse of
// conj(x), whose exact result is conj(X) / N, against the same reference.
// Run once per kernel set (see CMakeLists.txt).
class FftKernel : public ::testing::TestWithParam<int> {};

TEST_P(FftKernel, ForwardAndInverseMatchLongDoubleFft) {
  const int32_t n = int32_t{1} << GetParam();
  const auto x = RandomSignal(n, 17U + static_cast<unsigned>(n));
  const auto want = LongDoubleFft(x);
  TFastFourier f;
  Load(f, x);
  f.Transform();
  auto got = [&](std::size_t k) { return CLD(f.Data()[2 * k], f.Data()[2 * k + 1]); };
  EXPECT_LT(RelRms(want, got), Bound(n)) << detail::fft::KernelName();
  Load(f, x);
  for (int32_t j = 1; j <= n; ++j) f.SetImagVal(j, -f.GetImagVal(j));
  f.InverseTransform();
  std::vector<CLD> inv(want.size());
  for (std::size_t k = 0; k < want.size(); ++k)
    inv[k] = std::conj(want[k]) / static_cast<long double>(n);
  EXPECT_LT(RelRms(inv, got), Bound(n)) << detail::fft::KernelName();
}

INSTANTIATE_TEST_SUITE_P(Log2N, FftKernel, ::testing::Range(0, 23));

TEST(FftKernel, NameFollowsTheEnvironment) {
  const char* forced = std::getenv("NUMBRA_FFT_KERNEL");
  const std::string name = detail::fft::KernelName();
  EXPECT_TRUE(name == "generic" || name == "avx2") << name;
  if (forced != nullptr && std::string(forced) == "generic") {
    EXPECT_EQ(name, "generic");
  }
}

TEST(TFastFourierTransform, RoundTripRestoresRandomInputUpTo2To20) {
  for (const int l : {0, 1, 2, 5, 11, 14, 17, 20}) {
    const int32_t n = int32_t{1} << l;
    const auto x = RandomSignal(n, 99U + static_cast<unsigned>(l));
    TFastFourier f;
    Load(f, x);
    f.Transform();
    f.InverseTransform();
    double worst = 0.0;
    for (std::size_t j = 0; j < x.size(); ++j)
      worst = std::max(worst,
                       std::abs(std::complex<double>(f.Data()[2 * j], f.Data()[2 * j + 1]) - x[j]));
    EXPECT_LT(worst, 1e-12) << "N = " << n;
  }
}

TEST(TFastFourierTransform, ParsevalIdentity) {
  // sum |x|^2 = sum |X|^2 / N. RMS(0, N/2) counts line N/2 twice, so
  // (RMS N)^2 = sum |X|^2 + |X[N/2]|^2.
  for (const int32_t n : {2, 64, 4096}) {
    const auto x = RandomSignal(n, 3U);
    long double energy = 0;
    for (const auto& v : x) energy += std::norm(CLD(v.real(), v.imag()));
    TFastFourier f;
    Load(f, x);
    f.Transform();
    const double r = f.RMS(0, n / 2) * n;
    const double mid =
        std::norm(std::complex<double>(f.GetRealVal(n / 2 + 1), f.GetImagVal(n / 2 + 1)));
    EXPECT_TRUE(RelNear((r * r - mid) / n, static_cast<double>(energy), 64)) << n;
  }
}

TEST(TFastFourierWindows, PureTonesMatchTheDecimalReference) {
  const std::string file = std::string(NUMBRA_TEST_DATA_DIR) + "/fourier/window_tones.txt";
  std::ifstream in(file);
  ASSERT_TRUE(in) << file;
  const std::map<std::string, TFastFourierWgtWin> windows = {
      {"rectangle", TFastFourierWgtWin::fwRectangle},
      {"triangle", TFastFourierWgtWin::fwTriangle},
      {"cos2", TFastFourierWgtWin::fwCos2},
      {"gauss", TFastFourierWgtWin::fwGauss},
      {"hamming", TFastFourierWgtWin::fwHamming},
      {"blackman", TFastFourierWgtWin::fwBlackman},
      {"blkmharris", TFastFourierWgtWin::fwBlkmHarris},
      {"blkmnuttall", TFastFourierWgtWin::fwBlkmNuttall}};
  constexpr int32_t n = 64;
  constexpr double kPi = 3.14159265358979323846;
  std::map<std::string, int> seen;
  std::string line;
  std::string current;
  TFastFourier f;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    std::string name;
    int k = 0;
    double mag = 0, power = 0;
    ss >> name >> k >> mag >> power;
    ASSERT_TRUE(windows.count(name)) << name;
    if (name != current) {
      current = name;
      f.SetNumData(n);
      for (int32_t j = 0; j < n; ++j)
        f.SetRealVal(j + 1, std::cos(2 * kPi * 5 * j / n) + 0.5 * std::sin(2 * kPi * 12 * j / n));
      f.SetWgtWin(windows.at(name));
      f.Transform();
    }
    // Absolute tolerance against the tone amplitude (about 1): the window
    // and the transform each add a few ulps; leakage lines near 0 are
    // compared absolutely.
    EXPECT_NEAR(f.GetMagnitude(k), mag, 1e-14) << name << " line " << k;
    EXPECT_NEAR(f.GetPowerSpec(k), power, 1e-13) << name << " line " << k;
    ++seen[name];
  }
  EXPECT_EQ(seen.size(), windows.size());
  for (const auto& [name, count] : seen) EXPECT_EQ(count, n / 2 + 1) << name;
}

TEST(TFastFourierWindows, WindowIsAppliedAgainOnEveryTransform) {
  // A constant under the triangle window: elements i and N-i+1 get 2i/N.
  TFastFourier f;
  f.SetNumData(8);
  for (int32_t i = 1; i <= 8; ++i) f.SetRealVal(i, 1.0);
  f.SetWgtWin(TFastFourierWgtWin::fwTriangle);
  f.Transform();
  f.InverseTransform();
  const double w[] = {0.25, 0.5, 0.75, 1.0, 1.0, 0.75, 0.5, 0.25};
  for (int32_t i = 1; i <= 8; ++i) EXPECT_NEAR(f.GetRealVal(i), w[i - 1], 1e-15) << i;
  f.Transform();
  f.InverseTransform();
  for (int32_t i = 1; i <= 8; ++i) EXPECT_NEAR(f.GetRealVal(i), w[i - 1] * w[i - 1], 1e-15) << i;
}

#if defined(NUMBRA_HAVE_FFTW)
#include <fftw3.h>

TEST(TFastFourierTransform, MatchesFftwAtLargeSizes) {
  // FFTW's own error is of the same order as ours, so the bound for the
  // difference of the two is twice the accuracy goal.
  for (const int l : {12, 16}) {
    const int32_t n = int32_t{1} << l;
    const auto x = RandomSignal(n, 21U);
    TFastFourier f;
    Load(f, x);
    f.Transform();
    fftw_complex* data = fftw_alloc_complex(static_cast<std::size_t>(n));
    const fftw_plan plan = fftw_plan_dft_1d(n, data, data, FFTW_BACKWARD, FFTW_ESTIMATE);
    for (int32_t j = 0; j < n; ++j) {
      data[j][0] = x[static_cast<std::size_t>(j)].real();
      data[j][1] = x[static_cast<std::size_t>(j)].imag();
    }
    fftw_execute(plan);
    std::vector<CLD> want(static_cast<std::size_t>(n));
    for (int32_t k = 0; k < n; ++k) want[static_cast<std::size_t>(k)] = CLD(data[k][0], data[k][1]);
    fftw_destroy_plan(plan);
    fftw_free(data);
    EXPECT_LT(
        RelRms(want, [&](std::size_t k) { return CLD(f.Data()[2 * k], f.Data()[2 * k + 1]); }),
        2 * Bound(n))
        << n;
  }
}
#endif
