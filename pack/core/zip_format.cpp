#include "core/zip_format.h"

#include <array>
#include <cstdlib>
#include <ctime>

#include "le_bytes.h"

// stb_image_write's deflate, which the icon code links in already.
extern "C" unsigned char* stbi_zlib_compress(unsigned char* data, int data_len, int* out_len, int quality);

namespace {

constexpr uint16_t kUtf8Names = 1 << 11;
constexpr uint16_t kVersionNeeded = 20;
constexpr uint64_t kLargestDeflated = 64ull << 20;

// MS-DOS date and time, the only ones a plain zip header has (from 1980 on).
std::pair<uint16_t, uint16_t> DosDateTime(int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(std::max<int64_t>(seconds, 315532800));
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &time);
#else
    gmtime_r(&time, &parts);
#endif
    const uint16_t date = static_cast<uint16_t>(((parts.tm_year - 80) << 9) | ((parts.tm_mon + 1) << 5) | parts.tm_mday);
    const uint16_t clock = static_cast<uint16_t>((parts.tm_hour << 11) | (parts.tm_min << 5) | (parts.tm_sec / 2));
    return {date, clock};
}

// The fields local and central headers share, from "version needed" to the name's length.
void PutCommon(std::string& out, const ZipMember& member) {
    const auto [date, clock] = DosDateTime(member.modified);
    AppendLe(out, kVersionNeeded, 2);
    AppendLe(out, kUtf8Names, 2);
    AppendLe(out, member.method, 2);
    AppendLe(out, clock, 2);
    AppendLe(out, date, 2);
    AppendLe(out, member.crc, 4);
    AppendLe(out, member.packedSize, 4);
    AppendLe(out, member.size, 4);
    AppendLe(out, member.name.size(), 2);
}

std::array<uint32_t, 256> CrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? 0xEDB88320u ^ (value >> 1) : value >> 1;
        table[i] = value;
    }
    return table;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

std::string ZipLocalHeader(const ZipMember& member) {
    std::string out;
    AppendLe(out, 0x04034B50, 4);
    PutCommon(out, member);
    AppendLe(out, 0, 2);  // no extra field
    return out + member.name;
}

std::optional<std::string> ZipDirectory(const std::vector<ZipMember>& members, uint64_t directoryOffset) {
    if (members.size() > 0xFFFF) return std::nullopt;
    std::string out;
    for (const ZipMember& member : members) {
        if (member.packedSize > kZipLimit || member.size > kZipLimit || member.offset > kZipLimit) return std::nullopt;
        AppendLe(out, 0x02014B50, 4);
        AppendLe(out, kVersionNeeded, 2);  // made by: MS-DOS attributes
        PutCommon(out, member);
        out.append(2 + 2 + 2 + 2, '\0');  // extra, comment, disk, internal attributes
        AppendLe(out, EndsWith(member.name, "/") ? 0x10 : 0x20, 4);  // folder, or archive bit
        AppendLe(out, member.offset, 4);
        out += member.name;
    }
    if (directoryOffset > kZipLimit || out.size() > kZipLimit - directoryOffset) return std::nullopt;
    const uint64_t directorySize = out.size();
    AppendLe(out, 0x06054B50, 4);
    AppendLe(out, 0, 2 + 2);
    AppendLe(out, members.size(), 2);
    AppendLe(out, members.size(), 2);
    AppendLe(out, directorySize, 4);
    AppendLe(out, directoryOffset, 4);
    AppendLe(out, 0, 2);
    return out;
}

uint32_t Crc32(uint32_t crc, const char* data, size_t size) {
    static const std::array<uint32_t, 256> kTable = CrcTable();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = kTable[(crc ^ static_cast<uint8_t>(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::string Deflate(const std::string& bytes) {
    int length = 0;
    unsigned char* zlib = stbi_zlib_compress(
        reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.data())), static_cast<int>(bytes.size()), &length, 9);
    if (!zlib) return {};
    // Two bytes of zlib header before the deflate data, four of Adler-32 after it.
    std::string raw = length >= 6 ? std::string(reinterpret_cast<char*>(zlib) + 2, length - 6) : std::string();
    std::free(zlib);
    return raw;
}

bool StoreAsIs(const std::string& name, uint64_t size) {
    if (size > kLargestDeflated) return true;
    static const char* const kPacked[] = {".png", ".jpg", ".jpeg", ".gif", ".webp", ".avif", ".mp4", ".webm", ".m4a",
                                          ".mp3", ".ogg", ".opus", ".zip", ".gz", ".br", ".woff", ".woff2", ".7z"};
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    for (const char* end : kPacked)
        if (EndsWith(lower, end)) return true;
    return false;
}
