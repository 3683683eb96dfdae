// Per-call times of the exact core beside the specified searches, on the same
// canonical cases: nu 2, 10, 100, 1000, 1e4 and S 0.1, 1, 5, level 0.95
// (one-sided upper critical value, and the two-sided pair).

#include "engine/exact/exact_core.h"
#include "engine/limit_searches.h"

#include <benchmark/benchmark.h>

namespace {

void cases(benchmark::internal::Benchmark* b)
{
    for (const int nu : {2, 10, 100, 1000, 10000})
        for (const int tenthsOfS : {1, 10, 50}) b->Args({nu, tenthsOfS});
    b->ArgNames({"nu", "S_x10"});
}

double degreesOfFreedom(const benchmark::State& state) { return static_cast<double>(state.range(0)); }
double spread(const benchmark::State& state) { return static_cast<double>(state.range(1)) / 10.0; }

// The two calls of the specified searches, kept together so that a change of
// their settings plumbing touches only these helpers.
double specifiedOneSided(double S, double nu, double p)
{
    int iterations = 0;
    return engine::OneTailedCrit(S, static_cast<int>(nu) + 1, p, engine::defaultSettings, engine::interactiveVariant,
                                 iterations);
}

engine::TwoSidedResult specifiedTwoSided(double S, double nu, double L)
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

void SpecifiedOneSided(benchmark::State& state)
{
    const double nu = degreesOfFreedom(state);
    const double S = spread(state);
    for (auto _ : state) benchmark::DoNotOptimize(specifiedOneSided(S, nu, 0.95));
}
BENCHMARK(SpecifiedOneSided)->Apply(cases)->Unit(benchmark::kMicrosecond);

void SpecifiedTwoSidedPair(benchmark::State& state)
{
    const double nu = degreesOfFreedom(state);
    const double S = spread(state);
    for (auto _ : state) benchmark::DoNotOptimize(specifiedTwoSided(S, nu, 0.95));
}
BENCHMARK(SpecifiedTwoSidedPair)->Apply(cases)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
