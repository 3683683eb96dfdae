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
