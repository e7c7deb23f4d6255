/* A well-behaved library: all four entry points, two components, no callbacks. */
#include "standin.h"

static const char* const kIds[] = {"standin.alpha", "standin.beta", NULL};

const Standin g_standin = {.ids = kIds};
