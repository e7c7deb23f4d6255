#pragma once
#include <filesystem>
#include <string>

// Authenticode signing (SHA-256) with a PFX file whose password is read from a
// file by the signing tool itself, so that it is on no command line.
struct Signer {
    std::filesystem::path certificate;
    std::filesystem::path passwordFile;
};

// Signs the file in place, naming it `description` in the signature. Empty on
// success; otherwise what went wrong (the tool's own words included).
std::string SignFile(const Signer& signer, const std::filesystem::path& file, const std::string& description);

// The command the installer build runs to sign its uninstaller, with "%1"
// where the file goes: this tool's own --sign-in-place.
std::string SignInPlaceCommand(const Signer& signer);

// Why signing cannot work here (no signing tool, an unreadable file), or empty.
std::string SigningProblem(const Signer& signer);
