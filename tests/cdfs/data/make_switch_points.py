#!/usr/bin/env python3
"""Writes switch_points.txt: the exact double results that the published
formulas give at the switch points of rlog, rexp, erf, erfc1 and the normal
distribution function, where each routine must use the branch named below.

The formulas are evaluated here in IEEE double arithmetic (Python floats,
the same C library exp and log), written independently from the published
tables and steps. Each row also carries the value that the branch on the
other side of the switch would give; the test asserts the exact value of the
prescribed branch, so a switch moved by one comparison shows wherever the
two values differ (the script lists where they do).

Row: routine-id  x  value-of-prescribed-branch  value-of-other-branch
routine-id: 1 rlog, 2 rexp, 3 erf, 4 erfc1(0, x), 5 erfc1(1, x), 6 Phi.
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def horner_desc(c, x):
    v = c[0]
    for k in c[1:]:
        v = v * x + k
    return v


# ---- rlog, TOMS 654
RA, RB = .566749439387324E-01, .456512608815524E-01
RP = [.620886815375787E-02, -.224696413112536E+00, .333333333333333E+00]
RQ = [.354508718369557E+00, -.127408923933623E+01, 1.0]


def rlog_outer(x):
    return ((x - 0.5) - 0.5) - math.log(x)


def rlog_inner(x):
    if x < 0.82:
        u = (x - 0.7) / 0.7
        w1 = RA - u * 0.3
    elif x > 1.18:
        u = 0.75 * x - 1.0
        w1 = RB + u / 3.0
    else:
        u = (x - 0.5) - 0.5
        w1 = 0.0
    r = u / (u + 2.0)
    t = r * r
    w = horner_desc(RP, t) / horner_desc(RQ, t)
    return 2.0 * t * (1.0 / (1.0 - r) - r * w) + w1


# ---- rexp, TOMS 654
XP = [.238082361044469E-01, .914041914819518E-09, 1.0]
XQ = [.595130811860248E-03, -.119041179760821E-01, .107141568980644E+00, -.499999999085958E+00, 1.0]


def rexp_inner(x):
    return x * (horner_desc(XP, x) / horner_desc(XQ, x))


def rexp_outer(x):
    w = math.exp(x)
    return w * (0.5 + (0.5 - 1.0 / w)) if x > 0 else (w - 0.5) - 0.5


# ---- erf and erfc1, TOMS 708 (index 1 = highest power)
A = [.771058495001320E-04, -.133733772997339E-02, .323076579225834E-01, .479137145607681E-01,
     .128379167095513E+00]
B = [.301048631703895E-02, .538971687740286E-01, .375795757275549E+00, 1.0]
P = [-1.36864857382717E-07, 5.64195517478974E-01, 7.21175825088309E+00, 4.31622272220567E+01,
     1.52989285046940E+02, 3.39320816734344E+02, 4.51918953711873E+02, 3.00459261020162E+02]
Q = [1.00000000000000E+00, 1.27827273196294E+01, 7.70001529352295E+01, 2.77585444743988E+02,
     6.38980264465631E+02, 9.31354094850610E+02, 7.90950925327898E+02, 3.00459260956983E+02]
R = [2.10144126479064E+00, 2.62370141675169E+01, 2.13688200555087E+01, 4.65807828718470E+00,
     2.82094791773523E-01]
S = [9.41537750555460E+01, 1.87114811799590E+02, 9.90191814623914E+01, 1.80124575948747E+01, 1.0]
C = .564189583547756


def signed(x, v):
    return -v if x < 0 else v


def erf_small(x):
    t = x * x
    return x * ((horner_desc(A, t) + 1.0) / horner_desc(B, t))


def erf_middle(x):
    ax = abs(x)
    return signed(x, 0.5 + (0.5 - (math.exp(-x * x) * horner_desc(P, ax)) / horner_desc(Q, ax)))


def erf_large(x):
    ax = abs(x)
    x2 = x * x
    t = 1.0 / x2
    v = (C - horner_desc(R, t) / (x2 * horner_desc(S, t))) / ax
    return signed(x, 0.5 + (0.5 - math.exp(-x2) * v))


def erfc_final(ind, x, v):
    if ind != 0:
        return 2.0 * math.exp(x * x) - v if x < 0 else v
    t = x * x
    e = math.fma(x, x, -t) if hasattr(math, "fma") else float(
        __import__("fractions").Fraction(x) ** 2 - __import__("fractions").Fraction(t))
    v = ((0.5 + (0.5 - e)) * math.exp(-t)) * v
    return 2.0 - v if x < 0 else v


def erfc_small(ind, x):
    t = x * x
    v = 0.5 + (0.5 - x * ((horner_desc(A, t) + 1.0) / horner_desc(B, t)))
    return math.exp(t) * v if ind != 0 else v


def erfc_middle(ind, x):
    ax = abs(x)
    return erfc_final(ind, x, horner_desc(P, ax) / horner_desc(Q, ax))


def erfc_large(ind, x):
    ax = abs(x)
    rx = 1.0 / x
    t = rx * rx
    return erfc_final(ind, x, (C - (t * horner_desc(R, t)) / horner_desc(S, t)) / ax)


def erfc_limit(ind, x):
    return 2.0 if ind == 0 else 2.0 * math.exp(x * x)


# ---- Phi (ascending tables as given with the routine)
P1 = [242.66795523053176, 21.979261618294153, 6.996383488619135, -0.035609843701815386]
Q1 = [215.0588758698612, 91.1649054045149, 15.082797630407788, 1.0]
P2 = [300.4592610201616, 451.9189537118729, 339.3208167343437, 152.9892850469404,
      43.162227222056735, 7.2117582508830935, 0.564195517478974, -1.368648573827167e-07]
Q2 = [300.4592609569833, 790.9509253278981, 931.3540948506096, 638.9802644656312,
      277.58544474398764, 77.00015293522948, 12.782727319629423, 1.0]
P3 = [-0.002996107077035422, -0.04947309106232507, -0.22695659353968692, -0.2786613086096478,
      -0.02231924597341847]
Q3 = [0.010620923052846792, 0.19130892610782985, 1.051675107067932, 1.9873320181713525, 1.0]
TAIL = [-1.0, 3.0, -15.0, 105.0, -945.0, 10395.0, -135135.0, 2027025.0, -34459425.0, 654729075.0,
        -13749310575.0, 316234143225.0]


def devlpl(a, x):
    return horner_desc(list(reversed(a)), x)


def ln1p(a):
    if abs(a) > 0.375:
        return math.log(1.0 + a)
    t = a / (a + 2.0)
    t2 = t * t
    w = devlpl([1.0, -1.29418923021993, 0.405303492862024, -0.0178874546012214], t2) / devlpl(
        [1.0, -1.62752256355323, 0.747811014037616, -0.0845104217945565], t2)
    return 2.0 * t * w


def phi_tail(x):
    xx = abs(x)
    xx2 = xx * xx
    approx = -0.9189385332046728 - 0.5 * xx2 - math.log(xx)
    return math.exp(approx + ln1p(devlpl(TAIL, 1.0 / xx2) / xx2))


def phi_rational(x):
    y = x / 1.4142135623730951
    ay = abs(y)
    t = ay * ay
    if ay < 0.5:
        e = ay * devlpl(P1, t) / devlpl(Q1, t)
        return (e + 1.0) / 2.0 if x >= 0 else (1.0 - e) / 2.0
    if ay < 4.0:
        ec = math.exp(-t) * devlpl(P2, ay) / devlpl(Q2, ay)
    else:
        r = 1.0 / t
        ec = (math.exp(-t) / ay) * (0.5641895835477563 + r * devlpl(P3, r) / devlpl(Q3, r))
    return ((1.0 - ec) + 1.0) / 2.0 if x >= 0 else ec / 2.0


def rows():
    up = lambda x: math.nextafter(x, math.inf)
    down = lambda x: math.nextafter(x, -math.inf)
    s2 = 1.4142135623730951
    out = []
    for x in (0.61, 1.57):
        out.append((1, x, rlog_inner(x), rlog_outer(x)))
    out.append((1, down(0.61), rlog_outer(down(0.61)), rlog_inner(down(0.61))))
    out.append((1, up(1.57), rlog_outer(up(1.57)), rlog_inner(up(1.57))))
    for x in (0.15, -0.15):
        out.append((2, x, rexp_inner(x), rexp_outer(x)))
    out.append((2, up(0.15), rexp_outer(up(0.15)), rexp_inner(up(0.15))))
    out.append((2, down(-0.15), rexp_outer(down(-0.15)), rexp_inner(down(-0.15))))
    for x in (0.5, -0.5):
        out.append((3, x, erf_small(x), erf_middle(x)))
        out.append((3, up(abs(x)) * (1 if x > 0 else -1), erf_middle(up(abs(x)) * (1 if x > 0 else -1)),
                    erf_small(up(abs(x)) * (1 if x > 0 else -1))))
    for x in (4.0, -4.0):
        out.append((3, x, erf_middle(x), erf_large(x)))
    for x in (5.8, -5.8):
        out.append((3, down(x) if x > 0 else up(x), erf_large(down(x) if x > 0 else up(x)), signed(x, 1.0)))
    for ind, rid in ((0, 4), (1, 5)):
        for x in (0.5, -0.5):
            out.append((rid, x, erfc_small(ind, x), erfc_middle(ind, x)))
        for x in (4.0, -4.0):
            out.append((rid, x, erfc_middle(ind, x), erfc_large(ind, x)))
        out.append((rid, up(4.0), erfc_large(ind, up(4.0)), erfc_middle(ind, up(4.0))))
        out.append((rid, -5.6, erfc_limit(ind, -5.6), erfc_large(ind, -5.6)))
        out.append((rid, up(-5.6), erfc_large(ind, up(-5.6)), erfc_limit(ind, up(-5.6))))
    out.append((6, -15.0, phi_tail(-15.0), phi_rational(-15.0)))
    out.append((6, up(-15.0), phi_rational(up(-15.0)), phi_tail(up(-15.0))))
    out.append((6, 6.0, phi_rational(6.0), 1.0))
    for x in (0.5 * s2, -0.5 * s2, 4.0 * s2, -4.0 * s2):
        out.append((6, x, phi_rational(x), float("nan")))
    return out


if __name__ == "__main__":
    with open(os.path.join(HERE, "switch_points.txt"), "w") as f:
        f.write("# Written by make_switch_points.py: exact results of the published formulas.\n")
        f.write("# routine-id  x  prescribed-branch  other-branch\n")
        for rid, x, want, other in rows():
            f.write("%d %r %r %r\n" % (rid, x, want, other))
            print("%d %-22r %-24r %s" % (rid, x, want, "differs" if want != other else "same"))
