#pragma once

// HTTP/1.1 as the preview's loopback server speaks it with Chromium (through the TLS relay): reading a
// request head, and writing the host's answer as a response head with its framing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "resources.h"

namespace preview {

// Where the head ends in the bytes received so far (just past its blank line), or npos.
size_t RequestHeadEnd(std::string_view received);

struct RequestHead {
    std::string method;
    std::string target;  // origin form: "/path?query"
    HeaderList headers;
    bool keepAlive = true;
    uint64_t bodyLength = 0;  // from Content-Length; the server reads and drops the body
};
// The head up to (not including) its blank line; nothing for what a server must refuse: a malformed
// request line, a target that is not a path, a chunked or unreadable body length, a line without a colon.
std::optional<RequestHead> ParseRequestHead(std::string_view head);

// A header's value, the name compared without letter case; empty when absent.
std::string HeaderValue(const HeaderList& headers, std::string_view name);

// The URL the page asked for: the virtual host from the Host header (the relay answers port 443 only,
// which Chromium leaves out of it), and the target.
std::string RequestUrl(const RequestHead& head);

// The runtime's resource context for Chromium's Sec-Fetch-Dest: what the network sees of the request's kind.
int ResourceContextOfDestination(const std::string& destination);

struct ResponsePlan {
    std::string head;                // status line and headers, through the blank line
    bool hasBody = true;             // false for HEAD, 1xx, 204 and 304
    std::optional<uint64_t> length;  // the body's length; nothing when it goes chunked
};
// The host's answer as a response head. Its Content-Length frames the body when it is a number; else the
// body is chunked. Hop-by-hop headers are the server's own. A reason or header that could break the head
// (CR, LF, NUL; a name that is not a token) is dropped, so the host's text can never add lines.
ResponsePlan PlanResponse(int status, const std::string& reason, const HeaderList& headers, bool headRequest,
                          bool keepAlive);

// The line that starts a chunk of `size` bytes; the last chunk is ChunkStart(0) followed by CR LF.
std::string ChunkStart(size_t size);

}  // namespace preview
