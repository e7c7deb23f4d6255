#include "core/branded_exe.h"

#include <algorithm>

#include "pe_resources.h"
#include "version_resource.h"

namespace {

constexpr uint16_t kEnglishUs = 0x0409;
constexpr uint16_t kVersionResourceId = 1;

ResourceEntry Entry(uint16_t type, uint16_t id, std::string data) {
    ResourceEntry entry;
    entry.type.id = type;
    entry.name.id = id;
    entry.language = kEnglishUs;
    entry.data = std::move(data);
    return entry;
}

bool IsReplaced(const ResourceEntry& entry) {
    if (!entry.type.name.empty()) return false;
    return entry.type.id == kResourceIcon || entry.type.id == kResourceGroupIcon || entry.type.id == kResourceVersion;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> VersionStrings(const ReleaseInfo& info, const std::string& exeName) {
    const std::string copyright = info.author.empty() ? "" : "Copyright \xC2\xA9 " + info.author;
    return {{"CompanyName", info.author},
            {"FileDescription", info.description},
            {"FileVersion", info.version.text},
            {"InternalName", info.manifest.name},
            {"LegalCopyright", copyright},
            {"OriginalFilename", exeName},
            {"ProductName", info.title},
            {"ProductVersion", info.version.text}};
}

BrandResult BrandExe(const std::string& hostExe, const ReleaseInfo& info, const std::optional<IconSet>& icons,
                     const std::string& exeName) {
    const auto existing = ReadResources(hostExe);
    if (!existing) return {"", "the host exe is not a PE file whose resources can be read"};
    std::vector<ResourceEntry> entries;
    std::copy_if(existing->begin(), existing->end(), std::back_inserter(entries),
                 [](const ResourceEntry& entry) { return !IsReplaced(entry); });
    if (icons) {
        for (size_t i = 0; i < icons->images.size(); ++i)
            entries.push_back(Entry(kResourceIcon, static_cast<uint16_t>(i + 1), icons->images[i].data));
        entries.push_back(Entry(kResourceGroupIcon, kAppIconGroupId, IconGroupData(*icons, 1)));
    }
    VersionBlock block;
    block.fileVersion = block.productVersion = info.version.numbers;
    block.strings = VersionStrings(info, exeName);
    entries.push_back(Entry(kResourceVersion, kVersionResourceId, BuildVersionResource(block)));
    RewriteResult rewritten = ReplaceResources(hostExe, entries);
    return {std::move(rewritten.bytes), std::move(rewritten.error)};
}
