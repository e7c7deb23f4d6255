// How paused and relayed requests meet the host's filters and answers, the shim's notices, and the
// command line.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <tuple>

#include "http_exchange.h"
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

TEST(Filters, OnlyHttpsLocalhostNamesOnTheirOwnPortGoThroughTheRelay) {
    const std::pair<const char*, bool> rows[] = {
        {"https://quillframe.localhost/*", true},        {"https://quillframe.localhost/a?b#c", true},
        {"https://Game.LOCALHOST:443/x", true},          {"https://a.b.localhost/", true},
        {"https://quillframe.localhost*", false},        {"https://quillframe.localhost:8443/x", false},
        {"http://quillframe.localhost/x", false},        {"https://localhost/x", false},
        {"https://*.localhost/x", false},                {"https://evil.com@x.localhost/", false},
        {"https://quillframe.localhost.evil/x", false},  {"*", false},
    };
    for (const auto& [uri, relayed] : rows) EXPECT_EQ(GoesThroughRelay(uri), relayed) << uri;
}

TEST(Filters, FetchResourceTypesMapToContexts) {
    const std::pair<const char*, int> rows[] = {{"Document", 1}, {"Media", 4}, {"Font", 5}, {"Script", 6},
                                                {"Fetch", 8},    {"Ping", 14}, {"Other", 16}, {"Prefetch", 16}};
    for (const auto& [type, context] : rows) EXPECT_EQ(ResourceContextOf(type), context) << type;
    const std::pair<const char*, int> destinations[] = {{"document", 1}, {"iframe", 1}, {"style", 2}, {"video", 4},
                                                        {"font", 5},     {"worker", 6}, {"empty", 8}, {"track", 9},
                                                        {"", 16},        {"webbundle", 16}};
    for (const auto& [destination, context] : destinations)
        EXPECT_EQ(ResourceContextOfDestination(destination), context) << destination;
}

TEST(Relayed, RequestHeadsAreReadOrRefused) {
    struct Row {
        const char* head;
        bool parsed;
        const char* url;
        bool keepAlive;
        uint64_t bodyLength;
    };
    const Row rows[] = {
        {"GET /a%20b?x=1 HTTP/1.1\r\nHost: quillframe.localhost\r\nRange: bytes=0-", true,
         "https://quillframe.localhost/a%20b?x=1", true, 0},
        {"POST /p HTTP/1.1\r\nhost: q.localhost\r\nContent-Length: 12\r\nConnection: close", true,
         "https://q.localhost/p", false, 12},
        {"GET / HTTP/1.0\r\nHost: q.localhost", true, "https://q.localhost/", false, 0},
        {"GET / HTTP/1.0\r\nHost: q.localhost\r\nConnection: Keep-Alive", true, "https://q.localhost/", true, 0},
        {"GET / HTTP/1.1\r\nConnection: upgrade, close", true, "https:///", false, 0},
        {"GET / HTTP/1.1\r\nContent-Length: 1x", false, "", true, 0},
        {"GET / HTTP/1.1\r\nContent-Length: 99999999999999999999", false, "", true, 0},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked", false, "", true, 0},
        {"GET http://q.localhost/ HTTP/1.1", false, "", true, 0},
        {"GET / HTTP/2", false, "", true, 0},
        {"GET /", false, "", true, 0},
        {"G(T / HTTP/1.1", false, "", true, 0},
    };
    for (const Row& row : rows) {
        const auto head = ParseRequestHead(row.head);
        ASSERT_EQ(head.has_value(), row.parsed) << row.head;
        if (!head) continue;
        EXPECT_EQ(RequestUrl(*head), row.url) << row.head;
        EXPECT_EQ(std::make_pair(head->keepAlive, head->bodyLength), std::make_pair(row.keepAlive, row.bodyLength))
            << row.head;
    }
    EXPECT_EQ(RequestHeadEnd("GET / HTTP/1.1\r\nA: b\r\n\r\nrest"), 24u);
    EXPECT_EQ(RequestHeadEnd("GET / HTTP/1.1\r\nA: b\r\n"), std::string::npos);
}

TEST(Relayed, TheHostsAnswerBecomesAHeadThatItsTextCannotBreak) {
    struct Row {
        int status;
        const char* reason;
        HeaderList headers;
        bool headRequest;
        bool keepAlive;
        const char* head;
        bool hasBody;
        std::optional<uint64_t> length;
    };
    const Row rows[] = {
        {206, "Partial Content", {{"Content-Range", "bytes 0-9/100"}, {"Content-Length", "10"}}, false, true,
         "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-9/100\r\nContent-Length: 10\r\n"
         "Connection: keep-alive\r\n\r\n", true, 10},
        {200, "OK", {{"Content-Type", "text/html"}}, false, false,
         "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n",
         true, std::nullopt},
        {200, "OK\r\nSet-Cookie: a=b", {{"X", "1\r\nSet-Cookie: a=b"}, {"Bad Name", "v"}, {"", "v"}, {"Y", "2"}},
         false, true, "HTTP/1.1 200 \r\nY: 2\r\nTransfer-Encoding: chunked\r\nConnection: keep-alive\r\n\r\n",
         true, std::nullopt},
        {200, "OK", {{"Content-Length", "5"}, {"content-length", "50"}, {"Transfer-Encoding", "gzip"},
                     {"Connection", "upgrade"}, {"Keep-Alive", "timeout=1"}}, false, true,
         "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: keep-alive\r\n\r\n", true, 5},
        {200, "OK", {{"Content-Length", "-1"}}, false, true,
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: keep-alive\r\n\r\n", true, std::nullopt},
        {200, "OK", {{"Content-Length", "7"}}, true, true,
         "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: keep-alive\r\n\r\n", false, 7},
        {304, "Not Modified", {}, false, true, "HTTP/1.1 304 Not Modified\r\nConnection: keep-alive\r\n\r\n", false,
         std::nullopt},
        {204, "", {}, false, true, "HTTP/1.1 204 \r\nConnection: keep-alive\r\n\r\n", false, std::nullopt},
    };
    for (const Row& row : rows) {
        const ResponsePlan plan = PlanResponse(row.status, row.reason, row.headers, row.headRequest, row.keepAlive);
        EXPECT_EQ(plan.head, row.head) << row.status << " " << row.reason;
        EXPECT_EQ(std::make_pair(plan.hasBody, plan.length), std::make_pair(row.hasBody, row.length)) << plan.head;
    }
    const std::pair<size_t, const char*> chunks[] = {{0, "0\r\n"}, {255, "ff\r\n"}, {262144, "40000\r\n"}};
    for (const auto& [size, line] : chunks) EXPECT_EQ(ChunkStart(size), line);
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
    for (const auto& argument : arguments) EXPECT_EQ(argument.find("--host-resolver-rules"), std::string::npos);
    const std::vector<std::string> watched =
        SplitCommandLine(WatchdogCommandLine(4242, "/p/log", std::nullopt, arguments));
    ASSERT_GT(watched.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(watched.begin(), watched.begin() + 2), (std::vector<std::string>{"Z:\\bin\\bash", "-c"}));
    EXPECT_EQ(std::vector<std::string>(watched.begin() + 4, watched.begin() + 8),
              (std::vector<std::string>{"4242", "/p/log", "0", "-"}));
    EXPECT_EQ(std::vector<std::string>(watched.begin() + 8, watched.end()), arguments);
}

TEST(Launch, TheRelaysRulesComeFirstAndTheHostsStillApply) {
    LaunchSettings settings;
    settings.relay = Relay{4443, "K2c="};
    settings.extraArguments = {"--host-resolver-rules=MAP a.test 1.2.3.4", "--remote-debugging-port=9222",
                               "--ignore-certificate-errors-spki-list=x", "--host-resolver-rules=MAP b.test 5.6.7.8"};
    const auto arguments = ChromiumArguments(settings);
    std::vector<std::string> lists;
    std::copy_if(arguments.begin(), arguments.end(), std::back_inserter(lists), [](const std::string& argument) {
        return argument.find("-rules=") != std::string::npos || argument.find("-spki-list=") != std::string::npos;
    });
    EXPECT_EQ(lists, (std::vector<std::string>{"--host-resolver-rules=MAP *.localhost:443 127.0.0.1:4443,MAP b.test 5.6.7.8",
                                               "--ignore-certificate-errors-spki-list=K2c=,x"}));
    EXPECT_EQ(arguments.back(), "--remote-debugging-port=9222");

    const RelayCommand relay = RelayCommandFor("/p/it's here", 4443, 5000);
    const auto watched = SplitCommandLine(WatchdogCommandLine(1, "/p/log", relay, {"chromium"}));
    ASSERT_EQ(watched.size(), 8u + relay.arguments.size() + 1);
    EXPECT_EQ(std::vector<std::string>(watched.begin() + 6, watched.begin() + 8),
              (std::vector<std::string>{std::to_string(relay.arguments.size()), "/p/it's here"}));
    EXPECT_EQ(std::vector<std::string>(watched.begin() + 8, watched.end() - 1), relay.arguments);
    EXPECT_EQ(std::vector<std::string>(relay.arguments.end() - 3, relay.arguments.end()),
              (std::vector<std::string>{"relay.pem", "4443", "5000"}));
}

// What /bin/sh prints for a script.
std::string RunShell(const std::string& script) {
    FILE* shell = popen(("/bin/sh -c " + ShellQuote(script)).c_str(), "r");
    std::string output;
    char buffer[256];
    size_t got = 0;
    while (shell && (got = fread(buffer, 1, sizeof(buffer), shell)) > 0) output.append(buffer, got);
    if (shell) pclose(shell);
    return output;
}

TEST(Launch, ShellWordsStayWholeAndTheRelayKeyIsMadeOnce) {
    for (const char* text : {"plain", "it's", "$(touch /nonexistent/x) `id` \"q\" \\ *", "", "line\nbreak"})
        EXPECT_EQ(RunShell("printf %s " + ShellQuote(text)), text) << text;
    const auto folder = std::filesystem::temp_directory_path() /
                        ("qf relay 'key' " + std::to_string(getpid())) / "relay";
    const std::string first = RunShell(RelayKeyScript(folder.string()));
    EXPECT_TRUE(IsSpkiHash(first.substr(0, first.find('\n')))) << first;
    EXPECT_EQ(RunShell(RelayKeyScript(folder.string())), first);  // kept, not made again
    EXPECT_EQ(std::filesystem::status(folder / "relay.pem").permissions() & std::filesystem::perms::group_read,
              std::filesystem::perms::none);
    EXPECT_FALSE(std::filesystem::exists(folder / "relay.key"));
    std::filesystem::remove_all(folder.parent_path());
    for (const char* text : {"", "abc=", "2yBstl9V5/3oNdSueJJc12Y+7foHCQ7mXMbsP409/rE", "2yBstl9V5/3oNdSueJJc12Y+7foHCQ7mXMbsP409/r'="})
        EXPECT_FALSE(IsSpkiHash(text)) << text;
}

}  // namespace
