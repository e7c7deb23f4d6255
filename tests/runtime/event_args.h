#pragma once

// Argument objects of the events the stand-in raises. They record what the handlers set on them.

#include <optional>
#include <string>

#include <wrl/client.h>

#include "standin_com.h"
#include "transcript.h"

namespace standin {

class NavigationStartingEventArgs final
    : public ComObject<NavigationStartingEventArgs, ICoreWebView2NavigationStartingEventArgs> {
public:
    NavigationStartingEventArgs(std::wstring uri, bool userInitiated, UINT64 navigationId)
        : uri_(std::move(uri)), userInitiated_(userInitiated), navigationId_(navigationId) {}
    BOOL cancel() const { return cancel_; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return ReturnString(uri_, uri); }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override {
        return ReturnValue<BOOL>(userInitiated_, value);
    }
    HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* value) override { return ReturnValue<BOOL>(FALSE, value); }
    HRESULT STDMETHODCALLTYPE get_RequestHeaders(ICoreWebView2HttpRequestHeaders**) override {
        return NotImplemented("NavigationStartingEventArgs.get_RequestHeaders");
    }
    HRESULT STDMETHODCALLTYPE get_Cancel(BOOL* value) override { return ReturnValue(cancel_, value); }
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL value) override {
        Record("NavigationStartingEventArgs.put_Cancel", {{"value", value}});
        cancel_ = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* value) override { return ReturnValue(navigationId_, value); }

private:
    std::wstring uri_;
    bool userInitiated_;
    UINT64 navigationId_;
    BOOL cancel_ = FALSE;
};

class PermissionRequestedEventArgs final
    : public ComObject<PermissionRequestedEventArgs, ICoreWebView2PermissionRequestedEventArgs> {
public:
    PermissionRequestedEventArgs(std::wstring uri, COREWEBVIEW2_PERMISSION_KIND kind, bool userInitiated)
        : uri_(std::move(uri)), kind_(kind), userInitiated_(userInitiated) {}
    COREWEBVIEW2_PERMISSION_STATE state() const { return state_; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return ReturnString(uri_, uri); }
    HRESULT STDMETHODCALLTYPE get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* value) override {
        return ReturnValue(kind_, value);
    }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override {
        return ReturnValue<BOOL>(userInitiated_, value);
    }
    HRESULT STDMETHODCALLTYPE get_State(COREWEBVIEW2_PERMISSION_STATE* value) override {
        return ReturnValue(state_, value);
    }
    HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE value) override {
        Record("PermissionRequestedEventArgs.put_State", {{"value", static_cast<int>(value)}});
        state_ = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override {
        return NotImplemented("PermissionRequestedEventArgs.GetDeferral");
    }

private:
    std::wstring uri_;
    COREWEBVIEW2_PERMISSION_KIND kind_;
    bool userInitiated_;
    COREWEBVIEW2_PERMISSION_STATE state_ = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
};

class NewWindowRequestedEventArgs final
    : public ComObject<NewWindowRequestedEventArgs, ICoreWebView2NewWindowRequestedEventArgs> {
public:
    explicit NewWindowRequestedEventArgs(std::wstring uri) : uri_(std::move(uri)) {}
    BOOL handled() const { return handled_; }
    bool newWindowSet() const { return newWindow_ != nullptr; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return ReturnString(uri_, uri); }
    HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2* value) override {
        Record("NewWindowRequestedEventArgs.put_NewWindow", {{"null", value == nullptr}});
        newWindow_ = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** value) override {
        if (!value) return E_POINTER;
        return newWindow_.CopyTo(value);
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override {
        Record("NewWindowRequestedEventArgs.put_Handled", {{"value", value}});
        handled_ = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* value) override { return ReturnValue(handled_, value); }
    HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* value) override { return ReturnValue<BOOL>(TRUE, value); }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override {
        return NotImplemented("NewWindowRequestedEventArgs.GetDeferral");
    }
    HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures**) override {
        return NotImplemented("NewWindowRequestedEventArgs.get_WindowFeatures");
    }

private:
    std::wstring uri_;
    BOOL handled_ = FALSE;
    Microsoft::WRL::ComPtr<ICoreWebView2> newWindow_;
};

class WebMessageReceivedEventArgs final
    : public ComObject<WebMessageReceivedEventArgs, ICoreWebView2WebMessageReceivedEventArgs> {
public:
    // `text` is set only for a message the page posted as a string.
    WebMessageReceivedEventArgs(std::wstring source, std::wstring json, std::optional<std::wstring> text)
        : source_(std::move(source)), json_(std::move(json)), text_(std::move(text)) {}

    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* value) override { return ReturnString(source_, value); }
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* value) override { return ReturnString(json_, value); }
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* value) override {
        HRESULT hr = E_INVALIDARG;
        if (!value) {
            hr = E_POINTER;
        } else if (text_) {
            hr = ReturnString(*text_, value);
        } else {
            *value = nullptr;
        }
        Record("WebMessageReceivedEventArgs.TryGetWebMessageAsString", {{"hr", HresultText(hr)}});
        return hr;
    }

private:
    std::wstring source_;
    std::wstring json_;
    std::optional<std::wstring> text_;
};

class DOMContentLoadedEventArgs final
    : public ComObject<DOMContentLoadedEventArgs, ICoreWebView2DOMContentLoadedEventArgs> {
public:
    explicit DOMContentLoadedEventArgs(UINT64 navigationId) : navigationId_(navigationId) {}
    HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* value) override { return ReturnValue(navigationId_, value); }

private:
    UINT64 navigationId_;
};

class ProcessFailedEventArgs final : public ComObject<ProcessFailedEventArgs, ICoreWebView2ProcessFailedEventArgs> {
public:
    explicit ProcessFailedEventArgs(int kind) : kind_(static_cast<COREWEBVIEW2_PROCESS_FAILED_KIND>(kind)) {}
    HRESULT STDMETHODCALLTYPE get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* value) override {
        return ReturnValue(kind_, value);
    }

private:
    COREWEBVIEW2_PROCESS_FAILED_KIND kind_;
};

}  // namespace standin
