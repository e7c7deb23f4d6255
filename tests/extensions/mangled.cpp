// A C++ library written without the header's declarations: its four entry
// points keep their C++ (mangled) names, so the host finds none of them.
#include <windows.h>

__declspec(dllexport) const char* const* Init(const char*, const char*, const char*, void (*)(const char*)) {
    static const char* const ids[] = {"standin.mangled", nullptr};
    return ids;
}

__declspec(dllexport) void Release() {}

__declspec(dllexport) void OnMainWindowCreated(HWND) {}

__declspec(dllexport) void OnExtensionMessage(const char*) {}
