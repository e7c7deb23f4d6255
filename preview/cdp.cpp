#include "cdp.h"

namespace preview {

std::string CdpCommand(int id, const std::string& method, const nlohmann::json& params,
                       const std::string& sessionId, const std::string& textField, const std::string& text) {
    nlohmann::json command{{"id", id}, {"method", method}};
    if (!sessionId.empty()) command["sessionId"] = sessionId;
    const auto dump = [](const nlohmann::json& value) {
        return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    };
    std::string head = dump(command);
    std::string body = dump(params.is_null() ? nlohmann::json::object() : params);
    if (!textField.empty()) {
        body.pop_back();  // the closing brace
        body.reserve(body.size() + textField.size() + text.size() + 8);
        body += (body.size() > 1 ? ",\"" : "\"") + textField + "\":\"" + text + "\"}";
    }
    head.pop_back();
    return head + ",\"params\":" + body + "}";
}

std::optional<CdpMessage> ParseCdpMessage(const std::string& text) {
    const nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    if (!parsed.is_object()) return std::nullopt;
    CdpMessage message;
    if (auto id = parsed.find("id"); id != parsed.end() && id->is_number_integer()) message.id = id->get<int>();
    if (auto method = parsed.find("method"); method != parsed.end() && method->is_string())
        message.method = method->get<std::string>();
    if (!message.id && message.method.empty()) return std::nullopt;
    if (auto session = parsed.find("sessionId"); session != parsed.end() && session->is_string())
        message.sessionId = session->get<std::string>();
    const char* body = message.id ? "result" : "params";
    if (auto found = parsed.find(body); found != parsed.end()) message.params = *found;
    if (auto error = parsed.find("error"); error != parsed.end()) {
        message.error = error->value("message", std::string("error"));
        if (message.error.empty()) message.error = "error";
    }
    return message;
}

std::optional<DevToolsEndpoint> ParseDevToolsActivePort(const std::string& text) {
    // Chromium ends the port line with a newline but not the path line, and may still be writing:
    // the path is complete once it holds the whole browser id.
    static const std::string kPrefix = "/devtools/browser/";
    constexpr size_t kIdLength = 36;
    const size_t first = text.find('\n');
    if (first == std::string::npos) return std::nullopt;
    DevToolsEndpoint endpoint;
    for (size_t i = 0; i < first; ++i) {
        if (text[i] < '0' || text[i] > '9' || endpoint.port > 65535) return std::nullopt;
        endpoint.port = endpoint.port * 10 + (text[i] - '0');
    }
    endpoint.path = text.substr(first + 1, kPrefix.size() + kIdLength);
    if (endpoint.port == 0 || endpoint.port > 65535 || endpoint.path.rfind(kPrefix, 0) != 0 ||
        endpoint.path.size() != kPrefix.size() + kIdLength)
        return std::nullopt;
    return endpoint;
}

std::optional<DevToolsEndpoint> ParseVersionAnswer(int port, const std::string& httpAnswer) {
    const size_t body = httpAnswer.find("\r\n\r\n");
    if (body == std::string::npos) return std::nullopt;
    const nlohmann::json parsed = nlohmann::json::parse(httpAnswer.substr(body + 4), nullptr, false);
    if (!parsed.is_object()) return std::nullopt;
    const std::string url = parsed.value("webSocketDebuggerUrl", std::string());
    const size_t path = url.find("/devtools/browser/");
    if (path == std::string::npos) return std::nullopt;
    return DevToolsEndpoint{port, url.substr(path)};
}

}  // namespace preview
