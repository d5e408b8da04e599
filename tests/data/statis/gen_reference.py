#!/usr/bin/env python3
"""Reference values for the statis tests, in exact rational arithmetic.

ks_exact.txt:  n  d  P(D_n >= d)   one-sample two-sided Kolmogorov-Smirnov
  For d >= 1/2 by the Birnbaum-Tingey formula (the events D+ >= d and
  D- >= d are disjoint there, so P(D_n >= d) = 2 P(D+_n >= d)); for d < 1/2
  by Durbin's matrix formula P(D_n < d) = n!/n^n (H^n)_kk evaluated with
  fractions (no rounding anywhere).
mannwhitney_exact.txt:  n1 n2 u  P(U = u)  P(U <= u)
  Counts of the orderings with U = u are the coefficients of the Gaussian
  binomial coefficient [n1+n2 choose n1]_q, built with exact integers as
  prod_{i=1..n1} (1 - q^(n2+i)) / (1 - q^i).
sw_montecarlo.txt:  n  W  P(W' <= W)  standard error
  Monte Carlo null distribution of the Shapiro-Wilk W with Royston's (1992)
  approximations of the coefficients a_i, 40000 normal samples per n
  (seeded), independent of the p-value approximation under test.
Values are written with 25 significant digits.
"""
from fractions import Fraction
from decimal import Decimal, getcontext
from math import comb, factorial
import os
import math
import random
from statistics import NormalDist

getcontext().prec = 40
HERE = os.path.dirname(os.path.abspath(__file__))


def dec(fr):
    return format(Decimal(fr.numerator) / Decimal(fr.denominator), '.25g')


def birnbaum_tingey_upper(n, d):
    """P(D+_n >= d), exact for rational d."""
    total = Fraction(0)
    jmax = int((n * (1 - d)))
    for j in range(0, jmax + 1):
        a = 1 - d - Fraction(j, n)
        b = d + Fraction(j, n)
        total += comb(n, j) * a ** (n - j) * b ** (j - 1)
    return d * total


def durbin_cdf(n, d):
    """P(D_n < d) by the matrix formula, exact."""
    k = int(n * d) + 1
    m = 2 * k - 1
    h = k - n * d
    H = [[Fraction(1) if i - j + 1 >= 0 else Fraction(0) for j in range(m)] for i in range(m)]
    for i in range(m):
        H[i][0] -= h ** (i + 1)
        H[m - 1][i] -= h ** (m - i)
    if 2 * h - 1 > 0:
        H[m - 1][0] += (2 * h - 1) ** m
    for i in range(m):
        for j in range(m):
            if i - j + 1 > 0:
                H[i][j] /= factorial(i - j + 1)

    def mul(A, B):
        return [[sum(A[i][t] * B[t][j] for t in range(m)) for j in range(m)] for i in range(m)]

    def power(A, e):
        R = None
        P = A
        while e:
            if e & 1:
                R = P if R is None else mul(R, P)
            e >>= 1
            if e:
                P = mul(P, P)
        return R

    Q = power(H, n)
    return Fraction(factorial(n), n ** n) * Q[k - 1][k - 1]


def ks_rows():
    rows = []
    cases = {1: ['0.3', '0.55', '0.75', '0.9'],
             2: ['0.3', '0.45', '0.6', '0.85'],
             3: ['0.25', '0.4', '0.55', '0.7'],
             5: ['0.15', '0.3', '0.45', '0.6', '0.8'],
             10: ['0.1', '0.2', '0.3', '0.41', '0.52', '0.66'],
             20: ['0.07', '0.15', '0.23', '0.294', '0.356', '0.5'],
             40: ['0.05', '0.1', '0.17', '0.21', '0.3', '0.38']}
    for n, ds in cases.items():
        for ds_ in ds:
            d = Fraction(ds_)
            if d >= Fraction(1, 2):
                p = 2 * birnbaum_tingey_upper(n, d)
            else:
                p = 1 - durbin_cdf(n, d)
            rows.append(f'{n} {ds_} {dec(p)}')
    # cross-check of the two methods where both apply
    for n, ds_ in [(5, '0.6'), (10, '0.52'), (3, '0.55')]:
        d = Fraction(ds_)
        a = 2 * birnbaum_tingey_upper(n, d)
        b = 1 - durbin_cdf(n, d)
        assert a == b, (n, ds_, float(a), float(b))
    return rows


def gauss_binomial(n1, n2):
    c = [1]
    for i in range(1, n1 + 1):
        # multiply by (1 - q^(n2+i))
        s = n2 + i
        c = c + [0] * s
        for t in range(len(c) - 1, s - 1, -1):
            c[t] -= c[t - s]
        # divide by (1 - q^i): running sum with stride i
        for t in range(i, len(c)):
            c[t] += c[t - i]
        while c and c[-1] == 0:
            c.pop()
    return c


def mw_rows():
    rows = []
    cases = [(3, 4), (10, 12), (25, 30), (50, 50), (7, 90), (100, 100)]
    for n1, n2 in cases:
        c = gauss_binomial(n1, n2)
        total = comb(n1 + n2, n1)
        assert sum(c) == total and len(c) == n1 * n2 + 1
        mn = n1 * n2
        us = sorted(set([0, 1, 2, mn // 20, mn // 10, mn // 4, mn // 3, mn // 2, mn - 1, mn]))
        cum = 0
        cums = []
        for v in c:
            cum += v
            cums.append(cum)
        for u in us:
            rows.append(f'{n1} {n2} {u} {dec(Fraction(c[u], total))} {dec(Fraction(cums[u], total))}')
    return rows


def sw_coefficients(n):
    """Royston's approximation of the Shapiro-Wilk coefficients a_i."""
    N = NormalDist()
    m = [N.inv_cdf((i - 0.375) / (n + 0.25)) for i in range(1, n + 1)]
    mm = sum(v * v for v in m)
    u = 1 / math.sqrt(n)
    cn = m[-1] / math.sqrt(mm)
    cn1 = m[-2] / math.sqrt(mm)
    an = cn + 0.221157 * u - 0.147981 * u**2 - 2.071190 * u**3 + 4.434685 * u**4 - 2.706056 * u**5
    if n <= 5:
        phi = (mm - 2 * m[-1] ** 2) / (1 - 2 * an ** 2)
        a = [v / math.sqrt(phi) for v in m]
        a[-1], a[0] = an, -an
        return a
    an1 = cn1 + 0.042981 * u - 0.293762 * u**2 - 1.752461 * u**3 + 5.682633 * u**4 - 3.582633 * u**5
    phi = (mm - 2 * m[-1] ** 2 - 2 * m[-2] ** 2) / (1 - 2 * an ** 2 - 2 * an1 ** 2)
    a = [v / math.sqrt(phi) for v in m]
    a[-1], a[-2], a[0], a[1] = an, an1, -an, -an1
    return a


def sw_rows():
    rows = []
    rng = random.Random(20240611)
    reps = 40000
    for n, ws in [(8, [0.80, 0.85, 0.90]), (15, [0.85, 0.90, 0.94]), (30, [0.90, 0.93, 0.96]),
                  (50, [0.93, 0.95, 0.97]), (100, [0.96, 0.975, 0.985])]:
        a = sw_coefficients(n)
        count = [0] * len(ws)
        for _ in range(reps):
            x = sorted(rng.gauss(0, 1) for _ in range(n))
            mu = sum(x) / n
            ss = sum((v - mu) ** 2 for v in x)
            W = sum(ai * xi for ai, xi in zip(a, x)) ** 2 / ss
            for k, w in enumerate(ws):
                if W <= w:
                    count[k] += 1
        for k, w in enumerate(ws):
            p = count[k] / reps
            rows.append(f'{n} {w} {p:.6f} {math.sqrt(p * (1 - p) / reps):.6f}')
    return rows


if __name__ == '__main__':
    with open(os.path.join(HERE, 'ks_exact.txt'), 'w') as f:
        f.write('# n d P(D_n >= d), exact rational arithmetic (gen_reference.py)\n')
        f.write('\n'.join(ks_rows()) + '\n')
    with open(os.path.join(HERE, 'mannwhitney_exact.txt'), 'w') as f:
        f.write('# n1 n2 u P(U = u) P(U <= u), exact integer counts (gen_reference.py)\n')
        f.write('\n'.join(mw_rows()) + '\n')
    with open(os.path.join(HERE, 'sw_montecarlo.txt'), 'w') as f:
        f.write("# n W P(W' <= W) standard-error, Monte Carlo (gen_reference.py)\n")
        f.write('\n'.join(sw_rows()) + '\n')
