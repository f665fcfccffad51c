#!/usr/bin/env python3
"""Derives the polynomial coefficients and split constants of engine/maths.h.

Each polynomial is a weighted minimax (Remez exchange) fit of the correction term only, so the
leading terms of every function stay exact and rounding the coefficients to double costs
nothing measurable. Needs mpmath (Debian: python3-mpmath). Prints C++ declarations; the
maximum relative error of each fit, before rounding, goes to stderr.

    python3 tools/gen_maths_coefficients.py
"""

import sys

import mpmath as mp

mp.mp.dps = 80


def remez(target, weight, lo, hi, degree, iterations=40, grid=6000):
    """Coefficients c[0..degree] of P minimising max |weight(z) * (target(z) - P(z))|."""
    n = degree + 2
    # Chebyshev extrema as the first reference.
    ref = [lo + (hi - lo) * (1 - mp.cos(mp.pi * i / (n - 1))) / 2 for i in range(n)]
    # Where the weight vanishes the error does not count; keep the reference off such points.
    ref = [z + (hi - lo) * mp.mpf("1e-3") if abs(weight(z)) < mp.mpf("1e-30") else z
           for z in ref]
    # A dense Chebyshev-spaced grid for locating the extrema of the error.
    points = [lo + (hi - lo) * (1 - mp.cos(mp.pi * i / (grid - 1))) / 2 for i in range(grid)]
    values = [(target(z), weight(z)) for z in points]
    coefficients = None
    level = None
    for _ in range(iterations):
        a = mp.matrix(n, n)
        b = mp.matrix(n, 1)
        for i, z in enumerate(ref):
            for j in range(degree + 1):
                a[i, j] = z**j
            a[i, degree + 1] = (-1) ** i / weight(z)
            b[i] = target(z)
        solution = mp.lu_solve(a, b)
        coefficients = [solution[j] for j in range(degree + 1)]
        level = abs(solution[degree + 1])

        def error(k):
            z = points[k]
            p = mp.mpf(0)
            for c in reversed(coefficients):
                p = p * z + c
            return values[k][1] * (values[k][0] - p)

        errors = [error(k) for k in range(grid)]
        # Split the grid into runs of one sign and keep the largest of each run.
        extrema = []
        k = 0
        while k < grid:
            sign = errors[k] >= 0
            best = k
            while k < grid and (errors[k] >= 0) == sign:
                if abs(errors[k]) > abs(errors[best]):
                    best = k
                k += 1
            extrema.append(best)
        # Drop the smallest ends until exactly n alternating extrema remain.
        while len(extrema) > n:
            if abs(errors[extrema[0]]) < abs(errors[extrema[-1]]):
                extrema.pop(0)
            else:
                extrema.pop()
        if len(extrema) < n:
            break
        worst = max(abs(errors[k]) for k in extrema)
        ref = [points[k] for k in extrema]
        if worst - level < level * mp.mpf("1e-6"):
            break
    worst = max(abs(e) for e in errors)
    return coefficients, worst


def as_double(x):
    return float(mp.mpf(x))


def hex_double(x):
    return float(x).hex()


def emit(name, coefficients, note):
    print(f"// {note}")
    body = ", ".join(hex_double(as_double(c)) for c in coefficients)
    print(f"inline constexpr double {name}[{len(coefficients)}] = {{{body}}};")


def truncate_bits(x, bits):
    """x cut to its leading `bits` significant bits (toward zero)."""
    m, e = mp.frexp(x)
    scaled = mp.floor(m * 2**bits)
    return mp.ldexp(scaled, e - bits)


def sine_fit(degree, radius):
    def target(z):
        r = mp.sqrt(z)
        return (mp.sin(r) - r) / (r**3)

    def weight(z):
        r = mp.sqrt(z)
        return r**3 / mp.sin(r)

    return remez(target, weight, mp.mpf("1e-20"), mp.mpf(radius) ** 2, degree)


def cosine_fit(degree, radius):
    def target(z):
        r = mp.sqrt(z)
        return (mp.cos(r) - 1 + z / 2) / (z**2)

    def weight(z):
        r = mp.sqrt(z)
        return z**2 / mp.cos(r)

    return remez(target, weight, mp.mpf("1e-20"), mp.mpf(radius) ** 2, degree)


def exponential_fit(degree, radius):
    def target(r):
        if r == 0:
            return mp.mpf(1) / 2
        return (mp.exp(r) - 1 - r) / (r**2)

    def weight(r):
        return r**2 / mp.exp(r)

    return remez(target, weight, -mp.mpf(radius), mp.mpf(radius), degree)


def hyperbolic_sine_fit(degree, radius):
    def target(z):
        x = mp.sqrt(z)
        return (mp.sinh(x) - x) / (x**3)

    def weight(z):
        x = mp.sqrt(z)
        return x**3 / mp.sinh(x)

    return remez(target, weight, mp.mpf("1e-20"), mp.mpf(radius) ** 2, degree)


def main():
    # Quadrant reduction rounds x*2/pi to the nearest integer, so |r| <= pi/4 plus the few
    # ulps by which that product can be off; fit a little wider.
    trig_radius = mp.pi / 4 * (1 + mp.mpf("1e-6"))
    # Likewise the exponential's |r| <= ln2/2, widened for its low-part correction.
    exp_radius = mp.log(2) / 2 * (1 + mp.mpf("1e-6"))

    fits = [
        ("kSineDouble", sine_fit(5, trig_radius), "sin r = r + r^3 P(r^2), |r| <= pi/4"),
        ("kCosineDouble", cosine_fit(5, trig_radius), "cos r = 1 - r^2/2 + r^4 P(r^2)"),
        ("kSineFloat", sine_fit(4, trig_radius), "the same for float results"),
        ("kCosineFloat", cosine_fit(4, trig_radius), "the same for float results"),
        ("kExponentialDouble", exponential_fit(9, exp_radius),
         "e^r = 1 + r + r^2 P(r), |r| <= ln2/2"),
        ("kExponentialFloat", exponential_fit(7, exp_radius), "the same for float results"),
        ("kHyperbolicSine", hyperbolic_sine_fit(6, 1), "sinh x = x + x^3 P(x^2), |x| <= 1"),
    ]
    for name, (coefficients, worst), note in fits:
        sys.stderr.write(f"{name}: max relative error {mp.nstr(worst, 5)} "
                         f"(2^{mp.nstr(mp.log(worst, 2), 4)})\n")
        emit(name, coefficients, note)

    half_pi = mp.pi / 2
    p1 = truncate_bits(half_pi, 33)
    p2 = truncate_bits(half_pi - p1, 33)
    p3 = half_pi - p1 - p2
    print("// pi/2 in three parts; the first two have 33 bits, so k times them is exact.")
    print(f"inline constexpr double kHalfPi1 = {hex_double(as_double(p1))};")
    print(f"inline constexpr double kHalfPi2 = {hex_double(as_double(p2))};")
    print(f"inline constexpr double kHalfPi3 = {hex_double(as_double(p3))};")
    print(f"inline constexpr double kTwoOverPi = {hex_double(as_double(2 / mp.pi))};")

    ln2 = mp.log(2)
    l1 = truncate_bits(ln2, 40)
    print("// ln 2 in two parts; the first has 40 bits, so k times it is exact.")
    print(f"inline constexpr double kLn2Head = {hex_double(as_double(l1))};")
    print(f"inline constexpr double kLn2Tail = {hex_double(as_double(ln2 - l1))};")
    print(f"inline constexpr double kInverseLn2 = {hex_double(as_double(1 / ln2))};")

    ln10 = mp.log(10)
    h = mp.mpf(as_double(ln10))
    hh = truncate_bits(h, 26)
    print("// ln 10 as a double split into 26 + 27 bits for an exact product, and its tail.")
    print(f"inline constexpr double kLn10High = {hex_double(as_double(hh))};")
    print(f"inline constexpr double kLn10Low = {hex_double(as_double(h - hh))};")
    print(f"inline constexpr double kLn10Tail = {hex_double(as_double(ln10 - h))};")


if __name__ == "__main__":
    main()
