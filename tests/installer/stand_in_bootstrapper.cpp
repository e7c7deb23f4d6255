// Stand-in for the runtime's bootstrapper. It records how it was started (current
// directory, raw command line, arguments after the program name) as one JSON line
// in the file named by QF_TEST_BOOTSTRAPPER_LOG (else "bootstrapper-log.jsonl"
// beside itself), then "installs the runtime" by writing a version into the file
// named by QF_TEST_RUNTIME_MARKER, which the stand-in loader reports from then on.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "json_line.h"

namespace {

const char kInstalledVersion[] = "120.0.2210.55";

std::wstring Environment(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

std::wstring ModulePath() {
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
    return std::wstring(path, length);
}

std::wstring LogPath() {
    const std::wstring fromEnvironment = Environment(L"QF_TEST_BOOTSTRAPPER_LOG");
    if (!fromEnvironment.empty()) return fromEnvironment;
    const std::wstring self = ModulePath();
    return self.substr(0, self.rfind(L'\\') + 1) + L"bootstrapper-log.jsonl";
}

std::string Record() {
    wchar_t directory[32768];
    const DWORD length = GetCurrentDirectoryW(32768, directory);
    const std::wstring commandLine = GetCommandLineW();
    // An empty command line yields the program path alone, like one naming only it.
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(commandLine.c_str(), &count);
    std::string arguments = "[";
    for (int i = 1; words && i < count; ++i) arguments += (i > 1 ? "," : "") + JsonString(words[i]);
    arguments += "]";
    LocalFree(words);
    return "{\"currentDirectory\":" + JsonString(std::wstring(directory, length)) +
           ",\"commandLine\":" + JsonString(commandLine) + ",\"arguments\":" + arguments +
           ",\"module\":" + JsonString(ModulePath()) + "}";
}

bool WriteMarker(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, kInstalledVersion, sizeof(kInstalledVersion) - 1, &written, nullptr);
    CloseHandle(file);
    return ok && written == sizeof(kInstalledVersion) - 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!AppendLine(LogPath(), Record())) return 2;
    const std::wstring marker = Environment(L"QF_TEST_RUNTIME_MARKER");
    if (!marker.empty() && !WriteMarker(marker)) return 3;
    return 0;
}
