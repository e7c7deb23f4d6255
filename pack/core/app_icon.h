#pragma once
#include <string>

#include "core/ico_file.h"

struct IconResult {
    IconSet icons;
    std::string error;  // empty on success
};

// The app's icon file (PNG, ICO, BMP, JPEG or GIF) as the 16, 24, 32, 48 and
// 256-pixel images Windows picks from for taskbar, title bar, desktop and
// Explorer views: square, 32-bit with alpha, the picture fitted and centred.
// The error says what is wrong with the file; the caller names it.
IconResult MakeIconSet(const std::string& imageFileBytes);
