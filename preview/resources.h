#pragma once

// What the preview does with a paused request: which of the host's filters it matches, and how the
// host's answer becomes a Fetch.fulfillRequest.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace preview {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// The runtime's filter wildcards: '*' stands for any run of characters, everything else for itself.
bool MatchesFilter(const std::string& pattern, const std::string& uri);
// The same filter as a Fetch urlPattern, whose '?' and '\' are wildcards and escapes of their own.
std::string FetchUrlPattern(const std::string& filter);
// Whether every request a URL (or a filter, which may end in '*') names goes to an https://NAME.localhost/
// host on port 443, which Chromium is told to reach through the relay.
bool GoesThroughRelay(const std::string& uri);
// A Fetch resource type ("Document", "Media", ...) as the runtime's resource context number.
int ResourceContextOf(const std::string& resourceType);

bool SameHeaderName(std::string_view a, std::string_view b);
// "Name: value" lines separated by CR LF (or LF); lines without a colon are skipped.
HeaderList ParseHeaderBlock(const std::string& block);
// A request's headers object from Fetch.requestPaused, in its order.
HeaderList HeadersFromObject(const nlohmann::json& headers);
nlohmann::json FetchHeaderEntries(const HeaderList& headers);

// An answer the preview hands on: status and headers as the host gave them, except that a 206 body
// longer than `limit` is cut to `limit` bytes (its Content-Range and Content-Length follow). The
// browser asks again for the rest, so one message never carries more than the DevTools connection
// takes.
struct Answer {
    int status = 200;
    HeaderList headers;
    uint64_t bodyLength = 0;
};
Answer CapPartialAnswer(Answer answer, uint64_t limit);

}  // namespace preview
