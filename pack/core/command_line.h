#pragma once
#include <string>
#include <vector>

// One command line for Windows' CreateProcess: each argument comes back intact
// through the C runtime's splitting (CommandLineToArgvW's rules).
std::string WindowsCommandLine(const std::vector<std::string>& args);

// One command line for a POSIX shell (sh -c): each argument single-quoted.
std::string PosixCommandLine(const std::vector<std::string>& args);
