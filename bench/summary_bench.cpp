// One summary of a lognormal sample of 50 values with the default 4,000
// simulated samples (the command line's default), and its parts: the
// simulated coverage dominates.

#include <velmar/velmar.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// 50 lognormal values (mean log 0, sd log 1) from fixed normal scores, so
// every run times the same sample.
std::vector<double> sample()
{
    std::vector<double> x;
    for (int i = 1; i <= 50; ++i) x.push_back(std::exp(std::sin(1.7 * i) * 1.6));
    return x;
}

void BM_summary(benchmark::State& state)
{
    const std::vector<double> x = sample();
    velmar::SummaryOptions options;
    options.limit = 5.0;
    options.simulations = static_cast<int>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(velmar::summary(x, options));
}
BENCHMARK(BM_summary)->Arg(4000)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
