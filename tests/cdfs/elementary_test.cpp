// Machine constants and the elementary special functions: reference tables,
// switch points and special returns.
#include "cdfs/cdfs.h"
#include "table_check.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

using cdfstest::report;
using cdfstest::table;
using cdfstest::worstError;

TEST(MachineConstants, IntegerDescription)
{
    const int expected[] = {2, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(cdfs::ipmpar(i), expected[i - 1]) << "i = " << i;
}

TEST(MachineConstants, DoubleConstantsAreExact)
{
    struct Case {
        int i;
        double want;
    };
    const Case cases[] = {{-1, DBL_EPSILON}, {0, DBL_EPSILON}, {1, DBL_EPSILON}, {2, DBL_MIN},
                          {3, DBL_MAX},      {4, DBL_MAX}};
    for (const Case& c : cases) EXPECT_EQ(cdfs::spmpar(c.i), c.want) << "i = " << c.i;
}

TEST(MachineConstants, ExpargKeepsInsideTheLimits)
{
    EXPECT_EQ(cdfs::exparg(0), 709.7756150662599);
    EXPECT_EQ(cdfs::exparg(1), -708.3893345680835);
    EXPECT_EQ(cdfs::exparg(-3), -708.3893345680835);
    EXPECT_TRUE(std::isfinite(std::exp(cdfs::exparg(0))));
    EXPECT_GT(std::exp(cdfs::exparg(1)), 0.0);
}

// Each routine against its reference table, tolerance near the observed error.
TEST(ElementaryFunctions, AgreeWithReferenceTables)
{
    struct Case {
        const char* file;
        int column;
        double (*f)(double);
        double tol;
    };
    const Case cases[] = {
        {"rlog.txt", 1, [](double x) { return cdfs::rlog(x); }, 1e-15},
        {"rexp.txt", 1, [](double x) { return cdfs::rexp(x); }, 6e-16},
        {"erf.txt", 1, [](double x) { return cdfs::erf(x); }, 1e-15},
        {"erfc.txt", 1, [](double x) { return cdfs::erfc1(0, x); }, 2e-15},
        // 2 exp(x^2) - v below x = 0: exp magnifies the rounding of x^2.
        {"erfc.txt", 2, [](double x) { return cdfs::erfc1(1, x); }, 3e-15},
        {"erfcx.txt", 1, [](double x) { return cdfs::erfc1(1, x); }, 1e-15},
        {"gam1.txt", 1, [](double a) { return cdfs::gam1(a); }, 3e-15},
        {"dln1px.txt", 1, [](double a) { return cdfs::dln1px(a); }, 6e-16},
    };
    for (const Case& c : cases) {
        const auto w = worstError(table(c.file), c.column, [&](const auto& row) { return c.f(row[0]); });
        report(c.file, w);
        EXPECT_LE(w.error, c.tol) << c.file << " column " << c.column;
    }
}

// Gamma: the recurrence below |a| = 15 keeps full accuracy; above, exp(ln
// Gamma) magnifies the rounding of ln Gamma by |ln Gamma|.
TEST(Gamma, AgreesWithReferenceTable)
{
    const auto rows = table("gamma.txt");
    cdfstest::Table small;
    cdfstest::Table large;
    for (const auto& row : rows) (std::fabs(row[0]) < 15.0 ? small : large).push_back(row);
    const auto f = [](const auto& row) { return cdfs::gamma(row[0]); };
    const auto ws = worstError(small, 1, f);
    const auto wl = worstError(large, 1, f);
    report("gamma |a| < 15", ws);
    report("gamma |a| >= 15", wl);
    EXPECT_LE(ws.error, 6e-15);
    EXPECT_LE(wl.error, 2e-13);
}

// At each switch point the prescribed branch gives these exact doubles; the
// branch on the other side gives a different one at most of them.
TEST(ElementaryFunctions, SwitchPointsTakeThePrescribedBranch)
{
    for (const auto& row : table("switch_points.txt")) {
        const int routine = static_cast<int>(row[0]);
        const double x = row[1];
        double got;
        switch (routine) {
        case 1: got = cdfs::rlog(x); break;
        case 2: got = cdfs::rexp(x); break;
        case 3: got = cdfs::erf(x); break;
        case 4: got = cdfs::erfc1(0, x); break;
        case 5: got = cdfs::erfc1(1, x); break;
        default: continue; // the normal distribution's rows are checked with it
        }
        EXPECT_EQ(got, row[2]) << "routine " << routine << " at x = " << x;
    }
}

TEST(ElementaryFunctions, SpecialReturns)
{
    struct Case {
        const char* what;
        double got;
        double want;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"rlog(1)", cdfs::rlog(1.0), 0.0},
        {"rexp(0)", cdfs::rexp(0.0), 0.0},
        {"erf(5.8)", cdfs::erf(5.8), 1.0},
        {"erf(-5.8)", cdfs::erf(-5.8), -1.0},
        {"erf(40)", cdfs::erf(40.0), 1.0},
        {"erfc1(0, -5.6)", cdfs::erfc1(0, -5.6), 2.0},
        {"erfc1(0, -30)", cdfs::erfc1(0, -30.0), 2.0},
        {"erfc1(1, -5.6)", cdfs::erfc1(1, -5.6), 2.0 * std::exp(-5.6 * -5.6)},
        // Beyond x^2 = -exparg(1) the unscaled value is 0, though erfc is
        // still a subnormal number there; the scaled one goes on.
        {"erfc1(0, 27)", cdfs::erfc1(0, 27.0), 0.0},
        {"erfc1(0, 26.62)", cdfs::erfc1(0, 26.62), 0.0},
        {"erfc1(0, 101)", cdfs::erfc1(0, 101.0), 0.0},
        // The scaled limit overflows for x below about -26.63.
        {"erfc1(1, -27)", cdfs::erfc1(1, -27.0), inf},
        {"gamma(0)", cdfs::gamma(0.0), 0.0},
        {"gamma(-3)", cdfs::gamma(-3.0), 0.0},
        {"gamma(-20)", cdfs::gamma(-20.0), 0.0},
        {"gamma(1000)", cdfs::gamma(1000.0), 0.0},
        {"gamma(-1000.5)", cdfs::gamma(-1000.5), 0.0},
        {"gamma(171.7)", cdfs::gamma(171.7), 0.0},
        {"gamma(1e-31)", cdfs::gamma(1e-31), 1.0 / 1e-31},
        {"gamma(1e-309)", cdfs::gamma(1e-309), 0.0},
        {"gamma(-1e-309)", cdfs::gamma(-1e-309), 0.0},
        {"gam1(0)", cdfs::gam1(0.0), 0.0},
        {"gam1(1)", cdfs::gam1(1.0), 0.0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;

    // Just below the cut-off the unscaled value is still positive.
    EXPECT_GT(cdfs::erfc1(0, 26.6), 0.0);
    EXPECT_GT(cdfs::gamma(171.6), 1.5e308);
    EXPECT_NEAR(cdfs::gamma(0.5), std::sqrt(M_PI), 4e-15 * std::sqrt(M_PI));
}

// The published pairing of the four result forms: both sides of 0 and 0.5.
TEST(Gam1, ResultFormsOnBothSidesOfZeroAndOneHalf)
{
    struct Case {
        double a;
        double want; // 1/Gamma(a + 1) - 1
    };
    const Case cases[] = {{-0.4, -0.32849502755792666479}, {-0.2, -0.14106298077533254685},
                          {0.3, 0.1142425085473018445},    {0.7, 0.10054740552366572283},
                          {0.9, 0.039754134347636406421},  {1.2, -0.092396315784719721536}};
    for (const Case& c : cases)
        EXPECT_LE(testsupport::relativeError(cdfs::gam1(c.a), c.want), 3e-15) << "a = " << c.a;
}

TEST(Devlpl, AscendingCoefficients)
{
    const double a[] = {3.0, -2.0, 0.5};
    EXPECT_EQ(cdfs::devlpl(a, 1, 7.0), 3.0);
    EXPECT_EQ(cdfs::devlpl(a, 2, 7.0), 3.0 - 14.0);
    EXPECT_EQ(cdfs::devlpl(a, 3, 2.0), 3.0 - 4.0 + 2.0);
}

}  // namespace
