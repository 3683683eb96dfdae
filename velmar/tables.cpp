// The table run's dialogue: table type, kind, standardization, the table's
// values, the output file, each type's parameters and the run-time estimate.
#include "velmar/tables.h"

#include "velmar/answers.h"
#include "velmar/startup.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace interactive {

using records::Console;
using records::FileWriter;
using records::fixedText;

namespace {

int askTableType(Console& con)
{
    con.line({"Specify which type of table(s) you want:"});
    con.line({});
    con.line({" 1 - Each table has the confidence limits for various sigmas and alphas for"});
    con.line({"     fixed Nu, mu, and lambda.  One page for each Nu."});
    con.line({});
    con.line({" 2 - Each table has the confidence limits for various sigmas and Nus for"});
    con.line({"     fixed mu, lambda and alpha.  One page for each alpha."});
    con.line({});
    for (;;) {
        con.line({"Which type?"});
        int type = 0;
        if (!answer(con, "(I5)", {type})) continue;
        if (type == 1 || type == 2) return type;
        con.line({"Table must be of types 1 or 2."});
    }
}

double askTableGamma2(Console& con, double gamma2)
{
    const std::string text = defaultText(gamma2);
    for (;;) {
        con.line({"Gamma squared (SE(mu-hat)=sigma/gamma)"});
        con.line({" (enter nothing for default of Nu+1)", text});
        double value = 0.0;
        if (!answer(con, "(F12.0)", {value})) continue;
        if (value > 0.0) return value;
        if (value == 0.0) return gamma2 > 0.0 ? gamma2 : gammaMarker;
        gammaMustBePositive(con);
    }
}

std::string trimmedName(const std::string& name)
{
    const std::size_t end = name.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

// Whether a name stands for the option file, which a table must not replace.
bool isOptionFile(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::path(path).lexically_normal() == fs::path(optionFileName)) return true;
    return fs::exists(path, ec) && fs::exists(optionFileName, ec) && fs::equivalent(path, optionFileName, ec);
}

// Asks for the table file's name until it names a new file or the user
// chooses to overwrite or append to an existing one, and the file can be
// written. The pages go to a temporary file until the run has written them.
std::unique_ptr<records::StagedFile> askOutputFile(Console& con)
{
    for (;;) {
        con.line({"Enter filename for output tables (no quotes):"});
        std::string name(longestAnswer, ' ');
        if (!answer(con, "(A255)", {name})) continue;
        const std::string path = trimmedName(name);
        if (path.empty()) continue;
        if (isOptionFile(path)) {
            con.line({"That is the option file (", optionFileName, "); please choose another name."});
            continue;
        }
        FileWriter::Mode mode = FileWriter::Mode::overwrite;
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            con.line({"\a"});
            // Names of 12 characters or more keep a blank before the words.
            con.line({"The file ", path.size() < 12 ? fixedText(path, 12) : path + " ", "already exists."});
            con.line({"Overwrite (O), Append(A), or Different file (D)?"});
            const char letter = answerLetter(con, "oad");
            if (letter == 'A')
                mode = FileWriter::Mode::append;
            else if (letter != 'O')
                continue;
        }
        auto file = std::make_unique<records::StagedFile>(path, mode);
        if (file->isOpen()) return file;
        con.line({"The file ", path, " cannot be written; please choose another name."});
    }
}

// Runs of more pages than this start only when the user confirms, like runs
// whose estimate is long (a page without rows takes no time, but space).
constexpr long long mostPagesUnasked = 10000;

bool confirmLongRun(Console& con, const TableSetup& setup, double seconds, long long pages)
{
    if (seconds <= setup.confirmAbove && pages <= mostPagesUnasked) return true;
    for (;;) {
        con.line({"Continue? (Y/N)"});
        const char letter = answerLetter(con, "yn");
        if (letter == 'Y') return true;
        if (letter == 'N') {
            con.line({"No tables written."});
            con.line({});
            return false;
        }
    }
}

// NumberofSs as the rows of a page: a count below 2 gives one row.
double rowsPerPage(const SigmaRange& sigmas)
{
    return sigmas.count < 2 ? 1.0 : static_cast<double>(sigmas.count);
}

void nuMustBeTwo(Console& con)
{
    con.line({"Nu must be at least 2."});
}

// The sigma-hat range of the rows; both ends must be positive.
SigmaRange askSigmas(Console& con, std::string_view question, std::string_view hint)
{
    for (;;) {
        con.line({question});
        con.line({hint});
        SigmaRange s{};
        if (!answerFree(con, {s.start, s.stop, s.count})) continue;
        if (s.start <= 0.0) {
            con.line({"Sigmastart must be >0 "});
        } else if (s.stop <= 0.0) {
            con.line({"SigmaStop must be >0 "});
        } else {
            return s;
        }
    }
}

int columnsPerPage(int kind)
{
    return kind == 3 ? 3 : 4;
}

double secondsPerLimit(int kind, double oneSided, double twoSided)
{
    return kind == 3 ? twoSided : oneSided;
}

// Type 1: columns of alphas, a page for each nu. False when the user
// declined a long run.
bool nuTables(Console& con, FileWriter& file, const TableSetup& setup)
{
    const int most = columnsPerPage(setup.kind);
    std::vector<double> alphas;
    for (;;) {
        con.line({"Enter up to ", most, " confidence levels (separated by commas)."});
        double a[4] = {};
        if (!answer(con, "(4F12.0)", {a[0], a[1], a[2], a[3]})) {
            con.line({"There was an error reading the alphas.  Make"});
            con.line({"sure and use commas separating values."});
            continue;
        }
        if (a[0] == 0.0) {
            con.line({"First alpha cannot be zero."});
            con.line({});
            continue;
        }
        // A level of 1 has no finite limit: the engine is not asked for one.
        bool inRange = true;
        for (double v : a) inRange = inRange && (v == 0.0 || (v > 0.0 && v < 1.0));
        if (!inRange) {
            con.line({"All nonzero alphas must be between 0 and 1."});
            continue;
        }
        for (int i = 0; i < most && a[i] != 0.0; ++i) alphas.push_back(a[i]);
        break;
    }
    int nuStart = 0, nuStop = 0, nuDiff = 0;
    for (;;) {
        con.line({"Enter NuStart, NuStop, NuDiff (integers expected, separated by commas)"});
        if (!answerFree(con, {nuStart, nuStop, nuDiff})) continue;
        if (nuStart < 2 || nuStop < 2) {
            nuMustBeTwo(con);
        } else if (nuStart != nuStop && (nuDiff == 0 || (nuStop - nuStart > 0) != (nuDiff > 0))) {
            con.line({"NuDiff must lead from NuStart to NuStop."});
        } else {
            break;
        }
    }
    const SigmaRange sigmas = askSigmas(con, "Enter SigmaStart (real),SigmaStop(real),NumberofSs (integer) ",
                                        "(separated by commas;  <50 to fit on one page)");
    const long long pages = nuPageCount(nuStart, nuStop, nuDiff);
    const double seconds = rowsPerPage(sigmas) * static_cast<double>(alphas.size()) * static_cast<double>(pages) *
                           secondsPerLimit(setup.kind, 0.3, 2.5);
    writeEstimate(con, seconds);
    if (!confirmLongRun(con, setup, seconds, pages)) return false;
    writeNuPages(con, file, setup, alphas, nuStart, nuStop, nuDiff, sigmas);
    return true;
}

// Type 2: columns of nus, a page for each alpha. False when the user
// declined a long run.
bool alphaTables(Console& con, FileWriter& file, const TableSetup& setup)
{
    constexpr int mostAlphas = 50;
    const int most = columnsPerPage(setup.kind);
    std::vector<int> nus;
    for (;;) {
        con.line({"Enter up to ", most, " different degrees of freedom (separate with commas)."});
        int n[4] = {};
        if (!answer(con, "(4I6)", {n[0], n[1], n[2], n[3]})) continue;
        if (n[0] == 0) {
            con.line({"First nu cannot be zero."});
            con.line({});
            continue;
        }
        nus.clear();
        for (int i = 0; i < most && n[i] != 0; ++i) nus.push_back(n[i]);
        bool valid = true;
        for (int nu : nus) valid = valid && nu >= 2;
        if (valid) break;
        nuMustBeTwo(con);
    }
    double alphaStart = 0.0, alphaStop = 0.0;
    int alphaCount = 0;
    for (;;) {
        con.line({"Enter AlphaStart (real), AlphaStop (real), NumberofAlphas (integer) "});
        con.line({"(one page per alpha; max of 50 alphas)"});
        if (!answerFree(con, {alphaStart, alphaStop, alphaCount})) continue;
        if (alphaStart <= alphaStop && alphaStart > 0.0 && alphaStop < 1.0 && alphaCount > 0 &&
            alphaCount <= mostAlphas)
            break;
        con.line({"Improper alpha parameters.  "});
    }
    std::vector<double> alphas;
    if (alphaCount == 1) {
        alphas.push_back(alphaStart);
    } else {
        for (int j = 1; j <= alphaCount; ++j)
            alphas.push_back(alphaStart + (j - 1) * (alphaStop - alphaStart) / (alphaCount - 1));
    }
    const SigmaRange sigmas = askSigmas(con, "Enter SigmaStart (real),SigmaStop (real),NumberofSs (integer) ",
                                        "(separated by commas; up to 40)");
    const double seconds = rowsPerPage(sigmas) * static_cast<double>(alphaCount) *
                           static_cast<double>(nus.size()) * secondsPerLimit(setup.kind, 0.15, 1.2);
    writeEstimate(con, seconds);
    if (!confirmLongRun(con, setup, seconds, alphaCount)) return false;
    writeAlphaPages(con, file, setup, nus, alphas, sigmas);
    return true;
}

} // namespace

long long nuPageCount(int nuStart, int nuStop, int nuDiff)
{
    if (nuStart == nuStop) return 1;
    const long long pages = (static_cast<long long>(nuStop) - nuStart + nuDiff) / nuDiff;
    return pages > 0 ? pages : 0;
}

void writeEstimate(Console& con, double seconds)
{
    constexpr double minute = 60.0, hour = 3600.0, day = 86400.0, year = 31536000.0;
    if (seconds < 59.0)
        con.write("(A25,F5.2,A30)", {" This will require about ", seconds, " seconds (ballpark; 486 66MH)."});
    else if (seconds < hour)
        con.write("(A24,F5.2,A30)", {" This will require about ", seconds / minute, " minutes (ballpark; 486 66MH)."});
    else if (seconds < day)
        con.write("(A24,F5.2,A30)", {" This will require about ", seconds / hour, " hours (ballpark; 486 66MH)."});
    else if (seconds < year)
        con.write("(A24,F9.2,A30)", {" This will require about ", seconds / day, " days (ballpark; 486 66MH)."});
    else
        con.write("(A24,F9.2,A30)", {" This will require about ", seconds / year, " years (ballpark; 486 66MH)."});
}

void tableRun(Console& con, Remembered& r, const engine::Settings& settings, double confirmAbove)
{
    const Remembered kept = r;
    if (r.gamma2 == 0.0) r.gamma2 = gammaMarker;

    const int type = askTableType(con);
    if (r.kind == noKindYet) r.kind = 1;
    r.kind = askKind(con, kindDefaultText(r.kind), r.kind);

    con.line({"Standardized confidence limits?"});
    con.line({"(S for standardized,else nothing)"});
    const bool standardized = answerLetter(con, "s") == 'S';
    if (standardized) {
        r.lambda = 0.5;
        r.gamma2 = gammaMarker;
    } else {
        r.muhat = askMuhat(con, defaultText(r.muhat), r.muhat);
        r.lambda = askLambda(con, defaultText(r.lambda), r.lambda, false);
        r.gamma2 = askTableGamma2(con, r.gamma2);
    }

    const std::unique_ptr<records::StagedFile> file = askOutputFile(con);
    const TableSetup setup{r.kind, standardized, r.muhat, r.lambda, r.gamma2, settings, confirmAbove};
    const bool written =
        type == 1 ? nuTables(con, file->writer(), setup) : alphaTables(con, file->writer(), setup);
    if (written && !file->commit()) {
        if (file->writer().failed()) {
            // A full disk, say: the old file is kept rather than replaced by a part.
            con.line({"Warning: the tables could not be written in full; the table file is"});
            con.line({"unchanged, and the part written is in the file"});
        } else {
            con.line({"Warning: the tables could not be put in place; they are in the file"});
        }
        con.line({file->temporaryPath()});
    }

    const int kind = r.kind;
    r = kept;
    r.kind = kind;
}

} // namespace interactive
