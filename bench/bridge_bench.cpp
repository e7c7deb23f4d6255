#include <nlohmann/json.hpp>

#include "bench_host.h"
#include "benches.h"
#include "bridge/extension_host_win.h"
#include "common/strings.h"
#include "extension_copy.h"
#include "measure.h"

using Microsoft::WRL::ComPtr;

namespace {

const char kWrapperInit[] = R"({"type":"wrapper-init"})";
const char kExtensionMessage[] = R"({"type":"extension-message","text":"hello"})";

// What a host must do at the least: find the message's type, then post.
void CountRoundTrips(const std::string& figure, BenchHost& host, const std::string& text,
                     const std::function<void()>& floor, const CountingWebView& floorView) {
    const auto roundTrip = [&] {
        const uint64_t before = host.webView().posts();
        host.app().HandleWebMessage(text);
        if (host.webView().posts() != before + 1) Fail(figure + ": no reply was posted");
    };
    const auto floorTrip = [&] {
        const uint64_t before = floorView.posts();
        floor();
        if (floorView.posts() != before + 1) Fail(figure + ": the floor posted no reply");
    };
    const RatePair rates = CompareRates(roundTrip, floorTrip, 7, 0.3);
    PrintFigure("bridge", figure, "round trips/s", rates.host, rates.floor, rates.floor / rates.host);
}

}  // namespace

void BenchBridge(const std::string& dataFolder, const std::string& extensionFolder) {
    ExtensionHost record;
    LoadExampleExtension(record, extensionFolder);
    BenchHost host(dataFolder, &record);

    ExtensionCopy floorExtension(extensionFolder, dataFolder);
    const CountingWebView& floorView = floorExtension.webView();

    const std::wstring reply = Utf8ToWide(R"({"registeredComponentIds":["quillframe.example.echo"],)"
                                          R"("type":"wrapper-init-response"})");
    CountRoundTrips("wrapper-init", host, kWrapperInit, [&] {
        if (nlohmann::json::parse(kWrapperInit)["type"] == "wrapper-init") floorExtension.Post(reply);
    }, floorView);
    CountRoundTrips("extension-message (example extension)", host, kExtensionMessage, [&] {
        if (nlohmann::json::parse(kExtensionMessage)["type"] == "extension-message")
            floorExtension.OnExtensionMessage(kExtensionMessage);
    }, floorView);

    ReleaseExtensionLibrary();
    g_extensionHost = nullptr;
}
