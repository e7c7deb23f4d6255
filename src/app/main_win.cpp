#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "app/file_reading_win.h"
#include "app/icon_win.h"
#include "app/main_window_win.h"
#include "app/startup_paths_win.h"
#include "app/window_operations_win.h"
#include "bridge/extension_host_win.h"
#include "common/app_folders.h"
#include "common/manifest.h"
#include "common/message_box_win.h"
#include "common/message_loop_win.h"
#include "common/startup_texts.h"
#include "common/strings.h"
#include "installer/install_runtime_win.h"
#include "loader/runtime_layout.h"
#include "loader/webview2_loader_win.h"
#include "webview/app_webview_win.h"

namespace {

const wchar_t kNoLocalAppDataText[] = L"Failed to find the local application data folder";
const wchar_t kFixedRuntimeMissingText[] =
    L"This app is set to \"fixed\" distribution mode, but the WebView2 control failed to initialize. Check there is "
    L"a valid fixed distribution of Microsoft Edge WebView2 runtime in the \"webview2\" subfolder.";
const wchar_t kRegisterClassFailedText[] = L"Failed to register window class";
const wchar_t kCreateWindowFailedText[] = L"Failed to create window";
const char kContentFolder[] = "www\\";
// IDI_APPLICATION's number, looked up among the executable's own resources.
constexpr WORD kAppIconResource = 32512;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(0, slash + 1);
}

// The manifest beside the executable; empty after telling the user why not.
std::optional<AppManifest> ReadManifest(const std::string& exeFolder) {
    const std::string text = ReadWholeFile(exeFolder + "package.json");
    if (text.empty()) {
        ShowErrorBox(Utf8ToWide(kLoadFailedText), kAppCaption);
        return std::nullopt;
    }
    AppManifest manifest;
    try {
        ParseManifest(text, manifest);
    } catch (...) {
        ShowErrorBox(Utf8ToWide(kParseFailedText), kAppCaption);
        return std::nullopt;
    }
    return manifest;
}

// Empty after telling the user when there is no local application data folder.
std::optional<AppFolders> DeriveFolders(const std::string& exeFolder, const AppManifest& manifest) {
    const std::string localAppData = LocalAppDataPath();
    if (localAppData.empty()) {
        ShowErrorBox(kNoLocalAppDataText, kAppCaption);
        return std::nullopt;
    }
    // The fixed runtime is looked up beside the executable, not in whatever
    // folder the app happens to be started from.
    const bool fixed = manifest.distributionMode == DistributionMode::Fixed;
    return AppFolders{exeFolder, kContentFolder, localAppData + "\\" + manifest.name,
                      fixed ? FixedRuntimeFolder(exeFolder) : ""};
}

HICON LoadAppIcon(HINSTANCE instance, const std::string& exeFolder, const AppManifest& manifest) {
    HICON icon = manifest.icon.empty() ? nullptr : LoadIconFromImageFile(exeFolder + manifest.icon);
    return icon ? icon : LoadIconW(instance, MAKEINTRESOURCEW(kAppIconResource));
}

// Makes sure a runtime answers, installing the evergreen one at most once.
bool EnsureRuntime(HINSTANCE instance, HICON icon, const WebView2Loader& loader, const AppManifest& manifest,
                   const AppFolders& folders) {
    const std::wstring windowTitle = Utf8ToWide(manifest.title);
    if (manifest.distributionMode == DistributionMode::Fixed) {
        if (IsRuntimeAvailable(loader, Utf8ToWide(folders.fixedRuntime).c_str())) return true;
        ShowErrorBox(kFixedRuntimeMissingText, windowTitle);
        return false;
    }
    if (IsRuntimeAvailable(loader, nullptr)) return true;
    ShowInformationBox(Utf8ToWide(manifest.installWebView2Message), windowTitle);
    InstallRuntime(instance, icon, folders.userData, manifest);
    if (IsRuntimeAvailable(loader, nullptr)) return true;
    ShowErrorBox(Utf8ToWide(manifest.installFailedMessage), windowTitle);
    return false;
}

// From the extension library to the end of the message loop, then shutdown in
// the order the library and the runtime rely on.
int RunApp(HINSTANCE instance, HICON icon, const AppManifest& manifest, const AppFolders& folders,
           const WebView2Loader& loader, ULONG_PTR gdiplusToken) {
    auto extensionHost = std::make_unique<ExtensionHost>();
    g_extensionHost = extensionHost.get();
    LoadExtensionLibrary(folders);

    if (!RegisterMainWindowClass(instance, icon)) {
        ShowErrorBox(kRegisterClassFailedText, kAppCaption);
        return 1;
    }
    HWND window = CreateMainWindow(instance, manifest);
    if (!window) {
        ShowErrorBox(kCreateWindowFailedText, kAppCaption);
        return 1;
    }
    if (extensionHost->onMainWindowCreated) extensionHost->onMainWindowCreated(window);

    WindowOperations windowOperations(window);
    auto appWebView = std::make_unique<AppWebView>(manifest, folders, window, windowOperations, extensionHost.get(),
                                                   loader.CreateEnvironmentWithOptions());
    g_appWebView = appWebView.get();
    appWebView->Init();
    const int exitCode = RunMessageLoop();

    appWebView->ReleaseMappedFiles();
    g_appWebView = nullptr;
    ReleaseExtensionLibrary();
    DestroyExtensionHost(std::move(extensionHost));
    StopGdiplus(gdiplusToken);
    appWebView.reset();
    return exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    const std::string exeFolder = FolderOf(ExecutablePath());
    const std::optional<AppManifest> manifest = ReadManifest(exeFolder);
    if (!manifest) return 1;
    const std::optional<AppFolders> folders = DeriveFolders(exeFolder, *manifest);
    if (!folders) return 1;

    const ULONG_PTR gdiplusToken = StartGdiplus();
    const HICON icon = LoadAppIcon(instance, exeFolder, *manifest);

    const WebView2Loader loader(exeFolder);
    if (!EnsureRuntime(instance, icon, loader, *manifest, *folders)) return 1;
    return RunApp(instance, icon, *manifest, *folders, loader, gdiplusToken);
}
