// Prints the C++ library's results for a set of cases, one line each, every
// number with 17 significant digits, so that the Python tests can compare the
// module's results with them bit for bit. "None" stands for an absent side.
//
//   land_h <n> <s> <level> <H>
//   limits <side> <mu_hat> <sigma_hat> <nu> <lam> <gamma2|None> <level> <lower> <upper> <C_lower> <C_upper>
//   lognormal <side> <level> <count> <values...> <mean_log> <sd_log> <lower> <upper> <C_lower> <C_upper>

#include "velmar/velmar.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

void put(double x)
{
    std::printf(" %.17g", x);
}

void put(const std::optional<double>& x)
{
    if (x)
        put(*x);
    else
        std::printf(" None");
}

std::string name(velmar::Side side)
{
    return std::string(velmar::to_string(side));
}

void put_limits(const std::optional<velmar::Limit>& lower, const std::optional<velmar::Limit>& upper)
{
    put(lower ? std::optional<double>(lower->value) : std::nullopt);
    put(upper ? std::optional<double>(upper->value) : std::nullopt);
    put(lower ? std::optional<double>(lower->C) : std::nullopt);
    put(upper ? std::optional<double>(upper->C) : std::nullopt);
    std::printf("\n");
}

} // namespace

int main()
{
    struct HCase {
        double n, s, level;
    };
    for (const HCase& c : {HCase{15, 0.4272, 0.95}, HCase{3, 0.05, 0.9}, HCase{7.5, 1.3, 0.99}, HCase{40, 2.5, 0.05}}) {
        std::printf("land_h");
        put(c.n); put(c.s); put(c.level); put(velmar::land_h(c.n, c.s, c.level));
        std::printf("\n");
    }

    struct LimitCase {
        velmar::Side side;
        velmar::Estimates e;
        double lambda, level;
    };
    using velmar::Side;
    const LimitCase limitCases[] = {
        {Side::upper, {1.25, 0.8, 9, std::nullopt}, 0.5, 0.95},
        {Side::lower, {-0.3, 1.7, 4, 2.5}, 0.5, 0.9},
        {Side::upper, {0.0, 0.6, 20, 7.0}, -1.5, 0.975},
        {Side::lower, {2.0, 0.25, 100, std::nullopt}, 2.0, 0.8},
        {Side::two_sided, {0.5, 1.1, 12, std::nullopt}, 0.5, 0.95},
        {Side::two_sided, {-1.0, 0.4, 6.5, 3.0}, 1.0, 0.9},
    };
    for (const LimitCase& c : limitCases) {
        std::printf("limits %s", name(c.side).c_str());
        put(c.e.mu_hat); put(c.e.sigma_hat); put(c.e.nu); put(c.lambda); put(c.e.gamma2); put(c.level);
        std::optional<velmar::Limit> lower, upper;
        if (c.side == Side::upper) upper = velmar::upper_limit(c.e, c.lambda, c.level);
        if (c.side == Side::lower) lower = velmar::lower_limit(c.e, c.lambda, c.level);
        if (c.side == Side::two_sided) {
            const velmar::Interval i = velmar::two_sided_limits(c.e, c.lambda, c.level);
            lower = i.lower;
            upper = i.upper;
        }
        put_limits(lower, upper);
    }

    const std::vector<double> four{0.043, 0.236, 0.057, 0.016};
    const std::vector<double> eight{3.1, 0.42, 12.5, 1.0, 7.25, 0.9, 2.2, 5.0};
    struct LognormalCase {
        Side side;
        double level;
        const std::vector<double>* values;
    };
    for (const LognormalCase& c : {LognormalCase{Side::upper, 0.95, &four}, LognormalCase{Side::lower, 0.95, &four},
                                   LognormalCase{Side::two_sided, 0.9, &eight}}) {
        const velmar::LognormalLimits r = velmar::lognormal_mean_limits(*c.values, c.level, c.side);
        std::printf("lognormal %s", name(c.side).c_str());
        put(c.level);
        std::printf(" %zu", c.values->size());
        for (const double v : *c.values) put(v);
        put(r.mean_log); put(r.sd_log);
        put_limits(r.lower, r.upper);
    }
    return 0;
}
