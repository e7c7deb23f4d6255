#include "http_exchange.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace preview {

namespace {

// A decimal number as HTTP writes lengths: digits only, and not past 2^63.
std::optional<uint64_t> Decimal(const std::string& text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

bool ContainsToken(const std::string& list, std::string_view token) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        std::string item = list.substr(start, end - start);
        item.erase(0, item.find_first_not_of(" \t"));
        item.erase(item.find_last_not_of(" \t") + 1);
        if (SameHeaderName(item, token)) return true;
        start = end + 1;
    }
    return false;
}

bool IsToken(const std::string& name) {
    static const std::string kSeparators = "()<>@,;:\\\"/[]?={} \t";
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 32 && byte < 127 && kSeparators.find(c) == std::string::npos;
    });
}

bool IsSafeText(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// The connection's own headers: the server decides them, whatever the host wrote.
bool IsHopByHop(const std::string& name) {
    for (const char* own : {"Connection", "Keep-Alive", "Transfer-Encoding", "TE", "Trailer", "Upgrade",
                            "Proxy-Connection"}) {
        if (SameHeaderName(name, own)) return true;
    }
    return false;
}

}  // namespace

size_t RequestHeadEnd(std::string_view received) {
    const size_t blank = received.find("\r\n\r\n");
    return blank == std::string_view::npos ? std::string_view::npos : blank + 4;
}

std::optional<RequestHead> ParseRequestHead(std::string_view head) {
    const size_t lineEnd = head.find("\r\n");
    const std::string line(head.substr(0, lineEnd));
    const size_t first = line.find(' '), last = line.rfind(' ');
    if (first == std::string::npos || first == last) return std::nullopt;
    RequestHead request;
    request.method = line.substr(0, first);
    request.target = line.substr(first + 1, last - first - 1);
    const std::string version = line.substr(last + 1);
    if (!IsToken(request.method) || request.target.empty() || request.target[0] != '/' ||
        request.target.find(' ') != std::string::npos || (version != "HTTP/1.1" && version != "HTTP/1.0"))
        return std::nullopt;
    if (lineEnd != std::string_view::npos) request.headers = ParseHeaderBlock(std::string(head.substr(lineEnd + 2)));
    if (!HeaderValue(request.headers, "Transfer-Encoding").empty()) return std::nullopt;
    const std::string length = HeaderValue(request.headers, "Content-Length");
    if (!length.empty()) {
        const auto bytes = Decimal(length);
        if (!bytes) return std::nullopt;
        request.bodyLength = *bytes;
    }
    const std::string connection = HeaderValue(request.headers, "Connection");
    request.keepAlive = version == "HTTP/1.1" ? !ContainsToken(connection, "close")
                                              : ContainsToken(connection, "keep-alive");
    return request;
}

std::string HeaderValue(const HeaderList& headers, std::string_view name) {
    for (const auto& [key, value] : headers) {
        if (SameHeaderName(key, name)) return value;
    }
    return {};
}

std::string RequestUrl(const RequestHead& head) {
    return "https://" + HeaderValue(head.headers, "Host") + head.target;
}

int ResourceContextOfDestination(const std::string& destination) {
    // "empty" is fetch() and XMLHttpRequest alike; the network cannot tell them apart.
    static const std::map<std::string, int> contexts{
        {"document", 1}, {"iframe", 1},  {"frame", 1},         {"style", 2},        {"image", 3},
        {"audio", 4},    {"video", 4},   {"font", 5},          {"script", 6},       {"worker", 6},
        {"sharedworker", 6}, {"serviceworker", 6}, {"empty", 8}, {"track", 9},     {"manifest", 12},
        {"report", 15}};
    const auto found = contexts.find(destination);
    return found == contexts.end() ? 16 : found->second;
}

ResponsePlan PlanResponse(int status, const std::string& reason, const HeaderList& headers, bool headRequest,
                          bool keepAlive) {
    ResponsePlan plan;
    plan.hasBody = !headRequest && status >= 200 && status != 204 && status != 304;
    plan.head = "HTTP/1.1 " + std::to_string(status) + " " + (IsSafeText(reason) ? reason : std::string()) + "\r\n";
    for (const auto& [name, value] : headers) {
        if (!IsToken(name) || !IsSafeText(value) || IsHopByHop(name)) continue;
        if (SameHeaderName(name, "Content-Length")) {
            const auto length = Decimal(value);
            if (!length || plan.length) continue;  // a second length could frame the body twice
            plan.length = length;
        }
        plan.head += name + ": " + value + "\r\n";
    }
    if (plan.hasBody && !plan.length) plan.head += "Transfer-Encoding: chunked\r\n";
    plan.head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return plan;
}

std::string ChunkStart(size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    do {
        hex.insert(hex.begin(), kDigits[size % 16]);
        size /= 16;
    } while (size > 0);
    return hex + "\r\n";
}

}  // namespace preview
