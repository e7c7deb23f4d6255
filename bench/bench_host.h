#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bridge/extension_host_win.h"
#include "bridge/web_message_bridge_win.h"
#include "bridge/window_control.h"
#include "common/app_folders.h"
#include "content/content_server_win.h"

// One request as the runtime hands it to the host: the URI and, when the
// request has one, its Range value, both in UTF-16.
struct BenchRequest {
    std::wstring uri;
    std::optional<std::wstring> range;
};

// The host's content server and page bridge, driven directly: requests go
// straight to ContentServer::Serve and messages straight to
// WebMessageBridge::HandleWebMessage, so a figure measures the host's work and
// nothing else. With an extension folder, the example extension is loaded
// from it as start-up loads it and released before the bridge goes, as
// shut-down releases it.
class BenchHost {
public:
    // dataFolder ends with a backslash; the content root is dataFolder + "www\".
    explicit BenchHost(const std::string& dataFolder, const std::string& extensionFolder = std::string());
    BenchHost(const BenchHost&) = delete;
    BenchHost& operator=(const BenchHost&) = delete;
    ~BenchHost();

    const ContentServer& content() const { return content_; }
    WebMessageBridge& bridge() { return bridge_; }
    // Texts the bridge has posted to the page so far.
    uint64_t posts() const { return posts_; }

    // One request answered and its body read to the end, as the web view reads
    // it. Returns the status; `bodyBytes` receives the body's length.
    int Serve(const BenchRequest& request, uint64_t& bodyBytes);
    // The same, keeping the body.
    int Serve(const BenchRequest& request, std::string& body);

private:
    void PostToPage(const std::string& json);

    // The bench sends no message that moves or resizes the window.
    class NoWindow final : public WindowControl {
    public:
        void SetFullscreen(bool) override {}
        void SetWindowSize(int32_t, int32_t) override {}
        void SetWindowPosition(int32_t, int32_t) override {}
    };

    // Init keeps pointers into the folders until Release, so they go last.
    AppFolders extensionFolders_;
    std::unique_ptr<ExtensionHost> extension_;
    NoWindow window_;
    uint64_t posts_ = 0;
    ContentServer content_;
    WebMessageBridge bridge_;
    std::vector<char> buffer_;
};

// The URI of a file under the content root, as the page would ask for it.
std::wstring ContentUri(const std::string& requestPath);

BenchRequest MakeRequest(const std::string& requestPath, std::optional<std::string> range = std::nullopt);
