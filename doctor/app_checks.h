#pragma once
#include <filesystem>
#include <optional>

#include "findings.h"

// Checks of what start-up reads from the app folder. Each returns one line of
// the checklist; the later ones need the manifest in effect.
Finding CheckManifest(const std::filesystem::path& folder, std::optional<AppManifest>& manifest);
Finding CheckStartPage(const std::filesystem::path& folder, const AppManifest& manifest);
Finding CheckIcon(const std::filesystem::path& folder, const AppManifest& manifest);
Finding CheckFixedRuntime(const std::filesystem::path& folder, const AppManifest& manifest);
