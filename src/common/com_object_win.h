#pragma once
#include <windows.h>

#include <atomic>

// A heap COM object: an atomic reference count starting at 1, deletion at zero,
// and QueryInterface for IUnknown, Primary and each of Also... only. Also names
// interfaces that Primary derives from, or marker interfaces without methods,
// so one vtable pointer answers them all.
template <class Derived, class Primary, class... Also>
class ComObject : public Primary {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(Primary) || ((riid == __uuidof(Also)) || ...)) {
            *object = static_cast<Primary*>(this);
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
    std::atomic<ULONG> references_{1};
};
