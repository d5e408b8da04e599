#!/usr/bin/python3
"""Reference densities of the TRandGen presets (scipy.stats).

randgen_presets.csv: for each preset with its parameters, interval and
resolution, the density that the preset must store for class i (1-based),
evaluated at the class's left edge lambda_i = low + (i - 1) (high - low) / res.
The normal preset stores the unnormalised exp(-(x - m)^2 / (2 s^2)).
Run with Debian's python3 (python3-scipy); the output is checked in.
"""
import math

from scipy import stats

presets = [
    ("normal", (0.0, 1.0), -5.0, 5.0, 500),
    ("normal", (2.5, 0.5), 0.0, 5.0, 1000),
    ("t", (5,), -8.0, 8.0, 500),
    ("t", (1,), -20.0, 20.0, 4000),
    ("chi2", (4,), -2.0, 30.0, 500),
    ("chi2", (1,), 0.0, 10.0, 500),
    ("f", (5, 10), -1.0, 10.0, 500),
    ("f", (2, 7), 0.0, 8.0, 200),
    ("weibull", (2.0, 1.5), 0.0, 6.0, 500),
    ("weibull", (0.8, 3.0), 0.0, 20.0, 600),
]


def density(name, p, x):
    if name == "normal":
        return math.exp(-(x - p[0]) ** 2 / 2 / p[1] ** 2)
    if name == "t":
        return stats.t.pdf(x, p[0])
    if name == "chi2":
        return 0.0 if x < 0 else stats.chi2.pdf(x, p[0])
    if name == "f":
        return 0.0 if x <= 0 else stats.f.pdf(x, p[0], p[1])
    if name == "weibull":
        return 0.0 if x <= 0 else stats.weibull_min.pdf(x, p[0], scale=p[1])


with open("randgen_presets.csv", "w") as f:
    f.write("# preset, p1, p2, low, high, resolution, index, density at lambda_index\n")
    for name, p, lo, hi, res in presets:
        pp = list(p) + [0] * (2 - len(p))
        for i in sorted({1, 2, 3, res // 7, res // 3, res // 2 + 1, res - 1, res}):
            x = lo + (i - 1) * (hi - lo) / res
            d = density(name, p, x)
            if math.isinf(d):
                continue
            f.write("%s, %r, %r, %r, %r, %d, %d, %r\n" % (name, float(pp[0]), float(pp[1]), lo, hi, res, i, float(d)))
