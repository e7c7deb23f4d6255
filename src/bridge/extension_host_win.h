#pragma once
#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "common/app_folders.h"
#include "common/library_win.h"
#ifndef QUILLFRAME_HOST
#define QUILLFRAME_HOST
#endif
#include "quillframe/extension.h"

class WebMessageBridge;

// Everything the host keeps about the optional extension library.
struct ExtensionHost {
    ExtensionHost() = default;
    ExtensionHost(const ExtensionHost&) = delete;
    ExtensionHost& operator=(const ExtensionHost&) = delete;
    // Normally ReleaseExtensionLibrary and DestroyExtensionHost have run. On an
    // early exit they have not: the record then still unpublishes itself, and
    // the library gets its Release before it is unloaded under its own threads.
    ~ExtensionHost();

    Library library;
    QuillframeInitProc init = nullptr;
    QuillframeReleaseProc release = nullptr;
    QuillframeOnMainWindowCreatedProc onMainWindowCreated = nullptr;
    QuillframeOnExtensionMessageProc onExtensionMessage = nullptr;
    // Not owned; set by ConnectExtensionHost once the page's bridge exists.
    WebMessageBridge* bridge = nullptr;
    HWND window = nullptr;
    std::vector<std::string> registeredComponentIds;
    // Texts the library sent from its own threads, waiting for the UI thread.
    // Guarded by the lock in extension_host_win.cpp.
    std::deque<std::string> pendingFromOtherThreads;
};

// The record while start-up owns it; null before and after.
extern ExtensionHost* g_extensionHost;

// Loads ZU2DavErudoze.dll from the executable's folder, binds the four entry
// points and, when all four exist, calls Init and copies the ids it returns.
// True when Init returned an id array. The calling thread becomes the thread
// that the callback treats as the UI thread. Init keeps pointers into
// `folders` until Release, so they must outlive the library.
bool LoadExtensionLibrary(const AppFolders& folders);

// Gives the record the bridge that posts to the page and the window that wakes
// the UI thread; texts the library sends before this are dropped.
void ConnectExtensionHost(WebMessageBridge& bridge, HWND window);

// The library's Release (when exported), then its unloading.
void ReleaseExtensionLibrary();

// Unpublishes the record, so that callbacks still arriving from the library's
// threads find no host, and then frees it.
void DestroyExtensionHost(std::unique_ptr<ExtensionHost> host);

// The callback handed to Init.
extern "C" void QUILLFRAME_CALL PostMessageFromExtension(const char* json);

// Posted to the main window when texts from the library's other threads are
// waiting; its parameters carry nothing. The window procedure answers it with
// DeliverExtensionMessages, which posts the waiting texts to the page in order.
constexpr UINT kExtensionMessageToPage = WM_APP + 1;
void DeliverExtensionMessages();
