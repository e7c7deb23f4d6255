#include "files.h"

#include "common/paths.h"
#include "common/strings.h"

uint64_t ReadWholeFile(const std::wstring& path, std::vector<char>& buffer) {
    const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    uint64_t total = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) || read == 0) break;
        total += read;
    }
    return total;
}

bool MapWholeFile(const std::wstring& path, FileView& mapped) {
    mapped.file.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!mapped.file) return false;
    mapped.mapping.reset(CreateFileMappingW(mapped.file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapped.mapping) return false;
    mapped.view.reset(MapViewOfFile(mapped.mapping.get(), FILE_MAP_READ, 0, 0, 0));
    return static_cast<bool>(mapped.view);
}

uint64_t TouchPages(const uint8_t* bytes, uint64_t length) {
    uint64_t sum = 0;
    for (uint64_t at = 0; at < length; at += 4096) sum += bytes[at];
    return sum;
}

std::wstring WindowsPath(const std::string& path) { return AddLongPathPrefix(Utf8ToWide(path)); }
