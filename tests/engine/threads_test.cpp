// The engine is re-entrant: limits computed on two threads at once, with
// different settings, equal the same limits computed one after the other.
#include "engine/limit_searches.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Work {
    engine::Settings settings;
    double sigmahat;
    double nu;
    engine::OneSidedResult one{};
    engine::TwoSidedResult two{};

    void run()
    {
        one = engine::OneTailedLimit(1, 0.5, sigmahat, nu, 0.95, 0.5, nu + 1.0, settings, engine::interactiveVariant);
        two = engine::TwoTailedLimits(0.5, sigmahat, nu, 0.9, 0.5, nu + 1.0, settings, engine::interactiveVariant);
    }
};

void expectSame(const Work& a, const Work& b)
{
    EXPECT_EQ(a.one.C, b.one.C);
    EXPECT_EQ(a.one.iterations, b.one.iterations);
    EXPECT_EQ(a.two.Clower, b.two.Clower);
    EXPECT_EQ(a.two.Cupper, b.two.Cupper);
    EXPECT_EQ(a.two.itLower, b.two.itLower);
}

} // namespace

TEST(Threads, ConcurrentLimitsWithDifferentSettingsEqualSequentialOnes)
{
    const engine::Settings coarse{.NumIt = 200, .ArgTop = 800.0, .Tolerance = 1.0e-4, .ResultTol = -1.0};
    const engine::Settings fine{.NumIt = 200, .ArgTop = 50.0, .Tolerance = 1.0e-10, .ResultTol = -1.0};
    Work a{coarse, 1.3, 60.0}, b{fine, 0.7, 12.0};
    Work seqA = a, seqB = b;
    seqA.run();
    seqB.run();
    std::thread ta([&] { a.run(); });
    std::thread tb([&] { b.run(); });
    ta.join();
    tb.join();
    expectSame(a, seqA);
    expectSame(b, seqB);
    // The settings matter: the coarse tolerance gives another answer.
    Work other{fine, 1.3, 60.0};
    other.run();
    EXPECT_NE(other.one.C, seqA.one.C);
}
