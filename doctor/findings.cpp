#include "findings.h"

#include <algorithm>

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
