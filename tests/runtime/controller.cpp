#include "controller.h"

#include "view_window.h"

namespace standin {

Controller::Controller(HWND parent, Microsoft::WRL::ComPtr<WebView> webView)
    : parent_(parent), view_(CreateViewWindow(parent)), webView_(std::move(webView)) {}

HRESULT Controller::get_IsVisible(BOOL* isVisible) { return ReturnValue(visible_, isVisible); }

HRESULT Controller::put_IsVisible(BOOL isVisible) {
    const HRESULT hr = RecordHostCall("Controller.put_IsVisible", {{"value", isVisible}});
    if (FAILED(hr)) return hr;
    visible_ = isVisible;
    if (IsWindow(view_)) ShowWindow(view_, isVisible ? SW_SHOWNA : SW_HIDE);
    return S_OK;
}

HRESULT Controller::get_Bounds(RECT* bounds) { return ReturnValue(bounds_, bounds); }

HRESULT Controller::put_Bounds(RECT bounds) {
    const HRESULT hr = RecordHostCall("Controller.put_Bounds", {{"rect", RectJson(bounds)}});
    if (FAILED(hr)) return hr;
    bounds_ = bounds;
    if (IsWindow(view_)) {
        MoveWindow(view_, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, TRUE);
    }
    return S_OK;
}

HRESULT Controller::MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) {
    const HRESULT hr = RecordHostCall("Controller.MoveFocus", {{"reason", static_cast<int>(reason)}});
    if (FAILED(hr)) return hr;
    if (IsWindow(view_)) SetFocus(view_);
    return S_OK;
}

HRESULT Controller::get_ParentWindow(HWND* parentWindow) { return ReturnValue(parent_, parentWindow); }

HRESULT Controller::NotifyParentWindowPositionChanged() {
    return RecordHostCall("Controller.NotifyParentWindowPositionChanged");
}

HRESULT Controller::Close() {
    const HRESULT hr = RecordHostCall("Controller.Close");
    if (FAILED(hr)) return hr;
    if (!closed_ && IsWindow(view_)) DestroyWindow(view_);
    closed_ = true;
    return S_OK;
}

// Handed out without QueryInterface, so the transcript shows only the host's own QueryInterface calls.
HRESULT Controller::get_CoreWebView2(ICoreWebView2** coreWebView2) {
    const HRESULT hr = RecordHostCall("Controller.get_CoreWebView2");
    if (FAILED(hr)) return hr;
    if (!coreWebView2) return E_POINTER;
    *coreWebView2 = webView_.Get();
    (*coreWebView2)->AddRef();
    return S_OK;
}

}  // namespace standin
