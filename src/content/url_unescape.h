#pragma once
#include <string>

// Longest decoded path, in UTF-16 units including its terminating zero, that
// the request handler accepts; a longer one is left escaped.
constexpr size_t kUnescapeBufferUnits = 2048;

// Percent-decodes a URL path. Runs of "%XX" escapes are decoded together as
// UTF-8; every ill-formed UTF-8 subsequence (escaped or not) becomes U+FFFD;
// "+" stays "+"; a "%" not followed by two hex digits stays as it is. The text
// ends at its first zero byte, and the decoded text at its first zero
// character (so "%00" ends the path). When the whole decoded text, measured
// before that cut, needs more than kUnescapeBufferUnits UTF-16 units with its
// terminator, the input comes back unchanged.
std::string UnescapeUrlPath(const std::string& path);
