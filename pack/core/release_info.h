#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/manifest.h"

// An npm-style version, MAJOR.MINOR.PATCH with an optional -prerelease and +build.
struct ReleaseVersion {
    std::string text;                   // as the manifest writes it: the string versions
    std::array<uint16_t, 4> numbers{};  // the three numbers and 0: the fixed file version
};

// Nothing when the text is not such a version, or a number does not fit Windows' 16 bits.
std::optional<ReleaseVersion> ParseReleaseVersion(const std::string& text);

// What a release says about the app: the host's own reading of package.json,
// and the keys only a release uses.
struct ReleaseInfo {
    AppManifest manifest;
    std::string title;        // window.title, else name
    ReleaseVersion version;   // "1.0.0" when the manifest has none
    std::string author;       // the publisher and company name; may be empty
    std::string description;  // description, else the title
    std::vector<std::string> warnings;
};

struct ReleaseInfoResult {
    ReleaseInfo info;
    std::string error;  // empty on success; otherwise one sentence naming the key
};

ReleaseInfoResult ReadReleaseInfo(const std::string& manifestText);

// Why the text cannot be a Windows file name (one sentence), or empty when it can.
std::string FileNameProblem(const std::string& text);

// The text as a file name: characters no file name may hold become "_", and a
// trailing dot or space, or a reserved device name, gets one "_" more.
std::string SafeFileName(const std::string& text);
