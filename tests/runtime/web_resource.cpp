#include "web_resource.h"

using Microsoft::WRL::ComPtr;

namespace standin {

const std::wstring* HttpRequestHeaders::Find(LPCWSTR name) const {
    if (!name) return nullptr;
    for (const auto& header : headers_) {
        if (lstrcmpiW(header.first.c_str(), name) == 0) return &header.second;
    }
    return nullptr;
}

HRESULT HttpRequestHeaders::GetHeader(LPCWSTR name, LPWSTR* value) {
    const std::wstring* found = Find(name);
    HRESULT hr = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    if (!value) {
        hr = E_POINTER;
    } else if (found) {
        hr = ReturnString(*found, value);
    } else {
        *value = nullptr;
    }
    Record(
        "HttpRequestHeaders.GetHeader",
        {{"name", Json(name)}, {"result", found ? Json(found->c_str()) : nlohmann::json()}, {"hr", HresultText(hr)}});
    return hr;
}

HRESULT HttpRequestHeaders::Contains(LPCWSTR name, BOOL* value) {
    const bool found = Find(name) != nullptr;
    const HRESULT hr = ReturnValue<BOOL>(found ? TRUE : FALSE, value);
    Record("HttpRequestHeaders.Contains", {{"name", Json(name)}, {"result", found}, {"hr", HresultText(hr)}});
    return hr;
}

HRESULT WebResourceRequest::get_Uri(LPWSTR* uri) {
    Record("WebResourceRequest.get_Uri", {{"result", ToUtf8(uri_.c_str())}});
    return ReturnString(uri_, uri);
}

HRESULT WebResourceRequest::get_Headers(ICoreWebView2HttpRequestHeaders** headers) {
    Record("WebResourceRequest.get_Headers");
    if (!headers) return E_POINTER;
    return headers_.CopyTo(headers);
}

HRESULT WebResourceResponse::get_Content(IStream** content) {
    if (!content) return E_POINTER;
    return content_.CopyTo(content);
}

HRESULT WebResourceResponse::put_Content(IStream* content) {
    Record("WebResourceResponse.put_Content", {{"null", content == nullptr}});
    content_ = content;
    return S_OK;
}

HRESULT WebResourceResponse::put_StatusCode(int status) {
    Record("WebResourceResponse.put_StatusCode", {{"value", status}});
    status_ = status;
    return S_OK;
}

HRESULT WebResourceResponse::put_ReasonPhrase(LPCWSTR reason) {
    Record("WebResourceResponse.put_ReasonPhrase", {{"value", Json(reason)}});
    reason_ = reason ? reason : L"";
    return S_OK;
}

HRESULT WebResourceRequestedEventArgs::get_Request(ICoreWebView2WebResourceRequest** request) {
    Record("WebResourceRequestedEventArgs.get_Request");
    if (!request) return E_POINTER;
    return request_.CopyTo(request);
}

HRESULT WebResourceRequestedEventArgs::get_Response(ICoreWebView2WebResourceResponse** response) {
    if (!response) return E_POINTER;
    return response_.CopyTo(response);
}

// Only responses made by this runtime's environment can be served.
HRESULT WebResourceRequestedEventArgs::put_Response(ICoreWebView2WebResourceResponse* response) {
    Record("WebResourceRequestedEventArgs.put_Response",
           {{"uri", ToUtf8(uri_.c_str())}, {"responseNull", response == nullptr}});
    if (!response) {
        response_.Reset();
        return S_OK;
    }
    response_ = static_cast<WebResourceResponse*>(response);
    return S_OK;
}

}  // namespace standin
