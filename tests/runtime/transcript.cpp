#include "transcript.h"

#include <atomic>

#include "standin_com.h"
#include "common/srw_lock_win.h"

namespace standin {
namespace {

std::atomic<DWORD> g_uiThread{0};
std::atomic<int> g_quietDepth{0};

class TranscriptFile {
public:
    TranscriptFile() {
        const std::wstring path = ExeFolder() + L"webview2-transcript.jsonl";
        file_ = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~TranscriptFile() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    void Append(const std::string& line) {
        SrwLockGuard lock(lock_);
        DWORD written = 0;
        // One WriteFile per line: readers on this machine see whole lines at once, without a flush.
        WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

TranscriptFile& File() {
    static TranscriptFile file;
    return file;
}

void Write(const std::string& call, nlohmann::json members) {
    nlohmann::json line = nlohmann::json::object();
    line["call"] = call;
    for (auto& item : members.items()) line[item.key()] = item.value();
    File().Append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

}  // namespace

std::wstring ExePath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

std::wstring ModulePath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size())));
    return path;
}

std::wstring ExeFolder() {
    const std::wstring path = ExePath();
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

void Record(const std::string& call, nlohmann::json members) {
    if (g_quietDepth == 0 || !OnUiThread()) Write(call, std::move(members));
}

QuietLines::QuietLines() { ++g_quietDepth; }

QuietLines::~QuietLines() { --g_quietDepth; }

void SetUiThread(DWORD threadId) { g_uiThread = threadId; }

bool OnUiThread() {
    const DWORD ui = g_uiThread;
    return ui == 0 || ui == GetCurrentThreadId();
}

HRESULT RecordHostCall(const std::string& call, nlohmann::json members) {
    if (OnUiThread()) {
        Write(call, std::move(members));
        return S_OK;
    }
    members["thread"] = "other";
    members["hr"] = HresultText(RPC_E_WRONG_THREAD);
    Write(call, std::move(members));
    return RPC_E_WRONG_THREAD;
}

HRESULT NotImplemented(const char* call) {
    Record(call, {{"notImplemented", true}});
    return E_NOTIMPL;
}

nlohmann::json Json(const wchar_t* text) { return text ? nlohmann::json(ToUtf8(text)) : nlohmann::json(); }

nlohmann::json RectJson(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

}  // namespace standin
