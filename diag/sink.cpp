#include "diag/sink.h"

#include <atomic>

namespace diag {

namespace {

// The one registration point of the seam; atomic so that threads computing
// limits may read it while nothing changes it.
std::atomic<Writer> installed{nullptr};

void write(std::string_view format, std::initializer_list<Item> items)
{
    if (const Writer w = installed.load(std::memory_order_acquire)) w(format, items);
}

} // namespace

Writer install(Writer writer)
{
    return installed.exchange(writer, std::memory_order_acq_rel);
}

void line(std::initializer_list<Item> items)
{
    write({}, items);
}

void formatted(std::string_view format, std::initializer_list<Item> items)
{
    write(format, items);
}

} // namespace diag
