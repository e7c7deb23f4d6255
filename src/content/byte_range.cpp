#include "content/byte_range.h"

#include <cstdint>
#include <limits>

namespace {

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The decimal number at the start of `text` as a 32-bit strtol reads it, seen
// as unsigned. Nothing when there are no digits or the value overflows.
std::optional<uint32_t> LeadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsWhiteSpace(text[i])) ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const size_t digitsStart = i;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
    }
    if (i == digitsStart) return std::nullopt;
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

}  // namespace

std::optional<ByteRange> ParseByteRange(const std::string& value, uint32_t size) {
    static const std::string kUnit = "bytes=";
    if (size == 0 || value.compare(0, kUnit.size(), kUnit) != 0) return std::nullopt;
    const std::string rangeSet = value.substr(kUnit.size());
    const size_t dash = rangeSet.find('-');
    if (dash == std::string::npos) return std::nullopt;

    if (dash == rangeSet.size() - 1) {
        const auto start = LeadingNumber(rangeSet.substr(0, dash));
        if (!start || *start >= size) return std::nullopt;
        return ByteRange{*start, size - 1};
    }
    if (dash == 0) {
        // A suffix of 0 asks for no bytes at all, which is not satisfiable.
        const auto suffix = LeadingNumber(rangeSet.substr(1));
        if (!suffix || *suffix == 0 || *suffix > size) return std::nullopt;
        return ByteRange{size - *suffix, size - 1};
    }
    const auto first = LeadingNumber(rangeSet.substr(0, dash));
    const auto last = LeadingNumber(rangeSet.substr(dash + 1));
    if (!first || !last || *first >= size || *last >= size || *first > *last) return std::nullopt;
    return ByteRange{*first, *last};
}

std::string TrimWhiteSpace(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsWhiteSpace(text[begin])) ++begin;
    while (end > begin && IsWhiteSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}
