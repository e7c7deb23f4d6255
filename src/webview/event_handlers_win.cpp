#include "webview/app_webview_win.h"

#include <shellapi.h>

#include "common/co_task_string_win.h"
#include "common/strings.h"
#include "webview/handler_win.h"
#include "webview/origin.h"

using Microsoft::WRL::ComPtr;

void AppWebView::RegisterEventHandlers() {
    webView->add_DocumentTitleChanged(
        MakeHandler<ICoreWebView2DocumentTitleChangedEventHandler>([this](ICoreWebView2* sender, IUnknown*) {
            LPWSTR title = nullptr;
            sender->get_DocumentTitle(&title);
            SetWindowTextW(window, title ? title : L"");
            CoTaskMemFree(title);
            return S_OK;
        }).Get(),
        nullptr);

    if (manifest.contentMode == ContentMode::Bundle) {
        webView->AddWebResourceRequestedFilter(Utf8ToWide(originPrefix + "*").c_str(),
                                               COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
        webView->add_WebResourceRequested(
            MakeHandler<ICoreWebView2WebResourceRequestedEventHandler>(
                [this](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) {
                    return ServeWebResource(args);
                }).Get(),
            nullptr);
        webView->add_NavigationStarting(
            MakeHandler<ICoreWebView2NavigationStartingEventHandler>(
                [this](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
                    LPWSTR uri = nullptr;
                    args->get_Uri(&uri);
                    if (!IsTrustedUrl(TakeCoTaskString(uri), originPrefix)) args->put_Cancel(TRUE);
                    return S_OK;
                }).Get(),
            nullptr);
    }

    // Only the app's own origin is granted silently; anything else (a third-party
    // frame, a site reached in remote mode) keeps the runtime's prompt.
    webView->add_PermissionRequested(
        MakeHandler<ICoreWebView2PermissionRequestedEventHandler>(
            [this](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) {
                LPWSTR uri = nullptr;
                args->get_Uri(&uri);
                if (IsSameOrigin(TakeCoTaskString(uri), originPrefix)) args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
                return S_OK;
            }).Get(),
        nullptr);

    webView->add_ContainsFullScreenElementChanged(
        MakeHandler<ICoreWebView2ContainsFullScreenElementChangedEventHandler>([this](ICoreWebView2* sender, IUnknown*) {
            BOOL contains = FALSE;
            sender->get_ContainsFullScreenElement(&contains);
            SetFullscreen(contains != FALSE);
            return S_OK;
        }).Get(),
        nullptr);

    webView->add_WindowCloseRequested(
        MakeHandler<ICoreWebView2WindowCloseRequestedEventHandler>([this](ICoreWebView2*, IUnknown*) {
            SendMessageW(window, WM_CLOSE, 0, 0);
            return S_OK;
        }).Get(),
        nullptr);

    // Pop-ups go to the user's default handler, but only for web and mail links:
    // a page-chosen file: or custom-protocol URI handed to the shell runs programs.
    webView->add_NewWindowRequested(
        MakeHandler<ICoreWebView2NewWindowRequestedEventHandler>(
            [](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
                LPWSTR uri = nullptr;
                args->get_Uri(&uri);
                if (uri && IsShellOpenableUri(WideToUtf8(uri)))
                    ShellExecuteW(nullptr, L"open", uri, nullptr, nullptr, SW_SHOWDEFAULT);
                CoTaskMemFree(uri);
                args->put_Handled(TRUE);
                return S_OK;
            }).Get(),
        nullptr);

    webView->add_WebMessageReceived(
        MakeHandler<ICoreWebView2WebMessageReceivedEventHandler>(
            [this](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
                LPWSTR source = nullptr;
                args->get_Source(&source);
                if (!IsTrustedUrl(TakeCoTaskString(source), originPrefix)) return S_OK;
                LPWSTR message = nullptr;
                // A message that is not a string has no text to hand on.
                if (FAILED(args->TryGetWebMessageAsString(&message)) || !message) {
                    CoTaskMemFree(message);
                    return S_OK;
                }
                HandleWebMessage(TakeCoTaskString(message));
                return S_OK;
            }).Get(),
        nullptr);

    webView2->add_DOMContentLoaded(
        MakeHandler<ICoreWebView2DOMContentLoadedEventHandler>(
            [this](ICoreWebView2*, ICoreWebView2DOMContentLoadedEventArgs*) {
                ShowWindow(window, SW_SHOW);
                UpdateWindow(window);
                controller->put_IsVisible(TRUE);
                controller->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC);
                return S_OK;
            }).Get(),
        nullptr);
}
