#include "environment.h"

#include <wrl/client.h>

#include "controller.h"
#include "dispatcher.h"
#include "page.h"
#include "web_resource.h"

using Microsoft::WRL::ComPtr;

namespace standin {
namespace {

template <class Handler, class Object>
void Complete(const char* event, const ComPtr<Handler>& handler, HRESULT errorCode, const ComPtr<Object>& object) {
    Record("event", {{"event", event}, {"errorCode", HresultText(errorCode)}, {"object", object != nullptr}});
    const HRESULT hr = handler->Invoke(errorCode, object.Get());
    Record("eventResult", {{"event", event}, {"results", {HresultText(hr)}}});
}

}  // namespace

void CompleteEnvironmentCreation(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler,
                                 const CreationOutcome& outcome, std::string version) {
    ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> kept(handler);
    Enqueue([kept, outcome, version] {
        ComPtr<ICoreWebView2Environment> environment;
        if (!outcome.nullObject) environment = MakeObject<Environment>(version);
        Complete("EnvironmentCompleted", kept, outcome.errorCode, environment);
    });
}

HRESULT Environment::CreateCoreWebView2Controller(HWND parentWindow,
                                                  ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
    const CreationOutcome outcome = CreationFor(CurrentScenario().controllerCreation, ++controllerAttempts_);
    HRESULT hr = outcome.returns;
    if (!handler) hr = E_POINTER;
    if (SUCCEEDED(hr) && !IsWindow(parentWindow)) hr = HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
    const HRESULT thread =
        RecordHostCall("Environment.CreateCoreWebView2Controller",
                       {{"parentWindow", reinterpret_cast<UINT_PTR>(parentWindow)}, {"hr", HresultText(hr)}});
    if (FAILED(thread)) return thread;
    if (FAILED(hr)) return hr;
    ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> kept(handler);
    ComPtr<ICoreWebView2Environment> self(this);
    Enqueue([kept, outcome, parentWindow, self] {
        ComPtr<Controller> controller;
        if (!outcome.nullObject && IsWindow(parentWindow)) {
            SetParentWindow(parentWindow);
            controller = MakeObject<Controller>(parentWindow, MakeObject<WebView>(self.Get()));
        }
        Complete("ControllerCompleted", kept, outcome.errorCode, controller);
    });
    return S_OK;
}

HRESULT Environment::CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase, LPCWSTR headers,
                                               ICoreWebView2WebResourceResponse** response) {
    const HRESULT hr = RecordHostCall("Environment.CreateWebResourceResponse", {{"status", statusCode},
                                                                                {"reason", Json(reasonPhrase)},
                                                                                {"headers", Json(headers)},
                                                                                {"streamNull", content == nullptr}});
    if (FAILED(hr)) return hr;
    if (!response) return E_POINTER;
    *response = MakeObject<WebResourceResponse>(content, statusCode, reasonPhrase, headers).Detach();
    return S_OK;
}

}  // namespace standin
