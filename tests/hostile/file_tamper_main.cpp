#include <windows.h>

#include <cstdio>
#include <string>

#include "common/unique_handle_win.h"

// qf_file_tamper FILE: tries what another program might do to a file the host
// serves (append to it, truncate it, rename it, delete it) and prints one line
// per attempt: "<attempt> done" or "<attempt> refused <Windows error code>".
// Files changed from outside the Windows session would skip the share checks
// that these attempts go through.
namespace {

void Report(const char* attempt, bool done) {
    if (done) std::printf("%s done\n", attempt);
    else std::printf("%s refused %lu\n", attempt, GetLastError());
}

bool Append(const wchar_t* path) {
    const UniqueFileHandle file(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), "more", 4, &written, nullptr) && written == 4;
}

bool Truncate(const wchar_t* path) {
    const UniqueFileHandle file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && SetEndOfFile(file.get());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qf_file_tamper FILE\n");
        return 2;
    }
    const std::wstring path = argv[1];
    const std::wstring moved = path + L".moved";
    Report("append", Append(path.c_str()));
    Report("truncate", Truncate(path.c_str()));
    const bool renamed = MoveFileW(path.c_str(), moved.c_str());
    Report("rename", renamed);
    Report("delete", DeleteFileW(renamed ? moved.c_str() : path.c_str()));
    return 0;
}
