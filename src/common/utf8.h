#pragma once
#include <string>

// UTF-8 bytes to code points. Each maximal ill-formed subsequence becomes one
// U+FFFD, the way current platform and browser decoders repair bad input.
std::u32string DecodeUtf8(const std::string& bytes);

// Code points (as DecodeUtf8 yields them: no surrogates) to UTF-8.
std::string EncodeUtf8(const std::u32string& text);

// Number of UTF-16 units needed for the code points.
size_t Utf16Length(const std::u32string& text);
