#include "installer/progress.h"

std::optional<int> ProgressPercent(uint32_t progress, uint32_t progressMax) {
    if (progressMax == 0) return std::nullopt;
    const float percent = static_cast<float>(progress) * 100.0f / static_cast<float>(progressMax);
    // A server may send more than it announced; the bar ends at 100, and the
    // float must stay in int range before it is converted.
    if (percent >= 100.0f) return 100;
    return static_cast<int>(percent);
}
