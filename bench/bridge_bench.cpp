#include <nlohmann/json.hpp>

#include "bench_host.h"
#include "benches.h"
#include "common/strings.h"
#include "extension_copy.h"
#include "measure.h"

namespace {

const char kWrapperInit[] = R"({"type":"wrapper-init"})";
const char kExtensionMessage[] = R"({"type":"extension-message","text":"hello"})";

// What a host must do at the least: find the message's type, then post.
void CountRoundTrips(const std::string& figure, BenchHost& host, const std::string& text,
                     const std::function<void()>& floor, const ExtensionCopy& floorCopy) {
    const auto roundTrip = [&] {
        const uint64_t before = host.posts();
        host.bridge().HandleWebMessage(text);
        if (host.posts() != before + 1) Fail(figure + ": no reply was posted");
    };
    const auto floorTrip = [&] {
        const uint64_t before = floorCopy.posts();
        floor();
        if (floorCopy.posts() != before + 1) Fail(figure + ": the floor posted no reply");
    };
    const RatePair rates = CompareRates(roundTrip, floorTrip, 7, 0.3);
    PrintFigure("bridge", figure, "round trips/s", rates.host, rates.floor, rates.floor / rates.host);
}

}  // namespace

void BenchBridge(const std::string& dataFolder, const std::string& extensionFolder) {
    BenchHost host(dataFolder, extensionFolder);
    ExtensionCopy floorCopy(extensionFolder, dataFolder);

    const std::wstring reply = Utf8ToWide(R"({"registeredComponentIds":["quillframe.example.echo"],)"
                                          R"("type":"wrapper-init-response"})");
    CountRoundTrips("wrapper-init", host, kWrapperInit, [&] {
        if (nlohmann::json::parse(kWrapperInit)["type"] == "wrapper-init") floorCopy.Post(reply);
    }, floorCopy);
    CountRoundTrips("extension-message (example extension)", host, kExtensionMessage, [&] {
        if (nlohmann::json::parse(kExtensionMessage)["type"] == "extension-message")
            floorCopy.OnExtensionMessage(kExtensionMessage);
    }, floorCopy);
}
