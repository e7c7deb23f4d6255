#include "common/paths.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    const wchar_t* input;
    const wchar_t* expected;
};

class AddLongPathPrefixTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(AddLongPathPrefixTest, Converts) {
    EXPECT_EQ(AddLongPathPrefix(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddLongPathPrefixTest,
    ::testing::Values(PathCase{L"C:\\app\\www\\index.html", L"\\\\?\\C:\\app\\www\\index.html"},
                      PathCase{L"C:/app/www/a.js", L"\\\\?\\C:\\app\\www\\a.js"},
                      PathCase{L"C:\\", L"C:\\"}, PathCase{L"", L""},
                      PathCase{L"\\\\?\\C:\\x", L"\\\\?\\C:\\x"},
                      PathCase{L"\\\\?\\UNC\\srv\\share\\x", L"\\\\?\\UNC\\srv\\share\\x"},
                      PathCase{L"\\\\server\\share\\app\\package.json", L"\\\\?\\UNC\\server\\share\\app\\package.json"},
                      PathCase{L"//server/share/a", L"\\\\?\\UNC\\server\\share\\a"},
                      PathCase{L"\\\\.\\pipe\\name", L"\\\\.\\pipe\\name"}));

class StripLongPathPrefixTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(StripLongPathPrefixTest, Converts) {
    EXPECT_EQ(StripLongPathPrefix(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, StripLongPathPrefixTest,
                         ::testing::Values(PathCase{L"\\\\?\\C:\\app", L"C:\\app"}, PathCase{L"C:\\app", L"C:\\app"},
                                           PathCase{L"\\\\?\\UNC\\server\\share", L"\\\\server\\share"},
                                           PathCase{L"\\\\server\\share", L"\\\\server\\share"}, PathCase{L"", L""}));

TEST(LongPathPrefix, RoundTrips) {
    for (const wchar_t* path : {L"C:\\a\\b", L"\\\\server\\share\\c"})
        EXPECT_EQ(StripLongPathPrefix(AddLongPathPrefix(path)), path);
}

}  // namespace
