#include "shim.h"

#include <nlohmann/json.hpp>

namespace preview {

const char kBindingName[] = "__quillframePreviewHost";

namespace {

// Where the runtime's answers to permission requests reach the shim.
const char kPermissionAnswerName[] = "__quillframePreviewPermission";

// The calls that ask for a permission wait for the host's answer (PermissionRequested) before Chromium
// sees them: the runtime applies the answer to the origin first, so Chromium prompts only when the host
// left the decision to it. A permission Chromium already grants is not asked for again.
std::string PermissionGuards() {
    return std::string("  const answerName = '") + kPermissionAnswerName + R"(';
  const waiting = new Map();
  let requests = 0;
  Object.defineProperty(globalThis, answerName, { value: (id) => { const go = waiting.get(id); waiting.delete(id); if (go) go(); } });
  const askOne = (permission) => navigator.permissions.query({ name: permission }).then((s) => s.state, () => 'prompt')
    .then((state) => state === 'granted' ? undefined : new Promise((go) => {
      const id = ++requests;
      waiting.set(id, go);
      const user = !!(navigator.userActivation && navigator.userActivation.isActive);
      notify({ type: 'permission', permission, id, source: location.href, origin: location.origin, user });
    }));
  const ask = (permissions) => permissions.reduce((done, permission) => done.then(() => askOne(permission)), Promise.resolve());
  const guard = (object, method, permissionsOf) => {
    const original = object && object[method];
    if (typeof original !== 'function') return;
    object[method] = function (...args) { return ask(permissionsOf(...args)).then(() => original.apply(this, args)); };
  };
  if (navigator.mediaDevices) guard(navigator.mediaDevices, 'getUserMedia', (c = {}) =>
    [c.video && 'camera', c.audio && 'microphone'].filter(Boolean));
  if (globalThis.Notification) guard(Notification, 'requestPermission', () => ['notifications']);
  if (navigator.clipboard) ['read', 'readText'].forEach((m) => guard(navigator.clipboard, m, () => ['clipboard-read']));
  const geo = navigator.geolocation;
  if (geo) {
    const { watchPosition, clearWatch } = geo;
    const watches = new Map();
    let watchCount = 0;
    guard(geo, 'getCurrentPosition', () => ['geolocation']);
    // watchPosition answers its number at once: the real watch starts once the host has answered.
    geo.watchPosition = function (...args) {
      const id = ++watchCount;
      watches.set(id, null);
      ask(['geolocation']).then(() => { if (watches.has(id)) watches.set(id, watchPosition.apply(geo, args)); });
      return id;
    };
    geo.clearWatch = function (id) {
      const real = watches.get(id);
      watches.delete(id);
      if (real != null) clearWatch.call(geo, real);
    };
  }
)";
}

}  // namespace

std::string ShimScript() {
    return std::string("(() => {\n  const name = '") + kBindingName + R"(';
  const send = globalThis[name];
  if (typeof send !== 'function' || (globalThis.chrome && globalThis.chrome.webview)) return;
  delete globalThis[name];
  const notify = (notice) => send(JSON.stringify(notice));
  const webview = new EventTarget();
  webview.postMessage = (message) => {
    const json = JSON.stringify(message);
    notify({ type: 'message', json: json === undefined ? 'null' : json, source: location.href });
  };
  if (!globalThis.chrome) globalThis.chrome = {};
  Object.defineProperty(globalThis.chrome, 'webview', { value: webview, enumerable: true });
  window.close = () => notify({ type: 'close' });
  document.addEventListener('fullscreenchange', () => notify({ type: 'fullscreen', on: !!document.fullscreenElement }));
  let title = null;
  const reportTitle = () => {
    // No title while the document has not parsed one yet.
    if (document.title === title || (document.title === '' && document.readyState === 'loading')) return;
    title = document.title;
    notify({ type: 'title', title });
  };
  new MutationObserver(reportTitle).observe(document, { subtree: true, childList: true, characterData: true });
  document.addEventListener('DOMContentLoaded', reportTitle);
)" + PermissionGuards() + "})();\n";
}

std::optional<PageNotice> ParsePageNotice(const std::string& payload) {
    const nlohmann::json parsed = nlohmann::json::parse(payload, nullptr, false);
    if (!parsed.is_object() || !parsed.contains("type") || !parsed["type"].is_string()) return std::nullopt;
    const std::string type = parsed["type"];
    PageNotice notice;
    if (type == "message") {
        notice.json = parsed.value("json", std::string("null"));
        notice.source = parsed.value("source", std::string());
    } else if (type == "title") {
        notice.kind = PageNotice::Kind::Title;
        notice.title = parsed.value("title", std::string());
    } else if (type == "fullscreen") {
        notice.kind = PageNotice::Kind::Fullscreen;
        notice.fullscreen = parsed.value("on", false);
    } else if (type == "close") {
        notice.kind = PageNotice::Kind::Close;
    } else if (type == "permission" && parsed.value("id", 0) > 0) {
        notice.kind = PageNotice::Kind::Permission;
        notice.permission = parsed.value("permission", std::string());
        notice.request = parsed.value("id", 0);
        notice.source = parsed.value("source", std::string());
        notice.origin = parsed.value("origin", std::string());
        notice.userInitiated = parsed.value("user", false);
    } else {
        return std::nullopt;
    }
    return notice;
}

int PermissionKindOf(const std::string& permission) {
    static const std::pair<const char*, int> kKinds[] = {
        {"microphone", 1}, {"camera", 2}, {"geolocation", 3}, {"notifications", 4}, {"clipboard-read", 6}};
    for (const auto& [name, kind] : kKinds)
        if (permission == name) return kind;
    return 0;
}

std::string PermissionAnsweredExpression(int request) {
    return std::string("globalThis.") + kPermissionAnswerName + "(" + std::to_string(request) + ")";
}

std::string DevToolsKeysGuardScript() {
    return R"(addEventListener('keydown', (event) => {
  const key = event.key.toUpperCase();
  if (key === 'F12' || (event.ctrlKey && event.shiftKey && ['I', 'J', 'C'].includes(key))) {
    event.preventDefault();
    event.stopImmediatePropagation();
  }
}, true);
)";
}

std::string DeliverMessageExpression(const std::string& json) {
    return "chrome.webview.dispatchEvent(new MessageEvent('message', { data: (" + json + ") }))";
}

}  // namespace preview
