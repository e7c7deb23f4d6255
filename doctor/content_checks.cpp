#include "content_checks.h"

#include <set>

#include "app_files.h"
#include "content/mime_types.h"
#include "content/request_path.h"

namespace fs = std::filesystem;

namespace {

// The host cannot tell a size of 2 GiB or more.
constexpr uintmax_t kLargestServedSize = 0x7FFFFFFF;
constexpr size_t kShownFiles = 10;

// Extensions whose files the browser uses only with the right type: scripts
// (modules and workers), styles, fonts and WebAssembly.
const std::set<std::string> kTypedExtensions = {".js",  ".mjs",  ".cjs",   ".jsx", ".ts",  ".tsx", ".mts", ".cts",
                                                ".css", ".woff", ".woff2", ".ttf", ".otf", ".eot", ".wasm"};

// The URL path a page uses for the file: "%" and the characters that would
// end the path are escaped, so the host's decoding gives the name back.
std::string UrlPathOf(const std::string& name) {
    std::string escaped;
    for (char c : name) {
        switch (c) {
        case '%': escaped += "%25"; break;
        case '?': escaped += "%3F"; break;
        case '#': escaped += "%23"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string ExtensionOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    const size_t slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return AsciiLower(name.substr(dot));
}

// Ok when no file is named, else the problem with the first files named.
Finding Listed(const char* check, const std::vector<std::string>& files, std::string okMessage,
               std::string problem, std::string fix) {
    if (files.empty()) return Ok(check, std::move(okMessage));
    Finding finding = Problem(check, std::move(problem), std::move(fix));
    for (size_t i = 0; i < files.size() && i < kShownFiles; ++i) finding.details.push_back(files[i]);
    if (files.size() > kShownFiles)
        finding.details.push_back("and " + std::to_string(files.size() - kShownFiles) + " more");
    return finding;
}

struct Sorted {
    std::vector<std::string> refused, untyped, tooLarge;
};

void SortFile(const std::string& name, uintmax_t size, Sorted& sorted) {
    if (!RequestPathFromUri(UrlPathOf(name), 0)) sorted.refused.push_back(name);
    if (kTypedExtensions.count(ExtensionOf(name)) && GetMimeType(name) == "application/octet-stream")
        sorted.untyped.push_back(name);
    if (size > kLargestServedSize) sorted.tooLarge.push_back(name);
}

}  // namespace

std::vector<Finding> CheckContentFiles(const fs::path& folder) {
    const auto www = FindInFolder(folder, "www");
    Sorted sorted;
    std::error_code error;
    if (www) {
        fs::recursive_directory_iterator it(*www, fs::directory_options::skip_permission_denied, error), end;
        for (; !error && it != end; it.increment(error)) {
            std::error_code sizeError;
            if (!it->is_regular_file(sizeError)) continue;
            const uintmax_t size = it->file_size(sizeError);
            SortFile(it->path().lexically_relative(*www).generic_u8string(), sizeError ? 0 : size, sorted);
        }
    }
    return {
        Listed("www names", sorted.refused, "the host serves every file by its name",
               "the host refuses these names and answers 404",
               "rename them: no colon, no name made only of dots and blanks"),
        Listed("www types", sorted.untyped, "scripts, styles, fonts and wasm are sent with their types",
               "sent as application/octet-stream, which the browser refuses for these",
               "rename or build them to .js or .mjs, .css, .woff2, .woff, .ttf, .otf or .wasm"),
        Listed("www sizes", sorted.tooLarge, "every file is below 2 GiB", "2 GiB or more: the host cannot serve these",
               "split them into files below 2 GiB"),
    };
}
