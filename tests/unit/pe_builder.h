#pragma once
// Byte-level helpers for the PE tests: files and version blocks laid out by
// hand, apart from the code under test.
#include <cstdint>
#include <string>
#include <vector>

inline void Put(std::string& bytes, size_t at, uint32_t value, size_t width) {
    if (bytes.size() < at + width) bytes.resize(at + width, '\0');
    for (size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline uint32_t Get(const std::string& bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;) value = (value << 8) | static_cast<uint8_t>(bytes.at(at + i));
    return value;
}

inline void Align(std::string& bytes, size_t to) { bytes.resize((bytes.size() + to - 1) / to * to, '\0'); }

inline std::string Utf16(const std::string& ascii) {
    std::string units;
    for (char c : ascii) units += std::string{c, '\0'};
    return units + std::string(2, '\0');
}

// A version resource block: header, key, value and children, each on a 4-byte boundary.
inline std::string Block(const std::string& key, const std::string& value, bool text,
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

// A PE file whose sections hold whatever tables a test adds: the first at
// RVA 0x1000, each further one on the next page; headers at the offsets the
// linkers use (optional header at 0x58, sections' data from 0x400).
class PeBuilder {
public:
    static constexpr size_t kOptionalHeader = 0x58;
    static constexpr uint32_t kFileAlignment = 0x200;

    uint32_t Rva() const { return sections_.back().rva + static_cast<uint32_t>(sections_.back().data.size()); }

    void StartSection(const std::string& name) {
        const uint32_t rva = (Rva() + 0xFFF) / 0x1000 * 0x1000;
        sections_.push_back({name, rva, {}});
    }

    void SetDirectory(int index, uint32_t rva, uint32_t size) {
        directories_[index] = rva;
        sizes_[index] = size;
    }

    void AddBytes(const std::string& bytes) { Current() += bytes; }

    uint32_t AddString(const std::string& text) {
        const uint32_t rva = Rva();
        Current() += text + '\0';
        return rva;
    }

    void AddExports(const std::vector<std::string>& names) {
        std::vector<uint32_t> nameRvas;
        for (const std::string& name : names) nameRvas.push_back(AddString(name));
        Align(Current(), 4);
        const uint32_t table = Rva();
        for (uint32_t rva : nameRvas) Put(Current(), Current().size(), rva, 4);
        directories_[0] = Rva();
        const size_t at = Current().size();
        Put(Current(), at + 24, static_cast<uint32_t>(names.size()), 4);
        Put(Current(), at + 32, table, 4);
        Put(Current(), at + 36, 0, 4);
    }

    void AddImports(const std::vector<std::string>& dlls) {
        std::vector<uint32_t> nameRvas;
        for (const std::string& dll : dlls) nameRvas.push_back(AddString(dll));
        Align(Current(), 4);
        directories_[1] = Rva();
        for (uint32_t rva : nameRvas) {
            const size_t at = Current().size();
            Put(Current(), at + 12, rva, 4);
            Put(Current(), at + 16, 0, 4);
        }
        Put(Current(), Current().size() + 16, 0, 4);  // the all-zero descriptor that ends the table
    }

    // Type 16, name 1, language 0x409, then the blob: three tables of one
    // entry each (at +0, +24, +48), the data entry (+72), the blob (+88).
    void AddVersionResource(const std::string& blob) {
        std::string& section = Current();
        Align(section, 4);
        const size_t root = section.size();
        const uint32_t base = Rva();
        SetDirectory(2, base, static_cast<uint32_t>(88 + blob.size()));
        for (uint32_t level = 0; level < 3; ++level) {
            const size_t at = root + 24 * level;
            Put(section, at + 14, 1, 2);
            Put(section, at + 16, level == 0 ? 16 : level == 1 ? 1 : 0x409, 4);
            Put(section, at + 20, level < 2 ? 0x80000000u | (24 * (level + 1)) : 24 * 3, 4);
        }
        Put(section, root + 72, base + 88, 4);
        Put(section, root + 76, static_cast<uint32_t>(blob.size()), 4);
        Put(section, root + 80, 1252, 4);
        Put(section, root + 84, 0, 4);
        section += blob;
    }

    std::string Build(uint16_t machine, bool pe32Plus = false) const {
        const size_t optionalSize = (pe32Plus ? 112 : 96) + 16 * 8;
        std::string file = "MZ";
        Put(file, 0x3C, 0x40, 4);
        file += std::string("PE\0\0", 4);
        Put(file, 0x44, machine, 2);
        Put(file, 0x46, static_cast<uint32_t>(sections_.size()), 2);
        Put(file, 0x54, static_cast<uint32_t>(optionalSize), 2);
        Put(file, kOptionalHeader, pe32Plus ? 0x20B : 0x10B, 2);
        Put(file, kOptionalHeader + 32, 0x1000, 4);
        Put(file, kOptionalHeader + 36, kFileAlignment, 4);
        Put(file, kOptionalHeader + 56, (Rva() + 0xFFF) / 0x1000 * 0x1000, 4);
        Put(file, kOptionalHeader + 60, kHeadersSize, 4);
        const size_t directories = kOptionalHeader + optionalSize - 16 * 8;
        Put(file, directories - 4, 16, 4);
        for (size_t i = 0; i < 16; ++i) {
            Put(file, directories + 8 * i, directories_[i], 4);
            Put(file, directories + 8 * i + 4, sizes_[i], 4);
        }
        file.resize(kHeadersSize, '\0');
        for (size_t i = 0; i < sections_.size(); ++i) {
            const size_t header = kOptionalHeader + optionalSize + 40 * i;
            file.replace(header, sections_[i].name.size(), sections_[i].name);
            Put(file, header + 8, static_cast<uint32_t>(sections_[i].data.size()), 4);
            Put(file, header + 12, sections_[i].rva, 4);
            std::string raw = sections_[i].data;
            Align(raw, kFileAlignment);
            Put(file, header + 16, static_cast<uint32_t>(raw.size()), 4);
            Put(file, header + 20, static_cast<uint32_t>(file.size()), 4);
            file += raw;
        }
        return file;
    }

private:
    static constexpr uint32_t kHeadersSize = 0x400;

    struct Section {
        std::string name;
        uint32_t rva;
        std::string data;
    };

    std::string& Current() { return sections_.back().data; }

    std::vector<Section> sections_{{".text", 0x1000, std::string(16, '\0')}};  // no table at a section's first byte
    uint32_t directories_[16] = {};
    uint32_t sizes_[16] = {};
};
