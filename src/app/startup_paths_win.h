#pragma once
#include <string>

// Canonical full path of the running executable (UTF-8), cached.
std::string ExecutablePath();
// The user's local application data folder (UTF-8), cached; empty when Windows
// cannot name it.
std::string LocalAppDataPath();
