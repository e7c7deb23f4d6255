#pragma once
#include <string>
#include <vector>

// quillframe-doctor APP_FOLDER [--json]: checks the folder, writes the report
// (UTF-8) to standard output and returns the exit code: 0 when the app would
// start and serve its start page, 1 when not, 2 for a wrong command line.
int RunDoctor(const std::vector<std::string>& args);
