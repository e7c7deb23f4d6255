#pragma once

// A resource request as the stand-in raises it, and the response the host answers with.

#include <string>
#include <utility>
#include <vector>

#include <wrl/client.h>

#include "event_args.h"

namespace standin {

class HttpRequestHeaders final : public ComObject<HttpRequestHeaders, ICoreWebView2HttpRequestHeaders> {
public:
    explicit HttpRequestHeaders(std::vector<std::pair<std::wstring, std::wstring>> headers)
        : headers_(std::move(headers)) {}

    HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override;
    HRESULT STDMETHODCALLTYPE GetHeaders(LPCWSTR, ICoreWebView2HttpHeadersCollectionIterator**) override {
        return NotImplemented("HttpRequestHeaders.GetHeaders");
    }
    HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* value) override;
    HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR, LPCWSTR) override {
        return NotImplemented("HttpRequestHeaders.SetHeader");
    }
    HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR) override {
        return NotImplemented("HttpRequestHeaders.RemoveHeader");
    }
    HRESULT STDMETHODCALLTYPE GetIterator(ICoreWebView2HttpHeadersCollectionIterator**) override {
        return NotImplemented("HttpRequestHeaders.GetIterator");
    }

private:
    const std::wstring* Find(LPCWSTR name) const;
    std::vector<std::pair<std::wstring, std::wstring>> headers_;
};

class WebResourceRequest final : public ComObject<WebResourceRequest, ICoreWebView2WebResourceRequest> {
public:
    WebResourceRequest(std::wstring uri, Microsoft::WRL::ComPtr<HttpRequestHeaders> headers)
        : uri_(std::move(uri)), headers_(std::move(headers)) {}

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override;
    HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR) override { return NotImplemented("WebResourceRequest.put_Uri"); }
    HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) override { return ReturnString(L"GET", method); }
    HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR) override { return NotImplemented("WebResourceRequest.put_Method"); }
    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override {
        return ReturnValue<IStream*>(nullptr, content);
    }
    HRESULT STDMETHODCALLTYPE put_Content(IStream*) override {
        return NotImplemented("WebResourceRequest.put_Content");
    }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** headers) override;

private:
    std::wstring uri_;
    Microsoft::WRL::ComPtr<HttpRequestHeaders> headers_;
};

class WebResourceResponse final : public ComObject<WebResourceResponse, ICoreWebView2WebResourceResponse> {
public:
    WebResourceResponse(IStream* content, int status, LPCWSTR reason, LPCWSTR headers)
        : content_(content), status_(status), reason_(reason ? reason : L""), headers_(Json(headers)) {}

    IStream* content() const { return content_.Get(); }
    // What the page receives: status, reason and the header block as the host gave them.
    nlohmann::json Describe() const {
        return {{"status", status_},
                {"reason", ToUtf8(reason_.c_str())},
                {"headers", headers_},
                {"streamNull", content_ == nullptr}};
    }

    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override;
    HRESULT STDMETHODCALLTYPE put_Content(IStream* content) override;
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders**) override {
        return NotImplemented("WebResourceResponse.get_Headers");
    }
    HRESULT STDMETHODCALLTYPE get_StatusCode(int* status) override { return ReturnValue(status_, status); }
    HRESULT STDMETHODCALLTYPE put_StatusCode(int status) override;
    HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* reason) override { return ReturnString(reason_, reason); }
    HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR reason) override;

private:
    Microsoft::WRL::ComPtr<IStream> content_;
    int status_;
    std::wstring reason_;
    nlohmann::json headers_;
};

class WebResourceRequestedEventArgs final
    : public ComObject<WebResourceRequestedEventArgs, ICoreWebView2WebResourceRequestedEventArgs> {
public:
    WebResourceRequestedEventArgs(std::wstring uri, Microsoft::WRL::ComPtr<WebResourceRequest> request,
                                  COREWEBVIEW2_WEB_RESOURCE_CONTEXT context)
        : uri_(std::move(uri)), request_(std::move(request)), context_(context) {}

    WebResourceResponse* response() const { return response_.Get(); }

    HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) override;
    HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) override;
    HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) override;
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override {
        return NotImplemented("WebResourceRequestedEventArgs.GetDeferral");
    }
    HRESULT STDMETHODCALLTYPE get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* context) override {
        return ReturnValue(context_, context);
    }

private:
    std::wstring uri_;
    Microsoft::WRL::ComPtr<WebResourceRequest> request_;
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context_;
    Microsoft::WRL::ComPtr<WebResourceResponse> response_;
};

}  // namespace standin
