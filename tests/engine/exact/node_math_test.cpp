// The exact core's batched elementary functions: a few ulps from the C
// library's, and the batches (AVX2 where the machine has it) bit for bit equal
// to the one-lane forms, which run the baseline instructions.

#include "engine/exact/density_table.h"
#include "engine/exact/node_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <utility>

namespace {

using namespace engine::exact::detail;

double ulpsApart(double got, double want)
{
    if (got == want) return 0.0;
    return std::fabs(got - want) / std::fabs(std::nextafter(want, INFINITY) - want);
}

TEST(NodeMath, WithinAFewUlpsOfTheLibrary)
{
    struct Case {
        const char* name;
        double lo, hi; // argument range (log-uniform magnitudes where lo > 0)
        double (*ours)(double);
        double (*library)(double);
        double ulps;
    };
    const Case cases[] = {
        {"exp", -700.0, 5.0, expOf, [](double x) { return std::exp(x); }, 1.0},
        {"log1p near 0", -1e-300, 1e-300, log1pOf, [](double x) { return std::log1p(x); }, 1.0},
        {"log1p", -0.999, 1e30, log1pOf, [](double x) { return std::log1p(x); }, 2.0},
        {"log", 1e-320, 1e300, logOf, [](double x) { return std::log(x); }, 1.0},
        {"sin", -1.5707963267948966, 1.5707963267948966, [](double x) { double s, c; sinCosOf(x, s, c); return s; },
         [](double x) { return std::sin(x); }, 2.0},
        {"cos", -1.2, 1.2, [](double x) { double s, c; sinCosOf(x, s, c); return c; },
         [](double x) { return std::cos(x); }, 2.0},
        {"sin to pi/4", -0.7853981633974483, 0.7853981633974483,
         [](double x) { double s, c; sinCosQuarterOf(x, s, c); return s; }, [](double x) { return std::sin(x); }, 2.0},
        {"cos to pi/4", -0.7853981633974483, 0.7853981633974483,
         [](double x) { double s, c; sinCosQuarterOf(x, s, c); return c; }, [](double x) { return std::cos(x); }, 2.0},
    };
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const Case& c : cases) {
        double worst = 0.0;
        for (int i = 0; i < 200000; ++i) {
            double x = c.lo + (c.hi - c.lo) * unit(random);
            if (c.lo > 0.0) x = std::exp(std::log(c.lo) + (std::log(c.hi) - std::log(c.lo)) * unit(random));
            if (std::fabs(c.hi) < 1e-200) x = (unit(random) - 0.5) * std::exp(-700.0 * unit(random));
            worst = std::max(worst, ulpsApart(c.ours(x), c.library(x)));
        }
        EXPECT_LE(worst, c.ulps) << c.name;
    }
    double worstAngle = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double y = std::exp(40.0 * unit(random) - 20.0);
        const double x = std::exp(40.0 * unit(random) - 20.0) * (unit(random) < 0.5 ? -1.0 : 1.0);
        worstAngle = std::max(worstAngle, ulpsApart(angleOf(y, x), std::atan2(y, x)));
    }
    EXPECT_LE(worstAngle, 3.0);
    EXPECT_EQ(expOf(-INFINITY), 0.0);
    EXPECT_EQ(log1pOf(-1.0), -INFINITY);
    EXPECT_EQ(angleOf(0.0, -1.0), 3.141592653589793);
    EXPECT_EQ(angleOf(1e-300, 1.0), 1e-300);
}

TEST(NodeMath, BatchesEqualOneLaneBitForBit)
{
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int differing = 0;
    for (int rep = 0; rep < 4000; ++rep) {
        const Shape shape = makeShape(2.0 + 1000.0 * unit(random) * unit(random), 500.0 * unit(random) * unit(random));
        const int n = 1 + rep % maxNodeBatch;
        double x[maxNodeBatch] = {}, sinX[maxNodeBatch], cosX[maxNodeBatch], du[maxNodeBatch], f[maxNodeBatch];
        for (int i = 0; i < n; ++i) x[i] = (2.0 * unit(random) - 1.0) * 1.5707963267948966;
        sinCosBatch(n, x, sinX, cosX);
        densityBatch(shape, n, sinX, cosX, du, f);
        // The density from the one-lane functions, as the batches form it.
        auto duOf = [&](double s, double c) { return shape.cosMode * (2.0 * s * s) + shape.sinMode * (2.0 * s * c); };
        auto density = [&](double s, double c) {
            const double ratioMinus1 = shape.cotMode * (2.0 * s * c) - 2.0 * s * s;
            if (ratioMinus1 <= -1.0) return 0.0;
            return expOf(shape.nuMinus1 * log1pOf(ratioMinus1) - shape.c * duOf(s, c));
        };
        for (int i = 0; i < n; ++i) {
            double s, c;
            sinCosOf(x[i], s, c);
            const double got[] = {sinX[i], cosX[i], du[i], f[i]};
            const double want[] = {s, c, duOf(s, c), density(s, c)};
            if (std::memcmp(got, want, sizeof got) != 0) ++differing;
        }
        // A panel's node pairs about mid = x[0], half offsets x[i] / 2.
        double sinMid, cosMid, half[maxNodeBatch] = {};
        sinCosOf(x[0], sinMid, cosMid);
        for (int i = 0; i < n; ++i) half[i] = 0.5 * x[i];
        double duBelow[maxNodeBatch], fBelow[maxNodeBatch], duAbove[maxNodeBatch], fAbove[maxNodeBatch];
        panelBatch(shape, sinMid, cosMid, n, half, duBelow, fBelow, duAbove, fAbove);
        for (int i = 0; i < n; ++i) {
            double s, c;
            sinCosQuarterOf(half[i], s, c);
            const double sb = sinMid * c - cosMid * s, cb = cosMid * c + sinMid * s;
            const double sa = sinMid * c + cosMid * s, ca = cosMid * c - sinMid * s;
            const double got[] = {duBelow[i], fBelow[i], duAbove[i], fAbove[i]};
            const double want[] = {duOf(sb, cb), density(sb, cb),
                                   duOf(sa, ca), density(sa, ca)};
            if (std::memcmp(got, want, sizeof got) != 0) ++differing;
        }
        // The panel's moments summed in lanes: the node values above,
        // weighted, to rounding (a weight or a node in the wrong lane moves
        // them far more).
        double weight[maxNodeBatch] = {}, sums[3];
        for (int i = 0; i < n; ++i) weight[i] = 0.1 + unit(random);
        panelMomentsBatch(shape, sinMid, cosMid, n, half, weight, sums);
        double want[3] = {}, size[3] = {};
        for (int i = 0; i < n; ++i)
            for (const auto& [d, g] : {std::pair{duBelow[i], fBelow[i]}, std::pair{duAbove[i], fAbove[i]}}) {
                const double terms[] = {weight[i] * g, weight[i] * g * d, weight[i] * g * d * d};
                for (int m = 0; m < 3; ++m) {
                    want[m] += terms[m];
                    size[m] += std::fabs(terms[m]);
                }
            }
        for (int m = 0; m < 3; ++m)
            if (!(std::fabs(sums[m] - want[m]) <= 1e-14 * size[m])) ++differing;
    }
    EXPECT_EQ(differing, 0);
}

} // namespace
