#include "window_snapshot.h"

#include <commctrl.h>

#include "json_line.h"

namespace {

std::string Number(long long value) { return std::to_string(value); }

std::string Rect(const RECT& rect) {
    return "[" + Number(rect.left) + "," + Number(rect.top) + "," + Number(rect.right) + "," + Number(rect.bottom) + "]";
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? length : 0);
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    const int length = GetWindowTextW(window, text, 1024);
    return std::wstring(text, length > 0 ? length : 0);
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, 0, SMTO_ABORTIFHUNG, 2000, &result);
    return static_cast<LRESULT>(result);
}

std::string BarSnapshot(HWND window) {
    HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
    if (!bar) return "null";
    RECT rect{};
    GetWindowRect(bar, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return "{\"class\":" + JsonString(ClassOf(bar)) + ",\"text\":" + JsonString(TextOf(bar)) +
           ",\"style\":" + Number(static_cast<DWORD>(GetWindowLongPtrW(bar, GWL_STYLE))) + ",\"rect\":" + Rect(rect) +
           ",\"low\":" + Number(Ask(bar, PBM_GETRANGE, TRUE)) + ",\"high\":" + Number(Ask(bar, PBM_GETRANGE, FALSE)) +
           ",\"step\":" + Number(Ask(bar, PBM_GETSTEP, 0)) + ",\"pos\":" + Number(Ask(bar, PBM_GETPOS, 0)) + "}";
}

}  // namespace

std::string WindowSnapshot(HWND window) {
    RECT outer{};
    GetWindowRect(window, &outer);
    RECT client{};
    GetClientRect(window, &client);
    return "{\"title\":" + JsonString(TextOf(window)) + ",\"class\":" + JsonString(ClassOf(window)) +
           ",\"style\":" + Number(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE))) +
           ",\"exStyle\":" + Number(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE))) +
           ",\"parent\":" + (GetAncestor(window, GA_PARENT) == GetDesktopWindow() ? "null" : "\"some\"") +
           ",\"window\":" + Rect(outer) + ",\"client\":" + Rect(client) + ",\"screen\":[" +
           Number(GetSystemMetrics(SM_CXSCREEN)) + "," + Number(GetSystemMetrics(SM_CYSCREEN)) +
           "],\"bar\":" + BarSnapshot(window) + "}";
}
