// How paused requests meet the host's filters and answers, the shim's notices, and the command line.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "launch.h"
#include "resources.h"
#include "shim.h"

using namespace preview;

namespace {

TEST(Filters, WildcardsMatchAnyRunAndNothingElse) {
    struct Row {
        const char* pattern;
        const char* uri;
        bool matches;
    };
    const Row rows[] = {
        {"https://quillframe.localhost/*", "https://quillframe.localhost/index.html", true},
        {"https://quillframe.localhost/*", "https://quillframe.localhost/", true},
        {"https://quillframe.localhost/*", "https://quillframe.localhost.evil/x", false},
        {"https://quillframe.localhost/*", "https://example.com/https://quillframe.localhost/", false},
        {"*.mp4", "https://a/b/c.mp4", true},
        {"https://a/*/x*", "https://a/b/c/xyz", true},
        {"https://a/?", "https://a/b", false},
        {"*", "", true},
    };
    for (const Row& row : rows) EXPECT_EQ(MatchesFilter(row.pattern, row.uri), row.matches) << row.pattern << " " << row.uri;
    EXPECT_EQ(FetchUrlPattern("https://a/?q=\\*"), "https://a/\\?q=\\\\*");
}

TEST(Filters, FetchResourceTypesMapToContexts) {
    const std::pair<const char*, int> rows[] = {{"Document", 1}, {"Media", 4}, {"Font", 5}, {"Script", 6},
                                                {"Fetch", 8},    {"Ping", 14}, {"Other", 16}, {"Prefetch", 16}};
    for (const auto& [type, context] : rows) EXPECT_EQ(ResourceContextOf(type), context) << type;
}

TEST(Answers, HeaderBlocksBecomeEntriesInOrder) {
    const HeaderList parsed = ParseHeaderBlock("Content-Type: text/html\r\nAccept-Ranges:bytes\r\nbroken\r\n"
                                               "Content-Length:  12 \nX-Empty:");
    const HeaderList expected{
        {"Content-Type", "text/html"}, {"Accept-Ranges", "bytes"}, {"Content-Length", "12"}, {"X-Empty", ""}};
    EXPECT_EQ(parsed, expected);
    EXPECT_EQ(FetchHeaderEntries({{"A", "1"}}).dump(), R"([{"name":"A","value":"1"}])");
    EXPECT_EQ(HeadersFromObject(nlohmann::json{{"Range", "bytes=0-"}, {"N", 1}}), (HeaderList{{"Range", "bytes=0-"}}));
}

TEST(Answers, OnlyLongPartialAnswersAreCut) {
    struct Row {
        int status;
        uint64_t length;
        uint64_t limit;
        const char* range;
        const char* expectedRange;
        uint64_t expectedLength;
    };
    const Row rows[] = {
        {206, 1000, 100, "bytes 500-1499/5000", "bytes 500-599/5000", 100},
        {206, 100, 100, "bytes 0-99/5000", "bytes 0-99/5000", 100},
        {200, 1000, 100, "", "", 1000},
    };
    for (const Row& row : rows) {
        Answer answer{row.status, {{"content-range", row.range}, {"Content-Length", std::to_string(row.length)}}, row.length};
        const Answer cut = CapPartialAnswer(answer, row.limit);
        EXPECT_EQ(cut.bodyLength, row.expectedLength);
        EXPECT_EQ(cut.headers[0].second, row.expectedRange);
        EXPECT_EQ(cut.headers[1].second, std::to_string(row.expectedLength));
    }
}

TEST(Shim, NoticesAreReadAndOthersRefused) {
    const auto message = ParsePageNotice(R"({"type":"message","json":"{\"a\":1}","source":"https://q/"})");
    ASSERT_TRUE(message);
    EXPECT_EQ(message->json, R"({"a":1})");
    EXPECT_EQ(message->source, "https://q/");
    EXPECT_EQ(ParsePageNotice(R"({"type":"title","title":"T"})")->title, "T");
    EXPECT_TRUE(ParsePageNotice(R"({"type":"fullscreen","on":true})")->fullscreen);
    EXPECT_EQ(ParsePageNotice(R"({"type":"close"})")->kind, PageNotice::Kind::Close);
    const auto permission = ParsePageNotice(R"({"type":"permission","permission":"camera","id":3,
        "source":"https://q/a.html","origin":"https://q","user":true})");
    ASSERT_TRUE(permission);
    EXPECT_EQ(std::make_tuple(permission->kind, permission->permission, permission->request, permission->source,
                              permission->origin, permission->userInitiated),
              std::make_tuple(PageNotice::Kind::Permission, std::string("camera"), 3, std::string("https://q/a.html"),
                              std::string("https://q"), true));
    for (const char* refused : {R"({"type":"other"})", R"({"type":1})", "[]", "x",
                                R"({"type":"permission","permission":"camera"})"})
        EXPECT_FALSE(ParsePageNotice(refused)) << refused;
    EXPECT_NE(ShimScript().find(kBindingName), std::string::npos);
    EXPECT_EQ(DeliverMessageExpression("{\"a\":1}"),
              "chrome.webview.dispatchEvent(new MessageEvent('message', { data: ({\"a\":1}) }))");
}

TEST(Shim, PermissionsMapToTheRuntimesKinds) {
    const std::pair<const char*, int> rows[] = {{"microphone", 1}, {"camera", 2}, {"geolocation", 3},
                                                {"notifications", 4}, {"clipboard-read", 6}, {"midi", 0}, {"", 0}};
    for (const auto& [name, kind] : rows) EXPECT_EQ(PermissionKindOf(name), kind) << name;
}

TEST(Launch, ArgumentsSplitAndQuoteAsWindowsDoes) {
    struct Row {
        const char* line;
        std::vector<std::string> arguments;
    };
    const Row rows[] = {
        {"--a --b=1", {"--a", "--b=1"}},
        {"  \"--c=x y\"\t--d ", {"--c=x y", "--d"}},
        {R"(--e=a\\"b c" --f=\"q\")", {R"(--e=a\b c)", R"(--f="q")"}},
        {R"(C:\dir\ "")", {R"(C:\dir\)", ""}},
        {"", {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SplitCommandLine(row.line), row.arguments) << row.line;
        std::string quoted;
        for (const std::string& argument : row.arguments) quoted += QuoteWindowsArgument(argument) + " ";
        EXPECT_EQ(SplitCommandLine(quoted), row.arguments) << quoted;
    }
}

TEST(Launch, TheLastExplicitDebuggingPortCounts) {
    EXPECT_EQ(ExplicitDebuggingPort({"--remote-debugging-port=9222"}), 9222);
    EXPECT_EQ(ExplicitDebuggingPort({"--remote-debugging-port=9222", "--remote-debugging-port=0"}), std::nullopt);
    EXPECT_EQ(ExplicitDebuggingPort({"--lang=de"}), std::nullopt);
}

TEST(Launch, ChromiumGetsOurFlagsThenTheHostsAndTheWatchdogTheHostPid) {
    LaunchSettings settings;
    settings.chromium = "/usr/lib/chromium/chromium";
    settings.userDataDir = "/p/EBWebView";
    settings.windowClass = "qf-1";
    settings.language = "de";
    settings.extraArguments = {"--remote-debugging-port=9222"};
    const auto arguments = ChromiumArguments(settings);
    EXPECT_EQ(arguments.front(), "/usr/lib/chromium/chromium");
    for (const char* flag : {"--no-sandbox", "--user-data-dir=/p/EBWebView", "--class=qf-1", "--lang=de"})
        EXPECT_NE(std::find(arguments.begin(), arguments.end(), flag), arguments.end()) << flag;
    EXPECT_EQ(arguments.back(), "--remote-debugging-port=9222");
    const std::vector<std::string> watched = SplitCommandLine(WatchdogCommandLine(4242, "/p/log", arguments));
    ASSERT_GT(watched.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(watched.begin(), watched.begin() + 2), (std::vector<std::string>{"Z:\\bin\\bash", "-c"}));
    EXPECT_EQ(watched[4], "4242");
    EXPECT_EQ(std::vector<std::string>(watched.begin() + 6, watched.end()), arguments);
}

}  // namespace
