#include "common/json_readers.h"

#include <gtest/gtest.h>

namespace {

using nlohmann::json;

TEST(JsonReaders, FallBackOnAnythingButTheRightType) {
    const json object = json::parse(R"({"s":"text","i":5,"b":true,"f":2.9,"u":4294967295})");
    for (const json& notObject : {json(nullptr), json::array({1}), json("s"), json(3)}) {
        EXPECT_EQ(JsonStringOr(notObject, "s", "fb"), "fb");
        EXPECT_EQ(JsonIntOr(notObject, "i", 7), 7);
        EXPECT_TRUE(JsonBoolOr(notObject, "b", true));
    }
    EXPECT_EQ(JsonStringOr(object, "s", "fb"), "text");
    EXPECT_EQ(JsonStringOr(object, "i", "fb"), "fb");
    EXPECT_EQ(JsonStringOr(object, "S", "fb"), "fb");
    EXPECT_EQ(JsonIntOr(object, "i", 7), 5);
    EXPECT_EQ(JsonIntOr(object, "f", 7), 2);
    EXPECT_EQ(JsonIntOr(object, "u", 7), -1);
    EXPECT_EQ(JsonIntOr(object, "b", 7), 7);
    EXPECT_EQ(JsonIntOr(object, "s", 7), 7);
    EXPECT_TRUE(JsonBoolOr(object, "b", false));
    EXPECT_FALSE(JsonBoolOr(object, "i", false));
    EXPECT_FALSE(JsonBoolOr(object, "missing", false));
}

}  // namespace
