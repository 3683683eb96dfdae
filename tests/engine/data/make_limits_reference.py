#!/usr/bin/env python3
"""Writes the reference tables of the engine's probability-function and limit tests.

The conditional law: for a trial value x, spread S and nu degrees of freedom,
  w = -sqrt(nu + 1) x / S,  c = S sqrt(w^2 + nu) sqrt(nu + 1) / 2,  u_obs = w / sqrt(w^2 + nu),
and U on (-1, 1) has density proportional to (1 - u^2)^(nu/2 - 1) exp(-c u). Masses and first
moments come from mpmath quadrature, split at 0, the mode and multiples of the spread about it;
every total is checked against its Bessel closed form.

  normal_tail_reference.txt  x, upper tail, lower tail of the standard normal
  onetailg_reference.txt     nu, S, x, P(U <= u_obs)
  newg_reference.txt         nu, S, x, p, side, first-moment fraction of the region of mass p with
                             u_obs as its upper end (side 1) or lower end (side 2); nan: no region
  onesided_reference.txt     nu, S, p, C with P(U <= u_obs) = 1 - p at x = S^2/2 + C S / sqrt(nu)
  twosided_reference.txt     nu, S, alpha, C of side 1, C of side 2: the zeros of the fraction
                             minus alpha for the region of mass alpha

Inputs are exact doubles (17 digits); values are written with 20. Run:
  python3 make_limits_reference.py            (all tables; the two-sided one takes about three hours)
  python3 make_limits_reference.py NAME ...   (only the tables whose file names start with NAME)
"""

import os
import sys

import mpmath as mp
from mpmath import mpf

HERE = os.path.dirname(os.path.abspath(__file__))
mp.mp.dps = 24


def write(name, header, rows):
    with open(os.path.join(HERE, name), "w") as out:
        out.write("# Made by make_limits_reference.py (mpmath %s, %d digits).\n" % (mp.__version__, mp.mp.dps))
        out.write("# %s\n" % header)
        out.writelines(" ".join(row) + "\n" for row in rows)


def exact(v):
    return repr(float(v))


def val(v):
    return mp.nstr(v, 20, min_fixed=0, max_fixed=0) if v is not None else "nan"


def illinois(F, a, b, fa=None, fb=None):
    """A zero of F between a and b, where F changes sign: regula falsi with the Illinois
    weights, and a bisection whenever three steps have not halved the bracket."""
    fa = F(a) if fa is None else fa
    fb = F(b) if fb is None else fb
    if fa == 0:
        return a
    if fb == 0:
        return b
    if (fa < 0) == (fb < 0):
        raise RuntimeError("no sign change in [%s, %s]" % (a, b))
    tol = mpf(10) ** (8 - mp.mp.dps) * (abs(a) + abs(b) + mpf(10) ** -10)
    width, steps = abs(b - a), 0
    for _ in range(1000):
        if steps == 3:
            c, steps, width = (a + b) / 2, 0, abs(b - a) / 2
        else:
            c, steps = b - fb * (b - a) / (fb - fa), steps + 1
        fc = F(c)
        if fc == 0:
            return c
        if (fc < 0) != (fb < 0):
            a, fa = b, fb
        else:
            fa /= 2
        b, fb = c, fc
        if abs(b - a) < tol:
            return b
        if abs(b - a) <= width / 2:
            width, steps = abs(b - a), 0
    raise RuntimeError("no convergence")


class Conditional:
    """The law of U for one (x, S, nu)."""

    def __init__(self, x, S, nu):
        x, S, nu = mpf(x), mpf(S), mpf(nu)
        w = -mp.sqrt(nu + 1) * x / S
        self.c = S * mp.sqrt(w * w + nu) * mp.sqrt(nu + 1) / 2
        self.uobs = w / mp.sqrt(w * w + nu)
        self.nu = nu
        self.k = nu / 2 - 1
        k, c = self.k, self.c
        if k == 0:
            self.mode, self.spread = mpf(-1), 1 / c
        else:
            m = (k - mp.sqrt(k * k + c * c)) / c
            self.mode, self.spread = m, 1 / mp.sqrt(2 * k * (1 + m * m) / (1 - m * m) ** 2)
        self.logpeak = self.logf(self.mode) if k != 0 else c
        self.total = self.mass(-1, 1)
        self.moment_total = self.moment(-1, 1)
        self.check_totals()

    def logf(self, u):
        return (self.k * mp.log(1 - u * u) if self.k != 0 else 0) - self.c * u

    def f(self, u):
        if self.k != 0 and abs(u) >= 1:
            return mpf(0)
        return mp.exp(self.logf(u) - self.logpeak)

    def pieces(self, a, b):
        a, b = mpf(a), mpf(b)
        cuts = [self.mode + j * self.spread for j in (-50, -16, -6, -3, -1, 0, 1, 3, 6, 16, 50)] + [mpf(0)]
        return [a] + sorted(t for t in set(cuts) if a < t < b) + [b]

    def mass(self, a, b):
        return mp.quad(self.f, self.pieces(a, b)) if a < b else mpf(0)

    def moment(self, a, b):
        return mp.quad(lambda u: u * self.f(u), self.pieces(a, b)) if a < b else mpf(0)

    def check_totals(self):
        v, c = (self.nu - 1) / 2, self.c
        scale = mp.sqrt(mp.pi) * mp.gamma(self.nu / 2) * (2 / c) ** v * mp.exp(-self.logpeak)
        for got, want in ((self.total, scale * mp.besseli(v, c)), (self.moment_total, -scale * mp.besseli(v + 1, c))):
            if abs(got - want) > mpf(10) ** -17 * abs(want):
                raise RuntimeError("quadrature disagrees with the closed form: c=%s nu=%s" % (c, self.nu))

    def cdf(self):
        """P(U <= u_obs), from the nearer end."""
        if self.uobs < self.mode:
            return self.mass(-1, self.uobs) / self.total
        return 1 - self.mass(self.uobs, 1) / self.total

    def fraction(self, p, side):
        """First-moment fraction of the region of mass p ending at u_obs; None when none exists."""
        p, u, target = mpf(p), self.uobs, mpf(p) * self.total
        if side == 1:
            if self.mass(-1, u) < target:
                return None
            lo, hi = illinois(lambda z: self.mass(z, u) - target, mpf(-1), u), u
        else:
            if self.mass(u, 1) < target:
                return None
            lo, hi = u, illinois(lambda z: self.mass(u, z) - target, u, mpf(1))
        return self.moment(lo, hi) / self.moment_total


def onetailg(x, S, nu):
    return Conditional(x, S, nu).cdf()


def newg(x, p, side, S, nu):
    return Conditional(x, S, nu).fraction(p, side)


def crit(X, S, nu):
    S = mpf(S)
    return (X - S * S / 2) * mp.sqrt(nu) / S


def bracketed_root(F, x, step, direction):
    """A zero of F, searching from x in steps that double along direction until F changes sign."""
    fx = F(x)
    for _ in range(60):
        y = x + direction * step
        fy = F(y)
        if (fx < 0) != (fy < 0):
            return illinois(F, x, y, fx, fy)
        x, fx, step = y, fy, step * 2
    raise RuntimeError("no sign change")


def normal_seed(S, nu, p):
    S = mpf(S)
    z = mp.sqrt(2) * mp.erfinv(2 * mpf(p) - 1)
    return S * S / 2 + S * z * mp.sqrt(S * S / (2 * (nu + 2)) + mpf(1) / (nu + 1)), S / mp.sqrt(nu)


def onesided_X(S, nu, level):
    """X with P(U <= u_obs) = level; P falls as x grows."""
    x, step = normal_seed(S, nu, 1 - level)
    F = lambda x: onetailg(x, S, nu) - level
    return bracketed_root(F, x, step / 4, 1 if F(x) > 0 else -1)


def twosided_X(S, nu, alpha, side):
    """The zero of fraction - alpha. The region exists on one side of the point where the
    one-sided probability reaches alpha (side 1) or 1 - alpha (side 2); the fraction minus
    alpha is positive next to that point (side 1) or negative (side 2)."""
    alpha = mpf(alpha)
    F = lambda x: newg(x, alpha, side, S, nu) - alpha
    edge = onesided_X(S, nu, alpha if side == 1 else 1 - alpha)
    _, step = normal_seed(S, nu, alpha)
    away = -1 if side == 1 else 1
    offset = mpf(10) ** -12 * step
    while newg(edge + away * offset, alpha, side, S, nu) is None:
        offset *= 10
    return bracketed_root(F, edge + away * offset, step / 8, away)


def normal_tail_rows():
    xs = [i / 8 for i in range(-80, 81)] + [-37.5, -20.0, -18.5, -9.0, 9.0, 18.5, 20.0, 37.5, 1.28, -1.28, 1.2800000000000002]
    return [[exact(x), val(mp.ncdf(-mpf(x))), val(mp.ncdf(mpf(x)))] for x in sorted(set(xs))]


NUS = (2, 3, 10, 100, 1000)
SPREADS = (0.05, 0.2, 1.0, 3.0, 8.0, 20.0)
GRID_NUS = (2, 3, 5, 10, 30, 100, 300, 1000)


def trial_points(S, nu):
    """Trial values where the one-sided probability runs from about 1e-6 to 1 - 1e-6."""
    S = float(S)
    scale = S * (S * S / (2 * (nu + 2)) + 1 / (nu + 1)) ** 0.5
    return [S * S / 2 + z * scale for z in (-4.5, -2.0, -0.7, 0.0, 0.6, 1.9, 4.5)]


def progress(kind, row):
    print(kind, *row, file=sys.stderr)
    return row


def onetailg_rows():
    return [[str(nu), exact(S), exact(x), val(onetailg(x, S, nu))] for nu in NUS for S in SPREADS for x in trial_points(S, nu)]


def newg_rows():
    return [[str(nu), exact(S), exact(x), exact(p), str(side), val(newg(x, p, side, S, nu))]
            for nu in NUS for S in SPREADS for x in trial_points(S, nu)[1:-1]
            for p, side in ((0.95, 1), (0.95, 2), (0.5, 1), (0.5, 2))]


def onesided_rows():
    return [progress("one-sided", [str(nu), exact(S), exact(p), val(crit(onesided_X(S, nu, 1 - mpf(p)), S, nu))])
            for nu in GRID_NUS for S in SPREADS for p in (0.001, 0.025, 0.05, 0.3, 0.5, 0.7, 0.95, 0.975, 0.999)]


def twosided_rows():
    return [progress("two-sided", [str(nu), exact(S), exact(alpha)] +
                     [val(crit(twosided_X(S, nu, alpha, side), S, nu)) for side in (1, 2)])
            for nu in GRID_NUS for S in SPREADS for alpha in (0.001, 0.5, 0.9, 0.95, 0.999)]


TABLES = {
    "normal_tail_reference.txt": ("x  upper tail  lower tail", normal_tail_rows),
    "onetailg_reference.txt": ("nu  S  x  P(U <= u_obs)", onetailg_rows),
    "newg_reference.txt": ("nu  S  x  p  side  fraction (nan: no region)", newg_rows),
    "onesided_reference.txt": ("nu  S  p  C", onesided_rows),
    "twosided_reference.txt": ("nu  S  alpha  C(side 1)  C(side 2)", twosided_rows),
}

if __name__ == "__main__":
    wanted = sys.argv[1:]
    for name, (header, make) in TABLES.items():
        if not wanted or any(name.startswith(w) for w in wanted):
            write(name, header, make())
