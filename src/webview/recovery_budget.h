#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>

// How often the host may recover from a failed runtime process before it
// gives up: a runtime that keeps failing ends the app instead of looping.
class RecoveryBudget {
public:
    // At most `limit` recoveries within any `windowMs` milliseconds.
    RecoveryBudget(size_t limit, uint64_t windowMs) : limit_(limit), windowMs_(windowMs) {}

    // Counts one more failure at `nowMs` (a steady clock that never goes
    // back); false when recovering from it would exceed the budget.
    bool Allow(uint64_t nowMs);

private:
    size_t limit_;
    uint64_t windowMs_;
    std::deque<uint64_t> recent_;  // times of the failures still inside the window
};
