#include "pe_layout.h"

#include <algorithm>

#include "le_bytes.h"

namespace {

// Offsets within the optional header, the same in PE32 and PE32+.
constexpr size_t kSectionAlignmentField = 32;
constexpr size_t kFileAlignmentField = 36;
constexpr size_t kSizeOfHeadersField = 60;

bool ReadDirectories(const std::string& bytes, size_t countAt, PeLayout& layout) {
    const auto count = PeU32(bytes, countAt);
    if (!count) return false;
    layout.directoryTable = countAt + 4;
    for (uint32_t i = 0; i < *count && i < 16; ++i) {
        const auto rva = PeU32(bytes, layout.directoryTable + 8 * i),
                   size = PeU32(bytes, layout.directoryTable + 4 + 8 * i);
        if (!rva || !size) return false;
        layout.directories.emplace_back(*rva, *size);
    }
    return true;
}

bool ReadSections(const std::string& bytes, uint32_t count, PeLayout& layout) {
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = layout.sectionTable + 40 * i;
        const auto virtualSize = PeU32(bytes, at + 8), address = PeU32(bytes, at + 12);
        const auto rawSize = PeU32(bytes, at + 16), rawOffset = PeU32(bytes, at + 20);
        if (!virtualSize || !address || !rawSize || !rawOffset) return false;
        layout.sections.push_back({*address, *virtualSize, *rawOffset, *rawSize});
    }
    return true;
}

}  // namespace

std::optional<uint32_t> PeRead(const std::string& bytes, size_t offset, size_t width) {
    return ReadLe(bytes, offset, static_cast<int>(width));
}

std::optional<PeLayout> ReadPeLayout(const std::string& bytes) {
    if (bytes.compare(0, 2, "MZ") != 0) return std::nullopt;
    const auto peOffset = PeU32(bytes, 0x3C);
    if (!peOffset || !PeU32(bytes, *peOffset) || bytes.compare(*peOffset, 4, std::string("PE\0\0", 4)) != 0)
        return std::nullopt;
    PeLayout layout;
    layout.coffHeader = *peOffset + 4;
    const auto machine = PeU16(bytes, layout.coffHeader), sectionCount = PeU16(bytes, layout.coffHeader + 2);
    const auto optionalSize = PeU16(bytes, layout.coffHeader + 16);
    layout.optionalHeader = layout.coffHeader + 20;
    const auto magic = PeU16(bytes, layout.optionalHeader);
    if (!machine || !sectionCount || !optionalSize || !magic || (*magic != 0x10B && *magic != 0x20B))
        return std::nullopt;
    layout.machine = static_cast<uint16_t>(*machine);
    const auto sectionAlignment = PeU32(bytes, layout.optionalHeader + kSectionAlignmentField);
    const auto fileAlignment = PeU32(bytes, layout.optionalHeader + kFileAlignmentField);
    const auto sizeOfHeaders = PeU32(bytes, layout.optionalHeader + kSizeOfHeadersField);
    if (!sectionAlignment || !fileAlignment || !sizeOfHeaders) return std::nullopt;
    layout.sectionAlignment = *sectionAlignment;
    layout.fileAlignment = *fileAlignment;
    layout.sizeOfHeaders = *sizeOfHeaders;
    layout.sectionTable = layout.optionalHeader + *optionalSize;
    if (!ReadDirectories(bytes, layout.optionalHeader + (*magic == 0x10B ? 92 : 108), layout) ||
        !ReadSections(bytes, *sectionCount, layout))
        return std::nullopt;
    return layout;
}

std::optional<size_t> PeFileOffset(const PeLayout& layout, uint32_t rva) {
    for (const PeSection& section : layout.sections) {
        if (rva < section.virtualAddress) continue;
        const uint32_t within = rva - section.virtualAddress;
        if (within < section.rawSize && within < std::max(section.virtualSize, section.rawSize))
            return static_cast<size_t>(section.rawOffset) + within;
    }
    return std::nullopt;
}

bool HasDirectory(const PeLayout& layout, int index) {
    return static_cast<size_t>(index) < layout.directories.size() && layout.directories[index].first != 0;
}
