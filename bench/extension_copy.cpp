#include "extension_copy.h"

#include "common/strings.h"
#include "measure.h"

namespace {

// The copy's callback has no record to find its counter through.
ExtensionCopy* g_copy = nullptr;

extern "C" void QUILLFRAME_CALL PostFromCopy(const char* json) { g_copy->Post(Utf8ToWide(json)); }

}  // namespace

ExtensionCopy::ExtensionCopy(const std::string& extensionFolder, const std::string& workFolder) {
    const std::wstring copy = Utf8ToWide(workFolder + "extension_copy.dll");
    if (!CopyFileW(Utf8ToWide(extensionFolder + "ZU2DavErudoze.dll").c_str(), copy.c_str(), FALSE))
        Fail("cannot copy the extension library");
    library_ = Library::FromPath(copy);
    if (!library_) Fail("cannot load the copy of the extension library");
    const auto init = library_.Find<QuillframeInitFunction>("Init");
    release_ = library_.Find<QuillframeReleaseFunction>("Release");
    onExtensionMessage_ = library_.Find<QuillframeOnExtensionMessageFunction>("OnExtensionMessage");
    if (!init || !release_ || !onExtensionMessage_) Fail("the extension library lacks an entry point");
    g_copy = this;
    if (!init(extensionFolder.c_str(), "www\\", "", PostFromCopy)) Fail("the copy did not initialise");
}

ExtensionCopy::~ExtensionCopy() {
    release_();
    g_copy = nullptr;
}
