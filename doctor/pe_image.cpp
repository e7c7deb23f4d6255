#include "pe_image.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "common/utf8.h"

namespace {

// Limits that keep a damaged table from running the reader for ever.
constexpr uint32_t kMaxNames = 1u << 16;
constexpr size_t kMaxNameLength = 1024;
constexpr int kMaxResourceDepth = 3;

constexpr int kExportDirectory = 0;
constexpr int kImportDirectory = 1;
constexpr int kResourceDirectory = 2;
constexpr uint32_t kVersionResourceType = 16;

std::optional<uint32_t> Read(const std::string& bytes, size_t offset, size_t width) {
    if (offset > bytes.size() || bytes.size() - offset < width) return std::nullopt;
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;) value = (value << 8) | static_cast<uint8_t>(bytes[offset + i]);
    return value;
}

std::optional<uint32_t> U16(const std::string& bytes, size_t offset) { return Read(bytes, offset, 2); }
std::optional<uint32_t> U32(const std::string& bytes, size_t offset) { return Read(bytes, offset, 4); }

std::optional<std::string> CString(const std::string& bytes, size_t offset) {
    if (offset >= bytes.size()) return std::nullopt;
    const size_t end = bytes.find('\0', offset);
    if (end == std::string::npos || end - offset > kMaxNameLength) return std::nullopt;
    return bytes.substr(offset, end - offset);
}

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
};

// The headers' facts that lead to the tables.
struct Layout {
    uint16_t machine = 0;
    std::vector<Section> sections;
    std::vector<std::pair<uint32_t, uint32_t>> directories;  // RVA and size
};

std::optional<Layout> ReadLayout(const std::string& bytes) {
    if (bytes.compare(0, 2, "MZ") != 0) return std::nullopt;
    const auto peOffset = U32(bytes, 0x3C);
    if (!peOffset || !U32(bytes, *peOffset) || bytes.compare(*peOffset, 4, std::string("PE\0\0", 4)) != 0)
        return std::nullopt;
    const size_t coff = *peOffset + 4;
    const auto machine = U16(bytes, coff), sectionCount = U16(bytes, coff + 2), optionalSize = U16(bytes, coff + 16);
    const size_t optional = coff + 20;
    const auto magic = U16(bytes, optional);
    if (!machine || !sectionCount || !optionalSize || !magic || (*magic != 0x10B && *magic != 0x20B))
        return std::nullopt;
    Layout layout;
    layout.machine = static_cast<uint16_t>(*machine);
    const size_t directoryCountAt = optional + (*magic == 0x10B ? 92 : 108);
    const auto directoryCount = U32(bytes, directoryCountAt);
    if (!directoryCount) return std::nullopt;
    for (uint32_t i = 0; i < *directoryCount && i < 16; ++i) {
        const auto rva = U32(bytes, directoryCountAt + 4 + 8 * i), size = U32(bytes, directoryCountAt + 8 + 8 * i);
        if (!rva || !size) return std::nullopt;
        layout.directories.emplace_back(*rva, *size);
    }
    for (uint32_t i = 0; i < *sectionCount; ++i) {
        const size_t at = optional + *optionalSize + 40 * i;
        const auto virtualSize = U32(bytes, at + 8), address = U32(bytes, at + 12);
        const auto rawSize = U32(bytes, at + 16), rawOffset = U32(bytes, at + 20);
        if (!virtualSize || !address || !rawSize || !rawOffset) return std::nullopt;
        layout.sections.push_back({*address, *virtualSize, *rawOffset, *rawSize});
    }
    return layout;
}

// The file offset of an RVA inside one of the sections' raw data.
std::optional<size_t> FileOffset(const Layout& layout, uint32_t rva) {
    for (const Section& section : layout.sections) {
        if (rva < section.virtualAddress) continue;
        const uint32_t within = rva - section.virtualAddress;
        if (within < section.rawSize && within < std::max(section.virtualSize, section.rawSize))
            return static_cast<size_t>(section.rawOffset) + within;
    }
    return std::nullopt;
}

bool HasDirectory(const Layout& layout, int index) {
    return static_cast<size_t>(index) < layout.directories.size() && layout.directories[index].first != 0;
}

std::optional<size_t> Directory(const Layout& layout, int index) {
    if (!HasDirectory(layout, index)) return std::nullopt;
    return FileOffset(layout, layout.directories[index].first);
}

std::optional<std::string> NameAt(const std::string& bytes, const Layout& layout, std::optional<uint32_t> rva) {
    if (!rva) return std::nullopt;
    const auto offset = FileOffset(layout, *rva);
    return offset ? CString(bytes, *offset) : std::nullopt;
}

bool ReadExports(const std::string& bytes, const Layout& layout, std::vector<std::string>& names) {
    if (!HasDirectory(layout, kExportDirectory)) return true;  // a file without exports
    const auto directory = Directory(layout, kExportDirectory);
    if (!directory) return false;
    const auto count = U32(bytes, *directory + 24), table = U32(bytes, *directory + 32);
    if (!count || !table || *count > kMaxNames) return false;
    const auto tableOffset = *count ? FileOffset(layout, *table) : std::optional<size_t>(0);
    if (!tableOffset) return false;
    for (uint32_t i = 0; i < *count; ++i) {
        const auto name = NameAt(bytes, layout, U32(bytes, *tableOffset + 4 * i));
        if (!name) return false;
        names.push_back(*name);
    }
    return true;
}

bool ReadImports(const std::string& bytes, const Layout& layout, std::vector<std::string>& dlls) {
    if (!HasDirectory(layout, kImportDirectory)) return true;  // a file that imports nothing
    const auto directory = Directory(layout, kImportDirectory);
    if (!directory) return false;
    for (uint32_t i = 0; i < kMaxNames; ++i) {
        const auto nameRva = U32(bytes, *directory + 20 * i + 12);
        if (!nameRva) return false;
        if (*nameRva == 0) return true;
        const auto name = NameAt(bytes, layout, nameRva);
        if (!name) return false;
        dlls.push_back(*name);
    }
    return false;
}

}  // namespace

std::optional<PeImage> ReadPeImage(const std::string& bytes) {
    const std::optional<Layout> layout = ReadLayout(bytes);
    if (!layout) return std::nullopt;
    PeImage image;
    image.machine = layout->machine;
    if (!ReadExports(bytes, *layout, image.exportNames) || !ReadImports(bytes, *layout, image.importedDlls))
        return std::nullopt;
    return image;
}

namespace {

// The data of the first resource of a type, whatever its name and language.
std::optional<std::pair<size_t, size_t>> FirstResource(const std::string& bytes, const Layout& layout, uint32_t type) {
    const auto root = Directory(layout, kResourceDirectory);
    if (!root) return std::nullopt;
    size_t directory = *root;
    for (int depth = 0; depth < kMaxResourceDepth; ++depth) {
        const auto named = U16(bytes, directory + 12), ids = U16(bytes, directory + 14);
        if (!named || !ids || *named + *ids == 0) return std::nullopt;
        size_t entry = directory + 16;
        if (depth == 0) {  // the type level: find the type among the id entries
            entry += 8 * *named;
            uint32_t i = 0;
            for (; i < *ids && U32(bytes, entry) != type; ++i) entry += 8;
            if (i == *ids) return std::nullopt;
        }
        const auto target = U32(bytes, entry + 4);
        if (!target) return std::nullopt;
        const bool subdirectory = (*target & 0x80000000u) != 0;
        if (subdirectory != (depth < kMaxResourceDepth - 1)) return std::nullopt;
        directory = *root + (*target & 0x7FFFFFFFu);
    }
    const auto dataRva = U32(bytes, directory), size = U32(bytes, directory + 4);
    const auto data = dataRva ? FileOffset(layout, *dataRva) : std::nullopt;
    if (!data || !size || *size > bytes.size() - *data) return std::nullopt;
    return std::make_pair(*data, *data + *size);
}

// One block of a version resource: a length, a value length, a type, a
// UTF-16 key, then (each on a 4-byte boundary) the value and the children.
struct VersionBlock {
    std::string key;    // ASCII letters folded to lower case
    size_t valueBegin;  // where the value starts
    size_t childrenBegin;
    size_t end;
};

size_t Align4(size_t offset, size_t base) { return base + ((offset - base + 3) & ~size_t{3}); }

std::optional<VersionBlock> ReadBlock(const std::string& bytes, size_t at, size_t limit, size_t base) {
    const auto length = U16(bytes, at), valueLength = U16(bytes, at + 2), type = U16(bytes, at + 4);
    if (!length || !valueLength || !type || *length < 6 || at + *length > limit) return std::nullopt;
    VersionBlock block{{}, 0, 0, at + *length};
    size_t cursor = at + 6;
    for (;; cursor += 2) {
        const auto unit = U16(bytes, cursor);
        if (!unit || cursor + 2 > block.end) return std::nullopt;
        if (*unit == 0) break;
        block.key += static_cast<char>(*unit < 0x80 ? std::tolower(static_cast<int>(*unit)) : '?');
    }
    block.valueBegin = Align4(cursor + 2, base);
    const size_t valueBytes = *type == 1 ? 2 * *valueLength : *valueLength;  // text values count UTF-16 units
    block.childrenBegin = std::min(block.end, Align4(block.valueBegin + valueBytes, base));
    return block;
}

std::optional<VersionBlock> FindChild(const std::string& bytes, const VersionBlock& parent, const std::string& key,
                                      size_t base) {
    std::string wanted;
    for (char c : key) wanted += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (size_t at = parent.childrenBegin; at + 6 <= parent.end;) {
        const auto child = ReadBlock(bytes, at, parent.end, base);
        if (!child) return std::nullopt;
        if (child->key == wanted) return child;
        at = Align4(child->end, base);
    }
    return std::nullopt;
}

std::string Utf16Text(const std::string& bytes, size_t begin, size_t end) {
    std::u32string text;
    for (size_t at = begin; at + 2 <= end; at += 2) {
        const uint32_t unit = *U16(bytes, at);
        if (unit == 0) break;
        text += static_cast<char32_t>(unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return EncodeUtf8(text);
}

}  // namespace

std::optional<std::string> ReadVersionString(const std::string& bytes, const std::string& table,
                                             const std::string& key) {
    const std::optional<Layout> layout = ReadLayout(bytes);
    if (!layout) return std::nullopt;
    const auto resource = FirstResource(bytes, *layout, kVersionResourceType);
    if (!resource) return std::nullopt;
    const size_t base = resource->first;
    auto block = ReadBlock(bytes, base, resource->second, base);
    for (const std::string& name : {std::string("StringFileInfo"), table, key}) {
        if (!block) return std::nullopt;
        block = FindChild(bytes, *block, name, base);
    }
    if (!block) return std::nullopt;
    return Utf16Text(bytes, block->valueBegin, block->end);
}

std::string MachineName(uint16_t machine) {
    switch (machine) {
        case kMachineX86:
            return "x86";
        case kMachineX64:
            return "x64";
        case kMachineArm:
            return "ARM";
        case kMachineArm64:
            return "ARM64";
    }
    char hex[32];
    std::snprintf(hex, sizeof hex, "machine 0x%04X", machine);
    return hex;
}
