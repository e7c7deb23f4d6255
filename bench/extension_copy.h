#pragma once
#include <windows.h>
#include <wrl/client.h>

#include <string>

#include "bridge/extension_host_win.h"
#include "counting_web_view.h"

// A second, private instance of an extension library (a copy under another
// name), initialised with a callback that posts straight to its own web view:
// the floor the host's extension round trip is measured against.
class ExtensionCopy {
public:
    ExtensionCopy(const std::string& extensionFolder, const std::string& workFolder);
    ExtensionCopy(const ExtensionCopy&) = delete;
    ExtensionCopy& operator=(const ExtensionCopy&) = delete;
    ~ExtensionCopy();

    const CountingWebView& webView() const { return *webView_.Get(); }
    void Post(const std::wstring& json) { webView_->PostWebMessageAsJson(json.c_str()); }
    void OnExtensionMessage(const char* text) { onExtensionMessage_(text); }

private:
    Microsoft::WRL::ComPtr<CountingWebView> webView_;
    UniqueModule module_;
    QuillframeReleaseProc release_ = nullptr;
    QuillframeOnExtensionMessageProc onExtensionMessage_ = nullptr;
};
