// The exact core against mpmath reference values (make_exact_reference.py),
// and the properties that the critical values must have.

#include "engine/exact/density_table.h"
#include "engine/exact/exact_core.h"
#include "engine/exact/starting_values.h"

#include "support/reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

using engine::exact::Critical;
using engine::exact::CriticalPair;
using engine::exact::SearchEnd;

// Tolerances (|C - C_ref| / max(1, |C_ref|)) by region, a few times the
// worst error observed there; the accuracy target of the core is 1e-11.
struct Region {
    const char* name;
    bool (*contains)(double nu, double S);
    double oneSided;
    double twoSided;
};

const Region regions[] = {
    {"S above 20", [](double, double S) { return S > 20.0; }, 5e-14, 1e-13},
    {"nu 2", [](double nu, double) { return nu == 2.0; }, 1e-12, 5e-13},
    {"non-integral nu", [](double nu, double) { return nu != std::floor(nu); }, 5e-14, 2e-13},
    {"nu 1000 and above", [](double nu, double) { return nu >= 1000.0; }, 3e-12, 3e-13},
    {"small and moderate nu", [](double, double) { return true; }, 5e-14, 3e-13},
};

const Region& regionOf(double nu, double S)
{
    for (const Region& r : regions)
        if (r.contains(nu, S)) return r;
    return regions[std::size(regions) - 1];
}

constexpr int evaluationBudget = 24; // per search

// A result is good if it converged within the tolerance, or says honestly
// that it could not: beyond_precision with a bound that covers its error.
void expectAccurate(const Critical& got, double want, double tolerance, const std::string& where)
{
    // Relative for |C| >= 1, absolute below (NaN fails either way).
    const double error =
        std::fabs(want) >= 1.0 ? testsupport::relativeError(got.C, want) : std::fabs(got.C - want);
    ASSERT_EQ(got.end, SearchEnd::root) << where;
    if (!engine::exact::within_target(got)) {
        EXPECT_LE(std::fabs(got.C - want), got.error_bound) << where;
        return;
    }
    EXPECT_LE(got.iterations, evaluationBudget) << where;
    EXPECT_LE(error, tolerance) << where << " C " << got.C << " want " << want;
    // The reported bound is a promise: it covers the error.
    EXPECT_LE(std::fabs(got.C - want), got.error_bound) << where << " C " << got.C << " want " << want;
}

TEST(ExactCore, MatchesReferenceByRegion)
{
    const auto rows = testsupport::readTable(std::string(TEST_DATA_DIR) + "/exact_reference.txt");
    ASSERT_GE(rows.size(), 100u);
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 6u);
        const double nu = row[1], S = row[2], level = row[3];
        const Region& region = regionOf(nu, S);
        const std::string where = std::string(region.name) + ": nu " + std::to_string(nu) + " S " +
                                  std::to_string(S) + " level " + std::to_string(level);
        if (row[0] == 1.0) {
            expectAccurate(engine::exact::one_sided(S, nu, level), row[4], region.oneSided, "one-sided " + where);
        } else {
            const CriticalPair pair = engine::exact::two_sided(S, nu, level);
            expectAccurate(pair.lower, row[4], region.twoSided, "two-sided lower " + where);
            expectAccurate(pair.upper, row[5], region.twoSided, "two-sided upper " + where);
        }
    }
}

// The edges of the domain (make_exact_reference.py edges): far tails to 1e-6
// and 1 - 1e-6, two-sided levels down to 5e-324, S = 0 at small nu, real nu
// in (2, 3) with S > 5, S up to 1000, and a random sample of those. Every
// root keeps its bound, a root within the target meets it, and fewer than 1%
// of the searches may end without a root.
TEST(ExactCore, EdgesKeepTheirBounds)
{
    const auto rows = testsupport::readTable(std::string(TEST_DATA_DIR) + "/exact_reference_edges.txt");
    ASSERT_GE(rows.size(), 100u);
    int searches = 0;
    int failures = 0;
    auto check = [&](const Critical& got, double want, const std::string& where) {
        ++searches;
        if (got.end != SearchEnd::root) {
            ++failures;
            EXPECT_TRUE(std::isnan(got.C)) << where;
            return;
        }
        const double error = std::fabs(got.C - want);
        EXPECT_LE(error, got.error_bound) << where << " C " << got.C << " want " << want;
        if (engine::exact::within_target(got)) {
            EXPECT_LE(error, engine::exact::target_accuracy * std::max(1.0, std::fabs(want))) << where;
        }
    };
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 6u);
        const double nu = row[1], S = row[2], level = row[3];
        char where[96];
        std::snprintf(where, sizeof where, "nu %.17g S %.17g level %.17g", nu, S, level);
        if (row[0] == 1.0) {
            check(engine::exact::one_sided(S, nu, level), row[4], std::string("one-sided ") + where);
        } else {
            const CriticalPair pair = engine::exact::two_sided(S, nu, level);
            check(pair.lower, row[4], std::string("two-sided lower ") + where);
            check(pair.upper, row[5], std::string("two-sided upper ") + where);
            if (pair.lower.end == SearchEnd::root && pair.upper.end == SearchEnd::root) {
                EXPECT_LE(pair.lower.C, pair.upper.C) << where;
            }
        }
    }
    EXPECT_LE(100 * failures, searches) << failures << " of " << searches << " searches ended without a root";
}

// Two-sided levels towards 0: the roots close in on each other (and meet
// below 1e-100) but never come out inverted.
TEST(ExactCore, TinyLevelsKeepThePairOrdered)
{
    for (const double nu : {2.0, 2.6, 11.66, 400.0}) {
        for (const double S : {0.0, 0.7, 84.3, 1000.0}) {
            for (const double L : {1e-6, 1e-10, 1e-16, 1e-60, 1e-300, 5e-324}) {
                const CriticalPair pair = engine::exact::two_sided(S, nu, L);
                ASSERT_EQ(pair.lower.end, SearchEnd::root) << nu << " " << S << " " << L;
                ASSERT_EQ(pair.upper.end, SearchEnd::root) << nu << " " << S << " " << L;
                EXPECT_LE(pair.lower.C, pair.upper.C) << nu << " " << S << " " << L;
            }
        }
    }
}

// Values quoted with the problem: a one-sided value and two-sided pairs.
TEST(ExactCore, QuotedValues)
{
    struct OneSided {
        double S, nu, p, C, digits;
    };
    const OneSided one[] = {{0.4272, 14.0, 0.95, 1.99370, 1e-5}};
    for (const auto& c : one) EXPECT_NEAR(engine::exact::one_sided(c.S, c.nu, c.p).C, c.C, c.digits);

    struct TwoSided {
        double S, nu, L, lower, upper, digits;
    };
    const TwoSided two[] = {
        {10.0, 3.0, 0.999, -7.812728, 1167.142163, 1e-6},
        {1e-8, 9.0, 0.95, -2.146071, 2.146071, 1e-6},
    };
    for (const auto& c : two) {
        const CriticalPair pair = engine::exact::two_sided(c.S, c.nu, c.L);
        EXPECT_NEAR(pair.lower.C, c.lower, c.digits * std::max(1.0, std::fabs(c.lower)));
        EXPECT_NEAR(pair.upper.C, c.upper, c.digits * std::max(1.0, std::fabs(c.upper)));
    }
    EXPECT_NEAR(engine::exact::two_sided(20.0, 4.0, 0.001).upper.C, -0.00144, 5e-6);
}

// C_lower < C_upper, the pairs nested in the level, and the one-sided values
// increasing in p, over a spread of nu and S.
TEST(ExactCore, OrderAndNesting)
{
    const double levels[] = {0.001, 0.2, 0.5, 0.9, 0.99, 0.999};
    for (const double nu : {2.0, 3.7, 25.0, 4000.0}) {
        for (const double S : {0.0, 0.3, 4.0, 15.0}) {
            double lastLower = 0.0, lastUpper = 0.0, lastOne = -1e300;
            for (std::size_t i = 0; i < std::size(levels); ++i) {
                const CriticalPair pair = engine::exact::two_sided(S, nu, levels[i]);
                const double one = engine::exact::one_sided(S, nu, levels[i]).C;
                EXPECT_LT(pair.lower.C, pair.upper.C) << nu << " " << S << " " << levels[i];
                EXPECT_GT(one, lastOne) << nu << " " << S << " " << levels[i];
                if (i > 0) {
                    EXPECT_LT(pair.lower.C, lastLower) << nu << " " << S << " " << levels[i];
                    EXPECT_GT(pair.upper.C, lastUpper) << nu << " " << S << " " << levels[i];
                }
                lastLower = pair.lower.C;
                lastUpper = pair.upper.C;
                lastOne = one;
            }
        }
    }
}

// S -> 0 approaches the Student-t limit continuously (symmetric pair at S = 0).
TEST(ExactCore, SmallSpreadTendsToStudentLimit)
{
    for (const double nu : {2.0, 6.5, 300.0}) {
        const double one0 = engine::exact::one_sided(0.0, nu, 0.9).C;
        const CriticalPair pair0 = engine::exact::two_sided(0.0, nu, 0.9);
        EXPECT_NEAR(pair0.lower.C, -pair0.upper.C, 1e-13 * pair0.upper.C);
        for (const double S : {1e-6, 1e-9, 1e-12}) {
            EXPECT_NEAR(engine::exact::one_sided(S, nu, 0.9).C, one0, 10.0 * S);
            const CriticalPair pair = engine::exact::two_sided(S, nu, 0.9);
            EXPECT_NEAR(pair.lower.C, pair0.lower.C, 10.0 * S);
            EXPECT_NEAR(pair.upper.C, pair0.upper.C, 10.0 * S);
        }
    }
}

// The Student-t start is exact at S = 0 and nu = 2: the search must stop at once.
TEST(ExactCore, ExactStartStopsTheSearch)
{
    for (const double L : {0.12, 0.4, 0.68, 0.88}) {
        const CriticalPair pair = engine::exact::two_sided(0.0, 2.0, L);
        EXPECT_LE(std::max(pair.lower.iterations, pair.upper.iterations), 6) << L;
    }
}

// The tabulated starts land near the roots between the grid's nodes (a stale
// table, or one read with the wrong coordinates, misses by far more): the
// pair, and the one-sided values at its tails (1 -+ L)/2. Levels outside the
// table still start from the plain one-sided values.
TEST(ExactCore, TabulatedStartsLandNearTheRoots)
{
    struct Case {
        double nu, S, L, tolerance;
    };
    const Case cases[] = {
        {2.0, 0.5, 0.95, 5e-3},     {2.7, 3.0, 0.9, 5e-3},    {3.0, 1.0, 0.99, 5e-3},   {6.5, 0.3, 0.975, 5e-3},
        {17.0, 8.0, 0.8, 5e-3},     {140.0, 2.0, 0.999, 5e-3}, {5000.0, 0.7, 0.95, 5e-3}, {40.0, 60.0, 0.95, 2e-2},
        {8.0, 1.0, 0.3, 1.0},       {8.0, 1.0, 0.99999, 1.0},
        // The table's edges and corners (read inside it), and S = 0 at nu = 2,
        // where the one-sided starts are exact.
        {2.0, 24.0, 0.99991, 5e-3}, {2.0, 0.0, 0.9999, 1e-12}, {1e7, 24.0, 0.5, 5e-3}, {1e5, 1000.0, 0.9999, 5e-3},
    };
    for (const Case& c : cases) {
        const CriticalPair pair = engine::exact::two_sided(c.S, c.nu, c.L);
        const engine::exact::detail::PairStart start = engine::exact::detail::twoSidedStart(c.S, c.nu, c.L);
        EXPECT_NEAR(start.lower, pair.lower.C, c.tolerance * std::max(1.0, std::fabs(pair.lower.C))) << c.nu << " " << c.S;
        EXPECT_NEAR(start.upper, pair.upper.C, c.tolerance * std::max(1.0, std::fabs(pair.upper.C))) << c.nu << " " << c.S;
        if (c.tolerance >= 1.0) continue; // (the plain starts of the far tails may miss by more)
        for (const double p : {0.5 * (1.0 - c.L), 0.5 * (1.0 + c.L)}) {
            const double root = engine::exact::one_sided(c.S, c.nu, p).C;
            const double start = engine::exact::detail::oneSidedStart(c.S, c.nu, p);
            EXPECT_NEAR(start, root, c.tolerance * std::max(1.0, std::fabs(root))) << c.nu << " " << c.S << " " << p;
        }
    }
}

// The tail masses that the searches' final tables give, the fine ones and the
// one-sided search's own, agree with a table five times finer (24 nodes on
// panels of 1.5 sigma) to a few units of rounding, in both tails, from the
// mode to 4.5 sigma out, for near-normal and strongly skewed laws, with and
// without graded panels at the ends.
TEST(ExactCore, FinalTablesHoldTheirTailMasses)
{
    using namespace engine::exact::detail;
    constexpr Resolution reference{rule24, 45.0, 3.0, 0.2, 1.5};
    auto above = [](const DensityTable& t) {
        double sum = 0.0;
        for (int i = t.obsIndex; i < t.count; ++i) sum += t.panels[i].sums.m0;
        return sum;
    };
    for (const double nu : {2.0, 2.5, 4.0, 5.5, 7.3, 10.0, 30.0, 100.0, 1e3, 1e5})
        for (const double c : {0.0, 0.1, 1.0, 10.0, 100.0, 1e3, 1e4})
            for (const double q : {-4.5, -3.0, -1.5, 0.0, 0.5, 2.0, 3.0, 4.5}) {
                const Shape shape = makeShape(nu, c);
                const double sObs = shape.mode + q * shape.sigma;
                if (!(sObs > 0.0 && sObs < 3.14159)) continue;
                DensityTable want;
                ASSERT_TRUE(buildTable(shape, sObs, reference, want));
                const double P = want.below.m0 / want.total.m0;
                const double Q = above(want) / want.total.m0;
                for (const Resolution& r : {fine, fineTails}) {
                    DensityTable got;
                    ASSERT_TRUE(buildTable(shape, sObs, r, got));
                    const double error = P < Q ? std::fabs(got.below.m0 / got.total.m0 - P) / P
                                               : std::fabs(above(got) / got.total.m0 - Q) / Q;
                    EXPECT_LE(error, 5e-14) << "nu " << nu << " c " << c << " q " << q << " rule " << 2 * r.rule.half;
                }
            }
}

// Arguments outside the domain give NaN and no_root, not a number.
TEST(ExactCore, RejectsArgumentsOutsideTheDomain)
{
    struct Case {
        double S, nu, level;
    };
    const Case bad[] = {{-1.0, 5.0, 0.9}, {1.0, 1.5, 0.9}, {1.0, 5.0, 0.0}, {1.0, 5.0, 1.0}, {std::numeric_limits<double>::quiet_NaN(), 5.0, 0.9}};
    for (const auto& c : bad) {
        const Critical one = engine::exact::one_sided(c.S, c.nu, c.level);
        EXPECT_TRUE(std::isnan(one.C));
        EXPECT_EQ(one.end, SearchEnd::unbracketed);
        const CriticalPair pair = engine::exact::two_sided(c.S, c.nu, c.level);
        EXPECT_TRUE(std::isnan(pair.lower.C) && std::isnan(pair.upper.C));
        EXPECT_EQ(pair.upper.end, SearchEnd::unbracketed);
    }
    // An infinite spread is no number to search from either (the pair's
    // tabulated start must not index the table with it).
    const double inf = std::numeric_limits<double>::infinity();
    const CriticalPair pair = engine::exact::two_sided(inf, 10.0, 0.9);
    EXPECT_TRUE(std::isnan(pair.lower.C) && std::isnan(pair.upper.C));
    EXPECT_NE(pair.upper.end, SearchEnd::root);
}

} // namespace
