#include "options_probe.h"

#include <wrl/client.h>

#include "standin_com.h"
#include "transcript.h"
#include "common/co_task_string_win.h"

using Microsoft::WRL::ComPtr;

namespace standin {
namespace {

// {5D3B5F72-3C5A-4B8C-9E0B-0E6A8E7F1C11}: an interface no options object implements.
constexpr IID kUnrelatedIid = {0x5d3b5f72, 0x3c5a, 0x4b8c, {0x9e, 0x0b, 0x0e, 0x6a, 0x8e, 0x7f, 0x1c, 0x11}};

template <class I>
nlohmann::json ReadString(I* object, HRESULT (STDMETHODCALLTYPE I::*getter)(LPWSTR*), nlohmann::json& nulls,
                          const char* name) {
    nulls[name] = HresultText((object->*getter)(nullptr));
    CoTaskString value;
    const HRESULT hr = (object->*getter)(value.Put());
    return SUCCEEDED(hr) ? Json(value.Get()) : nlohmann::json(HresultText(hr));
}

template <class I, class T>
nlohmann::json ReadValue(I* object, HRESULT (STDMETHODCALLTYPE I::*getter)(T*), nlohmann::json& nulls,
                         const char* name) {
    nulls[name] = HresultText((object->*getter)(nullptr));
    T value{};
    const HRESULT hr = (object->*getter)(&value);
    return SUCCEEDED(hr) ? nlohmann::json(static_cast<long long>(value)) : nlohmann::json(HresultText(hr));
}

IUnknown* Identity(IUnknown* object) {
    ComPtr<IUnknown> identity;
    object->QueryInterface(IID_PPV_ARGS(&identity));
    return identity.Get();
}

nlohmann::json ReadSchemes(ICoreWebView2EnvironmentOptions4* options, nlohmann::json& nulls) {
    UINT32 count = 0;
    nulls["GetCustomSchemeRegistrations"] = HresultText(options->GetCustomSchemeRegistrations(&count, nullptr));
    ICoreWebView2CustomSchemeRegistration** registrations = nullptr;
    const HRESULT hr = options->GetCustomSchemeRegistrations(&count, &registrations);
    if (FAILED(hr)) return HresultText(hr);
    for (UINT32 i = 0; i < count; ++i) registrations[i]->Release();
    CoTaskMemFree(registrations);
    return count;
}

struct Probe {
    ICoreWebView2EnvironmentOptions* options;
    nlohmann::json result = nlohmann::json::object();
    nlohmann::json nulls = nlohmann::json::object();
    nlohmann::json interfaces = nlohmann::json::object();
    IUnknown* identity = Identity(options);
    bool sameIdentity = identity != nullptr;

    // The runtime must cope with hosts that answer only some of the option interfaces.
    template <class I, class Read>
    void Part(const char* name, Read read) {
        ComPtr<I> part;
        const bool answered = SUCCEEDED(options->QueryInterface(IID_PPV_ARGS(&part))) && part;
        interfaces[name] = answered;
        if (!answered) return;
        sameIdentity = sameIdentity && Identity(part.Get()) == identity;
        read(part.Get());
    }
};

}  // namespace

nlohmann::json ProbeOptions(ICoreWebView2EnvironmentOptions* options) {
    if (!options) return nullptr;
    Probe p{options};
    auto& r = p.result;
    using O1 = ICoreWebView2EnvironmentOptions;
    using O2 = ICoreWebView2EnvironmentOptions2;
    using O3 = ICoreWebView2EnvironmentOptions3;
    using O4 = ICoreWebView2EnvironmentOptions4;
    using O5 = ICoreWebView2EnvironmentOptions5;
    using O6 = ICoreWebView2EnvironmentOptions6;
    using O7 = ICoreWebView2EnvironmentOptions7;
    using O8 = ICoreWebView2EnvironmentOptions8;
    r["AdditionalBrowserArguments"] =
        ReadString(options, &O1::get_AdditionalBrowserArguments, p.nulls, "get_AdditionalBrowserArguments");
    r["Language"] = ReadString(options, &O1::get_Language, p.nulls, "get_Language");
    r["TargetCompatibleBrowserVersion"] =
        ReadString(options, &O1::get_TargetCompatibleBrowserVersion, p.nulls, "get_TargetCompatibleBrowserVersion");
    r["AllowSingleSignOnUsingOSPrimaryAccount"] = ReadValue(options, &O1::get_AllowSingleSignOnUsingOSPrimaryAccount,
                                                            p.nulls, "get_AllowSingleSignOnUsingOSPrimaryAccount");
    p.Part<O2>("Options2", [&](O2* o) {
        r["ExclusiveUserDataFolderAccess"] =
            ReadValue(o, &O2::get_ExclusiveUserDataFolderAccess, p.nulls, "get_ExclusiveUserDataFolderAccess");
    });
    p.Part<O3>("Options3", [&](O3* o) {
        r["IsCustomCrashReportingEnabled"] =
            ReadValue(o, &O3::get_IsCustomCrashReportingEnabled, p.nulls, "get_IsCustomCrashReportingEnabled");
    });
    p.Part<O4>("Options4", [&](O4* o) { r["CustomSchemeRegistrationCount"] = ReadSchemes(o, p.nulls); });
    p.Part<O5>("Options5", [&](O5* o) {
        r["EnableTrackingPrevention"] =
            ReadValue(o, &O5::get_EnableTrackingPrevention, p.nulls, "get_EnableTrackingPrevention");
    });
    p.Part<O6>("Options6", [&](O6* o) {
        r["AreBrowserExtensionsEnabled"] =
            ReadValue(o, &O6::get_AreBrowserExtensionsEnabled, p.nulls, "get_AreBrowserExtensionsEnabled");
    });
    p.Part<O7>("Options7", [&](O7* o) {
        r["ChannelSearchKind"] = ReadValue(o, &O7::get_ChannelSearchKind, p.nulls, "get_ChannelSearchKind");
        r["ReleaseChannels"] = ReadValue(o, &O7::get_ReleaseChannels, p.nulls, "get_ReleaseChannels");
    });
    p.Part<O8>("Options8", [&](O8* o) {
        r["ScrollBarStyle"] = ReadValue(o, &O8::get_ScrollBarStyle, p.nulls, "get_ScrollBarStyle");
    });

    ComPtr<IUnknown> unrelated;
    r["unknownInterface"] = HresultText(options->QueryInterface(kUnrelatedIid, &unrelated));
    r["interfaces"] = p.interfaces;
    r["nullOutPointer"] = p.nulls;
    r["sameIdentity"] = p.sameIdentity;
    return r;
}

}  // namespace standin
