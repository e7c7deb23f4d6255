#pragma once
#include <string>

// The bench's items; each prints its figures as JSON lines on stdout. Folders
// are Windows paths ending with a backslash; the data folder holds www\ with
// the files scripts/bench.sh prepares.

constexpr int kSmallFilesPerSize = 16;

void BenchServe(const std::string& dataFolder);
void BenchSeek(const std::string& dataFolder);
void BenchBridge(const std::string& dataFolder, const std::string& extensionFolder);
void BenchFootprint(const std::string& dataFolder, const std::string& extensionFolder);
void BenchCacheScale(const std::string& folder, int files);
