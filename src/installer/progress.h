#pragma once
#include <cstdint>
#include <optional>

// Percentage of a download for the progress bar, from the byte counts that the
// URL moniker reports. Nothing while the total is unknown (0). Computed in single
// precision and truncated, so 99.99 % still shows 99; anything beyond the total
// shows 100.
std::optional<int> ProgressPercent(uint32_t progress, uint32_t progressMax);
