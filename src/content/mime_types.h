#pragma once
#include <map>
#include <string>

// File extension (with its dot, lower case) to Content-Type.
extern const std::map<std::string, std::string> MimeTypeTable;

// Content-Type for a request path, chosen by everything from its last "."
// (wherever it lies) compared without regard to ASCII letter case;
// "application/octet-stream" when that extension is unknown or absent.
std::string GetMimeType(const std::string& path);
