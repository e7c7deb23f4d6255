// The page's console lines: levels, argument text, format directives, sources, uncaught errors.

#include <gtest/gtest.h>

#include "console.h"

using namespace preview;

namespace {

const char kOrigin[] = "https://quillframe.localhost/";

TEST(Console, CallsAndErrorsBecomeOneLineEach) {
    struct Row {
        const char* method;
        const char* params;
        bool worker;
        const char* line;  // null: nothing printed
    };
    const Row rows[] = {
        {"Runtime.consoleAPICalled", R"x({"type":"log","args":[{"type":"string","value":"hello"},{"type":"number","value":42}]})x",
         false, "[page log] hello 42"},
        {"Runtime.consoleAPICalled",
         R"x({"type":"warning","args":[{"type":"string","value":"%s of %d%% %cgreen"},{"type":"string","value":"half"},
            {"type":"number","value":50},{"type":"string","value":"color: green"}]})x",
         false, "[page warning] half of 50% green"},
        {"Runtime.consoleAPICalled", R"x({"type":"info","args":[{"type":"string","value":"100%"}]})x", true,
         "[worker info] 100%"},
        {"Runtime.consoleAPICalled",
         R"x({"type":"error","args":[{"type":"string","value":"bad"}],
            "stackTrace":{"callFrames":[{"url":"https://quillframe.localhost/js/app.js","lineNumber":11}]}})x",
         false, "[page error] bad (js/app.js:12)"},
        {"Runtime.consoleAPICalled",
         R"x({"type":"debug","args":[{"type":"undefined"},{"type":"object","subtype":"null"},{"type":"boolean","value":true},
            {"type":"bigint","unserializableValue":"7n"},{"type":"number","unserializableValue":"NaN"}]})x",
         false, "[page debug] undefined null true 7n NaN"},
        {"Runtime.consoleAPICalled",
         R"x({"type":"log","args":[{"type":"object","subtype":"array","description":"Array(3)",
            "preview":{"overflow":true,"properties":[{"name":"0","type":"number","value":"1"},{"name":"1","type":"string","value":"a"}]}},
            {"type":"object","description":"Object","preview":{"overflow":false,"properties":[{"name":"k","type":"string","value":"v"}]}}]})x",
         false, "[page log] [1, 'a', …] {k: 'v'}"},
        {"Runtime.consoleAPICalled", R"x({"type":"log","args":[{"type":"string","value":"two\nlines"}]})x", false,
         "[page log] two\\nlines"},
        {"Runtime.consoleAPICalled", R"x({"type":"assert","args":[{"type":"string","value":"x > 0"}],
            "stackTrace":{"callFrames":[{"url":"https://example.com/a.js","lineNumber":0}]}})x",
         false, "[page error] Assertion failed: x > 0 (https://example.com/a.js:1)"},
        {"Runtime.consoleAPICalled", R"x({"type":"clear","args":[]})x", false, nullptr},
        {"Runtime.consoleAPICalled", R"x({"type":"endGroup","args":[]})x", false, nullptr},
        {"Runtime.exceptionThrown",
         R"x({"exceptionDetails":{"text":"Uncaught","url":"https://quillframe.localhost/index.html","lineNumber":11,
            "exception":{"type":"object","subtype":"error","description":"Error: boom\n    at index.html:12:9"}}})x",
         false, "[page error] Uncaught Error: boom (index.html:12)"},
        {"Runtime.exceptionThrown",
         R"x({"exceptionDetails":{"text":"Uncaught (in promise)","lineNumber":0,
            "stackTrace":{"callFrames":[{"url":"https://quillframe.localhost/worker.js","lineNumber":2}]},
            "exception":{"type":"string","value":"no"}}})x",
         true, "[worker error] Uncaught (in promise) 'no' (worker.js:3)"},
        {"Runtime.exceptionThrown", R"x({"exceptionDetails":{"text":"Uncaught SyntaxError: Unexpected token"}})x",
         false, "[page error] Uncaught SyntaxError: Unexpected token"},
        {"Page.frameNavigated", R"x({})x", false, nullptr},
    };
    for (const Row& row : rows) {
        const auto line = ConsoleLine(row.method, nlohmann::json::parse(row.params), kOrigin, row.worker);
        if (row.line) {
            EXPECT_EQ(line.value_or("(nothing)"), row.line) << row.params;
        } else {
            EXPECT_FALSE(line) << row.params;
        }
    }
}

TEST(Console, OriginsEndWithTheirSlash) {
    const std::pair<const char*, const char*> rows[] = {
        {"https://quillframe.localhost/index.html?x", "https://quillframe.localhost/"},
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080/"},
        {"data:text/html,<title></title>", ""},
    };
    for (const auto& [url, origin] : rows) EXPECT_EQ(OriginOf(url), origin) << url;
}

}  // namespace
