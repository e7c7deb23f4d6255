// A correct C++ library linked the compiler's default way: it needs the mingw
// C++ runtime DLLs at load time, which nothing ships beside it.
#include <quillframe/extension.h>

#include <string>

namespace {
std::string g_last;
const char* const kIds[] = {"standin.cxx", nullptr};
}  // namespace

QUILLFRAME_EXTENSION_EXPORT const char* const* QUILLFRAME_CALL Init(const char*, const char*, const char*,
                                                                    QuillframePostMessage) {
    return kIds;
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL Release(void) { g_last.clear(); }

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnMainWindowCreated(HWND) {}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnExtensionMessage(const char* message) {
    try {
        g_last = message;
    } catch (...) {
    }
}
