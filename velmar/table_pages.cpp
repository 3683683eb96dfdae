// The pages of a table run: headers, rows of limits and the total time.
#include "velmar/tables.h"

#include "records/clock.h"
#include "engine/checked_limits.h"

#include <string>
#include <vector>

namespace interactive {

using records::Console;
using records::FileWriter;
using records::Item;

namespace {

// The word that stands in a cell whose limit cannot be computed.
constexpr const char* noLimit = "no limit";

std::string hyphens(std::size_t n, std::size_t indent = 0)
{
    return std::string(indent, ' ') + std::string(n, '-');
}

std::string kindLine(int kind)
{
    switch (kind) {
    case 1:
        return "                   One-Sided (Upper) Confidence Levels";
    case 2:
        return "                   One-Sided (Lower) Confidence Levels";
    default:
        return "                   Two-Sided Confidence Levels";
    }
}

// The records that name the function and the fixed values.
void writeFunction(FileWriter& file, const TableSetup& setup)
{
    if (setup.standardized) {
        file.line({" Standardized Confidence Limits for mu + lambda* sigma^2."});
        return;
    }
    file.line({"Confidence limits for "});
    file.write("(A7,F6.2,A9)", {" mu + (", setup.lambda, ") sigma^2"});
    file.write("(A14,1p,E12.6,A1)", {" Sample mu is ", setup.muhat, "."});
}

// A column header: the first value, then each further one after nine blanks.
void writeColumns(FileWriter& file, const TableSetup& setup, std::string_view oneSidedFormat,
                  std::string_view twoSidedFormat, const std::vector<Item>& values)
{
    std::vector<Item> items{" sigma-hat   "};
    if (oneSided(setup.kind)) {
        items.insert(items.end(), values.begin(), values.end());
        file.write(oneSidedFormat, items);
        return;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) items.emplace_back("         ");
        items.push_back(values[i]);
    }
    file.write(twoSidedFormat, items);
}

// The rows of one page: sigma-hat from its start while it does not exceed its
// stop, each row with the limits (or critical values) of every column. Cells
// whose search was replaced by the exact value are counted in replaced.
void writeRows(FileWriter& file, const TableSetup& setup, const SigmaRange& sigmas,
               const std::vector<double>& nus, const std::vector<double>& alphas, long long& replaced)
{
    const double step = sigmas.count < 2 ? 0.0 : (sigmas.stop - sigmas.start) / (sigmas.count - 1);
    const bool useNuPlusOne = setup.standardized || setup.gamma2 == gammaMarker;
    // Each cell's field; a cell without a limit gets the word in its place.
    const bool one = oneSided(setup.kind);
    const char* fields[2] = {one ? (setup.standardized ? "F14.4" : "E14.2") : (setup.standardized ? "F13.4" : "E13.2"),
                             setup.standardized ? "F10.4" : "E10.2"};
    const int widths[2] = {one ? 14 : 13, 10};
    double sigmahat = sigmas.start;
    while (sigmahat <= sigmas.stop) {
        std::vector<Item> row{sigmahat};
        std::string format = setup.standardized ? "(F6.2" : "(F6.2,1P";
        const auto cell = [&](int which, double value, bool computed) {
            if (computed) {
                format += std::string(",") + fields[which];
                row.emplace_back(value);
            } else {
                format += ",A" + std::to_string(widths[which]);
                row.emplace_back(noLimit);
            }
        };
        for (std::size_t c = 0; c < nus.size(); ++c) {
            const double nu = nus[c];
            const double gamma2 = useNuPlusOne ? nu + 1.0 : setup.gamma2;
            if (one) {
                const engine::CheckedOneSided checked =
                    engine::CheckedOneTailedLimit(setup.kind, {setup.muhat, sigmahat, nu, alphas[c], setup.lambda, gamma2},
                                                  setup.settings, engine::interactiveVariant);
                const engine::OneSidedResult& r = checked.result;
                replaced += checked.replaced ? 1 : 0;
                cell(0, setup.standardized ? r.C : r.limit, limitComputed(r));
            } else {
                const engine::CheckedTwoSided checked =
                    engine::CheckedTwoTailedLimits({setup.muhat, sigmahat, nu, alphas[c], setup.lambda, gamma2},
                                                   setup.settings, engine::interactiveVariant);
                const engine::TwoSidedResult& r = checked.result;
                replaced += (checked.lowerReplaced ? 1 : 0) + (checked.upperReplaced ? 1 : 0);
                cell(0, setup.standardized ? r.Clower : r.lower, limitComputed(r));
                cell(1, setup.standardized ? r.Cupper : r.upper, limitComputed(r));
            }
        }
        file.write(format + ")", row);
        // A step too small to move sigma-hat would repeat the row for ever.
        const double next = sigmahat + step;
        if (sigmas.count < 2 || !(next > sigmahat)) break;
        sigmahat = next;
    }
}

// The run's end: how many cells carry exact values instead of the search's,
// and the time it took.
void writeRunEnd(Console& con, long long replaced, double start)
{
    if (replaced > 0)
        con.line({std::to_string(replaced) + (replaced == 1 ? " cell of this run carries" : " cells of this run carry") +
                  " the exact value where the search's was off."});
    con.line({"Total time was ", records::elapsedSeconds(start, records::timeOfDay()), " seconds."});
    con.line({});
}

} // namespace

void writeNuPages(Console& con, FileWriter& file, const TableSetup& setup, std::span<const double> alphas,
                  int nuStart, int nuStop, int nuDiff, const SigmaRange& sigmas)
{
    const double start = records::timeOfDay();
    long long replaced = 0;
    const long long pages = nuPageCount(nuStart, nuStop, nuDiff);
    const std::vector<double> columnAlphas(alphas.begin(), alphas.end());
    std::vector<Item> alphaItems(alphas.begin(), alphas.end());
    double nu = nuStart;
    for (long long page = 0; page < pages; ++page) {
        writeFunction(file, setup);
        file.write("(I5,A20)", {static_cast<int>(nu), " degrees of freedom."});
        file.line({});
        file.line({kindLine(setup.kind)});
        file.line({hyphens(38, 17)});
        writeColumns(file, setup, "(A13,F6.4,3F14.4)", "(A13,F10.4,3(A9,F14.4))", alphaItems);
        file.line({hyphens(73)});
        writeRows(file, setup, sigmas, std::vector<double>(alphas.size(), nu), columnAlphas, replaced);
        file.line({"\f"});
        nu += nuDiff;
    }
    writeRunEnd(con, replaced, start);
}

void writeAlphaPages(Console& con, FileWriter& file, const TableSetup& setup, std::span<const int> nus,
                     std::span<const double> alphas, const SigmaRange& sigmas)
{
    const double start = records::timeOfDay();
    long long replaced = 0;
    const std::vector<double> columnNus(nus.begin(), nus.end());
    std::vector<Item> nuItems(nus.begin(), nus.end());
    const int count = static_cast<int>(alphas.size());
    for (int j = 0; j < count; ++j) {
        const double alpha = alphas[static_cast<std::size_t>(j)];
        con.line({"Alpha is ", alpha, count - 1 - j, " more to go."});
        writeFunction(file, setup);
        file.write("(A20,F6.4)", {"  Confidence level: ", alpha});
        file.line({});
        file.line({kindLine(setup.kind)});
        file.line({hyphens(38, 17)});
        file.line({"                   Degrees of Freedom"});
        file.line({hyphens(60, 17)});
        writeColumns(file, setup, "(A13,I6,3I14)", "(A13,I12,3(A9,I16))", nuItems);
        file.line({hyphens(73)});
        writeRows(file, setup, sigmas, columnNus, std::vector<double>(nus.size(), alpha), replaced);
        file.line({"\f"});
    }
    writeRunEnd(con, replaced, start);
}

} // namespace interactive
