#include "browser_win.h"

#include <set>

#include "common/strings.h"
#include "launch.h"
#include "ui_thread_win.h"
#include "unix_win.h"

namespace preview {

namespace {

const char kChromium[] = "/usr/lib/chromium/chromium";
constexpr DWORD kStartTimeoutMs = 30000;

// Browsers alive on the UI thread; events for one that is gone are dropped.
std::set<Browser*>& LiveBrowsers() {
    static std::set<Browser*> live;
    return live;
}

std::string ChromiumPath() {
    // Tests point this elsewhere to see a start fail.
    char path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("QUILLFRAME_PREVIEW_CHROMIUM", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string(kChromium);
}

std::optional<DevToolsEndpoint> WaitForEndpoint(const std::wstring& profile, std::optional<int> explicitPort) {
    const ULONGLONG deadline = GetTickCount64() + kStartTimeoutMs;
    while (GetTickCount64() < deadline) {
        if (explicitPort) {
            // Chromium writes no DevToolsActivePort for a port it was given.
            if (auto answer = LoopbackGet(*explicitPort, "/json/version", 2000))
                if (auto endpoint = ParseVersionAnswer(*explicitPort, *answer)) return endpoint;
        } else if (auto text = ReadWholeFile(profile + L"\\DevToolsActivePort")) {
            if (auto endpoint = ParseDevToolsActivePort(*text)) return endpoint;
        }
        Sleep(20);
    }
    return std::nullopt;
}

std::string ProductVersion(const std::string& product) {
    const size_t slash = product.find('/');
    return slash == std::string::npos ? product : product.substr(slash + 1);
}

}  // namespace

HRESULT Browser::Start(const BrowserRequest& request, std::shared_ptr<Browser>* started) {
    const std::string chromium = ChromiumPath();
    if (GetFileAttributesW(WindowsPathOf(chromium).c_str()) == INVALID_FILE_ATTRIBUTES) {
        Log("no Chromium at " + chromium);
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    const std::wstring profile = request.userDataFolder + L"\\EBWebView";
    CreateDirectoryW(request.userDataFolder.c_str(), nullptr);
    CreateDirectoryW(profile.c_str(), nullptr);
    SetLogFile(profile + L"\\preview.log");
    const auto unixProfile = UnixPath(profile);
    const auto hostPid = HostUnixPid();
    if (!unixProfile || !hostPid) return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    DeleteFileW((profile + L"\\DevToolsActivePort").c_str());

    std::shared_ptr<Browser> browser(new Browser());
    browser->windowClass_ = "quillframe-preview-" + std::to_string(*hostPid);
    LaunchSettings settings;
    settings.chromium = chromium;
    settings.userDataDir = *unixProfile;
    settings.windowClass = browser->windowClass_;
    settings.language = request.language;
    settings.extraArguments = SplitCommandLine(request.arguments);
    const std::string commandLine = WatchdogCommandLine(*hostPid, *unixProfile + "/chromium.log", ChromiumArguments(settings));
    if (!StartUnixCommand(commandLine)) {
        const HRESULT failed = HRESULT_FROM_WIN32(GetLastError());
        Log("could not start " + chromium);
        return FAILED(failed) ? failed : E_FAIL;
    }
    const auto endpoint = WaitForEndpoint(profile, ExplicitDebuggingPort(settings.extraArguments));
    if (!endpoint) {
        Log("Chromium did not open its DevTools endpoint");
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    const HRESULT connected = browser->Connect(*endpoint);
    if (FAILED(connected)) return connected;
    *started = std::move(browser);
    return S_OK;
}

HRESULT Browser::Connect(const DevToolsEndpoint& endpoint) {
    LiveBrowsers().insert(this);
    cdp_ = CdpClient::Connect(
        endpoint,
        [this](CdpMessage event) {
            if (LiveBrowsers().count(this) && listener_) listener_(event);
        },
        [this] {
            if (LiveBrowsers().count(this) && !closing_) Log("Chromium ended; the window stays without its page");
        });
    if (!cdp_) return HRESULT_FROM_WIN32(ERROR_CONNECTION_REFUSED);
    const auto version = cdp_->Call("Browser.getVersion", nullptr);
    if (!version || !version->error.empty()) return HRESULT_FROM_WIN32(ERROR_CONNECTION_ABORTED);
    version_ = ProductVersion(version->params.value("product", std::string()));
    return S_OK;
}

void Browser::Close() {
    if (closing_ || !cdp_) return;
    closing_ = true;
    cdp_->Call("Browser.close", nullptr, {}, 2000);
}

Browser::~Browser() {
    LiveBrowsers().erase(this);
    Close();
}

}  // namespace preview
