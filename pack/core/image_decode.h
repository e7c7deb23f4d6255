#pragma once
#include <string>

#include "core/rgba_image.h"

// PNG, BMP, JPEG, GIF (its first frame) or ICO (its largest image) bytes as
// pixels, or what is wrong with them, in words for the author who chose the file.
DecodedImage DecodeImage(const std::string& bytes);
