#!/usr/bin/python3
"""Exact one-way ANOVA of the NIST StRD ANOVA sets as read into doubles.

Each decimal in the data files is first rounded to the nearest double (as
strtod does), then every sum is formed in exact rational arithmetic
(fractions.Fraction), so the reference is the exact ANOVA of the numbers the
library actually receives. Output: anova_exact.txt, one line per set:
  name  SSBetween  SSWithin  SSTotal  F   (each the exact value rounded to %.17g)
Run: /usr/bin/python3 tests/data/hypothesis/gen_anova_exact.py [NIST_DIR]
(NIST_DIR defaults to tests/data/nist).
"""
from fractions import Fraction
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, '..', '..', '..'))
NIST = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, 'tests', 'data', 'nist')
SETS = ['SiRstv'] + ['SmLs%02d' % i for i in range(1, 10)] + ['AtmWtAg']


def anova(path):
    groups = {}
    for line in open(path):
        if line.startswith('#') or not line.strip():
            continue
        g, y = line.split()
        groups.setdefault(g, []).append(Fraction(float(y)))
    allv = [v for vs in groups.values() for v in vs]
    n = len(allv)
    k = len(groups)
    mean = sum(allv) / n
    sst = sum((v - mean) ** 2 for v in allv)
    ssw = Fraction(0)
    ssb = Fraction(0)
    for vs in groups.values():
        m = sum(vs) / len(vs)
        ssw += sum((v - m) ** 2 for v in vs)
        ssb += len(vs) * (m - mean) ** 2
    assert ssb + ssw == sst
    f = (ssb / (k - 1)) / (ssw / (n - k))
    return ssb, ssw, sst, f


with open(os.path.join(HERE, 'anova_exact.txt'), 'w') as out:
    out.write('# Exact one-way ANOVA of the NIST sets as doubles (gen_anova_exact.py)\n')
    out.write('# name SSBetween SSWithin SSTotal F\n')
    for name in SETS:
        r = anova(os.path.join(NIST, name + '.dat'))
        out.write(name + ' ' + ' '.join('%.17g' % float(v) for v in r) + '\n')
