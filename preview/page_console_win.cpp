#include "page_console_win.h"

#include "console.h"
#include "unix_win.h"

namespace preview {

PageConsole::PageConsole(std::shared_ptr<Browser> browser, std::string pageSession)
    : browser_(std::move(browser)),
      pageSession_(std::move(pageSession)),
      toTerminal_(EnvironmentValue("QUILLFRAME_PREVIEW_CONSOLE") != "0") {}

void PageConsole::Start() {
    // Workers only: frames of the page share its session, and nothing waits for us to let a worker run.
    const nlohmann::json filter = nlohmann::json::array(
        {{{"type", "worker"}}, {{"type", "shared_worker"}}, {{"type", "service_worker"}}});
    browser_->Cdp().Send("Target.setAutoAttach",
                         {{"autoAttach", true}, {"waitForDebuggerOnStart", false}, {"flatten", true}, {"filter", filter}},
                         pageSession_);
}

bool PageConsole::OnEvent(const CdpMessage& event, const std::string& pageUrl) {
    const nlohmann::json& params = event.params;
    const std::string session = params.is_object() ? params.value("sessionId", std::string()) : std::string();
    if (event.method == "Target.attachedToTarget" && event.sessionId == pageSession_ && !session.empty()) {
        workerSessions_.insert(session);
        browser_->Cdp().Send("Runtime.enable", nullptr, session);
        return true;
    }
    if (event.method == "Target.detachedFromTarget") return workerSessions_.erase(session) > 0;
    const bool worker = workerSessions_.count(event.sessionId) > 0;
    if (!worker && event.sessionId != pageSession_) return false;
    const auto line = ConsoleLine(event.method, params, OriginOf(pageUrl), worker);
    if (line) Print(*line, toTerminal_);
    return line.has_value() || worker;
}

}  // namespace preview
