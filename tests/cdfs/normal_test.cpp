// The normal distribution function over [-38, 6.1]: reference values, the
// tail formula, the cut-offs and the switch points.
#include "cdfs/cdfs.h"
#include "cdfs/inverses/chinorm.h"
#include "sink_capture.h"
#include "table_check.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using cdfstest::report;
using cdfstest::table;
using cdfstest::worstError;

// Tolerance by region: the rational approximations (exp(-y^2) magnifies the
// rounding of y^2, up to 112 in size), the tail formula (exp magnifies the
// rounding of ln Phi, up to 690 in size), the subnormal
// results below x = -37.5 (half the spacing of doubles near 1e-314 is 2e-10
// relative) and the cut-off above 6, where 1 - Phi(x) < 1e-9.
TEST(Normcdf, AgreesWithMpmath)
{
    struct Region {
        const char* what;
        double lo;
        double hi; // lo < x <= hi
        double tol;
    };
    const Region regions[] = {{"Phi subnormal", -38.0, -37.5, 2e-10},
                              {"Phi tail formula", -37.5, -15.0, 1.5e-13},
                              {"Phi rational", -15.0, 6.0, 5e-14},
                              {"Phi cut-off", 6.0, 6.2, 1e-9}};
    const auto rows = table("normcdf.txt");
    for (const Region& r : regions) {
        cdfstest::Table part;
        for (const auto& row : rows)
            if (row[0] > r.lo && row[0] <= r.hi) part.push_back(row);
        ASSERT_FALSE(part.empty()) << r.what;
        const auto w = worstError(part, 1, [](const auto& row) { return cdfs::normcdf(row[0]); });
        report(r.what, w);
        EXPECT_LE(w.error, r.tol) << r.what;
    }
    EXPECT_EQ(cdfs::normcdf(-38.0), 0.0);
    EXPECT_EQ(cdfs::normcdf(-40.0), 0.0);
}

TEST(Normcdf, CutOffsAndSpecialValues)
{
    struct Case {
        double x;
        double want;
    };
    const Case cases[] = {{0.0, 0.5},        {1e-31, 0.5},      {-1e-31, 0.5},
                          {6.0000001, 1.0},  {std::nextafter(6.0, 7.0), 1.0},
                          {-38.0, 0.0},      {std::nextafter(-38.0, -39.0), 0.0}};
    for (const Case& c : cases) EXPECT_EQ(cdfs::normcdf(c.x), c.want) << "x = " << c.x;

    EXPECT_LT(cdfs::normcdf(6.0), 1.0);
    const double below38 = cdfs::normcdf(std::nextafter(-38.0, 0.0));
    EXPECT_GT(below38, 0.0);
    EXPECT_LT(cdfs::normcdf(-37.9), 2.2250738585072014e-308); // subnormal, about 1.3e-314
    EXPECT_GT(cdfs::normcdf(-37.9), 1e-314);

    // From x = -15 down, Phi is exp of the tail series.
    for (double x : {-15.0, -20.0, -37.9}) EXPECT_EQ(cdfs::normcdf(x), std::exp(cdfs::dlanor(x))) << x;
}

// Exact results of the prescribed branch at -15, 6 and the inner switch
// points of the rational approximations.
TEST(Normcdf, SwitchPointsTakeThePrescribedBranch)
{
    int checked = 0;
    for (const auto& row : table("switch_points.txt")) {
        if (row[0] != 6.0) continue;
        EXPECT_EQ(cdfs::normcdf(row[1]), row[2]) << "x = " << row[1];
        ++checked;
    }
    EXPECT_GE(checked, 7);
}

TEST(Normcdf, EntriesAgreeAndTailsAreSymmetric)
{
    for (double x = -37.0; x <= 6.0; x += 0.37) {
        EXPECT_EQ(cdfs::cumnor(x), cdfs::dumnor(x));
        EXPECT_EQ(cdfs::normcdf(x), cdfs::dumnor(x));
        if (std::fabs(x) <= 6.0) {
            EXPECT_NEAR(cdfs::normcdf(x) + cdfs::normcdf(-x), 1.0, 2.3e-16) << "x = " << x;
        }
    }
}

// Where it serves, |x| >= 15; nearer 5 the truncated series loses digits.
TEST(Dlanor, TailSeries)
{
    const auto w = worstError(table("dlanor.txt"), 1, [](const auto& row) { return cdfs::dlanor(row[0]); });
    report("dlanor", w);
    EXPECT_LE(w.error, 4e-16);
    EXPECT_EQ(cdfs::dlanor(-7.5), cdfs::dlanor(7.5));
}

TEST(Dlanor, WarnsBelowFiveAndStillReturnsTheSeries)
{
    cdfstest::SinkCapture sink;
    const double far = cdfs::dlanor(5.0);
    EXPECT_TRUE(sink.lines().empty());
    const double near = cdfs::dlanor(-4.0);
    ASSERT_EQ(sink.lines().size(), 1u);
    EXPECT_EQ(sink.lines()[0], " Argument too small in DLANOR");
    EXPECT_GT(near, far);
    EXPECT_NEAR(near, std::log(3.1671241833119857e-05), 1e-3); // ln Phi(-4), roughly: the series is poor there
    cdfs::normcdf(-20.0);
    EXPECT_EQ(sink.lines().size(), 1u); // never written in normal use
}

} // namespace
