#include "bridge/web_message.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct MessageCase {
    std::string text;
    PageRequestType type;
    bool fullscreen;
    int32_t width, height, x, y;
};

const MessageCase kMessages[] = {
    {R"({"type":"wrapper-init"})", PageRequestType::WrapperInit, false, 0, 0, 0, 0},
    {" \n{\"type\":\"wrapper-init\"}\t\r\n ", PageRequestType::WrapperInit, false, 0, 0, 0, 0},
    {R"({"type":"set-fullscreen","fullscreen":true})", PageRequestType::SetFullscreen, true, 0, 0, 0, 0},
    {R"({"type":"set-fullscreen"})", PageRequestType::SetFullscreen, false, 0, 0, 0, 0},
    {R"({"type":"set-fullscreen","fullscreen":1})", PageRequestType::SetFullscreen, false, 0, 0, 0, 0},
    {R"({"type":"set-fullscreen","fullscreen":"true"})", PageRequestType::SetFullscreen, false, 0, 0, 0, 0},
    {R"({"type":"set-window-size","windowWidth":800,"windowHeight":600})", PageRequestType::SetWindowSize, false,
     800, 600, 0, 0},
    {R"({"type":"set-window-size","windowWidth":800})", PageRequestType::SetWindowSize, false, 800, 0, 0, 0},
    {R"({"type":"set-window-size","windowWidth":800.9,"windowHeight":"600"})", PageRequestType::SetWindowSize, false,
     800, 0, 0, 0},
    {R"({"type":"set-window-size","windowWidth":800.9,"windowHeight":600.5})", PageRequestType::SetWindowSize, false,
     800, 600, 0, 0},
    {R"({"type":"set-window-size","windowWidth":-3.7,"windowHeight":1e300})", PageRequestType::SetWindowSize, false,
     -3, INT32_MIN, 0, 0},
    {R"({"type":"set-window-size","windowWidth":4294967297,"windowHeight":true})", PageRequestType::SetWindowSize,
     false, 1, 0, 0, 0},
    {R"({"type":"set-window-position"})", PageRequestType::SetWindowPosition, false, 0, 0, 0, 0},
    {R"({"type":"set-window-position","windowX":-100,"windowY":20000})", PageRequestType::SetWindowPosition, false, 0,
     0, -100, 20000},
    {R"({"type":"extension-message","fullscreen":true,"windowWidth":5})", PageRequestType::ExtensionMessage, false, 0,
     0, 0, 0},
    {R"({"type":"set-fullscreen","type":"wrapper-init"})", PageRequestType::WrapperInit, false, 0, 0, 0, 0},
    // Ignored: other letter case, the name under another key, not an object, no type.
    {R"({"type":"Wrapper-Init"})", PageRequestType::None, false, 0, 0, 0, 0},
    {R"({"kind":"wrapper-init"})", PageRequestType::None, false, 0, 0, 0, 0},
    {R"(["wrapper-init"])", PageRequestType::None, false, 0, 0, 0, 0},
    {R"("wrapper-init")", PageRequestType::None, false, 0, 0, 0, 0},
    {R"({"type":7})", PageRequestType::None, false, 0, 0, 0, 0},
    {R"({"type":""})", PageRequestType::None, false, 0, 0, 0, 0},
    {R"({})", PageRequestType::None, false, 0, 0, 0, 0},
    {R"(null)", PageRequestType::None, false, 0, 0, 0, 0},
    {std::string("{\"type\":\"wrapper-init\"}\0garbage", 31), PageRequestType::WrapperInit, false, 0, 0, 0, 0},
};

TEST(ParseWebMessage, Table) {
    for (const MessageCase& c : kMessages) {
        const PageRequest request = ParseWebMessage(c.text);
        EXPECT_EQ(request.type, c.type) << c.text;
        EXPECT_EQ(request.fullscreen, c.fullscreen) << c.text;
        EXPECT_EQ(request.width, c.width) << c.text;
        EXPECT_EQ(request.height, c.height) << c.text;
        EXPECT_EQ(request.x, c.x) << c.text;
        EXPECT_EQ(request.y, c.y) << c.text;
    }
}

TEST(ParseWebMessage, MalformedTextThrows) {
    const std::vector<std::string> malformed = {
        "",
        "   ",
        R"({"type":"wrapper-init"} x)",
        R"({"type":"wrapper-init"}{})",
        R"({"type":"wrapper-init"} // note)",
        R"(/* note */ {"type":"wrapper-init"})",
        R"({"type":"wrapper-init",})",
        R"({'type':'wrapper-init'})",
        std::string("{\"type\":\"wrap\0per-init\"}", 24),
        "{\"type\":\"\xFF\"}",
    };
    for (const std::string& text : malformed) EXPECT_ANY_THROW(ParseWebMessage(text)) << text;
}

TEST(BuildWrapperInitResponse, ByteExact) {
    EXPECT_EQ(BuildWrapperInitResponse({}), R"({"registeredComponentIds":[],"type":"wrapper-init-response"})");
    EXPECT_EQ(BuildWrapperInitResponse({"a", "b"}),
              R"({"registeredComponentIds":["a","b"],"type":"wrapper-init-response"})");
    EXPECT_EQ(BuildWrapperInitResponse({"z", "a"}),
              R"({"registeredComponentIds":["z","a"],"type":"wrapper-init-response"})");
    EXPECT_EQ(BuildWrapperInitResponse({"caf\xC3\xA9", "\xE2\x82\xAC"}),
              "{\"registeredComponentIds\":[\"caf\xC3\xA9\",\"\xE2\x82\xAC\"],\"type\":\"wrapper-init-response\"}");
    EXPECT_EQ(BuildWrapperInitResponse({"say \"hi\"", "back\\slash", "tab\there\n", std::string("\x01", 1)}),
              R"({"registeredComponentIds":["say \"hi\"","back\\slash","tab\there\n","\u0001"],)"
              R"("type":"wrapper-init-response"})");
}

TEST(BuildWrapperInitResponse, InvalidUtf8Throws) {
    EXPECT_ANY_THROW(BuildWrapperInitResponse({"ok", "bad\xFF"}));
    EXPECT_ANY_THROW(BuildWrapperInitResponse({"\xC3"}));
}

}  // namespace
