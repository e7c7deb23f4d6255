#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "common/unique_handle_win.h"

// One read-only view of a whole content file. The file stays open with read
// sharing only, so while this record lives nobody can write, truncate, rename
// or delete the file: the view and its length describe the file exactly.
// Members are declared so that teardown unmaps the view, then closes the
// mapping, then the file.
struct MappedFile {
    UniqueFileHandle file;
    UniqueKernelHandle mapping;
    UniqueMapView view;
    uint32_t length = 0;
    uint64_t lastUse = 0;  // the host's request counter when the view last answered; only the UI thread touches it

    const uint8_t* bytes() const { return static_cast<const uint8_t*>(view.get()); }
};

// Opens the file at a UTF-8 path and maps the whole of it (1 byte to 2 GiB - 1).
// Null when it cannot be opened, is empty or too large, or when the system has
// no room for the view; `noRoom` tells the last case apart, since dropping
// other views may make room.
std::shared_ptr<MappedFile> MapWholeFile(const std::string& filePath, bool& noRoom);
