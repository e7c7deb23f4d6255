#include "view_window.h"

#include <deque>

#include "standin_com.h"

namespace standin {
namespace {

constexpr size_t kShownMessages = 8;

struct ViewText {
    HWND window = nullptr;
    std::wstring uri;
    std::wstring title;
    std::deque<std::wstring> messages;
};

ViewText& View() {
    static ViewText* view = new ViewText;
    return *view;
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    std::wstring text = L"Stand-in WebView2 runtime\nURL: " + View().uri + L"\nTitle: " + View().title +
                        L"\nMessages posted to the page:";
    for (const auto& message : View().messages) text += L"\n  " + message;
    InflateRect(&area, -8, -8);
    DrawTextW(dc, text.c_str(), -1, &area, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
    EndPaint(window, &paint);
}

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        Paint(window);
        return 0;
    }
    if (message == WM_NCDESTROY && View().window == window) View().window = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
}

void Refresh() {
    if (View().window) InvalidateRect(View().window, nullptr, TRUE);
}

}  // namespace

HWND CreateViewWindow(HWND parent) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ViewProc;
    windowClass.hInstance = ThisModule();
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = L"QuillframeStandInView";
    RegisterClassW(&windowClass);
    View().window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0,
                                    0, parent, nullptr, windowClass.hInstance, nullptr);
    return View().window;
}

HWND ViewWindow() { return View().window; }

void ShowPage(const std::wstring& uri, const std::wstring& title) {
    View().uri = uri;
    View().title = title;
    Refresh();
}

void ShowPostedMessage(const wchar_t* message) {
    auto& messages = View().messages;
    messages.push_back(message);
    if (messages.size() > kShownMessages) messages.pop_front();
    Refresh();
}

}  // namespace standin
