#pragma once

// The web view and its controller over one page target of Chromium.

#include <windows.h>
#include <wrl/client.h>

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "browser_win.h"
#include "display_win.h"
#include "event_args_win.h"

namespace preview {

template <class Handler>
class EventList {
public:
    HRESULT Add(Handler* handler, EventRegistrationToken* token) {
        if (!handler) return E_INVALIDARG;
        entries_.emplace_back(++lastToken_, handler);
        if (token) token->value = lastToken_;
        return S_OK;
    }
    HRESULT Remove(EventRegistrationToken token) {
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
            if (entry->first == token.value) {
                entries_.erase(entry);
                break;
            }
        }
        return S_OK;
    }
    bool Empty() const { return entries_.empty(); }
    template <class Sender, class Args>
    void Raise(Sender* sender, Args* args) const {
        const auto handlers = entries_;  // a handler may add or remove handlers
        for (const auto& entry : handlers) entry.second->Invoke(sender, args);
    }

private:
    INT64 lastToken_ = 0;
    std::vector<std::pair<INT64, Microsoft::WRL::ComPtr<Handler>>> entries_;
};

class Settings final : public ComObject<Settings, ICoreWebView2Settings> {
public:
    Settings(std::function<void(bool)> scriptEnabled, std::function<void(bool)> devToolsEnabled)
        : scriptEnabled_(std::move(scriptEnabled)), devToolsEnabled_(std::move(devToolsEnabled)) {}
    bool WebMessagesEnabled() const { return webMessages_; }
    bool DevToolsEnabled() const { return devTools_; }

#define QF_PREVIEW_SETTING(Name, field)                                                                    \
    HRESULT STDMETHODCALLTYPE get_##Name(BOOL* value) override { return ReturnValue<BOOL>(field, value); } \
    HRESULT STDMETHODCALLTYPE put_##Name(BOOL value) override {                                           \
        field = value != FALSE;                                                                            \
        return S_OK;                                                                                       \
    }
    QF_PREVIEW_SETTING(IsWebMessageEnabled, webMessages_)
    QF_PREVIEW_SETTING(AreDefaultScriptDialogsEnabled, scriptDialogs_)
    QF_PREVIEW_SETTING(IsStatusBarEnabled, statusBar_)
    QF_PREVIEW_SETTING(AreDefaultContextMenusEnabled, contextMenus_)
    QF_PREVIEW_SETTING(AreHostObjectsAllowed, hostObjects_)
    QF_PREVIEW_SETTING(IsZoomControlEnabled, zoomControl_)
    QF_PREVIEW_SETTING(IsBuiltInErrorPageEnabled, errorPage_)
#undef QF_PREVIEW_SETTING
    HRESULT STDMETHODCALLTYPE get_IsScriptEnabled(BOOL* value) override { return ReturnValue<BOOL>(script_, value); }
    HRESULT STDMETHODCALLTYPE put_IsScriptEnabled(BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_AreDevToolsEnabled(BOOL* value) override { return ReturnValue<BOOL>(devTools_, value); }
    HRESULT STDMETHODCALLTYPE put_AreDevToolsEnabled(BOOL value) override;

private:
    std::function<void(bool)> scriptEnabled_;
    std::function<void(bool)> devToolsEnabled_;
    bool script_ = true, webMessages_ = true, scriptDialogs_ = true, statusBar_ = true, devTools_ = true,
         contextMenus_ = true, hostObjects_ = true, zoomControl_ = true, errorPage_ = true;
};

class WebView;

class Controller final : public ComObject<Controller, ICoreWebView2Controller> {
public:
    // Attaches to Chromium's app window and page; an HRESULT when that fails.
    static HRESULT Create(std::shared_ptr<Browser> browser, ICoreWebView2Environment* environment, HWND parent,
                          Microsoft::WRL::ComPtr<Controller>* created);
    Controller(std::shared_ptr<Browser> browser, HWND parent);
    ~Controller();

    HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* visible) override { return ReturnValue<BOOL>(visible_, visible); }
    HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL visible) override;
    HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) override { return ReturnValue(bounds_, bounds); }
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override;
    HRESULT STDMETHODCALLTYPE get_ZoomFactor(double* zoom) override { return ReturnValue(1.0, zoom); }
    HRESULT STDMETHODCALLTYPE put_ZoomFactor(double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler*, EventRegistrationToken*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_ZoomFactorChanged(EventRegistrationToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT bounds, double) override { return put_Bounds(bounds); }
    HRESULT STDMETHODCALLTYPE MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON) override;
    HRESULT STDMETHODCALLTYPE add_MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventHandler*, EventRegistrationToken*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_MoveFocusRequested(EventRegistrationToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_GotFocus(ICoreWebView2FocusChangedEventHandler*, EventRegistrationToken*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_GotFocus(EventRegistrationToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_LostFocus(ICoreWebView2FocusChangedEventHandler*, EventRegistrationToken*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_LostFocus(EventRegistrationToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventHandler*, EventRegistrationToken*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE remove_AcceleratorKeyPressed(EventRegistrationToken) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* parent) override { return ReturnValue(parent_, parent); }
    HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND) override { return E_NOTIMPL; }
    // A reparented window moves with its parent by itself.
    HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** webView) override;

private:
    static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);

    std::shared_ptr<Browser> browser_;
    HWND parent_;
    Display display_;
    Microsoft::WRL::ComPtr<WebView> webView_;
    RECT bounds_{};
    bool visible_ = true;
};

}  // namespace preview
