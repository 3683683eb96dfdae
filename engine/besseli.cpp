// Modified Bessel functions I_(alpha+k)(x) by backward recurrence from a
// starting order chosen by the Olver-Sookne significance test, normalised by
// the Neumann series sum_k w_k I_(alpha+k)(x) = exp(x) (x/2)^alpha / Gamma(1+alpha);
// a two-term ascending series for x < 1e-4 (Cody's RIBESL, SPECFUN, TOMS 715).

#include "engine/besseli.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace engine {

namespace {

constexpr int nsig = 16;           // decimal significance of a double
constexpr double enten = 1.0E308;  // largest power of 10 kept
constexpr double ensig = 1.0E16;   // 10^nsig
constexpr double rtnsig = 1.0E-4;  // below it the ascending series is used
constexpr double enmten = 8.9E-308; // smallest value kept
constexpr double exparg = 709.0;   // largest x for the unscaled values
constexpr double xlarge = 1.0E4;   // largest x for the scaled values
constexpr double growth = 1.585;   // per-order growth of the general significance test

// Once past order x, each forward step at least doubles p (2n/x > 2) and the
// stopping values stay below 2^1000, so no forward run takes this many steps.
constexpr int maxForwardSteps = 1100;

// The forward sequence p(n+1) = (en/x) p(n) + p(n-1), en = 2n + 2 alpha,
// whose growth tells how far above the wanted orders the backward recurrence
// must start. n is the published 1-based index: order n - 1 + alpha.
struct Forward {
    int n;
    double en;
    double p;
    double plast;
    double pold;

    void step(double x)
    {
        ++n;
        en = en + 2.0;
        pold = plast;
        plast = p;
        p = en * plast / x + pold;
    }
};

bool argumentsValid(double x, double alpha, int nb, int ize)
{
    return nb > 0 && x >= 0.0 && alpha >= 0.0 && alpha < 1.0 &&
           ((ize == 1 && x <= exparg) || (ize == 2 && x <= xlarge));
}

// x < 1e-4: I_v(x) ~ (x/2)^v / Gamma(v+1) * (1 + (x/2)^2 / (v+1)).
void ascendingSeries(double x, double alpha, int nb, int ize, std::span<double> B, int& ncalc)
{
    double tempa = 1.0;
    double empal = 1.0 + alpha;
    const double halfx = x > enmten ? 0.5 * x : 0.0;
    if (alpha != 0.0) tempa = std::pow(halfx, alpha) / gammafn(empal);
    if (ize == 2) tempa = tempa * std::exp(-x);
    const double tempb = (x + 1.0) > 1.0 ? halfx * halfx : 0.0;
    B[0] = tempa + tempa * tempb / empal;
    if (x != 0.0 && B[0] == 0.0) ncalc = 0;
    if (nb == 1) return;
    if (x == 0.0) {
        std::fill(B.begin() + 1, B.begin() + nb, 0.0);
        return;
    }
    // Terms below tover*empal would underflow in the next product: zero them.
    const double tempc = halfx;
    const double tover = tempb != 0.0 ? enmten / tempb : (enmten + enmten) / x;
    for (int k = 1; k < nb; ++k) {
        tempa = tempa / empal;
        empal = empal + 1.0;
        tempa = tempa * tempc;
        if (tempa <= tover * empal) tempa = 0.0;
        B[k] = tempa + tempa * tempb / empal;
        if (B[k] == 0.0 && ncalc > k + 1) ncalc = k;
    }
}

// p passed enten/ensig before reaching order nb - 1 + alpha: scale the
// sequence down by enten, go on until p passes 1 again, and lower ncalc to the
// highest order whose backward values keep the wanted significance. Leaves f
// at the starting order of the backward recurrence; false if the run failed.
bool rescueOverflow(Forward& f, double x, int nb, int& ncalc)
{
    const double tover = enten;
    f.p = f.p / tover;
    f.plast = f.plast / tover;
    double psave = f.p;
    double psavel = f.plast;
    const int nstart = f.n + 1;
    int steps = 0;
    do {
        f.step(x);
    } while (f.p <= 1.0 && ++steps < maxForwardSteps);
    if (f.p <= 1.0) {
        ncalc = 0;
        return false;
    }
    const double tempb = f.en / x;
    double test = f.pold * f.plast / ensig;
    test = test * (0.5 - 0.5 / (tempb * tempb));
    f.p = f.plast * tover;
    --f.n;
    f.en = f.en - 2.0;
    const int nend = std::min(nb, f.n);
    ncalc = nend + 1;
    for (int l = nstart; l <= nend; ++l) {
        const double pold = psavel;
        psavel = psave;
        psave = f.en * psavel / x + pold;
        if (psave * psavel > test) {
            ncalc = l;
            break;
        }
    }
    ncalc = ncalc - 1;
    return true;
}

// Backward recurrence I_(v-1) = (2v/x) I_v + I_(v+1) from one order above the
// start f.n, storing orders nb-1+alpha down to alpha in B[nb-1] .. B[0].
// Returns the Neumann sum of the unnormalised values. n is the 1-based index
// of the order in hand (order n - 1 + alpha, stored in B[n-1]).
//
// From x of about 1500 on, the values grow by more than the double range on
// the way down to order alpha (I_alpha(x) / I_x(x) is about exp(0.47 x)), and
// unguarded they overflow into a NaN or 0 result. So whenever a value or the
// sum passes rescaleAbove, everything in hand is multiplied by rescaleBy. A
// power of two scales exactly, so results that never came near overflow are
// bit for bit those of the unguarded recurrence, and B/sum is unchanged.
double recurBackward(double x, double alpha, int nb, const Forward& f, std::span<double> B)
{
    int n = f.n + 1;
    double en = f.en + 2.0;
    double tempb = 0.0;
    double tempa = 1.0 / f.p;
    double em = static_cast<double>(n) - 1.0;
    double empal = em + alpha;
    double emp2al = (em - 1.0) + (alpha + alpha);
    double sum = tempa * empal * emp2al / em;

    constexpr double rescaleAbove = 0x1p960;
    constexpr double rescaleBy = 0x1p-600;
    int lowestStored = nb; // B[lowestStored] .. B[nb-1] hold values

    // Adds the value v at index n with its weight; the factor emp2al is 1 at
    // index 2 (order 1 + alpha).
    const auto addWeighted = [&](double v) {
        em = em - 1.0;
        emp2al = emp2al - 1.0;
        if (n == 2) emp2al = 1.0;
        empal = empal - 1.0;
        sum = (sum + v * empal) * emp2al / em;
        if (v > rescaleAbove || sum > rescaleAbove) {
            tempa = tempa * rescaleBy;
            tempb = tempb * rescaleBy;
            sum = sum * rescaleBy;
            for (int k = lowestStored; k < nb; ++k) B[k] = B[k] * rescaleBy;
        }
    };

    if (n < nb) {
        // The start lies below the highest wanted order: those above it are 0.
        B[n - 1] = tempa;
        std::fill(B.begin() + n, B.begin() + nb, 0.0);
        lowestStored = n - 1;
    } else {
        // Recur down to index nb without storing.
        const int skip = n - nb;
        for (int i = 0; i < skip; ++i) {
            --n;
            en = en - 2.0;
            const double tempc = tempb;
            tempb = tempa;
            tempa = (en * tempb) / x + tempc;
            if (n == 1) break;
            addWeighted(tempa);
        }
        B[n - 1] = tempa;
        if (nb == 1) return (sum + sum) + tempa;
        --n;
        en = en - 2.0;
        B[n - 1] = (en * tempa) / x + tempb;
        if (n == 1) return (sum + sum) + B[0];
        lowestStored = n - 1;
        addWeighted(B[n - 1]);
    }

    const int steps = n - 2;
    for (int i = 0; i < steps; ++i) {
        --n;
        en = en - 2.0;
        B[n - 1] = (en * B[n]) / x + B[n + 1];
        lowestStored = n - 1;
        addWeighted(B[n - 1]);
    }
    B[0] = 2.0 * empal * B[1] / x + B[2];
    return (sum + sum) + B[0];
}

} // namespace

void besselseq(double x, double alpha, int nb, int ize, std::span<double> B, int& ncalc)
{
    if (!argumentsValid(x, alpha, nb, ize) || B.size() < static_cast<std::size_t>(nb)) {
        ncalc = std::min(nb, 0) - 1;
        return;
    }
    ncalc = nb;
    if (x < rtnsig) {
        ascendingSeries(x, alpha, nb, ize, B, ncalc);
        return;
    }

    // Forward sequence from order magx + alpha to find the starting order.
    const int magx = static_cast<int>(x);
    const int nbmx = nb - magx;
    Forward f{magx + 1, 0.0, 0.0, 1.0, 0.0};
    f.en = static_cast<double>(f.n + f.n) + (alpha + alpha);
    f.p = f.en / x;

    // General significance test.
    double test = ensig + ensig;
    if (2 * magx > 5 * nsig) {
        test = std::sqrt(test * f.p);
    } else {
        test = test / std::pow(growth, magx);
    }

    bool rescued = false;
    if (nbmx >= 3) {
        // Run up to order nb - 2 + alpha, watching for overflow.
        const double tover = enten / ensig;
        const int nstart = magx + 2;
        const int nend = nb - 1;
        for (int k = nstart; k <= nend && !rescued; ++k) {
            f.step(x);
            if (f.p > tover) {
                if (!rescueOverflow(f, x, nb, ncalc)) return;
                rescued = true;
            }
        }
        if (!rescued) {
            f.n = nend;
            f.en = static_cast<double>(f.n + f.n) + (alpha + alpha);
            // Special significance test for nb well above x.
            test = std::max(test, std::sqrt(f.plast * ensig) * std::sqrt(f.p + f.p));
        }
    }
    if (!rescued) {
        int steps = 0;
        do {
            f.step(x);
        } while (f.p < test && ++steps < maxForwardSteps);
        if (f.p < test) {
            ncalc = 0;
            return;
        }
    }

    double sum = recurBackward(x, alpha, nb, f, B);

    // Normalise.
    if (alpha != 0.0) sum = sum * gammafn(1.0 + alpha) * std::pow(x * 0.5, -alpha);
    if (ize == 1) sum = sum * std::exp(-x);
    double smallest = enmten;
    if (sum > 1.0) smallest = smallest * sum;
    for (int k = 0; k < nb; ++k) {
        if (B[k] < smallest) B[k] = 0.0;
        B[k] = B[k] / sum;
    }
}

double besseli(double x, double order, int ize)
{
    // Negative orders fail the argument check of besselseq anyway; NaN and
    // orders beyond the bound are refused before any work is sized.
    if (!(order >= 0.0 && order <= besselMaxOrder)) return besselFailure;
    const int n = static_cast<int>(order);
    const double alpha = order - n;
    const int nb = n + 1;
    if (!argumentsValid(x, alpha, nb, ize)) return besselFailure;

    constexpr int stackTerms = 2000;
    int ncalc = 0;
    double value = besselFailure;
    if (nb <= stackTerms) {
        std::array<double, stackTerms> work;
        besselseq(x, alpha, nb, ize, work, ncalc);
        if (ncalc == nb) value = work[nb - 1];
    } else {
        std::vector<double> work(static_cast<std::size_t>(nb));
        besselseq(x, alpha, nb, ize, work, ncalc);
        if (ncalc == nb) value = work[nb - 1];
    }
    return value;
}

} // namespace engine
