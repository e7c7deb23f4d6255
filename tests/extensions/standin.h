/* The skeleton every stand-in extension shares. It exports the entry points
   (Init from standin_init.c, which a stand-in may leave out, the other three
   from standin.c), records each call with what it was given and what it could
   see at that moment, and then runs the stand-in's own hook. */
#ifndef STANDIN_STANDIN_H
#define STANDIN_STANDIN_H

#include <quillframe/extension.h>

/* What makes one stand-in different; each defines g_standin. A hook runs after
   its call is recorded, except beforeRelease; a null hook does nothing. */
typedef struct {
    /* What Init returns, read once afterInit has run. */
    const char* const* ids;
    void (*afterInit)(void);
    void (*afterMainWindowCreated)(HWND mainWindow);
    void (*afterExtensionMessage)(const char* message);
    /* Release runs beforeRelease, records the call, then runs afterRelease. */
    void (*beforeRelease)(void);
    void (*afterRelease)(void);
} Standin;

extern const Standin g_standin;

/* The host's callback, kept by Init. */
extern QuillframePostMessage g_postMessage;

/* Calls the host's callback with json, then records that it returned. */
void SendToPage(const char* json);

#endif
