#include "webview/origin.h"

#include <algorithm>
#include <optional>

namespace {

struct Origin {
    std::string scheme;
    bool hasHost = false;
    std::string host;
    std::string port;

    bool operator==(const Origin& other) const {
        return scheme == other.scheme && hasHost == other.hasHost && host == other.host && port == other.port;
    }
};

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The scheme before the first ":", lower-cased; nothing when there is no valid one.
std::optional<std::string> SchemeOf(const std::string& url) {
    if (url.empty() || !IsAlpha(url[0])) return std::nullopt;
    size_t i = 1;
    while (i < url.size() && (IsAlpha(url[i]) || IsDigit(url[i]) || url[i] == '+' || url[i] == '-' || url[i] == '.'))
        ++i;
    if (i == url.size() || url[i] != ':') return std::nullopt;
    return LowerAscii(url.substr(0, i));
}

bool TakesBackslashAsSlash(const std::string& scheme) {
    return scheme == "http" || scheme == "https" || scheme == "ws" || scheme == "wss" || scheme == "ftp" ||
           scheme == "file";
}

// The port as a plain decimal number, the scheme's default written out.
std::optional<std::string> NormalPort(const std::string& scheme, const std::string& text) {
    for (char c : text)
        if (!IsDigit(c)) return std::nullopt;
    if (text.empty()) return std::string(scheme == "http" ? "80" : scheme == "https" ? "443" : "");
    const size_t nonZero = text.find_first_not_of('0');
    return nonZero == std::string::npos ? std::string("0") : text.substr(nonZero);
}

std::optional<Origin> OriginOf(const std::string& url) {
    const auto scheme = SchemeOf(url);
    if (!scheme) return std::nullopt;
    Origin origin;
    origin.scheme = *scheme;
    const size_t authorityStart = scheme->size() + 3;
    if (url.compare(scheme->size(), 3, "://") != 0) return origin;
    origin.hasHost = true;

    // Browsers end the authority at "\" too for these schemes.
    const char* terminators = TakesBackslashAsSlash(*scheme) ? "/?#\\" : "/?#";
    const size_t authorityEnd = std::min(url.find_first_of(terminators, authorityStart), url.size());
    std::string hostPort = url.substr(authorityStart, authorityEnd - authorityStart);
    const size_t at = hostPort.rfind('@');
    if (at != std::string::npos) hostPort = hostPort.substr(at + 1);

    // An IPv6 literal keeps its colons inside the brackets.
    const size_t bracket = hostPort.rfind(']');
    const size_t colon = hostPort.find(':', bracket == std::string::npos ? 0 : bracket);
    origin.host = LowerAscii(hostPort.substr(0, colon));
    const auto port = NormalPort(*scheme, colon == std::string::npos ? "" : hostPort.substr(colon + 1));
    if (!port) return std::nullopt;
    origin.port = *port;
    return origin;
}

bool BeginsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

bool IsTrustedUrl(const std::string& url, const std::string& originPrefix) {
    if (!BeginsWith(url, originPrefix)) return false;
    const auto expected = OriginOf(originPrefix);
    const auto actual = OriginOf(url);
    if (!expected || !actual) return false;
    return expected->hasHost ? *actual == *expected : actual->scheme == expected->scheme;
}

bool IsSameOrigin(const std::string& url, const std::string& originPrefix) {
    const auto expected = OriginOf(originPrefix);
    if (!expected) return false;
    if (!expected->hasHost) return IsTrustedUrl(url, originPrefix);
    const auto actual = OriginOf(url);
    return actual && *actual == *expected;
}

bool IsShellOpenableUri(const std::string& uri) {
    const auto scheme = SchemeOf(uri);
    return scheme && (*scheme == "http" || *scheme == "https" || *scheme == "mailto");
}
