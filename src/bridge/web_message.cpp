#include "bridge/web_message.h"

#include <nlohmann/json.hpp>

#include "app/json_readers.h"

PageRequest ParseWebMessage(const std::string& text) {
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
