// quillframe-pack.exe: wide arguments, so that any folder name arrives intact,
// and a console that shows UTF-8 output as such.
#include <windows.h>

#include <filesystem>

#include "run_pack.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(std::filesystem::path(argv[i]).u8string());
    const UINT previous = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    const int exitCode = RunPack(args);
    SetConsoleOutputCP(previous);
    return exitCode;
}
