// CalcImgCorrelation against a direct long double Pearson correlation of
// the channel values, and its edge cases; the TBitmap pixel layout.
#include "ORK_math2.h"

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace numbra;

// A bitmap whose pixels are a fixed function of the position.
TBitmap Pattern(int w, int h, int seed) {
  TBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.Canvas().SetPixel(x, y,
                          RGB(static_cast<uint32_t>((x * 37 + y * 11 + seed) % 256),
                              static_cast<uint32_t>((x * x + 3 * y + seed * 5) % 256),
                              static_cast<uint32_t>((x * y * 7 + seed) % 256)));
  return b;
}

double Channel(TColor c, TImgCompareMode m) {
  const int r = static_cast<int>(c & 255), g = static_cast<int>((c >> 8) & 255),
            b = static_cast<int>((c >> 16) & 255);
  double h = 0, s = 0, i = 0;
  RGBtoHSI(r, g, b, h, s, i);
  switch (m) {
    case TImgCompareMode::icmRed:
      return r;
    case TImgCompareMode::icmGreen:
      return g;
    case TImgCompareMode::icmBlue:
      return b;
    case TImgCompareMode::icmHue:
      return h;
    case TImgCompareMode::icmSaturation:
      return s;
    case TImgCompareMode::icmLightness:
      return i;
    case TImgCompareMode::icmGrayValues:
      return RGBtoGray(r, g, b);
  }
  return 0;
}

long double Pearson(const TBitmap& b1, const TBitmap& b2, const TRect& r1, const TRect& r2,
                    TImgCompareMode m) {
  long double n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  for (int x = r1.left; x <= r1.right; ++x)
    for (int y = r1.top; y <= r1.bottom; ++y) {
      const long double a = Channel(b1.Canvas().Pixels(x, y), m);
      const long double b =
          Channel(b2.Canvas().Pixels(x + r2.left - r1.left, y + r2.top - r1.top), m);
      n += 1;
      sx += a;
      sy += b;
      sxx += a * a;
      syy += b * b;
      sxy += a * b;
    }
  return (n * sxy - sx * sy) / std::sqrt((n * sxx - sx * sx) * (n * syy - sy * sy));
}

TEST(CalcImgCorrelation, MatchesDirectPearsonInEveryMode) {
  const TBitmap a = Pattern(40, 30, 1), b = Pattern(50, 35, 9);
  const TRect r1{3, 2, 20, 25}, r2{10, 5, 27, 28};
  for (int m = 0; m <= 6; ++m) {
    const auto mode = static_cast<TImgCompareMode>(m);
    const double got = CalcImgCorrelation(&a, &b, r1, r2, mode);
    const long double ref = Pearson(a, b, r1, r2, mode);
    EXPECT_NEAR(got, static_cast<double>(ref), 1e-12) << "mode " << m;
    EXPECT_NEAR(CalcImgCorrelation(&a, &a, r1, r1, mode), 1.0, 1e-14) << "mode " << m;
  }
}

TEST(CalcImgCorrelation, EdgeCases) {
  TBitmap flat(10, 10, RGB(7, 100, 200));
  TBitmap ramp(10, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      ramp.Canvas().SetPixel(
          x, y, RGB(static_cast<uint32_t>(x * 20), 5, 255 - static_cast<uint32_t>(x * 20)));
  const TRect all{0, 0, 9, 9};
  EXPECT_EQ(CalcImgCorrelation(&flat, &flat, all, all, TImgCompareMode::icmRed), 0.0);
  EXPECT_EQ(CalcImgCorrelation(&flat, &flat, all, all, TImgCompareMode::icmHue), 0.0);
  EXPECT_EQ(CalcImgCorrelation(&ramp, &ramp, all, all, TImgCompareMode::icmRed), 1.0);
  EXPECT_EQ(CalcImgCorrelation(&ramp, &ramp, all, all, TImgCompareMode::icmGreen), 0.0);
  // Blue falls as red rises.
  TBitmap blue_as_red(10, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      blue_as_red.Canvas().SetPixel(
          x, y, RGB(static_cast<uint32_t>(GetBValue(ramp.Canvas().Pixels(x, y))), 0, 0));
  EXPECT_NEAR(CalcImgCorrelation(&ramp, &blue_as_red, all, all, TImgCompareMode::icmRed), -1.0,
              1e-15);
  // Two pixels are fewer than 3 pairs; a reversed rectangle has none.
  EXPECT_EQ(CalcImgCorrelation(&ramp, &ramp, {0, 0, 1, 0}, {0, 0, 1, 0}, TImgCompareMode::icmRed),
            0.0);
  EXPECT_EQ(CalcImgCorrelation(&ramp, &ramp, {5, 0, 2, 3}, {6, 0, 3, 3}, TImgCompareMode::icmRed),
            0.0);

  struct Bad {
    const TBitmap* b1;
    TRect r1, r2;
    std::string msg;
  };
  const Bad bad[] = {
      {&ramp, {0, 0, 4, 4}, {0, 0, 5, 4}, "image ranges to compare are not of equal size"},
      {&ramp, {0, 0, 4, 4}, {0, 0, 4, 3}, "image ranges to compare are not of equal size"},
      {nullptr, {0, 0, 4, 4}, {0, 0, 4, 4}, "CalcImgCorrelation: bitmap not assigned"},
      {&ramp, {0, 0, 4, 4}, {6, 0, 10, 4}, "CalcImgCorrelation: image range outside the bitmap"},
      {&ramp, {-1, 0, 3, 4}, {0, 0, 4, 4}, "CalcImgCorrelation: image range outside the bitmap"},
  };
  for (const Bad& c : bad) {
    try {
      (void)CalcImgCorrelation(c.b1, &ramp, c.r1, c.r2, TImgCompareMode::icmRed);
      ADD_FAILURE() << "no exception for " << c.msg;
    } catch (const EORKMath2Error& e) {
      EXPECT_EQ(std::string(e.what()), c.msg);
    }
  }
}

TEST(TBitmap, PixelLayoutAndBounds) {
  TBitmap b(3, 2, RGB(1, 2, 3));
  EXPECT_EQ(b.Canvas().Pixels(2, 1), 0x030201U);  // red in bits 0-7
  b.Canvas().SetPixel(1, 1, 0xABCDEF);
  EXPECT_EQ(b.Pixels()[4], 0xABCDEFU);  // row by row from the top
  b.Canvas().SetPixel(3, 0, 5);         // outside: ignored
  b.Canvas().SetPixel(-1, 0, 5);
  EXPECT_EQ(b.Canvas().Pixels(3, 0), clInvalid);
  EXPECT_EQ(b.Canvas().Pixels(0, -1), clInvalid);
  TBitmap c(b);
  c.Canvas().SetPixel(0, 0, 9);  // a copy has its own pixels and canvas
  EXPECT_EQ(b.Canvas().Pixels(0, 0), 0x030201U);
  EXPECT_EQ(c.Canvas().Pixels(0, 0), 9U);
  b.SetSize(-4, 7);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Canvas().Pixels(0, 0), clInvalid);
  EXPECT_THROW(b.SetSize(1 << 15, 1 << 14), corvel::EOutOfMemory);
  EXPECT_EQ(GetRValue(RGB(300, 2, 3)), 44);
}

}  // namespace
