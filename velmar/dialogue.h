#pragma once
// Velmar's main loop: the single-limit dialogue, the result blocks, and the
// questions that the table run shares with it.

#include "engine/limit_searches.h"
#include "engine/settings.h"
#include "records/records.h"

#include <string>

namespace interactive {

// Limit kinds: 1 one-sided upper, 2 one-sided lower, 3 a pair of two-sided limits.
inline constexpr int noKindYet = -1;

inline bool oneSided(int kind)
{
    return kind == 1 || kind == 2;
}

// The answers of the run, offered as defaults on the next pass.
struct Remembered {
    int kind = noKindYet;
    double alpha = 0.0;
    double lambda = 0.0;
    double sigmahat = 0.0;
    double nu = 0.0;
    double muhat = 0.0;
    double gamma2 = 0.0;
};

// A table run estimated to take longer than this asks whether to go on.
inline constexpr double longestUnaskedTableSeconds = 600.0;

// The main loop: never returns (the end of console input ends the program).
// Table runs estimated above confirmTablesAbove seconds ask "Continue? (Y/N)".
[[noreturn]] void mainLoop(records::Console& con, const engine::Settings& settings,
                           double confirmTablesAbove = longestUnaskedTableSeconds);

// One pass of the single-limit dialogue; returns true when the user asked for
// tables (and then asks nothing else).
bool singleLimitDialogue(records::Console& con, Remembered& r);

// Shared with the table run.
std::string defaultText(double value);                  // "(Default is   0.5000):" in 26 columns
std::string kindDefaultText(int kind);                  // the 49-column kind default
int askKind(records::Console& con, const std::string& defaultText, int kind); // menu and "Which output"
double askMuhat(records::Console& con, const std::string& defaultText, double muhat);
// Lambda: a non-zero answer, else the remembered value; asked again while
// both are 0 (after an empty record when blankBeforeAgain).
double askLambda(records::Console& con, const std::string& defaultText, double lambda, bool blankBeforeAgain);
void gammaMustBePositive(records::Console& con);

// Whether the engine gave a limit: finite values, and for a two-sided pair a
// lower limit not above the upper one. Otherwise the limit is reported in
// words, never as a number.
bool limitComputed(const engine::OneSidedResult& res);
bool limitComputed(const engine::TwoSidedResult& res);

// The result name (26 columns) of a limit kind.
std::string resultName(int kind);

} // namespace interactive
