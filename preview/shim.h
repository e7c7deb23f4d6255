#pragma once

// The one script the preview puts into pages: window.chrome.webview, and the notices the host needs
// that the DevTools protocol does not report (messages, title, full screen, window.close()).

#include <optional>
#include <string>

namespace preview {

// The binding the shim reports through; the shim removes it from the page's global object.
extern const char kBindingName[];

std::string ShimScript();

struct PageNotice {
    enum class Kind { Message, Title, Fullscreen, Close, Permission };
    Kind kind = Kind::Message;
    std::string json;    // Message: the message as JSON
    std::string source;  // Message: the document's URL
    std::string title;   // Title
    bool fullscreen = false;
    // Permission: the permission's name ("camera"), the request's number in its document, the document's
    // URL (`source`) and origin, and whether the user's gesture led to it.
    std::string permission;
    std::string origin;
    int request = 0;
    bool userInitiated = false;
};
std::optional<PageNotice> ParsePageNotice(const std::string& payload);

// The WebView2 permission kind (COREWEBVIEW2_PERMISSION_KIND) of a permission the shim asks for.
int PermissionKindOf(const std::string& permission);
// The expression that lets a document's request number `request` go on, once the host has answered.
std::string PermissionAnsweredExpression(int request);

// A script for every new document that keeps the keys opening DevTools (F12, Ctrl+Shift+I, J, C) from
// reaching Chromium, when the host turned DevTools off.
std::string DevToolsKeysGuardScript();

// The expression that hands a message (JSON text) to the page's chrome.webview listeners.
std::string DeliverMessageExpression(const std::string& json);

}  // namespace preview
