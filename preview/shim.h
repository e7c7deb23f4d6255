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
    enum class Kind { Message, Title, Fullscreen, Close };
    Kind kind = Kind::Message;
    std::string json;    // Message: the message as JSON
    std::string source;  // Message: the document's URL
    std::string title;   // Title
    bool fullscreen = false;
};
std::optional<PageNotice> ParsePageNotice(const std::string& payload);

// The expression that hands a message (JSON text) to the page's chrome.webview listeners.
std::string DeliverMessageExpression(const std::string& json);

}  // namespace preview
