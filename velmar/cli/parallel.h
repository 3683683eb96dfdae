#pragma once
// Runs many independent computations on all the machine's cores. Each index
// is computed once, by whichever worker takes it next; the results are stored
// by index, so the output does not depend on the order in which they finish.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace velmar::cli {

inline std::size_t worker_count(std::size_t tasks)
{
    return std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), tasks);
}

// Calls work(i) for every i in [0, count). work must not throw.
template <class Work>
void for_each_index(std::size_t count, const Work& work)
{
    const std::size_t workers = worker_count(count);
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

// Computes compute(i) for every i in [0, count) on all cores and hands each
// result to use(i, result) on the calling thread, in the order of i, as soon
// as the results before it are handed on. At most `window` results wait at
// any time, so memory stays bounded however large count is. compute must not
// throw; when use throws, the workers stop and the exception is passed on.
template <class Result, class Compute, class Use>
void for_each_in_order(std::size_t count, std::size_t window, const Compute& compute, const Use& use)
{
    window = std::max<std::size_t>(window, 1);
    std::vector<std::optional<Result>> slots(std::min(window, std::max<std::size_t>(count, 1)));
    window = slots.size();
    std::mutex mutex;
    std::condition_variable resultReady, slotFree;
    std::size_t next = 0, handed = 0;
    bool stop = false;

    const auto worker = [&] {
        std::unique_lock lock(mutex);
        while (true) {
            slotFree.wait(lock, [&] { return stop || next >= count || next < handed + window; });
            if (stop || next >= count) return;
            const std::size_t i = next++;
            lock.unlock();
            Result r = compute(i);
            lock.lock();
            slots[i % window] = std::move(r);
            if (i == handed) resultReady.notify_one();
        }
    };

    std::vector<std::jthread> threads;
    for (std::size_t w = 0; w < worker_count(count); ++w) threads.emplace_back(worker);
    try {
        std::unique_lock lock(mutex);
        while (handed < count) {
            resultReady.wait(lock, [&] { return slots[handed % window].has_value(); });
            // Every result ready in order is taken at once, then handed on unlocked.
            std::vector<Result> ready;
            for (std::size_t i = handed; i < count && slots[i % window]; ++i) {
                ready.push_back(std::move(*slots[i % window]));
                slots[i % window].reset();
            }
            lock.unlock();
            for (std::size_t k = 0; k < ready.size(); ++k) use(handed + k, ready[k]);
            lock.lock();
            handed += ready.size();
            slotFree.notify_all();
        }
    } catch (...) {
        {
            const std::lock_guard guard(mutex);
            stop = true;
        }
        slotFree.notify_all();
        throw; // the threads are joined as they go out of scope
    }
}

} // namespace velmar::cli
