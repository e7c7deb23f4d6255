#pragma once
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "common/manifest.h"
#include "content/mapped_file_win.h"
#include "loader/webview2_win.h"

struct ExtensionHost;

// The one web view host: the window, its folders, the WebView2 objects, the
// cache of mapped content files and the full-screen state.
class AppWebView {
public:
    AppWebView(const AppManifest& manifest, HWND window, std::string exeFolder, std::string contentFolder,
               const wchar_t* browserExecutableFolder, std::string userDataFolder, ExtensionHost* extensionHost,
               CreateEnvironmentWithOptionsFn createEnvironmentWithOptions);
    AppWebView(const AppWebView&) = delete;
    AppWebView& operator=(const AppWebView&) = delete;

    void Init();
    void ReleaseMappedFiles();

    void SetFullscreen(bool enter);
    void SetWindowSize(int32_t width, int32_t height);
    void SetWindowPosition(int32_t x, int32_t y);

    void HandleWebMessage(const std::string& text);
    void SendWrapperInitResponse();
    void PostJsonToPage(const std::string& json);

    HRESULT ServeWebResource(ICoreWebView2WebResourceRequestedEventArgs* args);
    // The cached view of a content file, mapped on first use; null when it cannot be mapped.
    std::shared_ptr<MappedFile> MapFileView(const std::string& requestPath, const std::string& filePath);

    // Declaration order is teardown order, reversed: the taskbar list goes
    // first and the environment last.
    const AppManifest& manifest;
    ExtensionHost* extensionHost;
    HWND window;
    std::string exeFolder;
    std::string contentFolder;
    std::string userDataFolder;
    std::string originPrefix;
    const wchar_t* browserExecutableFolder;
    Microsoft::WRL::ComPtr<ICoreWebView2Environment> environment;
    Microsoft::WRL::ComPtr<ICoreWebView2Controller> controller;
    Microsoft::WRL::ComPtr<ICoreWebView2> webView;
    Microsoft::WRL::ComPtr<ICoreWebView2_2> webView2;
    Microsoft::WRL::ComPtr<ITaskbarList2> taskbarList;
    std::map<std::string, std::shared_ptr<MappedFile>> mappedFiles;
    uint64_t requestCount = 0;  // orders the cached views by last use
    bool isFullscreen = false;
    LONG savedStyle = 0;
    LONG savedExStyle = 0;
    RECT savedWindowRect{};

private:
    HRESULT OnEnvironmentCreated(HRESULT errorCode, ICoreWebView2Environment* createdEnvironment);
    HRESULT OnControllerCreated(HRESULT errorCode, ICoreWebView2Controller* createdController);
    void ConfigureSettings();
    void RegisterEventHandlers();
    std::string StartUrl() const;
    void FailToStart(HRESULT errorCode);

    CreateEnvironmentWithOptionsFn createEnvironmentWithOptions_;
};

// The one AppWebView while the message loop runs; null before and after.
extern AppWebView* g_appWebView;

// The fixed virtual origin the app's files are served under. Page storage is
// keyed by it, so the host name must never change.
extern const char kVirtualOrigin[];
