#include "velmar/startup.h"

#include "engine/settings.h"
#include "velmar/answers.h"

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>

namespace interactive {

using records::Console;

void writeTitle(Console& con)
{
    con.line({"Velmar: exact confidence limits for mu + lambda x sigma-squared"});
    con.line({"Written by the Velmar team:"});
    con.line({"   engine: conditional distributions and limit searches,"});
    con.line({"   library: chi-square and normal distributions,"});
    con.line({"   front end: dialogue, tables and option file,"});
    con.line({"   verification: coverage by numerical integration,"});
    con.line({"   tests: high-precision reference values."});
    con.line({});
    con.line({});
}

namespace {

// Settings outside their sensible ranges give way to the defaults, each with
// one warning line: a NumIt of 0 or a Tolerance of 0 would make every limit
// wrong without a word, and a huge NumIt would let one search run for minutes.
engine::Settings checkedSettings(Console& con, engine::Settings c)
{
    constexpr int mostIterations = 100000;
    constexpr double largestTolerance = 1e-2;
    const engine::Settings& d = engine::defaultSettings;
    const auto warn = [&con](const char* setting, const char* why, auto fallback) {
        std::ostringstream text;
        text << "Warning: " << setting << " in Velmar.opt " << why << "; default " << fallback << " used.";
        con.line({text.str()});
    };
    if (c.NumIt < 1 || c.NumIt > mostIterations) {
        warn("NumIt", "is not 1 to 100000", d.NumIt);
        c.NumIt = d.NumIt;
    }
    if (std::isnan(c.ArgTop)) {
        warn("ArgTop", "is not a number", d.ArgTop);
        c.ArgTop = d.ArgTop;
    }
    if (!(c.Tolerance > 0.0 && c.Tolerance <= largestTolerance)) {
        warn("Tolerance", "is not in (0, 1e-2]", d.Tolerance);
        c.Tolerance = d.Tolerance;
    }
    if (std::isnan(c.ResultTol)) {
        warn("ResultTol", "is not a number", d.ResultTol);
        c.ResultTol = d.ResultTol;
    }
    return c;
}

engine::Settings readOptionFile(Console& con)
{
    std::error_code ec;
    records::FileReader file(optionFileName);
    if (!file.isOpen() || std::filesystem::is_directory(optionFileName, ec))
        throw FatalError("Error: the option file (Velmar.opt) exists but cannot be opened.");
    // A null value (",,") or a slash leaves its setting at the default.
    engine::Settings c = engine::defaultSettings;
    if (file.readFree({c.NumIt, c.ArgTop, c.Tolerance, c.ResultTol}) == records::ReadStatus::ok)
        return checkedSettings(con, c);
    con.line({"Warning: could not read from option file (Velmar.opt)."});
    con.line({"Will use defaults."});
    return engine::defaultSettings;
}

// Writes the option file with the settings in force (the defaults) and a
// description of each.
void createOptionFile(Console& con, const engine::Settings& c)
{
    records::FileWriter file(optionFileName, records::FileWriter::Mode::overwrite);
    if (!file.isOpen()) {
        con.line({"Warning:could not open new option file. File will not be created."});
        con.line({});
        return;
    }
    if (!file.write("(I6,A1,F10.2,A1,1p,E12.4,A1,E12.4)",
                    {c.NumIt, ",", c.ArgTop, ",", c.Tolerance, ",", c.ResultTol})) {
        con.line({"Warning: could not write to new option file (Velmar.opt)."});
        con.line({});
        return;
    }
    const engine::Settings& d = engine::defaultSettings;
    file.line({"NumIt, ArgTop, Tolerance, ResultTol"});
    file.line({});
    file.line({"NumIt: Maximum number of iterations"});
    file.line({"ArgTop: For Bessel fcn evaluation,", "above which we approx.", " integral"});
    file.line({"Tolerance: Absolute tolerance criterion for sequence convergence"});
    file.line({"ResultTolerance: how close to zero the root-finding functions must be"});
    file.line({});
    file.line({"Default values are given below:"});
    file.write("(A20,I6)", {"Default NumIt: ", d.NumIt});
    file.write("(A20,F10.2)", {"Default ArgTop: ", d.ArgTop});
    file.write("(A20,1p,E12.4)", {"Default Tolerance: ", d.Tolerance});
    file.write("(A20,1p,E12.4)", {"Default ResultTol: ", d.ResultTol});
    file.close();
}

} // namespace

engine::Settings loadOptionFile(Console& con)
{
    std::error_code ec;
    if (std::filesystem::exists(optionFileName, ec)) return readOptionFile(con);
    con.line({});
    con.line({"Warning: The option file does not exist. "});
    con.line({"Will create one using the default options"});
    con.line({"(filename='Velmar.opt')"});
    con.line({" See this file for description of options"});
    con.line({"if you want to change them.  If there is"});
    con.line({"any kind of error creating or writing to"});
    con.line({"the file, it will not be created (program will still work)."});
    con.line({});
    createOptionFile(con, engine::defaultSettings);
    return engine::defaultSettings;
}

void offerExplanation(Console& con)
{
    char letter;
    do {
        con.line({" Would you like an explanation of this program? (Y/N)"});
        letter = answerLetter(con, "y");
    } while (letter != 'Y' && letter != 'N' && letter != 'n');
    if (letter != 'Y') return;
    con.write("(A1)", {"-"});
    con.line({"     For sample estimates of the mean (MU) and ", "standard deviation (SIGMA) of a"});
    con.line({"normal distribution, this program computes ", "uniformly most accurate unbiased"});
    con.line({"confidence limits of level alpha for an ", "arbitrary linear function,"});
    con.line({"               mu + lambda x sigma-squared."});
    con.line({"     The sample estimates are assumed to ", "correspond to independent random"});
    con.line({"variables distributed, respectively, as ", "Normal(MU,SIGMA/GAMMA) and"});
    con.line({"SIGMA x SQRT(Chi-square(NU)/NU)."});
    con.line({});
    con.line({"For the case of lognormal distributions (single"});
    con.line({"sample), use lambda=0.5 and gamma-squared=nu+1."});
    con.line({"Remember that the mean and standard deviation are then "});
    con.line({"for the logarithm of the sample values."});
    con.line({});
    con.line({});
}

} // namespace interactive
