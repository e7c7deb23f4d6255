// The runtime's creation entry point, as a loader calls it: exported under its undecorated name.

#include "common/strings.h"
#include "environment_win.h"
#include "ui_thread_win.h"
#include "unix_win.h"

using Microsoft::WRL::ComPtr;
using namespace preview;

namespace {

std::string TakeOption(ICoreWebView2EnvironmentOptions* options,
                       HRESULT (STDMETHODCALLTYPE ICoreWebView2EnvironmentOptions::*getter)(LPWSTR*)) {
    LPWSTR value = nullptr;
    if (!options || FAILED((options->*getter)(&value)) || !value) return {};
    std::string text = WideToUtf8(value);
    CoTaskMemFree(value);
    return text;
}

// The environment variable stands in for the host's arguments, as it does for the installed runtime.
std::string BrowserArguments(ICoreWebView2EnvironmentOptions* options) {
    wchar_t fromEnvironment[32768];
    const DWORD length = GetEnvironmentVariableW(L"WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS", fromEnvironment, 32768);
    if (length > 0 && length < 32768) return WideToUtf8(std::wstring(fromEnvironment, length));
    return TakeOption(options, &ICoreWebView2EnvironmentOptions::get_AdditionalBrowserArguments);
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    BOOL, int, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
    if (!handler) return E_POINTER;
    if (!userDataFolder || !*userDataFolder) return E_INVALIDARG;
    UiThread& ui = UiThread::Get();
    BrowserRequest request{userDataFolder, BrowserArguments(options),
                           TakeOption(options, &ICoreWebView2EnvironmentOptions::get_Language)};
    std::shared_ptr<Browser> browser;
    const HRESULT result = Browser::Start(request, &browser);
    ComPtr<Environment> environment = SUCCEEDED(result) ? Make<Environment>(browser) : nullptr;
    ui.Post([handler = ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(handler), environment,
             result] { handler->Invoke(result, environment.Get()); });
    return S_OK;
}
