#include "records/clock.h"

#include <gtest/gtest.h>

TEST(Clock, ElapsedSecondsAcrossMidnightAddsADay)
{
    EXPECT_DOUBLE_EQ(records::elapsedSeconds(100.25, 102.5), 2.25);
    EXPECT_DOUBLE_EQ(records::elapsedSeconds(86399.5, 0.75), 1.25);
}

TEST(Clock, TimeOfDayIsWithinADayInHundredths)
{
    const double t = records::timeOfDay();
    EXPECT_GE(t, 0.0);
    EXPECT_LT(t, 86400.0);
}
