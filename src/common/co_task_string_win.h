#pragma once
#include <windows.h>

#include <string>

#include "common/strings.h"

// Takes a string the runtime or the shell allocated with CoTaskMemAlloc: returns
// it as UTF-8 (empty for null) and frees it.
inline std::string TakeCoTaskString(LPWSTR text) {
    if (!text) return {};
    std::string result = WideToUtf8(text);
    CoTaskMemFree(text);
    return result;
}
