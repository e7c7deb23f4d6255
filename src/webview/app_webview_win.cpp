#include "webview/app_webview_win.h"

#include <cstdio>

#include "bridge/extension_host_win.h"
#include "common/strings.h"
#include "webview/environment_options_win.h"
#include "webview/handler_win.h"

using Microsoft::WRL::ComPtr;

AppWebView* g_appWebView = nullptr;
const char kVirtualOrigin[] = "https://quillframe.localhost/";

AppWebView::AppWebView(const AppManifest& manifest, HWND window, std::string exeFolder, std::string contentFolder,
                       const wchar_t* browserExecutableFolder, std::string userDataFolder,
                       ExtensionHost* extensionHost, CreateEnvironmentWithOptionsFn createEnvironmentWithOptions)
    : manifest(manifest),
      extensionHost(extensionHost),
      window(window),
      exeFolder(std::move(exeFolder)),
      contentFolder(std::move(contentFolder)),
      userDataFolder(std::move(userDataFolder)),
      originPrefix(manifest.contentMode == ContentMode::Remote ? manifest.main : kVirtualOrigin),
      browserExecutableFolder(browserExecutableFolder),
      createEnvironmentWithOptions_(createEnvironmentWithOptions) {
    if (extensionHost) extensionHost->appWebView = this;
}

void AppWebView::Init() {
    ComPtr<ICoreWebView2EnvironmentOptions> options = CreateEnvironmentOptions();
    options->put_AdditionalBrowserArguments(Utf8ToWide(manifest.chromiumArgs).c_str());
    auto completed = MakeHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        [this](HRESULT errorCode, ICoreWebView2Environment* created) { return OnEnvironmentCreated(errorCode, created); });
    const HRESULT result = createEnvironmentWithOptions_(browserExecutableFolder, Utf8ToWide(userDataFolder).c_str(),
                                                         options.Get(), completed.Get());
    if (FAILED(result)) FailToStart(result);
}

HRESULT AppWebView::OnEnvironmentCreated(HRESULT errorCode, ICoreWebView2Environment* createdEnvironment) {
    if (FAILED(errorCode) || !createdEnvironment) {
        FailToStart(FAILED(errorCode) ? errorCode : E_POINTER);
        return S_OK;
    }
    environment = createdEnvironment;
    auto completed = MakeHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
        [this](HRESULT code, ICoreWebView2Controller* created) { return OnControllerCreated(code, created); });
    const HRESULT result = environment->CreateCoreWebView2Controller(window, completed.Get());
    if (FAILED(result)) FailToStart(result);
    return S_OK;
}

HRESULT AppWebView::OnControllerCreated(HRESULT errorCode, ICoreWebView2Controller* createdController) {
    if (FAILED(errorCode) || !createdController) {
        FailToStart(FAILED(errorCode) ? errorCode : E_POINTER);
        return S_OK;
    }
    controller = createdController;
    webView.Reset();
    controller->get_CoreWebView2(&webView);
    webView2.Reset();
    if (webView) webView.As(&webView2);
    if (!webView || !webView2) {
        FailToStart(E_NOINTERFACE);
        return S_OK;
    }

    ConfigureSettings();
    RECT bounds{};
    GetClientRect(window, &bounds);
    controller->put_Bounds(bounds);
    RegisterEventHandlers();
    webView->Navigate(Utf8ToWide(StartUrl()).c_str());
    return S_OK;
}

void AppWebView::ConfigureSettings() {
    ComPtr<ICoreWebView2Settings> settings;
    webView->get_Settings(&settings);
    if (!settings) return;
    settings->put_IsScriptEnabled(TRUE);
    settings->put_AreHostObjectsAllowed(FALSE);
    settings->put_AreDefaultScriptDialogsEnabled(TRUE);
    settings->put_IsWebMessageEnabled(TRUE);
    settings->put_IsZoomControlEnabled(FALSE);
    settings->put_AreDefaultContextMenusEnabled(TRUE);
    settings->put_AreDevToolsEnabled(manifest.enableDevtools ? TRUE : FALSE);
}

std::string AppWebView::StartUrl() const {
    return manifest.contentMode == ContentMode::Remote ? manifest.main : originPrefix + manifest.main;
}

// A web view that cannot start would leave a hidden window running forever;
// tell the user and end the run with exit code 1 instead.
void AppWebView::FailToStart(HRESULT errorCode) {
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(errorCode));
    const std::wstring text = std::wstring(L"Failed to start the web view (") + code + L")";
    MessageBoxW(nullptr, text.c_str(), Utf8ToWide(manifest.title).c_str(), MB_OK | MB_ICONERROR);
    DestroyWindow(window);
    PostQuitMessage(1);
}

void AppWebView::ReleaseMappedFiles() {
    // Each record unmaps its view, then closes the mapping, then the file; one
    // that a response stream still reads goes when that stream is released.
    mappedFiles.clear();
}
