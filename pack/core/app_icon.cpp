#include "core/app_icon.h"

#include <stb/stb_image_resize.h>

#include <algorithm>
#include <optional>

#include "core/icon_dib.h"
#include "core/image_decode.h"

namespace {

constexpr int kIconSizes[] = {16, 24, 32, 48, 256};
// A 256-pixel bitmap would be 256 KB, so Windows takes that size as PNG; the
// smaller ones stay bitmaps, which every reader of icons understands.
constexpr int kPngFromSize = 256;

int Scaled(int length, int side, int longest) {
    return std::max(1, static_cast<int>((int64_t{length} * side + longest / 2) / longest));
}

// The picture scaled to fit a side-by-side square, centred on transparent
// margins rather than stretched.
std::optional<RgbaImage> FitSquare(const RgbaImage& source, int side) {
    const int longest = std::max(source.width, source.height);
    const int width = Scaled(source.width, side, longest), height = Scaled(source.height, side, longest);
    RgbaImage square{side, side, std::vector<uint8_t>(static_cast<size_t>(side) * side * 4, 0)};
    const size_t origin = (static_cast<size_t>((side - height) / 2) * side + (side - width) / 2) * 4;
    // Alpha-weighted (no flags) and in sRGB, so the transparent pixels around
    // a shape do not darken its edges.
    if (!stbir_resize_uint8_srgb(source.pixels.data(), source.width, source.height, 0, &square.pixels[origin], width,
                                 height, side * 4, 4, 3, 0))
        return std::nullopt;
    return square;
}

}  // namespace

IconResult MakeIconSet(const std::string& imageFileBytes) {
    const DecodedImage decoded = DecodeImage(imageFileBytes);
    if (!decoded.error.empty()) return {{}, decoded.error};
    IconResult result;
    for (int side : kIconSizes) {
        const std::optional<RgbaImage> square = FitSquare(decoded.image, side);
        std::string data = !square ? std::string() : side >= kPngFromSize ? EncodePng(*square) : EncodeIconDib(*square);
        if (data.empty()) return {{}, "there was not enough memory to scale the icon"};
        result.icons.images.push_back({side, std::move(data)});
    }
    return result;
}
