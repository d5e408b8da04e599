// Plane and sphere geometry: great-circle distance against haversine and
// Vincenty references (mpmath, 60 digits), point in polygon and signed area
// against exact rational classifications, bounding rectangle, point in
// convex hull, parenthesis check.
#include "ORK_math2.h"
#include "test_support.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace numbra;

const std::string kDir = std::string(NUMBRA_TEST_DATA_DIR) + "/geometry/";

const TPDblArray kSquare = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
const TPDblArray kSquareCw = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};

TEST(SphereGreatCircleDist, MatchesHaversineAndVincentyReferences) {
  std::ifstream in(kDir + "great_circle.csv");
  ASSERT_TRUE(in) << "missing great_circle.csv";
  std::string line;
  int n = 0;
  double worst = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    for (char& c : line)
      if (c == ',') c = ' ';
    std::istringstream ss(line);
    double lat1, lon1, lat2, lon2;
    long double hav, vin;
    ss >> lat1 >> lon1 >> lat2 >> lon2 >> hav >> vin;
    ASSERT_FALSE(ss.fail()) << line;
    const double got = SphereGreatCircleDist(1.0, lat1, lon1, lat2, lon2);
    for (const long double ref : {hav, vin}) {
      // Exact inputs 360 degrees apart are the same point: the reference's
      // 1e-61 is rounding of its own pi.
      const double err = std::fabs(ref) < 1e-40L ? std::fabs(got) : std::fabs((got - ref) / ref);
      worst = std::max(worst, err);
      EXPECT_LE(err, 1e-12) << line;
    }
    ++n;
  }
  EXPECT_GT(n, 200);
  std::printf("[ worst    ] great-circle relative error %.3g over %d pairs\n", worst, n);
}

TEST(SphereGreatCircleDist, EdgeCases) {
  EXPECT_NEAR(SphereGreatCircleDist(6371, 0, 0, 0, 90), 6371 * std::numbers::pi / 2, 1e-9);
  // The arccos of a dot product rounded above 1 would be NaN; equal points
  // give exactly 0.
  for (const double lat : {0.0, 12.345678901, 45.0, -89.99, 90.0})
    EXPECT_EQ(SphereGreatCircleDist(6371, lat, 33.3, lat, 33.3), 0.0) << lat;
  EXPECT_TRUE(std::isnan(SphereGreatCircleDist(1, NAN, 0, 0, 0)));
}

// Polygons with exact areas and exactly classified points (gen_geometry_refs.py).
TEST(PolygonRoutines, AreaAndInsideMatchExactReferences) {
  std::ifstream in(kDir + "polygons.txt");
  ASSERT_TRUE(in) << "missing polygons.txt";
  std::vector<TPDblArray> polys;
  std::string line;
  int points = 0;
  while (std::getline(in, line)) {
    std::istringstream ss(line);
    char tag = 0;
    int id = 0;
    ss >> tag >> id;
    if (tag == 'P') {
      int n = 0;
      ss >> n;
      TPDblArray p(static_cast<std::size_t>(n));
      for (auto& v : p) ss >> v.x >> v.y;
      polys.push_back(p);
    } else if (tag == 'A') {
      double area = 0;
      ss >> area;
      EXPECT_EQ(PolygonArea(polys.at(static_cast<std::size_t>(id))), area) << "polygon " << id;
    } else if (tag == 'Q') {
      double x = 0, y = 0;
      int c = 0;
      ss >> x >> y >> c;
      EXPECT_EQ(PointIsInsidePolygon(x, y, polys.at(static_cast<std::size_t>(id))), c == 1)
          << "polygon " << id << " point " << x << " " << y << " class " << c;
      ++points;
    }
  }
  EXPECT_EQ(polys.size(), 60U);
  EXPECT_GT(points, 2000);
}

TEST(PolygonRoutines, UnitSquareCases) {
  EXPECT_EQ(PolygonArea(kSquare), 1.0);
  EXPECT_EQ(PolygonArea(kSquareCw), -1.0);
  struct Case {
    double x, y;
    bool polygon, hull, hull_cw;
  };
  const Case cases[] = {
      {0.5, 0.5, true, true, false},   {1.0, 0.5, false, false, false},
      {0.0, 0.0, false, false, false}, {2.0, 0.5, false, false, false},
      {0.5, 0.0, false, false, false}, {0.5, 1.0, false, false, false},
      {NAN, 0.5, false, false, false}, {0.999, 0.001, true, true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PointIsInsidePolygon(c.x, c.y, kSquare), c.polygon) << c.x << " " << c.y;
    EXPECT_EQ(PointIsInsidePolygon(c.x, c.y, kSquareCw), c.polygon) << c.x << " " << c.y;
    EXPECT_EQ(PointIsInsideConvexHull(c.x, c.y, kSquare), c.hull) << c.x << " " << c.y;
    EXPECT_EQ(PointIsInsideConvexHull(c.x, c.y, kSquareCw), c.hull_cw) << c.x << " " << c.y;
  }
}

TEST(PolygonRoutines, DegenerateAndDistantPolygons) {
  // Collinear and repeated vertices enclose nothing.
  const TPDblArray line = {{0, 0}, {1, 1}, {2, 2}, {3, 3}};
  const TPDblArray dup = {{1, 1}, {1, 1}, {1, 1}};
  EXPECT_EQ(PolygonArea(line), 0.0);
  EXPECT_EQ(PolygonArea(dup), 0.0);
  EXPECT_FALSE(PointIsInsidePolygon(1, 1, line));
  EXPECT_FALSE(PointIsInsidePolygon(1.5, 1, line));
  EXPECT_FALSE(PointIsInsidePolygon(1, 1, dup));
  EXPECT_FALSE(PointIsInsideConvexHull(1, 1, dup));
  EXPECT_FALSE(PointIsInsideConvexHull(0.5, 0.5, TPDblArray{{0, 0}, {1, 1}}));
  // A unit square far from the origin keeps its area exactly (the naive sum
  // of products of size 1e16 would lose it).
  TPDblArray far = kSquare;
  for (auto& v : far) {
    v.x += 1e8;
    v.y += 1e8;
  }
  EXPECT_EQ(PolygonArea(far), 1.0);
  EXPECT_TRUE(PointIsInsidePolygon(1e8 + 0.5, 1e8 + 0.5, far));
  EXPECT_TRUE(std::isnan(PolygonArea(TPDblArray{{0, 0}, {NAN, 0}, {1, 1}})));
}

TEST(PolygonRoutines, OuterRect) {
  struct Case {
    TPDblArray poly;
    double minx, miny, maxx, maxy;
  };
  const Case cases[] = {
      {{{2.5, -1}}, 2.5, -1, 2.5, -1},
      {kSquare, 0, 0, 1, 1},
      {{{3, 1}, {-2, 7}, {0, -4}}, -2, -4, 3, 7},
      {{{NAN, 1}, {-2, NAN}, {0, -4}}, -2, -4, 0, 1},
  };
  for (const Case& c : cases) {
    double a = 0, b = 0, d = 0, e = 0;
    OuterRectOfPolygon(c.poly, a, b, d, e);
    EXPECT_EQ(a, c.minx);
    EXPECT_EQ(b, c.miny);
    EXPECT_EQ(d, c.maxx);
    EXPECT_EQ(e, c.maxy);
  }
}

TEST(PolygonRoutines, EmptyArraysAreRefused) {
  const TPDblArray none;
  double a = 0;
  const auto expect = [](auto&& fn, const std::string& msg) {
    try {
      fn();
      ADD_FAILURE() << "no exception, expected " << msg;
    } catch (const EORKMath2Error& e) {
      EXPECT_EQ(std::string(e.what()), msg);
    }
  };
  expect([&] { (void)PolygonArea(none); }, "PolygonArea: polygon has no vertices");
  expect([&] { (void)PointIsInsidePolygon(0, 0, none); },
         "PointIsInsidePolygon: polygon has no vertices");
  expect([&] { (void)PointIsInsideConvexHull(0, 0, none); },
         "PointIsInsideConvexHull: polygon has no vertices");
  expect([&] { OuterRectOfPolygon(none, a, a, a, a); },
         "OuterRectOfPolygon: polygon has no vertices");
}

TEST(CheckParanthInExp, Table) {
  struct Case {
    std::string text;
    int32_t result;
  };
  const Case cases[] = {
      {"", 0},          {"(a+b)*(c", 1},
      {"a)+(b", -2},    {"((x))", 0},
      {"(((", 3},       {")", -1},
      {"(a))(", -4},    {"f(g(h(1)))+2", 0},
      {"no parens", 0}, {std::string("(\0)", 3), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckParanthInExp(c.text), c.result) << c.text;
  // A hostile text: a million openings, then one too many closings.
  std::string deep(1000000, '(');
  EXPECT_EQ(CheckParanthInExp(deep), 1000000);
  deep += std::string(1000001, ')');
  EXPECT_EQ(CheckParanthInExp(deep), -2000001);
}

}  // namespace
