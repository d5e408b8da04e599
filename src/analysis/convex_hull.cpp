// Convex hull of a planar point set.
//
// The hull itself comes from Andrew's monotone chain (A. M. Andrew, "Another
// efficient algorithm for convex hulls in two dimensions", Inf. Proc.
// Letters 9, 1979): sort by (x, y), then build the lower and the upper
// chain, dropping every point that does not make a strict left turn. It
// needs only the sign of one cross product per step, so it cannot lose a
// true corner the way a walk over centroid angles with a slope test can
// (which drops vertices of triangular hulls and, searching backwards for
// remaining points, can fail to end). The angular order that callers rely
// on -- counter-clockwise, starting just after the direction straight below
// the centroid -- is then obtained by rotating the counter-clockwise cycle
// to the vertex with the smallest angle: around a point strictly inside a
// convex polygon the counter-clockwise order is the order of angles.
#include "ORK_math2.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace numbra {

namespace {

// (a - o) x (b - o): > 0 for a left (counter-clockwise) turn o -> a -> b.
double Cross(const TPointDouble& o, const TPointDouble& a, const TPointDouble& b) noexcept {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double HullAngle(const TPointDouble& v, double cx, double cy) noexcept {
  double phi = AngleToXAxis(v.x - cx, v.y - cy) + 0.5 * std::numbers::pi;
  if (phi > 2.0 * std::numbers::pi) phi -= 2.0 * std::numbers::pi;
  return phi;
}

}  // namespace

TPDblArray Convex2DHull(std::span<const TPointDouble> Points) {
  const std::size_t n = Points.size();
  if (n < 4) return TPDblArray(Points.begin(), Points.end());

  // Centroid by compensated sums (it only chooses the starting vertex).
  double sx = 0.0, sy = 0.0, cx_comp = 0.0, cy_comp = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const TPointDouble& p = Points[i];
    if (!std::isfinite(p.x) || !std::isfinite(p.y))
      throw EORKMath2Error("Convex2DHull: point " + std::to_string(i) +
                           " has a non-finite coordinate");
    double t = sx + p.x;
    cx_comp += std::fabs(sx) >= std::fabs(p.x) ? (sx - t) + p.x : (p.x - t) + sx;
    sx = t;
    t = sy + p.y;
    cy_comp += std::fabs(sy) >= std::fabs(p.y) ? (sy - t) + p.y : (p.y - t) + sy;
    sy = t;
  }
  const double cx = (sx + cx_comp) / static_cast<double>(n);
  const double cy = (sy + cy_comp) / static_cast<double>(n);

  TPDblArray pts(Points.begin(), Points.end());
  std::sort(pts.begin(), pts.end(), [](const TPointDouble& a, const TPointDouble& b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
  });

  // Lower chain left to right, then upper chain right to left; "<= 0" pops
  // collinear and repeated points, so only strict corners stay.
  TPDblArray hull(2 * n);
  std::size_t k = 0;
  for (std::size_t i = 0; i < n; ++i) {
    while (k >= 2 && Cross(hull[k - 2], hull[k - 1], pts[i]) <= 0) --k;
    hull[k++] = pts[i];
  }
  for (std::size_t i = n - 1, lower = k + 1; i-- > 0;) {
    while (k >= lower && Cross(hull[k - 2], hull[k - 1], pts[i]) <= 0) --k;
    hull[k++] = pts[i];
  }
  // The last point repeats the first one.
  hull.resize(k - 1);
  // All points coincident: the chain holds that point twice.
  if (hull.size() == 2 && hull[0].x == hull[1].x && hull[0].y == hull[1].y) hull.resize(1);

  std::size_t start = 0;
  double best = HullAngle(hull[0], cx, cy);
  for (std::size_t i = 1; i < hull.size(); ++i) {
    const double phi = HullAngle(hull[i], cx, cy);
    if (phi < best) {
      best = phi;
      start = i;
    }
  }
  std::rotate(hull.begin(), hull.begin() + static_cast<std::ptrdiff_t>(start), hull.end());
  return hull;
}

}  // namespace numbra
