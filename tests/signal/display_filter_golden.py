#!/usr/bin/python3
"""Expected output of the display-filter chain, computed outside the program.

Implements the chain from its formulas alone (low-cut forwards and
backwards, third-order IIR or 30-tap FIR high-cut, 60 Hz and 50 Hz notches)
and prints DisplayFilterGolden.h: a one-second test signal at 128 and at 256
samples per second and what the chain must make of it. Run it again and
compare when a formula is in doubt:

    /usr/bin/python3 tests/signal/display_filter_golden.py > tests/signal/DisplayFilterGolden.h
"""
import math

import numpy as np

F32_PI = np.float32(3.1415927)
TWO_PI_F32 = 6.2831854820251465

IIR = {
    128: ([0.162786151578641, 0.325572303157282, 0.162786151578641, 0.0],
          [-0.580676405165314, 0.231821011479878, 0.0]),
    256: ([0.012265935276236, 0.036797805828708, 0.036797805828708, 0.012265935276236],
          [-1.931160555767073, 1.364099493131264, -0.334811455154304]),
}
FIR_HALF = [-0.000249874757945, 0.001576960479438, 0.002816811378769, -0.000020416495033,
            -0.006909682617687, -0.009230187753609, 0.002245910303636, 0.020951621704402,
            0.022105876288526, -0.011240031810487, -0.055372823268192, -0.050060009503494,
            0.047519980164658, 0.206605163172965, 0.329741713521149]
FIR = FIR_HALF + FIR_HALF[::-1]


def sample(y):
    """Truncated toward zero and held to 16 bits."""
    if y >= 32767.0:
        return 32767
    if y <= -32768.0:
        return -32768
    return int(y)


def low_cut_pass(xs, fs, fc):
    # K from pi*fc in single precision; both gains rounded to single precision.
    pi_fc = np.float32(F32_PI * np.float32(fc))
    k = math.tan(float(pi_fc) / fs)
    g1 = float(np.float32(1.0 / (k + 1.0)))
    g2 = float(np.float32((1.0 - k) * g1))
    x1, y1, out = 0, 0.0, []
    for x in xs:
        y = g2 * x - g2 * x1 + g1 * y1
        x1, y1 = x, y
        out.append(sample(y))
    return out


def low_cut(xs, fs, fc):
    backwards = low_cut_pass(xs[::-1], fs, fc)
    return low_cut_pass(backwards[::-1], fs, fc)


def iir(xs, fs):
    b, a = IIR[fs]
    xh, yh, out = [0, 0, 0], [0.0, 0.0, 0.0], []
    for x in xs:
        y = b[0] * x + b[1] * xh[0] + b[2] * xh[1] + b[3] * xh[2] - a[0] * yh[0] - a[1] * yh[1] - a[2] * yh[2]
        xh = [x] + xh[:2]
        yh = [y] + yh[:2]
        out.append(sample(y))
    return out


def fir(xs):
    hist, out = [0] * 29, []
    for x in xs:
        y = FIR[0] * x
        for i in range(1, 30):
            y += FIR[i] * hist[i - 1]
        hist = [x] + hist[:28]
        out.append(sample(y))
    return out


def notch(xs, fs, f0, r=0.99):
    # Each pass starts from an empty history, so a block always looks the same.
    c = -2.0 * math.cos(TWO_PI_F32 * f0 / fs)
    cr, rr = c * r, r * r
    xh, yh, out = [0, 0], [0.0, 0.0], []
    for x in xs:
        y = x + c * xh[0] + xh[1] - cr * yh[0] - rr * yh[1]
        xh = [x, xh[0]]
        yh = [y, yh[0]]
        out.append(sample(y))
    return out


def chain(xs, fs, mode=4, fc=0.8):
    xs = low_cut(xs, fs, fc)
    if mode == 1:
        return fir(xs) if fs == 256 else xs
    xs = iir(xs, fs)
    if mode >= 3:
        xs = notch(xs, fs, 60.0)
    if mode == 4:
        xs = notch(xs, fs, 50.0)
    return xs


def signal(fs):
    """One second: baseline wander, a slow wave, mains hum at 50 and 60 Hz, a beat-like spike."""
    xs = []
    for i in range(fs):
        t = i / fs
        v = 300 + 900 * math.sin(2 * math.pi * 0.3 * t) + 500 * math.sin(2 * math.pi * 1.7 * t)
        v += 120 * math.sin(2 * math.pi * 50 * t) + 80 * math.sin(2 * math.pi * 60 * t)
        v += 1500 * math.exp(-((t - 0.45) / 0.012) ** 2)
        xs.append(int(round(v)))
    return xs


def array(name, values):
    lines = []
    for i in range(0, len(values), 12):
        lines.append("    " + ", ".join(str(v) for v in values[i:i + 12]) + ",")
    return "inline const std::int16_t %s[%d] = {\n%s\n};\n" % (name, len(values), "\n".join(lines))


def main():
    print("#pragma once")
    print("// Written by display_filter_golden.py from the filters' formulas; do not edit.")
    print("#include <cstdint>\n")
    print("namespace golden {\n")
    for fs in (128, 256):
        xs = signal(fs)
        print(array("kInput%d" % fs, xs))
        print(array("kChain%d" % fs, chain(xs, fs)))
    print(array("kFirChain256", chain(signal(256), 256, mode=1)))
    print("}  // namespace golden")


if __name__ == "__main__":
    main()
