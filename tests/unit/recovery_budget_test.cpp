#include "webview/recovery_budget.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

struct Case {
    const char* name;
    std::vector<std::pair<uint64_t, bool>> failures;  // time in ms, whether recovery is allowed
};

TEST(RecoveryBudget, AllowsThreeRecoveriesPerMinute) {
    const std::vector<Case> cases = {
        {"three in a second pass", {{0, true}, {500, true}, {1000, true}}},
        {"the fourth within the minute ends it", {{0, true}, {1, true}, {2, true}, {59999, false}}},
        {"a minute after the first, it has left the window", {{0, true}, {1, true}, {2, true}, {60000, true}}},
        {"spread over minutes, never", {{0, true}, {30000, true}, {60000, true}, {90000, true}, {120000, true}}},
        {"after a quiet minute the budget is whole again",
         {{0, true}, {1, true}, {2, true}, {3, false}, {200000, true}, {200001, true}, {200002, true}}},
    };
    for (const Case& c : cases) {
        RecoveryBudget budget(3, 60000);
        for (const auto& [time, allowed] : c.failures) EXPECT_EQ(budget.Allow(time), allowed) << c.name << " at " << time;
    }
}

}  // namespace
