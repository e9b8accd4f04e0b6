#!/usr/bin/env python3
"""The wave analysis of bench/WaveBench.cpp in numpy: 5,500 bursts of 4,096
pressure readings at 4 Hz, each through depth, least-squares trend, the
split cosine taper, the forward transform, the cut-off, the pressure-response
correction (the wave-number iteration vectorised over the lines), the
inverse transform, the surface, its variance and the zero-up-crossing waves.
Prints bursts per second.

Run as: python3 bench/wave_numpy.py   (installs python3-numpy with apt-get
when numpy is missing)."""
import os
import subprocess
import sys
import time

try:
    import numpy as np
except ImportError:
    if not os.path.exists("/usr/bin/python3") or sys.executable == "/usr/bin/python3":
        subprocess.run(["apt-get", "install", "-y", "python3-numpy"], check=True,
                       stdout=subprocess.DEVNULL)
    if sys.executable != "/usr/bin/python3":
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    import numpy as np

N, BURSTS, DISTINCT, FS, Z = 4096, 5500, 16, 4, 1.0
G, DENSITY, ATMOSPHERE = 9.80665, 1.0281, 10.1325
TWO_PI = 6.283185307179464
M = 96


def bursts():
    t = np.arange(N) / 4.0
    i = np.arange(N)
    return [(10.1325 + 9.5 * 1.0281 * 0.980665 + 0.05 * b + 0.4 * np.sin(2 * np.pi * t / (9.0 + 0.1 * b))
             + 0.15 * np.sin(2 * np.pi * t / 4.9 + b) + 0.00001 * i).astype(np.float32) for b in range(DISTINCT)]


def wave_numbers(h, periods):
    k0 = 39.47841760435743 / (periods * periods * G)
    p = np.ones_like(k0)
    q = np.ones_like(k0)
    done = np.zeros(k0.shape, dtype=bool)
    for _ in range(20000):
        m = (q + p) / 2.0
        p = np.where(done, p, q)
        q_new = k0 / np.tanh(h * m)
        q = np.where(done, q, q_new)
        done |= np.abs(m - q_new) <= 1e-6
        if done.all():
            break
    return q


def cutoff(h, d):
    k = TWO_PI / (d / 0.3)
    w = np.sqrt(np.tanh(k * h) * 9.780318 * k)
    return 1.0 / (TWO_PI / w)


J = np.arange(M // 2)
W = 0.5 - 0.5 * np.cos(TWO_PI * J / M)
I = np.arange(N, dtype=np.float64)


def analyse(readings):
    x = (readings.astype(np.float64) - ATMOSPHERE) / (DENSITY * 0.980665)
    si, sx, sxi, sii = I.sum(), x.sum(), (I * x).sum(), (I * I).sum()
    dd = si * si - N * sii
    a = (si * sx - N * sxi) / dd
    c = (si * sxi - sii * sx) / dd
    d = a * (N // 2) + c
    if d <= 0:
        return None
    y = (x - (a * I + c)).astype(np.complex128)
    y[:M // 2] *= W
    y[N - 1 - J] *= W
    X = np.fft.ifft(y)  # e^{+i}, scaled by 1/N
    h = d + Z
    K = min(int(N * cutoff(h, d) / FS), N // 2)
    X[K + 1:N - K] = 0
    k = np.arange(1, K + 1)
    kw = wave_numbers(h, N / (FS * k))
    F = np.cosh(kw * h) / np.cosh(kw * Z)
    F = np.where(F < 20, F, 1.0)
    X[k] *= F
    X[N - k] *= F
    peak = k[np.argmax(np.abs(X[k]))]
    y = np.fft.fft(X)  # e^{-i}, unscaled
    big = W > 0.1
    y[J[big]] /= W[big]
    y[N - 1 - J[big]] /= W[big]
    eta = np.abs(y) * np.where(y.real < 0, -1.0, 1.0)
    variance = (eta * eta).sum() / (N - 1)
    up = np.nonzero((eta[1:] > 0) & (eta[:-1] < 0))[0] + 1
    if up.size == 0:
        return 4 * np.sqrt(variance), FS * peak / N, None, None
    # Wave w runs to its crossing reading up[w] inclusive; after a crossing
    # crest and trough start again from 0.
    starts = np.concatenate(([0], up[:-1] + 1))
    part = eta[:up[-1] + 1]
    crest = np.maximum.reduceat(part, starts)
    trough = np.minimum.reduceat(part, starts)
    crest[1:] = np.maximum(crest[1:], 0.0)
    trough[1:] = np.minimum(trough[1:], 0.0)
    heights = crest - trough
    periods = np.diff(np.concatenate(([0], up)))
    order = np.argsort(-heights, kind="stable")
    return 4 * np.sqrt(variance), FS * peak / N, heights[order][:1], periods[order][:1]


def main():
    data = bursts()
    start = time.perf_counter()
    for b in range(BURSTS):
        result = analyse(data[b % DISTINCT])
    seconds = time.perf_counter() - start
    print(f"numpy: {BURSTS} bursts of {N} in {seconds:.2f} s: {BURSTS / seconds:.0f} bursts/s (Hs {result[0]:.3f} m)")


if __name__ == "__main__":
    main()
