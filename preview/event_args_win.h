#pragma once

// The objects a web view's events carry: requests and their headers, responses, and event arguments.

#include <windows.h>
#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

#include "common/com_object_win.h"
#include "loader/webview2_win.h"
#include "resources.h"

namespace preview {

// A CoTaskMemAlloc copy, as every WebView2 string getter returns.
HRESULT ReturnString(const std::string& text, LPWSTR* out);

template <class T>
HRESULT ReturnValue(T value, T* out) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

// Adopts the new object's initial reference.
template <class T, class... Args>
Microsoft::WRL::ComPtr<T> Make(Args&&... args) {
    Microsoft::WRL::ComPtr<T> object;
    *object.ReleaseAndGetAddressOf() = new T(std::forward<Args>(args)...);
    return object;
}

class RequestHeaders final : public ComObject<RequestHeaders, ICoreWebView2HttpRequestHeaders> {
public:
    explicit RequestHeaders(HeaderList headers) : headers_(std::move(headers)) {}
    HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override;
    HRESULT STDMETHODCALLTYPE GetHeaders(LPCWSTR, ICoreWebView2HttpHeadersCollectionIterator**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* value) override;
    HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIterator(ICoreWebView2HttpHeadersCollectionIterator**) override { return E_NOTIMPL; }

private:
    const std::string* Find(LPCWSTR name) const;
    HeaderList headers_;
};

class Request final : public ComObject<Request, ICoreWebView2WebResourceRequest> {
public:
    Request(std::string uri, std::string method, HeaderList headers)
        : uri_(std::move(uri)), method_(std::move(method)), headers_(Make<RequestHeaders>(std::move(headers))) {}
    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return ReturnString(uri_, uri); }
    HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) override { return ReturnString(method_, method); }
    HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override { return ReturnValue<IStream*>(nullptr, content); }
    HRESULT STDMETHODCALLTYPE put_Content(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** headers) override;

private:
    std::string uri_;
    std::string method_;
    Microsoft::WRL::ComPtr<RequestHeaders> headers_;
};

class Response final : public ComObject<Response, ICoreWebView2WebResourceResponse> {
public:
    Response(IStream* content, int status, LPCWSTR reason, LPCWSTR headers);
    IStream* Content() const { return content_.Get(); }
    int Status() const { return status_; }
    const std::string& Reason() const { return reason_; }
    const HeaderList& Headers() const { return headers_; }

    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override;
    HRESULT STDMETHODCALLTYPE put_Content(IStream* content) override;
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusCode(int* status) override { return ReturnValue(status_, status); }
    HRESULT STDMETHODCALLTYPE put_StatusCode(int status) override;
    HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* reason) override { return ReturnString(reason_, reason); }
    HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR reason) override;

private:
    Microsoft::WRL::ComPtr<IStream> content_;
    int status_;
    std::string reason_;
    HeaderList headers_;
};

class WebResourceRequestedArgs final
    : public ComObject<WebResourceRequestedArgs, ICoreWebView2WebResourceRequestedEventArgs> {
public:
    WebResourceRequestedArgs(Microsoft::WRL::ComPtr<Request> request, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context)
        : request_(std::move(request)), context_(context) {}
    Response* Answer() const { return response_.Get(); }

    HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) override;
    HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) override;
    HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) override;
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* context) override {
        return ReturnValue(context_, context);
    }

private:
    Microsoft::WRL::ComPtr<Request> request_;
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context_;
    Microsoft::WRL::ComPtr<Response> response_;
};

class NavigationStartingArgs final
    : public ComObject<NavigationStartingArgs, ICoreWebView2NavigationStartingEventArgs> {
public:
    NavigationStartingArgs(std::string uri, HeaderList headers, UINT64 id)
        : uri_(std::move(uri)), headers_(Make<RequestHeaders>(std::move(headers))), id_(id) {}
    bool Cancelled() const { return cancel_; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return ReturnString(uri_, uri); }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override { return ReturnValue<BOOL>(FALSE, value); }
    HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* value) override { return ReturnValue<BOOL>(FALSE, value); }
    HRESULT STDMETHODCALLTYPE get_RequestHeaders(ICoreWebView2HttpRequestHeaders** headers) override;
    HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* cancel) override { return ReturnValue<BOOL>(cancel_, cancel); }
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) override {
        cancel_ = cancel != FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* id) override { return ReturnValue(id_, id); }

private:
    std::string uri_;
    Microsoft::WRL::ComPtr<RequestHeaders> headers_;
    UINT64 id_;
    bool cancel_ = false;
};

class NewWindowArgs final : public ComObject<NewWindowArgs, ICoreWebView2NewWindowRequestedEventArgs> {
public:
    explicit NewWindowArgs(std::string uri) : uri_(std::move(uri)) {}
    bool Handled() const { return handled_; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return ReturnString(uri_, uri); }
    HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** window) override {
        return ReturnValue<ICoreWebView2*>(nullptr, window);
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override {
        handled_ = handled != FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) override { return ReturnValue<BOOL>(handled_, handled); }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override { return ReturnValue<BOOL>(TRUE, value); }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures**) override { return E_NOTIMPL; }

private:
    std::string uri_;
    bool handled_ = false;
};

class WebMessageArgs final : public ComObject<WebMessageArgs, ICoreWebView2WebMessageReceivedEventArgs> {
public:
    WebMessageArgs(std::string source, std::string json) : source_(std::move(source)), json_(std::move(json)) {}
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* source) override { return ReturnString(source_, source); }
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* json) override { return ReturnString(json_, json); }
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* text) override;

private:
    std::string source_;
    std::string json_;
};

class ProcessFailedArgs final : public ComObject<ProcessFailedArgs, ICoreWebView2ProcessFailedEventArgs> {
public:
    explicit ProcessFailedArgs(COREWEBVIEW2_PROCESS_FAILED_KIND kind) : kind_(kind) {}
    HRESULT STDMETHODCALLTYPE get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* kind) override {
        return ReturnValue(kind_, kind);
    }

private:
    COREWEBVIEW2_PROCESS_FAILED_KIND kind_;
};

class DomContentLoadedArgs final : public ComObject<DomContentLoadedArgs, ICoreWebView2DOMContentLoadedEventArgs> {
public:
    explicit DomContentLoadedArgs(UINT64 id) : id_(id) {}
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* id) override { return ReturnValue(id_, id); }

private:
    UINT64 id_;
};

class PermissionRequestedArgs final
    : public ComObject<PermissionRequestedArgs, ICoreWebView2PermissionRequestedEventArgs> {
public:
    PermissionRequestedArgs(std::string uri, COREWEBVIEW2_PERMISSION_KIND kind, bool userInitiated)
        : uri_(std::move(uri)), kind_(kind), userInitiated_(userInitiated) {}
    COREWEBVIEW2_PERMISSION_STATE State() const { return state_; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return ReturnString(uri_, uri); }
    HRESULT STDMETHODCALLTYPE get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* kind) override {
        return ReturnValue(kind_, kind);
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override {
        return ReturnValue<BOOL>(userInitiated_, value);
    }
    HRESULT STDMETHODCALLTYPE get_State(COREWEBVIEW2_PERMISSION_STATE* state) override {
        return ReturnValue(state_, state);
    }
    HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE state) override {
        state_ = state;
        return S_OK;
    }
    // The answer is taken when the handlers return.
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }

private:
    std::string uri_;
    COREWEBVIEW2_PERMISSION_KIND kind_;
    bool userInitiated_;
    COREWEBVIEW2_PERMISSION_STATE state_ = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
};

}  // namespace preview
