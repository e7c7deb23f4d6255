#pragma once

// Reference counting and QueryInterface shared by every object the stand-in runtime hands out.

#include <optional>
#include <string>
#include <utility>

#include <wrl/client.h>

#include "common/adopt_win.h"
#include "common/com_object_win.h"
#include "loader/webview2_win.h"

namespace standin {

using ::ComObject;

template <class T>
HRESULT ReturnValue(T value, T* out) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

// Adopts the new object's initial reference.
template <class T, class... Args>
Microsoft::WRL::ComPtr<T> MakeObject(Args&&... args) {
    return Adopt(new T(std::forward<Args>(args)...));
}

HINSTANCE ThisModule();
std::string ToUtf8(const wchar_t* text);
std::wstring ToWide(const std::string& text);
// A CoTaskMemAlloc copy, as every WebView2 string getter returns.
LPWSTR CoTaskCopy(const std::wstring& text);
HRESULT ReturnString(const std::wstring& text, LPWSTR* out);
std::string HresultText(HRESULT hr);
// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::wstring& path);
std::string Base64(const std::string& bytes);

}  // namespace standin
