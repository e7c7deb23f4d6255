/* Init succeeds with no components: the array holds only its terminator. */
#include "standin.h"

static const char* const kNoIds[] = {NULL};

const Standin g_standin = {.ids = kNoIds};
