// ORK_math2: data analysis. TCurveFit with the unit's singular value
// routines; smoothing, filters and derivatives of sampled signals;
// multivariate linear methods (covariance, eigenvectors, principal
// components, pseudo-inverse, regression); clustering and nearest
// neighbours; plane geometry and image correlation.
#pragma once

#include "corvel_bitmap.h"
#include "numbra_frame.h"
#include "ORK_math1.h"
#include "ORK_matrix.h"
#include "ORK_vector.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace numbra {

/// Raised by the routines and classes of ORK_math2.
NUMBRA_DECLARE_EXCEPTION(EORKMath2Error, EORKError);

// ===========================================================================
// Singular value routines
// ===========================================================================

// ===========================================================================
// TCurveFit
// ===========================================================================

// ===========================================================================
// Smoothing, filters and derivatives
// ===========================================================================

// ===========================================================================
// Multivariate linear methods
// ===========================================================================

// ===========================================================================
// Clustering and nearest neighbours
// ===========================================================================

// ===========================================================================
// Plane geometry and image correlation
// ===========================================================================
//
// Polygons and point sets are 0-based arrays of TPointDouble (x, y, with the
// y axis pointing up); a polygon's last vertex connects back to the first.
// The routines that need at least one vertex (PolygonArea,
// OuterRectOfPolygon, PointIsInsidePolygon, PointIsInsideConvexHull) raise
// EORKMath2Error "<Routine>: polygon has no vertices" for an empty array.

using corvel::clInvalid;
using corvel::GetBValue;
using corvel::GetGValue;
using corvel::GetRValue;
using corvel::RGB;
using corvel::TBitmap;
using corvel::TCanvas;
using corvel::TColor;

/// Raised for errors in expressions of the unit's expression vocabulary
/// (TOperator).
NUMBRA_DECLARE_EXCEPTION(EORKMathExp, EORKError);

/// Channel that CalcImgCorrelation compares.
enum class TImgCompareMode : uint8_t {
  icmRed,
  icmBlue,
  icmGreen,
  icmHue,
  icmLightness,
  icmSaturation,
  icmGrayValues
};

/// Operator vocabulary of the unit's expressions (ordinals 0..49).
enum class TOperator : uint8_t {
  opNone,
  opNumber,
  opListElem,
  opAdd,
  opSubtract,
  opMultiply,
  opDivide,
  opMod,
  opPower,
  opGT,
  opGE,
  opLT,
  opLE,
  opEQ,
  opNE,
  opOpenParanth,
  opClosedParanth,
  opMinusSign,
  opPlusSign,
  opSine,
  opCosine,
  opTangens,
  opArcSin,
  opArcCos,
  opArcTan,
  opAbs,
  opSign,
  opSqrt,
  opSqr,
  opRound,
  opNDInt,
  opNDQuant,
  opNDDens,
  opSum,
  opMean,
  opVar,
  opPi,
  opTrue,
  opFalse,
  opExp,
  opLn,
  opLg,
  opGauss,
  opRand,
  opFrac,
  opInt,
  opAnd,
  opNot,
  opOr,
  opXor
};

/// Great-circle distance between (Lat1, Long1) and (Lat2, Long2) on a sphere
/// of the given Radius (result in the unit of Radius); angles in degrees.
/// Evaluated as the central angle atan2(|cross|, dot) (the Vincenty form for
/// the sphere), accurate to a few ulps of the distance for every pair of
/// points, coincident (exactly 0) and antipodal (Radius * pi) included.
/// NaN in gives NaN.
NUMBRA_EXPORT double SphereGreatCircleDist(double Radius, double Lat1, double Long1, double Lat2,
                                           double Long2) noexcept;

/// True when (x, y) lies strictly inside Polygon (any orientation, any
/// simple or self-intersecting polygon, by a signed crossing test along the
/// +x ray). Points on an edge or a vertex answer false; so does a point
/// with a NaN coordinate, and an edge with a NaN end never counts as
/// crossed. A degenerate polygon (collinear or repeated vertices) has no
/// inside. O(n), no allocation. Raises EORKMath2Error
/// "PointIsInsidePolygon: polygon has no vertices" for an empty array.
NUMBRA_EXPORT bool PointIsInsidePolygon(double x, double y, std::span<const TPointDouble> Polygon);

/// Signed area 1/2 sum (x_i - x_i+1)(y_i + y_i+1) over all edges, the closing
/// edge included: positive for counter-clockwise vertices (y up), negative
/// for clockwise, 0 for fewer than 3 vertices or collinear ones; NaN when a
/// coordinate is NaN. Raises EORKMath2Error "PolygonArea: polygon has no
/// vertices" for an empty array.
NUMBRA_EXPORT double PolygonArea(std::span<const TPointDouble> Polygon);

/// Bounding rectangle of the vertices: smallest and largest x and y. A
/// single vertex gives itself four times. NaN coordinates are skipped (an
/// all-NaN coordinate gives NaN). Raises EORKMath2Error
/// "OuterRectOfPolygon: polygon has no vertices" for an empty array.
NUMBRA_EXPORT void OuterRectOfPolygon(std::span<const TPointDouble> Polygon, double& MinX,
                                      double& MinY, double& MaxX, double& MaxY);

/// True when (x, y) lies strictly inside the convex polygon Hull given in
/// counter-clockwise order (as Convex2DHull returns it): the cross product
/// (V_i+1 - V_i) x (P - V_i) is positive for every edge, the closing edge
/// first. Points on the boundary, clockwise hulls, hulls of fewer than 3
/// vertices and NaN coordinates answer false. Raises EORKMath2Error
/// "PointIsInsideConvexHull: polygon has no vertices" for an empty array.
NUMBRA_EXPORT bool PointIsInsideConvexHull(double x, double y, std::span<const TPointDouble> Hull);

/// Convex hull of a point set, O(n log n).
///
/// Fewer than 4 points: a copy of the input (unchanged, whatever it holds).
/// Otherwise the hull's corner points in counter-clockwise order, starting
/// from the direction straight below the centroid c of all points: the
/// vertices are sorted by the angle phi = AngleToXAxis(v - c) + pi/2
/// (reduced by 2 pi when above 2 pi), so the first vertex is the one just
/// counter-clockwise of straight down (a vertex exactly straight below comes
/// last). Only strict corners are returned: points on a hull edge
/// (collinear) and repeated points appear once at most, as the corner they
/// coincide with. A set whose points all lie on one line gives its two end
/// points, a set of coincident points that one point. The result is exact
/// for the given doubles up to the rounding of the orientation test.
/// Raises EORKMath2Error "Convex2DHull: point <i> has a non-finite
/// coordinate" (0-based i) when n >= 4 and a coordinate is NaN or infinite.
NUMBRA_EXPORT TPDblArray Convex2DHull(std::span<const TPointDouble> Points);

/// Correlation coefficient of two equally sized bitmap regions, channel by
/// channel: for every pixel (x, y) of Rect1 (Left..Right and Top..Bottom,
/// both ends included) the pair (value of Bmp1 at (x, y), value of Bmp2 at
/// (x + dx, y + dy)) with dx = Rect2.left - Rect1.left, dy = Rect2.top -
/// Rect1.top. Values: the red, blue or green byte; the hue, saturation or
/// intensity of RGBtoHSI (icmHue, icmSaturation, icmLightness); or
/// RGBtoGray (icmGrayValues). Result: Pearson's r of the pairs, in [-1, 1];
/// 0 with fewer than 3 pairs (also for a reversed rectangle) or when either
/// side has no variance.
/// Raises EORKMath2Error "image ranges to compare are not of equal size"
/// when the rectangles differ in width (right - left) or height (bottom -
/// top); "CalcImgCorrelation: bitmap not assigned" for a null bitmap;
/// "CalcImgCorrelation: image range outside the bitmap" when a rectangle
/// reaches beyond its bitmap.
NUMBRA_EXPORT double CalcImgCorrelation(const TBitmap* Bmp1, const TBitmap* Bmp2,
                                        const TRect& Rect1, const TRect& Rect2,
                                        TImgCompareMode Mode);

/// Parenthesis balance of an expression: scanning from position 1, "("
/// adds 1 and ")" subtracts 1 to a depth; when the depth becomes negative
/// at position p the result is -p. Otherwise the final depth: 0 when
/// balanced (also for the empty text), k > 0 for k unclosed parentheses.
/// Other characters (any bytes) are skipped. Linear time, no allocation;
/// results saturate at the int32_t range for texts beyond 2^31 bytes.
NUMBRA_EXPORT int32_t CheckParanthInExp(std::string_view Expression) noexcept;

}  // namespace numbra
