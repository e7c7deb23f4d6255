#include "extension_checks.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "app_files.h"
#include "common/extension_library.h"
#include "pe_image.h"

namespace fs = std::filesystem;

namespace {

const char* const kEntryPoints[] = {"Init", "Release", "OnMainWindowCreated", "OnExtensionMessage"};
const char* const kMingwRuntime[] = {"libstdc++-6.dll", "libgcc_s_dw2-1.dll", "libgcc_s_seh-1.dll",
                                     "libwinpthread-1.dll"};

// DLLs every Windows installation has; "api-ms-win-" and "ext-ms-" names are
// resolved by the system itself.
const std::set<std::string> kSystemDlls = {"advapi32.dll", "avrt.dll",          "bcrypt.dll",     "cfgmgr32.dll",
                                           "combase.dll",  "comctl32.dll",      "comdlg32.dll",   "crypt32.dll",
                                           "d2d1.dll",     "d3d11.dll",         "d3d12.dll",      "d3d9.dll",
                                           "dbghelp.dll",  "dnsapi.dll",        "dsound.dll",     "dwmapi.dll",
                                           "dwrite.dll",   "dxgi.dll",          "gdi32.dll",      "gdiplus.dll",
                                           "glu32.dll",    "hid.dll",           "imagehlp.dll",   "imm32.dll",
                                           "iphlpapi.dll", "kernel32.dll",      "kernelbase.dll", "mf.dll",
                                           "mfplat.dll",   "mfreadwrite.dll",   "mpr.dll",        "msimg32.dll",
                                           "msvcrt.dll",   "mswsock.dll",       "ncrypt.dll",     "netapi32.dll",
                                           "normaliz.dll", "ntdll.dll",         "ole32.dll",      "oleacc.dll",
                                           "oleaut32.dll", "opengl32.dll",      "powrprof.dll",   "propsys.dll",
                                           "psapi.dll",    "rpcrt4.dll",        "secur32.dll",    "setupapi.dll",
                                           "shcore.dll",   "shell32.dll",       "shlwapi.dll",    "ucrtbase.dll",
                                           "urlmon.dll",   "user32.dll",        "userenv.dll",    "uxtheme.dll",
                                           "version.dll",  "windowscodecs.dll", "winhttp.dll",    "wininet.dll",
                                           "winmm.dll",    "winspool.drv",      "wintrust.dll",   "wldap32.dll",
                                           "ws2_32.dll",   "wsock32.dll",       "wtsapi32.dll",   "xinput1_4.dll"};

bool IsSystemDll(const std::string& lowerName) {
    return kSystemDlls.count(lowerName) || lowerName.compare(0, 11, "api-ms-win-") == 0 ||
           lowerName.compare(0, 7, "ext-ms-") == 0;
}

bool IsMingwRuntime(const std::string& lowerName) {
    return std::find(std::begin(kMingwRuntime), std::end(kMingwRuntime), lowerName) != std::end(kMingwRuntime);
}

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Why an export carries an entry point's name in another form; empty when it does not.
std::string DecorationCause(const std::string& exported, const std::string& entry) {
    const std::string itanium = "_Z" + std::to_string(entry.size()) + entry;
    if (exported.compare(0, itanium.size(), itanium) == 0 ||
        exported.compare(0, entry.size() + 3, "?" + entry + "@@") == 0)
        return "C++ name mangling: the definition lacks extern \"C\", or its signature differs from the header's "
               "and made a new overload";
    std::string plain = exported;
    if (!plain.empty() && plain.front() == '_') plain.erase(0, 1);
    const size_t at = plain.find('@');
    if (at != std::string::npos && plain.compare(0, at, entry) == 0 && AllDigits(plain.substr(at + 1)))
        return "__stdcall decoration: the function is WINAPI or __stdcall instead of QUILLFRAME_CALL (__cdecl)";
    if (plain == entry && exported != entry) return "a leading underscore: the name is exported decorated";
    return {};
}

}  // namespace

std::optional<Finding> FindExtension(const fs::path& folder, std::optional<PeImage>& library) {
    const auto path = FindInFolder(folder, kExtensionLibraryName);
    if (!path) return Ok("extension", std::string("none: ") + kExtensionLibraryName + " is optional");
    const auto bytes = ReadFileBytes(*path);
    const auto image = bytes ? ReadPeImage(*bytes) : std::nullopt;
    if (!image)
        return Problem("extension", std::string(kExtensionLibraryName) + " is not a Windows DLL: the host ignores it",
                       "replace it with the DLL your build makes, or delete it");
    library = *image;
    return std::nullopt;
}

Finding CheckExtensionMachine(const PeImage& library) {
    const std::string machine = MachineName(library.machine);
    if (library.machine == kMachineX86) return Ok("extension machine", "x86 (32-bit), as the host");
    return Problem(
        "extension machine",
        std::string(kExtensionLibraryName) + " is " + machine + ": the 32-bit host cannot load it and ignores it",
        "build it for 32-bit x86: i686-w64-mingw32-gcc, or the x86 tools of Visual Studio");
}

Finding CheckExtensionExports(const PeImage& library) {
    const auto& exported = library.exportNames;
    std::vector<std::string> details;
    for (const char* entry : kEntryPoints) {
        if (std::find(exported.begin(), exported.end(), entry) != exported.end()) continue;
        std::string line = std::string(entry) + " is not exported";
        for (const std::string& name : exported) {
            const std::string cause = DecorationCause(name, entry);
            if (!cause.empty()) line += "; found " + name + ": " + cause;
        }
        details.push_back(line);
    }
    if (details.empty()) return Ok("extension exports", "Init, Release, OnMainWindowCreated, OnExtensionMessage");
    Finding finding = Problem("extension exports", "entry points are missing: the host never calls Init",
                              "define all four with QUILLFRAME_EXTENSION_EXPORT and the signatures of "
                              "include/quillframe/extension.h");
    finding.details = std::move(details);
    return finding;
}

namespace {

// Imports of one library and, through the DLLs found beside it, of theirs.
void CollectMissingImports(const fs::path& folder, const PeImage& image, std::set<std::string>& seen,
                           std::vector<std::string>& missing) {
    for (const std::string& name : image.importedDlls) {
        const std::string lower = AsciiLower(name);
        if (IsSystemDll(lower) || !seen.insert(lower).second) continue;
        const auto beside = FindInFolder(folder, name);
        if (!beside) {
            missing.push_back(name);
            continue;
        }
        const auto bytes = ReadFileBytes(*beside);
        const auto dependency = bytes ? ReadPeImage(*bytes) : std::nullopt;
        if (dependency) CollectMissingImports(folder, *dependency, seen, missing);
    }
}

}  // namespace

Finding CheckExtensionImports(const fs::path& folder, const PeImage& library) {
    std::set<std::string> seen;
    std::vector<std::string> missing;
    CollectMissingImports(folder, library, seen, missing);
    if (missing.empty()) return Ok("extension imports", "every DLL it needs is beside it or part of Windows");
    const bool mingw = std::any_of(missing.begin(), missing.end(),
                                   [](const std::string& name) { return IsMingwRuntime(AsciiLower(name)); });
    Finding finding = Problem(
        "extension imports",
        "DLLs it needs are neither beside it nor part of Windows: "
        "Windows cannot load it and the host ignores it",
        mingw ? "link the mingw runtime in (-static-libstdc++ -static-libgcc, or -static), or "
                "ship libstdc++-6.dll, libgcc_s_dw2-1.dll and libwinpthread-1.dll beside it"
              : "ship these DLLs beside " + std::string(kExtensionLibraryName) + ", or link them in statically");
    for (const std::string& name : missing)
        finding.details.push_back(name + (IsMingwRuntime(AsciiLower(name)) ? " (the mingw C++ runtime)" : ""));
    return finding;
}
