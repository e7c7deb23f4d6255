#include "content/content_server_win.h"

#include <shlwapi.h>

#include <algorithm>

#include "common/adopt_win.h"
#include "common/file_size.h"
#include "common/paths.h"
#include "common/strings.h"
#include "content/mapped_view_stream_win.h"
#include "content/request_path.h"
#include "content/response_plan.h"

using Microsoft::WRL::ComPtr;

namespace {

std::wstring LongPath(const std::string& path) { return AddLongPathPrefix(Utf8ToWide(path)); }

ComPtr<IStream> FileStream(const std::string& filePath) {
    ComPtr<IStream> stream;
    SHCreateStreamOnFileEx(LongPath(filePath).c_str(), STGM_READ, 0, FALSE, nullptr, &stream);
    return stream;
}

ComPtr<IStream> MemoryStream(const void* bytes, uint32_t length) {
    return Adopt(SHCreateMemStream(static_cast<const BYTE*>(bytes), length));
}

}  // namespace

// What the file system says about a request's file, or what the cache knows.
struct ContentServer::FileFacts {
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    uint32_t size = 0;
    std::shared_ptr<MappedFile> mapped;

    bool exists() const { return attributes != INVALID_FILE_ATTRIBUTES; }
};

ContentServer::ContentServer(std::string contentRoot, size_t originLength)
    : contentRoot_(std::move(contentRoot)), originLength_(originLength) {}

ContentResponse ContentServer::Serve(const std::string& uri,
                                     const std::function<std::optional<std::string>()>& rangeHeader) {
    // A path that would leave the content root is answered like a missing file.
    const std::optional<std::string> requestPath = RequestPathFromUri(uri, originLength_);
    const std::string filePath = requestPath ? FilePathFor(contentRoot_, *requestPath) : std::string();
    ++requestCount_;
    FileFacts facts = LookUp(requestPath, filePath);
    ResponsePlan plan = PlanResponse(facts.exists(), requestPath.value_or(""), facts.size,
                                     facts.exists() ? rangeHeader() : std::nullopt);

    ComPtr<IStream> body;
    switch (plan.body) {
    case ResponseBody::None:
        break;
    case ResponseBody::NotFoundText:
        body = MemoryStream(kNotFoundBody, plan.length);
        break;
    case ResponseBody::WholeFile:
        body = FileStream(filePath);
        // A file that cannot be opened (another program holds it exclusively, or
        // it vanished just now) is not a success without its body. A folder has
        // no body and keeps its 200.
        if (!body && !(facts.attributes & FILE_ATTRIBUTE_DIRECTORY)) plan = BodyUnavailable(std::move(plan));
        break;
    case ResponseBody::FileSlice:
        body = SliceStream(*requestPath, filePath, std::move(facts.mapped), plan.first, plan.length);
        if (!body) plan = BodyUnavailable(std::move(plan));
        break;
    }
    return {plan.status, std::move(plan.reason), JoinHeaders(plan.headers), std::move(body)};
}

// A file in the cache is held open with read sharing only, so it exists and
// keeps the size it was mapped with: its view answers both questions without
// asking the file system again.
ContentServer::FileFacts ContentServer::LookUp(const std::optional<std::string>& requestPath,
                                               const std::string& filePath) const {
    FileFacts facts;
    if (!requestPath) return facts;
    const auto cached = mappedFiles_.find(*requestPath);
    if (cached != mappedFiles_.end()) {
        facts.attributes = FILE_ATTRIBUTE_NORMAL;
        facts.mapped = cached->second;
        facts.size = facts.mapped->length;
        return facts;
    }
    facts.attributes = GetFileAttributesW(LongPath(filePath).c_str());
    if (facts.exists()) facts.size = FileSize(filePath);
    return facts;
}

ComPtr<IStream> ContentServer::SliceStream(const std::string& requestPath, const std::string& filePath,
                                           std::shared_ptr<MappedFile> mapped, uint32_t first, uint32_t length) {
    if (!mapped) mapped = MapFileView(requestPath, filePath);
    // The file may have shrunk between its size check and its mapping.
    if (!mapped || static_cast<uint64_t>(first) + length > mapped->length) return nullptr;
    mapped->lastUse = requestCount_;
    return MakeMappedViewStream(std::move(mapped), first, length);
}

std::shared_ptr<MappedFile> ContentServer::MapFileView(const std::string& requestPath, const std::string& filePath) {
    const auto cached = mappedFiles_.find(requestPath);
    if (cached != mappedFiles_.end()) return cached->second;
    bool noRoom = false;
    std::shared_ptr<MappedFile> mapped = MapWholeFile(filePath, noRoom);
    // When the address space is full, views of other files give way, least
    // recently used first, rather than this request failing.
    while (!mapped && noRoom && !mappedFiles_.empty()) {
        const auto oldest = std::min_element(mappedFiles_.begin(), mappedFiles_.end(), [](const auto& a, const auto& b) {
            return a.second->lastUse < b.second->lastUse;
        });
        mappedFiles_.erase(oldest);
        mapped = MapWholeFile(filePath, noRoom);
    }
    if (mapped) mappedFiles_.emplace(requestPath, mapped);
    return mapped;
}

void ContentServer::ReleaseMappedFiles() {
    // Each record unmaps its view, then closes the mapping, then the file.
    mappedFiles_.clear();
}
