#pragma once
// The original searches, checked against the exact core. The programs keep
// the searches' limits where they are right; where a search's C differs from
// the exact C of the same canonical problem by more than
// replaceThreshold x max(1, |C|) (or the search found none), the exact value
// replaces it and the result says so.

#include "engine/limit_searches.h"

namespace engine {

inline constexpr double replaceThreshold = 1.0e-7;

struct CheckedOneSided {
    OneSidedResult result; // the search's, or the exact C and its limit
    bool replaced;
    double searchC; // what the search found
};

struct CheckedTwoSided {
    TwoSidedResult result;
    bool lowerReplaced;
    bool upperReplaced;
    double searchClower;
    double searchCupper;
};

// One request of the searches: the estimates, the level and theta's lambda.
struct LimitRequest {
    double muhat;
    double sigmahat;
    double nu;
    double alpha;
    double lambda;
    double gamma2;
};

// OneTailedLimit (kind 1 upper, else lower) and TwoTailedLimits, checked.
CheckedOneSided CheckedOneTailedLimit(int kind, const LimitRequest& q, const Settings& settings,
                                      const Variant& variant);
CheckedTwoSided CheckedTwoTailedLimits(const LimitRequest& q, const Settings& settings, const Variant& variant);

} // namespace engine
