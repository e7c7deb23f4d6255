#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/unique_handle_win.h"

// Direct file access: the floors the host's file serving is measured against.

// Opens, reads to the end in the pieces `buffer` holds, and closes; the bytes read.
uint64_t ReadWholeFile(const std::wstring& path, std::vector<char>& buffer);

// A read-only view of a whole file, opened the way the host opens one.
struct FileView {
    UniqueFileHandle file;
    UniqueKernelHandle mapping;
    UniqueMapView view;

    const uint8_t* bytes() const { return static_cast<const uint8_t*>(view.get()); }
};
// False when the file cannot be opened or mapped.
bool MapWholeFile(const std::wstring& path, FileView& mapped);

// Reads one byte of every page, so later copies find the pages present.
uint64_t TouchPages(const uint8_t* bytes, uint64_t length);

// The long-path form of a UTF-8 path, as the host passes it to Windows.
std::wstring WindowsPath(const std::string& path);
