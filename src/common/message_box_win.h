#pragma once
#include <string>

// Start-up's boxes: no owner window, one OK button.
void ShowErrorBox(const std::wstring& text, const std::wstring& caption);
void ShowInformationBox(const std::wstring& text, const std::wstring& caption);

extern const wchar_t kAppCaption[];  // "Quillframe"
