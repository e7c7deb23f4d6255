#include "content/mapped_file_win.h"

#include "common/paths.h"
#include "common/strings.h"

std::shared_ptr<MappedFile> MapWholeFile(const std::string& filePath, bool& noRoom) {
    noRoom = false;
    auto mapped = std::make_shared<MappedFile>();
    mapped->file.reset(CreateFileW(AddLongPathPrefix(Utf8ToWide(filePath)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER fileSize{};
    // Views are limited to the 32-bit size model of the server.
    if (!mapped->file || !GetFileSizeEx(mapped->file.get(), &fileSize) || fileSize.QuadPart <= 0 ||
        fileSize.QuadPart > 0x7FFFFFFF)
        return nullptr;
    mapped->mapping.reset(CreateFileMappingW(mapped->file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapped->mapping) mapped->view.reset(MapViewOfFile(mapped->mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!mapped->view) {
        noRoom = true;
        return nullptr;
    }
    mapped->length = static_cast<uint32_t>(fileSize.QuadPart);
    return mapped;
}
