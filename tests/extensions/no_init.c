/* Exports everything but Init, so it is never initialised, yet used: it is
   built without the skeleton's Init (see CMakeLists.txt). */
#include "standin.h"

const Standin g_standin = {.ids = NULL};
