#include "common/dpi.h"

#include <cmath>
#include <limits>

int32_t ScaleByFactor(int32_t logical, float factor) {
    const float product = static_cast<float>(logical) * factor;
    const double rounded = std::ceil(static_cast<double>(product));
    if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(rounded);
}
