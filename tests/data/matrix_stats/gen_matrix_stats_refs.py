#!/usr/bin/env python3
"""Reference values of the TMatrix statistics and distance tests.

Everything is computed from the exact binary values of the doubles
(fractions.Fraction(float) is exact), in rational arithmetic where the
quantity is rational and with 60-digit decimal arithmetic for square roots,
logarithms and exponentials; float(Fraction) and float(Decimal) round
correctly to the nearest double. So the references are the correctly
rounded values of the exact quantities for the stored data -- independent
of numbra and of any floating-point summation order.

Writes matrix_stats_refs.txt next to this script:
  matrix <name> <ncols> <nrows>          followed by <nrows> lines "row v1 .. vncols"
  region <name> <lc> <lr> <hc> <hr> = n sum mean var skew kurt skew_s kurt_s
                                       gmean hmean q1 q2 q3 min max
      moments with the matrices' rules: var = SSD / (n - 1) (1.0 for n < 3),
      skew = S3 / n / s^3, kurt = S4 / n / s^4 - 3 with s^2 = SSD / (n - 1);
      the sample forms S n^2 / ((n-1)(n-2)) and (K + 3) n^2 (n+1) /
      ((n-1)(n-2)(n-3)) - 3 (n-1)^2 / ((n-2)(n-3)); quartiles by the
      (n + 1) p rule with interpolation.
  pct <name> <lc> <lr> <hc> <hr> <prob> = value
      element at position round-half-even(prob n / 100), at most n - 1, of
      the ascending order.
  corr <name1> <name2> = r       Pearson's r over all element pairs.
  dist <name> <mode> <i> <j> = d  distance of rows i and j (modes jaccard,
      manhattan, euclid, euclidsqr, dice).
  nist NumAcc4 = mean var
      exact mean and variance of the double values of NIST's NumAcc4 data
      set (tests/data/foundation_scalar/nist), which the tests lay out as a
      column or a row of a matrix.
Run: python3 gen_matrix_stats_refs.py
"""
import os
import random
from decimal import Decimal, getcontext
from fractions import Fraction

getcontext().prec = 60
HERE = os.path.dirname(os.path.abspath(__file__))


def dec(q):
    return Decimal(q.numerator) / Decimal(q.denominator)


def fmt(x):
    return repr(float(x))


def sqrt_q(q):
    return dec(q).sqrt()


def moments(vals):
    xs = [Fraction(v) for v in vals]
    n = len(xs)
    s = sum(xs)
    m = s / n
    d = [x - m for x in xs]
    s2 = sum(t * t for t in d)
    s3 = sum(t ** 3 for t in d)
    s4 = sum(t ** 4 for t in d)
    var = Fraction(1) if n < 3 else s2 / (n - 1)
    if n < 2:
        skew = kurt = Decimal(0)
    else:
        v = s2 / (n - 1)
        if v == 0:
            skew, kurt = dec(s3), dec(s4)
        else:
            skew = dec(s3 / n) / (sqrt_q(v) ** 3)
            kurt = dec(s4 / n / (v * v)) - 3
    if n < 4:
        skew_s = kurt_s = Decimal(0)
    else:
        N = Decimal(n)
        skew_s = skew * N * N / ((N - 1) * (N - 2))
        kurt_s = (kurt + 3) * N * N * (N + 1) / ((N - 1) * (N - 2) * (N - 3)) - 3 * (N - 1) ** 2 / (
            (N - 2) * (N - 3))
    gmean = (sum(Decimal(v).ln() for v in vals) / n).exp()
    hmean = Fraction(n) / sum(1 / x for x in xs)
    srt = sorted(xs)
    qs = []
    for p in (Fraction(1, 4), Fraction(1, 2), Fraction(3, 4)):
        if n == 1:
            qs.append(srt[0])
            continue
        pos = (n + 1) * p
        k = pos.numerator // pos.denominator
        f = pos - k
        if k == 0:
            qs.append(srt[0])
        elif k >= n:
            qs.append(srt[-1])
        else:
            qs.append(srt[k - 1] + (srt[k] - srt[k - 1]) * f)
    return [n, s, m, var, skew, kurt, skew_s, kurt_s, gmean, hmean] + qs + [srt[0], srt[-1]]


def percentile(vals, prob):
    n = len(vals)
    q = Fraction(prob) * n / 100
    k = round(q)  # Python rounds Fractions half to even
    k = min(k, n - 1)
    return sorted(vals)[k]


def region_values(rows, lc, lr, hc, hr):
    out = []
    for c in range(lc, hc + 1):
        for r in range(lr, hr + 1):
            out.append(rows[r - 1][c - 1])
    return out


def pearson(a, b):
    xs = [Fraction(v) for v in a]
    ys = [Fraction(v) for v in b]
    n = len(xs)
    mx = sum(xs) / n
    my = sum(ys) / n
    sxy = sum((x - mx) * (y - my) for x, y in zip(xs, ys))
    sxx = sum((x - mx) ** 2 for x in xs)
    syy = sum((y - my) ** 2 for y in ys)
    return dec(sxy) / (sqrt_q(sxx) * sqrt_q(syy))


def distance(mode, x, y):
    x = [Fraction(v) for v in x]
    y = [Fraction(v) for v in y]
    sxy = sum(a * b for a, b in zip(x, y))
    sxx = sum(a * a for a in x)
    syy = sum(b * b for b in y)
    if mode == "jaccard":
        return sxy / (sxx + syy - sxy)
    if mode == "dice":
        return 2 * sxy / (sxx + syy)
    if mode == "manhattan":
        return sum(abs(a - b) for a, b in zip(x, y))
    sq = sum((a - b) ** 2 for a, b in zip(x, y))
    return sq if mode == "euclidsqr" else sqrt_q(sq)


def main():
    rng = random.Random(20240611)
    mats = {}
    # A: 5 columns x 8 rows near 1e9, spread below 1: the textbook formulas
    # lose every digit of the variance here.
    mats["A"] = [[1e9 + rng.randrange(1, 100) / 100 for _ in range(5)] for _ in range(8)]
    # A2: a second data set of the same size for the correlation.
    mats["A2"] = [[2e9 + rng.randrange(1, 100) / 100 for _ in range(5)] for _ in range(8)]
    # B: 4 columns x 5 rows of small values with ties.
    mats["B"] = [[float(rng.choice([1, 2, 2, 3, 5, 8, 8, 13])) for _ in range(4)] for _ in range(5)]
    # D: 6 columns x 5 rows of mixed signs for the distances.
    mats["D"] = [[rng.randrange(-400, 400) / 16 for _ in range(6)] for _ in range(5)]

    lines = ["# Generated by gen_matrix_stats_refs.py -- do not edit."]
    for name, rows in mats.items():
        lines.append("matrix %s %d %d" % (name, len(rows[0]), len(rows)))
        for row in rows:
            lines.append("row " + " ".join(fmt(v) for v in row))

    regions = {
        "A": [(1, 1, 5, 8), (2, 3, 4, 7), (3, 1, 3, 8), (1, 5, 5, 5), (1, 1, 2, 8), (4, 2, 4, 3),
              (2, 6, 2, 6)],
        "B": [(1, 1, 4, 5), (2, 2, 3, 4), (1, 1, 1, 5), (1, 3, 4, 3)],
    }
    for name, regs in regions.items():
        rows = mats[name]
        for (lc, lr, hc, hr) in regs:
            vals = region_values(rows, lc, lr, hc, hr)
            res = moments(vals)
            lines.append("region %s %d %d %d %d = %d " % (name, lc, lr, hc, hr, res[0]) +
                         " ".join(fmt(v) for v in res[1:]))
            for prob in (0, 10, 25, 37.5, 50, 62.5, 90, 100):
                lines.append("pct %s %d %d %d %d %s = %s" %
                             (name, lc, lr, hc, hr, prob, fmt(percentile(vals, prob))))
    a = region_values(mats["A"], 1, 1, 5, 8)
    a2 = region_values(mats["A2"], 1, 1, 5, 8)
    lines.append("corr A A2 = " + fmt(pearson(a, a2)))
    b = region_values(mats["B"], 1, 1, 4, 5)
    d_rows = mats["D"]
    bd = region_values([r[:4] for r in d_rows], 1, 1, 4, 5)
    lines.append("corr B Dleft = " + fmt(pearson(b, bd)))
    for mode in ("jaccard", "manhattan", "euclid", "euclidsqr", "dice"):
        for i in range(1, len(d_rows) + 1):
            for j in range(i + 1, len(d_rows) + 1):
                lines.append("dist D %s %d %d = %s" %
                             (mode, i, j, fmt(distance(mode, d_rows[i - 1], d_rows[j - 1]))))

    nist = []
    with open(os.path.join(HERE, "..", "foundation_scalar", "nist", "NumAcc4.dat")) as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                nist.append(float(line))
    xs = [Fraction(v) for v in nist]
    n = len(xs)
    m = sum(xs) / n
    var = sum((x - m) ** 2 for x in xs) / (n - 1)
    lines.append("nist NumAcc4 = %s %s" % (fmt(m), fmt(var)))

    with open(os.path.join(HERE, "matrix_stats_refs.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
