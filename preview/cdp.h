#pragma once

// DevTools protocol messages: commands out, answers and events in.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace preview {

// One command; sessionId empty for the browser itself. A long text parameter that needs no escaping
// (a base64 body) can go in as `textField`, spliced into the parameters instead of copied through the
// JSON writer.
std::string CdpCommand(int id, const std::string& method, const nlohmann::json& params,
                       const std::string& sessionId = {}, const std::string& textField = {},
                       const std::string& text = {});

struct CdpMessage {
    std::optional<int> id;  // set for answers to commands
    std::string method;     // set for events
    std::string sessionId;
    nlohmann::json params;  // an event's parameters, or an answer's result
    std::string error;      // an answer's error message, empty on success
};

// Nothing when the text is not a DevTools message.
std::optional<CdpMessage> ParseCdpMessage(const std::string& text);

// The browser endpoint in <user-data-dir>/DevToolsActivePort: its first line the port, its second
// the path. Nothing until both are complete.
struct DevToolsEndpoint {
    int port = 0;
    std::string path;
};
std::optional<DevToolsEndpoint> ParseDevToolsActivePort(const std::string& text);
// The same from the /json/version answer of a port given by the user.
std::optional<DevToolsEndpoint> ParseVersionAnswer(int port, const std::string& httpAnswer);

}  // namespace preview
