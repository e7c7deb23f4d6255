#include "content/response_plan.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "content/byte_range.h"
#include "content/mime_types.h"

const char kNotFoundBody[] = "File not found";

namespace {

const char kNoStore[] = "Cache-Control: no-store";

}  // namespace

ResponsePlan PlanResponse(bool exists, const std::string& requestPath, uint32_t size,
                          const std::optional<std::string>& rangeHeader) {
    if (!exists)
        return {404, "Not Found", {kNoStore}, ResponseBody::NotFoundText, 0,
                static_cast<uint32_t>(std::strlen(kNotFoundBody))};

    std::vector<std::string> headers = {kNoStore, "Content-Type: " + GetMimeType(requestPath), "Accept-Ranges: bytes"};
    if (!rangeHeader) {
        headers.push_back("Content-Length: " + std::to_string(size));
        return {200, "OK", std::move(headers), ResponseBody::WholeFile, 0, size};
    }

    const auto range = ParseByteRange(TrimWhiteSpace(*rangeHeader), size);
    if (!range) return {416, "Range Not Satisfiable", std::move(headers), ResponseBody::None, 0, 0};

    // The web view reads any answer whole into this 32-bit process, so one
    // answer carries at most kMaxPartialLength bytes and the page asks on for
    // the rest. A range that is the whole of a smaller file is streamed from
    // disk rather than mapped.
    const uint32_t length = std::min(range->last - range->first + 1, kMaxPartialLength);
    const bool wholeFile = range->first == 0 && length == size;
    const uint32_t last = range->first + (length - 1);
    headers.push_back("Content-Range: bytes " + std::to_string(range->first) + "-" + std::to_string(last) + "/" +
                      std::to_string(size));
    headers.push_back("Content-Length: " + std::to_string(length));
    return {206, "Partial Content", std::move(headers), wholeFile ? ResponseBody::WholeFile : ResponseBody::FileSlice,
            range->first, length};
}

ResponsePlan BodyUnavailable(ResponsePlan plan) {
    plan.status = 500;
    plan.reason = "Internal Server Error";
    plan.body = ResponseBody::None;
    plan.first = 0;
    plan.length = 0;
    return plan;
}

std::string JoinHeaders(const std::vector<std::string>& lines) {
    std::string block;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) block += '\n';
        block += lines[i];
    }
    return block;
}
