#include "diagnosis.h"

#include <algorithm>

#include "app_checks.h"
#include "content_checks.h"
#include "extension_checks.h"

namespace fs = std::filesystem;

Finding Ok(std::string check, std::string message) {
    Finding finding;
    finding.check = std::move(check);
    finding.message = std::move(message);
    return finding;
}

Finding Problem(std::string check, std::string message, std::string fix, bool stopsStart) {
    Finding finding = Ok(std::move(check), std::move(message));
    finding.ok = false;
    finding.stopsStart = stopsStart;
    finding.fix = std::move(fix);
    return finding;
}

bool WouldStart(const Diagnosis& diagnosis) {
    return std::none_of(diagnosis.findings.begin(), diagnosis.findings.end(),
                        [](const Finding& finding) { return finding.stopsStart; });
}

namespace {

void AddExtensionFindings(const fs::path& folder, std::vector<Finding>& findings) {
    std::optional<ExtensionLibrary> library;
    if (std::optional<Finding> only = FindExtension(folder, library)) {
        findings.push_back(std::move(*only));
        return;
    }
    findings.push_back(CheckExtensionMachine(*library));
    findings.push_back(CheckExtensionExports(*library));
    findings.push_back(CheckExtensionImports(folder, *library));
}

}  // namespace

Diagnosis DiagnoseApp(const fs::path& folder) {
    Diagnosis diagnosis;
    auto& findings = diagnosis.findings;
    findings.push_back(CheckManifest(folder, diagnosis.manifest));
    if (const auto& manifest = diagnosis.manifest) {
        findings.push_back(CheckStartPage(folder, *manifest));
        findings.push_back(CheckIcon(folder, *manifest));
        findings.push_back(CheckFixedRuntime(folder, *manifest));
    }
    AddExtensionFindings(folder, findings);
    // Remote pages come from their server: www/ is not served then.
    if (!diagnosis.manifest || diagnosis.manifest->contentMode == ContentMode::Bundle) {
        std::vector<Finding> content = CheckContentFiles(folder);
        findings.insert(findings.end(), content.begin(), content.end());
    }
    return diagnosis;
}
