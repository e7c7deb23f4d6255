#include "report.h"

#include <nlohmann/json.hpp>

namespace {

nlohmann::json ManifestValues(const AppManifest& manifest) {
    return {
        {"name", manifest.name},
        {"main", manifest.main},
        {"chromium-args", manifest.chromiumArgs},
        {"window",
         {{"title", manifest.title},
          {"width", manifest.width},
          {"height", manifest.height},
          {"icon", manifest.icon},
          {"resizable", manifest.resizable}}},
        {"settings",
         {{"distribution-mode", manifest.distributionMode == DistributionMode::Fixed ? "fixed" : "evergreen"},
          {"content-mode", manifest.contentMode == ContentMode::Remote ? "remote" : "bundle"},
          {"enable-devtools", manifest.enableDevtools}}},
        {"messages",
         {{"install-webview2", manifest.installWebView2Message},
          {"downloading", manifest.downloadingMessage},
          {"install-webview2-failed", manifest.installFailedMessage}}},
    };
}

// "window.title: ..." lines, one per value, in the order of the JSON.
void AddValueLines(const nlohmann::json& values, const std::string& prefix, std::string& out) {
    for (const auto& item : values.items()) {
        if (item.value().is_object()) {
            AddValueLines(item.value(), prefix + item.key() + ".", out);
            continue;
        }
        out += "      " + prefix + item.key() + ": " +
               item.value().dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
}

std::string Verdict(const Diagnosis& diagnosis) {
    size_t problems = 0;
    for (const Finding& finding : diagnosis.findings) problems += finding.ok ? 0 : 1;
    const std::string count = std::to_string(problems) + (problems == 1 ? " problem" : " problems");
    return WouldStart(diagnosis) ? "the app starts and serves its start page (" + count + ")"
                                 : "the app would not start or not show its start page (" + count + ")";
}

}  // namespace

std::string FormatText(const std::string& folder, const Diagnosis& diagnosis) {
    std::string out = "Quillframe doctor: " + folder + "\n";
    for (const Finding& finding : diagnosis.findings) {
        std::string label = finding.check + ":";
        label.resize(std::max<size_t>(label.size(), 19), ' ');
        out += std::string(finding.ok ? "ok       " : "problem  ") + label + " " + finding.message + "\n";
        for (const std::string& detail : finding.details) out += "      " + detail + "\n";
        if (!finding.fix.empty()) out += "      fix: " + finding.fix + "\n";
        if (finding.check == "manifest" && diagnosis.manifest)
            AddValueLines(ManifestValues(*diagnosis.manifest), "", out);
    }
    return out + "verdict: " + Verdict(diagnosis) + "\n";
}

std::string FormatJson(const std::string& folder, const Diagnosis& diagnosis) {
    nlohmann::json checks = nlohmann::json::array();
    for (const Finding& finding : diagnosis.findings)
        checks.push_back({{"check", finding.check},
                          {"status", finding.ok ? "ok" : "problem"},
                          {"stopsStart", finding.stopsStart},
                          {"message", finding.message},
                          {"details", finding.details},
                          {"fix", finding.fix}});
    const nlohmann::json report = {
        {"folder", folder},
        {"wouldStart", WouldStart(diagnosis)},
        {"manifest", diagnosis.manifest ? ManifestValues(*diagnosis.manifest) : nlohmann::json()},
        {"checks", checks},
    };
    return report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}
