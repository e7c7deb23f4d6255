#pragma once
#include <string>
#include <vector>

// Whether an entry at the top of the app folder goes into a release: the
// manifest, www, the extension library, a fixed runtime and Microsoft's loader,
// matched as Windows matches names (without regard to letter case). The host
// exe itself is not among them: the release carries the branded one.
bool ShipsInRelease(const std::string& topLevelName, bool isFolder);

// What a release usually should not carry, from the paths under www
// ("/" between names): source maps and type declarations. One line each kind.
std::vector<std::string> ReleaseContentWarnings(const std::vector<std::string>& wwwFiles);
