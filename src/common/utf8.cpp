#include "common/utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool InRange(unsigned char byte, unsigned char low, unsigned char high) { return byte >= low && byte <= high; }

}  // namespace

std::u32string DecodeUtf8(const std::string& bytes) {
    std::u32string result;
    const size_t size = bytes.size();
    size_t i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            result.push_back(lead);
            ++i;
            continue;
        }
        size_t trail = 0;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the first trail byte
        if (InRange(lead, 0xC2, 0xDF)) trail = 1;
        else if (lead == 0xE0) trail = 2, low = 0xA0;
        else if (lead == 0xED) trail = 2, high = 0x9F;
        else if (InRange(lead, 0xE1, 0xEF)) trail = 2;
        else if (lead == 0xF0) trail = 3, low = 0x90;
        else if (lead == 0xF4) trail = 3, high = 0x8F;
        else if (InRange(lead, 0xF1, 0xF3)) trail = 3;
        char32_t code = trail == 1 ? lead & 0x1F : trail == 2 ? lead & 0x0F : lead & 0x07;
        size_t next = i + 1;
        size_t taken = 0;
        while (taken < trail && next < size) {
            const auto byte = static_cast<unsigned char>(bytes[next]);
            if (!InRange(byte, taken == 0 ? low : 0x80, taken == 0 ? high : 0xBF)) break;
            code = (code << 6) | (byte & 0x3F);
            ++next;
            ++taken;
        }
        result.push_back(trail != 0 && taken == trail ? code : kReplacement);
        i = next;
    }
    return result;
}

std::string EncodeUtf8(const std::u32string& text) {
    std::string result;
    for (const char32_t code : text) {
        if (code < 0x80) {
            result.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            result.push_back(static_cast<char>(0xC0 | (code >> 6)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            result.push_back(static_cast<char>(0xE0 | (code >> 12)));
            result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            result.push_back(static_cast<char>(0xF0 | (code >> 18)));
            result.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return result;
}

size_t Utf16Length(const std::u32string& text) {
    size_t units = 0;
    for (const char32_t code : text) units += code < 0x10000 ? 1 : 2;
    return units;
}
