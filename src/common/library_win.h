#pragma once
#include <windows.h>

#include <string>

#include "common/unique_handle_win.h"

// One loaded DLL and typed look-ups of its functions. It comes either from
// System32 alone (a system DLL loaded only when a rare path needs it, never one
// planted in the app's folder) or from one full path (its own dependencies then
// resolve from its folder first). It stays loaded as long as this owner lives.
class Library {
public:
    Library() = default;

    static Library FromSystem32(const wchar_t* name) {
        return Library(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    }
    // `path` must be absolute: the altered search order is undefined for a relative one.
    static Library FromPath(const std::wstring& path) {
        return Library(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    }

    explicit operator bool() const { return static_cast<bool>(module_); }

    // Null when the DLL or the function is missing: the caller treats that as
    // the call having failed. Function is the declared type, e.g.
    // decltype(URLDownloadToFileW), so the calling convention is the header's.
    template <class Function>
    Function* Find(const char* name) const {
        if (!module_) return nullptr;
        return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name)));
    }

    // For a DLL whose objects and threads may outlive any owner: it stays loaded
    // until the process ends, and this owner is left empty.
    void KeepForProcessLife() { module_.release(); }

private:
    explicit Library(HMODULE module) : module_(module) {}

    UniqueModule module_;
};
