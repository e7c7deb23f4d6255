// Checks the host's own COM objects: the environment options object (defaults, copies, null
// out-pointers, the interfaces it answers), the generic event handler (forwarding, QueryInterface,
// reference counting) and the stream over a mapped content file (reads, seeks, clones, and the view
// outliving the cache). Prints each failure and exits with 1 when there is any.

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <wrl/client.h>

#include "common/strings.h"
#include "content/mapped_view_stream_win.h"
#include "webview/environment_options_win.h"
#include "webview/handler_win.h"

using Microsoft::WRL::ComPtr;

namespace {

int g_checks = 0;
int g_failures = 0;

void Expect(bool condition, const char* what) {
    ++g_checks;
    if (condition) return;
    ++g_failures;
    std::printf("FAILED: %s\n", what);
}

// The string a getter hands out, freed again; "<null>" for NULL.
std::wstring Read(const std::function<HRESULT(LPWSTR*)>& getter) {
    LPWSTR value = nullptr;
    if (FAILED(getter(&value))) return L"<failed>";
    std::wstring text = value ? value : L"<null>";
    CoTaskMemFree(value);
    return text;
}

BOOL ReadFlag(const std::function<HRESULT(BOOL*)>& getter) {
    BOOL value = 2;
    return SUCCEEDED(getter(&value)) ? value : 2;
}

template <class I>
ComPtr<I> As(IUnknown* object) {
    ComPtr<I> part;
    object->QueryInterface(IID_PPV_ARGS(&part));
    return part;
}

// A scheme registration that only counts its references.
class CountedScheme final : public ICoreWebView2CustomSchemeRegistration {
public:
    ULONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE get_SchemeName(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TreatAsSecure(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_TreatAsSecure(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAllowedOrigins(UINT32*, LPWSTR**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAllowedOrigins(UINT32, LPCWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HasAuthorityComponent(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_HasAuthorityComponent(BOOL) override { return E_NOTIMPL; }
};

void CheckOptionDefaults() {
    auto options = CreateEnvironmentOptions();
    auto o2 = As<ICoreWebView2EnvironmentOptions2>(options.Get());
    auto o3 = As<ICoreWebView2EnvironmentOptions3>(options.Get());
    auto o4 = As<ICoreWebView2EnvironmentOptions4>(options.Get());
    auto o5 = As<ICoreWebView2EnvironmentOptions5>(options.Get());
    auto o6 = As<ICoreWebView2EnvironmentOptions6>(options.Get());
    Expect(o2 && o3 && o4 && o5 && o6, "Options2 to Options6 are answered");
    if (!(o2 && o3 && o4 && o5 && o6)) return;

    struct StringDefault {
        const char* name;
        std::function<HRESULT(LPWSTR*)> get;
        const wchar_t* expected;
    };
    const StringDefault strings[] = {
        {"AdditionalBrowserArguments unset", [&](LPWSTR* v) { return options->get_AdditionalBrowserArguments(v); },
         L"<null>"},
        {"Language unset", [&](LPWSTR* v) { return options->get_Language(v); }, L"<null>"},
        {"TargetCompatibleBrowserVersion 120.0.2210.55",
         [&](LPWSTR* v) { return options->get_TargetCompatibleBrowserVersion(v); }, L"120.0.2210.55"},
    };
    for (const auto& row : strings) {
        Expect(Read(row.get) == row.expected, row.name);
        Expect(row.get(nullptr) == E_POINTER, "null out-pointer of a string getter gives E_POINTER");
    }

    struct FlagDefault {
        const char* name;
        std::function<HRESULT(BOOL*)> get;
        BOOL expected;
    };
    const FlagDefault flags[] = {
        {"AllowSingleSignOnUsingOSPrimaryAccount FALSE",
         [&](BOOL* v) { return options->get_AllowSingleSignOnUsingOSPrimaryAccount(v); }, FALSE},
        {"ExclusiveUserDataFolderAccess FALSE", [&](BOOL* v) { return o2->get_ExclusiveUserDataFolderAccess(v); },
         FALSE},
        {"IsCustomCrashReportingEnabled FALSE", [&](BOOL* v) { return o3->get_IsCustomCrashReportingEnabled(v); },
         FALSE},
        {"EnableTrackingPrevention TRUE", [&](BOOL* v) { return o5->get_EnableTrackingPrevention(v); }, TRUE},
        {"AreBrowserExtensionsEnabled FALSE", [&](BOOL* v) { return o6->get_AreBrowserExtensionsEnabled(v); }, FALSE},
    };
    for (const auto& row : flags) {
        Expect(ReadFlag(row.get) == row.expected, row.name);
        Expect(row.get(nullptr) == E_POINTER, "null out-pointer of a flag getter gives E_POINTER");
    }

    UINT32 count = 7;
    ICoreWebView2CustomSchemeRegistration** schemes = nullptr;
    Expect(o4->GetCustomSchemeRegistrations(&count, &schemes) == S_OK && count == 0 && schemes == nullptr,
           "no custom schemes: count 0 and a NULL array");
    Expect(o4->GetCustomSchemeRegistrations(nullptr, &schemes) == E_POINTER &&
               o4->GetCustomSchemeRegistrations(&count, nullptr) == E_POINTER,
           "custom schemes with a null out-pointer give E_POINTER");
}

void CheckOptionStrings() {
    auto options = CreateEnvironmentOptions();
    wchar_t buffer[] = L"--disable-gpu";
    options->put_AdditionalBrowserArguments(buffer);
    buffer[2] = L'X';
    Expect(Read([&](LPWSTR* v) { return options->get_AdditionalBrowserArguments(v); }) == L"--disable-gpu",
           "a string setter keeps its own copy");
    LPWSTR first = nullptr;
    LPWSTR second = nullptr;
    options->get_AdditionalBrowserArguments(&first);
    options->get_AdditionalBrowserArguments(&second);
    Expect(first && second && first != second, "every read hands out a fresh copy");
    CoTaskMemFree(first);
    CoTaskMemFree(second);
    options->put_AdditionalBrowserArguments(L"");
    Expect(Read([&](LPWSTR* v) { return options->get_AdditionalBrowserArguments(v); }).empty(),
           "an empty string stays set (not NULL)");
    options->put_TargetCompatibleBrowserVersion(nullptr);
    Expect(Read([&](LPWSTR* v) { return options->get_TargetCompatibleBrowserVersion(v); }) == L"<null>",
           "setting NULL clears a string");
    options->put_Language(L"de-DE");
    Expect(Read([&](LPWSTR* v) { return options->get_Language(v); }) == L"de-DE", "Language round trip");
}

void CheckOptionInterfaces() {
    auto options = CreateEnvironmentOptions();
    IUnknown* identity = As<IUnknown>(options.Get()).Get();
    const IID answered[] = {__uuidof(ICoreWebView2EnvironmentOptions),  __uuidof(ICoreWebView2EnvironmentOptions2),
                            __uuidof(ICoreWebView2EnvironmentOptions3), __uuidof(ICoreWebView2EnvironmentOptions4),
                            __uuidof(ICoreWebView2EnvironmentOptions5), __uuidof(ICoreWebView2EnvironmentOptions6)};
    std::vector<void*> pointers;
    for (const IID& iid : answered) {
        void* part = nullptr;
        Expect(options->QueryInterface(iid, &part) == S_OK && part, "an options interface is answered");
        if (!part) continue;
        pointers.push_back(part);
        auto* unknown = static_cast<IUnknown*>(part);
        Expect(As<IUnknown>(unknown).Get() == identity, "every interface leads back to one IUnknown");
        unknown->Release();
    }
    for (size_t i = 1; i < pointers.size(); ++i) {
        Expect(pointers[i] != pointers[0], "Options2 to Options6 are separate interface pointers");
    }
    const IID refused[] = {__uuidof(ICoreWebView2EnvironmentOptions7), __uuidof(ICoreWebView2EnvironmentOptions8),
                           __uuidof(ICoreWebView2Environment)};
    for (const IID& iid : refused) {
        void* part = reinterpret_cast<void*>(1);
        Expect(options->QueryInterface(iid, &part) == E_NOINTERFACE && part == nullptr,
               "other interfaces give E_NOINTERFACE and a null pointer");
    }
    Expect(options->QueryInterface(__uuidof(IUnknown), nullptr) == E_POINTER, "QueryInterface into NULL");
}

void CheckOptionSchemes() {
    auto options = CreateEnvironmentOptions();
    auto o4 = As<ICoreWebView2EnvironmentOptions4>(options.Get());
    CountedScheme a;
    CountedScheme b;
    ICoreWebView2CustomSchemeRegistration* list[] = {&a, &b};
    Expect(o4->SetCustomSchemeRegistrations(2, list) == S_OK && a.references == 2 && b.references == 2,
           "stored scheme registrations are referenced");
    UINT32 count = 0;
    ICoreWebView2CustomSchemeRegistration** schemes = nullptr;
    o4->GetCustomSchemeRegistrations(&count, &schemes);
    Expect(count == 2 && schemes && schemes[0] == &a && schemes[1] == &b && a.references == 3,
           "handed-out registrations carry a reference each");
    for (UINT32 i = 0; i < count; ++i) schemes[i]->Release();
    CoTaskMemFree(schemes);
    Expect(o4->SetCustomSchemeRegistrations(1, nullptr) == E_INVALIDARG, "a count without an array is refused");
    o4->SetCustomSchemeRegistrations(0, nullptr);
    Expect(a.references == 1 && b.references == 1, "replaced registrations are released");
}

void CheckHandler() {
    auto alive = std::make_shared<int>(0);
    std::weak_ptr<int> watch = alive;
    ICoreWebView2* seenSender = nullptr;
    ICoreWebView2NavigationStartingEventArgs* seenArgs = nullptr;
    auto handler = MakeHandler<ICoreWebView2NavigationStartingEventHandler>(
        [alive, &seenSender, &seenArgs](ICoreWebView2* sender, ICoreWebView2NavigationStartingEventArgs* args) {
            seenSender = sender;
            seenArgs = args;
            return static_cast<HRESULT>(0x12345);
        });
    alive.reset();
    auto* sender = reinterpret_cast<ICoreWebView2*>(0x1000);
    auto* args = reinterpret_cast<ICoreWebView2NavigationStartingEventArgs*>(0x2000);
    Expect(handler->Invoke(sender, args) == 0x12345 && seenSender == sender && seenArgs == args,
           "Invoke forwards both arguments and returns the callable's result");

    void* object = nullptr;
    Expect(handler->QueryInterface(__uuidof(ICoreWebView2NavigationStartingEventHandler), &object) == S_OK &&
               object == handler.Get(),
           "the handler answers its own interface");
    static_cast<IUnknown*>(object)->Release();
    Expect(handler->QueryInterface(__uuidof(IUnknown), &object) == S_OK && object == handler.Get(),
           "the handler answers IUnknown");
    static_cast<IUnknown*>(object)->Release();
    object = reinterpret_cast<void*>(1);
    Expect(handler->QueryInterface(__uuidof(ICoreWebView2WebMessageReceivedEventHandler), &object) == E_NOINTERFACE &&
               object == nullptr,
           "another handler interface gives E_NOINTERFACE and a null pointer");

    Expect(handler->AddRef() == 2 && handler->Release() == 1, "the count starts at one (adopted by MakeHandler)");
    Expect(!watch.expired(), "the handler keeps its callable while referenced");
    handler.Reset();
    Expect(watch.expired(), "the last Release deletes the handler and its callable");

    auto completion = MakeHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        [](HRESULT errorCode, ICoreWebView2Environment*) { return errorCode; });
    Expect(completion->Invoke(E_ACCESSDENIED, nullptr) == E_ACCESSDENIED, "a completion handler passes the code");
}

// Reads up to `size` bytes; the result's status is the Read result.
std::pair<HRESULT, std::string> ReadSome(IStream* stream, ULONG size) {
    std::string bytes(size, '\0');
    ULONG read = 12345;
    const HRESULT hr = stream->Read(bytes.data(), size, &read);
    bytes.resize(read <= size ? read : 0);
    return {hr, bytes};
}

uint64_t Position(IStream* stream) {
    ULARGE_INTEGER position{};
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position);
    return position.QuadPart;
}

HRESULT SeekTo(IStream* stream, int64_t move, DWORD origin, uint64_t* position = nullptr) {
    LARGE_INTEGER distance{};
    distance.QuadPart = move;
    ULARGE_INTEGER reached{};
    const HRESULT hr = stream->Seek(distance, origin, &reached);
    if (position) *position = reached.QuadPart;
    return hr;
}

void CheckMappedViewStream() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"qf_mapped_view_check.bin";
    std::string data(1000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + 3);
    {
        const UniqueFileHandle file(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    }
    bool noRoom = true;
    std::shared_ptr<MappedFile> mapped = MapWholeFile(WideToUtf8(path), noRoom);
    Expect(mapped && !noRoom && mapped->length == 1000, "the whole file is mapped");
    if (!mapped) return;
    ComPtr<IStream> stream = MakeMappedViewStream(mapped, 100, 200);
    mapped.reset();  // as when the cache lets go while an answer is still read

    STATSTG stat{};
    Expect(stream->Stat(&stat, STATFLAG_NONAME) == S_OK && stat.type == STGTY_STREAM && stat.cbSize.QuadPart == 200,
           "Stat reports a stream of the slice's length");
    Expect(ReadSome(stream.Get(), 150) == std::make_pair(S_OK, data.substr(100, 150)), "a read inside the slice");
    Expect(ReadSome(stream.Get(), 100) == std::make_pair(S_FALSE, data.substr(250, 50)),
           "a read over the end gives what is left and S_FALSE");
    Expect(ReadSome(stream.Get(), 10) == std::make_pair(S_FALSE, std::string()), "a read at the end gives nothing");
    uint64_t position = 0;
    Expect(SeekTo(stream.Get(), 10, STREAM_SEEK_SET, &position) == S_OK && position == 10 &&
               ReadSome(stream.Get(), 5).second == data.substr(110, 5),
           "seek from the start");
    Expect(SeekTo(stream.Get(), -5, STREAM_SEEK_END, &position) == S_OK && position == 195, "seek from the end");
    Expect(SeekTo(stream.Get(), -300, STREAM_SEEK_CUR) == STG_E_INVALIDFUNCTION && Position(stream.Get()) == 195,
           "a seek before the start is refused and moves nothing");
    Expect(SeekTo(stream.Get(), 500, STREAM_SEEK_SET) == S_OK &&
               ReadSome(stream.Get(), 10) == std::make_pair(S_FALSE, std::string()),
           "a seek past the end reads nothing");

    SeekTo(stream.Get(), 20, STREAM_SEEK_SET);
    ComPtr<IStream> clone;
    Expect(stream->Clone(&clone) == S_OK && clone && Position(clone.Get()) == 20 &&
               ReadSome(clone.Get(), 10).second == data.substr(120, 10) && Position(stream.Get()) == 20,
           "a clone starts where the stream is and moves on its own");
    ComPtr<IStream> target;
    CreateStreamOnHGlobal(nullptr, TRUE, &target);
    ULARGE_INTEGER copied{}, written{};
    ULARGE_INTEGER all{};
    all.QuadPart = 1000;
    Expect(stream->CopyTo(target.Get(), all, &copied, &written) == S_OK && copied.QuadPart == 180 &&
               written.QuadPart == 180 && Position(stream.Get()) == 200,
           "CopyTo writes the rest of the slice");
    SeekTo(target.Get(), 0, STREAM_SEEK_SET);
    Expect(ReadSome(target.Get(), 500).second == data.substr(120, 180), "CopyTo writes the right bytes");

    ULONG none = 7;
    Expect(stream->Write("x", 1, &none) == STG_E_ACCESSDENIED && none == 0, "the stream cannot be written");
    Expect(stream->SetSize(ULARGE_INTEGER{}) == STG_E_ACCESSDENIED, "the stream cannot be resized");
    for (const IID& iid : {__uuidof(IStream), __uuidof(ISequentialStream), __uuidof(IAgileObject)}) {
        ComPtr<IUnknown> part;
        Expect(stream->QueryInterface(iid, reinterpret_cast<void**>(part.GetAddressOf())) == S_OK && part,
               "the stream answers IStream, ISequentialStream and IAgileObject");
    }

    Expect(!DeleteFileW(path.c_str()), "while a stream reads the view, the file cannot be deleted");
    stream.Reset();
    clone.Reset();
    Expect(DeleteFileW(path.c_str()) != FALSE, "once the last stream is gone, so are the view and the file handle");
}

}  // namespace

int main() {
    CheckOptionDefaults();
    CheckOptionStrings();
    CheckOptionInterfaces();
    CheckOptionSchemes();
    CheckHandler();
    CheckMappedViewStream();
    std::printf("%d checks, %d failed\n", g_checks, g_failures);
    return g_failures == 0 ? 0 : 1;
}
