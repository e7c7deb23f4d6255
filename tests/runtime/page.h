#pragma once

// What the page "does": navigations and loads, and the scenario's steps, each run from the dispatcher.

#include <string>

#include <wrl/client.h>

#include "web_view.h"

namespace standin {

using WebViewPtr = Microsoft::WRL::ComPtr<WebView>;

// Queued by Navigate: NavigationStarting, then (not cancelled) the load of the document.
void QueueNavigation(WebViewPtr view, std::wstring uri, bool userInitiated);
// At the first Navigate of each web view: the steps act on that view from now on. They are queued once, at
// the first Navigate of the process.
void QueueSteps(WebViewPtr view);

// The host window the controller lives in: what snapshots describe and the close step closes.
void SetParentWindow(HWND parent);

}  // namespace standin
