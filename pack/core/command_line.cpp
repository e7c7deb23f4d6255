#include "core/command_line.h"


namespace {

std::string WindowsArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    // Backslashes double only where a quote follows them, the closing one included.
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

std::string Joined(const std::vector<std::string>& args, std::string (*quote)(const std::string&)) {
    std::string line;
    for (const std::string& arg : args) line += (line.empty() ? "" : " ") + quote(arg);
    return line;
}

}  // namespace

std::string WindowsCommandLine(const std::vector<std::string>& args) { return Joined(args, WindowsArgument); }

std::string PosixCommandLine(const std::vector<std::string>& args) {
    return Joined(args, [](const std::string& arg) {
        std::string quoted = "'";
        for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    });
}
