// The scope guard: the state comes back however the scope ends, once, unless the change is kept.
#include "base/scope_exit.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(ScopeExit, RunsOnceAtTheEndOfTheScopeAlsoWhenAnExceptionLeavesIt) {
    int runs = 0;
    {
        auto guard = base::scope_exit([&] { ++runs; });
    }
    EXPECT_EQ(runs, 1);

    EXPECT_THROW(
        {
            auto guard = base::scope_exit([&] { ++runs; });
            throw std::runtime_error("failed");
        },
        std::runtime_error);
    EXPECT_EQ(runs, 2);

    {
        auto guard = base::scope_exit([&] { ++runs; });
        guard.reset();
        EXPECT_EQ(runs, 3) << "reset gives the state back at once";
        guard.reset();
    }
    EXPECT_EQ(runs, 3) << "and only once";
}

TEST(ScopeExit, ReleaseKeepsTheChange) {
    int runs = 0;
    {
        auto guard = base::scope_exit([&] { ++runs; });
        guard.release();
        guard.reset();
    }
    EXPECT_EQ(runs, 0);
}

} // namespace
