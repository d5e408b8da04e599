#!/usr/bin/python3
# Reference values of the data table's covariance family (CalcCovar).
# Table: 4 columns x 12 rows with some missing cells ("nan" below = empty
# cell); column 4 sits at an offset of 1e8 with a small spread, so that a
# one-pass formula would lose all digits. Modes:
#   0: sum(x y) / (m - 1) over the rows where both cells are present
#   1: sum((x - mean_x)(y - mean_y)) / (m - 1), each mean over the column's
#      own present cells
#   2: Pearson's r over the pairwise complete rows (pandas DataFrame.corr)
#   3: r^2
#   4: sum((x - y)^2) / (m - 1)
# Sums are taken in exact rational arithmetic (fractions), so the reference
# is independent of any floating-point summation order.
# Output: covar_ref.txt -- first the table (12 lines of 4 values, "nan" for
# an empty cell), then for each mode a line "mode k" and 4 lines of 4 values.
from fractions import Fraction as F
import math

import numpy as np
import pandas as pd

rng = np.random.default_rng(20261208)
x = rng.normal(size=(12, 4))
x[:, 1] = 0.8 * x[:, 0] + 0.3 * x[:, 1]
x[:, 3] = 1e8 + 1e-3 * (x[:, 2] + 0.5 * x[:, 3])
x = np.round(x * 2**20) / 2**20   # short binary fractions: exact as text
x[3, 1] = np.nan
x[7, 2] = np.nan
x[9, 3] = np.nan
x[0, 2] = np.nan
n = x.shape[1]

def present(c):
    return [r for r in range(x.shape[0]) if not math.isnan(x[r, c])]

def mean(c):
    rows = present(c)
    return sum(F(x[r, c]) for r in rows) / len(rows)

def cell(mode, i, j):
    rows = [r for r in range(x.shape[0]) if not math.isnan(x[r, i]) and not math.isnan(x[r, j])]
    m = len(rows)
    xs = [F(x[r, i]) for r in rows]
    ys = [F(x[r, j]) for r in rows]
    if mode == 0:
        return float(sum(a * b for a, b in zip(xs, ys)) / (m - 1))
    if mode == 1:
        mi, mj = mean(i), mean(j)
        return float(sum((a - mi) * (b - mj) for a, b in zip(xs, ys)) / (m - 1))
    if mode == 4:
        return float(sum((a - b) ** 2 for a, b in zip(xs, ys)) / (m - 1))
    if i == j:
        return 1.0
    mx = sum(xs) / m
    my = sum(ys) / m
    sxy = sum((a - mx) * (b - my) for a, b in zip(xs, ys))
    sxx = sum((a - mx) ** 2 for a in xs)
    syy = sum((b - my) ** 2 for b in ys)
    r = float(sxy) / math.sqrt(float(sxx) * float(syy))
    return r if mode == 2 else r * r

# Cross-check mode 2 against pandas' pairwise correlation (the columns
# without the large offset, where pandas keeps its digits).
pc = pd.DataFrame(x).corr().to_numpy()
for i in range(n - 1):
    for j in range(n - 1):
        assert abs(pc[i, j] - cell(2, i, j)) < 1e-6, (i, j)

with open("covar_ref.txt", "w") as f:
    for row in x:
        f.write(" ".join("nan" if math.isnan(v) else repr(float(v)) for v in row) + "\n")
    for mode in range(5):
        f.write("mode %d\n" % mode)
        for i in range(n):
            f.write(" ".join(repr(cell(mode, i, j)) for j in range(n)) + "\n")
