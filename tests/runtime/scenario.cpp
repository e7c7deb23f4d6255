#include "scenario.h"

#include <climits>
#include <cstdlib>

#include "standin_com.h"
#include "transcript.h"

namespace standin {
namespace {

nlohmann::json DefaultSteps() {
    return nlohmann::json::array({{{"do", "postMessage"}, {"string", R"({"type":"wrapper-init"})"}}});
}

Scenario Load() {
    Scenario scenario;
    scenario.steps = DefaultSteps();
    const auto text = ReadWholeFile(ExeFolder() + L"webview2-scenario.json");
    if (!text) return scenario;
    const nlohmann::json doc = nlohmann::json::parse(*text, nullptr, false);
    if (!doc.is_object()) {
        Record("scenarioError", {{"error", "webview2-scenario.json is not a JSON object"}});
        return scenario;
    }
    if (doc.contains("evergreenVersion")) {
        const auto& value = doc["evergreenVersion"];
        scenario.evergreenVersion =
            value.is_string() ? std::optional<std::string>(value.get<std::string>()) : std::nullopt;
    }
    scenario.fixedVersion = doc.value("fixedVersion", scenario.fixedVersion);
    scenario.environmentCreation = doc.value("environmentCreation", nlohmann::json::object());
    scenario.controllerCreation = doc.value("controllerCreation", nlohmann::json::object());
    scenario.manualLoad = doc.value("manualLoad", false);
    if (doc.contains("steps") && doc["steps"].is_array()) scenario.steps = doc["steps"];
    return scenario;
}

}  // namespace

const Scenario& CurrentScenario() {
    static const Scenario scenario = Load();
    return scenario;
}

HRESULT HresultFrom(const nlohmann::json& value, HRESULT fallback) {
    if (value.is_number_integer()) return static_cast<HRESULT>(value.get<long long>());
    if (value.is_string()) return static_cast<HRESULT>(std::strtoul(value.get<std::string>().c_str(), nullptr, 0));
    return fallback;
}

CreationOutcome CreationFor(const nlohmann::json& spec, int attempt) {
    CreationOutcome outcome;
    if (!spec.is_object() || spec.empty()) return outcome;
    if (attempt > spec.value("times", INT_MAX)) return outcome;
    outcome.returns = HresultFrom(spec.value("returns", nlohmann::json()), S_OK);
    outcome.errorCode = HresultFrom(spec.value("errorCode", nlohmann::json()), S_OK);
    outcome.nullObject = spec.value("nullEnvironment", false) || spec.value("nullController", false);
    outcome.retry = spec.value("retry", false);
    return outcome;
}

}  // namespace standin
