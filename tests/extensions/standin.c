#include "standin.h"

#include <string.h>

#include "transcript.h"

QuillframePostMessage g_postMessage = NULL;

static BOOL CALLBACK CountChild(HWND child, LPARAM count) {
    (void)child;
    ++*(long long*)count;
    return TRUE;
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnMainWindowCreated(HWND mainWindow) {
    long long children = 0;
    EnumChildWindows(mainWindow, CountChild, (LPARAM)&children);
    TranscriptLine line;
    LineBegin(&line, "OnMainWindowCreated");
    LineAddNumber(&line, "window", (long long)(INT_PTR)mainWindow);
    LineAddBool(&line, "isWindow", IsWindow(mainWindow));
    LineAddBool(&line, "visible", IsWindowVisible(mainWindow));
    LineAddNumber(&line, "childWindows", children);
    LineAddNumber(&line, "runtimeLines", RuntimeTranscriptLines());
    LineWrite(&line);
    if (g_standin.afterMainWindowCreated) g_standin.afterMainWindowCreated(mainWindow);
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL OnExtensionMessage(const char* message) {
    TranscriptLine line;
    LineBegin(&line, "OnExtensionMessage");
    LineAddString(&line, "message", message);
    LineAddNumber(&line, "length", message ? (long long)strlen(message) : -1);
    LineWrite(&line);
    if (g_standin.afterExtensionMessage) g_standin.afterExtensionMessage(message);
}

QUILLFRAME_EXTENSION_EXPORT void QUILLFRAME_CALL Release(void) {
    if (g_standin.beforeRelease) g_standin.beforeRelease();
    TranscriptLine line;
    LineBegin(&line, "Release");
    LineAddNumber(&line, "runtimeLines", RuntimeTranscriptLines());
    LineWrite(&line);
    if (g_standin.afterRelease) g_standin.afterRelease();
}

void SendToPage(const char* json) {
    g_postMessage(json);
    TranscriptLine line;
    LineBegin(&line, "callbackReturned");
    LineAddString(&line, "json", json);
    LineWrite(&line);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    /* Only a FreeLibrary detach (reserved null) is recorded: at process exit
       other threads are already gone, perhaps holding the transcript's lock. */
    if (reason == DLL_PROCESS_ATTACH || (reason == DLL_PROCESS_DETACH && !reserved)) {
        TranscriptLine line;
        LineBegin(&line, reason == DLL_PROCESS_ATTACH ? "attach" : "unload");
        LineWrite(&line);
    }
    return TRUE;
}
