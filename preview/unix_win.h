#pragma once

// What the preview needs from the Linux side of Wine: Unix paths, Linux programs, its own Unix pid.

#include <windows.h>

#include <optional>
#include <string>

namespace preview {

// The Unix path of a Windows path; nothing outside Wine.
std::optional<std::string> UnixPath(const std::wstring& windowsPath);
// The Windows path (on Z:) of a Unix path.
std::wstring WindowsPathOf(const std::string& unixPath);

// Starts a Windows command line naming a Linux program. Wine returns no handle for those, so the
// caller learns of the program's end only through what it writes.
bool StartUnixCommand(const std::string& commandLine);
// Runs a /bin/sh script and waits up to `timeoutMs` for it to end; returns what it wrote to stdout.
std::optional<std::string> RunShell(const std::string& script, DWORD timeoutMs);

std::optional<std::string> ReadWholeFile(const std::wstring& path);

// One line to the preview's log (stderr, and the log file once one is set).
void Log(const std::string& line);
void SetLogFile(const std::wstring& path);
// One line as it is, to the log file and, when `toTerminal`, to stderr (the page's console).
void Print(const std::string& line, bool toTerminal);
// The value of an environment variable; empty when it is not set.
std::string EnvironmentValue(const char* name);

}  // namespace preview
