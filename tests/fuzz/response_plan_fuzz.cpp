// Every plan keeps its body within the file and says so in its headers.
// Input: a flag byte, 4 bytes of file size, then the Range value.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "content/response_plan.h"

namespace {

bool HasLine(const ResponsePlan& plan, const std::string& line) {
    for (const std::string& header : plan.headers)
        if (header == line) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const bool exists = data[0] & 1;
    const bool withRange = data[0] & 2;
    uint32_t fileSize;
    std::memcpy(&fileSize, data + 1, 4);
    const std::string value(reinterpret_cast<const char*>(data + 5), size - 5);
    const std::optional<std::string> range = withRange ? std::optional<std::string>(value) : std::nullopt;
    const ResponsePlan plan = PlanResponse(exists, "media/clip.mp4", fileSize, range);

    if (plan.headers.empty() || plan.headers[0] != "Cache-Control: no-store") std::abort();
    if (JoinHeaders(plan.headers).find("\n\n") != std::string::npos) std::abort();
    switch (plan.body) {
        case ResponseBody::NotFoundText:
            if (exists || plan.status != 404 || plan.headers.size() != 1 || plan.length != 14) std::abort();
            return 0;
        case ResponseBody::None:
            if (plan.status != 416 || plan.length != 0 || plan.headers.size() != 3) std::abort();
            return 0;
        case ResponseBody::WholeFile:
            if (plan.first != 0 || plan.length != fileSize) std::abort();
            break;
        case ResponseBody::FileSlice:
            if (plan.length == 0 || plan.length > kMaxPartialLength || plan.length >= fileSize) std::abort();
            if (plan.first > fileSize - plan.length) std::abort();
            break;
    }
    if (!HasLine(plan, "Content-Length: " + std::to_string(plan.length))) std::abort();
    if (plan.status == 206) {
        const std::string contentRange = "Content-Range: bytes " + std::to_string(plan.first) + "-" +
                                         std::to_string(plan.first + plan.length - 1) + "/" +
                                         std::to_string(fileSize);
        if (!HasLine(plan, contentRange) || plan.headers.size() != 5) std::abort();
    } else if (plan.status != 200 || withRange || plan.headers.size() != 4) {
        std::abort();
    }
    const ResponsePlan failed = BodyUnavailable(plan);
    if (failed.status != 500 || failed.body != ResponseBody::None || failed.headers != plan.headers) std::abort();
    return 0;
}
