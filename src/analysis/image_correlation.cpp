// Correlation of two bitmap regions, channel by channel.
#include "ORK_math2.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace numbra {

namespace {

double ChannelValue(TColor c, TImgCompareMode Mode) {
  const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  switch (Mode) {
    case TImgCompareMode::icmRed:
      return r;
    case TImgCompareMode::icmBlue:
      return b;
    case TImgCompareMode::icmGreen:
      return g;
    case TImgCompareMode::icmGrayValues:
      return RGBtoGray(r, g, b);
    case TImgCompareMode::icmHue:
    case TImgCompareMode::icmSaturation:
    case TImgCompareMode::icmLightness:
      break;
  }
  double h = 0, s = 0, i = 0;
  RGBtoHSI(r, g, b, h, s, i);
  if (Mode == TImgCompareMode::icmHue) return h;
  if (Mode == TImgCompareMode::icmSaturation) return s;
  return i;
}

bool Inside(const TBitmap& Bmp, int64_t Left, int64_t Top, int64_t Right, int64_t Bottom) {
  return Left >= 0 && Top >= 0 && Right < Bmp.Width() && Bottom < Bmp.Height();
}

}  // namespace

double CalcImgCorrelation(const TBitmap* Bmp1, const TBitmap* Bmp2, const TRect& Rect1,
                          const TRect& Rect2, TImgCompareMode Mode) {
  // Widths and offsets in 64 bits: int32 rectangles may span more than 2^31.
  const int64_t w1 = int64_t{Rect1.right} - Rect1.left, h1 = int64_t{Rect1.bottom} - Rect1.top;
  const int64_t w2 = int64_t{Rect2.right} - Rect2.left, h2 = int64_t{Rect2.bottom} - Rect2.top;
  if (w1 != w2 || h1 != h2) throw EORKMath2Error("image ranges to compare are not of equal size");
  if (Bmp1 == nullptr || Bmp2 == nullptr)
    throw EORKMath2Error("CalcImgCorrelation: bitmap not assigned");
  if (w1 < 0 || h1 < 0) return 0.0;  // reversed rectangle: no pixel pairs
  if (!Inside(*Bmp1, Rect1.left, Rect1.top, Rect1.right, Rect1.bottom) ||
      !Inside(*Bmp2, Rect2.left, Rect2.top, Rect2.right, Rect2.bottom))
    throw EORKMath2Error("CalcImgCorrelation: image range outside the bitmap");
  const int64_t count = (w1 + 1) * (h1 + 1);
  if (count < 3) return 0.0;

  // Two passes over the pixels (means, then centred moments): no storage
  // for the pairs and no cancellation in the sums of squares.
  const int32_t dx = Rect2.left - Rect1.left, dy = Rect2.top - Rect1.top;
  const TCanvas& c1 = Bmp1->Canvas();
  const TCanvas& c2 = Bmp2->Canvas();
  auto for_each_pair = [&](auto&& Fn) {
    for (int32_t y = Rect1.top; y <= Rect1.bottom; ++y)
      for (int32_t x = Rect1.left; x <= Rect1.right; ++x)
        Fn(ChannelValue(c1.Pixels(x, y), Mode), ChannelValue(c2.Pixels(x + dx, y + dy), Mode));
  };
  // A constant side has no variance; it is detected exactly (min = max)
  // rather than through a centred sum that rounding may leave at 1e-30.
  double sum1 = 0, sum2 = 0;
  bool const1 = true, const2 = true;
  double first1 = 0, first2 = 0;
  bool first = true;
  for_each_pair([&](double a, double b) {
    if (first) {
      first1 = a;
      first2 = b;
      first = false;
    }
    const1 = const1 && a == first1;
    const2 = const2 && b == first2;
    sum1 += a;
    sum2 += b;
  });
  if (const1 || const2) return 0.0;
  const double m1 = sum1 / static_cast<double>(count), m2 = sum2 / static_cast<double>(count);
  double sxx = 0, syy = 0, sxy = 0;
  for_each_pair([&](double a, double b) {
    sxx += (a - m1) * (a - m1);
    syy += (b - m2) * (b - m2);
    sxy += (a - m1) * (b - m2);
  });
  if (!(sxx > 0) || !(syy > 0)) return 0.0;
  return std::clamp(sxy / std::sqrt(sxx * syy), -1.0, 1.0);
}

}  // namespace numbra
