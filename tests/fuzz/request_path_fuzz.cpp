// Whatever follows the origin in a URI, an accepted request path stays inside
// the content root: no leading separator, no colon, no zero byte and no
// segment of dots (".." above all), with "/" and "\" both separating.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "content/request_path.h"
#include "content/url_unescape.h"

namespace {

const std::string kOrigin = "https://app.quillframe.localhost/";

bool IsDotsAndBlanks(const std::string& segment) {
    return !segment.empty() && segment.find_first_not_of(". ") == std::string::npos;
}

void CheckContained(const std::string& path) {
    if (path.empty()) return;
    if (path[0] == '/' || path[0] == '\\') std::abort();
    if (path.find(':') != std::string::npos || path.find('\0') != std::string::npos) std::abort();
    size_t start = 0;
    while (true) {
        const size_t end = path.find_first_of("/\\", start);
        if (IsDotsAndBlanks(path.substr(start, end == std::string::npos ? std::string::npos : end - start)))
            std::abort();
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string rest(reinterpret_cast<const char*>(data), size);
    const auto path = RequestPathFromUri(kOrigin + rest, kOrigin.size());
    if (path) {
        CheckContained(*path);
        const std::string file = FilePathFor("C:\\app\\www\\", *path);
        if (file.find('/') != std::string::npos) std::abort();
    }
    // Decoding never grows the text, except for U+FFFD standing in for
    // shorter ill-formed sequences (at most three bytes for one).
    const std::string decoded = UnescapeUrlPath(rest);
    if (decoded.size() > 3 * rest.size()) std::abort();
    return 0;
}
