#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the body of a response is made of.
enum class ResponseBody {
    None,          // no content at all
    WholeFile,     // a stream over the whole file
    FileSlice,     // `length` bytes from `first`, read from the mapped file
    NotFoundText,  // kNotFoundBody
};

// Everything the request handler decides; the shell only carries it out.
struct ResponsePlan {
    int status;
    std::string reason;
    std::vector<std::string> headers;  // "Name: value" lines in order
    ResponseBody body;
    uint32_t first;   // FileSlice: offset of the first byte
    uint32_t length;  // bytes of the body (0 for None)
};

extern const char kNotFoundBody[];  // "File not found", sent without a terminator

// Longest body of a partial (206) answer that is cut from the file; a longer
// range is answered with its first kMaxPartialLength bytes.
constexpr uint32_t kMaxPartialLength = 4u << 20;

// exists: the file path passed the existence test (folders pass too).
// rangeHeader: the raw Range value when the request carries that header.
ResponsePlan PlanResponse(bool exists, const std::string& requestPath, uint32_t size,
                          const std::optional<std::string>& rangeHeader);

// The planned body cannot be read (the file cannot be opened, or its slice
// cannot be mapped): 500, same headers, no body.
ResponsePlan BodyUnavailable(ResponsePlan plan);

// Header lines joined by a single "\n", none after the last.
std::string JoinHeaders(const std::vector<std::string>& lines);
