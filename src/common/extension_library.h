#pragma once

// The optional extension library, looked for beside the executable.
inline constexpr char kExtensionLibraryName[] = "ZU2DavErudoze.dll";
