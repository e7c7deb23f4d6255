#include "shim.h"

#include <nlohmann/json.hpp>

namespace preview {

const char kBindingName[] = "__quillframePreviewHost";

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
})();
)";
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
    } else {
        return std::nullopt;
    }
    return notice;
}

std::string DeliverMessageExpression(const std::string& json) {
    return "chrome.webview.dispatchEvent(new MessageEvent('message', { data: (" + json + ") }))";
}

}  // namespace preview
