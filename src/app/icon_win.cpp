#include "app/icon_win.h"

#include <algorithm>
// The GDI+ headers expect min and max, which NOMINMAX takes away.
using std::max;
using std::min;
#include <gdiplus.h>

#include "common/paths.h"
#include "common/strings.h"

ULONG_PTR StartGdiplus() {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;  // version 1, no callback, thread and codecs not suppressed
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    return token;
}

void StopGdiplus(ULONG_PTR token) { Gdiplus::GdiplusShutdown(token); }

HICON LoadIconFromImageFile(const std::string& path) {
    const std::wstring widePath = AddLongPathPrefix(Utf8ToWide(path));
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromFile(widePath.c_str(), &bitmap) != Gdiplus::Ok) return nullptr;
    HICON icon = nullptr;
    if (Gdiplus::DllExports::GdipCreateHICONFromBitmap(bitmap, &icon) != Gdiplus::Ok) icon = nullptr;
    Gdiplus::DllExports::GdipDisposeImage(bitmap);
    return icon;
}
