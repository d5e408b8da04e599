// Convex2DHull against an independent monotone chain on 10^5 random point
// sets (random doubles, small integer grids full of collinear and repeated
// points, points on a circle), plus the output contract and small cases.
#include "ORK_math2.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace {

using numbra::TPDblArray;
using numbra::TPointDouble;

double Cross(const TPointDouble& o, const TPointDouble& a, const TPointDouble& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Reference: Andrew's monotone chain, strict corners only, as a set.
std::set<std::pair<double, double>> ReferenceHull(TPDblArray p) {
  std::sort(p.begin(), p.end(), [](const TPointDouble& a, const TPointDouble& b) {
    return a.x != b.x ? a.x < b.x : a.y < b.y;
  });
  std::vector<TPointDouble> lower, upper;
  for (const auto& q : p) {
    while (lower.size() >= 2 && Cross(lower[lower.size() - 2], lower.back(), q) <= 0)
      lower.pop_back();
    lower.push_back(q);
  }
  for (auto it = p.rbegin(); it != p.rend(); ++it) {
    while (upper.size() >= 2 && Cross(upper[upper.size() - 2], upper.back(), *it) <= 0)
      upper.pop_back();
    upper.push_back(*it);
  }
  std::set<std::pair<double, double>> s;
  for (const auto& q : lower) s.insert({q.x, q.y});
  for (const auto& q : upper) s.insert({q.x, q.y});
  return s;
}

// The angle that orders the output: from straight below the centroid,
// counter-clockwise, in (0, 2 pi].
double Phi(const TPointDouble& v, double cx, double cy) {
  double a = std::atan2(v.y - cy, v.x - cx);
  if (a < 0) a += 2 * std::numbers::pi;
  a += std::numbers::pi / 2;
  if (a > 2 * std::numbers::pi) a -= 2 * std::numbers::pi;
  return a;
}

// Checks one set; returns false (with a message) on the first mismatch.
::testing::AssertionResult CheckHull(const TPDblArray& pts) {
  const TPDblArray hull = numbra::Convex2DHull(pts);
  const auto ref = ReferenceHull(pts);
  std::set<std::pair<double, double>> got;
  for (const auto& q : hull) got.insert({q.x, q.y});
  if (got != ref || got.size() != hull.size())
    return ::testing::AssertionFailure() << "vertex sets differ: " << hull.size() << " vs "
                                         << ref.size() << " corners of " << pts.size();
  double cx = 0, cy = 0;
  for (const auto& q : pts) {
    cx += q.x;
    cy += q.y;
  }
  cx /= static_cast<double>(pts.size());
  cy /= static_cast<double>(pts.size());
  const std::size_t h = hull.size();
  for (std::size_t i = 0; h >= 3 && i < h; ++i)
    if (!(Cross(hull[i], hull[(i + 1) % h], hull[(i + 2) % h]) > 0))
      return ::testing::AssertionFailure() << "not a strict counter-clockwise turn at " << i;
  for (std::size_t i = 1; i < h; ++i)
    if (Phi(hull[i], cx, cy) < Phi(hull[i - 1], cx, cy) - 1e-12)
      return ::testing::AssertionFailure() << "angles not ascending at " << i;
  return ::testing::AssertionSuccess();
}

TEST(Convex2DHull, AgreesWithMonotoneChainOnRandomSets) {
  std::mt19937_64 rng(17);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  int failures = 0;
  for (int set = 0; set < 100000 && failures < 5; ++set) {
    const int kind = set % 4;
    const int n = kind == 0 ? 5 : 4 + static_cast<int>(rng() % 60);
    TPDblArray pts(static_cast<std::size_t>(n));
    for (auto& q : pts) {
      if (kind == 1) {  // small grid: collinear and repeated points
        q = {static_cast<double>(rng() % 5), static_cast<double>(rng() % 5)};
      } else if (kind == 2) {  // on a circle: every point a corner
        const double t = 2 * std::numbers::pi * static_cast<double>(rng() % 1000) / 1000;
        q = {std::round(1e6 * std::cos(t)), std::round(1e6 * std::sin(t))};
      } else {
        q = {unit(rng), unit(rng)};
      }
    }
    const auto r = CheckHull(pts);
    if (!r) {
      ++failures;
      ADD_FAILURE() << "set " << set << ": " << r.message();
    }
  }
}

TEST(Convex2DHull, SmallAndDegenerateCases) {
  const TPDblArray three = {{5, 1}, {0, 0}, {5, 1}};
  const TPDblArray got3 = numbra::Convex2DHull(three);
  ASSERT_EQ(got3.size(), 3U);
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_TRUE(got3[i].x == three[i].x && got3[i].y == three[i].y);
  EXPECT_TRUE(numbra::Convex2DHull(TPDblArray{}).empty());
  // NaN is copied through below 4 points; refused from 4 on.
  EXPECT_TRUE(std::isnan(numbra::Convex2DHull(TPDblArray{{NAN, 0}})[0].x));

  struct Case {
    std::string what;
    TPDblArray in, out;
  };
  const Case cases[] = {
      {"square and centre",
       {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5, 0.5}},
       {{1, 0}, {1, 1}, {0, 1}, {0, 0}}},
      {"triangle with two inner points",
       {{1, 1}, {0, 0}, {10, 0}, {2, 1}, {0, 10}},
       {{10, 0}, {0, 10}, {0, 0}}},
      {"collinear", {{2, 2}, {0, 0}, {3, 3}, {1, 1}}, {{3, 3}, {0, 0}}},
      {"coincident", {{4, -1}, {4, -1}, {4, -1}, {4, -1}}, {{4, -1}}},
      {"edge points and duplicates",
       {{0, 0}, {2, 0}, {4, 0}, {4, 4}, {0, 4}, {4, 4}, {2, 4}, {1, 1}},
       {{4, 0}, {4, 4}, {0, 4}, {0, 0}}},
  };
  for (const Case& c : cases) {
    const TPDblArray got = numbra::Convex2DHull(c.in);
    ASSERT_EQ(got.size(), c.out.size()) << c.what;
    for (std::size_t i = 0; i < got.size(); ++i)
      EXPECT_TRUE(got[i].x == c.out[i].x && got[i].y == c.out[i].y)
          << c.what << " vertex " << i << ": " << got[i].x << " " << got[i].y;
  }
  try {
    (void)numbra::Convex2DHull(TPDblArray{{0, 0}, {1, 0}, {0, INFINITY}, {1, 1}});
    ADD_FAILURE() << "no exception";
  } catch (const numbra::EORKMath2Error& e) {
    EXPECT_STREQ(e.what(), "Convex2DHull: point 2 has a non-finite coordinate");
  }
}

}  // namespace
