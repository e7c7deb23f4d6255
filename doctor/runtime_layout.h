#pragma once

// Where the host's own loader looks for a fixed-version runtime, relative to
// the app folder, and what it reports when that runtime cannot be used.
inline constexpr char kFixedRuntimeFolder[] = "webview2";
inline constexpr char kFixedRuntimeDll[] = "webview2/EBWebView/x86/EmbeddedBrowserWebView.dll";
inline constexpr char kFixedRuntimeVersionTable[] = "040904B0";
inline constexpr char kFixedRuntimeVersionKey[] = "ProductVersion";
inline constexpr char kFixedRuntimeDllMissing[] = "0x80070002";  // the file is not there
inline constexpr char kFixedRuntimeNoVersion[] = "0x80070714";   // it has no version resource
