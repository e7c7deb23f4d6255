#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "core/ico_file.h"
#include "core/release_info.h"
#include "signing.h"

struct InstallerRequest {
    const ReleaseInfo& info;
    std::filesystem::path stagedFolder;  // what is installed: its whole content
    const std::optional<IconSet>& icons;
    std::filesystem::path buildFolder;   // for the script and the icon file
    std::filesystem::path setupFile;
    bool desktopShortcut = false;
    const std::optional<Signer>& signer;  // signs the uninstaller as it is built, and the installer
};

// Writes the installer script and runs makensis on it. Empty on success;
// otherwise what went wrong, with makensis's own words.
std::string BuildInstaller(const InstallerRequest& request);

// Why makensis cannot run here (with how to get it), or empty.
std::string MakensisProblem();
