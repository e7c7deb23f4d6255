#pragma once
#include <string_view>

// Checks that keep hostile files away from what the stb_image in Debian (2.27)
// gets wrong. Each follows the file the way that decoder does and refuses
// only what it would misread or fail on anyway.

// Whether every Huffman table of a JPEG file declares at most the 256 codes a
// table can hold (stb writes past its table when they add up to more), and is
// defined before a scan decodes with it (stb reads uninitialised memory).
bool JpegHuffmanTablesSound(std::string_view jpeg);

// Whether each chunk of a PNG file, up to IEND, lies inside it; stb sizes
// its buffer from an image data chunk's stated length before reading it.
bool PngChunksFit(std::string_view png);
