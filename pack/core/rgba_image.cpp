#include "core/rgba_image.h"

#include <stb/stb_image_write.h>

namespace {

// An icon is drawn at 256 pixels at most; these leave room for any sensible
// source picture while keeping a decode under 64 MB.
constexpr int64_t kMaxSide = 8192;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// A fuzzer needs thousands of runs a second; small pictures reach the same code.
constexpr int64_t kMaxPixels = 256 * 256;
#else
constexpr int64_t kMaxPixels = 4096 * 4096;
#endif

void AppendTo(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

}  // namespace

std::string ImageSizeError(int64_t width, int64_t height) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (width <= 0 || height <= 0) return "the image is " + size + " pixels, which is empty";
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
        return "the image is " + size + " pixels, more than an icon may be (at most " + std::to_string(kMaxSide) +
               " a side and " + std::to_string(kMaxPixels / 1000000) + " million pixels)";
    return {};
}

std::string EncodePng(const RgbaImage& image) {
    std::string png;
    if (!stbi_write_png_to_func(AppendTo, &png, image.width, image.height, 4, image.pixels.data(), image.width * 4))
        return {};
    return png;
}
