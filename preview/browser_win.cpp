#include "browser_win.h"

#include <set>

#include "common/strings.h"
#include "common/unique_handle_win.h"
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
    const std::string path = EnvironmentValue("QUILLFRAME_PREVIEW_CHROMIUM");
    return path.empty() ? std::string(kChromium) : path;
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

// A listening loopback socket for the watchdog to connect to.
struct WatchdogLink {
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
};

WatchdogLink ListenForWatchdog() {
    WatchdogLink link;
    link.listener = ListenOnLoopback(1, &link.port);
    return link.listener == INVALID_SOCKET ? WatchdogLink{} : link;
}

// The watchdog's connection, kept open for the life of the process (or of the browser).
SOCKET AcceptWatchdog(WatchdogLink link) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(link.listener, &ready);
    timeval wait{10, 0};
    SOCKET accepted = select(0, &ready, nullptr, nullptr, &wait) == 1 ? accept(link.listener, nullptr, nullptr)
                                                                      : INVALID_SOCKET;
    closesocket(link.listener);
    return accepted;
}

// preview.sh --watch reaches the page through the browser's endpoint, which it reads from the file that
// QUILLFRAME_PREVIEW_ENDPOINT_FILE names (a Unix path); the file appears whole, under its name, at once.
void ShareEndpoint(const DevToolsEndpoint& endpoint) {
    const std::string file = EnvironmentValue("QUILLFRAME_PREVIEW_ENDPOINT_FILE");
    if (file.empty()) return;
    const std::wstring path = WindowsPathOf(file), part = path + L".part";
    const std::string url = "ws://127.0.0.1:" + std::to_string(endpoint.port) + endpoint.path + "\n";
    {
        UniqueFileHandle out(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                         nullptr));
        DWORD written = 0;
        if (!out || !WriteFile(out.get(), url.data(), static_cast<DWORD>(url.size()), &written, nullptr)) return;
    }
    MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string FirstLine(const std::optional<std::string>& text) {
    return text ? text->substr(0, text->find_first_of("\r\n")) : std::string();
}

struct RelayPlan {
    Relay relay;
    RelayCommand command;
};

// The loopback server, and how the relay in front of it starts; nothing when this machine cannot relay.
std::optional<RelayPlan> PrepareRelay(const std::wstring& profile, const std::string& unixProfile,
                                      std::unique_ptr<LoopbackServer>* server) {
    if (EnvironmentValue("QUILLFRAME_PREVIEW_RELAY") == "0") return std::nullopt;
    const std::string folder = unixProfile + "/relay";
    const char* missing = GetFileAttributesW(L"Z:\\usr\\bin\\python3") == INVALID_FILE_ATTRIBUTES   ? "python3"
                          : GetFileAttributesW(L"Z:\\usr\\bin\\openssl") == INVALID_FILE_ATTRIBUTES ? "openssl"
                                                                                                  : nullptr;
    if (missing) {
        Log(std::string(missing) + " is not installed: the host's answers go through DevTools (slower, none over 48 MiB)");
        return std::nullopt;
    }
    std::string spki = FirstLine(ReadWholeFile(profile + L"\\relay\\relay.spki"));
    if (!IsSpkiHash(spki) || GetFileAttributesW((profile + L"\\relay\\relay.pem").c_str()) == INVALID_FILE_ATTRIBUTES)
        spki = FirstLine(RunShell(RelayKeyScript(folder), kStartTimeoutMs));
    auto started = IsSpkiHash(spki) ? LoopbackServer::Start() : nullptr;
    const int port = FreeLoopbackPort();
    if (!started || !port) {
        Log("the relay could not be prepared: the host's answers go through DevTools");
        return std::nullopt;
    }
    RelayPlan plan{{port, spki}, RelayCommandFor(folder, port, started->Port())};
    *server = std::move(started);
    return plan;
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
    if (!unixProfile) return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    DeleteFileW((profile + L"\\DevToolsActivePort").c_str());

    std::shared_ptr<Browser> browser(new Browser());
    WatchdogLink link = ListenForWatchdog();
    if (!link.port) return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
    browser->windowClass_ = "quillframe-preview-" + std::to_string(link.port);
    LaunchSettings settings;
    settings.chromium = chromium;
    settings.userDataDir = *unixProfile;
    settings.windowClass = browser->windowClass_;
    settings.language = request.language;
    settings.extraArguments = SplitCommandLine(request.arguments);
    const auto relay = PrepareRelay(profile, *unixProfile, &browser->server_);
    if (relay) settings.relay = relay->relay;
    const std::string commandLine = WatchdogCommandLine(link.port, *unixProfile + "/chromium.log",
                                                        relay ? std::optional(relay->command) : std::nullopt,
                                                        ChromiumArguments(settings));
    if (!StartUnixCommand(commandLine)) {
        const HRESULT failed = HRESULT_FROM_WIN32(GetLastError());
        Log("could not start " + chromium);
        return FAILED(failed) ? failed : E_FAIL;
    }
    browser->watchdog_ = AcceptWatchdog(std::move(link));
    if (browser->watchdog_ == INVALID_SOCKET) {
        Log("the watchdog did not start");
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    const auto endpoint = WaitForEndpoint(profile, ExplicitDebuggingPort(settings.extraArguments));
    if (!endpoint) {
        Log("Chromium did not open its DevTools endpoint");
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    const HRESULT connected = browser->Connect(*endpoint);
    if (FAILED(connected)) return connected;
    ShareEndpoint(*endpoint);
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
            if (!LiveBrowsers().count(this) || closing_) return;
            Log("Chromium ended");
            // A copy: the listener may release this browser.
            if (const auto ended = ended_) ended();
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
    // The watchdog sees its connection end and ends whatever is left of Chromium.
    if (watchdog_ != INVALID_SOCKET) closesocket(watchdog_);
}

}  // namespace preview
