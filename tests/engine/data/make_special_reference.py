#!/usr/bin/env python3
"""Writes the reference tables of the engine's special-function tests:
loggamma_reference.txt (x, ln Gamma(x)), gammafn_reference.txt (x, Gamma(x)) and
besseli_reference.txt (x, order, ize, I_order(x) for ize 1 or exp(-x) I_order(x) for ize 2,
log10(I_order(x) / I_alpha(x)) with alpha the fractional part of the order).

Arguments are exact doubles written with 17 digits; values come from mpmath at 50 digits,
checked against 80 digits, and are written with 20. Bessel values below 1e-290 (which the
routine may flush to 0) or above 1e300 are left out. Run: python3 make_special_reference.py
"""

import math
import os

import mpmath

HERE = os.path.dirname(os.path.abspath(__file__))


def checked(f):
    with mpmath.workdps(50):
        a = f()
    with mpmath.workdps(80):
        b = f()
    if a != b and abs((a - b) / b) > mpmath.mpf(10) ** -40:
        raise RuntimeError("mpmath disagrees with itself")
    return b


def write(name, header, rows):
    with open(os.path.join(HERE, name), "w") as out:
        out.write("# Made by make_special_reference.py (mpmath %s, 50 digits checked at 80).\n" % mpmath.__version__)
        out.write("# %s\n" % header)
        out.writelines(" ".join(row) + "\n" for row in rows)


def steps(lo, hi, step):
    return [lo + i * step for i in range(int(round((hi - lo) / step)) + 1)]


def one_argument_table(name, header, f, xs):
    rows = [[repr(x), mpmath.nstr(checked(lambda: f(mpmath.mpf(x))), 20)] for x in sorted(set(map(float, xs)))]
    write(name, header, rows)


def besseli_table():
    orders = [0.0, 0.5, 1.0, 1.5, 2.25, 5.0, 10.5, 25.0, 50.5, 100.0, 250.5, 500.0,
              1000.5, 1500.0, 1999.5, 2000.0, 2500.5, 4000.0]
    xs = [1e-5, 5e-5, 9.99e-5, 1e-4, 1e-3, 0.01, 0.1, 0.5, 1.0, 2.5, 10.0, 30.0, 99.5,
          300.0, 700.0, 709.0, 1000.0, 1500.0, 2000.0, 5000.0, 9999.5, 1e4]
    rows = []
    for x in xs:
        for nu in orders:
            xm, vm = mpmath.mpf(x), mpmath.mpf(nu)
            for ize in (1, 2) if x <= 709.0 else (2,):
                v = checked(lambda: mpmath.besseli(vm, xm) * (1 if ize == 1 else mpmath.exp(-xm)))
                if mpmath.mpf(10) ** -290 < v < mpmath.mpf(10) ** 300:
                    r = checked(lambda: mpmath.log10(mpmath.besseli(vm, xm) / mpmath.besseli(vm - math.floor(nu), xm)))
                    rows.append([repr(x), repr(nu), str(ize), mpmath.nstr(v, 20), mpmath.nstr(r, 4)])
    write("besseli_reference.txt", "x  order  ize  value  log10(value/I_alpha(x))", rows)


if __name__ == "__main__":
    # Every branch of log-gamma: -ln x, the three rational forms with both sides of 0.6796875,
    # 1.5, 4 and 12, the asymptotic series with and without its correction terms (2.25e76).
    lg = [1e-300, 1e-100, 1e-20, 2e-16, 2.22e-16, 2.3e-16] + [1e-15 * (0.5e15) ** (i / 23) for i in range(24)]
    lg += [0.51, 0.55, 0.6, 0.65, 0.679, 0.6796875, math.nextafter(0.6796875, 1.0), 0.68, 0.999, 0.9999999, 1.0000001]
    lg += steps(0.7, 1.5, 0.05) + steps(1.6, 4.0, 0.1) + steps(4.25, 12.0, 0.25) + [1.001, 1.9999999, 2.0000001]
    lg += [math.nextafter(v, 13.0) for v in (1.5, 4.0, 12.0)] + [12.0000001, 12.5, 15.0, 20.0, 33.3, 50.0, 100.5]
    lg += [1e3, 1e4, 1e6, 1e10, 1e20, 1e50, 2.25e76, 2.3e76, 1e100, 1e200, 1e300, 2.55e305]
    one_argument_table("loggamma_reference.txt", "x  lnGamma(x)", mpmath.loggamma, [x for x in lg if x not in (1.0, 2.0)])
    # Gamma: dense on [1, 2) (what the Bessel normalisation uses), then every other branch.
    g = steps(1.0, 1.98, 0.02) + [math.nextafter(2.0, 1.0), 1e-307, 1e-300, 1e-20, 2.2e-16, 2.3e-16, 1e-10, 1e-3]
    g += [0.1, 0.25, 0.5, 0.75, 0.999] + steps(2.0, 11.0, 0.5) + [11.999, 12.0, 12.5, 20.0, 50.5, 100.0, 150.25]
    g += [171.0, 171.6, -0.5, -1.5, -2.3, -3.999, -10.7, -20.2, -55.5, -100.5, -170.5, -1e-5]
    one_argument_table("gammafn_reference.txt", "x  Gamma(x)", mpmath.gamma, g)
    besseli_table()
