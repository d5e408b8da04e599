#!/usr/bin/python3
"""Times SciPy's pdist + linkage on the data of clustering_bench.cpp
(2000 objects x 5 variables, frac(sin(12.9898 i + 78.233 j) * 43758.5453)).

Alone it prints one line per method: the median CPU time of five runs in
milliseconds. clustering_bench starts it with --serve and then asks for
one run at a time ("<method>\\n" on stdin, the CPU milliseconds on stdout),
so that both sides are timed interleaved in one table.
Run: /usr/bin/python3 bench/clustering_scipy.py"""
import statistics
import sys
import time

import numpy as np
from scipy.cluster.hierarchy import linkage
from scipy.spatial.distance import pdist

i = np.arange(2000)[:, None]
j = np.arange(5)[None, :]
s = np.sin(12.9898 * i + 78.233 * j) * 43758.5453
X = s - np.floor(s)


def once(method):
    t = time.process_time()
    linkage(pdist(X), method)
    return (time.process_time() - t) * 1e3


if len(sys.argv) > 1 and sys.argv[1] == "--serve":
    print("ready", flush=True)
    for line in sys.stdin:
        print(f"{once(line.strip()):.4f}", flush=True)
else:
    for method in ("single", "complete", "ward", "weighted", "average"):
        t = statistics.median(once(method) for _ in range(5))
        print(f"scipy linkage {method:9s} {t:8.2f} ms")
