#include "bench_host.h"

#include "bridge/extension_host_win.h"
#include "common/strings.h"
#include "measure.h"

using Microsoft::WRL::ComPtr;

namespace {

// The web view reads response streams in pieces of this size.
constexpr size_t kReadPiece = 64 * 1024;

template <class Sink>
int ServeInto(AppWebView& app, FakeRequestArgs& args, std::vector<char>& buffer, Sink sink) {
    app.ServeWebResource(&args);
    const ComPtr<FakeResponse> response = args.TakeResponse();
    if (!response) return 0;
    if (IStream* stream = response->content()) {
        for (;;) {
            ULONG read = 0;
            const HRESULT hr = stream->Read(buffer.data(), static_cast<ULONG>(buffer.size()), &read);
            sink(buffer.data(), read);
            if (hr != S_OK || read == 0) break;
        }
    }
    return response->status();
}

}  // namespace

BenchHost::BenchHost(const std::string& exeFolder, ExtensionHost* extensionHost)
    : environment_(MakeFake<FakeEnvironment>()), webView_(MakeFake<CountingWebView>()), buffer_(kReadPiece) {
    ParseManifest(R"({"name":"QuillframeBench"})", manifest_);
    app_ = std::make_unique<AppWebView>(manifest_, nullptr, exeFolder, "www\\", nullptr, "", extensionHost, nullptr);
    app_->environment = environment_;
    app_->webView = webView_;
}

int BenchHost::Serve(FakeRequestArgs& args, uint64_t& bodyBytes) {
    bodyBytes = 0;
    return ServeInto(*app_, args, buffer_, [&](const char*, ULONG read) { bodyBytes += read; });
}

int BenchHost::Serve(FakeRequestArgs& args, std::string& body) {
    body.clear();
    return ServeInto(*app_, args, buffer_, [&](const char* bytes, ULONG read) { body.append(bytes, read); });
}

void LoadExampleExtension(ExtensionHost& record, const std::string& extensionFolder) {
    record.exeFolder = extensionFolder;
    record.contentFolder = "www\\";
    g_extensionHost = &record;
    if (!LoadExtensionLibrary()) Fail("the example extension did not initialise");
}

std::wstring ContentUri(const std::string& requestPath) { return Utf8ToWide(kVirtualOrigin + requestPath); }

ComPtr<FakeRequestArgs> MakeRequest(const std::string& requestPath, std::optional<std::string> range) {
    std::optional<std::wstring> header;
    if (range) header = Utf8ToWide(*range);
    return MakeFake<FakeRequestArgs>(ContentUri(requestPath), std::move(header));
}
