#include "webview/app_webview_win.h"

#include <cstdio>

#include "bridge/extension_host_win.h"
#include "common/strings.h"
#include "webview/environment_options_win.h"
#include "webview/handler_win.h"

using Microsoft::WRL::ComPtr;

AppWebView* g_appWebView = nullptr;
const char kVirtualOrigin[] = "https://quillframe.localhost/";

namespace {

// More failed runtime processes than this within a minute end the app.
constexpr size_t kRecoveriesPerMinute = 3;
constexpr uint64_t kMinuteMs = 60 * 1000;

}  // namespace

AppWebView::AppWebView(const AppManifest& manifest, const AppFolders& folders, HWND window,
                       WindowControl& windowControl, ExtensionHost* extensionHost,
                       CreateEnvironmentWithOptionsFn createEnvironmentWithOptions)
    : manifest_(manifest),
      window_(window),
      windowControl_(windowControl),
      originPrefix_(manifest.contentMode == ContentMode::Remote ? manifest.main : kVirtualOrigin),
      createEnvironmentWithOptions_(createEnvironmentWithOptions),
      browserFolder_(Utf8ToWide(folders.fixedRuntime)),
      userDataFolder_(Utf8ToWide(folders.userData)),
      content_(folders.exe + folders.content, originPrefix_.size()),
      bridge_([this](const std::string& json) { PostJsonToPage(json); }, windowControl, extensionHost),
      recoveries_(kRecoveriesPerMinute, kMinuteMs) {
    if (extensionHost) ConnectExtensionHost(bridge_, window);
}

void AppWebView::Init() {
    creationOptions_ = CreateEnvironmentOptions();
    creationOptions_->put_AdditionalBrowserArguments(Utf8ToWide(manifest_.chromiumArgs).c_str());
    CreateEnvironment();
}

void AppWebView::CreateEnvironment() {
    auto completed = MakeHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        [this](HRESULT errorCode, ICoreWebView2Environment* created) { return OnEnvironmentCreated(errorCode, created); });
    const HRESULT result = createEnvironmentWithOptions_(browserFolder_.empty() ? nullptr : browserFolder_.c_str(),
                                                         userDataFolder_.c_str(), creationOptions_.Get(),
                                                         completed.Get());
    if (FAILED(result)) FailToStart(result);
}

HRESULT AppWebView::OnEnvironmentCreated(HRESULT errorCode, ICoreWebView2Environment* createdEnvironment) {
    if (FAILED(errorCode) || !createdEnvironment) {
        FailToStart(FAILED(errorCode) ? errorCode : E_POINTER);
        return S_OK;
    }
    environment_ = createdEnvironment;
    auto completed = MakeHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
        [this](HRESULT code, ICoreWebView2Controller* created) { return OnControllerCreated(code, created); });
    const HRESULT result = environment_->CreateCoreWebView2Controller(window_, completed.Get());
    if (FAILED(result)) FailToStart(result);
    return S_OK;
}

HRESULT AppWebView::OnControllerCreated(HRESULT errorCode, ICoreWebView2Controller* createdController) {
    if (FAILED(errorCode) || !createdController) {
        FailToStart(FAILED(errorCode) ? errorCode : E_POINTER);
        return S_OK;
    }
    controller_ = createdController;
    webView_.Reset();
    controller_->get_CoreWebView2(&webView_);
    webView2_.Reset();
    if (webView_) webView_.As(&webView2_);
    if (!webView_ || !webView2_) {
        FailToStart(E_NOINTERFACE);
        return S_OK;
    }

    ConfigureSettings();
    FitToWindow();
    RegisterEventHandlers();
    webView_->Navigate(Utf8ToWide(StartUrl()).c_str());
    return S_OK;
}

void AppWebView::ConfigureSettings() {
    ComPtr<ICoreWebView2Settings> settings;
    webView_->get_Settings(&settings);
    if (!settings) return;
    settings->put_IsScriptEnabled(TRUE);
    settings->put_AreHostObjectsAllowed(FALSE);
    settings->put_AreDefaultScriptDialogsEnabled(TRUE);
    settings->put_IsWebMessageEnabled(TRUE);
    settings->put_IsZoomControlEnabled(FALSE);
    settings->put_AreDefaultContextMenusEnabled(TRUE);
    settings->put_AreDevToolsEnabled(manifest_.enableDevtools ? TRUE : FALSE);
}

std::string AppWebView::StartUrl() const {
    return manifest_.contentMode == ContentMode::Remote ? manifest_.main : originPrefix_ + manifest_.main;
}

void AppWebView::FitToWindow() {
    if (!controller_) return;
    RECT bounds{};
    GetClientRect(window_, &bounds);
    controller_->put_Bounds(bounds);
}

void AppWebView::NotifyWindowMoved() {
    if (controller_) controller_->NotifyParentWindowPositionChanged();
}

// The runtime's browser process is gone and the web view with it: everything
// is made again in the same window, from the same options, and the app starts
// over at its start page. The window, the cached files and the extension stay.
void AppWebView::RecreateWebView() {
    webView2_.Reset();
    webView_.Reset();
    controller_.Reset();
    environment_.Reset();
    CreateEnvironment();
}

void AppWebView::PostJsonToPage(const std::string& json) {
    // Texts sent before the web view exists have no page to go to.
    if (webView_) webView_->PostWebMessageAsJson(Utf8ToWide(json).c_str());
}

// A web view that cannot start would leave a hidden window running forever;
// tell the user and end the run with exit code 1 instead.
void AppWebView::FailToStart(HRESULT errorCode) {
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(errorCode));
    const std::wstring text = std::wstring(L"Failed to start the web view (") + code + L")";
    MessageBoxW(nullptr, text.c_str(), Utf8ToWide(manifest_.title).c_str(), MB_OK | MB_ICONERROR);
    DestroyWindow(window_);
    PostQuitMessage(1);
}
