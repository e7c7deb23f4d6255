#pragma once
#include <filesystem>
#include <string>

// Zips the folder as one top-level folder of the archive under its own name,
// streaming large files. Empty on success; otherwise what went wrong.
std::string WriteZip(const std::filesystem::path& folder, const std::filesystem::path& zipFile);
