#pragma once
#include <windows.h>
#include <wrl/client.h>

#include <string>

#include "bridge/web_message_bridge_win.h"
#include "bridge/window_control.h"
#include "common/app_folders.h"
#include "common/manifest.h"
#include "content/content_server_win.h"
#include "loader/webview2_win.h"
#include "webview/recovery_budget.h"

struct ExtensionHost;

// The one web view host: creates the runtime's environment, controller and web
// view in the main window, configures them, registers the event handlers and
// wires the content server and the page bridge to them.
class AppWebView {
public:
    AppWebView(const AppManifest& manifest, const AppFolders& folders, HWND window, WindowControl& windowControl,
               ExtensionHost* extensionHost, CreateEnvironmentWithOptionsFn createEnvironmentWithOptions);
    AppWebView(const AppWebView&) = delete;
    AppWebView& operator=(const AppWebView&) = delete;

    // Asks the runtime for the environment; everything else follows from its answers.
    void Init();
    void ReleaseMappedFiles() { content_.ReleaseMappedFiles(); }

    // The window procedure keeps the web view in step with the main window.
    void FitToWindow();
    void NotifyWindowMoved();

private:
    void CreateEnvironment();
    HRESULT OnEnvironmentCreated(HRESULT errorCode, ICoreWebView2Environment* createdEnvironment);
    HRESULT OnControllerCreated(HRESULT errorCode, ICoreWebView2Controller* createdController);
    void ConfigureSettings();
    void RegisterEventHandlers();
    void RegisterContentHandlers();
    std::string StartUrl() const;
    void FailToStart(HRESULT errorCode);
    void PostJsonToPage(const std::string& json);

    // Event handlers, in the order they are registered.
    void OnDocumentTitleChanged();
    void OnWebResourceRequested(ICoreWebView2WebResourceRequestedEventArgs* args);
    void OnNavigationStarting(ICoreWebView2NavigationStartingEventArgs* args);
    void OnPermissionRequested(ICoreWebView2PermissionRequestedEventArgs* args);
    void OnContainsFullScreenElementChanged();
    void OnWindowCloseRequested();
    void OnNewWindowRequested(ICoreWebView2NewWindowRequestedEventArgs* args);
    void OnWebMessageReceived(ICoreWebView2WebMessageReceivedEventArgs* args);
    void OnDOMContentLoaded();
    void OnProcessFailed(ICoreWebView2ProcessFailedEventArgs* args);
    void RecreateWebView();

    const AppManifest& manifest_;
    HWND window_;
    WindowControl& windowControl_;
    std::string originPrefix_;
    CreateEnvironmentWithOptionsFn createEnvironmentWithOptions_;
    // What the environment is created from. A loader may read these again,
    // through the pointers it was given, after its first attempt failed, even
    // once the completion has reported the failure; so they live as long as
    // this host.
    std::wstring browserFolder_;
    std::wstring userDataFolder_;
    Microsoft::WRL::ComPtr<ICoreWebView2EnvironmentOptions> creationOptions_;
    // Declaration order is teardown order, reversed: the bridge and the cached
    // views go first, the environment last.
    Microsoft::WRL::ComPtr<ICoreWebView2Environment> environment_;
    Microsoft::WRL::ComPtr<ICoreWebView2Controller> controller_;
    Microsoft::WRL::ComPtr<ICoreWebView2> webView_;
    Microsoft::WRL::ComPtr<ICoreWebView2_2> webView2_;
    ContentServer content_;
    WebMessageBridge bridge_;
    RecoveryBudget recoveries_;
};

// The one AppWebView while the message loop runs; null before and after.
extern AppWebView* g_appWebView;

// The fixed virtual origin the app's files are served under. Page storage is
// keyed by it, so the host name must never change.
extern const char kVirtualOrigin[];
