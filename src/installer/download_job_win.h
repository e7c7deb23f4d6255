#pragma once
#include <windows.h>
#include <urlmon.h>

#include <string>

// What the UI thread hands to the download thread. It lives in InstallRuntime's
// frame, which waits for the thread, so it outlives every use; so does the urlmon
// that `downloadToFile` comes from (null when urlmon could not be loaded, which
// fails the download). `downloaded` is the thread's one answer, read only after
// the thread has ended.
struct DownloadJob {
    std::wstring url;
    std::wstring destinationPath;
    HWND window = nullptr;
    HWND progressBar = nullptr;
    decltype(URLDownloadToFileW)* downloadToFile = nullptr;
    bool downloaded = false;
};

// Download thread (started with _beginthreadex, given a DownloadJob*): fetches
// the file, records whether that succeeded, then closes the progress window.
unsigned __stdcall DownloadThreadProc(void* job);
