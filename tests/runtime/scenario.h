#pragma once

// The scenario a test gives the stand-in: webview2-scenario.json beside the executable.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "loader/webview2_win.h"

namespace standin {

struct CreationOutcome {
    HRESULT returns = S_OK;    // what the creating call returns; a failure means no completion
    HRESULT errorCode = S_OK;  // passed to the completion handler
    bool nullObject = false;   // completion without the object
    bool retry = false;        // read the caller's creation state again before the completion
};

struct Scenario {
    std::optional<std::string> evergreenVersion = std::string("120.0.2210.55");
    std::string fixedVersion = "120.0.2210.55";
    nlohmann::json environmentCreation = nlohmann::json::object();
    nlohmann::json controllerCreation = nlohmann::json::object();
    bool manualLoad = false;
    nlohmann::json steps;  // array; the default steps when the file has none
};

// Read once; a missing or unreadable file gives the defaults.
const Scenario& CurrentScenario();

// The outcome of the attempt-th creation (1-based) under a *Creation member of the scenario.
CreationOutcome CreationFor(const nlohmann::json& spec, int attempt);

HRESULT HresultFrom(const nlohmann::json& value, HRESULT fallback);

}  // namespace standin
