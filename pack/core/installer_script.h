#pragma once
#include <array>
#include <cstdint>
#include <string>

// What the per-user installer installs, and from where on the build machine.
struct InstallerPlan {
    std::string name;            // a valid Windows file name (already validated): "<name>.exe", folders, key
    std::string title;           // any text
    std::string version;         // the manifest's version text, e.g. "1.2.0-beta.1"
    std::array<uint16_t, 4> fileVersion{};  // e.g. 1,2,0,0
    std::string publisher;       // may be empty
    std::string shortcutName;    // the title made safe for a file name
    std::string stagedFolder;    // build-machine path of the folder whose whole content is installed
    std::string iconFile;        // build-machine path of the app's .ico; empty: NSIS's own icon
    std::string outputFile;      // build-machine path of the setup exe to write
    bool desktopShortcut = false;
    uint64_t installedBytes = 0; // for EstimatedSize
    std::string signCommand;     // empty: no signing; else a command line with %1 for the file to sign in place
};

// How makensis reads a quoted argument. Installer text (what the installer shows
// or writes: names, registry values, messages) turns "$$" into "$" and "$x" into a
// variable; build-time text (paths makensis opens, version-resource strings, the
// signing command) keeps every "$" as it is.
enum class NsisText { Installer, BuildTime };

// The text as one double-quoted NSIS string literal that makensis reads back as
// exactly this text (UTF-8 kept). Throws std::invalid_argument for the two texts
// no literal can hold: one with a NUL character, and one ending in "$\".
std::string NsisString(const std::string& text, NsisText kind = NsisText::Installer);

// The whole .nsi script (UTF-8, for makensis -INPUTCHARSET UTF8). Throws
// std::invalid_argument, naming the value, when NsisString refuses one.
std::string InstallerScript(const InstallerPlan& plan);
