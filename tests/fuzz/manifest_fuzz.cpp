// Any package.json text either fills the record or throws; it never crashes,
// and an accepted manifest always has a name.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "common/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    AppManifest manifest;
    try {
        ParseManifest(text, manifest);
    } catch (const std::exception&) {
        return 0;
    }
    if (manifest.name.empty()) std::abort();
    return 0;
}
