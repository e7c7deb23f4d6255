#pragma once
#include <filesystem>

#include "findings.h"

// Reads an app folder (the folder of Quillframe.exe, or the one that will
// be) as start-up would, and checks what the host would do with each part.
Diagnosis DiagnoseApp(const std::filesystem::path& folder);
