#pragma once
#include <windows.h>

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

// The window class of dialog boxes, message boxes among them.
constexpr wchar_t kDialogClass[] = L"#32770";

// Caption, text, icon kind, buttons and owner of a message box of another process; none
// while the box does not answer yet (its process may still be setting it up).
std::optional<nlohmann::json> ReadMessageBox(HWND dialog);

// Presses OK (or, in a box without one, its first button) as a person would;
// returns the label of the button pressed.
std::wstring DismissMessageBox(HWND dialog);
