/* Answers every extension message from inside OnExtensionMessage, on the UI
   thread, and says goodbye from inside Release. */
#include <stdlib.h>
#include <string.h>

#include "standin.h"

static const char* const kIds[] = {"standin.echo", NULL};

/* The page's message is JSON already (the host parsed it), so it can be
   embedded as a member value unchanged. */
static void Echo(const char* message) {
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

static void SayGoodbye(void) { SendToPage("{\"type\":\"goodbye\"}"); }

const Standin g_standin = {.ids = kIds, .afterExtensionMessage = Echo, .afterRelease = SayGoodbye};
