#include <gtest/gtest.h>

#include <map>

#include "core/branded_exe.h"
#include "core/command_line.h"
#include "core/pack_options.h"
#include "core/release_content.h"
#include "core/release_info.h"
#include "core/zip_format.h"

namespace {

TEST(FileNameProblem, AcceptsWhatWindowsNamesHoldAndNamesWhatItDoesNot) {
    struct Row {
        std::string name;
        bool ok;
    };
    const Row rows[] = {
        {"MyApp", true},          {"My App 2", true},      {"caf\xC3\xA9 \xE2\x98\x95", true},
        {"a.b-c_d (e)", true},    {"CONSOLE", true},       {"COM10", true},
        {"", false},              {"a/b", false},          {"a\\b", false},
        {"a:b", false},           {"a*", false},           {"a?", false},
        {"\"a\"", false},         {"<a>", false},          {"a|b", false},
        {"a\tb", false},          {"a\nb", false},         {"app.", false},
        {"app ", false},          {"CON", false},          {"con", false},
        {"Nul.txt", false},       {"LPT1", false},         {"com9", false},
        {"COM\xC2\xB9", false},   {"AUX .x", false},       {"\xFF\xFE", false},
        {std::string(252, 'a'), false},
    };
    for (const Row& row : rows) EXPECT_EQ(FileNameProblem(row.name).empty(), row.ok) << row.name;
    EXPECT_EQ(FileNameProblem(std::string(251, 'a')), "");
}

TEST(SafeFileName, ReplacesOnlyWhatAFileNameCannotHold) {
    const std::pair<std::string, std::string> rows[] = {
        {"My \"Best\" App: v2?", "My _Best_ App_ v2_"},
        {"a/b\\c|d", "a_b_c_d"},
        {"Caf\xC3\xA9 $HOME ${X}", "Caf\xC3\xA9 $HOME ${X}"},
        {"Dots...", "Dots..._"},
        {"CON", "CON_"},
        {"", "_"},
    };
    for (const auto& [title, expected] : rows) EXPECT_EQ(SafeFileName(title), expected) << title;
    for (const auto& [title, expected] : rows) EXPECT_EQ(FileNameProblem(SafeFileName(title)), "") << title;
}

TEST(ParseReleaseVersion, TakesNpmVersionsAndTheirFixedNumbers) {
    struct Row {
        std::string text;
        bool ok;
        std::array<uint16_t, 4> numbers;
    };
    const Row rows[] = {
        {"1.2.3", true, {1, 2, 3, 0}},
        {"0.0.0", true, {0, 0, 0, 0}},
        {"10.20.30-beta.1", true, {10, 20, 30, 0}},
        {"1.0.0-alpha-1.x+build.5", true, {1, 0, 0, 0}},
        {"1.0.0+20261207", true, {1, 0, 0, 0}},
        {"65535.65535.65535", true, {65535, 65535, 65535, 0}},
        {"65536.0.0", false, {}},
        {"1.2", false, {}},
        {"1.2.3.4", false, {}},
        {"v1.2.3", false, {}},
        {"01.2.3", false, {}},
        {"1.2.3-01", false, {}},
        {"1.2.3-", false, {}},
        {"1.2.3+", false, {}},
        {"1.2.3-a..b", false, {}},
        {"1.2.3-a_b", false, {}},
        {"1.2.3 ", false, {}},
        {"", false, {}},
        {"99999999999999999999.0.0", false, {}},
    };
    for (const Row& row : rows) {
        const auto version = ParseReleaseVersion(row.text);
        ASSERT_EQ(version.has_value(), row.ok) << row.text;
        if (version) EXPECT_EQ(version->numbers, row.numbers) << row.text;
        if (version) EXPECT_EQ(version->text, row.text);
    }
}

TEST(ReadReleaseInfo, ReadsTheReleaseKeysWithTheirDefaults) {
    struct Row {
        std::string manifest;
        std::string error;  // a part of it
        std::string title, version, author, description;
    };
    const Row rows[] = {
        {R"({"name":"A"})", "", "A", "1.0.0", "", "A"},
        {R"j({"name":"A","version":"2.1.0","window":{"title":"T \"q\" $x"},"author":"Ann Lee <ann@x.org> (https://x.org)"})j",
         "", "T \"q\" $x", "2.1.0", "Ann Lee", "T \"q\" $x"},
        {R"({"name":"A","author":{"name":" Bo ","email":"b@x"},"description":"D"})", "", "A", "1.0.0", "Bo", "D"},
        {R"({"name":"A","author":42,"window":{"title":7}})", "", "A", "1.0.0", "", "A"},
        {R"({"name":"A","version":"1.0"})", "\"version\"", "", "", "", ""},
        {R"({"name":"A","version":3})", "\"version\"", "", "", "", ""},
        {R"({"name":"CON"})", "\"name\"", "", "", "", ""},
        {R"({"name":"a/b"})", "\"name\"", "", "", "", ""},
        {R"({"name":""})", "package.json", "", "", "", ""},
        {R"(not json)", "package.json", "", "", "", ""},
    };
    for (const Row& row : rows) {
        const ReleaseInfoResult result = ReadReleaseInfo(row.manifest);
        if (!row.error.empty()) {
            EXPECT_NE(result.error.find(row.error), std::string::npos) << row.manifest << ": " << result.error;
            continue;
        }
        ASSERT_EQ(result.error, "") << row.manifest;
        EXPECT_EQ(result.info.title, row.title);
        EXPECT_EQ(result.info.version.text, row.version);
        EXPECT_EQ(result.info.author, row.author);
        EXPECT_EQ(result.info.description, row.description);
    }
}

TEST(ReadReleaseInfo, WarnsAboutADefaultVersionAndDevtoolsLeftOn) {
    EXPECT_EQ(ReadReleaseInfo(R"({"name":"A"})").info.warnings.size(), 2u);
    EXPECT_TRUE(
        ReadReleaseInfo(R"({"name":"A","version":"1.0.0","settings":{"enable-devtools":false}})").info.warnings.empty());
}

TEST(VersionStrings, CarryTheReleaseAndTheExeName) {
    ReleaseInfo info = ReadReleaseInfo(R"({"name":"A","version":"1.2.3-rc.1","author":"Zo\u00eb","window":{"title":"T"}})").info;
    const auto strings = VersionStrings(info, "A.exe");
    const std::map<std::string, std::string> byKey(strings.begin(), strings.end());
    EXPECT_EQ(byKey.at("ProductName"), "T");
    EXPECT_EQ(byKey.at("FileVersion"), "1.2.3-rc.1");
    EXPECT_EQ(byKey.at("ProductVersion"), "1.2.3-rc.1");
    EXPECT_EQ(byKey.at("CompanyName"), "Zo\xC3\xAB");
    EXPECT_EQ(byKey.at("LegalCopyright"), "Copyright \xC2\xA9 Zo\xC3\xAB");
    EXPECT_EQ(byKey.at("OriginalFilename"), "A.exe");
    EXPECT_EQ(byKey.at("InternalName"), "A");
    EXPECT_EQ(byKey.at("FileDescription"), "T");
}

TEST(WindowsCommandLine, QuotesSoThatTheCRuntimeSplitsItBack) {
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"a", "b"}, "a b"},
        {{"a b", ""}, "\"a b\" \"\""},
        {{"say \"hi\""}, "\"say \\\"hi\\\"\""},
        {{"C:\\dir with space\\"}, "\"C:\\dir with space\\\\\""},
        {{"C:\\x\\y"}, "C:\\x\\y"},
        {{"a\\\\\"b"}, "\"a\\\\\\\\\\\"b\""},
    };
    for (const auto& [args, line] : rows) EXPECT_EQ(WindowsCommandLine(args), line);
    EXPECT_EQ(PosixCommandLine({"it's", "$HOME"}), "'it'\\''s' '$HOME'");
}

TEST(ParsePackOptions, ReadsTheCommandLine) {
    const auto full = ParsePackOptions({"app", "--out", "o", "--sign", "c.pfx", "--sign-password-file", "p",
                                        "--desktop-shortcut", "--allow-problems", "--exe", "h.exe"});
    ASSERT_EQ(full.error, "");
    EXPECT_EQ(full.options.appFolder, "app");
    EXPECT_EQ(full.options.outFolder, "o");
    EXPECT_EQ(full.options.signingCertificate, "c.pfx");
    EXPECT_EQ(full.options.passwordFile, "p");
    EXPECT_EQ(full.options.hostExe, "h.exe");
    EXPECT_TRUE(full.options.desktopShortcut && full.options.allowProblems);
    EXPECT_EQ(ParsePackOptions({"app"}).options.outFolder, "dist");
    const std::vector<std::string> wrong[] = {
        {}, {"--out", "o"}, {"app", "--out"}, {"app", "--sign", "c.pfx"}, {"app", "--sign-password-file", "p"},
        {"app", "other"}, {"app", "--frobnicate"}, {"--sign-in-place", "f"},
    };
    for (const auto& args : wrong) EXPECT_NE(ParsePackOptions(args).error, "") << (args.empty() ? "" : args.back());
}

TEST(ShipsInRelease, TakesTheAppsPartsAndNothingElse) {
    const std::tuple<std::string, bool, bool> rows[] = {
        {"package.json", false, true}, {"PACKAGE.JSON", false, true}, {"www", true, true},
        {"WWW", true, true},           {"www", false, false},         {"zu2daverudoze.dll", false, true},
        {"webview2", true, true},      {"WebView2Loader.dll", false, true}, {"Quillframe.exe", false, false},
        {"node_modules", true, false}, {"src", true, false},          {".git", true, false},
    };
    for (const auto& [name, folder, ships] : rows) EXPECT_EQ(ShipsInRelease(name, folder), ships) << name;
}

TEST(ReleaseContentWarnings, NameSourceMapsAndDeclarations) {
    const auto warnings = ReleaseContentWarnings({"www/a.js", "www/a.js.map", "www/b.css.MAP", "www/t/index.d.ts"});
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("2 source maps"), std::string::npos);
    EXPECT_NE(warnings[0].find("www/b.css.MAP"), std::string::npos);
    EXPECT_NE(warnings[1].find("1 type declaration file "), std::string::npos);
    EXPECT_TRUE(ReleaseContentWarnings({"www/index.html", "www/map.js"}).empty());
}

TEST(ZipFormat, ChecksumsAndLimits) {
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(Crc32(0, "1234", 4), "56789", 5), 0xCBF43926u);
    ZipMember member{"a/\xC3\xA9.txt", kZipStored, 0, 3, 3, 0, 0};
    const std::string header = ZipLocalHeader(member);
    EXPECT_EQ(header.size(), 30u + member.name.size());
    EXPECT_EQ(static_cast<uint8_t>(header[7]) & 0x08, 0x08);  // UTF-8 names
    EXPECT_TRUE(ZipDirectory({member}, 40).has_value());
    member.size = member.packedSize = 1ull << 32;
    EXPECT_FALSE(ZipDirectory({member}, 40).has_value());
    EXPECT_FALSE(ZipDirectory(std::vector<ZipMember>(70000), 0).has_value());
    EXPECT_TRUE(StoreAsIs("www/v.MP4", 10));
    EXPECT_FALSE(StoreAsIs("www/app.js", 10));
    EXPECT_TRUE(StoreAsIs("www/app.js", 1ull << 30));
}

}  // namespace
