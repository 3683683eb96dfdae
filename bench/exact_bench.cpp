// Per-call times of the exact core beside the original searches, on the same
// canonical cases: nu 2, 10, 100, 1000, 1e4 and S 0.1, 1, 5, level 0.95
// (one-sided upper critical value, and the two-sided pair); and the exact
// core's summed time over regions of cases (S 0.1, 0.5, 1, 2, 5 and levels
// 0.95, 0.99 at each nu), for comparing its versions and nu with its neighbours.

#include "engine/exact/exact_core.h"
#include "engine/limit_searches.h"

#include <benchmark/benchmark.h>

#include <iterator>
#include <vector>

namespace {

void cases(benchmark::internal::Benchmark* b)
{
    for (const int nu : {2, 10, 100, 1000, 10000})
        for (const int tenthsOfS : {1, 10, 50}) b->Args({nu, tenthsOfS});
    b->ArgNames({"nu", "S_x10"});
}

double degreesOfFreedom(const benchmark::State& state) { return static_cast<double>(state.range(0)); }
double spread(const benchmark::State& state) { return static_cast<double>(state.range(1)) / 10.0; }

// The two calls of the original searches, kept together so that a change of
// their settings plumbing touches only these helpers.
double originalOneSided(double S, double nu, double p)
{
    int iterations = 0;
    return engine::OneTailedCrit(S, static_cast<int>(nu) + 1, p, engine::defaultSettings, engine::interactiveVariant,
                                 iterations);
}

engine::TwoSidedResult originalTwoSided(double S, double nu, double L)
{
    // lambda 1/2 and gamma^2 = nu + 1 make S the sigma-hat.
    return engine::TwoTailedLimits(0.0, S, nu, L, 0.5, nu + 1.0, engine::defaultSettings, engine::interactiveVariant);
}

void ExactOneSided(benchmark::State& state)
{
    const double nu = degreesOfFreedom(state);
    const double S = spread(state);
    for (auto _ : state) benchmark::DoNotOptimize(engine::exact::one_sided(S, nu, 0.95));
}
BENCHMARK(ExactOneSided)->Apply(cases)->Unit(benchmark::kMicrosecond);

void ExactTwoSidedPair(benchmark::State& state)
{
    const double nu = degreesOfFreedom(state);
    const double S = spread(state);
    for (auto _ : state) benchmark::DoNotOptimize(engine::exact::two_sided(S, nu, 0.95));
}
BENCHMARK(ExactTwoSidedPair)->Apply(cases)->Unit(benchmark::kMicrosecond);

void OriginalOneSided(benchmark::State& state)
{
    const double nu = degreesOfFreedom(state);
    const double S = spread(state);
    for (auto _ : state) benchmark::DoNotOptimize(originalOneSided(S, nu, 0.95));
}
BENCHMARK(OriginalOneSided)->Apply(cases)->Unit(benchmark::kMicrosecond);

void OriginalTwoSidedPair(benchmark::State& state)
{
    const double nu = degreesOfFreedom(state);
    const double S = spread(state);
    for (auto _ : state) benchmark::DoNotOptimize(originalTwoSided(S, nu, 0.95));
}
BENCHMARK(OriginalTwoSidedPair)->Apply(cases)->Unit(benchmark::kMicrosecond);

struct Region {
    const char* name;
    std::vector<double> nus;
};
const Region regions[] = {
    {"nu 3 to 1e4", {3, 5, 10, 30, 100, 1000, 10000}},
    {"nu 2", {2}},
    {"nu 3", {3}},
    {"fractional nu below 10", {2.5, 3.5, 5.5, 9.5}},
    {"whole nu beside them", {3, 4, 6, 10}},
};

int evaluations(const engine::exact::Critical& c) { return c.iterations; }
int evaluations(const engine::exact::CriticalPair& p) { return p.lower.iterations + p.upper.iterations; }

// Also reports the probability evaluations per call (per pair for pairs).
template <class Call>
void sumOverRegion(benchmark::State& state, Call call)
{
    const Region& region = regions[state.range(0)];
    state.SetLabel(region.name);
    double count = 0.0;
    double calls = 0.0;
    for (auto _ : state)
        for (const double nu : region.nus)
            for (const double S : {0.1, 0.5, 1.0, 2.0, 5.0})
                for (const double level : {0.95, 0.99}) {
                    const auto result = call(S, nu, level);
                    benchmark::DoNotOptimize(result);
                    count += evaluations(result);
                    calls += 1.0;
                }
    state.counters["evaluations"] = count / calls;
}

void ExactOneSidedRegion(benchmark::State& state)
{
    sumOverRegion(state, [](double S, double nu, double p) { return engine::exact::one_sided(S, nu, p); });
}
BENCHMARK(ExactOneSidedRegion)->DenseRange(0, std::size(regions) - 1)->Unit(benchmark::kMicrosecond);

void ExactPairRegion(benchmark::State& state)
{
    sumOverRegion(state, [](double S, double nu, double L) { return engine::exact::two_sided(S, nu, L); });
}
BENCHMARK(ExactPairRegion)->DenseRange(0, std::size(regions) - 1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
