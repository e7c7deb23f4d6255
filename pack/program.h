#pragma once
#include <filesystem>
#include <string>
#include <vector>

// Other programs the pack tool runs: makensis and the signing tool.
struct ProgramResult {
    bool started = false;
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

// Runs args[0] with the rest as its arguments, no shell between, and waits for it.
ProgramResult RunProgram(const std::vector<std::string>& args);

// The program's path when a folder of PATH holds it (on Windows also with
// ".exe"); empty when none does.
std::filesystem::path FindOnPath(const std::string& program);

// NSIS's makensis: on PATH, and on Windows also in NSIS's install folder.
// Empty when there is none.
std::filesystem::path FindMakensis();

// This tool's own file, for the signing step the installer build calls back.
std::filesystem::path OwnPath();

// A command line that the build machine's shell (which makensis runs its
// finalize commands through) splits back into the arguments.
std::string ShellCommand(const std::vector<std::string>& args);
