#pragma once
#include <windows.h>

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

// Top-level windows that belong to one process, in z-order.
std::vector<HWND> TopLevelWindowsOf(DWORD processId);

// Every descendant window, in the order EnumChildWindows gives.
std::vector<HWND> ChildWindowsOf(HWND window);

std::wstring ClassNameOf(HWND window);

// Text of a window of another process, asked with a bounded wait so a busy owner cannot
// hang us; none when it did not answer.
std::optional<std::wstring> TextOf(HWND window);

// What a person (or a test) could see of a top-level window: class, caption, visibility, styles,
// outer rectangle and client area in screen pixels, and the state of its progress bars.
nlohmann::json WindowFacts(HWND window);
