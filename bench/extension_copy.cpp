#include "extension_copy.h"

#include "common/strings.h"
#include "measure.h"

namespace {

// The copy's callback has no record to find its counter through.
ExtensionCopy* g_copy = nullptr;

extern "C" void QUILLFRAME_CALL PostFromCopy(const char* json) { g_copy->Post(Utf8ToWide(json)); }

template <class Proc>
Proc EntryPoint(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

ExtensionCopy::ExtensionCopy(const std::string& extensionFolder, const std::string& workFolder) {
    const std::wstring copy = Utf8ToWide(workFolder + "extension_copy.dll");
    if (!CopyFileW(Utf8ToWide(extensionFolder + "ZU2DavErudoze.dll").c_str(), copy.c_str(), FALSE))
        Fail("cannot copy the extension library");
    module_.reset(LoadLibraryExW(copy.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module_) Fail("cannot load the copy of the extension library");
    const auto init = EntryPoint<QuillframeInitProc>(module_.get(), "Init");
    release_ = EntryPoint<QuillframeReleaseProc>(module_.get(), "Release");
    onExtensionMessage_ = EntryPoint<QuillframeOnExtensionMessageProc>(module_.get(), "OnExtensionMessage");
    if (!init || !release_ || !onExtensionMessage_) Fail("the extension library lacks an entry point");
    g_copy = this;
    if (!init(extensionFolder.c_str(), "www\\", "", PostFromCopy)) Fail("the copy did not initialise");
}

ExtensionCopy::~ExtensionCopy() {
    release_();
    g_copy = nullptr;
}
