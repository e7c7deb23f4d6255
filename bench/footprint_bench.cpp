#include <cstdio>

#include "bench_host.h"
#include "benches.h"
#include "measure.h"
#include "process_handles.h"

namespace {

std::string SmallFile(int kind, int index) {
    static const char* const kLabels[] = {"1k", "16k", "256k"};
    char name[64];
    std::snprintf(name, sizeof name, "small/%s_%02d.bin", kLabels[kind], index % kSmallFilesPerSize);
    return name;
}

// One request of the mix: files whole and in ranges, misses, refused ranges,
// and the page's messages, good and bad. Each request is made afresh, as the
// web view hands over a new one every time.
void MixedRequest(BenchHost& host, int i) {
    uint64_t bytes = 0;
    const int kind = i % 9;
    const uint64_t offset = (static_cast<uint64_t>(i) * 7919 * 4096) % ((256ull << 20) - 65536);
    switch (kind) {
    case 0:
    case 1:
    case 2:
        if (host.Serve(MakeRequest(SmallFile(kind, i)), bytes) != 200) Fail("200 expected");
        break;
    case 3: {
        const std::string range = "bytes=" + std::to_string(offset) + "-" + std::to_string(offset + 65535);
        if (host.Serve(MakeRequest("media/seek.bin", range), bytes) != 206) Fail("206 expected");
        break;
    }
    case 4:
        if (host.Serve(MakeRequest("small/missing.bin"), bytes) != 404) Fail("404 expected");
        break;
    case 5:
        if (host.Serve(MakeRequest(SmallFile(0, i), "bytes=5000-"), bytes) != 416) Fail("416 expected");
        break;
    case 6:
        host.bridge().HandleWebMessage(R"({"type":"wrapper-init"})");
        break;
    case 7:
        host.bridge().HandleWebMessage(R"({"type":"extension-message","n":)" + std::to_string(i) + "}");
        break;
    default:
        host.bridge().HandleWebMessage(R"({"type":"wrapper-init")");
        break;
    }
}

void PrintGrowth(const std::string& figure, const std::string& unit, double early, double late,
                 const std::string& source) {
    PrintFigure("footprint", figure, unit, late, early, late / early, {{"source", source}});
}

}  // namespace

// Private bytes and handles after 10,000 mixed requests against the same
// after the first 100: anything the host keeps per request shows as growth.
void BenchFootprint(const std::string& dataFolder, const std::string& extensionFolder) {
    BenchHost host(dataFolder, extensionFolder);

    int done = 0;
    for (; done < 100; ++done) MixedRequest(host, done);
    const ProcessCounts early = CountOwnResources();
    for (; done < 10000; ++done) MixedRequest(host, done);
    const ProcessCounts late = CountOwnResources();

    PrintGrowth("private bytes after 10,000 requests (floor: after 100)", "bytes", early.privateBytes,
                late.privateBytes, late.privateBytesSource);
    PrintGrowth("handles after 10,000 requests (floor: after 100)", "handles", early.handles, late.handles,
                late.handlesSource);
}
