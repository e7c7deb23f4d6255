#pragma once

#include <memory>

#include "browser_win.h"
#include "event_args_win.h"

namespace preview {

class Environment final : public ComObject<Environment, ICoreWebView2Environment> {
public:
    explicit Environment(std::shared_ptr<Browser> browser) : browser_(std::move(browser)) {}

    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                                        LPCWSTR headers,
                                                        ICoreWebView2WebResourceResponse** response) override;
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* version) override {
        return ReturnString(browser_->Version(), version);
    }
    HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(ICoreWebView2NewBrowserVersionAvailableEventHandler*,
                                                             EventRegistrationToken*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) override { return E_NOTIMPL; }

private:
    std::shared_ptr<Browser> browser_;
};

}  // namespace preview
