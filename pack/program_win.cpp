#include "program.h"

#include <windows.h>

#include <array>

#include "common/unique_handle_win.h"
#include "core/command_line.h"

namespace {

std::wstring Wide(const std::string& text) { return std::filesystem::u8path(text).wstring(); }

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& args) {
    ProgramResult result;
    if (args.empty()) return result;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    UniqueKernelHandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writer.get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring line = Wide(WindowsCommandLine(args));
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        return result;
    UniqueKernelHandle processHandle(process.hProcess), thread(process.hThread);
    writer.reset();
    std::array<char, 4096> buffer;
    DWORD count = 0;
    while (ReadFile(reader.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr) && count > 0)
        result.output.append(buffer.data(), count);
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    result.started = true;
    result.exitCode = static_cast<int>(exitCode);
    return result;
}

std::filesystem::path FindOnPath(const std::string& program) {
    std::array<wchar_t, 32768> found{};
    const DWORD length = SearchPathW(nullptr, Wide(program).c_str(), L".exe", static_cast<DWORD>(found.size()),
                                     found.data(), nullptr);
    if (length == 0 || length >= found.size()) return {};
    return std::filesystem::path(std::wstring(found.data(), length));
}

std::filesystem::path FindMakensis() {
    if (std::filesystem::path found = FindOnPath("makensis"); !found.empty()) return found;
    // NSIS's installer puts it under Program Files (x86) on 64-bit Windows.
    for (const wchar_t* variable : {L"ProgramFiles(x86)", L"ProgramFiles"}) {
        std::array<wchar_t, 32768> folder{};
        const DWORD length = GetEnvironmentVariableW(variable, folder.data(), static_cast<DWORD>(folder.size()));
        if (length == 0 || length >= folder.size()) continue;
        const std::filesystem::path candidate = std::filesystem::path(folder.data()) / L"NSIS" / L"makensis.exe";
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    }
    return {};
}

std::filesystem::path OwnPath() {
    std::array<wchar_t, 32768> own{};
    const DWORD length = GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
    return std::filesystem::path(std::wstring(own.data(), length));
}

std::string ShellCommand(const std::vector<std::string>& args) { return WindowsCommandLine(args); }
