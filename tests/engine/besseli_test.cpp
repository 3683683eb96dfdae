#include "engine/besseli.h"
#include "support/reference.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using engine::besselFailure;
using engine::besseli;
using engine::besselseq;
using testsupport::readTable;
using testsupport::relativeError;

const std::string dataDir = TEST_DATA_DIR;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Orders 0 to 4000 (the heap path from 2000 on), x from 1e-5 (ascending
// series) to 1e4, both scalings. An order whose value is below 1e-300 of
// I_alpha(x) lies beyond the significance test and may be refused; every
// other one must be delivered. Worst observed: 6.3e-16 for the series,
// 1.9e-15 up to x = 1000, 2.7e-15 above (order 2500.5 at x = 5000).
TEST(BesselI, MatchesHighPrecisionReference)
{
    for (const auto& row : readTable(dataDir + "/besseli_reference.txt")) {
        const double x = row[0];
        const double order = row[1];
        const int ize = static_cast<int>(row[2]);
        const double got = besseli(x, order, ize);
        if (got == besselFailure && row[4] < -300.0) continue;
        const double tol = x < 1e-4 ? 1e-15 : x <= 1000.0 ? 2.5e-15 : 3.5e-15;
        EXPECT_LE(relativeError(got, row[3]), tol) << "x = " << x << ", order " << order << ", ize " << ize;
    }
}

TEST(BesselI, RefusesArgumentsOutOfRange)
{
    struct Case { double x, order; int ize; bool ok; };
    const Case cases[] = {
        {709.0, 1.0, 1, true}, {std::nextafter(709.0, 710.0), 1.0, 1, false}, {1e4, 1.0, 2, true},
        {std::nextafter(1e4, 2e4), 1.0, 2, false}, {nan, 1.0, 2, false}, {1.0, 0.0, 3, false},
        {1.0, -0.5, 2, false}, {1.0, -2.0, 2, false}, {1.0, nan, 2, false}, {1.0, 2e6, 2, false},
    };
    for (const auto& c : cases) {
        const double v = besseli(c.x, c.order, c.ize);
        EXPECT_EQ(v != besselFailure, c.ok) << "x = " << c.x << ", order " << c.order << ", ize " << c.ize;
    }
}

TEST(BesselSeq, InvalidArgumentsLeaveTheValuesUntouched)
{
    struct Case { double x, alpha; int nb, ize, ncalc; };
    const Case cases[] = {
        {-1.0, 0.0, 3, 1, -1}, {1.0, 1.0, 3, 1, -1}, {1.0, 0.5, 0, 2, -1},
        {1.0, 0.5, -3, 2, -4}, {1.0, 0.5, 5, 2, -1}, // nb above the room in B
    };
    for (const auto& c : cases) {
        std::array<double, 4> B{7.0, 7.0, 7.0, 7.0};
        int ncalc = 99;
        besselseq(c.x, c.alpha, c.nb, c.ize, B, ncalc);
        EXPECT_EQ(ncalc, c.ncalc) << "x = " << c.x << ", nb " << c.nb;
        EXPECT_EQ(B, (std::array<double, 4>{7.0, 7.0, 7.0, 7.0}));
    }
}

// Far above x the forward sequence overflows and the significance test lowers
// ncalc: the orders below it are still delivered, the ones above it refused.
TEST(BesselSeq, HighOrdersBeyondSignificanceLowerNcalc)
{
    constexpr int nb = 400;
    std::vector<double> B(nb);
    int ncalc = 0;
    besselseq(10.0, 0.5, nb, 1, B, ncalc);
    ASSERT_GT(ncalc, 50);
    ASSERT_LT(ncalc, nb);
    EXPECT_GT(B[ncalc - 1], 0.0);
    EXPECT_NE(besseli(10.0, ncalc - 0.5, 1), besselFailure);
    EXPECT_EQ(besseli(10.0, nb - 0.5, 1), besselFailure);
}

TEST(BesselSeq, AscendingSeriesStopsNcalcBeforeTheFirstZero)
{
    constexpr int nb = 200;
    std::vector<double> B(nb);
    int ncalc = 0;
    besselseq(1e-5, 0.0, nb, 1, B, ncalc);
    ASSERT_GT(ncalc, 1);
    ASSERT_LT(ncalc, nb);
    EXPECT_GT(B[ncalc - 1], 0.0);
    EXPECT_EQ(B[ncalc], 0.0);
}

TEST(BesselSeq, ZeroArgumentGivesOneForOrderZeroOnly)
{
    for (const int ize : {1, 2}) {
        std::vector<double> B(4, 7.0);
        int ncalc = 0;
        besselseq(0.0, 0.0, 4, ize, B, ncalc);
        EXPECT_EQ(ncalc, 4);
        EXPECT_EQ(B, (std::vector<double>{1.0, 0.0, 0.0, 0.0}));
        EXPECT_EQ(besseli(0.0, 0.5, ize), 0.0);
    }
}

// Over the whole accepted range the scaled values lie in [0, 1] and fall with
// the order; overflow in the recurrence once gave NaN or 0 from x ~ 1500 on.
TEST(BesselSeq, ScaledSequencesAreBoundedAndDecreasing)
{
    constexpr int nb = 120;
    std::vector<double> B(nb);
    for (double x = 2e-4; x <= 1e4; x *= 1.7) {
        for (const double alpha : {0.0, 0.3, 0.5, 0.97}) {
            int ncalc = 0;
            besselseq(x, alpha, nb, 2, B, ncalc);
            ASSERT_GT(ncalc, 0) << "x = " << x;
            for (int k = 0; k < ncalc; ++k) {
                ASSERT_TRUE(B[k] >= 0.0 && B[k] <= 1.0) << "x = " << x << ", alpha " << alpha << ", k " << k;
                if (k > 0) {
                    ASSERT_LE(B[k], B[k - 1]) << "x = " << x << ", alpha " << alpha << ", k " << k;
                }
            }
            ASSERT_GT(B[0], 0.0);
        }
    }
}

} // namespace
