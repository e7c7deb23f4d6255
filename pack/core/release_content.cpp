#include "core/release_content.h"

#include "app_files.h"
#include "common/extension_library.h"
#include "loader/runtime_layout.h"

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string Warning(const std::vector<std::string>& files, const std::string& what) {
    std::string line = std::to_string(files.size()) + " " + what + " under www/, which a release usually leaves out:";
    const size_t shown = std::min<size_t>(files.size(), 3);
    for (size_t i = 0; i < shown; ++i) line += (i ? ", " : " ") + files[i];
    return files.size() > shown ? line + ", ..." : line;
}

}  // namespace

bool ShipsInRelease(const std::string& topLevelName, bool isFolder) {
    const std::string name = AsciiLower(topLevelName);
    if (isFolder) return name == "www" || name == AsciiLower(FixedRuntimeFolder(""));
    return name == "package.json" || name == AsciiLower(kExtensionLibraryName) || name == "webview2loader.dll";
}

std::vector<std::string> ReleaseContentWarnings(const std::vector<std::string>& wwwFiles) {
    std::vector<std::string> maps, declarations;
    for (const std::string& file : wwwFiles) {
        const std::string lower = AsciiLower(file);
        if (EndsWith(lower, ".map")) maps.push_back(file);
        if (EndsWith(lower, ".d.ts") || EndsWith(lower, ".d.mts") || EndsWith(lower, ".d.cts"))
            declarations.push_back(file);
    }
    std::vector<std::string> warnings;
    if (!maps.empty()) warnings.push_back(Warning(maps, maps.size() == 1 ? "source map" : "source maps"));
    if (!declarations.empty())
        warnings.push_back(Warning(declarations, declarations.size() == 1 ? "type declaration file" : "type declaration files"));
    return warnings;
}
