#pragma once
#include <filesystem>
#include <vector>

#include "findings.h"

// The files of www/ as the host would serve them in bundle mode: those it
// refuses by name, those it sends as "application/octet-stream" although the
// browser needs their type, and those too large to serve. One finding each.
std::vector<Finding> CheckContentFiles(const std::filesystem::path& folder);
