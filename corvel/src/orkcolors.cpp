#include "ORK_orkcolors.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvel {

int RGBtoGray(int R, int G, int B) {
  const int r = std::clamp(R, 0, 255);
  const int g = std::clamp(G, 0, 255);
  const int b = std::clamp(B, 0, 255);
  // Integer weights 299/587/114 per mille keep the result exact.
  return (299 * r + 587 * g + 114 * b + 500) / 1000;
}

void RGBtoHSI(int R, int G, int B, double& H, double& S, double& I) {
  const double r = std::clamp(R, 0, 255);
  const double g = std::clamp(G, 0, 255);
  const double b = std::clamp(B, 0, 255);
  I = (r + g + b) / 3.0;
  const double mn = std::min({r, g, b});
  S = I > 0 ? 1.0 - mn / I : 0.0;
  // Hue from the angle of the chromaticity vector; atan2 is well conditioned
  // where the textbook acos form is not (near grey).
  const double x = r - 0.5 * (g + b);
  const double y = std::sqrt(3.0) / 2.0 * (g - b);
  if (x == 0 && y == 0) {
    H = 0.0;
    return;
  }
  double h = std::atan2(y, x) * 180.0 / std::numbers::pi;
  if (h < 0) h += 360.0;
  H = h;
}

}  // namespace corvel
