#pragma once
#include <optional>
#include <string>
#include <vector>

#include "common/manifest.h"

// One line of the checklist.
struct Finding {
    std::string check;  // "manifest", "start page", ...
    bool ok = true;
    bool stopsStart = false;           // a problem that keeps the app from starting or serving its start page
    std::string message;               // what was found, in one sentence
    std::vector<std::string> details;  // the files or names behind it
    std::string fix;                   // one line; empty when ok
};

Finding Ok(std::string check, std::string message);
Finding Problem(std::string check, std::string message, std::string fix, bool stopsStart = false);

// Everything the doctor tells about one app folder.
struct Diagnosis {
    std::optional<AppManifest> manifest;  // the values in effect, when the manifest parsed
    std::vector<Finding> findings;
};

// Whether the app would start and serve its start page.
bool WouldStart(const Diagnosis& diagnosis);
