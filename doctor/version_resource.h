#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What an exe's version resource says: the fixed versions, and the strings
// (UTF-8 keys and values, in their order) of the US English, Unicode table.
struct VersionBlock {
    std::array<uint16_t, 4> fileVersion{}, productVersion{};
    std::vector<std::pair<std::string, std::string>> strings;
};

// The VS_VERSIONINFO bytes of an app (VOS_NT_WINDOWS32, VFT_APP) with the table
// "040904B0" and the translation 0x0409/1200. Empty when the strings outgrow
// the format's 64 KiB.
std::string BuildVersionResource(const VersionBlock& block);
