#!/usr/bin/env python3
"""Reference values for the Fourier and wavelet tests, computed from the
definitions with 40-digit decimal arithmetic (windows, DFT) and exact
fractions (wavelet steps). Run from this directory: python3 gen_reference.py
"""
from decimal import Decimal, getcontext
from fractions import Fraction

getcontext().prec = 40
PI = Decimal("3.14159265358979323846264338327950288419716939937510")
TWO_PI = 2 * PI


def dcos(x):
    x = x % TWO_PI
    term, total, k = Decimal(1), Decimal(1), 0
    while True:
        k += 2
        term = -term * x * x / (k * (k - 1))
        if abs(term) < Decimal("1e-45"):
            return total
        total += term


def dsin(x):
    return dcos(x - PI / 2)


def dexp(x):
    term, total, k = Decimal(1), Decimal(1), 0
    while True:
        k += 1
        term = term * x / k
        if abs(term) < Decimal("1e-45"):
            return total
        total += term


def window(name, i, n):
    """Weight of element i (1-based) of n."""
    c = Decimal(i) - Decimal(n) / 2
    cosn = lambda m: dcos(m * PI * c / n)
    if name == "rectangle":
        return Decimal(1)
    if name == "triangle":
        k = i if i <= n // 2 else n - i + 1
        return Decimal(2 * k) / n
    if name == "cos2":
        return cosn(1) ** 2
    if name == "gauss":
        return dexp(Decimal("-0.5") * (6 * c / n) ** 2)
    coeffs = {
        "hamming": ["0.543478261", "0.456521739"],
        "blackman": ["0.42659", "0.49656", "0.076848"],
        "blkmharris": ["0.35875", "0.48829", "0.14128", "0.01168"],
        "blkmnuttall": ["0.3635819", "0.4891775", "0.1365995", "0.0106411"],
    }[name]
    return sum(Decimal(a) * cosn(2 * m) for m, a in enumerate(coeffs))


def dft(x):
    n = len(x)
    out = []
    for k in range(n):
        re = im = Decimal(0)
        for j, (xr, xi) in enumerate(x):
            a = TWO_PI * ((j * k) % n) / n
            c, s = dcos(a), dsin(a)
            re += xr * c - xi * s
            im += xr * s + xi * c
        out.append((re, im))
    return out


def window_tones():
    n = 64
    sig = [dcos(TWO_PI * 5 * j / n) + Decimal("0.5") * dsin(TWO_PI * 12 * j / n)
           for j in range(n)]
    lines = ["# Tone cos(2 pi 5 j/64) + 0.5 sin(2 pi 12 j/64), j = 0..63 (element j+1),",
             "# weighted by each window and transformed with exp(+2 pi i j k / N).",
             "# Computed by gen_reference.py with 40-digit decimal arithmetic.",
             "# columns: window line magnitude power"]
    for name in ["rectangle", "triangle", "cos2", "gauss", "hamming", "blackman",
                 "blkmharris", "blkmnuttall"]:
        x = [(sig[j] * window(name, j + 1, n), Decimal(0)) for j in range(n)]
        X = dft(x)
        for k in range(n // 2 + 1):
            if k == 0:
                mag = (X[0][0] ** 2 + X[0][1] ** 2).sqrt() / n
                pw = (X[0][0] ** 2 + X[0][1] ** 2) / n
            else:
                a = X[k][0] + X[n - k][0]
                b = X[k][1] - X[n - k][1]
                mag = (a * a + b * b).sqrt() / n
                pw = (X[k][0] ** 2 + X[k][1] ** 2 + X[n - k][0] ** 2 + X[n - k][1] ** 2) / n
            lines.append("%s %d %.25e %.25e" % (name, k, mag, pw))
    with open("window_tones.txt", "w") as f:
        f.write("\n".join(lines) + "\n")


LOWPASS = {
    1: ["0.7071067811865476", "0.7071067811865476"],
    2: ["0.48296291314453416", "0.8365163037378079", "0.2241438680420134",
        "-0.12940952255126037"],
    3: ["0.33267055295008263", "0.8068915093110925", "0.45987750211849154",
        "-0.13501102001025458", "-0.08544127388202666", "0.03522629188570953"],
}


def extend(s, length, mode):
    if s >= 0:
        return s
    if mode == "wrap":
        return s % length
    if mode == "zeropad":
        return None
    t = s % (2 * length)  # half-sample symmetric, period 2 length
    return 2 * length - 1 - t if t >= length else t


def wavelet_step(x, order, mode, inverse):
    h = [Fraction(v) for v in LOWPASS[order]]
    taps = 2 * order
    g = [(-1) ** m * h[taps - 1 - m] for m in range(taps)]
    length = len(x)
    half = length // 2
    w = [Fraction(0)] * length
    for i in range(1, half + 1):
        for m in range(taps):
            p = extend(2 * (i - order) + m, length, mode)
            if p is None:
                continue
            if not inverse:
                w[i - 1] += h[m] * x[p]
                w[half + i - 1] += g[m] * x[p]
            else:
                w[p] += h[m] * x[i - 1] + g[m] * x[half + i - 1]
    return w


def wavelet_steps():
    signals = [["3", "-1", "4", "1", "-5", "9", "2", "-6"], ["1.5", "-2"], ["2", "7", "1", "8"]]
    lines = ["# One analysis (a) or synthesis (s) step of the whole signal, from the",
             "# definition with exact fractions of the filter decimals; gen_reference.py.",
             "# columns: order mode step n x_1..x_n result_1..result_n"]
    for sig in signals:
        x = [Fraction(v) for v in sig]
        for order in (1, 2, 3):
            for mode in ("wrap", "zeropad", "symmetric"):
                for step in ("a", "s"):
                    r = wavelet_step(x, order, mode, step == "s")
                    lines.append("%d %s %s %d %s %s" % (
                        order, mode, step, len(x), " ".join(sig),
                        " ".join("%.20e" % float(Decimal(v.numerator) / Decimal(v.denominator))
                                 for v in r)))
    with open("wavelet_steps.txt", "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    window_tones()
    wavelet_steps()
