#pragma once

// The page's console in the terminal: one line for each console call, uncaught error and unhandled
// rejection of the page and its workers, as the DevTools protocol reports them.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace preview {

// The line for a Runtime.consoleAPICalled or Runtime.exceptionThrown event, e.g.
// "[page error] Uncaught Error: boom (index.html:12)"; nothing for other events and for calls that print
// nothing (console.clear, the end of a group). Sources under `pageOrigin` are named by their path.
std::optional<std::string> ConsoleLine(const std::string& method, const nlohmann::json& params,
                                       const std::string& pageOrigin, bool worker);

// The scheme, host and port of a URL with the slash after them ("https://quillframe.localhost/"); empty
// for a URL without a host.
std::string OriginOf(const std::string& url);

}  // namespace preview
