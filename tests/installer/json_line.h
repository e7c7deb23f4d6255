#pragma once
#include <string>

// Tiny JSON writer for the test programs' one-line records (UTF-8 out).
std::string JsonString(const std::wstring& text);

// Appends one line to a file given by a wide path; false when it cannot.
bool AppendLine(const std::wstring& path, const std::string& line);
