#include <shlwapi.h>

#include "common/adopt_win.h"
#include "common/file_size.h"
#include "common/paths.h"
#include "common/co_task_string_win.h"
#include "common/strings.h"
#include "content/response_plan.h"
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
    const DWORD attributes = requestPath ? GetFileAttributesW(LongPath(filePath).c_str()) : INVALID_FILE_ATTRIBUTES;
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    const uint32_t size = exists ? FileSize(filePath) : 0;
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
    case ResponseBody::FileSlice: {
        uint32_t viewLength = 0;
        const uint8_t* view = MapFileView(*requestPath, filePath, viewLength);
        const uint64_t end = static_cast<uint64_t>(plan.first) + plan.length;
        if (view && end > viewLength) {
            // The file grew after it was mapped: map it afresh, never read past a view.
            mappedFiles.erase(*requestPath);
            view = MapFileView(*requestPath, filePath, viewLength);
        }
        if (!view || end > viewLength) plan = MappingFailed(std::move(plan));
        else content = MemoryStream(view + plan.first, plan.length);
        break;
    }
    }

    ComPtr<ICoreWebView2WebResourceResponse> response;
    environment->CreateWebResourceResponse(content.Get(), plan.status, Utf8ToWide(plan.reason).c_str(),
                                           Utf8ToWide(JoinHeaders(plan.headers)).c_str(), &response);
    args->put_Response(response.Get());
    return S_OK;
}

const uint8_t* AppWebView::MapFileView(const std::string& requestPath, const std::string& filePath, uint32_t& length) {
    const auto cached = mappedFiles.find(requestPath);
    if (cached != mappedFiles.end()) {
        length = cached->second.length;
        return static_cast<const uint8_t*>(cached->second.view.get());
    }
    MappedFile mapped;
    mapped.file.reset(CreateFileW(LongPath(filePath).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!mapped.file) return nullptr;
    LARGE_INTEGER fileSize{};
    // Views are limited to the 32-bit size model of the server.
    if (!GetFileSizeEx(mapped.file.get(), &fileSize) || fileSize.QuadPart <= 0 || fileSize.QuadPart > 0x7FFFFFFF)
        return nullptr;
    mapped.mapping.reset(CreateFileMappingW(mapped.file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapped.mapping) return nullptr;
    mapped.view.reset(MapViewOfFile(mapped.mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!mapped.view) return nullptr;
    mapped.length = static_cast<uint32_t>(fileSize.QuadPart);
    length = mapped.length;
    const uint8_t* view = static_cast<const uint8_t*>(mapped.view.get());
    mappedFiles.emplace(requestPath, std::move(mapped));
    return view;
}
