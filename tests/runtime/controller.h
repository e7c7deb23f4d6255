#pragma once

// The controller: owns the stand-in's view window inside the host's window and hands out the web view.

#include <wrl/client.h>

#include "web_view.h"

namespace standin {

class Controller final : public ComObject<Controller, ICoreWebView2Controller> {
public:
    Controller(HWND parent, Microsoft::WRL::ComPtr<WebView> webView);

    HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* isVisible) override;
    HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL isVisible) override;
    HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) override;
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override;
    HRESULT STDMETHODCALLTYPE get_ZoomFactor(double*) override { return NotImplemented("Controller.get_ZoomFactor"); }
    HRESULT STDMETHODCALLTYPE put_ZoomFactor(double) override { return NotImplemented("Controller.put_ZoomFactor"); }
    HRESULT STDMETHODCALLTYPE add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler*,
                                                    EventRegistrationToken*) override {
        return NotImplemented("Controller.add_ZoomFactorChanged");
    }
    HRESULT STDMETHODCALLTYPE remove_ZoomFactorChanged(EventRegistrationToken) override {
        return NotImplemented("Controller.remove_ZoomFactorChanged");
    }
    HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT, double) override {
        return NotImplemented("Controller.SetBoundsAndZoomFactor");
    }
    HRESULT STDMETHODCALLTYPE MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) override;
    HRESULT STDMETHODCALLTYPE add_MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventHandler*,
                                                     EventRegistrationToken*) override {
        return NotImplemented("Controller.add_MoveFocusRequested");
    }
    HRESULT STDMETHODCALLTYPE remove_MoveFocusRequested(EventRegistrationToken) override {
        return NotImplemented("Controller.remove_MoveFocusRequested");
    }
    HRESULT STDMETHODCALLTYPE add_GotFocus(ICoreWebView2FocusChangedEventHandler*, EventRegistrationToken*) override {
        return NotImplemented("Controller.add_GotFocus");
    }
    HRESULT STDMETHODCALLTYPE remove_GotFocus(EventRegistrationToken) override {
        return NotImplemented("Controller.remove_GotFocus");
    }
    HRESULT STDMETHODCALLTYPE add_LostFocus(ICoreWebView2FocusChangedEventHandler*, EventRegistrationToken*) override {
        return NotImplemented("Controller.add_LostFocus");
    }
    HRESULT STDMETHODCALLTYPE remove_LostFocus(EventRegistrationToken) override {
        return NotImplemented("Controller.remove_LostFocus");
    }
    HRESULT STDMETHODCALLTYPE add_AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventHandler*,
                                                        EventRegistrationToken*) override {
        return NotImplemented("Controller.add_AcceleratorKeyPressed");
    }
    HRESULT STDMETHODCALLTYPE remove_AcceleratorKeyPressed(EventRegistrationToken) override {
        return NotImplemented("Controller.remove_AcceleratorKeyPressed");
    }
    HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* parentWindow) override;
    HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND) override { return NotImplemented("Controller.put_ParentWindow"); }
    HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override;
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** coreWebView2) override;

private:
    HWND parent_;
    HWND view_;
    RECT bounds_{};
    BOOL visible_ = TRUE;
    bool closed_ = false;
    Microsoft::WRL::ComPtr<WebView> webView_;
};

}  // namespace standin
