// TWavelet1D: filters, the single step in each extension mode against the
// exact-fraction reference of tests/data/fourier, several levels, the
// inverse, and bad input.
#include "ORK_wavelet.h"
#include "test_support.h"

#include <cmath>
#include <fstream>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::RelNear;

static_assert(std::is_base_of_v<EORKError, EORKWaveletError>);

namespace {

void Load(TWavelet1D& w, const std::vector<double>& x) {
  w.SetNumData(static_cast<int32_t>(x.size()));
  for (std::size_t i = 0; i < x.size(); ++i) w.SetDataVal(static_cast<int32_t>(i) + 1, x[i]);
}

std::vector<double> Get(const TWavelet1D& w) {
  return std::vector<double>(w.Values().begin(), w.Values().end());
}

std::vector<double> RandomSignal(std::size_t n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> x(n);
  for (double& v : x) v = u(gen);
  return x;
}

double MaxDiff(const std::vector<double>& a, const std::vector<double>& b) {
  double m = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) m = std::max(m, std::fabs(a[i] - b[i]));
  return m;
}

constexpr TWLSigExtMode kModes[] = {TWLSigExtMode::wseWrap, TWLSigExtMode::wseZeroPad,
                                    TWLSigExtMode::wseSymmetric};
}  // namespace

TEST(TWavelet1DFrame, Defaults) {
  TWavelet1D w;
  EXPECT_EQ(w.Size(), 256);
  EXPECT_EQ(w.Order(), 2);
  EXPECT_EQ(w.SignalExtMode(), TWLSigExtMode::wseWrap);
  EXPECT_EQ(w.WaveletFamily(), TWaveletFamily::wlfDaubechies);
  EXPECT_EQ(w.CoeffsLP().size(), 4U);
  for (const double v : w.Values()) EXPECT_EQ(v, 0.0);
  EXPECT_EQ(w.ClassName(), "TWavelet1D");
}

TEST(TWavelet1DFilters, OrthonormalDaubechiesAndQuadratureMirror) {
  TWavelet1D w;
  for (const int32_t k : {1, 2, 3}) {
    w.SetOrder(k);
    const auto h = w.CoeffsLP();
    const auto g = w.CoeffsHP();
    ASSERT_EQ(h.size(), static_cast<std::size_t>(2 * k));
    ASSERT_EQ(g.size(), h.size());
    // sum h = sqrt 2, sum g = 0, and the even shifts of h are orthonormal
    // (to the 16-17 digits the filter values are given with).
    EXPECT_NEAR(std::accumulate(h.begin(), h.end(), 0.0), std::sqrt(2.0), 4e-16) << k;
    EXPECT_NEAR(std::accumulate(g.begin(), g.end(), 0.0), 0.0, 4e-16) << k;
    for (int shift = 0; shift < k; ++shift) {
      double s = 0.0;
      for (std::size_t m = 0; m + 2 * shift < h.size(); ++m) s += h[m] * h[m + 2 * shift];
      EXPECT_NEAR(s, shift == 0 ? 1.0 : 0.0, 4e-16) << k << " shift " << shift;
    }
    const std::size_t last = h.size() - 1;
    for (std::size_t m = 0; m <= last; ++m)
      EXPECT_EQ(g[m], (m % 2 == 0 ? 1 : -1) * h[last - m]) << k << " tap " << m;
  }
}

TEST(TWavelet1DFrame, BadSizeAndOrderRaiseAndChangeNothing) {
  TWavelet1D w;
  w.SetName("W");
  w.SetDataVal(5, 2.0);
  for (const int32_t bad : {0, -2, 3, 100, (1 << 23) + 2, 1 << 24}) {
    try {
      w.SetNumData(bad);
      ADD_FAILURE() << bad;
    } catch (const EORKWaveletError& e) {
      EXPECT_STREQ(e.what(), "Component \"W\": data length must be power of 2");
    }
  }
  EXPECT_EQ(w.Size(), 256);
  EXPECT_EQ(w.GetDataVal(5), 2.0);
  w.SetOrder(3);
  const std::vector<double> lp(w.CoeffsLP().begin(), w.CoeffsLP().end());
  for (const int32_t bad : {0, 4, -1}) {
    try {
      w.SetOrder(bad);
      ADD_FAILURE() << bad;
    } catch (const EORKWaveletError& e) {
      EXPECT_STREQ(e.what(), "Component \"W\": invalid order of Daubechies wavelet family");
    }
    EXPECT_EQ(w.Order(), 3);
    EXPECT_EQ(std::vector<double>(w.CoeffsLP().begin(), w.CoeffsLP().end()), lp);
  }
  w.SetNumData(1);
  w.SetNumData(1 << 23);
  EXPECT_EQ(w.Size(), 1 << 23);
}

TEST(TWavelet1DFrame, ElementAccessOutsideIsIgnored) {
  TWavelet1D w;
  w.SetNumData(4);
  for (const int32_t ix : {0, 5, -3}) {
    w.SetDataVal(ix, 1.0);
    EXPECT_EQ(w.GetDataVal(ix), 0.0);
  }
  EXPECT_EQ(Get(w), (std::vector<double>{0, 0, 0, 0}));
  w.SetDataVal(4, 3.0);
  w.Clear();
  EXPECT_EQ(Get(w), (std::vector<double>{0, 0, 0, 0}));
}

TEST(TWavelet1DStep, HaarOnOneToFour) {
  const double h = 0.7071067811865476;
  TWavelet1D w;
  w.SetOrder(1);
  Load(w, {1, 2, 3, 4});
  w.SingleStep(false);
  const auto c = Get(w);
  const double want[] = {3 * h, 7 * h, -h, -h};
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(RelNear(c[i], want[i], 2)) << i;
}

TEST(TWavelet1DStep, MatchesExactReferenceInEveryModeAndOrder) {
  const std::string file = std::string(NUMBRA_TEST_DATA_DIR) + "/fourier/wavelet_steps.txt";
  std::ifstream in(file);
  ASSERT_TRUE(in) << file;
  std::string line;
  int cases = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    int order = 0;
    std::string mode, step;
    std::size_t n = 0;
    ss >> order >> mode >> step >> n;
    std::vector<double> x(n), want(n);
    for (double& v : x) ss >> v;
    for (double& v : want) ss >> v;
    TWavelet1D w;
    w.SetOrder(order);
    w.SetSigExtMode(mode == "wrap"      ? TWLSigExtMode::wseWrap
                    : mode == "zeropad" ? TWLSigExtMode::wseZeroPad
                                        : TWLSigExtMode::wseSymmetric);
    Load(w, x);
    w.SingleStep(step == "s");
    const auto got = Get(w);
    // Sums of at most 12 products of values up to 9: a few ulps of 30.
    for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(got[i], want[i], 1e-14) << line << " @" << i;
    ++cases;
  }
  EXPECT_EQ(cases, 54);
}

TEST(TWavelet1DStep, ConstantSignalHasZeroDetails) {
  for (const int32_t k : {1, 2, 3})
    for (const TWLSigExtMode mode : {TWLSigExtMode::wseWrap, TWLSigExtMode::wseSymmetric}) {
      TWavelet1D w;
      w.SetOrder(k);
      w.SetSigExtMode(mode);
      Load(w, std::vector<double>(16, 3.0));
      w.SingleStep(false);
      for (int32_t i = 9; i <= 16; ++i) EXPECT_NEAR(w.GetDataVal(i), 0.0, 1e-15) << k << " " << i;
      for (int32_t i = 1; i <= 8; ++i) EXPECT_NEAR(w.GetDataVal(i), 3.0 * std::sqrt(2.0), 1e-14);
    }
}

TEST(TWavelet1DStep, SynthesisIsTheTransposeOfAnalysisInEveryMode) {
  // <A x, y> = <x, A^T y> for random x, y: catches an inverse that is not
  // the adjoint in the zero-padded and symmetric modes.
  for (const int32_t k : {1, 2, 3})
    for (const TWLSigExtMode mode : kModes)
      for (const std::size_t n : {2U, 4U, 16U}) {
        const auto x = RandomSignal(n, 1), y = RandomSignal(n, 2);
        TWavelet1D w;
        w.SetOrder(k);
        w.SetSigExtMode(mode);
        Load(w, x);
        w.SingleStep(false);
        const auto ax = Get(w);
        Load(w, y);
        w.SingleStep(true);
        const auto aty = Get(w);
        const double lhs = std::inner_product(ax.begin(), ax.end(), y.begin(), 0.0);
        const double rhs = std::inner_product(x.begin(), x.end(), aty.begin(), 0.0);
        EXPECT_NEAR(lhs, rhs, 1e-14) << k << " " << static_cast<int>(mode) << " " << n;
      }
}

TEST(TWavelet1DLevels, FullAnalysisAndSynthesisRestoreAndKeepEnergyWithWrap) {
  for (const int32_t k : {1, 2, 3})
    for (const std::size_t n : {2U, 4U, 8U, 1024U, 65536U}) {
      const auto x = RandomSignal(n, static_cast<unsigned>(n + k));
      TWavelet1D w;
      w.SetOrder(k);
      Load(w, x);
      w.Transform(30);
      const auto c = Get(w);
      const double ex = std::inner_product(x.begin(), x.end(), x.begin(), 0.0);
      const double ec = std::inner_product(c.begin(), c.end(), c.begin(), 0.0);
      EXPECT_TRUE(RelNear(ec, ex, 1e4)) << k << " " << n;  // orthonormal up to filter rounding
      w.InverseTransform(30);
      EXPECT_LT(MaxDiff(Get(w), x), 1e-12) << k << " " << n;
    }
}

TEST(TWavelet1DLevels, LevelCountsAndTheCoarsestFirstSynthesis) {
  const auto x = RandomSignal(8, 7);
  TWavelet1D w;
  w.SetOrder(2);
  // Transform(10) on 8 samples: the three steps on lengths 8, 4, 2.
  Load(w, x);
  w.Transform(10);
  const auto full = Get(w);
  Load(w, x);
  w.PartialWLT(8, 0, false);
  w.PartialWLT(4, 0, false);
  w.PartialWLT(2, 0, false);
  EXPECT_EQ(Get(w), full);
  w.InverseTransform(10);
  EXPECT_LT(MaxDiff(Get(w), x), 1e-14);
  // Level 0 and below count as 1.
  for (const int32_t level : {0, -5}) {
    Load(w, x);
    w.Transform(level);
    const auto one = Get(w);
    Load(w, x);
    w.SingleStep(false);
    EXPECT_EQ(Get(w), one) << level;
  }
  // A synthesis of one level works on length 2 only: elements 3..8 stay.
  Load(w, x);
  w.InverseTransform(1);
  for (int32_t i = 3; i <= 8; ++i) EXPECT_EQ(w.GetDataVal(i), x[static_cast<std::size_t>(i) - 1]);
  EXPECT_NE(w.GetDataVal(1), x[0]);
}

TEST(TWavelet1DStep, SegmentsOutsideTheSignalOrOfOddLengthDoNothing) {
  const auto x = RandomSignal(8, 11);
  TWavelet1D w;
  Load(w, x);
  for (const auto& [len, off] :
       std::vector<std::pair<int32_t, int32_t>>{{1, 0},
                                                {0, 0},
                                                {-4, 0},
                                                {3, 0},
                                                {5, 2},
                                                {4, -1},
                                                {4, 5},
                                                {16, 0},
                                                {2, 7},
                                                {std::numeric_limits<int32_t>::max(), 0},
                                                {2, std::numeric_limits<int32_t>::max()}})
    for (const bool inverse : {false, true}) {
      w.PartialWLT(len, off, inverse);
      EXPECT_EQ(Get(w), x) << len << " " << off;
    }
  // A segment inside the signal changes only itself.
  w.SetOrder(3);
  w.SetSigExtMode(TWLSigExtMode::wseSymmetric);
  w.PartialWLT(4, 2, false);
  const auto y = Get(w);
  EXPECT_EQ(y[0], x[0]);
  EXPECT_EQ(y[1], x[1]);
  EXPECT_EQ(y[6], x[6]);
  EXPECT_EQ(y[7], x[7]);
  // Haar on the pair at offset 6.
  TWavelet1D haar;
  haar.SetOrder(1);
  Load(haar, x);
  haar.PartialWLT(2, 6, false);
  EXPECT_TRUE(RelNear(haar.GetDataVal(7), (x[6] + x[7]) * 0.7071067811865476, 4));
  EXPECT_TRUE(RelNear(haar.GetDataVal(8), (x[6] - x[7]) * 0.7071067811865476, 4));
}

TEST(TWavelet1DLevels, TinySignalsAndNan) {
  TWavelet1D w;
  w.SetNumData(1);
  w.SetDataVal(1, 5.0);
  w.Transform(3);
  w.InverseTransform(3);
  EXPECT_EQ(w.GetDataVal(1), 5.0);
  w.SetNumData(4);
  w.SetDataVal(2, std::numeric_limits<double>::quiet_NaN());
  w.Transform(2);  // NaN spreads; nothing else happens
  EXPECT_TRUE(std::isnan(w.GetDataVal(1)));
}

TEST(TWavelet1DFrame, AssignCopiesSettingsAndData) {
  TWavelet1D a;
  a.SetOrder(3);
  a.SetSigExtMode(TWLSigExtMode::wseZeroPad);
  Load(a, {1, 2, 3, 4});
  TWavelet1D b;
  b.Assign(&a);
  EXPECT_EQ(b.Order(), 3);
  EXPECT_EQ(b.SignalExtMode(), TWLSigExtMode::wseZeroPad);
  EXPECT_EQ(Get(b), Get(a));
  EXPECT_EQ(b.CoeffsHP().size(), 6U);
  TComponent other;
  EXPECT_THROW(b.Assign(&other), EConvertError);
}
