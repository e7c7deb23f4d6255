#include "content/url_unescape.h"

#include <algorithm>

#include "common/utf8.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsEscapeAt(const std::string& text, size_t i) {
    return i + 2 < text.size() && text[i] == '%' && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0;
}

}  // namespace

std::string UnescapeUrlPath(const std::string& path) {
    const std::string text = path.substr(0, path.find('\0'));
    // Plain ASCII without escapes decodes to itself; most requests look so.
    if (text.size() == path.size() && text.size() + 1 <= kUnescapeBufferUnits &&
        std::all_of(text.begin(), text.end(), [](char c) { return c != '%' && static_cast<unsigned char>(c) < 0x80; }))
        return text;
    std::u32string decoded;
    size_t i = 0;
    while (i < text.size()) {
        // Escaped bytes and literal text are decoded apart: a literal character
        // never completes an escaped sequence, nor the other way round.
        std::string run;
        const bool escaped = IsEscapeAt(text, i);
        while (i < text.size() && IsEscapeAt(text, i) == escaped) {
            if (escaped) {
                run.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
                i += 3;
            } else {
                run.push_back(text[i++]);
            }
        }
        decoded += DecodeUtf8(run);
    }
    if (Utf16Length(decoded) + 1 > kUnescapeBufferUnits) return path;
    return EncodeUtf8(decoded.substr(0, decoded.find(U'\0')));
}
