#pragma once

#include <wrl/client.h>

#include "loader/webview2_win.h"

// The browser version the host is built against: the runtime refuses older browsers.
extern const wchar_t kTargetCompatibleBrowserVersion[];

// A new environment options object answering ICoreWebView2EnvironmentOptions and Options2 to Options6, with
// the runtime's documented defaults (TargetCompatibleBrowserVersion kTargetCompatibleBrowserVersion,
// EnableTrackingPrevention TRUE, everything else unset or FALSE).
Microsoft::WRL::ComPtr<ICoreWebView2EnvironmentOptions> CreateEnvironmentOptions();
