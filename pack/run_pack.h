#pragma once
#include <string>
#include <vector>

// quillframe-pack APP_FOLDER [--out DIR] [--exe HOST_EXE] [--sign PFX --sign-password-file FILE]
// [--desktop-shortcut] [--allow-problems]: writes the branded exe, the portable
// zip and the installer into --out and returns 0; 1 on an error (nothing left
// in --out), 2 for a wrong command line.
int RunPack(const std::vector<std::string>& args);
