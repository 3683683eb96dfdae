#pragma once
// The function whose zero a two-sided search looks for, as both rule sets
// evaluate it. Internal to engine/twosided*.cpp.

#include "engine/searches.h"
#include "engine/variant.h"

namespace engine {

struct Evaluation {
    double value; // newg - level (or the stand-in function's value)
    bool failed;  // newg reported a failure (value is then a large negative number)
};

Evaluation evaluate(const TwoSidedSearch& s, double p, const Settings& settings, const Variant& variant);

} // namespace engine
