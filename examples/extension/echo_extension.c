/* Example extension: one component that answers every extension message with
   an "extension-reply" holding what it received and when.

   The page sends, as a string:  {"type":"extension-message","text":"hello"}
   and receives, parsed:         {"type":"extension-reply",
                                  "component":"quillframe.example.echo",
                                  "received":{"type":"extension-message","text":"hello"},
                                  "at":1733550000000}                                    */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <quillframe/extension.h>

#define COMPONENT_ID "quillframe.example.echo"

static const char* const kComponentIds[] = {COMPONENT_ID, NULL};
static QuillframePostMessage g_postMessage = NULL;

/* Milliseconds since 1970-01-01 UTC, the page's Date value. */
static long long NowMilliseconds(void) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = ((unsigned long long)now.dwHighDateTime << 32) | now.dwLowDateTime;
    return (long long)(ticks / 10000ULL) - 11644473600000LL;
}

QUILLFRAME_EXTENSION_EXPORT const char* const* QUILLFRAME_CALL Init(const char* exeFolder, const char* contentFolder,
                                                                    const char* userDataFolder,
                                                                    QuillframePostMessage postMessage) {
    (void)exeFolder;
    (void)contentFolder;
    (void)userDataFolder;
    g_postMessage = postMessage;
    return kComponentIds;
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL Release(void) { g_postMessage = NULL; }

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnMainWindowCreated(HWND mainWindow) { (void)mainWindow; }

/* The host hands over the page's message exactly as sent, and it has already
   checked that it is JSON, so it can go into the reply unchanged. */
QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnExtensionMessage(const char* message) {
    if (!g_postMessage) return;
    static const char kFormat[] = "{\"type\":\"extension-reply\",\"component\":\"" COMPONENT_ID
                                  "\",\"received\":%s,\"at\":%lld}";
    const long long at = NowMilliseconds();
    const int length = snprintf(NULL, 0, kFormat, message, at);
    if (length < 0) return;
    char* reply = (char*)malloc((size_t)length + 1);
    if (!reply) return;
    snprintf(reply, (size_t)length + 1, kFormat, message, at);
    g_postMessage(reply); /* the host copies the text before it returns */
    free(reply);
}
