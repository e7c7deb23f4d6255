#include "content/mime_types.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

const std::vector<std::pair<std::string, std::string>> kExpected = {
    {".html", "text/html; charset=utf-8"},
    {".htm", "text/html; charset=utf-8"},
    {".js", "application/javascript; charset=utf-8"},
    {".mjs", "application/javascript; charset=utf-8"},
    {".ts", "application/typescript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".json", "application/json; charset=utf-8"},
    {".xml", "text/xml; charset=utf-8"},
    {".csv", "text/csv; charset=utf-8"},
    {".tsv", "text/tab-separated-values; charset=utf-8"},
    {".txt", "text/plain; charset=utf-8"},
    {".md", "text/markdown; charset=utf-8"},
    {".ini", "text/plain; charset=utf-8"},
    {".wasm", "application/wasm"},
    {".wast", "application/wast"},
    {".png", "image/png"},
    {".apng", "image/apng"},
    {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},
    {".jxl", "image/jxl"},
    {".svg", "image/svg+xml"},
    {".webp", "image/webp"},
    {".gif", "image/gif"},
    {".tif", "image/tiff"},
    {".tiff", "image/tiff"},
    {".bmp", "image/bmp"},
    {".ico", "image/x-icon"},
    {".avif", "image/avif"},
    {".webm", "video/webm"},
    {".m4a", "audio/mp4"},
    {".mp3", "audio/mpeg"},
    {".mp4", "video/mp4"},
    {".mpg", "video/mpeg"},
    {".mpeg", "video/mpeg"},
    {".opus", "audio/ogg; codecs=opus"},
    {".ogg", "audio/ogg"},
    {".ogv", "video/ogg"},
    {".flac", "audio/flac"},
    {".wav", "audio/wav"},
    {".mid", "audio/midi"},
    {".midi", "audio/midi"},
    {".kar", "audio/midi"},
    {".woff", "application/font-woff"},
    {".woff2", "font/woff2"},
    {".ttf", "application/font-sfnt"},
    {".otf", "application/font-sfnt"},
    {".eot", "application/vnd.ms-fontobject"},
    {".zip", "application/zip"},
    {".pdf", "application/pdf"},
    {".scml", "text/xml"},
    {".scon", "application/json"},
};

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

TEST(MimeTypes, TableHoldsExactlyTheExpectedPairs) {
    EXPECT_EQ(MimeTypeTable.size(), kExpected.size());
    for (const auto& [extension, type] : kExpected) {
        const auto found = MimeTypeTable.find(extension);
        ASSERT_NE(found, MimeTypeTable.end()) << extension;
        EXPECT_EQ(found->second, type) << extension;
    }
}

TEST(MimeTypes, EveryExtensionIsFoundInAnyLetterCase) {
    for (const auto& [extension, type] : kExpected) {
        EXPECT_EQ(GetMimeType("dir/file" + extension), type) << extension;
        EXPECT_EQ(GetMimeType("dir/FILE" + Upper(extension)), type) << extension;
    }
}

TEST(MimeTypes, EdgeCases) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"INDEX.HTML", "text/html; charset=utf-8"},
        {"Index.Html", "text/html; charset=utf-8"},
        {"scripts/app.min.js", "application/javascript; charset=utf-8"},
        {"x.mjs", "application/javascript; charset=utf-8"},
        {"X.MJS", "application/javascript; charset=utf-8"},
        {"archive.tar.gz", "application/octet-stream"},
        {"README", "application/octet-stream"},
        {".htaccess", "application/octet-stream"},
        {"name.", "application/octet-stream"},
        {"", "application/octet-stream"},
        {"release1.2/notes", "application/octet-stream"},
        {"song.opus", "audio/ogg; codecs=opus"},
        {"font.woff", "application/font-woff"},
        {"font.woff2", "font/woff2"},
        {"scene.scml", "text/xml"},
        {"scene.scon", "application/json"},
        {"data.xml", "text/xml; charset=utf-8"},
        {"data.json", "application/json; charset=utf-8"},
        {".html", "text/html; charset=utf-8"},
        // Only A-Z fold: a non-ASCII letter in the extension does not match.
        {"page.htm\xC3\x8C", "application/octet-stream"},
    };
    for (const auto& [path, type] : cases) EXPECT_EQ(GetMimeType(path), type) << path;
}

}  // namespace
