#pragma once

// The boxes start-up shows when package.json cannot be used. Portable, so that
// tools which predict start-up show the very same words.
inline constexpr char kLoadFailedText[] =
    "Failed to load package.json. Check the file is in the same folder as the app.";
inline constexpr char kParseFailedText[] =
    "Failed to parse package.json. Check the file has valid JSON and that all parameters are correct.";
