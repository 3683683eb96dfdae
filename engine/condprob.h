#pragma once
// The conditional probability functions whose zeros are the limits, with
// their density, integrators and endpoint solvers. Inner routines of the
// engine; the searches and the tests use them.
//
// Canonical problem: lambda = 1/2, gamma^2 = nu + 1. For a trial value x and
// spread S the standardised statistic U lies in (-1, 1) with density
// proportional to (1 - u^2)^(nu/2 - 1) exp(-c u); its observed value is u_obs.

#include "engine/variant.h"

namespace engine {

inline constexpr double pi = 3.141592653589793;

// Failure values of the probability functions.
inline constexpr double onetailgFailure = -9999.9; // onetailg: no total mass
inline constexpr double lowerEndFailure = -8.0e6;  // newg, lower end sought: an integral failed
inline constexpr double upperEndFailure = -5.0e6;  // newg, upper end sought: an integral failed
inline constexpr double twoDfFailure = -1.0e6;     // newg, nu = 2: no upper end exists

// The scaled density: K exp((nu+1) g (u+1) - ((nu-1)/2) ln(2/c) - lgam - (nu+1) F
// - ln Dv + (nu/2 - 1) ln(1 - u^2)) with c = -(nu+1) g. With lgam = ln Gamma(nu/2)
// it is the normalised density of U times exp(-c) I_((nu-1)/2)(c), divided by
// exp((nu+1) F) Dv. The terms that do not depend on u are kept ready.
struct Density {
    Density(double nu, double g, double K, double lgam, double F, double Dv);

    double nu;
    double g;
    double K;
    double lgam;
    double F;
    double Dv;

    double slope;     // (nu + 1) g
    double normTerm;  // ((nu - 1)/2) ln(2/c)
    double scaleTerm; // (nu + 1) F
    double logDv;     // ln Dv
    double power;     // nu/2 - 1
};

// Accuracy thresholds of one integral.
struct Thresholds {
    double negligible;
    double accuracy;
    double refine;
};

// The thresholds of the variant: fixed, or Tolerance/1000, /100 and /10.
Thresholds thresholdsOf(const Variant& variant, double Tolerance);

// Mode of (1 - u^2)^(nu/2 - 1) exp(-c u), c = -(nu + 1) g; -1 for nu = 2.
double umode(double nu, double g);

// Log-scale factor of the density: linear in S for nu <= 1000; for larger nu
// 0 when S > 5 (announced on the console when announce is set), else the
// value that makes the unscaled density at the mode m equal to K.
double Factor(double nu, double S, double m, double g, double lgam, const Variant& variant,
              bool announce);

double condens(double u, const Density& d);
double TWOTAILEDNEWF(double u, const Density& d); // u x condens(u)

// Integrals of condens / TWOTAILEDNEWF over [a, b] (signed when a > b), with
// the thresholds of the variant and Tolerance. A
// stack that runs out sets exhausted (never cleared here); the value is then
// meaningless.
double intdens(double a, double b, const Density& d, const Variant& variant, double Tolerance,
               bool& exhausted);
double intmom(double a, double b, const Density& d, const Variant& variant, double Tolerance,
               bool& exhausted);

// The lower end z in [a, b] with mass(z, b) = target, and the upper end z in
// [a, b] with mass(a, z) = target. fail := 1 when no such end was found (the
// value is then meaningless); fail is left alone otherwise.
double solvelow(double a, double b, double target, const Density& d, const Variant& variant,
                double Tolerance, int& fail);
double solveup(double a, double b, double target, const Density& d, const Variant& variant,
               double Tolerance, int& fail);

// First-moment fraction over (zL, zU) of the density proportional to
// exp(t u) on (-1, 1), t < 0 (two degrees of freedom).
double twodfmom(double zL, double zU, double t);

// 1 when the closed Bessel form may be used for argument c and this order.
int usebessel(double c, double order, double ArgTop, const Variant& variant);

// Two-sided function: the first-moment fraction of the acceptance region of
// conditional probability p that has u_obs as its upper end (side 1) or its
// lower end (any other side). On failure fail = 1 and the value is one of the
// failure values above; otherwise fail = 0.
double newg(double x, double p, int side, double nu, double S, double ArgTop, double Tolerance, double lgam,
            int& fail, const Variant& variant);

// One-sided function P(U <= u_obs), or onetailgFailure. how := 1 when the
// total mass came from the Bessel closed form, 2 when it was integrated on the
// ordinary route; left alone otherwise.
double onetailg(double x, double nu, double S, double ArgTop, double Tolerance, int& how, double lgam,
                const Variant& variant);

} // namespace engine
