#include "event_args_win.h"

#include <nlohmann/json.hpp>

#include "common/strings.h"

namespace preview {

HRESULT ReturnString(const std::string& text, LPWSTR* out) {
    if (!out) return E_POINTER;
    const std::wstring wide = Utf8ToWide(text);
    const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*out) return E_OUTOFMEMORY;
    memcpy(*out, wide.c_str(), bytes);
    return S_OK;
}

const std::string* RequestHeaders::Find(LPCWSTR name) const {
    if (!name) return nullptr;
    const std::string wanted = WideToUtf8(name);
    for (const auto& [key, value] : headers_) {
        if (key.size() == wanted.size() && _strnicmp(key.c_str(), wanted.c_str(), key.size()) == 0) return &value;
    }
    return nullptr;
}

HRESULT RequestHeaders::GetHeader(LPCWSTR name, LPWSTR* value) {
    const std::string* found = Find(name);
    if (!found) {
        if (value) *value = nullptr;
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    return ReturnString(*found, value);
}

HRESULT RequestHeaders::Contains(LPCWSTR name, BOOL* value) { return ReturnValue<BOOL>(Find(name) != nullptr, value); }

HRESULT Request::get_Headers(ICoreWebView2HttpRequestHeaders** headers) {
    if (!headers) return E_POINTER;
    return headers_.CopyTo(headers);
}

Response::Response(IStream* content, int status, LPCWSTR reason, LPCWSTR headers)
    : content_(content),
      status_(status),
      reason_(reason ? WideToUtf8(reason) : std::string()),
      headers_(ParseHeaderBlock(headers ? WideToUtf8(headers) : std::string())) {}

HRESULT Response::get_Content(IStream** content) {
    if (!content) return E_POINTER;
    return content_.CopyTo(content);
}

HRESULT Response::put_Content(IStream* content) {
    content_ = content;
    return S_OK;
}

HRESULT Response::put_StatusCode(int status) {
    status_ = status;
    return S_OK;
}

HRESULT Response::put_ReasonPhrase(LPCWSTR reason) {
    reason_ = reason ? WideToUtf8(reason) : std::string();
    return S_OK;
}

HRESULT WebResourceRequestedArgs::get_Request(ICoreWebView2WebResourceRequest** request) {
    if (!request) return E_POINTER;
    return request_.CopyTo(request);
}

HRESULT WebResourceRequestedArgs::get_Response(ICoreWebView2WebResourceResponse** response) {
    if (!response) return E_POINTER;
    return response_.CopyTo(response);
}

HRESULT WebResourceRequestedArgs::put_Response(ICoreWebView2WebResourceResponse* response) {
    // Only responses made by this runtime's environment can be answered with.
    response_ = static_cast<Response*>(response);
    return S_OK;
}

HRESULT NavigationStartingArgs::get_RequestHeaders(ICoreWebView2HttpRequestHeaders** headers) {
    if (!headers) return E_POINTER;
    return headers_.CopyTo(headers);
}

HRESULT WebMessageArgs::TryGetWebMessageAsString(LPWSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    const nlohmann::json parsed = nlohmann::json::parse(json_, nullptr, false);
    if (!parsed.is_string()) return E_INVALIDARG;
    return ReturnString(parsed.get<std::string>(), text);
}

}  // namespace preview
