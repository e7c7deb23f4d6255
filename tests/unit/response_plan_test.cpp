#include "content/response_plan.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Lines = std::vector<std::string>;

const std::string kNoStore = "Cache-Control: no-store";
const std::string kAccept = "Accept-Ranges: bytes";

struct PlanCase {
    std::optional<std::string> range;
    uint32_t size;
    int status;
    Lines extraHeaders;  // after the three common lines
    ResponseBody body;
    uint32_t first;
    uint32_t length;
};

// All on "movie.mp4", which exists.
const PlanCase kPlans[] = {
    {std::nullopt, 1000, 200, {"Content-Length: 1000"}, ResponseBody::WholeFile, 0, 1000},
    {std::nullopt, 0, 200, {"Content-Length: 0"}, ResponseBody::WholeFile, 0, 0},
    {"bytes=100-199", 1000, 206, {"Content-Range: bytes 100-199/1000", "Content-Length: 100"},
     ResponseBody::FileSlice, 100, 100},
    {"  bytes=100-199\t", 1000, 206, {"Content-Range: bytes 100-199/1000", "Content-Length: 100"},
     ResponseBody::FileSlice, 100, 100},
    {"bytes=0-999", 1000, 206, {"Content-Range: bytes 0-999/1000", "Content-Length: 1000"}, ResponseBody::WholeFile,
     0, 1000},
    {"bytes=0-", 1000, 206, {"Content-Range: bytes 0-999/1000", "Content-Length: 1000"}, ResponseBody::WholeFile, 0,
     1000},
    {"bytes=-1000", 1000, 206, {"Content-Range: bytes 0-999/1000", "Content-Length: 1000"}, ResponseBody::WholeFile,
     0, 1000},
    {"bytes=0-0", 1000, 206, {"Content-Range: bytes 0-0/1000", "Content-Length: 1"}, ResponseBody::FileSlice, 0, 1},
    {"bytes=0-", 1, 206, {"Content-Range: bytes 0-0/1", "Content-Length: 1"}, ResponseBody::WholeFile, 0, 1},
    {"bytes=999-", 1000, 206, {"Content-Range: bytes 999-999/1000", "Content-Length: 1"}, ResponseBody::FileSlice,
     999, 1},
    {"bytes=0-99,200-299", 1000, 206, {"Content-Range: bytes 0-99/1000", "Content-Length: 100"},
     ResponseBody::FileSlice, 0, 100},
    {"bytes=0-1000", 1000, 416, {}, ResponseBody::None, 0, 0},
    {"bytes=500-100", 1000, 416, {}, ResponseBody::None, 0, 0},
    {"bytes=1000-", 1000, 416, {}, ResponseBody::None, 0, 0},
    {"bytes=-1001", 1000, 416, {}, ResponseBody::None, 0, 0},
    {"Bytes=0-1", 1000, 416, {}, ResponseBody::None, 0, 0},
    {"items=0-1", 1000, 416, {}, ResponseBody::None, 0, 0},
    {"bytes=5", 1000, 416, {}, ResponseBody::None, 0, 0},
    {"", 1000, 416, {}, ResponseBody::None, 0, 0},
    {"bytes=-0", 1000, 416, {}, ResponseBody::None, 0, 0},
    {"bytes=abc-", 1000, 416, {}, ResponseBody::None, 0, 0},
    {"bytes=0-", 0, 416, {}, ResponseBody::None, 0, 0},
    // Answers are cut at 4 MiB, a media element's first "bytes=0-" included;
    // only the whole of a file up to 4 MiB is streamed whole.
    {"bytes=0-", 10000000, 206, {"Content-Range: bytes 0-4194303/10000000", "Content-Length: 4194304"},
     ResponseBody::FileSlice, 0, 4194304},
    {"bytes=0-", 4194304, 206, {"Content-Range: bytes 0-4194303/4194304", "Content-Length: 4194304"},
     ResponseBody::WholeFile, 0, 4194304},
    {"bytes=1-", 10000000, 206, {"Content-Range: bytes 1-4194304/10000000", "Content-Length: 4194304"},
     ResponseBody::FileSlice, 1, 4194304},
    {"bytes=0-4194303", 10000000, 206, {"Content-Range: bytes 0-4194303/10000000", "Content-Length: 4194304"},
     ResponseBody::FileSlice, 0, 4194304},
    {"bytes=0-4194304", 10000000, 206, {"Content-Range: bytes 0-4194303/10000000", "Content-Length: 4194304"},
     ResponseBody::FileSlice, 0, 4194304},
    {"bytes=-5000000", 10000000, 206, {"Content-Range: bytes 5000000-9194303/10000000", "Content-Length: 4194304"},
     ResponseBody::FileSlice, 5000000, 4194304},
    {"bytes=1-", 4194305, 206, {"Content-Range: bytes 1-4194304/4194305", "Content-Length: 4194304"},
     ResponseBody::FileSlice, 1, 4194304},
    {"bytes=2147483646-", 2147483647, 206, {"Content-Range: bytes 2147483646-2147483646/2147483647",
     "Content-Length: 1"}, ResponseBody::FileSlice, 2147483646, 1},
    {"bytes=0-", 4294967295u, 206, {"Content-Range: bytes 0-4194303/4294967295", "Content-Length: 4194304"},
     ResponseBody::FileSlice, 0, 4194304},
};

TEST(PlanResponse, Table) {
    for (const PlanCase& c : kPlans) {
        const ResponsePlan plan = PlanResponse(true, "media/movie.mp4", c.size, c.range);
        const std::string label = c.range.value_or("(no Range)") + " of " + std::to_string(c.size);
        Lines headers = {kNoStore, "Content-Type: video/mp4", kAccept};
        headers.insert(headers.end(), c.extraHeaders.begin(), c.extraHeaders.end());
        EXPECT_EQ(plan.status, c.status) << label;
        EXPECT_EQ(plan.headers, headers) << label;
        EXPECT_EQ(plan.body, c.body) << label;
        EXPECT_EQ(plan.first, c.first) << label;
        EXPECT_EQ(plan.length, c.length) << label;
    }
}

TEST(PlanResponse, ReasonPhrases) {
    EXPECT_EQ(PlanResponse(true, "a.txt", 10, std::nullopt).reason, "OK");
    EXPECT_EQ(PlanResponse(true, "a.txt", 10, "bytes=1-2").reason, "Partial Content");
    EXPECT_EQ(PlanResponse(true, "a.txt", 10, "bytes=0-").reason, "Partial Content");
    EXPECT_EQ(PlanResponse(true, "a.txt", 10, "bytes=9-1").reason, "Range Not Satisfiable");
    EXPECT_EQ(PlanResponse(false, "a.txt", 10, std::nullopt).reason, "Not Found");
}

TEST(PlanResponse, WorkedExampleHeaderBlock) {
    const ResponsePlan plan = PlanResponse(true, "clip.mp4", 1000, "bytes=100-199");
    EXPECT_EQ(JoinHeaders(plan.headers),
              "Cache-Control: no-store\nContent-Type: video/mp4\nAccept-Ranges: bytes\n"
              "Content-Range: bytes 100-199/1000\nContent-Length: 100");
}

TEST(PlanResponse, MissingFileIsNotFoundWithOneHeaderWhateverTheRange) {
    for (const std::optional<std::string>& range : {std::optional<std::string>(), std::optional<std::string>("bytes=0-1")}) {
        const ResponsePlan plan = PlanResponse(false, "index.html", 1000, range);
        EXPECT_EQ(plan.status, 404);
        EXPECT_EQ(plan.headers, Lines{kNoStore});
        EXPECT_EQ(plan.body, ResponseBody::NotFoundText);
        EXPECT_EQ(plan.length, 14u);
        EXPECT_EQ(std::string(kNotFoundBody, plan.length), "File not found");
    }
}

TEST(PlanResponse, BareOriginIsAnUntypedWholeFile) {
    const ResponsePlan plan = PlanResponse(true, "", 0, std::nullopt);
    EXPECT_EQ(plan.status, 200);
    EXPECT_EQ(plan.headers, (Lines{kNoStore, "Content-Type: application/octet-stream", kAccept, "Content-Length: 0"}));
}

TEST(BodyUnavailable, KeepsTheHeadersAndDropsTheBody) {
    const ResponsePlan plan = BodyUnavailable(PlanResponse(true, "clip.mp4", 1000, "bytes=100-199"));
    EXPECT_EQ(plan.status, 500);
    EXPECT_EQ(plan.reason, "Internal Server Error");
    EXPECT_EQ(plan.headers.size(), 5u);
    EXPECT_EQ(plan.headers[3], "Content-Range: bytes 100-199/1000");
    EXPECT_EQ(plan.body, ResponseBody::None);
    EXPECT_EQ(plan.length, 0u);
}

TEST(JoinHeaders, SingleLineFeedsAndNoneAtTheEnd) {
    EXPECT_EQ(JoinHeaders({}), "");
    EXPECT_EQ(JoinHeaders({"A: 1"}), "A: 1");
    EXPECT_EQ(JoinHeaders({"A: 1", "B: 2", "C: 3"}), "A: 1\nB: 2\nC: 3");
    EXPECT_EQ(JoinHeaders({"", "B: 2"}), "\nB: 2");
}

}  // namespace
