#include <cstdio>

#include "bench_host.h"
#include "benches.h"
#include "files.h"
#include "measure.h"

namespace {

struct SmallFiles {
    const char* label;  // as the files are named: small/<label>_NN.bin
    uint64_t size;
};
constexpr SmallFiles kSizes[] = {{"1k", 1024}, {"16k", 16 * 1024}, {"256k", 256 * 1024}};

std::string SmallFilePath(const char* label, int index) {
    char name[64];
    std::snprintf(name, sizeof name, "small/%s_%02d.bin", label, index);
    return name;
}

}  // namespace

// Requests per second answering 200 with the whole file, against opening,
// reading and closing the same files directly.
void BenchServe(const std::string& dataFolder) {
    BenchHost host(dataFolder);
    std::vector<char> buffer(64 * 1024);
    for (const SmallFiles& files : kSizes) {
        std::vector<BenchRequest> requests;
        std::vector<std::wstring> paths;
        for (int i = 0; i < kSmallFilesPerSize; ++i) {
            const std::string requestPath = SmallFilePath(files.label, i);
            requests.push_back(MakeRequest(requestPath));
            paths.push_back(WindowsPath(dataFolder + "www\\" + requestPath));
        }
        std::string body;
        if (host.Serve(requests[0], body) != 200 || body.size() != files.size) Fail("200 expected");

        size_t next = 0;
        const auto serve = [&] {
            uint64_t bytes = 0;
            if (host.Serve(requests[next++ % requests.size()], bytes) != 200 || bytes != files.size)
                Fail("a served file came back short");
        };
        const auto read = [&] {
            if (ReadWholeFile(paths[next++ % paths.size()], buffer) != files.size) Fail("a file read came back short");
        };
        const RatePair rates = CompareRates(serve, read, 7, 0.3);
        PrintFigure("serve", std::string(files.label) + " files, 200", "requests/s", rates.host, rates.floor,
                    rates.floor / rates.host, {{"fileBytes", files.size}});
    }
}
