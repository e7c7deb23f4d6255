#pragma once
#include <string>

// The bytes of the file at a UTF-8 path; empty when it cannot be opened.
std::string ReadWholeFile(const std::string& path);
