#pragma once
#include <string>

// UTF-8 <-> UTF-16 with the platform's UTF-8 code page and no flags. An empty
// input, or one the platform cannot convert, gives an empty result.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
