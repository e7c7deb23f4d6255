#include "installer/install_runtime_win.h"

#include <commctrl.h>
#include <process.h>

#include "common/message_box_win.h"
#include "common/message_loop_win.h"
#include "common/strings.h"
#include "common/unique_handle_win.h"
#include "installer/bootstrapper_url_win.h"
#include "installer/download_job_win.h"
#include "installer/setup_window_win.h"
#include "common/library_win.h"

#ifndef _WIN64
static_assert(sizeof(STARTUPINFOW) == 68, "the 32-bit bootstrapper launch hands over a 68-byte STARTUPINFOW");
#endif

namespace {

// Runs the bootstrapper with no arguments from the user data folder and waits
// for it; its own UI reports how the installation went.
void RunBootstrapper(const std::wstring& setupPath, const std::wstring& folder) {
    wchar_t commandLine[] = L"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(setupPath.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &created)) {
        return;
    }
    const UniqueKernelHandle process(created.hProcess);
    const UniqueKernelHandle thread(created.hThread);
    WaitForSingleObject(process.get(), INFINITE);
}

}  // namespace

void InstallRuntime(HINSTANCE instance, HICON icon, const std::string& userDataFolder, const AppManifest& manifest) {
    const std::wstring folder = Utf8ToWide(userDataFolder);
    const std::wstring caption = Utf8ToWide(manifest.title);

    // Loaded for this frame, which outlives the progress bar that comctl32 runs.
    const Library commonControls = Library::FromSystem32(L"comctl32.dll");
    const auto initCommonControls = commonControls.Find<decltype(InitCommonControlsEx)>("InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    if (!initCommonControls || !initCommonControls(&controls)) {
        ShowErrorBox(L"Failed to initialize common controls", caption);
        return;
    }
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        ShowErrorBox(L"Failed to create user data directory", caption);
        return;
    }
    if (!RegisterSetupWindowClass(instance, icon)) {
        ShowErrorBox(L"Failed to register window class", caption);
        return;
    }
    // Loaded for this frame, which waits for the download thread that runs urlmon's code.
    const Library urlMoniker = Library::FromSystem32(L"urlmon.dll");
    const auto downloadToFile = urlMoniker.Find<decltype(URLDownloadToFileW)>("URLDownloadToFileW");
    HWND window = CreateSetupWindow(instance, Utf8ToWide(manifest.downloadingMessage));
    if (!window) {
        ShowErrorBox(L"Failed to create window", caption);
        return;
    }
    DownloadJob job{BootstrapperUrl, folder + L"\\Webview2Setup.exe", window, CreateProgressBar(instance, window),
                    downloadToFile};

    const UniqueKernelHandle thread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, DownloadThreadProc, &job, 0, nullptr)));
    // Without a download thread nobody would close the window; close it here so
    // start-up goes on to report the missing runtime.
    if (!thread) DestroyWindow(window);
    RunMessageLoop();  // until the progress window is destroyed
    if (!thread) return;
    WaitForSingleObject(thread.get(), INFINITE);

    // A failed download may leave an old or foreign file at the path; only a
    // file this run has fetched is started.
    if (job.downloaded) RunBootstrapper(job.destinationPath, folder);
}
