#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Inclusive byte positions; first <= last < file size.
struct ByteRange {
    uint32_t first;
    uint32_t last;
};

// Reads the first range of a "bytes=" Range value (already trimmed) against a
// file of `size` bytes. No range when the unit is not exactly "bytes=", there
// is no "-", a number is missing, not decimal or beyond 32 bits, or the range
// is empty or does not lie within the file. Each number is read like strtol:
// leading white space, an optional sign, digits, and whatever follows them is
// ignored; a negative number counts as a huge unsigned one.
std::optional<ByteRange> ParseByteRange(const std::string& value, uint32_t size);

// The text without C-library white space (blank, \t, \n, \v, \f, \r) at either end.
std::string TrimWhiteSpace(const std::string& text);
