#include "common/manifest.h"

#include <gtest/gtest.h>

#include <limits>

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace {

AppManifest Parse(const std::string& text) {
    AppManifest manifest;
    ParseManifest(text, manifest);
    return manifest;
}

TEST(ParseManifest, OnlyANameGivesEveryDefault) {
    const AppManifest m = Parse(R"({"name":"app"})");
    EXPECT_EQ(m.name, "app");
    EXPECT_EQ(m.main, "index.html");
    EXPECT_EQ(m.title, "Quillframe");
    EXPECT_EQ(m.width, 1024);
    EXPECT_EQ(m.height, 768);
    EXPECT_EQ(m.icon, "");
    EXPECT_TRUE(m.resizable);
    EXPECT_EQ(m.chromiumArgs, "");
    EXPECT_EQ(m.contentMode, ContentMode::Bundle);
    EXPECT_EQ(m.distributionMode, DistributionMode::Evergreen);
    EXPECT_TRUE(m.enableDevtools);
    EXPECT_EQ(m.installWebView2Message,
              "This app requires the Microsoft Edge WebView2 runtime. It will be downloaded and installed for you now.");
    EXPECT_EQ(m.downloadingMessage, "Downloading...");
    EXPECT_EQ(m.installFailedMessage,
              "Failed to install the Microsoft Edge WebView2 runtime. Check that you have permission to install it, "
              "and that your Internet connection is working. Run the app again to try again.");
}

TEST(ParseManifest, ReadsEveryKey) {
    const AppManifest m = Parse(R"({
        "name": "My App", "main": "sub/start.html?x=1", "chromium-args": "--flag",
        "window": {"title": "T\u00e9", "width": 800, "height": 600, "icon": "icon.png", "resizable": false},
        "settings": {"distribution-mode": "fixed", "content-mode": "remote", "enable-devtools": false},
        "messages": {"install-webview2": "I", "downloading": "D", "install-webview2-failed": "F"}})");
    EXPECT_EQ(m.name, "My App");
    EXPECT_EQ(m.main, "sub/start.html?x=1");
    EXPECT_EQ(m.chromiumArgs, "--flag");
    EXPECT_EQ(m.title, "T\xC3\xA9");
    EXPECT_EQ(m.width, 800);
    EXPECT_EQ(m.height, 600);
    EXPECT_EQ(m.icon, "icon.png");
    EXPECT_FALSE(m.resizable);
    EXPECT_EQ(m.distributionMode, DistributionMode::Fixed);
    EXPECT_EQ(m.contentMode, ContentMode::Remote);
    EXPECT_FALSE(m.enableDevtools);
    EXPECT_EQ(m.installWebView2Message, "I");
    EXPECT_EQ(m.downloadingMessage, "D");
    EXPECT_EQ(m.installFailedMessage, "F");
}

struct FailureCase {
    const char* text;
    const char* message;  // null: the JSON library's parse error
};

class ParseManifestFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ParseManifestFailure, Throws) {
    const FailureCase& c = GetParam();
    AppManifest manifest;
    if (c.message) {
        try {
            ParseManifest(c.text, manifest);
            FAIL() << "no exception for " << c.text;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    } else {
        EXPECT_THROW(ParseManifest(c.text, manifest), nlohmann::json::parse_error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseManifestFailure,
    ::testing::Values(FailureCase{"{}", "invalid name"}, FailureCase{"[]", "invalid name"},
                      FailureCase{R"("app")", "invalid name"}, FailureCase{"null", "invalid name"},
                      FailureCase{R"({"name":""})", "invalid name"}, FailureCase{R"({"name":5})", "invalid name"},
                      FailureCase{R"({"name":"a","settings":{"distribution-mode":"Evergreen"}})",
                                  "invalid distribution mode"},
                      FailureCase{R"({"name":"a","settings":{"content-mode":"BUNDLE"}})", "invalid content mode"},
                      // Both invalid: the distribution mode is reported.
                      FailureCase{R"({"name":"a","settings":{"distribution-mode":"x","content-mode":"y"}})",
                                  "invalid distribution mode"},
                      FailureCase{"", nullptr}, FailureCase{"   \n\t", nullptr},
                      FailureCase{"{\"name\":\"a\"} // note", nullptr},
                      FailureCase{"/* c */ {\"name\":\"a\"}", nullptr}, FailureCase{"{\"name\":\"a\"} x", nullptr},
                      FailureCase{"{\"name\":\"a\"\0}", nullptr}));

TEST(ParseManifest, LenientValues) {
    const AppManifest m = Parse(R"({"name":"a","settings":"fixed","window":{"resizable":0},
                                    "chromium-args":7,"messages":[]})");
    EXPECT_EQ(m.distributionMode, DistributionMode::Evergreen);
    EXPECT_TRUE(m.resizable);
    EXPECT_EQ(m.chromiumArgs, "");
    EXPECT_EQ(m.downloadingMessage, "Downloading...");

    const AppManifest n = Parse(R"({"name":"a","settings":{"distribution-mode":1,"enable-devtools":"false"}})");
    EXPECT_EQ(n.distributionMode, DistributionMode::Evergreen);
    EXPECT_TRUE(n.enableDevtools);

    EXPECT_EQ(Parse(R"({"name":"a","window":{"chromium-args":"--x"}})").chromiumArgs, "");
    EXPECT_EQ(Parse(R"({"name":"a","name":"b"})").name, "b");
}

TEST(ParseManifest, TextEndsAtFirstNulAndByteOrderMarkIsSkipped) {
    EXPECT_EQ(Parse(std::string("{\"name\":\"a\"}\0garbage", 20)).name, "a");
    EXPECT_EQ(Parse("\xEF\xBB\xBF{\"name\":\"bom\"}").name, "bom");
}

struct WidthCase {
    const char* width;
    int32_t expected;
};

class ManifestWidth : public ::testing::TestWithParam<WidthCase> {};

TEST_P(ManifestWidth, ConvertsLikeTheIntReader) {
    const AppManifest m = Parse(std::string(R"({"name":"a","window":{"width":)") + GetParam().width + "}}");
    EXPECT_EQ(m.width, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ManifestWidth,
                         ::testing::Values(WidthCase{"800.9", 800}, WidthCase{"-5", -5}, WidthCase{"-3.7", -3},
                                           WidthCase{"\"800\"", 1024}, WidthCase{"4294968320", 1024},
                                           WidthCase{"1e300", std::numeric_limits<int32_t>::min()},
                                           WidthCase{"-1e300", std::numeric_limits<int32_t>::min()},
                                           WidthCase{"2147483648", std::numeric_limits<int32_t>::min()},
                                           WidthCase{"18446744073709551615", -1}, WidthCase{"true", 1024},
                                           WidthCase{"2147483647.5", 2147483647}, WidthCase{"null", 1024}));

}  // namespace
