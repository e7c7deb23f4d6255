// The pack tool's icon decoders on arbitrary bytes: an app's icon file may be
// anything. Scaling and writing are left out: they only ever see decoded,
// size-checked pixels, and would slow each run a hundredfold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodeImage(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
