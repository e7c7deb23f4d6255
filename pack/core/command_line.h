#pragma once
#include <string>
#include <vector>

#include "common/command_line.h"

// One command line for a POSIX shell (sh -c): each argument single-quoted.
std::string PosixCommandLine(const std::vector<std::string>& args);
