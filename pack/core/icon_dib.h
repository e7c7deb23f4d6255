#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/rgba_image.h"

// The bitmap form of an icon image: a BITMAPINFOHEADER whose height counts
// the colour rows and the AND mask rows together, then both, bottom-up.

// Width and height as the header states them (the height halved); nothing
// when the header cannot be read.
std::optional<std::pair<int64_t, int64_t>> IconDibSize(std::string_view dib);

// 1, 4 and 8-bit (palette), 24 and 32-bit bitmaps, uncompressed. Transparency
// comes from the alpha bytes of a 32-bit bitmap, or from the AND mask when
// it has none.
DecodedImage DecodeIconDib(std::string_view dib);

// A 32-bit bitmap as Windows reads it from an RT_ICON resource or an .ico
// entry; the mask marks the fully transparent pixels.
std::string EncodeIconDib(const RgbaImage& image);
