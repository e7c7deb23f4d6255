#include "installer_build.h"

#include <stdexcept>

#include "core/installer_script.h"
#include "program.h"
#include "release_folder.h"

namespace fs = std::filesystem;

namespace {

InstallerPlan Plan(const InstallerRequest& request, const fs::path& iconFile) {
    InstallerPlan plan;
    plan.name = request.info.manifest.name;
    plan.title = request.info.title;
    plan.version = request.info.version.text;
    plan.fileVersion = request.info.version.numbers;
    plan.publisher = request.info.author;
    plan.shortcutName = SafeFileName(request.info.title);
    plan.stagedFolder = request.stagedFolder.u8string();
    plan.iconFile = iconFile.u8string();
    plan.outputFile = request.setupFile.u8string();
    plan.desktopShortcut = request.desktopShortcut;
    plan.installedBytes = FolderBytes(request.stagedFolder);
    if (request.signer) plan.signCommand = SignInPlaceCommand(*request.signer);
    return plan;
}

}  // namespace

std::string MakensisProblem() {
    if (!FindMakensis().empty()) return "";
    return "the installer needs NSIS's makensis (Debian: apt install nsis; Windows: install NSIS 3 from "
           "nsis.sourceforge.io, or put makensis.exe on PATH)";
}

std::string BuildInstaller(const InstallerRequest& request) {
    std::error_code error;
    fs::create_directories(request.buildFolder, error);
    if (error) return "cannot make " + request.buildFolder.u8string() + ": " + error.message();
    fs::path iconFile;
    if (request.icons) {
        iconFile = request.buildFolder / "app.ico";
        if (!WriteFileBytes(iconFile, IcoFileData(*request.icons))) return "cannot write " + iconFile.u8string();
    }
    const fs::path script = request.buildFolder / "installer.nsi";
    std::string text;
    try {
        text = InstallerScript(Plan(request, iconFile));
    } catch (const std::invalid_argument& refused) {
        return std::string("the installer cannot carry a value: ") + refused.what();
    }
    if (!WriteFileBytes(script, text)) return "cannot write " + script.u8string();
    const ProgramResult built =
        RunProgram({FindMakensis().u8string(), "-V2", "-INPUTCHARSET", "UTF8", "--", script.u8string()});
    if (!built.started || built.exitCode != 0) return "makensis could not build the installer:\n" + built.output;
    if (request.signer) return SignFile(*request.signer, request.setupFile, request.info.title);
    return "";
}
