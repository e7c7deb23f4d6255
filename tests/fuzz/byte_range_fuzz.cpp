// ParseByteRange against a straightforward reading of the Range rules built
// on the C library's own strtoll. Input: 4 bytes of file size, then the value.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "content/byte_range.h"

namespace {

// A 32-bit strtol: nothing for no digits or a value outside 32 bits.
std::optional<uint32_t> Number(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

std::optional<ByteRange> Reference(const std::string& value, uint32_t size) {
    if (size == 0 || value.rfind("bytes=", 0) != 0) return std::nullopt;
    const std::string rangeSet = value.substr(6);
    const size_t d = rangeSet.find('-');
    if (d == std::string::npos) return std::nullopt;
    if (d + 1 == rangeSet.size()) {
        const auto n = Number(rangeSet.substr(0, d));
        if (!n || *n >= size) return std::nullopt;
        return ByteRange{*n, size - 1};
    }
    if (d == 0) {
        const auto n = Number(rangeSet.substr(1));
        if (!n || *n == 0 || *n > size) return std::nullopt;
        return ByteRange{size - *n, size - 1};
    }
    const auto a = Number(rangeSet.substr(0, d));
    const auto b = Number(rangeSet.substr(d + 1));
    if (!a || !b || *a >= size || *b >= size || *a > *b) return std::nullopt;
    return ByteRange{*a, *b};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t fileSize;
    std::memcpy(&fileSize, data, 4);
    const std::string value(reinterpret_cast<const char*>(data + 4), size - 4);
    // strtoll would stop at a zero byte where ParseByteRange sees a non-digit: the same end.
    const auto range = ParseByteRange(value, fileSize);
    const auto expected = Reference(value, fileSize);
    if (range.has_value() != expected.has_value()) std::abort();
    if (range && (range->first != expected->first || range->last != expected->last)) std::abort();
    if (range && (range->first > range->last || range->last >= fileSize)) std::abort();
    const std::string trimmed = TrimWhiteSpace(value);
    if (trimmed.size() > value.size() || value.find(trimmed) == std::string::npos) std::abort();
    return 0;
}
