#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Little-endian fields of the binary formats the tools read and write (PE
// files, version blocks, icons, bitmaps, zip records), held as byte strings so
// that they read the same on every platform.

inline void AppendLe(std::string& bytes, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Nothing when the field would end past the bytes.
inline std::optional<uint32_t> ReadLe(std::string_view bytes, size_t offset, int width) {
    if (offset > bytes.size() || bytes.size() - offset < static_cast<size_t>(width)) return std::nullopt;
    uint32_t value = 0;
    for (int i = width; i-- > 0;) value = (value << 8) | static_cast<uint8_t>(bytes[offset + i]);
    return value;
}
