// Plane and sphere geometry: great-circle distance, point in polygon, signed
// area, bounding rectangle and point in convex hull.
#include "ORK_math2.h"

#include <cmath>
#include <numbers>

namespace numbra {

namespace {

void RefuseEmpty(std::span<const TPointDouble> Polygon, const char* Routine) {
  if (Polygon.empty()) throw EORKMath2Error(std::string(Routine) + ": polygon has no vertices");
}

// Signed crossing contribution of the edge A-B for the ray from P in +x
// direction: 0 when P lies on the edge, -1 when the edge crosses the ray,
// 1 otherwise. Half-open in y (P.y in (A.y, B.y]) so that a ray through a
// vertex counts that vertex once.
int EdgeTest(const TPointDouble& P, TPointDouble A, TPointDouble B) noexcept {
  if (P.y == A.y && P.y == B.y) {
    const bool between = (A.x <= P.x && P.x <= B.x) || (B.x <= P.x && P.x <= A.x);
    return between ? 0 : 1;
  }
  if (B.y < A.y) std::swap(A, B);
  if (P.x == A.x && P.y == A.y) return 0;
  if (P.y <= A.y || P.y > B.y) return 1;
  const double delta = (A.x - P.x) * (B.y - P.y) - (A.y - P.y) * (B.x - P.x);
  if (delta > 0) return -1;
  if (delta == 0) return 0;
  return 1;
}

// sin and cos of an angle in degrees. The angle is first reduced exactly to
// [-45, 45] around a multiple of 90 degrees (remquo is exact), so that
// sin(90 - 1e-7) or cos(89.9999999) keep their full relative accuracy,
// which a conversion of the unreduced angle to radians would lose.
void SinCosDeg(double Deg, double& S, double& C) noexcept {
  int quo = 0;
  const double r = std::remquo(Deg, 90.0, &quo) * (std::numbers::pi / 180.0);
  const double s = std::sin(r), c = std::cos(r);
  switch (quo & 3) {
    case 0:
      S = s, C = c;
      break;
    case 1:
      S = c, C = -s;
      break;
    case 2:
      S = -s, C = -c;
      break;
    default:
      S = -c, C = s;
      break;
  }
}

}  // namespace

double SphereGreatCircleDist(double Radius, double Lat1, double Long1, double Lat2,
                             double Long2) noexcept {
  // The central angle as atan2(|u1 x u2|, u1 . u2) of the two unit vectors.
  // Unlike arccos of the dot product (which loses half the digits for
  // nearby points) or the haversine (which loses them near antipodes) it is
  // well conditioned everywhere. The meridian component of the cross
  // product is written as sin(dphi) + 2 sin(phi1) cos(phi2) sin^2(dlambda/2),
  // which equals cos(phi1) sin(phi2) - sin(phi1) cos(phi2) cos(dlambda)
  // without its cancellation for nearby latitudes. Differences are taken in
  // degrees (exact for nearby values), the longitude difference is reduced
  // exactly to [-180, 180], and every sine and cosine is taken in degrees.
  double s1 = 0, c1 = 0, s2 = 0, c2 = 0, sdphi = 0, cdphi = 0, sdl = 0, cdl = 0, sh = 0, ch = 0;
  const double dlambda = std::remainder(Long1 - Long2, 360.0);
  SinCosDeg(Lat1, s1, c1);
  SinCosDeg(Lat2, s2, c2);
  SinCosDeg(Lat2 - Lat1, sdphi, cdphi);
  SinCosDeg(dlambda, sdl, cdl);
  SinCosDeg(0.5 * dlambda, sh, ch);
  const double east = c2 * sdl;
  const double north = sdphi + 2.0 * s1 * c2 * sh * sh;
  const double dot = s1 * s2 + c1 * c2 * cdl;
  return Radius * std::atan2(std::hypot(east, north), dot);
}

bool PointIsInsidePolygon(double x, double y, std::span<const TPointDouble> Polygon) {
  RefuseEmpty(Polygon, "PointIsInsidePolygon");
  const TPointDouble p{x, y};
  const std::size_t n = Polygon.size();
  int t = -EdgeTest(p, Polygon[n - 1], Polygon[0]);
  for (std::size_t i = 1; i < n && t != 0; ++i) t *= EdgeTest(p, Polygon[i - 1], Polygon[i]);
  return t == 1;
}

double PolygonArea(std::span<const TPointDouble> Polygon) {
  RefuseEmpty(Polygon, "PolygonArea");
  // The y values are taken relative to vertex 0: since sum (x_i - x_i+1)
  // telescopes to 0 this changes nothing mathematically, but it removes the
  // cancellation of large products for polygons far from the origin. The
  // terms are added with Neumaier's compensated sum.
  const std::size_t n = Polygon.size();
  const double y0 = Polygon[0].y;
  double sum = 0.0, comp = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const TPointDouble& a = Polygon[i];
    const TPointDouble& b = Polygon[i + 1 == n ? 0 : i + 1];
    const double term = (a.x - b.x) * ((a.y - y0) + (b.y - y0));
    const double t = sum + term;
    comp += std::fabs(sum) >= std::fabs(term) ? (sum - t) + term : (term - t) + sum;
    sum = t;
  }
  return 0.5 * (sum + comp);
}

void OuterRectOfPolygon(std::span<const TPointDouble> Polygon, double& MinX, double& MinY,
                        double& MaxX, double& MaxY) {
  RefuseEmpty(Polygon, "OuterRectOfPolygon");
  MinX = MaxX = Polygon[0].x;
  MinY = MaxY = Polygon[0].y;
  // "v < m || m is NaN" skips NaN values and replaces a NaN start.
  for (const TPointDouble& v : Polygon.subspan(1)) {
    if (v.x < MinX || std::isnan(MinX)) MinX = v.x;
    if (v.x > MaxX || std::isnan(MaxX)) MaxX = v.x;
    if (v.y < MinY || std::isnan(MinY)) MinY = v.y;
    if (v.y > MaxY || std::isnan(MaxY)) MaxY = v.y;
  }
}

bool PointIsInsideConvexHull(double x, double y, std::span<const TPointDouble> Hull) {
  RefuseEmpty(Hull, "PointIsInsideConvexHull");
  const std::size_t n = Hull.size();
  std::size_t prev = n - 1;
  for (std::size_t i = 0; i < n; prev = i++) {
    const TPointDouble& a = Hull[prev];
    const TPointDouble& b = Hull[i];
    const double cross = (x - a.x) * (a.y - b.y) + (y - a.y) * (b.x - a.x);
    if (!(cross > 0)) return false;
  }
  return true;
}

}  // namespace numbra
