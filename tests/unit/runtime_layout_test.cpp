#include "loader/runtime_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(RuntimeChannels, AreSearchedStableBetaDevCanaryUnderTheirKeys) {
    const auto& channels = RuntimeChannels();
    const std::wstring keys[] = {
        L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}",
        L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
        L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}",
        L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{65C35B14-6C1D-4122-AC46-7148CC9D6497}",
    };
    const std::wstring suffixes[] = {L"", L" beta", L" dev", L" canary"};
    for (size_t i = 0; i < channels.size(); ++i) {
        EXPECT_EQ(RuntimeRegistryKey(channels[i]), keys[i]) << i;
        EXPECT_EQ(channels[i].suffix, suffixes[i]) << i;
    }
    EXPECT_STREQ(kRuntimeFolderValue, L"EBWebView");
}

struct DllPathCase {
    const wchar_t* folder;
    RuntimeArchitecture architecture;
    const wchar_t* expected;
};

class RuntimeDllPathTest : public ::testing::TestWithParam<DllPathCase> {};

TEST_P(RuntimeDllPathTest, Builds) {
    EXPECT_EQ(RuntimeDllPath(GetParam().folder, GetParam().architecture), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RuntimeDllPathTest,
    ::testing::Values(
        DllPathCase{L"C:\\app\\webview2", RuntimeArchitecture::X86,
                    L"C:\\app\\webview2\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        DllPathCase{L"C:\\app\\webview2", RuntimeArchitecture::X64,
                    L"C:\\app\\webview2\\EBWebView\\x64\\EmbeddedBrowserWebView.dll"},
        DllPathCase{L"C:\\rt\\120.0.2210.55\\", RuntimeArchitecture::X86,
                    L"C:\\rt\\120.0.2210.55\\EBWebView\\x86\\EmbeddedBrowserWebView.dll"},
        DllPathCase{L"C:/rt/", RuntimeArchitecture::X86, L"C:/rt/EBWebView\\x86\\EmbeddedBrowserWebView.dll"}));

struct FixedCase {
    const char* appFolder;
    const char* folder;
};

class FixedRuntimeTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedRuntimeTest, LiesInTheWebview2SubfolderOfTheApp) {
    EXPECT_EQ(FixedRuntimeFolder(GetParam().appFolder), GetParam().folder);
    EXPECT_EQ(FixedRuntimeDllPath(GetParam().appFolder, RuntimeArchitecture::X86),
              std::string(GetParam().folder) + "\\EBWebView\\x86\\EmbeddedBrowserWebView.dll");
}

INSTANTIATE_TEST_SUITE_P(Table, FixedRuntimeTest,
                         ::testing::Values(FixedCase{"C:\\app\\", "C:\\app\\webview2"},
                                           FixedCase{"C:\\app", "C:\\app\\webview2"},
                                           FixedCase{"C:\\Apps\\Café\\", "C:\\Apps\\Café\\webview2"},
                                           FixedCase{"\\\\srv\\share\\app\\", "\\\\srv\\share\\app\\webview2"}));

struct VersionCase {
    const wchar_t* registryFolder;
    size_t channel;
    const wchar_t* expected;
};

class InstalledRuntimeVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(InstalledRuntimeVersionTest, IsTheLastComponentWithTheChannelSuffix) {
    EXPECT_EQ(InstalledRuntimeVersion(GetParam().registryFolder, RuntimeChannels()[GetParam().channel]),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InstalledRuntimeVersionTest,
    ::testing::Values(VersionCase{L"C:\\Program Files (x86)\\Runtime\\Application\\120.0.2210.55", 0, L"120.0.2210.55"},
                      VersionCase{L"C:\\Runtime\\121.0.2277.4\\", 1, L"121.0.2277.4 beta"},
                      VersionCase{L"C:\\Runtime\\122.0.2300.0\\\\", 2, L"122.0.2300.0 dev"},
                      VersionCase{L"C:/Runtime/123.0.2400.1", 3, L"123.0.2400.1 canary"},
                      VersionCase{L"124.0.1.2", 0, L"124.0.1.2"}));

}  // namespace
