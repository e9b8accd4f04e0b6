#!/usr/bin/env python3
"""The wave analysis of bench/WaveBench.cpp in numpy: 5,500 bursts of 4,096
pressure readings at 4 Hz, each through depth, least-squares trend, the
cut-off and the pressure-response correction (the wave-number iteration
vectorised over the lines) of two forward transforms: of the tapered burst
for the spectrum, its peak and the variance, of the untapered one for the
surface (inverse transform) and its zero-up-crossing waves. Prints bursts
per second.

Run as: python3 bench/wave_numpy.py   (installs python3-numpy with apt-get
when numpy is missing).

    python3 bench/wave_numpy.py zero-crossing SURFACE.f64 RATE

is the reference the unit tests compare the wave analysis with: the
textbook zero-up-crossing analysis of a surface series (little-endian
doubles, metres, RATE readings a second), written independently of the
program's own. Each wave runs from one up-crossing to the next; its height
is its highest crest less its lowest trough, its period the time between
the two crossings (interpolated linearly between the readings). Prints
"name value" lines: waves, hmax, tmax, h_tenth, t_tenth, h_third, t_third,
tz (metres and seconds). Needs numpy; installs nothing."""
import os
import subprocess
import sys
import time

ZERO_CROSSING = len(sys.argv) > 1 and sys.argv[1] == "zero-crossing"

try:
    import numpy as np
except ImportError:
    if ZERO_CROSSING:
        raise  # a test calls it only where numpy is installed
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


G_TAPER = np.sqrt(N / ((N - M) + 2 * (W * W).sum()))


def analyse(readings):
    x = (readings.astype(np.float64) - ATMOSPHERE) / (DENSITY * 0.980665)
    si, sx, sxi, sii = I.sum(), x.sum(), (I * x).sum(), (I * I).sum()
    dd = si * si - N * sii
    a = (si * sx - N * sxi) / dd
    c = (si * sxi - sii * sx) / dd
    d = a * (N // 2) + c
    if d <= 0:
        return None
    detrended = x - (a * I + c)
    h = d + Z
    K = min(int(N * cutoff(h, d) / FS), N // 2)
    k = np.arange(1, K + 1)
    kw = wave_numbers(h, N / (FS * k))
    F = np.cosh(kw * h) / np.cosh(kw * Z)
    F = np.where(F < 20, F, 1.0)

    def corrected(y):
        X = np.fft.ifft(y.astype(np.complex128))  # e^{+i}, scaled by 1/N
        X[K + 1:N - K] = 0
        X[k] *= F
        X[N - k] *= F
        return X

    # Spectrum, peak and variance from the tapered burst.
    y = detrended.copy()
    y[:M // 2] *= W
    y[N - 1 - J] *= W
    X = corrected(y)
    peak = k[np.argmax(np.abs(X[k]))]
    variance = G_TAPER * G_TAPER * N * (np.abs(X) ** 2).sum() / (N - 1)
    # The surface from the untapered burst.
    y = np.fft.fft(corrected(detrended))  # e^{-i}, unscaled
    eta = np.abs(y) * np.where(y.real < 0, -1.0, 1.0)
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


def zero_crossing(eta, rate):
    """Textbook zero-up-crossing waves of a surface series: whole waves only."""
    up = np.nonzero((eta[:-1] < 0) & (eta[1:] >= 0))[0]  # eta[i] < 0 <= eta[i + 1]
    # Where the series crosses zero between readings i and i + 1, in seconds.
    times = (up + eta[up] / (eta[up] - eta[up + 1])) / rate
    heights = np.array([eta[a:b + 1].max() - eta[a:b + 1].min() for a, b in zip(up[:-1], up[1:])])
    periods = np.diff(times)
    order = np.argsort(-heights, kind="stable")
    heights, periods = heights[order], periods[order]
    count = heights.size
    figures = {"waves": count, "tz": periods.mean() if count else 0.0}
    figures["hmax"], figures["tmax"] = (heights[0], periods[0]) if count else (0.0, 0.0)
    for name, share in (("third", 3), ("tenth", 10)):
        top = count // share
        figures["h_" + name] = heights[:top].mean() if top else 0.0
        figures["t_" + name] = periods[:top].mean() if top else 0.0
    return figures


def main():
    data = bursts()
    start = time.perf_counter()
    for b in range(BURSTS):
        result = analyse(data[b % DISTINCT])
    seconds = time.perf_counter() - start
    print(f"numpy: {BURSTS} bursts of {N} in {seconds:.2f} s: {BURSTS / seconds:.0f} bursts/s (Hs {result[0]:.3f} m)")


if __name__ == "__main__":
    if ZERO_CROSSING:
        figures = zero_crossing(np.fromfile(sys.argv[2], dtype="<f8"), float(sys.argv[3]))
        for key, value in figures.items():
            print(key, f"{value:.9g}")
    else:
        main()
