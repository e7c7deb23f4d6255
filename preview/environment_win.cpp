#include "environment_win.h"

#include "ui_thread_win.h"
#include "web_view_win.h"

using Microsoft::WRL::ComPtr;

namespace preview {

HRESULT Environment::CreateCoreWebView2Controller(HWND parentWindow,
                                                  ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
    if (!handler) return E_POINTER;
    ComPtr<Controller> controller;
    const HRESULT result = Controller::Create(browser_, this, parentWindow, &controller);
    // Completions run later from the message loop, never inside the host's own call.
    UiThread::Get().Post([handler = ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(handler),
                          controller, result] { handler->Invoke(result, controller.Get()); });
    return S_OK;
}

HRESULT Environment::CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                               LPCWSTR headers, ICoreWebView2WebResourceResponse** response) {
    if (!response) return E_POINTER;
    *response = Make<Response>(content, statusCode, reasonPhrase, headers).Detach();
    return S_OK;
}

}  // namespace preview
