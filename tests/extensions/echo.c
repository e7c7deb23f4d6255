/* Answers every extension message from inside OnExtensionMessage, on the UI
   thread, and says goodbye from inside Release. */
#include <stdlib.h>
#include <string.h>

#include "standin.h"

static const char* const kIds[] = {"standin.echo", NULL};

QUILLFRAME_EXTENSION_EXPORT const char* const* QUILLFRAME_CALL Init(const char* exeFolder, const char* contentFolder,
                                                                    const char* userDataFolder,
                                                                    QuillframePostMessage postMessage) {
    RecordInit(exeFolder, contentFolder, userDataFolder, postMessage);
    return kIds;
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL Release(void) {
    RecordRelease();
    SendToPage("{\"type\":\"goodbye\"}");
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnMainWindowCreated(HWND mainWindow) {
    RecordMainWindowCreated(mainWindow);
}

/* The page's message is JSON already (the host parsed it), so it can be
   embedded as a member value unchanged. */
QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnExtensionMessage(const char* message) {
    RecordExtensionMessage(message);
    static const char kHead[] = "{\"type\":\"echo\",\"received\":";
    const size_t length = strlen(kHead) + strlen(message) + 2;
    char* reply = (char*)malloc(length);
    if (!reply) abort();
    strcpy(reply, kHead);
    strcat(reply, message);
    strcat(reply, "}");
    SendToPage(reply);
    free(reply);
}
