#include "core/ico_file.h"

#include "le_bytes.h"

namespace {

constexpr size_t kDirectorySize = 6;
constexpr size_t kFileEntrySize = 16;
constexpr uint32_t kIconType = 1;

// The directory header, and the fields a group entry and a file entry share.
void AppendDirectory(std::string& out, size_t count) {
    AppendLe(out, 0, 2);
    AppendLe(out, kIconType, 2);
    AppendLe(out, static_cast<uint32_t>(count), 2);
}

void AppendEntryStart(std::string& out, const IconImage& image) {
    const uint32_t side = image.size >= 256 ? 0 : static_cast<uint32_t>(image.size);  // 0 means 256
    AppendLe(out, side, 1);
    AppendLe(out, side, 1);
    AppendLe(out, 0, 1);   // palette colours: none
    AppendLe(out, 0, 1);   // reserved
    AppendLe(out, 1, 2);   // planes
    AppendLe(out, 32, 2);  // bits per pixel
    AppendLe(out, static_cast<uint32_t>(image.data.size()), 4);
}

}  // namespace

std::string IconGroupData(const IconSet& icons, uint16_t firstIconId) {
    std::string group;
    AppendDirectory(group, icons.images.size());
    uint32_t id = firstIconId;
    for (const IconImage& image : icons.images) {
        AppendEntryStart(group, image);
        AppendLe(group, id++, 2);
    }
    return group;
}

std::string IcoFileData(const IconSet& icons) {
    std::string file;
    AppendDirectory(file, icons.images.size());
    size_t offset = kDirectorySize + kFileEntrySize * icons.images.size();
    for (const IconImage& image : icons.images) {
        AppendEntryStart(file, image);
        AppendLe(file, static_cast<uint32_t>(offset), 4);
        offset += image.data.size();
    }
    for (const IconImage& image : icons.images) file += image.data;
    return file;
}

IcoContents ReadIcoFile(const std::string& bytes) {
    const auto reserved = ReadLe(bytes, 0, 2), type = ReadLe(bytes, 2, 2), count = ReadLe(bytes, 4, 2);
    if (!reserved || !type || !count || *reserved != 0 || *type != kIconType) return {{}, "not an ICO file"};
    if (*count == 0) return {{}, "the ICO file holds no images"};
    IcoContents contents;
    for (size_t i = 0; i < *count; ++i) {
        const size_t at = kDirectorySize + kFileEntrySize * i;
        const auto width = ReadLe(bytes, at, 1), height = ReadLe(bytes, at + 1, 1), bits = ReadLe(bytes, at + 6, 2);
        const auto size = ReadLe(bytes, at + 8, 4), offset = ReadLe(bytes, at + 12, 4);
        if (!width || !height || !bits || !size || !offset) return {{}, "the ICO file's directory is truncated"};
        if (*offset > bytes.size() || bytes.size() - *offset < *size)
            return {{},
                    "the ICO file is truncated: its image " + std::to_string(i + 1) + " ends past the end of the file"};
        contents.entries.push_back({*width == 0 ? 256 : static_cast<int>(*width),
                                    *height == 0 ? 256 : static_cast<int>(*height), static_cast<int>(*bits),
                                    std::string_view(bytes).substr(*offset, *size)});
    }
    return contents;
}
