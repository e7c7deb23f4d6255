#include "core/image_decode.h"

#include <stb/stb_image.h>

#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "core/ico_file.h"
#include "core/icon_dib.h"
#include "core/stb_guards.h"

namespace {

// stb takes lengths as int; no sensible icon source comes near this.
constexpr size_t kMaxFileBytes = size_t{128} << 20;
constexpr std::string_view kPngSignature("\x89PNG\r\n\x1A\n", 8);

bool StartsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

// The format by its first bytes; empty when it is none of ours.
std::string FormatName(std::string_view bytes) {
    if (StartsWith(bytes, kPngSignature)) return "PNG";
    if (StartsWith(bytes, std::string_view("\0\0\1\0", 4))) return "ICO";
    if (StartsWith(bytes, "BM")) return "BMP";
    if (StartsWith(bytes, "\xFF\xD8\xFF")) return "JPEG";
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a")) return "GIF";
    return {};
}

std::string DamagedError(const std::string& format) {
    const char* reason = stbi_failure_reason();
    return "the " + format + " image is damaged or truncated (" + (reason ? reason : "unreadable") + ")";
}

uint32_t BigEndian32(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// stb refuses a PNG header of absurd size as if it were no PNG at all; read
// from the IHDR chunk, the size can be named in the error instead.
std::string PngSizeError(std::string_view bytes) {
    if (!StartsWith(bytes, kPngSignature) || bytes.size() < 24 || bytes.substr(12, 4) != "IHDR") return {};
    return ImageSizeError(BigEndian32(bytes, 16), BigEndian32(bytes, 20));
}

std::optional<std::pair<int64_t, int64_t>> StbSize(std::string_view bytes) {
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()), &width,
                               &height, &channels))
        return std::nullopt;
    return std::make_pair(int64_t{width}, int64_t{height});
}

DecodedImage DecodeWithStb(std::string_view bytes, const std::string& format) {
    if (std::string error = PngSizeError(bytes); !error.empty()) return {{}, error};
    if (StartsWith(bytes, kPngSignature) && !PngChunksFit(bytes)) return {{}, "the " + format + " image is truncated"};
    const auto size = StbSize(bytes);
    // Its reason would be the "unknown image type" of trying every format in turn.
    if (!size) return {{}, "the " + format + " image's header is damaged or truncated"};
    if (std::string error = ImageSizeError(size->first, size->second); !error.empty()) return {{}, error};
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()), &width,
                              &height, &channels, 4),
        stbi_image_free);
    if (!pixels) return {{}, DamagedError(format)};
    const size_t length = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    return {{width, height, std::vector<uint8_t>(pixels.get(), pixels.get() + length)}, {}};
}

std::optional<std::pair<int64_t, int64_t>> EntrySize(const IcoEntry& entry) {
    return StartsWith(entry.data, kPngSignature) ? StbSize(entry.data) : IconDibSize(entry.data);
}

// The image with the most pixels (more colour bits among equals); images
// whose size cannot be read or used are passed over while another is usable.
DecodedImage DecodeIco(const std::string& bytes) {
    const IcoContents ico = ReadIcoFile(bytes);
    if (!ico.error.empty()) return {{}, ico.error};
    const IcoEntry* best = nullptr;
    int64_t bestPixels = 0;
    std::string firstError;
    for (const IcoEntry& entry : ico.entries) {
        const auto size = EntrySize(entry);
        std::string error = size ? ImageSizeError(size->first, size->second) : "the ICO's image header is damaged";
        if (!error.empty()) {
            if (firstError.empty()) firstError = std::move(error);
            continue;
        }
        const int64_t pixels = size->first * size->second;
        if (!best || pixels > bestPixels || (pixels == bestPixels && entry.bitCount > best->bitCount))
            best = &entry, bestPixels = pixels;
    }
    if (!best) return {{}, firstError};
    return StartsWith(best->data, kPngSignature) ? DecodeWithStb(best->data, "ICO's PNG") : DecodeIconDib(best->data);
}

}  // namespace

DecodedImage DecodeImage(const std::string& bytes) {
    if (bytes.empty()) return {{}, "the file is empty"};
    if (bytes.size() > kMaxFileBytes)
        return {{}, "the file is larger than " + std::to_string(kMaxFileBytes >> 20) + " MB, too large for an icon"};
    const std::string format = FormatName(bytes);
    if (format.empty()) return {{}, "not a PNG, ICO, BMP, JPEG or GIF image"};
    if (format == "JPEG" && !JpegHuffmanTablesSound(bytes)) return {{}, "the JPEG image's Huffman tables are damaged"};
    return format == "ICO" ? DecodeIco(bytes) : DecodeWithStb(bytes, format);
}
