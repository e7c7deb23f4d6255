#include "diagnosis.h"

#include "app_checks.h"
#include "content_checks.h"
#include "extension_checks.h"

namespace fs = std::filesystem;

namespace {

void AddExtensionFindings(const fs::path& folder, std::vector<Finding>& findings) {
    std::optional<PeImage> library;
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
