// The PE reader and resource writer on arbitrary bytes: an author's DLL may be anything, and so
// may the exe the pack tool is pointed at.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pe_image.h"
#include "pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadPeImage(bytes);
    ReadVersionString(bytes, "040904B0", "ProductVersion");
    if (const auto resources = ReadResources(bytes)) ReplaceResources(bytes, *resources);
    return 0;
}
