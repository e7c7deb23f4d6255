// The doctor's PE reader on arbitrary bytes: an author's DLL may be anything.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadPeImage(bytes);
    ReadVersionString(bytes, "040904B0", "ProductVersion");
    return 0;
}
