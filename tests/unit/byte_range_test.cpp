#include "content/byte_range.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct RangeCase {
    std::string value;
    uint32_t size;
    bool satisfiable;
    uint32_t first;
    uint32_t last;
};

const RangeCase kRange[] = {
    // The three forms.
    {"bytes=100-199", 1000, true, 100, 199},
    {"bytes=0-999", 1000, true, 0, 999},
    {"bytes=0-", 1000, true, 0, 999},
    {"bytes=999-", 1000, true, 999, 999},
    {"bytes=-1000", 1000, true, 0, 999},
    {"bytes=-1", 1000, true, 999, 999},
    {"bytes=0-0", 1000, true, 0, 0},
    {"bytes=0-", 1, true, 0, 0},
    // Outside the file, reversed, wrong unit, no dash.
    {"bytes=0-1000", 1000, false, 0, 0},
    {"bytes=500-100", 1000, false, 0, 0},
    {"bytes=1000-", 1000, false, 0, 0},
    {"bytes=-1001", 1000, false, 0, 0},
    {"Bytes=0-1", 1000, false, 0, 0},
    {"items=0-1", 1000, false, 0, 0},
    {"bytes=5", 1000, false, 0, 0},
    {"", 1000, false, 0, 0},
    {"bytes", 1000, false, 0, 0},
    {"bytes=", 1000, false, 0, 0},
    {"bytes=0-0", 0, false, 0, 0},
    {"bytes=0-", 0, false, 0, 0},
    // strtol reading: white space and sign before, anything after the digits.
    {"bytes= 100-199", 1000, true, 100, 199},
    {"bytes=100- 199", 1000, true, 100, 199},
    {"bytes=\t\n\v\f\r100-199", 1000, true, 100, 199},
    {"bytes=+100-+199", 1000, true, 100, 199},
    {"bytes=100 -199", 1000, true, 100, 199},
    {"bytes=0-99,200-299", 1000, true, 0, 99},
    {"bytes=0-99abc", 1000, true, 0, 99},
    {"bytes=0x10-", 1000, true, 0, 999},
    {"bytes=007-010", 1000, true, 7, 10},
    {"bytes=-5-", 1000, true, 995, 999},
    // A negative number is a huge unsigned one.
    {"bytes=0--5", 1000, false, 0, 0},
    {"bytes=--5", 1000, false, 0, 0},
    {"bytes=-2147483648", 1000, false, 0, 0},
    // Missing, non-decimal or oversized numbers give no range.
    {"bytes=abc-", 1000, false, 0, 0},
    {"bytes=-", 1000, false, 0, 0},
    {"bytes=-abc", 1000, false, 0, 0},
    {"bytes=0-abc", 1000, false, 0, 0},
    {"bytes=abc-5", 1000, false, 0, 0},
    {"bytes=+-5", 1000, false, 0, 0},
    {"bytes= -", 1000, false, 0, 0},
    {"bytes=99999999999-", 1000, false, 0, 0},
    {"bytes=2147483648-", 4294967295u, false, 0, 0},
    {"bytes=0-4294967296", 1000, false, 0, 0},
    {"bytes=-99999999999", 1000, false, 0, 0},
    {"bytes=2147483647-", 4294967295u, true, 2147483647u, 4294967294u},
    // A suffix of nothing asks for no bytes.
    {"bytes=-0", 1000, false, 0, 0},
    {"bytes=--0", 1000, false, 0, 0},
};

TEST(ParseByteRange, Table) {
    for (const RangeCase& c : kRange) {
        const auto range = ParseByteRange(c.value, c.size);
        ASSERT_EQ(range.has_value(), c.satisfiable) << c.value << " of " << c.size;
        if (!range) continue;
        EXPECT_EQ(range->first, c.first) << c.value;
        EXPECT_EQ(range->last, c.last) << c.value;
    }
}

TEST(ParseByteRange, UnitIsComparedBeforeTrimming) {
    EXPECT_FALSE(ParseByteRange(" bytes=0-1", 1000));
}

TEST(TrimWhiteSpace, RemovesTheCLibraryClassAtBothEnds) {
    EXPECT_EQ(TrimWhiteSpace(" \t\n\v\f\rbytes=1-2 \t\n\v\f\r"), "bytes=1-2");
    EXPECT_EQ(TrimWhiteSpace("  a b  "), "a b");
    EXPECT_EQ(TrimWhiteSpace(" \t "), "");
    EXPECT_EQ(TrimWhiteSpace(""), "");
    EXPECT_EQ(TrimWhiteSpace("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");
}

}  // namespace
