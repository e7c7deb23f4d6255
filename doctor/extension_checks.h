#pragma once
#include <filesystem>
#include <optional>

#include "findings.h"
#include "pe_image.h"

// Reads the extension library beside the executable into `library`. A finding instead when there is nothing
// more to check: no library (which is fine) or a file that is no DLL.
std::optional<Finding> FindExtension(const std::filesystem::path& folder, std::optional<PeImage>& library);

// The host loads the library only when Windows can: built for x86, with every
// DLL it imports found; then it calls it only when all four entry points are
// exported under their plain names.
Finding CheckExtensionMachine(const PeImage& library);
Finding CheckExtensionExports(const PeImage& library);
Finding CheckExtensionImports(const std::filesystem::path& folder, const PeImage& library);
