#pragma once
#include <windows.h>

#include <string>

// Starts GDI+ (version 1, its background thread allowed) and returns the token.
ULONG_PTR StartGdiplus();
void StopGdiplus(ULONG_PTR token);

// An icon made from any image GDI+ can read; null when the file is missing or
// is no such image.
HICON LoadIconFromImageFile(const std::string& path);
