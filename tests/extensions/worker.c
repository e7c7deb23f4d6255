/* Sends from a thread of its own. The page starts it with an extension message
   holding "command":"start" and "count":N; the thread then sends N numbered
   messages back to back while the page may keep sending. Release stops the
   thread and waits for it, as a well-behaved library does. */
#include <stdlib.h>
#include <string.h>

#include "standin.h"
#include "transcript.h"

static const char* const kIds[] = {"standin.worker", NULL};
static HANDLE g_thread = NULL;
static volatile LONG g_stop = 0;

static DWORD WINAPI SendNumbered(LPVOID parameter) {
    const long count = (long)(INT_PTR)parameter;
    long sent = 0;
    char json[64];
    for (; sent < count && !InterlockedCompareExchange(&g_stop, 0, 0); ++sent) {
        wsprintfA(json, "{\"type\":\"worker\",\"seq\":%ld}", sent);
        g_postMessage(json);
    }
    TranscriptLine line;
    LineBegin(&line, "workerDone");
    LineAddNumber(&line, "sent", sent);
    LineWrite(&line);
    return 0;
}

static long CountIn(const char* message) {
    const char* count = strstr(message, "\"count\":");
    return count ? strtol(count + strlen("\"count\":"), NULL, 10) : 1000;
}

static void StartOnCommand(const char* message) {
    if (!g_thread && strstr(message, "\"command\":\"start\""))
        g_thread = CreateThread(NULL, 0, SendNumbered, (LPVOID)(INT_PTR)CountIn(message), 0, NULL);
}

static void StopAndWait(void) {
    InterlockedExchange(&g_stop, 1);
    if (g_thread) {
        WaitForSingleObject(g_thread, INFINITE);
        CloseHandle(g_thread);
    }
}

const Standin g_standin = {.ids = kIds, .afterExtensionMessage = StartOnCommand, .beforeRelease = StopAndWait};
