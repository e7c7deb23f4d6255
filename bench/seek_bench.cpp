#include <shlwapi.h>

#include <cstring>

#include "bench_host.h"
#include "common/adopt_win.h"
#include "common/file_size.h"
#include "common/strings.h"
#include "content/request_path.h"
#include "content/response_plan.h"
#include "benches.h"
#include "files.h"
#include "measure.h"
#include "webview/app_webview_win.h"

using Microsoft::WRL::ComPtr;

namespace {

const char kMediaPath[] = "media/seek.bin";
constexpr uint64_t kMediaSize = 256ull << 20;
constexpr int kRangesPerSize = 64;

// Offsets spread over the whole file, the same in every run.
std::vector<uint64_t> RandomOffsets(uint64_t length, int count) {
    std::vector<uint64_t> offsets;
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < count; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        offsets.push_back((state >> 16) % (kMediaSize - length));
    }
    return offsets;
}

std::string RangeValue(uint64_t first, uint64_t length) {
    return "bytes=" + std::to_string(first) + "-" + std::to_string(first + length - 1);
}

// The first partial request on a path opens and maps the file; the floor
// opens, maps and copies the same bytes directly.
void BenchFirstRequest(const std::string& dataFolder) {
    constexpr uint64_t kLength = 64 * 1024;
    const std::wstring path = WindowsPath(dataFolder + "www\\media\\seek.bin");
    const std::vector<uint64_t> offsets = RandomOffsets(kLength, 11);
    std::vector<char> copy(kLength);
    std::vector<double> hostTimes;
    std::vector<double> floorTimes;
    for (uint64_t offset : offsets) {
        {
            FileView mapped;
            const double floorStart = Now();
            if (!MapWholeFile(path, mapped)) Fail("cannot map the media file");
            std::memcpy(copy.data(), mapped.bytes() + offset, kLength);
            floorTimes.push_back(Now() - floorStart);
        }

        BenchHost host(dataFolder);
        const BenchRequest request = MakeRequest(kMediaPath, RangeValue(offset, kLength));
        uint64_t bytes = 0;
        const double hostStart = Now();
        const int status = host.Serve(request, bytes);
        hostTimes.push_back(Now() - hostStart);
        if (status != 206 || bytes != kLength) Fail("206 expected on the first range");
    }
    const double host = Median(hostTimes) * 1000;
    const double floor = Median(floorTimes) * 1000;
    PrintFigure("seek", "first range request (maps the file), 64 KiB", "ms", host, floor, host / floor);
}

// What a range request of a mapped file pays besides the copy: the portable
// decisions (the path from the URI, the plan, the header text in UTF-16), and
// what it no longer pays: the two look-ups of the path in the file system.
struct HostParts {
    double decide;  // microseconds
    double existence;
    double fileSize;
};
HostParts MeasureHostParts(const std::string& dataFolder) {
    const std::string filePath = dataFolder + "www\\media\\seek.bin";
    const std::wstring path = WindowsPath(filePath);
    const std::string uri = kVirtualOrigin + std::string(kMediaPath);
    const std::string range = RangeValue(12345, 64 * 1024);
    const auto decide = [&] {
        const std::optional<std::string> requestPath = RequestPathFromUri(uri, std::strlen(kVirtualOrigin));
        const std::string file = FilePathFor(dataFolder + "www\\", *requestPath);
        const ResponsePlan plan = PlanResponse(true, *requestPath, static_cast<uint32_t>(kMediaSize), range);
        if (file.empty() || plan.status != 206 || Utf8ToWide(JoinHeaders(plan.headers)).empty() ||
            Utf8ToWide(plan.reason).empty())
            Fail("the plan came out wrong");
    };
    const auto exists = [&] {
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) Fail("the media file is missing");
    };
    const auto size = [&] {
        if (FileSize(filePath) != kMediaSize) Fail("the media file has the wrong size");
    };
    const auto micros = [](const auto& work) { return 1e6 / RunsPerSecond(work, RunsFor(work, 0.3, 10)); };
    return {micros(decide), micros(exists), micros(size)};
}

// Maps the media file in the host's cache and reads all of it through ranges
// cut from that view, so every page of the view is present.
void TouchHostView(BenchHost& host) {
    constexpr uint64_t kPiece = 1 << 20;
    for (uint64_t first = 0; first < kMediaSize; first += kPiece) {
        uint64_t bytes = 0;
        if (host.Serve(MakeRequest(kMediaPath, RangeValue(first, kPiece)), bytes) != 206 || bytes != kPiece)
            Fail("206 expected");
    }
    if (host.content().MappedFileCount() != 1) Fail("the media file was not mapped");
}

}  // namespace

// Throughput of partial ranges from a file already mapped, against memcpy of
// the same bytes from a view of the same file. Both views are touched in full
// first, so neither side pays for page faults.
void BenchSeek(const std::string& dataFolder) {
    BenchFirstRequest(dataFolder);

    BenchHost host(dataFolder);
    TouchHostView(host);
    FileView floorView;
    if (!MapWholeFile(WindowsPath(dataFolder + "www\\media\\seek.bin"), floorView)) Fail("cannot map the media file");
    volatile uint64_t sink = TouchPages(floorView.bytes(), kMediaSize);

    const HostParts parts = MeasureHostParts(dataFolder);
    std::vector<char> buffer(64 * 1024);
    for (uint64_t length : {uint64_t{64 * 1024}, uint64_t{1024 * 1024}}) {
        const std::vector<uint64_t> offsets = RandomOffsets(length, kRangesPerSize);
        std::vector<BenchRequest> requests;
        for (uint64_t offset : offsets) requests.push_back(MakeRequest(kMediaPath, RangeValue(offset, length)));
        std::string body;
        if (host.Serve(requests[0], body) != 206 || body.size() != length ||
            std::memcmp(body.data(), floorView.bytes() + offsets[0], length) != 0)
            Fail("a range came back wrong");

        std::vector<char> copy(length);
        size_t next = 0;
        const auto serve = [&] {
            uint64_t served = 0;
            if (host.Serve(requests[next++ % requests.size()], served) != 206 || served != length)
                Fail("a range came back short");
        };
        const auto memcopy = [&] {
            std::memcpy(copy.data(), floorView.bytes() + offsets[next++ % offsets.size()], length);
            sink = sink + static_cast<uint8_t>(copy[length / 2]);
        };
        const RatePair rates = CompareRates(serve, memcopy, 7, 0.3);
        const auto streamCopy = [&] {
            const ComPtr<IStream> stream = Adopt(SHCreateMemStream(floorView.bytes() + offsets[next++ % offsets.size()],
                                                                   static_cast<UINT>(length)));
            ULONG read = 0;
            while (stream->Read(buffer.data(), static_cast<ULONG>(buffer.size()), &read) == S_OK && read != 0) {
            }
        };
        const double megabytes = static_cast<double>(length) / 1e6;
        PrintFigure("seek", std::to_string(length / 1024) + " KiB ranges of a 256 MiB file", "MB/s",
                    rates.host * megabytes, rates.floor * megabytes, rates.floor / rates.host,
                    {{"rangeBytes", length},
                     {"microsecondsPerRequest",
                      {{"host", 1e6 / rates.host},
                       {"floor", 1e6 / rates.floor},
                       {"decisions", parts.decide},
                       {"existenceCheckNotPaid", parts.existence},
                       {"fileSizeNotPaid", parts.fileSize},
                       {"memoryStreamCopyAndRead", 1e6 / RunsPerSecond(streamCopy, RunsFor(streamCopy, 0.3, 10))}}}});
    }
}
