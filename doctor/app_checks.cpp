#include "app_checks.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "app_files.h"
#include "common/startup_texts.h"
#include "content/request_path.h"
#include "loader/runtime_layout.h"
#include "pe_image.h"
#include "runtime_facts.h"

namespace fs = std::filesystem;

namespace {

const char kManifestCheck[] = "manifest";
const char kStartPageCheck[] = "start page";
const char kIconCheck[] = "icon";
const char kRuntimeCheck[] = "fixed runtime";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The loader's paths relative to the app folder, with "/" as the doctor shows paths.
std::string Relative(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The shipped host is 32-bit, whatever the doctor was built for.
const std::string kRuntimeFolder = Relative(FixedRuntimeFolder(""));
const std::string kRuntimeDll = Relative(FixedRuntimeDllPath("", RuntimeArchitecture::X86));

Finding ParseFailed(std::string detail, std::string fix) {
    Finding finding = Problem(kManifestCheck, std::string("the host shows: ") + kParseFailedText, std::move(fix), true);
    finding.details.push_back(std::move(detail));
    return finding;
}

std::string Summary(const AppManifest& manifest) {
    return "package.json parsed: " + Quoted(manifest.name) + ", " +
           (manifest.contentMode == ContentMode::Bundle ? "bundle" : "remote") + " content, " +
           (manifest.distributionMode == DistributionMode::Fixed ? "fixed" : "evergreen") + " runtime";
}

// The URL the page is loaded from: the browser's own reading of "main" in
// remote mode needs a scheme of http or https and a host.
bool IsAbsoluteHttpUrl(const std::string& url) {
    const std::string lower = AsciiLower(url);
    for (const char* scheme : {"http://", "https://"}) {
        const size_t length = std::char_traits<char>::length(scheme);
        if (lower.compare(0, length, scheme) == 0 && url.size() > length && url.find_first_of("/?#", length) != length)
            return true;
    }
    return false;
}

bool IsImage(const std::string& start) {
    for (const std::string& magic :
         {std::string("\x89PNG\r\n\x1a\n"), std::string("\0\0\1\0", 4), std::string("BM"), std::string("GIF8"),
          std::string("\xFF\xD8\xFF"), std::string("II*\0", 4), std::string("MM\0*", 4)})
        if (start.compare(0, magic.size(), magic) == 0) return true;
    return false;
}

// A runtime unpacked one level too deep, or for another processor, is the
// usual mistake; name where the DLL was found instead.
std::string MisplacedRuntimeHint(const fs::path& folder) {
    std::error_code error;
    const auto runtime = FindInFolder(folder, kRuntimeFolder);
    if (!runtime) return "there is no webview2 folder beside package.json";
    fs::recursive_directory_iterator it(*runtime, fs::directory_options::skip_permission_denied, error), end;
    for (; !error && it != end; it.increment(error)) {
        if (it.depth() > 4) it.disable_recursion_pending();
        if (AsciiLower(it->path().filename().u8string()) != "embeddedbrowserwebview.dll") continue;
        const std::string found = "found " + Shown(it->path(), folder) + " instead";
        const std::string processor = AsciiLower(it->path().parent_path().filename().u8string());
        if (processor == "x64" || processor == "arm64") return found + ": the host needs the x86 runtime";
        if (it.depth() < 3) return found;
        const fs::path top = it->path().parent_path().parent_path().parent_path();
        return found + ": move the contents of " + Shown(top, folder) + " up into webview2";
    }
    return "webview2 holds no EmbeddedBrowserWebView.dll";
}

}  // namespace

Finding CheckManifest(const fs::path& folder, std::optional<AppManifest>& manifest) {
    const auto found = FindInFolder(folder, "package.json");
    const auto text = found ? ReadFileBytes(*found) : std::nullopt;
    if (!text || text->empty()) {
        Finding finding = Problem(kManifestCheck, std::string("the host shows: ") + kLoadFailedText,
                                  "put package.json beside Quillframe.exe, with at least {\"name\": \"MyApp\"}", true);
        finding.details.push_back(!found  ? "package.json is missing"
                                  : !text ? "package.json cannot be read"
                                          : "package.json is empty");
        return finding;
    }
    AppManifest parsed;
    try {
        ParseManifest(*text, parsed);
    } catch (const nlohmann::json::exception& error) {
        return ParseFailed(error.what(), "make it strict JSON: no comments, no trailing commas, quoted keys");
    } catch (const std::exception& error) {
        return ParseFailed(error.what(),
                           "\"name\" must be a non-empty string, \"distribution-mode\" \"evergreen\" or "
                           "\"fixed\", \"content-mode\" \"bundle\" or \"remote\" (lower case)");
    }
    manifest = parsed;
    return Ok(kManifestCheck, Summary(parsed));
}

Finding CheckStartPage(const fs::path& folder, const AppManifest& manifest) {
    if (manifest.contentMode == ContentMode::Remote) {
        if (IsAbsoluteHttpUrl(manifest.main)) return Ok(kStartPageCheck, "remote: " + manifest.main);
        return Problem(
            kStartPageCheck,
            "in remote content mode \"main\" is " + Quoted(manifest.main) + ", not an absolute http:// or https:// URL",
            "set \"main\" to the page's full URL, or use \"content-mode\": \"bundle\"", true);
    }
    // What the host serves for the start URL: a query or fragment names no file.
    const auto requestPath = RequestPathFromUri(manifest.main, 0);
    if (!requestPath)
        return Problem(kStartPageCheck,
                       "the host refuses the path " + Quoted(manifest.main) +
                           " (a colon, a leading slash, or a name made only of dots and blanks)",
                       "set \"main\" to a plain path under www/, such as \"index.html\"", true);
    const std::string shown = "www/" + *requestPath;
    const auto www = FindInFolder(folder, "www");
    const auto page = www ? FindInFolder(*www, *requestPath) : std::nullopt;
    std::error_code error;
    if (!page)
        return Problem(kStartPageCheck, shown + " does not exist",
                       "create " + shown + ", or set \"main\" to your start page's path under www/", true);
    if (!fs::is_regular_file(*page, error))
        return Problem(kStartPageCheck, shown + " is a folder, which the host answers with an empty page",
                       "set \"main\" to a file, such as \"" +
                           (requestPath->empty() ? std::string() : *requestPath + "/") + "index.html\"",
                       true);
    return Ok(kStartPageCheck, Shown(*page, folder));
}

Finding CheckIcon(const fs::path& folder, const AppManifest& manifest) {
    if (manifest.icon.empty()) return Ok(kIconCheck, "none set: the window has the default icon");
    const auto icon = FindInFolder(folder, manifest.icon);
    const bool absolute =
        manifest.icon.find(':') != std::string::npos || manifest.icon.front() == '/' || manifest.icon.front() == '\\';
    if (absolute || !icon)
        return Problem(kIconCheck, Quoted(manifest.icon) + " is not a file under the app folder: default icon",
                       "give \"window.icon\" a path relative to the app folder, such as \"www/icon.png\"");
    if (!IsImage(ReadFileStart(*icon, 8)))
        return Problem(kIconCheck, Quoted(manifest.icon) + " is not an image the host reads: default icon",
                       "use an ICO, PNG, BMP, GIF, JPEG or TIFF file");
    return Ok(kIconCheck, Shown(*icon, folder));
}

Finding CheckFixedRuntime(const fs::path& folder, const AppManifest& manifest) {
    if (manifest.distributionMode != DistributionMode::Fixed)
        return Ok(kRuntimeCheck, "not used: evergreen mode uses the installed runtime, installed at first start");
    const std::string fix = "unpack the x86 fixed-version runtime so that " + kRuntimeDll + " exists in the app folder";
    const auto dll = FindInFolder(folder, kRuntimeDll);
    if (!dll) {
        Finding finding = Problem(kRuntimeCheck, "no " + kRuntimeDll + " (" + kFixedRuntimeDllMissing +
                                                     "): the runtime cannot start", fix, true);
        finding.details.push_back(MisplacedRuntimeHint(folder));
        return finding;
    }
    const auto bytes = ReadFileBytes(*dll);
    const auto image = bytes ? ReadPeImage(*bytes) : std::nullopt;
    if (image && image->machine != kMachineX86)
        return Problem(kRuntimeCheck, kRuntimeDll + " is " + MachineName(image->machine) +
                                          ": the 32-bit host cannot load it", fix, true);
    // The loader takes an empty version for none.
    const auto version =
        bytes ? ReadVersionString(*bytes, kFixedRuntimeVersionTable, kFixedRuntimeVersionKey) : std::nullopt;
    if (!version || version->empty())
        return Problem(kRuntimeCheck, kRuntimeDll + " has no ProductVersion (" + kFixedRuntimeNoVersion +
                                          "): the runtime cannot start", fix, true);
    return Ok(kRuntimeCheck, kRuntimeDll + ", version " + *version);
}
