#include "standin.h"

#include <string.h>

#include "transcript.h"

QuillframePostMessage g_postMessage = NULL;

static BOOL CALLBACK CountChild(HWND child, LPARAM count) {
    (void)child;
    ++*(long long*)count;
    return TRUE;
}

void RecordInit(const char* exeFolder, const char* contentFolder, const char* userDataFolder,
                QuillframePostMessage postMessage) {
    g_postMessage = postMessage;
    TranscriptLine line;
    LineBegin(&line, "Init");
    LineAddString(&line, "exeFolder", exeFolder);
    LineAddString(&line, "contentFolder", contentFolder);
    LineAddString(&line, "userDataFolder", userDataFolder);
    LineAddBool(&line, "callbackNull", postMessage == NULL);
    LineAddNumber(&line, "runtimeLines", RuntimeTranscriptLines());
    LineWrite(&line);
}

void RecordMainWindowCreated(HWND mainWindow) {
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
}

void RecordExtensionMessage(const char* message) {
    TranscriptLine line;
    LineBegin(&line, "OnExtensionMessage");
    LineAddString(&line, "message", message);
    LineAddNumber(&line, "length", message ? (long long)strlen(message) : -1);
    LineWrite(&line);
}

void RecordRelease(void) {
    TranscriptLine line;
    LineBegin(&line, "Release");
    LineAddNumber(&line, "runtimeLines", RuntimeTranscriptLines());
    LineWrite(&line);
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
