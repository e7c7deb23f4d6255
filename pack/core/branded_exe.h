#pragma once
#include <optional>
#include <string>

#include "core/ico_file.h"
#include "core/release_info.h"

// The id start-up loads the window icon from when the manifest names none
// (IDI_APPLICATION's number), so the branded exe's own icon shows there too.
constexpr uint16_t kAppIconGroupId = 32512;

// The version block's strings, in the order they are written.
std::vector<std::pair<std::string, std::string>> VersionStrings(const ReleaseInfo& info, const std::string& exeName);

// The host exe with the app's icon (when it has one) and version block in
// place of any it had; its other resources (the application manifest) kept.
struct BrandResult {
    std::string bytes;
    std::string error;
};
BrandResult BrandExe(const std::string& hostExe, const ReleaseInfo& info, const std::optional<IconSet>& icons,
                     const std::string& exeName);
