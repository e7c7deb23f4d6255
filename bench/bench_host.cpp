#include "bench_host.h"

#include <cstring>

#include "common/strings.h"
#include "measure.h"
#include "webview/app_webview_win.h"

namespace {

// The web view reads response streams in pieces of this size.
constexpr size_t kReadPiece = 64 * 1024;

// Serve, with what AppWebView adds to every request around it: the URI and
// the Range value from UTF-16, the reason and the header block to UTF-16 for
// the runtime's response.
template <class Sink>
int ServeInto(ContentServer& content, const BenchRequest& request, std::vector<char>& buffer, Sink sink) {
    const ContentResponse answer = content.Serve(WideToUtf8(request.uri), [&request]() -> std::optional<std::string> {
        if (!request.range) return std::nullopt;
        return WideToUtf8(*request.range);
    });
    if (Utf8ToWide(answer.reason).empty() || Utf8ToWide(answer.headers).empty())
        Fail("an answer came without reason or headers");
    if (IStream* stream = answer.body.Get()) {
        for (;;) {
            ULONG read = 0;
            const HRESULT hr = stream->Read(buffer.data(), static_cast<ULONG>(buffer.size()), &read);
            sink(buffer.data(), read);
            if (hr != S_OK || read == 0) break;
        }
    }
    return answer.status;
}

}  // namespace

BenchHost::BenchHost(const std::string& dataFolder, const std::string& extensionFolder)
    : extensionFolders_{extensionFolder, "www\\", "", ""},
      extension_(extensionFolder.empty() ? nullptr : std::make_unique<ExtensionHost>()),
      content_(dataFolder + "www\\", std::strlen(kVirtualOrigin)),
      bridge_([this](const std::string& json) { PostToPage(json); }, window_, extension_.get()),
      buffer_(kReadPiece) {
    if (!extension_) return;
    g_extensionHost = extension_.get();
    if (!LoadExtensionLibrary(extensionFolders_)) Fail("the example extension did not initialise");
    ConnectExtensionHost(bridge_, nullptr);
}

BenchHost::~BenchHost() {
    if (!extension_) return;
    ReleaseExtensionLibrary();
    DestroyExtensionHost(std::move(extension_));
}

// As AppWebView posts: the text goes to the web view in UTF-16, and one that
// converts to nothing never reaches the page.
void BenchHost::PostToPage(const std::string& json) {
    if (!Utf8ToWide(json).empty()) ++posts_;
}

int BenchHost::Serve(const BenchRequest& request, uint64_t& bodyBytes) {
    bodyBytes = 0;
    return ServeInto(content_, request, buffer_, [&](const char*, ULONG read) { bodyBytes += read; });
}

int BenchHost::Serve(const BenchRequest& request, std::string& body) {
    body.clear();
    return ServeInto(content_, request, buffer_, [&](const char* bytes, ULONG read) { body.append(bytes, read); });
}

std::wstring ContentUri(const std::string& requestPath) { return Utf8ToWide(kVirtualOrigin + requestPath); }

BenchRequest MakeRequest(const std::string& requestPath, std::optional<std::string> range) {
    std::optional<std::wstring> header;
    if (range) header = Utf8ToWide(*range);
    return {ContentUri(requestPath), std::move(header)};
}
