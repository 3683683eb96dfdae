// One-sided limits: the secant search for the zero of the one-sided
// conditional probability minus its level, seeded by a normal approximation.

#include "engine/condprob.h"
#include "engine/loggamma.h"
#include "engine/limit_searches.h"
#include "engine/searches.h"

#include <array>
#include <cmath>
#include <limits>

namespace engine {

namespace {

constexpr double quantileFailure = -99999.0;
constexpr double onetailgFailed = -9000.0; // a search value below this came from onetailgFailure
// NormalCdf is exactly 0 below -100 and 1 above 100, so stepping by 0.1 from
// 1.0 brackets any p in (0, 1) within 1011 steps.
constexpr int quantileBracketSteps = 1100;
constexpr double quantileStep = 0.1;

} // namespace

double NormalTail(double x, bool upper)
{
    constexpr double ltone = 7.0;   // largest z for which the lower tail is computed
    constexpr double utzero = 18.66; // largest z for which the upper tail is nonzero
    constexpr double con = 1.28;     // switch between the two rational forms
    // AS 66 (Hill 1973, book form): A1 .. A7 and B1 .. B12 in published order.
    constexpr std::array<double, 7> A{0.398942280444, 0.399903438504, 5.75885480458, 29.8213557808,
                                      2.62433121679,  48.6959930692,  5.92885724438};
    constexpr std::array<double, 12> B{0.398942280385, 3.8052e-8,     1.00000615302, 3.98064794e-4,
                                       1.98615381364,  0.151679116635, 5.29330324926, 4.8385912808,
                                       15.1508972451,  0.742380924027, 30.789933034,  3.99019417011};

    bool up = upper;
    double z = x;
    if (z < 0.0) {
        up = !up;
        z = -z;
    }
    double tail = 0.0; // the small tail beyond z >= 0
    if (z <= ltone || (up && z <= utzero)) {
        const double y = 0.5 * z * z;
        if (z > con) {
            tail = B[0] * std::exp(-y) /
                   (z - B[1] +
                    B[2] / (z + B[3] + B[4] / (z - B[5] + B[6] / (z + B[7] - B[8] / (z + B[9] + B[10] / (z + B[11]))))));
        } else {
            tail = 0.5 - z * (A[0] - A[1] * y / (y + A[2] - A[3] / (y + A[4] + A[5] / (y + A[6]))));
        }
    }
    return up ? tail : 1.0 - tail;
}

double NormalCdf(double x)
{
    if (x <= -100.0) return 0.0;
    if (x >= 100.0) return 1.0;
    return NormalTail(x, false);
}

double NormalQuantile(double p, double tol, int maxit)
{
    if (p <= 0.0 || p >= 1.0) return quantileFailure;
    double x0 = 1.0;
    for (int k = 0; k < quantileBracketSteps && NormalCdf(x0) - p >= 0.0; ++k) x0 = x0 - quantileStep;
    double x1 = 1.0;
    for (int k = 0; k < quantileBracketSteps && NormalCdf(x1) - p <= 0.0; ++k) x1 = x1 + quantileStep;

    int i = 2;
    double f0 = NormalCdf(x0) - p;
    double f1 = NormalCdf(x1) - p;
    double x2 = x1;
    while (i <= maxit) {
        if (f1 == f0) return x1;
        x2 = x1 - (x1 - x0) * f1 / (f1 - f0);
        if (std::fabs(x2 - x1) <= tol) return x2;
        i = i + 1;
        x0 = x1;
        f0 = f1;
        x1 = x2;
        f1 = NormalCdf(x2) - p;
    }
    return x2;
}

double OneTailedSecant(double x0, double x1, double target, double nu, double S, const Settings& settings,
                       double lgam, const Variant& variant, int& iterations)
{
    int how = 0; // closed form or integration: not needed here
    const auto F = [&](double x) { return onetailg(x, nu, S, settings.ArgTop, settings.Tolerance, how, lgam, variant) - target; };

    int i = 2;
    double f0 = F(x0);
    double f1 = F(x1);
    double x2 = x1; // the answer when no step is taken
    while (i <= settings.NumIt && f1 > onetailgFailed) {
        if (f1 == f0) {
            iterations = i;
            return x1;
        }
        x2 = x1 - (x1 - x0) * f1 / (f1 - f0);
        const double f2 = F(x2);
        if (std::fabs(x2 - x1) <= settings.Tolerance && std::fabs(f2) < settings.ResultTol) {
            iterations = i;
            return x2;
        }
        i = i + 1;
        x0 = x1;
        f0 = f1;
        x1 = x2;
        f1 = f2;
    }
    iterations = i;
    return x2;
}

double OneTailedCrit(double S, int n, double p, const Settings& settings, const Variant& variant,
                     int& iterations)
{
    if (!(S > 0.0)) { // no spread: no critical value exists
        iterations = 0;
        return std::numeric_limits<double>::quiet_NaN();
    }
    const double nu = n - 1;
    const double lgam = loggamma(nu / 2.0);
    const double z = NormalQuantile(p, 1.0e-4, 500);
    const double A = S * z * std::sqrt(S * S / (2.0 * (nu + 2.0)) + 1.0 / (nu + 1.0));
    // The second point lies 2.5 times as far out as the first; from a second
    // point as far out as A itself the unbracketed secant steps onto the flat
    // tail of onetailg and runs away for most lower limits. Near the median
    // (z close to 0) the two points would all but coincide and their values
    // could agree exactly, which ends the search before it starts: keep them
    // apart by a thousandth of the spread of the approximation.
    const double x0 = S * S / 2.0 + 0.15 * A;
    double x1 = S * S / 2.0 + 2.5 * (0.15 * A);
    const double minimumGap = 1.0e-3 * S * std::sqrt(S * S / (2.0 * (nu + 2.0)) + 1.0 / (nu + 1.0));
    if (std::fabs(x1 - x0) < minimumGap) x1 = x0 + minimumGap;
    const double X = OneTailedSecant(x0, x1, 1.0 - p, nu, S, settings, lgam, variant, iterations);
    return critical(X, S, nu);
}

OneSidedResult OneTailedLimit(int kind, double muhat, double sigmahat, double nu, double alpha,
                              double lambda, double gamma2, const Settings& settings,
                              const Variant& variant)
{
    const Canonical c = oneSidedCanonical(kind, sigmahat, nu, alpha, lambda, gamma2, true);
    OneSidedResult r{};
    r.C = OneTailedCrit(c.S, static_cast<int>(c.nu) + 1, c.p, settings, variant, r.iterations);
    r.limit = limitOf(muhat, sigmahat, nu, lambda, c.gamma, c.sign, r.C);
    return r;
}

} // namespace engine
