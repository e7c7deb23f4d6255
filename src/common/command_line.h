#pragma once
#include <string>
#include <vector>

// One argument as Windows' C runtime (CommandLineToArgvW's rules) splits it
// back: quoted when it holds white space or a quote, backslashes doubled only
// where a quote follows them.
std::string QuoteWindowsArgument(const std::string& argument);

// The arguments joined into one command line for CreateProcess.
std::string WindowsCommandLine(const std::vector<std::string>& args);
