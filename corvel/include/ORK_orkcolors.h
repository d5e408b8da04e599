// ORK_orkcolors: colour conversions used by the image routines.
#pragma once

#include "corvel_export.h"

namespace corvel {

/// Grey level of an RGB colour (components 0..255, clamped): the ITU-R
/// BT.601 luma 0.299 R + 0.587 G + 0.114 B, rounded to the nearest integer
/// (0..255).
CORVEL_EXPORT int RGBtoGray(int R, int G, int B);

/// Hue, saturation and intensity of an RGB colour (components 0..255,
/// clamped), in the geometric HSI model: I = (R + G + B) / 3 in 0..255;
/// S = 1 - min(R, G, B) / I in 0..1 (0 for black); H in degrees 0..360,
/// measured from red towards green (0 for greys, where it is undefined).
CORVEL_EXPORT void RGBtoHSI(int R, int G, int B, double& H, double& S, double& I);

}  // namespace corvel
