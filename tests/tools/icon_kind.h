#pragma once
#include <windows.h>

#include <optional>
#include <string>

// Which standard icon a message box shows: "error", "information", "warning", "question"
// or "none". An icon handle of another process cannot be read here, so the icon is told
// from the pixels on screen, compared with our own renderings of the standard icons.
// None while the control does not answer yet.
std::optional<std::string> IconKindOf(HWND iconControl);
