/* What every stand-in extension does at each entry point: record the call,
   with what it was given and what it could see at that moment. */
#ifndef STANDIN_STANDIN_H
#define STANDIN_STANDIN_H

#include <quillframe/extension.h>

/* The host's callback, kept by RecordInit. */
extern QuillframePostMessage g_postMessage;

void RecordInit(const char* exeFolder, const char* contentFolder, const char* userDataFolder,
                QuillframePostMessage postMessage);
void RecordMainWindowCreated(HWND mainWindow);
void RecordExtensionMessage(const char* message);
void RecordRelease(void);

/* Calls the host's callback with json, then records that it returned. */
void SendToPage(const char* json);

#endif
