#include "installer_script.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

// makensis reads a line in three passes, none of which knows about the others'
// escapes: the preprocessor turns "$\n", "$\r", "$\t" into control characters and
// expands "${define}" and "$%ENV%", even right after "$$"; the tokenizer turns
// "$\"", "$\'" and "$\`" into quotes wherever they stand and ends the string at any
// other double quote; and, for installer text only, "$$" becomes "$". So every quote
// is written as its escape, and a "\", "{" or "%" right after a "$" of the text is
// written as ${U+XX}, which the preprocessor expands without looking again. So are
// the control characters without an escape: the line reader would take a vertical
// tab or a form feed for the end of the line.

namespace {

std::string Spelled(unsigned char c) {
    char spelled[16];
    std::snprintf(spelled, sizeof spelled, "${U+%X}", c);
    return spelled;
}

bool SpelledAfterDollar(char c) {
    return c == '\\' || c == '{' || c == '%';
}

const char* Escape(char c) {
    switch (c) {
    case '"': return "$\\\"";
    case '\'': return "$\\'";
    case '`': return "$\\`";
    case '\n': return "$\\n";
    case '\r': return "$\\r";
    case '\t': return "$\\t";
    default: return nullptr;
    }
}

// NsisString for one value of the plan, naming it when it cannot be written.
std::string Quoted(const std::string& text, const char* what, NsisText kind = NsisText::Installer) {
    try {
        return NsisString(text, kind);
    } catch (const std::invalid_argument& error) {
        throw std::invalid_argument(std::string("the installer cannot hold the ") + what + ": " + error.what());
    }
}

std::string Dotted(const std::array<uint16_t, 4>& numbers) {
    std::string text;
    for (uint16_t number : numbers) text += (text.empty() ? "" : ".") + std::to_string(number);
    return text;
}

std::string EstimatedKilobytes(uint64_t bytes) {
    return std::to_string(std::min<uint64_t>((bytes + 1023) / 1024, 0xFFFFFFFFu));
}

std::string DoubledAmpersands(const std::string& text) {
    std::string doubled;
    for (char c : text) doubled += c == '&' ? std::string("&&") : std::string(1, c);
    return doubled;
}

}  // namespace

std::string NsisString(const std::string& text, NsisText kind) {
    if (text.find('\0') != std::string::npos) throw std::invalid_argument("it holds a NUL character");
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "$\\") == 0) {
        throw std::invalid_argument("it ends in \"$\\\", which makensis reads as an escaped quote");
    }
    std::string literal = "\"";
    char previous = 0;
    for (char c : text) {
        if (c == '$') {
            literal += kind == NsisText::Installer ? "$$" : "$";
        } else if (const char* escaped = Escape(c)) {
            literal += escaped;
        } else if (static_cast<unsigned char>(c) < 0x20 || (previous == '$' && SpelledAfterDollar(c))) {
            literal += Spelled(static_cast<unsigned char>(c));
        } else {
            literal += c;
        }
        previous = c;
    }
    return literal + "\"";
}

namespace {

std::string Header(const InstallerPlan& plan) {
    std::string script =
        "; The per-user installer of one app, written by quillframe-pack. Every quoted value\n"
        "; from the app's manifest or the build machine is data: see NsisString.\n"
        "Unicode true\n"
        "ManifestDPIAware true\n"
        "RequestExecutionLevel user\n"
        "SetCompressor /SOLID lzma\n"
        "!include \"MUI2.nsh\"\n"
        "!include \"LogicLib.nsh\"\n"
        "!include \"WordFunc.nsh\"\n";
    script += "Name " + Quoted(plan.title, "title") + " " + Quoted(DoubledAmpersands(plan.title), "title") + "\n";
    script += "OutFile " + Quoted(plan.outputFile, "output file", NsisText::BuildTime) + "\n";
    script +=
        "InstallDir \"$LOCALAPPDATA\\Programs\"\n"
        "BrandingText \"$(^Name)\"\n"
        "ShowInstDetails nevershow\n"
        "ShowUninstDetails nevershow\n"
        "Var AppName\n"
        "Var AppExe\n"
        "Var ShortcutName\n"
        "Var UninstallKey\n"
        "Var Version\n"
        "Var FileVersion\n";
    if (!plan.signCommand.empty()) {
        script += "!uninstfinalize " + Quoted(plan.signCommand, "signing command", NsisText::BuildTime) + " = 0\n";
    }
    return script;
}

// One click: a progress page, then a finish page whose "Run" box is checked.
std::string Pages(const InstallerPlan& plan) {
    std::string script =
        "!define MUI_FINISHPAGE_RUN\n"
        "!define MUI_FINISHPAGE_RUN_TEXT \"Run $(^NameDA)\"\n"
        "!define MUI_FINISHPAGE_RUN_FUNCTION RunApp\n"
        "!insertmacro MUI_PAGE_INSTFILES\n"
        "!insertmacro MUI_PAGE_FINISH\n"
        "!insertmacro MUI_UNPAGE_CONFIRM\n"
        "!insertmacro MUI_UNPAGE_INSTFILES\n"
        "!insertmacro MUI_LANGUAGE \"English\"\n";
    // After MUI, which sets its own icons: an icon path is data and cannot go through a define.
    if (!plan.iconFile.empty()) {
        const std::string icon = Quoted(plan.iconFile, "icon file", NsisText::BuildTime);
        script += "Icon " + icon + "\nUninstallIcon " + icon + "\n";
    }
    return script;
}

std::string VersionInfo(const InstallerPlan& plan) {
    const auto key = [](const char* name, const std::string& value) {
        return std::string("VIAddVersionKey /LANG=${LANG_ENGLISH} ") + name + " " +
               Quoted(value, name, NsisText::BuildTime) + "\n";
    };
    const std::string numbers = Quoted(Dotted(plan.fileVersion), "version", NsisText::BuildTime);
    std::string script = "VIProductVersion " + numbers + "\nVIFileVersion " + numbers + "\n";
    script += key("ProductName", plan.title) + key("FileDescription", plan.title + " Setup") +
              key("ProductVersion", plan.version) + key("FileVersion", plan.version) +
              key("LegalCopyright", plan.publisher);
    if (!plan.publisher.empty()) script += key("CompanyName", plan.publisher);
    return script;
}

// The same names for installer and uninstaller. $INSTDIR is always this folder,
// whatever /D= says, because both replace it whole.
std::string Locate(const InstallerPlan& plan) {
    return "  StrCpy $AppName " + Quoted(plan.name, "name") + "\n" +
           "  StrCpy $AppExe \"$AppName.exe\"\n"
           "  StrCpy $ShortcutName " + Quoted(plan.shortcutName, "shortcut name") + "\n" +
           "  StrCpy $Version " + Quoted(plan.version, "version") + "\n" +
           "  StrCpy $FileVersion " + Quoted(Dotted(plan.fileVersion), "version") + "\n" +
           "  StrCpy $INSTDIR \"$LOCALAPPDATA\\Programs\\$AppName\"\n"
           "  StrCpy $UninstallKey \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$AppName\"\n";
}

// A running exe cannot be opened for writing, on Windows and under Wine alike.
// Exit code 2: the app was running and nothing changed.
const char kRefuseWhileRunning[] = R"(!macro RefuseWhileRunning UN
Function ${UN}RefuseWhileRunning
  retry:
  IfFileExists "$INSTDIR\$AppExe" 0 done
  ClearErrors
  FileOpen $0 "$INSTDIR\$AppExe" a
  IfErrors running
  FileClose $0
  Goto done
  running:
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(^Name) is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY retry
  SetErrorLevel 2
  Quit
  done:
FunctionEnd
!macroend
!insertmacro RefuseWhileRunning ""
!insertmacro RefuseWhileRunning "un."
)";

// Exit code 3: a newer version is installed and the user (or /S) said no.
const char kRefuseDowngrade[] = R"(Function RefuseDowngrade
  ReadRegStr $0 HKCU $UninstallKey "FileVersion"
  ${If} $0 != ""
    ${VersionCompare} $0 $FileVersion $1
    ${If} $1 == 1
      ReadRegStr $2 HKCU $UninstallKey "DisplayVersion"
      MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(^Name) $2 is installed, which is newer than $Version. Replace it with $Version?" /SD IDNO IDYES replace
      SetErrorLevel 3
      Quit
    ${EndIf}
  ${EndIf}
  replace:
FunctionEnd
)";

// The finish page's "Run" box starts the app from its folder, as its shortcut does.
const char kRunApp[] = R"(Function RunApp
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\$AppExe"'
FunctionEnd
)";

std::string Functions(const InstallerPlan& plan) {
    return std::string(kRefuseWhileRunning) + kRefuseDowngrade + kRunApp +
           "Function .onInit\n" + Locate(plan) +
           "  Call RefuseDowngrade\n"
           "  Call RefuseWhileRunning\n"
           "FunctionEnd\n"
           "Function un.onInit\n" + Locate(plan) +
           "  Call un.RefuseWhileRunning\n"
           "FunctionEnd\n";
}

// The folder is replaced whole, so files the new version no longer has go too; so
// do the shortcuts of the version before, whose title may have been another.
const char kReplaceEarlierVersion[] = R"(  ReadRegStr $0 HKCU $UninstallKey "ShortcutName"
  ${If} $0 != ""
    Delete "$SMPROGRAMS\$0.lnk"
    Delete "$DESKTOP\$0.lnk"
  ${EndIf}
  RMDir /r "$INSTDIR"
)";

std::string InstallSection(const InstallerPlan& plan) {
    std::string script =
        std::string("Section\n") + kReplaceEarlierVersion +
        "  SetOutPath \"$INSTDIR\"\n"
        "  File /r " + Quoted(plan.stagedFolder + "/*", "staged folder", NsisText::BuildTime) + "\n" +
        "  WriteUninstaller \"$INSTDIR\\Uninstall $AppName.exe\"\n"
        "  CreateShortcut \"$SMPROGRAMS\\$ShortcutName.lnk\" \"$INSTDIR\\$AppExe\"\n";
    if (plan.desktopShortcut) script += "  CreateShortcut \"$DESKTOP\\$ShortcutName.lnk\" \"$INSTDIR\\$AppExe\"\n";
    const auto text = [](const char* name, const std::string& value) {
        return std::string("  WriteRegStr HKCU $UninstallKey \"") + name + "\" " + value + "\n";
    };
    const auto number = [](const char* name, const std::string& value) {
        return std::string("  WriteRegDWORD HKCU $UninstallKey \"") + name + "\" " + value + "\n";
    };
    script += text("DisplayName", Quoted(plan.title, "title")) + text("DisplayVersion", "$Version") +
              text("FileVersion", "$FileVersion") + text("ShortcutName", "$ShortcutName") +
              text("DisplayIcon", "\"$INSTDIR\\$AppExe\"") + text("InstallLocation", "\"$INSTDIR\"") +
              text("UninstallString", "\"$\\\"$INSTDIR\\Uninstall $AppName.exe$\\\"\"") +
              text("QuietUninstallString", "\"$\\\"$INSTDIR\\Uninstall $AppName.exe$\\\" /S\"") +
              number("EstimatedSize", EstimatedKilobytes(plan.installedBytes)) + number("NoModify", "1") +
              number("NoRepair", "1");
    if (!plan.publisher.empty()) script += text("Publisher", Quoted(plan.publisher, "publisher"));
    return script + "SectionEnd\n";
}

// Only what the installer made: the app's folder, its shortcuts and its key.
const char kUninstallSection[] = R"(Section Uninstall
  Delete "$SMPROGRAMS\$ShortcutName.lnk"
  Delete "$DESKTOP\$ShortcutName.lnk"
  DeleteRegKey HKCU $UninstallKey
  RMDir /r "$INSTDIR"
SectionEnd
)";

}  // namespace

std::string InstallerScript(const InstallerPlan& plan) {
    return Header(plan) + Pages(plan) + VersionInfo(plan) + Functions(plan) + InstallSection(plan) +
           kUninstallSection;
}
