#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Machine values of the PE header that an app author may meet.
constexpr uint16_t kMachineX86 = 0x014C;
constexpr uint16_t kMachineX64 = 0x8664;
constexpr uint16_t kMachineArm = 0x01C4;
constexpr uint16_t kMachineArm64 = 0xAA64;

// What the checks need from a PE file (an exe or a DLL), read from its bytes
// alone: nothing is loaded or run.
struct PeImage {
    uint16_t machine = 0;
    std::vector<std::string> exportNames;   // the export table's names, in its order
    std::vector<std::string> importedDlls;  // the import table's DLL names, as written
};

// Nothing when the bytes are not a PE file or its headers or tables point
// outside them.
std::optional<PeImage> ReadPeImage(const std::string& bytes);

// The version resource's StringFileInfo\<table>\<key> value, such as
// ("040904B0", "ProductVersion"); names compare without regard to ASCII case.
// Nothing when the file has no such value.
std::optional<std::string> ReadVersionString(const std::string& bytes, const std::string& table,
                                             const std::string& key);

// "x86", "x64", "ARM", "ARM64", or the value in hex ("machine 0x1234").
std::string MachineName(uint16_t machine);
