#!/usr/bin/python3
"""References of the two-sample and normality tests from SciPy (Debian's
python3-scipy 1.10): ttest_rel, ttest_ind (pooled and Welch), mannwhitneyu
(exact and asymptotic with continuity correction) and shapiro.

SciPy's shapiro works in single precision (its W carries about 7 digits), so
the Shapiro-Wilk lines also carry W and p recomputed here in double
precision by Royston's algorithm AS R94 (coefficients from scipy.special
.ndtri, W as 1 - W, the p-value from Royston's normalizing polynomials),
written from the published algorithm independently of the library.

Outputs (beside this script):
  samples.txt           name v1 v2 ... (every sample, %.17g)
  scipy_two_sample.txt  test sample1 sample2 variant alternative statistic p df
  scipy_shapiro.txt     sample W_scipy p_scipy W_double p_double
  scipy_misc.txt        ks sample D (kstest against N(0, 1)); lilliefors sample D
                        (kstest of the sample standardized with ddof = 1);
                        grubbs n alpha twosided G_crit (t from betaincinv)
Run: /usr/bin/python3 tests/data/hypothesis/gen_two_sample.py
"""
import math
import os

import numpy as np
from scipy import special, stats

HERE = os.path.dirname(os.path.abspath(__file__))
rng = np.random.default_rng(20261208)
samples = {}


def add(name, values):
    samples[name] = np.asarray(values, dtype=float)
    return name


# Samples: normal with different locations and spreads, a large common
# offset, heavy tails, discrete (ties) and sizes from 2 to 5000.
add('a5', rng.normal(0, 1, 5))
add('b5', rng.normal(0.8, 1, 5))
add('a12', rng.normal(10, 2, 12))
add('b12', rng.normal(11, 2, 12))
add('c12', rng.normal(10.5, 6, 12))
add('a40', rng.normal(0, 1, 40))
add('b33', rng.normal(0.4, 3, 33))
add('a200', rng.standard_t(3, 200))
add('b150', rng.standard_t(3, 150) + 0.3)
add('off30', 1e6 + rng.normal(0, 1e-3, 30))
add('offb30', 1e6 + 2e-4 + rng.normal(0, 1e-3, 30))
add('ties25', np.round(rng.normal(5, 2, 25)))
add('tiesb31', np.round(rng.normal(6, 2, 31)))
add('a49', rng.normal(0, 1, 49))
add('b45', rng.normal(0.5, 1, 45))
add('a60', rng.exponential(1.0, 60))
add('b70', rng.exponential(1.3, 70))
add('far10', rng.normal(0, 1, 10))
add('farb10', rng.normal(6, 1, 10))
for n in (3, 4, 5, 6, 7, 11, 12, 20, 50, 100, 1000, 5000):
    add('sw%d' % n, rng.normal(3, 2, n))
add('swexp40', rng.exponential(1.0, 40))
add('swunif300', rng.uniform(0, 1, 300))
add('swlog2000', rng.lognormal(0, 0.5, 2000))
add('swoff25', 1e9 + rng.normal(0, 1, 25))

lines = []


def tline(test, s1, s2, variant, alt, res, df):
    lines.append('%s %s %s %s %s %.17g %.17g %.17g' % (test, s1, s2, variant, alt, res.statistic,
                                                       res.pvalue, df))


def welch_df(x, y):
    q1 = np.var(x, ddof=1) / len(x)
    q2 = np.var(y, ddof=1) / len(y)
    return (q1 + q2) ** 2 / (q1 * q1 / (len(x) - 1) + q2 * q2 / (len(y) - 1))


pairs = [('a5', 'b5'), ('a12', 'b12'), ('a12', 'c12'), ('a40', 'b33'), ('a200', 'b150'),
         ('off30', 'offb30'), ('ties25', 'tiesb31'), ('far10', 'farb10')]
paired = [('a5', 'b5'), ('a12', 'b12'), ('a12', 'c12'), ('off30', 'offb30'), ('far10', 'farb10')]
for alt in ('two-sided', 'greater'):
    for s1, s2 in pairs:
        x, y = samples[s1], samples[s2]
        tline('ttest', s1, s2, 'pooled', alt, stats.ttest_ind(x, y, equal_var=True,
                                                              alternative=alt), len(x) + len(y) - 2)
        tline('ttest', s1, s2, 'welch', alt, stats.ttest_ind(x, y, equal_var=False,
                                                             alternative=alt), welch_df(x, y))
    for s1, s2 in paired:
        x, y = samples[s1], samples[s2]
        tline('ttest', s1, s2, 'paired', alt, stats.ttest_rel(x, y, alternative=alt), len(x) - 1)

# Mann-Whitney: exact without ties and both samples below 50, otherwise the
# normal approximation with tie and continuity correction.
mw_pairs = [('a5', 'b5', 'exact'), ('a12', 'b12', 'exact'), ('a40', 'b33', 'exact'),
            ('a49', 'b45', 'exact'), ('far10', 'farb10', 'exact'), ('b5', 'a12', 'exact'),
            ('ties25', 'tiesb31', 'asymptotic'), ('a60', 'b70', 'asymptotic'),
            ('a200', 'b150', 'asymptotic'), ('a49', 'b70', 'asymptotic')]
for alt in ('two-sided', 'greater'):
    for s1, s2, method in mw_pairs:
        r = stats.mannwhitneyu(samples[s1], samples[s2], use_continuity=True, alternative=alt,
                               method=method)
        tline('mannwhitney', s1, s2, method, alt, r, 0)


def swilk_double(x):
    """W and p of AS R94 for a complete sample, in double precision."""
    x = np.sort(np.asarray(x, dtype=float))
    n = len(x)
    nn2 = n // 2
    if n == 3:
        a = [0.0, math.sqrt(0.5)]
    else:
        m = [0.0] + [special.ndtri((i - 0.375) / (n + 0.25)) for i in range(1, nn2 + 1)]
        summ2 = 2.0 * sum(v * v for v in m[1:])
        ssumm2 = math.sqrt(summ2)
        rsn = 1.0 / math.sqrt(n)
        c1 = [0.0, 0.221157, -0.147981, -2.07119, 4.434685, -2.706056]
        c2 = [0.0, 0.042981, -0.293762, -1.752461, 5.682633, -3.582633]
        poly = lambda c, v: sum(ci * v ** i for i, ci in enumerate(c))
        a = list(m)
        a1 = poly(c1, rsn) - m[1] / ssumm2
        if n > 5:
            a2 = -m[2] / ssumm2 + poly(c2, rsn)
            fac = math.sqrt((summ2 - 2 * m[1] ** 2 - 2 * m[2] ** 2) / (1 - 2 * a1 ** 2 - 2 * a2 ** 2))
            a[2] = a2
            i1 = 3
        else:
            fac = math.sqrt((summ2 - 2 * m[1] ** 2) / (1 - 2 * a1 ** 2))
            i1 = 2
        a[1] = a1
        for i in range(i1, nn2 + 1):
            a[i] = -a[i] / fac
    coef = np.zeros(n)
    for i in range(1, nn2 + 1):
        coef[i - 1] = -a[i]
        coef[n - i] = a[i]
    xc = (x - np.median(x)) / (x[-1] - x[0])
    ac = coef - coef.mean()
    xd = xc - xc.mean()
    ssa, ssx, sax = float(ac @ ac), float(xd @ xd), float(ac @ xd)
    r = math.sqrt(ssa * ssx)
    w = 1.0 - (r - sax) * (r + sax) / (ssa * ssx)
    if n == 3:
        return w, max(0.0, 6 / math.pi * (math.asin(math.sqrt(w)) - math.pi / 3))
    y = math.log1p(-w)
    if n <= 11:
        gamma = -2.273 + 0.459 * n
        y = -math.log(gamma - y)
        mu = 0.544 - 0.39978 * n + 0.025054 * n ** 2 - 6.714e-4 * n ** 3
        s = math.exp(1.3822 - 0.77857 * n + 0.062767 * n ** 2 - 0.0020322 * n ** 3)
    else:
        xx = math.log(n)
        mu = -1.5861 - 0.31082 * xx - 0.083751 * xx ** 2 + 0.0038915 * xx ** 3
        s = math.exp(-0.4803 - 0.082676 * xx + 0.0030302 * xx ** 2)
    return w, float(special.ndtr(-(y - mu) / s))


sw = []
for name in samples:
    if name.startswith('sw'):
        r = stats.shapiro(samples[name])
        wd, pd = swilk_double(samples[name])
        sw.append('%s %.17g %.17g %.17g %.17g' % (name, r.statistic, r.pvalue, wd, pd))

misc = []
for name in ('a5', 'a12', 'a40', 'a200', 'sw50', 'swexp40', 'far10'):
    x = samples[name]
    misc.append('ks %s %.17g' % (name, stats.kstest(x, 'norm').statistic))
    z = (x - x.mean()) / x.std(ddof=1)
    misc.append('lilliefors %s %.17g' % (name, stats.kstest(z, 'norm').statistic))
for n in (3, 4, 5, 7, 10, 20, 30, 50, 100, 1000):
    for alpha in (0.01, 0.05, 0.1):
        for two in (1, 0):
            # t quantile through the inverse incomplete beta function (cephes,
            # full double precision; stats.t.ppf goes through cdflib, good
            # to about 1e-10 only): P(|T| > t) = I_x(df/2, 1/2), x = df/(df+t^2).
            q = alpha / ((2 if two else 1) * n)
            x = special.betaincinv((n - 2) / 2, 0.5, 2 * q)
            t = math.sqrt((n - 2) * (1 / x - 1))
            g = (n - 1) / math.sqrt(n) * math.sqrt(t * t / (n - 2 + t * t))
            misc.append('grubbs %d %.17g %d %.17g' % (n, alpha, two, g))
with open(os.path.join(HERE, 'scipy_misc.txt'), 'w') as f:
    f.write('# SciPy %s: ks sample D | lilliefors sample D | grubbs n alpha twosided G\n'
            % __import__('scipy').__version__)
    f.write('\n'.join(misc) + '\n')
with open(os.path.join(HERE, 'samples.txt'), 'w') as f:
    f.write('# Samples of the two-sample and normality references (gen_two_sample.py)\n')
    for name, v in samples.items():
        f.write(name + ' ' + ' '.join('%.17g' % x for x in v) + '\n')
with open(os.path.join(HERE, 'scipy_two_sample.txt'), 'w') as f:
    f.write('# SciPy %s: test sample1 sample2 variant alternative statistic p df\n'
            % __import__('scipy').__version__)
    f.write('\n'.join(lines) + '\n')
with open(os.path.join(HERE, 'scipy_shapiro.txt'), 'w') as f:
    f.write('# SciPy %s shapiro (single precision) and AS R94 in double precision:\n'
            % __import__('scipy').__version__)
    f.write('# sample W_scipy p_scipy W_double p_double\n')
    f.write('\n'.join(sw) + '\n')
