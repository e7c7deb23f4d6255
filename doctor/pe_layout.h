#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The PE headers as the reader and the resource writer both need them: where
// the tables are, and where each section lies in the file and in memory.

constexpr int kExportDirectory = 0;
constexpr int kImportDirectory = 1;
constexpr int kResourceDirectory = 2;
constexpr int kCertificateDirectory = 4;
constexpr int kBaseRelocationDirectory = 5;

struct PeSection {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
};

struct PeLayout {
    uint16_t machine = 0;
    size_t coffHeader = 0;  // file offsets of the headers
    size_t optionalHeader = 0;
    size_t directoryTable = 0;  // the first data directory
    size_t sectionTable = 0;
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    std::vector<PeSection> sections;
    std::vector<std::pair<uint32_t, uint32_t>> directories;  // RVA and size
};

// Little-endian reads that fail rather than run past the end.
std::optional<uint32_t> PeRead(const std::string& bytes, size_t offset, size_t width);
inline std::optional<uint32_t> PeU16(const std::string& bytes, size_t offset) { return PeRead(bytes, offset, 2); }
inline std::optional<uint32_t> PeU32(const std::string& bytes, size_t offset) { return PeRead(bytes, offset, 4); }

// Nothing when the bytes are no PE file or its headers run past the end.
std::optional<PeLayout> ReadPeLayout(const std::string& bytes);

// The file offset of an RVA inside one of the sections' raw data.
std::optional<size_t> PeFileOffset(const PeLayout& layout, uint32_t rva);

bool HasDirectory(const PeLayout& layout, int index);
