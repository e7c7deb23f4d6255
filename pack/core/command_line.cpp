#include "core/command_line.h"

std::string PosixCommandLine(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) {
        std::string quoted = "'";
        for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += (line.empty() ? "" : " ") + quoted + "'";
    }
    return line;
}
