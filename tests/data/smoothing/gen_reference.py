#!/usr/bin/python3
"""Reference values for the smoothing, kernel and recursive-filter tests,
computed with SciPy / NumPy / pandas (Debian python3-scipy, python3-numpy,
python3-pandas).  Run from this directory:  /usr/bin/python3 gen_reference.py

savgol.txt     kind L w_-h .. w_h      savgol_coeffs(L, order, deriv, use='dot')
sinc.txt       type window L f1 f2 k_0 .. k_{L-1}
               low pass: firwin(L, 2 f, window='boxcar', scale=False), i.e. the
               ideal sin(2 pi f k) / (pi k), times the window (Hamming and
               Blackman of L + 2 points from scipy.signal.windows without their
               end points), normalised to sum 1; hp/bs/bp composed from it by
               spectral inversion (delta - h) and addition.
cheby.txt      hp NP fc ripple A0 a_1..a_NP b_1..b_NP
               cheby1(NP, rp, Wn) with rp = -20 log10(1 - PR/100) and the ripple
               edge Wn = (2/pi) atan(tan(pi fc) / cosh(acosh(1/eps) / NP)) for a
               low pass (times the cosh for a high pass), eps = sqrt((100 / (100 -
               PR))^2 - 1); butter(NP, 2 fc) for PR = 0.  The transfer function is
               multiplied out from SciPy's zeros and poles in 50-digit arithmetic
               (mpmath) and the numerator scaled to unit gain at z = 1 (low pass)
               or z = -1 (high pass).  The recursion is y = A0 x + sum a_k x[-k] +
               sum b_k y[-k].
chebfilter.txt hp NP fc ripple first last n A0 a_1..a_NP b_1..b_NP, then
               x_1..x_n, then y_first..y_last
               zero-phase filtering: the recursion (as lfilter(b, a) computes it,
               here evaluated in 50 digits) over the working samples 1 - P ..
               last + P (P = NP + 1, samples outside 1..n are 0), then over the
               reversed result, with the cheby.txt-style coefficients
               (rounded to double) given on the first line.
windows.txt    kind W n x_1..x_n then y_1..y_n   (the interior only is
               reference; the edges repeat the first and last interior value)
               average: pandas rolling(W, center=True).mean(); median: rolling
               median; weighted: numpy.convolve with triangular weights; sg:
               scipy.signal.savgol_filter(x, W, 2); d1: savgol_filter(deriv=1);
               d2: savgol_filter(deriv=2, polyorder=2); kernel: numpy.convolve of
               the edge-padded signal with the reversed kernel.
"""
import math

import mpmath
import numpy as np
import pandas as pd
from scipy import signal

mpmath.mp.dps = 50


def fmt(v):
    return repr(float(v))


def line(*vals):
    return " ".join(v if isinstance(v, str) else fmt(v) if isinstance(v, float) or
                    isinstance(v, np.floating) else str(v) for v in vals)


# ---- Savitzky-Golay -------------------------------------------------------
with open("savgol.txt", "w") as f:
    for L in range(5, 26, 2):
        for kind, order, deriv in (("smooth", 2, 0), ("smooth3", 3, 0), ("d1", 2, 1),
                                   ("d2", 2, 2)):
            w = signal.savgol_coeffs(L, order, deriv=deriv, use="dot")
            f.write(line(kind, L, *[fmt(v) for v in w]) + "\n")


# ---- windowed sinc --------------------------------------------------------
def window(L, kind):
    if kind == 1:
        return signal.windows.hamming(L + 2, sym=True)[1:-1]
    if kind == 2:
        return signal.windows.blackman(L + 2, sym=True)[1:-1]
    return np.ones(L)


def lowpass(L, fc, kind):
    h = signal.firwin(L, 2 * fc, window="boxcar", scale=False) * window(L, kind)
    return h / h.sum()


def inverted(h):
    h = -h
    h[len(h) // 2] += 1
    return h


with open("sinc.txt", "w") as f:
    for L, kind, f1, f2 in ((31, 1, 0.1, 0.3), (51, 2, 0.05, 0.2), (21, 0, 0.2, 0.4),
                            (101, 1, 0.01, 0.45), (7, 2, 0.25, 0.3), (65, 0, 0.37, 0.12)):
        lp = lowpass(L, f1, kind)
        hp = inverted(lowpass(L, f1, kind))
        lo, hi = min(f1, f2), max(f1, f2)
        bs = lowpass(L, lo, kind) + inverted(lowpass(L, hi, kind))
        bp = inverted(bs.copy())
        for name, h in (("lp", lp), ("hp", hp), ("bs", bs), ("bp", bp)):
            f.write(line(name, kind, L, fmt(f1), fmt(f2), *[fmt(v) for v in h]) + "\n")


# ---- Chebyshev design -----------------------------------------------------
def cheb_reference(npoles, hp, fc, pr):
    btype = "highpass" if hp else "lowpass"
    if pr == 0:
        z, p, k = signal.butter(npoles, 2 * fc, btype=btype, output="zpk")
    else:
        eps = math.sqrt((100 / (100 - pr)) ** 2 - 1)
        kx = math.cosh(math.acosh(1 / eps) / npoles)
        t = math.tan(math.pi * fc)
        wn = 2 / math.pi * math.atan(t * kx if hp else t / kx)
        rp = -20 * math.log10(1 - pr / 100)
        z, p, k = signal.cheby1(npoles, rp, wn, btype=btype, output="zpk")

    def poly(roots):
        c = [mpmath.mpc(1)]
        for r in roots:
            r = mpmath.mpc(complex(r))
            c = [a - r * b for a, b in zip(c + [0], [0] + c)]
        return [x.real for x in c]

    num, den = poly(z), poly(p)
    s = -1 if hp else 1
    gain = sum(v * s ** i for i, v in enumerate(num)) / sum(v * s ** i for i, v in enumerate(den))
    num = [v / gain for v in num]
    return num, den


def cheb_coeffs(npoles, hp, fc, pr):
    num, den = cheb_reference(npoles, hp, fc, pr)
    return [num[0] / den[0]] + [num[i] / den[0] for i in range(1, npoles + 1)] + \
           [-den[i] / den[0] for i in range(1, npoles + 1)]


CHEB_SETS = [(2, False, 0.1, 0.0), (4, False, 0.1, 0.5), (2, True, 0.1, 0.0),
             (4, True, 0.2, 0.5), (6, False, 0.25, 10.0), (8, False, 0.1, 0.5),
             (8, True, 0.3, 0.5), (8, False, 0.05, 2.0), (10, True, 0.4, 29.0),
             (12, False, 0.2, 1.0), (6, False, 0.45, 0.5), (4, True, 0.02, 0.5),
             (20, False, 0.2, 0.5), (16, True, 0.35, 0.0), (4, False, 0.45, 0.01)]

with open("cheby.txt", "w") as f:
    for npoles, hp, fc, pr in CHEB_SETS:
        c = cheb_coeffs(npoles, hp, fc, pr)
        f.write(line(int(hp), npoles, fmt(fc), fmt(pr), *[mpmath.nstr(v, 17) for v in c]) + "\n")

# ---- zero-phase Chebyshev filtering ---------------------------------------
rng = np.random.default_rng(20261208)
with open("chebfilter.txt", "w") as f:
    for npoles, hp, fc, pr, first, last, n in ((4, False, 0.1, 0.5, 1, 120, 120),
                                              (8, False, 0.05, 0.5, 10, 150, 200),
                                              (6, True, 0.3, 1.0, 5, 95, 100)):
        c = [float(v) for v in cheb_coeffs(npoles, hp, fc, pr)]
        b = np.array(c[: npoles + 1])
        a = np.concatenate(([1.0], -np.array(c[npoles + 1:])))
        x = np.round(np.sin(np.arange(1, n + 1) * 0.07) + 0.3 * rng.standard_normal(n), 6)
        P = npoles + 1
        u = np.array([x[s - 1] if 1 <= s <= n else 0.0 for s in range(1 - P, last + P + 1)])
        # lfilter in double, and the same recursion evaluated in 50 digits
        # with the double coefficients: the latter is stored; lfilter only
        # confirms it (its own rounding is amplified by the poles' closeness
        # to the unit circle).
        y1 = signal.lfilter(b, a, u)
        y2 = signal.lfilter(b, a, y1[::-1])[::-1]

        def recursion(v):
            bm = [mpmath.mpf(t) for t in b]
            am = [mpmath.mpf(t) for t in a]
            out = []
            for i in range(len(v)):
                acc = sum(bm[k] * v[i - k] for k in range(min(i, npoles) + 1))
                acc -= sum(am[k] * out[i - k] for k in range(1, min(i, npoles) + 1))
                out.append(acc)
            return out

        e1 = recursion([mpmath.mpf(t) for t in u])
        e2 = recursion(e1[::-1])[::-1]
        y = [e2[j + P - 1] for j in range(first, last + 1)]
        assert max(abs(float(e2[i]) - y2[i]) for i in range(len(u))) < 1e-8
        f.write(line(int(hp), npoles, fmt(fc), fmt(pr), first, last, n, *[fmt(v) for v in c]) +
                "\n")
        f.write(line(*[fmt(v) for v in x]) + "\n")
        f.write(line(*[mpmath.nstr(v, 17) for v in y]) + "\n")

# ---- range windows and the kernel filter -----------------------------------
with open("windows.txt", "w") as f:
    n = 80
    x = np.round(np.cos(np.arange(n) * 0.15) * 3 + rng.standard_normal(n), 6)
    s = pd.Series(x)

    def emit(kind, W, y):
        f.write(line(kind, W, n) + "\n")
        f.write(line(*[fmt(v) for v in x]) + "\n")
        f.write(line(*[fmt(v) for v in y]) + "\n")

    for W in (3, 7, 25):
        emit("average", W, s.rolling(W, center=True).mean().to_numpy())
        emit("median", W, s.rolling(W, center=True).median().to_numpy())
        h = W // 2
        tri = np.array([h + 1 - abs(j) for j in range(-h, h + 1)], dtype=float)
        wa = np.convolve(x, tri / tri.sum(), mode="same")
        wa[:h] = np.nan
        wa[n - h:] = np.nan
        emit("weighted", W, wa)
    for W in (5, 11, 25):
        h = W // 2
        for kind, kw in (("sg", {}), ("d1", {"deriv": 1}), ("d2", {"deriv": 2})):
            y = signal.savgol_filter(x, W, 2, **kw)
            y[:h] = np.nan
            y[n - h:] = np.nan
            emit(kind, W, y)
    # kernel filter: correlation with the kernel over the edge-padded range
    k = lowpass(9, 0.1, 1)
    pad = np.pad(x, (9 // 2, 9 - 1 - 9 // 2), mode="edge")
    y = np.convolve(pad, k[::-1], mode="valid")
    f.write(line("kernel", 9, n) + "\n")
    f.write(line(*[fmt(v) for v in k]) + "\n")
    f.write(line(*[fmt(v) for v in x]) + "\n")
    f.write(line(*[fmt(v) for v in y]) + "\n")
