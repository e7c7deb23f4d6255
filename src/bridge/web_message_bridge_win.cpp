#include "bridge/web_message_bridge_win.h"

#include "bridge/extension_host_win.h"
#include "bridge/web_message.h"

WebMessageBridge::WebMessageBridge(PostToPage postToPage, WindowControl& window, const ExtensionHost* extensionHost)
    : postToPage_(std::move(postToPage)), window_(window), extensionHost_(extensionHost) {}

void WebMessageBridge::HandleWebMessage(const std::string& text) {
    // Any failure, parse errors included, drops the message silently.
    try {
        const PageRequest request = ParseWebMessage(text);
        switch (request.type) {
        case PageRequestType::None:
            break;
        case PageRequestType::WrapperInit:
            SendWrapperInitResponse();
            break;
        case PageRequestType::SetFullscreen:
            window_.SetFullscreen(request.fullscreen);
            break;
        case PageRequestType::SetWindowSize:
            window_.SetWindowSize(request.width, request.height);
            break;
        case PageRequestType::SetWindowPosition:
            window_.SetWindowPosition(request.x, request.y);
            break;
        case PageRequestType::ExtensionMessage:
            // The received text itself, not a re-serialisation.
            if (extensionHost_ && extensionHost_->onExtensionMessage) extensionHost_->onExtensionMessage(text.c_str());
            break;
        }
    } catch (...) {
    }
}

void WebMessageBridge::SendWrapperInitResponse() {
    static const std::vector<std::string> kNoIds;
    PostJsonToPage(BuildWrapperInitResponse(extensionHost_ ? extensionHost_->registeredComponentIds : kNoIds));
}

void WebMessageBridge::PostJsonToPage(const std::string& json) { postToPage_(json); }
