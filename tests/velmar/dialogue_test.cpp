// The dialogue hands the engine the values the user gave and prints what the
// engine returns: the result lines and table cells are compared with the
// engine's own results laid out by the same formats.
#include "engine/settings.h"
#include "engine/limit_searches.h"
#include "velmar/answers.h"
#include "velmar/dialogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// Runs the main loop on the answers until they run out; returns the console bytes.
std::string converse(const std::string& answers)
{
    std::istringstream in(answers);
    std::ostringstream out;
    records::Console con(in, out);
    try {
        interactive::mainLoop(con, engine::defaultSettings);
    } catch (const interactive::EndOfInput&) {
    }
    return out.str();
}

// The console shows a record without its first (control) character.
std::string shown(std::string_view format, std::initializer_list<records::Item> items)
{
    return records::formatRecords(format, items).front().substr(1);
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(Dialogue, OneSidedResultsAreTheEnginesForTheAnswersGiven)
{
    // Upper limit with the defaults of nu + 1; then a lower limit with a
    // negative lambda and a gamma-squared of its own.
    const std::string out = converse("\n\n0.95\n\n10\n1\n0.25\n\n"
                                     "\n2\n0.9\n-0.3\n20\n2\n-1\n7.5\n");
    const auto upper = engine::OneTailedLimit(1, 0.25, 1.0, 10.0, 0.95, 0.5, 11.0, engine::defaultSettings, engine::interactiveVariant);
    const auto lower = engine::OneTailedLimit(2, -1.0, 2.0, 20.0, 0.9, -0.3, 7.5, engine::defaultSettings, engine::interactiveVariant);
    EXPECT_TRUE(contains(out, shown("(F13.8,A4,F13.8,A1)", {upper.limit, " and", upper.C, "."})));
    EXPECT_TRUE(contains(out, shown("(F13.8,A4,F13.8,A1)", {lower.limit, " and", lower.C, "."})));
    EXPECT_TRUE(contains(out, shown("(F8.3,F9.2,F8.2,F7.0,F8.0)", {-1.0, 2.0, -0.3, 20.0, 7.5})));
    EXPECT_TRUE(contains(out, "The  90.00% one-sided lower limit      and standard confidence limit are"));
}

TEST(Dialogue, TwoSidedResultsAreTheEnginesForTheAnswersGiven)
{
    const std::string out = converse("\n3\n0.95\n-0.5\n5\n0.8\n1.5\n\n");
    const auto r = engine::TwoTailedLimits(1.5, 0.8, 5.0, 0.95, -0.5, 6.0, engine::defaultSettings, engine::interactiveVariant);
    EXPECT_TRUE(contains(out, shown("(F8.3,F9.2,F8.2,F7.0,F8.0,F15.8,A1,F13.8)",
                                    {1.5, 0.8, -0.5, 5.0, 6.0, r.lower, ",", r.upper})));
    EXPECT_TRUE(contains(out, shown("(A10,A6,A36,F12.6,A4,F12.6,A1)", {" Standard ", " 95.00",
                                                                        "% two-sided lower & upper limits are ",
                                                                        r.Clower, " and", r.Cupper, "."})));
}

TEST(Dialogue, TableCellsAreTheEnginesForEachPageAndColumn)
{
    const auto folder = std::filesystem::temp_directory_path() / "velmar-dialogue-test";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "t.out").string();
    std::filesystem::remove(path);
    // Type 1, lower limits, not standardized, gamma-squared left at nu + 1;
    // two alphas, pages for nu 5 and 15, three rows.
    std::filesystem::current_path(folder);
    converse("T\n1\n2\n\n-0.5\n0.4\n\nt.out\n0.9,0.99\n5,15,10\n0.5,1.5,3\n");
    const std::string table = readFile(path);
    for (double nu : {5.0, 15.0}) {
        for (double sigmahat : {0.5, 1.0, 1.5}) {
            std::vector<records::Item> row{sigmahat};
            for (double alpha : {0.9, 0.99})
                row.emplace_back(engine::OneTailedLimit(2, -0.5, sigmahat, nu, alpha, 0.4, nu + 1.0, engine::defaultSettings, engine::interactiveVariant).limit);
            const std::string expected = records::formatRecords("(F6.2,1P,4E14.2)", row).front();
            EXPECT_TRUE(contains(table, expected + "\r\n")) << expected;
        }
    }
    // Type 2, two-sided, standardized: C of each nu column on the page of each alpha.
    converse("T\n2\n3\nS\nt.out\nO\n4,40\n0.9,0.95,2\n1,2,2\n");
    const std::string standardized = readFile(path);
    for (double alpha : {0.9, 0.95}) {
        for (double sigmahat : {1.0, 2.0}) {
            std::vector<records::Item> row{sigmahat};
            for (double nu : {4.0, 40.0}) {
                const auto r = engine::TwoTailedLimits(0.0, sigmahat, nu, alpha, 0.5, nu + 1.0, engine::defaultSettings, engine::interactiveVariant);
                row.emplace_back(r.Clower);
                row.emplace_back(r.Cupper);
            }
            const std::string expected = records::formatRecords("(F6.2,3(F13.4,F10.4))", row).front();
            EXPECT_TRUE(contains(standardized, expected + "\r\n")) << expected;
        }
    }
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(folder);
}
