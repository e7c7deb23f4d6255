#include "bridge/extension_host_win.h"
#include "bridge/web_message.h"
#include "common/strings.h"
#include "webview/app_webview_win.h"

void AppWebView::HandleWebMessage(const std::string& text) {
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
            SetFullscreen(request.fullscreen);
            break;
        case PageRequestType::SetWindowSize:
            SetWindowSize(request.width, request.height);
            break;
        case PageRequestType::SetWindowPosition:
            SetWindowPosition(request.x, request.y);
            break;
        case PageRequestType::ExtensionMessage:
            // The received text itself, not a re-serialisation.
            if (extensionHost && extensionHost->onExtensionMessage) extensionHost->onExtensionMessage(text.c_str());
            break;
        }
    } catch (...) {
    }
}

void AppWebView::SendWrapperInitResponse() {
    static const std::vector<std::string> kNoIds;
    PostJsonToPage(BuildWrapperInitResponse(extensionHost ? extensionHost->registeredComponentIds : kNoIds));
}

void AppWebView::PostJsonToPage(const std::string& json) {
    webView->PostWebMessageAsJson(Utf8ToWide(json).c_str());
}
