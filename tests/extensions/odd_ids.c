/* Ids exactly as a careless library might return them: repeated, empty, and
   with characters that need escaping or are not ASCII. */
#include "standin.h"

static const char* const kIds[] = {"dup", "", "dup", "quote\"back\\slash", "\xc3\xbcmlaut \xe2\x82\xac", "", NULL};

QUILLFRAME_EXTENSION_EXPORT const char* const* QUILLFRAME_CALL Init(const char* exeFolder, const char* contentFolder,
                                                                    const char* userDataFolder,
                                                                    QuillframePostMessage postMessage) {
    RecordInit(exeFolder, contentFolder, userDataFolder, postMessage);
    return kIds;
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL Release(void) { RecordRelease(); }

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnMainWindowCreated(HWND mainWindow) {
    RecordMainWindowCreated(mainWindow);
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnExtensionMessage(const char* message) {
    RecordExtensionMessage(message);
}
