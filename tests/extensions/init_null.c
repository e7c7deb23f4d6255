/* Init reports failure with a null array. */
#include "standin.h"

const Standin g_standin = {.ids = NULL};
