// What Windows' own API reads from an exe's resources, as two JSON lines:
// {"version":{"fileVersion":"a.b.c.d","productVersion":...,"fileOS":n,"fileType":n,"translation":"0409/04B0",
//   "strings":{"ProductName":"..."|null,...}}|null}
// {"icons":[{"width":n,"height":n,"id":n,"bytes":n,"found":true|false},...]|null}  (the group 32512)
// Argument: the exe's path.

#include <windows.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/strings.h"
#include "common/unique_handle_win.h"

namespace {

constexpr const wchar_t* kKeys[] = {L"ProductName",    L"FileDescription",  L"CompanyName",  L"FileVersion",
                                    L"ProductVersion", L"OriginalFilename", L"InternalName", L"LegalCopyright"};

std::string Dotted(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
           std::to_string(LOWORD(low));
}

nlohmann::json VersionFacts(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return nullptr;
    nlohmann::json facts;
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        facts["fileVersion"] = Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        facts["productVersion"] = Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
        facts["fileOS"] = fixed->dwFileOS;
        facts["fileType"] = fixed->dwFileType;
    }
    if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
        const auto* pair = static_cast<const WORD*>(value);
        char text[16];
        std::snprintf(text, sizeof text, "%04X/%04X", pair[0], pair[1]);
        facts["translation"] = text;
    }
    for (const wchar_t* key : kKeys) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        const bool found = VerQueryValueW(data.data(), query.c_str(), &value, &length);
        facts["strings"][WideToUtf8(key)] =
            found
                ? nlohmann::json(WideToUtf8(std::wstring(static_cast<const wchar_t*>(value), length ? length - 1 : 0)))
                : nlohmann::json(nullptr);
    }
    return facts;
}

std::string ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
    HRSRC found = FindResourceW(module, name, type);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return data ? std::string(static_cast<const char*>(data), SizeofResource(module, found)) : std::string();
}

// The group's directory: a 6-byte header, then 14-byte entries (width,
// height, colours, reserved, planes, bit count, byte count, id).
nlohmann::json IconFacts(const std::wstring& path) {
    const UniqueHandle<ModuleTraits> module(
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) return nullptr;
    const std::string group = ResourceBytes(module.get(), MAKEINTRESOURCEW(32512), MAKEINTRESOURCEW(14));
    if (group.size() < 6) return nullptr;
    const auto byte = [&](size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(group[at])); };
    nlohmann::json icons = nlohmann::json::array();
    const unsigned count = byte(4) | byte(5) << 8;
    for (unsigned i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
        const size_t at = 6 + 14 * i;
        const unsigned id = byte(at + 12) | byte(at + 13) << 8;
        const std::string icon = ResourceBytes(module.get(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));
        icons.push_back({{"width", byte(at) ? byte(at) : 256},
                         {"height", byte(at + 1) ? byte(at + 1) : 256},
                         {"id", id},
                         {"bytes", byte(at + 8) | byte(at + 9) << 8 | byte(at + 10) << 16 | byte(at + 11) << 24},
                         {"found", !icon.empty()}});
    }
    return icons;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qf_resource_probe <exe>\n");
        return 2;
    }
    std::printf("%s\n", nlohmann::json{{"version", VersionFacts(argv[1])}}.dump().c_str());
    std::printf("%s\n", nlohmann::json{{"icons", IconFacts(argv[1])}}.dump().c_str());
    return 0;
}
