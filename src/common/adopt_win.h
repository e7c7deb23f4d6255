#pragma once
#include <wrl/client.h>

// Takes over a reference the caller already owns (a fresh object, or an
// interface a factory returned). mingw-w64's ComPtr::Attach adds a reference of
// its own, unlike the Windows SDK's, so it cannot be used for that.
template <class Interface>
Microsoft::WRL::ComPtr<Interface> Adopt(Interface* owned) {
    Microsoft::WRL::ComPtr<Interface> pointer;
    *pointer.ReleaseAndGetAddressOf() = owned;
    return pointer;
}
