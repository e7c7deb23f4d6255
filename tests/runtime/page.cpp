#include "page.h"

#include <cstdint>
#include <cwchar>
#include <memory>
#include <stdexcept>

#include "dispatcher.h"
#include "scenario.h"
#include "view_window.h"
#include "web_resource.h"

using Microsoft::WRL::ComPtr;

namespace standin {
namespace {

constexpr size_t kMaxRecordedBody = 4 * 1024 * 1024;

HWND g_parent = nullptr;
// The web view the steps act on: the newest one the host navigated (a new one
// replaces the old after the host recovers from a lost browser process).
// Never destroyed: it may be read until the process ends.
WebViewPtr* const g_stepView = new WebViewPtr;
bool g_stepsQueued = false;

// The argument object of events whose arguments carry nothing.
class EmptyArgs final : public ComObject<EmptyArgs, IUnknown> {};

// The runtime's filter patterns: '*' matches any run of characters, everything else matches itself.
bool Matches(const wchar_t* pattern, const wchar_t* text) {
    if (*pattern == L'\0') return *text == L'\0';
    if (*pattern == L'*') return Matches(pattern + 1, text) || (*text && Matches(pattern, text + 1));
    return *text == *pattern && Matches(pattern + 1, text + 1);
}

bool Filtered(const WebView& view, const std::wstring& uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    for (const auto& filter : view.page.filters) {
        const bool contextMatches =
            filter.context == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL || filter.context == context;
        if (contextMatches && Matches(filter.uri.c_str(), uri.c_str())) return true;
    }
    return false;
}

// Reads the response body from the stream's current position to its end, as the page would receive it.
void RecordServed(const std::wstring& uri, WebResourceResponse* response) {
    if (!response) {
        Record("served", {{"uri", ToUtf8(uri.c_str())}, {"response", nullptr}});
        return;
    }
    nlohmann::json served = response->Describe();
    served["uri"] = ToUtf8(uri.c_str());
    std::string body;
    if (IStream* stream = response->content()) {
        ULARGE_INTEGER position{};
        if (SUCCEEDED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position))) {
            served["streamStartPosition"] = position.QuadPart;
        }
        HRESULT hr = S_OK;
        char chunk[65536];
        for (;;) {
            ULONG read = 0;
            hr = stream->Read(chunk, sizeof chunk, &read);
            body.append(chunk, read);
            if (hr != S_OK || read == 0) break;
        }
        if (FAILED(hr)) served["readHr"] = HresultText(hr);
    }
    served["bodyLength"] = body.size();
    served["bodyTruncated"] = body.size() > kMaxRecordedBody;
    served["bodyBase64"] = Base64(body.substr(0, kMaxRecordedBody));
    Record("served", served);
}

void RaiseRequest(const WebViewPtr& view, const std::wstring& uri,
                  const std::vector<std::pair<std::wstring, std::wstring>>& headers,
                  COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    if (!Filtered(*view.Get(), uri, context)) {
        Record("unfiltered", {{"uri", ToUtf8(uri.c_str())}, {"context", static_cast<int>(context)}});
        return;
    }
    nlohmann::json headerJson = nlohmann::json::object();
    for (const auto& header : headers) headerJson[ToUtf8(header.first.c_str())] = ToUtf8(header.second.c_str());
    auto request = MakeObject<WebResourceRequest>(uri, MakeObject<HttpRequestHeaders>(headers));
    auto args = MakeObject<WebResourceRequestedEventArgs>(uri, request, context);
    const auto results = view->webResourceRequested.Raise(
        "WebResourceRequested",
        {{"uri", ToUtf8(uri.c_str())}, {"context", static_cast<int>(context)}, {"headers", headerJson}}, view.Get(),
        args.Get());
    Record("eventResult",
           {{"event", "WebResourceRequested"}, {"results", results}, {"responseSet", args->response() != nullptr}});
    RecordServed(uri, args->response());
}

void RaiseDomContentLoaded(const WebViewPtr& view) {
    const UINT64 navigationId = view->page.lastNavigationId;
    auto args = MakeObject<DOMContentLoadedEventArgs>(navigationId);
    const auto results =
        view->domContentLoaded.Raise("DOMContentLoaded", {{"navigationId", navigationId}}, view.Get(), args.Get());
    Record("eventResult", {{"event", "DOMContentLoaded"}, {"results", results}});
}

void Navigation(const WebViewPtr& view, const std::wstring& uri, bool userInitiated) {
    const UINT64 navigationId = ++view->page.lastNavigationId;
    auto args = MakeObject<NavigationStartingEventArgs>(uri, userInitiated, navigationId);
    const auto results = view->navigationStarting.Raise(
        "NavigationStarting",
        {{"uri", ToUtf8(uri.c_str())}, {"navigationId", navigationId}, {"userInitiated", userInitiated}}, view.Get(),
        args.Get());
    Record("eventResult", {{"event", "NavigationStarting"}, {"results", results}, {"cancel", args->cancel()}});
    if (args->cancel()) return;
    view->page.uri = uri;
    ShowPage(view->page.uri, view->page.title);
    std::vector<Action> load;
    load.push_back([view, uri] { RaiseRequest(view, uri, {}, COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT); });
    if (!CurrentScenario().manualLoad) load.push_back([view] { RaiseDomContentLoaded(view); });
    RunNext(std::move(load));
}

template <class List>
void RaiseEmpty(const WebViewPtr& view, const char* event, const List& list) {
    auto args = MakeObject<EmptyArgs>();
    const auto results = list.Raise(event, nlohmann::json::object(), view.Get(), args.Get());
    Record("eventResult", {{"event", event}, {"results", results}});
}

void RaiseNewWindow(const WebViewPtr& view, const std::wstring& uri) {
    auto args = MakeObject<NewWindowRequestedEventArgs>(uri);
    const auto results =
        view->newWindowRequested.Raise("NewWindowRequested", {{"uri", ToUtf8(uri.c_str())}}, view.Get(), args.Get());
    Record("eventResult", {{"event", "NewWindowRequested"},
                           {"results", results},
                           {"handled", args->handled()},
                           {"newWindowSet", args->newWindowSet()},
                           {"popupOpened", !args->handled() && !args->newWindowSet()}});
}

void RaiseProcessFailed(const WebViewPtr& view, int kind) {
    auto args = MakeObject<ProcessFailedEventArgs>(kind);
    const auto results = view->processFailed.Raise("ProcessFailed", {{"kind", kind}}, view.Get(), args.Get());
    Record("eventResult", {{"event", "ProcessFailed"}, {"results", results}});
}

void RaisePermission(const WebViewPtr& view, const std::wstring& uri, int kind) {
    auto args = MakeObject<PermissionRequestedEventArgs>(uri, static_cast<COREWEBVIEW2_PERMISSION_KIND>(kind), true);
    const auto results = view->permissionRequested.Raise(
        "PermissionRequested", {{"uri", ToUtf8(uri.c_str())}, {"kind", kind}}, view.Get(), args.Get());
    Record("eventResult",
           {{"event", "PermissionRequested"}, {"results", results}, {"state", static_cast<int>(args->state())}});
}

// A step that cannot be performed as given (recorded as a scenarioError and skipped).
class StepError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The code units of a "utf16" message, lone surrogates included.
std::wstring Utf16Of(const nlohmann::json& units) {
    if (!units.is_array()) throw StepError("utf16 must be an array of code units");
    std::wstring text;
    text.reserve(units.size());
    for (const auto& unit : units) {
        if (!unit.is_number_unsigned() || unit.get<std::uint64_t>() > 0xFFFF) {
            throw StepError("a utf16 code unit must be a whole number from 0 to 65535");
        }
        text += static_cast<wchar_t>(unit.get<unsigned>());
    }
    return text;
}

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A string message as the page's JSON.stringify writes it: well-formed, lone surrogates as \u escapes.
std::wstring JsonString(const std::wstring& text) {
    std::wstring json = L"\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            json += unit;
            json += text[++i];
        } else if (unit == L'"' || unit == L'\\') {
            json += L'\\';
            json += unit;
        } else if (unit == L'\b') {
            json += L"\\b";
        } else if (unit == L'\f') {
            json += L"\\f";
        } else if (unit == L'\n') {
            json += L"\\n";
        } else if (unit == L'\r') {
            json += L"\\r";
        } else if (unit == L'\t') {
            json += L"\\t";
        } else if (unit < 0x20 || IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            wchar_t escape[8];
            swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(unit));
            json += escape;
        } else {
            json += unit;
        }
    }
    return json + L'"';
}

void RaiseMessage(const WebViewPtr& view, const nlohmann::json& step) {
    const std::wstring source = ToWide(step.value("source", ToUtf8(view->page.uri.c_str())));
    std::string jsonUtf8;
    std::wstring json;
    std::optional<std::wstring> text;
    if (step.contains("utf16")) {
        if (step.contains("string")) throw StepError("postMessage takes string or utf16, not both");
        text = Utf16Of(step["utf16"]);
        json = JsonString(*text);
        jsonUtf8 = ToUtf8(json.c_str());
    } else {
        const bool isString = step.contains("string");
        const nlohmann::json value = isString ? step["string"] : step.value("json", nlohmann::json());
        jsonUtf8 = value.dump();
        json = ToWide(jsonUtf8);
        if (isString && value.is_string()) text = ToWide(value.get<std::string>());
    }
    nlohmann::json data = {{"source", ToUtf8(source.c_str())}, {"json", jsonUtf8}, {"isString", text.has_value()}};
    if (!view->settings().webMessagesEnabled()) {
        data["reason"] = "IsWebMessageEnabled is FALSE";
        Record("messageDropped", data);
        return;
    }
    auto args = MakeObject<WebMessageReceivedEventArgs>(source, json, text);
    const auto results = view->webMessageReceived.Raise("WebMessageReceived", data, view.Get(), args.Get());
    Record("eventResult", {{"event", "WebMessageReceived"}, {"results", results}});
}

nlohmann::json RectOf(HWND window, bool client) {
    RECT rect{};
    if (client) {
        GetClientRect(window, &rect);
    } else {
        GetWindowRect(window, &rect);
    }
    return RectJson(rect);
}

void Snapshot(const WebViewPtr& view) {
    HWND window = g_parent;
    if (!IsWindow(window)) {
        Record("snapshot", {{"window", nullptr}});
        return;
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    wchar_t caption[1024] = {};
    GetWindowTextW(window, caption, 1024);
    nlohmann::json snapshot = {
        {"window", reinterpret_cast<UINT_PTR>(window)},
        {"visible", IsWindowVisible(window) != FALSE},
        {"zoomed", IsZoomed(window) != FALSE},
        {"style", static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE))},
        {"exStyle", static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE))},
        {"windowRect", RectOf(window, false)},
        {"clientRect", RectOf(window, true)},
        {"monitorRect", RectJson(monitor.rcMonitor)},
        {"caption", ToUtf8(caption)},
        {"uri", ToUtf8(view->page.uri.c_str())},
        {"title", ToUtf8(view->page.title.c_str())},
        {"viewRect", nullptr},
        {"viewVisible", false},
        {"focusInView", false},
    };
    if (HWND viewWindow = ViewWindow(); IsWindow(viewWindow)) {
        RECT rect{};
        GetWindowRect(viewWindow, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        snapshot["viewRect"] = RectJson(rect);
        snapshot["viewVisible"] = IsWindowVisible(viewWindow) != FALSE;
        snapshot["focusInView"] = GetFocus() == viewWindow;
    }
    Record("snapshot", snapshot);
}

std::vector<std::pair<std::wstring, std::wstring>> HeadersOf(const nlohmann::json& step) {
    std::vector<std::pair<std::wstring, std::wstring>> headers;
    const nlohmann::json given = step.value("headers", nlohmann::json::object());
    for (const auto& item : given.items()) {
        const auto& value = item.value();
        headers.emplace_back(ToWide(item.key()), ToWide(value.is_string() ? value.get<std::string>() : value.dump()));
    }
    return headers;
}

// Runs the body; a step it cannot read is recorded and skipped. Returns false when it was.
template <class Body>
bool Attempt(const nlohmann::json& step, Body body) {
    try {
        body();
        return true;
    } catch (const std::exception& error) {  // the JSON library's, or a StepError
        Record("scenarioError", {{"error", error.what()}, {"step", step}});
    }
    return false;
}

bool Perform(const WebViewPtr& view, const nlohmann::json& step, const Action& next);

// A repeat step under way.
struct Repetition {
    WebViewPtr view;
    nlohmann::json step;
    std::uint64_t times = 0;
    std::uint64_t count = 0;  // repetitions performed
    Action next;              // what follows the repeat
};

// Repetitions run in small batches, each batch from its own dispatched item: the host's message loop runs
// between two batches, as between the runtime's callbacks, without a flood paying a trip through the loop for
// every message. Anything queued meanwhile (a navigation's load) runs before the next repetition. Their own
// lines are left out, so a flood costs a few lines, not several per message.
constexpr int kRepetitionsPerBatch = 16;

void Repeat(const std::shared_ptr<Repetition>& repetition) {
    Repetition& state = *repetition;
    const Action again = [repetition] { Repeat(repetition); };
    bool failed = false;
    for (int batch = 0; batch < kRepetitionsPerBatch && state.count < state.times; ++batch) {
        bool done = true;
        failed = !Attempt(state.step, [&] {
            QuietLines quiet;
            done = Perform(state.view, state.step, again);
        });
        if (failed) break;
        ++state.count;
        if (!done) return;  // the step resumes the repeat itself
        if (HasQueuedActions()) break;
    }
    if (!failed && state.count < state.times) {
        Enqueue(again);
        return;
    }
    Record("repeated", {{"times", state.times}, {"count", state.count}});
    Enqueue(state.next);
}

// Runs one step; returns false when the step itself schedules the next one.
bool Perform(const WebViewPtr& view, const nlohmann::json& step, const Action& next) {
    const std::string action = step.value("do", "");
    const std::wstring uri = ToWide(step.value("uri", ToUtf8(view->page.uri.c_str())));
    PageState& page = view->page;
    if (action == "navigate") {
        Navigation(view, uri, true);
    } else if (action == "request") {
        const int context = step.value("context", static_cast<int>(COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER));
        RaiseRequest(view, uri, HeadersOf(step), static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(context));
    } else if (action == "domContentLoaded") {
        RaiseDomContentLoaded(view);
    } else if (action == "title") {
        page.title = ToWide(step.value("title", ""));
        ShowPage(page.uri, page.title);
        RaiseEmpty(view, "DocumentTitleChanged", view->documentTitleChanged);
    } else if (action == "fullscreenElement") {
        page.containsFullScreenElement = step.value("value", true) ? TRUE : FALSE;
        RaiseEmpty(view, "ContainsFullScreenElementChanged", view->fullScreenChanged);
    } else if (action == "closeRequest") {
        RaiseEmpty(view, "WindowCloseRequested", view->windowCloseRequested);
    } else if (action == "newWindow") {
        RaiseNewWindow(view, uri);
    } else if (action == "permission") {
        RaisePermission(view, uri, step.value("kind", 0));
    } else if (action == "postMessage") {
        RaiseMessage(view, step);
    } else if (action == "processFailed") {
        RaiseProcessFailed(view, step.value("kind", 0));
    } else if (action == "snapshot") {
        Snapshot(view);
    } else if (action == "wait") {
        After(step.value("ms", 0u), next);
        return false;
    } else if (action == "waitForPosts") {
        const int count = step.value("count", 1);
        When([view, count] { return view->page.postedCount >= count; }, step.value("timeoutMs", 5000u), next);
        return false;
    } else if (action == "repeat") {
        const auto times = step.find("times");
        const auto inner = step.find("step");
        if (times == step.end() || !times->is_number_unsigned()) {
            throw StepError("repeat needs times, a whole number of at least 0");
        }
        if (inner == step.end() || !inner->is_object()) throw StepError("repeat needs step, an object");
        const auto repetition = std::make_shared<Repetition>(
            Repetition{view, *inner, times->get<std::uint64_t>(), 0, next});
        Enqueue([repetition] { Repeat(repetition); });
        return false;
    } else if (action == "close") {
        PostMessageW(g_parent, WM_CLOSE, 0, 0);
    } else {
        throw StepError("unknown step");
    }
    return true;
}

void RunStep(size_t index) {
    const nlohmann::json& steps = CurrentScenario().steps;
    if (index >= steps.size()) return;
    Action next = [index] { RunStep(index + 1); };
    Record("step", {{"index", index}, {"step", steps[index]}});
    bool done = true;
    const WebViewPtr view = *g_stepView;
    Attempt(steps[index], [&] { done = Perform(view, steps[index], next); });
    if (done) Enqueue(std::move(next));
}

}  // namespace

void QueueNavigation(WebViewPtr view, std::wstring uri, bool userInitiated) {
    Enqueue([view, uri, userInitiated] { Navigation(view, uri, userInitiated); });
}

void QueueSteps(WebViewPtr view) {
    *g_stepView = std::move(view);
    if (g_stepsQueued) return;
    g_stepsQueued = true;
    Enqueue([] { RunStep(0); });
}

void SetParentWindow(HWND parent) { g_parent = parent; }

}  // namespace standin
