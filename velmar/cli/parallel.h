#pragma once
// Runs many independent computations on all the machine's cores. Each index
// is computed once, by whichever worker takes it next; the results are stored
// by index, so the output does not depend on the order in which they finish.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace velmar::cli {

// Calls work(i) for every i in [0, count). work must not throw.
template <class Work>
void for_each_index(std::size_t count, const Work& work)
{
    const std::size_t workers = std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), count);
    if (workers <= 1) {
        for (std::size_t i = 0; i < count; ++i) work(i);
        return;
    }
    std::atomic<std::size_t> next{0};
    const auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++) work(i);
    };
    std::vector<std::jthread> threads;
    for (std::size_t w = 1; w < workers; ++w) threads.emplace_back(worker);
    worker();
}

} // namespace velmar::cli
