#!/usr/bin/python3
"""Reference values of the plane-geometry tests.

great_circle.csv: central angles of point pairs on the unit sphere, by the
  haversine and by the Vincenty (atan2) formula, both in mpmath at 60
  digits from the exact double inputs (so the two agree to far beyond
  double precision, antipodal and nearly coincident pairs included).
polygons.txt: random star-shaped polygons with dyadic vertices, their exact
  signed areas (fractions), and test points classified exactly as inside
  (1), on the boundary (0) or outside (-1) by rational arithmetic.

Run with Debian's python3 (python3-mpmath); the outputs are checked in.
"""
import random
from fractions import Fraction as F

import mpmath

mpmath.mp.dps = 60
random.seed(20261208)


def central_angles(lat1, lon1, lat2, lon2):
    k = mpmath.pi / 180
    p1, p2 = mpmath.mpf(lat1) * k, mpmath.mpf(lat2) * k
    dl = (mpmath.mpf(lon1) - mpmath.mpf(lon2)) * k
    dp = p2 - p1
    h = mpmath.sin(dp / 2) ** 2 + mpmath.cos(p1) * mpmath.cos(p2) * mpmath.sin(dl / 2) ** 2
    hav = 2 * mpmath.asin(mpmath.sqrt(h))
    y = mpmath.sqrt((mpmath.cos(p2) * mpmath.sin(dl)) ** 2 +
                    (mpmath.cos(p1) * mpmath.sin(p2) - mpmath.sin(p1) * mpmath.cos(p2) * mpmath.cos(dl)) ** 2)
    x = mpmath.sin(p1) * mpmath.sin(p2) + mpmath.cos(p1) * mpmath.cos(p2) * mpmath.cos(dl)
    vin = mpmath.atan2(y, x)
    return hav, vin


def great_circle():
    cases = [
        (0, 0, 0, 90), (0, 0, 0, 0), (45, 45, 45, 45), (90, 0, -90, 0), (0, 0, 0, 180),
        (10, 20, -10, -160), (10, 20, -10 + 1e-9, -160), (33.3, -117.1, -33.3, 62.9 + 1e-7),
        (51.4778, -0.0015, 51.4778 + 1e-10, -0.0015), (51.4778, -0.0015, 51.4778, -0.0015 + 1e-10),
        (45, 10, 45 + 1e-12, 10 + 1e-12), (-89.9999999, 0, 89.9999999, 180), (0, 179.5, 0, -179.5),
        (0, 0, 1e-8, 1e-8), (60, 0, 60, 180), (89.999999, 0, 89.999999, 90), (12.5, 370, 12.5, 10),
        (40.7128, -74.006, 51.5074, -0.1278), (-33.8688, 151.2093, 35.6762, 139.6503),
    ]
    for _ in range(200):
        lat1, lon1 = random.uniform(-90, 90), random.uniform(-180, 180)
        mode = random.random()
        if mode < 0.3:  # nearby points
            d = 10 ** random.uniform(-11, -2)
            lat2, lon2 = lat1 + random.uniform(-d, d), lon1 + random.uniform(-d, d)
            lat2 = max(-90, min(90, lat2))
        elif mode < 0.6:  # nearly antipodal
            d = 10 ** random.uniform(-9, -2)
            lat2, lon2 = -lat1 + random.uniform(-d, d), lon1 + 180 + random.uniform(-d, d)
            lat2 = max(-90, min(90, lat2))
        else:
            lat2, lon2 = random.uniform(-90, 90), random.uniform(-180, 180)
        cases.append((lat1, lon1, lat2, lon2))
    with open("great_circle.csv", "w") as f:
        f.write("# lat1, long1, lat2, long2 (degrees), central angle by haversine, by Vincenty\n")
        for c in cases:
            hav, vin = central_angles(*c)
            f.write("%s, %s, %s, %s, %s, %s\n" % (repr(float(c[0])), repr(float(c[1])), repr(float(c[2])),
                                                 repr(float(c[3])), mpmath.nstr(hav, 25), mpmath.nstr(vin, 25)))


def on_segment(p, a, b):
    cross = (b[0] - a[0]) * (p[1] - a[1]) - (b[1] - a[1]) * (p[0] - a[0])
    return cross == 0 and min(a[0], b[0]) <= p[0] <= max(a[0], b[0]) and min(a[1], b[1]) <= p[1] <= max(a[1], b[1])


def classify(p, poly):
    n = len(poly)
    for i in range(n):
        if on_segment(p, poly[i - 1], poly[i]):
            return 0
    inside = False
    for i in range(n):
        a, b = poly[i - 1], poly[i]
        if (a[1] > p[1]) != (b[1] > p[1]):
            x = a[0] + (p[1] - a[1]) * (b[0] - a[0]) / (b[1] - a[1])
            if x > p[0]:
                inside = not inside
    return 1 if inside else -1


def polygons():
    lines = ["# P id n x0 y0 ... : polygon; A id area : exact signed area;",
             "# Q id x y c : point, c = 1 inside, 0 on the boundary, -1 outside"]
    for pid in range(60):
        n = random.choice([3, 4, 5, 7, 12, 40])
        import math
        angs = sorted(random.uniform(0, 2 * math.pi) for _ in range(n))
        poly = []
        for t in angs:
            r = random.uniform(1, 8)
            poly.append((F(round(4 * r * math.cos(t)), 4), F(round(4 * r * math.sin(t)), 4)))
        if random.random() < 0.5:
            poly.reverse()
        area = sum((poly[i][0] - poly[(i + 1) % n][0]) * (poly[i][1] + poly[(i + 1) % n][1]) for i in range(n)) / 2
        lines.append("P %d %d %s" % (pid, n, " ".join("%r %r" % (float(x), float(y)) for x, y in poly)))
        lines.append("A %d %r" % (pid, float(area)))
        pts = [(F(random.randint(-80, 80), 8), F(random.randint(-80, 80), 8)) for _ in range(30)]
        pts += [poly[random.randrange(n)] for _ in range(3)]
        for _ in range(4):  # midpoints of edges (boundary)
            i = random.randrange(n)
            pts.append(((poly[i - 1][0] + poly[i][0]) / 2, (poly[i - 1][1] + poly[i][1]) / 2))
        for p in pts:
            lines.append("Q %d %r %r %d" % (pid, float(p[0]), float(p[1]), classify(p, poly)))
    with open("polygons.txt", "w") as f:
        f.write("\n".join(lines) + "\n")


great_circle()
polygons()
