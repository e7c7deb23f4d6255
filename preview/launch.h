#pragma once

// The Chromium command line the preview starts, and the watchdog around it.

#include <optional>
#include <string>
#include <vector>

#include "common/command_line.h"  // QuoteWindowsArgument: what SplitCommandLine and Wine split back

namespace preview {

// Arguments of a command-line fragment as Windows splits them (spaces, double quotes, backslashes
// before quotes), the way the runtime reads AdditionalBrowserArguments.
std::vector<std::string> SplitCommandLine(const std::string& text);

// The port of the last --remote-debugging-port=N among the arguments, when N is not 0.
std::optional<int> ExplicitDebuggingPort(const std::vector<std::string>& arguments);

struct LaunchSettings {
    std::string chromium;        // the Linux binary itself, not a wrapper script
    std::string userDataDir;     // Unix path
    std::string windowClass;     // unique per host, to find its window
    std::string language;        // empty for the browser's own
    int width = 800;
    int height = 600;
    std::vector<std::string> extraArguments;  // the host's and the environment's, after ours
};
std::vector<std::string> ChromiumArguments(const LaunchSettings& settings);

// The whole Windows command line: bash running the watchdog script, which connects to the host's
// loopback port `hostPort`, starts Chromium in a process group of its own, and ends that group once the
// host's end of the connection closes, however the host ended. Chromium's own output goes to `logFile`.
std::string WatchdogCommandLine(int hostPort, const std::string& logFile,
                                const std::vector<std::string>& chromiumArguments);

}  // namespace preview
