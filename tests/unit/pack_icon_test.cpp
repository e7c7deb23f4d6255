#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "core/app_icon.h"
#include "core/image_decode.h"

namespace {

using Rgba = std::array<int, 4>;
constexpr int kSizes[] = {16, 24, 32, 48, 256};
constexpr Rgba kRose = {200, 60, 90, 160};
constexpr Rgba kBlue = {0x33, 0x66, 0xCC, 255};

void Put(std::string& bytes, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t Get(const std::string& bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int i = width; i-- > 0;) value = (value << 8) | static_cast<uint8_t>(bytes.at(at + i));
    return value;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// A colour block on a transparent frame a quarter of each side wide; with
// no frame, it fills the picture or (`lowerHalf`) its lower half, which
// shows whether rows were flipped.
RgbaImage Picture(int width, int height, Rgba colour, bool frame = true, bool lowerHalf = false) {
    RgbaImage image{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4, 0)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool inside =
                frame ? x >= width / 4 && x < width - width / 4 && y >= height / 4 && y < height - height / 4
                      : !lowerHalf || y >= height / 2;
            for (int c = 0; inside && c < 4; ++c)
                image.pixels[(y * width + x) * 4 + c] = static_cast<uint8_t>(colour[c]);
        }
    }
    return image;
}

// An icon bitmap written bottom-up the way icon editors store it: palette
// depths put the colour at the highest index and black at 0.
std::string Dib(const RgbaImage& image, int bits, bool keepAlpha = true) {
    const int w = image.width, h = image.height, top = (1 << (bits <= 8 ? bits : 0)) - 1;
    std::string dib;
    for (uint32_t v : {40u, uint32_t(w), uint32_t(2 * h)}) Put(dib, v, 4);
    Put(dib, 1, 2), Put(dib, bits, 2);
    for (int i = 0; i < 6; ++i) Put(dib, 0, 4);
    const uint8_t* first = nullptr;
    for (size_t i = 0; i < image.pixels.size() && !first; i += 4)
        first = image.pixels[i + 3] ? &image.pixels[i] : nullptr;
    for (int i = 0; bits <= 8 && i <= top; ++i) Put(dib, i == top ? first[2] | first[1] << 8 | first[0] << 16 : 0, 4);
    const size_t stride = (w * bits + 31) / 32 * 4, maskStride = (w + 31) / 32 * 4;
    std::string rows, mask;
    for (int y = h; y-- > 0;) {
        std::string row(stride, '\0'), maskRow(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &image.pixels[(y * w + x) * 4];
            if (bits <= 8 && p[3]) row[x * bits / 8] |= static_cast<char>(top << (8 - bits - x * bits % 8));
            for (int c = 0; bits > 8 && c < bits / 8; ++c)
                row[x * bits / 8 + c] = char(c == 3 ? (keepAlpha ? p[3] : 0) : p[2 - c]);
            if (!p[3]) maskRow[x / 8] |= static_cast<char>(0x80 >> x % 8);
        }
        rows += row, mask += maskRow;
    }
    return dib + rows + mask;
}

std::string Ico(const std::vector<std::string>& images) {
    std::string ico;
    Put(ico, 0, 2), Put(ico, 1, 2), Put(ico, static_cast<uint32_t>(images.size()), 2);
    size_t offset = 6 + 16 * images.size();
    for (const std::string& image : images) {
        Put(ico, 0, 4), Put(ico, 1, 2), Put(ico, 32, 2);  // sizes left 0: the reader must not trust them
        Put(ico, static_cast<uint32_t>(image.size()), 4), Put(ico, static_cast<uint32_t>(offset), 4);
        offset += image.size();
    }
    for (const std::string& image : images) ico += image;
    return ico;
}

std::string Patched(std::string bytes, size_t at, uint32_t value, int width) {
    std::string field;
    Put(field, value, width);
    return bytes.replace(at, width, field);
}

// A .bmp holds the same bitmap with its own height and no mask.
std::string Bmp(const RgbaImage& image) {
    std::string dib = Patched(Dib(image, 32), 8, image.height, 4);
    dib.resize(40 + image.pixels.size());
    std::string file = "BM";
    Put(file, static_cast<uint32_t>(14 + dib.size()), 4), Put(file, 0, 4), Put(file, 54, 4);
    return file + dib;
}

const std::string kJpeg = FromHex(  // 8x8 of rgb(200, 60, 89)
    "ffd8ffe000104a46494600010100000100010000ffdb0043000201010101010201010102020202020403020202020504040304060506"
    "060605060606070908060709070606080b08090a0a0a0a0a06080b0c0b0a0c090a0a0affdb004301020202020202050303050a070607"
    "0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0affc00011"
    "080008000803011100021101031101ffc40014000100000000000000000000000000000007ffc4001410010000000000000000000000"
    "0000000000ffc4001501010100000000000000000000000000000609ffc40014110100000000000000000000000000000000ffda000c"
    "03010002110311003f00231b5107ffd9");
const std::string kGif = FromHex(  // 8x8, transparent but for a 4x4 blue block in the middle
    "47494638396108000800f000003366cc00000021f90401000001002c000000000800080000020c8c8f79c080ed567b53595400003b");

std::string PngFile(const RgbaImage& image) { return EncodePng(image); }

// The pixel at (x, y) from the top-left of an icon image, as R G B A.
Rgba PixelOf(const IconImage& icon, int x, int y) {
    if (icon.size == 256) {
        const DecodedImage png = DecodeImage(icon.data);
        const uint8_t* p = &png.image.pixels.at((static_cast<size_t>(y) * 256 + x) * 4);
        return {p[0], p[1], p[2], p[3]};
    }
    const size_t at = 40 + (static_cast<size_t>(icon.size - 1 - y) * icon.size + x) * 4;
    return {int(Get(icon.data, at + 2, 1)), int(Get(icon.data, at + 1, 1)), int(Get(icon.data, at, 1)),
            int(Get(icon.data, at + 3, 1))};
}

bool MaskBit(const IconImage& icon, int x, int y) {
    const size_t stride = (icon.size + 31) / 32 * 4;
    const size_t at = 40 + icon.size * icon.size * 4 + stride * (icon.size - 1 - y) + x / 8;
    return (Get(icon.data, at, 1) >> (7 - x % 8)) & 1;
}

void ExpectNear(const Rgba& actual, const Rgba& expected, int tolerance, const std::string& where) {
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(actual[c], expected[c], tolerance) << where << " channel " << c;
}

struct InputRow {
    const char* name;
    std::function<std::string()> bytes;
    Rgba centre;
    int cornerAlpha;
    int tolerance = 2;
};

const InputRow kInputs[] = {
    {"png", [] { return PngFile(Picture(40, 40, kRose)); }, kRose, 0},
    {"ico whose largest image is a png",
     [] {
         return Ico({Dib(Picture(16, 16, kBlue), 32), PngFile(Picture(64, 64, kRose))});
     },
     kRose, 0},
    {"ico whose largest image is a 32-bit bitmap",
     [] {
         return Ico({PngFile(Picture(16, 16, kBlue)), Dib(Picture(40, 40, kRose), 32)});
     },
     kRose, 0},
    {"ico with a 32-bit bitmap of zero alpha", [] { return Ico({Dib(Picture(40, 40, kBlue), 32, false)}); }, kBlue, 0},
    {"ico with a 24-bit bitmap", [] { return Ico({Dib(Picture(40, 24, kBlue), 24)}); }, kBlue, 0},
    {"ico with an 8-bit bitmap", [] { return Ico({Dib(Picture(40, 40, kBlue), 8)}); }, kBlue, 0},
    {"ico with a 4-bit bitmap", [] { return Ico({Dib(Picture(40, 40, kBlue), 4)}); }, kBlue, 0},
    {"ico with a 1-bit bitmap", [] { return Ico({Dib(Picture(36, 36, kBlue), 1)}); }, kBlue, 0},
    {"bmp", [] { return Bmp(Picture(40, 40, kRose)); }, kRose, 0},
    {"jpeg", [] { return kJpeg; }, {200, 60, 89, 255}, 255, 6},
    {"gif", [] { return kGif; }, kBlue, 0},
    {"wide image on transparent margins", [] { return PngFile(Picture(64, 16, kBlue, false)); }, kBlue, 0},
    {"tall image on transparent margins", [] { return PngFile(Picture(10, 50, kRose, false)); }, kRose, 0},
};

TEST(PackIcon, EveryInputKindGivesTheFiveImagesWithItsColours) {
    for (const InputRow& row : kInputs) {
        SCOPED_TRACE(row.name);
        const IconResult result = MakeIconSet(row.bytes());
        ASSERT_EQ(result.error, "");
        ASSERT_EQ(result.icons.images.size(), std::size(kSizes));
        for (size_t i = 0; i < std::size(kSizes); ++i) {
            const IconImage& icon = result.icons.images[i];
            const int s = kSizes[i];
            ASSERT_EQ(icon.size, s);
            if (s == 256) {
                EXPECT_EQ(icon.data.substr(0, 8), "\x89PNG\r\n\x1A\n");
            } else {
                const size_t maskStride = (s + 31) / 32 * 4;
                ASSERT_EQ(icon.data.size(), 40 + s * s * 4 + maskStride * s);
                const uint32_t header[] = {Get(icon.data, 0, 4),  Get(icon.data, 4, 4),  Get(icon.data, 8, 4),
                                           Get(icon.data, 12, 2), Get(icon.data, 14, 2), Get(icon.data, 16, 4)};
                EXPECT_EQ(std::vector<uint32_t>(std::begin(header), std::end(header)),
                          (std::vector<uint32_t>{40, uint32_t(s), uint32_t(2 * s), 1, 32, 0}));
                EXPECT_FALSE(MaskBit(icon, s / 2, s / 2));
                EXPECT_EQ(MaskBit(icon, 0, 0), row.cornerAlpha == 0);
            }
            ExpectNear(PixelOf(icon, s / 2, s / 2), row.centre, row.tolerance, "centre at " + std::to_string(s));
            EXPECT_EQ(PixelOf(icon, 0, 0)[3], row.cornerAlpha) << "corner at " << s;
        }
    }
}

// The lower half coloured, the upper transparent: rows must come out top-down
// whether the source stores them top-down (PNG) or bottom-up (bitmaps).
TEST(PackIcon, RowsKeepTheirOrder) {
    const RgbaImage picture = Picture(32, 32, kBlue, false, true);
    for (const std::string& bytes : {PngFile(picture), Ico({Dib(picture, 32)}), Ico({Dib(picture, 8)}), Bmp(picture)}) {
        const IconResult result = MakeIconSet(bytes);
        ASSERT_EQ(result.error, "");
        for (const IconImage& icon : result.icons.images) {
            SCOPED_TRACE(icon.size);
            EXPECT_EQ(PixelOf(icon, 1, 1)[3], 0);
            ExpectNear(PixelOf(icon, 1, icon.size - 2), kBlue, 2, "bottom");
            if (icon.size < 256) {
                EXPECT_TRUE(MaskBit(icon, 1, 1) && !MaskBit(icon, 1, icon.size - 2));
            }
        }
    }
}

// Scaling must weigh colour by alpha: averaging in the black of transparent
// pixels would give a shape a dark rim.
TEST(PackIcon, EdgesKeepTheirColourWhenScaledDown) {
    const IconResult result = MakeIconSet(PngFile(Picture(90, 90, {255, 0, 0, 255})));
    ASSERT_EQ(result.error, "");
    const IconImage& icon = result.icons.images.front();
    int edges = 0;
    for (int y = 0; y < icon.size; ++y) {
        for (int x = 0; x < icon.size; ++x) {
            const Rgba p = PixelOf(icon, x, y);
            if (p[3] == 0 || p[3] == 255) continue;
            ++edges;
            EXPECT_GE(p[0], 230) << x << "," << y << " alpha " << p[3];
        }
    }
    EXPECT_GT(edges, 0);
}

TEST(PackIcon, GroupAndIcoFileNameEachImage) {
    const IconSet icons = MakeIconSet(PngFile(Picture(40, 40, kRose))).icons;
    const std::string group = IconGroupData(icons, 7);
    ASSERT_EQ(group.size(), 6 + 14 * std::size(kSizes));
    EXPECT_EQ(Get(group, 2, 2), 1u);
    EXPECT_EQ(Get(group, 4, 2), std::size(kSizes));
    const std::string file = IcoFileData(icons);
    const IcoContents ico = ReadIcoFile(file);
    ASSERT_EQ(ico.error, "");
    ASSERT_EQ(ico.entries.size(), std::size(kSizes));
    for (size_t i = 0; i < std::size(kSizes); ++i) {
        const size_t at = 6 + 14 * i;
        const uint32_t side = kSizes[i] == 256 ? 0 : kSizes[i];
        EXPECT_EQ(Get(group, at, 1), side);
        EXPECT_EQ(Get(group, at + 1, 1), side);
        EXPECT_EQ(Get(group, at + 4, 2), 1u);
        EXPECT_EQ(Get(group, at + 6, 2), 32u);
        EXPECT_EQ(Get(group, at + 8, 4), icons.images[i].data.size());
        EXPECT_EQ(Get(group, at + 12, 2), 7 + i);
        EXPECT_EQ(ico.entries[i].width, kSizes[i]);
        EXPECT_EQ(ico.entries[i].height, kSizes[i]);
        EXPECT_EQ(ico.entries[i].bitCount, 32);
        EXPECT_EQ(ico.entries[i].data, icons.images[i].data);
    }
}

std::string BigEndian(uint32_t value) {
    return {char(value >> 24), char(value >> 16 & 0xFF), char(value >> 8 & 0xFF), char(value & 0xFF)};
}

struct BadRow {
    const char* name;
    std::function<std::string()> bytes;
    const char* error;
};

const BadRow kBadInputs[] = {
    {"empty", [] { return std::string(); }, "the file is empty"},
    {"text", [] { return std::string("{\"name\": \"app\"}\n"); }, "not a PNG, ICO, BMP, JPEG or GIF image"},
    {"cursor", [] { return Patched(Ico({Dib(Picture(8, 8, kBlue), 32)}), 2, 2, 2); }, "not a PNG, ICO"},
    {"png cut in its header", [] { return PngFile(Picture(40, 40, kRose)).substr(0, 12); },
     "PNG image's header is damaged"},
    {"png cut in its pixels", [] { return PngFile(Picture(40, 40, kRose)).substr(0, 60); },
     "the PNG image is truncated"},
    {"jpeg cut in its tables", [] { return kJpeg.substr(0, 100); }, "JPEG image's header is damaged"},
    {"jpeg whose Huffman table claims 511 codes", [] { return Patched(kJpeg, 182, 0xFFFF, 2); },
     "JPEG image's Huffman tables are damaged"},
    {"jpeg scanning with a table it never defined", [] { return Patched(kJpeg, 272, 0x22, 1); },
     "JPEG image's Huffman tables are damaged"},
    {"gif without pixels", [] { return kGif.substr(0, 13); }, "GIF image is damaged"},
    {"png whose data chunk claims 1 GB", [] { return Patched(PngFile(Picture(40, 40, kRose)), 33, 0x40, 4); },
     "the PNG image is truncated"},
    {"png claiming 100000 pixels a side",
     [] { return PngFile(Picture(4, 4, kRose)).replace(16, 8, BigEndian(100000) + BigEndian(100000)); },
     "100000x100000 pixels, more than an icon may be"},
    {"bmp claiming 5000x5000 pixels",
     [] { return Patched(Patched(Bmp(Picture(4, 4, kRose)), 18, 5000, 4), 22, 5000, 4); },
     "5000x5000 pixels, more than an icon may be"},
    {"ico without images", [] { return Ico({}); }, "the ICO file holds no images"},
    {"ico cut in its directory", [] { return Ico({Dib(Picture(8, 8, kBlue), 32)}).substr(0, 12); },
     "directory is truncated"},
    {"ico cut in its image", [] { return Ico({Dib(Picture(8, 8, kBlue), 32)}).substr(0, 100); },
     "ends past the end of the file"},
    {"ico with a 0x0 bitmap", [] { return Ico({Patched(Patched(Dib(Picture(8, 8, kBlue), 32), 4, 0, 4), 8, 0, 4)}); },
     "0x0 pixels, which is empty"},
    {"ico with a 16-bit bitmap", [] { return Ico({Patched(Dib(Picture(8, 8, kBlue), 32), 14, 16, 2)}); },
     "16-bit bitmap"},
    {"ico with a compressed bitmap", [] { return Ico({Patched(Dib(Picture(8, 8, kBlue), 8), 16, 1, 4)}); },
     "compressed bitmap"},
    {"ico whose bitmap lacks rows", [] { return Ico({Dib(Picture(8, 8, kBlue), 32).substr(0, 100)}); },
     "bitmap is truncated"},
    {"ico whose bitmap header overruns it", [] { return Ico({Patched(Dib(Picture(8, 8, kBlue), 32), 0, 5000, 4)}); },
     "header is damaged"},
    {"ico whose png is cut", [] { return Ico({PngFile(Picture(40, 40, kRose)).substr(0, 60)}); },
     "the ICO's PNG image is truncated"},
};

TEST(PackIcon, BadInputsAreRefusedWithWhatIsWrong) {
    for (const BadRow& row : kBadInputs) {
        SCOPED_TRACE(row.name);
        const IconResult result = MakeIconSet(row.bytes());
        EXPECT_NE(result.error.find(row.error), std::string::npos) << result.error;
        EXPECT_TRUE(result.icons.images.empty());
    }
}

}  // namespace
