// Page messages parse or throw, and only the fields of their own request are
// set. The input also serves as a list of component ids: a reply that builds
// must parse back to exactly those ids.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/web_message.h"

namespace {

void CheckRequest(const std::string& text) {
    PageRequest request;
    try {
        request = ParseWebMessage(text);
    } catch (const std::exception&) {
        return;
    }
    const bool size = request.type == PageRequestType::SetWindowSize;
    const bool position = request.type == PageRequestType::SetWindowPosition;
    if (request.fullscreen && request.type != PageRequestType::SetFullscreen) std::abort();
    if (!size && (request.width != 0 || request.height != 0)) std::abort();
    if (!position && (request.x != 0 || request.y != 0)) std::abort();
}

void CheckReply(const std::string& text) {
    std::vector<std::string> ids;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        ids.push_back(text.substr(start, end - start));
    ids.push_back(text.substr(start));
    std::string reply;
    try {
        reply = BuildWrapperInitResponse(ids);
    } catch (const nlohmann::json::exception&) {
        return;
    }
    const nlohmann::json parsed = nlohmann::json::parse(reply);
    if (parsed.size() != 2 || parsed.at("type") != "wrapper-init-response") std::abort();
    if (parsed.at("registeredComponentIds").get<std::vector<std::string>>() != ids) std::abort();
    if (parsed.dump() != reply) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckRequest(text);
    CheckReply(text);
    return 0;
}
