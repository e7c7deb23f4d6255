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

// The TLS relay in front of the preview's loopback server: Chromium reaches every https://*.localhost/
// name there, and trusts the relay's key alone, by its SPKI hash.
struct Relay {
    int port = 0;       // where the relay listens
    std::string spki;   // base64 SHA-256 of the key's SubjectPublicKeyInfo
};

// Text as one word of a /bin/sh script, whatever it holds.
std::string ShellQuote(const std::string& text);
// A SHA-256 hash in base64, as the key script prints it.
bool IsSpkiHash(const std::string& text);
// A /bin/sh script that makes the relay's key and certificate (relay.pem) in the Unix folder `folder` unless
// they are there, and prints the key's hash. The key stays there, readable by its owner only.
std::string RelayKeyScript(const std::string& folder);

// How the watchdog starts the relay (tls_relay.py): in the key's folder, where it finds relay.pem, TLS on
// `relayPort` passed on to the loopback server.
struct RelayCommand {
    std::string folder;
    std::vector<std::string> arguments;
};
RelayCommand RelayCommandFor(const std::string& folder, int relayPort, int serverPort);

struct LaunchSettings {
    std::string chromium;        // the Linux binary itself, not a wrapper script
    std::string userDataDir;     // Unix path
    std::string windowClass;     // unique per host, to find its window
    std::string language;        // empty for the browser's own
    int width = 800;
    int height = 600;
    std::vector<std::string> extraArguments;  // the host's and the environment's, after ours
    std::optional<Relay> relay;
};
std::vector<std::string> ChromiumArguments(const LaunchSettings& settings);

// The whole Windows command line: bash running the watchdog script, which connects to the host's
// loopback port `hostPort`, starts the relay (when there is one) and Chromium in a process
// group of their own, and ends that group once the host's end of the connection closes, however the host
// ended. Their own output goes to `logFile`.
std::string WatchdogCommandLine(int hostPort, const std::string& logFile, const std::optional<RelayCommand>& relay,
                                const std::vector<std::string>& chromiumArguments);

}  // namespace preview
