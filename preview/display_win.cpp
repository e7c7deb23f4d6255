#include "display_win.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "unix_win.h"

namespace preview {

namespace {

constexpr DWORD kXdotoolTimeoutMs = 5000;

// The X window Wine made for a top-level window; child windows have none.
std::string X11WindowOf(HWND window) {
    const HWND topLevel = GetAncestor(window, GA_ROOT);
    const auto id = reinterpret_cast<UINT_PTR>(GetPropA(topLevel, "__wine_x11_whole_window"));
    return id ? std::to_string(id) : std::string();
}

int ShellValue(const std::string& text, const char* name) {
    const size_t at = text.find(std::string(name) + "=");
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + strlen(name) + 1);
}

}  // namespace

bool Display::Attach() {
    if (!chromiumWindow_.empty()) return true;
    hostWindow_ = X11WindowOf(parent_);
    if (hostWindow_.empty()) return false;
    const auto found = RunShell("timeout 10 xdotool search --sync --onlyvisible --limit 1 --class '" + windowClass_ +
                                    "'; xdotool getwindowgeometry --shell " + hostWindow_,
                                kXdotoolTimeoutMs + 6000);
    if (!found || found->empty() || (*found)[0] < '0' || (*found)[0] > '9') {
        Log("Chromium's window was not found");
        return false;
    }
    chromiumWindow_ = found->substr(0, found->find('\n'));
    // Wine draws the frame of an unmanaged window inside its X window; a window manager draws it outside.
    RECT window{}, client{};
    GetWindowRect(GetAncestor(parent_, GA_ROOT), &window);
    GetClientRect(GetAncestor(parent_, GA_ROOT), &client);
    POINT origin{0, 0};
    ClientToScreen(parent_, &origin);
    const bool frameInside = ShellValue(*found, "WIDTH") != client.right - client.left;
    offset_ = frameInside ? POINT{origin.x - window.left, origin.y - window.top} : POINT{0, 0};
    // A window manager frames Chromium's window as a top-level of its own, and hands it back to the root
    // window only once it has seen it unmapped: reparented before that, it would be taken back and framed
    // again at its next map.
    const std::string& page = chromiumWindow_;
    RunShell("xdotool windowunmap --sync " + page + "; for i in $(seq 50); do xwininfo -children -id " + page +
                 " | grep -q '^  Parent window id: .*(the root window)' && break; sleep 0.1; done; "
                 "xdotool windowreparent " + page + " " + hostWindow_,
             kXdotoolTimeoutMs + 5000);
    return true;
}

void Display::Apply() {
    if (!Attach()) return;
    const LONG width = std::max<LONG>(1, bounds_.right - bounds_.left);
    const LONG height = std::max<LONG>(1, bounds_.bottom - bounds_.top);
    char command[640];
    // A window mapped again shows nothing until Chromium draws a whole new frame, which a static page
    // only draws when its size changes: once in place, the window is sized one pixel short and back,
    // slowly enough that Chromium sees both.
    snprintf(command, sizeof(command),
             "xdotool windowmove %s %ld %ld windowsize %s %ld %ld %s %s; "
             "[ %d = 1 ] && (sleep 0.3; xdotool windowsize %s %ld %ld; sleep 0.3; xdotool windowsize %s %ld %ld) "
             ">/dev/null 2>&1 &",
             chromiumWindow_.c_str(), offset_.x + bounds_.left, offset_.y + bounds_.top, chromiumWindow_.c_str(),
             width, height, visible_ ? "windowmap --sync" : "windowunmap", chromiumWindow_.c_str(), visible_ ? 1 : 0,
             chromiumWindow_.c_str(), width, std::max<LONG>(1, height - 1), chromiumWindow_.c_str(), width, height);
    RunShell(command, kXdotoolTimeoutMs);
}

void Display::Place(const RECT& bounds) {
    bounds_ = bounds;
    if (visible_) Apply();
}

void Display::Show(bool visible) {
    visible_ = visible;
    Apply();
}

void Display::Focus() {
    if (chromiumWindow_.empty()) return;
    RunShell("xdotool windowfocus " + chromiumWindow_, kXdotoolTimeoutMs);
}

}  // namespace preview
