#!/usr/bin/env python3
"""Writes exact_reference.txt: critical values of the canonical problem to
about 30 digits, for the exact core's tests.

For a trial C, spread S and nu degrees of freedom (real, >= 2):
  w = -sqrt(nu + 1) (S/2 + C/sqrt(nu)),  c = S sqrt(nu + 1) sqrt(w^2 + nu) / 2,
  u_obs = w / sqrt(w^2 + nu),
and U on (-1, 1) has density proportional to (1 - u^2)^(nu/2 - 1) exp(-c u).
Here U = -cos(s): s on (0, pi) has density proportional to
sin(s)^(nu - 1) exp(c cos s), integrated with mpmath's tanh-sinh quadrature
in the standardised variable t = (s - mode)/sigma, split at 0, +-2, +-6,
+-15, +-40 (sigma: the curvature width at the mode) and at the observed point.

  kind 1 (one-sided):  P(U <= u_obs) = 1 - p
  kind 2 (two-sided):  the region of mass L with u_obs as its upper end
                       (lower root) or lower end (upper root) has the same
                       mean of U as the whole law; written as the zero of
                       E[(U - mean); region], the unbiasedness condition.

Roots: bracketed, then mpmath's Anderson-Bjorck solver; the bracket comes
from a crude normal approximation grown outward, never from the C++ code.
Each row is computed at 32 digits (two-sided levels L below 1e-4 get
log10(1/L) - 4 more); every fourth row again at 42 digits (and as many more) with
a finer split, and kept only if both agree to 1e-20 (1e-17 for the edges,
where far tails at large S are ill conditioned), relative to max(1, |C|); a
disagreeing row is dropped and reported.

Run: python3 make_exact_reference.py   (two worker processes, about five minutes
of CPU each) writes exact_reference.txt; python3 make_exact_reference.py edges
writes exact_reference_edges.txt: far tails (levels to 1e-6 and 1 - 1e-6, two-sided
levels down to 5e-324), S = 0 at small nu, real nu in (2, 3) with S > 5, large S
up to 1000, and a seeded random sample of those regions.
Rows: kind nu S level C_lower_or_C C_upper (C_upper is 0 for kind 1).
"""

import datetime
import math
import multiprocessing
import os
import random
import sys

import mpmath as mp
from mpmath import mpf

HERE = os.path.dirname(os.path.abspath(__file__))
COARSE = (1, 2, 4, 7, 11, 16, 24, 35)
FINE = (0.5, 1, 1.5, 2, 3, 4, 5.5, 7, 9, 11, 13.5, 16, 20, 24, 30, 35)
CHECK_EVERY = 4
NEGLIGIBLE = -120  # ln f below this (relative to the peak) at both ends of a piece: dropped


class Law:
    """The law of s for one trial value C: pieces between breaks at 0, pi,
    the mode +- t sigma and the observed point, with their masses and first
    moments of U = -cos(s)."""

    def __init__(self, S, nu, C, splits):
        self.nu = nu
        k = nu - 1
        w = -mp.sqrt(nu + 1) * (S / 2 + C / mp.sqrt(nu))
        self.c = c = S * mp.sqrt(nu + 1) * mp.sqrt(w * w + nu) / 2
        self.s_obs = mp.atan2(mp.sqrt(nu), -w)
        y = 2 * c / (k + mp.sqrt(k * k + 4 * c * c))
        mode = mp.acos(y)
        sigma = 1 / mp.sqrt(k / (1 - y * y) + c * y)
        self.peak = k * mp.log(mp.sin(mode)) + c * y
        self.cache = {}
        pts = {mpf(0), +mp.pi, mode, self.s_obs}
        for t in splits:
            for sgn in (-1, 1):
                s = mode + sgn * t * sigma
                if 0 < s < mp.pi:
                    pts.add(s)
        self.breaks = sorted(pts)
        self.pieces = []  # (a, b, mass, moment)
        for a, b in zip(self.breaks, self.breaks[1:]):
            if self.logf(a) < NEGLIGIBLE and self.logf(b) < NEGLIGIBLE:
                self.pieces.append((a, b, mpf(0), mpf(0)))
            else:
                self.pieces.append((a, b, mp.quad(self.f, [a, b]), mp.quad(self.uf, [a, b])))
        self.total = sum(p[2] for p in self.pieces)
        self.total_moment = sum(p[3] for p in self.pieces)

    def logf(self, s):
        if s <= 0 or s >= mp.pi:
            return mp.ninf
        return (self.nu - 1) * mp.log(mp.sin(s)) + self.c * mp.cos(s) - self.peak

    def f(self, s):
        v = self.cache.get(s)
        if v is None:
            v = self.cache[s] = mp.exp(self.logf(s)) if 0 < s < mp.pi else mpf(0)
        return v

    def uf(self, s):
        return -mp.cos(s) * self.f(s)

    def below(self, x):
        """(mass, moment) of (0, x)."""
        m0 = m1 = mpf(0)
        for a, b, p0, p1 in self.pieces:
            if b <= x:
                m0 += p0
                m1 += p1
            elif a < x:
                m0 += mp.quad(self.f, [a, x])
                m1 += mp.quad(self.uf, [a, x])
        return m0, m1

    def end_where(self, mass):
        """The z with mass(0, z) = mass: Newton inside its piece, kept in a bracket."""
        acc = mpf(0)
        for a, b, p0, _ in self.pieces:
            if acc + p0 >= mass:
                break
            acc += p0
        lo, hi = a, b
        z = a + (b - a) * (mass - acc) / p0
        for _ in range(200):
            F = acc + mp.quad(self.f, [a, z]) - mass
            if abs(F) <= self.total * mpf(10) ** (6 - mp.mp.dps):
                return z
            if F > 0:
                hi = z
            else:
                lo = z
            fz = self.f(z)
            nz = z - F / fz if fz > 0 else lo
            z = nz if lo < nz < hi else (lo + hi) / 2
        raise RuntimeError("free end did not converge")


def one_sided_h(S, nu, p, splits):
    def h(C):
        law = Law(S, nu, C, splits)
        return law.below(law.s_obs)[0] / law.total - (1 - p)

    return h


def two_sided_h(S, nu, L, upper_end, splits):
    """E[(U - mean); region] / total mass for the region of mass L ending at u_obs.
    Below 1e-(digits - 6) the region is a sliver beyond the working precision:
    then its mean is u_obs, and the equation is its limit u_obs = mean (both
    roots coincide to far below double precision)."""

    def h(C):
        law = Law(S, nu, C, splits)
        mean = law.total_moment / law.total
        if L < mpf(10) ** (6 - mp.mp.dps):
            return -mp.cos(law.s_obs) - mean
        m0_obs, m1_obs = law.below(law.s_obs)
        want = L * law.total
        if upper_end and m0_obs <= want:
            return mpf(-1)  # no region below the observed point: beyond the root
        if not upper_end and law.total - m0_obs <= want:
            return mpf(1)
        z = law.end_where(m0_obs - want if upper_end else m0_obs + want)
        m1_z = law.below(z)[1]
        region_moment = m1_obs - m1_z if upper_end else m1_z - m1_obs
        return (region_moment - L * mean * law.total) / law.total

    return h


def crude(S, nu, p):
    """A crude normal approximation of C (a place to start the bracket)."""
    z = mp.sqrt(2) * mp.erfinv(2 * mpf(p) - 1)
    return z * mp.sqrt(nu) * mp.sqrt(S * S / (2 * (nu + 2)) + 1 / (nu + 1))


def root(h, start):
    """The zero of the decreasing h: grow a bracket from start, then regula
    falsi with the Illinois weights, bisecting when the bracket stalls."""
    step = max(mpf(1) / 2, abs(start) / 4)
    a, ha = start, h(start)
    for _ in range(200):
        b = a + step if ha > 0 else a - step
        hb = h(b)
        if (ha > 0) != (hb > 0):
            break
        a, ha = b, hb
        step *= 2
    else:
        raise RuntimeError("no bracket")
    tol = mpf(10) ** (8 - mp.mp.dps)
    side = 0
    for _ in range(400):
        if abs(b - a) <= tol * max(1, abs(a)):
            return (a + b) / 2
        x = b - hb * (b - a) / (hb - ha)
        if not (min(a, b) < x < max(a, b)):
            x = (a + b) / 2
        hx = h(x)
        if hx == 0:
            return x
        if (hx > 0) == (hb > 0):
            b, hb = x, hx
            if side == -1:
                ha /= 2
            side = -1
        else:
            a, ha = x, hx
            if side == 1:
                hb /= 2
            side = 1
    raise RuntimeError("root did not converge")


def solve(case, dps, splits):
    kind, nu, S, level = case
    with mp.workdps(dps):
        nu_, S_, level_ = mpf(nu), mpf(S), mpf(level)
        if kind == 1:
            return [root(one_sided_h(S_, nu_, level_, splits), crude(S_, nu_, level_))]
        lower = root(two_sided_h(S_, nu_, level_, True, splits), crude(S_, nu_, (1 - level_) / 2))
        upper = root(two_sided_h(S_, nu_, level_, False, splits), crude(S_, nu_, (1 + level_) / 2))
        return [lower, upper]


def row(numbered, agreement=mpf(10) ** -20):
    index, case = numbered
    kind, nu, S, level = case
    # A two-sided region of mass L is found as a difference of masses of
    # order one: it gets the digits that L takes away on top.
    extra = max(0, int(-math.log10(min(level, 1 - level))) - 4) if kind == 2 and level > 1e-25 else 0
    try:
        value = solve(case, 32 + extra, COARSE)
        if index % CHECK_EVERY == 0:
            check = solve(case, 42 + extra, FINE)
            for x, y in zip(value, check):
                if abs(x - y) > agreement * max(1, abs(y)):
                    return index, None, case, "precisions disagree: %s %s" % (x, y)
    except (RuntimeError, ZeroDivisionError, ValueError) as failure:
        return index, None, case, str(failure)
    cs = [mp.nstr(v, 30, min_fixed=0, max_fixed=0) for v in value] + (["0"] if kind == 1 else [])
    return index, " ".join([str(kind), repr(nu), repr(S), repr(level)] + cs), case, None


def cases():
    out = []
    levels1 = (0.001, 0.025, 0.3, 0.5, 0.95, 0.999)
    levels2 = (0.001, 0.5, 0.95, 0.999)
    i = 0
    for nu in (2.0, 2.5, 3.0, 7.3, 10.0, 150.5, 1000.0, 1.0e5):
        for S in (0.0, 0.1, 1.0, 5.0, 20.0):
            out.append((1, nu, S, levels1[i % 6]))
            out.append((1, nu, S, levels1[(i + 3) % 6]))
            out.append((2, nu, S, levels2[i % 4]))
            i += 1
    for nu, S in ((4.0, 50.0), (30.0, 100.0), (2.0, 100.0)):
        out += [(1, nu, S, 0.05), (1, nu, S, 0.95), (2, nu, S, 0.95)]
    out += [(1, 2.0, 1.0, 1 - 1e-6), (1, 2.0, 1.0, 1e-6), (2, 2.0, 1.0, 1 - 1e-6)]
    out += [(1, 14.0, 0.4272, 0.95), (2, 3.0, 10.0, 0.999), (2, 4.0, 20.0, 0.001), (2, 9.0, 1e-8, 0.95)]
    return out


def edge_cases():
    out = []
    tails1 = (1e-6, 1.446e-5, 1e-4, 1 - 1e-4, 1 - 1e-5, 1 - 1e-6)
    tails2 = (1e-6, 2e-5, 1 - 1e-4, 1 - 1e-6)
    for S in (0.0, 0.5, 3.0, 10.0):
        out += [(1, 2.0, S, p) for p in tails1] + [(2, 2.0, S, L) for L in tails2]
    for nu in (2.4, 12.7, 1.0e4):
        for S in (0.0, 3.0):
            out += [(1, nu, S, p) for p in (1e-6, 1.446e-5, 1 - 1e-4, 1 - 1e-6)]
            out += [(2, nu, S, L) for L in (1e-6, 1 - 1e-6)]
        out += [(1, nu, 10.0, 1e-5), (1, nu, 10.0, 1 - 1e-5), (2, nu, 10.0, 2e-5)]
    i = 0
    levels1 = (0.001, 0.05, 0.5, 0.95, 0.999)
    levels2 = (1e-4, 0.3, 0.95, 0.9999)
    for nu in (2.1, 2.37, 2.63, 2.9):
        for S in (6.0, 30.0):
            out += [(1, nu, S, levels1[i % 5]), (2, nu, S, levels2[i % 4])]
            i += 1
    for nu in (2.0, 11.663467614334985, 100.0):
        for S in (84.30003325241256, 1000.0):
            out += [(1, nu, S, levels1[i % 5]), (2, nu, S, levels2[i % 4])]
            i += 1
    # reported faults: far two-sided tails at large S, and tiny two-sided levels
    out += [(2, 11.663467614334985, 84.30003325241256, 1.9794979851492405e-06),
            (2, 7.0, 19.232517018311594, 5.601718622252707e-06),
            (2, 2.0, 1000.0, 5e-324), (2, 2.0, 1000.0, 1e-20),
            (2, 2.0, 1000.0, 1e-10), (2, 2.0, 1000.0, 1e-6), (2, 30.0, 2.0, 1e-12)]
    # a seeded random sample: nu log-uniform on [2, 1e4] (a third in (2, 3)),
    # S zero or log-uniform on [0.01, 300], levels log-uniform to 1e-6 from 0 or 1
    rng = random.Random(20270311)
    for k in range(40):
        nu = 2 + rng.random() if k % 3 == 0 else round(math.exp(rng.uniform(math.log(2), math.log(1e4))), 3)
        S = 0.0 if k % 7 == 0 else float("%.6g" % math.exp(rng.uniform(math.log(0.01), math.log(300))))
        tail = float("%.6g" % 10 ** -rng.uniform(0.5, 6))
        if k % 2 == 0:
            out.append((1, nu, S, tail if rng.random() < 0.5 else 1 - tail))
        else:
            out.append((2, nu, S, tail if rng.random() < 0.3 else 1 - tail))
    return out


def edge_row(numbered):
    # Far tails at large S are ill conditioned (C moves the equation by 1e-6
    # of its scale): 32 and 42 digits agree to 1e-17 there, still far below
    # double precision.
    return row(numbered, mpf(10) ** -17)


def main():
    edges = len(sys.argv) > 1 and sys.argv[1] == "edges"
    todo = edge_cases() if edges else cases()
    if len(sys.argv) > 2:
        todo = todo[: int(sys.argv[2])]
    name = "exact_reference_edges.txt" if edges else "exact_reference.txt"
    # Finished rows go to NAME.partial as they come, so that a stopped run
    # resumes where it was.
    partial = os.path.join(HERE, name + ".partial")
    results = {}
    done = {}
    if os.path.exists(partial):
        for line in open(partial):
            fields = line.split()
            done[(int(fields[0]), float(fields[1]), float(fields[2]), float(fields[3]))] = line.strip()
    pending = []
    for index, case in enumerate(todo):
        if case in done:
            results[index] = done[case]
        else:
            pending.append((index, case))
    with multiprocessing.Pool(2) as pool, open(partial, "a") as keep:
        for index, text, case, failure in pool.imap_unordered(edge_row if edges else row, pending, chunksize=1):
            if text is None:
                print("dropped:", case, failure, file=sys.stderr, flush=True)
            else:
                results[index] = text
                keep.write(text + "\n")
                keep.flush()
                print("%d/%d" % (len(results), len(todo)), text, file=sys.stderr, flush=True)
    lines = [results[i] for i in sorted(results)]
    with open(os.path.join(HERE, name), "w") as out:
        out.write("# Made by make_exact_reference.py%s with mpmath %s on %s: 32 digits; every\n"
                  "# %dth row recomputed at 42 digits on a finer split and agreeing to %s.\n"
                  % (" edges" if edges else "", mp.__version__, datetime.date.today().isoformat(), CHECK_EVERY,
                     "1e-17" if edges else "1e-20"))
        out.write("# kind (1 one-sided, 2 two-sided)  nu  S  level  C (lower)  C upper (0 for kind 1)\n")
        out.writelines(line + "\n" for line in lines)
    os.remove(partial)


if __name__ == "__main__":
    main()
