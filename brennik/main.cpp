// Brennik: verifies the coverage of the engine's limits by numerical
// integration. Reads its run settings from "input.dat", runs the chosen part
// of a fixed grid of true values, and writes for each case the integrated
// coverage beside the level it should reach, to the results file named in
// "input.dat" and to the console; a two-sided run also writes "newveri.int".

#include "records/clock.h"
#include "records/records.h"
#include "brennik/verification.h"

#include <array>
#include <climits>
#include <cmath>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <variant>

namespace {

constexpr std::array<double, 10> alphas{0.001, 0.005, 0.01, 0.05, 0.1, 0.9, 0.95, 0.99, 0.995, 0.999};
constexpr std::array<double, 6> nus{2.0, 3.0, 5.0, 10.0, 100.0, 1000.0};
constexpr std::array<double, 3> sigmas{0.1, 1.0, 10.0};
constexpr double trueMu = 0.0;
constexpr double trueLambda = 0.5;

constexpr char inputName[] = "input.dat";
constexpr char intermediateName[] = "newveri.int";
constexpr std::size_t textLength = 72;

constexpr int oneSided = 1;
constexpr int twoSided = 2;
constexpr int upperWhich = 2; // integrand selector of the upper (or one-sided) limit
constexpr int lowerWhich = 1;

constexpr char settingsFormat[] = "(A14,1p,E10.2,A14,E10.2,A14,E10.2)";
constexpr char alphaFormat[] = "(A30,F8.1,F7.4,1p,2E12.4)";
constexpr char caseFormat[] = "(A20,2F10.4,F7.1,F8.3)";
constexpr char twoSidedFileRow[] = "(F9.3,F7.0,F7.2,1p,2(E14.3),0p,F9.1,A9)";
constexpr char twoSidedConsoleRow[] = "(F9.3,F7.0,F7.2,1p,2(E14.3),0p,F9.2,A9)";
constexpr char oneSidedRow[] = "(F9.3,F7.0,F9.5,1p,2(E14.3),0p,F9.2,A9)";

struct RunSettings {
    int WhichLimit = 0;
    int alphaFirst = 0;
    int alphaLast = 0;
    int nuFirst = 0;
    int nuLast = 0;
    double AdapQuadTol = 0.0;
    double FunctionTol = 0.0;
    double ResultTol = 0.0;
    std::string results; // file name, trailing blanks removed
    std::string title;   // 72 characters
};

struct InputError {
    int record;
    std::string problem;
};

// The records of "input.dat", one line each. A record must hold all its
// values on its own line: a value that is missing there is reported, not
// taken from the next record.
class InputFile {
public:
    InputFile() : in_(inputName, std::ios::binary) {}

    bool isOpen() const { return in_.is_open() && in_.good(); }

    // Reads the next record into the targets. Variables must hold the
    // "unset" values (INT_MIN, NaN) on entry, so that values left out by a
    // slash or an empty field are seen.
    std::optional<InputError> read(std::initializer_list<records::Target> targets, const char* expected)
    {
        ++record_;
        std::string line;
        if (!std::getline(in_, line)) {
            if (in_.bad()) return InputError{record_, "the file cannot be read"};
            return InputError{record_, std::string("missing (") + expected + " expected)"};
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        bool given = false;
        const auto once = [&]() -> std::optional<std::string> {
            if (given) return std::nullopt;
            given = true;
            return line;
        };
        const std::span<const records::Target> span(targets.begin(), targets.size());
        switch (records::readFreeForm(once, span)) {
        case records::ReadStatus::ok:
            break;
        case records::ReadStatus::end:
            return shortRecord(expected);
        case records::ReadStatus::error:
            return InputError{record_, std::string("a value of the wrong type (") + expected + " expected)"};
        }
        for (const records::Target& t : span) {
            const bool unset = std::visit(
                [](auto ref) {
                    using T = typename decltype(ref)::type;
                    if constexpr (std::is_same_v<T, int>) return ref.get() == INT_MIN;
                    else if constexpr (std::is_same_v<T, double>) return std::isnan(ref.get());
                    else return false;
                },
                t);
            if (unset) return shortRecord(expected);
        }
        return std::nullopt;
    }

    int record() const { return record_; }

private:
    InputError shortRecord(const char* expected) const
    {
        return {record_, std::string("too few values (") + expected + " expected)"};
    }

    std::ifstream in_;
    int record_ = 0;
};

bool indexIn(int index, std::size_t size)
{
    return index >= 1 && static_cast<std::size_t>(index) <= size;
}

std::string withoutTrailingBlanks(const std::string& s)
{
    const std::size_t end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

// Reads and checks "input.dat". Records 2 to 6 are read only for a one-sided
// or a two-sided run.
std::optional<InputError> readInput(RunSettings& run)
{
    InputFile file;
    if (!file.isOpen()) return InputError{1, "the file is missing or cannot be read"};
    constexpr double unset = std::numeric_limits<double>::quiet_NaN();

    run.WhichLimit = INT_MIN;
    if (auto e = file.read({std::ref(run.WhichLimit)}, "1 whole number")) return e;
    if (run.WhichLimit != oneSided && run.WhichLimit != twoSided) return std::nullopt;

    run.alphaFirst = run.alphaLast = INT_MIN;
    if (auto e = file.read({std::ref(run.alphaFirst), std::ref(run.alphaLast)}, "2 whole numbers")) return e;
    if (!indexIn(run.alphaFirst, alphas.size()) || !indexIn(run.alphaLast, alphas.size()))
        return InputError{file.record(), "alpha indices must lie in 1 to 10"};

    run.nuFirst = run.nuLast = INT_MIN;
    if (auto e = file.read({std::ref(run.nuFirst), std::ref(run.nuLast)}, "2 whole numbers")) return e;
    if (!indexIn(run.nuFirst, nus.size()) || !indexIn(run.nuLast, nus.size()))
        return InputError{file.record(), "nu indices must lie in 1 to 6"};

    run.AdapQuadTol = run.FunctionTol = run.ResultTol = unset;
    if (auto e = file.read({std::ref(run.AdapQuadTol), std::ref(run.FunctionTol), std::ref(run.ResultTol)},
                           "3 numbers"))
        return e;
    if (!(run.AdapQuadTol > 0.0 && run.AdapQuadTol < 0.5))
        return InputError{file.record(), "AdapQuadTol must lie between 0 and 0.5"};

    std::string name(textLength, ' ');
    if (auto e = file.read({std::ref(name)}, "a file name")) return e;
    run.results = withoutTrailingBlanks(name);
    if (run.results.empty()) return InputError{file.record(), "the results file name is blank"};

    run.title.assign(textLength, ' ');
    if (auto e = file.read({std::ref(run.title)}, "a title")) return e;
    return std::nullopt;
}

// The integration ranges of the chi-square quantile level u.
struct Ranges {
    double lowA, lowB;   // [AdapQuadTol, 0.5]
    double highA, highB; // [0.5, 1 - AdapQuadTol]
};

// Runs the quadratures of one case in order and remembers whether one of
// them stopped the program; after a stop it integrates nothing more.
class Integrals {
public:
    Integrals(const verify::Case& c, double AdapQuadTol) : case_(c), tol_(AdapQuadTol) {}

    double operator()(const verify::Integrand& f, int which, double a, double b)
    {
        if (stopped_) return 0.0;
        const verify::Quadrature q = verify::AdapQuad(f, which, a, b, case_, tol_);
        stopped_ = q.stopped;
        return q.value;
    }

    bool stopped() const { return stopped_; }

private:
    const verify::Case& case_;
    double tol_;
    bool stopped_ = false;
};

void writeHeading(records::FileWriter& results, const char* first, const RunSettings& run, const char* header)
{
    results.write("(A)", {first});
    results.line({run.title});
    results.write(settingsFormat,
                  {" AdapQuadTol: ", run.AdapQuadTol, " FunctionTol: ", run.FunctionTol, " ResultTol: ", run.ResultTol});
    results.write("(A)", {header});
}

verify::Case caseOf(const RunSettings& run, double alpha, double nu, double sigma)
{
    return {trueMu, sigma, trueLambda, nu, alpha, run.FunctionTol, run.ResultTol};
}

double minutesSince(double t0)
{
    return records::elapsedSeconds(t0, records::timeOfDay()) / 60.0;
}

// The probability that the case's limit misses theta (one-sided: lies below
// it; two-sided: the upper limit below or the lower limit above it), or
// nothing when a quadrature stopped the program.
std::optional<double> missProbability(const RunSettings& run, const verify::Case& c, const Ranges& r)
{
    Integrals quad(c, run.AdapQuadTol);
    if (run.WhichLimit == oneSided) {
        const double low = quad(verify::OneTailPqDiff, upperWhich, r.lowA, r.lowB);
        const double high = quad(verify::OneTailPqDiff, upperWhich, r.highA, r.highB);
        if (quad.stopped()) return std::nullopt;
        return low + high;
    }
    const double upperLow = quad(verify::TwoTailPqDiff, upperWhich, r.lowA, r.lowB);
    const double upperHigh = quad(verify::TwoTailPqDiff, upperWhich, r.highA, r.highB);
    const double lowerHigh = quad(verify::TwoTailPqDiff, lowerWhich, r.highA, r.highB);
    const double lowerLow = quad(verify::TwoTailPqDiff, lowerWhich, r.lowA, r.lowB);
    if (quad.stopped()) return std::nullopt;
    const double IU = upperLow + upperHigh; // P(upper limit < theta)
    const double IL = lowerHigh + lowerLow; // P(lower limit < theta)
    return IU + 1.0 - IL;
}

// Runs the grid; intermediate is the file of a two-sided run (null in a
// one-sided run). Ends early when a quadrature stops the program.
void runGrid(records::Console& con, records::FileWriter& results, records::FileWriter* intermediate,
             const RunSettings& run, const Ranges& r)
{
    const char* fileRow = intermediate ? twoSidedFileRow : oneSidedRow;
    const char* consoleRow = intermediate ? twoSidedConsoleRow : oneSidedRow;
    for (int ia = run.alphaFirst; ia <= run.alphaLast; ++ia) {
        const double alpha = alphas[ia - 1];
        const std::initializer_list<records::Item> alphaLine{" mu,a,Adapquadtol,Functol are ", trueMu, alpha,
                                                             run.AdapQuadTol, run.FunctionTol};
        con.write(alphaFormat, alphaLine);
        results.write(alphaFormat, alphaLine);
        if (intermediate) intermediate->write(alphaFormat, alphaLine);
        for (int in = run.nuFirst; in <= run.nuLast; ++in) {
            const double nu = nus[in - 1];
            for (const double sigma : sigmas) {
                if (intermediate) {
                    const std::initializer_list<records::Item> caseLine{"Mu,Sigma,df,alpha are ", trueMu, sigma,
                                                                        nu, alpha};
                    intermediate->write(caseFormat, caseLine);
                    con.write(caseFormat, caseLine);
                }
                const double t0 = records::timeOfDay();
                const std::optional<double> miss = missProbability(run, caseOf(run, alpha, nu, sigma), r);
                if (!miss) return;
                const double minutes = minutesSince(t0);

                const double Int = 1.0 - *miss;
                const double Error = *miss - (1.0 - alpha);
                const std::initializer_list<records::Item> row{alpha, nu, sigma, Int, Error, minutes, " minutes"};
                results.write(fileRow, row);
                con.write(consoleRow, row);
            }
        }
    }
}

int cannotCreate(records::Console& con, const std::string& name)
{
    con.line({"The file ", name, " cannot be created."});
    con.finish();
    return 1;
}

} // namespace

int main()
{
    records::Console con(std::cin, std::cout);
    con.receiveDiagnostics();

    RunSettings run;
    if (const std::optional<InputError> e = readInput(run)) {
        const std::string where = std::string(inputName) + ", record " + std::to_string(e->record) + ": ";
        con.line({where, e->problem});
        con.finish();
        return 1;
    }
    const Ranges ranges{run.AdapQuadTol, 0.5, 0.5, 1.0 - run.AdapQuadTol};

    if (run.WhichLimit == twoSided) {
        records::FileWriter intermediate(intermediateName, records::FileWriter::Mode::overwrite);
        if (!intermediate.isOpen()) return cannotCreate(con, intermediateName);
        intermediate.write("(A)", {"Intermediate results for verifying two-tailed..."});
        records::FileWriter results(run.results, records::FileWriter::Mode::overwrite);
        if (!results.isOpen()) return cannotCreate(con, run.results);
        writeHeading(results, "Verifying two-tailed ", run, "  alpha  df  sigma   Int  Error");
        runGrid(con, results, &intermediate, run, ranges);
    } else if (run.WhichLimit == oneSided) {
        records::FileWriter results(run.results, records::FileWriter::Mode::overwrite);
        if (!results.isOpen()) return cannotCreate(con, run.results);
        writeHeading(results, "Verifying one-tailed ", run, "  alpha  df  sigma   Int  RelError");
        runGrid(con, results, nullptr, run, ranges);
    }
    con.finish();
    return 0;
}
