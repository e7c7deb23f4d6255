#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Icon sets in the two containers Windows reads them from: the resources of
// an exe (RT_ICON images named by an RT_GROUP_ICON directory) and an .ico file.

// One image: a 32-bit icon bitmap, or PNG bytes (the 256-pixel one).
struct IconImage {
    int size = 0;  // width and height in pixels
    std::string data;
};

struct IconSet {
    std::vector<IconImage> images;
};

// The RT_GROUP_ICON resource naming the images as RT_ICON resources
// firstIconId, firstIconId + 1, ... in the set's order.
std::string IconGroupData(const IconSet& icons, uint16_t firstIconId);

// The set as an .ico file.
std::string IcoFileData(const IconSet& icons);

// An .ico file's image as its directory describes it.
struct IcoEntry {
    int width = 0;  // 256 where the directory says 0
    int height = 0;
    int bitCount = 0;
    std::string_view data;  // a bitmap or PNG bytes, inside the file read
};

struct IcoContents {
    std::vector<IcoEntry> entries;
    std::string error;  // empty when the file was read
};

// The images of an .ico file, or what is wrong with its directory. The
// entries point into the bytes, which must outlive them.
IcoContents ReadIcoFile(const std::string& bytes);
