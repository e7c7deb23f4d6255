#pragma once
#include <cstdint>
#include <string>

// What this process holds, and where the figure came from.
struct ProcessCounts {
    double privateBytes;
    std::string privateBytesSource;
    double handles;
    std::string handlesSource;
};
ProcessCounts CountOwnResources();
