#pragma once

// The stand-in's plain view in place of rendered web content: a child window of the host's window that
// shows the current URL, the title and the last messages the host posted to the page.

#include <string>

#include "loader/webview2_win.h"

namespace standin {

HWND CreateViewWindow(HWND parent);
HWND ViewWindow();
void ShowPage(const std::wstring& uri, const std::wstring& title);
void ShowPostedMessage(const wchar_t* message);

}  // namespace standin
