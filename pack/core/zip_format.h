#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The bytes of a zip archive around its members' data, so that the tool can
// stream large files into it: a local header before each member's data, the
// central directory and its end record after the last.
struct ZipMember {
    std::string name;         // UTF-8, "/" between folders; a folder ends with "/"
    uint16_t method = 0;      // 0 stored, 8 deflated
    uint32_t crc = 0;         // of the uncompressed bytes
    uint64_t size = 0;        // uncompressed
    uint64_t packedSize = 0;  // as written
    uint64_t offset = 0;      // of the local header in the archive
    int64_t modified = 0;     // seconds since 1970, UTC
};

constexpr uint16_t kZipStored = 0;
constexpr uint16_t kZipDeflated = 8;

// The largest size or offset a zip without the 64-bit extension holds.
constexpr uint64_t kZipLimit = 0xFFFFFFFEull;

std::string ZipLocalHeader(const ZipMember& member);

// The central directory and its end record, for members that start at their
// offsets and end where the directory begins. Nothing when the archive would
// need the 64-bit extension (more than 65535 members, or 4 GiB).
std::optional<std::string> ZipDirectory(const std::vector<ZipMember>& members, uint64_t directoryOffset);

// CRC-32 as zip uses it, continued from `crc` (0 to start).
uint32_t Crc32(uint32_t crc, const char* data, size_t size);

// Raw deflate data of the bytes (no zlib header or checksum).
std::string Deflate(const std::string& bytes);

// Whether a member is better stored as it is: media and archives that are
// compressed already, and files too large to compress in memory.
bool StoreAsIs(const std::string& name, uint64_t size);
