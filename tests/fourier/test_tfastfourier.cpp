// TFastFourier: sizes, element access, staleness of the cached extremes, the
// spectrum quantities and their ranges, bad input.
#include "ORK_fourier.h"
#include "test_support.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <type_traits>

#include <gtest/gtest.h>

using namespace numbra;
using numbra_test::RelNear;

namespace {
constexpr double kPi = std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Loads a real signal f(j), j = 0..N-1, into elements 1..N.
template <class F>
void LoadReal(TFastFourier& f, int32_t n, F fn) {
  f.SetNumData(n);
  for (int32_t j = 0; j < n; ++j) f.SetRealVal(j + 1, fn(j));
}
}  // namespace

static_assert(std::is_base_of_v<EORKError, EORKFourierError>);

TEST(TFastFourierFrame, Defaults) {
  TFastFourier f;
  EXPECT_EQ(f.SpectrumSize(), 256);
  EXPECT_EQ(f.Data().size(), 512U);
  for (const double v : std::as_const(f).Data()) EXPECT_EQ(v, 0.0);
  EXPECT_EQ(f.WeightingWindow(), TFastFourierWgtWin::fwRectangle);
  EXPECT_EQ(f.GetWgtVal(1), 1.0);
  EXPECT_EQ(f.GetWgtVal(256), 1.0);
  EXPECT_FALSE(f.ExtremesValid());
  EXPECT_EQ(f.ClassName(), "TFastFourier");
}

TEST(TFastFourierFrame, SetNumDataAcceptsPowersOfTwoUpTo2To23) {
  TFastFourier f;
  f.SetName("F");
  f.SetRealVal(3, 7.0);
  for (const int32_t bad : {0, -1, -256, 3, 12, 100, 255, 257, (1 << 23) + 1, 1 << 24, 1 << 30,
                            std::numeric_limits<int32_t>::min()}) {
    try {
      f.SetNumData(bad);
      ADD_FAILURE() << bad << " accepted";
    } catch (const EORKFourierError& e) {
      EXPECT_STREQ(e.what(), "Component \"F\": data length must be power of 2") << bad;
    }
    EXPECT_EQ(f.SpectrumSize(), 256) << bad;
    EXPECT_EQ(f.GetRealVal(3), 7.0) << bad;
  }
  for (const int32_t good : {1, 2, 8, 1 << 23, 16}) {
    f.SetWgtVal(1, 5.0);
    f.SetNumData(good);
    EXPECT_EQ(f.SpectrumSize(), good);
    EXPECT_EQ(f.Data().size(), 2 * static_cast<std::size_t>(good));
    EXPECT_EQ(f.GetRealVal(1), 0.0);
    // The user weights restart at 0, not at the 1.0 of construction.
    EXPECT_EQ(f.GetWgtVal(1), 0.0);
    EXPECT_EQ(f.GetWgtVal(good), 0.0);
  }
}

TEST(TFastFourierFrame, ElementAccessOutsideIsIgnored) {
  TFastFourier f;
  f.SetNumData(4);
  f.SetRealVal(1, 1.5);
  f.SetImagVal(4, -2.5);
  f.SetWgtVal(2, 0.25);
  for (const int32_t ix : {0, -1, 5, std::numeric_limits<int32_t>::max()}) {
    f.SetRealVal(ix, 9.0);
    f.SetImagVal(ix, 9.0);
    f.SetWgtVal(ix, 9.0);
    EXPECT_EQ(f.GetRealVal(ix), 0.0);
    EXPECT_EQ(f.GetImagVal(ix), 0.0);
    EXPECT_EQ(f.GetWgtVal(ix), 0.0);
  }
  const double expect[] = {1.5, 0, 0, 0, 0, 0, 0, -2.5};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(std::as_const(f).Data()[k], expect[k]) << k;
  EXPECT_EQ(f.GetWgtVal(2), 0.25);
}

TEST(TFastFourierFrame, ClearRealAndImagParts) {
  TFastFourier f;
  f.SetNumData(2);
  auto fill = [&] {
    f.SetRealVal(1, 1);
    f.SetImagVal(1, 2);
    f.SetRealVal(2, 3);
    f.SetImagVal(2, 4);
  };
  fill();
  f.ClearReal();
  EXPECT_EQ((std::vector<double>(f.Data().begin(), f.Data().end())),
            (std::vector<double>{0, 2, 0, 4}));
  fill();
  f.ClearImag();
  EXPECT_EQ((std::vector<double>(f.Data().begin(), f.Data().end())),
            (std::vector<double>{1, 0, 3, 0}));
  fill();
  f.Clear();
  EXPECT_EQ((std::vector<double>(f.Data().begin(), f.Data().end())),
            (std::vector<double>{0, 0, 0, 0}));
}

TEST(TFastFourierSpectrum, ConstantSignalHasOnlyTheZeroLine) {
  TFastFourier f;
  LoadReal(f, 8, [](int) { return 1.0; });
  f.Transform();
  EXPECT_DOUBLE_EQ(f.GetRealVal(1), 8.0);
  for (int32_t ix = 2; ix <= 8; ++ix) {
    EXPECT_NEAR(f.GetRealVal(ix), 0.0, 1e-15) << ix;
    EXPECT_NEAR(f.GetImagVal(ix), 0.0, 1e-15) << ix;
  }
  EXPECT_DOUBLE_EQ(f.GetPowerSpec(0), 8.0);
  EXPECT_DOUBLE_EQ(f.GetMagnitude(0), 1.0);
  EXPECT_DOUBLE_EQ(f.GetFSerCos(0), 1.0);
  EXPECT_EQ(f.GetPhase(0), 0.0);
}

TEST(TFastFourierSpectrum, CosineAndSineGiveTheirAmplitudesAndFourierCoefficients) {
  // x_j = A cos(2 pi 2 j/16) + B sin(2 pi 5 j/16) + D: with the positive
  // exponent, X[k] + X[N-k] carries the cosine and Im X[k] - Im X[N-k] the
  // sine part, each times N.
  const double a = 2.5, b = -1.25, d = 0.75;
  TFastFourier f;
  LoadReal(f, 16, [&](int j) {
    return a * std::cos(2 * kPi * 2 * j / 16) + b * std::sin(2 * kPi * 5 * j / 16) + d;
  });
  f.Transform();
  EXPECT_NEAR(f.GetMagnitude(2), a, 1e-14);
  EXPECT_NEAR(f.GetFSerCos(2), a, 1e-14);
  EXPECT_NEAR(f.GetFSerSin(2), 0.0, 1e-14);
  EXPECT_NEAR(f.GetMagnitude(5), std::fabs(b), 1e-14);
  EXPECT_NEAR(f.GetFSerSin(5), b, 1e-14);
  EXPECT_NEAR(f.GetFSerCos(5), 0.0, 1e-14);
  EXPECT_NEAR(f.GetFSerCos(0), d, 1e-15);
  EXPECT_NEAR(f.GetMagnitude(0), d, 1e-15);
  // X[2] = X[14] = N a / 2 = 8 a: power (2 * 64 a^2) / 16.
  EXPECT_NEAR(f.GetPowerSpec(2), 8 * a * a, 1e-12);
  EXPECT_NEAR(f.GetMagnitude(3), 0.0, 1e-14);
  // X[2] is real: phase 0.
  EXPECT_NEAR(f.GetPhase(2), 0.0, 1e-14);
}

TEST(TFastFourierSpectrum, PhaseRules) {
  TFastFourier f;
  f.SetNumData(8);
  struct Case {
    double re, im, phase;
  };
  for (const Case c : {Case{0, 0, -kPi / 2}, Case{0, 3, kPi / 2}, Case{0, -3, -kPi / 2},
                       Case{1, 1, kPi / 4}, Case{-1, 1, -kPi / 4},  // no quadrant correction
                       Case{-2, 0, 0}, Case{1e-300, 1e300, kPi / 2}}) {
    f.SetRealVal(3, c.re);
    f.SetImagVal(3, c.im);
    EXPECT_DOUBLE_EQ(f.GetPhase(2), c.phase) << c.re << "," << c.im;
  }
  EXPECT_TRUE(std::isnan((f.SetRealVal(3, kNaN), f.GetPhase(2))));
}

TEST(TFastFourierSpectrum, IndicesOutsideTheirRangesGiveZero) {
  TFastFourier f;
  f.SetNumData(8);
  for (double& v : f.Data()) v = 1.0;
  for (const int32_t ix : {-1, 5, 8, 100}) {
    EXPECT_EQ(f.GetPowerSpec(ix), 0.0) << ix;
    EXPECT_EQ(f.GetMagnitude(ix), 0.0) << ix;
    EXPECT_EQ(f.GetPhase(ix), 0.0) << ix;
    EXPECT_EQ(f.GetFSerSin(ix), 0.0) << ix;
    EXPECT_EQ(f.GetFSerCos(ix), 0.0) << ix;
    EXPECT_EQ(f.FreqOfLine(ix, 1.0), 0.0) << ix;
  }
  EXPECT_EQ(f.GetFSerSin(0), 0.0);
  EXPECT_EQ(f.FreqOfLine(0, 1.0), 0.0);
  // Line N/2 counts its single element twice in the power, as a mirror pair.
  EXPECT_DOUBLE_EQ(f.GetPowerSpec(4), (2.0 + 2.0) / 8);
  EXPECT_DOUBLE_EQ(f.GetPowerSpec(0), 2.0 / 8);
  EXPECT_DOUBLE_EQ(f.GetMagnitude(4), 2.0 / 8);  // (1 + 1, 1 - 1)
  // N = 1: only line 0 exists.
  f.SetNumData(1);
  f.SetRealVal(1, -3.0);
  EXPECT_DOUBLE_EQ(f.GetMagnitude(0), 3.0);
  EXPECT_EQ(f.GetMagnitude(1), 0.0);
  EXPECT_EQ(f.RMS(0, 5), 3.0);
}

TEST(TFastFourierSpectrum, RmsClampsAndOrdersItsRangeAndDoesNotOverflow) {
  TFastFourier f;
  f.SetNumData(32);
  for (int32_t ix = 1; ix <= 32; ++ix) {
    f.SetRealVal(ix, std::sin(ix * 1.7));
    f.SetImagVal(ix, std::cos(ix * 0.3));
  }
  EXPECT_EQ(f.RMS(10, 3), f.RMS(3, 10));
  EXPECT_EQ(f.RMS(-5, 2), f.RMS(0, 2));
  EXPECT_EQ(f.RMS(0, 1000), f.RMS(0, 16));
  EXPECT_EQ(f.RMS(40, 50), f.RMS(16, 16));
  // Line by line it adds the power spectrum: RMS^2 N = sum of PowerSpec.
  double sum = 0.0;
  for (int32_t k = 3; k <= 10; ++k) sum += f.GetPowerSpec(k);
  EXPECT_TRUE(RelNear(f.RMS(3, 10) * f.RMS(3, 10) * 32, sum, 8));
  // Values near the top of the double range: the squares alone would
  // overflow.
  for (double& v : f.Data()) v *= 1e300;
  const double big = f.RMS(0, 16);
  EXPECT_TRUE(std::isfinite(big));
  for (double& v : f.Data()) v *= 1e-300;
  EXPECT_TRUE(RelNear(big * 1e-300, f.RMS(0, 16), 8));
}

TEST(TFastFourierSpectrum, FrequencyAndLineConversion) {
  TFastFourier f;
  f.SetNumData(8);
  EXPECT_DOUBLE_EQ(f.FreqOfLine(1, 0.5), 0.25);
  EXPECT_DOUBLE_EQ(f.FreqOfLine(4, 1e-3), 500.0);
  struct Case {
    double freq, sample_time;
    int32_t line;
  };
  for (const Case c : {Case{0.25, 0.5, 1}, Case{500, 1e-3, 4}, Case{2.5 / 8, 1, 2},  // half to even
                       Case{3.5 / 8, 1, 4}, Case{1.5 / 8, 1, 2}, Case{0.4 / 8, 1, 0},
                       Case{4.6 / 8, 1, 0},  // above Nyquist
                       Case{-1.0 / 8, 1, 0}, Case{1e300, 1, 0}, Case{kNaN, 1, 0}, Case{0.25, 0, 0},
                       Case{-0.25, -0.5, 0}, Case{0.25, kNaN, 0},
                       Case{0.25, std::numeric_limits<double>::infinity(), 0}}) {
    EXPECT_EQ(f.LineOfFreq(c.freq, c.sample_time), c.line) << c.freq << " " << c.sample_time;
  }
  for (const double t : {0.0, -1.0, kNaN, std::numeric_limits<double>::infinity()})
    EXPECT_EQ(f.FreqOfLine(2, t), 0.0) << t;
}

TEST(TFastFourierExtremes, CachedValuesAndTheirStaleness) {
  TFastFourier f;
  f.SetNumData(8);
  const double re[] = {1, -2, 3, 0.5, 0, 7, -1, 2};
  const double im[] = {0, 1, -4, 2, 9, 0, 0, 1};
  for (int i = 0; i < 8; ++i) {
    f.SetRealVal(i + 1, re[i]);
    f.SetImagVal(i + 1, im[i]);
  }
  EXPECT_FALSE(f.ExtremesValid());
  EXPECT_EQ(f.GetMaxReal(), 7.0);
  EXPECT_TRUE(f.ExtremesValid());
  EXPECT_EQ(f.GetMinReal(), -2.0);
  EXPECT_EQ(f.GetMaxImag(), 9.0);
  EXPECT_EQ(f.GetMinImag(), -4.0);
  // Power of lines 1..3 (X[k] is element k+1, mirror X[8-k]): 10/8, 26/8 and
  // line 3 = (0.25 + 4 + 49)/8 the largest. Line 4 (2 * 81/8) is excluded.
  EXPECT_DOUBLE_EQ(f.GetMaxPower(), 53.25 / 8);
  // Magnitudes of lines 1..4: |(0, 0)|, |(2, -4)|, |(7.5, 2)|, |(0, 0)|, / 8.
  EXPECT_DOUBLE_EQ(f.GetMaxMagni(), std::hypot(7.5, 2.0) / 8);

  // Which operations make the cache stale.
  struct Op {
    const char* name;
    std::function<void()> run;
    bool stale;
  };
  const Op ops[] = {
      {"SetRealVal", [&] { f.SetRealVal(1, 1); }, true},
      {"SetImagVal", [&] { f.SetImagVal(1, 0); }, true},
      {"SetRealVal outside", [&] { f.SetRealVal(9, 1); }, false},
      {"Data", [&] { (void)f.Data(); }, true},
      {"const Data", [&] { (void)std::as_const(f).Data(); }, false},
      {"SetWgtWin", [&] { f.SetWgtWin(TFastFourierWgtWin::fwGauss); }, false},
      {"SetWgtVal", [&] { f.SetWgtVal(1, 3); }, false},
      {"spectrum getters", [&] { (void)(f.GetPowerSpec(1) + f.RMS(0, 4)); }, false},
      {"ClearImag", [&] { f.ClearImag(); }, true},
      {"ClearReal", [&] { f.ClearReal(); }, true},
      {"Clear", [&] { f.Clear(); }, true},
      {"DoFFT", [&] { f.DoFFT(1); }, true},
      {"InverseTransform", [&] { f.InverseTransform(); }, true},
      {"Transform", [&] { f.Transform(); }, true},
      {"SetNumData", [&] { f.SetNumData(8); }, true},
  };
  for (const Op& op : ops) {
    f.CalcMaxValues();
    ASSERT_TRUE(f.ExtremesValid());
    op.run();
    EXPECT_EQ(f.ExtremesValid(), !op.stale) << op.name;
  }
  // A stale cache is refreshed on demand.
  f.SetRealVal(2, 42.0);
  EXPECT_EQ(f.GetMaxReal(), 42.0);
}

TEST(TFastFourierExtremes, NanIsSkippedAndSmallSizesHaveNoLines) {
  TFastFourier f;
  f.SetNumData(2);
  f.SetRealVal(1, kNaN);
  f.SetImagVal(1, kNaN);
  f.SetRealVal(2, 3.0);
  EXPECT_EQ(f.GetMaxReal(), 3.0);
  EXPECT_EQ(f.GetMinReal(), 3.0);
  EXPECT_EQ(f.GetMaxImag(), 0.0);
  EXPECT_EQ(f.GetMaxPower(), 0.0);         // no line in 1..N/2-1
  EXPECT_DOUBLE_EQ(f.GetMaxMagni(), 3.0);  // line 1 = N/2: |(3+3, 0)|/2
  f.SetNumData(1);
  f.SetRealVal(1, kNaN);
  EXPECT_EQ(f.GetMaxReal(), -uc_MaxDouble);
  EXPECT_EQ(f.GetMinReal(), uc_MaxDouble);
  EXPECT_EQ(f.GetMaxMagni(), 0.0);
}

TEST(TFastFourierTransform, DirectionOtherThanPlusMinusOneRaisesAndChangesNothing) {
  TFastFourier f;
  f.SetName("F");
  f.SetNumData(4);
  f.SetRealVal(2, 1.0);
  for (const int32_t isign : {0, 2, -2, 7}) {
    try {
      f.DoFFT(isign);
      ADD_FAILURE() << isign;
    } catch (const EORKFourierError& e) {
      EXPECT_STREQ(e.what(), "Component \"F\": transform direction must be 1 or -1");
    }
    EXPECT_EQ(f.GetRealVal(2), 1.0);
    EXPECT_EQ(f.GetRealVal(1), 0.0);
  }
}

TEST(TFastFourierTransform, NanSampleSpreadsWithoutHarm) {
  TFastFourier f;
  f.SetNumData(16);
  f.SetRealVal(3, kNaN);
  f.Transform();
  // Every element has a NaN part (a product with an exact 0 of the
  // twiddle is left out, so it is not always the real part).
  for (int32_t ix = 1; ix <= 16; ++ix)
    EXPECT_TRUE(std::isnan(f.GetRealVal(ix)) || std::isnan(f.GetImagVal(ix))) << ix;
  EXPECT_TRUE(std::isnan(f.RMS(0, 8)));
  (void)f.GetMaxPower();  // skips NaN, no trap
}

TEST(TFastFourierTransform, UserWindowIsZeroAfterResizeUntilWeightsAreSet) {
  TFastFourier f;
  LoadReal(f, 8, [](int j) { return 1.0 + j; });
  f.SetWgtWin(TFastFourierWgtWin::fwUserDef);
  f.Transform();
  for (const double v : std::as_const(f).Data()) EXPECT_EQ(v, 0.0);
  // With weights 0.5 the samples are halved (the window overwrites them).
  LoadReal(f, 8, [](int j) { return 1.0 + j; });
  for (int32_t i = 1; i <= 8; ++i) f.SetWgtVal(i, 0.5);
  f.Transform();
  EXPECT_DOUBLE_EQ(f.GetRealVal(1), 0.5 * 36);
  f.InverseTransform();
  for (int32_t i = 1; i <= 8; ++i) EXPECT_NEAR(f.GetRealVal(i), 0.5 * i, 1e-15) << i;
}

TEST(TFastFourierFrame, AssignCopiesEverythingAndRejectsOtherClasses) {
  TFastFourier a;
  LoadReal(a, 4, [](int j) { return j * 2.0; });
  a.SetWgtWin(TFastFourierWgtWin::fwHamming);
  a.SetWgtVal(2, 0.5);
  TFastFourier b;
  b.Assign(&a);
  EXPECT_EQ(b.SpectrumSize(), 4);
  EXPECT_EQ(b.WeightingWindow(), TFastFourierWgtWin::fwHamming);
  EXPECT_EQ(b.GetWgtVal(2), 0.5);
  EXPECT_EQ(b.GetRealVal(4), 6.0);
  EXPECT_EQ(b.GetMaxReal(), 6.0);
  TComponent other;
  EXPECT_THROW(b.Assign(&other), EConvertError);
}
