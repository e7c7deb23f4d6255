#include "webview/recovery_budget.h"

bool RecoveryBudget::Allow(uint64_t nowMs) {
    while (!recent_.empty() && nowMs - recent_.front() >= windowMs_) recent_.pop_front();
    recent_.push_back(nowMs);
    return recent_.size() <= limit_;
}
