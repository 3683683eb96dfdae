// Per-call times of the engine's limit entries for representative cases:
// degrees of freedom 2, 10, 100, 1000 and canonical spreads 0.1, 1, 5 (lambda
// 1/2, gamma^2 = nu + 1, so that S is sigma-hat), level 0.95, default settings.

#include "engine/limit_searches.h"

#include <benchmark/benchmark.h>

namespace {

void cases(benchmark::internal::Benchmark* b)
{
    for (const int nu : {2, 10, 100, 1000})
        for (const int tenthsOfS : {1, 10, 50}) b->Args({nu, tenthsOfS});
    b->ArgNames({"nu", "S_x10"});
}

void OneTailedLimitUpper(benchmark::State& state)
{
    const double nu = static_cast<double>(state.range(0));
    const double S = static_cast<double>(state.range(1)) / 10.0;
    for (auto _ : state) {
        const engine::OneSidedResult r = engine::OneTailedLimit(1, 0.0, S, nu, 0.95, 0.5, nu + 1.0, engine::defaultSettings,
                                                                engine::interactiveVariant);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(OneTailedLimitUpper)->Apply(cases);

void TwoTailedLimitsPair(benchmark::State& state)
{
    const double nu = static_cast<double>(state.range(0));
    const double S = static_cast<double>(state.range(1)) / 10.0;
    for (auto _ : state) {
        const engine::TwoSidedResult r = engine::TwoTailedLimits(0.0, S, nu, 0.95, 0.5, nu + 1.0, engine::defaultSettings,
                                                                 engine::interactiveVariant);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(TwoTailedLimitsPair)->Apply(cases)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
