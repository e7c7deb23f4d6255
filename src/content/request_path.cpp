#include "content/request_path.h"

#include <algorithm>

#include "content/url_unescape.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// "." and ".." name the folder itself and its parent; Windows also drops
// trailing dots and blanks from a name, so "... " can mean the same.
bool IsDotSegment(const std::string& path, size_t begin, size_t end) {
    if (begin == end) return false;
    return std::all_of(path.begin() + begin, path.begin() + end, [](char c) { return c == '.' || c == ' '; });
}

bool StaysInsideRoot(const std::string& path) {
    if (path.empty()) return true;
    if (IsSeparator(path.front()) || path.find_first_of(std::string(":\0", 2)) != std::string::npos) return false;
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = begin;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        if (IsDotSegment(path, begin, end)) return false;
        begin = end + 1;
    }
    return true;
}

}  // namespace

std::optional<std::string> RequestPathFromUri(const std::string& uri, size_t originLength) {
    if (uri.size() < originLength) return std::nullopt;
    const std::string rest = uri.substr(originLength);
    std::string path = UnescapeUrlPath(rest.substr(0, rest.find_first_of("?#")));
    if (!StaysInsideRoot(path)) return std::nullopt;
    return path;
}

std::string FilePathFor(const std::string& contentRoot, const std::string& requestPath) {
    std::string relative = requestPath;
    std::replace(relative.begin(), relative.end(), '/', '\\');
    return contentRoot + relative;
}
