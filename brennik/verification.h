#pragma once
// Coverage checks of the engine's limits. For true values mu, sigma, lambda
// and nu, the sample standard deviation at chi-square quantile level u is
// sigma-hat = sigma sqrt(chi-square quantile(u; nu)/nu); the limit L is
// recomputed from mu-hat = mu and that sigma-hat, and
// Phi((theta - L)/(sigma/sqrt(nu + 1))) is the probability, over mu-hat,
// that the limit lies below theta = mu + lambda sigma^2. Its integral over u
// in (0, 1) is the probability that the limit misses theta from below.
//
// gamma^2 = nu + 1 throughout (a single sample of nu + 1 values).

#include <functional>

namespace verify {

// One case of the verification grid.
struct Case {
    double mu;          // the true mean, also the mu-hat the limit is computed from
    double sigma;       // the true standard deviation
    double lambda;
    double nu;
    double alpha;       // the level handed to the limit computation
    double FunctionTol; // Tolerance of the limit searches
    double ResultTol;   // ResultTol of the limit searches
    long long* replaced = nullptr; // counts limits whose search the exact value replaced
};

// An integrand: its value at the abscissa u for the case; which selects the
// limit (1: the lower two-sided limit, any other value: the upper one).
using Integrand = std::function<double(int which, double u, const Case& c)>;

struct Quadrature {
    double value; // the integral; the sum so far when the stack limit was met
    int deepest;  // the largest stack index reached
    bool stopped; // a subinterval became too narrow for its position: the program must stop
};

// Adaptive Simpson rule over [a, b], depth first from left to right. The
// first subinterval has tolerance 10 x AdapQuadTol, halved with each halving;
// none is accepted before it is an eighth of [a, b] (33 evaluations at least).
// A stack of 98 pending subintervals ends the integration early with the sum
// so far (and two console lines); a subinterval narrower than 1e-16 of its
// position stops it with stopped set (and one console line).
Quadrature AdapQuad(const Integrand& f, int which, double a, double b, const Case& c, double AdapQuadTol);

// The probability that the one-sided upper limit of level alpha lies below
// theta, at level u; which is not used.
double OneTailPqDiff(int which, double u, const Case& c);
// The same for the lower (which = 1) or upper two-sided limit of level alpha.
double TwoTailPqDiff(int which, double u, const Case& c);

// The one-sided upper limit of level alpha, by the engine's one-sided search
// with the verification variant and the settings NumIt 100, ArgTop 800,
// Tolerance FunctionTol and ResultTol, checked against the exact core: where
// the search is off, the exact limit is returned and *replaced (when given)
// counts it.
double VeriOneLimit(double muhat, double sigmahat, double lambda, double nu, double alpha, double FunctionTol,
                    double ResultTol, long long* replaced = nullptr);
// The lower (which = 1) or upper two-sided limit of level alpha, with the
// settings NumIt 200, ArgTop 800, Tolerance FunctionTol and ResultTol and the
// verification variant, checked in the same way.
double VeriTwoLimit(int which, double muhat, double sigmahat, double nu, double alpha, double lambda,
                    double FunctionTol, double ResultTol, long long* replaced = nullptr);

} // namespace verify
