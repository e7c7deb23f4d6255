#include "cdp.h"

#include "websocket.h"

namespace preview {

namespace {

size_t Base64Length(size_t bytes) { return (bytes + 2) / 3 * 4; }

void Base64Into(std::string_view bytes, char* out) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto byte = [&](size_t i) { return i < bytes.size() ? uint32_t(uint8_t(bytes[i])) : 0u; };
    for (size_t i = 0; i < bytes.size(); i += 3, out += 4) {
        const uint32_t n = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
        out[0] = kDigits[n >> 18];
        out[1] = kDigits[(n >> 12) & 63];
        out[2] = i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
        out[3] = i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
}

}  // namespace

std::string CdpCommandFrame(int id, const std::string& method, const nlohmann::json& params,
                            const std::string& sessionId, const std::string& bytesField, std::string_view bytes) {
    nlohmann::json command{{"id", id}, {"method", method}};
    if (!sessionId.empty()) command["sessionId"] = sessionId;
    const auto dump = [](const nlohmann::json& value) {
        return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    };
    std::string head = dump(command);
    head.pop_back();  // the closing brace
    head += ",\"params\":" + dump(params.is_null() ? nlohmann::json::object() : params);
    std::string tail = "}";
    if (!bytesField.empty()) {
        head.pop_back();
        head += (head.back() == '{' ? "\"" : ",\"") + bytesField + "\":\"";
        tail = "\"}}";
    }
    const size_t encoded = bytesField.empty() ? 0 : Base64Length(bytes.size());
    std::string frame = TextFrameHead(head.size() + encoded + tail.size());
    const size_t body = frame.size() + head.size();
    frame.reserve(body + encoded + tail.size());
    frame += head;
    frame.resize(body + encoded);
    if (encoded) Base64Into(bytes, frame.data() + body);
    frame += tail;
    return frame;
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
