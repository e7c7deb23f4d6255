#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "bridge/extension_host_win.h"

// A second, private instance of an extension library (a copy under another
// name), initialised with a callback that posts straight to a counter of its
// own: the floor the host's extension round trip is measured against.
class ExtensionCopy {
public:
    ExtensionCopy(const std::string& extensionFolder, const std::string& workFolder);
    ExtensionCopy(const ExtensionCopy&) = delete;
    ExtensionCopy& operator=(const ExtensionCopy&) = delete;
    ~ExtensionCopy();

    // Texts posted so far, through the callback or Post.
    uint64_t posts() const { return posts_; }
    // What a web view is handed: the text in UTF-16.
    void Post(const std::wstring& json) { posts_ += json.empty() ? 0 : 1; }
    void OnExtensionMessage(const char* text) { onExtensionMessage_(text); }

private:
    uint64_t posts_ = 0;
    Library library_;
    QuillframeReleaseProc release_ = nullptr;
    QuillframeOnExtensionMessageProc onExtensionMessage_ = nullptr;
};
