/* Init reports failure with a null array. */
#include "standin.h"

QUILLFRAME_EXTENSION_EXPORT const char* const* QUILLFRAME_CALL Init(const char* exeFolder, const char* contentFolder,
                                                                    const char* userDataFolder,
                                                                    QuillframePostMessage postMessage) {
    RecordInit(exeFolder, contentFolder, userDataFolder, postMessage);
    return NULL;
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL Release(void) { RecordRelease(); }

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnMainWindowCreated(HWND mainWindow) {
    RecordMainWindowCreated(mainWindow);
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnExtensionMessage(const char* message) {
    RecordExtensionMessage(message);
}
