#!/usr/bin/python3
"""Reference values of the multivariate routines (covariance, eigen
decomposition, principal components). Run with Debian's python3 (NumPy).

covar.txt: a 7 x 4 data matrix with a large offset, and its association
matrices in the five modes, computed in exact rational arithmetic from the
doubles as stored (fractions.Fraction), then rounded once to double.
eigen.txt: a 12 x 12 symmetric matrix, its eigenvalues (numpy.linalg.eigh,
LAPACK's divide and conquer), and the eigenvalues of the covariance matrix of
a 30 x 5 data set as explained fractions in descending order.

Format: blocks "name rows cols" followed by rows of numbers written with
17 significant digits (repr).
"""
from fractions import Fraction as F
import math
import numpy as np

rng = np.random.default_rng(20261208)


def put(f, name, a):
    a = np.atleast_2d(np.asarray(a, dtype=float))
    f.write(f"{name} {a.shape[0]} {a.shape[1]}\n")
    for row in a:
        f.write(" ".join(repr(float(x)) for x in row) + "\n")


def exact_modes(x):
    m, n = x.shape
    cols = [[F(float(v)) for v in x[:, j]] for j in range(n)]
    means = [sum(c) / m for c in cols]
    ssd = [sum((v - mu) ** 2 for v in c) for c, mu in zip(cols, means)]
    out = {}
    for mode in range(5):
        r = np.zeros((n, n))
        for i in range(n):
            for j in range(n):
                a, b = cols[i], cols[j]
                if mode == 0:
                    v = sum(p * q for p, q in zip(a, b)) / (m - 1)
                elif mode == 4:
                    v = sum((p - q) ** 2 for p, q in zip(a, b)) / (m - 1)
                else:
                    v = sum((p - means[i]) * (q - means[j]) for p, q in zip(a, b)) / (m - 1)
                if mode in (2, 3):
                    # covariance / sqrt(var_i var_j), in high precision
                    s = math.sqrt(float(ssd[i] / (m - 1))) * math.sqrt(float(ssd[j] / (m - 1)))
                    rho = v * (m - 1) / F(1)  # Sxy
                    # rho = Sxy / sqrt(Sxx Syy), exact square then one sqrt
                    sq = rho * rho / (ssd[i] * ssd[j])
                    val = math.copysign(math.sqrt(float(sq)), float(rho))
                    v = F(val) if mode == 2 else sq
                    if mode == 2 and i == j:
                        v = F(1)
                r[i, j] = float(v)
        out[mode] = r
    return out


with open("covar.txt", "w") as f:
    x = 1.0e6 + rng.normal(size=(7, 4)).round(6)
    x[:, 3] = 3.0 * x[:, 0] - 2.0e6 + rng.normal(size=7) * 1e-3
    put(f, "data", x)
    for mode, r in exact_modes(x).items():
        put(f, f"mode{mode}", r)

with open("eigen.txt", "w") as f:
    a = rng.normal(size=(12, 12))
    a = (a + a.T) / 2
    put(f, "sym", a)
    put(f, "eigvals", np.linalg.eigvalsh(a))
    d = rng.normal(size=(30, 5)) @ rng.normal(size=(5, 5)) + 10.0
    put(f, "pcadata", d)
    w = np.linalg.eigvalsh(np.cov(d, rowvar=False))[::-1]
    put(f, "pcafractions", w / np.abs(w).sum())
    wc = np.linalg.eigvalsh(np.corrcoef(d, rowvar=False))[::-1]
    put(f, "pcacorr", wc)

# regress.txt: predictors (25 x 4, offsets and mixed scales) and y; the
# ordinary least-squares fit with intercept (coefficients, standard errors),
# ridge on raw and on standardised predictors for lambda = 2.5 from the
# closed forms (Xc^T Xc + lambda I)^-1 Xc^T yc; a 6 x 4 matrix and its
# singular values; a least-squares right-hand side and its solution.
with open("regress.txt", "w") as f:
    m = 25
    X = rng.normal(size=(m, 4)) * [1.0, 10.0, 0.1, 3.0] + [5.0, -100.0, 0.0, 1e3]
    y = 2.0 + X @ [1.5, -0.2, 7.0, 0.05] + rng.normal(size=m) * 0.3
    put(f, "X", X)
    put(f, "y", y)
    A = np.column_stack([np.ones(m), X])
    coef, *_ = np.linalg.lstsq(A, y, rcond=None)
    res = y - A @ coef
    s2 = res @ res / (m - 5)
    se = np.sqrt(np.diag(s2 * np.linalg.inv(A.T @ A)))
    put(f, "ols_coef", coef)
    put(f, "ols_se", se)
    put(f, "ols_r2", [1 - res @ res / ((y - y.mean()) @ (y - y.mean()))])
    lam = 2.5
    xm = X.mean(axis=0)
    Xc = X - xm
    yc = y - y.mean()
    b = np.linalg.solve(Xc.T @ Xc + lam * np.eye(4), Xc.T @ yc)
    put(f, "ridge_coef", np.concatenate([[y.mean() - xm @ b], b]))
    sd = X.std(axis=0, ddof=1)
    Z = Xc / sd
    bs = np.linalg.solve(Z.T @ Z + lam * np.eye(4), Z.T @ yc)
    put(f, "ridgestd_std", bs)
    put(f, "ridgestd_coef", np.concatenate([[y.mean() - xm @ (bs / sd)], bs / sd]))
    S = rng.normal(size=(6, 4))
    put(f, "svd_a", S)
    put(f, "svd_w", np.linalg.svd(S, compute_uv=False))
    rhs = rng.normal(size=6)
    put(f, "svd_b", rhs)
    put(f, "svd_x", np.linalg.lstsq(S, rhs, rcond=None)[0])

# simpls.txt: X (20 x 5) and Y (20 x 2) and the SIMPLS model with 3
# components, computed by the algorithm of de Jong (1993) written out in
# NumPy (the dominant eigenvector of S^T S from numpy.linalg.eigh, its
# largest component positive); Y1 (20 x 1) with 5 components, whose
# coefficients must equal the least-squares ones (numpy.linalg.lstsq).
def simpls(X, Y, A):
    X0 = X - X.mean(axis=0)
    Y0 = Y - Y.mean(axis=0)
    n, p = X.shape[1], Y.shape[1]
    S = X0.T @ Y0
    R, T, P, Q, U, V = ([] for _ in range(6))
    for a in range(A):
        if p == 1:
            q = np.array([1.0])
        else:
            w, vec = np.linalg.eigh(S.T @ S)
            q = vec[:, -1]
            if q[np.argmax(np.abs(q))] < 0:
                q = -q
        r = S @ q
        t = X0 @ r
        t = t - t.mean()
        nt = np.linalg.norm(t)
        t, r = t / nt, r / nt
        pl = X0.T @ t
        ql = Y0.T @ t
        u = Y0 @ ql
        v = pl.copy()
        if a > 0:
            Vm, Tm = np.array(V).T, np.array(T).T
            v = v - Vm @ (Vm.T @ pl)
            u = u - Tm @ (Tm.T @ u)
        v = v / np.linalg.norm(v)
        S = S - np.outer(v, v @ S)
        for lst, val in zip((R, T, P, Q, U, V), (r, t, pl, ql, u, v)):
            lst.append(val)
    out = [np.array(l).T for l in (R, T, P, Q, U, V)]
    return out + [out[0] @ out[3].T]


with open("simpls.txt", "w") as f:
    X = rng.normal(size=(20, 5)) + [1.0, -2.0, 0.5, 10.0, 0.0]
    Y = np.column_stack([X @ [1.0, 0.5, -1.0, 0.2, 0.0], X @ [0.0, 1.0, 1.0, -0.3, 2.0]])
    Y = Y + rng.normal(size=Y.shape) * 0.5
    put(f, "X", X)
    put(f, "Y", Y)
    for name, val in zip(("R", "T", "P", "Q", "U", "V", "B"), simpls(X, Y, 3)):
        put(f, name, val)
    y1 = Y[:, :1]
    put(f, "Y1", y1)
    A = np.column_stack([np.ones(20), X])
    put(f, "B1", np.linalg.lstsq(A, y1[:, 0], rcond=None)[0][1:])

# vca.txt: 60 observations of 6 bands mixed from 3 endmember spectra with
# Dirichlet abundances, the pure observations at rows 7, 23 and 41
# (1-based); no noise. The endmembers and the pure rows are the reference.
with open("vca.txt", "w") as f:
    E = rng.uniform(0.1, 1.0, size=(3, 6))
    ab = rng.dirichlet([1.0, 1.0, 1.0], size=60) * 0.9 + 0.1 / 3
    for k, row in enumerate((6, 22, 40)):
        ab[row] = np.eye(3)[k]
    put(f, "data", ab @ E)
    put(f, "endmembers", E)
    put(f, "pure", [7, 23, 41])
