#!/usr/bin/env python3
"""Near-minimax polynomials for node_math.cpp (mpmath, 50 digits).

Each tail of a series is fitted by Chebyshev interpolation on its interval
(mpmath.chebyfit), the low-order terms kept exact; the script prints the
coefficients (highest power first, rounded to double) and the largest
relative error of the whole approximation with those rounded coefficients.

  exp(r)  = 1 + r + r^2/2 + r^3 q(r),  |r| <= ln2 / 2, q of degree 9
  log(1+f) = f - (f^2/2 - s (f^2/2 + z P(z))),  s = f/(2+f), z = s^2,
           |s| <= (sqrt2 - 1)/(sqrt2 + 1), P of degree 6
"""
from mpmath import mp, mpf, chebyfit, exp, log, sqrt, linspace, fsum, factorial

mp.dps = 50


def rounded(coefficients):
    return [float(c) for c in coefficients]


def horner(coefficients, x):
    p = mpf(0)
    for c in coefficients:
        p = p * x + c
    return p


def fit(f, lo, hi, degree):
    coefficients, _ = chebyfit(f, [lo, hi], degree + 1, error=True)
    return rounded(coefficients)


def show(name, values):
    print(f"{name} = {{")
    for v in values:
        print(f"    {v.hex()},")
    print("}")


# exp: q(r) = sum_{k>=3} r^(k-3) / k!
rMax = log(2) / 2
q = lambda r: fsum(r ** (k - 3) / factorial(k) for k in range(3, 40))
expTail = fit(q, -rMax, rMax, 9)
worst = max(abs((1 + r + r * r / 2 + r ** 3 * horner(expTail, r)) / exp(r) - 1) for r in linspace(-rMax, rMax, 2001))
show("expTail (r^12 .. r^3)", expTail)
print("exp relative error", mp.nstr(worst, 3))

# log: P(z) = sum_{j>=1} 2 z^(j-1) / (2j+1)
sMax = (sqrt(2) - 1) / (sqrt(2) + 1)
P = lambda z: fsum(2 * z ** (j - 1) / (2 * j + 1) for j in range(1, 60))
logTail = fit(P, 0, sMax * sMax, 6)
worst = 0
for s in linspace(-sMax, sMax, 2001):
    if s == 0:
        continue
    f = 2 * s / (1 - s)
    z = s * s
    approx = f - (f * f / 2 - s * (f * f / 2 + z * horner(logTail, z)))
    worst = max(worst, abs(approx / log(1 + f) - 1))
show("logTail (z^6 .. z^0)", logTail)
print("log relative error", mp.nstr(worst, 3))

# sin(x) = x + x z S(z) and cos(x) = 1 - (z/2 - z^2 C(z)), z = x^2, on
# |x| <= pi/2 (S of degree 8, C of degree 8) and on |x| <= pi/4 (the panel
# offsets: S of degree 6, C of degree 5). Errors: sin relative, cos absolute.
S = lambda z: fsum((-1) ** k * z ** (k - 1) / factorial(2 * k + 1) for k in range(1, 40))
C = lambda z: fsum((-1) ** k * z ** (k - 2) / factorial(2 * k) for k in range(2, 40))
from mpmath import pi, sin, cos
for top, label, sinDegree, cosDegree in ((pi / 2, "", 8, 8), (pi / 4, "Quarter", 6, 5)):
    sinTail = fit(S, 0, top * top, sinDegree)
    cosTail = fit(C, 0, top * top, cosDegree)
    xs = linspace(mpf("1e-3"), top, 2001)
    sinWorst = max(abs((x + x * x * x * horner(sinTail, x * x)) / sin(x) - 1) for x in xs)
    cosWorst = max(abs(1 - (x * x / 2 - x ** 4 * horner(cosTail, x * x)) - cos(x)) for x in xs)
    show(f"sinSeries{label} (z^{sinDegree} .. z^0)", sinTail)
    print("sin relative error", mp.nstr(sinWorst, 3))
    show(f"cosSeries{label} (z^{cosDegree} .. z^0)", cosTail)
    print("cos absolute error", mp.nstr(cosWorst, 3))

# atan(t) = t + t z A(z), z = t^2, on 0 <= t <= tan(pi/8): A of degree 10.
from mpmath import atan, tan
tMax = tan(pi / 8)
A = lambda z: fsum((-1) ** k * z ** (k - 1) / (2 * k + 1) for k in range(1, 200))
atanTail = fit(A, 0, tMax * tMax, 10)
worst = max(abs((t + t * t * t * horner(atanTail, t * t)) / atan(t) - 1) for t in linspace(mpf("1e-3"), tMax, 2001))
show("atanSeries (z^10 .. z^0)", atanTail)
print("atan relative error", mp.nstr(worst, 3))
