#pragma once
#include <windows.h>

#include <string>

#include "common/manifest.h"

// Downloads the WebView2 bootstrapper into the user data folder under a progress
// window (with the app's icon) and runs it, blocking until it has exited.
// Whether the runtime is there afterwards is for the caller to ask; failures
// before the download show a box.
void InstallRuntime(HINSTANCE instance, HICON icon, const std::string& userDataFolder, const AppManifest& manifest);
