#pragma once
#include <windows.h>

#include <atomic>
#include <type_traits>

namespace com_detail {

// Stands in the base list for an interface the primary one already derives
// from, so that interface is answered through the primary's vtable.
template <class Interface>
struct AnsweredByPrimary {};

template <class Primary, class Interface>
using ExtraBase = std::conditional_t<std::is_base_of_v<Interface, Primary>, AnsweredByPrimary<Interface>, Interface>;

}  // namespace com_detail

// A heap COM object: an atomic reference count starting at 1, deletion at zero,
// and QueryInterface for IUnknown, Primary and each of Also... only. An Also
// interface that Primary derives from is answered through Primary's vtable;
// any other (a second interface, or a method-less marker) is a base of its own
// with its own vtable. IUnknown is always Primary's, so identity holds.
template <class Derived, class Primary, class... Also>
class ComObject : public Primary, public com_detail::ExtraBase<Primary, Also>... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(Primary)) {
            *object = static_cast<Primary*>(this);
        } else {
            ((riid == __uuidof(Also) ? (void)(*object = As<Also>()) : (void)0), ...);
        }
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

private:
    template <class Interface>
    Interface* As() {
        if constexpr (std::is_base_of_v<Interface, Primary>) {
            return static_cast<Primary*>(this);
        } else {
            return static_cast<Interface*>(this);
        }
    }

    std::atomic<ULONG> references_{1};
};
