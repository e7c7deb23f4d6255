#pragma once

// ICoreWebView2 over one attached page target: navigation, serving, the bridge and the page's notices.

#include <deque>
#include <optional>

#include "page_console_win.h"
#include "shim.h"
#include "web_view_win.h"

namespace preview {

#define QF_PREVIEW_UNUSED_EVENT(Name, Handler)                                                    \
    HRESULT STDMETHODCALLTYPE add_##Name(Handler*, EventRegistrationToken*) override { return E_NOTIMPL; } \
    HRESULT STDMETHODCALLTYPE remove_##Name(EventRegistrationToken) override { return E_NOTIMPL; }
#define QF_PREVIEW_EVENT(Name, Handler, list)                                                                 \
    HRESULT STDMETHODCALLTYPE add_##Name(Handler* handler, EventRegistrationToken* token) override {            \
        return list.Add(handler, token);                                                                       \
    }                                                                                                          \
    HRESULT STDMETHODCALLTYPE remove_##Name(EventRegistrationToken token) override { return list.Remove(token); }

class WebView final : public ComObject<WebView, ICoreWebView2_2, ICoreWebView2> {
public:
    WebView(std::shared_ptr<Browser> browser, ICoreWebView2Environment* environment, std::string targetId,
            std::string sessionId);
    // Subscribes to the page and installs the shim; false when Chromium refuses.
    bool Start();
    void Detach();

    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override;
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) override { return ReturnString(source_, uri); }
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override;
    HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR) override { return E_NOTIMPL; }
    QF_PREVIEW_EVENT(NavigationStarting, ICoreWebView2NavigationStartingEventHandler, navigationStarting_)
    QF_PREVIEW_UNUSED_EVENT(ContentLoading, ICoreWebView2ContentLoadingEventHandler)
    QF_PREVIEW_UNUSED_EVENT(SourceChanged, ICoreWebView2SourceChangedEventHandler)
    QF_PREVIEW_UNUSED_EVENT(HistoryChanged, ICoreWebView2HistoryChangedEventHandler)
    QF_PREVIEW_UNUSED_EVENT(NavigationCompleted, ICoreWebView2NavigationCompletedEventHandler)
    QF_PREVIEW_UNUSED_EVENT(FrameNavigationStarting, ICoreWebView2NavigationStartingEventHandler)
    QF_PREVIEW_UNUSED_EVENT(FrameNavigationCompleted, ICoreWebView2NavigationCompletedEventHandler)
    QF_PREVIEW_UNUSED_EVENT(ScriptDialogOpening, ICoreWebView2ScriptDialogOpeningEventHandler)
    QF_PREVIEW_EVENT(PermissionRequested, ICoreWebView2PermissionRequestedEventHandler, permissionRequested_)
    QF_PREVIEW_EVENT(ProcessFailed, ICoreWebView2ProcessFailedEventHandler, processFailed_)
    HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
        LPCWSTR, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR, ICoreWebView2ExecuteScriptCompletedHandler*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT, IStream*,
                                             ICoreWebView2CapturePreviewCompletedHandler*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reload() override;
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR json) override;
    HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR text) override;
    QF_PREVIEW_EVENT(WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler, webMessageReceived_)
    HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethod(LPCWSTR, LPCWSTR,
                                                         ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* id) override { return ReturnValue<UINT32>(0, id); }
    HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL* value) override { return ReturnValue<BOOL>(FALSE, value); }
    HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL* value) override { return ReturnValue<BOOL>(FALSE, value); }
    HRESULT STDMETHODCALLTYPE GoBack() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoForward() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(LPCWSTR, ICoreWebView2DevToolsProtocolEventReceiver**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    QF_PREVIEW_EVENT(NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler, newWindowRequested_)
    QF_PREVIEW_EVENT(DocumentTitleChanged, ICoreWebView2DocumentTitleChangedEventHandler, titleChanged_)
    HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) override { return ReturnString(title_, title); }
    HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() override { return E_NOTIMPL; }
    QF_PREVIEW_EVENT(ContainsFullScreenElementChanged, ICoreWebView2ContainsFullScreenElementChangedEventHandler,
                     fullscreenChanged_)
    HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL* value) override {
        return ReturnValue<BOOL>(fullscreen_, value);
    }
    QF_PREVIEW_EVENT(WebResourceRequested, ICoreWebView2WebResourceRequestedEventHandler, webResourceRequested_)
    HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) override;
    HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) override;
    QF_PREVIEW_EVENT(WindowCloseRequested, ICoreWebView2WindowCloseRequestedEventHandler, closeRequested_)
    QF_PREVIEW_UNUSED_EVENT(WebResourceResponseReceived, ICoreWebView2WebResourceResponseReceivedEventHandler)
    HRESULT STDMETHODCALLTYPE NavigateWithWebResourceRequest(ICoreWebView2WebResourceRequest*) override { return E_NOTIMPL; }
    QF_PREVIEW_EVENT(DOMContentLoaded, ICoreWebView2DOMContentLoadedEventHandler, domContentLoaded_)
    HRESULT STDMETHODCALLTYPE get_CookieManager(ICoreWebView2CookieManager**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Environment(ICoreWebView2Environment** environment) override;

private:
    void OnEvent(const CdpMessage& event);
    void OnRequestPaused(const nlohmann::json& params);
    bool CancelNavigation(const std::string& requestId, const nlohmann::json& request);
    bool Serve(const std::string& requestId, const nlohmann::json& params);
    std::optional<ServedAnswer> ServeRelayed(const ServedRequest& request);
    // The host's answer to a request its filters name; nothing when it gives none.
    Microsoft::WRL::ComPtr<Response> AskHost(const std::string& url, const std::string& method,
                                             const HeaderList& headers, int context);
    void Fulfill(const std::string& requestId, const Response& response);
    void OnBindingCalled(const nlohmann::json& params);
    void OnPageNotice(const PageNotice& notice);
    std::string DefaultTitle();
    void OnNewWindow(std::optional<std::string> url, std::optional<std::string> targetId);
    void OnProcessFailed(COREWEBVIEW2_PROCESS_FAILED_KIND kind);
    // page_tools_win.cpp: permissions as the host decides, and DevTools as it allows.
    void OnPermissionNotice(const PageNotice& notice, int context);
    void OnDevToolsSetting(bool enabled);
    void OnTargetInfo(const nlohmann::json& info);
    void OpenDevToolsOnce();
    void EnableFetch();
    void Send(const std::string& method, const nlohmann::json& params);

    std::shared_ptr<Browser> browser_;
    Microsoft::WRL::ComPtr<ICoreWebView2Environment> environment_;
    std::string targetId_;
    std::string sessionId_;
    Microsoft::WRL::ComPtr<Settings> settings_;
    std::vector<std::pair<std::string, COREWEBVIEW2_WEB_RESOURCE_CONTEXT>> filters_;
    std::optional<int> topContext_;
    std::string source_;
    std::string title_;
    bool fullscreen_ = false;
    bool rendererCrashed_ = false;
    bool closed_ = false;  // Chromium is gone: the web view stays closed
    UINT64 navigationId_ = 0;
    bool awaitingCommit_ = false;  // a main-frame document the host let start has not committed yet
    std::deque<std::string> openedUrls_;
    std::deque<std::string> openedTargets_;
    EventList<ICoreWebView2NavigationStartingEventHandler> navigationStarting_;
    EventList<ICoreWebView2PermissionRequestedEventHandler> permissionRequested_;
    EventList<ICoreWebView2WebMessageReceivedEventHandler> webMessageReceived_;
    EventList<ICoreWebView2NewWindowRequestedEventHandler> newWindowRequested_;
    EventList<ICoreWebView2DocumentTitleChangedEventHandler> titleChanged_;
    EventList<ICoreWebView2ContainsFullScreenElementChangedEventHandler> fullscreenChanged_;
    EventList<ICoreWebView2WebResourceRequestedEventHandler> webResourceRequested_;
    EventList<ICoreWebView2WindowCloseRequestedEventHandler> closeRequested_;
    EventList<ICoreWebView2DOMContentLoadedEventHandler> domContentLoaded_;
    EventList<ICoreWebView2ProcessFailedEventHandler> processFailed_;
    PageConsole console_;
    std::string devToolsGuard_;  // the identifier of the key guard's script while DevTools are off
    bool devToolsOpened_ = false;
};

#undef QF_PREVIEW_EVENT
#undef QF_PREVIEW_UNUSED_EVENT

}  // namespace preview
