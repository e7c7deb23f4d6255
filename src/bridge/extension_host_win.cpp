#include "bridge/extension_host_win.h"

#include <atomic>

#include "common/extension_library.h"
#include "common/paths.h"
#include "common/strings.h"
#include "bridge/web_message_bridge_win.h"
#include "common/srw_lock_win.h"

ExtensionHost* g_extensionHost = nullptr;

namespace {

// The library may call back from threads of its own while the UI thread tears
// the record down. Those threads touch the record only under this lock, and
// the UI thread takes it to unpublish the record, so no record is freed while
// another thread reads it. The UI thread itself is the only writer of
// g_extensionHost and reads it without the lock.
SRWLOCK g_recordLock = SRWLOCK_INIT;

std::atomic<DWORD> g_uiThreadId{0};

// On the UI thread: straight to the page, once the web view exists.
void PostToPage(const std::string& json) {
    const ExtensionHost* host = g_extensionHost;
    if (host && host->bridge) host->bridge->PostJsonToPage(json);
}

// On any other thread: the web view may only be used on the UI thread, so the
// text waits in the record and the main window is woken once per batch. One
// wake-up per batch keeps a chatty library from filling the thread's message
// queue, and nothing is lost when the window goes away with texts waiting.
void HandToUiThread(const char* json) {
    SrwLockGuard lock(g_recordLock);
    ExtensionHost* host = g_extensionHost;
    if (!host || !host->bridge) return;
    const bool wakeNeeded = host->pendingFromOtherThreads.empty();
    host->pendingFromOtherThreads.emplace_back(json);
    if (wakeNeeded && !PostMessageW(host->window, kExtensionMessageToPage, 0, 0))
        host->pendingFromOtherThreads.clear();  // the window is gone: no one will ever post them
}

}  // namespace

ExtensionHost::~ExtensionHost() {
    {
        SrwLockGuard lock(g_recordLock);
        if (g_extensionHost == this) g_extensionHost = nullptr;
    }
    if (library && release) release();
}

bool LoadExtensionLibrary(const AppFolders& folders) {
    ExtensionHost* host = g_extensionHost;
    if (!host) return false;
    g_uiThreadId = GetCurrentThreadId();

    // The altered search path lets the library find its own dependencies beside it.
    const std::wstring path = AddLongPathPrefix(Utf8ToWide(folders.exe + kExtensionLibraryName));
    host->library = Library::FromPath(path);
    if (!host->library) return false;

    const Library& library = host->library;
    host->init = library.Find<QuillframeInitFunction>("Init");
    host->release = library.Find<QuillframeReleaseFunction>("Release");
    host->onMainWindowCreated = library.Find<QuillframeOnMainWindowCreatedFunction>("OnMainWindowCreated");
    host->onExtensionMessage = library.Find<QuillframeOnExtensionMessageFunction>("OnExtensionMessage");
    if (!host->init || !host->release || !host->onMainWindowCreated || !host->onExtensionMessage) return false;

    const char* const* ids = host->init(folders.exe.c_str(), folders.content.c_str(), folders.userData.c_str(),
                                        PostMessageFromExtension);
    if (!ids) return false;
    for (; *ids; ++ids) host->registeredComponentIds.emplace_back(*ids);
    return true;
}

void ConnectExtensionHost(WebMessageBridge& bridge, HWND window) {
    SrwLockGuard lock(g_recordLock);
    if (!g_extensionHost) return;
    g_extensionHost->bridge = &bridge;
    g_extensionHost->window = window;
}

void ReleaseExtensionLibrary() {
    ExtensionHost* host = g_extensionHost;
    if (!host) return;
    if (host->release) host->release();
    host->library = Library();
}

void DestroyExtensionHost(std::unique_ptr<ExtensionHost> host) {
    {
        SrwLockGuard lock(g_recordLock);
        if (g_extensionHost == host.get()) g_extensionHost = nullptr;
    }
    host.reset();
}

extern "C" void QUILLFRAME_CALL PostMessageFromExtension(const char* json) {
    if (!json) return;
    // Nothing may unwind into the library's C code; a text that cannot be
    // copied or converted is dropped like any other undeliverable one.
    try {
        if (GetCurrentThreadId() == g_uiThreadId) {
            PostToPage(json);
        } else {
            HandToUiThread(json);
        }
    } catch (...) {
    }
}

void DeliverExtensionMessages() {
    std::deque<std::string> waiting;
    {
        SrwLockGuard lock(g_recordLock);
        if (!g_extensionHost) return;
        waiting.swap(g_extensionHost->pendingFromOtherThreads);
    }
    try {
        for (const std::string& json : waiting) PostToPage(json);
    } catch (...) {
    }
}
