/* Talks to the page before there is one: from inside Init and from inside
   OnMainWindowCreated. Both texts must be dropped and both calls return. */
#include "standin.h"

static const char* const kIds[] = {"standin.early", NULL};

QUILLFRAME_EXTENSION_EXPORT const char* const* QUILLFRAME_CALL Init(const char* exeFolder, const char* contentFolder,
                                                                    const char* userDataFolder,
                                                                    QuillframePostMessage postMessage) {
    RecordInit(exeFolder, contentFolder, userDataFolder, postMessage);
    SendToPage("{\"type\":\"early\",\"from\":\"Init\"}");
    return kIds;
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL Release(void) { RecordRelease(); }

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnMainWindowCreated(HWND mainWindow) {
    RecordMainWindowCreated(mainWindow);
    SendToPage("{\"type\":\"early\",\"from\":\"OnMainWindowCreated\"}");
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnExtensionMessage(const char* message) {
    RecordExtensionMessage(message);
}
