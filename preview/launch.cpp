#include "launch.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "tls_relay_script.h"

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

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool IsSpkiHash(const std::string& text) {
    return text.size() == 44 && text[43] == '=' && std::all_of(text.begin(), text.end() - 1, [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/';
    });
}

std::string RelayKeyScript(const std::string& folder) {
    // A P-256 key: made in milliseconds, and the first start needs it before Chromium can be started.
    return "mkdir -p " + ShellQuote(folder) + " && cd " + ShellQuote(folder) + " && umask 077 && "
           "{ [ -s relay.pem ] && [ -s relay.spki ] || { "
           "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout relay.key "
           "-out relay.crt -subj /CN=preview.localhost -addext 'subjectAltName=DNS:*.localhost' -days 3650 && "
           "cat relay.key relay.crt > relay.pem && openssl x509 -in relay.crt -pubkey -noout | "
           "openssl pkey -pubin -outform der | openssl dgst -sha256 -binary | base64 > relay.spki; "
           "rm -f relay.key relay.crt; }; } && cat relay.spki";
}

RelayCommand RelayCommandFor(const std::string& folder, int relayPort, int serverPort) {
    return {folder,
            {"/usr/bin/python3", "-I", "-c", kTlsRelayScript, "relay.pem", std::to_string(relayPort),
             std::to_string(serverPort)}};
}

namespace {

// Chromium takes the last of a switch given twice: the relay's values go first in one switch, and the
// host's (the last it gave) after them, so that the host's rules still apply to every other name.
void AppendListSwitch(std::vector<std::string>& arguments, std::vector<std::string>& extra, const std::string& name,
                      const std::string& ours) {
    const std::string prefix = "--" + name + "=";
    std::string value = ours;
    std::string theirs;
    extra.erase(std::remove_if(extra.begin(), extra.end(),
                               [&](const std::string& argument) {
                                   if (argument.rfind(prefix, 0) != 0) return false;
                                   theirs = argument.substr(prefix.size());
                                   return true;
                               }),
                extra.end());
    if (!theirs.empty()) value += "," + theirs;
    arguments.push_back(prefix + value);
}

}  // namespace

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
    std::vector<std::string> extra = settings.extraArguments;
    if (settings.relay) {
        // Port 443 only: an http:// or other-port name under .localhost still goes where Chromium sends it.
        AppendListSwitch(arguments, extra, "host-resolver-rules",
                         "MAP *.localhost:443 127.0.0.1:" + std::to_string(settings.relay->port));
        AppendListSwitch(arguments, extra, "ignore-certificate-errors-spki-list", settings.relay->spki);
    }
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

std::string WatchdogCommandLine(int hostPort, const std::string& logFile, const std::optional<RelayCommand>& relay,
                                const std::vector<std::string>& chromiumArguments) {
    // The watchdog holds a loopback connection to the host. Its end closes when the host process ends,
    // however it ends (Wine closes a dead process's sockets), and the watchdog then ends Chromium's
    // process group: setsid made Chromium the leader of a group of its own, so its helpers and the relay
    // (started in the group before Chromium replaces the shell) go too.
    static const char kScript[] =
        "exec 3<>/dev/tcp/127.0.0.1/$1 || exit 1; log=$2; relay=$3; [ \"$relay\" = 0 ] || cd \"$4\" || exit 1; "
        "shift 4; "
        "setsid bash -c '[ \"$0\" = 0 ] || \"${@:1:$0}\" & shift $0; exec \"$@\"' \"$relay\" \"$@\" "
        "</dev/null >>\"$log\" 2>&1 & browser=$!; "
        "cat <&3 >/dev/null; "
        "kill -TERM -$browser 2>/dev/null; "
        "for i in 1 2 3 4 5 6 7 8 9 10 11 12; do kill -0 -$browser 2>/dev/null || exit 0; sleep 0.25; done; "
        "kill -KILL -$browser 2>/dev/null";
    std::string line = "Z:\\bin\\bash -c " + QuoteWindowsArgument(kScript) + " qf-preview-watchdog " +
                       std::to_string(hostPort) + " " + QuoteWindowsArgument(logFile) + " " +
                       std::to_string(relay ? relay->arguments.size() : 0) + " " +
                       QuoteWindowsArgument(relay ? relay->folder : std::string("-"));
    if (relay) {
        for (const std::string& argument : relay->arguments) line += " " + QuoteWindowsArgument(argument);
    }
    for (const std::string& argument : chromiumArguments) line += " " + QuoteWindowsArgument(argument);
    return line;
}

}  // namespace preview
