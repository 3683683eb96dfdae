// The integrands of the coverage checks and the limit computations they call.

#include "cdfs/inverses/chinorm.h"
#include "engine/checked_limits.h"
#include "brennik/verification.h"

#include <cmath>

namespace verify {

namespace {

constexpr double quantileTolerance = 1.0e-15;
constexpr double argTop = 800.0;
constexpr int oneSidedIterations = 100;
constexpr int twoSidedIterations = 200;
constexpr int upperKind = 1; // one-sided limit kind: the upper limit, level alpha

// The sample standard deviation at chi-square quantile level u.
double sigmaHatAt(double u, const Case& c)
{
    const double x = cdfs::Chiinv(u, c.nu, quantileTolerance);
    return std::sqrt(x / c.nu) * c.sigma;
}

// The probability over mu-hat that the limit L (computed from mu-hat = mu)
// lies below theta.
double belowTheta(double L, const Case& c)
{
    const double theta = c.lambda * (c.sigma * c.sigma) + c.mu;
    return cdfs::normcdf((theta - L) / (c.sigma / std::sqrt(c.nu + 1.0)));
}

} // namespace

double OneTailPqDiff(int /*which*/, double u, const Case& c)
{
    const double sigmahat = sigmaHatAt(u, c);
    return belowTheta(VeriOneLimit(c.mu, sigmahat, c.lambda, c.nu, c.alpha, c.FunctionTol, c.ResultTol, c.replaced),
                      c);
}

double TwoTailPqDiff(int which, double u, const Case& c)
{
    const double sigmahat = sigmaHatAt(u, c);
    return belowTheta(
        VeriTwoLimit(which, c.mu, sigmahat, c.nu, c.alpha, c.lambda, c.FunctionTol, c.ResultTol, c.replaced), c);
}

double VeriOneLimit(double muhat, double sigmahat, double lambda, double nu, double alpha, double FunctionTol,
                    double ResultTol, long long* replaced)
{
    const engine::Settings settings{oneSidedIterations, argTop, FunctionTol, ResultTol};
    const engine::CheckedOneSided r = engine::CheckedOneTailedLimit(
        upperKind, {muhat, sigmahat, nu, alpha, lambda, nu + 1.0}, settings, engine::verificationVariant);
    if (replaced && r.replaced) ++*replaced;
    return r.result.limit;
}

double VeriTwoLimit(int which, double muhat, double sigmahat, double nu, double alpha, double lambda,
                    double FunctionTol, double ResultTol, long long* replaced)
{
    const engine::Settings settings{twoSidedIterations, argTop, FunctionTol, ResultTol};
    const engine::CheckedTwoSided r = engine::CheckedTwoTailedLimits(
        {muhat, sigmahat, nu, alpha, lambda, nu + 1.0}, settings, engine::verificationVariant);
    if (replaced && (which == 1 ? r.lowerReplaced : r.upperReplaced)) ++*replaced;
    return which == 1 ? r.result.lower : r.result.upper;
}

} // namespace verify
