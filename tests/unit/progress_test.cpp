#include "installer/progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace {

struct ProgressCase {
    uint32_t progress;
    uint32_t progressMax;
    std::optional<int> expected;
};

class ProgressPercentTest : public testing::TestWithParam<ProgressCase> {};

TEST_P(ProgressPercentTest, GivesTheBarPosition) {
    const ProgressCase& c = GetParam();
    EXPECT_EQ(ProgressPercent(c.progress, c.progressMax), c.expected)
        << c.progress << " of " << c.progressMax;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProgressPercentTest,
    testing::Values(
        // The total is not known yet: the bar is left alone.
        ProgressCase{0, 0, std::nullopt}, ProgressCase{12345, 0, std::nullopt},
        ProgressCase{0, 1000, 0}, ProgressCase{1, 3, 33}, ProgressCase{2, 3, 66},
        ProgressCase{500, 1000, 50}, ProgressCase{1000, 1000, 100},
        // Truncated, not rounded: 99.99 % is not yet done.
        ProgressCase{9999, 10000, 99}, ProgressCase{999, 1000, 99},
        // Counts above 2^31 are unsigned, not negative.
        ProgressCase{0x80000000u, 0xFFFFFFFFu, 50}, ProgressCase{0xFFFFFFFFu, 0xFFFFFFFFu, 100},
        ProgressCase{0x7FFFFFFFu, 0xFFFFFFFFu, 50},
        // Single precision: 99999999 rounds to 1e8 as a float, so the bar is full.
        ProgressCase{99999999u, 100000000u, 100},
        // More than announced: the bar stops at its end instead of overflowing.
        ProgressCase{2000, 1000, 100}, ProgressCase{0xFFFFFFFFu, 1, 100}));

}  // namespace
