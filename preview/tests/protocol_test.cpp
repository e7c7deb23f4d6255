// The portable pieces of the preview runtime: WebSocket framing, DevTools messages, the endpoint file.

#include <gtest/gtest.h>

#include "cdp.h"
#include "websocket.h"

using namespace preview;

namespace {

std::string ServerFrame(uint8_t first, const std::string& payload) {
    std::string frame(1, static_cast<char>(first));
    if (payload.size() < 126) {
        frame.push_back(static_cast<char>(payload.size()));
    } else {
        frame.push_back(126);
        frame.push_back(static_cast<char>(payload.size() >> 8));
        frame.push_back(static_cast<char>(payload.size() & 0xFF));
    }
    return frame + payload;
}

TEST(WebSocket, ClientFramesCarryTheirLengthMaskedWithAZeroKey) {
    struct Row {
        size_t length;
        std::string head;
    };
    const Row rows[] = {
        {5, std::string("\x81\x85", 2)},
        {126, std::string("\x81\xFE\x00\x7E", 4)},
        {70000, std::string("\x81\xFF\x00\x00\x00\x00\x00\x01\x11\x70", 10)},
    };
    for (const Row& row : rows) {
        const std::string payload(row.length, 'x');
        const std::string frame = TextFrameHead(row.length) + payload;
        EXPECT_EQ(frame.substr(0, row.head.size()), row.head) << row.length;
        EXPECT_EQ(frame.substr(row.head.size(), 4), std::string(4, '\0')) << row.length;
        EXPECT_EQ(ClientFramePayload(frame), payload) << row.length;
    }
}

TEST(WebSocket, DecoderReassemblesSplitFragmentedAndControlFrames) {
    const std::string big(300, 'b');
    const std::string stream = ServerFrame(0x01, "he") + ServerFrame(0x89, "ping") + ServerFrame(0x80, "llo") +
                               ServerFrame(0x81, big) + ServerFrame(0x88, "");
    FrameDecoder decoder;
    std::vector<std::string> messages;
    for (char byte : stream) {  // one byte at a time: every split point
        decoder.Feed(&byte, 1);
        while (auto message = decoder.Next()) messages.push_back(*message);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{"hello", big}));
    EXPECT_TRUE(decoder.IsClosed());
}

TEST(WebSocket, UpgradeAnswerIsReadUpToItsBlankLine) {
    EXPECT_EQ(ResponseHeadLength("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"), 0u);
    const std::string head = "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n\r\n";
    EXPECT_EQ(ResponseHeadLength(head + "\x81"), head.size());
    EXPECT_TRUE(IsUpgradeAccepted(head));
    EXPECT_FALSE(IsUpgradeAccepted("HTTP/1.1 404 Not Found\r\n\r\n"));
    EXPECT_NE(WebSocketUpgradeRequest("127.0.0.1:9", "/devtools/browser/x").find("GET /devtools/browser/x HTTP/1.1\r\n"),
              std::string::npos);
}

TEST(WebSocket, PlainAnswersEndWhereTheirLengthSays) {
    const std::pair<const char*, bool> rows[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n{}", false},
        {"HTTP/1.1 200 OK\r\ncontent-length:4\r\n\r\n{\"\"}", true},
        {"HTTP/1.1 200 OK\r\n\r\n", true},
        {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n", false},
    };
    for (const auto& [text, whole] : rows) EXPECT_EQ(IsWholeHttpAnswer(text), whole) << text;
}

TEST(Cdp, CommandsNameTheirSessionOnlyWhenGivenAndCarryBytesInBase64) {
    struct Row {
        int id;
        const char* method;
        nlohmann::json params;
        const char* session;
        const char* bytesField;
        std::string bytes;
        const char* json;
    };
    const Row rows[] = {
        {3, "Page.navigate", {{"url", "https://a/"}}, "S1", "", "",
         R"({"id":3,"method":"Page.navigate","sessionId":"S1","params":{"url":"https://a/"}})"},
        {4, "Browser.close", nullptr, "", "", "", R"({"id":4,"method":"Browser.close","params":{}})"},
        {5, "Fetch.fulfillRequest", {{"requestId", "r"}}, "S", "body", "ABC",
         R"({"id":5,"method":"Fetch.fulfillRequest","sessionId":"S","params":{"requestId":"r","body":"QUJD"}})"},
        {6, "M", nullptr, "", "body", "", R"({"id":6,"method":"M","params":{"body":""}})"},
        {7, "M", nullptr, "", "b", "f", R"({"id":7,"method":"M","params":{"b":"Zg=="}})"},
        {8, "M", nullptr, "", "b", "fo", R"({"id":8,"method":"M","params":{"b":"Zm8="}})"},
        {9, "M", nullptr, "", "b", std::string("\xff\x00\x10", 3), R"({"id":9,"method":"M","params":{"b":"/wAQ"}})"},
    };
    for (const Row& row : rows) {
        const std::string frame = CdpCommandFrame(row.id, row.method, row.params, row.session, row.bytesField, row.bytes);
        EXPECT_EQ(frame, TextFrameHead(std::string(row.json).size()) + row.json) << row.id;
    }
    // A body long enough for the 64-bit length: the head counts the whole encoded payload.
    const std::string frame = CdpCommandFrame(1, "M", nullptr, "", "b", std::string(60000, 'x'));
    EXPECT_EQ(frame.substr(0, TextFrameHead(80039).size()), TextFrameHead(80039));
    EXPECT_EQ(frame.size(), TextFrameHead(80039).size() + 80039);
}

TEST(Cdp, AnswersEventsAndErrorsAreTold) {
    struct Row {
        const char* text;
        bool valid;
        int id;
        const char* method;
        const char* session;
        const char* error;
    };
    const Row rows[] = {
        {R"({"id":7,"result":{"a":1}})", true, 7, "", "", ""},
        {R"({"id":8,"error":{"code":-32000,"message":"No target"}})", true, 8, "", "", "No target"},
        {R"({"method":"Page.domContentEventFired","params":{},"sessionId":"S"})", true, 0, "Page.domContentEventFired",
         "S", ""},
        {R"({"params":{}})", false, 0, "", "", ""},
        {"not json", false, 0, "", "", ""},
    };
    for (const Row& row : rows) {
        const auto message = ParseCdpMessage(row.text);
        ASSERT_EQ(message.has_value(), row.valid) << row.text;
        if (!message) continue;
        EXPECT_EQ(message->id.value_or(0), row.id) << row.text;
        EXPECT_EQ(message->method, row.method) << row.text;
        EXPECT_EQ(message->sessionId, row.session) << row.text;
        EXPECT_EQ(message->error, row.error) << row.text;
    }
    EXPECT_EQ(ParseCdpMessage(R"({"id":7,"result":{"a":1}})")->params["a"], 1);
}

TEST(Cdp, EndpointFileIsReadOnceThePathIsWhole) {
    const std::string path = "/devtools/browser/3aff8aeb-8138-43f8-8528-663f02cfef06";
    struct Row {
        std::string text;
        int port;  // 0: not yet, or not an endpoint
    };
    const Row rows[] = {
        {"37257\n" + path, 37257},
        {"37257\n" + path + "\n", 37257},
        {"37257\n" + path.substr(0, 30), 0},
        {"37257", 0},
        {"x7257\n" + path, 0},
        {"99999\n" + path, 0},
    };
    for (const Row& row : rows) {
        const auto endpoint = ParseDevToolsActivePort(row.text);
        EXPECT_EQ(endpoint ? endpoint->port : 0, row.port) << row.text;
        if (endpoint) {
            EXPECT_EQ(endpoint->path, path);
        }
    }
    const auto fromVersion = ParseVersionAnswer(
        9222, "HTTP/1.1 200 OK\r\n\r\n{\"webSocketDebuggerUrl\": \"ws://127.0.0.1:9222" + path + "\"}");
    ASSERT_TRUE(fromVersion);
    EXPECT_EQ(fromVersion->path, path);
    EXPECT_FALSE(ParseVersionAnswer(9222, "HTTP/1.1 200 OK\r\n\r\n{}"));
}

}  // namespace
