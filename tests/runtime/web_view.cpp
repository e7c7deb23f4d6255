#include "web_view.h"

#include "page.h"
#include "view_window.h"

namespace standin {
namespace {

nlohmann::json InterfaceName(REFIID riid) {
    if (riid == __uuidof(ICoreWebView2_2)) return "ICoreWebView2_2";
    if (riid == __uuidof(ICoreWebView2)) return "ICoreWebView2";
    if (riid == __uuidof(IUnknown)) return "IUnknown";
    wchar_t text[40] = {};
    StringFromGUID2(riid, text, 40);
    return ToUtf8(text);
}

}  // namespace

HRESULT WebView::QueryInterface(REFIID riid, void** object) {
    const HRESULT hr = ComObject::QueryInterface(riid, object);
    Record("WebView.QueryInterface", {{"interface", InterfaceName(riid)}, {"hr", HresultText(hr)}});
    return hr;
}

HRESULT WebView::get_Settings(ICoreWebView2Settings** settings) {
    const HRESULT hr = RecordHostCall("WebView.get_Settings");
    if (FAILED(hr)) return hr;
    if (!settings) return E_POINTER;
    return settings_.CopyTo(settings);
}

HRESULT WebView::get_Source(LPWSTR* uri) { return ReturnString(page.uri, uri); }

HRESULT WebView::Navigate(LPCWSTR uri) {
    const HRESULT hr = RecordHostCall("WebView.Navigate", {{"uri", Json(uri)}});
    if (FAILED(hr)) return hr;
    if (!uri) return E_INVALIDARG;
    QueueNavigation(this, uri, false);
    if (!page.navigated) {
        page.navigated = true;
        QueueSteps(this);
    }
    return S_OK;
}

// The current document again, as a navigation the page did not start.
HRESULT WebView::Reload() {
    const HRESULT hr = RecordHostCall("WebView.Reload");
    if (FAILED(hr)) return hr;
    QueueNavigation(this, page.uri, false);
    return S_OK;
}

HRESULT WebView::PostWebMessageAsJson(LPCWSTR json) {
    const HRESULT hr = RecordHostCall("WebView.PostWebMessageAsJson", {{"json", Json(json)}});
    if (FAILED(hr)) return hr;
    if (!json) return E_INVALIDARG;
    ++page.postedCount;
    ShowPostedMessage(json);
    return S_OK;
}

HRESULT WebView::PostWebMessageAsString(LPCWSTR text) {
    const HRESULT hr = RecordHostCall("WebView.PostWebMessageAsString", {{"string", Json(text)}});
    if (FAILED(hr)) return hr;
    if (!text) return E_INVALIDARG;
    ++page.postedCount;
    ShowPostedMessage(text);
    return S_OK;
}

HRESULT WebView::get_DocumentTitle(LPWSTR* title) {
    const HRESULT hr = RecordHostCall("WebView.get_DocumentTitle", {{"result", ToUtf8(page.title.c_str())}});
    if (FAILED(hr)) return hr;
    return ReturnString(page.title, title);
}

HRESULT WebView::get_ContainsFullScreenElement(BOOL* value) {
    const HRESULT hr =
        RecordHostCall("WebView.get_ContainsFullScreenElement", {{"result", page.containsFullScreenElement}});
    if (FAILED(hr)) return hr;
    return ReturnValue(page.containsFullScreenElement, value);
}

HRESULT WebView::AddWebResourceRequestedFilter(LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    const HRESULT hr = RecordHostCall("WebView.AddWebResourceRequestedFilter",
                                      {{"uri", Json(uri)}, {"context", static_cast<int>(context)}});
    if (FAILED(hr)) return hr;
    if (!uri) return E_INVALIDARG;
    page.filters.push_back({uri, context});
    return S_OK;
}

HRESULT WebView::RemoveWebResourceRequestedFilter(LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    const HRESULT hr = RecordHostCall("WebView.RemoveWebResourceRequestedFilter",
                                      {{"uri", Json(uri)}, {"context", static_cast<int>(context)}});
    if (FAILED(hr)) return hr;
    for (auto filter = page.filters.begin(); filter != page.filters.end(); ++filter) {
        if (uri && filter->uri == uri && filter->context == context) {
            page.filters.erase(filter);
            return S_OK;
        }
    }
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}

HRESULT WebView::get_Environment(ICoreWebView2Environment** environment) {
    if (!environment) return E_POINTER;
    return environment_.CopyTo(environment);
}

#define STANDIN_EVENT(Event, list, Handler)                                         \
    HRESULT WebView::add_##Event(Handler* handler, EventRegistrationToken* token) { \
        return list.Add("WebView.add_" #Event, handler, token);                     \
    }                                                                               \
    HRESULT WebView::remove_##Event(EventRegistrationToken token) {                 \
        return list.Remove("WebView.remove_" #Event, token);                        \
    }

STANDIN_EVENT(NavigationStarting, navigationStarting, ICoreWebView2NavigationStartingEventHandler)
STANDIN_EVENT(WebResourceRequested, webResourceRequested, ICoreWebView2WebResourceRequestedEventHandler)
STANDIN_EVENT(PermissionRequested, permissionRequested, ICoreWebView2PermissionRequestedEventHandler)
STANDIN_EVENT(ContainsFullScreenElementChanged, fullScreenChanged,
              ICoreWebView2ContainsFullScreenElementChangedEventHandler)
STANDIN_EVENT(WindowCloseRequested, windowCloseRequested, ICoreWebView2WindowCloseRequestedEventHandler)
STANDIN_EVENT(NewWindowRequested, newWindowRequested, ICoreWebView2NewWindowRequestedEventHandler)
STANDIN_EVENT(WebMessageReceived, webMessageReceived, ICoreWebView2WebMessageReceivedEventHandler)
STANDIN_EVENT(DocumentTitleChanged, documentTitleChanged, ICoreWebView2DocumentTitleChangedEventHandler)
STANDIN_EVENT(DOMContentLoaded, domContentLoaded, ICoreWebView2DOMContentLoadedEventHandler)
STANDIN_EVENT(ProcessFailed, processFailed, ICoreWebView2ProcessFailedEventHandler)

#undef STANDIN_EVENT

int NextRegistrationOrder() {
    static int order = 0;
    return ++order;
}

}  // namespace standin
