#pragma once
#include <filesystem>
#include <string>
#include <vector>

// The app folder's files as a release carries them, copied into `target`
// (made here) with the branded exe in place of the host. Empty on success;
// otherwise what could not be copied.
std::string StageRelease(const std::filesystem::path& appFolder, const std::filesystem::path& target,
                         const std::string& exeName, const std::string& exeBytes);

// The files under the app folder's www, as paths with "/" between the names.
std::vector<std::string> WwwFiles(const std::filesystem::path& appFolder);

// The sum of the files' sizes under a folder.
uint64_t FolderBytes(const std::filesystem::path& folder);

// Writes the bytes to a new file; false when it cannot.
bool WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
