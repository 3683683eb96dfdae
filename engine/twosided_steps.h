#pragma once
// Pieces that the two rule sets of the two-sided searches share: the function
// whose zero is searched, the back-off of the bracketing loops and the secant
// step kept inside its bracket. Internal to engine/twosided*.cpp.

#include "engine/searches.h"
#include "engine/variant.h"

namespace engine {

inline constexpr double searchFailed = -90000.0; // a value at or below this ends the main loops
inline constexpr double noBadPoint = -99.0;

struct Evaluation {
    double value; // newg - level
    bool failed;  // newg reported a failure (value is then a large negative number)
};

Evaluation evaluate(const TwoSidedSearch& s, double p, const Settings& settings, const Variant& variant);

// Bracketing that backs off from failed evaluations: once a point has
// failed, the next trial point is the midpoint between the last good point
// and the last bad one.
class Backoff {
public:
    explicit Backoff(double start) : lastGood_(start) {}

    double next(double step) const { return badSeen_ ? (lastGood_ + lastBad_) / 2.0 : step; }

    void record(double p, bool failed)
    {
        if (failed) {
            lastBad_ = p;
            badSeen_ = true;
        } else {
            lastGood_ = p;
        }
    }

private:
    double lastGood_;
    double lastBad_ = noBadPoint;
    bool badSeen_ = false;
};

// The secant step from (p0, q0) and (p1, q1); a step that leaves the interval
// between the two points is announced and replaced by their midpoint.
double bracketedSecant(double p0, double q0, double p1, double q1);

// The state of a search once bracketing is done: q0 <= 0 at p0 and q1 >= 0
// at p1 (unless a bracketing loop met its bound), i evaluations counted.
struct Bracket {
    double p0;
    double q0;
    double p1;
    double q1;
    int i;
};

// The main loops of SecantBis and OnlyBisection under the verification
// program's rules (engine/twosided_verification.cpp). first and second are
// the starting points that SecantBis received.
SearchResult verificationSecantLoop(const TwoSidedSearch& search, Bracket b, double first, double second,
                                    const Settings& settings, const Variant& variant);
SearchResult verificationBisectionLoop(const TwoSidedSearch& search, Bracket b, const Settings& settings,
                                       const Variant& variant);

} // namespace engine
