#pragma once
#include <optional>
#include <string>

// The request path of a URI under the served origin: the first originLength
// bytes dropped, everything from the first "?" or "#" dropped (a query or
// fragment never names a file), the rest percent-decoded. Nothing when the
// path could name something outside the content root: a leading "/" or "\",
// a colon anywhere (drive letters, streams, devices), a zero byte (which
// would cut the name short) or a segment made only of
// dots and blanks, with "/" and "\" both separating segments. The empty path
// (the bare origin) is accepted.
std::optional<std::string> RequestPathFromUri(const std::string& uri, size_t originLength);

// The content file of a request path: the root followed by the path, "/" turned into "\".
std::string FilePathFor(const std::string& contentRoot, const std::string& requestPath);
