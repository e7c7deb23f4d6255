#pragma once
#include <windows.h>

#include "common/manifest.h"

// Registers the "Quillframe" window class with the app's icon (null: the
// system's); false when Windows refuses.
bool RegisterMainWindowClass(HINSTANCE instance, HICON icon);

// Creates the main window hidden, its client area the manifest's logical size
// scaled to the system DPI; null on failure.
HWND CreateMainWindow(HINSTANCE instance, const AppManifest& manifest);
