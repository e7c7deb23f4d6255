#include "core/release_info.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/json_readers.h"
#include "common/utf8.h"

namespace {

bool IsDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A numeric part of a version: digits, no leading zero.
bool IsVersionNumber(const std::string& text) { return IsDigits(text) && (text == "0" || text[0] != '0'); }

// Dot-separated identifiers of [0-9A-Za-z-]; numeric ones without leading zeros
// (prerelease only, as npm reads them).
bool AreIdentifiers(const std::string& text, bool numericNoLeadingZero) {
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        const std::string part = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || part.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-") !=
                                std::string::npos)
            return false;
        if (numericNoLeadingZero && IsDigits(part) && !IsVersionNumber(part)) return false;
        if (dot == std::string::npos) return true;
        start = dot + 1;
    }
}

bool IsReservedDeviceName(const std::string& text) {
    // Windows reserves these names with any extension too ("CON.txt"), and
    // ignores trailing spaces before the dot.
    std::string stem = text.substr(0, text.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* name : kNames)
        if (stem == name) return true;
    // COM1-9 and LPT1-9, also with the superscript digits ¹ ² ³.
    if ((stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && stem.size() >= 4) {
        const std::string digit = stem.substr(3);
        return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" ||
               digit == "\xC2\xB2" || digit == "\xC2\xB3";
    }
    return false;
}

bool IsForbiddenInFileName(char32_t c) { return c < 0x20 || (c < 0x80 && std::strchr("\\/:*?\"<>|", static_cast<char>(c))); }

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

std::string AuthorName(const nlohmann::json& document) {
    const auto author = document.find("author");
    if (author == document.end()) return "";
    if (author->is_object()) return Trimmed(JsonStringOr(*author, "name", ""));
    if (!author->is_string()) return "";
    // "Name <mail> (url)": the name is what comes before the mail or the address.
    const std::string text = author->get<std::string>();
    return Trimmed(text.substr(0, std::min(text.find('<'), text.find('('))));
}

}  // namespace

std::optional<ReleaseVersion> ParseReleaseVersion(const std::string& text) {
    const size_t plus = text.find('+');
    const std::string withoutBuild = text.substr(0, plus);
    if (plus != std::string::npos && !AreIdentifiers(text.substr(plus + 1), false)) return std::nullopt;
    const size_t dash = withoutBuild.find('-');
    const std::string core = withoutBuild.substr(0, dash);
    if (dash != std::string::npos && !AreIdentifiers(withoutBuild.substr(dash + 1), true)) return std::nullopt;
    ReleaseVersion version{text, {}};
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t dot = core.find('.', start);
        if ((i < 2) == (dot == std::string::npos)) return std::nullopt;
        const std::string number = core.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (!IsVersionNumber(number) || number.size() > 5 || std::stoul(number) > 65535) return std::nullopt;
        version.numbers[i] = static_cast<uint16_t>(std::stoul(number));
        start = dot + 1;
    }
    return version;
}

std::string FileNameProblem(const std::string& text) {
    if (text.empty()) return "is empty";
    const std::u32string points = DecodeUtf8(text);
    if (EncodeUtf8(points) != text) return "is not valid UTF-8";
    for (char32_t c : points)
        if (IsForbiddenInFileName(c)) return "holds a character Windows file names cannot hold (\\ / : * ? \" < > | or a control character)";
    if (text.back() == '.' || text.back() == ' ') return "ends with a dot or a space, which Windows drops from file names";
    if (IsReservedDeviceName(text)) return "is a name Windows reserves for a device (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
    if (Utf16Length(points) + 4 > 255) return "is too long for a file name with \".exe\" after it";
    return "";
}

std::string SafeFileName(const std::string& text) {
    std::u32string points = DecodeUtf8(text);
    for (char32_t& c : points)
        if (IsForbiddenInFileName(c)) c = U'_';
    std::string name = EncodeUtf8(points);
    if (name.empty() || name.back() == '.' || name.back() == ' ' || IsReservedDeviceName(name)) name += "_";
    return name;
}

ReleaseInfoResult ReadReleaseInfo(const std::string& manifestText) {
    ReleaseInfoResult result;
    ReleaseInfo& info = result.info;
    try {
        ParseManifest(manifestText, info.manifest);
    } catch (const std::exception&) {
        result.error = "package.json is not a manifest the host can read (run the doctor on the folder to see why)";
        return result;
    }
    const nlohmann::json document = nlohmann::json::parse(manifestText.c_str(), nullptr, false, false);
    if (const std::string problem = FileNameProblem(info.manifest.name); !problem.empty()) {
        result.error = "\"name\" " + problem + ": it names the exe, the install folder and the uninstall entry";
        return result;
    }
    const auto window = document.find("window");
    info.title = JsonStringOr(window == document.end() ? nlohmann::json() : *window, "title", info.manifest.name);
    const auto version = document.find("version");
    if (version == document.end()) {
        info.version = {"1.0.0", {1, 0, 0, 0}};
        info.warnings.push_back("package.json has no \"version\": the release is 1.0.0");
    } else if (auto parsed = version->is_string() ? ParseReleaseVersion(version->get<std::string>()) : std::nullopt) {
        info.version = *parsed;
    } else {
        result.error = "\"version\" must be MAJOR.MINOR.PATCH with an optional -prerelease or +build "
                       "(each number at most 65535), such as \"1.2.0\" or \"1.2.0-beta.1\"";
        return result;
    }
    info.author = AuthorName(document);
    info.description = JsonStringOr(document, "description", info.title);
    if (info.manifest.enableDevtools)
        info.warnings.push_back("\"enable-devtools\" is on: users can open the developer tools "
                                "(set \"settings\": {\"enable-devtools\": false} for a release)");
    return result;
}
