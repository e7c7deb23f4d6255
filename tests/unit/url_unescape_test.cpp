#include "content/url_unescape.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(UnescapeUrlPath, Table) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"index.html", "index.html"},
        {"my%20page.html", "my page.html"},
        {"a+b.html", "a+b.html"},
        {"a%2Bb", "a+b"},
        {"dir%2Ffile", "dir/file"},
        {"dir%2ffile", "dir/file"},
        {"dir%5Cfile", "dir\\file"},
        {"%E2%82%AC.txt", "\xE2\x82\xAC.txt"},
        {"%e2%82%ac.txt", "\xE2\x82\xAC.txt"},
        {"%F0%9F%98%80", "\xF0\x9F\x98\x80"},
        {"caf\xC3\xA9%20x", "caf\xC3\xA9 x"},
        {"q%3Fx", "q?x"},
        {"a?b%20c#d%41", "a?b c#dA"},
        // An escaped zero ends the path.
        {"index.html%00.png", "index.html"},
        {"%00", ""},
        // Invalid escapes stay as they are.
        {"%G1", "%G1"},
        {"%1G", "%1G"},
        {"100%", "100%"},
        {"%", "%"},
        {"%4", "%4"},
        {"%%41", "%A"},
        {"%2", "%2"},
        // Ill-formed UTF-8: one U+FFFD per maximal ill-formed subsequence.
        {"%FF", kReplacement},
        {"%C3", kReplacement},
        {"%C3x", kReplacement + "x"},
        {"%C3%41", kReplacement + "A"},
        {"%E2%82", kReplacement},
        {"%E2%82%41", kReplacement + "A"},
        {"%F0%9F%98", kReplacement},
        {"%C0%AF", kReplacement + kReplacement},
        {"%ED%A0%80", kReplacement + kReplacement + kReplacement},
        {"%F4%90%80%80", kReplacement + kReplacement + kReplacement + kReplacement},
        {"%80%80", kReplacement + kReplacement},
        {"\xFF" "a", kReplacement + "a"},
        // An escaped lead byte is not completed by literal text, nor the reverse.
        {"%E2\x82\xAC", kReplacement + kReplacement + kReplacement},
        {"\xE2%82%AC", kReplacement + kReplacement + kReplacement},
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(UnescapeUrlPath(input), expected) << input;
}

TEST(UnescapeUrlPath, InputEndsAtItsFirstZeroByte) {
    EXPECT_EQ(UnescapeUrlPath(std::string("a%20b\0c%20d", 11)), "a b");
}

TEST(UnescapeUrlPath, DecodedTextUpTo2047UnitsFits) {
    const std::string fits = std::string(2044, 'a') + "%41%42%43";  // 2047 units + terminator
    EXPECT_EQ(UnescapeUrlPath(fits), std::string(2044, 'a') + "ABC");
    const std::string tooLong = std::string(2045, 'a') + "%41%42%43";
    EXPECT_EQ(UnescapeUrlPath(tooLong), tooLong);
}

TEST(UnescapeUrlPath, LengthIsCountedInUtf16Units) {
    // U+1F600 needs two UTF-16 units: 1023 of them plus one more unit is 2047.
    std::string emoji;
    for (int i = 0; i < 1023; ++i) emoji += "%F0%9F%98%80";
    EXPECT_EQ(UnescapeUrlPath(emoji + "a").size(), 1023u * 4 + 1);
    EXPECT_EQ(UnescapeUrlPath(emoji + "ab"), emoji + "ab");
    // Three UTF-8 bytes are one unit: 2047 euro signs fit.
    std::string euros;
    for (int i = 0; i < 2047; ++i) euros += "\xE2\x82\xAC";
    EXPECT_EQ(UnescapeUrlPath(euros), euros);
    EXPECT_EQ(UnescapeUrlPath(euros + "%41"), euros + "%41");
}

TEST(UnescapeUrlPath, TextAfterAnEscapedZeroStillCountsTowardsTheLimit) {
    const std::string input = "x%00" + std::string(2046, 'a');
    EXPECT_EQ(UnescapeUrlPath(input), input);
    EXPECT_EQ(UnescapeUrlPath("x%00" + std::string(2045, 'a')), "x");
}

}  // namespace
