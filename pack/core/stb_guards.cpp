#include "core/stb_guards.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr uint8_t kDefineHuffmanTables = 0xC4;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kProgressiveFrame = 0xC2;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr size_t kCodeCountBytes = 16;
constexpr unsigned kMaxCodes = 256;

constexpr size_t kPngSignatureSize = 8;
constexpr size_t kChunkHeader = 8;  // length and type; the CRC after the data goes unchecked

uint8_t At(std::string_view bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }

// The decoder reads zeros past the end of the file.
uint8_t AtOrZero(std::string_view bytes, size_t at) { return at < bytes.size() ? At(bytes, at) : 0; }

// Which tables (DC or AC, 0 to 3) have been defined so far. The decoder keeps
// no record and reads an undefined table's uninitialised memory.
struct HuffmanTables {
    bool defined[2][4] = {};
    bool progressive = false;
};

bool StandsAlone(uint8_t marker) {
    return marker == kStartOfImage || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// The tables of one segment, `end` being where its length says it ends.
bool TablesFit(std::string_view jpeg, size_t at, size_t end, HuffmanTables& tables) {
    while (at < end && at < jpeg.size()) {
        const uint8_t tableClass = At(jpeg, at) >> 4, id = At(jpeg, at) & 15;
        if (tableClass <= 1 && id <= 3) tables.defined[tableClass][id] = true;
        unsigned codes = 0;
        for (size_t i = 1; i <= kCodeCountBytes; ++i) codes += AtOrZero(jpeg, at + i);
        if (codes > kMaxCodes) return false;
        at += 1 + kCodeCountBytes + codes;
    }
    return true;
}

// Whether the tables a scan decodes with are defined: both for every
// component of a sequential scan; in a progressive file the DC table for the
// first (DC) band, the AC table for the others.
bool ScanTablesDefined(std::string_view jpeg, size_t at, const HuffmanTables& tables) {
    const size_t components = AtOrZero(jpeg, at), bands = at + 1 + 2 * components;
    const bool dcBand = AtOrZero(jpeg, bands) == 0;
    for (size_t i = 0; i < components; ++i) {
        const uint8_t selectors = AtOrZero(jpeg, at + 2 + 2 * i), dc = selectors >> 4, ac = selectors & 15;
        if (dc > 3 || ac > 3) continue;  // refused by the decoder itself
        if ((!tables.progressive || dcBand) && !tables.defined[0][dc]) return false;
        if ((!tables.progressive || !dcBand) && !tables.defined[1][ac]) return false;
    }
    return true;
}

// Past the coded data of a scan, to the 0xFF that starts the next marker. In
// coded data 0xFF 0x00 is a data byte and restart markers belong to the scan;
// repeated 0xFF bytes are fill, whatever follows them.
size_t SkipScanData(std::string_view jpeg, size_t at) {
    while (at + 1 < jpeg.size()) {
        if (At(jpeg, at) != 0xFF) {
            ++at;
            continue;
        }
        size_t last = at;
        while (last + 1 < jpeg.size() && At(jpeg, last + 1) == 0xFF) ++last;
        if (last + 1 >= jpeg.size()) break;
        const uint8_t next = At(jpeg, last + 1);
        if (next != 0 && !(next >= 0xD0 && next <= 0xD7)) return last;
        at = last + 2;
    }
    return jpeg.size();
}

}  // namespace

bool JpegHuffmanTablesSound(std::string_view jpeg) {
    HuffmanTables tables;
    size_t at = 2;
    while (at + 1 < jpeg.size()) {
        if (At(jpeg, at) != 0xFF) {  // bytes between segments are skipped, as the decoder does
            ++at;
            continue;
        }
        while (at + 1 < jpeg.size() && At(jpeg, at + 1) == 0xFF) ++at;  // fill bytes
        const uint8_t marker = At(jpeg, at + 1);
        at += 2;
        if (marker == kEndOfImage) break;  // where the decoder stops
        if (StandsAlone(marker)) continue;
        if (at + 2 > jpeg.size()) break;
        const size_t end = at + (At(jpeg, at) << 8 | At(jpeg, at + 1));
        if (marker == kDefineHuffmanTables && !TablesFit(jpeg, at + 2, end, tables)) return false;
        if (marker == kStartOfScan && !ScanTablesDefined(jpeg, at + 2, tables)) return false;
        if (marker >= 0xC0 && marker <= kProgressiveFrame) tables.progressive = marker == kProgressiveFrame;
        at = marker == kStartOfScan ? SkipScanData(jpeg, end) : end;
    }
    return true;
}

bool PngChunksFit(std::string_view png) {
    size_t at = kPngSignatureSize;
    while (at + kChunkHeader <= png.size()) {
        const uint32_t length =
            static_cast<uint32_t>(At(png, at)) << 24 | At(png, at + 1) << 16 | At(png, at + 2) << 8 | At(png, at + 3);
        if (length > png.size() - at - kChunkHeader) return false;
        if (png.substr(at + 4, 4) == "IEND") break;
        at += kChunkHeader + length + 4;
    }
    return true;
}
