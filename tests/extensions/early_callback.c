/* Talks to the page before there is one: from inside Init and from inside
   OnMainWindowCreated. Both texts must be dropped and both calls return. */
#include "standin.h"

static const char* const kIds[] = {"standin.early", NULL};

static void SendFromInit(void) { SendToPage("{\"type\":\"early\",\"from\":\"Init\"}"); }

static void SendFromMainWindowCreated(HWND mainWindow) {
    (void)mainWindow;
    SendToPage("{\"type\":\"early\",\"from\":\"OnMainWindowCreated\"}");
}

const Standin g_standin = {.ids = kIds, .afterInit = SendFromInit, .afterMainWindowCreated = SendFromMainWindowCreated};
