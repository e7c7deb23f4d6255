#include "unix_win.h"

#include "common/strings.h"
#include "common/unique_handle_win.h"
#include "launch.h"

namespace preview {

namespace {

using UnixFileNameFn = char*(CDECL*)(LPCWSTR);

std::wstring g_logFile;
LONG g_shellRuns = 0;

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder, length);
}

}  // namespace

std::optional<std::string> UnixPath(const std::wstring& windowsPath) {
    const auto convert = reinterpret_cast<UnixFileNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!convert) return std::nullopt;
    char* unix = convert(windowsPath.c_str());
    if (!unix) return std::nullopt;
    std::string path(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return path;
}

std::wstring WindowsPathOf(const std::string& unixPath) {
    std::wstring path = L"Z:" + Utf8ToWide(unixPath);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

bool StartUnixCommand(const std::string& commandLine) {
    std::wstring line = Utf8ToWide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    UniqueKernelHandle thread(process.hThread), owned(process.hProcess);
    return true;
}

std::optional<std::string> RunShell(const std::string& script, DWORD timeoutMs) {
    const std::wstring base = TempFolder() + L"qf-preview-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(InterlockedIncrement(&g_shellRuns));
    const auto unixBase = UnixPath(base);
    if (!unixBase) return std::nullopt;
    // The result appears under its final name only once complete.
    const std::string wrapped = "{ " + script + "\n} > '" + *unixBase + ".part' 2>/dev/null; mv '" + *unixBase +
                                ".part' '" + *unixBase + "'";
    if (!StartUnixCommand("Z:\\bin\\sh -c " + QuoteWindowsArgument(wrapped))) return std::nullopt;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
        if (auto output = ReadWholeFile(base)) {
            DeleteFileW(base.c_str());
            return output;
        }
        Sleep(2);
    }
    return std::nullopt;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
    return text;
}

namespace {

void WriteLine(const std::string& text, bool toTerminal) {
    DWORD written = 0;
    // The host is a GUI program: its C runtime's stderr may lead nowhere, the process's handle does.
    if (toTerminal)
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (g_logFile.empty()) return;
    UniqueFileHandle file(CreateFileW(g_logFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

void Log(const std::string& line) { WriteLine("preview: " + line + "\n", true); }

void Print(const std::string& line, bool toTerminal) { WriteLine(line + "\n", toTerminal); }

void SetLogFile(const std::wstring& path) { g_logFile = path; }

std::string EnvironmentValue(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(value, length) : std::string();
}

}  // namespace preview
