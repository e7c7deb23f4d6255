#include "bridge/web_message.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "common/json_readers.h"

PageRequest ParseWebMessage(const std::string& text) {
    // Malformed text is turned away by a pass that builds nothing. A parse that
    // fails has first built a tree as deep as the text, and the heap keeps that
    // memory after the tree is gone: a page could pin ~90 bytes per byte sent.
    if (!nlohmann::json::accept(text.c_str(), false)) throw std::invalid_argument("malformed web message");
    const nlohmann::json message = nlohmann::json::parse(text.c_str(), nullptr, true, false);
    const std::string type = JsonStringOr(message, "type", "");
    PageRequest request;
    if (type == "wrapper-init") {
        request.type = PageRequestType::WrapperInit;
    } else if (type == "set-fullscreen") {
        request.type = PageRequestType::SetFullscreen;
        request.fullscreen = JsonBoolOr(message, "fullscreen", false);
    } else if (type == "set-window-size") {
        request.type = PageRequestType::SetWindowSize;
        request.height = JsonIntOr(message, "windowHeight", 0);
        request.width = JsonIntOr(message, "windowWidth", 0);
    } else if (type == "set-window-position") {
        request.type = PageRequestType::SetWindowPosition;
        request.y = JsonIntOr(message, "windowY", 0);
        request.x = JsonIntOr(message, "windowX", 0);
    } else if (type == "extension-message") {
        request.type = PageRequestType::ExtensionMessage;
    }
    return request;
}

std::string BuildWrapperInitResponse(const std::vector<std::string>& ids) {
    nlohmann::json reply = nlohmann::json::object();
    reply["type"] = "wrapper-init-response";
    reply["registeredComponentIds"] = ids;
    return reply.dump();
}
