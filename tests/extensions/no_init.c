/* Exports everything but Init, so it is never initialised, yet used. */
#include "standin.h"

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL Release(void) { RecordRelease(); }

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnMainWindowCreated(HWND mainWindow) {
    RecordMainWindowCreated(mainWindow);
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnExtensionMessage(const char* message) {
    RecordExtensionMessage(message);
}
