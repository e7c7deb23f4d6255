#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "benches.h"
#include "common/strings.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: qf_bench serve DATA\\ | seek DATA\\ | bridge DATA\\ EXTENSION\\ |\n"
                 "                footprint DATA\\ EXTENSION\\ | scale FOLDER\\ COUNT\n");
    return 2;
}

}  // namespace

// One item per run, so every item starts from a fresh process.
int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return Usage();
    const std::wstring item = argv[1];
    const std::string first = WideToUtf8(argv[2]);
    const std::string second = argc > 3 ? WideToUtf8(argv[3]) : std::string();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (item == L"serve") {
        BenchServe(first);
    } else if (item == L"seek") {
        BenchSeek(first);
    } else if (item == L"bridge" && argc > 3) {
        BenchBridge(first, second);
    } else if (item == L"footprint" && argc > 3) {
        BenchFootprint(first, second);
    } else if (item == L"scale" && argc > 3) {
        BenchCacheScale(first, std::atoi(second.c_str()));
    } else {
        return Usage();
    }
    return 0;
}
