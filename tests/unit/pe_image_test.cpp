#include "pe_image.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

void Put(std::string& bytes, size_t at, uint32_t value, size_t width) {
    if (bytes.size() < at + width) bytes.resize(at + width, '\0');
    for (size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Align(std::string& bytes, size_t to) { bytes.resize((bytes.size() + to - 1) / to * to, '\0'); }

std::string Utf16(const std::string& ascii) {
    std::string units;
    for (char c : ascii) units += std::string{c, '\0'};
    return units + std::string(2, '\0');
}

// A version resource block: header, key, value and children, each on a 4-byte boundary.
std::string Block(const std::string& key, const std::string& value, bool text,
                  const std::vector<std::string>& children) {
    std::string block(6, '\0');
    block += Utf16(key);
    Align(block, 4);
    block += value;
    for (const std::string& child : children) {
        Align(block, 4);
        block += child;
    }
    Put(block, 0, static_cast<uint32_t>(block.size()), 2);
    Put(block, 2, static_cast<uint32_t>(text ? value.size() / 2 : value.size()), 2);
    Put(block, 4, text ? 1 : 0, 2);
    return block;
}

// A PE file with one section at RVA 0x1000 that holds whatever tables a test adds.
class PeBuilder {
public:
    uint32_t Rva() const { return kSectionRva + static_cast<uint32_t>(section_.size()); }

    uint32_t AddString(const std::string& text) {
        const uint32_t rva = Rva();
        section_ += text + '\0';
        return rva;
    }

    void AddExports(const std::vector<std::string>& names) {
        std::vector<uint32_t> nameRvas;
        for (const std::string& name : names) nameRvas.push_back(AddString(name));
        Align(section_, 4);
        const uint32_t table = Rva();
        for (uint32_t rva : nameRvas) Put(section_, section_.size(), rva, 4);
        directories_[0] = Rva();
        const size_t at = section_.size();
        Put(section_, at + 24, static_cast<uint32_t>(names.size()), 4);
        Put(section_, at + 32, table, 4);
        Put(section_, at + 36, 0, 4);
    }

    void AddImports(const std::vector<std::string>& dlls) {
        std::vector<uint32_t> nameRvas;
        for (const std::string& dll : dlls) nameRvas.push_back(AddString(dll));
        Align(section_, 4);
        directories_[1] = Rva();
        for (uint32_t rva : nameRvas) {
            const size_t at = section_.size();
            Put(section_, at + 12, rva, 4);
            Put(section_, at + 16, 0, 4);
        }
        Put(section_, section_.size() + 16, 0, 4);  // the all-zero descriptor that ends the table
    }

    // Type 16, name 1, language 0x409, then the blob.
    void AddVersionResource(const std::string& blob) {
        Align(section_, 4);
        const size_t root = section_.size();
        directories_[2] = Rva();
        for (uint32_t level = 0; level < 3; ++level) {
            const size_t at = root + 24 * level;
            Put(section_, at + 14, 1, 2);
            Put(section_, at + 16, level == 0 ? 16 : level == 1 ? 1 : 0x409, 4);
            Put(section_, at + 20, level < 2 ? 0x80000000u | (24 * (level + 1)) : 24 * 3, 4);
        }
        // The data entry, and the blob right after it.
        Put(section_, root + 72, kSectionRva + static_cast<uint32_t>(root + 88), 4);
        Put(section_, root + 76, static_cast<uint32_t>(blob.size()), 4);
        Put(section_, root + 84, 0, 4);
        section_ += blob;
    }

    std::string Build(uint16_t machine, bool pe32Plus = false) const {
        const size_t optionalSize = (pe32Plus ? 112 : 96) + 16 * 8;
        std::string file = "MZ";
        Put(file, 0x3C, 0x40, 4);
        file += std::string("PE\0\0", 4);
        Put(file, 0x44, machine, 2);
        Put(file, 0x46, 1, 2);
        Put(file, 0x54, static_cast<uint32_t>(optionalSize), 2);
        const size_t optional = 0x58;
        Put(file, optional, pe32Plus ? 0x20B : 0x10B, 2);
        Put(file, optional + optionalSize - 16 * 8 - 4, 16, 4);
        for (size_t i = 0; i < 3; ++i) Put(file, optional + optionalSize - 16 * 8 + 8 * i, directories_[i], 4);
        const size_t header = optional + optionalSize;
        Put(file, header + 8, static_cast<uint32_t>(section_.size()), 4);
        Put(file, header + 12, kSectionRva, 4);
        Put(file, header + 16, static_cast<uint32_t>(section_.size()), 4);
        Put(file, header + 20, kRawOffset, 4);
        file.resize(kRawOffset, '\0');
        return file + section_;
    }

private:
    static constexpr uint32_t kSectionRva = 0x1000;
    static constexpr uint32_t kRawOffset = 0x400;
    std::string section_ = std::string(16, '\0');  // no table starts at the section's first byte
    uint32_t directories_[3] = {0, 0, 0};
};

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
