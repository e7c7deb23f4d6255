#include <shlwapi.h>

#include <algorithm>

#include "common/adopt_win.h"
#include "common/file_size.h"
#include "common/paths.h"
#include "common/co_task_string_win.h"
#include "common/strings.h"
#include "content/response_plan.h"
#include "content/mapped_view_stream_win.h"
#include "content/request_path.h"
#include "webview/app_webview_win.h"

using Microsoft::WRL::ComPtr;

namespace {

std::wstring LongPath(const std::string& path) { return AddLongPathPrefix(Utf8ToWide(path)); }

// The Range value when the request carries one.
std::optional<std::string> RangeHeader(ICoreWebView2HttpRequestHeaders* headers) {
    BOOL contains = FALSE;
    if (!headers || FAILED(headers->Contains(L"Range", &contains)) || !contains) return std::nullopt;
    LPWSTR value = nullptr;
    headers->GetHeader(L"Range", &value);
    return TakeCoTaskString(value);
}

ComPtr<IStream> FileStream(const std::string& filePath) {
    ComPtr<IStream> stream;
    SHCreateStreamOnFileEx(LongPath(filePath).c_str(), STGM_READ, 0, FALSE, nullptr, &stream);
    return stream;
}

ComPtr<IStream> MemoryStream(const void* bytes, uint32_t length) {
    return Adopt(SHCreateMemStream(static_cast<const BYTE*>(bytes), length));
}

}  // namespace

HRESULT AppWebView::ServeWebResource(ICoreWebView2WebResourceRequestedEventArgs* args) {
    ComPtr<ICoreWebView2WebResourceRequest> request;
    args->get_Request(&request);
    if (!request) return S_OK;
    LPWSTR uri = nullptr;
    request->get_Uri(&uri);
    ComPtr<ICoreWebView2HttpRequestHeaders> headers;
    request->get_Headers(&headers);

    // A path that would leave the content root is answered like a missing file.
    const std::optional<std::string> requestPath = RequestPathFromUri(TakeCoTaskString(uri), originPrefix.size());
    const std::string filePath = requestPath ? FilePathFor(exeFolder + contentFolder, *requestPath) : std::string();
    ++requestCount;
    // A file in the cache is held open with read sharing only, so it exists and
    // keeps the size it was mapped with: its view answers both questions
    // without asking the file system again.
    const auto cached = requestPath ? mappedFiles.find(*requestPath) : mappedFiles.end();
    std::shared_ptr<MappedFile> mapped = cached != mappedFiles.end() ? cached->second : nullptr;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    uint32_t size = 0;
    if (mapped) {
        size = mapped->length;
    } else {
        attributes = requestPath ? GetFileAttributesW(LongPath(filePath).c_str()) : INVALID_FILE_ATTRIBUTES;
        size = attributes != INVALID_FILE_ATTRIBUTES ? FileSize(filePath) : 0;
    }
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    ResponsePlan plan = PlanResponse(exists, requestPath.value_or(""), size, exists ? RangeHeader(headers.Get())
                                                                                     : std::nullopt);

    ComPtr<IStream> content;
    switch (plan.body) {
    case ResponseBody::None:
        break;
    case ResponseBody::NotFoundText:
        content = MemoryStream(kNotFoundBody, plan.length);
        break;
    case ResponseBody::WholeFile:
        content = FileStream(filePath);
        // A file that cannot be opened (another program holds it exclusively, or
        // it vanished just now) is answered like a slice that cannot be cut, not
        // as a success without its body. A folder has no body and keeps its 200.
        if (!content && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) plan = MappingFailed(std::move(plan));
        break;
    case ResponseBody::FileSlice:
        if (!mapped) mapped = MapFileView(*requestPath, filePath);
        // The file may have shrunk between its size check and its mapping.
        if (!mapped || static_cast<uint64_t>(plan.first) + plan.length > mapped->length) {
            plan = MappingFailed(std::move(plan));
        } else {
            mapped->lastUse = requestCount;
            content = MakeMappedViewStream(std::move(mapped), plan.first, plan.length);
        }
        break;
    }

    ComPtr<ICoreWebView2WebResourceResponse> response;
    environment->CreateWebResourceResponse(content.Get(), plan.status, Utf8ToWide(plan.reason).c_str(),
                                           Utf8ToWide(JoinHeaders(plan.headers)).c_str(), &response);
    args->put_Response(response.Get());
    return S_OK;
}

std::shared_ptr<MappedFile> AppWebView::MapFileView(const std::string& requestPath, const std::string& filePath) {
    const auto cached = mappedFiles.find(requestPath);
    if (cached != mappedFiles.end()) return cached->second;
    bool noRoom = false;
    std::shared_ptr<MappedFile> mapped = MapWholeFile(filePath, noRoom);
    // When the address space is full, views of other files give way, least
    // recently used first, rather than this request failing.
    while (!mapped && noRoom && !mappedFiles.empty()) {
        const auto oldest = std::min_element(mappedFiles.begin(), mappedFiles.end(), [](const auto& a, const auto& b) {
            return a.second->lastUse < b.second->lastUse;
        });
        mappedFiles.erase(oldest);
        mapped = MapWholeFile(filePath, noRoom);
    }
    if (mapped) mappedFiles.emplace(requestPath, mapped);
    return mapped;
}
