#pragma once

// The web view's settings: every value starts at the runtime's default (all enabled) and every change is
// recorded.

#include "standin_com.h"
#include "transcript.h"

namespace standin {

#define STANDIN_SETTING(Name)                                                         \
public:                                                                               \
    HRESULT STDMETHODCALLTYPE get_##Name(BOOL* value) override {                      \
        if (!value) return E_POINTER;                                                 \
        *value = Name##_;                                                             \
        return S_OK;                                                                  \
    }                                                                                 \
    HRESULT STDMETHODCALLTYPE put_##Name(BOOL value) override {                       \
        const HRESULT hr = RecordHostCall("Settings.put_" #Name, {{"value", value}}); \
        if (SUCCEEDED(hr)) Name##_ = value;                                           \
        return hr;                                                                    \
    }                                                                                 \
                                                                                      \
private:                                                                              \
    BOOL Name##_ = TRUE;

class Settings final : public ComObject<Settings, ICoreWebView2Settings> {
    STANDIN_SETTING(IsScriptEnabled)
    STANDIN_SETTING(IsWebMessageEnabled)
    STANDIN_SETTING(AreDefaultScriptDialogsEnabled)
    STANDIN_SETTING(IsStatusBarEnabled)
    STANDIN_SETTING(AreDevToolsEnabled)
    STANDIN_SETTING(AreDefaultContextMenusEnabled)
    STANDIN_SETTING(AreHostObjectsAllowed)
    STANDIN_SETTING(IsZoomControlEnabled)
    STANDIN_SETTING(IsBuiltInErrorPageEnabled)

public:
    // The runtime delivers the page's messages only while web messages are enabled.
    bool webMessagesEnabled() const { return IsWebMessageEnabled_ != FALSE; }
};

#undef STANDIN_SETTING

}  // namespace standin
