#include "program.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

#include "core/command_line.h"

namespace {

// Both ends of a pipe, closed when it goes.
class Pipe {
public:
    Pipe() { ok_ = pipe(ends_) == 0; }
    ~Pipe() { CloseBoth(); }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool ok() const { return ok_; }
    int read() const { return ends_[0]; }
    int write() const { return ends_[1]; }
    void CloseWrite() { Close(ends_[1]); }
    void CloseBoth() { Close(ends_[0]); Close(ends_[1]); }

private:
    static void Close(int& fd) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    int ends_[2] = {-1, -1};
    bool ok_ = false;
};

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& args) {
    ProgramResult result;
    Pipe output;
    if (args.empty() || !output.ok()) return result;
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) return result;
    if (child == 0) {
        dup2(output.write(), STDOUT_FILENO);
        dup2(output.write(), STDERR_FILENO);
        output.CloseBoth();
        execvp(argv[0], argv.data());
        _exit(127);
    }
    output.CloseWrite();
    std::array<char, 4096> buffer;
    ssize_t count;
    while ((count = read(output.read(), buffer.data(), buffer.size())) > 0) result.output.append(buffer.data(), count);
    int status = 0;
    if (waitpid(child, &status, 0) != child) return result;
    result.started = !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::filesystem::path FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = std::min(folders.find(':', start), folders.size());
        const std::filesystem::path candidate = std::filesystem::path(folders.substr(start, end - start)) / program;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

std::filesystem::path FindMakensis() { return FindOnPath("makensis"); }

std::filesystem::path OwnPath() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

std::string ShellCommand(const std::vector<std::string>& args) { return PosixCommandLine(args); }
