#!/usr/bin/python3
"""Times SciPy's pdist + linkage on the data of clustering_bench.cpp
(2000 objects x 5 variables, frac(sin(12.9898 i + 78.233 j) * 43758.5453)),
one line per method, the best of five runs in milliseconds.
Run: /usr/bin/python3 bench/clustering_scipy.py"""
import time
import numpy as np
from scipy.cluster.hierarchy import linkage
from scipy.spatial.distance import pdist

i = np.arange(2000)[:, None]
j = np.arange(5)[None, :]
s = np.sin(12.9898 * i + 78.233 * j) * 43758.5453
X = s - np.floor(s)
for method in ("single", "complete", "ward", "weighted", "average"):
    best = float("inf")
    for _ in range(5):
        t = time.perf_counter()
        linkage(pdist(X), method)
        best = min(best, time.perf_counter() - t)
    print(f"scipy linkage {method:9s} {best * 1e3:8.2f} ms")
