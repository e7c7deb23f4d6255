#pragma once
#include <string>

// Whether a document URL may talk to the host: its first bytes equal
// originPrefix exactly, and it has the prefix's origin (lower-cased scheme,
// host without user name or password, port with http's and https's default
// filled in), so "https://example.com.evil.test/" and
// "https://example.com@evil.test/" do not pass a "https://example.com" prefix.
// A prefix without "//" after its scheme (such as "about:blank") has no host:
// there the URL needs only the byte prefix and the same scheme.
bool IsTrustedUrl(const std::string& url, const std::string& originPrefix);

// Whether the URL has the prefix's origin, wherever it points within it. For a
// prefix without a host this is IsTrustedUrl.
bool IsSameOrigin(const std::string& url, const std::string& originPrefix);

// Whether a URI may be handed to the shell's default handler: only http:,
// https: and mailto:, in any letter case.
bool IsShellOpenableUri(const std::string& uri);
