#pragma once
#include <cstdint>

// Logical pixels times the DPI factor, rounded up, in single precision as the
// window system sees it. Results beyond the 32-bit range are clamped to it, so
// a huge size from a page cannot wrap around to a negative one.
int32_t ScaleByFactor(int32_t logical, float factor);
