#pragma once
#include <optional>
#include <string>

#include "fake_com.h"
#include "loader/webview2_win.h"

// The request side of a WebResourceRequested event, as small as ServeWebResource
// needs it: a URI and at most one header, Range.

class FakeHeaders final : public FakeObject<FakeHeaders, ICoreWebView2HttpRequestHeaders> {
public:
    explicit FakeHeaders(std::optional<std::wstring> range) : range_(std::move(range)) {}

    HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override;
    HRESULT STDMETHODCALLTYPE GetHeaders(LPCWSTR, ICoreWebView2HttpHeadersCollectionIterator**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* value) override;
    HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIterator(ICoreWebView2HttpHeadersCollectionIterator**) override { return E_NOTIMPL; }

private:
    bool IsRange(LPCWSTR name) const;
    std::optional<std::wstring> range_;
};

class FakeRequest final : public FakeObject<FakeRequest, ICoreWebView2WebResourceRequest> {
public:
    FakeRequest(std::wstring uri, std::optional<std::wstring> range);

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return ReturnString(uri_, uri); }
    HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) override { return ReturnString(L"GET", method); }
    HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Content(IStream**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Content(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** headers) override;

private:
    std::wstring uri_;
    Microsoft::WRL::ComPtr<FakeHeaders> headers_;
};

// What the host answered: the status and the content stream.
class FakeResponse final : public FakeObject<FakeResponse, ICoreWebView2WebResourceResponse> {
public:
    FakeResponse(IStream* content, int status) : content_(content), status_(status) {}

    IStream* content() const { return content_.Get(); }
    int status() const { return status_; }

    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override;
    HRESULT STDMETHODCALLTYPE put_Content(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusCode(int* status) override;
    HRESULT STDMETHODCALLTYPE put_StatusCode(int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR) override { return E_NOTIMPL; }

private:
    Microsoft::WRL::ComPtr<IStream> content_;
    int status_;
};

// One event's arguments; reusable, since the bench takes the response after each call.
class FakeRequestArgs final : public FakeObject<FakeRequestArgs, ICoreWebView2WebResourceRequestedEventArgs> {
public:
    FakeRequestArgs(std::wstring uri, std::optional<std::wstring> range);

    // The response the host set, handed over to the caller.
    Microsoft::WRL::ComPtr<FakeResponse> TakeResponse();

    HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) override;
    HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) override;
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* context) override;

private:
    Microsoft::WRL::ComPtr<FakeRequest> request_;
    Microsoft::WRL::ComPtr<FakeResponse> response_;
};

// Makes responses; the only environment method ServeWebResource calls.
class FakeEnvironment final : public FakeObject<FakeEnvironment, ICoreWebView2Environment> {
public:
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(HWND,
                                                           ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int status, LPCWSTR reason, LPCWSTR headers,
                                                        ICoreWebView2WebResourceResponse** response) override;
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(ICoreWebView2NewBrowserVersionAvailableEventHandler*,
                                                             EventRegistrationToken*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) override { return E_NOTIMPL; }
};
