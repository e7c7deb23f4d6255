#pragma once
#include <windows.h>

#include "common/unique_handle_win.h"

// A system DLL that only the installer needs (urlmon, comctl32). Importing it
// would load it, and what it drags in, at every start; loaded here it costs
// only the starts that install the runtime. It comes from System32 alone, never
// from the app's folder, and stays loaded as long as this owner lives.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name)
        : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}

    // Null when the DLL or the function is missing: the caller treats that as
    // the call having failed. Function is the declared type, e.g.
    // decltype(URLDownloadToFileW), so the calling convention is the header's.
    template <class Function>
    Function* Find(const char* name) const {
        if (!module_) return nullptr;
        return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
    }

private:
    UniqueModule module_;
};
