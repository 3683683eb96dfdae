// Collapsing of repeated diagnostic lines: runs of lines of one kind become
// their last line with the count, in order with the other lines. Records
// are shown as the console receives them, carriage-control blank first.

#include "console_lines.h"
#include "brennik/repeated_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

TEST(RepeatedLines, RunsOfOneKindBecomeTheirLastLineWithTheCount)
{
    verifytest::ConsoleLines console;
    {
        const verify::RepeatedLines repeats;
        for (int i = 2; i <= 5; ++i) diag::line({" q1 error met, i is ", i});
        diag::line({"Method thinks it did not work."}); // another kind ends the run
        diag::line({" q1 error met, i is ", 9});        // a line alone stands as it is
        verify::RepeatedLines::flush();                  // the end of a limit computation
        diag::line({" q1 error met, i is ", 2});
        diag::line({" q1 error met, i is ", 3});
        diag::formatted("(A14,1p,E14.6)", {" Sigma is ", 10.0});
        diag::formatted("(A14,1p,E14.6)", {" Sigma is ", 1.0});
        diag::formatted("(A14,1p,E14.6)", {" Sigma was ", 1.0}); // other text: another kind
    } // leaving flushes what is held
    const Lines expected{
        "  q1 error met, i is            5  (4 such lines in a row, the last shown)",
        " Method thinks it did not work.",
        "  q1 error met, i is            9",
        "  q1 error met, i is            3  (2 such lines in a row, the last shown)",
        "     Sigma is   1.000000E+00  (2 such lines in a row, the last shown)",
        "    Sigma was   1.000000E+00",
    };
    EXPECT_EQ(console.lines(), expected);
}

TEST(RepeatedLines, LeavingPutsThePreviousWriterBack)
{
    verifytest::ConsoleLines console;
    { const verify::RepeatedLines repeats; }
    diag::line({" q1 error met, i is ", 2});
    diag::line({" q1 error met, i is ", 3});
    EXPECT_EQ(console.lines(), (Lines{"  q1 error met, i is            2", "  q1 error met, i is            3"}));
}

} // namespace
