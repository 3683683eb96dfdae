// One verification case as Brennik runs it (alpha 0.95, sigma 1, mu 0,
// lambda 0.5, AdapQuadTol 1e-6, FunctionTol 1e-8, ResultTol -1), by degrees
// of freedom, and single integrand evaluations at the median level.
#include "brennik/verification.h"

#include <benchmark/benchmark.h>

namespace {

constexpr double quadTol = 1.0e-6;

verify::Case caseOf(const benchmark::State& state)
{
    return {0.0, 1.0, 0.5, static_cast<double>(state.range(0)), 0.95, 1.0e-8, -1.0};
}

// Both integration ranges of one integrand, as the driver splits them.
double coverage(const verify::Integrand& f, int which, const verify::Case& c)
{
    const double low = verify::AdapQuad(f, which, quadTol, 0.5, c, quadTol).value;
    const double high = verify::AdapQuad(f, which, 0.5, 1.0 - quadTol, c, quadTol).value;
    return low + high;
}

void BM_OneSidedCase(benchmark::State& state)
{
    const verify::Case c = caseOf(state);
    for (auto _ : state) benchmark::DoNotOptimize(coverage(verify::OneTailPqDiff, 2, c));
}
BENCHMARK(BM_OneSidedCase)->Arg(2)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_TwoSidedCase(benchmark::State& state)
{
    const verify::Case c = caseOf(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(coverage(verify::TwoTailPqDiff, 2, c));
        benchmark::DoNotOptimize(coverage(verify::TwoTailPqDiff, 1, c));
    }
}
BENCHMARK(BM_TwoSidedCase)->Arg(2)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_OneTailPqDiff(benchmark::State& state)
{
    const verify::Case c = caseOf(state);
    for (auto _ : state) benchmark::DoNotOptimize(verify::OneTailPqDiff(2, 0.5, c));
}
BENCHMARK(BM_OneTailPqDiff)->Arg(2)->Arg(10)->Arg(100)->Arg(1000);

void BM_TwoTailPqDiff(benchmark::State& state)
{
    const verify::Case c = caseOf(state);
    for (auto _ : state) benchmark::DoNotOptimize(verify::TwoTailPqDiff(2, 0.5, c));
}
BENCHMARK(BM_TwoTailPqDiff)->Arg(2)->Arg(10)->Arg(100)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
