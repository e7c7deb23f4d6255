#include "common/message_box_win.h"

#include <windows.h>

const wchar_t kAppCaption[] = L"Quillframe";

void ShowErrorBox(const std::wstring& text, const std::wstring& caption) {
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

void ShowInformationBox(const std::wstring& text, const std::wstring& caption) {
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}
