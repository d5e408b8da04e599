#!/usr/bin/python3
"""Times scipy.signal.lfilter against numbra's ChebychevFilter on the same
10^6 samples, x_i = sin(0.01 i) + 0.3 sin(1.3 i), with the same design (low
pass, 8 poles, cut-off 0.1, ripple 0.5 %: cheby1 with the ripple in dB and
the ripple-edge frequency that put the -3 dB point at 0.1, numerator scaled
to unit gain at zero frequency), and runs the numbra benchmark program in the
same run so that both figures come from one machine state.

Usage: /usr/bin/python3 bench/smoothing_lfilter.py [build/bench/bench/smoothing_bench]
"""
import math
import platform
import subprocess
import sys
import timeit

import numpy as np
from scipy import signal

N, NP, FC, PR = 1000000, 8, 0.1, 0.5

eps = math.sqrt((100 / (100 - PR)) ** 2 - 1)
kx = math.cosh(math.acosh(1 / eps) / NP)
wn = 2 / math.pi * math.atan(math.tan(math.pi * FC) / kx)
b, a = signal.cheby1(NP, -20 * math.log10(1 - PR / 100), wn)
b = b * a.sum() / b.sum()

i = np.arange(1, N + 1, dtype=float)
x = np.sin(0.01 * i) + 0.3 * np.sin(1.3 * i)
P = NP + 1
u = np.concatenate((np.zeros(P), x, np.zeros(P)))


def one():
    signal.lfilter(b, a, x)


def forward_backward():  # the same work as ChebychevFilter: two passes
    y = signal.lfilter(b, a, u)
    signal.lfilter(b, a, y[::-1])


def forward_backward_contiguous():  # the reversed pass on a contiguous copy
    y = signal.lfilter(b, a, u)
    signal.lfilter(b, a, np.ascontiguousarray(y[::-1]))


def best(fn, reps=7):
    return min(timeit.repeat(fn, number=1, repeat=reps)) * 1e3


cpu = "unknown"
try:
    with open("/proc/cpuinfo") as f:
        cpu = next(l.split(":", 1)[1].strip() for l in f if l.startswith("model name"))
except (OSError, StopIteration):
    pass
print(f"processor: {cpu}; python {platform.python_version()}, numpy {np.__version__}, "
      f"scipy {__import__('scipy').__version__}")
t1 = best(one)
t2 = min(best(forward_backward), best(forward_backward_contiguous))
print(f"scipy lfilter, one pass, {N} samples, {NP} poles:       {t1:8.2f} ms")
print(f"scipy lfilter, forward + backward (ChebychevFilter work): {t2:8.2f} ms")

if len(sys.argv) > 1:
    # Wall-clock time of single calls, best of 7, as for the SciPy figures.
    out = subprocess.run([sys.argv[1], "--benchmark_filter=BM_ChebychevFilter/8$",
                          "--benchmark_min_time=0.000001", "--benchmark_repetitions=7",
                          "--benchmark_format=csv"],
                         capture_output=True, text=True, check=True).stdout
    rows = [l.split(",") for l in out.splitlines()
            if l.startswith('"BM_ChebychevFilter/8') and "_" not in l.split(",")[0][20:]]
    unit = {"ms": 1, "us": 1e-3, "ns": 1e-6, "s": 1e3}
    ms = min(float(r[2]) * unit[r[4].strip('"')] for r in rows)
    print(f"numbra ChebychevFilter (forward + backward):            {ms:8.2f} ms")
    print(f"ratio lfilter one pass / numbra: {t1 / ms:.2f}; lfilter two passes / numbra: "
          f"{t2 / ms:.2f}")
