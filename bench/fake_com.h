#pragma once
#include <windows.h>
#include <wrl/client.h>

#include <cstring>
#include <string>
#include <utility>

#include "common/adopt_win.h"

// Reference counting and QueryInterface for the bench's stand-ins of runtime
// objects. Everything runs on one thread, so the count needs no atomics.
template <class Derived, class Interface>
class FakeObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

private:
    ULONG references_ = 1;
};

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
