#include "observed_process.h"

namespace {

constexpr UINT kTimeoutExitCode = 0xDEAD;

std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal except in front of a quote, where each must be doubled.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

std::wstring QuoteCommandLine(int count, wchar_t** args) {
    std::wstring line;
    for (int i = 0; i < count; ++i) {
        if (i) line += L' ';
        line += QuoteArgument(args[i]);
    }
    return line;
}

std::optional<ObservedProcess> ObservedProcess::Launch(const std::wstring& commandLine, const std::wstring& folder) {
    UniqueKernelHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) return std::nullopt;
    std::wstring writable = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        return std::nullopt;
    }
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(thread.get());
    return ObservedProcess(std::move(process), std::move(job), info.dwProcessId);
}

std::optional<ObservedProcess> ObservedProcess::Attach(DWORD id) {
    UniqueKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id));
    if (!process) return std::nullopt;
    return ObservedProcess(std::move(process), UniqueKernelHandle(), id);
}

bool ObservedProcess::HasExited() const { return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }

DWORD ObservedProcess::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

void ObservedProcess::Terminate() {
    if (job_) TerminateJobObject(job_.get(), kTimeoutExitCode);
    TerminateProcess(process_.get(), kTimeoutExitCode);
    WaitForSingleObject(process_.get(), 5000);
}
