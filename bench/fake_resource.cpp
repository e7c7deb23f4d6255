#include "fake_resource.h"

using Microsoft::WRL::ComPtr;

bool FakeHeaders::IsRange(LPCWSTR name) const { return range_ && name && _wcsicmp(name, L"Range") == 0; }

HRESULT FakeHeaders::GetHeader(LPCWSTR name, LPWSTR* value) {
    if (!IsRange(name)) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    return ReturnString(*range_, value);
}

HRESULT FakeHeaders::Contains(LPCWSTR name, BOOL* value) {
    if (!value) return E_POINTER;
    *value = IsRange(name) ? TRUE : FALSE;
    return S_OK;
}

FakeRequest::FakeRequest(std::wstring uri, std::optional<std::wstring> range)
    : uri_(std::move(uri)), headers_(MakeFake<FakeHeaders>(std::move(range))) {}

HRESULT FakeRequest::get_Headers(ICoreWebView2HttpRequestHeaders** headers) {
    if (!headers) return E_POINTER;
    return headers_.CopyTo(headers);
}

HRESULT FakeResponse::get_Content(IStream** content) {
    if (!content) return E_POINTER;
    return content_.CopyTo(content);
}

HRESULT FakeResponse::get_StatusCode(int* status) {
    if (!status) return E_POINTER;
    *status = status_;
    return S_OK;
}

FakeRequestArgs::FakeRequestArgs(std::wstring uri, std::optional<std::wstring> range)
    : request_(MakeFake<FakeRequest>(std::move(uri), std::move(range))) {}

ComPtr<FakeResponse> FakeRequestArgs::TakeResponse() { return std::move(response_); }

HRESULT FakeRequestArgs::get_Request(ICoreWebView2WebResourceRequest** request) {
    if (!request) return E_POINTER;
    return request_.CopyTo(request);
}

// Only responses made by FakeEnvironment reach here.
HRESULT FakeRequestArgs::put_Response(ICoreWebView2WebResourceResponse* response) {
    response_ = static_cast<FakeResponse*>(response);
    return S_OK;
}

HRESULT FakeRequestArgs::get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* context) {
    if (!context) return E_POINTER;
    *context = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER;
    return S_OK;
}

HRESULT FakeEnvironment::CreateWebResourceResponse(IStream* content, int status, LPCWSTR, LPCWSTR,
                                                   ICoreWebView2WebResourceResponse** response) {
    if (!response) return E_POINTER;
    *response = MakeFake<FakeResponse>(content, status).Detach();
    return S_OK;
}
