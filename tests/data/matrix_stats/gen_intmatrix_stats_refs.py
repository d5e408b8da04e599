#!/usr/bin/python3
"""References of the integer matrix region statistics (test_tintmatrix_stats.cpp).

M is 3 columns x 4 rows, listed column by column. For each region (LoC, LoR,
HiC, HiR): skewness sum(d^3)/n/s^3 and excess kurtosis sum(d^4)/n/s^4 - 3 with
the sample standard deviation s (exact rationals, then mpmath for the root),
their bias-corrected forms (scipy.stats skew/kurtosis with bias=False),
geometric and harmonic means, quartiles by the (n + 1) f rule (numpy
'weibull' method) and nearest-rank percentiles k = round-half-even(p n / 100).
"""
from fractions import Fraction as F
import numpy as np
from scipy import stats
import mpmath as mp

mp.mp.dps = 40


def mpq(f):
    return mp.mpf(f.numerator) / f.denominator


M = [[7, 1, 4, 12], [3, 9, 2, 5], [11, 6, 8, 10]]  # columns
regions = [(1, 1, 3, 4), (2, 2, 3, 4), (1, 3, 3, 3), (1, 1, 1, 4)]
for lc, lr, hc, hr in regions:
    x = [M[c - 1][r - 1] for c in range(lc, hc + 1) for r in range(lr, hr + 1)]
    n = len(x)
    m = F(sum(x), n)
    d = [F(v) - m for v in x]
    var = sum(t * t for t in d) / (n - 1)
    s = mp.sqrt(mpq(var))
    sk = mpq(sum(t ** 3 for t in d) / n) / s ** 3
    ku = mpq(sum(t ** 4 for t in d) / n) / s ** 4 - 3
    a = np.array(x, dtype=float)
    sks = stats.skew(a, bias=False) if n >= 4 else 0.0
    kus = stats.kurtosis(a, bias=False) if n >= 4 else 0.0
    gm = stats.gmean(a)
    hm = stats.hmean(a)
    q = np.percentile(a, [25, 50, 75], method='weibull')
    srt = sorted(x)
    pct = [srt[min(round(p * n / 100), n - 1)] for p in (0, 30, 50, 90, 100)]
    print(f"{{{lc}, {lr}, {hc}, {hr}, {mp.nstr(sk, 17)}, {mp.nstr(ku, 17)}, {sks:.17g}, "
          f"{kus:.17g}, {gm:.17g}, {hm:.17g}, {q[0]:.17g}, {q[1]:.17g}, {q[2]:.17g}, "
          f"{{{', '.join(map(str, pct))}}}}},")
