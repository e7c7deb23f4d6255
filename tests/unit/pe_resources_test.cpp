#include "pe_resources.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "pe_builder.h"
#include "pe_image.h"
#include "pe_layout.h"
#include "version_resource.h"

namespace {

const std::string kRelocations = std::string("\x00\x10\x00\x00\x0C\x00\x00\x00\x08\x30\x00\x00", 12);

// Where the resources sit before the rewrite.
enum class Place { SharedWithCode, LastSection, BeforeRelocations };

std::string MakeFile(Place place, bool pe32Plus) {
    PeBuilder builder;
    builder.AddImports({"KERNEL32.dll"});
    if (place != Place::SharedWithCode) builder.StartSection(".rsrc");
    builder.AddVersionResource(BuildVersionResource({{1, 0, 0, 0}, {1, 0, 0, 0}, {{"ProductName", "Old"}}}));
    if (place == Place::BeforeRelocations) {
        builder.StartSection(".reloc");
        builder.SetDirectory(kBaseRelocationDirectory, builder.Rva(), static_cast<uint32_t>(kRelocations.size()));
        builder.AddBytes(kRelocations);
    }
    return builder.Build(pe32Plus ? kMachineX64 : kMachineX86, pe32Plus);
}

ResourceEntry Entry(ResourceKey type, ResourceKey name, uint16_t language, const std::string& data,
                    uint32_t codePage = 0) {
    return {std::move(type), std::move(name), language, data, codePage};
}

// In no particular order; Sorted() is the order Windows needs them in.
std::vector<ResourceEntry> Unsorted() {
    const std::string version = BuildVersionResource({{1, 2, 3, 4}, {1, 2, 0, 0}, {{"ProductName", "Zoë"}}});
    return {Entry({kResourceManifest, {}}, {1, {}}, 1033, "<assembly/>"),
            Entry({kResourceIcon, {}}, {2, {}}, 0x409, "icon 2"),
            Entry({0, u"PNG"}, {0, u"SPLASH"}, 0x409, "splash", 1252),
            Entry({kResourceGroupIcon, {}}, {32512, {}}, 0x409, "group"),
            Entry({kResourceIcon, {}}, {1, {}}, 0x409, "icon 1, of an odd length"),
            Entry({0, u"PNG"}, {0, u"ABOUT"}, 0x409, "about (en)"),
            Entry({0, u"PNG"}, {0, u"ABOUT"}, 0x407, "about (de)"),
            Entry({0, u"AVI"}, {7, {}}, 0x409, "avi"),
            Entry({kResourceVersion, {}}, {1, {}}, 0x409, version)};
}

std::vector<ResourceEntry> Sorted() {
    const std::vector<ResourceEntry> entries = Unsorted();
    std::vector<ResourceEntry> sorted;
    for (size_t i : {7, 6, 5, 2, 4, 1, 3, 8, 0}) sorted.push_back(entries[i]);
    return sorted;
}

const PeSection* SectionAt(const PeLayout& layout, uint32_t rva) {
    for (const PeSection& section : layout.sections)
        if (section.virtualAddress == rva) return &section;
    return nullptr;
}

TEST(PeResources, RewritesAndReadsBackTheResourcesWhereverTheyWere) {
    struct Row {
        Place place;
        size_t addedSections;
    };
    for (const Row& row :
         {Row{Place::SharedWithCode, 1}, Row{Place::LastSection, 0}, Row{Place::BeforeRelocations, 0}}) {
        for (bool pe32Plus : {false, true}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(row.place) << " " << pe32Plus);
            const std::string file = MakeFile(row.place, pe32Plus);
            const RewriteResult result = ReplaceResources(file, Unsorted());
            ASSERT_EQ(result.error, "");
            const std::string& out = result.bytes;
            EXPECT_EQ(ReadResources(out), Sorted());
            EXPECT_EQ(ReadVersionString(out, "040904B0", "ProductName"), "Zoë");
            EXPECT_EQ(ReadPeImage(out)->importedDlls, std::vector<std::string>{"KERNEL32.dll"});
            EXPECT_EQ(out.substr(0x400, 0x200), file.substr(0x400, 0x200));  // the code section
            const PeLayout before = *ReadPeLayout(file), after = *ReadPeLayout(out);
            EXPECT_EQ(after.sections.size(), before.sections.size() + row.addedSections);
            uint32_t imageEnd = 0;
            for (const PeSection& section : after.sections)
                imageEnd = std::max(imageEnd, (section.virtualAddress + section.virtualSize + 0xFFF) & ~0xFFFu);
            EXPECT_EQ(Get(out, PeBuilder::kOptionalHeader + 56, 4), imageEnd);
            EXPECT_EQ(Get(out, PeBuilder::kOptionalHeader + 64, 4), PeChecksum(out));
            if (row.place == Place::BeforeRelocations) {
                const PeSection* relocations = SectionAt(after, after.directories[kBaseRelocationDirectory].first);
                const PeSection* resources = SectionAt(after, after.directories[kResourceDirectory].first);
                ASSERT_TRUE(relocations && resources);
                EXPECT_GE(relocations->virtualAddress, resources->virtualAddress + resources->virtualSize);
                EXPECT_EQ(out.substr(relocations->rawOffset, kRelocations.size()), kRelocations);
            }
            const std::vector<ResourceEntry> fewer = {Sorted().back()};
            EXPECT_EQ(ReadResources(ReplaceResources(out, fewer).bytes), fewer);
        }
    }
}

TEST(PeResources, KeepsTheSymbolsThatFollowTheSections) {
    std::string file = MakeFile(Place::BeforeRelocations, false);
    const std::string symbols = std::string(18, 's') + std::string("\x07\0\0\0ab\0", 7);
    Put(file, 0x4C, static_cast<uint32_t>(file.size()), 4);
    Put(file, 0x50, 1, 4);
    file += symbols;
    const RewriteResult result = ReplaceResources(file, Unsorted());
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(result.bytes.substr(Get(result.bytes, 0x4C, 4)), symbols);
}

TEST(PeResources, RefusesWhatItCannotRewrite) {
    const std::string good = MakeFile(Place::LastSection, false);
    std::string signedFile = good;
    Put(signedFile, PeBuilder::kOptionalHeader + 96 + 8 * kCertificateDirectory, 0x2000, 4);
    std::vector<ResourceEntry> twice = Unsorted();
    twice.push_back(twice.front());
    twice.back().data = "another manifest";
    struct Row {
        std::string file;
        std::vector<ResourceEntry> entries;
        std::string error;
    };
    const Row rows[] = {
        {signedFile, Unsorted(), "the exe is signed"},
        {good + "appended payload", Unsorted(), "data after its last section"},
        {good.substr(0, good.size() - 1), Unsorted(), "runs past the end"},
        {good, twice, "share type, name and language"},
        {"MZ not a PE file", Unsorted(), "not a PE file"},
    };
    for (const Row& row : rows) {
        const RewriteResult result = ReplaceResources(row.file, row.entries);
        EXPECT_NE(result.error.find(row.error), std::string::npos) << result.error;
        EXPECT_EQ(result.bytes, "");
    }
}

TEST(PeResources, RefusesDamagedTreesWithoutCrashing) {
    const std::string good = MakeFile(Place::LastSection, false);
    const size_t root = Get(good, PeBuilder::kOptionalHeader + 224 + 40 + 20, 4);  // the .rsrc section's data
    ASSERT_TRUE(ReadResources(good));
    struct Row {
        size_t at;  // from the root; the tables are at +0, +24, +48, the data entry at +72
        uint32_t value;
        size_t width;
    };
    const Row rows[] = {
        {20, 0x80000000u, 4},  // the type table leads back to the root
        {44, 0x80000018u, 4},  // the name table to itself
        {20, 0x80FFFFF0u, 4},  // a table far outside the file
        {16, 0x80FFFFF0u, 4},  // a type name far outside the file
        {68, 0x80000048u, 4},  // a language that claims to be a table
        {44, 72, 4},           // a name that claims to be data
        {72, 0x7FFFFFF0u, 4},  // data far outside the file
        {76, 0xFFFFFFF0u, 4},  // data longer than the file
        {14, 0xFFFF, 2},       // more entries than the section holds
        {64, 0x10409, 4},      // a language past 16 bits
    };
    for (const Row& row : rows) {
        std::string bad = good;
        Put(bad, root + row.at, row.value, row.width);
        EXPECT_FALSE(ReadResources(bad)) << row.at;
    }
    std::string farData = good;  // data in a section whose bytes would lie past the end of the file
    Put(farData, PeBuilder::kOptionalHeader + 224 + 20, 0x7FFF0000, 4);
    Put(farData, root + 72, 0x1000, 4);
    EXPECT_FALSE(ReadResources(farData));
    for (size_t size = 0; size < good.size(); size += 7) {
        const std::string cut = good.substr(0, size);
        ReadResources(cut);
        EXPECT_NE(ReplaceResources(cut, Unsorted()).error, "") << size;
    }
}

TEST(PeResources, ChecksumsAsTheLinkersDo) {
    // Known answers from an independent implementation, which agrees with the checksum ld writes into Quillframe.exe.
    const std::string file = MakeFile(Place::LastSection, false);
    std::string withField = file;
    Put(withField, PeBuilder::kOptionalHeader + 64, 0xDEADBEEF, 4);
    EXPECT_EQ(PeChecksum(file), PeChecksum(withField));  // the field itself does not count
    EXPECT_EQ(PeChecksum(file), 0x00007B50u);
    EXPECT_EQ(PeChecksum(file + "\x01"), 0x00007B52u);  // an odd length counts its last byte alone
    EXPECT_EQ(PeChecksum("MZ but nothing more"), 0u);
}

}  // namespace
