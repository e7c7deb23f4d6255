#include "webview/app_webview_win.h"

#include <shellapi.h>

#include "common/co_task_string_win.h"
#include "common/strings.h"
#include "webview/handler_win.h"
#include "webview/origin.h"

using Microsoft::WRL::ComPtr;

namespace {

// Registers a handler whose body ignores the sender and the arguments' type
// beyond what `body` takes; the runtime holds the only lasting reference.
template <class Interface, class Add, class F>
void Register(Add add, F body) {
    add(MakeHandler<Interface>(std::move(body)).Get());
}

}  // namespace

void AppWebView::RegisterEventHandlers() {
    ICoreWebView2* view = webView_.Get();
    Register<ICoreWebView2DocumentTitleChangedEventHandler>(
        [view](auto* handler) { view->add_DocumentTitleChanged(handler, nullptr); },
        [this](ICoreWebView2*, IUnknown*) {
            OnDocumentTitleChanged();
            return S_OK;
        });
    if (manifest_.contentMode == ContentMode::Bundle) RegisterContentHandlers();
    Register<ICoreWebView2PermissionRequestedEventHandler>(
        [view](auto* handler) { view->add_PermissionRequested(handler, nullptr); },
        [this](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) {
            OnPermissionRequested(args);
            return S_OK;
        });
    Register<ICoreWebView2ContainsFullScreenElementChangedEventHandler>(
        [view](auto* handler) { view->add_ContainsFullScreenElementChanged(handler, nullptr); },
        [this](ICoreWebView2*, IUnknown*) {
            OnContainsFullScreenElementChanged();
            return S_OK;
        });
    Register<ICoreWebView2WindowCloseRequestedEventHandler>(
        [view](auto* handler) { view->add_WindowCloseRequested(handler, nullptr); },
        [this](ICoreWebView2*, IUnknown*) {
            OnWindowCloseRequested();
            return S_OK;
        });
    Register<ICoreWebView2NewWindowRequestedEventHandler>(
        [view](auto* handler) { view->add_NewWindowRequested(handler, nullptr); },
        [this](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
            OnNewWindowRequested(args);
            return S_OK;
        });
    Register<ICoreWebView2WebMessageReceivedEventHandler>(
        [view](auto* handler) { view->add_WebMessageReceived(handler, nullptr); },
        [this](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
            OnWebMessageReceived(args);
            return S_OK;
        });
    ICoreWebView2_2* view2 = webView2_.Get();
    Register<ICoreWebView2DOMContentLoadedEventHandler>(
        [view2](auto* handler) { view2->add_DOMContentLoaded(handler, nullptr); },
        [this](ICoreWebView2*, ICoreWebView2DOMContentLoadedEventArgs*) {
            OnDOMContentLoaded();
            return S_OK;
        });
    Register<ICoreWebView2ProcessFailedEventHandler>(
        [view](auto* handler) { view->add_ProcessFailed(handler, nullptr); },
        [this](ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs* args) {
            OnProcessFailed(args);
            return S_OK;
        });
}

// Only bundle mode serves files and keeps navigation on the app's origin.
void AppWebView::RegisterContentHandlers() {
    ICoreWebView2* view = webView_.Get();
    view->AddWebResourceRequestedFilter(Utf8ToWide(originPrefix_ + "*").c_str(), COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
    Register<ICoreWebView2WebResourceRequestedEventHandler>(
        [view](auto* handler) { view->add_WebResourceRequested(handler, nullptr); },
        [this](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) {
            OnWebResourceRequested(args);
            return S_OK;
        });
    Register<ICoreWebView2NavigationStartingEventHandler>(
        [view](auto* handler) { view->add_NavigationStarting(handler, nullptr); },
        [this](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
            OnNavigationStarting(args);
            return S_OK;
        });
}

void AppWebView::OnDocumentTitleChanged() {
    CoTaskString title;
    webView_->get_DocumentTitle(title.Put());
    SetWindowTextW(window_, title ? title.Get() : L"");
}

void AppWebView::OnWebResourceRequested(ICoreWebView2WebResourceRequestedEventArgs* args) {
    ComPtr<ICoreWebView2WebResourceRequest> request;
    args->get_Request(&request);
    if (!request) return;
    CoTaskString uri;
    request->get_Uri(uri.Put());
    ComPtr<ICoreWebView2HttpRequestHeaders> headers;
    request->get_Headers(&headers);
    const auto rangeHeader = [&headers]() -> std::optional<std::string> {
        BOOL contains = FALSE;
        if (!headers || FAILED(headers->Contains(L"Range", &contains)) || !contains) return std::nullopt;
        CoTaskString value;
        headers->GetHeader(L"Range", value.Put());
        return value.Utf8();
    };
    const ContentResponse answer = content_.Serve(uri.Utf8(), rangeHeader);
    ComPtr<ICoreWebView2WebResourceResponse> response;
    environment_->CreateWebResourceResponse(answer.body.Get(), answer.status, Utf8ToWide(answer.reason).c_str(),
                                            Utf8ToWide(answer.headers).c_str(), &response);
    args->put_Response(response.Get());
}

void AppWebView::OnNavigationStarting(ICoreWebView2NavigationStartingEventArgs* args) {
    CoTaskString uri;
    args->get_Uri(uri.Put());
    if (!IsTrustedUrl(uri.Utf8(), originPrefix_)) {
        args->put_Cancel(TRUE);
        return;
    }
    // A new document (a reload too) starts with no cached views. Under Wine a Linux program, an editor
    // saving a file, can replace a file the host has mapped, which no program can do on Windows; the
    // reloaded page must get the new bytes. The serving path itself asks nothing more.
    content_.ReleaseMappedFiles();
}

// Only the app's own origin is granted silently; anything else (a third-party
// frame, a site reached in remote mode) keeps the runtime's prompt.
void AppWebView::OnPermissionRequested(ICoreWebView2PermissionRequestedEventArgs* args) {
    CoTaskString uri;
    args->get_Uri(uri.Put());
    if (IsSameOrigin(uri.Utf8(), originPrefix_)) args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
}

void AppWebView::OnContainsFullScreenElementChanged() {
    BOOL contains = FALSE;
    webView_->get_ContainsFullScreenElement(&contains);
    windowControl_.SetFullscreen(contains != FALSE);
}

void AppWebView::OnWindowCloseRequested() { SendMessageW(window_, WM_CLOSE, 0, 0); }

// Pop-ups go to the user's default handler, but only for web and mail links:
// a page-chosen file: or custom-protocol URI handed to the shell runs programs.
void AppWebView::OnNewWindowRequested(ICoreWebView2NewWindowRequestedEventArgs* args) {
    CoTaskString uri;
    args->get_Uri(uri.Put());
    if (uri && IsShellOpenableUri(uri.Utf8())) ShellExecuteW(nullptr, L"open", uri.Get(), nullptr, nullptr, SW_SHOWDEFAULT);
    args->put_Handled(TRUE);
}

void AppWebView::OnWebMessageReceived(ICoreWebView2WebMessageReceivedEventArgs* args) {
    CoTaskString source;
    args->get_Source(source.Put());
    if (!IsTrustedUrl(source.Utf8(), originPrefix_)) return;
    CoTaskString message;
    // A message that is not a string has no text to hand on.
    if (FAILED(args->TryGetWebMessageAsString(message.Put())) || !message) return;
    bridge_.HandleWebMessage(message.Utf8());
}

void AppWebView::OnDOMContentLoaded() {
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    controller_->put_IsVisible(TRUE);
    controller_->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC);
}

// A crashed page renderer is reloaded and a lost browser process replaced; an
// unresponsive renderer is left alone, since busy pages (games above all) must
// not be reloaded under the user; the runtime recovers the other kinds itself.
void AppWebView::OnProcessFailed(ICoreWebView2ProcessFailedEventArgs* args) {
    COREWEBVIEW2_PROCESS_FAILED_KIND kind = COREWEBVIEW2_PROCESS_FAILED_KIND_UNKNOWN_PROCESS_EXITED;
    if (!args || FAILED(args->get_ProcessFailedKind(&kind))) return;
    const bool renderer = kind == COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED;
    if (!renderer && kind != COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED) return;
    if (!recoveries_.Allow(GetTickCount64())) {
        FailToStart(HRESULT_FROM_WIN32(ERROR_PROCESS_ABORTED));
    } else if (renderer) {
        webView_->Reload();
    } else {
        RecreateWebView();
    }
}
