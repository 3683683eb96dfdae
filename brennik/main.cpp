// Brennik: verifies the coverage of the engine's limits by numerical
// integration. Reads its run settings from "input.dat", runs the chosen part
// of a fixed grid of true values, and writes for each case the integrated
// coverage beside the level it should reach, to the results file named in
// "input.dat" and to the console; a two-sided run also writes "newveri.int".

#include "records/clock.h"
#include "records/records.h"
#include "brennik/repeated_lines.h"
#include "brennik/run_settings.h"
#include "brennik/verification.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr std::array<double, 10> alphas{0.001, 0.005, 0.01, 0.05, 0.1, 0.9, 0.95, 0.99, 0.995, 0.999};
constexpr std::array<double, 6> nus{2.0, 3.0, 5.0, 10.0, 100.0, 1000.0};
constexpr std::array<double, 3> sigmas{0.1, 1.0, 10.0};
constexpr double trueMu = 0.0;
constexpr double trueLambda = 0.5;

using verify::RunSettings;

constexpr int upperWhich = 2; // integrand selector of the upper (or one-sided) limit
constexpr int lowerWhich = 1;

constexpr char settingsFormat[] = "(A14,1p,E10.2,A14,E10.2,A14,E10.2)";
constexpr char alphaFormat[] = "(A30,F8.1,F7.4,1p,2E12.4)";
constexpr char caseFormat[] = "(A20,2F10.4,F7.1,F8.3)";
constexpr char twoSidedFileRow[] = "(F9.3,F7.0,F7.2,1p,2(E14.3),0p,F9.1,A9)";
constexpr char twoSidedConsoleRow[] = "(F9.3,F7.0,F7.2,1p,2(E14.3),0p,F9.2,A9)";
constexpr char oneSidedRow[] = "(F9.3,F7.0,F9.5,1p,2(E14.3),0p,F9.2,A9)";

static_assert(alphas.size() == verify::alphaCount && nus.size() == verify::nuCount);

// The integration ranges of the chi-square quantile level u.
struct Ranges {
    double lowA, lowB;   // [AdapQuadTol, 0.5]
    double highA, highB; // [0.5, 1 - AdapQuadTol]
};

// Runs the quadratures of one case in order and remembers whether one of
// them stopped the program; after a stop it integrates nothing more. Each
// integrand value is a limit computation: the diagnostic lines it repeated
// are summed up after it.
class Integrals {
public:
    Integrals(const verify::Case& c, double AdapQuadTol) : case_(c), tol_(AdapQuadTol) {}

    double operator()(double (*integrand)(int, double, const verify::Case&), int which, double a, double b)
    {
        if (stopped_) return 0.0;
        const verify::Integrand f = [integrand](int w, double u, const verify::Case& c) {
            const double value = integrand(w, u, c);
            verify::RepeatedLines::flush();
            return value;
        };
        const verify::Quadrature q = verify::AdapQuad(f, which, a, b, case_, tol_);
        verify::RepeatedLines::flush(); // the quadrature's own lines, before the case's row
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

verify::Case caseOf(const RunSettings& run, double alpha, double nu, double sigma, long long& replaced)
{
    return {trueMu, sigma, trueLambda, nu, alpha, run.FunctionTol, run.ResultTol, &replaced};
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
    if (run.WhichLimit == verify::oneSided) {
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

// Why the run stopped early, in one line; nothing when it ran to its end.
using Stop = std::optional<std::string>;

std::string caseText(double alpha, double nu, double sigma)
{
    char text[80];
    std::snprintf(text, sizeof text, "alpha %.3f, nu %.0f, sigma %.1f", alpha, nu, sigma);
    return text;
}

// Runs the grid; intermediate is the file of a two-sided run (null in a
// one-sided run). Ends early when a quadrature stops the program.
Stop runGrid(records::Console& con, records::FileWriter& results, records::FileWriter* intermediate,
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
                long long replaced = 0;
                const std::optional<double> miss =
                    missProbability(run, caseOf(run, alpha, nu, sigma, replaced), r);
                if (!miss)
                    return "The run stopped at " + caseText(alpha, nu, sigma) +
                           ": a subinterval of the integration became too narrow; the rows so far are kept.";
                const double minutes = minutesSince(t0);

                const double Int = 1.0 - *miss;
                const double Error = *miss - (1.0 - alpha);
                const std::initializer_list<records::Item> row{alpha, nu, sigma, Int, Error, minutes, " minutes"};
                results.write(fileRow, row);
                con.write(consoleRow, row);
                if (replaced > 0)
                    con.line({std::to_string(replaced) +
                              (replaced == 1 ? " limit of this case was off and was" : " limits of this case were off and were") +
                              " replaced by the exact value."});
            }
        }
    }
    if (run.alphaFirst > run.alphaLast)
        return "No case was run: the first alpha index " + std::to_string(run.alphaFirst) +
               " is above the last " + std::to_string(run.alphaLast) + ".";
    if (run.nuFirst > run.nuLast)
        return "No case was run: the first nu index " + std::to_string(run.nuFirst) + " is above the last " +
               std::to_string(run.nuLast) + ".";
    return std::nullopt;
}

// The output files of a run, opened all or none: when one cannot be
// created, the files this run created are removed again and no earlier file
// has been emptied. On failure holds the name that could not be created.
struct Outputs {
    std::vector<records::FileWriter> files; // in the order of the names
    std::string failed;
};

Outputs openAll(const std::vector<std::string>& names)
{
    namespace fs = std::filesystem;
    std::vector<bool> existed;
    std::vector<records::FileWriter> probes; // append mode: creates a missing file, empties none
    for (const std::string& name : names) {
        std::error_code ec;
        existed.push_back(fs::exists(name, ec));
        probes.emplace_back(name, records::FileWriter::Mode::append);
        if (!probes.back().isOpen()) {
            probes.clear();
            for (std::size_t k = 0; k + 1 < existed.size(); ++k)
                if (!existed[k]) fs::remove(names[k], ec);
            return {{}, name};
        }
    }
    probes.clear();
    Outputs out;
    for (const std::string& name : names) {
        out.files.emplace_back(name, records::FileWriter::Mode::overwrite);
        if (!out.files.back().isOpen()) return {{}, name};
    }
    return out;
}

// Ends the program: the last diagnostic lines held, then the console line.
int finish(records::Console& con, int status)
{
    verify::RepeatedLines::flush();
    con.finish();
    return status;
}

} // namespace

int main()
{
    records::Console con(std::cin, std::cout);
    con.receiveDiagnostics();
    const verify::RepeatedLines repeats;

    RunSettings run;
    if (const std::optional<verify::InputError> e = verify::readRunSettings(run)) {
        const std::string where = std::string(verify::inputName) + ", record " + std::to_string(e->record) + ": ";
        con.line({where, e->problem});
        return finish(con, 1);
    }
    const Ranges ranges{run.AdapQuadTol, 0.5, 0.5, 1.0 - run.AdapQuadTol};

    const bool two = run.WhichLimit == verify::twoSided;
    std::vector<std::string> names{run.results};
    if (two) names.insert(names.begin(), verify::intermediateName);
    Outputs out = openAll(names);
    if (out.files.empty()) {
        con.line({"The file ", out.failed, " cannot be created."});
        return finish(con, 1);
    }

    Stop stop;
    if (two) {
        records::FileWriter& intermediate = out.files[0];
        records::FileWriter& results = out.files[1];
        intermediate.write("(A)", {"Intermediate results for verifying two-tailed..."});
        writeHeading(results, "Verifying two-tailed ", run, "  alpha  df  sigma   Int  Error");
        stop = runGrid(con, results, &intermediate, run, ranges);
    } else {
        records::FileWriter& results = out.files[0];
        writeHeading(results, "Verifying one-tailed ", run, "  alpha  df  sigma   Int  RelError");
        stop = runGrid(con, results, nullptr, run, ranges);
    }
    int status = 0;
    if (stop) {
        con.line({*stop});
        status = 1;
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (!out.files[k].close()) {
            con.line({"Writing the file ", names[k], " failed; its records are incomplete."});
            status = 1;
        }
    }
    return finish(con, status);
}
