#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The resources of a PE file as a flat list, and the file rewritten with
// another list: read and written from the bytes alone, on any platform.

constexpr uint16_t kResourceIcon = 3;
constexpr uint16_t kResourceVersion = 16;
constexpr uint16_t kResourceGroupIcon = 14;
constexpr uint16_t kResourceManifest = 24;

// A type or a name: a number, or (when name is not empty) a string.
struct ResourceKey {
    uint16_t id = 0;
    std::u16string name;
};

struct ResourceEntry {
    ResourceKey type, name;
    uint16_t language = 0;
    std::string data;
    uint32_t codePage = 0;
};

bool operator==(const ResourceKey& a, const ResourceKey& b);
bool operator==(const ResourceEntry& a, const ResourceEntry& b);

// The entries in the file's order. An empty list for a PE file without
// resources; nothing when the bytes are no PE file or the tree is damaged.
std::optional<std::vector<ResourceEntry>> ReadResources(const std::string& peBytes);

struct RewriteResult {
    std::string bytes;
    std::string error;  // empty on success
};

// The file with its resources replaced by the entries (in any order; no two
// may share type, name and language) and its checksum brought up to date.
RewriteResult ReplaceResources(const std::string& peBytes, const std::vector<ResourceEntry>& entries);

// The checksum of the file as it belongs in its optional header; 0 for bytes
// that are no PE file.
uint32_t PeChecksum(const std::string& peBytes);
