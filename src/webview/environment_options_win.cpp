#include "webview/environment_options_win.h"

#include "common/adopt_win.h"
#include "common/com_object_win.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

const wchar_t kTargetCompatibleBrowserVersion[] = L"120.0.2210.55";

namespace {

using Microsoft::WRL::ComPtr;

// A string option: unset reads as NULL; every read hands out a fresh CoTaskMemAlloc copy.
class StringOption {
public:
    explicit StringOption(const wchar_t* initial = nullptr) { Set(initial); }

    void Set(const wchar_t* value) { value_ = value ? std::optional<std::wstring>(value) : std::nullopt; }

    HRESULT Get(LPWSTR* out) const {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!value_) return S_OK;
        const size_t bytes = (value_->size() + 1) * sizeof(wchar_t);
        *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!*out) return E_OUTOFMEMORY;
        std::memcpy(*out, value_->c_str(), bytes);
        return S_OK;
    }

private:
    std::optional<std::wstring> value_;
};

HRESULT GetFlag(BOOL value, BOOL* out) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

class EnvironmentOptions final
    : public ComObject<EnvironmentOptions, ICoreWebView2EnvironmentOptions, ICoreWebView2EnvironmentOptions2,
                       ICoreWebView2EnvironmentOptions3, ICoreWebView2EnvironmentOptions4,
                       ICoreWebView2EnvironmentOptions5, ICoreWebView2EnvironmentOptions6> {
public:
    EnvironmentOptions() = default;
    EnvironmentOptions(const EnvironmentOptions&) = delete;
    EnvironmentOptions& operator=(const EnvironmentOptions&) = delete;

    // ICoreWebView2EnvironmentOptions
    HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) override {
        return additionalBrowserArguments_.Get(value);
    }
    HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR value) override {
        additionalBrowserArguments_.Set(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) override { return language_.Get(value); }
    HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR value) override {
        language_.Set(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) override {
        return targetCompatibleBrowserVersion_.Get(value);
    }
    HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR value) override {
        targetCompatibleBrowserVersion_.Set(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) override {
        return GetFlag(allowSingleSignOn_, allow);
    }
    HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) override {
        allowSingleSignOn_ = allow;
        return S_OK;
    }

    // ICoreWebView2EnvironmentOptions2
    HRESULT STDMETHODCALLTYPE get_ExclusiveUserDataFolderAccess(BOOL* value) override {
        return GetFlag(exclusiveUserDataFolderAccess_, value);
    }
    HRESULT STDMETHODCALLTYPE put_ExclusiveUserDataFolderAccess(BOOL value) override {
        exclusiveUserDataFolderAccess_ = value;
        return S_OK;
    }

    // ICoreWebView2EnvironmentOptions3
    HRESULT STDMETHODCALLTYPE get_IsCustomCrashReportingEnabled(BOOL* value) override {
        return GetFlag(customCrashReporting_, value);
    }
    HRESULT STDMETHODCALLTYPE put_IsCustomCrashReportingEnabled(BOOL value) override {
        customCrashReporting_ = value;
        return S_OK;
    }

    // ICoreWebView2EnvironmentOptions4: the caller owns the returned array and one reference per element.
    HRESULT STDMETHODCALLTYPE
    GetCustomSchemeRegistrations(UINT32* count, ICoreWebView2CustomSchemeRegistration*** schemeRegistrations) override {
        if (!count || !schemeRegistrations) return E_POINTER;
        *count = 0;
        *schemeRegistrations = nullptr;
        if (schemes_.empty()) return S_OK;
        auto* array = static_cast<ICoreWebView2CustomSchemeRegistration**>(
            CoTaskMemAlloc(schemes_.size() * sizeof(ICoreWebView2CustomSchemeRegistration*)));
        if (!array) return E_OUTOFMEMORY;
        for (size_t i = 0; i < schemes_.size(); ++i) {
            array[i] = schemes_[i].Get();
            array[i]->AddRef();
        }
        *count = static_cast<UINT32>(schemes_.size());
        *schemeRegistrations = array;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    SetCustomSchemeRegistrations(UINT32 count, ICoreWebView2CustomSchemeRegistration** schemeRegistrations) override {
        if (count > 0 && !schemeRegistrations) return E_INVALIDARG;
        std::vector<ComPtr<ICoreWebView2CustomSchemeRegistration>> schemes;
        for (UINT32 i = 0; i < count; ++i) {
            if (!schemeRegistrations[i]) return E_INVALIDARG;
            schemes.emplace_back(schemeRegistrations[i]);
        }
        schemes_ = std::move(schemes);
        return S_OK;
    }

    // ICoreWebView2EnvironmentOptions5
    HRESULT STDMETHODCALLTYPE get_EnableTrackingPrevention(BOOL* value) override {
        return GetFlag(trackingPrevention_, value);
    }
    HRESULT STDMETHODCALLTYPE put_EnableTrackingPrevention(BOOL value) override {
        trackingPrevention_ = value;
        return S_OK;
    }

    // ICoreWebView2EnvironmentOptions6
    HRESULT STDMETHODCALLTYPE get_AreBrowserExtensionsEnabled(BOOL* value) override {
        return GetFlag(browserExtensions_, value);
    }
    HRESULT STDMETHODCALLTYPE put_AreBrowserExtensionsEnabled(BOOL value) override {
        browserExtensions_ = value;
        return S_OK;
    }

private:
    StringOption additionalBrowserArguments_;
    StringOption language_;
    StringOption targetCompatibleBrowserVersion_{kTargetCompatibleBrowserVersion};
    BOOL allowSingleSignOn_ = FALSE;
    BOOL exclusiveUserDataFolderAccess_ = FALSE;
    BOOL customCrashReporting_ = FALSE;
    std::vector<ComPtr<ICoreWebView2CustomSchemeRegistration>> schemes_;
    BOOL trackingPrevention_ = TRUE;
    BOOL browserExtensions_ = FALSE;
};

}  // namespace

ComPtr<ICoreWebView2EnvironmentOptions> CreateEnvironmentOptions() {
    return Adopt<ICoreWebView2EnvironmentOptions>(new EnvironmentOptions);
}
