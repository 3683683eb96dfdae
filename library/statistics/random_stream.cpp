// A seeded random stream that gives the same numbers on every platform: the
// engine's output sequence is fixed by the C++ standard, and the uniforms,
// normals and indices are derived here from its bits.

#include "library/statistics/statistics.h"

#include "library/statistics/boost_policy.h"

#include <boost/math/distributions/normal.hpp>

#include <limits>

namespace velmar::statistics {

RandomStream::RandomStream(std::uint64_t seed) : engine_(seed) {}

double RandomStream::uniform()
{
    constexpr double two_to_minus_53 = 1.0 / 9007199254740992.0;
    return (static_cast<double>(engine_() >> 11) + 0.5) * two_to_minus_53;
}

double RandomStream::normal()
{
    return boost::math::quantile(boost::math::normal_distribution<double, boost_policy>(), uniform());
}

std::uint64_t RandomStream::index(std::uint64_t n)
{
    // Outputs at or above the largest multiple of n are redrawn, so that
    // every remainder is equally likely.
    constexpr std::uint64_t top = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t bound = top - top % n;
    std::uint64_t x = engine_();
    while (x >= bound) x = engine_();
    return x % n;
}

std::uint64_t derive_seed(std::uint64_t seed, std::uint64_t stream)
{
    // SplitMix64's increment and finaliser (Steele, Lea and Flood 2014).
    std::uint64_t z = seed + (stream + 1) * 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

} // namespace velmar::statistics
