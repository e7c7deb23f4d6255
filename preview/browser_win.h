#pragma once

// One Chromium per environment: started with its watchdog, reached over DevTools, closed at the end.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cdp_client_win.h"
#include "loopback_server_win.h"

namespace preview {

struct BrowserRequest {
    std::wstring userDataFolder;  // the host's; the profile goes in its EBWebView folder
    std::string arguments;        // AdditionalBrowserArguments, or the environment variable's
    std::string language;
};

class Browser {
public:
    // Starts Chromium and connects; a failed HRESULT when it is missing or does not answer.
    static HRESULT Start(const BrowserRequest& request, std::shared_ptr<Browser>* started);
    ~Browser();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    CdpClient& Cdp() { return *cdp_; }
    const std::string& Version() const { return version_; }
    const std::string& WindowClass() const { return windowClass_; }
    // Events of the browser and its sessions, on the UI thread; one listener (the web view) at a time.
    void Listen(std::function<void(const CdpMessage&)> listener) { listener_ = std::move(listener); }
    // Runs on the UI thread when the connection ends without Close, that is when Chromium is gone.
    void ListenForEnd(std::function<void()> ended) { ended_ = std::move(ended); }
    // Whether Chromium reaches https://*.localhost/ through the relay and the loopback server; if not, the
    // host's answers go through DevTools.
    bool Relayed() const { return server_ != nullptr; }
    // On the UI thread: who answers the loopback server's requests (the web view), or nobody.
    void ServeWith(ServeFunction serve) {
        if (server_) server_->ServeWith(std::move(serve));
    }
    // Browser.close, once; the watchdog covers a host that never gets here.
    void Close();

private:
    Browser() = default;
    HRESULT Connect(const DevToolsEndpoint& endpoint);

    std::unique_ptr<CdpClient> cdp_;
    std::string version_;
    std::string windowClass_;
    std::function<void(const CdpMessage&)> listener_;
    std::function<void()> ended_;
    bool closing_ = false;
    SOCKET watchdog_ = INVALID_SOCKET;
    std::unique_ptr<LoopbackServer> server_;
};

}  // namespace preview
