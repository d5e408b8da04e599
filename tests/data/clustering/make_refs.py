#!/usr/bin/python3
"""Reference data of the clustering tests.

linkage_<method>.txt: SciPy's scipy.cluster.hierarchy.linkage on random
data without ties. Lines: "n p", n data rows, then n-1 merge rows
"id1 id2 new height" with identifiers from 1 (objects 1..n, the cluster of
step s is n+s); id1 is the member holding the lower largest object number.
For ward the height is the square of SciPy's (the Lance-Williams rule on
squared Euclidean distances).

ties_<method>.txt: a plain O(n^3) transcription of the agglomerative
procedure (full scan, first minimum in row-then-column order wins) on data
with many equal distances; same layout.

kmeans_<name>.txt: Lloyd iterations in NumPy seeded with the first k
objects. Lines: "n p k", n data rows, then the total within-cluster sum
of squares, then one line with the n cluster labels (1..k, seed order).

Run: /usr/bin/python3 make_refs.py (writes into its own directory).
"""
import os
import numpy as np
from scipy.cluster.hierarchy import linkage
from scipy.spatial.distance import pdist, squareform

HERE = os.path.dirname(os.path.abspath(__file__))


def fmt(v):
    return repr(float(v))


def our_rows(Z, n):
    """SciPy's Z in this library's numbering and member order."""
    maxleaf = {i + 1: i + 1 for i in range(n)}
    rows = []
    for s, (a, b, h, _) in enumerate(Z, start=1):
        a, b = int(a) + 1, int(b) + 1
        if maxleaf[a] > maxleaf[b]:
            a, b = b, a
        maxleaf[n + s] = max(maxleaf[a], maxleaf[b])
        rows.append((a, b, n + s, h))
    return rows


def write(name, X, rows):
    n, p = X.shape
    with open(os.path.join(HERE, name), "w") as f:
        f.write(f"{n} {p}\n")
        for r in X:
            f.write(" ".join(fmt(v) for v in r) + "\n")
        for a, b, c, h in rows:
            f.write(f"{a} {b} {c} {fmt(h)}\n")


def naive(D, method, flex=0.25):
    """Literal full-scan agglomeration on a full distance matrix."""
    D = D.copy()
    n = D.shape[0]
    ident = list(range(1, n + 1))
    m = [1.0] * n
    rows = []
    for s in range(1, n):
        best, bp, bq = np.finfo(np.float32).max, -1, -1
        for p in range(n):
            if ident[p] <= 0:
                continue
            for q in range(p + 1, n):
                if ident[q] > 0 and D[p, q] < best:
                    best, bp, bq = D[p, q], p, q
        p, q, dpq = bp, bq, best
        mp, mq = m[p], m[q]
        for r in range(n):
            if ident[r] <= 0 or r in (p, q):
                continue
            dpr, dqr, mr = D[p, r], D[q, r], m[r]
            if method == "single":
                d = min(dpr, dqr)
            elif method == "complete":
                d = max(dpr, dqr)
            elif method == "ward":
                d = ((mr + mp) * dpr + (mr + mq) * dqr - mr * dpq) / (mr + mp + mq)
            elif method == "avglink":
                d = (dpr + dqr) / 2
            elif method == "flexible":
                d = flex * (dpr + dqr) + (1 - 2 * flex) * dpq
            else:  # upgma
                d = (mp * dpr + mq * dqr) / (mp + mq)
            D[r, q] = D[q, r] = d
        rows.append((ident[p], ident[q], n + s, dpq))
        ident[q] = n + s
        m[q] = mq + mp
        ident[p] = 0
        m[p] = 0
    return rows


def lloyd(X, k):
    n = X.shape[0]
    C = X[:k].copy()
    lab = np.zeros(n, dtype=int)
    for _ in range(1000):
        d = ((X[:, None, :] - C[None, :, :]) ** 2).sum(axis=2)
        new = d.argmin(axis=1) + 1
        if np.array_equal(new, lab):
            break
        lab = new
        for c in range(k):
            if (lab == c + 1).any():
                C[c] = X[lab == c + 1].mean(axis=0)
            else:
                C[c] = 0
    sse = sum(((X[i] - C[lab[i] - 1]) ** 2).sum() for i in range(n))
    return sse, lab


def main():
    rng = np.random.default_rng(20261208)
    X = rng.normal(size=(40, 3))
    for method in ("single", "complete", "average", "weighted", "ward"):
        Z = linkage(pdist(X), method)
        rows = our_rows(Z, len(X))
        if method == "ward":
            rows = [(a, b, c, h * h) for a, b, c, h in rows]
        write(f"linkage_{method}.txt", X, rows)

    # Points on a small integer grid: many equal distances.
    T = np.array([[0, 0], [1, 0], [0, 1], [1, 1], [3, 0], [4, 0], [3, 1],
                  [6, 6], [7, 6], [6, 7], [0, 5], [0, 6]], dtype=float)
    De = squareform(pdist(T))
    Ds = squareform(pdist(T, "sqeuclidean"))
    for method in ("single", "complete", "avglink", "flexible", "upgma"):
        write(f"ties_{method}.txt", T, naive(De, method))
    write("ties_ward.txt", T, naive(Ds, "ward"))

    K = np.vstack([rng.normal(loc=c, scale=0.6, size=(m, 2))
                   for c, m in (((0, 0), 30), ((4, 0), 20), ((0, 4), 12), ((5, 5), 7))])
    rng.shuffle(K)
    for name, k in (("blobs4", 4), ("blobs6", 6)):
        sse, lab = lloyd(K, k)
        with open(os.path.join(HERE, f"kmeans_{name}.txt"), "w") as f:
            f.write(f"{K.shape[0]} {K.shape[1]} {k}\n")
            for r in K:
                f.write(" ".join(fmt(v) for v in r) + "\n")
            f.write(fmt(sse) + "\n")
            f.write(" ".join(str(v) for v in lab) + "\n")


if __name__ == "__main__":
    main()
