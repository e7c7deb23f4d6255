#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/unique_handle_win.h"

// qf_file_locker READY RELEASE FILE...: opens every FILE for reading with no
// sharing at all, as another program holding a file exclusively would, then
// creates READY and keeps the files until RELEASE exists (two minutes at most).
// READY holds "locked", or "failed N" when FILE number N could not be opened.
namespace {

bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

void WriteReady(const wchar_t* path, const std::string& text) {
    const UniqueFileHandle file(
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: qf_file_locker READY RELEASE FILE...\n");
        return 2;
    }
    std::vector<UniqueFileHandle> held;
    for (int i = 3; i < argc; ++i) {
        held.emplace_back(CreateFileW(argv[i], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!held.back()) {
            WriteReady(argv[1], "failed " + std::to_string(i - 3));
            return 1;
        }
    }
    WriteReady(argv[1], "locked");
    for (int waited = 0; waited < 120000 && !Exists(argv[2]); waited += 50) Sleep(50);
    return 0;
}
