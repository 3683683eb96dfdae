// The public face for samples with nondetects: which methods apply, their
// limits as rows, and the guard rails as statuses.

#include <velmar/velmar.h>

#include "library/nondetects/kaplan_meier.h"
#include "library/nondetects/ros.h"
#include "library/nondetects/sample.h"
#include "library/methods.h"
#include "library/text.h"

#include <string>
#include <vector>

namespace velmar {

namespace {

// More nondetects than this share leave too little for the regression.
constexpr int maxNondetectPercent = 80;

MethodLimits rowOf(std::string method)
{
    MethodLimits row;
    row.method = std::move(method);
    return row;
}

MethodLimits failedRow(std::string method, std::string why)
{
    MethodLimits row = rowOf(std::move(method));
    row.status = std::move(why);
    row.failed = true;
    return row;
}

// A row of the exact method on `values`. Its status: the side whose limit is
// not usable (the upper one when neither is), else the less exact outcome.
MethodLimits exactRow(std::string method, std::span<const double> values, double level, Side side)
{
    MethodLimits row = rowOf(std::move(method));
    row.exact = lognormal_mean_limits(values, level, side);
    const LognormalLimits& e = *row.exact;
    if (e.lower) row.lower = e.lower->value;
    if (e.upper) row.upper = e.upper->value;
    const LimitsStatus status = status_of({e.lower, e.upper});
    row.status = status.text;
    row.failed = status.failed;
    return row;
}

} // namespace

SampleLimits mean_limits_by_method(std::span<const Observation> sample, double level, Side side)
{
    check_level(level);
    nondetects::check_positive(sample);

    SampleLimits result;
    result.n = static_cast<int>(sample.size());
    result.level = level;
    result.side = side;
    for (const Observation& o : sample) result.nondetects += o.nondetect ? 1 : 0;

    if (result.nondetects == 0) {
        if (result.n < 3) {
            result.rows.push_back(
                failedRow(methods::exact_umau, counted(result.n, "value", "values") + ", at least 3 are needed"));
            return result;
        }
        std::vector<double> values;
        for (const Observation& o : sample) values.push_back(o.value);
        result.rows.push_back(exactRow(methods::exact_umau, values, level, side));
        return result;
    }

    const nondetects::DetectCounts counts = nondetects::count_detects(sample);
    if (counts.detects < 3 || counts.distinct < 2) {
        result.rows.push_back(failedRow("", counts.detects < 3
                                            ? counted(counts.detects, "detect", "detects") + ", at least 3 are needed"
                                            : counted(counts.distinct, "distinct detected value",
                                                      "distinct detected values") + ", at least 2 are needed"));
        return result;
    }

    const nondetects::KaplanMeier km = nondetects::kaplan_meier(sample);
    result.uninformative = km.uninformative;
    MethodLimits t = rowOf(methods::km_t);
    t.mean = km.mean;
    t.sd = km.sd;
    t.se = km.se;
    // Both sides at (1 + level)/2 for a pair: the t limits are symmetric, so
    // the unbiased and the equal-tailed pair are one.
    const bool pair = side == Side::two_sided || side == Side::equal_tailed;
    const double sideLevel = pair ? (1.0 + level) / 2.0 : level;
    if (side != Side::lower) t.upper = nondetects::km_t_limit(km, sideLevel, true);
    if (side != Side::upper) t.lower = nondetects::km_t_limit(km, sideLevel, false);
    result.rows.push_back(t);
    if (side == Side::upper) {
        MethodLimits chebyshev = rowOf(methods::km_chebyshev);
        chebyshev.mean = km.mean;
        chebyshev.sd = km.sd;
        chebyshev.se = km.se;
        chebyshev.upper = nondetects::km_chebyshev_upper(km, level);
        result.rows.push_back(chebyshev);
    }

    const std::string& ros = methods::ros_exact;
    if (100LL * result.nondetects > static_cast<long long>(maxNondetectPercent) * result.n) {
        MethodLimits row = failedRow(ros, "more than " + std::to_string(maxNondetectPercent) + "% nondetects (" +
                                          std::to_string(result.nondetects) + " of " + std::to_string(result.n) +
                                          "): too few detects for the regression");
        row.approximate = true;
        result.rows.push_back(std::move(row));
        return result;
    }
    const nondetects::Ros fit = nondetects::regression_on_order_statistics(sample);
    MethodLimits row = exactRow(ros, fit.completed, level, side);
    row.approximate = true;
    result.rows.push_back(std::move(row));
    return result;
}

} // namespace velmar
