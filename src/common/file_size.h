#pragma once
#include <cstdint>
#include <string>

// Size of the file at a UTF-8 path as a 32-bit value; 0 when it cannot be told,
// which includes files of 2 GiB or more.
uint32_t FileSize(const std::string& path);
