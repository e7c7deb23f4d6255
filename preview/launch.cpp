#include "launch.h"

#include <cstdlib>

namespace preview {

std::vector<std::string> SplitCommandLine(const std::string& text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false, quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            size_t slashes = 0;
            while (i < text.size() && text[i] == '\\') ++slashes, ++i;
            if (i < text.size() && text[i] == '"') {
                current.append(slashes / 2, '\\');
                if (slashes % 2) current.push_back('"');
                else quoted = !quoted;
            } else {
                current.append(slashes, '\\');
                --i;
            }
            inArgument = true;
        } else if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current.push_back(c);
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(std::move(current));
    return arguments;
}

std::optional<int> ExplicitDebuggingPort(const std::vector<std::string>& arguments) {
    static const std::string kPrefix = "--remote-debugging-port=";
    std::optional<int> port;
    for (const std::string& argument : arguments) {
        if (argument.rfind(kPrefix, 0) != 0) continue;
        const int value = std::atoi(argument.c_str() + kPrefix.size());
        port = value > 0 && value < 65536 ? std::optional<int>(value) : std::nullopt;
    }
    return port;
}

std::vector<std::string> ChromiumArguments(const LaunchSettings& settings) {
    std::vector<std::string> arguments{
        settings.chromium, "--no-sandbox", "--test-type", "--remote-debugging-port=0",
        "--user-data-dir=" + settings.userDataDir, "--no-first-run", "--no-default-browser-check",
        // A machine without network would otherwise see a steady stream of refused connections.
        "--disable-background-networking", "--disable-component-update", "--disable-sync", "--disable-quic",
        // An app window has no tabs or address bar; it starts off-screen until it is placed in the host.
        "--app=data:text/html,<title></title>", "--class=" + settings.windowClass,
        "--window-position=-20000,-20000",
        "--window-size=" + std::to_string(settings.width) + "," + std::to_string(settings.height)};
    if (!settings.language.empty()) arguments.push_back("--lang=" + settings.language);
    arguments.insert(arguments.end(), settings.extraArguments.begin(), settings.extraArguments.end());
    return arguments;
}

std::string WatchdogCommandLine(int hostPort, const std::string& logFile,
                                const std::vector<std::string>& chromiumArguments) {
    // The watchdog holds a loopback connection to the host. Its end closes when the host process ends,
    // however it ends (Wine closes a dead process's sockets), and the watchdog then ends Chromium's
    // process group: setsid made Chromium the leader of a group of its own, so its helpers go too.
    static const char kScript[] =
        "exec 3<>/dev/tcp/127.0.0.1/$1 || exit 1; log=$2; shift 2; "
        "setsid \"$@\" </dev/null >>\"$log\" 2>&1 & browser=$!; "
        "cat <&3 >/dev/null; "
        "kill -TERM -$browser 2>/dev/null; "
        "for i in 1 2 3 4 5 6 7 8 9 10 11 12; do kill -0 -$browser 2>/dev/null || exit 0; sleep 0.25; done; "
        "kill -KILL -$browser 2>/dev/null";
    std::string line = "Z:\\bin\\bash -c " + QuoteWindowsArgument(kScript) + " qf-preview-watchdog " +
                       std::to_string(hostPort) + " " + QuoteWindowsArgument(logFile);
    for (const std::string& argument : chromiumArguments) line += " " + QuoteWindowsArgument(argument);
    return line;
}

}  // namespace preview
