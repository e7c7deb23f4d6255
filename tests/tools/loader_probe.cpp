// Asks the host's built-in WebView2 loader for the available runtime version, as start-up does, and prints
// one JSON line {"hr":"0x........","version":"..."|null}. Argument: the browser folder; none = installed.

#include <windows.h>

#include <cstdio>
#include <string>

#include "loader/builtin_loader_win.h"
#include "common/co_task_string_win.h"

int wmain(int argc, wchar_t** argv) {
    CoTaskString version;
    const HRESULT hr = BuiltInGetAvailableBrowserVersionString(argc > 1 ? argv[1] : nullptr, version.Put());
    const bool found = static_cast<bool>(version);
    const std::string text = version.Utf8();
    std::printf("{\"hr\":\"0x%08lX\",\"version\":%s%s%s}\n", static_cast<unsigned long>(hr), found ? "\"" : "",
                found ? text.c_str() : "null", found ? "\"" : "");
    return 0;
}
