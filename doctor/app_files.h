#pragma once
#include <filesystem>
#include <optional>
#include <string>

// Files of an app folder as Windows finds them, from any platform: names
// compare without regard to ASCII letter case, and "/" and "\" both separate.

// The existing file or folder that `relative` names under `root`; nothing
// when there is none.
std::optional<std::filesystem::path> FindInFolder(const std::filesystem::path& root, const std::string& relative);

// The whole file; nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& path);

// The first bytes of a file (fewer when it is shorter); empty when it cannot be read.
std::string ReadFileStart(const std::filesystem::path& path, size_t count);

// A path under the folder as the author writes it: "/" between the names, UTF-8.
std::string Shown(const std::filesystem::path& path, const std::filesystem::path& folder);

// Lower-case ASCII letters; other bytes as they are.
std::string AsciiLower(std::string text);
