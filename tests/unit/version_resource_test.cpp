#include "version_resource.h"

#include <gtest/gtest.h>

#include "pe_builder.h"
#include "pe_image.h"

namespace {

TEST(VersionResource, LaysTheBlockOutAsWindowsReadsIt) {
    std::string fixed;
    for (uint32_t field :
         {0xFEEF04BDu, 0x10000u, 0x10002u, 0x30004u, 0x50006u, 0x70008u, 0x3Fu, 0u, 0x40004u, 1u, 0u, 0u, 0u})
        Put(fixed, fixed.size(), field, 4);
    const std::string zoe("Z\0o\0\xEB\0\0\0", 8);  // "Zoë" and its NUL: 4 units
    const std::string expected =
        Block("VS_VERSION_INFO", fixed, false,
              {Block("StringFileInfo", "", true,
                     {Block("040904B0", "", true,
                            {Block("ProductName", zoe, true, {}), Block("Comments", Utf16(""), true, {})})}),
               Block("VarFileInfo", "", true, {Block("Translation", std::string("\x09\x04\xB0\x04", 4), false, {})})});
    const std::string built =
        BuildVersionResource({{1, 2, 3, 4}, {5, 6, 7, 8}, {{"ProductName", "Zoë"}, {"Comments", ""}}});
    EXPECT_EQ(built, expected);
}

TEST(VersionResource, ValuesReadBackAsWritten) {
    const std::string values[] = {
        "Zoë's \"Quoted\" <App> & Co", "", "日本語のアプリ", "an emoji 😀 outside the BMP", "C:\\back\\slashes",
    };
    for (const std::string& value : values) {
        PeBuilder builder;
        builder.AddVersionResource(
            BuildVersionResource({{1, 0, 0, 0},
                                  {1, 0, 0, 0},
                                  {{"CompanyName", "x"}, {"ProductName", value}, {"FileDescription", value + "!"}}}));
        const std::string file = builder.Build(kMachineX86);
        EXPECT_EQ(ReadVersionString(file, "040904B0", "ProductName"), value);
        EXPECT_EQ(ReadVersionString(file, "040904B0", "FileDescription"), value + "!");
    }
}

TEST(VersionResource, NothingWhenTheStringsOutgrowTheFormat) {
    EXPECT_EQ(BuildVersionResource({{}, {}, {{"Comments", std::string(40000, 'x')}}}), "");
}

}  // namespace
