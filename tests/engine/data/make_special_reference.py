#!/usr/bin/env python3
"""Writes the reference tables of the engine's special-function tests.

loggamma_reference.txt   x  ln Gamma(x)
gammafn_reference.txt    x  Gamma(x)
besseli_reference.txt    x  order  ize  I_order(x) (ize 1) or exp(-x) I_order(x) (ize 2),
                         and log10(I_order(x) / I_alpha(x)), alpha the fractional part of order

Every argument is an exactly representable double, written with 17
significant digits. Values are computed with mpmath at 50 significant digits,
checked against a second evaluation at 80 digits, and written with 20.
Bessel values below 1e-290 (which the routine may flush to 0) or above 1e300
are left out. Run from any folder: python3 make_special_reference.py
"""

import math
import os

import mpmath

HERE = os.path.dirname(os.path.abspath(__file__))


def at_two_precisions(f):
    with mpmath.workdps(50):
        a = f()
    with mpmath.workdps(80):
        b = f()
    if a != 0 and abs((a - b) / b) > mpmath.mpf(10) ** -40:
        raise RuntimeError("mpmath disagrees with itself")
    return b


def exact(v):
    return repr(float(v))


def value(v):
    return mpmath.nstr(v, 20, min_fixed=1, max_fixed=0)


def write(name, header, rows):
    with open(os.path.join(HERE, name), "w") as out:
        out.write("# Made by make_special_reference.py (mpmath %s, 50 digits checked at 80).\n" % mpmath.__version__)
        out.write("# " + header + "\n")
        for row in rows:
            out.write(" ".join(row) + "\n")


def geometric(lo, hi, n):
    return [lo * (hi / lo) ** (i / (n - 1)) for i in range(n)]


def steps(lo, hi, step):
    n = int(round((hi - lo) / step))
    return [lo + i * step for i in range(n + 1)]


def loggamma_table():
    xs = [1e-300, 1e-100, 1e-20, 2e-16, 2.22e-16, 2.3e-16]
    xs += geometric(1e-15, 0.5, 24)
    xs += [0.51, 0.55, 0.6, 0.65, 0.679, 0.6796875, math.nextafter(0.6796875, 1.0), 0.68]
    xs += steps(0.7, 1.5, 0.05) + [0.999, 0.9999999, 1.0000001, 1.001]
    xs += steps(1.6, 4.0, 0.1) + [1.9999999, 2.0000001, math.nextafter(1.5, 2.0)]
    xs += steps(4.25, 12.0, 0.25) + [math.nextafter(4.0, 5.0), math.nextafter(12.0, 13.0), 12.0000001]
    xs += [12.5, 15.0, 20.0, 33.3, 50.0, 100.5, 1e3, 1e4, 1e6, 1e10, 1e20, 1e50,
           2.25e76, 2.3e76, 1e100, 1e200, 1e300, 2.55e305]
    rows = []
    for x in sorted(set(float(x) for x in xs)):
        if x in (1.0, 2.0):
            continue
        v = at_two_precisions(lambda: mpmath.loggamma(mpmath.mpf(x)))
        rows.append([exact(x), value(v)])
    write("loggamma_reference.txt", "x  lnGamma(x)", rows)


def gammafn_table():
    xs = steps(1.0, 1.98, 0.02) + [math.nextafter(2.0, 1.0)]
    xs += [1e-307, 1e-300, 1e-20, 2.2e-16, 2.3e-16, 1e-10, 1e-3, 0.1, 0.25, 0.5, 0.75, 0.999]
    xs += steps(2.5, 11.5, 1.0) + [2.0, 3.0, 7.0, 11.0, 11.999, 12.0, 12.5, 20.0, 50.5, 100.0, 150.25, 171.0, 171.6]
    xs += [-0.5, -1.5, -2.3, -3.999, -10.7, -20.2, -55.5, -100.5, -170.5, -1e-5]
    rows = []
    for x in sorted(set(float(x) for x in xs)):
        v = at_two_precisions(lambda: mpmath.gamma(mpmath.mpf(x)))
        rows.append([exact(x), value(v)])
    write("gammafn_reference.txt", "x  Gamma(x)", rows)


def besseli_table():
    orders = [0.0, 0.5, 1.0, 1.5, 2.25, 5.0, 10.5, 25.0, 50.5, 100.0, 250.5, 500.0,
              1000.5, 1500.0, 1999.5, 2000.0, 2500.5, 4000.0]
    xs = [1e-5, 5e-5, 9.99e-5, 1e-4, 1e-3, 0.01, 0.1, 0.5, 1.0, 2.5, 10.0, 30.0, 99.5,
          300.0, 700.0, 709.0, 1000.0, 1500.0, 2000.0, 5000.0, 9999.5, 1e4]
    tiny = mpmath.mpf(10) ** -290
    huge = mpmath.mpf(10) ** 300
    rows = []
    for x in xs:
        for nu in orders:
            for ize in (1, 2):
                if ize == 1 and x > 709.0:
                    continue

                def f():
                    xm, vm = mpmath.mpf(x), mpmath.mpf(nu)
                    i = mpmath.besseli(vm, xm)
                    return i if ize == 1 else i * mpmath.exp(-xm)

                def ratio():
                    xm, vm = mpmath.mpf(x), mpmath.mpf(nu)
                    return mpmath.besseli(vm, xm) / mpmath.besseli(vm - math.floor(nu), xm)

                v = at_two_precisions(f)
                if tiny < v < huge:
                    r = at_two_precisions(ratio)
                    rows.append([exact(x), exact(nu), str(ize), value(v), mpmath.nstr(mpmath.log10(r), 4)])
    write("besseli_reference.txt", "x  order  ize  value  log10(value/I_alpha(x))", rows)


if __name__ == "__main__":
    loggamma_table()
    gammafn_table()
    besseli_table()
