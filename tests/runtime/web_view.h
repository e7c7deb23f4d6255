#pragma once

// The web view (ICoreWebView2 and ICoreWebView2_2 on one object): records the host's calls and keeps the
// page's state and the registered handlers, which page.cpp drives.

#include <string>
#include <vector>

#include <wrl/client.h>

#include "event_list.h"
#include "settings.h"

namespace standin {

struct ResourceFilter {
    std::wstring uri;
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context;
};

struct PageState {
    std::wstring uri;
    std::wstring title;
    BOOL containsFullScreenElement = FALSE;
    std::vector<ResourceFilter> filters;
    UINT64 lastNavigationId = 0;
    bool navigated = false;
    int postedCount = 0;
};

class WebView final : public ComObject<WebView, ICoreWebView2_2, ICoreWebView2> {
public:
    explicit WebView(ICoreWebView2Environment* environment) : environment_(environment) {}

    PageState page;
    const Settings& settings() const { return *settings_.Get(); }
    EventList<ICoreWebView2NavigationStartingEventHandler> navigationStarting;
    EventList<ICoreWebView2WebResourceRequestedEventHandler> webResourceRequested;
    EventList<ICoreWebView2PermissionRequestedEventHandler> permissionRequested;
    EventList<ICoreWebView2ContainsFullScreenElementChangedEventHandler> fullScreenChanged;
    EventList<ICoreWebView2WindowCloseRequestedEventHandler> windowCloseRequested;
    EventList<ICoreWebView2NewWindowRequestedEventHandler> newWindowRequested;
    EventList<ICoreWebView2WebMessageReceivedEventHandler> webMessageReceived;
    EventList<ICoreWebView2DocumentTitleChangedEventHandler> documentTitleChanged;
    EventList<ICoreWebView2DOMContentLoadedEventHandler> domContentLoaded;
    EventList<ICoreWebView2ProcessFailedEventHandler> processFailed;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override;
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) override;
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override;
    HRESULT STDMETHODCALLTYPE add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* eventHandler,
                                                     EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_NavigationStarting(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* eventHandler,
                                                      EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_PermissionRequested(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR webMessageAsJson) override;
    HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR webMessageAsString) override;
    HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                                     EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* eventHandler,
                                                     EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_NewWindowRequested(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE add_DocumentTitleChanged(ICoreWebView2DocumentTitleChangedEventHandler* eventHandler,
                                                       EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_DocumentTitleChanged(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) override;
    HRESULT STDMETHODCALLTYPE
    add_ContainsFullScreenElementChanged(ICoreWebView2ContainsFullScreenElementChangedEventHandler* eventHandler,
                                         EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_ContainsFullScreenElementChanged(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL* containsFullScreenElement) override;
    HRESULT STDMETHODCALLTYPE add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* eventHandler,
                                                       EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_WebResourceRequested(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(LPCWSTR uri,
                                                            COREWEBVIEW2_WEB_RESOURCE_CONTEXT resourceContext) override;
    HRESULT STDMETHODCALLTYPE
    RemoveWebResourceRequestedFilter(LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT resourceContext) override;
    HRESULT STDMETHODCALLTYPE add_WindowCloseRequested(ICoreWebView2WindowCloseRequestedEventHandler* eventHandler,
                                                       EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_WindowCloseRequested(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE add_DOMContentLoaded(ICoreWebView2DOMContentLoadedEventHandler* eventHandler,
                                                   EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_DOMContentLoaded(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE get_Environment(ICoreWebView2Environment** environment) override;

    HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR) override { return NotImplemented("WebView.NavigateToString"); }
    HRESULT STDMETHODCALLTYPE add_ContentLoading(ICoreWebView2ContentLoadingEventHandler*,
                                                 EventRegistrationToken*) override {
        return NotImplemented("WebView.add_ContentLoading");
    }
    HRESULT STDMETHODCALLTYPE remove_ContentLoading(EventRegistrationToken) override {
        return NotImplemented("WebView.remove_ContentLoading");
    }
    HRESULT STDMETHODCALLTYPE add_SourceChanged(ICoreWebView2SourceChangedEventHandler*,
                                                EventRegistrationToken*) override {
        return NotImplemented("WebView.add_SourceChanged");
    }
    HRESULT STDMETHODCALLTYPE remove_SourceChanged(EventRegistrationToken) override {
        return NotImplemented("WebView.remove_SourceChanged");
    }
    HRESULT STDMETHODCALLTYPE add_HistoryChanged(ICoreWebView2HistoryChangedEventHandler*,
                                                 EventRegistrationToken*) override {
        return NotImplemented("WebView.add_HistoryChanged");
    }
    HRESULT STDMETHODCALLTYPE remove_HistoryChanged(EventRegistrationToken) override {
        return NotImplemented("WebView.remove_HistoryChanged");
    }
    HRESULT STDMETHODCALLTYPE add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler*,
                                                      EventRegistrationToken*) override {
        return NotImplemented("WebView.add_NavigationCompleted");
    }
    HRESULT STDMETHODCALLTYPE remove_NavigationCompleted(EventRegistrationToken) override {
        return NotImplemented("WebView.remove_NavigationCompleted");
    }
    HRESULT STDMETHODCALLTYPE add_FrameNavigationStarting(ICoreWebView2NavigationStartingEventHandler*,
                                                          EventRegistrationToken*) override {
        return NotImplemented("WebView.add_FrameNavigationStarting");
    }
    HRESULT STDMETHODCALLTYPE remove_FrameNavigationStarting(EventRegistrationToken) override {
        return NotImplemented("WebView.remove_FrameNavigationStarting");
    }
    HRESULT STDMETHODCALLTYPE add_FrameNavigationCompleted(ICoreWebView2NavigationCompletedEventHandler*,
                                                           EventRegistrationToken*) override {
        return NotImplemented("WebView.add_FrameNavigationCompleted");
    }
    HRESULT STDMETHODCALLTYPE remove_FrameNavigationCompleted(EventRegistrationToken) override {
        return NotImplemented("WebView.remove_FrameNavigationCompleted");
    }
    HRESULT STDMETHODCALLTYPE add_ScriptDialogOpening(ICoreWebView2ScriptDialogOpeningEventHandler*,
                                                      EventRegistrationToken*) override {
        return NotImplemented("WebView.add_ScriptDialogOpening");
    }
    HRESULT STDMETHODCALLTYPE remove_ScriptDialogOpening(EventRegistrationToken) override {
        return NotImplemented("WebView.remove_ScriptDialogOpening");
    }
    HRESULT STDMETHODCALLTYPE add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* eventHandler,
                                                EventRegistrationToken* token) override;
    HRESULT STDMETHODCALLTYPE remove_ProcessFailed(EventRegistrationToken token) override;
    HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
        LPCWSTR, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler*) override {
        return NotImplemented("WebView.AddScriptToExecuteOnDocumentCreated");
    }
    HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR) override {
        return NotImplemented("WebView.RemoveScriptToExecuteOnDocumentCreated");
    }
    HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR, ICoreWebView2ExecuteScriptCompletedHandler*) override {
        return NotImplemented("WebView.ExecuteScript");
    }
    HRESULT STDMETHODCALLTYPE CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT, IStream*,
                                             ICoreWebView2CapturePreviewCompletedHandler*) override {
        return NotImplemented("WebView.CapturePreview");
    }
    HRESULT STDMETHODCALLTYPE Reload() override;
    HRESULT STDMETHODCALLTYPE
    CallDevToolsProtocolMethod(LPCWSTR, LPCWSTR, ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*) override {
        return NotImplemented("WebView.CallDevToolsProtocolMethod");
    }
    HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32*) override {
        return NotImplemented("WebView.get_BrowserProcessId");
    }
    HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL*) override { return NotImplemented("WebView.get_CanGoBack"); }
    HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL*) override { return NotImplemented("WebView.get_CanGoForward"); }
    HRESULT STDMETHODCALLTYPE GoBack() override { return NotImplemented("WebView.GoBack"); }
    HRESULT STDMETHODCALLTYPE GoForward() override { return NotImplemented("WebView.GoForward"); }
    HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(LPCWSTR,
                                                               ICoreWebView2DevToolsProtocolEventReceiver**) override {
        return NotImplemented("WebView.GetDevToolsProtocolEventReceiver");
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return NotImplemented("WebView.Stop"); }
    HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR, VARIANT*) override {
        return NotImplemented("WebView.AddHostObjectToScript");
    }
    HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR) override {
        return NotImplemented("WebView.RemoveHostObjectFromScript");
    }
    HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() override { return NotImplemented("WebView.OpenDevToolsWindow"); }
    HRESULT STDMETHODCALLTYPE add_WebResourceResponseReceived(ICoreWebView2WebResourceResponseReceivedEventHandler*,
                                                              EventRegistrationToken*) override {
        return NotImplemented("WebView.add_WebResourceResponseReceived");
    }
    HRESULT STDMETHODCALLTYPE remove_WebResourceResponseReceived(EventRegistrationToken) override {
        return NotImplemented("WebView.remove_WebResourceResponseReceived");
    }
    HRESULT STDMETHODCALLTYPE NavigateWithWebResourceRequest(ICoreWebView2WebResourceRequest*) override {
        return NotImplemented("WebView.NavigateWithWebResourceRequest");
    }
    HRESULT STDMETHODCALLTYPE get_CookieManager(ICoreWebView2CookieManager**) override {
        return NotImplemented("WebView.get_CookieManager");
    }

private:
    Microsoft::WRL::ComPtr<ICoreWebView2Environment> environment_;
    Microsoft::WRL::ComPtr<Settings> settings_ = MakeObject<Settings>();
};

}  // namespace standin
