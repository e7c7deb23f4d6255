// The web view's permissions and DevTools: what the host decides, applied through Chromium's own controls.

#include "page_win.h"
#include "unix_win.h"

namespace preview {

namespace {

constexpr DWORD kPermissionTimeoutMs = 5000;

const char* PermissionSetting(COREWEBVIEW2_PERMISSION_STATE state) {
    return state == COREWEBVIEW2_PERMISSION_STATE_ALLOW ? "granted" : "denied";
}

}  // namespace

HRESULT Settings::put_AreDevToolsEnabled(BOOL value) {
    devTools_ = value != FALSE;
    devToolsEnabled_(devTools_);
    return S_OK;
}

// The host's answer becomes the origin's setting in Chromium before the page's call goes on, so Chromium
// prompts only when the host left the decision to the runtime (as WebView2 then shows its own prompt).
void WebView::OnPermissionNotice(const PageNotice& notice, int context) {
    const auto kind = static_cast<COREWEBVIEW2_PERMISSION_KIND>(PermissionKindOf(notice.permission));
    auto args = Make<PermissionRequestedArgs>(notice.source, kind, notice.userInitiated);
    permissionRequested_.Raise(this, args.Get());
    if (args->State() != COREWEBVIEW2_PERMISSION_STATE_DEFAULT && !notice.origin.empty()) {
        browser_->Cdp().Call("Browser.setPermission",
                             {{"permission", {{"name", notice.permission}}},
                              {"setting", PermissionSetting(args->State())},
                              {"origin", notice.origin}},
                             {}, kPermissionTimeoutMs);
    }
    Send("Runtime.evaluate", {{"expression", PermissionAnsweredExpression(notice.request)}, {"contextId", context}});
}

// Chromium has no switch for one instance's DevTools, short of machine-wide policy files: with DevTools off,
// the keys that open them do not reach it, and a DevTools window opened anyway (the context menu's Inspect)
// is closed as soon as it appears.
void WebView::OnDevToolsSetting(bool enabled) {
    if (!enabled && devToolsGuard_.empty()) {
        const auto added = browser_->Cdp().Call("Page.addScriptToEvaluateOnNewDocument",
                                                {{"source", DevToolsKeysGuardScript()}, {"runImmediately", true}},
                                                sessionId_);
        if (added && added->error.empty()) devToolsGuard_ = added->params.value("identifier", std::string());
    } else if (enabled && !devToolsGuard_.empty()) {
        Send("Page.removeScriptToEvaluateOnNewDocument", {{"identifier", devToolsGuard_}});
        devToolsGuard_.clear();
    }
}

void WebView::OnTargetInfo(const nlohmann::json& info) {
    if (settings_->DevToolsEnabled() || !info.is_object()) return;
    if (info.value("url", std::string()).rfind("devtools://", 0) == 0)
        browser_->Cdp().Send("Target.closeTarget", {{"targetId", info.value("targetId", std::string())}});
}

// QUILLFRAME_PREVIEW_DEVTOOLS=1 (preview.sh --devtools) opens DevTools for the page once it shows.
void WebView::OpenDevToolsOnce() {
    if (devToolsOpened_ || EnvironmentValue("QUILLFRAME_PREVIEW_DEVTOOLS") != "1") return;
    devToolsOpened_ = true;
    if (!settings_->DevToolsEnabled()) {
        Log("DevTools not opened: the app turns them off (\"enable-devtools\": false in its manifest)");
        return;
    }
    browser_->Cdp().Send("Target.openDevTools", {{"targetId", targetId_}});
}

}  // namespace preview
