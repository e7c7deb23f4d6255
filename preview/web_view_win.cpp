#include "web_view_win.h"

#include <commctrl.h>

#include "common/unique_handle_win.h"

#include "page_win.h"
#include "unix_win.h"

namespace preview {

namespace {

struct RegionTraits {
    using Handle = HRGN;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle region) { DeleteObject(region); }
};
using Region = UniqueHandle<RegionTraits>;

// The page of Chromium's app window: the one page target still showing its start-up data: document.
std::optional<std::string> AppPageTarget(CdpClient& cdp) {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (GetTickCount64() < deadline) {
        const auto targets = cdp.Call("Target.getTargets", nullptr);
        if (!targets || !targets->error.empty()) return std::nullopt;
        for (const auto& info : targets->params.value("targetInfos", nlohmann::json::array())) {
            if (info.value("type", std::string()) == "page" &&
                info.value("url", std::string()).rfind("data:text/html", 0) == 0)
                return info.value("targetId", std::string());
        }
        Sleep(50);
    }
    return std::nullopt;
}

}  // namespace

Controller::Controller(std::shared_ptr<Browser> browser, HWND parent)
    : browser_(std::move(browser)), parent_(parent), display_(browser_->WindowClass()) {
    display_.SetParent(parent);
}

HRESULT Controller::Create(std::shared_ptr<Browser> browser, ICoreWebView2Environment* environment, HWND parent,
                           Microsoft::WRL::ComPtr<Controller>* created) {
    if (!IsWindow(parent)) return E_INVALIDARG;
    const auto target = AppPageTarget(browser->Cdp());
    if (!target) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    const auto attached = browser->Cdp().Call("Target.attachToTarget", {{"targetId", *target}, {"flatten", true}});
    if (!attached || !attached->error.empty()) return HRESULT_FROM_WIN32(ERROR_CONNECTION_ABORTED);
    auto controller = Make<Controller>(browser, parent);
    controller->webView_ =
        Make<WebView>(browser, environment, *target, attached->params.value("sessionId", std::string()));
    if (!controller->webView_->Start()) return HRESULT_FROM_WIN32(ERROR_CONNECTION_ABORTED);
    SetWindowSubclass(parent, ParentProc, reinterpret_cast<UINT_PTR>(controller.Get()),
                      reinterpret_cast<DWORD_PTR>(controller.Get()));
    *created = std::move(controller);
    return S_OK;
}

Controller::~Controller() {
    RemoveWindowSubclass(parent_, ParentProc, reinterpret_cast<UINT_PTR>(this));
    if (webView_) webView_->Detach();
}

LRESULT CALLBACK Controller::ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR self) {
    auto* controller = reinterpret_cast<Controller*>(self);
    // Chromium closes its own window before the host's X window (its parent now) is destroyed under it.
    if (message == WM_DESTROY) controller->Close();
    // Wine draws the host's window over its X children: the page's area is left to Chromium.
    if (message == WM_ERASEBKGND && controller->visible_) {
        RECT client{};
        GetClientRect(window, &client);
        const Region rest(CreateRectRgnIndirect(&client)), page(CreateRectRgnIndirect(&controller->bounds_));
        CombineRgn(rest.get(), rest.get(), page.get(), RGN_DIFF);
        FillRgn(reinterpret_cast<HDC>(wParam), rest.get(),
                reinterpret_cast<HBRUSH>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND)));
        return 1;
    }
    if (message == WM_PAINT && controller->visible_) ValidateRect(window, &controller->bounds_);
    // The host's window taking the focus (activated by a click, the window manager or Alt+Tab) would keep
    // the keyboard in Wine's X window: it goes on to the page, as in the runtime's child window.
    if (message == WM_SETFOCUS && controller->visible_) controller->display_.Focus();
    return DefSubclassProc(window, message, wParam, lParam);
}

HRESULT Controller::put_IsVisible(BOOL visible) {
    visible_ = visible != FALSE;
    display_.Show(visible_);
    return S_OK;
}

HRESULT Controller::put_Bounds(RECT bounds) {
    bounds_ = bounds;
    display_.Place(bounds);
    return S_OK;
}

HRESULT Controller::MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON) {
    display_.Focus();
    return S_OK;
}

HRESULT Controller::Close() {
    if (webView_) webView_->Detach();
    browser_->Close();
    return S_OK;
}

HRESULT Controller::get_CoreWebView2(ICoreWebView2** webView) {
    if (!webView) return E_POINTER;
    *webView = webView_.Get();
    if (webView_) webView_->AddRef();
    return S_OK;
}

}  // namespace preview
