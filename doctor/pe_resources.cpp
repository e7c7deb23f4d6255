#include "pe_resources.h"

#include <algorithm>
#include <set>

#include "pe_layout.h"

namespace {

// The levels of a resource tree: type, name, language.
constexpr int kTreeDepth = 3;
// More entries than any real file has: a bound for a damaged tree.
constexpr size_t kMaxTreeEntries = 1u << 16;
constexpr uint32_t kHighBit = 0x80000000u;

// Reads the tree below the resource directory; a table may be reached once
// only, so a looping or self-sharing tree is refused instead of followed.
class TreeReader {
public:
    TreeReader(const std::string& bytes, const PeLayout& layout)
        : bytes_(bytes), layout_(layout), rootRva_(layout.directories[kResourceDirectory].first) {}

    bool Read(std::vector<ResourceEntry>& entries) {
        ResourceEntry path;
        return ReadTable(0, 0, path, entries);
    }

private:
    std::optional<size_t> At(uint32_t offset) const {
        if (offset > UINT32_MAX - rootRva_) return std::nullopt;
        return PeFileOffset(layout_, rootRva_ + offset);
    }

    bool ReadTable(uint32_t offset, int depth, ResourceEntry& path, std::vector<ResourceEntry>& entries) {
        const auto at = At(offset);
        if (!visited_.insert(offset).second || !at) return false;
        const auto named = PeU16(bytes_, *at + 12), ids = PeU16(bytes_, *at + 14);
        if (!named || !ids) return false;
        for (uint32_t i = 0; i < *named + *ids; ++i) {
            const auto key = PeU32(bytes_, *at + 16 + 8 * i), target = PeU32(bytes_, *at + 20 + 8 * i);
            if (!key || !target || ++entryCount_ > kMaxTreeEntries) return false;
            const bool table = (*target & kHighBit) != 0;
            if (table != (depth < kTreeDepth - 1)) return false;
            if (depth == kTreeDepth - 1) {
                if (*key > 0xFFFF) return false;  // a language is always a number
                path.language = static_cast<uint16_t>(*key);
            } else {
                const auto name = ReadKey(*key);
                if (!name) return false;
                (depth == 0 ? path.type : path.name) = *name;
            }
            if (table ? !ReadTable(*target & ~kHighBit, depth + 1, path, entries) : !ReadData(*target, path, entries))
                return false;
        }
        return true;
    }

    std::optional<ResourceKey> ReadKey(uint32_t field) const {
        ResourceKey key;
        if ((field & kHighBit) == 0) {
            if (field > 0xFFFF) return std::nullopt;
            key.id = static_cast<uint16_t>(field);
            return key;
        }
        const auto at = At(field & ~kHighBit);
        const auto length = at ? PeU16(bytes_, *at) : std::nullopt;
        if (!length || *length == 0 || bytes_.size() - *at - 2 < 2 * size_t{*length}) return std::nullopt;
        for (uint32_t i = 0; i < *length; ++i) key.name += static_cast<char16_t>(*PeU16(bytes_, *at + 2 + 2 * i));
        return key;
    }

    bool ReadData(uint32_t offset, ResourceEntry entry, std::vector<ResourceEntry>& entries) {
        const auto at = At(offset);
        if (!at) return false;
        const auto rva = PeU32(bytes_, *at), size = PeU32(bytes_, *at + 4), codePage = PeU32(bytes_, *at + 8);
        if (!rva || !size || !codePage) return false;
        const std::optional<size_t> data = PeFileOffset(layout_, *rva);
        if (!data || *data > bytes_.size() || *size > bytes_.size() - *data) return false;
        dataBytes_ += *size;
        if (dataBytes_ > bytes_.size()) return false;  // blocks shared between entries
        entry.data = bytes_.substr(*data, *size);
        entry.codePage = *codePage;
        entries.push_back(std::move(entry));
        return true;
    }

    const std::string& bytes_;
    const PeLayout& layout_;
    const uint32_t rootRva_;
    std::set<uint32_t> visited_;
    size_t entryCount_ = 0;
    size_t dataBytes_ = 0;
};

void Put(std::string& bytes, size_t at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

size_t AlignUp(size_t value, size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// The order Windows searches in: named entries first, by their UTF-16 units,
// then numbered ones ascending.
bool KeyLess(const ResourceKey& a, const ResourceKey& b) {
    if (a.name.empty() != b.name.empty()) return !a.name.empty();
    return a.name.empty() ? a.id < b.id : a.name < b.name;
}

bool EntryLess(const ResourceEntry* a, const ResourceEntry* b) {
    if (!(a->type == b->type)) return KeyLess(a->type, b->type);
    if (!(a->name == b->name)) return KeyLess(a->name, b->name);
    return a->language < b->language;
}

// A range of the sorted entries that share a type (or a type and a name).
struct Run {
    size_t begin, end;
};

using Sorted = std::vector<const ResourceEntry*>;

std::vector<Run> Split(const Sorted& sorted, Run within, ResourceKey ResourceEntry::*key) {
    std::vector<Run> runs;
    for (size_t i = within.begin; i < within.end; ++i) {
        if (runs.empty() || !(sorted[i]->*key == sorted[runs.back().begin]->*key)) runs.push_back({i, i});
        runs.back().end = i + 1;
    }
    return runs;
}

size_t TableSize(size_t entries) { return 16 + 8 * entries; }

// Lays the section out as Windows' own tools do: every directory table
// (breadth first), the names, the data entries, then the data, each block on
// an 8-byte boundary.
class SectionBuilder {
public:
    SectionBuilder(const Sorted& sorted, uint32_t rva) : sorted_(sorted), rva_(rva) {
        types_ = Split(sorted_, {0, sorted_.size()}, &ResourceEntry::type);
        for (const Run& type : types_) {
            const std::vector<Run> names = Split(sorted_, type, &ResourceEntry::name);
            names_.insert(names_.end(), names.begin(), names.end());
            namesPerType_.push_back(names.size());
        }
        tablesEnd_ = TableSize(types_.size()) + types_.size() * TableSize(0) + names_.size() * TableSize(0) +
                     8 * (names_.size() + sorted_.size());
    }

    std::string Build() {
        std::string strings;
        size_t next = TableSize(types_.size());
        std::vector<size_t> typeTables, nameTables;
        WriteTable(0, types_, &ResourceEntry::type, strings, [&](size_t i) {
            typeTables.push_back(next);
            next += TableSize(namesPerType_[i]);
            return kHighBit | typeTables.back();
        });
        for (size_t t = 0, first = 0; t < types_.size(); first += namesPerType_[t++]) {
            const std::vector<Run> names(names_.begin() + first, names_.begin() + first + namesPerType_[t]);
            WriteTable(typeTables[t], names, &ResourceEntry::name, strings, [&](size_t i) {
                nameTables.push_back(next);
                next += TableSize(names[i].end - names[i].begin);
                return kHighBit | nameTables.back();
            });
        }
        const size_t dataEntries = AlignUp(tablesEnd_ + strings.size(), 4);
        for (size_t n = 0; n < names_.size(); ++n) WriteLanguages(nameTables[n], names_[n], dataEntries);
        section_.replace(tablesEnd_, strings.size(), strings);
        WriteData(dataEntries);
        return std::move(section_);
    }

private:
    template <typename Target>
    void WriteTable(size_t at, const std::vector<Run>& runs, ResourceKey ResourceEntry::*key, std::string& strings,
                    Target target) {
        Grow(at + TableSize(runs.size()));
        const auto named = std::count_if(runs.begin(), runs.end(),
                                         [&](const Run& run) { return !(sorted_[run.begin]->*key).name.empty(); });
        Put(section_, at + 12, static_cast<uint64_t>(named), 2);
        Put(section_, at + 14, runs.size() - named, 2);
        for (size_t i = 0; i < runs.size(); ++i) {
            const ResourceKey& name = sorted_[runs[i].begin]->*key;
            uint64_t field = name.id;
            if (!name.name.empty()) {
                field = kHighBit | (tablesEnd_ + strings.size());
                strings += static_cast<char>(name.name.size() & 0xFF);
                strings += static_cast<char>(name.name.size() >> 8);
                for (char16_t unit : name.name)
                    strings += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
            }
            Put(section_, at + 16 + 8 * i, field, 4);
            Put(section_, at + 20 + 8 * i, target(i), 4);
        }
    }

    void WriteLanguages(size_t at, Run run, size_t dataEntries) {
        Grow(at + TableSize(run.end - run.begin));
        Put(section_, at + 14, run.end - run.begin, 2);
        for (size_t i = run.begin; i < run.end; ++i) {
            Put(section_, at + 16 + 8 * (i - run.begin), sorted_[i]->language, 4);
            Put(section_, at + 20 + 8 * (i - run.begin), dataEntries + 16 * i, 4);
        }
    }

    void WriteData(size_t dataEntries) {
        size_t cursor = AlignUp(dataEntries + 16 * sorted_.size(), 8);
        Grow(cursor);
        for (size_t i = 0; i < sorted_.size(); ++i) {
            const ResourceEntry& entry = *sorted_[i];
            Put(section_, dataEntries + 16 * i, rva_ + cursor, 4);
            Put(section_, dataEntries + 16 * i + 4, entry.data.size(), 4);
            Put(section_, dataEntries + 16 * i + 8, entry.codePage, 4);
            section_.resize(cursor);
            section_ += entry.data;
            cursor = AlignUp(section_.size(), 8);
        }
    }

    void Grow(size_t size) {
        if (section_.size() < size) section_.resize(size, '\0');
    }

    const Sorted& sorted_;
    const uint32_t rva_;
    std::vector<Run> types_, names_;
    std::vector<size_t> namesPerType_;
    size_t tablesEnd_ = 0;
    std::string section_;
};

}  // namespace

bool operator==(const ResourceKey& a, const ResourceKey& b) { return a.id == b.id && a.name == b.name; }

bool operator==(const ResourceEntry& a, const ResourceEntry& b) {
    return a.type == b.type && a.name == b.name && a.language == b.language && a.data == b.data &&
           a.codePage == b.codePage;
}

std::optional<std::vector<ResourceEntry>> ReadResources(const std::string& peBytes) {
    const std::optional<PeLayout> layout = ReadPeLayout(peBytes);
    if (!layout) return std::nullopt;
    std::vector<ResourceEntry> entries;
    if (!HasDirectory(*layout, kResourceDirectory)) return entries;
    if (!TreeReader(peBytes, *layout).Read(entries)) return std::nullopt;
    return entries;
}

namespace {

// Offsets within the headers, the same in PE32 and PE32+.
constexpr size_t kSectionCountField = 2;     // in the COFF header
constexpr size_t kInitializedDataField = 8;  // in the optional header
constexpr size_t kSizeOfImageField = 56;
constexpr size_t kChecksumField = 64;
constexpr size_t kSymbolTableField = 8;
constexpr size_t kSymbolSize = 18;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kResourceSectionFlags = 0x40000040;  // initialised data, readable
// A bound far above any exe's resources, which keeps every RVA in 32 bits.
constexpr size_t kMaxSectionSize = 1u << 30;

bool PowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Where the sections' data ends: the file's end, or the COFF symbols and
// their strings, which ld leaves after the sections of an unstripped exe.
std::optional<size_t> SymbolTable(const std::string& bytes, const PeLayout& layout, uint64_t sectionsEnd) {
    const uint32_t pointer = *PeU32(bytes, layout.coffHeader + kSymbolTableField);
    const uint32_t count = *PeU32(bytes, layout.coffHeader + kSymbolTableField + 4);
    if (bytes.size() == sectionsEnd) return bytes.size();
    if (pointer != sectionsEnd) return std::nullopt;
    const uint64_t strings = uint64_t{pointer} + uint64_t{count} * kSymbolSize;
    const auto stringsSize = strings <= bytes.size() ? PeU32(bytes, strings) : std::nullopt;
    if (!stringsSize || strings + *stringsSize != bytes.size()) return std::nullopt;
    return pointer;
}

// Why the file cannot be rewritten, or nothing; sets where its sections end.
std::string RewriteProblem(const std::string& bytes, const PeLayout& layout, size_t& sectionsEnd) {
    if (!PowerOfTwo(layout.fileAlignment) || !PowerOfTwo(layout.sectionAlignment) || layout.directories.size() <= 5)
        return "the PE headers are damaged";
    if (HasDirectory(layout, kCertificateDirectory))
        return "the exe is signed, and new resources would break its signature: sign it after they are written";
    const size_t headersEnd =
        std::max({layout.sectionTable + kSectionHeaderSize * layout.sections.size(),
                  layout.directoryTable + 8 * layout.directories.size(), layout.optionalHeader + kChecksumField + 4});
    uint64_t end = layout.sizeOfHeaders;
    for (const PeSection& section : layout.sections) {
        if (section.rawSize != 0 && section.rawOffset < headersEnd) return "a section overlaps the PE headers";
        const uint64_t sectionEnd = uint64_t{section.rawOffset} + section.rawSize;
        if (section.rawSize != 0 && sectionEnd > bytes.size()) return "a section runs past the end of the file";
        if (section.rawSize != 0) end = std::max(end, sectionEnd);
    }
    const auto symbols = SymbolTable(bytes, layout, end);
    if (!symbols) return "the file carries data after its last section, which would be lost";
    sectionsEnd = *symbols;
    return {};
}

// The resource section when it is the last one, or followed only by the base
// relocations, which may move since nothing but their directory points at them.
std::optional<size_t> RebuildableSection(const PeLayout& layout) {
    if (!HasDirectory(layout, kResourceDirectory)) return std::nullopt;
    const uint32_t rva = layout.directories[kResourceDirectory].first;
    const auto& sections = layout.sections;
    const auto found = std::find_if(sections.begin(), sections.end(),
                                    [&](const PeSection& section) { return section.virtualAddress == rva; });
    const size_t index = found - sections.begin();
    if (found == sections.end() || found->rawSize == 0) return std::nullopt;
    if (index + 2 < sections.size()) return std::nullopt;
    if (index + 2 == sections.size()) {
        const PeSection& last = sections.back();
        if (layout.directories[kBaseRelocationDirectory].first != last.virtualAddress || last.rawSize == 0 ||
            last.virtualAddress <= rva || last.rawOffset <= found->rawOffset)
            return std::nullopt;
    }
    for (size_t i = 0; i < index; ++i) {  // everything before it stays where it is
        const PeSection& section = sections[i];
        if (uint64_t{section.virtualAddress} + section.virtualSize > rva ||
            (section.rawSize != 0 && uint64_t{section.rawOffset} + section.rawSize > found->rawOffset))
            return std::nullopt;
    }
    for (size_t i = 0; i < layout.directories.size(); ++i) {  // nothing else may lie in what moves
        const bool moved = i == kResourceDirectory || (i == kBaseRelocationDirectory && index + 2 == sections.size());
        if (!moved && i != kCertificateDirectory && layout.directories[i].first >= rva) return std::nullopt;
    }
    return index;
}

void PutSectionHeader(std::string& bytes, size_t at, const PeSection& section) {
    Put(bytes, at + 8, section.virtualSize, 4);
    Put(bytes, at + 12, section.virtualAddress, 4);
    Put(bytes, at + 16, section.rawSize, 4);
    Put(bytes, at + 20, section.rawOffset, 4);
}

void PutDirectory(std::string& bytes, const PeLayout& layout, int index, uint32_t rva, uint32_t size) {
    Put(bytes, layout.directoryTable + 8 * index, rva, 4);
    Put(bytes, layout.directoryTable + 8 * index + 4, size, 4);
}

// Appends a section's data padded to the file alignment; returns where it starts.
uint32_t AppendRaw(std::string& bytes, const std::string& data, uint32_t fileAlignment) {
    const size_t start = AlignUp(bytes.size(), fileAlignment);
    bytes.resize(start, '\0');
    bytes += data;
    bytes.resize(AlignUp(bytes.size(), fileAlignment), '\0');
    return static_cast<uint32_t>(start);
}

// The resource section rebuilt where it was, the relocations (if any) moved after it.
std::string RebuildInPlace(const std::string& bytes, const PeLayout& layout, size_t index, const Sorted& sorted) {
    PeSection resources = layout.sections[index];
    const std::string data = SectionBuilder(sorted, resources.virtualAddress).Build();
    std::string out = bytes.substr(0, resources.rawOffset);
    AppendRaw(out, data, layout.fileAlignment);
    resources.virtualSize = static_cast<uint32_t>(data.size());
    resources.rawSize = static_cast<uint32_t>(out.size() - resources.rawOffset);
    PutSectionHeader(out, layout.sectionTable + kSectionHeaderSize * index, resources);
    PutDirectory(out, layout, kResourceDirectory, resources.virtualAddress, resources.virtualSize);
    if (index + 1 < layout.sections.size()) {
        PeSection relocations = layout.sections.back();
        const std::string raw = bytes.substr(relocations.rawOffset, relocations.rawSize);
        relocations.virtualAddress = static_cast<uint32_t>(
            AlignUp(uint64_t{resources.virtualAddress} + resources.virtualSize, layout.sectionAlignment));
        relocations.rawOffset = AppendRaw(out, raw, layout.fileAlignment);
        PutSectionHeader(out, layout.sectionTable + kSectionHeaderSize * (index + 1), relocations);
        PutDirectory(out, layout, kBaseRelocationDirectory, relocations.virtualAddress,
                     layout.directories[kBaseRelocationDirectory].second);
    }
    return out;
}

uint64_t ImageEnd(const std::vector<PeSection>& sections) {
    uint64_t end = 0;
    for (const PeSection& section : sections)
        end = std::max(end, uint64_t{section.virtualAddress} + std::max(section.virtualSize, section.rawSize));
    return end;
}

// A new resource section after the last one; the old resources stay, unused.
RewriteResult AppendSection(const std::string& bytes, const PeLayout& layout, const Sorted& sorted) {
    const size_t header = layout.sectionTable + kSectionHeaderSize * layout.sections.size();
    uint64_t firstData = layout.sizeOfHeaders;
    for (const PeSection& section : layout.sections)
        if (section.rawSize != 0) firstData = std::min<uint64_t>(firstData, section.rawOffset);
    if (header + kSectionHeaderSize > firstData || layout.sections.size() >= 96)
        return {{}, "the PE headers have no room for another section"};
    PeSection resources{};
    resources.virtualAddress = static_cast<uint32_t>(AlignUp(ImageEnd(layout.sections), layout.sectionAlignment));
    const std::string data = SectionBuilder(sorted, resources.virtualAddress).Build();
    if (uint64_t{resources.virtualAddress} + data.size() + layout.sectionAlignment > UINT32_MAX)
        return {{}, "the image would outgrow 4 GiB"};
    std::string out = bytes;
    resources.rawOffset = AppendRaw(out, data, layout.fileAlignment);
    resources.virtualSize = static_cast<uint32_t>(data.size());
    resources.rawSize = static_cast<uint32_t>(out.size() - resources.rawOffset);
    out.replace(header, 8, std::string(".rsrc\0\0\0", 8));
    PutSectionHeader(out, header, resources);
    out.replace(header + 24, 12, std::string(12, '\0'));  // no relocations or line numbers
    Put(out, header + 36, kResourceSectionFlags, 4);
    Put(out, layout.coffHeader + kSectionCountField, layout.sections.size() + 1, 2);
    PutDirectory(out, layout, kResourceDirectory, resources.virtualAddress, resources.virtualSize);
    return {out, {}};
}

// SizeOfImage and SizeOfInitializedData after the sections changed, then the checksum.
void FinishHeaders(std::string& out, const PeLayout& before) {
    const PeLayout after = *ReadPeLayout(out);
    const uint64_t image = AlignUp(ImageEnd(after.sections), after.sectionAlignment);
    Put(out, after.optionalHeader + kSizeOfImageField, image, 4);
    int64_t initialized = *PeU32(out, after.optionalHeader + kInitializedDataField);
    for (const PeSection& section : before.sections) initialized -= section.rawSize;
    for (const PeSection& section : after.sections) initialized += section.rawSize;
    Put(out, after.optionalHeader + kInitializedDataField, static_cast<uint64_t>(std::max<int64_t>(initialized, 0)), 4);
    Put(out, after.optionalHeader + kChecksumField, PeChecksum(out), 4);
}

}  // namespace

RewriteResult ReplaceResources(const std::string& peBytes, const std::vector<ResourceEntry>& entries) {
    const std::optional<PeLayout> layout = ReadPeLayout(peBytes);
    if (!layout) return {{}, "not a PE file, or its headers run past its end"};
    size_t sectionsEnd = 0;
    if (std::string problem = RewriteProblem(peBytes, *layout, sectionsEnd); !problem.empty()) return {{}, problem};
    Sorted sorted;
    size_t total = 0;
    for (const ResourceEntry& entry : entries) {
        if (entry.type.name.size() > 0xFFFF || entry.name.name.size() > 0xFFFF)
            return {{}, "a resource name is too long"};
        sorted.push_back(&entry);
        total += entry.data.size() + 2 * (entry.type.name.size() + entry.name.name.size()) + 64;
    }
    if (total > kMaxSectionSize) return {{}, "the resources are too large"};
    std::sort(sorted.begin(), sorted.end(), EntryLess);
    for (size_t i = 1; i < sorted.size(); ++i)
        if (!EntryLess(sorted[i - 1], sorted[i])) return {{}, "two resources share type, name and language"};
    const std::string image = peBytes.substr(0, sectionsEnd);
    RewriteResult result;
    if (const auto index = RebuildableSection(*layout))
        result.bytes = RebuildInPlace(image, *layout, *index, sorted);
    else
        result = AppendSection(image, *layout, sorted);
    if (!result.error.empty()) return result;
    if (sectionsEnd < peBytes.size()) {  // the symbols follow the sections wherever they end now
        Put(result.bytes, layout->coffHeader + kSymbolTableField, result.bytes.size(), 4);
        result.bytes += peBytes.substr(sectionsEnd);
    }
    FinishHeaders(result.bytes, *layout);
    return result;
}

uint32_t PeChecksum(const std::string& peBytes) {
    const std::optional<PeLayout> layout = ReadPeLayout(peBytes);
    if (!layout) return 0;
    const size_t field = layout->optionalHeader + kChecksumField;
    const auto byte = [&](size_t at) -> uint32_t {
        if (at >= peBytes.size() || (at >= field && at < field + 4)) return 0;
        return static_cast<uint8_t>(peBytes[at]);
    };
    uint32_t sum = 0;
    for (size_t at = 0; at < peBytes.size(); at += 2) {
        sum += byte(at) | (byte(at + 1) << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<uint32_t>(peBytes.size());
}
