// A minimal host that drives the stand-in runtime for its own tests, independent of Quillframe.exe:
//   qf_standin_driver version [folder]   prints the loader's answer for the folder (none = evergreen)
//   qf_standin_driver host               creates a window and a web view, serves https://app.localhost/*
//                                        from memory, echoes web messages, and exits when the window closes
// Output: one JSON line on stdout per fact the tests check.

#include <shlwapi.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <type_traits>

#include <wrl/client.h>

#include "common/co_task_string_win.h"
#include "common/library_win.h"
#include "webview/environment_options_win.h"
#include "webview/handler_win.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kOrigin[] = L"https://app.localhost/";

struct Loader {
    GetAvailableBrowserVersionStringFn getVersion = nullptr;
    CreateEnvironmentWithOptionsFn createEnvironment = nullptr;
};

struct Host {
    HWND window = nullptr;
    ComPtr<ICoreWebView2Environment> environment;
    ComPtr<ICoreWebView2Controller> controller;
    ComPtr<ICoreWebView2> webView;
    bool insideCreateCall = false;
};

Host g_host;

void Print(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Narrow(const wchar_t* text) {
    if (!text) return "null";
    std::string out = "\"";
    for (const wchar_t* c = text; *c; ++c) out += *c < 128 && *c != L'"' && *c != L'\\' ? static_cast<char>(*c) : '?';
    return out + "\"";
}

bool LoadLoader(Loader& loader) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    PathRemoveFileSpecW(path);
    PathAppendW(path, L"WebView2Loader.dll");
    // Stays loaded until the process ends: the runtime's objects live that long.
    Library library = Library::FromPath(path);
    loader.getVersion = library.Find<std::remove_pointer_t<GetAvailableBrowserVersionStringFn>>(
        "GetAvailableCoreWebView2BrowserVersionString");
    loader.createEnvironment =
        library.Find<std::remove_pointer_t<CreateEnvironmentWithOptionsFn>>("CreateCoreWebView2EnvironmentWithOptions");
    library.KeepForProcessLife();
    return loader.getVersion && loader.createEnvironment;
}

int PrintVersion(const Loader& loader, const wchar_t* folder) {
    CoTaskString version;
    const HRESULT hr = loader.getVersion(folder, version.Put());
    char line[256];
    std::snprintf(line, sizeof line, "{\"hr\":%ld,\"version\":%s}", static_cast<long>(hr), Narrow(version.Get()).c_str());
    Print(line);
    return 0;
}

bool StartsWithOrigin(const wchar_t* uri) { return uri && wcsncmp(uri, kOrigin, wcslen(kOrigin)) == 0; }

// Answers every request with a small text body naming the URL (and the Range asked for, if any).
HRESULT Serve(ICoreWebView2WebResourceRequestedEventArgs* args) {
    ComPtr<ICoreWebView2WebResourceRequest> request;
    args->get_Request(&request);
    CoTaskString uri;
    request->get_Uri(uri.Put());
    ComPtr<ICoreWebView2HttpRequestHeaders> headers;
    request->get_Headers(&headers);
    BOOL hasRange = FALSE;
    headers->Contains(L"Range", &hasRange);
    std::wstring body = std::wstring(L"body of ") + (uri ? uri.Get() : L"");
    int status = 200;
    if (hasRange) {
        CoTaskString range;
        headers->GetHeader(L"Range", range.Put());
        body += std::wstring(L" range ") + (range ? range.Get() : L"");
        status = 206;
    }
    // The same file is opened twice so the tests can see the CreateFileW count of one path.
    for (int i = 0; i < 2; ++i) {
        HANDLE file = CreateFileW(L"package.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    const std::string bytes(body.begin(), body.end());
    ComPtr<IStream> stream;
    *stream.ReleaseAndGetAddressOf() =
        SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    ComPtr<ICoreWebView2WebResourceResponse> response;
    g_host.environment->CreateWebResourceResponse(stream.Get(), status, status == 200 ? L"OK" : L"Partial Content",
                                                  L"Content-Type: text/plain\r\nX-Test: 1", &response);
    return args->put_Response(response.Get());
}

void RegisterHandlers() {
    ICoreWebView2* webView = g_host.webView.Get();
    webView->AddWebResourceRequestedFilter(L"https://app.localhost/*", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
    webView->add_WebResourceRequested(
        MakeHandler<ICoreWebView2WebResourceRequestedEventHandler>(
            [](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) { return Serve(args); })
            .Get(),
        nullptr);
    webView->add_NavigationStarting(
        MakeHandler<ICoreWebView2NavigationStartingEventHandler>([](ICoreWebView2*,
                                                                    ICoreWebView2NavigationStartingEventArgs* args) {
            CoTaskString uri;
            args->get_Uri(uri.Put());
            if (!StartsWithOrigin(uri.Get())) args->put_Cancel(TRUE);
            return S_OK;
        }).Get(),
        nullptr);
    webView->add_WebMessageReceived(
        MakeHandler<ICoreWebView2WebMessageReceivedEventHandler>([](ICoreWebView2* sender,
                                                                    ICoreWebView2WebMessageReceivedEventArgs* args) {
            CoTaskString text;
            if (SUCCEEDED(args->TryGetWebMessageAsString(text.Put()))) {
                sender->PostWebMessageAsJson((std::wstring(L"{\"echo\":") + (text ? L"1" : L"0") + L"}").c_str());
            }
            return S_OK;
        }).Get(),
        nullptr);
    webView->add_WindowCloseRequested(
        MakeHandler<ICoreWebView2WindowCloseRequestedEventHandler>([](ICoreWebView2*, IUnknown*) {
            SendMessageW(g_host.window, WM_CLOSE, 0, 0);
            return S_OK;
        }).Get(),
        nullptr);
    ComPtr<ICoreWebView2_2> webView2;
    g_host.webView.As(&webView2);
    webView2->add_DOMContentLoaded(
        MakeHandler<ICoreWebView2DOMContentLoadedEventHandler>([](ICoreWebView2*,
                                                                  ICoreWebView2DOMContentLoadedEventArgs*) {
            ShowWindow(g_host.window, SW_SHOW);
            g_host.controller->put_IsVisible(TRUE);
            g_host.controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC);
            return S_OK;
        }).Get(),
        nullptr);
}

HRESULT ControllerCompleted(HRESULT errorCode, ICoreWebView2Controller* controller) {
    if (FAILED(errorCode) || !controller) {
        Print("{\"controller\":false}");
        DestroyWindow(g_host.window);
        return S_OK;
    }
    g_host.controller = controller;
    controller->get_CoreWebView2(&g_host.webView);
    ComPtr<ICoreWebView2Settings> settings;
    g_host.webView->get_Settings(&settings);
    settings->put_IsScriptEnabled(TRUE);
    settings->put_IsWebMessageEnabled(TRUE);
    RECT bounds;
    GetClientRect(g_host.window, &bounds);
    controller->put_Bounds(bounds);
    RegisterHandlers();
    g_host.webView->Navigate(L"https://app.localhost/index.html");
    return S_OK;
}

HRESULT EnvironmentCompleted(HRESULT errorCode, ICoreWebView2Environment* environment) {
    Print(std::string("{\"environmentCompletedInsideCall\":") + (g_host.insideCreateCall ? "true" : "false") + "}");
    if (FAILED(errorCode) || !environment) {
        Print("{\"environment\":false}");
        DestroyWindow(g_host.window);
        return S_OK;
    }
    g_host.environment = environment;
    environment->CreateCoreWebView2Controller(
        g_host.window,
        MakeHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(ControllerCompleted).Get());
    return S_OK;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE && g_host.controller) {
        RECT bounds;
        GetClientRect(window, &bounds);
        g_host.controller->put_Bounds(bounds);
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

int RunHost(const Loader& loader) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"StandInDriver";
    RegisterClassW(&windowClass);
    g_host.window = CreateWindowExW(0, windowClass.lpszClassName, L"driver", WS_OVERLAPPEDWINDOW, 10, 10, 640, 480,
                                    nullptr, nullptr, windowClass.hInstance, nullptr);
    auto options = CreateEnvironmentOptions();
    options->put_AdditionalBrowserArguments(L"--driver-arg");
    g_host.insideCreateCall = true;
    const HRESULT hr = loader.createEnvironment(
        nullptr, L"C:\\driver-user-data", options.Get(),
        MakeHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(EnvironmentCompleted).Get());
    g_host.insideCreateCall = false;
    Print("{\"createHr\":" + std::to_string(static_cast<long>(hr)) + "}");
    if (FAILED(hr)) return 3;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    g_host = Host{};
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Loader loader;
    if (!LoadLoader(loader)) {
        Print("{\"loader\":false}");
        return 2;
    }
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"version") return PrintVersion(loader, argc > 2 ? argv[2] : nullptr);
    if (mode == L"host") return RunHost(loader);
    return 1;
}
