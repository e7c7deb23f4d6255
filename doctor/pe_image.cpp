#include "pe_image.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "common/utf8.h"
#include "pe_layout.h"
#include "pe_resources.h"

namespace {

// Limits that keep a damaged table from running the reader for ever.
constexpr uint32_t kMaxNames = 1u << 16;
constexpr size_t kMaxNameLength = 1024;

std::optional<std::string> CString(const std::string& bytes, size_t offset) {
    if (offset >= bytes.size()) return std::nullopt;
    const size_t end = bytes.find('\0', offset);
    if (end == std::string::npos || end - offset > kMaxNameLength) return std::nullopt;
    return bytes.substr(offset, end - offset);
}

std::optional<size_t> Directory(const PeLayout& layout, int index) {
    if (!HasDirectory(layout, index)) return std::nullopt;
    return PeFileOffset(layout, layout.directories[index].first);
}

std::optional<std::string> NameAt(const std::string& bytes, const PeLayout& layout, std::optional<uint32_t> rva) {
    if (!rva) return std::nullopt;
    const auto offset = PeFileOffset(layout, *rva);
    return offset ? CString(bytes, *offset) : std::nullopt;
}

bool ReadExports(const std::string& bytes, const PeLayout& layout, std::vector<std::string>& names) {
    if (!HasDirectory(layout, kExportDirectory)) return true;  // a file without exports
    const auto directory = Directory(layout, kExportDirectory);
    if (!directory) return false;
    const auto count = PeU32(bytes, *directory + 24), table = PeU32(bytes, *directory + 32);
    if (!count || !table || *count > kMaxNames) return false;
    const auto tableOffset = *count ? PeFileOffset(layout, *table) : std::optional<size_t>(0);
    if (!tableOffset) return false;
    for (uint32_t i = 0; i < *count; ++i) {
        const auto name = NameAt(bytes, layout, PeU32(bytes, *tableOffset + 4 * i));
        if (!name) return false;
        names.push_back(*name);
    }
    return true;
}

bool ReadImports(const std::string& bytes, const PeLayout& layout, std::vector<std::string>& dlls) {
    if (!HasDirectory(layout, kImportDirectory)) return true;  // a file that imports nothing
    const auto directory = Directory(layout, kImportDirectory);
    if (!directory) return false;
    for (uint32_t i = 0; i < kMaxNames; ++i) {
        const auto nameRva = PeU32(bytes, *directory + 20 * i + 12);
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
    const std::optional<PeLayout> layout = ReadPeLayout(bytes);
    if (!layout) return std::nullopt;
    PeImage image;
    image.machine = layout->machine;
    if (!ReadExports(bytes, *layout, image.exportNames) || !ReadImports(bytes, *layout, image.importedDlls))
        return std::nullopt;
    return image;
}

namespace {

// One block of a version resource: a length, a value length, a type, a
// UTF-16 key, then (each on a 4-byte boundary) the value and the children.
struct VersionNode {
    std::string key;    // ASCII letters folded to lower case
    size_t valueBegin;  // where the value starts
    size_t childrenBegin;
    size_t end;
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

std::optional<VersionNode> ReadBlock(const std::string& bytes, size_t at, size_t limit) {
    const auto length = PeU16(bytes, at), valueLength = PeU16(bytes, at + 2), type = PeU16(bytes, at + 4);
    if (!length || !valueLength || !type || *length < 6 || at + *length > limit) return std::nullopt;
    VersionNode block{{}, 0, 0, at + *length};
    size_t cursor = at + 6;
    for (;; cursor += 2) {
        const auto unit = PeU16(bytes, cursor);
        if (!unit || cursor + 2 > block.end) return std::nullopt;
        if (*unit == 0) break;
        block.key += static_cast<char>(*unit < 0x80 ? std::tolower(static_cast<int>(*unit)) : '?');
    }
    block.valueBegin = Align4(cursor + 2);
    const size_t valueBytes = *type == 1 ? 2 * *valueLength : *valueLength;  // text values count UTF-16 units
    block.childrenBegin = std::min(block.end, Align4(block.valueBegin + valueBytes));
    return block;
}

std::optional<VersionNode> FindChild(const std::string& bytes, const VersionNode& parent, const std::string& key) {
    std::string wanted;
    for (char c : key) wanted += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (size_t at = parent.childrenBegin; at + 6 <= parent.end;) {
        const auto child = ReadBlock(bytes, at, parent.end);
        if (!child) return std::nullopt;
        if (child->key == wanted) return child;
        at = Align4(child->end);
    }
    return std::nullopt;
}

// Lone surrogates become U+FFFD; pairs become the code point they stand for.
std::string Utf16Text(const std::string& bytes, size_t begin, size_t end) {
    std::u32string text;
    for (size_t at = begin; at + 2 <= end; at += 2) {
        uint32_t unit = *PeU16(bytes, at);
        if (unit == 0) break;
        const auto next = at + 4 <= end ? PeU16(bytes, at + 2) : std::nullopt;
        if (unit >= 0xD800 && unit < 0xDC00 && next && *next >= 0xDC00 && *next < 0xE000) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (*next - 0xDC00);
            at += 2;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            unit = 0xFFFD;
        }
        text += static_cast<char32_t>(unit);
    }
    return EncodeUtf8(text);
}

}  // namespace

std::optional<std::string> ReadVersionString(const std::string& bytes, const std::string& table,
                                             const std::string& key) {
    const auto resources = ReadResources(bytes);
    if (!resources) return std::nullopt;
    const auto version = std::find_if(resources->begin(), resources->end(), [](const ResourceEntry& entry) {
        return entry.type.name.empty() && entry.type.id == kResourceVersion;
    });
    if (version == resources->end()) return std::nullopt;
    const std::string& data = version->data;
    auto block = ReadBlock(data, 0, data.size());
    for (const std::string& name : {std::string("StringFileInfo"), table, key}) {
        if (!block) return std::nullopt;
        block = FindChild(data, *block, name);
    }
    if (!block) return std::nullopt;
    return Utf16Text(data, block->valueBegin, block->end);
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
