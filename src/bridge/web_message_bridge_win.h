#pragma once
#include <functional>
#include <string>

#include "bridge/window_control.h"

struct ExtensionHost;

// Turns the page's messages into window operations, "wrapper-init" answers
// and extension messages, and posts JSON back to the page.
class WebMessageBridge {
public:
    // postToPage hands one JSON text to the page; it drops the text while no
    // page can receive it. extensionHost may be null.
    using PostToPage = std::function<void(const std::string& json)>;
    WebMessageBridge(PostToPage postToPage, WindowControl& window, const ExtensionHost* extensionHost);
    WebMessageBridge(const WebMessageBridge&) = delete;
    WebMessageBridge& operator=(const WebMessageBridge&) = delete;

    // One message text from a trusted document; anything malformed is dropped.
    void HandleWebMessage(const std::string& text);
    void PostJsonToPage(const std::string& json);

private:
    void SendWrapperInitResponse();

    PostToPage postToPage_;
    WindowControl& window_;
    const ExtensionHost* extensionHost_;
};
