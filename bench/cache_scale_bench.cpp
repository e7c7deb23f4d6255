#include <cstdio>
#include <memory>

#include "bench_host.h"
#include "benches.h"
#include "files.h"
#include "measure.h"

namespace {

std::string BigFile(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "big/%03d.bin", index);
    return name;
}

}  // namespace

// How many distinct 256 MiB files can be seeked in one run, and how many views
// the host holds at once. The floor maps the same files directly, holding
// every view, until the address space runs out; then it lets them all go and
// the host seeks every file offered, then the first one again.
void BenchCacheScale(const std::string& folder, int files) {
    int floorCount = 0;
    {
        std::vector<std::unique_ptr<FileView>> views;
        for (; floorCount < files; ++floorCount) {
            auto mapped = std::make_unique<FileView>();
            if (!MapWholeFile(WindowsPath(folder + "www\\" + BigFile(floorCount)), *mapped)) break;
            views.push_back(std::move(mapped));
        }
    }

    BenchHost host(folder);
    int hostCount = 0;
    int failedStatus = 0;
    for (; hostCount <= files; ++hostCount) {
        uint64_t bytes = 0;
        const int status = host.Serve(MakeRequest(BigFile(hostCount % files), "bytes=0-99"), bytes);
        if (status != 206) {
            failedStatus = status;
            break;
        }
    }

    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const double addressSpace = static_cast<double>(reinterpret_cast<UINT_PTR>(system.lpMaximumApplicationAddress));
    PrintFigure("cache scale", "256 MiB files seeked in one run (each, then the first again)", "seeks",
                hostCount, files + 1, hostCount ? static_cast<double>(files + 1) / hostCount : 0,
                {{"filesOffered", files},
                 {"mappableAtOnce", floorCount},
                 {"viewsHeldAtEnd", host.content().MappedFileCount()},
                 {"statusAtFailure", failedStatus},
                 {"pointerBits", sizeof(void*) * 8},
                 {"highestAddressMiB", addressSpace / (1 << 20)}});
}
