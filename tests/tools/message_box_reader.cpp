#include "message_box_reader.h"

#include <vector>

#include "common/strings.h"
#include "icon_kind.h"
#include "window_facts.h"

namespace {

// The message box template gives its text control this id, on Windows and in Wine.
constexpr int kTextControlId = 0xFFFF;

bool IsStatic(HWND window) { return _wcsicmp(ClassNameOf(window).c_str(), L"Static") == 0; }
bool IsButton(HWND window) { return _wcsicmp(ClassNameOf(window).c_str(), L"Button") == 0; }

bool IsIconControl(HWND window) {
    return IsStatic(window) && (GetWindowLongPtrW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

std::vector<HWND> VisibleButtonsOf(HWND dialog) {
    std::vector<HWND> buttons;
    for (HWND child : ChildWindowsOf(dialog)) {
        if (IsButton(child) && IsWindowVisible(child)) buttons.push_back(child);
    }
    return buttons;
}

HWND TextControlOf(HWND dialog) {
    if (HWND text = GetDlgItem(dialog, kTextControlId)) return text;
    for (HWND child : ChildWindowsOf(dialog)) {
        if (IsStatic(child) && !IsIconControl(child)) return child;
    }
    return nullptr;
}

HWND IconControlOf(HWND dialog) {
    for (HWND child : ChildWindowsOf(dialog)) {
        if (IsIconControl(child)) return child;
    }
    return nullptr;
}

// "&Yes" reads as "Yes"; "&&" stays a literal ampersand.
std::wstring WithoutMnemonic(const std::wstring& label) {
    std::wstring plain;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == L'&' && i + 1 < label.size()) ++i;
        plain += label[i];
    }
    return plain;
}

}  // namespace

std::optional<nlohmann::json> ReadMessageBox(HWND dialog) {
    const std::optional<std::wstring> caption = TextOf(dialog);
    HWND textControl = TextControlOf(dialog);
    const std::optional<std::wstring> text = textControl ? TextOf(textControl) : std::wstring();
    const std::optional<std::string> icon = IconKindOf(IconControlOf(dialog));
    if (!caption || !text || !icon) return std::nullopt;
    nlohmann::json buttons = nlohmann::json::array();
    for (HWND button : VisibleButtonsOf(dialog)) {
        const std::optional<std::wstring> label = TextOf(button);
        if (!label) return std::nullopt;
        buttons.push_back(WideToUtf8(WithoutMnemonic(*label)));
    }
    return nlohmann::json{{"caption", WideToUtf8(*caption)},
                          {"text", WideToUtf8(*text)},
                          {"icon", *icon},
                          {"buttons", buttons},
                          {"owner", reinterpret_cast<UINT_PTR>(GetWindow(dialog, GW_OWNER))}};
}

std::wstring DismissMessageBox(HWND dialog) {
    const std::vector<HWND> buttons = VisibleButtonsOf(dialog);
    HWND chosen = buttons.empty() ? nullptr : buttons.front();
    for (HWND button : buttons) {
        if (GetDlgCtrlID(button) == IDOK) chosen = button;
    }
    const int id = chosen ? GetDlgCtrlID(chosen) : IDOK;
    const std::wstring label = chosen ? WithoutMnemonic(TextOf(chosen).value_or(L"")) : L"";
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(chosen));
    return label;
}
