/* Ids exactly as a careless library might return them: repeated, empty, and
   with characters that need escaping or are not ASCII. They live in memory the
   library overwrites and frees once Init has returned, so the page sees them
   only if the host copied them in time. */
#include <stdlib.h>
#include <string.h>

#include "standin.h"

static const char* const kIds[] = {"dup", "", "dup", "quote\"back\\slash", "\xc3\xbcmlaut \xe2\x82\xac", ""};
enum { kIdCount = sizeof kIds / sizeof kIds[0] };
static char* g_ids[kIdCount + 1];

static void CopyIds(void) {
    for (int i = 0; i < kIdCount; ++i) {
        g_ids[i] = (char*)malloc(strlen(kIds[i]) + 1);
        if (!g_ids[i]) abort();
        strcpy(g_ids[i], kIds[i]);
    }
}

static void OverwriteAndFreeIds(HWND mainWindow) {
    (void)mainWindow;
    for (int i = 0; i < kIdCount; ++i) {
        memset(g_ids[i], 'X', strlen(g_ids[i]));
        free(g_ids[i]);
        g_ids[i] = NULL;
    }
}

const Standin g_standin = {
    .ids = (const char* const*)g_ids, .afterInit = CopyIds, .afterMainWindowCreated = OverwriteAndFreeIds};
