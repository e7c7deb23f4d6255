#pragma once
#include <windows.h>
#include <wrl/client.h>

#include <cstring>
#include <string>
#include <utility>

#include "common/adopt_win.h"
#include "common/com_object_win.h"

// The bench's stand-ins of runtime objects are counted like the host's own.
template <class Derived, class Interface>
using FakeObject = ComObject<Derived, Interface>;

// A new fake holding its one initial reference, which the returned pointer adopts.
template <class Derived, class... Args>
Microsoft::WRL::ComPtr<Derived> MakeFake(Args&&... args) {
    return Adopt(new Derived(std::forward<Args>(args)...));
}

// A runtime string: a CoTaskMem copy that the receiver frees.
inline HRESULT ReturnString(const std::wstring& text, LPWSTR* out) {
    if (!out) return E_POINTER;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*out) return E_OUTOFMEMORY;
    memcpy(*out, text.c_str(), bytes);
    return S_OK;
}
