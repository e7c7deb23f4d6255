#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "common/unique_handle_win.h"

// The process under observation: started by us inside a job (so a timeout can end
// it together with everything it started), or an existing one found by its id.
class ObservedProcess {
public:
    static std::optional<ObservedProcess> Launch(const std::wstring& commandLine, const std::wstring& folder);
    static std::optional<ObservedProcess> Attach(DWORD id);

    DWORD Id() const { return id_; }
    bool HasExited() const;
    DWORD ExitCode() const;
    void Terminate();

private:
    ObservedProcess(UniqueKernelHandle process, UniqueKernelHandle job, DWORD id)
        : process_(std::move(process)), job_(std::move(job)), id_(id) {}

    UniqueKernelHandle process_;
    UniqueKernelHandle job_;
    DWORD id_;
};

// One command line from separate arguments, quoted so that the C runtime splits it back.
std::wstring QuoteCommandLine(int count, wchar_t** args);
