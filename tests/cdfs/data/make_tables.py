#!/usr/bin/env python3
"""Writes the reference tables of the distribution library's tests.

Every input is an exactly representable double, written in its shortest
round-trip form; every reference value is computed by mpmath 1.3 at 40
significant digits from that exact double and written to 20 digits.
Run from anywhere: python3 make_tables.py (takes about a minute).
"""
import math
import os

import mpmath as mp

mp.mp.dps = 40
HERE = os.path.dirname(os.path.abspath(__file__))


def fmt(v):
    v = mp.mpf(v)
    if v == 0:
        return "0"
    return mp.nstr(v, 20, min_fixed=1, max_fixed=0)


def write(name, header, rows):
    with open(os.path.join(HERE, name), "w") as out:
        out.write("# Written by make_tables.py (mpmath %s, %d digits).\n" % (mp.__version__, mp.mp.dps))
        out.write("# %s\n" % header)
        for row in rows:
            out.write(" ".join(r if isinstance(r, str) else repr(r) for r in row) + "\n")


def around(x, n=1):
    """x and its n nearest doubles on either side."""
    pts = [x]
    lo = hi = x
    for _ in range(n):
        lo = math.nextafter(lo, -math.inf)
        hi = math.nextafter(hi, math.inf)
        pts += [lo, hi]
    return sorted(pts)


def grid(lo, hi, n):
    return [lo + (hi - lo) * k / (n - 1) for k in range(n)]


def loggrid(lo, hi, n):
    return [float(lo * (hi / lo) ** (k / (n - 1))) for k in range(n)]


# ---- elementary functions -------------------------------------------------------

def elementary():
    xs = sorted(set(loggrid(0.02, 0.6, 12) + grid(0.61, 1.57, 49) + loggrid(1.6, 50.0, 12)
                    + around(0.61) + around(1.57) + around(0.82) + around(1.18) + around(1.0, 2)))
    write("rlog.txt", "x  x-1-ln(x)", [(x, fmt(mp.mpf(x) - 1 - mp.log(x))) for x in xs if x != 1.0])

    xs = sorted(set(grid(-3.0, 3.0, 61) + grid(-0.15, 0.15, 31) + around(0.15) + around(-0.15)
                    + [1e-10, -1e-10, 1e-300]))
    write("rexp.txt", "x  exp(x)-1", [(x, fmt(mp.expm1(x))) for x in xs if x != 0.0])

    xs = sorted(set(grid(-7.0, 7.0, 141) + grid(-0.6, 0.6, 25) + around(0.5) + around(-0.5)
                    + around(4.0) + around(-4.0) + around(5.8) + around(-5.8) + [1e-300, -1e-300]))
    write("erf.txt", "x  erf(x)", [(x, fmt(mp.erf(x))) for x in xs if x != 0.0])

    xs = sorted(set(grid(-6.0, 26.4, 163) + around(0.5) + around(-0.5) + around(4.0) + around(-4.0)
                    + around(-5.6) + [26.3, 26.35, 1e-300]))
    write("erfc.txt", "x  erfc(x)  exp(x^2)*erfc(x)",
          [(x, fmt(mp.erfc(x)), fmt(mp.exp(mp.mpf(x) ** 2) * mp.erfc(x))) for x in xs])
    xs = sorted(set(grid(26.5, 30.0, 8) + grid(30.0, 1000.0, 98) + [1e5, 1e10, 1e100]))
    write("erfcx.txt", "x  exp(x^2)*erfc(x)  (large x)",
          [(x, fmt(mp.exp(mp.mpf(x) ** 2) * mp.erfc(x))) for x in xs])

    xs = [k / 11 for k in range(-30 * 11 + 1, 172 * 11) if k % 11 != 0 or k > 0]
    xs += grid(14.9, 15.1, 21) + grid(-15.1, -14.9, 21) + [0.5, 1.5, 1e-20, -1e-20, 1e-31, 171.6,
                                                         -999.5, 999.5, -170.5]
    xs = sorted(set(x for x in xs if not (x <= 0 and x == round(x))))
    write("gamma.txt", "a  Gamma(a)", [(a, fmt(mp.gamma(a))) for a in xs if a < 171.62])

    xs = sorted(set(grid(-0.5, 1.5, 81) + around(0.5) + [1e-10, -1e-10, 0.4999, 0.5001, 1.0001, 0.9999]))
    write("gam1.txt", "a  1/Gamma(a+1)-1", [(a, fmt(1 / mp.gamma(mp.mpf(a) + 1) - 1)) for a in xs
                                           if a not in (0.0, 1.0)])

    xs = sorted(set(grid(-0.99, 3.0, 80) + grid(-0.375, 0.375, 31) + around(0.375) + around(-0.375)
                    + [1e-12, -1e-12, 1e5]))
    write("dln1px.txt", "a  ln(1+a)", [(a, fmt(mp.log1p(a))) for a in xs if a != 0.0])

    xs = sorted(set(grid(15.0, 40.0, 51)))
    write("dlanor.txt", "x  ln(Phi(-|x|))", [(x, fmt(mp.log(mp.ncdf(-mp.mpf(x))))) for x in xs])


# ---- normal distribution --------------------------------------------------------

def normal():
    s2 = math.sqrt(2.0)
    xs = [round(-38.0 + 0.1 * k, 10) for k in range(442)]
    xs += around(-15.0) + around(-38.0) + around(6.0) + [-37.9, -14.99, 6.0000001, 1e-30, -1e-30,
                                                          1e-29]
    xs += around(0.5 * s2) + around(-0.5 * s2) + around(4.0 * s2) + around(-4.0 * s2)
    xs = sorted(set(x for x in xs if -40 <= x <= 6.2))
    write("normcdf.txt", "x  Phi(x)", [(x, fmt(mp.ncdf(x))) for x in xs])


# ---- incomplete gamma ratio -----------------------------------------------------

def gratio():
    a_values = [0.05, 0.1, 0.3, 0.5, 0.7, 0.9, 0.99, 1.0, 1.5, 2.0, 2.5, 3.0, 4.5, 5.0, 7.3, 9.5,
                9.9, 10.0, 10.5, 12.0, 13.5, 13.9, 14.0, 15.0, 17.5, 19.5, 20.0, 25.0, 30.0, 50.0,
                100.0, 300.0, 1000.0, 3000.0, 10000.0]
    near = [1e-7, 1e-5, 3e-4, 1e-3, 3e-3, 0.01, 0.03, 0.1, 0.2, 0.39, 0.41]
    rows = []
    for a in a_values:
        xs = set(loggrid(1e-3 * a, 1e3 * a, 31))
        xs.update(a * (1 + d) for d in near)
        xs.update(a * (1 - d) for d in near)
        xs.update(x for x in (0.2, 0.25, 0.3, 1.0, 1.05, 1.1, 1.15, 2.3, 2.4, 9.6, 9.8, 16.9, 17.1,
                              30.9, 31.1) if 1e-3 * a <= x <= 1e3 * a)
        for x in sorted(xs):
            p = mp.gammainc(a, 0, x, regularized=True)
            q = mp.gammainc(a, x, mp.inf, regularized=True)
            rows.append((a, x, fmt(p), fmt(q)))
    write("gratio.txt", "a  x  P(a,x)  Q(a,x)", rows)


# ---- chi-square quantiles -------------------------------------------------------

def chi2_quantile(p, df):
    a = mp.mpf(df) / 2
    f = lambda x: mp.gammainc(a, 0, x / 2, regularized=True) - p
    lo, hi = mp.mpf(0), mp.mpf(df) + 10
    while f(hi) < 0:
        hi *= 2
    for _ in range(200):
        mid = (lo + hi) / 2
        if f(mid) < 0:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


def chiinv():
    dfs = [2.0, 3.0, 5.0, 7.3, 10.0, 17.0, 30.0, 50.0, 100.0, 200.0, 500.0, 1000.0]
    ps = [1e-6, 1e-5, 1e-4, 1e-3, 0.01, 0.05, 0.1, 0.25, 0.5, 0.75, 0.9, 0.95, 0.99, 0.999,
          0.9999, 1 - 1e-5, 1 - 1e-6]
    rows = [(df, p, fmt(chi2_quantile(mp.mpf(p), df))) for df in dfs for p in ps]
    write("chiinv.txt", "df  p  chi-square quantile", rows)


if __name__ == "__main__":
    elementary()
    normal()
    gratio()
    chiinv()
