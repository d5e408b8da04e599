#!/usr/bin/python3
"""Reference training runs of the self-organising map, written from the
algorithm's description in plain Python (IEEE doubles, the same order of
operations), independent of numbra. Output: kohonen_refs.txt.

Each case: a map of SX x SY neurons with NK inputs, S steps, initial radius
R0 and rate A0, trained from step 1 (f = (S - s) / S, radius round(
(R0 - 1) f^2 + 1) with halves to even, rate A0 f^2) on NOBJ objects; for
each object the winner is the first neuron (x outer, y inner) of smallest
squared distance, and each neuron of the (wrapped or clipped) square
neighbourhood moves by h = rate / (sqrt(e - e_min) + 1).
"""
import math
import random

def train(sx, sy, nk, steps, r0, a0, cyclic, data, w):
    w = [row[:] for row in w]  # w[n][k], n = x * sy + y (0-based)
    sched = []
    step = 1
    while True:
        f = max(0.0, (steps - step) / steps)
        rad = round((r0 - 1) * f * f + 1)  # Python rounds halves to even
        alpha = a0 * f * f
        rx = ry = rad
        if cyclic:
            rx = max(0, min(rx, sx // 2 - 1))
            ry = max(0, min(ry, sy // 2 - 1))
        sched.append((step, rad, alpha))
        for d in data:
            dist = []
            for n in range(sx * sy):
                e = 0.0
                for k in range(nk):
                    diff = w[n][k] - d[k]
                    e += diff * diff
                dist.append(e)
            emin = 1.7e308
            best = -1
            for n in range(sx * sy):
                if dist[n] < emin:
                    emin, best = dist[n], n
            bx, by = best // sy, best % sy
            for xi in range(bx - rx, bx + rx + 1):
                x = xi
                if cyclic:
                    x = x + sx if x < 0 else x - sx if x >= sx else x
                elif x < 0 or x >= sx:
                    continue
                for yi in range(by - ry, by + ry + 1):
                    y = yi
                    if cyclic:
                        y = y + sy if y < 0 else y - sy if y >= sy else y
                    elif y < 0 or y >= sy:
                        continue
                    n = x * sy + y
                    h = alpha / (math.sqrt(dist[n] - emin) + 1.0)
                    for k in range(nk):
                        w[n][k] += h * (d[k] - w[n][k])
        step += 1
        if step >= steps:
            break
    return sched, w

def main():
    rnd = random.Random(20261208)
    cases = [("bounded", 4, 3, 3, 6, 3, 0.8, 12), ("cyclic", 4, 4, 2, 5, 3, 1.0, 10),
             ("cyclic", 5, 1, 3, 4, 2, 0.5, 8), ("bounded", 1, 1, 1, 3, 2, 1.0, 4)]
    with open("kohonen_refs.txt", "w") as out:
        out.write("# written by make_kohonen_refs.py\n")
        for kind, sx, sy, nk, steps, r0, a0, nobj in cases:
            data = [[rnd.gauss(0, 1) for _ in range(nk)] for _ in range(nobj)]
            w = [[rnd.uniform(-0.1, 0.1) for _ in range(nk)] for _ in range(sx * sy)]
            sched, final = train(sx, sy, nk, steps, r0, a0, kind == "cyclic", data, w)
            out.write(f"case {kind} {sx} {sy} {nk} {steps} {r0} {a0!r} {nobj}\n")
            out.write("data " + " ".join(repr(v) for row in data for v in row) + "\n")
            out.write("init " + " ".join(repr(v) for row in w for v in row) + "\n")
            for s, rad, alpha in sched:
                out.write(f"step {s} {rad} {alpha!r}\n")
            out.write("final " + " ".join(repr(v) for row in final for v in row) + "\n")

main()
