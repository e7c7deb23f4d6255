#include "content/request_path.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

const std::string kOrigin = "https://app.quillframe.localhost/";

std::optional<std::string> Path(const std::string& rest) { return RequestPathFromUri(kOrigin + rest, kOrigin.size()); }

TEST(RequestPathFromUri, AcceptedPaths) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"index.html", "index.html"},
        {"css/site.css", "css/site.css"},
        {"my%20page.html", "my page.html"},
        {"%C3%A9t%C3%A9.txt", "\xC3\xA9t\xC3\xA9.txt"},
        {"index.html?v=2", "index.html"},
        {"index.html#top", "index.html"},
        {"index.html?a#b?c", "index.html"},
        {"a%3Fb.html", "a?b.html"},
        {"a%23b.html", "a#b.html"},
        {"?only=query", ""},
        {"dir%2Ffile.js", "dir/file.js"},
        {"..hidden/x", "..hidden/x"},
        {"a..b", "a..b"},
        {"dir/", "dir/"},
        {"a//b", "a//b"},
        {"index.html?../../secret", "index.html"},
        {"index.html%00.png", "index.html"},
        {std::string("ab\0/..", 6), "ab"},
    };
    for (const auto& [rest, expected] : cases) {
        const auto path = Path(rest);
        ASSERT_TRUE(path.has_value()) << rest;
        EXPECT_EQ(*path, expected) << rest;
    }
}

TEST(RequestPathFromUri, EverythingThatCouldLeaveTheRootIsRefused) {
    const std::vector<std::string> attempts = {
        "..",
        "../secret.txt",
        "a/../../secret.txt",
        "a/..",
        "%2E%2E/secret.txt",
        "%2e%2e/secret.txt",
        ".%2E/secret.txt",
        "a%2F..%2F..%2Fsecret.txt",
        "a%5C..%5C..%5Csecret.txt",
        "..%5Csecret.txt",
        "a\\..\\secret.txt",
        "a/.../b",
        "a/.. /b",
        "a/. ./b",
        "./index.html",
        "a/./b",
        "%2Fetc/passwd",
        "/etc/passwd",
        "%5CWindows/win.ini",
        "\\\\server/share/x",
        "%5C%5Cserver%5Cshare",
        "C:/Windows/win.ini",
        "C%3A%5CWindows%5Cwin.ini",
        "c:secret.txt",
        "index.html::$DATA",
        "index.html%3A%3A$DATA",
        "x%3Ay",
    };
    for (const std::string& rest : attempts) EXPECT_FALSE(Path(rest).has_value()) << rest;
}

TEST(RequestPathFromUri, AZeroByteInAnOverlongPathIsRefused) {
    // Too long to decode, so it stays escaped and keeps everything after the zero.
    const std::string rest = std::string(2047, 'a') + "%41" + std::string("\0", 1) + "x";
    EXPECT_FALSE(Path(rest).has_value());
}

TEST(RequestPathFromUri, AnOverlongPathStaysEscaped) {
    const std::string rest = std::string(2048, 'a') + "%2E%2E";
    EXPECT_EQ(Path(rest), rest);
    EXPECT_FALSE(Path(std::string(2048, 'a') + "/../x").has_value());
}

TEST(RequestPathFromUri, AUriShorterThanTheOriginIsRefused) {
    EXPECT_FALSE(RequestPathFromUri("https://a/", 20).has_value());
}

TEST(FilePathFor, TurnsSlashesIntoBackslashes) {
    EXPECT_EQ(FilePathFor("C:\\app\\www\\", "css/site.css"), "C:\\app\\www\\css\\site.css");
    EXPECT_EQ(FilePathFor("C:\\app\\www\\", ""), "C:\\app\\www\\");
    EXPECT_EQ(FilePathFor("C:\\app\\www\\", "a b/\xC3\xA9.txt"), "C:\\app\\www\\a b\\\xC3\xA9.txt");
}

}  // namespace
