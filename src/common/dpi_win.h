#pragma once
#include <cstdint>

// Logical pixels (96 per inch) to device pixels at the system DPI, which is read
// once and kept: the process is system-DPI aware and ignores later DPI changes.
int32_t ScaleForDpi(int32_t logical);
