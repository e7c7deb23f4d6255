#include <windows.h>
#include <gdiplus.h>
#include <pathcch.h>
#include <shellapi.h>
#include <shlwapi.h>

// One function of every library the host imports, so that this variant of the
// bare window loads the same libraries at start-up as the host does.
extern "C" {
extern const void* const volatile kHostImports[];
const void* const volatile kHostImports[] = {
    reinterpret_cast<const void*>(&Gdiplus::GdiplusStartup), reinterpret_cast<const void*>(&CoInitializeEx),
    reinterpret_cast<const void*>(&PathCchCanonicalizeEx),   reinterpret_cast<const void*>(&ShellExecuteW),
    reinterpret_cast<const void*>(&SHCreateMemStream),       reinterpret_cast<const void*>(&GetStockObject),
};
}
