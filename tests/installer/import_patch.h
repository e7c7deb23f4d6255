#pragma once
#include <windows.h>

// Points every import of `function` (by name, from any DLL) in `module` at
// `replacement`. Returns how many import slots were changed.
int PatchImports(HMODULE module, const char* function, void* replacement);
