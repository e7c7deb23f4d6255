/* A library that keeps calling after Release returned: Release starts a thread
   that calls the callback for as long as the process lives. The library pins
   itself so that unloading cannot pull its code from under that thread. */
#include "standin.h"
#include "transcript.h"

static const char* const kIds[] = {"standin.late", NULL};
static volatile LONG g_releaseReturned = 0;
static HANDLE g_firstCallMade = NULL;

enum { kRecordedCalls = 20 };

static DWORD WINAPI KeepCalling(LPVOID parameter) {
    (void)parameter;
    char json[64];
    for (long seq = 0;; ++seq) {
        const LONG afterRelease = InterlockedCompareExchange(&g_releaseReturned, 0, 0);
        wsprintfA(json, "{\"type\":\"late\",\"seq\":%ld}", seq);
        g_postMessage(json);
        if (seq == 0) SetEvent(g_firstCallMade);
        /* Only the first few calls after Release are recorded, so that the
           process ends while this thread holds no lock of the C runtime. */
        static long recordedAfterRelease = 0;
        if (afterRelease && recordedAfterRelease < kRecordedCalls) {
            ++recordedAfterRelease;
            TranscriptLine line;
            LineBegin(&line, "lateCallReturned");
            LineAddNumber(&line, "seq", seq);
            LineWrite(&line);
        }
        Sleep(1);
    }
    return 0;
}

static void PinAndStartCalling(void) {
    HMODULE self = NULL;
    const BOOL pinned = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                           (LPCWSTR)(void*)&KeepCalling, &self);
    g_firstCallMade = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE thread = CreateThread(NULL, 0, KeepCalling, NULL, 0, NULL);
    WaitForSingleObject(g_firstCallMade, 5000);
    CloseHandle(thread);
    TranscriptLine line;
    LineBegin(&line, "pinned");
    LineAddBool(&line, "ok", pinned);
    LineWrite(&line);
}

static void MarkReleaseReturned(void) { InterlockedExchange(&g_releaseReturned, 1); }

const Standin g_standin = {.ids = kIds, .beforeRelease = PinAndStartCalling, .afterRelease = MarkReleaseReturned};
