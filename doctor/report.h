#pragma once
#include <string>

#include "findings.h"

// The checklist for people: one line per check ("ok" or "problem"), what was
// found, the details indented, "fix:" and one line, then the verdict.
std::string FormatText(const std::string& folder, const Diagnosis& diagnosis);

// The same as one JSON object: "folder", "wouldStart", "manifest" (the values
// in effect, or null) and "checks", each with "check", "status" ("ok" or
// "problem"), "stopsStart", "message", "details" and "fix".
std::string FormatJson(const std::string& folder, const Diagnosis& diagnosis);
