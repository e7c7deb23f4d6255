#include "core/icon_dib.h"

#include <array>

#include "le_bytes.h"

namespace {

constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kUncompressed = 0;

struct DibHeader {
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0;
    uint32_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
};

std::optional<DibHeader> ReadHeader(std::string_view dib) {
    const auto size = ReadLe(dib, 0, 4), width = ReadLe(dib, 4, 4), height = ReadLe(dib, 8, 4);
    const auto bits = ReadLe(dib, 14, 2), compression = ReadLe(dib, 16, 4), colors = ReadLe(dib, 32, 4);
    if (!size || !width || !height || !bits || !compression || !colors) return std::nullopt;
    if (*size < kInfoHeaderSize || *size > dib.size()) return std::nullopt;
    return DibHeader{*size,  static_cast<int32_t>(*width), static_cast<int32_t>(*height) / 2, *bits, *compression,
                     *colors};
}

size_t RowBytes(int64_t width, uint32_t bitCount) { return static_cast<size_t>((width * bitCount + 31) / 32 * 4); }

using Palette = std::array<std::array<uint8_t, 3>, 256>;

// Missing entries stay black, so an index past a short palette reads as black
// rather than past the bytes.
Palette ReadPalette(std::string_view dib, const DibHeader& header, size_t count) {
    Palette palette{};
    for (size_t i = 0; i < count; ++i) {
        const size_t at = header.headerSize + 4 * i;
        palette[i] = {static_cast<uint8_t>(dib[at + 2]), static_cast<uint8_t>(dib[at + 1]),
                      static_cast<uint8_t>(dib[at])};
    }
    return palette;
}

void ReadRow(const uint8_t* row, const DibHeader& header, const Palette& palette, uint8_t* out) {
    const uint32_t bits = header.bitCount;
    for (int64_t x = 0; x < header.width; ++x, out += 4) {
        if (bits <= 8) {
            const size_t bit = static_cast<size_t>(x) * bits;
            const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            out[0] = palette[index][0], out[1] = palette[index][1], out[2] = palette[index][2], out[3] = 255;
        } else {
            const uint8_t* pixel = row + x * (bits / 8);
            out[0] = pixel[2], out[1] = pixel[1], out[2] = pixel[0], out[3] = bits == 32 ? pixel[3] : 255;
        }
    }
}

// Older 32-bit icons leave every alpha byte 0 and rely on the mask, as
// lower depths do; a bitmap without its mask rows is taken as opaque.
void ApplyMask(const uint8_t* mask, RgbaImage& image) {
    const size_t stride = RowBytes(image.width, 1);
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* row = mask ? mask + stride * (image.height - 1 - y) : nullptr;
        for (int x = 0; x < image.width; ++x) {
            const bool clear = row && (row[x / 8] >> (7 - x % 8)) & 1;
            image.pixels[(static_cast<size_t>(y) * image.width + x) * 4 + 3] = clear ? 0 : 255;
        }
    }
}

std::string FormatError(const DibHeader& header) {
    if (header.compression != kUncompressed)
        return "the ICO holds a compressed bitmap (compression " + std::to_string(header.compression) +
               "), which is not supported";
    const uint32_t bits = header.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return "the ICO holds a " + std::to_string(bits) + "-bit bitmap; 1, 4, 8, 24 and 32-bit ones are supported";
    return ImageSizeError(header.width, header.height);
}

}  // namespace

std::optional<std::pair<int64_t, int64_t>> IconDibSize(std::string_view dib) {
    const auto header = ReadHeader(dib);
    if (!header) return std::nullopt;
    return std::make_pair(header->width, header->height);
}

DecodedImage DecodeIconDib(std::string_view dib) {
    const auto header = ReadHeader(dib);
    if (!header) return {{}, "the ICO's bitmap header is damaged"};
    if (std::string error = FormatError(*header); !error.empty()) return {{}, error};
    const size_t colors = header->bitCount > 8 ? 0
                          : header->colorsUsed == 0 || header->colorsUsed > (1u << header->bitCount)
                              ? size_t{1} << header->bitCount
                              : header->colorsUsed;
    const size_t rows = header->headerSize + 4 * colors, stride = RowBytes(header->width, header->bitCount);
    const size_t height = static_cast<size_t>(header->height), mask = rows + stride * height;
    if (dib.size() < mask) return {{}, "the ICO's bitmap is truncated"};
    const Palette palette = ReadPalette(dib, *header, colors);
    RgbaImage image{static_cast<int>(header->width), static_cast<int>(header->height), {}};
    image.pixels.resize(static_cast<size_t>(image.width) * height * 4);
    const auto* bytes = reinterpret_cast<const uint8_t*>(dib.data());
    bool hasAlpha = false;
    for (size_t y = 0; y < height; ++y) {
        uint8_t* out = &image.pixels[y * image.width * 4];
        ReadRow(bytes + rows + stride * (height - 1 - y), *header, palette, out);
        for (int x = 0; header->bitCount == 32 && x < image.width; ++x) hasAlpha |= out[x * 4 + 3] != 0;
    }
    const bool maskPresent = dib.size() - mask >= RowBytes(header->width, 1) * height;
    if (!hasAlpha) ApplyMask(maskPresent ? bytes + mask : nullptr, image);
    return {std::move(image), {}};
}

std::string EncodeIconDib(const RgbaImage& image) {
    const size_t maskStride = RowBytes(image.width, 1);
    const auto pixelBytes = static_cast<uint32_t>(image.pixels.size() + maskStride * image.height);
    std::string dib;
    for (uint32_t field :
         {kInfoHeaderSize, static_cast<uint32_t>(image.width), static_cast<uint32_t>(2 * image.height)})
        AppendLe(dib, field, 4);
    AppendLe(dib, 1, 2);   // planes
    AppendLe(dib, 32, 2);  // bits per pixel
    for (uint32_t field : {kUncompressed, pixelBytes, 0u, 0u, 0u, 0u}) AppendLe(dib, field, 4);
    std::string mask(maskStride * image.height, '\0');
    for (int y = image.height; y-- > 0;) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
            // Colour under a set mask bit would be XORed onto the screen where alpha is ignored.
            const bool clear = p[3] == 0;
            dib += clear ? std::string(4, '\0') : std::string{char(p[2]), char(p[1]), char(p[0]), char(p[3])};
            if (clear) mask[maskStride * (image.height - 1 - y) + x / 8] |= static_cast<char>(0x80 >> (x % 8));
        }
    }
    return dib + mask;
}
