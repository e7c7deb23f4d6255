#include "creation.h"

#include "dispatcher.h"
#include "environment.h"
#include "options_probe.h"
#include "scenario.h"
#include "transcript.h"

namespace standin {
namespace {

// Reads everything the request points at, as the runtime does at each attempt.
nlohmann::json ReadRequest(const CreationRequest& request) {
    nlohmann::json read = nlohmann::json::object();
    if (request.hasFolder) read["folder"] = Json(request.browserExecutableFolder);
    read["userDataFolder"] = Json(request.userDataFolder);
    read["optionsNull"] = request.options == nullptr;
    read["options"] = ProbeOptions(request.options);
    return read;
}

}  // namespace

HRESULT CreateEnvironment(const char* call, nlohmann::json members, const CreationRequest& request,
                          ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler,
                          const std::optional<std::string>& version) {
    SetUiThread(GetCurrentThreadId());
    static int attempts = 0;
    const CreationOutcome outcome = CreationFor(CurrentScenario().environmentCreation, ++attempts);
    HRESULT hr = outcome.returns;
    if (!handler) hr = E_POINTER;
    if (SUCCEEDED(hr) && !version) hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    members.update(ReadRequest(request));
    members["hr"] = HresultText(hr);
    Record(call, std::move(members));
    if (FAILED(hr)) return hr;
    // The retry comes from its own posted message, before the completion reaches the caller.
    if (outcome.retry) Enqueue([request] { Record("retry", ReadRequest(request)); });
    CompleteEnvironmentCreation(handler, outcome, *version);
    return S_OK;
}

}  // namespace standin
