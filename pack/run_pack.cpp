#include "run_pack.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "app_files.h"
#include "common/extension_library.h"
#include "core/app_icon.h"
#include "core/branded_exe.h"
#include "core/pack_options.h"
#include "core/release_content.h"
#include "diagnosis.h"
#include "installer_build.h"
#include "output_folder.h"
#include "program.h"
#include "release_folder.h"
#include "report.h"
#include "signing.h"
#include "zip_writer.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: quillframe-pack APP_FOLDER [--out DIR] [--sign PFX_FILE --sign-password-file FILE]\n"
    "                       [--desktop-shortcut] [--allow-problems] [--exe HOST_EXE]\n"
    "Writes <name>.exe (the host with the app's icon and version), <name>-<version>-win32.zip and\n"
    "<name>-<version>-setup.exe (a per-user installer) into --out (default: dist).\n";

// Everything the tool learnt before it writes anything.
struct Release {
    ReleaseInfo info;
    std::string exeName, exeBytes;
    std::optional<IconSet> icons;
};

void Say(const std::string& line) { std::fprintf(stdout, "%s\n", line.c_str()); }

int Fail(const std::string& problem) {
    std::fflush(stdout);
    std::fprintf(stderr, "quillframe-pack: %s\n", problem.c_str());
    return 1;
}

std::string ReadManifest(const fs::path& app, ReleaseInfo& info) {
    const auto path = FindInFolder(app, "package.json");
    const auto text = path ? ReadFileBytes(*path) : std::nullopt;
    if (!text) return "no readable package.json in " + app.u8string();
    ReleaseInfoResult read = ReadReleaseInfo(*text);
    info = std::move(read.info);
    return read.error.empty() ? "" : "package.json: " + read.error;
}

// The doctor's verdict: any problem stops a release unless the author allows it.
std::string CheckWithDoctor(const fs::path& app, bool allowProblems) {
    const Diagnosis diagnosis = DiagnoseApp(app);
    const bool clean = std::all_of(diagnosis.findings.begin(), diagnosis.findings.end(),
                                   [](const Finding& finding) { return finding.ok; });
    if (clean) return "";
    std::fputs(FormatText(app.u8string(), diagnosis).c_str(), stdout);
    if (allowProblems) return "";
    return "the doctor found problems (above); mend them, or pack anyway with --allow-problems";
}

std::string ReadIcon(const fs::path& app, const std::string& icon, std::optional<IconSet>& icons) {
    const auto path = FindInFolder(app, icon);
    const auto bytes = path ? ReadFileBytes(*path) : std::nullopt;
    if (!bytes) return "the icon \"" + icon + "\" (window.icon) cannot be read";
    IconResult made = MakeIconSet(*bytes);
    if (!made.error.empty()) return "the icon \"" + icon + "\" (window.icon): " + made.error;
    icons = std::move(made.icons);
    return "";
}

std::string Prepare(const PackOptions& options, Release& release) {
    const fs::path app = fs::u8path(options.appFolder);
    if (std::string problem = ReadManifest(app, release.info); !problem.empty()) return problem;
    if (std::string problem = CheckWithDoctor(app, options.allowProblems); !problem.empty()) return problem;
    std::vector<std::string> warnings = release.info.warnings;
    for (const std::string& line : ReleaseContentWarnings(WwwFiles(app))) warnings.push_back(line);
    const std::string& icon = release.info.manifest.icon;
    if (icon.empty()) warnings.push_back("package.json names no window.icon: the exe and the installer show a blank icon");
    else if (std::string problem = ReadIcon(app, icon, release.icons); !problem.empty()) return problem;
    for (const std::string& line : warnings) Say("warning: " + line);
    const fs::path host = options.hostExe.empty() ? OwnPath().parent_path() / "Quillframe.exe" : fs::u8path(options.hostExe);
    const auto hostBytes = ReadFileBytes(host);
    if (!hostBytes) return "cannot read the host exe " + host.u8string();
    release.exeName = release.info.manifest.name + ".exe";
    BrandResult branded = BrandExe(*hostBytes, release.info, release.icons, release.exeName);
    if (!branded.error.empty()) return "cannot brand " + host.u8string() + ": " + branded.error;
    release.exeBytes = std::move(branded.bytes);
    return "";
}

}  // namespace

namespace {

void Names(const Release& release, std::string& zipName, std::string& setupName) {
    const std::string base = release.info.manifest.name + "-" + release.info.version.text;
    zipName = base + "-win32.zip";
    setupName = base + "-setup.exe";
}

std::string SignShipped(const std::optional<Signer>& signer, const fs::path& staged, const Release& release) {
    if (!signer) return "";
    if (std::string problem = SignFile(*signer, staged / fs::u8path(release.exeName), release.info.title); !problem.empty())
        return problem;
    const auto extension = FindInFolder(staged, kExtensionLibraryName);
    return extension ? SignFile(*signer, *extension, release.info.title) : "";
}

std::string Write(const PackOptions& options, const Release& release, const std::optional<Signer>& signer) {
    // Absolute: makensis reads the paths in its script from the script's own folder.
    OutputFolder out(fs::absolute(fs::u8path(options.outFolder)));
    if (std::string problem = out.Open(); !problem.empty()) return problem;
    std::string zipName, setupName;
    Names(release, zipName, setupName);
    const fs::path staged = out.staging() / fs::u8path(release.info.manifest.name);
    if (std::string problem = StageRelease(fs::u8path(options.appFolder), staged, release.exeName, release.exeBytes);
        !problem.empty())
        return problem;
    if (std::string problem = SignShipped(signer, staged, release); !problem.empty()) return problem;
    std::error_code error;
    fs::copy_file(staged / fs::u8path(release.exeName), out.staging() / fs::u8path(release.exeName), error);
    if (error) return "cannot write " + release.exeName + ": " + error.message();
    if (std::string problem = WriteZip(staged, out.staging() / fs::u8path(zipName)); !problem.empty()) return problem;
    InstallerRequest request{release.info, staged, release.icons, out.staging() / "installer",
                             out.staging() / fs::u8path(setupName), options.desktopShortcut, signer};
    if (std::string problem = BuildInstaller(request); !problem.empty()) return problem;
    if (std::string problem = out.Publish({release.exeName, zipName, setupName}); !problem.empty()) return problem;
    for (const std::string& name : {release.exeName, zipName, setupName})
        Say("wrote " + (fs::u8path(options.outFolder) / fs::u8path(name)).u8string());
    return "";
}

// The checks that need no writing: the signing tool and makensis are there,
// and the output folder is not inside the app folder, which the tool never changes.
std::string CheckTools(const PackOptions& options, const std::optional<Signer>& signer) {
    std::error_code error;
    const fs::path app = fs::weakly_canonical(fs::u8path(options.appFolder), error);
    const fs::path out = fs::weakly_canonical(fs::absolute(fs::u8path(options.outFolder)), error);
    const std::string relative = out.lexically_relative(app).generic_u8string();
    if (!relative.empty() && relative.rfind("..", 0) != 0)
        return "--out " + options.outFolder + " is inside the app folder, which the tool never changes; choose another";
    if (signer)
        if (std::string problem = SigningProblem(*signer); !problem.empty()) return problem;
    return MakensisProblem();
}

}  // namespace

int RunPack(const std::vector<std::string>& args) {
    const PackOptionsResult parsed = ParsePackOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s%s\n", kUsage, parsed.error.c_str());
        return 2;
    }
    const PackOptions& options = parsed.options;
    std::optional<Signer> signer;
    if (!options.signingCertificate.empty())
        signer = Signer{fs::u8path(options.signingCertificate), fs::u8path(options.passwordFile)};
    if (!options.signInPlace.empty()) {
        const std::string problem = SignFile(*signer, fs::u8path(options.signInPlace), fs::u8path(options.signInPlace).filename().u8string());
        return problem.empty() ? 0 : Fail(problem);
    }
    if (std::error_code error; !fs::is_directory(fs::u8path(options.appFolder), error))
        return Fail("not a folder: " + options.appFolder);
    Release release;
    if (std::string problem = Prepare(options, release); !problem.empty()) return Fail(problem);
    if (std::string problem = CheckTools(options, signer); !problem.empty()) return Fail(problem);
    if (std::string problem = Write(options, release, signer); !problem.empty()) return Fail(problem);
    return 0;
}
