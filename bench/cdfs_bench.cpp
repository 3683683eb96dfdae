// Per-call times of the distribution library's entries as the programs use
// them: the chi-square quantile (tol 1e-15) and the normal distribution
// function.
#include "cdfs/cdfs.h"
#include "cdfs/inverses/chinorm.h"

#include <benchmark/benchmark.h>

namespace {

void chiinv(benchmark::State& state, double p)
{
    const double df = static_cast<double>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(cdfs::Chiinv(p, df, 1e-15));
}

void BM_ChiinvLowerTail(benchmark::State& state) { chiinv(state, 1e-6); }
void BM_ChiinvMedian(benchmark::State& state) { chiinv(state, 0.5); }
void BM_ChiinvUpperTail(benchmark::State& state) { chiinv(state, 1.0 - 1e-6); }
BENCHMARK(BM_ChiinvLowerTail)->Arg(2)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_ChiinvMedian)->Arg(2)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_ChiinvUpperTail)->Arg(2)->Arg(10)->Arg(100)->Arg(1000);

void BM_Cumchi(benchmark::State& state)
{
    const double df = static_cast<double>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(cdfs::cumchi(df * 1.1, df));
}
BENCHMARK(BM_Cumchi)->Arg(2)->Arg(10)->Arg(100)->Arg(1000);

void BM_Normcdf(benchmark::State& state)
{
    const double x = static_cast<double>(state.range(0)) / 10.0;
    for (auto _ : state) benchmark::DoNotOptimize(cdfs::normcdf(x));
}
BENCHMARK(BM_Normcdf)->Arg(-200)->Arg(-30)->Arg(3)->Arg(30);

} // namespace

BENCHMARK_MAIN();
