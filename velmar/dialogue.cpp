#include "velmar/dialogue.h"

#include "cdfs/inverses/chinorm.h"
#include "engine/checked_limits.h"
#include "records/clock.h"
#include "velmar/answers.h"
#include "velmar/tables.h"

#include <cmath>
#include <sstream>

namespace interactive {

using records::Console;
using records::fixedText;
using records::internalRecord;

namespace {

constexpr const char* menuNames[] = {"a single, one-sided upper limit", "a single, one-sided lower limit",
                                     "a pair of two-sided limits"};
constexpr const char* resultNames[] = {"one-sided upper limit", "one-sided lower limit",
                                       "a pair of two-sided limits"};

std::string menuName(int kind)
{
    return fixedText(menuNames[kind - 1], 31);
}

// The sample standard deviations between these bounds are the validated
// region for nu degrees of freedom.
struct Region {
    double low;
    double high;
};

Region validatedRegion(double nu)
{
    constexpr double tail = 1e-6;
    constexpr double tol = 1e-15;
    return {0.01 * std::sqrt(cdfs::Chiinv(tail, nu, tol) / nu),
            10.0 * std::sqrt(cdfs::Chiinv(1.0 - tail, nu, tol) / nu)};
}

bool wantsToContinue(Console& con)
{
    con.line({"Do you want to continue (y/n)?"});
    return answerLetter(con, "y") == 'Y';
}

double askAlpha(Console& con, const std::string& text, double alpha)
{
    for (;;) {
        con.line({"Confidence level alpha ", text});
        double value = 0.0;
        if (!answer(con, "(F12.0)", {value})) continue;
        if (value == 0.0) {
            if (alpha != 0.0) return alpha;
            con.line({});
        } else if (value > 0.0 && value < 1.0) {
            return value;
        } else {
            con.line({"Alpha must be between 0 and 1."});
            con.line({});
        }
    }
}

double askNu(Console& con, const std::string& text, double nu)
{
    constexpr int largestValidated = 1001;
    for (;;) {
        con.line({"Degrees of freedom nu ", text});
        int value = 0;
        if (!answer(con, "(I8)", {value})) continue;
        if (value == 0) {
            if (nu != 0.0) return nu;
            con.line({});
        } else if (value <= 1) {
            con.line({"Nu must be at least 2."});
            con.line({});
        } else if (value <= largestValidated) {
            return value;
        } else {
            con.line({"Warning:Nu outside of validated region."});
            if (wantsToContinue(con)) return value;
            con.line({});
        }
    }
}

double askSigmahat(Console& con, const std::string& text, double sigmahat, double nu, const Region& region)
{
    for (;;) {
        con.line({"Sample standard dev. Sigma-hat ", text});
        con.write("(A22,1p,E8.2,A1,E8.2,A10,0p,F5.0)",
                  {" Validated region is (", region.low, ",", region.high, ") for df= ", nu});
        double value = 0.0;
        if (!answer(con, "(F12.0)", {value})) continue;
        if (value == 0.0) {
            if (sigmahat != 0.0) return sigmahat;
            con.line({});
        } else if (value < 0.0) {
            con.line({"Sigma-hat must be positive."});
            con.line({});
        } else if (value >= region.low && value <= region.high) {
            return value;
        } else {
            con.line({"Warning:Sample standard deviation outside of"});
            con.write("(A19,1p,E8.1,A1,E8.1,A10,0p,F6.0)",
                      {" validated region (", region.low, ",", region.high, ") for df= ", nu});
            if (wantsToContinue(con)) return value;
            con.line({});
        }
    }
}

double askGamma2(Console& con, const std::string& text, double gamma2)
{
    for (;;) {
        con.line({"Gamma squared (SE(mu-hat)=sigma/gamma)", text});
        double value = 0.0;
        if (!answer(con, "(F12.0)", {value})) continue;
        if (value == 0.0) return gamma2;
        if (value > 0.0) return value;
        gammaMustBePositive(con);
    }
}

// The parameter line that heads both result blocks.
void writeParameters(Console& con, const Remembered& r, std::string_view header, int hyphens,
                     std::string_view format, std::initializer_list<records::Item> limits)
{
    const std::string rule(static_cast<std::size_t>(hyphens), '-');
    con.line({});
    con.line({std::string(37, ' ') + "2"});
    con.line({header});
    con.line({rule});
    std::vector<records::Item> items{r.muhat, r.sigmahat, r.lambda, r.nu, r.gamma2};
    items.insert(items.end(), limits.begin(), limits.end());
    con.write(format, std::span<const records::Item>(items));
    con.line({rule});
}

// The start of the result header: mu-hat and sigma-hat in UTF-8 on a UTF-8
// terminal, else as the bytes of the console's single-byte code page.
std::string headerStart(const Console& con)
{
    return con.utf8() ? " \u03BC-hat    \u03C3" : std::string(" \xE6-hat    \xE5", 11);
}


// The search's C, quoted in the line that reports its replacement.
std::string quoted(double C)
{
    std::ostringstream text;
    text.precision(10);
    text << C;
    return text.str();
}

void oneSidedResult(Console& con, const Remembered& r, const engine::Settings& settings)
{
    const double start = records::timeOfDay();
    const engine::CheckedOneSided checked = engine::CheckedOneTailedLimit(
        r.kind, {r.muhat, r.sigmahat, r.nu, r.alpha, r.lambda, r.gamma2}, settings, engine::interactiveVariant);
    const engine::OneSidedResult& res = checked.result;
    const double seconds = records::elapsedSeconds(start, records::timeOfDay());
    const std::string pct = internalRecord("(F6.2)", {r.alpha * 100.0}, 6);
    writeParameters(con, r, headerStart(con) + "-hat   lambda   nu   gamma ", 44,
                    "(F8.3,F9.2,F8.2,F7.0,F8.0,F15.6,F15.6)", {});
    if (limitComputed(res)) {
        con.line({"The ", pct, "% ", resultName(r.kind), " and standard confidence limit are"});
        con.write("(F13.8,A4,F13.8,A1)", {res.limit, " and", res.C, "."});
        if (checked.replaced)
            con.line({"The search's standard limit (" + quoted(checked.searchC) +
                      ") was off; the exact value replaces it."});
    } else {
        con.line({"The ", pct, "% ", resultName(r.kind), " cannot be computed for these values."});
    }
    con.line({});
    con.write("(A11,F6.2,A9)", {" This took ", seconds, " seconds."});
    con.line({});
    con.line({});
}

void twoSidedResult(Console& con, const Remembered& r, const engine::Settings& settings)
{
    const double start = records::timeOfDay();
    const engine::CheckedTwoSided checked = engine::CheckedTwoTailedLimits(
        {r.muhat, r.sigmahat, r.nu, r.alpha, r.lambda, r.gamma2}, settings, engine::interactiveVariant);
    const engine::TwoSidedResult& res = checked.result;
    const double seconds = records::elapsedSeconds(start, records::timeOfDay());
    const std::string pct = internalRecord("(F6.2)", {r.alpha * 100.0}, 6);
    const std::string header = headerStart(con) + "-hat   lambda   nu   gamma  |Two-sided " + pct +
                               "% lower, upper limits";
    const char* format = "(F8.3,F9.2,F8.2,F7.0,F8.0,F15.8,A1,F13.8)";
    if (limitComputed(res)) {
        writeParameters(con, r, header, 76, format, {res.lower, ",", res.upper});
        con.write("(A10,A6,A36,F12.6,A4,F12.6,A1)",
                  {" Standard ", pct, "% two-sided lower & upper limits are ", res.Clower, " and", res.Cupper, "."});
        if (checked.lowerReplaced && checked.upperReplaced)
            con.line({"The search's standard limits (" + quoted(checked.searchClower) + ", " +
                      quoted(checked.searchCupper) + ") were off; the exact values replace them."});
        else if (checked.lowerReplaced || checked.upperReplaced)
            con.line({std::string("The search's ") + (checked.lowerReplaced ? "lower" : "upper") +
                      " standard limit (" + quoted(checked.lowerReplaced ? checked.searchClower : checked.searchCupper) +
                      ") was off; the exact value replaces it."});
    } else {
        writeParameters(con, r, header, 76, format, {});
        con.line({"The ", pct, "% two-sided limits cannot be computed for these values."});
    }
    con.line({});
    con.write("(A11,F6.2,A9)", {" This took ", seconds, " seconds."});
    con.line({});
}

} // namespace

bool limitComputed(const engine::OneSidedResult& res)
{
    return std::isfinite(res.limit) && std::isfinite(res.C);
}

bool limitComputed(const engine::TwoSidedResult& res)
{
    return std::isfinite(res.lower) && std::isfinite(res.upper) && std::isfinite(res.Clower) &&
           std::isfinite(res.Cupper) && res.lower <= res.upper;
}

std::string defaultText(double value)
{
    // A value too wide for F8.4 widens the text rather than being cut.
    const records::Item items[] = {"(Default is ", value, "):"};
    std::string text = records::formatRecords("(A13,F8.4,A2)", items).front();
    if (text.size() < 26) text.resize(26, ' ');
    return text;
}

std::string kindDefaultText(int kind)
{
    return internalRecord("(A13,I1,A2,A31,A2)", {"(Default is ", kind, "- ", menuName(kind), ")?"}, 49);
}

std::string resultName(int kind)
{
    return fixedText(resultNames[kind - 1], 26);
}

int askKind(Console& con, const std::string& text, int kind)
{
    con.line({"Please enter 1,2, or 3 to specify one of the following:"});
    for (int k = 1; k <= 3; ++k) con.write("(A6,I2,A3,A31)", {"      ", k, " - ", menuName(k)});
    for (;;) {
        con.line({"Which output ", text});
        int value = 0;
        if (!answer(con, "(I2)", {value})) continue;
        if (value == 0) return kind;
        if (value >= 1 && value <= 3) return value;
        con.line({"Must be an integer from 1 to 3."});
        con.line({});
    }
}

double askLambda(Console& con, const std::string& text, double lambda, bool blankBeforeAgain)
{
    for (;;) {
        con.line({"Lambda ", text});
        double value = 0.0;
        if (!answer(con, "(F12.0)", {value})) continue;
        if (value != 0.0) return value;
        if (lambda != 0.0) return lambda;
        if (blankBeforeAgain) con.line({});
    }
}

double askMuhat(Console& con, const std::string& text, double muhat)
{
    for (;;) {
        con.line({"Sample mean mu-hat ", text});
        double value = 0.0;
        if (!answer(con, "(F12.0)", {value})) continue;
        return value != 0.0 ? value : muhat;
    }
}

void gammaMustBePositive(Console& con)
{
    con.line({"Gamma-squared must be positive."});
    con.line({});
}

bool singleLimitDialogue(Console& con, Remembered& r)
{
    con.line({"Do you want to make tables or just get limits for a single set of values?"});
    con.line({"(T for tables,else nothing)"});
    if (answerLetter(con, "t") == 'T') {
        if (r.kind == noKindYet) r.lambda = 0.5;
        return true;
    }
    // Default texts: on the first pass only the kind and lambda have defaults.
    const std::string none(26, ' ');
    const bool first = r.kind == noKindYet;
    if (first) {
        r.kind = 1;
        r.lambda = 0.5;
    }
    const std::string kindText = kindDefaultText(r.kind);
    const std::string lambdaText = defaultText(r.lambda);
    const std::string alphaText = first ? none : defaultText(r.alpha);
    const std::string nuText = first ? none : defaultText(r.nu);
    const std::string sigmaText = first ? none : defaultText(r.sigmahat);
    const std::string muText = first ? none : defaultText(r.muhat);

    r.kind = askKind(con, kindText, r.kind);
    r.alpha = askAlpha(con, alphaText, r.alpha);
    r.lambda = askLambda(con, lambdaText, r.lambda, true);
    r.nu = askNu(con, nuText, r.nu);
    r.gamma2 = r.nu + 1.0;
    const Region region = validatedRegion(r.nu);
    r.sigmahat = askSigmahat(con, sigmaText, r.sigmahat, r.nu, region);
    r.muhat = askMuhat(con, muText, r.muhat);
    r.gamma2 = askGamma2(con, defaultText(r.gamma2), r.gamma2);
    return false;
}

void mainLoop(Console& con, const engine::Settings& settings, double confirmTablesAbove)
{
    Remembered r;
    for (;;) {
        while (singleLimitDialogue(con, r)) tableRun(con, r, settings, confirmTablesAbove);
        if (oneSided(r.kind))
            oneSidedResult(con, r, settings);
        else
            twoSidedResult(con, r, settings);
    }
}

} // namespace interactive
