#!/usr/bin/env python3
"""Exact reference moments of data with a large common offset.

x_k = 1e9 + dx_k and y_k = 2e9 + dy_k, each rounded to the nearest double
(Python floats), then every moment is computed in exact rational arithmetic
from those doubles and printed to 17 significant digits. Used by
test_tvector_stats.cpp (TVectorStats.LargeOffsetKeepsNineDigits).
"""
from fractions import Fraction as F
from decimal import Decimal, getcontext

getcontext().prec = 50
dx = [0.1, 0.25, 0.3, 0.7, 0.95, 0.05, 0.5, 0.65, 0.2, 0.8, 0.45]
dy = [0.3, 0.2, 0.45, 0.9, 0.85, 0.1, 0.6, 0.5, 0.35, 0.95, 0.4]
x = [F(1e9 + d) for d in dx]
y = [F(2e9 + d) for d in dy]
n = len(x)

m = sum(x) / n
d = [v - m for v in x]
s2 = sum(v * v for v in d)
var = s2 / (n - 1)
sd = (Decimal(var.numerator) / Decimal(var.denominator)).sqrt()
s3 = sum(v ** 3 for v in d)
s4 = sum(v ** 4 for v in d)
dec = lambda q: Decimal(q.numerator) / Decimal(q.denominator)
skew = dec(s3) / n / sd ** 3
kurt = dec(s4) / n / sd ** 4 - 3
my = sum(y) / n
e = [v - my for v in y]
sxy = sum(a * b for a, b in zip(d, e))
qy = sum(b * b for b in e)
r = dec(sxy) / (dec(s2) * dec(qy)).sqrt()
print("mean     %.17g" % float(m))
print("variance %.17g" % float(var))
print("skewness %.17g" % float(skew))
print("kurtosis %.17g" % float(kurt))
print("pearson  %.17g" % float(r))
