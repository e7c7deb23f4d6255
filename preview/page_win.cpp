#include "page_win.h"

#include <algorithm>

#include "common/strings.h"
#include "unix_win.h"

namespace preview {

namespace {

// A 206 body is cut to this many bytes (the browser asks for the rest); whole answers may be larger,
// up to what one DevTools message carries safely once in base64.
constexpr uint64_t kPartialLimit = 8u << 20;
constexpr uint64_t kWholeLimit = 48u << 20;

// What is left of the stream from where it stands, when it says so.
uint64_t RemainingLength(IStream* stream) {
    STATSTG stat{};
    ULARGE_INTEGER position{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(stream->Seek({}, STREAM_SEEK_CUR, &position)))
        return 0;
    return stat.cbSize.QuadPart > position.QuadPart ? stat.cbSize.QuadPart - position.QuadPart : 0;
}

// Up to `limit` bytes, and one more when there are more. Read straight into the answer in one call when
// the stream tells its length: a 1 MiB range took 1.5 ms under Wine in 64 KiB pieces, 0.9 ms so.
std::string ReadStream(IStream* stream, uint64_t limit) {
    if (!stream) return {};
    std::string bytes(static_cast<size_t>(std::min(RemainingLength(stream), limit) + 1), '\0');
    size_t filled = 0;
    ULONG read = 0;
    while (filled <= limit) {
        if (filled == bytes.size())
            bytes.resize(static_cast<size_t>(std::min<uint64_t>(std::max<uint64_t>(filled * 2, 1 << 16), limit + 1)));
        const ULONG room = static_cast<ULONG>(std::min<size_t>(bytes.size() - filled, 1u << 30));
        if (FAILED(stream->Read(bytes.data() + filled, room, &read)) || read == 0) break;
        filled += read;
    }
    bytes.resize(filled);
    return bytes;
}

// A member of an object, or null: a const json's operator[] must not be asked for a missing key.
const nlohmann::json& Field(const nlohmann::json& object, const char* key) {
    static const nlohmann::json kNull;
    if (!object.is_object()) return kNull;
    const auto found = object.find(key);
    return found == object.end() ? kNull : *found;
}

std::string Text(const nlohmann::json& object, const char* key) {
    const nlohmann::json& value = Field(object, key);
    return value.is_string() ? value.get<std::string>() : std::string();
}

// What a closed web view's methods return.
const HRESULT kClosed = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);

}  // namespace

HRESULT Settings::put_IsScriptEnabled(BOOL value) {
    script_ = value != FALSE;
    scriptEnabled_(script_);
    return S_OK;
}

WebView::WebView(std::shared_ptr<Browser> browser, ICoreWebView2Environment* environment, std::string targetId,
                 std::string sessionId)
    : browser_(std::move(browser)),
      environment_(environment),
      targetId_(std::move(targetId)),
      sessionId_(std::move(sessionId)),
      settings_(Make<Settings>(
          [this](bool enabled) { Send("Emulation.setScriptExecutionDisabled", nlohmann::json{{"value", !enabled}}); },
          [this](bool enabled) { OnDevToolsSetting(enabled); })),
      console_(browser_, sessionId_) {}

bool WebView::Start() {
    browser_->Listen([this](const CdpMessage& event) { OnEvent(event); });
    browser_->ServeWith([this](const ServedRequest& request) { return ServeRelayed(request); });
    browser_->ListenForEnd([this] { OnProcessFailed(COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED); });
    Send("Inspector.enable", nullptr);
    Send("Runtime.addBinding", {{"name", std::string(kBindingName)}});
    Send("Page.addScriptToEvaluateOnNewDocument", {{"source", ShimScript()}, {"runImmediately", true}});
    Send("Page.enable", nullptr);
    Send("Runtime.enable", nullptr);
    console_.Start();
    EnableFetch();
    browser_->Cdp().Send("Target.setDiscoverTargets", {{"discover", true}});
    const auto ready = browser_->Cdp().Call("Runtime.evaluate", {{"expression", "1"}}, sessionId_);
    return ready && ready->error.empty();
}

void WebView::Detach() {
    browser_->Listen(nullptr);
    browser_->ServeWith(nullptr);
    browser_->ListenForEnd(nullptr);
}

void WebView::Send(const std::string& method, const nlohmann::json& params) {
    browser_->Cdp().Send(method, params, sessionId_);
}

void WebView::EnableFetch() {
    // Every document request pauses, so that NavigationStarting can cancel it; of the rest only those the
    // host's filters name and the loopback server does not see.
    nlohmann::json patterns = nlohmann::json::array();
    patterns.push_back({{"urlPattern", "*"}, {"resourceType", "Document"}, {"requestStage", "Request"}});
    for (const auto& filter : filters_) {
        if (!(browser_->Relayed() && GoesThroughRelay(filter.first)))
            patterns.push_back({{"urlPattern", FetchUrlPattern(filter.first)}, {"requestStage", "Request"}});
    }
    Send("Fetch.enable", {{"patterns", patterns}});
}

HRESULT WebView::get_Settings(ICoreWebView2Settings** settings) {
    if (!settings) return E_POINTER;
    return settings_.CopyTo(settings);
}

HRESULT WebView::get_Environment(ICoreWebView2Environment** environment) {
    if (!environment) return E_POINTER;
    return environment_.CopyTo(environment);
}

HRESULT WebView::Navigate(LPCWSTR uri) {
    if (!uri) return E_INVALIDARG;
    if (closed_) return kClosed;
    Send("Page.navigate", {{"url", WideToUtf8(uri)}});
    return S_OK;
}

HRESULT WebView::Reload() {
    if (closed_) return kClosed;
    Send("Page.reload", nullptr);
    return S_OK;
}

HRESULT WebView::PostWebMessageAsJson(LPCWSTR json) {
    const nlohmann::json parsed = nlohmann::json::parse(json ? WideToUtf8(json) : std::string(), nullptr, false);
    if (parsed.is_discarded()) return E_INVALIDARG;
    if (closed_) return kClosed;
    if (!topContext_ || !settings_->WebMessagesEnabled()) return S_OK;
    Send("Runtime.evaluate", {{"expression", DeliverMessageExpression(parsed.dump())}, {"contextId", *topContext_}});
    return S_OK;
}

HRESULT WebView::PostWebMessageAsString(LPCWSTR text) {
    return PostWebMessageAsJson(Utf8ToWide(nlohmann::json(text ? WideToUtf8(text) : std::string()).dump()).c_str());
}

HRESULT WebView::AddWebResourceRequestedFilter(LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    if (!uri) return E_INVALIDARG;
    filters_.emplace_back(WideToUtf8(uri), context);
    EnableFetch();
    return S_OK;
}

HRESULT WebView::RemoveWebResourceRequestedFilter(LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    if (!uri) return E_INVALIDARG;
    const auto filter = std::find(filters_.begin(), filters_.end(), std::make_pair(WideToUtf8(uri), context));
    if (filter == filters_.end()) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    filters_.erase(filter);
    EnableFetch();
    return S_OK;
}

void WebView::OnEvent(const CdpMessage& event) {
    if (console_.OnEvent(event, source_)) return;
    if (!event.sessionId.empty() && event.sessionId != sessionId_) return;
    const nlohmann::json& params = event.params;
    if (event.method == "Fetch.requestPaused") {
        OnRequestPaused(params);
    } else if (event.method == "Runtime.bindingCalled") {
        OnBindingCalled(params);
    } else if (event.method == "Runtime.executionContextCreated") {
        const nlohmann::json& context = Field(params, "context");
        const nlohmann::json& aux = Field(context, "auxData");
        if (Field(aux, "isDefault") == true && Text(aux, "frameId") == targetId_) {
            topContext_ = Field(context, "id").is_number_integer() ? Field(context, "id").get<int>() : 0;
            rendererCrashed_ = false;
        }
    } else if (event.method == "Runtime.executionContextsCleared") {
        topContext_.reset();
    } else if (event.method == "Page.domContentEventFired" && navigationId_ > 0 && !awaitingCommit_) {
        // Not for the start-up document of the app window, which the host never asked for.
        domContentLoaded_.Raise(this, Make<DomContentLoadedArgs>(navigationId_).Get());
        OpenDevToolsOnce();
    } else if (event.method == "Page.frameNavigated" && Field(Field(params, "frame"), "parentId").is_null()) {
        source_ = Text(Field(params, "frame"), "url");
        awaitingCommit_ = false;
    } else if (event.method == "Page.windowOpen") {
        OnNewWindow(Text(params, "url"), std::nullopt);
    } else if (event.method == "Inspector.targetCrashed" ||
               (event.method == "Target.targetCrashed" && Text(params, "targetId") == targetId_)) {
        OnProcessFailed(COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED);
    } else if (event.method == "Target.targetCreated") {
        const nlohmann::json& info = Field(params, "targetInfo");
        if (Text(info, "openerId") == targetId_ && Text(info, "type") == "page")
            OnNewWindow(std::nullopt, Text(info, "targetId"));
        OnTargetInfo(info);
    } else if (event.method == "Target.targetInfoChanged") {
        OnTargetInfo(Field(params, "targetInfo"));
    }
}

void WebView::OnRequestPaused(const nlohmann::json& params) {
    const std::string requestId = Text(params, "requestId");
    const nlohmann::json& request = Field(params, "request");
    const bool document = Text(params, "resourceType") == "Document";
    if (document && Text(params, "frameId") == targetId_) {
        if (CancelNavigation(requestId, request)) return;
        // Until the new document commits, what the frame reports is its old document's (the start-up page
        // may finish loading while the host's first document is on its way).
        awaitingCommit_ = true;
    }
    if (!Serve(requestId, params)) Send("Fetch.continueRequest", {{"requestId", requestId}});
}

bool WebView::CancelNavigation(const std::string& requestId, const nlohmann::json& request) {
    auto args = Make<NavigationStartingArgs>(Text(request, "url"),
                                             HeadersFromObject(Field(request, "headers")), ++navigationId_);
    navigationStarting_.Raise(this, args.Get());
    if (!args->Cancelled()) return false;
    // The document request fails as aborted: the page shown stays.
    Send("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "Aborted"}});
    return true;
}

bool WebView::Serve(const std::string& requestId, const nlohmann::json& params) {
    const nlohmann::json& request = Field(params, "request");
    std::string url = Text(request, "url");
    // The loopback server puts it to the host once it arrives there.
    if (browser_->Relayed() && GoesThroughRelay(url)) return false;
    if (auto fragment = request.find("urlFragment"); fragment != request.end() && fragment->is_string())
        url += fragment->get<std::string>();
    const auto answer = AskHost(url, Text(request, "method"), HeadersFromObject(Field(request, "headers")),
                                ResourceContextOf(Text(params, "resourceType")));
    if (!answer) return false;
    Fulfill(requestId, *answer.Get());
    return true;
}

std::optional<ServedAnswer> WebView::ServeRelayed(const ServedRequest& request) {
    const auto answer = AskHost(request.url, request.method, request.headers, request.context);
    if (!answer) return std::nullopt;
    return ServedAnswer{answer->Status(), answer->Reason(), answer->Headers(), answer->Content()};
}

Microsoft::WRL::ComPtr<Response> WebView::AskHost(const std::string& url, const std::string& method,
                                                 const HeaderList& headers, int context) {
    const bool filtered = std::any_of(filters_.begin(), filters_.end(), [&](const auto& filter) {
        return (filter.second == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL || filter.second == context) &&
               MatchesFilter(filter.first, url);
    });
    if (!filtered || webResourceRequested_.Empty()) return nullptr;
    auto args = Make<WebResourceRequestedArgs>(Make<Request>(url, method, headers),
                                               static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(context));
    webResourceRequested_.Raise(this, args.Get());
    return args->Answer();
}

void WebView::Fulfill(const std::string& requestId, const Response& response) {
    Answer answer{response.Status(), response.Headers(), 0};
    std::string body = ReadStream(response.Content(), answer.status == 206 ? kPartialLimit : kWholeLimit);
    if (answer.status != 206 && body.size() > kWholeLimit) {
        Log("an answer of more than " + std::to_string(kWholeLimit >> 20) + " MiB cannot be handed on: " + requestId);
        Send("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "Failed"}});
        return;
    }
    answer.bodyLength = body.size();
    answer = CapPartialAnswer(std::move(answer), kPartialLimit);
    body.resize(answer.bodyLength);
    nlohmann::json params{{"requestId", requestId},
                          {"responseCode", answer.status},
                          {"responseHeaders", FetchHeaderEntries(answer.headers)}};
    if (!response.Reason().empty()) params["responsePhrase"] = response.Reason();
    browser_->Cdp().SendWithBytes("Fetch.fulfillRequest", params, sessionId_, "body", body);
}

void WebView::OnBindingCalled(const nlohmann::json& params) {
    if (Text(params, "name") != kBindingName) return;
    const auto notice = ParsePageNotice(Text(params, "payload"));
    const nlohmann::json& context = Field(params, "executionContextId");
    // Any frame may ask for a permission (the host judges its URI); only the top document's own world
    // speaks for the page otherwise, not frames or extensions' worlds.
    if (notice && notice->kind == PageNotice::Kind::Permission && context.is_number_integer())
        OnPermissionNotice(*notice, context.get<int>());
    else if (notice && topContext_ && context == *topContext_)
        OnPageNotice(*notice);
}

void WebView::OnPageNotice(const PageNotice& notice) {
    switch (notice.kind) {
    case PageNotice::Kind::Message:
        if (settings_->WebMessagesEnabled())
            webMessageReceived_.Raise(this, Make<WebMessageArgs>(notice.source, notice.json).Get());
        break;
    case PageNotice::Kind::Title:
        title_ = notice.title.empty() ? DefaultTitle() : notice.title;
        titleChanged_.Raise(this, static_cast<IUnknown*>(nullptr));
        break;
    case PageNotice::Kind::Fullscreen:
        fullscreen_ = notice.fullscreen;
        fullscreenChanged_.Raise(this, static_cast<IUnknown*>(nullptr));
        break;
    case PageNotice::Kind::Close:
        closeRequested_.Raise(this, static_cast<IUnknown*>(nullptr));
        break;
    case PageNotice::Kind::Permission:  // answered in the asking frame's context: OnBindingCalled
        break;
    }
}

// What the runtime reports for a document without a title: Chromium's own default, made from its URI.
std::string WebView::DefaultTitle() {
    const auto info = browser_->Cdp().Call("Target.getTargetInfo", {{"targetId", targetId_}});
    return info && info->error.empty() ? Text(Field(info->params, "targetInfo"), "title") : std::string();
}

void WebView::OnNewWindow(std::optional<std::string> url, std::optional<std::string> targetId) {
    // Page.windowOpen names the URL, Target.targetCreated the new window; either may come first.
    if (url) openedUrls_.push_back(*url);
    if (targetId) openedTargets_.push_back(*targetId);
    while (!openedUrls_.empty() && !openedTargets_.empty()) {
        auto args = Make<NewWindowArgs>(openedUrls_.front());
        const std::string target = openedTargets_.front();
        openedUrls_.pop_front();
        openedTargets_.pop_front();
        newWindowRequested_.Raise(this, args.Get());
        if (args->Handled()) browser_->Cdp().Send("Target.closeTarget", {{"targetId", target}});
    }
}

void WebView::OnProcessFailed(COREWEBVIEW2_PROCESS_FAILED_KIND kind) {
    const bool renderer = kind == COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED;
    // Chromium reports one crash both on the page's session and to the browser: the host hears it once.
    // Chromium shows its own error page in the crashed page's place until the page is loaded again.
    if (closed_ || (renderer && rendererCrashed_)) return;
    rendererCrashed_ = renderer;
    closed_ = !renderer;
    topContext_.reset();
    // The host may release this web view from its handler.
    const Microsoft::WRL::ComPtr<WebView> self(this);
    processFailed_.Raise(this, Make<ProcessFailedArgs>(kind).Get());
}

}  // namespace preview
