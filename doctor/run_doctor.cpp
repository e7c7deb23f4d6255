#include "run_doctor.h"

#include <cstdio>
#include <filesystem>

#include "diagnosis.h"
#include "report.h"

namespace {

const char kUsage[] =
    "usage: quillframe-doctor APP_FOLDER [--json]\n"
    "Checks an app folder (package.json, www/, the extension DLL, a fixed runtime)\n"
    "the way Quillframe.exe reads it at start-up.\n";

int Usage(const std::string& problem) {
    std::fputs(kUsage, stderr);
    if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
    return 2;
}

}  // namespace

int RunDoctor(const std::vector<std::string>& args) {
    std::string folder;
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--json")
            json = true;
        else if (folder.empty() && arg.compare(0, 1, "-") != 0)
            folder = arg;
        else
            return Usage("unexpected argument: " + arg);
    }
    std::error_code error;
    if (folder.empty()) return Usage("");
    if (!std::filesystem::is_directory(std::filesystem::u8path(folder), error)) return Usage("not a folder: " + folder);
    const Diagnosis diagnosis = DiagnoseApp(std::filesystem::u8path(folder));
    const std::string report = json ? FormatJson(folder, diagnosis) : FormatText(folder, diagnosis);
    std::fwrite(report.data(), 1, report.size(), stdout);
    return WouldStart(diagnosis) ? 0 : 1;
}
