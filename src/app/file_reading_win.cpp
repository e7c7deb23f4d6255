#include "app/file_reading_win.h"

#include <cstdio>
#include <memory>

#include "common/file_size.h"
#include "common/paths.h"
#include "common/strings.h"

std::string ReadWholeFile(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(_wfopen(AddLongPathPrefix(Utf8ToWide(path)).c_str(), L"rbS"), fclose);
    if (!file) return {};
    std::string bytes(FileSize(path), '\0');
    if (bytes.empty()) return bytes;
    // A file that shrank since its size was taken yields only what was read.
    bytes.resize(fread(bytes.data(), 1, bytes.size(), file.get()));
    return bytes;
}
