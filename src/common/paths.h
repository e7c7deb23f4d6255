#pragma once
#include <string>

// Extended-length form of a path: "\\?\" in front (or "\\?\UNC\" for a
// "\\server\share" path), every "/" turned into "\". Paths shorter than four
// characters, device paths ("\\.\") and paths already prefixed keep their form.
std::wstring AddLongPathPrefix(const std::wstring& path);

// Undoes AddLongPathPrefix on a path that Windows handed back.
std::wstring StripLongPathPrefix(const std::wstring& path);
