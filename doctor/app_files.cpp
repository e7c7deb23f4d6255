#include "app_files.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

namespace {

// One name inside a folder: the exact one when it exists, else the first that
// differs only in letter case.
std::optional<fs::path> FindName(const fs::path& folder, const std::string& name) {
    std::error_code error;
    const fs::path exact = folder / fs::u8path(name);
    if (fs::exists(exact, error)) return exact;
    const std::string wanted = AsciiLower(name);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (AsciiLower(it->path().filename().u8string()) == wanted) return it->path();
    return std::nullopt;
}

}  // namespace

std::optional<fs::path> FindInFolder(const fs::path& root, const std::string& relative) {
    fs::path found = root;
    size_t begin = 0;
    while (begin <= relative.size()) {
        size_t end = relative.find_first_of("/\\", begin);
        if (end == std::string::npos) end = relative.size();
        const std::string name = relative.substr(begin, end - begin);
        if (!name.empty()) {
            const auto next = FindName(found, name);
            if (!next) return std::nullopt;
            found = *next;
        }
        begin = end + 1;
    }
    return found;
}

std::optional<std::string> ReadFileBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return std::nullopt;
    return bytes;
}

std::string ReadFileStart(const fs::path& path, size_t count) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes(count, '\0');
    if (!file) return {};
    file.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(file.gcount()));
    return bytes;
}

std::string Shown(const fs::path& path, const fs::path& folder) {
    return path.lexically_relative(folder).generic_u8string();
}
