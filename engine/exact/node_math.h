#pragma once
// Elementary functions over batches of quadrature nodes: sin and cos of half
// angles, and the density sin(s)^(nu - 1) exp(c cos s) relative to its peak.
//
// Each function is one fixed sequence of IEEE operations (Estrin sums of
// near-minimax polynomials fitted by make_node_polynomials.py, after exact
// range reductions; no fused multiply-add, no table), evaluated four lanes at
// a time. The AVX2 build of a batch and the SSE2 one perform the same
// operations on each lane, so every x86-64 machine gets the same bits; the
// scalar forms below run the same code on one lane.
// Accuracy: about 1 ulp for exp and sin/cos, 2 ulps for log1p.

namespace engine::exact::detail {

struct Shape;

// Batches are read and written in whole groups of four: arrays hold
// roundedUp(n) entries, inputs padded (with 0) past n. The callers use at
// most 2 x 20 nodes of a panel.
inline constexpr int maxNodeBatch = 40;
inline constexpr int roundedUp(int n)
{
    return (n + 3) / 4 * 4;
}

// sin and cos of x[i], |x[i]| <= pi/2.
void sinCosBatch(int n, const double* x, double* sinX, double* cosX);

// For points mode + d given by sin(d/2) and cos(d/2): u - u_mode and the
// density f relative to its peak (0 where it vanishes).
void densityBatch(const Shape& shape, int n, const double* sinHalf, const double* cosHalf, double* du, double* f);

// The node pairs mid -+ dx of a panel, from sin and cos of mid/2 and the
// half offsets dx/2 (|dx/2| <= pi/4, sin and cos by the shorter series of
// sinCosQuarterOf): u - u_mode and f below and above mid.
void panelBatch(const Shape& shape, double sinMid, double cosMid, int n, const double* halfOffset, double* duBelow,
                double* fBelow, double* duAbove, double* fAbove);

// The moments of a panel from its node pairs as panelBatch forms them:
// sums[0..2] = the sums over both nodes of pair i of weight[i] f,
// weight[i] f du and weight[i] f du^2 (weight read like halfOffset, padded
// with 0), in a fixed order of operations on every machine.
void panelMomentsBatch(const Shape& shape, double sinMid, double cosMid, int n, const double* halfOffset,
                       const double* weight, double* sums);

// The same functions for one argument, with the batches' bits.
double expOf(double x);   // exp(x); 0 below -708, +inf above 709.7
double log1pOf(double x); // log1p(x) for x > -1; -inf at -1
double logOf(double x);   // log(x) for x > 0
void sinCosOf(double x, double& sinX, double& cosX); // |x| <= pi/2
void sinCosQuarterOf(double x, double& sinX, double& cosX); // |x| <= pi/4, as panelBatch's offsets
double angleOf(double y, double x); // atan2(y, x) for y >= 0, in [0, pi]; about 3 ulps

} // namespace engine::exact::detail
