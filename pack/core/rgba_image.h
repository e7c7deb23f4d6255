#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A picture as 4 bytes a pixel, R G B A with straight (not premultiplied)
// alpha, rows top-down: what every decoder here produces and the icon writers read.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

struct DecodedImage {
    RgbaImage image;
    std::string error;  // empty when decoded
};

// Empty when an image of this size may be decoded, otherwise why not. Asked
// before pixels are allocated, so that a forged header cannot claim gigabytes.
std::string ImageSizeError(int64_t width, int64_t height);

// The image as a PNG file; empty only when memory runs out.
std::string EncodePng(const RgbaImage& image);
