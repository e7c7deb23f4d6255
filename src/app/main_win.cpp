#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "app/file_reading_win.h"
#include "app/icon_win.h"
#include "app/main_window_win.h"
#include "common/manifest.h"
#include "common/message_box_win.h"
#include "common/startup_texts.h"
#include "app/startup_paths_win.h"
#include "bridge/extension_host_win.h"
#include "common/strings.h"
#include "installer/install_runtime_win.h"
#include "webview/app_webview_win.h"
#include "loader/webview2_loader_win.h"

namespace {

const wchar_t kNoLocalAppDataText[] = L"Failed to find the local application data folder";
const wchar_t kLoaderMissingText[] = L"WebView2Loader.dll is missing or damaged. Reinstall the app.";
const wchar_t kFixedRuntimeMissingText[] =
    L"This app is set to \"fixed\" distribution mode, but the WebView2 control failed to initialize. Check there is "
    L"a valid fixed distribution of Microsoft Edge WebView2 runtime in the \"webview2\" subfolder.";
const wchar_t kRegisterClassFailedText[] = L"Failed to register window class";
const wchar_t kCreateWindowFailedText[] = L"Failed to create window";
const char kContentFolder[] = "www\\";

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(0, slash + 1);
}

// Makes sure a runtime answers, installing the evergreen one at most once.
bool EnsureRuntime(HINSTANCE instance, const WebView2Loader& loader, const AppManifest& manifest,
                   const std::string& userDataFolder, const wchar_t* browserExecutableFolder,
                   const std::wstring& windowTitle) {
    if (manifest.distributionMode == DistributionMode::Fixed) {
        if (IsRuntimeAvailable(loader, browserExecutableFolder)) return true;
        ShowErrorBox(kFixedRuntimeMissingText, windowTitle);
        return false;
    }
    if (IsRuntimeAvailable(loader, nullptr)) return true;
    ShowInformationBox(Utf8ToWide(manifest.installWebView2Message), windowTitle);
    InstallRuntime(instance, userDataFolder, manifest);
    if (IsRuntimeAvailable(loader, nullptr)) return true;
    ShowErrorBox(Utf8ToWide(manifest.installFailedMessage), windowTitle);
    return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    const std::string exeFolder = FolderOf(ExecutablePath());
    const std::string manifestText = ReadWholeFile(exeFolder + "package.json");
    if (manifestText.empty()) {
        ShowErrorBox(Utf8ToWide(kLoadFailedText), kAppCaption);
        return 1;
    }
    AppManifest manifest;
    try {
        ParseManifest(manifestText, manifest);
    } catch (...) {
        ShowErrorBox(Utf8ToWide(kParseFailedText), kAppCaption);
        return 1;
    }

    const std::string localAppData = LocalAppDataPath();
    if (localAppData.empty()) {
        ShowErrorBox(kNoLocalAppDataText, kAppCaption);
        return 1;
    }
    const std::string userDataFolder = localAppData + "\\" + manifest.name;

    const ULONG_PTR gdiplusToken = StartGdiplus();
    if (!manifest.icon.empty()) manifest.iconHandle = LoadIconFromImageFile(exeFolder + manifest.icon);
    if (!manifest.iconHandle) manifest.iconHandle = LoadIconW(instance, MAKEINTRESOURCEW(32512));

    const std::wstring windowTitle = Utf8ToWide(manifest.title);
    // The fixed runtime is looked up beside the executable, not in whatever
    // folder the app happens to be started from.
    const std::wstring fixedRuntimeFolder = Utf8ToWide(exeFolder + "webview2");
    const wchar_t* browserExecutableFolder =
        manifest.distributionMode == DistributionMode::Fixed ? fixedRuntimeFolder.c_str() : nullptr;

    const std::optional<WebView2Loader> loader = LoadWebView2Loader(exeFolder);
    if (!loader) {
        ShowErrorBox(kLoaderMissingText, kAppCaption);
        return 1;
    }
    if (!EnsureRuntime(instance, *loader, manifest, userDataFolder, browserExecutableFolder, windowTitle)) return 1;

    auto extensionHost = std::make_unique<ExtensionHost>();
    extensionHost->exeFolder = exeFolder;
    extensionHost->contentFolder = kContentFolder;
    extensionHost->userDataFolder = userDataFolder;
    g_extensionHost = extensionHost.get();
    LoadExtensionLibrary();

    if (!RegisterMainWindowClass(instance, manifest)) {
        ShowErrorBox(kRegisterClassFailedText, kAppCaption);
        return 1;
    }
    HWND window = CreateMainWindow(instance, manifest);
    if (!window) {
        ShowErrorBox(kCreateWindowFailedText, kAppCaption);
        return 1;
    }
    if (extensionHost->onMainWindowCreated) extensionHost->onMainWindowCreated(window);

    std::optional<AppWebView> appWebView;
    appWebView.emplace(manifest, window, exeFolder, kContentFolder, browserExecutableFolder, userDataFolder,
                       extensionHost.get(), loader->createEnvironmentWithOptions);
    g_appWebView = &*appWebView;
    appWebView->Init();

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    appWebView->ReleaseMappedFiles();
    g_appWebView = nullptr;
    ReleaseExtensionLibrary();
    DestroyExtensionHost(std::move(extensionHost));
    StopGdiplus(gdiplusToken);
    appWebView.reset();
    return static_cast<int>(message.wParam);
}
