#include "version_resource.h"

#include "common/utf8.h"
#include "le_bytes.h"

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedInfoVersion = 0x00010000;
constexpr uint32_t kFileFlagsMask = 0x3F;
constexpr uint32_t kOsNtWindows32 = 0x00040004;
constexpr uint32_t kFileTypeApp = 1;
constexpr uint32_t kUsEnglishUnicode = 0x04B00409;  // language 0x0409, code page 1200

// UTF-16LE with the terminating NUL.
std::string Utf16z(const std::string& utf8) {
    std::string units;
    for (char32_t point : DecodeUtf8(utf8)) {
        if (point >= 0x10000) {
            AppendLe(units, 0xD800 + ((point - 0x10000) >> 10), 2);
            point = 0xDC00 + ((point - 0x10000) & 0x3FF);
        }
        AppendLe(units, point, 2);
    }
    AppendLe(units, 0, 2);
    return units;
}

void Pad4(std::string& bytes) { bytes.resize((bytes.size() + 3) & ~size_t{3}, '\0'); }

// One node: its length (up to the end of its last child, without padding
// after it), the value's length (in UTF-16 units for text, in bytes
// otherwise), the type, the key, then the value and each child on a 4-byte
// boundary. Lengths past 16 bits are caught on the outermost node.
std::string Node(const std::string& key, const std::string& value, bool text,
                 const std::vector<std::string>& children) {
    std::string node(6, '\0');
    node += Utf16z(key);
    Pad4(node);
    node += value;
    for (const std::string& child : children) {
        Pad4(node);
        node += child;
    }
    const size_t valueLength = text ? value.size() / 2 : value.size();
    node[0] = static_cast<char>(node.size() & 0xFF);
    node[1] = static_cast<char>((node.size() >> 8) & 0xFF);
    node[2] = static_cast<char>(valueLength & 0xFF);
    node[3] = static_cast<char>((valueLength >> 8) & 0xFF);
    node[4] = text ? 1 : 0;
    return node;
}

uint32_t High(const std::array<uint16_t, 4>& version) { return uint32_t{version[0]} << 16 | version[1]; }
uint32_t Low(const std::array<uint16_t, 4>& version) { return uint32_t{version[2]} << 16 | version[3]; }

std::string FixedFileInfo(const VersionBlock& block) {
    std::string info;
    for (uint32_t field : {kFixedInfoSignature, kFixedInfoVersion, High(block.fileVersion), Low(block.fileVersion),
                           High(block.productVersion), Low(block.productVersion), kFileFlagsMask, 0u, kOsNtWindows32,
                           kFileTypeApp, 0u, 0u, 0u})
        AppendLe(info, field, 4);
    return info;
}

}  // namespace

std::string BuildVersionResource(const VersionBlock& block) {
    std::vector<std::string> strings;
    for (const auto& [key, value] : block.strings) strings.push_back(Node(key, Utf16z(value), true, {}));
    std::string translation;
    AppendLe(translation, kUsEnglishUnicode, 4);
    const std::string root = Node("VS_VERSION_INFO", FixedFileInfo(block), false,
                                  {Node("StringFileInfo", {}, true, {Node("040904B0", {}, true, strings)}),
                                   Node("VarFileInfo", {}, true, {Node("Translation", translation, false, {})})});
    return root.size() > 0xFFFF ? std::string() : root;
}
