#include "window_facts.h"

#include <commctrl.h>

#include "common/strings.h"

namespace {

// Long enough for a process that is still starting up; a hung one answers at once.
constexpr UINT kReplyWaitMs = 3000;

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM state) {
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(state);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == found->first) found->second.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChildren(HWND window, LPARAM state) {
    reinterpret_cast<std::vector<HWND>*>(state)->push_back(window);
    return TRUE;
}

nlohmann::json RectJson(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

LRESULT Ask(HWND window, UINT message, WPARAM wParam) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, message, wParam, 0, SMTO_ABORTIFHUNG, kReplyWaitMs, &answer);
    return static_cast<LRESULT>(answer);
}

nlohmann::json ProgressBarsOf(HWND window) {
    nlohmann::json bars = nlohmann::json::array();
    for (HWND child : ChildWindowsOf(window)) {
        if (ClassNameOf(child) != PROGRESS_CLASSW) continue;
        RECT rect{};
        GetWindowRect(child, &rect);
        bars.push_back({{"pos", Ask(child, PBM_GETPOS, 0)},
                        {"min", Ask(child, PBM_GETRANGE, TRUE)},
                        {"max", Ask(child, PBM_GETRANGE, FALSE)},
                        {"step", Ask(child, PBM_GETSTEP, 0)},
                        {"visible", IsWindowVisible(child) != FALSE},
                        {"window", RectJson(rect)}});
    }
    return bars;
}

}  // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
    std::pair<DWORD, std::vector<HWND>> found{processId, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

std::vector<HWND> ChildWindowsOf(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChildren, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::wstring ClassNameOf(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::optional<std::wstring> TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kReplyWaitMs, &length)) {
        return std::nullopt;
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kReplyWaitMs, &copied)) {
        return std::nullopt;
    }
    text.resize(copied);
    return text;
}

nlohmann::json WindowFacts(HWND window) {
    // The caption as the window manager keeps it: asking the owner could block behind its work.
    wchar_t caption[1024] = L"";
    InternalGetWindowText(window, caption, 1024);
    RECT outer{};
    GetWindowRect(window, &outer);
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    // One read of the style answers "visible" and "enabled" too: for a top-level window they are
    // its bits, and separate reads could straddle a ShowWindow and contradict each other.
    const auto style = static_cast<uint32_t>(GetWindowLongPtrW(window, GWL_STYLE));
    return {{"hwnd", reinterpret_cast<UINT_PTR>(window)},
            {"class", WideToUtf8(ClassNameOf(window))},
            {"caption", WideToUtf8(caption)},
            {"visible", (style & WS_VISIBLE) != 0},
            {"enabled", (style & WS_DISABLED) == 0},
            {"style", style},
            {"exStyle", static_cast<uint32_t>(GetWindowLongPtrW(window, GWL_EXSTYLE))},
            {"owner", reinterpret_cast<UINT_PTR>(GetWindow(window, GW_OWNER))},
            {"window", RectJson(outer)},
            {"client", RectJson(client)},
            {"clientOrigin", {origin.x, origin.y}},
            {"progress", ProgressBarsOf(window)}};
}
