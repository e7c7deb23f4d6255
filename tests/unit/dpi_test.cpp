#include "common/dpi.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct ScaleCase {
    int32_t logical;
    float factor;
    int32_t expected;
};

class ScaleByFactorTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleByFactorTest, RoundsUpInSinglePrecision) {
    const ScaleCase& c = GetParam();
    EXPECT_EQ(ScaleByFactor(c.logical, c.factor), c.expected);
}

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Table, ScaleByFactorTest,
    ::testing::Values(ScaleCase{1024, 96.0f / 96.0f, 1024}, ScaleCase{768, 1.0f, 768},
                      ScaleCase{1024, 120.0f / 96.0f, 1280}, ScaleCase{801, 120.0f / 96.0f, 1002},
                      ScaleCase{1024, 144.0f / 96.0f, 1536}, ScaleCase{768, 144.0f / 96.0f, 1152},
                      ScaleCase{10, 120.0f / 96.0f, 13}, ScaleCase{20, 120.0f / 96.0f, 25},
                      ScaleCase{-5, 1.25f, -6}, ScaleCase{0, 1.5f, 0},
                      // Page-supplied extremes clamp instead of wrapping around.
                      ScaleCase{kMax, 1.5f, kMax}, ScaleCase{kMax, 1.0f, kMax}, ScaleCase{kMin, 2.0f, kMin},
                      ScaleCase{2000000000, 2.0f, kMax}));

}  // namespace
