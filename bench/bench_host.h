#pragma once
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/manifest.h"
#include "counting_web_view.h"
#include "fake_resource.h"
#include "webview/app_webview_win.h"

// The host's own AppWebView, wired to fake runtime objects instead of a real
// web view: requests go straight to ServeWebResource and messages straight to
// HandleWebMessage, so a figure measures the host's work and nothing else.
class BenchHost {
public:
    // exeFolder ends with a backslash; the content root is exeFolder + "www\".
    explicit BenchHost(const std::string& exeFolder, ExtensionHost* extensionHost = nullptr);

    AppWebView& app() { return *app_; }
    const CountingWebView& webView() const { return *webView_.Get(); }

    // One request answered and its body read to the end, as the web view reads
    // it. Returns the status; `bodyBytes` receives the body's length.
    int Serve(FakeRequestArgs& args, uint64_t& bodyBytes);
    // The same, keeping the body.
    int Serve(FakeRequestArgs& args, std::string& body);

private:
    AppManifest manifest_;
    Microsoft::WRL::ComPtr<FakeEnvironment> environment_;
    Microsoft::WRL::ComPtr<CountingWebView> webView_;
    std::unique_ptr<AppWebView> app_;
    std::vector<char> buffer_;
};

// Fills `record` as start-up does and loads the example extension from
// extensionFolder (ending with a backslash) into it; fails the bench when the
// library does not initialise.
void LoadExampleExtension(ExtensionHost& record, const std::string& extensionFolder);

// The URI of a file under the content root, as the page would ask for it.
std::wstring ContentUri(const std::string& requestPath);

Microsoft::WRL::ComPtr<FakeRequestArgs> MakeRequest(const std::string& requestPath,
                                                    std::optional<std::string> range = std::nullopt);
