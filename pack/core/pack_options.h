#pragma once
#include <string>
#include <vector>

// What quillframe-pack was asked to do.
struct PackOptions {
    std::string appFolder;
    std::string outFolder = "dist";
    std::string hostExe;            // the host to brand; empty: Quillframe.exe beside the tool
    std::string signingCertificate; // a PFX file; empty: no signing
    std::string passwordFile;
    bool desktopShortcut = false;
    bool allowProblems = false;
    std::string signInPlace;  // the internal "sign this one file" run the installer build calls back
};

struct PackOptionsResult {
    PackOptions options;
    std::string error;  // empty on success; otherwise what is wrong with the command line
};

PackOptionsResult ParsePackOptions(const std::vector<std::string>& args);
