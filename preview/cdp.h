#pragma once

// DevTools protocol messages: commands out, answers and events in.

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace preview {

// One command as the WebSocket frame that carries it; sessionId empty for the browser itself. Raw
// `bytes` (a response body) go in as the base64 text of the parameter `bytesField`, encoded straight
// into the frame: a body of megabytes is written once, not encoded, spliced and framed in three copies.
std::string CdpCommandFrame(int id, const std::string& method, const nlohmann::json& params,
                            const std::string& sessionId = {}, const std::string& bytesField = {},
                            std::string_view bytes = {});

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
