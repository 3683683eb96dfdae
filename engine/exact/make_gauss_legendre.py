#!/usr/bin/env python3
"""Writes gauss_legendre.h: the non-negative nodes and their weights of the
Gauss-Legendre rules on [-1, 1] that the exact core uses, to 40 digits with
mpmath (Newton's method on the Legendre polynomial from the Chebyshev guess),
rounded to doubles. Run: python3 make_gauss_legendre.py > gauss_legendre.h"""

import mpmath as mp

mp.mp.dps = 40
ORDERS = (8, 10, 20, 24)


def rule(n):
    nodes = []
    for i in range(1, n // 2 + 1):
        x = mp.cos(mp.pi * (i - mp.mpf(1) / 4) / (n + mp.mpf(1) / 2))
        for _ in range(100):
            dx = mp.legendre(n, x) / mp.diff(lambda t: mp.legendre(n, t), x)
            x -= dx
            if abs(dx) < mp.mpf(10) ** -38:
                break
        d = mp.diff(lambda t: mp.legendre(n, t), x)
        nodes.append((x, 2 / ((1 - x * x) * d * d)))
    assert abs(sum(2 * w for _, w in nodes) - 2) < mp.mpf(10) ** -35
    return sorted(nodes)


print("#pragma once")
print("// Gauss-Legendre rules on [-1, 1]: the positive nodes in ascending order and")
print("// their weights (the rule is symmetric). Made by make_gauss_legendre.py")
print("// (mpmath %s, 40 digits); do not edit by hand." % mp.__version__)
print()
print("namespace engine::exact::detail {")
for n in ORDERS:
    x = rule(n)
    print()
    print("inline constexpr int glOrder%d = %d;" % (n, n))
    print("inline constexpr double glNodes%d[%d] = {" % (n, n // 2))
    for xi, _ in x:
        print("    %s," % mp.nstr(xi, 20, min_fixed=-1, max_fixed=1))
    print("};")
    print("inline constexpr double glWeights%d[%d] = {" % (n, n // 2))
    for _, wi in x:
        print("    %s," % mp.nstr(wi, 20, min_fixed=-1, max_fixed=1))
    print("};")
print()
print("} // namespace engine::exact::detail")
