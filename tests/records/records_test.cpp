#include "records/records.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace records;

namespace {

std::string record(std::string_view format, std::initializer_list<Item> items)
{
    const auto r = formatRecords(format, items);
    EXPECT_EQ(r.size(), 1u);
    return r.front();
}

std::string freeForm(std::initializer_list<Item> items)
{
    const auto r = freeFormRecords(items);
    EXPECT_EQ(r.size(), 1u);
    return r.front();
}

} // namespace

TEST(FormattedOutput, TextFieldsAreRightJustifiedOrCutOnTheRight)
{
    EXPECT_EQ(record("(A13)", {"(Default is "}), " (Default is ");
    EXPECT_EQ(record("(A36)", {"% two-sided lower & upper limits are "}), "% two-sided lower & upper limits are");
    EXPECT_EQ(record("(a2,A)", {"x", "whole text "}), " xwhole text ");
}

TEST(FormattedOutput, FixedFields)
{
    struct Case { const char* format; double value; const char* text; };
    const Case cases[] = {
        {"(F6.4)", 0.95, "0.9500"},      {"(F7.0)", 10.0, "    10."},   {"(F7.0)", 5.0, "     5."},
        {"(F5.0)", 30.0, "  30."},       {"(F6.2)", 95.0, " 95.00"},    {"(F5.4)", 0.95, ".9500"},
        {"(F5.2)", 0.125, " 0.13"},      {"(F5.1)", -0.25, " -0.3"},    {"(F6.2)", 1000.0, "1000.00"},
        {"(F8.3)", -123.456, "-123.456"}, {"(F13.8)", 1234.56789, "1234.56789000"},
        {"(F4.1)", 9.96, "10.0"},        {"(F3.1)", 9.96, "10.0"},       {"(F6.2)", -0.001, " -0.00"},
    };
    for (const Case& c : cases) EXPECT_EQ(record(c.format, {c.value}), c.text) << c.format << " " << c.value;
}

TEST(FormattedOutput, ExponentFieldsUnderScaleZeroAndOne)
{
    EXPECT_EQ(record("(1P,E12.4)", {1.0e-8}), "  1.0000E-08");
    EXPECT_EQ(record("(1pE12.4)", {-1.0}), " -1.0000E+00");
    EXPECT_EQ(record("(E12.4)", {1234.5}), "  0.1235E+04");
    EXPECT_EQ(record("(E9.4)", {1234.5}), ".1235E+04");
    EXPECT_EQ(record("(1P,E8.2)", {9.999e5}), "1.00E+06");
    EXPECT_EQ(record("(1P,E10.2)", {0.0}), "  0.00E+00");
    EXPECT_EQ(record("(1P,E11.3)", {2.5e-120}), "  2.500-120");
    // A negative mu-hat needs 13 columns under 1P E12.6: the field widens.
    EXPECT_EQ(record("(A14,1p,E12.6,A1)", {" Sample mu is ", -1.5, "."}), " Sample mu is -1.500000E+00.");
}

TEST(FormattedOutput, OptionFileFirstLineAndDefaults)
{
    EXPECT_EQ(record("(I6,A1,F10.2,A1,1p,E12.4,A1,E12.4)", {200, ",", 800.0, ",", 1.0e-8, ",", -1.0}),
              "   200,    800.00,  1.0000E-08, -1.0000E+00");
    EXPECT_EQ(record("(A20,I6)", {"Default NumIt: ", 200}), "     Default NumIt:    200");
    EXPECT_EQ(record("(I2)", {100}), "100");
}

TEST(FormattedOutput, NumbersTooWideOrFullKeepEveryCharacter)
{
    struct Case { const char* format; std::initializer_list<Item> items; const char* text; };
    const Case cases[] = {
        // A full field keeps a blank after a word or a number, not after punctuation.
        {"(F13.8,A4,F13.8,A1)", {-150.11197153, " and", 4096.08159786, "."}, "-150.11197153 and 4096.08159786."},
        {"(F8.3,F9.2)", {-150.0, 123456.78}, "-150.000 123456.78"},
        {"(A24,F5.2,A8)", {" This will require about ", 10.5, " minutes"}, " This will require about 10.50 minutes"},
        {"(A1,1P,E8.2,A1,E8.2,A1)", {"(", 1.5e-3, ",", 22.3, ")"}, "(1.50E-03,2.23E+01)"},
        // Too wide: a wider field, or exponent form from 1e15 on.
        {"(F13.8)", {12345.678}, "12345.67800000"},
        {"(F13.8)", {-1.0e20}, "-1.00000000E+20"},
        {"(F8.2)", {1.0e308}, "1.00E+308"},
        {"(A13,F8.4,A2)", {"(Default is ", -15000.0, "):"}, " (Default is -15000.0000):"},
        {"(I5,A20)", {123456, " degrees of freedom."}, "123456 degrees of freedom."},
    };
    for (const Case& c : cases) EXPECT_EQ(record(c.format, c.items), c.text) << c.format;
}

TEST(FormattedOutput, RepeatsGroupsAndItemsRunningOut)
{
    EXPECT_EQ(record("(F8.3,F9.2,F8.2,F7.0,F8.0,F15.6,F15.6)", {1.0, 2.0, 0.5, 10.0, 11.0}),
              "   1.000     2.00    0.50    10.     11.");
    EXPECT_EQ(record("(A13,F10.4,3(A9,F14.4))", {" sigma-hat   ", 0.9, "         ", 0.95}),
              " sigma-hat       0.9000                 0.9500");
    EXPECT_EQ(record("(4I6)", {1, 2}), "     1     2");
    // Items beyond the format start a new record with the format from its start.
    const auto r = formatRecords("(I3)", std::initializer_list<Item>{1, 2});
    EXPECT_EQ(r, (std::vector<std::string>{"  1", "  2"}));
    EXPECT_THROW(formatRecords("(F8.3", std::initializer_list<Item>{1.0}), std::invalid_argument);
    EXPECT_THROW(formatRecords("(I3)", std::initializer_list<Item>{1.0}), std::invalid_argument);
}

TEST(FreeFormOutput, LayoutOfTextsAndNumbers)
{
    EXPECT_EQ(freeForm({}), " ");
    EXPECT_EQ(freeForm({"The file ", fixedText("t.out", 12), "already exists."}),
              " The file t.out       already exists.");
    EXPECT_EQ(freeForm({"Enter up to ", 4, " more"}), " Enter up to            4 more");
    EXPECT_EQ(freeForm({7}), "           7");
    // Doubles take 24 columns after the record's leading blank.
    const auto real = [](const std::string& s) { return std::string(25 - s.size(), ' ').append(s); };
    EXPECT_EQ(freeForm({1.0}), real("1.00000000000000"));
    EXPECT_EQ(freeForm({"x", 0.95}), " x" + real("0.950000000000000"));
    EXPECT_EQ(freeForm({-1.0e-8}), real("-1.00000000000000E-08"));
    EXPECT_EQ(freeForm({123456789012345.0}), real("123456789012345."));
    EXPECT_EQ(freeForm({1.0e15}), real("1.00000000000000E+15"));
    EXPECT_EQ(freeForm({2.5e-300}), real("2.50000000000000-300"));
    // A number that does not fit in the 79 columns starts a new record.
    const std::string text(60, 'x');
    const auto r = freeFormRecords(std::initializer_list<Item>{std::string_view(text), 1.5});
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], " " + text);
    EXPECT_EQ(r[1], real("1.50000000000000"));
}

TEST(InternalRecords, AreLaidOutThenPaddedToTheirLength)
{
    EXPECT_EQ(internalRecord("(A13,F8.4,A2)", {"(Default is ", 0.5, "):"}, 26), " (Default is   0.5000):   ");
    EXPECT_EQ(internalRecord("(F6.2)", {0.95 * 100}, 6), " 95.00");
    EXPECT_EQ(fixedText("abcdef", 3), "abc");
}

TEST(ConsoleOutput, CarriageControlAtTheStartOfEachRecord)
{
    std::istringstream in("answer\n");
    std::ostringstream out;
    {
        Console con(in, out);
        con.line({"first"});       // at the start of a line: nothing before it
        con.write("(A1)", {"-"});  // a lone control character shows an empty line
        con.write("(A2)", {"0x"}); // one empty line, then the record
        con.write("(A2)", {"1p"}); // a new page
        con.write("(A2)", {"+o"}); // overprints
        con.write("(F8.3)", {-123.456});
        int n = 5;
        EXPECT_EQ(con.read("(I2)", {n}), ReadStatus::error);
        con.write("(A2)", {"0y"});
        EXPECT_EQ(con.read("(I2)", {n}), ReadStatus::end);
        con.finish();
    }
    // A number filling the first column is not taken as carriage control.
    EXPECT_EQ(out.str(), "first\r\n\r\n\r\nx\r\n\f\r \rp\ro\r\n-123.456\r\n\r\ny\r\n");
}

TEST(ConsoleOutput, AFullNumberAtTheStartOfARecordIsShownWhole)
{
    std::istringstream in;
    std::ostringstream out;
    {
        Console con(in, out);
        con.write("(F8.3,F9.2)", {1500.0, 0.8});   // would start a new page
        con.write("(F13.8,A1)", {-150.11197153, "."}); // would lose its sign
        con.write("(F8.3)", {0.5});
        con.finish();
    }
    EXPECT_EQ(out.str(), "1500.000     0.80\r\n-150.11197153.\r\n  0.500\r\n");
}

TEST(ConsoleLocale, Utf8FromTheFirstVariableSet)
{
    struct Case { const char* all; const char* ctype; const char* lang; bool utf8; };
    const Case cases[] = {
        {nullptr, nullptr, "C.UTF-8", true},        {nullptr, nullptr, "en_US.utf8", true},
        {"", "de_DE.UTF-8@euro", "C", true},        {"C", nullptr, "en_US.UTF-8", false},
        {"POSIX", "en_US.UTF-8", nullptr, false},   {nullptr, nullptr, "en_US.ISO-8859-1", false},
        {nullptr, nullptr, nullptr, false},         {nullptr, nullptr, "UTF-8", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(localeIsUtf8(c.all, c.ctype, c.lang), c.utf8) << (c.lang ? c.lang : "-");
}

TEST(FormattedInput, NumericFieldsBlanksCommasAndWidths)
{
    int a = -1, b = -1, c = -1, d = -1;
    auto read4 = [&](std::string_view line) {
        const Target t[] = {a, b, c, d};
        return readFormatted(line, "(4I6)", t);
    };
    ASSERT_EQ(read4("10,20"), ReadStatus::ok);
    EXPECT_EQ((std::vector{a, b, c, d}), (std::vector{10, 20, 0, 0}));
    ASSERT_EQ(read4("10 20"), ReadStatus::ok);
    EXPECT_EQ((std::vector{a, b, c, d}), (std::vector{1020, 0, 0, 0}));
    ASSERT_EQ(read4("5,7,9"), ReadStatus::ok);
    EXPECT_EQ((std::vector{a, b, c, d}), (std::vector{5, 7, 9, 0}));
    ASSERT_EQ(read4("5 7 9"), ReadStatus::ok);
    EXPECT_EQ((std::vector{a, b, c, d}), (std::vector{579, 0, 0, 0}));
    EXPECT_EQ(read4("1.5"), ReadStatus::error);

    double x = -1;
    const Target tx[] = {x};
    struct Case { const char* format; const char* line; double value; };
    const Case cases[] = {
        {"(F12.0)", "", 0.0},           {"(F12.0)", "  0.95", 0.95},      {"(F12.0)", "1 . 5", 1.5},
        {"(F12.0)", "-2.5e-3", -0.0025}, {"(F12.0)", "1.5D2", 150.0},    {"(F12.0)", "2.0-1", 0.2},
        {"(F6.2)", "1234", 12.34},      {"(F12.0)", "0.5   ", 0.5},       {"(F12.0)", "0.5,   ", 0.5},
    };
    for (const Case& cs : cases) {
        ASSERT_EQ(readFormatted(cs.line, cs.format, tx), ReadStatus::ok) << cs.line;
        EXPECT_DOUBLE_EQ(x, cs.value) << cs.line;
    }
    for (const char* bad : {"abc", "0.9 0.95", "1e", "-", "."}) {
        x = 7;
        EXPECT_EQ(readFormatted(bad, "(F12.0)", tx), ReadStatus::error) << bad;
        EXPECT_EQ(x, 7) << "a failed read leaves its variable";
    }
    // Characters beyond the last field fail the read instead of being cut.
    int n = 0;
    const Target tn[] = {n};
    bool tooLong = false;
    struct Long { const char* format; const char* line; const Target* target; };
    for (const Long& l : {Long{"(I2)", "1234", tn}, Long{"(I8)", "1000000000", tn},
                          Long{"(F12.0)", "123456789012345", tx}, Long{"(F12.0)", "0.5,garbage", tx}}) {
        EXPECT_EQ(readFormatted(l.line, l.format, std::span(l.target, 1), &tooLong), ReadStatus::error) << l.line;
        EXPECT_TRUE(tooLong) << l.line;
    }
    EXPECT_EQ(readFormatted("abc", "(F12.0)", tx, &tooLong), ReadStatus::error);
    EXPECT_FALSE(tooLong);
    EXPECT_EQ(inputColumns("(4F12.0)"), 48);
    EXPECT_EQ(inputColumns("(A255)"), 255);
}

TEST(FormattedInput, TextFields)
{
    std::string answer(1, '?'), wide(4, '?'), name(12, '?');
    const Target t1[] = {answer}, t4[] = {wide}, t12[] = {name};
    ASSERT_EQ(readFormatted("", "(A1)", t1), ReadStatus::ok);
    EXPECT_EQ(answer, " ");
    ASSERT_EQ(readFormatted("y  ", "(A1)", t4), ReadStatus::ok);
    EXPECT_EQ(wide, "y   ");
    EXPECT_EQ(readFormatted("yes", "(A1)", t4), ReadStatus::error);
    EXPECT_EQ(readFormatted("averyveryverylongname", "(a\\)", t12), ReadStatus::error);
    EXPECT_EQ(name, std::string(12, '?')) << "a failed read leaves its variable";
    ASSERT_EQ(readFormatted("t.out", "(a\\)", t12), ReadStatus::ok);
    EXPECT_EQ(name, "t.out       ");
}

TEST(FreeFormInput, ValuesOverSeveralLines)
{
    auto from = [](std::vector<std::string> lines) {
        return [lines, i = std::size_t{0}]() mutable -> std::optional<std::string> {
            if (i == lines.size()) return std::nullopt;
            return lines[i++];
        };
    };
    int numIt = 0;
    double argTop = 0, tol = 0, resultTol = 0;
    const Target t[] = {numIt, argTop, tol, resultTol};
    ASSERT_EQ(readFreeForm(from({"300 1000 1e-9 1e-6"}), t), ReadStatus::ok);
    EXPECT_EQ(numIt, 300);
    EXPECT_EQ(resultTol, 1e-6);
    ASSERT_EQ(readFreeForm(from({"  400,", " 2.5D2 ,3E-1", "-1 extra ignored"}), t), ReadStatus::ok);
    EXPECT_EQ(numIt, 400);
    EXPECT_EQ(argTop, 250.0);
    EXPECT_EQ(resultTol, -1.0);
    EXPECT_EQ(readFreeForm(from({"200, 800.0, 1e-8", "NumIt, ArgTop, Tolerance, ResultTol"}), t), ReadStatus::error);
    EXPECT_EQ(readFreeForm(from({}), t), ReadStatus::end);
    EXPECT_EQ(readFreeForm(from({"1.5 2 3 4"}), t), ReadStatus::error);
    // A null value keeps its variable; a slash ends the statement.
    ASSERT_EQ(readFreeForm(from({"7,,5 / 9"}), t), ReadStatus::ok);
    EXPECT_EQ(numIt, 7);
    EXPECT_EQ(argTop, 250.0);
    EXPECT_EQ(tol, 5.0);
    EXPECT_EQ(resultTol, -1.0);

    std::string name(10, '?');
    const Target tt[] = {name, numIt};
    ASSERT_EQ(readFreeForm(from({"'a, b''s' 3"}), tt), ReadStatus::ok);
    EXPECT_EQ(name, "a, b's    ");
    EXPECT_EQ(numIt, 3);
}
