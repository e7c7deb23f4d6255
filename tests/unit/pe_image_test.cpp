#include "pe_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "pe_builder.h"

namespace {

std::string VersionBlob(const std::string& table, const std::string& key, const std::string& value) {
    const std::string fixedInfo(52, '\x01');
    const std::string entry = Block(key, Utf16(value), true, {});
    const std::string other = Block("FileVersion", Utf16("9.9"), true, {});
    return Block("VS_VERSION_INFO", fixedInfo, false,
                 {Block("StringFileInfo", "", true, {Block(table, "", true, {other, entry})}),
                  Block("VarFileInfo", "", true, {})});
}

TEST(PeImage, ReadsMachineExportsAndImportsOfBothHeaderForms) {
    for (bool pe32Plus : {false, true}) {
        PeBuilder builder;
        builder.AddExports({"Init", "_Z7Releasev", "OnExtensionMessage@4"});
        builder.AddImports({"KERNEL32.dll", "libstdc++-6.dll"});
        const auto image = ReadPeImage(builder.Build(pe32Plus ? kMachineX64 : kMachineX86, pe32Plus));
        ASSERT_TRUE(image) << pe32Plus;
        EXPECT_EQ(image->machine, pe32Plus ? kMachineX64 : kMachineX86);
        EXPECT_EQ(image->exportNames, (std::vector<std::string>{"Init", "_Z7Releasev", "OnExtensionMessage@4"}));
        EXPECT_EQ(image->importedDlls, (std::vector<std::string>{"KERNEL32.dll", "libstdc++-6.dll"}));
    }
}

TEST(PeImage, AFileWithoutTablesHasNoNames) {
    const auto image = ReadPeImage(PeBuilder().Build(kMachineArm64));
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->exportNames.empty());
    EXPECT_TRUE(image->importedDlls.empty());
}

TEST(PeImage, RefusesWhatIsNoPeFileOrPointsOutsideIt) {
    PeBuilder builder;
    builder.AddExports({"Init"});
    const std::string good = builder.Build(kMachineX86);
    std::string badRva = good;
    Put(badRva, 0x58 + 96, 0x7FFF0000, 4);  // the export directory far beyond the section
    std::string farHeader = good.substr(0, 0x40);
    Put(farHeader, 0x3C, 0xFFFF, 4);  // the PE header beyond the end
    std::string badPe = good;
    badPe[0x41] = 'X';
    for (const std::string& bytes : {std::string(), std::string("MZ"), good.substr(0, 0x100), farHeader, badRva, badPe,
                                     std::string("not a dll at all, just text")})
        EXPECT_FALSE(ReadPeImage(bytes)) << bytes.size();
}

TEST(PeImage, ReadsAStringOfTheVersionResource) {
    struct Row {
        std::string table, key, wantedTable, wantedKey;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"040904B0", "ProductVersion", "040904B0", "ProductVersion", "120.0.2210.91"},
        {"040904b0", "PRODUCTVERSION", "040904B0", "ProductVersion", "120.0.2210.91"},  // names ignore case
        {"040704B0", "ProductVersion", "040904B0", "ProductVersion", std::nullopt},     // another language
        {"040904B0", "CompanyName", "040904B0", "ProductVersion", std::nullopt},
    };
    for (const Row& row : rows) {
        PeBuilder builder;
        builder.AddVersionResource(VersionBlob(row.table, row.key, "120.0.2210.91"));
        EXPECT_EQ(ReadVersionString(builder.Build(kMachineX86), row.wantedTable, row.wantedKey), row.expected)
            << row.table << " " << row.key;
    }
    EXPECT_EQ(ReadVersionString(PeBuilder().Build(kMachineX86), "040904B0", "ProductVersion"), std::nullopt);
}

TEST(PeImage, NamesMachines) {
    EXPECT_EQ(MachineName(kMachineX86), "x86");
    EXPECT_EQ(MachineName(kMachineX64), "x64");
    EXPECT_EQ(MachineName(kMachineArm64), "ARM64");
    EXPECT_EQ(MachineName(0x1234), "machine 0x1234");
}

}  // namespace
