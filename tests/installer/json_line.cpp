#include "json_line.h"

#include <windows.h>

#include <cstdio>

std::string JsonString(const std::wstring& text) {
    std::string utf8;
    if (!text.empty()) {
        const int length =
            WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        utf8.resize(static_cast<size_t>(length));
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr,
                            nullptr);
    }
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

bool AppendLine(const std::wstring& path, const std::string& line) {
    FILE* file = _wfopen(path.c_str(), L"ab");
    if (!file) return false;
    const std::string text = line + "\n";
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}
